#include "reportengine/lyrpicturecache.h"

#include "report/lyrdbset.h"
#include "report/lyrexception.h"
#include "report/lyrutils.h"
#include "report/lyrview.h"
#include "report/lyrxml.h"

void TlyrPictureCache::AddPicture(TlyrPictureView *view)
{
    if (view->PictureData().isEmpty()) {
        view->SetImageIndex(0);
        return;
    }
    const QByteArray &data = view->PictureData();
    int &index = index_[data];
    if (index == 0) {
        items_.append(data);
        index = Count();
    }
    view->SetImageIndex(index);
}

bool TlyrPictureCache::GetPicture(TlyrPictureView *view) const
{
    const int i = view->ImageIndex();
    if (i == 0) {  // no picture
        view->ClearPicture();
        return true;
    }
    // A damaged file may name a picture that is not there.
    if (i < 0 || i > Count() || damaged_.contains(i) || view->LoadPictureFromStream(items_.at(i - 1)) != 0) {
        view->ClearPicture();
        view->SetDamaged(true);
        return false;
    }
    return true;
}

void TlyrPictureCache::LoadFromXML(TlyrXMLItem *item)
{
    Clear();
    if (!item) return;
    for (int i = 0; i < item->Count(); ++i) {
        const QByteArray hex = item->Items(i)->PropBytes("stream");
        QByteArray bytes;
        bool ok = true;
        try {
            bytes = lyrHexToBytes(hex);
        } catch (const ElyrConvertError &) {
            ok = false;  // this picture only: the others and the pages load
        }
        items_.append(bytes);
        if (!ok)
            damaged_.insert(Count(), hex);
        else if (!index_.contains(bytes))
            index_.insert(bytes, Count());
    }
}

void TlyrPictureCache::SaveToXML(TlyrXMLItem *item) const
{
    item->Clear();
    for (int i = 0; i < Count(); ++i) {
        TlyrXMLItem *child = item->Add();
        child->Name = QStringLiteral("item");
        if (const auto it = damaged_.constFind(i + 1); it != damaged_.constEnd()) {
            child->SetPropBytes("stream", *it);
            continue;
        }
        child->AppendProp("stream", QString::fromLatin1(lyrBytesToHex(items_.at(i))));
    }
}
