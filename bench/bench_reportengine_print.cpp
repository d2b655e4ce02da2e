// Printing a list report of about 100 pages to a file through the printer of
// a queue (print to file: the PDF the queue would get), against drawing the
// same strings with QPainter straight into a PDF in the same run.
// ratio_vs_baseline = our time / baseline time; ms_per_page is ours.

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
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

namespace {

constexpr int kRows = 5600;  // 56 rows a page: 100 pages

QString rowText(int row)
{
    return QStringLiteral("%1  商品 规格  ¥977.50").arg(row);
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
        auto *m = new TlyrMemoView(report.get());
        m->SetName(QStringLiteral("Memo1"));
        m->SetParent(band);
        m->SetBounds(0, 0, 600, 20);
        m->SetText(QStringLiteral("[Line#]  商品 规格  ¥977.50"));
        if (!report->PrepareReport()) qFatal("%s", qPrintable(report->Errors().join(u'\n')));
    }
    ~ListReport() { report->setParent(nullptr); }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(report->PreviewPages()); }
};

ListReport &listReport()
{
    static ListReport r;
    return r;
}

void BM_PdfByQPainter(benchmark::State &state)
{
    QTemporaryDir dir;
    const int pages = listReport().pages().Count();
    measure(
            state, "print", true, [] {},
            [&] {
                QPdfWriter pdf(dir.filePath(QStringLiteral("base.pdf")));
                pdf.setResolution(600);
                pdf.setPageSize(QPageSize(QPageSize::A4));
                QPainter p(&pdf);
                QFont f(QStringLiteral("Arial"));
                f.setPointSizeF(10);
                p.setFont(f);
                const int perPage = (kRows + pages - 1) / pages;
                for (int row = 0; row < kRows; ++row) {
                    if (row > 0 && row % perPage == 0) pdf.newPage();
                    const int y = 236 + (row % perPage) * 125;
                    p.drawText(236, y, rowText(row + 1));
                }
            });
    state.counters["pages"] = pages;
}

// The prepared report printed to a file through the queue's printer, as the
// print button does (every page drawn through the printer canvas into the
// PDF), against BM_PdfByQPainter writing the same strings into a PDF.
void BM_PrintToFile(benchmark::State &state)
{
    QTemporaryDir dir;
    ListReport &r = listReport();
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("VelmoraPDF"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QStringLiteral("VelmoraPDF"));
    const int pages = r.pages().Count();
    measure(
            state, "print", false,
            [&] { lyrPrinters().Printer()->FileName = dir.filePath(QStringLiteral("report.prn")); },
            [&] {
                if (!r.pages().Print()) state.SkipWithError("printing failed");
            });
    QFile out(dir.filePath(QStringLiteral("report.prn")));
    if (!out.open(QIODevice::ReadOnly) || !out.read(4).startsWith("%PDF")) state.SkipWithError("no PDF written");
    state.counters["pages"] = pages;
    state.counters["ms_per_page"] = state.counters["ms_per_op"] / (pages > 0 ? pages : 1);
}

}  // namespace

BENCHMARK(BM_PdfByQPainter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PrintToFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
