// Printing a list report of 1,000 pages to a file through the printer of a
// queue (print to file: the PDF the queue would get), against QPdfWriter
// drawing the same texts at the same places in the same run: the prepared
// pages printed (BM_PrintPrepared), and the whole run a user waits for,
// preparing included (BM_PrepareAndPrint).
//
// The list is as a shop prints one: rows of three memos (a number, a
// name and a right-aligned price), Arial 10, 56 rows a page. The texts and
// places of the anchor are those our pages draw, taken once from a recording
// canvas before anything is timed. Both sides run by turns after one
// untimed run of each (measure.h), in the process's processor time;
// ratio_vs_baseline, ratio_min and ratio_median = our time / the anchor's;
// bytes_ratio_vs_baseline = our file's size / the anchor's (goals: at most
// 1.5 and 1.2). Run with --benchmark_repetitions for the spread.

#include "gui_main.h"
#include "measure.h"

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

namespace {

constexpr int kRows = 56000;  // 56 rows a page: 1,000 pages
constexpr int kDpi = 600;

struct ListReport {
    QObject keeper;
    std::unique_ptr<TlyrReport> report = std::make_unique<TlyrReport>();
    explicit ListReport(bool prepare = true)
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
        if (prepare && !report->PrepareReport()) qFatal("%s", qPrintable(report->Errors().join(u'\n')));
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

// One printer writing to a file: what the queue would get.
void useFilePrinter()
{
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("VelmoraPDF"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QStringLiteral("VelmoraPDF"));
}

void fileCounters(benchmark::State &state, const QString &ours, const QString &anchor, int pages)
{
    QFile out(ours);
    if (!out.open(QIODevice::ReadOnly) || !out.read(4).startsWith("%PDF")) state.SkipWithError("no PDF written");
    state.counters["pages"] = pages;
    state.counters["bytes"] = double(QFileInfo(ours).size());
    state.counters["anchor_bytes"] = double(QFileInfo(anchor).size());
    state.counters["bytes_ratio_vs_baseline"] = double(QFileInfo(ours).size()) / double(QFileInfo(anchor).size());
}

// The prepared pages printed, against QPdfWriter drawing their texts.
void BM_PrintPrepared(benchmark::State &state)
{
    QTemporaryDir dir;
    static ListReport r;
    static const DrawnTexts texts(r.pages());
    useFilePrinter();
    const QString ours = dir.filePath(QStringLiteral("report.prn")), anchor = dir.filePath(QStringLiteral("base.pdf"));
    measurePair(
            state,
            {[&] {
                 lyrPrinters().Printer()->FileName = ours;
                 if (!r.pages().Print()) state.SkipWithError("printing failed");
             }},
            {[&] { drawPlainly(texts, anchor); }});
    fileCounters(state, ours, anchor, r.pages().Count());
}

// The whole run: the template prepared and printed, against QPdfWriter
// drawing the texts of the same pages (taken once, untimed).
void BM_PrepareAndPrint(benchmark::State &state)
{
    QTemporaryDir dir;
    static ListReport drawn;
    static const DrawnTexts texts(drawn.pages());
    useFilePrinter();
    ListReport r(false);
    const QString ours = dir.filePath(QStringLiteral("report.prn")), anchor = dir.filePath(QStringLiteral("base.pdf"));
    measurePair(
            state,
            {[&] {
                 if (!r.report->PrepareReport()) state.SkipWithError("preparing failed");
                 lyrPrinters().Printer()->FileName = ours;
                 if (!r.pages().Print()) state.SkipWithError("printing failed");
             }},
            {[&] { drawPlainly(texts, anchor); }});
    fileCounters(state, ours, anchor, r.pages().Count());
}

}  // namespace

BENCHMARK(BM_PrintPrepared)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PrepareAndPrint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
