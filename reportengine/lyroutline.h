#pragma once
// The outline tree, anchors and logical page numbers of prepared pages: all
// three live as elements of the pages' document so that they are saved with
// it as they are.

#include "report/lyrcontracts.h"

class TlyrXMLItem;
class TlyrPreviewPages;

class TlyrOutline : public TlyrCustomOutline {
    Q_OBJECT
public:
    explicit TlyrOutline(TlyrPreviewPages *pages);

    TlyrXMLItem *CurItem = nullptr;

    int Count() override;
    void AddItem(const QString &text, double top) override;
    void LevelDown(int index) override;
    void LevelRoot() override;
    void LevelUp() override;
    void GetItem(int index, QString &text, int &page, int &top) override;
    // Moves the items added after From (a child of the current item, or
    // null for all of them) to the next page, starting at NewTop.
    void ShiftItems(TlyrXMLItem *from, int newTop) override;
    // The last item under the current one (settling at the root first).
    TlyrXMLItem *GetCurPosition() override;

private:
    TlyrPreviewPages *pages_;
};
