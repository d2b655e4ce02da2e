#include "reportengine/lyroutline.h"

#include "report/lyrclass.h"
#include "reportengine/lyrpreviewpages.h"

#include <algorithm>
#include <cmath>

TlyrOutline::TlyrOutline(TlyrPreviewPages *pages) : TlyrCustomOutline(pages), pages_(pages) {}

int TlyrOutline::Count()
{
    return CurItem ? CurItem->Count() : 0;
}

void TlyrOutline::AddItem(const QString &text, double top)
{
    if (!pages_->CountWithin(pages_->OutlineItems, TlyrPreviewPages::MaxOutlineItems, QStringLiteral("大纲条目数")))
        return;
    if (!CurItem) LevelRoot();
    TlyrXMLItem *item = CurItem->Add();
    item->Name = QStringLiteral("item");
    item->AppendProp("text", text);
    item->AppendProp("page", QString::number(pages_->CurPage));
    item->AppendProp("top", QString::number(std::lround(top)));
    CurItem = item;
}

void TlyrOutline::LevelDown(int index)
{
    if (CurItem && index >= 0 && index < CurItem->Count()) CurItem = CurItem->Items(index);
}

void TlyrOutline::LevelRoot()
{
    CurItem = pages_->XMLDoc.Root()->FindItem(QStringLiteral("outline"));
}

void TlyrOutline::LevelUp()
{
    if (!CurItem) LevelRoot();
    if (CurItem->Parent() && CurItem->Name != QLatin1String("outline")) CurItem = CurItem->Parent();
}

void TlyrOutline::GetItem(int index, QString &text, int &page, int &top)
{
    if (!CurItem || index < 0 || index >= CurItem->Count()) return;
    TlyrXMLItem *item = CurItem->Items(index);
    text = item->Prop("text");
    if (!item->Prop("page").isEmpty()) page = item->Prop("page").toInt();
    if (!item->Prop("top").isEmpty()) top = item->Prop("top").toInt();
}

TlyrXMLItem *TlyrOutline::GetCurPosition()
{
    if (!CurItem) LevelRoot();
    return CurItem && CurItem->Count() ? CurItem->Items(CurItem->Count() - 1) : nullptr;
}

namespace {
void shiftTree(TlyrXMLItem *item, int delta)
{
    item->SetProp("page", QString::number(item->Prop("page").toInt() + 1));
    item->SetProp("top", QString::number(item->Prop("top").toInt() + delta));
    for (int i = 0; i < item->Count(); ++i) shiftTree(item->Items(i), delta);
}
}  // namespace

void TlyrOutline::ShiftItems(TlyrXMLItem *from, int newTop)
{
    if (!CurItem) return;
    // An empty start position means the whole block, from the first child.
    const int start = from ? CurItem->IndexOf(from) + 1 : 0;
    if (start <= 0 && from) return;
    if (start >= CurItem->Count()) return;
    const int delta = newTop - CurItem->Items(start)->Prop("top").toInt();
    for (int i = start; i < CurItem->Count(); ++i) shiftTree(CurItem->Items(i), delta);
}

// ---------------------------------------------------------------- anchors

void TlyrPreviewPages::AddAnchor(const QString &text)
{
    TlyrXMLItem *anchors = XMLDoc.Root()->FindItem(QStringLiteral("anchors"));
    int count = anchors->Count();
    if (!CountWithin(count, MaxAnchors, QStringLiteral("锚点数"))) return;
    TlyrXMLItem *item = anchors->Add();
    item->Name = QStringLiteral("item");
    item->AppendProp("text", text);
    item->AppendProp("page", QString::number(CurPage));
    item->AppendProp("top", QString::number(Engine ? std::lround(Engine->CurY) : 0));
}

TlyrXMLItem *TlyrPreviewPages::FindAnchor(const QString &text)
{
    TlyrXMLItem *anchors = XMLDoc.Root()->FindItem(QStringLiteral("anchors"));
    for (int i = anchors->Count() - 1; i >= 0; --i)
        if (QString::localeAwareCompare(anchors->Items(i)->Prop("text").toLower(), text.toLower()) == 0)
            return anchors->Items(i);
    return nullptr;
}

int TlyrPreviewPages::GetAnchorPage(const QString &text)
{
    TlyrXMLItem *item = FindAnchor(text);
    return item ? item->Prop("page").toInt() + 1 : 1;
}

int TlyrPreviewPages::GetAnchorCurPosition()
{
    return XMLDoc.Root()->FindItem(QStringLiteral("anchors"))->Count() - 1;
}

void TlyrPreviewPages::ShiftAnchors(int from, int newTop)
{
    TlyrXMLItem *anchors = XMLDoc.Root()->FindItem(QStringLiteral("anchors"));
    if (from + 1 < 0 || from + 1 >= anchors->Count()) return;
    const int delta = newTop - anchors->Items(from + 1)->Prop("top").toInt();
    for (int i = from + 1; i < anchors->Count(); ++i) {
        TlyrXMLItem *a = anchors->Items(i);
        a->SetProp("page", QString::number(a->Prop("page").toInt() + 1));
        a->SetProp("top", QString::number(a->Prop("top").toInt() + delta));
    }
}

// ---------------------------------------------------------------- logical page numbers

namespace {
bool finalOfTwo(TlyrCustomEngine *e)
{
    return e && e->DoublePass() && e->FinalPass;
}
}  // namespace

void TlyrPreviewPages::IncLogicalPageNumber()
{
    if (finalOfTwo(Engine)) return;
    ++LogicalPageN;
    // The element keeps its place in the document; it is filled on saving.
    XMLDoc.Root()->FindItem(QStringLiteral("logicalpagenumbers"));
    logicalPages_.push_back({LogicalPageN, -1});
}

void TlyrPreviewPages::ResetLogicalPageNumber()
{
    if (finalOfTwo(Engine)) return;
    // Pages in width made after the current one belong to its group: the
    // group closes at its newest page. A group without a page yet has
    // nothing to close (the pages before it keep their own group's count).
    const int last = LogicalPageN > 0 ? std::max(CurPage, static_cast<int>(logicalPages_.size()) - 1) : -1;
    for (int i = last; i > FirstPageIndex && i >= 0; --i) {
        if (i >= static_cast<int>(logicalPages_.size())) continue;
        LogicalPage &p = logicalPages_[static_cast<size_t>(i)];
        p.T = LogicalPageN;
        if (p.N == 1) break;
    }
    LogicalPageN = 0;
}

void TlyrPreviewPages::DropLastPage()
{
    const int last = Count() - 1;
    if (last < 1) return;
    DeletePage(last);
    heldMarks_.erase(last);
    CurPage = std::min(CurPage, last - 1);
    if (finalOfTwo(Engine) || static_cast<int>(logicalPages_.size()) <= last) return;
    logicalPages_.pop_back();
    LogicalPageN = std::max(LogicalPageN - 1, 0);
}

int TlyrPreviewPages::GetLogicalPageNo()
{
    if (CurPage >= 0 && CurPage < static_cast<int>(logicalPages_.size()))
        return logicalPages_[static_cast<size_t>(CurPage)].N;
    return CurPage - FirstPage + 1;
}

int TlyrPreviewPages::GetLogicalTotalPages()
{
    if (CurPage >= 0 && CurPage < static_cast<int>(logicalPages_.size()))
        return std::max(logicalPages_[static_cast<size_t>(CurPage)].T, 0);
    return (Engine ? Engine->TotalPages : 0) - FirstPage;
}

void TlyrPreviewPages::writeLogicalPages(TlyrXMLItem *numbers) const
{
    numbers->Clear();
    for (const LogicalPage &p : logicalPages_) {
        TlyrXMLItem *item = numbers->Add();
        item->Name = QStringLiteral("page");
        item->AppendProp("n", QString::number(p.N));
        if (p.T >= 0) item->AppendProp("t", QString::number(p.T));
    }
}

void TlyrPreviewPages::readLogicalPages(TlyrXMLItem *numbers)
{
    logicalPages_.clear();
    logicalPages_.reserve(static_cast<size_t>(numbers->Count()));
    for (int i = 0; i < numbers->Count(); ++i) {
        const TlyrXMLItem *item = numbers->Items(i);
        logicalPages_.push_back({item->Prop("n").toInt(), item->HasProp("t") ? item->Prop("t").toInt() : -1});
    }
    numbers->Clear();
}
