// Page and column headers and footers, overlays and repeated headers.

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

// Objects placed on the page itself print on every output run of it,
// through a band as large as the page that borrows them.
void TlyrEngine::showPageObjects(TlyrReportPage *page)
{
    std::vector<std::pair<TlyrComponent *, int>> lent;
    const QList<TlyrComponent *> objects = page->Objects();
    for (int i = 0; i < objects.size(); ++i)
        if (!qobject_cast<TlyrBand *>(objects[i])) lent.emplace_back(objects[i], i);
    if (lent.empty()) return;
    auto *band = new TlyrNullBand(Report);
    band->SetParent(page);
    band->SetBounds(0, 0, PageWidth, PageHeight);
    struct GiveBack {
        TlyrReportPage *page;
        TlyrNullBand *band;
        std::vector<std::pair<TlyrComponent *, int>> &lent;
        ~GiveBack()
        {
            for (auto &[c, at] : lent) {
                c->SetParent(page);
                page->MoveChild(c, at);
            }
            delete band;
        }
    } giveBack{page, band, lent};
    for (auto &[c, at] : lent) c->SetParent(band);
    const double y = CurY;
    ShowBand(band);
    CurY = y;
}

// The page's own outline item, at the root, at the top of the page.
void TlyrEngine::addPageOutline()
{
    if (!CurPage || CurPage->OutlineText.isEmpty()) return;
    TlyrCustomOutline *outline = Pages()->Outline;
    outline->LevelRoot();
    Report->CurObject = CurPage->Name();
    outline->AddItem(Report->Calc(CurPage->OutlineText).ToText(), 0);
}

bool TlyrEngine::addBandOutline(TlyrBand *band, double designHeight)
{
    const QString text = band->OutlineText();
    if (text.isEmpty() || !band->Visible()) return false;
    Report->CurObject = band->Name();
    Pages()->Outline->AddItem(Report->Calc(text).ToText(), std::round(CurY - designHeight));
    return true;
}

// An overlay under the content comes first on a new page, one on top
// last, when the page ends.
void TlyrEngine::showOverlay(bool onTop)
{
    auto *ov = static_cast<TlyrOverlay *>(CurPage->FindBand(&TlyrOverlay::staticMetaObject));
    if (!ov || ov->PrintOnTop != onTop || Pages()->BandExists(ov)) return;
    const double saved = CurY, savedX = CurX;
    const bool savedPageBand = inPageBand_;
    inPageBand_ = true;
    CurX = 0;
    CurY = 0;
    ShowBand(ov);
    CurX = savedX;
    CurY = saved;
    inPageBand_ = savedPageBand;
}

void TlyrEngine::showColumnFooter()
{
    TlyrBand *cf = CurPage->FindBand(&TlyrColumnFooter::staticMetaObject);
    // The column ends below the records of a row still open beside the last
    // one, and below the band whose subreport broke the column.
    const double rowBottom = std::max(rowBottom_, subHostBottom_);
    rowBottom_ = -1;
    subHostBottom_ = -1;
    // Side-by-side subreports that each broke the page end its column once.
    if (!cf || !footedColumns_.insert({cf, Pages()->CurPage, CurColumn}).second) return;
    if (rowBottom > CurY) CurY = rowBottom;
    // Under a band taller than the column, which runs past its bottom, the
    // footer still stands on the page.
    if (!CurPage->EndlessHeight) CurY = std::min(CurY, PageHeight - FooterHeight());
    const bool savedPageBand = inPageBand_;
    inPageBand_ = true;
    // The footer belongs to the page's column, not to a subreport running in
    // it.
    const double savedX = CurX;
    CurX -= baseX() + childLeft_;
    ShowBand(cf);
    CurX = savedX;
    inPageBand_ = savedPageBand;
}

void TlyrEngine::initPage(TlyrBand *title)
{
    headsTop_ = HeadsTop();
    // Page bands stand at the page's left; a subreport goes on at its own
    // offset in the first column.
    CurX = 0;
    CurY = 0;
    childLeft_ = 0;
    titleOnPage_ = false;
    CurColumn = 1;
    auto *ph = static_cast<TlyrPageHeader *>(CurPage->FindBand(&TlyrPageHeader::staticMetaObject));
    // A page header kept off the first page may leave its place to its child.
    TlyrBand *head = ph;
    if (ph && firstPage_ && !ph->PrintOnFirstPage) head = ph->PrintChildIfInvisible() ? ph->Child() : nullptr;
    // A page that a side-by-side subreport already reached has its header.
    bool reused = Pages()->GetCurPosition() > 0;
    if (!reused) showOverlay(false);
    // The title goes above the page header or below it, as the page says.
    int breaks = breaks_;
    titleRun_ = 0;
    auto showTitle = [&](bool before) {
        // A title's subreport that runs into the next column starts it
        // below the page header, not over it.
        columnStartY_ = CurY;
        headersEndY_ = CurY;
        contentPos_ = Pages()->GetCurPosition();
        columnTopY_ = CurY;
        if (title && CurPage->TitleBeforeHeader == before) {
            const double y = CurY;
            ShowBand(title);
            titleRun_ = CurY - y;
        }
        // A title whose subreport ran on over pages left its last page set up.
        return breaks_ == breaks;
    };
    TlyrBand *ch = CurPage->FindBand(&TlyrColumnHeader::staticMetaObject);
    // A title whose subreport left no room for the page bands below it
    // ends its page: they begin the next one.
    auto leftNoRoom = [&](TlyrBand *from) {
        if (reused || titleRun_ <= 0) return false;
        double need = 0;
        for (TlyrBand *b : {from, ch})
            for (int chain = 0; b && chain < 64; ++chain, b = b->Child() == b ? nullptr : b->Child()) need += b->Height();
        if (CurY + need <= PageHeight - FooterHeight() + 0.0001) return false;
        NewPage();
        return true;
    };
    if (!showTitle(true)) return;
    if (leftNoRoom(head)) return;
    inPageBand_ = true;
    if (head && !reused) ShowBand(head);
    if (reused && head) CurY += head->Height();
    inPageBand_ = false;
    if (!showTitle(false) || leftNoRoom(nullptr)) return;
    columnTopY_ = CurY;
    inPageBand_ = true;
    if (ch) {
        if (!reused)
            ShowBand(ch);
        else
            CurY += ch->Height();
    }
    inPageBand_ = false;
    columnStartY_ = CurY;
    // Pages that continue a crossed row in width repeat no data headers; a
    // page reached again already has them.
    if (reused)
        CurY = std::max(CurY, bodyTop_.value(Pages()->CurPage, CurY));
    else if (!firstPage_ && !crossPage_)
        showRepeatedHeaders(0);
    if (!reused) bodyTop_[Pages()->CurPage] = CurY;
    headersEndY_ = CurY;
    contentPos_ = Pages()->GetCurPosition();
    // A repeated header that split may have gone on in a later column.
    CurX = (CurColumn > 1 ? columnX(CurColumn) : 0) + baseX();
}

void TlyrEngine::EndPage()
{
    if (!CurPage) return;
    dropTitleWidthPages();
    auto *pf = static_cast<TlyrPageFooter *>(CurPage->FindBand(&TlyrPageFooter::staticMetaObject));
    showColumnFooter();
    inPageBand_ = true;
    // A page that has the previous report page's footer keeps that one; a
    // footer never goes over that page's output.
    const bool footed = Pages()->CurPage == continuedPage_ &&
                        (continuedFooter_ || (pf && continuedY_ > PageHeight - pf->Height() + 0.0001));
    footerPage_ = -1;
    if (pf) {
        const bool first = firstPage_ || Pages()->CurPage == firstPageIndex_;
        // Pages in width after it, not this one, end the report.
        const bool last = finishing_ && widthLast_ <= Pages()->CurPage;
        const bool show = (!first || pf->PrintOnFirstPage) && (!last || pf->PrintOnLastPage) && !footed;
        if (show && !Pages()->BandExists(pf)) {
            // At the page's left, whatever column the page ended in.
            const double savedX = CurX;
            CurX = 0;
            CurY = PageHeight - pf->Height();
            footerPage_ = Pages()->CurPage;
            footerTop_ = CurY;
            ShowBand(pf);
            CurX = savedX;
        }
        footWidthPages();
        // Page-footer totals are per page: they restart on every new page
        // whether or not the footer was printed.
        Aggregates.Reset(pf);
    } else {
        widthLast_ = -1;
    }
    showOverlay(true);
    inPageBand_ = false;
    firstPage_ = false;
}

void TlyrEngine::addHeader(TlyrBand *band)
{
    headerList_.push_back(band);
    headerLeft_[band] = baseX();
    headerKeep_[band] = keeping_ ? keepSerial_ : 0;
    headerAdded_[band] = {Pages()->CurPage, Pages()->GetCurPosition()};
}

void TlyrEngine::closeHeader(TlyrBand *header, int lastPos)
{
    closedHeaders_.insert(header);
    headerClosed_[header] = {Pages()->CurPage, lastPos};
    if (keeping_)
        for (auto it = headerRuns_.rbegin(); it != headerRuns_.rend(); ++it)
            if (it->Band == header && it->Block == keepSerial_) {
                if (it->Closed == INT_MAX && Pages()->CurPage == keepPage_) it->Closed = lastPos - keepPos_;
                break;
            }
}

void TlyrEngine::noteHeaderRun(TlyrBand *header, int from, double x)
{
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (!keeping_ || !store || !repeatsOnNewPage(header) || Pages()->CurPage != keepPage_ || from < keepPos_) return;
    if (!headerRuns_.empty() && headerRuns_.front().Block != keepSerial_) headerRuns_.clear();
    const int to = Pages()->GetCurPosition();
    headerRuns_.push_back({header, keepSerial_, from - keepPos_, to - keepPos_, INT_MAX, x, store->CopyObjects(from, to)});
}

const TlyrEngine::HeaderRun *TlyrEngine::headerRunAtPaste(TlyrBand *header) const
{
    const int at = pasteAt_ - pasteFrom_;
    for (auto it = headerRuns_.rbegin(); it != headerRuns_.rend(); ++it)
        if (it->Band == header && it->Block == keepSerial_ && it->To <= at && at < it->Closed) return &*it;
    return nullptr;
}

void TlyrEngine::showHeaderRun(const HeaderRun &run)
{
    auto *store = dynamic_cast<TlyrPreviewPages *>(Pages());
    if (!store) return;
    const QRectF box = store->CopiedBox(*run.Copy);
    // Where it would push off the part that fits below it, the part goes
    // without it.
    const double limit = PageHeight - FooterHeight(), below = CurY + box.height();
    if (box.isNull() || below > limit + 0.0001 ||
        (CurY + repeatNeed_ <= limit + 0.0001 && below + repeatNeed_ > limit + 0.0001))
        return;
    store->AddCopies(*run.Copy, CurX - run.X, CurY - box.top());
    CurY += box.height();
}

// A header whose subreport runs on to a new page (or column) is shown there
// again above the rows it goes on with, unless it moves there itself.
void TlyrEngine::showSideHost()
{
    TlyrBand *b = sideHost_.Band;
    if (b == breakBand_ || !b->Visible()) return;
    if (movingKeep_ && keepPage_ == sideHost_.Page && keepPos_ <= sideHost_.Pos) return;
    const int line = CurLine, through = CurLineThrough;
    if (auto *g = qobject_cast<TlyrGroupHeader *>(b)) {
        CurLine = groupLine_.value(g);
        CurLineThrough = groupThrough_.value(g);
    }
    // Its own subreports stay running: it must not start them again.
    const Saved<SideHost> running(sideHost_);
    sideHost_ = SideHost();
    ShowBand(b);
    CurLine = line;
    CurLineThrough = through;
}

bool TlyrEngine::closedAbovePaste(TlyrBand *header) const
{
    if (pasteAt_ < 0) return false;
    const auto closed = headerClosed_.constFind(header);
    return closed != headerClosed_.cend() && closed->first == keepPage_ && closed->second > pasteAt_;
}

bool TlyrEngine::closedLeftOut(TlyrBand *header) const
{
    if (!closedHeaders_.contains(header) || closedAbovePaste(header)) return false;
    if (!movingKeep_) return true;
    // A block begun where the run ended (below a record hidden by its
    // script, say) holds only its footers.
    const auto closed = headerClosed_.constFind(header);
    return closed != headerClosed_.cend() && closed->first == keepPage_ && closed->second <= keepPos_;
}

void TlyrEngine::showRepeatedHeaders(double x)
{
    const bool savedShowing = showingHeaders_;
    showingHeaders_ = true;
    const int line = CurLine, through = CurLineThrough;
    const std::vector<TlyrBand *> repeat = headerList_;
    // A header that splits over columns repeats only the headers above it
    // in each new column; it and those below it follow its last part.
    const size_t limit = std::min(repeat.size(), repeatLimit_);
    const int column = CurColumn;
    bool hostShown = false;
    auto showHost = [&] {
        if (hostShown || !sideHost_.Band) return;
        hostShown = true;
        CurX = (CurColumn == column ? x : CurColumn > 1 ? columnX(CurColumn) : 0) + sideHost_.Left;
        showSideHost();
    };
    for (size_t i = 0; i < limit; ++i) {
        if (i == sideHost_.Listed) showHost();
        TlyrBand *b = repeat[i];
        // Headers shown inside a block that moves to the new page come with it.
        if (!repeatsOnNewPage(b) || (movingKeep_ && headerKeep_.value(b) == movingKeep_)) continue;
        // A header whose run's footer printed heads only a block that
        // moves here with records of that run.
        if (closedLeftOut(b)) continue;
        // A header that itself moves to the new page (or a band of its child
        // chain does) prints there once.
        bool moving = false;
        int chain = 0;
        for (TlyrBand *c = b; c && !moving && chain++ < 64; c = c->Child()) moving = c == breakBand_;
        if (moving) continue;
        // A later run of the group is shown further on: the part heads
        // records of an earlier one, whose header it repeats as printed.
        bool earlierRun = false;
        if (pasteAt_ >= 0) {
            const auto added = headerAdded_.constFind(b);
            earlierRun = added != headerAdded_.cend() && added->first == keepPage_ && added->second > pasteAt_;
        }
        // The headers below one that split go on in the column it ended in.
        CurX = (CurColumn == column ? x : CurColumn > 1 ? columnX(CurColumn) : 0) + headerLeft_.value(b);
        if (earlierRun) {
            if (const HeaderRun *run = headerRunAtPaste(b)) showHeaderRun(*run);
            continue;
        }
        // A group header prints its own group's counters again.
        if (auto *g = qobject_cast<TlyrGroupHeader *>(b)) {
            CurLine = groupLine_.value(g);
            CurLineThrough = groupThrough_.value(g);
        }
        struct Restore {
            size_t &limit;
            TlyrBand *&flowing;
            size_t savedLimit;
            TlyrBand *savedFlowing;
            ~Restore()
            {
                limit = savedLimit;
                flowing = savedFlowing;
            }
        } restore{repeatLimit_, flowingHeader_, repeatLimit_, flowingHeader_};
        if (b->AllowSplit()) {
            repeatLimit_ = i;
            flowingHeader_ = b;
        }
        // One that may split is cut to leave room for the headers below it
        // too, where they fit.
        const Saved<double> need(repeatNeed_);
        if (b->AllowSplit() && repeatNeed_ > 0) {
            double below = 0;
            for (size_t j = i + 1; j < limit; ++j) {
                TlyrBand *c = repeat[j];
                if (!repeatsOnNewPage(c) || (movingKeep_ && headerKeep_.value(c) == movingKeep_) ||
                    closedLeftOut(c) || c == breakBand_ || !c->Visible())
                    continue;
                below += c->Height();
            }
            if (repeatNeed_ + below <= FreeSpace() + 0.0001) repeatNeed_ += below;
        }
        ShowBand(b);
        CurLine = line;
        CurLineThrough = through;
    }
    if (limit >= sideHost_.Listed) showHost();
    // Groups whose runs closed inside the block are listed no more: the
    // parts of their runs repeat their headers below the listed ones, outer
    // ones first.
    if (pasteAt_ >= 0 && limit == repeat.size()) {
        std::vector<const HeaderRun *> closed;
        for (const HeaderRun &r : headerRuns_)
            if (std::find(repeat.begin(), repeat.end(), r.Band) == repeat.end() && headerRunAtPaste(r.Band) == &r)
                closed.push_back(&r);
        std::sort(closed.begin(), closed.end(), [](const HeaderRun *a, const HeaderRun *b) { return a->From < b->From; });
        CurX = (CurColumn == column ? x : columnX(CurColumn));
        for (const HeaderRun *r : closed) showHeaderRun(*r);
    }
    showingHeaders_ = savedShowing;
}
