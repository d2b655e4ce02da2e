#include "preview_fixture.h"

#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "report/lyrcanvas.h"
#include "reportengine/lyrDsgnIntf.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrprint.h"
#include "reportengine/lyrprogress.h"
#include "reportengine/lyrpreviewdialogs.h"
#include "script/ks_props.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class PreviewTest : public ::testing::Test {
protected:
    void TearDown() override { lyrEngineFactories() = TlyrEngineFactories(); }

    // A window showing the report's pages, as ShowReport makes it, sized so
    // that two A4 pages at 100 % do not fit side by side.
    std::unique_ptr<TlyrPreviewForm> openForm(PreviewReport &r) { return r.openForm(QSize(1000, 700)); }
};

// A memo that fails to draw while Fail is set.
class TThrowingMemo : public TlyrMemoView {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TThrowingMemo(QObject *owner = nullptr) : TlyrMemoView(owner) {}
    static inline bool Fail = false;
    void Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) override
    {
        if (Fail) throw std::runtime_error("cannot draw");
        TlyrMemoView::Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    }
};

TlyrPageList rowOf(std::initializer_list<QSize> sizes, int clientWidth)
{
    TlyrPageList list;
    for (QSize s : sizes) list.AddPage(s, 1);
    list.CalcBounds(clientWidth);
    return list;
}

}  // namespace

TEST(PreviewLayout, RowsAreFilledAndCentredAndAWidePageSitsAloneAtTen)
{
    TlyrPageList narrow = rowOf({{100, 200}, {100, 150}, {100, 200}}, 230);
    // Two pages fit in 230 (100 + 10 + 100), the third starts a new row.
    EXPECT_EQ(narrow.Items[0].Top, 10);
    EXPECT_EQ(narrow.Items[1].Top, 10);
    EXPECT_EQ(narrow.Items[2].Top, 10 + 200 + 10);
    const int offset = (230 - 220 + 10) / 2 + 10;
    EXPECT_EQ(narrow.Items[0].Left, offset);
    EXPECT_EQ(narrow.Items[1].Left, 110 + offset);
    EXPECT_EQ(narrow.MaxWidth, 220);
    EXPECT_EQ(narrow.VertRange(), narrow.Items[2].Top + 200 + 10);

    TlyrPageList wide = rowOf({{100, 100}, {900, 100}, {100, 100}}, 500);
    EXPECT_EQ(wide.Items[1].Left, 10);
    EXPECT_NE(wide.Items[1].Top, wide.Items[0].Top);
    EXPECT_NE(wide.Items[2].Top, wide.Items[1].Top);
}

TEST(PreviewLayout, FindPageAndDefaultBounds)
{
    TlyrPageList list = rowOf({{100, 200}, {100, 200}, {100, 200}}, 100);
    // Within a fifth of its height above the first page, the first page; far above, none.
    EXPECT_EQ(list.FindPage(0), 0);
    EXPECT_EQ(list.FindPage(-50), -1);
    EXPECT_EQ(list.FindPage(list.Items[1].Top + 5), 1);
    // With tolerance, a page whose top is a little below is already found.
    EXPECT_EQ(list.FindPage(list.Items[2].Top - 30), 2);
    EXPECT_EQ(list.FindPage(list.Items[2].Top - 30, list.Items[1].Left + 5), 1);
    EXPECT_EQ(list.GetPageBounds(1, 100, 1), QRect(QPoint(list.Items[1].Left, list.Items[1].Top),
                                                   QPoint(list.Items[1].Left + 100, list.Items[1].Top + 200)));
    TlyrPageList none;
    const QRect a4 = none.GetPageBounds(5, 1000, 1);
    EXPECT_EQ(a4.left(), lyrRoundi((1000 - 794) / 2.0));
    EXPECT_EQ(a4.top(), 10);
    EXPECT_EQ(a4.right(), a4.left() + 794);
    EXPECT_EQ(a4.bottom(), 10 + 1123);
    EXPECT_EQ(none.GetPageBounds(0, 500, 1).left(), 10);
}

TEST(PreviewLayout, LargeZoomedPagesKeepTheirSize)
{
    double w = 0, h = 0;
    ASSERT_TRUE(lyrPaperSize(8, w, h));
    const QSize a3(lyrRoundi(w * lyrUnitsPerMM), lyrRoundi(h * lyrUnitsPerMM));
    TlyrPageList list;
    list.AddPage(a3, 5);
    // An endless page, ten times as tall as A3, at 500 %.
    list.AddPage(QSize(a3.width(), a3.height() * 10), 5);
    list.CalcBounds(800);
    EXPECT_EQ(list.Items[0].Width, lyrRoundi(a3.width() * 5.0));
    EXPECT_EQ(list.Items[1].Height, a3.height() * 50);
    EXPECT_GT(list.Items[1].Height, 65535);
    EXPECT_EQ(list.VertRange(), list.Items[1].Top + list.Items[1].Height + 10);
}

TEST_F(PreviewTest, ZoomIsClampedAndStepsByAQuarter)
{
    PreviewReport r(60);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    TlyrPreview *p = form->Preview;
    p->SetZoom(0.1);
    EXPECT_DOUBLE_EQ(p->Zoom(), 0.25);
    p->SetZoom(9);
    EXPECT_DOUBLE_EQ(p->Zoom(), 5);
    p->SetZoom(1);
    form->ZoomPlusB->click();
    EXPECT_DOUBLE_EQ(p->Zoom(), 1.25);
    EXPECT_EQ(form->ZoomCB->currentText(), QStringLiteral("125%"));
    p->SetZoom(0.5);
    form->ZoomMinusB->click();
    form->ZoomMinusB->click();
    EXPECT_DOUBLE_EQ(p->Zoom(), 0.25);
    // Ctrl and the wheel never go below 0.3.
    p->MouseWheelScroll(-120, false, true);
    EXPECT_DOUBLE_EQ(p->Zoom(), 0.3);
    p->MouseWheelScroll(120, false, true);
    EXPECT_NEAR(p->Zoom(), 0.4, 1e-9);
    // The laid-out page follows the zoom.
    EXPECT_EQ(p->Workspace->PageList.Items[0].Width, lyrRoundi(r.pages().GetPageSize(0).width() * p->Zoom()));
}

TEST_F(PreviewTest, ZoomBoxReadsPercentAndIgnoresNonsense)
{
    PreviewReport r(10);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    form->ZoomCB->setEditText(QStringLiteral("125 %"));
    form->ZoomCBClick();
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(form->Preview->Zoom(), 1.25);
    EXPECT_EQ(form->ZoomCB->currentText(), QStringLiteral("125%"));
    for (const char *bad : {"abc", "", "%"}) {
        form->ZoomCB->setEditText(QString::fromLatin1(bad));
        form->ZoomCBClick();
        QApplication::processEvents();
        EXPECT_DOUBLE_EQ(form->Preview->Zoom(), 1.25) << bad;
        EXPECT_EQ(form->ZoomCB->currentText(), QStringLiteral("125%")) << bad;
    }
    form->ZoomCB->setCurrentIndex(6);
    form->ZoomCBClick();
    const int width =
            form->Preview->Workspace->width() - form->Preview->Workspace->verticalScrollBar()->sizeHint().width();
    EXPECT_EQ(form->Preview->ZoomMode(), TlyrPreviewOptions::zmPageWidth);
    EXPECT_NEAR(form->Preview->Workspace->PageList.Items[0].Width, width - 26, 30);
    form->ZoomCB->setCurrentIndex(7);
    form->ZoomCBClick();
    EXPECT_EQ(form->Preview->ZoomMode(), TlyrPreviewOptions::zmWholePage);
    EXPECT_LE(form->Preview->Workspace->PageList.Items[0].Height, form->Preview->Workspace->height());
}

TEST_F(PreviewTest, PageNumberIsClampedAndShown)
{
    PreviewReport r(120);
    ASSERT_TRUE(r.prepare());
    const int count = r.pages().Count();
    ASSERT_GE(count, 3);
    auto form = openForm(r);
    TlyrPreview *p = form->Preview;
    p->SetPageNo(0);
    EXPECT_EQ(p->PageNo(), 1);
    p->SetPageNo(-4);
    EXPECT_EQ(p->PageNo(), 1);
    p->SetPageNo(count + 10);
    EXPECT_EQ(p->PageNo(), count);
    EXPECT_EQ(form->PageE->text(), QString::number(count));
    EXPECT_EQ(form->StatusPage->text(), QStringLiteral("Page %1 of %2").arg(count).arg(count));
    form->FirstB->click();
    form->NextB->click();
    EXPECT_EQ(p->PageNo(), 2);
    // The page is brought to the top of the view.
    EXPECT_EQ(p->Workspace->VertPosition(), p->Workspace->PageList.Items[1].Top - 10);
    form->PageE->setText(QStringLiteral("3"));
    form->PageEEnter();
    EXPECT_EQ(p->PageNo(), 3);
    // An empty box goes back to the current page.
    form->PageE->clear();
    form->PageEEnter();
    EXPECT_EQ(p->PageNo(), 3);
    EXPECT_EQ(form->PageE->text(), QStringLiteral("3"));
    EXPECT_TRUE(p->KeyDown(Qt::Key_End, Qt::NoModifier));
    EXPECT_EQ(p->PageNo(), count);
    EXPECT_TRUE(p->KeyDown(Qt::Key_PageUp, Qt::ControlModifier));
    EXPECT_EQ(p->PageNo(), count - 1);

    p->Clear();
    EXPECT_EQ(p->PageCount(), 0);
    p->SetPageNo(5);
    EXPECT_EQ(p->PageNo(), 0);
}

TEST_F(PreviewTest, FindWalksTheHitsInRecordOrderAndF3Continues)
{
    PreviewReport r(80);
    ASSERT_TRUE(r.prepare());
    const int count = r.pages().Count();
    ASSERT_GE(count, 2);
    auto form = openForm(r);
    TlyrPreview *p = form->Preview;
    // F3 before any search does nothing.
    EXPECT_TRUE(p->KeyDown(Qt::Key_F3, Qt::NoModifier));
    EXPECT_FALSE(TlyrPreview::Search().Found);

    // The texts the pages draw, in drawing order, tell where each hit must be.
    std::vector<std::pair<int, QRect>> expected;
    for (int i = 0; i < count; ++i) {
        TlyrRecordingCanvas c(96);
        r.pages().DrawPage(i, c, 1, 1, 0, 0);
        for (const TlyrRecordedText &t : c.Texts)
            if (t.Text.contains(QStringLiteral("苹果汁 1"))) expected.push_back({i, QRect(t.X, t.Y, 1, 1)});
    }
    ASSERT_GE(expected.size(), size_t(2));
    // "苹果汁 1", "苹果汁 10".."19" and so on: lines on several pages.
    ui::ScriptedModals modals([](QDialog *d) {
        auto *s = qobject_cast<TlyrSearchDialog *>(d);
        s->TextE->setText(QStringLiteral("苹果汁 1"));
        s->TopCB->setChecked(true);
        return int(QDialog::Accepted);
    });
    form->FindB->click();
    for (size_t k = 0; k < expected.size(); ++k) {
        ASSERT_TRUE(TlyrPreview::Search().Found) << k;
        EXPECT_EQ(p->Workspace->SearchPage, expected[k].first) << k;
        EXPECT_EQ(TlyrPreview::Search().FoundRect.topLeft(), expected[k].second.topLeft()) << k;
        QTest::keyClick(p->Workspace, Qt::Key_F3);
    }
    EXPECT_FALSE(TlyrPreview::Search().Found);
    QTest::keyClick(p->Workspace, Qt::Key_F3);
    EXPECT_FALSE(TlyrPreview::Search().Found);
}

TEST_F(PreviewTest, FindIsCaseSensitiveOnlyWhenAsked)
{
    PreviewReport r(3);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    form->Preview->FindText(QStringLiteral("sp1"), false, true);
    EXPECT_TRUE(TlyrPreview::Search().Found);
    form->Preview->FindText(QStringLiteral("sp1"), true, true);
    EXPECT_FALSE(TlyrPreview::Search().Found);
}

TEST_F(PreviewTest, ButtonsFollowThePreviewOptions)
{
    PreviewReport r(5);
    ASSERT_TRUE(r.prepare());
    using PO = TlyrPreviewOptions;
    r.report->PreviewOptions()->Buttons = PO::pbPrint | PO::pbZoom | PO::pbNoClose;
    auto form = openForm(r);
    EXPECT_FALSE(form->PrintB->isHidden());
    EXPECT_TRUE(form->OpenB->isHidden());
    EXPECT_TRUE(form->SaveB->isHidden());
    EXPECT_TRUE(form->FindB->isHidden());
    EXPECT_FALSE(form->ZoomPlusB->isHidden());
    EXPECT_FALSE(form->Sep3->isHidden());
    EXPECT_FALSE(form->FullScreenBtn->isHidden());
    EXPECT_TRUE(form->OutlineB->isHidden());
    EXPECT_TRUE(form->Sep2->isHidden());
    EXPECT_TRUE(form->FirstB->isHidden());
    EXPECT_TRUE(form->Sep4->isHidden());
    EXPECT_TRUE(form->CancelB->isHidden());
    // No export filter is registered.
    EXPECT_TRUE(form->ExportB->isHidden());
    EXPECT_TRUE(form->PdfB->isHidden());
    EXPECT_TRUE(form->EmailB->isHidden());
    // Keys of hidden buttons do nothing: Ctrl+F opens no dialog.
    ui::ScriptedModals modals;
    form->Preview->KeyDown(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(modals.shown().isEmpty());
    // Without the close button, Esc still closes.
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());

    r.report->PreviewOptions()->Buttons = 4095 | PO::pbNoFullScreen;
    auto all = openForm(r);
    for (QToolButton *b : {all->PrintB, all->OpenB, all->SaveB, all->FindB, all->OutlineB, all->ThumbB,
                           all->PageSettingsB, all->DesignerB, all->FirstB, all->LastB, all->CancelB})
        EXPECT_FALSE(b->isHidden()) << b->toolTip().toStdString();
    EXPECT_TRUE(all->FullScreenBtn->isHidden());
    EXPECT_TRUE(all->ExportB->isHidden());
    // The right-button menu offers the visible plain buttons.
    QStringList items;
    for (QAction *a : all->RightMenu->actions()) items << a->text();
    EXPECT_TRUE(items.contains(all->PrintB->toolTip()));
    EXPECT_FALSE(items.contains(all->OutlineB->toolTip()));
}

TEST_F(PreviewTest, ShowReportOpensTheWindowAndItFillsWhileTheReportBuilds)
{
    PreviewReport r(400);
    std::vector<int> seenPages;
    QString statusDuringBuild;
    int shownDuringBuild = 0;
    TlyrPreviewForm *seen = nullptr;
    ui::ScriptedModals modals([&](QDialog *d) {
        seen = qobject_cast<TlyrPreviewForm *>(d);
        EXPECT_TRUE(r.report->Timer()->isActive());
        r.report->OnProgress = [&](TlyrReport *, TlyrProgressType, int n) {
            if (n != 4) return;
            statusDuringBuild = seen->CancelB->text();
            // The pages built so far are already laid out.
            shownDuringBuild = seen->Preview->Workspace->PageList.Count();
        };
        // What the timer's first tick does.
        r.report->Timer()->stop();
        r.report->PrepareReport(false);
        seenPages.push_back(seen->Preview->PageCount());
        EXPECT_EQ(seen->StatusPage->text(), QStringLiteral("Page 1 of %1").arg(seen->Preview->PageCount()));
        EXPECT_EQ(seen->CancelB->text(), QStringLiteral("Close"));
        EXPECT_TRUE(seen->PrintB->isEnabled());
        return int(QDialog::Rejected);
    });
    r.report->ShowReport();
    ASSERT_EQ(modals.shown().size(), 1);
    ASSERT_EQ(seenPages.size(), size_t(1));
    EXPECT_GE(seenPages[0], 3);
    EXPECT_EQ(statusDuringBuild, QStringLiteral("Cancel"));
    EXPECT_EQ(shownDuringBuild, 3);
    // The modal window is gone and the report no longer points at it.
    EXPECT_EQ(r.report->Preview(), nullptr);
}

TEST_F(PreviewTest, EscDuringABuildStopsItAndEscAfterwardsCloses)
{
    PreviewReport r(400);
    auto form = openForm(r);
    bool running = false;
    r.report->OnProgress = [&](TlyrReport *, TlyrProgressType, int n) {
        if (n != 4) return;
        running = form->Preview->Running;
        EXPECT_FALSE(form->PrintB->isEnabled());
        QTest::keyClick(form.get(), Qt::Key_Escape);
    };
    r.report->PrepareReport(true);
    QApplication::processEvents();
    EXPECT_TRUE(running);
    EXPECT_TRUE(r.report->Terminated());
    EXPECT_FALSE(form->Preview->Running);
    EXPECT_TRUE(form->isVisible());
    EXPECT_LT(r.pages().Count(), 10);
    EXPECT_EQ(form->CancelB->text(), QStringLiteral("Close"));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

// A report that never ends on its own, and a guard that ends it (and says
// so) when no stop came from the windows. The user's stop (a key, a click)
// is posted once some rows are built, from the report's own event; it
// arrives whenever the build next lets events in.
struct Runaway {
    static constexpr int kRowsBeforeStop = 50;
    Runaway(PreviewReport &r, bool printRows, std::function<void()> userStop) : report(*r.report)
    {
        master = qobject_cast<TlyrBand *>(report.FindObject(QStringLiteral("MasterData1")));
        // Rows that print nothing never end a page.
        master->SetVisible(printRows);
        report.OnBeforePrintEvent = [this, userStop](TlyrComponent *c) {
            if (c != master) return;
            if (++rows == kRowsBeforeStop) QTimer::singleShot(0, &report, userStop);
            if (rows > 3000000) {
                guardStopped = true;
                report.SetTerminated(true);
            }
        };
    }
    ~Runaway() { report.OnBeforePrintEvent = nullptr; }
    TlyrReport &report;
    TlyrBand *master = nullptr;
    int rows = 0;
    bool guardStopped = false;
};

TEST_F(PreviewTest, ARunawayBuildStopsFromThePreviewAndTheProgressWindow)
{
    PreviewReport r(2147483647);
    auto form = openForm(r);
    for (const bool printRows : {false, true}) {
        SCOPED_TRACE(printRows);
        // Esc in the preview window, pressed while the build goes on.
        Runaway run(r, printRows, [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
        r.report->PrepareReport(true);
        EXPECT_FALSE(run.guardStopped);
        EXPECT_TRUE(r.report->Terminated());
        EXPECT_GE(run.rows, Runaway::kRowsBeforeStop);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->CancelB->text(), QStringLiteral("Close"));
    }
    {
        // The stop button of the window.
        Runaway run(r, true, [&] { QTest::mouseClick(form->CancelB, Qt::LeftButton); });
        r.report->PrepareReport(true);
        EXPECT_FALSE(run.guardStopped);
        EXPECT_TRUE(form->isVisible());
    }
    {
        // A rebuild (drill-down, page settings for all pages) stops the same
        // way, and Esc does not close the window while it runs.
        Runaway run(r, false, [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
        form->Preview->RefreshReport();
        EXPECT_FALSE(run.guardStopped);
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(form->Preview->CancelButton->isHidden());
    }
    form->close();
    r.report->SetPreview(nullptr);
    // Built before the preview shows, with the progress window: its Cancel.
    r.report->SetOldStyleProgress(true);
    lyrInstallPrinting();
    for (const bool printRows : {false, true}) {
        SCOPED_TRACE(printRows);
        Runaway run(r, printRows, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *p = qobject_cast<TlyrProgress *>(w); p && p->isVisible())
                    QTest::mouseClick(p->CancelB, Qt::LeftButton);
        });
        r.report->PrepareReport(true);
        EXPECT_FALSE(run.guardStopped);
        EXPECT_TRUE(r.report->Terminated());
    }
}

TEST_F(PreviewTest, ClosingDuringABuildStopsTheBuildThenCloses)
{
    PreviewReport r(400);
    auto form = openForm(r);
    bool closedEarly = true;
    r.report->OnProgress = [&](TlyrReport *, TlyrProgressType, int n) {
        if (n != 4) return;
        form->close();
        closedEarly = !form->isVisible();
    };
    r.report->PrepareReport(true);
    EXPECT_FALSE(closedEarly);
    EXPECT_TRUE(r.report->Terminated());
    QApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(PreviewTest, FailingCommandsAreReportedOnceAndTheWindowGoesOn)
{
    PreviewReport r(5);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.lp3"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a prepared report at all");
    }
    ui::ScriptedMessages messages;
    messages.answerInput(bad);
    form->OpenB->click();
    EXPECT_EQ(messages.shown().size(), 1u);
    EXPECT_FALSE(form->Preview->Locked);
    EXPECT_FALSE(form->Preview->MessagePanel->isVisible());
    // Still usable: a good file opens.
    const QString good = dir.filePath(QStringLiteral("good"));
    PreviewReport other(30);
    ASSERT_TRUE(other.prepare());
    other.pages().SaveToFile(good + QStringLiteral(".lp3"));
    messages.answerInput(good + QStringLiteral(".lp3"));
    form->OpenB->click();
    EXPECT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(form->Preview->PageCount(), other.pages().Count());
    EXPECT_EQ(form->Preview->PageNo(), 1);
}

TEST_F(PreviewTest, SaveForcesTheExtensionAndPaintingDrawsOnlyTheVisiblePages)
{
    PreviewReport r(300);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    QTemporaryDir dir;
    ui::ScriptedMessages messages;
    messages.answerInput(dir.filePath(QStringLiteral("copy.txt")));
    form->SaveB->click();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("copy.lp3"))));

    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    QImage image(w->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    w->PaintTo(painter, image.size());
    EXPECT_GE(w->PagesPainted, 1);
    EXPECT_LE(w->PagesPainted, 2);
    // The grey workspace round the page, white paper inside.
    EXPECT_EQ(QColor(image.pixel(2, 2)), w->BackColor);
    const TlyrPageItem &first = w->PageList.Items[0];
    EXPECT_EQ(QColor(image.pixel(first.Left + 3, first.Top + 3)), QColor(Qt::white));

    form->Preview->Clear();
    w->PaintTo(painter, image.size());
    EXPECT_EQ(w->PagesPainted, 0);
}

TEST_F(PreviewTest, OutlineThumbnailsAndPageCommands)
{
    PreviewReport r(100);
    auto *master = static_cast<TlyrBand *>(r.page->FindBand(&TlyrMasterData::staticMetaObject));
    master->SetOutlineText(QStringLiteral("Line"));
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    TlyrPreview *p = form->Preview;
    form->OutlineB->click();
    EXPECT_TRUE(p->OutlineVisible());
    EXPECT_FALSE(p->OutlineTree->isHidden());
    // One node a row; a click on one goes to its page.
    ASSERT_EQ(p->OutlineTree->topLevelItemCount(), 100);
    QTreeWidgetItem *last = p->OutlineTree->topLevelItem(99);
    EXPECT_EQ(last->text(0), QStringLiteral("100"));
    emit p->OutlineTree->itemClicked(last, 0);
    EXPECT_EQ(p->PageNo(), p->PageCount());
    EXPECT_GT(p->Workspace->VertPosition(), p->Workspace->PageList.Items[p->PageCount() - 1].Top - 10);
    form->ThumbB->click();
    EXPECT_TRUE(p->ThumbnailVisible());
    EXPECT_FALSE(p->OutlineVisible());
    EXPECT_FALSE(form->OutlineB->isChecked());
    EXPECT_EQ(p->Thumbnails->PageList.Count(), p->PageCount());
    EXPECT_DOUBLE_EQ(p->Thumbnails->Zoom, 0.1);

    // Full screen hides the bars; a double click on the pages brings them back.
    form->FullScreenBtn->click();
    EXPECT_TRUE(form->FullScreen);
    EXPECT_TRUE(form->ToolBar->isHidden());
    EXPECT_TRUE(form->StatusBar->isHidden());
    QTest::mouseDClick(p->Workspace->viewport(), Qt::LeftButton);
    EXPECT_FALSE(form->FullScreen);
    EXPECT_FALSE(form->ToolBar->isHidden());

    const int count = p->PageCount();
    p->SetPageNo(2);
    p->AddPage();
    EXPECT_EQ(p->PageCount(), count + 1);
    p->DeletePage();
    EXPECT_EQ(p->PageCount(), count);
    p->Last();
    p->DeletePage();
    EXPECT_EQ(p->PageNo(), count - 1);
}

TEST_F(PreviewTest, DrillDownCommandsExpandAndCollapseEveryGroup)
{
    PreviewReport r(4);
    r.drillDownGroup(QStringLiteral("Group"));
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    // The rows of the prepared pages.
    auto rows = [&r] { return r.textsContaining(QStringLiteral("苹果汁")); };
    // A build puts the template back: the group is found again after one.
    auto expanded = [&r] {
        auto *g = qobject_cast<TlyrGroupHeader *>(r.report->FindObject(QStringLiteral("GroupHeader1")));
        return g && g->ExpandDrillDown;
    };
    ASSERT_TRUE(form->CollapseMI->isVisible());
    ASSERT_TRUE(form->ExpandMI->isVisible());
    EXPECT_EQ(rows(), 0);
    form->ExpandMI->trigger();
    EXPECT_TRUE(expanded());
    EXPECT_EQ(rows(), 4);
    // A group opened by a click is closed again with all the others.
    r.report->ClickList << QStringLiteral("GroupHeader1.1");
    form->CollapseMI->trigger();
    EXPECT_FALSE(expanded());
    EXPECT_TRUE(r.report->ClickList.isEmpty());
    EXPECT_EQ(rows(), 0);
    EXPECT_GT(form->Preview->PageCount(), 0);
}

TEST_F(PreviewTest, DrillDownCommandsAreHiddenWithoutDrillDownGroups)
{
    PreviewReport r(4);
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    EXPECT_FALSE(form->CollapseMI->isVisible());
    EXPECT_FALSE(form->ExpandMI->isVisible());
}

TEST(PreviewDialogs, SearchDialogKeepsTheLastText)
{
    ui::ScriptedModals modals([](QDialog *d) {
        auto *s = qobject_cast<TlyrSearchDialog *>(d);
        s->TextE->setText(QStringLiteral("合计"));
        return int(QDialog::Accepted);
    });
    {
        TlyrSearchDialog d;
        ui::showModal(&d);
        d.accept();
    }
    modals.setHandler([](QDialog *d) {
        auto *s = qobject_cast<TlyrSearchDialog *>(d);
        EXPECT_EQ(s->TextE->text(), QStringLiteral("合计"));
        EXPECT_EQ(s->TextE->selectedText(), QStringLiteral("合计"));
        return int(QDialog::Rejected);
    });
    TlyrSearchDialog again;
    ui::showModal(&again);
    EXPECT_EQ(modals.shown().size(), 2);
}

TEST(PreviewDialogs, PageSettingsRoundTripKeepsCustomSizesTheRightWayRound)
{
    TlyrReport report;
    TlyrReportPage page;
    page.SetPaperWidth(100);
    page.SetPaperHeight(150);
    page.SetPaperSize(lyrCustomPaper);
    page.SetLeftMargin(25.4);
    {
        TlyrPageSettingsForm d;
        d.SetPage(&page, &report);
        EXPECT_EQ(d.WidthE->text(), QStringLiteral("10"));
        EXPECT_EQ(d.HeightE->text(), QStringLiteral("15"));
        EXPECT_EQ(d.MarginLeftE->text(), QStringLiteral("2.54"));
        EXPECT_EQ(d.PaperNumbers().value(d.SizeCB->currentIndex()), lyrCustomPaper);
        ASSERT_TRUE(d.Apply());
    }
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 100);
    EXPECT_DOUBLE_EQ(page.PaperHeight(), 150);
    EXPECT_EQ(page.PaperSize(), lyrCustomPaper);
    EXPECT_NEAR(page.LeftMargin(), 25.4, 1e-9);
    {
        // A wide custom paper typed in.
        TlyrPageSettingsForm d;
        d.SetPage(&page, &report);
        d.SizeCB->setCurrentIndex(d.PaperNumbers().indexOf(9));
        EXPECT_EQ(d.WidthE->text(), QStringLiteral("21"));
        QTest::keyClicks(d.WidthE, QStringLiteral("0"));
        EXPECT_EQ(d.WidthE->text(), QStringLiteral("210"));
        EXPECT_EQ(d.SizeCB->currentIndex(), 0);
        d.WidthE->setText(QStringLiteral("25"));
        d.HeightE->setText(QStringLiteral("12"));
        ASSERT_TRUE(d.Apply());
    }
    EXPECT_DOUBLE_EQ(page.PaperWidth(), 250);
    EXPECT_DOUBLE_EQ(page.PaperHeight(), 120);
    TlyrPageSettingsForm d;
    d.SetPage(&page, &report);
    EXPECT_EQ(d.WidthE->text(), QStringLiteral("25"));
    EXPECT_EQ(d.HeightE->text(), QStringLiteral("12"));
    // A standard paper turned to landscape.
    d.SizeCB->setCurrentIndex(d.PaperNumbers().indexOf(9));
    d.LandscapeRB->click();
    EXPECT_EQ(d.WidthE->text(), QStringLiteral("29.7"));
    ASSERT_TRUE(d.Apply());
    EXPECT_EQ(page.PaperSize(), 9);
    EXPECT_EQ(page.Orientation(), int(poLandscape));
    EXPECT_NEAR(page.PaperWidth(), 297, 1e-6);
    // Nonsense in a field writes nothing.
    d.MarginTopE->setText(QStringLiteral("x"));
    EXPECT_FALSE(d.Apply());
}

TEST(PreviewDialogs, PageSettingsOfferTheCurrentPrintersPapers)
{
    // A printer that knows two papers.
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrVirtualPrinter>(QStringLiteral("Two papers"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    TlyrCustomPrinter *printer = lyrPrinters().Printer();
    printer->Papers = {
            {QStringLiteral("Own size"), lyrCustomPaper}, {QStringLiteral("A4"), 9}, {QStringLiteral("Statement"), 6}};
    TlyrReport report;
    TlyrReportPage page;
    page.SetPaperSize(9);
    {
        TlyrPageSettingsForm d;
        ASSERT_EQ(d.SizeCB->count(), 3);
        EXPECT_EQ(d.SizeCB->itemText(0), QStringLiteral("Own size"));
        EXPECT_EQ(d.PaperNumbers(), QList<int>({lyrCustomPaper, 9, 6}));
        d.SetPage(&page, &report);
        EXPECT_EQ(d.SizeCB->currentText(), QStringLiteral("A4"));
        // A paper of the printer's table that the page's own list lacks
        // keeps its size and number.
        d.SizeCB->setCurrentIndex(2);
        EXPECT_EQ(d.WidthE->text(), QStringLiteral("13.97"));
        ASSERT_TRUE(d.Apply());
    }
    EXPECT_EQ(page.PaperSize(), 6);
    EXPECT_NEAR(page.PaperWidth(), 139.7, 1e-6);
    EXPECT_NEAR(page.PaperHeight(), 215.9, 1e-6);
    // A size the printer does not know shows as the custom entry, and
    // keeps its number when only the margins change.
    page.SetPaperSize(8);
    {
        TlyrPageSettingsForm d;
        d.SetPage(&page, &report);
        EXPECT_EQ(d.SizeCB->currentIndex(), 0);
        EXPECT_EQ(d.WidthE->text(), QStringLiteral("29.7"));
        d.MarginTopE->setText(QStringLiteral("1"));
        ASSERT_TRUE(d.Apply());
    }
    EXPECT_EQ(page.PaperSize(), 8);
    EXPECT_NEAR(page.PaperHeight(), 420, 1e-6);
    EXPECT_NEAR(page.TopMargin(), 10, 1e-6);
    // Without printers the virtual printer offers the whole table.
    lyrPrinters().SetPrinters({}, QString());
    TlyrPageSettingsForm d;
    EXPECT_EQ(d.SizeCB->count(), static_cast<int>(lyrPaperTable().size()) + 1);
    EXPECT_EQ(d.PaperNumbers().value(0), lyrCustomPaper);
    EXPECT_EQ(d.PaperNumbers().value(1), lyrPaperTable().front().Code);
    lyrRefreshPrinters();
}

TEST(PreviewDialogs, PageSettingsShowInchesFromTheReportSettings)
{
    QTemporaryDir dir;
    TlyrReport report;
    report.SetIniFile(dir.filePath(QStringLiteral("lyr.ini")));
    report.GetIniFile()->setValue(QStringLiteral("Form.TlyrDesignerForm/Units"), 1);
    TlyrReportPage page;
    page.SetLeftMargin(25.4);
    TlyrPageSettingsForm d;
    d.SetPage(&page, &report);
    EXPECT_EQ(d.Unit, 1);
    EXPECT_EQ(d.MarginLeftE->text(), QStringLiteral("1"));
    EXPECT_EQ(d.UnitL3->text(), QStringLiteral("in"));
}

TEST_F(PreviewTest, PageSettingsApplyToTheCurrentPageOrToAllPages)
{
    PreviewReport r(120);
    ASSERT_TRUE(r.prepare());
    const int portraitPages = r.pages().Count();
    auto form = openForm(r);
    form->Preview->SetPageNo(2);
    bool allPages = false;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *s = qobject_cast<TlyrPageSettingsForm *>(d);
        EXPECT_TRUE(s->ApplyToCurRB->isChecked());
        // The two choices exclude each other.
        if (allPages) QTest::mouseClick(s->ApplyToAllRB, Qt::LeftButton);
        EXPECT_NE(s->ApplyToCurRB->isChecked(), s->ApplyToAllRB->isChecked());
        EXPECT_EQ(s->ApplyToAllRB->isChecked(), allPages);
        s->LandscapeRB->click();
        s->OKB->click();
        return s->result();
    });
    form->PageSettingsB->click();
    ASSERT_EQ(modals.shown().size(), 1);
    EXPECT_GT(r.pages().GetPageSize(1).width(), r.pages().GetPageSize(1).height());
    EXPECT_LT(r.pages().GetPageSize(0).width(), r.pages().GetPageSize(0).height());
    EXPECT_GT(form->Preview->Workspace->PageList.Items[1].Width, form->Preview->Workspace->PageList.Items[1].Height);
    EXPECT_EQ(r.pages().Count(), portraitPages);

    // All pages: the template turns and the report is built again, with
    // fewer rows on each of its wider pages.
    allPages = true;
    form->PageSettingsB->click();
    ASSERT_EQ(modals.shown().size(), 2);
    auto *templatePage = qobject_cast<TlyrReportPage *>(r.report->FindObject(QStringLiteral("Page1")));
    ASSERT_NE(templatePage, nullptr);
    EXPECT_EQ(templatePage->Orientation(), int(poLandscape));
    EXPECT_GT(r.pages().Count(), portraitPages);
    EXPECT_EQ(form->Preview->PageCount(), r.pages().Count());
    for (int i = 0; i < r.pages().Count(); ++i)
        EXPECT_GT(r.pages().GetPageSize(i).width(), r.pages().GetPageSize(i).height()) << i;
}

TEST_F(PreviewTest, AWindowShownWithoutWaitingFreesItselfOnClose)
{
    PreviewReport r(10);
    QPointer<TlyrPreviewForm> form = r.showWithoutWaiting();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    r.report->Timer()->stop();
    r.report->PrepareReport(false);
    EXPECT_GE(form->Preview->PageCount(), 1);
    bool closed = false;
    r.report->OnClosePreview = [&] { closed = true; };
    form->CancelB->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(r.report->PreviewForm(), nullptr);
    EXPECT_EQ(r.report->Preview(), nullptr);
}

TEST_F(PreviewTest, TheFirstPassIsShownAsSuchAndBuildingAgainKeepsThePageInView)
{
    PreviewReport r(150);
    r.report->EngineOptions()->SetDoublePass(true);
    auto form = openForm(r);
    QStringList during;
    r.report->OnProgress = [&](TlyrReport *, TlyrProgressType, int) { during << form->StatusPage->text(); };
    ASSERT_TRUE(r.report->PrepareReport(true));
    ASSERT_GE(during.size(), 2);
    // The report's own handler runs before the window hears of the page.
    EXPECT_TRUE(during[1].startsWith(QStringLiteral("First pass: page"))) << during[1].toStdString();
    EXPECT_EQ(form->StatusPage->text(), QStringLiteral("Page 1 of %1").arg(r.pages().Count()));
    r.report->OnProgress = nullptr;
    form->Preview->SetPageNo(2);
    form->Preview->RefreshReport();
    EXPECT_EQ(form->Preview->PageNo(), 2);
    EXPECT_FALSE(form->Preview->Locked);
    EXPECT_EQ(form->Preview->Workspace->PageList.Count(), r.pages().Count());
}

namespace {

class CountingExport : public TlyrExportFilter {
public:
    QString GetDescription() const override { return QStringLiteral("Counting"); }
    void StartPage(TlyrReportPage *, int) override { ++pages; }
    void ExportObject(TlyrComponent *) override {}
    int pages = 0;
};

}  // namespace

TEST_F(PreviewTest, ARegisteredExportFilterGetsAMenuItem)
{
    PreviewReport r(60);
    ASSERT_TRUE(r.prepare());
    CountingExport filter;
    lyrExportFilters().Add(&filter);
    auto form = openForm(r);
    lyrExportFilters().Remove(&filter);
    EXPECT_FALSE(form->ExportB->isHidden());
    ASSERT_EQ(form->ExportPopup->actions().size(), 1);
    EXPECT_EQ(form->ExportPopup->actions()[0]->text(), QStringLiteral("Counting..."));
    form->ExportPopup->actions()[0]->trigger();
    EXPECT_EQ(filter.pages, r.pages().Count());
}

TEST_F(PreviewTest, AClickOnALinkOpensItAndMovingOverItShowsAHand)
{
    PreviewReport r(3);
    auto *link = r.memo(r.page->FindBand(&TlyrFooter::staticMetaObject), "Link", QStringLiteral("网站"), 0, 300, 24);
    link->SetURL(QStringLiteral("https://example.com/"));
    ASSERT_TRUE(r.prepare());
    QStringList opened;
    r.pages().OnOpenUrl = [&](const QString &url) { opened << url; };
    auto form = openForm(r);
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    // Where the link was drawn on the first page.
    TlyrRecordingCanvas c(96);
    r.pages().DrawPage(0, c, 1, 1, 0, 0);
    QPoint at;
    for (const TlyrRecordedText &t : c.Texts)
        if (t.Text == QStringLiteral("网站")) at = QPoint(t.X + 4, t.Y + 4);
    ASSERT_FALSE(at.isNull());
    const TlyrPageItem &p = w->PageList.Items[0];
    const QPoint onScreen = at + QPoint(p.Left, p.Top) - QPoint(w->HorzPosition(), w->VertPosition());
    QTest::mouseMove(w->viewport(), onScreen);
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, onScreen);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://example.com/")});
}

TEST(PreviewControls, ToolbarPanelIsAnEightPixelSpacerInTheButtonColour)
{
    TlyrTBPanel panel;
    EXPECT_EQ(panel.size(), QSize(8, 8));
    EXPECT_EQ(panel.minimumSize(), panel.maximumSize());
    const QImage image = panel.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(4, 4), panel.palette().color(QPalette::Button));
    TlyrTBPanel wide(nullptr, 30, 22);
    EXPECT_EQ(wide.size(), QSize(30, 22));
}

TEST(PreviewControls, ScrollWindowClampsAndBlendsFlatColours)
{
    TlyrScrollWin w;
    w.resize(200, 200);
    w.SetVertPage(100);
    w.SetVertRange(500);
    w.SetVertPosition(1000);
    EXPECT_EQ(w.VertPosition(), 400);
    w.SetVertPosition(-5);
    EXPECT_EQ(w.VertPosition(), 0);
    // A page larger than the range leaves nothing to scroll.
    w.SetHorzPage(300);
    w.SetHorzRange(200);
    w.SetHorzPosition(50);
    EXPECT_EQ(w.HorzPosition(), 0);

    EXPECT_EQ(lyrBlendColors(QColor(200, 100, 0), QColor(0, 0, 100), 25), QColor(50, 25, 75));
    // From 100 on the share is in thousandths.
    EXPECT_EQ(lyrBlendColors(QColor(200, 100, 0), QColor(0, 0, 100), 500), QColor(100, 50, 50));

    TlyrComboBox combo;
    combo.SetReadOnly(true);
    ASSERT_NE(combo.lineEdit(), nullptr);
    EXPECT_TRUE(combo.lineEdit()->isReadOnly());
    TlyrComboEdit edit;
    edit.resize(120, 24);
    edit.show();
    EXPECT_EQ(edit.Button()->width(), 20);
    EXPECT_EQ(edit.Button()->geometry().right(), 120 - 3);
    int clicks = 0;
    edit.OnButtonClick = [&] { ++clicks; };
    edit.Button()->click();
    edit.setEnabled(false);
    EXPECT_FALSE(edit.Button()->isEnabled());
    edit.setEnabled(true);
    EXPECT_TRUE(edit.Button()->isEnabled());
    EXPECT_EQ(clicks, 1);
}

TEST_F(PreviewTest, ClosingBeforeTheBuildBeginsCancelsItAndAReportGoingAwayLeavesTheWindowSafe)
{
    PreviewReport r(10);
    ui::ScriptedModals modals([](QDialog *) { return int(QDialog::Rejected); });
    r.report->ShowReport();
    ASSERT_EQ(modals.shown().size(), 1);
    EXPECT_FALSE(r.report->Timer()->isActive());

    PreviewReport other(60);
    ASSERT_TRUE(other.prepare());
    auto form = openForm(other);
    const int before = form->RightMenu->actions().size();
    form->Init(other.report.get());
    EXPECT_EQ(form->RightMenu->actions().size(), before);
    other.report.reset();
    QImage image(200, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    form->Preview->Workspace->PaintTo(painter, image.size());
    EXPECT_EQ(form->Preview->Workspace->PagesPainted, 0);
    form->Preview->FindText(QStringLiteral("SP1"), false, true);
    EXPECT_FALSE(TlyrPreview::Search().Found);
    form->CancelB->click();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(PreviewTest, APageThatCannotBeDrawnStaysBlankAndTheWindowGoesOn)
{
    ksRegisterClass<TThrowingMemo>();
    PreviewReport r(120);
    auto *master = static_cast<TlyrBand *>(r.page->FindBand(&TlyrMasterData::staticMetaObject));
    auto *bad = new TThrowingMemo(r.report.get());
    bad->SetName(QStringLiteral("Bad"));
    bad->SetParent(master);
    bad->SetBounds(600, 0, 80, 20);
    bad->SetText(QStringLiteral("x"));
    ASSERT_TRUE(r.prepare());
    auto form = openForm(r);
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    const TlyrPageItem &item = w->PageList.Items[0];
    const QRect inside = QRect(item.Left, item.Top, item.Width, item.Height)
                                 .adjusted(2, 2, -2, -2)
                                 .translated(-w->HorzPosition(), -w->VertPosition());
    auto inkInside = [&] {
        QImage image(w->viewport()->size(), QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter painter(&image);
        w->PaintTo(painter, image.size());
        painter.end();
        int ink = 0;
        const QRect area = inside.intersected(image.rect());
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) ++ink;
        return ink;
    };
    EXPECT_GT(inkInside(), 0);
    TThrowingMemo::Fail = true;
    int ink = -1;
    EXPECT_NO_THROW(ink = inkInside());
    TThrowingMemo::Fail = false;
    EXPECT_EQ(ink, 0);
    EXPECT_GE(w->PagesPainted, 1);
    // The window goes on.
    form->Preview->SetPageNo(2);
    EXPECT_EQ(form->Preview->PageNo(), 2);
    EXPECT_GT(inkInside(), 0);
}

#include "test_lyrpreview.moc"
