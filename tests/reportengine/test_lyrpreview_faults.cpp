// Faults the preview and printing meet: prepared pages that cannot be
// rebuilt, a prepared file that does not load, and Cancel pressed on the
// progress window while a modal preview prints.

#include "cups_report_test.h"

#include "platform/ui/messages.h"
#include "report/lyrres.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrprogress.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// The texts pdftotext finds in a PDF, page by page.
QStringList pdfPageTexts(const QByteArray &pdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.pdf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(pdf);
    f.close();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    for (QString &t : pages) t = t.simplified();
    return pages;
}

// The visible progress window, if any.
TlyrProgress *shownProgress()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<TlyrProgress *>(w); p && p->isVisible()) return p;
    return nullptr;
}

enum class Fault { DamagedFirstPage, EveryPageDamaged, NoFault };

class PreviewFaults;
struct FaultCase {
    const char *name;
    void (PreviewFaults::*run)();
};

class PreviewFaults : public CupsTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    // Prepared pages "Page 1" .. "Page n", a title on the first; with a
    // fault the store is reloaded from its file with the dictionary entry
    // of the title (only on page 1) or of the page text (on every page)
    // naming an object the source page does not have.
    // A dot-matrix report's page holds dot-matrix texts in character cells.
    template <class Page = TlyrReportPage, class Text = TlyrMemoView>
    void prepare(int n, Fault fault, QSizeF paper = QSizeF(210, 297))
    {
        constexpr bool dotMatrix = std::is_same_v<Page, TlyrDMPPage>;
        const double h = dotMatrix ? 17 : 20, w = dotMatrix ? 96 : 300;
        TlyrMasterData *band = pageWithBand<Page>(h, n, true);
        if (!dotMatrix) {
            static_cast<TlyrReportPage *>(band->Page())->SetPaperWidth(paper.width());
            static_cast<TlyrReportPage *>(band->Page())->SetPaperHeight(paper.height());
        }
        auto *title = new TlyrReportTitle(report.get());
        title->SetName(QStringLiteral("ReportTitle1"));
        title->SetParent(band->Page());
        title->SetHeight(h);
        textView<Text>(title, QStringLiteral("TitleMemo"), {0, 0, w, h}, QStringLiteral("Title"));
        textView<Text>(band, QStringLiteral("Memo1"), {0, 0, w, h}, QStringLiteral("Page [Line#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        ASSERT_EQ(pages().Count(), n);
        if (fault == Fault::NoFault) return;
        QBuffer file;
        file.open(QIODevice::ReadWrite);
        pages().SaveToStream(file);
        QByteArray bytes = file.data();
        const QByteArray entry = fault == Fault::DamagedFirstPage ? "Page0.TitleMemo\"" : "Page0.Memo1\"";
        ASSERT_TRUE(bytes.contains(entry));
        bytes.replace(entry, "Page0.Missing\"");
        QBuffer damaged(&bytes);
        damaged.open(QIODevice::ReadOnly);
        pages().LoadFromStream(damaged, false);
        ASSERT_EQ(pages().Count(), n);
    }
    std::unique_ptr<TlyrPreviewForm> openForm()
    {
        auto form = std::make_unique<TlyrPreviewForm>();
        report->PreviewOptions()->Maximized = false;
        form->resize(1200, 800);
        report->SetPreview(form->Preview);
        form->Init(report.get());
        form->show();
        QApplication::processEvents();
        return form;
    }
    // Pages of the main workspace drawn with something on them, and
    // whether the workspace shows no page at all (grey only).
    QList<int> pagesWithInk(TlyrPreviewForm &form)
    {
        TlyrPreviewWorkspace *w = form.Preview->Workspace;
        QImage image(w->HorzRange() + 20, w->VertRange() + 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        w->SetVertPosition(0);
        w->PaintTo(painter, image.size());
        painter.end();
        QList<int> out;
        for (int i = 0; i < w->PageList.Count(); ++i) {
            const TlyrPageItem &p = w->PageList.Items[i];
            const QRect inside = QRect(p.Left, p.Top, p.Width, p.Height).adjusted(2, 2, -2, -2) & image.rect();
            int ink = 0;
            for (int y = inside.top(); y <= inside.bottom(); ++y)
                for (int x = inside.left(); x <= inside.right(); ++x) ink += qGray(image.pixel(x, y)) < 128;
            if (ink > 0) out << i + 1;
        }
        return out;
    }
    QList<QByteArray> pdfJobs() const { return cups->jobs(QStringLiteral("pdf"), 0, 0); }

public:
    // A damaged first page: the preview lays out and draws the other pages,
    // marks page 1 and names it in the status bar.
    void previewShowsTheHealthyPages()
    {
        prepare(4, Fault::DamagedFirstPage);
        auto form = openForm();
        form->Preview->SetZoom(0.25);
        EXPECT_EQ(form->Preview->Workspace->PageList.Count(), 4);
        EXPECT_EQ(form->Preview->DamagedPages, QList<int>{1});
        // Page 1 carries the note, the others their text.
        EXPECT_EQ(pagesWithInk(*form), (QList<int>{1, 2, 3, 4}));
        EXPECT_EQ(form->StatusMessage->text(), QStringLiteral("已损坏未显示的页：1"));
        EXPECT_EQ(form->StatusPage->text(), QStringLiteral("Page 1 of 4"));
        // A hyperlink's empty message does not take the note away.
        form->SetMessage(QString());
        EXPECT_EQ(form->StatusMessage->text(), QStringLiteral("已损坏未显示的页：1"));
    }
    // Printing sends the healthy pages, says which it could not print, and
    // is no success.
    void printingNamesThePagesLeftOut()
    {
        prepare(4, Fault::DamagedFirstPage);
        EXPECT_FALSE(pages().Print());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QStringLiteral("已损坏未打印的页：1"));
        EXPECT_TRUE(report->Errors().contains(messages[0]));
        const QList<QByteArray> got = cups->jobs(QStringLiteral("pdf"), 1);
        ASSERT_EQ(got.size(), 1);
        EXPECT_EQ(pdfPageTexts(got.first()), (QStringList{"Page 2", "Page 3", "Page 4"}));
    }
    // Joined on a sheet, the damaged page leaves its place empty and is
    // named; the sheet is laid out for the healthy pages.
    void joinedPrintingNamesThePageLeftOut()
    {
        prepare(4, Fault::DamagedFirstPage, QSizeF(105, 148));
        report->PrintOptions()->PrintMode = TlyrPrintOptions::pmJoin;
        report->PrintOptions()->PrintOnSheet = 9;
        EXPECT_FALSE(pages().Print());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QStringLiteral("已损坏未打印的页：1"));
        const QList<QByteArray> got = cups->jobs(QStringLiteral("pdf"), 1);
        ASSERT_EQ(got.size(), 1);
        const QStringList sheets = pdfPageTexts(got.first());
        ASSERT_EQ(sheets.size(), 1);
        for (const char *t : {"Page 2", "Page 3", "Page 4"}) EXPECT_TRUE(sheets[0].contains(QLatin1String(t))) << t;
        EXPECT_FALSE(sheets[0].contains(QLatin1String("Title")));
    }
    // A dot-matrix report's raw job leaves the page out and names it.
    void dotMatrixPrintingNamesThePageLeftOut()
    {
        prepare<TlyrDMPPage, TlyrDMPMemoView>(3, Fault::DamagedFirstPage);
        report->PrintOptions()->Printer = QStringLiteral("VelmoraRaw");
        EXPECT_FALSE(pages().Print());
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QStringLiteral("已损坏未打印的页：1"));
        const QList<QByteArray> got = cups->jobs(QStringLiteral("raw"), 1);
        ASSERT_EQ(got.size(), 1);
        EXPECT_FALSE(got.first().contains("Title"));
        EXPECT_EQ(got.first().count("Page "), 2);
        EXPECT_TRUE(got.first().contains("Page 2") && got.first().contains("Page 3"));
        // With every page damaged nothing goes to the queue.
        messages.clear();
        report->Clear();
        report->PrintOptions()->ShowDialog = false;
        report->PrintOptions()->Printer = QStringLiteral("VelmoraRaw");
        prepare<TlyrDMPPage, TlyrDMPMemoView>(2, Fault::EveryPageDamaged);
        EXPECT_FALSE(pages().Print());
        EXPECT_EQ(messages, QStringList{QStringLiteral("要打印的页全部已损坏，没有打印任何页")});
        EXPECT_EQ(cups->jobs(QStringLiteral("raw"), 2, 0).size(), 1);
    }
    // Nothing to print: no job, and the user is told.
    void everyPageDamagedSendsNoJob()
    {
        prepare(3, Fault::EveryPageDamaged);
        auto form = openForm();
        // A page is found damaged when it is drawn: all three drawn.
        pagesWithInk(*form);
        EXPECT_EQ(form->Preview->DamagedPages, (QList<int>{1, 2, 3}));
        EXPECT_EQ(form->Preview->Workspace->PageList.Count(), 3);
        form->PrintB->click();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0], QStringLiteral("要打印的页全部已损坏，没有打印任何页"));
        EXPECT_TRUE(pdfJobs().isEmpty());
    }
    // After a file that does not load, the window keeps the report it showed.
    void failedLoadKeepsTheView()
    {
        prepare(4, Fault::NoFault);
        auto form = openForm();
        ASSERT_EQ(form->StatusPage->text(), QStringLiteral("Page 1 of 4"));
        ASSERT_TRUE(form->PrintB->isEnabled());
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("bad.lp3"));
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><preparedreport><previewpages><page0>");
        f.close();
        ui::ScriptedMessages shown;
        shown.answerInput(bad);
        form->OpenB->click();
        // Said once; the report on screen stays as it was.
        EXPECT_EQ(shown.count(), 1);
        EXPECT_EQ(form->Preview->PageCount(), 4);
        EXPECT_EQ(form->StatusPage->text(), QStringLiteral("Page 1 of 4"));
        EXPECT_EQ(form->Preview->Workspace->PageList.Count(), 4);
        for (QToolButton *b : {form->PrintB, form->SaveB, form->FindB, form->PageSettingsB})
            EXPECT_TRUE(b->isEnabled()) << b->toolTip().toStdString();
        EXPECT_TRUE(form->OpenB->isEnabled());
    }
    // The preview is modal (it runs its own loop) and prints; the user's
    // click on the progress window's Cancel (or a drag of the window) reaches
    // it, and Cancel stops the job.
    void progressInputReachesItOverAModalPreview(bool cancel)
    {
        lyrInstallPrinting();  // the program's progress window
        prepare(120, Fault::NoFault);
        report->PrintOptions()->Copies = 3;
        auto form = openForm();
        form->hide();
        int printed = 0;
        report->OnPrintPage = [&](TlyrReportPage *, int) { ++printed; };
        QPoint movedBy;
        bool delivered = false;
        QTimer user;
        user.setInterval(0);
        QObject::connect(&user, &QTimer::timeout, [&] {
            TlyrProgress *p = shownProgress();
            if (!p || printed < 2) return;
            user.stop();
            QWindow *w = p->windowHandle();
            ASSERT_NE(w, nullptr);
            delivered = true;
            if (cancel) {
                QTest::mouseClick(w, Qt::LeftButton, {}, p->CancelB->mapTo(p, p->CancelB->rect().center()));
                return;
            }
            const QPoint from = p->pos();
            QTest::mousePress(w, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseMove(w, QPoint(45, 25));
            // Released where the pointer is: over the grip, now moved.
            QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(5, 5));
            QApplication::processEvents();
            movedBy = p->pos() - from;
        });
        QTimer::singleShot(0, form.get(), [&] {
            user.start();
            form->PrintB->click();
            user.stop();
            form->done(0);
        });
        // Guard: a window nobody answers must not hold the test.
        QTimer::singleShot(120000, form.get(), [&] { form->done(0); });
        form->exec();
        ASSERT_TRUE(delivered) << printed << " pages printed";
        if (cancel) {
            EXPECT_LT(printed, 3 * 120);
            EXPECT_TRUE(pdfJobs().isEmpty());
            EXPECT_TRUE(report->Terminated());
        } else {
            EXPECT_EQ(movedBy, QPoint(40, 20));
            EXPECT_EQ(printed, 3 * 120);
        }
        EXPECT_TRUE(form->isEnabled());
    }
    void cancelStopsPrinting() { progressInputReachesItOverAModalPreview(true); }
    void progressWindowMoves() { progressInputReachesItOverAModalPreview(false); }
};

}  // namespace

TEST_P(PreviewFaults, AreShownAndSaid)
{
    (this->*GetParam().run)();
}

INSTANTIATE_TEST_SUITE_P(
        Cases, PreviewFaults,
        ::testing::Values(FaultCase{"DamagedFirstPagePreview", &PreviewFaults::previewShowsTheHealthyPages},
                          FaultCase{"DamagedFirstPagePrint", &PreviewFaults::printingNamesThePagesLeftOut},
                          FaultCase{"DamagedFirstPageJoined", &PreviewFaults::joinedPrintingNamesThePageLeftOut},
                          FaultCase{"DamagedFirstPageDotMatrix", &PreviewFaults::dotMatrixPrintingNamesThePageLeftOut},
                          FaultCase{"EveryPageDamaged", &PreviewFaults::everyPageDamagedSendsNoJob},
                          FaultCase{"FailedLoad", &PreviewFaults::failedLoadKeepsTheView},
                          FaultCase{"CancelClickedOverModalPreview", &PreviewFaults::cancelStopsPrinting},
                          FaultCase{"ProgressDraggedOverModalPreview", &PreviewFaults::progressWindowMoves}),
        [](const ::testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });
