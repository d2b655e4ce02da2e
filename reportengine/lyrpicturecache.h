#pragma once
// Pictures of printed picture views, kept out of the page elements: a view
// on a prepared page carries only its ImageIndex (position + 1).

#include <QByteArray>
#include <QHash>
#include <QList>

class TlyrPictureView;
class TlyrXMLItem;

class TlyrPictureCache {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    const QByteArray &Item(int i) const { return items_.at(i); }
    void Clear()
    {
        items_.clear();
        index_.clear();
        damaged_.clear();
    }
    // A picture whose bytes are already there shares that item, so a
    // picture printed on every row is kept once however many rows there are.
    void AddPicture(TlyrPictureView *view);
    // False when the picture is damaged (its stored text was not hexadecimal
    // or its bytes are no picture): the view is then marked damaged.
    bool GetPicture(TlyrPictureView *view) const;
    void LoadFromXML(TlyrXMLItem *item);
    void SaveToXML(TlyrXMLItem *item) const;

private:
    QList<QByteArray> items_;
    // Picture bytes to their ImageIndex.
    QHash<QByteArray, int> index_;
    // ImageIndex of each item whose text was not hexadecimal to that text,
    // written back as it was.
    QHash<int, QByteArray> damaged_;
};
