#include "print_report_util.h"
#include "print_test_util.h"

#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "report/lyrres.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrprintdialog.h"
#include "reportengine/lyrprogress.h"

#include "keys.h"

#include <QApplication>
#include <QClipboard>
#include <QToolButton>
#include <QTemporaryDir>

namespace {

// Installs fake printers as the printer list; the system's list comes back
// at the end.
class FakePrinters {
public:
    explicit FakePrinters(QStringList &log, const QStringList &names = {QStringLiteral("Fake")},
                          const QString &def = QStringLiteral("Fake"))
    {
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        for (const QString &n : names) list.push_back(std::make_unique<LogPrinter>(log, n));
        lyrPrinters().SetPrinters(std::move(list), def);
    }
    ~FakePrinters() { lyrPrinters().SetPrinters({}, QString()); }
    LogPrinter &current() { return *static_cast<LogPrinter *>(lyrPrinters().Printer()); }
};

}  // namespace

TEST(Printers, DefaultPrinterNotInTheListSelectsTheFirst)
{
    QStringList log;
    FakePrinters fakes(log, {QStringLiteral("A"), QStringLiteral("B")}, QStringLiteral("Gone"));
    EXPECT_TRUE(lyrPrinters().HasPhysicalDevice);
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 0);
    EXPECT_TRUE(lyrPrinters().Printer()->Initialized);
    lyrPrinters().SetPrinters({}, QString());
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<LogPrinter>(log, QStringLiteral("A")));
    list.push_back(std::make_unique<LogPrinter>(log, QStringLiteral("B")));
    lyrPrinters().SetPrinters(std::move(list), QStringLiteral("b"));
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 1);
    EXPECT_EQ(lyrPrinters().IndexOf(QStringLiteral("a")), 0);
    EXPECT_EQ(lyrPrinters().IndexOf(QStringLiteral("C")), -1);
}

TEST(Printers, WithoutPrintersTheVirtualPrinterIsCurrent)
{
    lyrPrinters().SetPrinters({}, QString());
    ASSERT_EQ(lyrPrinters().Count(), 1);
    EXPECT_FALSE(lyrPrinters().HasPhysicalDevice);
    TlyrCustomPrinter &p = *lyrPrinters().Printer();
    EXPECT_EQ(p.Name, lyrResources().Get(QStringLiteral("prVirtual")));
    EXPECT_EQ(p.DpiX, 600);
    EXPECT_EQ(p.Papers.size(), 67u);  // "Custom" and the 66 papers
    p.SetViewParams(9, 0, 0, poLandscape);
    EXPECT_EQ(p.PaperWidth, 297);
    EXPECT_EQ(p.PaperHeight, 210);
    EXPECT_EQ(p.PaperNameToCode(QStringLiteral("no such paper")), lyrCustomPaper);
    EXPECT_EQ(p.PaperIndex(68), 66);
}

TEST(Printers, PaperTableHoldsTheStandardCodes)
{
    EXPECT_EQ(lyrPaperTable().size(), 66u);
    const struct {
        int code;
        double w, h;
    } rows[] = {{1, 215.9, 279.4}, {5, 215.9, 355.6},   {8, 297, 420},  {9, 210, 297},  {11, 148, 210},
                {13, 182, 257},    {26, 863.6, 1117.6}, {35, 176, 125}, {66, 420, 594}, {68, 322, 445}};
    for (const auto &r : rows) {
        double w = 0, h = 0;
        ASSERT_TRUE(lyrGetPaperDimensions(r.code, w, h)) << r.code;
        EXPECT_DOUBLE_EQ(w, r.w) << r.code;
        EXPECT_DOUBLE_EQ(h, r.h) << r.code;
    }
    double w = 0, h = 0;
    EXPECT_FALSE(lyrGetPaperDimensions(48, w, h));
    EXPECT_FALSE(lyrGetPaperDimensions(256, w, h));
    // Qt is given millimetres, whatever its own id of the code would be.
    EXPECT_EQ(lyrPageSizeMM(176, 125).size(QPageSize::Millimeter), QSizeF(125, 176));
}

TEST_F(PrintReportTest, WithoutPrintersPrintingSaysSo)
{
    build(2);
    lyrPrinters().SetPrinters({}, QString());
    EXPECT_FALSE(pages().Print());
    EXPECT_EQ(messages, QStringList(QStringLiteral("系统中没有安装打印机，不能打印。请先安装打印机。")));
}

// The preview's print button, pressed as a clerk does without a printer:
// the message is in the clerk's language.
TEST_F(PrintReportTest, ThePreviewsPrintButtonWithoutAPrinterSaysSoInChinese)
{
    build(2);
    lyrPrinters().SetPrinters({}, QString());
    report->PrintOptions()->ShowDialog = true;
    TlyrPreviewForm form;
    report->SetPreview(form.Preview);
    form.Init(report.get());
    form.show();
    QApplication::processEvents();
    ASSERT_TRUE(form.PrintB->isEnabled());
    form.PrintB->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), "系统中没有安装打印机，不能打印。请先安装打印机。");
}

TEST_F(PrintReportTest, APrinterFailingMidJobIsReportedAndThePagesStay)
{
    build(3);
    QStringList log;
    FakePrinters fakes(log);
    fakes.current().FailAtPage = 2;
    bool after = false;
    report->OnAfterPrintReport = [&] { after = true; };
    EXPECT_FALSE(pages().Print());
    EXPECT_TRUE(after);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(QLatin1String("printer gone")));
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QLatin1String("printer gone")));
    EXPECT_TRUE(log.contains(QStringLiteral("abort")));
    EXPECT_EQ(pages().Count(), 3);
    EXPECT_EQ(pages().CopyNo, 0);
    // The same pages print once the printer is back.
    fakes.current().FailAtPage = 0;
    fakes.current().Pages = 0;
    log.clear();
    EXPECT_TRUE(pages().Print());
    EXPECT_EQ(countOf(log, "page"), 3);
}

TEST_F(PrintReportTest, PrintEventsSeeEachPageAndCopy)
{
    build(2);
    QStringList log;
    FakePrinters fakes(log);
    report->PrintOptions()->Copies = 2;
    QStringList seen;
    report->OnPrintPage = [&](TlyrReportPage *, int copy) { seen << QString::number(copy); };
    EXPECT_TRUE(pages().Print());
    EXPECT_EQ(seen, QStringList({"1", "1", "2", "2"}));
    // The options of the job are the report's again afterwards.
    EXPECT_EQ(report->PrintOptions()->Copies, 2);
}

TEST_F(PrintReportTest, ScaledPagesScaleTheirText)
{
    build(1, 148, 210);  // A5
    QStringList log;
    FakePrinters fakes(log);
    auto &canvas = static_cast<TlyrRecordingCanvas &>(*fakes.current().Canvas());
    auto heightOf = [&] {
        for (const TlyrRecordedText &t : canvas.Texts)
            if (t.Text.contains(QLatin1String("Page"))) return -t.Font.Height;
        return 0;
    };
    ASSERT_TRUE(pages().Print());
    const int plain = heightOf();
    ASSERT_GT(plain, 0);
    canvas.Clear();
    report->PrintOptions()->PrintMode = TlyrPrintOptions::pmScale;
    report->PrintOptions()->PrintOnSheet = 9;  // A4: 1.4143 times A5's height
    ASSERT_TRUE(pages().Print());
    EXPECT_NEAR(double(heightOf()) / plain, 297.0 / 210, 0.03);
}

TEST_F(PrintReportTest, DialogRefusesARangeThatDoesNotRead)
{
    build(4);
    QStringList log;
    FakePrinters fakes(log);
    report->PrintOptions()->ShowDialog = true;
    ui::ScriptedMessages msgs;
    int tries = 0;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *dlg = qobject_cast<TlyrPrintDialog *>(d);
        if (!dlg) return int(QDialog::Rejected);
        for (const char *bad : {"1,3,", "a-b"}) {
            dlg->PageNumbersRB->setChecked(true);
            dlg->PageNumbersE->setText(QString::fromLatin1(bad));
            dlg->OkBClick();
            ++tries;
            if (dlg->result() == QDialog::Accepted) return dlg->result();
        }
        dlg->PageNumbersE->setText(QStringLiteral("2-3"));
        dlg->OkBClick();
        return dlg->result();
    });
    EXPECT_TRUE(pages().Print());
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(msgs.count(), 2);
    EXPECT_EQ(msgs.last(), lyrResources().GetByNumber(9));
    EXPECT_EQ(countOf(log, "page"), 2);
    // The dialog's choice was for this job only.
    EXPECT_TRUE(report->PrintOptions()->PageNumbers.isEmpty());
}

TEST_F(PrintReportTest, DialogShowsTheDefaultSheetWhenPagesKeepTheirPaper)
{
    build(1);
    QStringList log;
    FakePrinters fakes(log, {QStringLiteral("A")}, QStringLiteral("A"));
    TlyrPrintDialog dlg(report.get(), &pages());
    dlg.PrintModeCB->setCurrentIndex(2);
    dlg.PrintModeCBChange();
    EXPECT_EQ(dlg.PagPageSizeCB->currentText(), QStringLiteral("A4"));
    // The options say one page a sheet: the box shows "Default", disabled.
    dlg.FormShow();
    EXPECT_EQ(dlg.PrintModeCB->currentIndex(), 0);
    EXPECT_EQ(dlg.PagPageSizeCB->currentIndex(), 0);
    EXPECT_FALSE(dlg.PagPageSizeCB->isEnabled());
}

TEST_F(PrintReportTest, DialogWritesItsChoicesAndCancelPrintsNothing)
{
    build(2);
    QStringList log;
    FakePrinters fakes(log, {QStringLiteral("A"), QStringLiteral("B")}, QStringLiteral("A"));
    TlyrPrintDialog dlg(report.get(), &pages());
    dlg.FormShow();
    EXPECT_EQ(dlg.PrintersCB->count(), 2);
    // Each printer with the printer glyph.
    EXPECT_FALSE(dlg.PrintersCB->itemIcon(0).isNull());
    EXPECT_FALSE(dlg.PrintersCB->itemIcon(1).isNull());
    // And each print mode with its picture.
    for (int i = 0; i < dlg.PrintModeCB->count(); ++i) EXPECT_FALSE(dlg.PrintModeCB->itemIcon(i).isNull()) << i;
    EXPECT_EQ(dlg.WhereL1->text(), QStringLiteral("port-A"));
    EXPECT_FALSE(dlg.PagPageSizeCB->isEnabled());
    EXPECT_EQ(dlg.PagPageSizeCB->itemText(0), lyrResources().Get(QStringLiteral("pgDefault")));
    // Another mode: the sheet box opens on A4.
    dlg.PrintModeCB->setCurrentIndex(2);
    dlg.PrintModeCBChange();
    EXPECT_TRUE(dlg.PagPageSizeCB->isEnabled());
    EXPECT_EQ(dlg.PagPageSizeCB->currentText(), QStringLiteral("A4"));
    dlg.PrintersCB->setCurrentIndex(1);
    dlg.PrintersCBClick();
    EXPECT_EQ(dlg.WhereL1->text(), QStringLiteral("port-B"));
    EXPECT_EQ(dlg.PagPageSizeCB->currentText(), QStringLiteral("A4"));
    dlg.CopiesE->setValue(3);
    dlg.CopiesPBClick();
    EXPECT_FALSE(dlg.CollateCB->isChecked());
    dlg.PrintPagesCB->setCurrentIndex(2);
    dlg.OrderCB->setCurrentIndex(1);
    dlg.DuplexCB->setCurrentIndex(1);
    dlg.CurPageRB->setChecked(true);
    pages().CurPreviewPage = 2;
    dlg.OkBClick();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const TlyrPrintOptions &o = *report->PrintOptions();
    EXPECT_EQ(o.Copies, 3);
    EXPECT_FALSE(o.Collate);
    EXPECT_EQ(o.PageNumbers, QStringLiteral("2"));
    EXPECT_EQ(o.PrintPages, TlyrPrintOptions::ppEven);
    EXPECT_TRUE(o.Reverse);
    EXPECT_EQ(o.PrintMode, TlyrPrintOptions::pmJoin);
    EXPECT_EQ(o.PrintOnSheet, 9);
    EXPECT_EQ(dlg.DuplexOverride, 1);
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 1);

    // Cancel goes back to the printer chosen before.
    TlyrPrintDialog again(report.get(), &pages());
    again.PrintersCB->setCurrentIndex(0);
    again.PrintersCBClick();
    again.CancelBClick();
    EXPECT_EQ(again.result(), QDialog::Rejected);
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 1);

    report->PrintOptions()->ShowDialog = true;
    ui::ScriptedModals modals([](QDialog *d) {
        static_cast<TlyrPrintDialog *>(d)->CancelBClick();
        return d->result();
    });
    EXPECT_FALSE(pages().Print());
    EXPECT_EQ(countOf(log, "page"), 0);
}

// Keyboard alone: OK is the only default button, Enter in the range field
// with a range that does not read is refused with the message, a pasted
// range passes the same check, Esc cancels and puts the printer back.
TEST_F(PrintReportTest, DialogByKeyboardAlone)
{
    build(3);
    QStringList log;
    FakePrinters fakes(log, {QStringLiteral("A"), QStringLiteral("B")}, QStringLiteral("A"));
    ui::ScriptedMessages messages;
    TlyrPrintDialog dlg(report.get(), &pages());
    dlg.show();
    expectOnlyTheNamedDefault(dlg);
    EXPECT_EQ(dlg.defaultButton(), dlg.OkB);

    dlg.PageNumbersRB->setChecked(true);
    dlg.PageNumbersE->setFocus();
    QTest::keyClicks(dlg.PageNumbersE, QStringLiteral("a-b"));
    QTest::keyClick(dlg.PageNumbersE, Qt::Key_Return);
    EXPECT_EQ(messages.count(), 1);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    dlg.PageNumbersE->clear();
    QApplication::clipboard()->setText(QStringLiteral("1,3,"));
    dlg.PageNumbersE->paste();
    QTest::keyClick(dlg.PageNumbersE, Qt::Key_Enter);
    EXPECT_EQ(messages.count(), 2);
    EXPECT_TRUE(dlg.isVisible());

    dlg.PrintersCB->setCurrentIndex(1);
    dlg.PrintersCBClick();
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 1);
    QTest::keyClick(dlg.PrintersCB, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(lyrPrinters().PrinterIndex(), 0);
}

TEST_F(PrintReportTest, PrintToFileTakesTheFileNameWithPrnForOneJob)
{
    build(1);
    QStringList log;
    FakePrinters fakes(log);
    report->PrintOptions()->ShowDialog = true;
    QString during;
    report->OnPrintReport = [&] { during = lyrPrinters().Printer()->FileName; };
    ui::ScriptedModals modals([](QDialog *d) {
        auto *dlg = static_cast<TlyrPrintDialog *>(d);
        dlg->FileCB->setChecked(true);
        dlg->AskFileName = [](QWidget *) { return QStringLiteral("/tmp/out/report.pdf"); };
        dlg->OkBClick();
        return dlg->result();
    });
    EXPECT_TRUE(pages().Print());
    EXPECT_EQ(during, QStringLiteral("/tmp/out/report.prn"));
    EXPECT_TRUE(lyrPrinters().Printer()->FileName.isEmpty());

    // A cancelled file question cancels the job.
    modals.setHandler([](QDialog *d) {
        auto *dlg = static_cast<TlyrPrintDialog *>(d);
        dlg->FileCB->setChecked(true);
        dlg->AskFileName = [](QWidget *) { return QString(); };
        dlg->OkBClick();
        return dlg->result();
    });
    log.clear();
    EXPECT_FALSE(pages().Print());
    EXPECT_EQ(countOf(log, "page"), 0);
}

TEST(PrintWindows, ProgressCancelStopsAndGivesTheWindowBack)
{
    QWidget owner;
    {
        TlyrProgress p(&owner);
        EXPECT_FALSE(owner.isEnabled());
        p.Execute(10, QStringLiteral("Printing page 1"), true, true);
        EXPECT_EQ(p.LMessage->y(), 15);
        p.SetPosition(4);
        EXPECT_EQ(p.Position(), 4);
        p.CancelBClick();
        EXPECT_TRUE(p.Terminated);
        EXPECT_FALSE(p.isVisible());
        EXPECT_TRUE(owner.isEnabled());
    }
    TlyrProgress bare(nullptr);
    bare.Execute(0, QStringLiteral("x"), false, false);
    EXPECT_EQ(bare.LMessage->y(), 35);
    EXPECT_FALSE(bare.Bar->isVisible());
    EXPECT_FALSE(bare.CancelB->isVisible());
}

TEST(PrintWindows, OwnerIsEnabledAgainWhenAnErrorEndsTheProgress)
{
    QWidget owner;
    try {
        TlyrProgress p(&owner);
        p.Execute(3, QStringLiteral("x"), true, true);
        throw std::runtime_error("stop");
    } catch (const std::runtime_error &) {}
    EXPECT_TRUE(owner.isEnabled());
}

TEST(PrintWindows, PasswordWindowAndHelp)
{
    TlyrPasswordForm pw;
    EXPECT_EQ(pw.PasswordE->echoMode(), QLineEdit::Password);
    EXPECT_EQ(pw.OkB->text(), lyrResources().GetByNumber(1));
    EXPECT_EQ(pw.CancelB->text(), lyrResources().GetByNumber(2));
    // Help has no viewer: a request does nothing.
    lyrShowHelp(QStringLiteral("LyrUser.chm::/x.htm"));
    EXPECT_FALSE(pw.isVisible());
}

TEST_F(PrintReportTest, ProgressAndPasswordFactoriesMakeTheWindows)
{
    lyrInstallPrinting();
    ASSERT_TRUE(lyrEngineFactories().Progress);
    std::unique_ptr<TlyrCustomProgress> progress(lyrEngineFactories().Progress(report.get()));
    ASSERT_TRUE(progress);
    progress->Show();
    progress->SetMessage(QStringLiteral("Printing page 2"));
    EXPECT_FALSE(progress->Terminated());
    ui::ScriptedModals modals([](QDialog *d) {
        auto *f = static_cast<TlyrPasswordForm *>(d);
        f->PasswordE->setText(QStringLiteral("secret"));
        f->accept();
        return int(QDialog::Accepted);
    });
    QString entered;
    EXPECT_TRUE(lyrEngineFactories().AskPassword(report.get(), entered));
    EXPECT_EQ(entered, QStringLiteral("secret"));
    EXPECT_EQ(modals.shown(), QStringList(QStringLiteral("TlyrPasswordForm")));
}
