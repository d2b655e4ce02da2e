// The engine's page and column breaks and the room they leave.

#include "reportengine/lyrengine.h"
#include "reportengine/lyrengineutil.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdmpclass.h"
#include "report/lyrdialogpage.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "reportengine/lyrpreview.h"
#include "report/lyrview.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <utility>

using namespace lyrengine;

double TlyrEngine::columnX(int column) const
{
    const QStringList positions = CurPage->ColumnPositions();
    const int i = column - 1;
    const double mm = i < positions.size() ? lyrStrToFloat(positions.at(i)) : i * CurPage->ColumnWidth();
    return mm * lyrUnitsPerMM;
}

double TlyrEngine::baseX() const
{
    return subBaseX_ >= 0 ? subBaseX_ : 0;
}

// A page of endless width or height is as large as what was put on it,
// plus its margins; each output page keeps its own size.
void TlyrEngine::sizeEndlessPage(TlyrReportPage *page)
{
    if (!page->EndlessWidth && !page->EndlessHeight) return;
    const double k = lyrUnitsPerMM;
    double width = page->PaperWidth() * k, height = page->PaperHeight() * k;
    if (page->EndlessWidth) width = page->LeftMargin() * k + PageWidth + page->RightMargin() * k;
    if (page->EndlessHeight) {
        PageHeight = CurY + FooterHeight();
        height = page->TopMargin() * k + PageHeight + page->BottomMargin() * k;
    }
    // Paper per output page is a feature of this program's own store.
    if (auto *store = dynamic_cast<TlyrPreviewPages *>(Pages())) store->UpdatePageDimensions(page, width, height);
}

void TlyrEngine::NewPage()
{
    ++breaks_;
    const bool startBreak = std::exchange(startNewPageBreak_, false);
    TlyrCustomPreviewPages *pages = Pages();
    const double blockHeight = CurY - keepY_;
    const double room = pageRoom();
    // The data and group headers the new page repeats above the block take
    // room too.
    const double heads = keeping_ ? repeatedAbove(keepSerial_) : 0;
    // A block that ran over columns is not whole anyway: a band that starts
    // a new page leaves it where it is, or it would still end beside it. A
    // band split at the break leaves it too when the block with the rest of
    // the band would not fit the new page either.
    // A band that starts a new page goes to that page's top: a block it
    // would not fit below there stays where it is.
    const bool move = keepMovesToPage(splitBreak_ ? splitRest_ : startBreak ? repeatNeed_ : 0) &&
                      !(startBreak && !keepBreaks_.empty());
    // A subreport that broke the page inside the block runs beside its host
    // band, which may reach below the subreport's place: the host's bottom
    // moves along, so the new column's footer stays below it.
    const double hostBelow = move && subHostBottom_ > CurY ? subHostBottom_ - CurY : 0;
    // A block a column break moved to its column's top leaves that column
    // empty: the headers repeated above it go too, and the column it came
    // from keeps the footer it ended with.
    const bool columnMoved = move && keepMovedColumn_;
    const int stays = columnMoved ? keepFromColumn_ : keepColumn_;
    if (columnMoved)
        if (auto *store = dynamic_cast<TlyrPreviewPages *>(pages)) {
            const int heads = keepPos_ - keepColumnFrom_;
            store->CutObjects(keepColumnFrom_);
            store->PasteObjects([&](int i, QRectF &) { return i >= heads; });
            keepPos_ = keepColumnFrom_;
            for (auto &b : keepBreaks_) b = {b.first - heads, b.second - heads};
        }
    const std::vector<std::pair<int, int>> blockBreaks = move ? keepBreaks_ : std::vector<std::pair<int, int>>();
    // A kept footer takes the last record along: that record counts for the
    // page it moves to.
    auto *keptRecord = move && keepingFooter_ ? qobject_cast<TlyrDataBand *>(keepBand_) : nullptr;
    // An open row of a multi-column band that began inside the block moves
    // with it.
    const bool rowMoves = move && rowBottom_ >= 0 && rowStart_ >= keepPos_;
    const double rowBottom = rowBottom_;
    movedRow_ = MovedRow();
    // A record beside others in its row that moves whole with the block
    // keeps its children under it, in its place in the row.
    const double keptChildLeft = move && blockBreaks.empty() && rowStart_ >= keepPos_ ? childLeft_ : 0;
    const int fromPage = pages->CurPage;
    // The block's crossed rows in width go with it to pages in width of
    // the page it moves to.
    auto *store = dynamic_cast<TlyrPreviewPages *>(pages);
    std::vector<TlyrXMLItem *> widthParts;
    if (move && blockBreaks.empty() && store) {
        for (const auto &[part, at] : keepWidth_) widthParts.push_back(store->TakeObjects(at.Page, at.Pos));
        // Titles repeated above the block in width may head no row now.
        if (!keepWidth_.empty() && titleWidth_.Home == fromPage && titleWidth_.RowsAt >= keepPos_)
            titleWidth_.RowsAt = INT_MAX;
        // Pages in width made for the block alone hold nothing now.
        for (auto it = keepWidth_.rbegin(); it != keepWidth_.rend(); ++it) {
            if (!it->second.Made || it->second.Page != pages->Count() - 1 || it->second.Page <= fromPage) break;
            if (widthFooter_.first == it->second.Page) widthFooter_ = {-1, 0};
            widthPages_.remove(it->second.Page);
            store->DropLastPage();
        }
    }
    if (move) pages->CutObjects(keepPos_);
    if (!blockBreaks.empty() || columnMoved) {
        // The block ran over page columns: the columns after the one it began
        // in are left empty, and that one ends with its footer below what
        // stays in it.
        CurColumn = stays;
        CurX = columnX(stays) + baseX() + childLeft_;
        CurY = keepY_;
        // Records of the row the block began beside stay above its footer.
        rowBottom_ = keepRowBottom_;
        subHostBottom_ = -1;
        // The block's columns lost their headers with it.
        for (auto it = columnBody_.begin(); it != columnBody_.end();) {
            const bool lost = it->first.first == pages->CurPage && it->first.second > stays;
            it = lost ? columnBody_.erase(it) : std::next(it);
        }
        // The footers the block's columns had went with it.
        const int footedFrom = columnMoved ? stays + 1 : stays;
        for (auto it = footedColumns_.begin(); it != footedColumns_.end();)
            it = std::get<1>(*it) == pages->CurPage && std::get<2>(*it) >= footedFrom ? footedColumns_.erase(it)
                                                                                      : std::next(it);
    }
    if (!blockBreaks.empty()) Aggregates.LeaveKeptColumns(keptRecord, columnMoved);
    if (keptRecord) Aggregates.Undo(keptRecord);
    if (!blockBreaks.empty()) Aggregates.LeaveKeptPage();
    if (keeping_ && !move) closeKeep();
    EndPage();
    if (!crossPage_) passWidthPages();
    pages->AddPage(CurPage);
    movingKeep_ = move ? keepSerial_ : 0;
    {
        // The block needs its height below the headers the page repeats,
        // and what broke the page room below it; where both do not fit, the
        // block still must: what broke the page goes on to a later one.
        const Saved<double> need(repeatNeed_);
        // (An empty block leaves the room to what broke the page.)
        const double above = blockHeight > 0.0001 ? heads : 0;
        // (The lowest record of an open row it takes along may reach below
        // where the next record beside it starts.)
        const double rowExtent = rowMoves ? rowBottom - keepY_ : 0;
        if (move && blockBreaks.empty()) {
            const double whole = std::max(repeatNeed_ + blockHeight, rowExtent);
            repeatNeed_ = whole + above > room + 0.0001 ? std::max(blockHeight, rowExtent) : whole;
        }
        // A block that ran over columns starts with its first column's part:
        // the new page's first column keeps room for it (what broke the page
        // follows its last part, in a later column).
        if (move && !blockBreaks.empty()) repeatNeed_ = keepFirstPart_;
        initPage();
    }
    movingKeep_ = 0;
    if (move) {
        const int top = static_cast<int>(std::lround(CurY));
        pages->Outline->ShiftItems(keepOutline_, top);
        pages->ShiftAnchors(keepAnchor_, top);
        // What the block added counts for the footer of the page it moved to.
        closeKeep();
        if (blockBreaks.empty()) {
            // At the block's own place in the new column, also when a
            // subreport running inside it broke the page.
            if (rowMoves) movedRow_ = {rowTop_ + CurY - keepY_, rowBottom + CurY - keepY_,
                                       pages->GetCurPosition() + rowStart_ - keepPos_};
            const double dx = columnX(CurColumn) - columnX(keepColumn_);
            movedBlock_ = {fromPage, keepPos_, pages->CurPage, CurColumn, dx, CurY - keepY_, {}};
            ++blockMoves_;
            // The block keeps its place across the column: a record kept
            // with the footer may stand in a later column of its row.
            if (store) {
                std::optional<double> dy;
                const double top = CurY;
                store->PasteObjects([&](int, QRectF &box) {
                    if (!dy) dy = CurY - box.top();
                    box.translate(dx, *dy);
                    return true;
                });
                if (!widthParts.empty())
                    placeWidthParts(widthParts, dy.value_or(top - keepY_), widthShift_.value(fromPage));
            } else {
                pages->PasteObjects(keepX_ + dx, CurY);
            }
            CurY += blockHeight;
            if (keptChildLeft > 0) {
                CurX += keptChildLeft;
                childLeft_ = keptChildLeft;
            }
            if (hostBelow > 0) subHostBottom_ = CurY + hostBelow;
            // The footer is shown on the last record.
            if (keptRecord) Aggregates.AddValue(keptRecord);
        } else {
            const int toPage = pages->CurPage, toColumn = CurColumn;
            // The record begins the block: it counts in the column its
            // first part is pasted in, not where the block ends.
            if (keptRecord) Aggregates.AddValue(keptRecord);
            pasteAcrossColumns(blockBreaks, rowMoves ? rowBottom : -1);
            Aggregates.PlaceKept(std::numeric_limits<int>::max());
            movedBlock_ = {fromPage, keepPos_, toPage, toColumn, 0, 0, std::move(movedBlock_.Parts)};
            ++blockMoves_;
        }
    }
    addPageOutline();
}

double TlyrEngine::pageRoom()
{
    return CurPage && CurPage->EndlessHeight ? 1000000 : PageHeight - FooterHeight() - HeaderHeight();
}

bool TlyrEngine::keepMovesToPage(double along)
{
    if (!keeping_) return false;
    TlyrCustomPreviewPages *pages = Pages();
    // A keep block that did not start at the top of this page, below the
    // headers it repeats, moves to the next page below its headers; a block
    // moves once: the break ends it.
    // The top is that of the block's own column: a header repeated in a
    // later one may break the page.
    double blockColumnTop = std::max(columnStartY_, headersEndY_);
    if (keepPage_ == pages->CurPage && keepColumn_ != CurColumn)
        if (const auto it = columnBody_.find({pages->CurPage, keepColumn_}); it != columnBody_.end())
            blockColumnTop = std::max({blockColumnTop, it->second.first, it->second.second});
    // Headers that began the column print nothing of a record: a block
    // below them begins at its top too, moved it would leave them alone.
    blockColumnTop = std::max(blockColumnTop, headsTop(keepPage_, keepColumn_));
    // A block that would not fit the new page's columns either (their
    // headers may take more room than this page's) stays where it is. The
    // data and group headers the new page repeats above the block take room
    // too: a block that would push them off stays, and they head the rest
    // of its records there.
    const double heads = repeatedAbove(keepSerial_);
    // A record beside an open row starts at the row's top: the row's lowest
    // record (with its children) may reach further down.
    const double rowBottom = rowBottom_ >= 0 && rowStart_ >= keepPos_ ? rowBottom_ : 0;
    const double block = std::max(CurY + along, rowBottom) - keepY_;
    // One that ran over columns is pasted over the new page's columns as it
    // was cut: its first column's part goes there below these headers, and
    // each later part below every header repeated there, those the block
    // showed too. Each must leave them room.
    const double need = keepBreaks_.empty() ? block + heads
                                            : std::max(keepFirstPart_ + heads, keepTallest_ + repeatedAbove(-1));
    const bool fits = need <= pageRoom() + 0.0001;
    // One a column break moved to its column's top moves on unless
    // subreports ran beside its bands.
    const bool movedOn = keepMovedColumn_ && !(subRanAt_.first == pages->CurPage && subRanAt_.second >= keepPos_);
    return (keepY_ > blockColumnTop + 0.0001 || movedOn) && fits;
}

bool TlyrEngine::keepMovesWith(double along, bool toPage)
{
    if (!keeping_) return false;
    if (toPage || !CurPage || CurPage->Columns() < 2 || CurColumn >= CurPage->Columns()) return keepMovesToPage(along);
    const Saved<double> need(repeatNeed_);
    repeatNeed_ = along;
    return keepMovesToColumn();
}

void TlyrEngine::NewColumn()
{
    if (!CurPage || CurPage->Columns() < 2 || CurColumn >= CurPage->Columns()) {
        NewPage();
        return;
    }
    ++breaks_;
    movedRow_ = MovedRow();
    const int printedFrom = Pages()->GetCurPosition();
    const double leftAt = std::max({CurY, rowBottom_, subHostBottom_});
    // A keep block that began below this column's top moves whole to the
    // next one when an empty column holds it there.
    const bool move = keepMovesToColumn();
    const double blockHeight = CurY - keepY_;
    // The band whose subreport broke the column goes along, as far down as
    // it reaches below the subreport's rows.
    const double hostBelow = move && subHostBottom_ > CurY ? subHostBottom_ - CurY : 0;
    const int movedFrom = keepPos_;
    auto *keptRecord = move && keepingFooter_ ? qobject_cast<TlyrDataBand *>(keepBand_) : nullptr;
    if (move) {
        Pages()->CutObjects(keepPos_);
        CurY = keepY_;
        subHostBottom_ = -1;
        // The last record goes along with the footer: it counts where it
        // prints.
        if (keptRecord) Aggregates.Undo(keptRecord);
    } else if (keeping_) {
        Aggregates.KeepInColumn();
    }
    showColumnFooter();
    const int columnFrom = Pages()->GetCurPosition();
    const int column = ++CurColumn;
    columnBegun_ = {Pages()->CurPage, column, columnFrom};
    const double x = columnX(column);
    CurX = x;
    childLeft_ = 0;
    // The next column starts with the column header and the headers that
    // repeat, as a page does.
    CurY = columnTopY_;
    // A side-by-side subreport reaching a column its sibling began finds
    // the headers there and goes on below them.
    const std::pair<int, int> at{Pages()->CurPage, column};
    const auto begun = columnBody_.find(at);
    if (begun != columnBody_.end()) {
        columnStartY_ = begun->second.first;
        headersEndY_ = begun->second.second;
        CurY = headersEndY_;
        // Side by side over columns, a block cannot be pasted again in
        // column order: it stays where it is.
        if (keeping_) closeKeep();
    } else {
        if (TlyrBand *ch = CurPage->FindBand(&TlyrColumnHeader::staticMetaObject)) {
            inPageBand_ = true;
            ShowBand(ch);
            inPageBand_ = false;
        }
        columnStartY_ = CurY;
        const double start = CurY;
        {
            // Headers shown inside the moving block come with it.
            const Saved<int> moving(movingKeep_);
            const Saved<double> need(repeatNeed_);
            if (move) {
                movingKeep_ = keepSerial_;
                // The block needs its height below them, and what broke
                // the column room below it where both fit.
                const double room = PageHeight - FooterHeight() - CurY;
                repeatNeed_ = repeatNeed_ + blockHeight > room + 0.0001 ? blockHeight : repeatNeed_ + blockHeight;
            }
            showRepeatedHeaders(x);
        }
        headersEndY_ = CurY;
        // A header that split went on in a later column, filling this one.
        columnBody_[at] = {start, CurColumn == column ? CurY : PageHeight - FooterHeight()};
    }
    contentPos_ = Pages()->GetCurPosition();
    if (move) {
        const double dx = columnX(CurColumn) - columnX(keepColumn_), dy = CurY - keepY_;
        TlyrCustomPreviewPages *pages = Pages();
        const int top = static_cast<int>(std::lround(CurY));
        pages->Outline->ShiftItems(keepOutline_, top);
        pages->ShiftAnchors(keepAnchor_, top);
        if (auto *store = dynamic_cast<TlyrPreviewPages *>(pages))
            store->PasteObjects([&](int, QRectF &box) {
                box.translate(dx, dy);
                return true;
            });
        else
            pages->PasteObjects(keepX_ + dx, CurY);
        // The block stays open from its new place: grown past this column
        // too, it moves on to a new page as one that began below a top.
        keepX_ += dx;
        keepFromColumn_ = keepColumn_;
        keepColumnFrom_ = columnFrom;
        keepColumn_ = CurColumn;
        keepPos_ = contentPos_;
        keepY_ = CurY;
        keepRowBottom_ = -1;
        keepMovedColumn_ = true;
        CurY += blockHeight;
        if (hostBelow > 0) subHostBottom_ = CurY + hostBelow;
        // Subreports beside the band learn that it moved.
        movedBlock_ = {Pages()->CurPage, movedFrom, Pages()->CurPage, CurColumn, dx, dy, {}};
        ++blockMoves_;
        if (keptRecord) Aggregates.AddValue(keptRecord);
    } else if (keeping_ && keepPage_ == Pages()->CurPage && keepPos_ == printedFrom && keepBreaks_.empty()) {
        keepX_ += columnX(CurColumn) - columnX(keepColumn_);
        keepColumn_ = CurColumn;
        keepPos_ = contentPos_;
        keepY_ = CurY;
        keepRowBottom_ = -1;
    } else if (keeping_) {
        if (keepBreaks_.empty()) keepFirstPart_ = leftAt - keepY_;
        keepBreaks_.emplace_back(printedFrom, Pages()->GetCurPosition());
    }
    // A subreport running in the column goes on at its own offset; a
    // repeated header that split went on in a later column.
    CurX = (CurColumn == column ? x : columnX(CurColumn)) + baseX();
}

bool TlyrEngine::keepMovesToColumn()
{
    if (!keeping_ || keepPage_ != Pages()->CurPage || keepColumn_ != CurColumn || !keepBreaks_.empty()) return false;
    // Not a block that a subreport or an open row of records runs beside,
    // nor one that already starts its column.
    // A subreport running in the block, or one that ran in it, goes along
    // while all the block printed is in this column: it goes on below its
    // moved rows there.
    if (splitBreak_ || flowingHeader_ || rowBottom_ >= 0) return false;
    if (keepY_ <= std::max({columnStartY_, headersEndY_, headsTop(keepPage_, keepColumn_)}) + 0.0001) return false;
    if (columnBody_.count({Pages()->CurPage, CurColumn + 1})) return false;
    // Records side by side move with their rows.
    if (!rowsClosed_)
        for (TlyrComponent *c : CurPage->Objects())
            if (auto *d = qobject_cast<TlyrDataBand *>(c); d && d->Columns() >= 2) return false;
    // The new column's header and the headers it repeats, but those the
    // block brings along.
    auto chain = [](TlyrBand *b) {
        double h = 0;
        for (int n = 0; b && n < 64; ++n, b = b->Child()) {
            if (b->Visible()) h += b->Height();
            if (!b->Visible() && !b->PrintChildIfInvisible()) break;
        }
        return h;
    };
    double heads = chain(CurPage->FindBand(&TlyrColumnHeader::staticMetaObject));
    for (TlyrBand *b : headerList_) {
        // A header shown inside the block stays its first line.
        if (const auto added = headerAdded_.constFind(b); b && headerKeep_.value(b) != keepSerial_ &&
                                                           added != headerAdded_.cend() && added->first == keepPage_ &&
                                                           added->second > keepPos_)
            return false;
        if (!b || !repeatsOnNewPage(b) || headerKeep_.value(b) == keepSerial_) continue;
        // One that may split may run on past the column, unless it was
        // shown whole: shown again, it takes that room.
        if (b->AllowSplit()) {
            const double shown = shownHeight_.value(b, -1);
            if (shown < 0) return false;
            heads += shown + chain(b->Child() == b ? nullptr : b->Child());
            continue;
        }
        heads += chain(b);
    }
    // What broke the column must fit below it there too (and the band whose
    // subreport broke it, as far as it reaches).
    const double block = std::max(CurY, subHostBottom_) - keepY_;
    return block + std::max(repeatNeed_, 0.0) <= PageHeight - FooterHeight() - columnTopY_ - heads + 0.0001;
}

// A block holding full rows of a list in columns, the last one reaching
// below the column's foot, moves whole where an empty column or page holds
// it all.
bool TlyrEngine::keepMovesWithRow(const Row &row)
{
    if (!keeping_ || keepPage_ != Pages()->CurPage || !keepBreaks_.empty()) return false;
    const Saved<bool> closed(rowsClosed_);
    rowsClosed_ = true;
    const Saved<double> y(CurY);
    CurY = row.MaxY;
    if (!CurPage || CurPage->Columns() < 2 || CurColumn >= CurPage->Columns()) return keepMovesToPage(0);
    return keepMovesToColumn();
}

// Only page bands and headers (repeated ones too) are above: a band that
// does not fit here would not fit on a new page or column either. The
// report title and what its subreports printed are content, which a new
// page leaves behind.
double TlyrEngine::headsTop(int page, int column) const
{
    return headsTop_.Page == page && headsTop_.Column == column ? headsTop_.Y : 0;
}

void TlyrEngine::noteHeadsTop(TlyrBand *band)
{
    if (!is<TlyrHeader>(band) && !is<TlyrGroupHeader>(band)) return;
    const int page = Pages()->CurPage;
    const double top = std::max({columnStartY_, headersEndY_, headsTop(page, CurColumn)});
    if (CurY - band->Height() <= top + 0.0001) headsTop_ = {page, CurColumn, CurY};
}

bool TlyrEngine::atColumnTop() const
{
    return CurY <= std::max(columnStartY_, headersEndY_) - titleRun_ + 0.0001;
}

double TlyrEngine::columnRoom()
{
    // The headers that a column repeats, when this one has not yet shown them.
    double repeats = 0;
    if (headersEndY_ <= columnStartY_ + 0.0001)
        for (TlyrBand *b : headerList_) {
            if (!repeatsOnNewPage(b) || closedHeaders_.contains(b)) continue;
            int chain = 0;
            for (TlyrBand *c = b; c && chain++ < 64; c = c->Child()) {
                if (c->Visible()) repeats += c->Height();
                if (!c->Visible() && !c->PrintChildIfInvisible()) break;
            }
        }
    return PageHeight - FooterHeight() - headersEndY_ - repeats;
}

bool TlyrEngine::rowOutgrows(TlyrBand *band)
{
    double bottom = CurY;
    for (int n = 0; band && n < 64; ++n, band = band->Child() == band ? nullptr : band->Child()) {
        if (band->Visible()) bottom += band->Height();
        if (!band->Visible() && !band->PrintChildIfInvisible()) break;
    }
    const double row = std::max(bottom, rowBottom_) - rowTop_;
    const bool nextColumn = CurPage && CurPage->Columns() >= 2 && CurColumn < CurPage->Columns();
    const double room = nextColumn ? columnRoom() : pageRoom() - repeatedAbove(-1);
    return row > room + 0.0001;
}

bool TlyrEngine::moveRow()
{
    TlyrCustomPreviewPages *pages = Pages();
    const int from = besideMovedRow_ ? movedRow_.Start : rowFrom_;
    if (from < 0 || from >= pages->GetCurPosition()) return false;
    if (keeping_ && !(keepPage_ == pages->CurPage && keepPos_ >= from)) return false;
    if (keeping_) closeKeep();
    const double top = rowTop_, height = CurY - top, bottom = std::max(rowBottom_, CurY) - top, left = childLeft_;
    pages->CutObjects(from);
    // The column ends below what stays in it.
    CurY = top;
    rowBottom_ = -1;
    Aggregates.LeaveRow();
    NewColumn();
    Aggregates.PlaceRow();
    const double at = CurY;
    const int start = pages->GetCurPosition();
    pages->PasteObjects(CurX, at);
    CurY = at + height;
    // The row goes on from there: the records after this one go beside it.
    rowTop_ = at;
    rowBreaks_ = breaks_;
    movedRow_ = {at, at + bottom, start};
    besideMovedRow_ = true;
    CurX += left;
    childLeft_ = left;
    return true;
}

void TlyrEngine::nextColumnFor(double need)
{
    const double childLeft = childLeft_;
    // No column left under the title holds it below the headers a later one
    // repeats: the next page, below them.
    if (titleRun_ > 0.0001 && need > std::min(columnRoom(), laterColumnRoom()) + 0.0001)
        NewPage();
    else
        NewColumn();
    // A record's child band beside others of its row goes on at its
    // record's place.
    if (childLeft > 0 && childLeft_ <= 0) {
        CurX += childLeft;
        childLeft_ = childLeft;
    }
}

double TlyrEngine::laterColumnRoom()
{
    double h = 0;
    auto chain = [&](TlyrBand *b) {
        for (int n = 0; b && n < 64; ++n, b = b->Child() == b ? nullptr : b->Child()) {
            if (b == breakBand_) return;
            // A header that stretched is shown again as tall.
            if (b->Visible()) h += n == 0 && b->Stretched() ? shownHeight_.value(b, b->Height()) : b->Height();
            if (!b->Visible() && !b->PrintChildIfInvisible()) return;
        }
    };
    chain(CurPage->FindBand(&TlyrColumnHeader::staticMetaObject));
    for (TlyrBand *b : headerList_)
        if (b && repeatsOnNewPage(b) && !closedHeaders_.contains(b)) chain(b);
    return PageHeight - FooterHeight() - columnTopY_ - h;
}

double TlyrEngine::repeatedAbove(int moving) const
{
    double h = 0;
    for (TlyrBand *b : headerList_) {
        if (!b || !repeatsOnNewPage(b) || headerKeep_.value(b) == moving) continue;
        double chain = 0;
        bool breaking = false;
        for (int n = 0; b && n < 64; ++n, b = b->Child() == b ? nullptr : b->Child()) {
            breaking = breaking || b == breakBand_;
            if (b->Visible()) chain += b->Height();
            if (!b->Visible() && !b->PrintChildIfInvisible()) break;
        }
        // What breaks the page prints there itself, not as a repeat.
        if (!breaking) h += chain;
    }
    return h;
}

double TlyrEngine::HeaderHeight()
{
    double h = 0;
    if (!CurPage) return 0;
    for (const QMetaObject *m : {&TlyrPageHeader::staticMetaObject, &TlyrColumnHeader::staticMetaObject})
        for (TlyrBand *b = CurPage->FindBand(m); b; b = b->Child()) {
            h += b->Height();
            if (b->Child() == b) break;
        }
    return h;
}

// Pages in width follow this one: the page below goes after them, onto the
// first page that holds nothing yet (one of a first pass).
void TlyrEngine::passWidthPages()
{
    TlyrCustomPreviewPages *pages = Pages();
    // A side-by-side subreport that goes on from a page before them goes
    // on beside its sibling, on the pages that one began.
    if (widthPagesFollow_ && pages->CurPage >= widthFollowFrom_) {
        widthPagesFollow_ = false;
        fillPageNumbers(-1);
        int next = pages->CurPage + 1;
        for (; next < pages->Count(); ++next) {
            pages->CurPage = next;
            if (pages->GetCurPosition() == 0) break;
        }
        pages->CurPage = next - 1;
    }
    // A side-by-side subreport that goes on from a page whose pages in width
    // another one already passed.
    while (widthPages_.contains(pages->CurPage + 1)) ++pages->CurPage;
}

double TlyrEngine::FooterHeight()
{
    double h = 0;
    if (!CurPage) return 0;
    if (TlyrBand *b = CurPage->FindBand(&TlyrColumnFooter::staticMetaObject)) h += b->Height();
    double pf = 0;
    if (TlyrBand *b = CurPage->FindBand(&TlyrPageFooter::staticMetaObject)) pf = b->Height();
    // On a page that the previous report page's footer ends, that footer.
    if (continuedFooter_ && Pages()->CurPage == continuedPage_) pf = std::max(pf, PageHeight - footerTop_);
    return h + pf;
}

double TlyrEngine::FreeSpace()
{
    if (CurPage && CurPage->EndlessHeight) return 1000000;
    return PageHeight - FooterHeight() - CurY;
}
