// The engine's run: band tree, report pages, data loops and groups.

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
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <set>

using namespace lyrengine;

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
            // A subreport runs its own pages from the band: copied into the
            // cells it would run none and its records would be lost.
            if (qobject_cast<TlyrSubreport *>(o)) continue;
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
    closedHeaders_.clear();
    headerLeft_.clear();
    headerKeep_.clear();
    headerAdded_.clear();
    headerClosed_.clear();
    headerRuns_.clear();
    shownHeight_.clear();
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
    widthFooter_ = {-1, 0};
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
                // A total that cannot be counted prints nothing at all.
                result = !Aggregates.Failed();
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
                    widthFooter_ = {-1, 0};
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
    if (Aggregates.Failed()) return;
    bodyTop_.clear();
    widthShift_.clear();
    widthLast_ = -1;
    widthPages_.clear();
    columnBody_.clear();
    footedColumns_.clear();
    // Where subreports ran and crossed rows stood are of the pass before:
    // the same pages of this pass hold other output.
    subRanAt_ = {-1, 0};
    footerRow_ = FooterRow();
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
    movableRecord_ = false;
    splittable_ = false;
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
        // The previous report page's last page is the last in width when
        // its rows ran over pages in width.
        if (widthPagesFollow_) {
            fillPageNumbers(pages->Count() - 1);
            pages->CurPage = pages->Count() - 1;
            widthPagesFollow_ = false;
        }
        if (page->PrintOnPreviousPage && pages->CurPage >= 0) {
            // Continues below what the previous report page left.
            CurX = 0;
            CurColumn = 1;
            CurY = pages->GetLastY();
            continuedPage_ = pages->CurPage;
            continuedY_ = CurY;
            continuedFooter_ = footerPage_ == pages->CurPage || widthFooter_.first == pages->CurPage;
            if (widthFooter_.first == pages->CurPage) footerTop_ = widthFooter_.second;
            firstPage_ = false;
            firstPageIndex_ = -1;
            if (title) ShowBand(title);
        } else {
            continuedPage_ = -1;
            pages->AddPage(page);
            firstPage_ = true;
            firstPageIndex_ = pages->CurPage;
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

// Whether the record just printed is the last of its band's run: the next
// is past the data or past the band's row count. The dataset stays put.
bool TlyrEngine::lastRecord(TlyrDataBand *band, TlyrDataSet *ds, int line)
{
    if (band->RowCount() != 0 && band->RowCount() < line) return true;
    if (ds->RangeEnd() == TlyrDataSet::reCount && ds->RecNo() + 1 >= ds->RangeEndCount()) return true;
    // A range that ends on the record current when it opened stops there
    // without moving: a step back would leave that record.
    if (ds->RangeEnd() == TlyrDataSet::reCurrent) return false;
    ds->Next();
    const bool last = ds->Eof();
    ds->Prior();
    return last;
}

namespace {
constexpr int kRecordsBetweenEvents = 16;
constexpr qint64 kNsBetweenEvents = 5'000'000;
}  // namespace

void TlyrEngine::runDataBands(std::vector<Node> &nodes)
{
    // Also between the records of the band above: a stop reaches even a run
    // whose records make no new page. Handling events costs microseconds
    // even with none pending, a few percent of a long list when done for
    // every record: every so many records, or sooner when they are slow.
    static QElapsedTimer last;
    static int records = 0;
    if (++records >= kRecordsBetweenEvents || !last.isValid() || last.nsecsElapsed() >= kNsBetweenEvents) {
        Report->KeepResponsive();
        records = 0;
        last.start();
    }
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
        int footerKeepPos = 0, footerKeepBreaks = 0;
        double footerKeepY = CurY, footerRowBottom = -1;
        const bool multi = b->Columns() >= 2;
        Row row;
        row.Y = CurY;
        if (multi) b->SetCurColumn(1);
        resetSuppress(b);
        // A record that may still move (with its row, or with the footer
        // as the last one) prints its page number where it lands.
        const bool movable = multi || (b->KeepFooter() && node.Footer);
        // Records since the last printed one, left out for want of details:
        // footers show the last printed record, not those.
        int passed = 0;
        while (!ds->Eof()) {
            const bool savedMovable = movableRecord_;
            movableRecord_ = savedMovable || movable;
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
                recordsBack_ = passed + 1;
                startRecord(node, first, line, through, multi ? &row : nullptr);
                passed = 0;
                if (b->KeepFooter()) {
                    footerKeepPos = Pages()->GetCurPosition();
                    footerKeepY = CurY;
                    footerKeepBreaks = breaks_;
                    // Beside records of its row, which stay.
                    footerRowBottom = multi && b->CurColumn() > 1 ? row.MaxY : -1;
                }
                const bool startsRow = multi && b->CurColumn() == 1;
                // A row that moves on counts in the footers where it prints.
                if (startsRow) Aggregates.BeginRow();
                row.Y = CurY;
                const int breaks = breaks_;
                rowTop_ = row.Y;
                const double designHeight = b->Height();
                bandLine_[b] = line;
                const int shownFrom = Pages()->GetCurPosition();
                const Saved<int> rowFrom(rowFrom_);
                rowFrom_ = multi && !startsRow ? row.Start : -1;
                ShowBand(b);
                // A record hidden by its script leaves no empty place in its
                // row: the next one shown takes it.
                const bool leftOut = !b->Visible() && Pages()->GetCurPosition() == shownFrom && breaks_ == breaks;
                const bool outline = addBandOutline(b, designHeight);
                // The row goes on where the record landed after a break.
                if (breaks_ != breaks) {
                    row.Y = rowTop_;
                    // (Also when the record's child band broke the page and
                    // the block took the row along.)
                    row.MaxY = besideMovedRow_ || movedRow_.Top >= 0 ? movedRow_.Bottom : 0;
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
                if (multi && !leftOut) columnStep(b, row, b->Visible());
                runDataBands(node.Details);
                if (outline) Pages()->Outline->LevelUp();
                if (b->FooterAfterEach() && node.Footer) {
                    // The footer goes below the record's row, not beside it.
                    if (multi && b->CurColumn() != 1) {
                        b->SetCurColumn(b->Columns());
                        columnStep(b, row);
                    }
                    // After the run's last record (with no group footers to
                    // follow) this footer closes the run.
                    const Saved<TlyrBand *> closingFooter(closingFooter_), closingHeader(closingHeader_);
                    if (!closingGroupFooter(node) && lastRecord(b, ds, line)) {
                        closingFooter_ = node.Footer;
                        closingHeader_ = node.Header;
                    }
                    ShowBand(node.Footer);
                }
                if (node.Groups.empty() && b->KeepTogether()) endKeep(b);
            } else {
                ++passed;
            }
            movableRecord_ = savedMovable;
            noKeep_ = false;
            ds->Next();
            if (b->RowCount() != 0 && b->RowCount() < line) break;
            if (Report->Terminated()) break;
        }
        // The footers, and the headers repeated above a last row that moves
        // on, see the last record, not the end of the data: a dataset that
        // stays on its last record at its end stays there.
        const bool stepBack = !first && ds->RangeEnd() != TlyrDataSet::reCount;
        if (stepBack)
            for (int i = 0; i <= passed; ++i) ds->Prior();
        // The last row is closed.
        if (multi && b->CurColumn() != 1) {
            b->SetCurColumn(b->Columns());
            columnStep(b, row);
        }
        if (!first) {
            // Group footers go along when the footer takes the last record.
            const bool savedMovable = movableRecord_;
            movableRecord_ = savedMovable || movable;
            // So do the closed groups' headers, shown again above it.
            std::vector<TlyrBand *> closedGroups;
            {
                // Below footers printed after each record the group footers
                // close the run.
                const Saved<TlyrBand *> closingFooter(closingFooter_), closingHeader(closingHeader_);
                if (b->FooterAfterEach() && node.Footer) {
                    closingFooter_ = closingGroupFooter(node);
                    closingHeader_ = node.Header;
                }
                closedGroups = showGroupFooters(node, 0, !b->FooterAfterEach() && b->KeepFooter() && node.Footer);
            }
            movableRecord_ = savedMovable;
            if (!b->FooterAfterEach()) {
                const bool keepFooter = b->KeepFooter() && node.Footer;
                // When the last record went on in a later column, what goes
                // with the footer begins at the top of that column.
                if (keepFooter && breaks_ != footerKeepBreaks) {
                    footerKeepPos = contentPos_;
                    footerKeepY = headersEndY_;
                    footerRowBottom = -1;
                }
                if (keepFooter) startKeep(b, footerKeepPos, footerKeepY);
                if (keepFooter && keeping_ && keepBand_ == b) keepRowBottom_ = footerRowBottom;
                // Runs of subreports inside the footer leave it set for this one.
                const Saved<bool> keptFooter(keepingFooter_);
                keepingFooter_ = keepFooter && keeping_ && keepBand_ == b;
                const Saved<TlyrBand *> closingFooter(closingFooter_), closingHeader(closingHeader_);
                closingFooter_ = node.Footer;
                closingHeader_ = node.Header;
                ShowBand(node.Footer);
                if (keepFooter) endKeep(b);
                for (TlyrGroupHeader *h : node.Groups)
                    if (h->KeepTogether) endKeep(h);
            }
            dropHeaders(closedGroups);
            if (!node.Groups.empty() && b->KeepTogether()) endKeep(b);
            headerList_.erase(std::remove(headerList_.begin(), headerList_.end(), node.Header), headerList_.end());
            closedHeaders_.remove(node.Header);
            if (stepBack)
                for (int i = 0; i <= passed; ++i) ds->Next();
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
        const int shownFrom = Pages()->GetCurPosition(), shownBreaks = breaks_;
        const double shownX = CurX;
        headerPlaced_ = {h};
        ShowBand(h);
        if (!h->Vertical() && addBandOutline(h, designHeight)) outlined_.insert(h);
        if (h->Vertical()) {
            vHeaderList_.push_back(h);
        } else {
            addHeader(h);
            if (breaks_ == shownBreaks)
                noteHeaderRun(h, shownFrom, shownX);
            else if (headerPlaced_.Band == h && headerPlaced_.Pos >= 0 && breaks_ == headerPlaced_.Breaks)
                noteHeaderRun(h, headerPlaced_.Pos, headerPlaced_.X);
            headerPlaced_ = {};
        }
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
    TlyrDataSet *ds = dataSetOf(b);
    // The footers see the last printed record of the closed group, and so
    // do the headers repeated above its row when that moves on.
    const int back = recordsBack_;
    for (int i = 0; i < back; ++i) ds->Prior();
    // The open row of a multi-column band closes before the footers.
    if (row && b->CurColumn() != 1) {
        b->SetCurColumn(b->Columns());
        columnStep(b, *row);
    }
    showGroupFooters(node, changed);
    for (int i = 0; i < back; ++i) ds->Next();
    // Headers that began the column head closed groups now (their records
    // may all have been hidden): a block below them no longer starts there.
    if (changed == 0) headsTop_ = HeadsTop();
    showGroupHeaders(node, changed, false);
    // A new group shows its first values even when they repeat.
    resetSuppress(b);
    return true;
}

// The group footer printed last when the node's groups all close: that of
// the outermost group whose footer shows.
TlyrBand *TlyrEngine::closingGroupFooter(Node &node)
{
    for (TlyrGroupHeader *h : node.Groups) {
        TlyrBand *f = nullptr;
        for (const PageTree &tree : std::as_const(trees_))
            if ((f = tree.GroupFooters.value(h))) break;
        if (f && !(static_cast<TlyrGroupFooter *>(f)->HideIfSingleDataRecord && groupRecords_.value(h) < 2)) return f;
    }
    return nullptr;
}

std::vector<TlyrBand *> TlyrEngine::showGroupFooters(Node &node, size_t from, bool hold)
{
    // The closed groups have no record left: a page or column that one of
    // their footers begins repeats none of their headers, but above a kept
    // block that moves there with records of theirs.
    std::vector<TlyrBand *> closing;
    for (size_t i = from; i < node.Groups.size(); ++i) {
        TlyrGroupHeader *h = node.Groups[i];
        auto &list = h->Vertical() ? vHeaderList_ : headerList_;
        if (!h->Vertical() && (keeping_ || hold) && !closedHeaders_.contains(h) &&
            std::find(list.begin(), list.end(), h) != list.end()) {
            closeHeader(h, Pages()->GetCurPosition());
            closing.push_back(h);
        } else {
            list.erase(std::remove(list.begin(), list.end(), h), list.end());
        }
    }
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
        // A whole kept group stays open over the footer that takes its last
        // record along: it moves with it, header and all.
        if (h->KeepTogether && !(hold && keeping_ && keepBand_ == h && keepBreaks_.empty())) endKeep(h);
    }
    if (!hold) dropHeaders(closing);
    return closing;
}

void TlyrEngine::dropHeaders(const std::vector<TlyrBand *> &headers)
{
    for (TlyrBand *h : headers) {
        headerList_.erase(std::remove(headerList_.begin(), headerList_.end(), h), headerList_.end());
        closedHeaders_.remove(h);
    }
}

// After each record of a multi-column data band: the next record goes beside
// this one, or, when the row is full, below the lowest record of the row.
void TlyrEngine::columnStep(TlyrDataBand *band, Row &row, bool shown)
{
    row.MaxY = std::max(row.MaxY, CurY);
    rowBottom_ = -1;
    if (band->CurColumn() < band->Columns()) {
        CurY = row.Y;
        rowBottom_ = row.MaxY;
    } else if (row.MaxY <= PageHeight - FooterHeight() + 0.0001) {
        CurY = row.MaxY;
    } else if (const bool keptInRow = keeping_ && keepPage_ == Pages()->CurPage && keepPos_ >= row.Start;
               keeping_ && !keptInRow && keepMovesWithRow(row)) {
        // A keep block begun above the row moves whole from its start to
        // the next column or page, the full row with it.
        const Saved<bool> closed(rowsClosed_);
        rowsClosed_ = true;
        CurY = row.MaxY;
        NewColumn();
    } else {
        // A full row that does not fit moves whole to the next column or
        // page; a keep block begun inside the row (its last record's own)
        // goes with it. One begun above it that cannot move stays: what it
        // held above the row counts here.
        if (keeping_ && !keptInRow) Aggregates.LeaveKeepAtRow();
        if (keeping_) closeKeep();
        TlyrCustomPreviewPages *pages = Pages();
        Aggregates.LeaveRow();
        // A row begun at the top of a page column, below only its headers,
        // finds no more room in the page's later columns: the column it
        // began goes (the first stays below the title), and the row moves
        // to a new page.
        auto *store = dynamic_cast<TlyrPreviewPages *>(pages);
        const int page = pages->CurPage, column = CurColumn;
        const bool atTop = row.Y <= std::max(columnStartY_, headersEndY_) + 0.0001;
        if (atTop && column == 1 && titleRun_ > 0.0001 && CurPage && CurPage->Columns() > 1) {
            pages->CutObjects(row.Start);
            NewPage();
        } else if (store && columnBegun_.Page == page && columnBegun_.Column == column && column > 1 &&
                   row.Start >= columnBegun_.Pos && atTop) {
            const int heads = row.Start - columnBegun_.Pos;
            store->CutObjects(columnBegun_.Pos);
            store->PasteObjects([&](int i, QRectF &) { return i >= heads; });
            row.Start = columnBegun_.Pos;
            columnBody_.erase({page, column});
            CurColumn = column - 1;
            pages->CutObjects(row.Start);
            NewPage();
        } else {
            pages->CutObjects(row.Start);
            // Under a tall title no later column may hold the row either.
            nextColumnFor(row.MaxY - row.Y);
        }
        Aggregates.PlaceRow();
        const double top = CurY;
        pages->PasteObjects(CurX, top);
        CurY = row.MaxY + top - row.Y;
    }
    if (band->CurColumn() >= band->Columns()) Aggregates.EndRow();
    // A row closed after a hidden record starts the next row in the first
    // column.
    if (shown) {
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
