// How the engine scales. The two sizes of each benchmark run by turns in
// the same iterations (measure.h: the order alternating, after one untimed
// run of each, in processor time), the larger as the measured side and the
// smaller as its anchor: ratio_min and ratio_median are the larger's time
// over the smaller's.
//
// Loading and preparing a template of 40,000 memos against one of 10,000.
// Name look-ups and unique names must not walk every object, so 40,000
// take about four times as long as 10,000 (ratios near 4 when linear); the
// same for prepared reports of 1,000,000 and 250,000 objects (near 4).
//
// Building and freeing one prepared page of 100,000 and of 1,000,000
// objects, against reading the same file's XML alone and against as many
// named QObjects with one property (see below), and the larger page
// against the smaller (near 10 when linear).
//
// Memory of a long report (one row of eight memos a page, default options
// but MaxMemSize 1, so that pages leave memory past 4 MiB): the peak growth
// of the resident size per page for 80,000 pages over that for 20,000, the
// two sizes prepared by turns; ratio_min and ratio_median stay near or below
// 1 when the pages leave memory as they are made (near 4 would mean every
// page stays).

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include "gui_main.h"
#include "measure.h"
#include "peak_memory.h"

#include <QBuffer>
#include <QFile>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <malloc.h>
#include <memory>

namespace {


// n memos in master bands of 100 (each printed once) on one page, saved.
QByteArray memosTemplate(int n)
{
    TlyrReport r;
    auto *page = new TlyrReportPage(&r);
    page->SetNameUnchecked(QStringLiteral("Page1"));
    page->SetParent(&r);
    TlyrMasterData *band = nullptr;
    for (int i = 0; i < n; ++i) {
        if (i % 100 == 0) {
            band = new TlyrMasterData(&r);
            band->SetNameUnchecked(QStringLiteral("Band%1").arg(i / 100 + 1));
            band->SetParent(page);
            band->SetTop(i / 100 * 30);
            band->SetHeight(20);
            band->SetRowCount(1);
        }
        auto *m = new TlyrMemoView(&r);
        m->SetNameUnchecked(QStringLiteral("Memo%1").arg(i + 1));
        m->SetParent(band);
        m->SetBounds(i % 100 * 7, 0, 7, 20);
        m->SetText(QStringLiteral("M%1").arg(i + 1));
    }
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    r.SaveToStream(b);
    return b.data();
}

// Loading and preparing the template of n memos, freed untimed.
BenchSide loadAndPrepare(benchmark::State &state, const QByteArray &text, int &pages)
{
    auto report = std::make_shared<std::unique_ptr<TlyrReport>>();
    auto in = std::make_shared<QBuffer>();
    return {[&state, &pages, report, in] {
                (*report)->LoadFromStream(*in);
                if (!(*report)->PrepareReport()) state.SkipWithError("prepare failed");
                pages = (*report)->PreviewPages()->Count();
            },
            [report, in, &text] {
                *report = std::make_unique<TlyrReport>();
                (*report)->EngineOptions()->SetNewSilentMode(simSilent);
                in->close();
                in->setData(text);
                in->open(QIODevice::ReadOnly);
            },
            [report] { report->reset(); }};
}

void BM_LoadAndPrepareMemos(benchmark::State &state)
{
    const QByteArray big = memosTemplate(40000), small = memosTemplate(10000);
    int pages = 0, smallPages = 0;
    measurePair(state, loadAndPrepare(state, big, pages), loadAndPrepare(state, small, smallPages));
    state.counters["pages"] = pages;
}

// A prepared report text: one source page of n memos in bands of 100, and
// `pages` pages each printing all of them (n / 100 * 101 objects a page).
QByteArray preparedText(int n, int pages)
{
    QByteArray src, dict, page;
    src += "<sourcepages><TlyrReportPage PaperWidth=\"210\" PaperHeight=\"297\">";
    page += "<b0 t=\"0\">";
    for (int i = 0; i < n; ++i) {
        const QByteArray k = QByteArray::number(i + 1);
        if (i % 100 == 0) {
            const QByteArray b = QByteArray::number(i / 100 + 1);
            if (i) {
                src += "</TlyrMasterData>";
                page += "</b" + QByteArray::number(i / 100) + ">";
            }
            src += "<TlyrMasterData Name=\"Band" + b + "\" Height=\"20\" Top=\"" + QByteArray::number(i / 100 * 30) +
                   "\" RowCount=\"1\">";
            dict += "<b" + b + " name=\"Page0.Band" + b + "\"/>";
            page += "<b" + b + " t=\"" + QByteArray::number(i / 100 * 30) + "\">";
        }
        src += "<TlyrMemoView Name=\"Memo" + k + "\" Left=\"" + QByteArray::number(i % 100 * 7) +
               "\" Width=\"7\" Height=\"20\" Text=\"M" + k + "\"/>";
        dict += "<m" + k + " name=\"Page0.Memo" + k + "\"/>";
        page += "<m" + k + " u=\"P" + k + "\"/>";
    }
    src += "</TlyrMasterData></TlyrReportPage></sourcepages>";
    page += "</b" + QByteArray::number((n - 1) / 100 + 1) + ">";
    page.remove(0, 10);  // the "<b0 t="0">" placeholder
    QByteArray out = "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages>";
    for (int p = 0; p < pages; ++p) out += "<page0>" + page + "</page0>";
    out += "</previewpages>" + src + "<dictionary>" + dict + "</dictionary></preparedreport>";
    return out;
}

// 100 pages of 10,000 source objects each (about 1,000,000 objects in all)
// against 100 pages of 2,500 each, loaded whole and the last page built.
BenchSide loadPrepared(benchmark::State &state, const QByteArray &text, int n)
{
    auto report = std::make_shared<std::unique_ptr<TlyrReport>>();
    auto in = std::make_shared<QBuffer>();
    return {[&state, report, in, n] {
                auto &pages = *static_cast<TlyrPreviewPages *>((*report)->PreviewPages());
                pages.LoadFromStream(*in, false);
                TlyrReportPage *last = pages.GetPage(pages.Count() - 1);
                if (!last || last->AllObjects().size() != n / 100 * 101) state.SkipWithError("pages not loaded");
            },
            [report, in, &text] {
                *report = std::make_unique<TlyrReport>();
                in->close();
                in->setData(text);
                in->open(QIODevice::ReadOnly);
            },
            [report] { report->reset(); }};
}

void BM_LoadPreparedObjects(benchmark::State &state)
{
    const QByteArray big = preparedText(10000, 100), small = preparedText(2500, 100);
    measurePair(state, loadPrepared(state, big, 10000), loadPrepared(state, small, 2500));
    state.counters["objects"] = double(10000 / 100 * 101) * 100 + 10000;
}

// A prepared report of one page holding n bands side by side under the page
// (no band in between), as a damaged or generated file may hold them.
QByteArray onePageText(int n)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages><page0>";
    out.reserve(n * 16 + 512);
    for (int i = 0; i < n; ++i) out += "<b1 t=\"" + QByteArray::number(i % 1000 * 20) + "\"/>";
    out += "</page0></previewpages><sourcepages><TlyrReportPage PaperWidth=\"210\" PaperHeight=\"297\">"
           "<TlyrMasterData Name=\"Band1\" Height=\"20\"/></TlyrReportPage></sourcepages>"
           "<dictionary><b1 name=\"Page0.Band1\"/></dictionary></preparedreport>";
    return out;
}

// The report's prepared pages loaded from text.
TlyrPreviewPages &loadedPages(TlyrReport &report, const QByteArray &text)
{
    auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    pages.LoadFromStream(in, false);
    return pages;
}

// As many plain objects, each parented, named and given one property (the
// position each band has), then freed: the anchor of building page objects.
void namedObjects(int n)
{
    {
        QObject root;
        for (int i = 0; i < n; ++i) {
            auto *o = new QObject(&root);
            o->setObjectName(QStringLiteral("Band1"));
            o->setProperty("t", double(i % 1000 * 20));
        }
    }
}

// The same file's XML read alone.
void xmlRead(const QByteArray &text)
{
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    TlyrXMLDocument doc;
    doc.LoadFromStream(in, false);
}

// The page built into objects and freed again (GetPage, then emptying the
// page cache), the file loaded untimed.
BenchSide pageBuiltAndFreed(benchmark::State &state, const QByteArray &text, int n)
{
    auto report = std::make_shared<std::unique_ptr<TlyrReport>>();
    return {[&state, report, n] {
                auto &pages = *static_cast<TlyrPreviewPages *>((*report)->PreviewPages());
                TlyrReportPage *page = pages.GetPage(0);
                if (!page || page->Objects().size() != n) state.SkipWithError("page not built");
                pages.ClearPageCache();
            },
            [report, &text] {
                *report = std::make_unique<TlyrReport>();
                loadedPages(**report, text);
            },
            [report] { report->reset(); }};
}

// Building the page of n objects into objects and freeing it again, against
// reading the same file's XML alone (TlyrXMLDocument) and against as many
// named QObjects with one property made and freed (namedObjects), the three
// by turns: ratio_min and ratio_median over the XML read, qobject_ratio_min
// and qobject_ratio_median over the QObjects (the goal is at most 4).
void BM_BuildAndFreeAPageOfManyObjects(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    const QByteArray text = onePageText(n);
    // A loaded page may hold this many only when allowed.
    TlyrPreviewPages::MaxPageObjects = std::max(TlyrPreviewPages::MaxPageObjects, n);
    const auto times = timeByTurns(
            state, {pageBuiltAndFreed(state, text, n), {[&] { xmlRead(text); }}, {[n] { namedObjects(n); }}});
    state.counters["objects"] = n;
    state.counters["xml_ms"] = Median(times[1]) * 1000;
    state.counters["qobject_ms"] = Median(times[2]) * 1000;
    RatioCounters(state, times[0], times[1]);
    RatioCounters(state, times[0], times[2], "qobject_ratio_");
}

// The page of 1,000,000 objects built and freed against the page of
// 100,000 (near 10 when linear, as the XML read is).
void BM_BuildAndFreeTenfold(benchmark::State &state)
{
    const QByteArray big = onePageText(1000000), small = onePageText(100000);
    TlyrPreviewPages::MaxPageObjects = std::max(TlyrPreviewPages::MaxPageObjects, 1000000);
    measurePair(state, pageBuiltAndFreed(state, big, 1000000), pageBuiltAndFreed(state, small, 100000));
}

// The peak growth of the resident size per page while the long report of
// n pages is prepared.
double growthPerPage(benchmark::State &state, int n, double &fileCacheBytesPerPage)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    report.EngineOptions()->setProperty("MaxMemSize", 1);
    auto *page = new TlyrReportPage(&report);
    page->SetNameUnchecked(QStringLiteral("Page1"));
    page->SetParent(&report);
    auto *band = new TlyrMasterData(&report);
    band->SetNameUnchecked(QStringLiteral("Rows"));
    band->SetParent(page);
    band->SetHeight(20);
    band->SetRowCount(n);
    band->SetStartNewPage(true);
    for (int c = 0; c < 8; ++c) {
        auto *m = new TlyrMemoView(&report);
        m->SetNameUnchecked(QStringLiteral("M%1").arg(c));
        m->SetParent(band);
        m->SetBounds(c * 90, 0, 90, 20);
        m->SetText(QStringLiteral("第 [Line] 行 %1 列").arg(c));
    }
    // What earlier runs freed goes back first, so that it is not reused
    // unseen.
    malloc_trim(0);
    resetPeak();
    const qint64 before = statusKb("VmRSS") * 1024;
    if (!report.PrepareReport()) state.SkipWithError("prepare failed");
    auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
    fileCacheBytesPerPage = double(pages.XMLDoc.TempFileSize()) / pages.Count();
    return double(statusKb("VmHWM") * 1024 - before) / pages.Count();
}

// 80,000 pages against 20,000, by turns; memory, not time: no warm-up.
void BM_PagesMemory(benchmark::State &state)
{
    std::vector<double> big, small;
    double fileCache = 0;
    bool bigFirst = true;
    for (auto _ : state) {
        if (bigFirst) {
            big.push_back(growthPerPage(state, 80000, fileCache));
            small.push_back(growthPerPage(state, 20000, fileCache));
        } else {
            small.push_back(growthPerPage(state, 20000, fileCache));
            big.push_back(growthPerPage(state, 80000, fileCache));
        }
        bigFirst = !bigFirst;
        state.SetIterationTime(1);
    }
    state.counters["growth_per_page_bytes"] = Median(big);
    state.counters["growth_per_page_bytes_20000"] = Median(small);
    state.counters["file_cache_bytes_per_page"] = fileCache;
    RatioCounters(state, big, small);
}

}  // namespace

BENCHMARK(BM_PagesMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadPreparedObjects)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BuildAndFreeAPageOfManyObjects)
        ->Arg(100000)
        ->Arg(1000000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
BENCHMARK(BM_BuildAndFreeTenfold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadAndPrepareMemos)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    lyrInstallEngine();
    return runWindowBenchmarks(argc, argv);
}
