// Keep blocks: what moves whole to the next page or column.

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
#include <set>

using namespace lyrengine;

// The parts of the block, one per column it ran over, follow one another
// from the top of the new page's first column; each object keeps its
// place within its part and a full column goes on in the next one. What
// the old column breaks printed inside the block is left out: the new
// breaks print their own.
void TlyrEngine::pasteAcrossColumns(const std::vector<std::pair<int, int>> &breaks, double rowBottom)
{
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (!store) {
        Pages()->PasteObjects(CurX, CurY);
        return;
    }
    const int from = keepPos_, firstColumn = keepColumn_;
    pasteFrom_ = from;
    const double limit = PageHeight - FooterHeight();
    int part = -1;
    double fromTop = 0, toTop = 0, bottom = CurY;
    // The column a part left when it went on in the next one, and where it
    // was placed there: a record beside the one that broke the column (stored
    // after that one's child bands) stays in its row there.
    int leftColumn = 0;
    double leftFrom = 0, leftTo = 0;
    // Where each part went: its first top before and after, and the column.
    struct Placed {
        double from, to;
        int column;
    };
    std::vector<Placed> placed;
    // The column the object being placed goes to.
    int column = CurColumn;
    std::vector<MovedBlock::Placed> parts;
    auto place = [&](int i, QRectF &box) {
        const int at = from + i;
        column = CurColumn;
        int p = 0;
        for (const auto &[b, e] : breaks) {
            if (at >= b && at < e) return false;
            if (at >= e) ++p;
        }
        // A side-by-side subreport that went on after its sibling broke the
        // column is stored after the break but stands in the part before it:
        // it goes where that part went.
        if (p > 0 && size_t(p) <= placed.size() && box.left() < columnX(firstColumn + p) - 0.0001) {
            const Placed &before = placed[p - 1];
            const double top = before.to + box.top() - before.from;
            if (top >= -0.0001 && top + box.height() <= limit + 0.0001) {
                box.moveTo(box.left() - columnX(firstColumn + p - 1) + columnX(before.column), top);
                column = before.column;
                if (before.column == CurColumn) bottom = std::max(bottom, top + box.height());
                return true;
            }
        }
        const bool starts = p != part;
        part = p;
        if (starts) leftColumn = 0;
        const double x = box.left() - columnX(firstColumn + p);
        // (Not where that column's footer totals are already printed: the
        // record goes on below in this column, where it counts.)
        if (leftColumn && box.top() < fromTop - 0.0001 && !CurPage->FindBand(&TlyrColumnFooter::staticMetaObject)) {
            const double top = leftTo + box.top() - leftFrom;
            if (top + box.height() <= limit + 0.0001) {
                box.moveTo(x + columnX(leftColumn), top);
                column = leftColumn;
                return true;
            }
        }
        double top = starts ? bottom : toTop + box.top() - fromTop;
        bool rebase = starts;
        // Beside what went on in a later column or on a new page, and with no
        // room beside it there: it goes on below what is placed.
        if (!starts && box.top() < fromTop - 0.0001) {
            top = bottom;
            rebase = true;
        }
        const bool full = top + box.height() > limit + 0.0001 && top > columnStartY_ + 0.0001;
        if (full) {
            // With the page's columns full the rest goes on a new page.
            const bool nextColumn = CurColumn < CurPage->Columns();
            leftColumn = nextColumn ? CurColumn : 0;
            leftFrom = fromTop;
            leftTo = toTop;
            CurY = bottom;
            // Headers the block shows further on are not repeated above
            // this part: their data is of records still to come here.
            const int savedAt = pasteAt_;
            pasteAt_ = at;
            {
                // Headers repeated there leave room for the part that moves
                // (what broke the page goes on below the block's last part,
                // or in the next column).
                const Saved<double> need(repeatNeed_);
                repeatNeed_ = box.height();
                if (nextColumn)
                    NewColumn();
                else
                    NewPage();
            }
            pasteAt_ = savedAt;
            bottom = top = CurY;
            rebase = true;
        }
        if (rebase) {
            fromTop = box.top();
            toTop = top;
        }
        if (rebase || starts) {
            placed.resize(std::max(placed.size(), size_t(p) + 1));
            placed[p] = {fromTop, toTop, CurColumn};
        }
        if (at == rowStart_ && rowBottom >= 0)
            movedRow_ = {top, rowBottom + top - box.top(), store->GetCurPosition()};
        box.moveTo(x + columnX(CurColumn), top);
        column = CurColumn;
        bottom = std::max(bottom, top + box.height());
        return true;
    };
    store->PasteObjects([&](int i, QRectF &box) {
        const QRectF was = box;
        if (!place(i, box)) return false;
        Aggregates.PlaceKept(i);
        parts.push_back({from + i, store->CurPage, column, box.left() - was.left(), box.top() - was.top()});
        return true;
    });
    CurY = bottom;
    movedBlock_.Parts = std::move(parts);
}

void TlyrEngine::startKeep(TlyrBand *band)
{
    const bool open = !keeping_;
    startKeep(band, Pages()->GetCurPosition(), CurY);
    // A record kept with its children beside others of its row leaves them
    // where they stand, above the column's footer, when its block moves on.
    auto *data = qobject_cast<TlyrDataBand *>(band);
    if (open && keeping_ && data && data->Columns() >= 2 && data->CurColumn() > 1) keepRowBottom_ = rowBottom_;
}

void TlyrEngine::startKeep(TlyrBand *band, int position, double y)
{
    if (keeping_ || noKeep_) return;
    TlyrCustomPreviewPages *pages = Pages();
    keeping_ = true;
    keepBand_ = band;
    ++keepSerial_;
    keepColumn_ = CurColumn;
    keepPage_ = pages->CurPage;
    keepX_ = CurX;
    keepBreaks_.clear();
    keepWidth_.clear();
    // A block from a crossed record on takes its parts in width along.
    if (footerRow_.Page == keepPage_ && footerRow_.Pos >= position) keepWidth_ = std::move(footerRow_.Parts);
    footerRow_ = FooterRow();
    keepTallest_ = 0;
    keepMovedColumn_ = false;
    keepPos_ = position;
    keepY_ = y;
    keepRowBottom_ = -1;
    keepOutline_ = pages->Outline->GetCurPosition();
    keepAnchor_ = pages->GetAnchorCurPosition();
    Aggregates.StartKeep();
}

double TlyrEngine::keptAlong(TlyrBand *band, double height) const
{
    if (!keeping_ || !keepBand_ || !keepBand_->KeepChild()) return height;
    // The children after the band in the chain the block keeps together.
    bool after = false;
    int n = 0;
    for (TlyrBand *b = keepBand_; b && n < 64; ++n, b = b->Child()) {
        if (after && b->Visible()) height += b->Height();
        if (!b->Visible() && !b->PrintChildIfInvisible()) break;
        after = after || b == band;
        if (b->Child() == b) break;
    }
    return height;
}

void TlyrEngine::endKeep(TlyrBand *band)
{
    if (keeping_ && band == keepBand_) closeKeep();
}

bool TlyrEngine::DefersPageNumbers() const
{
    // Page and column bands print where they are made; they never move.
    // The cells of a crossed band may print on a page in width.
    const bool defer = ((keeping_ || movableRecord_ || splittable_) && !inPageBand_) || crossBand_;
    if (defer)
        if (auto *store = dynamic_cast<TlyrPreviewPages *>(Pages())) store->MarksPending = true;
    return defer;
}

void TlyrEngine::fillPageNumbers(int next)
{
    // Staying on the page, an open block there may still move.
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (store && store->MarksPending && store->CurPage != next) store->FillPageNumbers(0);
}

void TlyrEngine::closeKeep()
{
    // The block's rows in width stay where they are now.
    if (auto *store = dynamic_cast<TlyrPreviewPages *>(Pages())) store->ReleaseMarks();
    keepWidth_.clear();
    keeping_ = false;
    keepBand_ = nullptr;
    keepBreaks_.clear();
    keepMovedColumn_ = false;
    Aggregates.EndKeep();
}
