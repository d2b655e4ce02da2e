// A list report of 10,000 records (8 text objects per row, page header and
// footer, a group footer with a sum) prepared to pages, against drawing the
// same pages directly with QPainter into QPictures in the same run.
// ratio_vs_baseline, ratio_min, ratio_median = our time / baseline time (the
// target is at most 3). Also saving and loading the prepared report, against
// QXmlStreamWriter and QXmlStreamReader writing and reading the same XML;
// and 2,000 pages with the file cache, with the peak resident size of each
// run. A side and its baseline run by turns (measure.h: the order
// alternating, after one untimed run of each, in processor time).

#include "measure.h"
#include "peak_memory.h"
#include "plain_xml.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPicture>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <benchmark/benchmark.h>

#include <vector>

#include <malloc.h>

namespace {

constexpr int kRecords = 10000;
constexpr int kColumns = 8;

QString cell(int row, int col)
{
    return QStringLiteral("项 %1-%2 ¥%3.50").arg(row).arg(col).arg((row * 7 + col) % 977);
}

struct ListReport {
    std::unique_ptr<TlyrReport> report = std::make_unique<TlyrReport>();
    int pos = 0;
    ListReport()
    {
        report->EngineOptions()->SetNewSilentMode(simSilent);
        auto *ds = new TlyrUserDataSet(report.get());
        ds->SetName(QStringLiteral("Rows"));
        QStringList fields{QStringLiteral("G"), QStringLiteral("N")};
        for (int c = 0; c < kColumns; ++c) fields << QStringLiteral("C%1").arg(c);
        ds->SetFields(fields);
        ds->SetRangeEnd(TlyrDataSet::reCount);
        ds->SetRangeEndCount(kRecords);
        ds->OnGetValue = [ds](const QString &f, KsValue &v) {
            const int row = ds->RecNo();
            if (f == QLatin1String("G"))
                v = KsValue(row / 50);
            else if (f == QLatin1String("N"))
                v = KsValue(row % 13);
            else
                v = KsValue(cell(row, f.mid(1).toInt()));
        };
        report->Datasets()->Add(ds);
        auto *page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
        auto add = [&](TlyrBand *b, const QString &name, double top) {
            b->SetName(name);
            b->SetParent(page);
            b->SetTop(top);
            b->SetHeight(18);
            return b;
        };
        auto memo = [&](TlyrBand *b, const QString &name, const QString &text, double left) {
            auto *m = new TlyrMemoView(report.get());
            m->SetName(name);
            m->SetParent(b);
            m->SetBounds(left, 0, 90, 18);
            m->SetText(text);
        };
        memo(add(new TlyrPageHeader(report.get()), QStringLiteral("PageHeader1"), 0), QStringLiteral("PH"),
             QStringLiteral("清单"), 0);
        auto *gh = static_cast<TlyrGroupHeader *>(add(new TlyrGroupHeader(report.get()), QStringLiteral("GH"), 30));
        gh->Condition = QStringLiteral("Rows.\"G\"");
        auto *master = static_cast<TlyrMasterData *>(add(new TlyrMasterData(report.get()), QStringLiteral("MD"), 60));
        master->SetDataSet(ds);
        for (int c = 0; c < kColumns; ++c)
            memo(master, QStringLiteral("M%1").arg(c), QStringLiteral("[Rows.\"C%1\"]").arg(c), c * 95);
        memo(add(new TlyrGroupFooter(report.get()), QStringLiteral("GF"), 90), QStringLiteral("GS"),
             QStringLiteral("[SUM(<Rows.\"N\">)]"), 0);
        memo(add(new TlyrPageFooter(report.get()), QStringLiteral("PageFooter1"), 120), QStringLiteral("PF"),
             QStringLiteral("[Page#]"), 0);
    }
};

// The same pages drawn the plain way: one QPicture a page, recorded by
// QPainter, with the page header, each group's header and footer (the sum of
// its "N" added up as the rows go), the rows' eight strings and the page
// footer's number, bands of 18 placed down an A4 page as the report does.
void direct()
{
    constexpr int kBand = 18, kPageHeight = 1123;
    std::vector<QPicture> pages;
    QPainter p;
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    int y = 0, group = -1, sum = 0;
    const auto newPage = [&] {
        pages.emplace_back();
        p.begin(&pages.back());
        p.setFont(f);
        p.drawText(QPointF(0, 0), QStringLiteral("清单"));
        y = kBand;
    };
    const auto endPage = [&] {
        p.drawText(QPointF(0, kPageHeight - kBand), QString::number(pages.size()));
        p.end();
    };
    // A band of 18 on this page, or on a new one when it would pass the
    // footer.
    const auto place = [&] {
        if (y + kBand > kPageHeight - kBand) {
            endPage();
            newPage();
        }
        const int top = y;
        y += kBand;
        return top;
    };
    newPage();
    for (int r = 0; r < kRecords; ++r) {
        if (r / 50 != group) {
            if (group >= 0) p.drawText(QPointF(0, place()), QString::number(sum));
            group = r / 50;
            sum = 0;
            place();  // the group header holds nothing
        }
        const int top = place();
        for (int c = 0; c < kColumns; ++c) p.drawText(QPointF(c * 95, top), cell(r, c));
        sum += r % 13;
    }
    p.drawText(QPointF(0, place()), QString::number(sum));
    endPage();
    benchmark::DoNotOptimize(pages.size());
}

// The process's peak resident size since the last resetPeak() (VmHWM), in
// KiB.
long peakKiB()
{
    return long(statusKb("VmHWM"));
}

// Preparing the list report (timed), against direct() drawing its pages
// into QPictures.  Every run of the same report must give the same pages:
// a run after the first that printed less would be timed doing less work.
void BM_PrepareListReport(benchmark::State &state)
{
    ListReport list;
    int pages = 0;
    measurePair(
            state,
            {[&] {
                if (!list.report->PrepareReport()) state.SkipWithError("prepare failed");
                const int count = list.report->PreviewPages()->Count();
                if (pages && count != pages) state.SkipWithError("a later run gave other pages than the first");
                pages = count;
            }},
            {direct});
    state.counters["pages"] = pages;
    if (state.counters["ms_per_op"] > 0) state.counters["pages_per_second"] = pages * 1000 / state.counters["ms_per_op"];
}

void writePlain(const PlainElement &e, QXmlStreamWriter &w)
{
    w.writeStartElement(e.Name);
    w.writeAttributes(e.Attributes);
    for (const PlainElement &c : e.Children) writePlain(c, w);
    w.writeEndElement();
}

// The same document written by QXmlStreamWriter.
QByteArray writePlain(const PlainElement &root)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    for (const PlainElement &c : root.Children) writePlain(c, w);
    w.writeEndDocument();
    return out;
}

// The prepared pages of the list and their saved XML.
struct SavedList {
    ListReport list;
    QByteArray xml;
    PlainElement plain;
    SavedList()
    {
        list.report->PrepareReport();
        QBuffer buf;
        buf.open(QIODevice::ReadWrite);
        pages().SaveToStream(buf);
        xml = buf.data();
        plain = readPlain(xml);
    }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(list.report->PreviewPages()); }
};

// The prepared pages saved to a stream, against QXmlStreamWriter writing the
// same XML from elements held in memory.
void BM_SavePrepared(benchmark::State &state)
{
    SavedList saved;
    qint64 bytes = 0;
    const bool reset = resetPeak();
    measurePair(
            state,
            {[&] {
                QBuffer buf;
                buf.open(QIODevice::ReadWrite);
                saved.pages().SaveToStream(buf);
                bytes = buf.size();
            }},
            {[&] { benchmark::DoNotOptimize(writePlain(saved.plain).size()); }});
    state.counters["bytes"] = double(bytes);
    state.counters["peak_rss_kib"] = double(peakKiB());
    state.counters["peak_rss_reset"] = reset ? 1 : 0;
}

// The saved pages loaded into a report's store (and freed), against
// QXmlStreamReader reading them into elements (and those freed).
void BM_LoadPrepared(benchmark::State &state)
{
    SavedList saved;
    QBuffer buf(&saved.xml);
    buf.open(QIODevice::ReadOnly);
    measurePair(
            state,
            {[&] {
                 TlyrReport other;
                 static_cast<TlyrPreviewPages *>(other.PreviewPages())->LoadFromStream(buf, false);
             },
             [&] { buf.seek(0); }},
            {[&] { benchmark::DoNotOptimize(readPlain(saved.xml).Children.size()); }});
}

// 2,000 pages (each record and each group on a page of its own) with the
// file cache on: prepared, saved to a file and loaded back with only the
// first pages in memory, timed as a whole, with the peak resident size of
// that run alone: the heap is trimmed and the peak brought down to the
// resident size before each run, so memory freed by an earlier repetition
// is not reused unseen.
void BM_TwoThousandPagesFileCache(benchmark::State &state)
{
    for (auto _ : state) {
        malloc_trim(0);
        const bool reset = resetPeak();
        ListReport list;
        list.report->EngineOptions()->setProperty("UseFileCache", true);
        list.report->EngineOptions()->setProperty("MaxMemSize", 1);
        auto *md = qobject_cast<TlyrBand *>(list.report->FindObject(QStringLiteral("MD")));
        md->SetStartNewPage(true);
        // The first record of a group never breaks: its group does.
        qobject_cast<TlyrBand *>(list.report->FindObject(QStringLiteral("GH")))->SetStartNewPage(true);
        auto *ds = list.report->Datasets()->Items(0)->DataSet();
        ds->SetRangeEndCount(2000);
        const long before = peakKiB();
        if (!list.report->PrepareReport()) state.SkipWithError("prepare failed");
        auto &pages = *static_cast<TlyrPreviewPages *>(list.report->PreviewPages());
        // A folder of this run's own: the shared temporary folder is others' too.
        const QTemporaryDir dir;
        if (!dir.isValid()) state.SkipWithError("no temporary folder");
        const QString file = dir.filePath(QStringLiteral("pages.lp3"));
        pages.SaveToFile(file);
        TlyrReport other;
        auto &loaded = *static_cast<TlyrPreviewPages *>(other.PreviewPages());
        loaded.LoadFromFile(file);
        int inMemory = 0;
        for (int i = 0; i < loaded.Count(); ++i) inMemory += loaded.PagesItem()->Items(i)->Loaded ? 1 : 0;
        loaded.GetPage(loaded.Count() - 1);
        state.counters["pages"] = pages.Count();
        state.counters["loaded_pages_in_memory"] = inMemory;
        state.counters["file_bytes"] = double(QFileInfo(file).size());
        state.counters["peak_rss_kib"] = double(peakKiB());
        state.counters["peak_rss_growth_kib"] = double(peakKiB() - before);
        state.counters["peak_rss_reset"] = reset ? 1 : 0;
        loaded.Clear();
        QFile::remove(file);
    }
}

}  // namespace

BENCHMARK(BM_TwoThousandPagesFileCache)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareListReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SavePrepared)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPrepared)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    lyrInstallEngine();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
