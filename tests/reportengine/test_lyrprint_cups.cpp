#include "cups_report_test.h"
#include "print_test_util.h"

#include "platform/print/cupsqueues.h"
#include "platform/ui/modal.h"
#include "report/lyrres.h"
#include "report/lyrvariables.h"
#include "reportengine/lyrdmpprint.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrprintdialog.h"

#include <QApplication>
#include <QToolButton>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Output of a poppler tool run on a PDF.
QString popplerOutput(const QString &tool, const QByteArray &pdf, const QStringList &extra = {})
{
    QTemporaryFile f(QDir::tempPath() + QStringLiteral("/velmora-XXXXXX.pdf"));
    if (!f.open()) return {};
    f.write(pdf);
    f.flush();
    QProcess p;
    p.start(tool, QStringList(extra) << f.fileName()
                                     << (tool == QLatin1String("pdftotext") ? QStringList{"-"} : QStringList{}));
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Page count and first page size (whole millimetres) of a PDF.
struct PdfPages {
    int Count = 0;
    int Width = 0, Height = 0;
    bool operator==(const PdfPages &) const = default;
};

PdfPages pdfPages(const QByteArray &pdf)
{
    const QString info = popplerOutput(QStringLiteral("pdfinfo"), pdf);
    PdfPages out;
    out.Count = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    out.Width = qRound(size.captured(1).toDouble() * 25.4 / 72);
    out.Height = qRound(size.captured(2).toDouble() * 25.4 / 72);
    return out;
}

void PrintTo(const PdfPages &p, std::ostream *os)
{
    *os << p.Count << " pages " << p.Width << "x" << p.Height << " mm";
}

}  // namespace

TEST(CupsQueues, WithoutAServerThereAreNoPrinters)
{
    const QByteArray previous = qgetenv("CUPS_SERVER");
    QTemporaryDir dir;
    const QByteArray nowhere = (dir.path() + QStringLiteral("/none.sock")).toLocal8Bit();
    qputenv("CUPS_SERVER", nowhere);
    cupsSetServer(nowhere.constData());
    EXPECT_TRUE(print::cupsQueues().empty());
    EXPECT_TRUE(print::cupsDefaultQueue().isEmpty());
    EXPECT_THROW(print::cupsPrintRaw(QStringLiteral("X"), QStringLiteral("t"), "x"), print::PrintError);
    lyrRefreshPrinters();
    EXPECT_FALSE(lyrPrinters().HasPhysicalDevice);
    EXPECT_EQ(lyrPrinters().PrinterNames(), QStringList(lyrResources().Get(QStringLiteral("prVirtual"))));
    if (previous.isEmpty())
        qunsetenv("CUPS_SERVER");
    else
        qputenv("CUPS_SERVER", previous);
    cupsSetServer(nullptr);
}

TEST_F(PrintReportTest, PrintToFileWritesWhatAPdfQueueWouldGet)
{
    build(3, 148, 210);
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    QTemporaryDir dir;
    report->FileName = dir.filePath(QStringLiteral("templates/labels.lyr"));
    auto printed = [&](const QString &name) {
        const QString file = dir.filePath(name);
        lyrPrinters().Printer()->FileName = file;
        EXPECT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    // The PDF's title is the report's name, never the template's path.
    auto titleOf = [&](const QByteArray &pdf) {
        return QRegularExpression(QStringLiteral("Title:\\s+(.*)\n"))
                .match(popplerOutput(QStringLiteral("pdfinfo"), pdf))
                .captured(1)
                .trimmed();
    };
    report->SetName(QStringLiteral("lyrR_TM"));
    const QByteArray pdf = printed(QStringLiteral("report.prn"));
    EXPECT_EQ(pdfPages(pdf), (PdfPages{3, 148, 210}));
    EXPECT_TRUE(popplerOutput(QStringLiteral("pdftotext"), pdf).contains(QLatin1String("Page 2")));
    EXPECT_EQ(titleOf(pdf), QStringLiteral("lyrR_TM"));
    report->ReportOptions()->Name = QStringLiteral("商品条码");
    EXPECT_EQ(titleOf(printed(QStringLiteral("b.prn"))), QStringLiteral("商品条码"));
    lyrPrinters().SetPrinters({}, QString());
}

TEST_F(PrintReportTest, DotMatrixPrintToFileWritesThePrintersBytes)
{
    TlyrMasterData *band = pageWithBand<TlyrDMPPage>(17, 2, true);
    textView<TlyrDMPMemoView>(band, QStringLiteral("Text"), {9.6, 0, 48, 17}, QStringLiteral("品[Line#]"));
    textView<TlyrDMPMemoView>(band, QStringLiteral("Copy"), {76.8, 0, 96, 17},
                              QStringLiteral("[COPYNAME#]/[TOTALPAGES#]"));
    const int copyName = lyrGlobalVariables().Count();
    lyrGlobalVariables().SetVariable(QStringLiteral("CopyName"), QStringLiteral("Copy"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 2);
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("slip.prn"));
    lyrPrinters().Printer()->FileName = file;
    ASSERT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    // Reset, then each page's line (GBK text) ended by a form feed.
    EXPECT_TRUE(bytes.startsWith("\x1b@")) << bytes.toHex(' ').toStdString();
    EXPECT_EQ(bytes.count('\f'), 2);
    EXPECT_TRUE(bytes.contains("\xc6\xb7"
                               "1"));
    EXPECT_TRUE(bytes.contains("\xc6\xb7"
                               "2"));
    EXPECT_FALSE(bytes.startsWith("%PDF"));

    // Two copies: each page's text carries its copy's number and the page
    // count, collated or not (a page printed twice in a row included).
    auto copies = [&](bool collate) {
        report->PrintOptions()->Copies = 2;
        report->PrintOptions()->Collate = collate;
        lyrPrinters().Printer()->FileName = file;
        EXPECT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::ReadOnly));
        QStringList sheets;
        for (const QByteArray &sheet : out.readAll().split('\f'))
            if (sheet.contains("Copy")) sheets << QString::fromLatin1(sheet.mid(sheet.indexOf("Copy"), 7));
        return sheets.join(u' ').toStdString();
    };
    EXPECT_EQ(copies(true), "Copy1/2 Copy1/2 Copy2/2 Copy2/2");
    EXPECT_EQ(copies(false), "Copy1/2 Copy2/2 Copy1/2 Copy2/2");
    lyrGlobalVariables().Delete(copyName);
    lyrPrinters().SetPrinters({}, QString());
}

TEST_F(CupsTest, QueuesAndTheDefaultComeFromTheServer)
{
    EXPECT_TRUE(lyrPrinters().HasPhysicalDevice);
    EXPECT_EQ(lyrPrinters().PrinterNames(), QStringList({"VelmoraDuplex", "VelmoraLabel", "VelmoraPDF", "VelmoraRaw"}));
    EXPECT_EQ(lyrPrinters().Printer()->Name, QStringLiteral("VelmoraPDF"));
    EXPECT_EQ(lyrPrinters().Printer()->Port, QStringLiteral("Velmora test PDF queue"));
    // A queue without a driver reports no resolution: 600 dpi. The label
    // printer's driver has its own, and its pages are drawn at it.
    EXPECT_EQ(lyrPrinters().Printer()->DpiX, 600);
    lyrPrinters().SetPrinterIndex(lyrPrinters().IndexOf(QStringLiteral("VelmoraLabel")));
    TlyrCustomPrinter *label = lyrPrinters().Printer();
    ASSERT_EQ(label->Name, QStringLiteral("VelmoraLabel"));
    EXPECT_EQ(label->DpiX, 203);
    EXPECT_EQ(label->DpiY, 203);
    build(1);
    report->PrintOptions()->Printer = label->Name;
    ASSERT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(label->DpiX, 203);
    ASSERT_EQ(cups->jobs(QStringLiteral("label"), 1).size(), 1);
}

TEST_F(CupsTest, RawJobArrivesByteForByte)
{
    QByteArray data;
    for (int i = 0; i < 256; ++i) data += static_cast<char>(i);
    data += "\x1b@\xc6\xb7\xc3\xfb\r\n\f";
    const int job = print::cupsPrintRaw(QStringLiteral("VelmoraRaw"), QStringLiteral("raw test"), data);
    EXPECT_GT(job, 0);
    const QList<QByteArray> got = cups->jobs(QStringLiteral("raw"), 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first(), data);
}

TEST_F(CupsTest, ReportPrintsOnThePdfQueue)
{
    build(3, 148, 210);  // A5
    ASSERT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
    const QList<QByteArray> got = cups->jobs(QStringLiteral("pdf"), 1);
    ASSERT_EQ(got.size(), 1);
    ASSERT_TRUE(got.first().startsWith("%PDF"));
    EXPECT_EQ(pdfPages(got.first()), (PdfPages{3, 148, 210}));
    const QString text = popplerOutput(QStringLiteral("pdftotext"), got.first());
    for (const char *t : {"Page 1", "Page 2", "Page 3"}) EXPECT_TRUE(text.contains(QLatin1String(t))) << t;
}

TEST_F(CupsTest, AQueueThatIsGoneFailsTheJobAndThePagesStay)
{
    build(2);
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("Removed"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    EXPECT_FALSE(pages().Print());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(report->Errors().isEmpty());
    EXPECT_TRUE(cups->jobs(QStringLiteral("pdf"), 0, 0).isEmpty());
    EXPECT_EQ(pages().Count(), 2);
}

// A queue that refuses jobs, and a print service that stops while a long
// report prints: the print fails with the printer's message and an error
// line, nothing is left half-sent, and the pages stay for another try.
TEST_F(CupsTest, ARefusedOrCutOffJobFailsThePrintAndThePagesStay)
{
    build(400);
    const QString reject = QStandardPaths::findExecutable(QStringLiteral("cupsreject"), {"/usr/sbin", "/usr/bin"});
    ASSERT_FALSE(reject.isEmpty());
    ASSERT_TRUE(cups->admin(reject, {QStringLiteral("VelmoraPDF")}));
    EXPECT_FALSE(pages().Print());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("打印机“VelmoraPDF”不接受打印任务"))) << messages[0].toStdString();
    EXPECT_EQ(report->Errors().size(), 1);
    EXPECT_EQ(pages().Count(), 400);

    const QString accept = QStandardPaths::findExecutable(QStringLiteral("cupsaccept"), {"/usr/sbin", "/usr/bin"});
    ASSERT_TRUE(cups->admin(accept, {QStringLiteral("VelmoraPDF")}));
    report->OnPrintPage = [this](TlyrReportPage *, int) {
        if (++printedPages == 200) cups->stop();
    };
    EXPECT_FALSE(pages().Print());
    EXPECT_EQ(printedPages, 400);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].startsWith(QStringLiteral("打印服务没有响应"))) << messages[1].toStdString();
    EXPECT_EQ(report->Errors().size(), 2);
    EXPECT_EQ(pages().Count(), 400);
    EXPECT_TRUE(cups->jobs(QStringLiteral("pdf"), 0, 0).isEmpty());
}

TEST_F(CupsTest, ChangedPaperStartsAnotherJob)
{
    QStringList log;
    LogSource source(log);
    source.add(2, 210, 297);
    source.add(1, 148, 210);
    source.add(1, 297, 210);
    TlyrPrintJob job(source, *lyrPrinters().Printer(), TlyrPrintJobOptions());
    job.Run();
    // The queue takes one size and orientation per job: the A5 page and the
    // turned A4 page are jobs of their own.
    const QList<QByteArray> got = cups->jobs(QStringLiteral("pdf"), 3);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(pdfPages(got.at(0)), (PdfPages{2, 210, 297}));
    EXPECT_EQ(pdfPages(got.at(1)), (PdfPages{1, 148, 210}));
    EXPECT_EQ(pdfPages(got.at(2)), (PdfPages{1, 297, 210}));
}

TEST_F(CupsTest, CopiesAndDuplexReachTheQueue)
{
    QStringList log;
    LogSource source(log);
    source.add(2, 210, 297);
    TlyrPrintJobOptions options;
    options.Copies = 3;
    options.Collate = false;
    options.DuplexOverride = 1;  // two-sided, turned on the long edge
    // Qt sends a two-sided request only to a queue whose driver offers it.
    lyrPrinters().SetPrinterIndex(lyrPrinters().IndexOf(QStringLiteral("VelmoraDuplex")));
    ASSERT_EQ(lyrPrinters().Printer()->Name, QStringLiteral("VelmoraDuplex"));
    TlyrPrintJob job(source, *lyrPrinters().Printer(), options);
    job.Run();
    const QList<QByteArray> got = cups->jobs(QStringLiteral("duplex"), 1);
    ASSERT_EQ(got.size(), 1);
    // Without collation the printer makes the copies: the job holds each
    // page once and asks for three.
    EXPECT_EQ(pdfPages(got.first()).Count, 2);
    QDir out(cups->path() + QStringLiteral("/out/duplex"));
    const QStringList opts = out.entryList({QStringLiteral("job-*.opts")}, QDir::Files);
    ASSERT_EQ(opts.size(), 1);
    QFile f(out.filePath(opts.first()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.startsWith(QLatin1String("copies=3\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QLatin1String("sides=two-sided-long-edge"))) << text.toStdString();
}

TEST_F(CupsTest, DotMatrixReportGoesRawToTheQueue)
{
    TlyrMasterData *band = pageWithBand<TlyrDMPPage>(34, 1, false);
    auto *name = new TlyrDMPMemoView(report.get());
    name->SetName(QStringLiteral("Name"));
    name->SetParent(band);
    name->SetParentFont(false);
    name->SetFontStyle(fsxBold);
    name->SetBounds(19.2, 0, 96, 17);
    name->SetText(QStringLiteral("品名ABC"));
    auto *amount = new TlyrDMPMemoView(report.get());
    amount->SetName(QStringLiteral("Amount"));
    amount->SetParent(band);
    amount->SetBounds(192, 0, 48, 17);
    amount->SetHAlign(haRight);
    amount->SetText(QStringLiteral("12"));
    auto *cmd = new TlyrDMPCommand(report.get());
    cmd->SetName(QStringLiteral("Nlq"));
    cmd->SetParent(band);
    cmd->SetBounds(0, 0, 9.6, 17);
    cmd->SetCommand(QStringLiteral("\x1bx\x01"));
    auto *line = new TlyrDMPLineView(report.get());
    line->SetName(QStringLiteral("Rule"));
    line->SetParent(band);
    line->SetBounds(0, 17, 96, 0);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 1);

    report->PrintOptions()->Printer = QStringLiteral("VelmoraRaw");
    report->PrintOptions()->Copies = 2;
    ASSERT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();

    // One cell of margin each way; the band's first line is line 1. Line 1:
    // the command before column 1, the bold name from column 3 (a Chinese
    // character takes two columns), the amount right-aligned in columns
    // 21-25; line 2: the rule through the ten cells from column 1.
    QByteArray page1;
    page1 += "\r\n";
    page1 += " \x1bx\x01  \x1b"
             "E\xc6\xb7\xc3\xfb"
             "ABC\x1b"
             "F";
    page1 += QByteArray(14, ' ') + "12\r\n";
    page1 += " ----------\r\n";
    page1 += "\f";
    const QByteArray expected = QByteArray("\x1b@") + page1 + page1;
    const QList<QByteArray> got = cups->jobs(QStringLiteral("raw"), 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first().toHex(' '), expected.toHex(' '));
    EXPECT_TRUE(cups->jobs(QStringLiteral("pdf"), 0, 0).isEmpty());
}

TEST_F(CupsTest, PreviewPrintButtonPrintsWhatThePrintDialogChose)
{
    build(3, 148, 210);
    report->PrintOptions()->ShowDialog = true;
    report->PreviewOptions()->Maximized = false;
    TlyrPreviewForm form;
    report->SetPreview(form.Preview);
    form.Init(report.get());
    form.show();
    QApplication::processEvents();
    ASSERT_TRUE(form.PrintB->isVisible());
    ASSERT_TRUE(form.PrintB->isEnabled());

    // Cancel prints nothing.
    ui::ScriptedModals modals([](QDialog *d) {
        auto *dialog = qobject_cast<TlyrPrintDialog *>(d);
        if (!dialog) return int(QDialog::Rejected);
        dialog->CancelB->click();
        return dialog->result();
    });
    form.PrintB->click();
    ASSERT_EQ(modals.shown(), QStringList(QStringLiteral("TlyrPrintDialog")));
    EXPECT_TRUE(cups->jobs(QStringLiteral("pdf"), 0, 0).isEmpty());

    // Pages 2 and 3 in reverse order on the PDF queue.
    QString printerShown;
    modals.setHandler([&printerShown](QDialog *d) {
        auto *dialog = qobject_cast<TlyrPrintDialog *>(d);
        if (!dialog) return int(QDialog::Rejected);
        printerShown = dialog->PrintersCB->currentText();
        dialog->PageNumbersRB->click();
        dialog->PageNumbersE->setText(QStringLiteral("2-"));
        dialog->OrderCB->setCurrentIndex(1);
        dialog->OkB->click();
        return dialog->result();
    });
    form.PrintB->click();
    ASSERT_EQ(modals.shown().size(), 2);
    EXPECT_EQ(printerShown, QStringLiteral("VelmoraPDF"));
    const QList<QByteArray> got = cups->jobs(QStringLiteral("pdf"), 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(pdfPages(got.first()), (PdfPages{2, 148, 210}));
    const QString text = popplerOutput(QStringLiteral("pdftotext"), got.first());
    EXPECT_FALSE(text.contains(QLatin1String("Page 1")));
    ASSERT_TRUE(text.contains(QLatin1String("Page 2")));
    EXPECT_LT(text.indexOf(QLatin1String("Page 3")), text.indexOf(QLatin1String("Page 2")));
    // The choices were for that job only; the pages stay for another.
    EXPECT_TRUE(report->PrintOptions()->PageNumbers.isEmpty());
    EXPECT_FALSE(report->PrintOptions()->Reverse);
    EXPECT_EQ(pages().Count(), 3);
    EXPECT_TRUE(messages.isEmpty());
}
