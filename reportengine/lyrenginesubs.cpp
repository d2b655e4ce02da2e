// Subreports, side by side and printed on their parent band.

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

// The visible subreports of a band that print on their parent or not. One
// whose page is already running (its own page, or a page that runs it) would
// run without end: it is left out, with an error line naming it.
std::vector<TlyrSubreport *> TlyrEngine::subreportsOf(const QList<TlyrReportComponent *> &views, bool onParent)
{
    std::vector<TlyrSubreport *> subs;
    for (TlyrReportComponent *v : views) {
        auto *s = qobject_cast<TlyrSubreport *>(v);
        if (!s || !s->Visible() || s->PrintOnParent() != onParent) continue;
        auto *page = qobject_cast<TlyrReportPage *>(s->SubPage());
        if (!page) continue;
        if (runningSubs_.contains(page) || page == CurPage) {
            Report->AddError(QStringLiteral("子报表 %1 的页 %2 已在生成中（循环引用），已跳过").arg(s->Name(), page->Name()));
            continue;
        }
        if (runningSubs_.size() >= MaxSubreportDepth) {
            Report->AddError(QStringLiteral("子报表 %1 嵌套超过 %2 层，已跳过").arg(s->Name()).arg(MaxSubreportDepth));
            continue;
        }
        subs.push_back(s);
    }
    return subs;
}

void TlyrEngine::runSubreport(TlyrSubreport *s)
{
    // Its pages run beside the bands around: a block holding them stays in
    // its column.
    subRanAt_ = {Pages()->CurPage, Pages()->GetCurPosition()};
    auto *page = static_cast<TlyrReportPage *>(s->SubPage());
    struct Running {
        QSet<TlyrReportPage *> &set;
        TlyrReportPage *page;
        ~Running() { set.remove(page); }
    } running{runningSubs_, page};
    runningSubs_.insert(page);
    runDataBands(trees_[page].Masters);
}

// Subreports that print on their parent put their output into the band
// itself: their bands run below the subreport's place and every object they
// print is copied into this band at that place, not stretched again.
bool TlyrEngine::collectPrintOnParent(TlyrBand *band, const QList<TlyrReportComponent *> &views)
{
    const std::vector<TlyrSubreport *> subs = subreportsOf(views, true);
    if (subs.empty()) return false;
    const double savedX = CurX, savedY = CurY, savedBase = subBaseX_;
    const bool savedNoKeep = noKeep_;
    struct Restore {
        TlyrEngine *e;
        double x, y, base;
        bool noKeep;
        ~Restore()
        {
            e->popTarget_ = nullptr;
            e->CurX = x;
            e->CurY = y;
            e->subBaseX_ = base;
            e->noKeep_ = noKeep;
        }
    } restore{this, savedX, savedY, savedBase, savedNoKeep};
    popTarget_ = band;
    noKeep_ = true;
    for (TlyrSubreport *s : subs) {
        // Positions inside the band: the band's own left is not added.
        CurX = s->Left();
        CurY = s->Top();
        subBaseX_ = CurX;
        runSubreport(s);
    }
    return true;
}

// A printed object's copy that a band carries for one output (freed when
// the band is finished); null for a class that cannot be made.
TlyrReportComponent *TlyrEngine::outputCopy(TlyrReportComponent *v, TlyrBand *band, double left)
{
    QObject *noOwner = nullptr;
    QObject *made = v->metaObject()->newInstance(Q_ARG(QObject *, noOwner));
    auto *copy = qobject_cast<TlyrReportComponent *>(made);
    if (!copy) {
        delete made;
        return nullptr;
    }
    copy->AssignAll(v);
    copy->SetName(v->Name());
    copy->SetParent(band);
    copy->SetLeft(left);
    return copy;
}

void TlyrEngine::copyToPrintOnParent(TlyrBand *from)
{
    for (TlyrComponent *c : from->Objects()) {
        auto *v = qobject_cast<TlyrView *>(c);
        if (!v || !v->Visible() || qobject_cast<TlyrSubreport *>(v)) continue;
        TlyrReportComponent *copy = outputCopy(v, popTarget_, from->Left() + v->Left());
        if (!copy) continue;
        copy->SetTop(from->Top() + v->Top());
        copy->SetParentFont(false);
        if (auto *st = qobject_cast<TlyrStretcheable *>(copy)) st->SetStretchMode(smDontStretch);
    }
}

TlyrEngine::PageState TlyrEngine::pageState() const
{
    return {columnTopY_, columnStartY_, headersEndY_, titleRun_, contentPos_, titleOnPage_, firstPage_};
}

void TlyrEngine::setPageState(const PageState &state)
{
    columnTopY_ = state.ColumnTopY;
    columnStartY_ = state.ColumnStartY;
    headersEndY_ = state.HeadersEndY;
    titleRun_ = state.TitleRun;
    contentPos_ = state.ContentPos;
    titleOnPage_ = state.TitleOnPage;
    firstPage_ = state.FirstPage;
}

// Subreport objects of a band run their pages below the band's top, each
// from where the band ended; the output continues after the one that went
// furthest (page, then column, then position).
void TlyrEngine::showSubreports(TlyrBand *band, const QList<TlyrReportComponent *> &views)
{
    const std::vector<TlyrSubreport *> subs = subreportsOf(views, false);
    if (subs.empty()) return;
    TlyrCustomPreviewPages *pages = Pages();
    int savedPage = pages->CurPage, savedColumn = CurColumn;
    double savedX = CurX, savedY = CurY, bandTop = CurY - band->Height();
    // The band is the last object on its page; a kept block holding it may
    // move to a new page while one of its subreports runs.
    const int hostPos = pages->GetCurPosition() - 1;
    int moves = blockMoves_;
    const double savedSubBase = subBaseX_, savedBase = baseX(), savedChildLeft = childLeft_;
    int bestPage = savedPage, bestColumn = savedColumn;
    double bestY = savedY;
    PageState start = pageState(), best = start;
    const double savedHost = subHostBottom_;
    double outerHost = savedHost;
    const int breaks = breaks_;
    const Saved<SideHost> savedSideHost(sideHost_);
    if (repeatsOnNewPage(band) && std::find(headerList_.begin(), headerList_.end(), band) == headerList_.end())
        sideHost_ = {band, savedPage, hostPos, savedBase, headerList_.size()};
    for (TlyrSubreport *s : subs) {
        if (blockMoves_ != moves && movedBlock_.FromPage == savedPage && movedBlock_.FromPos <= hostPos) {
            // The band went on a new page with its block: the subreports
            // beside it start there.
            MovedBlock::Placed host{hostPos, movedBlock_.ToPage, movedBlock_.ToColumn, movedBlock_.Dx, movedBlock_.Dy};
            // Pasted over columns, the band went where its own part did.
            for (const MovedBlock::Placed &p : movedBlock_.Parts)
                if (p.Pos == hostPos) host = p;
            savedPage = host.Page;
            savedColumn = host.Column;
            savedX += host.Dx;
            savedY += host.Dy;
            bandTop += host.Dy;
            outerHost = -1;
            start = bestPage == savedPage ? best : pageState();
        }
        moves = blockMoves_;
        // A subreport nested in another runs under both hosts: the column
        // ends below the lower of them while it is still on their page.
        subHostBottom_ = std::max(outerHost, savedY);
        fillPageNumbers(savedPage);
        pages->CurPage = savedPage;
        setPageState(start);
        CurColumn = savedColumn;
        CurX = savedX + s->Left();
        CurY = bandTop + s->Top();
        // The subreport's offset within any page column: after a break it
        // goes on in the next column or in the new page's first one.
        subBaseX_ = savedBase + s->Left();
        runSubreport(s);
        subBaseX_ = savedSubBase;
        const bool further = pages->CurPage > bestPage || (pages->CurPage == bestPage && CurColumn > bestColumn) ||
                             (pages->CurPage == bestPage && CurColumn == bestColumn && CurY > bestY);
        if (further) {
            bestPage = pages->CurPage;
            bestColumn = CurColumn;
            bestY = CurY;
            best = pageState();
        }
    }
    // An outer band hosting these is behind once a column broke.
    subHostBottom_ = breaks_ == breaks ? savedHost : -1;
    fillPageNumbers(bestPage);
    pages->CurPage = bestPage;
    setPageState(best);
    // The band's own page goes on in the column where the subreports ended.
    if (bestColumn != savedColumn && CurPage->Columns() >= 2)
        CurX = savedX - (savedColumn > 1 ? columnX(savedColumn) : 0) + (bestColumn > 1 ? columnX(bestColumn) : 0);
    else
        CurX = savedX;
    CurColumn = bestColumn;
    CurY = bestY;
    // CurX goes on from the band's own, with what it held of its row.
    childLeft_ = savedChildLeft;
}
