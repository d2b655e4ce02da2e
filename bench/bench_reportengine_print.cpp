// Printing a list report of 500 pages to a file through the printer of a
// queue (print to file: the PDF the queue would get), against QPdfWriter
// drawing the same texts at the same places in the same run.
//
// The list is as a shop prints one: rows of three memos (a number, a
// name and a right-aligned price), Arial 10, 56 rows a page. The texts and
// places of the anchor are those our pages draw, taken once from a recording
// canvas before anything is timed. Each iteration prints both ways, in an
// order that changes, and times each by the process's processor time (the
// machine may be shared). ratio_vs_baseline = our time / the anchor's;
// bytes_ratio_vs_baseline = our file's size / the anchor's (goals: at most
// 1.5 and 1.2). Run with --benchmark_repetitions for the spread.

#include "gui_main.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrcomponent.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <time.h>

namespace {

constexpr int kRows = 28000;  // 56 rows a page: 500 pages
constexpr int kDpi = 600;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct ListReport {
    QObject keeper;
    std::unique_ptr<TlyrReport> report = std::make_unique<TlyrReport>();
    ListReport()
    {
        lyrRegisterReportClasses();
        lyrInstallEngine();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        report->PrintOptions()->ShowDialog = false;
        auto *page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
        auto *band = new TlyrMasterData(report.get());
        band->SetName(QStringLiteral("MasterData1"));
        band->SetParent(page);
        band->SetHeight(20);
        band->SetRowCount(kRows);
        const auto memo = [&](const QString &name, double left, double width, const QString &text, TlyrHAlign a) {
            auto *m = new TlyrMemoView(report.get());
            m->SetName(name);
            m->SetParent(band);
            m->SetBounds(left, 0, width, 20);
            m->SetText(text);
            m->SetHAlign(a);
        };
        memo(QStringLiteral("Memo1"), 0, 60, QStringLiteral("[Line#]"), haLeft);
        memo(QStringLiteral("Memo2"), 60, 400, QStringLiteral("商品 [Line#] 规格 500ml 袋装"), haLeft);
        memo(QStringLiteral("Memo3"), 460, 120, QStringLiteral("¥977.50"), haRight);
        if (!report->PrepareReport()) qFatal("%s", qPrintable(report->Errors().join(u'\n')));
    }
    ~ListReport() { report->setParent(nullptr); }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(report->PreviewPages()); }
};

// What our pages draw at the printer's resolution, page by page.
struct DrawnTexts {
    std::vector<std::vector<TlyrRecordedText>> pages;
    explicit DrawnTexts(TlyrPreviewPages &source)
    {
        for (int i = 0; i < source.Count(); ++i) {
            TlyrRecordingCanvas canvas(kDpi, true);
            source.DrawPage(i, canvas, kDpi / 96.0, kDpi / 96.0, 0, 0);
            pages.push_back(std::move(canvas.Texts));
        }
        source.ClearPageCache();
    }
};

// The anchor: the same texts at the same places (the top of each text's
// cell, as the canvas places it), in the same font, by QPdfWriter.
void drawPlainly(const DrawnTexts &texts, const QString &file)
{
    QPdfWriter pdf(file);
    pdf.setResolution(kDpi);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&pdf);
    QFont f(QStringLiteral("Arial"));
    int px = 0, ascent = 0;
    for (size_t i = 0; i < texts.pages.size(); ++i) {
        if (i > 0) pdf.newPage();
        for (const TlyrRecordedText &t : texts.pages[i]) {
            if (-t.Font.Height != px) {
                px = -t.Font.Height;
                f.setPixelSize(px);
                p.setFont(f);
                ascent = QFontMetrics(f, &pdf).ascent();
            }
            p.drawText(t.X, t.Y + ascent, t.Text);
        }
    }
}

void BM_PrintToFile(benchmark::State &state)
{
    QTemporaryDir dir;
    static ListReport r;
    static const DrawnTexts texts(r.pages());
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("VelmoraPDF"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QStringLiteral("VelmoraPDF"));
    const QString ours = dir.filePath(QStringLiteral("report.prn")), anchor = dir.filePath(QStringLiteral("base.pdf"));
    const auto print = [&] {
        lyrPrinters().Printer()->FileName = ours;
        const double t0 = cpuSeconds();
        if (!r.pages().Print()) state.SkipWithError("printing failed");
        return cpuSeconds() - t0;
    };
    const auto plain = [&] {
        const double t0 = cpuSeconds();
        drawPlainly(texts, anchor);
        return cpuSeconds() - t0;
    };
    // Fonts loaded and embedded once on either side before timing.
    print();
    plain();
    static int turn = 0;
    double mine = 0, base = 0;
    for (auto _ : state) {
        double t = 0;
        if (turn++ % 2) {
            t = print();
            base += plain();
        } else {
            base += plain();
            t = print();
        }
        mine += t;
        state.SetIterationTime(t);
    }
    QFile out(ours);
    if (!out.open(QIODevice::ReadOnly) || !out.read(4).startsWith("%PDF")) state.SkipWithError("no PDF written");
    const double n = double(state.iterations());
    state.counters["pages"] = r.pages().Count();
    state.counters["ms_per_page"] = mine / n * 1000 / std::max(r.pages().Count(), 1);
    state.counters["anchor_ms"] = base / n * 1000;
    state.counters["ratio_vs_baseline"] = mine / base;
    state.counters["bytes"] = double(QFileInfo(ours).size());
    state.counters["anchor_bytes"] = double(QFileInfo(anchor).size());
    state.counters["bytes_ratio_vs_baseline"] = double(QFileInfo(ours).size()) / double(QFileInfo(anchor).size());
}

}  // namespace

BENCHMARK(BM_PrintToFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
