// How the engine scales.
//
// Loading and preparing a template of 10,000 and of 40,000 memos, and
// loading a prepared report of 1,000,000 objects. Name look-ups and unique
// names must not walk every object, so 40,000 take about four times as long
// as 10,000: ratio_vs_10000 is that quotient (near 4 when linear); the same
// for prepared reports of 250,000 and 1,000,000 objects (ratio_vs_2500).
//
// Building and freeing one prepared page of 100,000 and of 1,000,000
// objects, against reading the same file's XML alone and against as many
// named QObjects with one property (see below).
//
// Memory of a long report (one row of eight memos a page, default options
// but MaxMemSize 1, so that pages leave memory past 4 MiB): the peak growth of the resident size per page for
// 20,000 and for 80,000 pages; growth_per_page_ratio_vs_20000 stays near or
// below 1 when the pages leave memory as they are made (near 4 would mean
// every page stays).

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include "gui_main.h"

#include <QBuffer>
#include <QFile>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <time.h>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;
double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The thread's processor time: the machine may be shared, and time spent
// waiting for a processor would fall on either side unevenly.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

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

std::map<int, double> &perSize()
{
    static std::map<int, double> m;
    return m;
}

void BM_LoadAndPrepareMemos(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    const QByteArray text = memosTemplate(n);
    double total = 0;
    int pages = 0;
    for (auto _ : state) {
        TlyrReport report;
        report.EngineOptions()->SetNewSilentMode(simSilent);
        QBuffer in;
        in.setData(text);
        in.open(QIODevice::ReadOnly);
        const auto t0 = Clock::now();
        report.LoadFromStream(in);
        if (!report.PrepareReport()) state.SkipWithError("prepare failed");
        const double t = seconds(Clock::now() - t0);
        pages = report.PreviewPages()->Count();
        state.SetIterationTime(t);
        total += t;
    }
    const double mean = total / double(state.iterations());
    perSize()[n] = mean;
    state.counters["pages"] = pages;
    if (n != 10000 && perSize().count(10000)) state.counters["ratio_vs_10000"] = mean / perSize()[10000];
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
    page.remove(0, 9);  // the "<b0 t=0>" placeholder
    QByteArray out = "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages>";
    for (int p = 0; p < pages; ++p) out += "<page0>" + page + "</page0>";
    out += "</previewpages>" + src + "<dictionary>" + dict + "</dictionary></preparedreport>";
    return out;
}

// 100 pages of 2,500 and of 10,000 source objects each (about 250,000 and
// 1,000,000 objects in all), loaded whole and the last page built.
void BM_LoadPreparedObjects(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    const QByteArray text = preparedText(n, 100);
    double total = 0;
    for (auto _ : state) {
        TlyrReport report;
        auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
        QBuffer in;
        in.setData(text);
        in.open(QIODevice::ReadOnly);
        const auto t0 = Clock::now();
        pages.LoadFromStream(in, false);
        TlyrReportPage *last = pages.GetPage(pages.Count() - 1);
        const double t = seconds(Clock::now() - t0);
        if (!last || last->AllObjects().size() != n / 100 * 101) state.SkipWithError("pages not loaded");
        state.counters["objects"] = double(n / 100 * 101) * pages.Count() + n;
        state.SetIterationTime(t);
        total += t;
    }
    const double mean = total / double(state.iterations());
    perSize()[-n] = mean;
    if (perSize().count(-2500) && n != 2500) state.counters["ratio_vs_2500"] = mean / perSize()[-2500];
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
double namedObjects(int n)
{
    const double t0 = cpuSeconds();
    {
        QObject root;
        for (int i = 0; i < n; ++i) {
            auto *o = new QObject(&root);
            o->setObjectName(QStringLiteral("Band1"));
            o->setProperty("t", double(i % 1000 * 20));
        }
    }
    return cpuSeconds() - t0;
}

// The same file's XML read alone.
double xmlRead(const QByteArray &text)
{
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    TlyrXMLDocument doc;
    const double t0 = cpuSeconds();
    doc.LoadFromStream(in, false);
    return cpuSeconds() - t0;
}

// The page built into objects and freed again (GetPage, then emptying the
// page cache); the time of the freeing alone goes to freed. -1 when the
// page was not built whole.
double pageBuiltAndFreed(const QByteArray &text, int n, double &freed)
{
    TlyrReport report;
    TlyrPreviewPages &pages = loadedPages(report, text);
    const double t0 = cpuSeconds();
    TlyrReportPage *page = pages.GetPage(0);
    const qsizetype objects = page ? page->Objects().size() : 0;
    const double built = cpuSeconds();
    pages.ClearPageCache();
    const double t1 = cpuSeconds();
    freed = t1 - built;
    return objects == n ? t1 - t0 : -1;
}

// Times building the page of 100,000 and of 1,000,000 objects into objects
// and freeing it again, against reading the same file's XML alone
// (TlyrXMLDocument) and against as many named QObjects with one property
// made and freed (namedObjects). All three sides are timed alike: each
// iteration runs each of them three times, in turns whose order changes,
// and takes each side's best. ratio_vs_xml is build and free over the XML
// read, ratio_vs_qobject over the QObjects (the goal is at most 4), and
// every_run_ratio_vs_qobject the same over all runs rather than the best;
// ratio_vs_100000 is the build and free time at 1,000,000 over that at
// 100,000 (near 10 when linear, as the XML read is). Each side runs once
// untimed first; times are the thread's processor time.
void BM_BuildAndFreeAPageOfManyObjects(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    const QByteArray text = onePageText(n);
    double xmlTotal = 0, pageTotal = 0, objectTotal = 0, freeTotal = 0;
    // Every run of either side, not only the best.
    double everyPage = 0, everyObjects = 0;
    // A loaded page may hold this many only when allowed.
    TlyrPreviewPages::MaxPageObjects = std::max(TlyrPreviewPages::MaxPageObjects, n);
    double unused = 0;
    pageBuiltAndFreed(text, n, unused);
    namedObjects(n);
    xmlRead(text);
    for (auto _ : state) {
        double bestObjects = 0, bestXml = 0, bestPage = 0, bestFree = 0;
        for (int k = 0; k < 3; ++k) {
            for (int side = 0; side < 3; ++side) {
                switch ((side + k) % 3) {
                case 0: {
                    const double t = namedObjects(n);
                    everyObjects += t;
                    bestObjects = k == 0 ? t : std::min(bestObjects, t);
                    break;
                }
                case 1: {
                    const double t = xmlRead(text);
                    bestXml = k == 0 ? t : std::min(bestXml, t);
                    break;
                }
                default: {
                    double freed = 0;
                    const double t = pageBuiltAndFreed(text, n, freed);
                    if (t < 0) state.SkipWithError("page not built");
                    everyPage += t;
                    if (k == 0 || t < bestPage) {
                        bestPage = t;
                        bestFree = freed;
                    }
                }
                }
            }
        }
        objectTotal += bestObjects;
        xmlTotal += bestXml;
        pageTotal += bestPage;
        freeTotal += bestFree;
        state.SetIterationTime(bestPage);
    }
    const double mean = pageTotal / double(state.iterations());
    perSize()[-10 * n] = mean;
    state.counters["objects"] = n;
    state.counters["xml_ms"] = xmlTotal / double(state.iterations()) * 1000;
    state.counters["ratio_vs_xml"] = pageTotal / xmlTotal;
    state.counters["qobject_ms"] = objectTotal / double(state.iterations()) * 1000;
    state.counters["free_ms"] = freeTotal / double(state.iterations()) * 1000;
    state.counters["ratio_vs_qobject"] = pageTotal / objectTotal;
    state.counters["every_run_ratio_vs_qobject"] = everyPage / everyObjects;
    if (n != 100000 && perSize().count(-1000000)) state.counters["ratio_vs_100000"] = mean / perSize()[-1000000];
}

// The resident size now and at its peak since the last reset, in bytes.
qint64 statusBytes(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

void BM_PagesMemory(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
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
        const qint64 before = statusBytes("VmRSS:");
        const auto t0 = Clock::now();
        if (!report.PrepareReport()) state.SkipWithError("prepare failed");
        state.SetIterationTime(seconds(Clock::now() - t0));
        auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
        const double growth = double(statusBytes("VmHWM:") - before);
        const double perPage = growth / pages.Count();
        state.counters["pages"] = pages.Count();
        state.counters["peak_growth_kib"] = growth / 1024;
        state.counters["growth_per_page_bytes"] = perPage;
        state.counters["file_cache_bytes_per_page"] =
                double(pages.XMLDoc.TempFileSize()) / pages.Count();
        perSize()[1000000 + n] = perPage;
        if (n != 20000 && perSize().count(1020000))
            state.counters["growth_per_page_ratio_vs_20000"] = perPage / perSize()[1020000];
    }
}

}  // namespace

BENCHMARK(BM_PagesMemory)->Arg(20000)->Arg(80000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadPreparedObjects)->Arg(2500)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BuildAndFreeAPageOfManyObjects)
        ->Arg(100000)
        ->Arg(1000000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
BENCHMARK(BM_LoadAndPrepareMemos)->Arg(10000)->Arg(40000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    lyrInstallEngine();
    return runWindowBenchmarks(argc, argv);
}
