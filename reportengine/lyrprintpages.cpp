// Printing of the prepared pages: the print dialog, the page logic of
// TlyrPrintJob on the current printer, and raw output for dot-matrix
// reports.

#include "platform/ui/modal.h"
#include "report/lyrclass.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "reportengine/lyrdmpprint.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprint.h"
#include "reportengine/lyrprintdialog.h"
#include "reportengine/lyrprogress.h"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

class PreparedSource : public TlyrPrintSource {
public:
    PreparedSource(TlyrPreviewPages &pages, TlyrReport &report) : pages_(pages), report_(report) {}
    int Count() override { return pages_.Count(); }
    bool PageInfo(int index, TlyrPrintPageInfo &info) override
    {
        TlyrReportPage *page = pages_.GetPage(index);
        if (!page) return false;
        info.PaperSize = page->PaperSize();
        info.PaperWidth = page->PaperWidth();
        info.PaperHeight = page->PaperHeight();
        info.Orientation = page->Orientation();
        info.Bin = page->Bin;
        info.BinOtherPages = page->BinOtherPages;
        info.Duplex = page->Duplex;
        return true;
    }
    void DrawPage(int index, TlyrCanvas &canvas, double sx, double sy, double ox, double oy) override
    {
        pages_.DrawPage(index, canvas, sx, sy, ox, oy);
    }
    void SetPrintScale(double scale) override { pages_.PrintScale = scale; }
    void PagePrinting(int index, int copyNo) override
    {
        // The copy's number reaches the text drawn next ("[COPYNAME#]").
        pages_.CopyNo = copyNo;
        if (report_.OnPrintPage)
            if (TlyrReportPage *page = pages_.GetPage(index)) report_.OnPrintPage(page, copyNo);
    }
    void Progress(int pageNo) override { report_.DoProgress(ptPrinting, pageNo); }
    void PagesDone() override { pages_.ClearPageCache(); }
    bool Terminated() override { return report_.Terminated(); }

private:
    TlyrPreviewPages &pages_;
    TlyrReport &report_;
};

bool isDotMatrix(TlyrReport &report, TlyrPreviewPages &pages)
{
    if (report.DotMatrixReport()) return true;
    for (const auto &p : pages.SourcePages)
        if (qobject_cast<TlyrDMPPage *>(p.get())) return true;
    return false;
}

// The raw stream of the chosen pages and copies; pages that cannot be
// rebuilt are left out and noted in damaged.
QByteArray dotMatrixJob(TlyrPreviewPages &pages, TlyrReport &report, const TlyrPrintJobOptions &o,
                        std::vector<int> &damaged)
{
    const std::vector<int> chosen = lyrChosenPages(o, pages.Count());
    const int copies = o.Copies < 1 ? 1 : o.Copies;
    QByteArray out = lyrDMPJobStart();
    auto page = [&](int i, int copyNo) {
        pages.CopyNo = copyNo;
        TlyrReportPage *p = pages.GetPage(i);
        if (!p) {
            if (std::find(damaged.begin(), damaged.end(), i) == damaged.end()) damaged.push_back(i);
            return;
        }
        if (report.OnPrintPage) report.OnPrintPage(p, copyNo);
        // The texts get this copy's number and the page count as drawn
        // pages do; the cached page gets its tags back for the next copy.
        std::vector<std::pair<TlyrCustomMemoView *, QString>> tagged;
        for (TlyrComponent *c : p->AllObjects()) {
            auto *memo = qobject_cast<TlyrCustomMemoView *>(c);
            if (!memo) continue;
            pages.PrepareText(*memo);
            const QString text = memo->GetText();
            memo->applyPrintTags();
            if (memo->GetText() != text) tagged.emplace_back(memo, text);
        }
        auto *dmp = qobject_cast<TlyrDMPPage *>(p);
        out += lyrDMPPageBytes(*p, dmp ? dmp->FontStyle() : 0);
        for (auto &[memo, text] : tagged) memo->SetText(text);
        report.DoProgress(ptPrinting, i + 1);
    };
    for (int c = 1; c <= (o.Collate ? copies : 1) && !report.Terminated(); ++c)
        for (int i : chosen) {
            if (report.Terminated()) break;
            for (int k = 0; k < (o.Collate ? 1 : copies); ++k) page(i, o.Collate ? c : k + 1);
            pages.ReleasePage(i);
        }
    return out;
}

// The report's progress window over TlyrProgress.
class ProgressWindow : public TlyrCustomProgress {
public:
    void Show() override { window_.Execute(0, QString(), true, false); }
    void SetMessage(const QString &text) override
    {
        window_.SetMessage(text);
        QCoreApplication::processEvents();
    }
    bool Terminated() const override { return window_.Terminated; }

private:
    // The modal window on top (a preview that prints) even when the
    // program is not the active one.
    TlyrProgress window_{QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                           : QApplication::activeWindow()};
};

// The title of the job and of a PDF written to a file: the report's name,
// never the path of its template.
QString documentTitle(const TlyrReport &report)
{
    if (!report.ReportOptions()->Name.isEmpty()) return report.ReportOptions()->Name;
    if (!report.Name().isEmpty()) return report.Name();
    return QFileInfo(report.FileName).completeBaseName();
}

bool hasWidgets()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

void selectPrinter(const QString &name)
{
    TlyrPrinters &printers = lyrPrinters();
    const int i = printers.IndexOf(name);
    if (i >= 0 && i != printers.PrinterIndex()) printers.SetPrinterIndex(i);
}

// The report's printer choice is there from the start: this unit comes
// with the prepared pages.
[[maybe_unused]] const bool selectInstalled = [] {
    lyrSelectPrinterHook() = selectPrinter;
    return true;
}();

}  // namespace

void lyrInstallPrinting()
{
    lyrSelectPrinterHook() = selectPrinter;
    TlyrEngineFactories &f = lyrEngineFactories();
    if (!f.Progress)
        f.Progress = [](TlyrReport *) -> TlyrCustomProgress * { return hasWidgets() ? new ProgressWindow : nullptr; };
    if (!f.AskPassword)
        f.AskPassword = [](TlyrReport *, QString &entered) {
            if (!hasWidgets()) return false;
            TlyrPasswordForm form(QApplication::activeWindow());
            if (ui::showModal(&form) != QDialog::Accepted) return false;
            entered = form.PasswordE->text();
            return true;
        };
}

bool TlyrPreviewPages::Print()
{
    if (!Report) return false;
    TlyrReport &report = *Report;
    TlyrPrinters &printers = lyrPrinters();
    if (!printers.HasPhysicalDevice) {
        lyrErrorMsg(lyrResources().Get(QStringLiteral("clNoPrinters")));
        return false;
    }
    PrintScale = 1;
    TlyrPrintOptions saved;
    saved.Assign(*report.PrintOptions());
    report.SelectPrinter();
    int duplexOverride = 0;
    if (report.PrintOptions()->ShowDialog) {
        TlyrPrintDialog dialog(&report, this, QApplication::activeWindow());
        if (ui::showModal(&dialog) != QDialog::Accepted) {
            CopyNo = 0;
            return false;
        }
        duplexOverride = dialog.DuplexOverride;
    }
    TlyrCustomPrinter *printer = printers.Printer();
    TlyrPrintJobOptions options = TlyrPrintJobOptions::From(*report.PrintOptions());
    options.DuplexOverride = duplexOverride;
    options.Title = documentTitle(report);

    if (report.OnPrintReport) report.OnPrintReport();
    TlyrCustomPreview *preview = report.Preview();
    if (preview) preview->Lock();
    ClearPageCache();
    bool ok = true;
    std::vector<int> damaged;
    // Every page chosen is damaged (known once all were tried).
    auto nothingLeft = [&] {
        const std::vector<int> chosen = lyrChosenPages(options, Count());
        return std::all_of(chosen.begin(), chosen.end(),
                           [&](int i) { return std::find(damaged.begin(), damaged.end(), i) != damaged.end(); });
    };
    try {
        report.SetTerminated(false);
        report.DoProgressStart(ptPrinting);
        // The progress window is closed whatever happens.
        struct Stop {
            TlyrReport &r;
            ~Stop() { r.DoProgressStop(ptPrinting); }
        } stop{report};
        if (isDotMatrix(report, *this)) {
            const QByteArray job = dotMatrixJob(*this, report, options, damaged);
            if (!report.Terminated() && !(!damaged.empty() && nothingLeft())) {
                printer->Title = options.Title;
                printer->SetPrintParams(printer->PaperSize, printer->PaperWidth, printer->PaperHeight,
                                        printer->Orientation, lyrBinAuto, 1, 1);
                printer->BeginRAWDoc();
                printer->WriteRAWDoc(job);
                printer->EndRAWDoc();
            }
        } else {
            PreparedSource source(*this, report);
            TlyrPrintJob job(source, *printer, options);
            job.Run();
            damaged = job.Damaged;
            PrintScale = job.PrintScale;
        }
    } catch (const std::exception &e) {
        // The prepared pages stay: the user can print again.
        ok = false;
        const QString text = lyrExceptionText(e);
        report.AddError(text);
        lyrErrorMsg(text);
    }
    if (ok && !damaged.empty() && !report.Terminated()) {
        // A print that left pages out is no success: the user learns which.
        ok = false;
        std::sort(damaged.begin(), damaged.end());
        QStringList numbers;
        for (int i : damaged) numbers << QString::number(i + 1);
        const QString text = nothingLeft() ? QStringLiteral("要打印的页全部已损坏，没有打印任何页")
                                           : QStringLiteral("已损坏未打印的页：") +
                                                     numbers.join(QStringLiteral(", "));
        report.AddError(text);
        lyrErrorMsg(text);
    }
    if (preview) preview->Unlock();
    ClearPageCache();
    if (report.OnAfterPrintReport) report.OnAfterPrintReport();
    CopyNo = 0;
    report.PrintOptions()->Assign(saved);
    // A file chosen in the dialog is for this job only.
    printer->FileName.clear();
    return ok;
}
