#include "reportengine/lyrengine.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdmpclass.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdialogpage.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "reportengine/lyrpreview.h"
#include "report/lyrview.h"
#include "report/lyrview.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <set>

void lyrInstallEngine()
{
    TlyrEngineFactories &f = lyrEngineFactories();
    f.Engine = [](TlyrReport *r) -> TlyrCustomEngine * { return new TlyrEngine(r); };
    f.PreviewPages = [](TlyrReport *r) -> TlyrCustomPreviewPages * { return new TlyrPreviewPages(r); };
    // A preview window the host (or a test) chose already stays.
    if (!f.PreviewForm) lyrInstallPreview();
    // New pages take the paper of the current printer.
    lyrCurrentPaperHook() = [](TlyrCurrentPaper &paper) {
        TlyrCustomPrinter *printer = lyrPrinters().Printer();
        if (!printer) return false;
        paper.PaperSize = printer->PaperSize;
        paper.Width = printer->PaperWidth;
        paper.Height = printer->PaperHeight;
        paper.Orientation = printer->Orientation;
        return true;
    };
}

TlyrEngine::TlyrEngine(TlyrReport *report) : TlyrCustomEngine(report), Aggregates(report)
{
    Aggregates.SourceBandOf = [this](TlyrComponent *c) { return sourceBand_.value(c); };
}

TlyrEngine::~TlyrEngine() = default;

const std::vector<TlyrEngine::Node> &TlyrEngine::Masters(TlyrReportPage *page) const
{
    static const std::vector<Node> none;
    auto it = trees_.constFind(page);
    return it == trees_.cend() ? none : it->Masters;
}

TlyrDataSet *TlyrEngine::dataSetOf(TlyrDataBand *band) const
{
    if (band->DataSet()) return band->DataSet();
    // A band that had rows when the run began keeps its rows when a script
    // sets their number to 0 for one master.
    if (band->RowCount() >= 1 || rowBands_.contains(band)) return band->VirtualDataSet();
    return nullptr;
}

// ---------------------------------------------------------------- band tree

namespace {
QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}
template <class T>
bool is(const TlyrBand *b)
{
    return b && qobject_cast<const T *>(b) != nullptr;
}
// The line a dot-matrix text's bottom frame line is printed on.
double dmpBottomLine(const TlyrComponent *c)
{
    auto *m = qobject_cast<const TlyrDMPMemoView *>(c);
    return m && (m->Frame()->Typ() & ftBottom) ? lyrCharY : 0;
}
void resetSuppress(const TlyrBand *b)
{
    for (TlyrComponent *c : b->Objects())
        if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) m->ResetSuppress();
}
bool repeatsOnNewPage(const TlyrBand *b)
{
    if (auto *h = qobject_cast<const TlyrHeader *>(b)) return h->ReprintOnNewPage;
    if (auto *g = qobject_cast<const TlyrGroupHeader *>(b)) return g->ReprintOnNewPage;
    return false;
}
void compact(std::vector<TlyrBand *> &list)
{
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
}
}  // namespace

// Objects of horizontal bands that lie within a vertical band move into it;
// they print once per column of that band, in the row of the band they came
// from.
void TlyrEngine::crossBands(TlyrReportPage *page)
{
    std::vector<TlyrBand *> verticals;
    for (TlyrComponent *c : page->Objects())
        if (auto *b = qobject_cast<TlyrBand *>(c); b && b->Vertical()) verticals.push_back(b);
    if (verticals.empty()) return;
    for (TlyrComponent *c : page->Objects()) {
        auto *b = qobject_cast<TlyrBand *>(c);
        if (!b || b->Vertical()) continue;
        // Page and column bands are not crossed: they are printed while a
        // page starts or ends, where no page in width may begin.
        const int n = b->BandNumber();
        if (n == 2 || n == 3 || n >= 15) continue;
        const QList<TlyrComponent *> objects = b->Objects();
        for (TlyrComponent *o : objects) {
            for (TlyrBand *v : verticals) {
                const double left = o->Left();
                if (left < v->Left() - 0.0001 || v->Left() + v->Width() + 0.0001 < left + o->Width()) continue;
                crossed_.insert(b);
                sourceBand_.insert(o, b);
                o->SetParent(v);
                o->SetLeft(left - v->Left());
                break;
            }
        }
    }
}

void TlyrEngine::prepareBands(TlyrReportPage *page, bool vertical)
{
    page->AlignChildren();
    PageTree &tree = trees_[page];
    std::vector<Node> &masters = vertical ? tree.VMasters : tree.Masters;
    if (!vertical) tree = PageTree();
    if (!vertical) crossBands(page);
    std::vector<TlyrBand *> list;
    for (TlyrComponent *c : page->Objects()) {
        auto *b = qobject_cast<TlyrBand *>(c);
        if (!b || b->Vertical() != vertical) continue;
        const int n = b->BandNumber();
        if (n >= 4 && n <= 13) list.push_back(b);
        if (auto *d = qobject_cast<TlyrDataBand *>(b); d && !d->DataSet() && d->RowCount() >= 1) rowBands_.insert(d);
    }
    // Ordered by the numeric position, stably: bands at the same place all
    // take part.
    std::stable_sort(list.begin(), list.end(), [vertical](TlyrBand *a, TlyrBand *b) {
        return vertical ? a->Left() < b->Left() : a->Top() < b->Top();
    });

    // Groups.
    QHash<TlyrDataBand *, std::vector<TlyrGroupHeader *>> groupsOf;
    for (size_t i = 0; i < list.size(); ++i) {
        auto *g = qobject_cast<TlyrGroupHeader *>(list[i]);
        if (!g) continue;
        std::vector<TlyrGroupHeader *> chain{g};
        size_t j = i + 1;
        while (j < list.size() && is<TlyrGroupHeader>(list[j]))
            chain.push_back(static_cast<TlyrGroupHeader *>(list[j++]));
        while (j < list.size() && !is<TlyrDataBand>(list[j])) ++j;
        if (j >= list.size()) {
            Report->AddError(res("enUnconnGroup") + QLatin1Char(' ') + g->Name());
            break;
        }
        groupsOf[static_cast<TlyrDataBand *>(list[j])] = chain;
        i = j;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (!is<TlyrGroupFooter>(list[i])) continue;
        for (size_t k = i; k-- > 0;)
            if (is<TlyrGroupHeader>(list[k])) {
                tree.GroupFooters.insert(static_cast<TlyrGroupHeader *>(list[k]), list[i]);
                list[k] = nullptr;
                list[i] = nullptr;
                break;
            }
    }
    for (TlyrBand *&b : list) {
        if (is<TlyrGroupHeader>(b)) b = nullptr;
        if (is<TlyrGroupFooter>(b)) {
            Report->AddError(res("enUnconnGFooter") + QLatin1Char(' ') + b->Name());
            b = nullptr;
        }
    }
    compact(list);

    // Headers and footers next to their data bands.
    QHash<TlyrDataBand *, std::pair<TlyrBand *, TlyrBand *>> hf;
    for (size_t i = 0; i < list.size(); ++i) {
        auto *d = qobject_cast<TlyrDataBand *>(list[i]);
        if (!d) continue;
        if (i > 0 && is<TlyrHeader>(list[i - 1])) {
            hf[d].first = list[i - 1];
            list[i - 1] = nullptr;
        }
        if (i + 1 < list.size() && is<TlyrFooter>(list[i + 1])) {
            hf[d].second = list[i + 1];
            list[i + 1] = nullptr;
        }
    }
    for (TlyrBand *&b : list)
        if (is<TlyrHeader>(b) || is<TlyrFooter>(b)) {
            Report->AddError(res("enUnconnHeader") + QLatin1Char(' ') + b->Name());
            b = nullptr;
        }
    compact(list);

    // Masters and their details.
    auto fill = [&](Node &n) {
        n.Header = hf.value(n.Band).first;
        n.Footer = hf.value(n.Band).second;
        n.Groups = groupsOf.value(n.Band);
    };
    for (size_t i = 0; i < list.size(); ++i) {
        auto *m = qobject_cast<TlyrMasterData *>(list[i]);
        if (!m) continue;
        Node node;
        node.Band = m;
        fill(node);
        list[i] = nullptr;
        linkDetails(node, list, i + 1);
        for (Node &d : node.Details) fill(d);
        std::function<void(Node &)> fillAll = [&](Node &n) {
            fill(n);
            for (Node &d : n.Details) fillAll(d);
        };
        fillAll(node);
        if (dataSetOf(m)) masters.push_back(std::move(node));
    }
    for (TlyrBand *b : list)
        if (b) Report->AddError(res("enBandPos") + QLatin1Char(' ') + b->Name());
}

void TlyrEngine::linkDetails(Node &node, std::vector<TlyrBand *> &list, size_t from)
{
    const int number = node.Band->BandNumber();
    for (size_t i = from; i < list.size(); ++i) {
        TlyrBand *b = list[i];
        if (!b) continue;
        const int n = b->BandNumber();
        if (n <= number) return;
        if (n != number + 1) continue;
        Node d;
        d.Band = static_cast<TlyrDataBand *>(b);
        list[i] = nullptr;
        if (!is<TlyrDataBand6>(b)) linkDetails(d, list, i + 1);
        if (dataSetOf(d.Band)) node.Details.push_back(std::move(d));
    }
}

// ---------------------------------------------------------------- run

bool TlyrEngine::runDialogs()
{
    if (!Report->OnRunDialogs().isEmpty()) {
        KsValue params = KsValue::MakeList({KsValue(true)});
        Report->DoParamEvent(Report->OnRunDialogs(), params, true);
        return params.Element(0).ToBool();
    }
    for (int i = 0; i < Report->PagesCount(); ++i) {
        auto *dialog = qobject_cast<TlyrDialogPage *>(Report->Pages(i));
        if (!dialog || !dialog->Visible() || dialog->Objects().isEmpty()) continue;
        const int result = OnRunDialog ? OnRunDialog(dialog) : dialog->ShowModal();
        if (result == TlyrDialogPage::mrCancel) return false;
    }
    return true;
}

bool TlyrEngine::Run()
{
    TlyrCustomPreviewPages *pages = Pages();
    pages->Initialize();
    StartDate = std::floor(lyrNow());
    StartTime = lyrNow();
    Running = true;
    CurVColumn = 0;
    Aggregates.Clear();
    headerList_.clear();
    headerLeft_.clear();
    headerKeep_.clear();
    lastValues_.clear();
    groupRecords_.clear();
    groupLine_.clear();
    outlined_.clear();
    bandLine_.clear();
    trees_.clear();
    rowBands_.clear();
    shiftTrees_.clear();
    crossed_.clear();
    sourceBand_.clear();
    crossBand_ = nullptr;
    rowBottom_ = -1;
    subHostBottom_ = -1;
    crossOutput_ = false;
    crossPage_ = false;
    widthPagesFollow_ = false;
    bool result = false;
    bool datasetsOpen = false;
    try {
        std::vector<TlyrReportPage *> reportPages;
        for (int i = 0; i < Report->PagesCount(); ++i)
            if (auto *p = qobject_cast<TlyrReportPage *>(Report->Pages(i))) reportPages.push_back(p);
        for (TlyrReportPage *p : reportPages) {
            CurPage = p;
            prepareBands(p, false);
            prepareBands(p, true);
        }
        for (TlyrReportPage *p : reportPages) {
            TlyrDataSet *rds = Report->DataSet();
            if (rds && rds == p->DataSet()) {
                Report->AddError(QStringLiteral("Cannot use the same dataset for Report.DataSet and Page.DataSet"));
                break;
            }
            for (const Node &n : Masters(p)) {
                TlyrDataSet *ds = n.Band->DataSet();
                if (!ds) continue;
                if (ds == rds) {
                    Report->AddError(QStringLiteral("Cannot use the same dataset for Report.DataSet and Band.DataSet"));
                    break;
                }
                if (ds == p->DataSet()) {
                    Report->AddError(QStringLiteral("Cannot use the same dataset for Page.DataSet and Band.DataSet"));
                    break;
                }
            }
        }
        if (Report->Errors().isEmpty()) {
            Report->Datasets()->Initialize();
            datasetsOpen = true;
            Report->DoNotifyEvent(Report, Report->OnStartReport());
            if (runDialogs()) {
                result = true;
                for (TlyrReportPage *p : reportPages) {
                    CurPage = p;
                    pages->AddSourcePage(p);
                    collectAggregates(p);
                }
                FinalPass = !DoublePass();
                TotalPages = 0;
                pages->BeginPass();
                runReportPages();
                // Closes the last group of logical page numbers.
                pages->ResetLogicalPageNumber();
                if (DoublePass() && !Report->Terminated()) {
                    TotalPages = pages->Count();
                    pages->ClearFirstPassPages();
                    Aggregates.ClearValues();
                    lastValues_.clear();
                    FinalPass = true;
                    widthPagesFollow_ = false;
                    runReportPages();
                }
            }
            Report->DoNotifyEvent(Report, Report->OnStopReport());
        }
    } catch (const std::exception &e) {
        // Whatever failed, the run ends cleanly and the error reaches the report.
        const auto *err = dynamic_cast<const velmora::Error *>(&e);
        Report->AddError(dynamic_cast<const KsError *>(&e)
                                 ? lyrBuildErrorText(e)
                                 : (err ? err->message() : QString::fromLocal8Bit(e.what())));
        result = false;
    }
    try {
        if (datasetsOpen) Report->Datasets()->Finalize();
    } catch (const std::exception &e) {
        Report->AddError(QString::fromLocal8Bit(e.what()));
    }
    pages->Finish();
    Running = false;
    CurBand = nullptr;
    return result && Report->Errors().isEmpty();
}

void TlyrEngine::collectAggregates(TlyrReportPage *page)
{
    std::vector<TlyrBand *> pairs;
    auto &tree = trees_[page];
    std::function<void(Node &)> walk = [&](Node &n) {
        // A vertical data band also totals in itself: its cells of a
        // crossed footer.
        if (n.Band->Vertical()) pairs.insert(pairs.end(), {n.Band, n.Band});
        if (n.Footer) pairs.insert(pairs.end(), {n.Footer, n.Band});
        for (TlyrGroupHeader *g : n.Groups)
            if (TlyrBand *f = tree.GroupFooters.value(g)) pairs.insert(pairs.end(), {f, n.Band});
        for (Node &d : n.Details) walk(d);
    };
    for (Node &n : tree.Masters) walk(n);
    for (Node &n : tree.VMasters) walk(n);
    Aggregates.AddItems(page, pairs, tree.Masters.empty() ? nullptr : tree.Masters.front().Band);
}

void TlyrEngine::runReportPages()
{
    // Each pass numbers the outputs of every band from 1.
    for (TlyrComponent *c : Report->AllObjects())
        if (auto *b = qobject_cast<TlyrBand *>(c)) b->EngineCounter = 0;
    auto once = [this] {
        for (int i = 0; i < Report->PagesCount() && !Report->Terminated(); ++i) {
            auto *p = qobject_cast<TlyrReportPage *>(Report->Pages(i));
            if (!p || p->IsSubReport() || !p->Visible()) continue;
            runPage(p);
        }
    };
    if (TlyrDataSet *ds = Report->DataSet()) {
        ds->First();
        while (!ds->Eof() && !Report->Terminated()) {
            once();
            ds->Next();
        }
    } else {
        once();
    }
}

void TlyrEngine::runPage(TlyrReportPage *page)
{
    CurPage = page;
    TlyrCustomPreviewPages *pages = Pages();
    finishing_ = false;
    keeping_ = false;
    noKeep_ = true;
    Report->DoNotifyEvent(page, page->OnBeforePrint);
    auto runOnce = [&] {
        // Without a record to print the page is left out, unless empty
        // pages are wanted.
        if (!Report->EngineOptions()->PrintIfEmpty() && !anyDetail(trees_[page].Masters)) return;
        // An endless page of the previous record grew; this one starts anew.
        PageWidth = (page->PaperWidth() - page->LeftMargin() - page->RightMargin()) * lyrUnitsPerMM;
        PageHeight = (page->PaperHeight() - page->TopMargin() - page->BottomMargin()) * lyrUnitsPerMM;
        // Numbering restarts before the page is added: the pages so far get
        // their total, and this page is number 1.
        if (page->ResetPageNumbers) pages->ResetLogicalPageNumber();
        TlyrBand *title = page->FindBand(&TlyrReportTitle::staticMetaObject);
        if (page->PrintOnPreviousPage && pages->CurPage >= 0) {
            // Continues below what the previous report page left.
            CurX = 0;
            CurColumn = 1;
            CurY = pages->GetLastY();
            firstPage_ = false;
            if (title) ShowBand(title);
        } else {
            pages->AddPage(page);
            firstPage_ = true;
            initPage(title);
        }
        addPageOutline();
        showPageObjects(page);
        if (Report->OnManualBuild)
            Report->OnManualBuild(page);
        else if (page->OnManualBuild.trimmed().isEmpty())
            runDataBands(trees_[page].Masters);
        else
            Report->DoNotifyEvent(page, page->OnManualBuild.trimmed());
        if (TlyrBand *summary = page->FindBand(&TlyrReportSummary::staticMetaObject)) ShowBand(summary);
        sizeEndlessPage(page);
        finishing_ = true;
        EndPage();
        finishing_ = false;
    };
    if (TlyrDataSet *ds = page->DataSet()) {
        ds->First();
        while (!ds->Eof() && !Report->Terminated()) {
            runOnce();
            ds->Next();
        }
    } else {
        runOnce();
    }
    Report->DoNotifyEvent(page, page->OnAfterPrint);
}

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

void TlyrEngine::showColumnFooter()
{
    TlyrBand *cf = CurPage->FindBand(&TlyrColumnFooter::staticMetaObject);
    // The column ends below the records of a row still open beside the last
    // one, and below the band whose subreport broke the column.
    const double rowBottom = std::max(rowBottom_, subHostBottom_);
    rowBottom_ = -1;
    subHostBottom_ = -1;
    if (!cf) return;
    if (rowBottom > CurY) CurY = rowBottom;
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

void TlyrEngine::initPage(TlyrBand *title)
{
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
    const bool reused = Pages()->GetCurPosition() > 0;
    if (!reused) showOverlay(false);
    // The title goes above the page header or below it, as the page says.
    const int breaks = breaks_;
    titleRun_ = 0;
    auto showTitle = [&](bool before) {
        // A title's subreport that runs into the next column starts it
        // below the page header, not over it.
        columnStartY_ = CurY;
        columnTopY_ = CurY;
        if (title && CurPage->TitleBeforeHeader == before) {
            const double y = CurY;
            ShowBand(title);
            titleRun_ = CurY - y;
        }
        // A title whose subreport ran on over pages left its last page set up.
        return breaks_ == breaks;
    };
    if (!showTitle(true)) return;
    inPageBand_ = true;
    if (head && !reused) ShowBand(head);
    if (reused && head) CurY += head->Height();
    inPageBand_ = false;
    if (!showTitle(false)) return;
    columnTopY_ = CurY;
    inPageBand_ = true;
    if (TlyrBand *ch = CurPage->FindBand(&TlyrColumnHeader::staticMetaObject)) {
        if (!reused)
            ShowBand(ch);
        else
            CurY += ch->Height();
    }
    inPageBand_ = false;
    columnStartY_ = CurY;
    // Pages that continue a crossed row in width repeat no data headers.
    if (!firstPage_ && !crossPage_) showRepeatedHeaders(0);
    CurX = baseX();
}

void TlyrEngine::EndPage()
{
    if (!CurPage) return;
    auto *pf = static_cast<TlyrPageFooter *>(CurPage->FindBand(&TlyrPageFooter::staticMetaObject));
    showColumnFooter();
    inPageBand_ = true;
    if (pf) {
        const bool show = (!firstPage_ || pf->PrintOnFirstPage) && (!finishing_ || pf->PrintOnLastPage);
        if (show && !Pages()->BandExists(pf)) {
            // At the page's left, whatever column the page ended in.
            const double savedX = CurX;
            CurX = 0;
            CurY = PageHeight - pf->Height();
            ShowBand(pf);
            CurX = savedX;
        }
        // Page-footer totals are per page: they restart on every new page
        // whether or not the footer was printed.
        Aggregates.Reset(pf);
    }
    showOverlay(true);
    inPageBand_ = false;
    firstPage_ = false;
}

void TlyrEngine::NewPage()
{
    ++breaks_;
    TlyrCustomPreviewPages *pages = Pages();
    // A keep block that did not start at the top of this page moves to the
    // next page below its headers; a block moves once: the break ends it.
    const bool move = keeping_ && keepY_ > columnStartY_ + 0.0001;
    const double blockHeight = CurY - keepY_;
    // A subreport that broke the page inside the block runs beside its host
    // band, which may reach below the subreport's place: the host's bottom
    // moves along, so the new column's footer stays below it.
    const double hostBelow = move && subHostBottom_ > CurY ? subHostBottom_ - CurY : 0;
    const std::vector<std::pair<int, int>> blockBreaks = move ? keepBreaks_ : std::vector<std::pair<int, int>>();
    // A kept footer takes the last record along: that record counts for the
    // page it moves to.
    auto *keptRecord = move && keepingFooter_ ? qobject_cast<TlyrDataBand *>(keepBand_) : nullptr;
    // An open row of a multi-column band that began inside the block moves
    // with it.
    const bool rowMoves = move && rowBottom_ >= 0 && rowStart_ >= keepPos_;
    const double rowBottom = rowBottom_;
    movedRow_ = MovedRow();
    if (move) pages->CutObjects(keepPos_);
    if (keptRecord) Aggregates.Undo(keptRecord);
    if (keeping_ && !move) closeKeep();
    EndPage();
    if (widthPagesFollow_ && !crossPage_) {
        // Pages in width follow this one: the page below goes after them,
        // onto the first page that holds nothing yet (one of a first pass).
        widthPagesFollow_ = false;
        const int from = pages->CurPage;
        int next = from + 1;
        for (; next < pages->Count(); ++next) {
            pages->CurPage = next;
            if (pages->GetCurPosition() == 0) break;
        }
        pages->CurPage = next - 1;
    }
    pages->AddPage(CurPage);
    movingKeep_ = move ? keepSerial_ : 0;
    initPage();
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
            pages->PasteObjects(keepX_ - columnX(keepColumn_) + columnX(CurColumn), CurY);
            CurY += blockHeight;
            if (hostBelow > 0) subHostBottom_ = CurY + hostBelow;
        } else {
            pasteAcrossColumns(blockBreaks, rowMoves ? rowBottom : -1);
        }
        // The footer is shown on the last record.
        if (keptRecord) Aggregates.AddValue(keptRecord);
    }
    addPageOutline();
}

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
    const double limit = PageHeight - FooterHeight();
    int part = -1;
    double fromTop = 0, toTop = 0, bottom = CurY;
    // The column a part left when it went on in the next one, and where it
    // was placed there: a record beside the one that broke the column (stored
    // after that one's child bands) stays in its row there.
    int leftColumn = 0;
    double leftFrom = 0, leftTo = 0;
    store->PasteObjects([&](int i, QRectF &box) {
        const int at = from + i;
        int p = 0;
        for (const auto &[b, e] : breaks) {
            if (at >= b && at < e) return false;
            if (at >= e) ++p;
        }
        const bool starts = p != part;
        part = p;
        if (starts) leftColumn = 0;
        const double x = box.left() - columnX(firstColumn + p);
        if (leftColumn && box.top() < fromTop - 0.0001) {
            const double top = leftTo + box.top() - leftFrom;
            if (top + box.height() <= limit + 0.0001) {
                box.moveTo(x + columnX(leftColumn), top);
                return true;
            }
        }
        double top = starts ? bottom : toTop + box.top() - fromTop;
        bool rebase = starts;
        const bool full = top + box.height() > limit + 0.0001 && top > columnStartY_ + 0.0001;
        if (full && CurColumn < CurPage->Columns()) {
            leftColumn = CurColumn;
            leftFrom = fromTop;
            leftTo = toTop;
            CurY = bottom;
            NewColumn();
            bottom = top = CurY;
            rebase = true;
        }
        if (rebase) {
            fromTop = box.top();
            toTop = top;
        }
        if (at == rowStart_ && rowBottom >= 0)
            movedRow_ = {top, rowBottom + top - box.top(), store->GetCurPosition()};
        box.moveTo(x + columnX(CurColumn), top);
        bottom = std::max(bottom, top + box.height());
        return true;
    });
    CurY = bottom;
}

void TlyrEngine::startKeep(TlyrBand *band)
{
    startKeep(band, Pages()->GetCurPosition(), CurY);
}

void TlyrEngine::startKeep(TlyrBand *band, int position, double y)
{
    if (keeping_ || noKeep_) return;
    TlyrCustomPreviewPages *pages = Pages();
    keeping_ = true;
    keepBand_ = band;
    ++keepSerial_;
    keepColumn_ = CurColumn;
    keepX_ = CurX;
    keepBreaks_.clear();
    keepPos_ = position;
    keepY_ = y;
    keepOutline_ = pages->Outline->GetCurPosition();
    keepAnchor_ = pages->GetAnchorCurPosition();
    Aggregates.StartKeep();
}

void TlyrEngine::endKeep(TlyrBand *band)
{
    if (keeping_ && band == keepBand_) closeKeep();
}

void TlyrEngine::closeKeep()
{
    keeping_ = false;
    keepBand_ = nullptr;
    keepBreaks_.clear();
    Aggregates.EndKeep();
}

void TlyrEngine::addHeader(TlyrBand *band)
{
    headerList_.push_back(band);
    headerLeft_[band] = baseX();
    headerKeep_[band] = keeping_ ? keepSerial_ : 0;
}

void TlyrEngine::showRepeatedHeaders(double x)
{
    showingHeaders_ = true;
    const int line = CurLine, through = CurLineThrough;
    const std::vector<TlyrBand *> repeat = headerList_;
    for (TlyrBand *b : repeat) {
        // Headers shown inside a block that moves to the new page come with it.
        if (!repeatsOnNewPage(b) || (movingKeep_ && headerKeep_.value(b) == movingKeep_)) continue;
        // A header that itself moves to the new page (or a band of its child
        // chain does) prints there once.
        bool moving = false;
        int chain = 0;
        for (TlyrBand *c = b; c && !moving && chain++ < 64; c = c->Child()) moving = c == breakBand_;
        if (moving) continue;
        CurX = x + headerLeft_.value(b);
        // A group header prints its own group's counters again.
        if (auto *g = qobject_cast<TlyrGroupHeader *>(b)) {
            CurLine = groupLine_.value(g);
            CurLineThrough = groupThrough_.value(g);
        }
        ShowBand(b);
        CurLine = line;
        CurLineThrough = through;
    }
    showingHeaders_ = false;
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
    showColumnFooter();
    ++CurColumn;
    const double x = columnX(CurColumn);
    CurX = x;
    childLeft_ = 0;
    // The next column starts with the column header and the headers that
    // repeat, as a page does.
    CurY = columnTopY_;
    if (TlyrBand *ch = CurPage->FindBand(&TlyrColumnHeader::staticMetaObject)) {
        inPageBand_ = true;
        ShowBand(ch);
        inPageBand_ = false;
    }
    columnStartY_ = CurY;
    showRepeatedHeaders(x);
    if (keeping_) keepBreaks_.emplace_back(printedFrom, Pages()->GetCurPosition());
    // A subreport running in the column goes on at its own offset.
    CurX = x + baseX();
}

// How much of an object must fit for a split band to start where it is:
// about a line of text.
constexpr double kFirstLine = 20;

// Only page bands and headers are above: a band that does not fit here
// would not fit on a new page or column either. The report title and what
// its subreports printed are content, which a new page leaves behind.
bool TlyrEngine::atColumnTop() const
{
    return CurY <= columnStartY_ - titleRun_ + 0.0001;
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

double TlyrEngine::FooterHeight()
{
    double h = 0;
    if (!CurPage) return 0;
    if (TlyrBand *b = CurPage->FindBand(&TlyrColumnFooter::staticMetaObject)) h += b->Height();
    if (TlyrBand *b = CurPage->FindBand(&TlyrPageFooter::staticMetaObject)) h += b->Height();
    return h;
}

double TlyrEngine::FreeSpace()
{
    if (CurPage && CurPage->EndlessHeight) return 1000000;
    return PageHeight - FooterHeight() - CurY;
}

KsValue TlyrEngine::GetAggregateValue(const QString &name, const QString &expression, TlyrComponent *band, int flags)
{
    return Aggregates.GetValue(CurBand, name, expression, band, flags, CurVColumn, vColumnFrom_);
}

// ---------------------------------------------------------------- data loops

bool TlyrEngine::hasDetail(Node &node, bool printIfEmpty)
{
    if (printIfEmpty || node.Details.empty()) return true;
    return anyDetail(node.Details);
}

bool TlyrEngine::anyDetail(std::vector<Node> &nodes)
{
    for (Node &d : nodes) {
        TlyrDataSet *ds = dataSetOf(d.Band);
        if (!ds) continue;
        Report->DoNotifyEvent(d.Band, d.Band->OnMasterDetail());
        ds->First();
        while (!ds->Eof()) {
            if (hasDetail(d, d.Band->PrintIfDetailEmpty())) return true;
            ds->Next();
        }
    }
    return false;
}

void TlyrEngine::runDataBands(std::vector<Node> &nodes)
{
    // Also between the records of the band above: a stop reaches even a run
    // whose records make no new page.
    Report->KeepResponsive();
    if (Report->Terminated()) return;
    for (Node &node : nodes) {
        TlyrDataSet *ds = dataSetOf(node.Band);
        if (!ds) continue;
        TlyrDataBand *b = node.Band;
        Report->DoNotifyEvent(b, b->OnMasterDetail());
        ds->First();
        int line = 1, through = 1;
        bool first = true;
        // Where the last record began: a footer that does not fit takes it
        // along to the next page.
        int footerKeepPos = 0;
        double footerKeepY = CurY;
        const bool multi = b->Columns() >= 2;
        Row row;
        row.Y = CurY;
        if (multi) b->SetCurColumn(1);
        resetSuppress(b);
        while (!ds->Eof()) {
            if (hasDetail(node, b->PrintIfDetailEmpty())) {
                if (first) {
                    if (b->KeepTogether()) startKeep(b);
                    if (b->KeepHeader() && node.Header) startKeep(b);
                } else if (node.Groups.empty() && b->KeepTogether()) {
                    startKeep(b);
                }
                if (first && node.Header) {
                    addHeader(node.Header);
                    ShowBand(node.Header);
                }
                startRecord(node, first, line, through, multi ? &row : nullptr);
                if (b->KeepFooter()) {
                    footerKeepPos = Pages()->GetCurPosition();
                    footerKeepY = CurY;
                }
                const bool startsRow = multi && b->CurColumn() == 1;
                row.Y = CurY;
                const int breaks = breaks_;
                rowTop_ = row.Y;
                const double designHeight = b->Height();
                bandLine_[b] = line;
                ShowBand(b);
                const bool outline = addBandOutline(b, designHeight);
                // The row goes on where the record landed after a break.
                if (breaks_ != breaks) {
                    row.Y = rowTop_;
                    row.MaxY = besideMovedRow_ ? movedRow_.Bottom : 0;
                    // A break under the record (in its child bands) leaves it
                    // on the column before: its row ends there, and the next
                    // record starts a row below what was printed.
                    if (multi && rowBreaks_ != breaks_) {
                        row.Y = CurY;
                        b->SetCurColumn(b->Columns());
                    }
                }
                if (startsRow || breaks_ != breaks) row.Start = besideMovedRow_ ? movedRow_.Start : rowStart_;
                besideMovedRow_ = false;
                if (first && b->KeepHeader() && node.Header && !b->KeepTogether()) endKeep(b);
                ++line;
                ++through;
                first = false;
                if (multi) columnStep(b, row);
                runDataBands(node.Details);
                if (outline) Pages()->Outline->LevelUp();
                if (b->FooterAfterEach()) ShowBand(node.Footer);
                if (node.Groups.empty() && b->KeepTogether()) endKeep(b);
            }
            noKeep_ = false;
            ds->Next();
            if (b->RowCount() != 0 && b->RowCount() < line) break;
            if (Report->Terminated()) break;
        }
        // The last row is closed.
        if (multi && b->CurColumn() != 1) {
            b->SetCurColumn(b->Columns());
            columnStep(b, row);
        }
        if (!first) {
            // The footers see the last record, not the end of the data: a
            // dataset that stays on its last record at its end stays there.
            const bool stepBack = ds->RangeEnd() != TlyrDataSet::reCount;
            if (stepBack) ds->Prior();
            showGroupFooters(node, 0);
            if (!b->FooterAfterEach()) {
                const bool keepFooter = b->KeepFooter() && node.Footer;
                if (keepFooter) startKeep(b, footerKeepPos, footerKeepY);
                keepingFooter_ = keepFooter && keeping_ && keepBand_ == b;
                ShowBand(node.Footer);
                keepingFooter_ = false;
                if (keepFooter) endKeep(b);
            }
            if (!node.Groups.empty() && b->KeepTogether()) endKeep(b);
            headerList_.erase(std::remove(headerList_.begin(), headerList_.end(), node.Header), headerList_.end());
            if (stepBack) ds->Next();
        }
        if (Report->Terminated()) return;
    }
}

// Group headers of the first record, or of a changed group later; then the
// line counters the record prints with.
void TlyrEngine::startRecord(Node &node, bool first, int &line, int through, Row *row)
{
    if (!node.Groups.empty()) {
        if (first)
            showGroupHeaders(node, 0, true);
        else if (checkGroups(node, row))
            line = 1;
    }
    for (TlyrGroupHeader *g : node.Groups) ++groupRecords_[g];
    CurLine = line;
    CurLineThrough = through;
}

void TlyrEngine::showGroupHeaders(Node &node, size_t from, bool reset)
{
    // Groups are numbered through the dataset; the number names the group
    // for drill-down clicks.
    // A changed group counts one more; the groups inside it start again.
    for (size_t i = from; i < node.Groups.size(); ++i) {
        TlyrGroupHeader *h = node.Groups[i];
        groupThrough_[h] = reset ? 1 : groupThrough_.value(h) + 1;
        groupLine_[h] = reset ? 1 : groupLine_.value(h) + 1;
        if (!reset && i + 1 < node.Groups.size()) groupLine_[node.Groups[i + 1]] = 0;
        // A group header counts its groups: its prepared Tag is then the key
        // a click toggles.
        h->EngineCounter = groupThrough_[h];
    }
    applyDrillDown(node);
    for (size_t i = from; i < node.Groups.size(); ++i) {
        TlyrGroupHeader *h = node.Groups[i];
        groupRecords_[h] = 0;
        // The header prints its own group's counters.
        CurLine = groupLine_.value(h);
        CurLineThrough = groupThrough_.value(h);
        bandLine_[h] = CurLine;
        Report->CurObject = h->Name();
        lastValues_[h] = Report->Calc(h->Condition);
        if (reset) resetSuppress(h);
        if (h->KeepTogether) startKeep(h);
        const double designHeight = h->Height();
        ShowBand(h);
        if (!h->Vertical() && addBandOutline(h, designHeight)) outlined_.insert(h);
        if (h->Vertical())
            vHeaderList_.push_back(h);
        else
            addHeader(h);
        if (h->Vertical()) vGroupFrom_[h] = CurVColumn + 1;
    }
}

bool TlyrEngine::checkGroups(Node &node, Row *row)
{
    size_t changed = node.Groups.size();
    for (size_t i = 0; i < node.Groups.size(); ++i) {
        TlyrGroupHeader *h = node.Groups[i];
        Report->CurObject = h->Name();
        const KsValue v = Report->Calc(h->Condition);
        const KsValue &last = lastValues_.value(h);
        if (v.ToText() != last.ToText()) {
            changed = i;
            break;
        }
    }
    if (changed == node.Groups.size()) return false;
    TlyrDataBand *b = node.Band;
    // The open row of a multi-column band closes before the footers.
    if (row && b->CurColumn() != 1) {
        b->SetCurColumn(b->Columns());
        columnStep(b, *row);
    }
    TlyrDataSet *ds = dataSetOf(b);
    // The footers see the last record of the closed group.
    ds->Prior();
    showGroupFooters(node, changed);
    ds->Next();
    showGroupHeaders(node, changed, false);
    // A new group shows its first values even when they repeat.
    resetSuppress(b);
    return true;
}

void TlyrEngine::showGroupFooters(Node &node, size_t from)
{
    TlyrBand *footerOf = nullptr;
    for (size_t i = node.Groups.size(); i-- > from;) {
        TlyrGroupHeader *h = node.Groups[i];
        for (const PageTree &tree : std::as_const(trees_))
            if ((footerOf = tree.GroupFooters.value(h))) break;
        auto *f = static_cast<TlyrGroupFooter *>(footerOf);
        if (f) {
            // The header's own group decides, not the data band's counter.
            if (f->HideIfSingleDataRecord && groupRecords_.value(h) < 2) {
                Aggregates.Reset(f);
            } else {
                const int savedFrom = vFooterFrom_;
                vFooterFrom_ = vGroupFrom_.value(h, 1);
                ShowBand(f);
                vFooterFrom_ = savedFrom;
            }
        }
        if (outlined_.remove(h)) Pages()->Outline->LevelUp();
        auto &list = h->Vertical() ? vHeaderList_ : headerList_;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        if (h->KeepTogether) endKeep(h);
    }
}

// ---------------------------------------------------------------- band output

void TlyrEngine::ShowBand(const QMetaObject *bandClass)
{
    if (CurPage) ShowBand(CurPage->FindBand(bandClass));
}

void TlyrEngine::ShowBand(TlyrComponent *component)
{
    // A band and its chain of children; a band that keeps its child opens a
    // keep block around both.
    auto *band = qobject_cast<TlyrBand *>(component);
    std::vector<TlyrBand *> keepers;
    // The children of a record of a multi-column data band go under it, in
    // its column, not under the first column.
    auto *data = qobject_cast<TlyrDataBand *>(band);
    const bool inColumn = data && data->Columns() >= 2 && !data->Vertical();
    double offset = 0;
    for (int guard = 0; band && guard < 64; ++guard) {
        if (band->KeepChild()) {
            startKeep(band);
            keepers.push_back(band);
        }
        showBandOnce(band);
        if (inColumn && band == data && data->Visible()) {
            // The column it was placed in (the first after a break).
            offset = columnLeft_;
            CurX += offset;
            childLeft_ += offset;
        }
        if (!band->Visible() && !band->PrintChildIfInvisible()) break;
        TlyrBand *child = band->Child();
        if (child == band) break;
        band = child;
    }
    // A break under the record started CurX afresh in the new column.
    if (offset > 0 && childLeft_ > 0) {
        CurX -= offset;
        childLeft_ -= offset;
    }
    for (auto it = keepers.rbegin(); it != keepers.rend(); ++it) endKeep(*it);
}

// The objects of a band in top order, each with the objects directly above
// it that push it down when they grow (-1: the band itself). Built from the
// design positions, once per band and run.
const TlyrEngine::ShiftTree &TlyrEngine::shiftTree(TlyrBand *band)
{
    auto it = shiftTrees_.find(band);
    if (it != shiftTrees_.end()) return *it;
    ShiftTree tree;
    for (TlyrComponent *c : band->Objects())
        if (auto *v = qobject_cast<TlyrView *>(c))
            tree.push_back({v, v->Top(), v->Top() + v->Height(), v->Left(), v->Left() + v->Width(), {}});
    std::stable_sort(tree.begin(), tree.end(), [](const ShiftNode &a, const ShiftNode &b) { return a.Top < b.Top; });
    constexpr double tol = 0.0001;
    auto vertical = [](const ShiftNode &a, const ShiftNode &b) {
        return a.Top < b.Bottom - tol && b.Top < a.Bottom - tol;
    };
    auto horizontal = [](double l1, double r1, double l2, double r2) { return l1 < r2 - tol && l2 < r1 - tol; };
    for (size_t j = 0; j < tree.size(); ++j) {
        ShiftNode &b = tree[j];
        bool covered = false;
        for (size_t i = 0; i < j; ++i) {
            const ShiftNode &a = tree[i];
            if (vertical(a, b) || b.Top <= a.Top + tol || !horizontal(a.Left, a.Right, b.Left, b.Right)) continue;
            const double l = std::max(a.Left, b.Left), r = std::min(a.Right, b.Right);
            bool between = false;
            for (size_t k = i + 1; k < j && !between; ++k) {
                const ShiftNode &c = tree[k];
                between = !vertical(c, a) && !vertical(c, b) && horizontal(c.Left, c.Right, l, r);
            }
            if (between) continue;
            b.Parents.push_back(int(i));
            covered = true;
        }
        // Nothing above it: it hangs from the band.
        if (!covered) b.Parents.push_back(-1);
    }
    return *shiftTrees_.insert(band, std::move(tree));
}

// Grown objects push down what lies below them, as their shift modes say.
// An object below several grown ones moves by the largest push, not by
// their sum.
void TlyrEngine::stretchBand(TlyrBand *band)
{
    const ShiftTree &tree = shiftTree(band);
    std::vector<double> grown(tree.size(), 0), passed(tree.size(), 0);
    for (size_t i = 0; i < tree.size(); ++i) {
        auto *s = qobject_cast<TlyrStretcheable *>(tree[i].View);
        if (!s || !s->Visible() || s->StretchMode() == smDontStretch) continue;
        // Text that needs less than the object's height keeps that height.
        const double newH = std::max(s->CalcHeight(), s->Height());
        grown[i] = std::max(0.0, newH - s->Height());
        s->SetHeight(newH);
    }
    for (size_t i = 0; i < tree.size(); ++i) {
        TlyrView *v = tree[i].View;
        double push = 0;
        for (int p : tree[i].Parents) {
            if (v->ShiftMode() != smWhenOverlapped) {
                push = std::max(push, p < 0 ? 0 : passed[size_t(p)]);
            } else if (p >= 0) {
                // Only as far as needed to clear the object above.
                TlyrView *above = tree[size_t(p)].View;
                push = std::max(push, above->Top() + above->Height() - v->Top());
            }
        }
        if (v->ShiftMode() != smDontShift && push > 0) v->SetTop(v->Top() + push);
        passed[i] = push + grown[i];
    }
    fitHeight(band);
    // Objects of the largest height reach down to the band's bottom (a
    // dot-matrix text's bottom line takes a line of its own below it).
    for (const ShiftNode &n : tree)
        if (auto *s = qobject_cast<TlyrStretcheable *>(n.View);
            s && s->Visible() && s->StretchMode() == smMaxHeight && s->Top() < band->Height())
            s->SetHeight(band->Height() - s->Top() - dmpBottomLine(s));
}

void TlyrEngine::fitHeight(TlyrBand *band)
{
    double bottom = band->Height(), lowest = -1;
    TlyrComponent *last = nullptr;
    for (TlyrComponent *c : band->Objects())
        if (c->Visible() && c->Top() + c->Height() > lowest) {
            lowest = c->Top() + c->Height();
            last = c;
        }
    if (last) bottom = std::max(bottom, lowest + dmpBottomLine(last));
    band->SetHeight(bottom);
}

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
        subs.push_back(s);
    }
    return subs;
}

void TlyrEngine::runSubreport(TlyrSubreport *s)
{
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

void TlyrEngine::showBandOnce(TlyrBand *band)
{
    if (band->Vertical()) {
        if (crossBand_) showVerticalBand(band);
        return;
    }
    const bool pageBand = inPageBand_ || is<TlyrNullBand>(band) || is<TlyrPageHeader>(band) || is<TlyrPageFooter>(band) ||
                          is<TlyrOverlay>(band) || is<TlyrColumnHeader>(band) || is<TlyrColumnFooter>(band);
    const bool flows = !pageBand && !showingHeaders_ && !popTarget_;
    const int breaks = breaks_;
    // The page breaks before the band is prepared, so that it prints the
    // number of its own page. The first record or group of a run never
    // breaks, nor does a band at the top of a page that holds nothing else.
    if (flows && band->Visible() && band->StartNewPage()) {
        const bool atTop = CurY <= columnStartY_ + 0.0001 && !titleOnPage_;
        const bool firstLine = (is<TlyrDataBand>(band) || is<TlyrGroupHeader>(band)) && bandLine_.value(band, 1) == 1;
        if (!atTop && !firstLine) {
            // A group that restarts the numbering closes the count of the
            // pages before it, before its own first page is added.
            if (auto *gh = qobject_cast<TlyrGroupHeader *>(band); gh && gh->ResetPageNumbers)
                Pages()->ResetLogicalPageNumber();
            NewPage();
        }
    }
    TlyrBand *savedBand = CurBand;
    CurBand = band;
    // Repeated headers are no new output of their band; group headers carry
    // the number of their group instead.
    if (!showingHeaders_ && !qobject_cast<TlyrGroupHeader *>(band)) ++band->EngineCounter;
    Report->CurObject = band->Name();
    band->BeforePrint();
    QList<TlyrReportComponent *> views;
    for (TlyrComponent *c : band->Objects())
        if (auto *v = qobject_cast<TlyrReportComponent *>(c)) views << v;
    struct Finish {
        TlyrEngine *e;
        TlyrBand *band;
        QList<TlyrReportComponent *> prepared;
        TlyrBand *saved;
        // Objects beyond this count are output copies the band only carried.
        qsizetype own = -1;
        ~Finish()
        {
            // Runs whether or not output failed, so templates are restored;
            // only objects that were prepared have something to restore.
            if (own >= 0)
                while (band->Objects().size() > own) delete band->Objects().last();
            for (TlyrReportComponent *v : prepared) v->AfterPrint();
            band->AfterPrint();
            e->CurBand = saved;
        }
    } finish{this, band, {}, savedBand};
    Report->DoBeforePrint(band);
    // A crossed band first collects its cells from the vertical bands.
    const bool cross = crossed_.contains(band) && !crossBand_;
    if (cross && band->Visible()) {
        finish.own = band->Objects().size();
        startCross(band);
    }
    if (!band->Visible()) {
        // Totals flagged to count invisible records still see this one.
        if (auto *d = qobject_cast<TlyrDataBand *>(band)) Aggregates.AddValue(d);
        return;
    }
    const double designHeight = band->Height();
    auto prepareViews = [&] {
        for (TlyrReportComponent *v : views) {
            Report->CurObject = v->Name();
            v->BeforePrint();
            finish.prepared << v;
            Report->DoBeforePrint(v);
            if (!v->Visible()) continue;
            v->GetData();
            Report->DoNotifyEvent(v, v->OnAfterData());
        }
        if (band->Stretched() && !cross) stretchBand(band);
    };
    prepareViews();
    if (!popTarget_ && !cross) {
        finish.own = band->Objects().size();
        if (collectPrintOnParent(band, views) && band->Stretched())
            fitHeight(band);
        else
            finish.own = -1;
    }
    Report->DoNotifyEvent(band, band->OnAfterCalcHeight());
    bool split = false;
    if (flows) {
        // A record beside the first of its row goes with the row, which
        // moves as a whole when it does not fit.
        auto *rowBand = qobject_cast<TlyrDataBand *>(band);
        const bool inRow = rowBand && rowBand->Columns() >= 2 && rowBand->CurColumn() > 1;
        // A record of a multi-column band moves whole with its row: it is
        // never cut.
        const bool rowRecord = rowBand && rowBand->Columns() >= 2;
        if (band->Height() > FreeSpace() + 0.0001 && !inRow) {
            // A band that may split but of which not even the first object
            // fits here starts in the next column, prepared there, like a
            // band that may not split.
            bool startsHere = false;
            for (TlyrReportComponent *v : views)
                if (v->Visible() && !qobject_cast<TlyrSubreport *>(v))
                    startsHere = startsHere || v->Top() + std::min(v->Height(), kFirstLine) <= FreeSpace() + 0.0001;
            if (band->AllowSplit() && !cross && !rowRecord && (startsHere || atColumnTop())) {
                split = true;
            } else {
                // Again only while the new column has no room for it either:
                // a kept block that moved along filled it, or the report
                // title's subreport reached down there.
                const int most = std::max(CurPage->Columns(), 1) + 1;
                for (int tries = 0; tries < most && !atColumnTop() && band->Height() > FreeSpace() + 0.0001; ++tries) {
                    struct Restore {
                        TlyrBand *&ref, *saved;
                        ~Restore() { ref = saved; }
                    } restore{breakBand_, breakBand_};
                    breakBand_ = band;
                    NewColumn();
                    // The band is prepared again where it is printed: with
                    // the number of its new page, and a value left empty as
                    // a repeat shows again.
                    if (finish.own < 0) {
                        resetSuppress(band);
                        for (TlyrReportComponent *v : finish.prepared) v->AfterPrint();
                        finish.prepared.clear();
                        band->SetHeight(designHeight);
                        prepareViews();
                    }
                }
                // Moved on, a band that may split still may.
                if (band->AllowSplit() && !cross && !rowRecord) split = band->Height() > FreeSpace() + 0.0001;
            }
        }
        // A record that starts a new page or column starts its first column
        // too, unless it follows a kept block that moved along.
        auto *data = qobject_cast<TlyrDataBand *>(band);
        if (breaks_ != breaks && data && data->Columns() >= 2 && CurY <= columnStartY_ + 0.0001)
            data->SetCurColumn(1);
        // One that follows its open row, which the block took along, goes
        // beside it there.
        besideMovedRow_ = breaks_ != breaks && data && data->Columns() >= 2 && data->CurColumn() > 1 &&
                          movedRow_.Top >= 0;
        if (besideMovedRow_) CurY = movedRow_.Top;
    }
    if (is<TlyrReportTitle>(band)) titleOnPage_ = true;
    if (split) {
        splitBand(band, views);
        // Subreports are never cut: they run beside the band's last part.
        showSubreports(band, views);
    } else {
        // A multi-column data band sits at its column's place.
        auto *data = qobject_cast<TlyrDataBand *>(band);
        const bool columns = data && data->Columns() >= 2;
        columnLeft_ = columns ? band->Left() : 0;
        band->SetLeft(CurX + columnLeft_);
        band->SetTop(CurY);
        if (columns) {
            rowTop_ = CurY;
            rowBreaks_ = breaks_;
            rowStart_ = Pages()->GetCurPosition();
        }
        if (popTarget_) {
            copyToPrintOnParent(band);
        } else if (cross) {
            outputCrossBand(band);
        } else if (!(is<TlyrNullBand>(band) && band->Height() <= 0 && band->Objects().isEmpty())) {
            // An empty null band is not stored.
            Pages()->AddObject(band);
        }
        if (!is<TlyrOverlay>(band)) CurY += band->Height();
        if (!popTarget_) showSubreports(band, views);
    }
    Report->DoAfterPrint(band);
    for (TlyrReportComponent *v : views) Report->DoAfterPrint(v);
    if (auto *d = qobject_cast<TlyrDataBand *>(band)) Aggregates.AddValue(d);
    Aggregates.Reset(band);
}

// Places a band taller than the free space in parts, column after column:
// what fits goes into the part; a stretchable object that reaches past the
// boundary prints what fits (a text its lines, a line its length) and
// continues in the next part; other objects that reach past it move below
// it with everything under them. Bottom-aligned objects sit at the bottom
// of the last part and objects of the largest height reach the bottom of
// each part: neither makes a part of its own.
void TlyrEngine::splitBand(TlyrBand *band, const QList<TlyrReportComponent *> &views)
{
    struct Piece {
        TlyrReportComponent *View;
        bool Visible;
        TlyrStretcheable *Stretch;
        TlyrCustomMemoView *Text;
        double Rest;
    };
    std::vector<Piece> all;
    std::vector<size_t> pending;
    std::set<size_t> bottoms, reaching;
    for (TlyrReportComponent *v : views) {
        auto *stretch = qobject_cast<TlyrStretcheable *>(v);
        all.push_back({v, v->Visible(), stretch, qobject_cast<TlyrCustomMemoView *>(v), v->Height()});
        if (!v->Visible() || qobject_cast<TlyrSubreport *>(v)) continue;
        if (stretch) stretch->InitPart();
        auto *view = qobject_cast<TlyrView *>(v);
        if (view && view->Align() == baBottom)
            bottoms.insert(all.size() - 1);
        else if (stretch && stretch->StretchMode() == smMaxHeight)
            reaching.insert(all.size() - 1);
        pending.push_back(all.size() - 1);
    }
    auto follows = [&](size_t i) { return bottoms.count(i) > 0 || reaching.count(i) > 0; };
    std::stable_sort(pending.begin(), pending.end(),
                     [&](size_t a, size_t b) { return all[a].View->Top() < all[b].View->Top(); });
    // Moves what lies below bottom, beside the object, down by d; each
    // object once a part.
    std::set<size_t> moved;
    auto moveBelow = [&](size_t from, double bottom, double d) {
        const TlyrReportComponent *o = all[from].View;
        for (size_t i : pending) {
            TlyrReportComponent *v = all[i].View;
            if (i == from || moved.count(i) || v->Top() < bottom - 0.0001) continue;
            if (v->Left() >= o->Left() + o->Width() - 0.0001 || o->Left() >= v->Left() + v->Width() - 0.0001) continue;
            v->SetTop(v->Top() + d);
            moved.insert(i);
        }
    };
    double space = FreeSpace();
    // When nothing fits a column this split began, nothing ever will; unless
    // a kept block came along and took room: then the space of a column
    // that took nothing decides.
    bool fresh = false;
    double emptySpace = -1;
    while (!Report->Terminated()) {
        moved.clear();
        std::vector<size_t> part;
        const bool atTop = atColumnTop();
        for (size_t k = 0; k < pending.size();) {
            const size_t i = pending[k];
            Piece &p = all[i];
            TlyrReportComponent *v = p.View;
            const double top = v->Top(), bottom = top + v->Height();
            if (follows(i)) {
                ++k;
                continue;
            }
            if (bottom <= space + 0.0001) {
                part.push_back(i);
                if (p.Stretch) p.Stretch->DrawPart();
                pending.erase(pending.begin() + std::ptrdiff_t(k));
                continue;
            }
            if (top < space) {
                if (!p.Stretch && top <= 0.0001 && (atTop || fresh)) {
                    // Taller than a whole column: it prints cut off here.
                    v->SetHeight(space - top);
                    part.push_back(i);
                    pending.erase(pending.begin() + std::ptrdiff_t(k));
                    continue;
                }
                if (!p.Stretch) {
                    moveBelow(i, bottom, space - top);
                    v->SetTop(space);
                } else {
                    v->SetHeight(space - top);
                    const double unused = p.Stretch->DrawPart();
                    if (p.Text && p.Text->PartMemo.isEmpty()) {
                        // The last of the text ends in this part (its height
                        // was only a measure): what lies below follows it.
                        v->SetHeight(std::max(0.0, space - top - unused));
                        moveBelow(i, bottom, top + v->Height() - bottom);
                        if (v->Height() > 0) part.push_back(i);
                        pending.erase(pending.begin() + std::ptrdiff_t(k));
                        continue;
                    }
                    moveBelow(i, bottom, unused);
                    if (std::fabs(unused - v->Height()) >= 0.0001) {
                        part.push_back(i);
                        p.Rest -= v->Height() - unused;
                    } else {
                        // Not a line fits: all of it waits for the next part.
                        v->SetTop(space);
                        v->SetHeight(p.Rest);
                    }
                }
            }
            ++k;
        }
        bool stuck = false;
        if (part.empty() && !std::all_of(pending.begin(), pending.end(), follows)) {
            stuck = atTop || fresh || space <= emptySpace + 0.0001;
            emptySpace = std::max(emptySpace, space);
        }
        if (stuck) {
            // Nothing fits even a fresh page: the rest prints clipped here.
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (all[i].Text) all[i].Text->SetText(all[i].Text->PartMemo);
                v->SetTop(std::max(0.0, std::min(v->Top(), space)));
                v->SetHeight(std::max(0.0, std::min(v->Height(), space - v->Top())));
                part.push_back(i);
            }
            pending.clear();
        }
        const bool last = std::all_of(pending.begin(), pending.end(), follows);
        double height = 0;
        for (size_t i : part) height = std::max(height, all[i].View->Top() + all[i].View->Height());
        if (last) {
            // The bottom of the last part, below what went along with the
            // text; bottom-aligned objects sit on it.
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (bottoms.count(i))
                    height = std::max(height, std::min(v->Top() + v->Height(), std::max(space, v->Height())));
                else
                    height = std::max(height, std::min(v->Top(), space));
            }
            for (size_t i : pending) {
                TlyrReportComponent *v = all[i].View;
                if (bottoms.count(i)) v->SetTop(std::max(0.0, height - v->Height()));
                part.push_back(i);
            }
            pending.clear();
        } else if (!part.empty()) {
            // A line beside the text goes down to this part's bottom.
            for (size_t i : pending)
                if (reaching.count(i) && all[i].View->Top() < height - 0.0001) part.push_back(i);
        }
        for (size_t i : part)
            if (reaching.count(i) || (last && all[i].Stretch && all[i].Stretch->StretchMode() == smMaxHeight))
                all[i].View->SetHeight(std::max(0.0, height - all[i].View->Top()));
        if (!part.empty()) {
            for (Piece &p : all) p.View->SetVisible(false);
            for (size_t i : part) all[i].View->SetVisible(all[i].Visible);
            band->SetHeight(height);
            band->SetLeft(CurX);
            band->SetTop(CurY);
            Pages()->AddObject(band);
        }
        // The column footer goes below the part.
        CurY += part.empty() ? 0 : height;
        if (last) break;
        const bool carries = keeping_;
        NewColumn();
        fresh = !carries;
        for (size_t i : pending) {
            TlyrReportComponent *v = all[i].View;
            v->SetTop(v->Top() - space);
            if ((all[i].Stretch && all[i].Rest > 0) || reaching.count(i)) {
                v->SetTop(std::max(v->Top(), 0.0));
                v->SetHeight(all[i].Rest);
            }
        }
        space = FreeSpace();
    }
    for (Piece &p : all) p.View->SetVisible(p.Visible);
}

// Subreport objects of a band run their pages below the band's top, each
// from where the band ended; the output continues after the one that went
// furthest (page, then column, then position).
void TlyrEngine::showSubreports(TlyrBand *band, const QList<TlyrReportComponent *> &views)
{
    const std::vector<TlyrSubreport *> subs = subreportsOf(views, false);
    if (subs.empty()) return;
    TlyrCustomPreviewPages *pages = Pages();
    const int savedPage = pages->CurPage, savedColumn = CurColumn;
    const double savedX = CurX, savedY = CurY, bandTop = CurY - band->Height();
    const double savedSubBase = subBaseX_, savedBase = baseX(), savedChildLeft = childLeft_;
    int bestPage = savedPage, bestColumn = savedColumn;
    double bestY = savedY;
    const double savedHost = subHostBottom_;
    const int breaks = breaks_;
    for (TlyrSubreport *s : subs) {
        subHostBottom_ = savedY;
        pages->CurPage = savedPage;
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
        }
    }
    // An outer band hosting these is behind once a column broke.
    subHostBottom_ = breaks_ == breaks ? savedHost : -1;
    pages->CurPage = bestPage;
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

// After each record of a multi-column data band: the next record goes beside
// this one, or, when the row is full, below the lowest record of the row.
void TlyrEngine::columnStep(TlyrDataBand *band, Row &row)
{
    row.MaxY = std::max(row.MaxY, CurY);
    rowBottom_ = -1;
    if (band->CurColumn() < band->Columns()) {
        CurY = row.Y;
        rowBottom_ = row.MaxY;
    } else if (row.MaxY <= PageHeight - FooterHeight() + 0.0001) {
        CurY = row.MaxY;
    } else if (!keeping_) {
        // A full row that does not fit moves whole to the next column or
        // page.
        TlyrCustomPreviewPages *pages = Pages();
        pages->CutObjects(row.Start);
        NewColumn();
        const double top = CurY;
        pages->PasteObjects(CurX, top);
        CurY = row.MaxY + top - row.Y;
    } else {
        NewColumn();
    }
    if (band->Visible()) {
        // After the last column comes the first (also at the end of int).
        const int cur = band->CurColumn();
        band->SetCurColumn(cur >= band->Columns() ? 1 : cur + 1);
        if (band->CurColumn() == 1) row.MaxY = 0;
    }
}

// A drill-down group shows its inner groups, footers and records only when
// its key (name "." group number) is in the report's click list (inverted by
// ExpandDrillDown).
void TlyrEngine::applyDrillDown(Node &node)
{
    auto footerOf = [this](TlyrGroupHeader *h) -> TlyrBand * {
        for (const PageTree &tree : std::as_const(trees_))
            if (TlyrBand *f = tree.GroupFooters.value(h)) return f;
        return nullptr;
    };
    for (size_t i = 0; i < node.Groups.size(); ++i) {
        TlyrGroupHeader *h = node.Groups[i];
        if (!h->DrillDown) continue;
        const QString key = h->Name() + QLatin1Char('.') + QString::number(groupThrough_.value(h));
        bool expanded = Report->ClickList.contains(key);
        if (h->ExpandDrillDown) expanded = !expanded;
        for (size_t j = i + 1; j < node.Groups.size(); ++j) {
            node.Groups[j]->SetVisible(expanded);
            if (TlyrBand *f = footerOf(node.Groups[j])) f->SetVisible(expanded);
        }
        node.Band->SetVisible(expanded);
        if (TlyrBand *f = footerOf(h); f && !h->ShowFooterIfDrillDown) f->SetVisible(expanded);
        if (!expanded) break;
    }
}

// ---------------------------------------------------------------- cross output

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
            showGroupFooters(node, 0);
            vHeaderList_.erase(std::remove(vHeaderList_.begin(), vHeaderList_.end(), node.Header), vHeaderList_.end());
            if (!b->FooterAfterEach()) ShowBand(node.Footer);
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
    const double savedX = CurX, savedY = CurY, savedStart = columnStartY_;
    const bool savedFirst = firstPage_;
    const QList<TlyrComponent *> objects = band->Objects();
    std::vector<bool> visible;
    for (TlyrComponent *o : objects) visible.push_back(o->Visible());
    // A crossed band output while a page in width starts keeps to that page,
    // so pages in width never recurse.
    const std::vector<qsizetype> breaks = widthBreaks_;
    const size_t parts = crossOutput_ ? 1 : breaks.size() - 1;
    const bool outer = !crossOutput_;
    crossOutput_ = true;
    for (size_t part = 0; part < parts; ++part) {
        if (part > 0) {
            // The next page in width, made with its page header when new.
            crossPage_ = true;
            firstPage_ = false;
            pages->AddPage(CurPage);
            initPage();
            crossPage_ = false;
            CurY = savedY;
        }
        for (qsizetype i = 0; i < objects.size(); ++i)
            objects[i]->SetVisible(visible[size_t(i)] && i >= breaks[part] && i < breaks[part + 1]);
        // Every part stands where the band does (a subreport's left).
        band->SetLeft(savedX);
        band->SetTop(CurY);
        pages->AddObject(band);
        if (part > 0) footWidthPage();
    }
    if (outer) crossOutput_ = false;
    for (qsizetype i = 0; i < objects.size(); ++i) objects[i]->SetVisible(visible[size_t(i)]);
    if (parts > 1) widthPagesFollow_ = true;
    pages->CurPage = savedPage;
    CurX = savedX;
    CurY = savedY;
    columnStartY_ = savedStart;
    firstPage_ = savedFirst;
    band->SetLeft(savedX);
    band->SetTop(savedY);
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
