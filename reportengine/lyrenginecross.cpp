// Cross output: vertical bands run across a horizontal one.

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
#include <utility>

using namespace lyrengine;

void TlyrEngine::runVerticalDataBands(std::vector<Node> &nodes)
{
    for (Node &node : nodes) {
        TlyrDataSet *ds = dataSetOf(node.Band);
        if (!ds) continue;
        TlyrDataBand *b = node.Band;
        ds->First();
        int line = 1, through = 1;
        bool first = true;
        resetSuppress(b);
        // A changed group's footers see the record before.
        const Saved<int> recordsBack(recordsBack_);
        recordsBack_ = 1;
        while (!ds->Eof() && !Report->Terminated()) {
            if (first && node.Header) {
                ShowBand(node.Header);
                vHeaderList_.push_back(node.Header);
            }
            startRecord(node, first, line, through, nullptr);
            ShowBand(b);
            ++line;
            ++through;
            first = false;
            runVerticalDataBands(node.Details);
            if (b->FooterAfterEach()) ShowBand(node.Footer);
            ds->Next();
            if (b->RowCount() != 0 && b->RowCount() < line) break;
        }
        if (!first) {
            // The footers see the last record, not the end of the data.
            const bool stepBack = ds->RangeEnd() != TlyrDataSet::reCount;
            if (stepBack) ds->Prior();
            showGroupFooters(node, 0);
            vHeaderList_.erase(std::remove(vHeaderList_.begin(), vHeaderList_.end(), node.Header), vHeaderList_.end());
            if (!b->FooterAfterEach()) ShowBand(node.Footer);
            if (stepBack) ds->Next();
        }
    }
}

// The cells of the crossed band: its objects that sit in the vertical bands
// are printed once per column, side by side, as copies owned by the band.
void TlyrEngine::startCross(TlyrBand *band)
{
    crossBand_ = band;
    vHeaderList_.clear();
    vGroupFrom_.clear();
    widthBreaks_ = {0};
    CurVColumn = 0;
    const double savedX = CurX;
    const int savedLine = CurLine, savedThrough = CurLineThrough;
    struct End {
        TlyrEngine *e;
        ~End() { e->crossBand_ = nullptr; }
    } end{this};
    // The cells begin where the first vertical band of the band's own page
    // (a subreport's page inside a subreport) stands, relative to the band,
    // which stands at the subreport's left.
    auto *own = qobject_cast<TlyrReportPage *>(band->Parent());
    if (!own) own = CurPage;
    crossRoom_ = PageWidth - savedX;
    CurX = crossRoom_;
    for (TlyrComponent *c : own->Objects())
        if (auto *b = qobject_cast<TlyrBand *>(c); b && b->Vertical()) CurX = std::min(CurX, b->Left());
    runVerticalDataBands(trees_[own].VMasters);
    widthBreaks_.push_back(band->Objects().size());
    CurX = savedX;
    CurLine = savedLine;
    CurLineThrough = savedThrough;
}

void TlyrEngine::showVerticalBand(TlyrBand *band)
{
    const bool footer = is<TlyrFooter>(band) || is<TlyrGroupFooter>(band);
    auto *data = qobject_cast<TlyrDataBand *>(band);
    if (data) ++CurVColumn;
    TlyrBand *savedBand = CurBand;
    // In a crossed total row a vertical footer's cell totals the row's own
    // totals over the columns that footer closes.
    const bool totalRow = lyrIsTotalsBand(crossBand_);
    CurBand = footer && !totalRow ? band : crossBand_;
    const int savedFrom = vColumnFrom_;
    vColumnFrom_ = footer && totalRow ? (is<TlyrGroupFooter>(band) ? std::max(vFooterFrom_, 1) : 1) : 0;
    Report->CurObject = band->Name();
    band->BeforePrint();
    Report->DoBeforePrint(band);
    if (band->Visible()) {
        if (CurX + band->Width() > crossRoom_ + 0.0001 && CurX > 0.0001) {
            if (CurPage->EndlessWidth) {
                PageWidth += CurX + band->Width() - crossRoom_;
                crossRoom_ = CurX + band->Width();
            } else {
                // The row goes on on the next page in width, with the
                // vertical headers again.
                CurX = 0;
                widthBreaks_.push_back(crossBand_->Objects().size());
                const std::vector<TlyrBand *> repeat = vHeaderList_;
                for (TlyrBand *h : repeat)
                    if (h != band) showVerticalBand(h);
            }
        }
        const QList<TlyrComponent *> objects = band->Objects();
        for (TlyrComponent *c : objects) {
            auto *v = qobject_cast<TlyrReportComponent *>(c);
            if (!v || sourceBand_.value(c) != crossBand_) continue;
            Report->CurObject = v->Name();
            v->BeforePrint();
            Report->DoBeforePrint(v);
            if (v->Visible()) {
                v->GetData();
                Report->DoNotifyEvent(v, v->OnAfterData());
                outputCopy(v, crossBand_, CurX + v->Left());
            }
            v->AfterPrint();
            Report->DoAfterPrint(v);
        }
        CurX += band->Width();
    }
    Report->DoAfterPrint(band);
    band->AfterPrint();
    CurBand = savedBand;
    vColumnFrom_ = savedFrom;
    // Totals count the cells of crossed data rows only, not those of
    // header or footer rows (whose data is not a record of the rows).
    if (data && is<TlyrDataBand>(crossBand_)) Aggregates.AddValue(data, CurVColumn);
    if (footer) Aggregates.Reset(band);
}

// A crossed row wider than the page goes on the following pages at the same
// height, one part per width break; the output then returns to the page it
// started on, and later page breaks go after the pages in width. The page it
// started on is not ended here, so its footer comes at its real end.
void TlyrEngine::outputCrossBand(TlyrBand *band)
{
    TlyrCustomPreviewPages *pages = Pages();
    const int savedPage = pages->CurPage;
    const double savedX = CurX, savedY = CurY, savedStart = columnStartY_, savedHeadersEnd = headersEndY_;
    const int savedContent = contentPos_;
    const bool savedFirst = firstPage_;
    // The pages in width start afresh; the page the row started on keeps
    // its title's room and column top.
    const PageState home = pageState();
    const QList<TlyrComponent *> objects = band->Objects();
    std::vector<bool> visible;
    for (TlyrComponent *o : objects) visible.push_back(o->Visible());
    // A crossed band output while a page in width starts keeps to that page,
    // so pages in width never recurse.
    const std::vector<qsizetype> breaks = widthBreaks_;
    const size_t parts = crossOutput_ ? 1 : breaks.size() - 1;
    const bool outer = !crossOutput_;
    crossOutput_ = true;
    // A row of an open keep block may still move with it: its numbers wait,
    // and its parts in width are remembered.
    auto *store = dynamic_cast<TlyrPreviewPages *>(pages);
    const bool kept = store && outer && parts > 1 && keeping_ && keepPage_ == savedPage;
    if (kept) store->HoldMarks(savedPage, keepPos_);
    const int before = pages->Count(), at = pages->GetCurPosition();
    // So may the row of a record that its footer may take along.
    auto *data = qobject_cast<TlyrDataBand *>(band);
    const bool withFooter = store && outer && parts > 1 && !kept && movableRecord_ && data && data->KeepFooter();
    if (withFooter) {
        footerRow_ = {savedPage, pages->GetCurPosition(), {}};
        store->HoldMarks(savedPage, footerRow_.Pos);
    }
    for (size_t part = 0; part < parts; ++part) {
        const int made = pages->Count();
        if (part > 0) {
            openWidthPage();
            // Below the page bands of the page in width, which may take
            // more room than those of the page the row started on (a page
            // header left off the first page).
            const double shift = std::max(0.0, columnStartY_ - savedStart);
            widthShift_[savedPage] = std::max(widthShift_.value(savedPage), shift);
            CurY = savedY + shift;
        }
        for (qsizetype i = 0; i < objects.size(); ++i)
            objects[i]->SetVisible(visible[size_t(i)] && i >= breaks[part] && i < breaks[part + 1]);
        // Every part stands where the band does (a subreport's left).
        band->SetLeft(savedX);
        band->SetTop(CurY);
        if ((kept || withFooter) && part > 0) {
            (kept ? keepWidth_ : footerRow_.Parts)
                    .emplace(part, WidthPart{pages->CurPage, pages->GetCurPosition(), pages->Count() > made});
            store->HoldMarks(pages->CurPage, pages->GetCurPosition());
        }
        pages->AddObject(band);
        if (part > 0) {
            widthLast_ = std::max(widthLast_, pages->CurPage);
            widthPages_.insert(pages->CurPage);
        }
    }
    if (outer) crossOutput_ = false;
    if (outer && parts > 1) {
        // A header repeated on a page may head no crossed row there: the
        // pages in width it made wait for one.
        if (!showingHeaders_ && titleWidth_.Home == savedPage)
            titleWidth_.RowsAt = std::min(titleWidth_.RowsAt, at);
        else if (showingHeaders_ && pages->Count() > before && titleWidth_.Home != savedPage)
            titleWidth_ = {savedPage, before, INT_MAX};
    }
    for (qsizetype i = 0; i < objects.size(); ++i) objects[i]->SetVisible(visible[size_t(i)]);
    if (parts > 1) {
        widthPagesFollow_ = true;
        widthFollowFrom_ = savedPage;
    }
    fillPageNumbers(savedPage);
    pages->CurPage = savedPage;
    CurX = savedX;
    CurY = savedY;
    columnStartY_ = savedStart;
    headersEndY_ = savedHeadersEnd;
    contentPos_ = savedContent;
    firstPage_ = savedFirst;
    titleRun_ = home.TitleRun;
    titleOnPage_ = home.TitleOnPage;
    columnTopY_ = home.ColumnTopY;
    band->SetLeft(savedX);
    band->SetTop(savedY);
}

void TlyrEngine::openWidthPage()
{
    // The next page in width, made with its page header when new.
    crossPage_ = true;
    firstPage_ = false;
    Pages()->AddPage(CurPage);
    initPage();
    crossPage_ = false;
}

// The parts stood lower than their rows by what the page bands of the
// pages in width they came from took more; on the new ones they stand lower
// by what those take more than the new page's.
void TlyrEngine::placeWidthParts(std::vector<TlyrXMLItem *> &parts, double dy, double fromShift)
{
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    const int home = store->CurPage;
    const double savedX = CurX, savedY = CurY;
    const PageState state = pageState();
    for (TlyrXMLItem *part : parts) {
        openWidthPage();
        widthPages_.insert(store->CurPage);
        widthLast_ = std::max(widthLast_, store->CurPage);
        const double shift = std::max(0.0, columnStartY_ - state.ColumnStartY);
        widthShift_[home] = std::max(widthShift_.value(home), shift);
        store->PutObjects(part, dy - fromShift + shift);
    }
    parts.clear();
    if (titleWidth_.Home == home) titleWidth_.RowsAt = 0;
    widthPagesFollow_ = true;
    widthFollowFrom_ = home;
    fillPageNumbers(home);
    store->CurPage = home;
    CurX = savedX;
    CurY = savedY;
    setPageState(state);
}

// A page in width gets the page footer once; its totals belong to the page
// the rows started on, so they are left as they were.
void TlyrEngine::footWidthPage()
{
    TlyrBand *pf = CurPage->FindBand(&TlyrPageFooter::staticMetaObject);
    if (!pf || Pages()->BandExists(pf)) return;
    const TlyrAggregateList::Saved totals = Aggregates.Save(pf);
    const double y = CurY;
    CurY = PageHeight - pf->Height();
    widthFooter_ = {Pages()->CurPage, CurY};
    inPageBand_ = true;
    try {
        ShowBand(pf);
    } catch (...) {
        inPageBand_ = false;
        throw;
    }
    inPageBand_ = false;
    Aggregates.Restore(totals);
    CurY = y;
}

// The pages in width of the page that ends get the page footer once, the
// last page of the report only when the footer prints there.
void TlyrEngine::footWidthPages()
{
    const int last = widthLast_;
    widthLast_ = -1;
    auto *footer = qobject_cast<TlyrPageFooter *>(CurPage->FindBand(&TlyrPageFooter::staticMetaObject));
    if (!footer || last < 0) return;
    TlyrCustomPreviewPages *pages = Pages();
    const int savedPage = pages->CurPage;
    const double x = CurX;
    const bool savedPageBand = inPageBand_;
    // They follow it; a page that is not one of them is a later output page
    // (which a side-by-side subreport reached first): the pages in width
    // after that one wait for its end.
    int page = savedPage + 1;
    for (; page <= last && page < pages->Count() && widthPages_.contains(page); ++page) {
        if (finishing_ && page == last && !footer->PrintOnLastPage) continue;
        pages->CurPage = page;
        CurX = 0;
        footWidthPage();
    }
    if (page <= last && page < pages->Count()) widthLast_ = last;
    inPageBand_ = savedPageBand;
    pages->CurPage = savedPage;
    CurX = x;
}

// Titles alone in width are wasted paper and wrong page numbers: the pages
// made for them go while they are still the last ones.
void TlyrEngine::dropTitleWidthPages()
{
    // Another page that ends (one a side-by-side subreport left) keeps it.
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (!store || titleWidth_.Home != store->CurPage) return;
    const TitleWidth made = std::exchange(titleWidth_, TitleWidth());
    if (made.RowsAt != INT_MAX || made.First <= made.Home) return;
    for (int p = made.First; p < store->Count(); ++p)
        if (!widthPages_.contains(p)) return;
    while (store->Count() > made.First) {
        const int p = store->Count() - 1;
        widthPages_.remove(p);
        widthShift_.remove(p);
        bodyTop_.remove(p);
        if (widthFooter_.first == p) widthFooter_ = {-1, 0};
        store->DropLastPage();
    }
    store->CurPage = made.Home;
    if (widthLast_ >= made.First) widthLast_ = made.First - 1 > made.Home ? made.First - 1 : -1;
    if (made.First == made.Home + 1) widthPagesFollow_ = false;
}
