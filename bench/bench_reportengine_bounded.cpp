// What comes after preparing holds memory near what preparing took.
//
// BM_AfterPreparing/n/use: a list of 8 memos a row, 5 rows a page (n pages,
// 2,000 or 20,000), prepared with MaxMemSize 1 (pages leave memory past
// 4 MiB) in a child process, then printed to a PDF file (use 0), dumped
// (1) or shown in the preview window and paged through (2). ratio_min and
// ratio_median = the child's peak resident size during the use / its peak
// while preparing (goal: near 1 for either n); extra_kib_per_1000_pages is
// the peak's growth over preparing for every 1,000 pages (near 0 when a
// page leaves memory once used). One run a repetition: memory, not time.
//
// BM_FirstPageOfASavedFile: a saved file of 10,000 pages opened in the
// preview window until its first page is drawn, against a saved file of
// 1,000 pages the same way, by turns (measure.h), in processor time (goals:
// well under a second, ratio near 1). The file is read as far as its first
// pages (the page count and sizes come from its index), the rest when it
// is needed; bytes_read and pages_read are what the 10,000-page side read
// until its first page showed. BM_FirstPageOfALoadedFile times what comes
// after the read, the file read untimed: the window laid out and the first
// page built and drawn (goal: ratio near 1, no page but those shown built).

#include "gui_main.h"
#include "measure.h"
#include "peak_memory.h"

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// The list: n pages of 5 rows of 8 memos.
std::unique_ptr<TlyrReport> listReport(int pages)
{
    auto report = std::make_unique<TlyrReport>();
    report->EngineOptions()->SetNewSilentMode(simSilent);
    report->EngineOptions()->setProperty("MaxMemSize", 1);
    report->PrintOptions()->ShowDialog = false;
    auto *page = new TlyrReportPage(report.get());
    page->SetNameUnchecked(QStringLiteral("Page1"));
    page->SetParent(report.get());
    auto *band = new TlyrMasterData(report.get());
    band->SetNameUnchecked(QStringLiteral("Rows"));
    band->SetParent(page);
    band->SetHeight(200);
    band->SetRowCount(pages * 5);
    for (int c = 0; c < 8; ++c) {
        auto *m = new TlyrMemoView(report.get());
        m->SetNameUnchecked(QStringLiteral("M%1").arg(c));
        m->SetParent(band);
        m->SetBounds(c * 90, 0, 90, 20);
        m->SetText(QStringLiteral("第 [Line] 行 %1 列").arg(c));
    }
    return report;
}

TlyrPreviewPages &pagesOf(TlyrReport &report)
{
    return *static_cast<TlyrPreviewPages *>(report.PreviewPages());
}

// Pages the window through: every page in view drawn, as scrolling does.
void pageThrough(TlyrPreviewForm &form, int steps)
{
    QImage image(form.Preview->Workspace->viewport()->size(), QImage::Format_RGB32);
    const int count = form.Preview->PageCount();
    for (int k = 0; k <= steps; ++k) {
        form.Preview->SetPageNo(steps ? 1 + int(qint64(count - 1) * k / steps) : 1);
        QPainter painter(&image);
        form.Preview->Workspace->PaintTo(painter, image.size());
    }
}

std::unique_ptr<TlyrPreviewForm> showForm(TlyrReport &report)
{
    auto form = std::make_unique<TlyrPreviewForm>();
    report.PreviewOptions()->Maximized = false;
    form->resize(1000, 700);
    report.SetPreview(form->Preview);
    form->Init(&report);
    form->show();
    QApplication::processEvents();
    return form;
}

struct Peaks {
    qint64 PreparedKb = 0, UsedKb = 0;
    int Status = -1;
};

// Prepares the list of n pages in a child and uses it; the child's peaks.
Peaks inChild(int n, int use, const QString &dir)
{
    int fd[2];
    if (pipe(fd) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        Peaks p;
        std::unique_ptr<TlyrReport> report = listReport(n);
        malloc_trim(0);
        resetPeak();
        p.Status = report->PrepareReport() && pagesOf(*report).Count() == n ? 0 : 1;
        p.PreparedKb = statusKb("VmHWM");
        resetPeak();
        TlyrPreviewPages &pages = pagesOf(*report);
        if (use == 0) {
            std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
            list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("VelmoraPDF"), QString()));
            lyrPrinters().SetPrinters(std::move(list), QStringLiteral("VelmoraPDF"));
            lyrPrinters().Printer()->FileName = dir + QStringLiteral("/out.pdf");
            if (!pages.Print()) p.Status = 2;
        } else if (use == 1) {
            qint64 lines = 0;
            lyrDumpPreparedPages(pages, [&lines](const QString &page) { lines += page.count(u'\n'); });
            if (lines < n) p.Status = 3;
        } else {
            auto form = showForm(*report);
            pageThrough(*form, 200);
            report->SetPreview(nullptr);
        }
        p.UsedKb = statusKb("VmHWM");
        const ssize_t written = write(fd[1], &p, sizeof p);
        _exit(written == sizeof p ? 0 : 99);
    }
    close(fd[1]);
    Peaks p;
    const ssize_t got = read(fd[0], &p, sizeof p);
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof p) p.Status = -1;
    return p;
}

void BM_AfterPreparing(benchmark::State &state)
{
    const int n = int(state.range(0)), use = int(state.range(1));
    QTemporaryDir dir;
    std::vector<double> used, prepared;
    for (auto _ : state) {
        const Peaks p = inChild(n, use, dir.path());
        if (p.Status != 0) {
            state.SkipWithError("the child failed");
            break;
        }
        used.push_back(double(p.UsedKb));
        prepared.push_back(double(p.PreparedKb));
        state.SetIterationTime(1);
        state.counters["prepared_peak_mib"] = double(p.PreparedKb) / 1024;
        state.counters["used_peak_mib"] = double(p.UsedKb) / 1024;
        state.counters["extra_kib_per_1000_pages"] = double(p.UsedKb - p.PreparedKb) / n * 1000;
    }
    state.SetLabel(use == 0 ? "print to PDF" : use == 1 ? "dump" : "preview");
    RatioCounters(state, used, prepared);
}

// A saved file of n pages of the list.
QString savedFile(const QString &dir, int n)
{
    const QString name = dir + QStringLiteral("/list%1.lp3").arg(n);
    std::unique_ptr<TlyrReport> report = listReport(n);
    if (!report->PrepareReport()) return {};
    pagesOf(*report).SaveToFile(name);
    return name;
}

// Opens file (untimed when loadFirst) and shows it until its first page is
// drawn; the window and the pages go untimed afterwards.
BenchSide opening(TlyrReport &report, std::unique_ptr<TlyrPreviewForm> &form, const QString &file, bool loadFirst)
{
    return {[&report, &form, file, loadFirst] {
                if (!loadFirst) pagesOf(report).LoadFromFile(file);
                form = showForm(report);
                if (form->Preview->Workspace->PagesPainted == 0) pageThrough(*form, 0);
            },
            [&report, file, loadFirst] {
                if (loadFirst) pagesOf(report).LoadFromFile(file);
            },
            [&report, &form] {
                report.SetPreview(nullptr);
                form.reset();
                pagesOf(report).Clear();
            }};
}

void firstPage(benchmark::State &state, bool loadFirst)
{
    QTemporaryDir dir;
    const QString big = savedFile(dir.path(), 10000), small = savedFile(dir.path(), 1000);
    if (big.isEmpty() || small.isEmpty()) {
        state.SkipWithError("preparing failed");
        return;
    }
    std::unique_ptr<TlyrReport> report = listReport(1);
    std::unique_ptr<TlyrPreviewForm> form;
    int built = 0, read = 0;
    qint64 bytes = 0;
    BenchSide ours = opening(*report, form, big, loadFirst);
    const auto show = ours.Measured;
    ours.Measured = [&built, &read, &bytes, &report, show] {
        const qint64 before = TlyrXMLReader::BytesRead;
        show();
        bytes = TlyrXMLReader::BytesRead - before;
        built = pagesOf(*report).PageCacheCount();
        read = pagesOf(*report).PagesRead();
    };
    measurePair(state, ours, opening(*report, form, small, loadFirst));
    state.counters["pages_built"] = built;
    state.counters["pages_read"] = read;
    state.counters["bytes_read"] = double(bytes);
}

void BM_FirstPageOfASavedFile(benchmark::State &state)
{
    firstPage(state, false);
}

void BM_FirstPageOfALoadedFile(benchmark::State &state)
{
    firstPage(state, true);
}

}  // namespace

BENCHMARK(BM_AfterPreparing)
        ->ArgsProduct({{2000, 20000}, {0, 1, 2}})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
BENCHMARK(BM_FirstPageOfASavedFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_FirstPageOfALoadedFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    lyrRegisterReportClasses();
    lyrInstallEngine();
    return runWindowBenchmarks(argc, argv);
}
