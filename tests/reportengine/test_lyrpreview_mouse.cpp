// The mouse over the pages of the preview: cursors, the status bar, links
// to pages and anchors, drill-down groups and pages changed by a click.

#include "preview_fixture.h"

#include "report/lyrcanvas.h"

#include <QLabel>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class PreviewMouseTest : public ::testing::Test {
protected:
    void TearDown() override { lyrEngineFactories() = TlyrEngineFactories(); }

    // Where the text starting with text is on the screen, on page index of
    // the workspace as it is scrolled now.
    static QPoint onScreen(PreviewReport &r, TlyrPreviewWorkspace *w, int index, const QString &text)
    {
        TlyrRecordingCanvas c(96);
        r.pages().DrawPage(index, c, w->Zoom, w->Zoom, 0, 0);
        for (const TlyrRecordedText &t : c.Texts)
            if (t.Text.startsWith(text)) {
                const TlyrPageItem &p = w->PageList.Items[static_cast<size_t>(index)];
                return QPoint(t.X + 4, t.Y + 4) + QPoint(p.Left, p.Top) - QPoint(w->HorzPosition(), w->VertPosition());
            }
        ADD_FAILURE() << "no text " << text.toStdString() << " on page " << index + 1;
        return {};
    }
};

}  // namespace

TEST_F(PreviewMouseTest, LinksToAPageOrAnAnchorMoveThePreview)
{
    PreviewReport r(150);
    auto *header = r.page->FindBand(&TlyrPageHeader::staticMetaObject);
    r.memo(header, "ToPage", QStringLiteral("第三页"), 0, 150, 20, 36)->SetURL(QStringLiteral("@3"));
    r.memo(header, "ToAnchor", QStringLiteral("合计处"), 200, 150, 20, 36)->SetURL(QStringLiteral("#Total"));
    ASSERT_TRUE(r.prepare());
    ASSERT_GE(r.pages().Count(), 3);
    // An anchor on the second page, 200 units down.
    r.pages().CurPage = 1;
    r.report->Engine()->CurY = 200;
    r.pages().AddAnchor(QStringLiteral("Total"));
    QStringList opened;
    r.pages().OnOpenUrl = [&](const QString &url) { opened << url; };
    auto form = r.openForm(QSize(1000, 700));
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    ASSERT_EQ(form->Preview->PageNo(), 1);

    const QPoint toPage = onScreen(r, w, 0, QStringLiteral("第三页"));
    QTest::mouseMove(w->viewport(), toPage);
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, toPage);
    EXPECT_EQ(form->Preview->PageNo(), 3);
    EXPECT_EQ(w->VertPosition(), w->PageList.Items[2].Top - 10);

    const QPoint toAnchor = onScreen(r, w, 2, QStringLiteral("合计处"));
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, toAnchor);
    EXPECT_EQ(form->Preview->PageNo(), 2);
    const int offset = qRound((r.pages().GetPage(1)->TopMargin() * 3.7795 + 200) * w->Zoom);
    EXPECT_EQ(w->VertPosition(), w->PageList.Items[1].Top - 10 + offset);
    // Neither is handed to the system.
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(PreviewMouseTest, AClickOnADrillDownGroupOpensAndClosesIt)
{
    PreviewReport r(4);
    r.drillDownGroup(QStringLiteral("Group [Line]"));
    ASSERT_TRUE(r.prepare());
    auto form = r.openForm(QSize(1000, 700));
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    auto rows = [&r] { return r.textsContaining(QStringLiteral("苹果汁")); };
    ASSERT_EQ(rows(), 0);

    // The first group (its header prints the group's own line number).
    const QPoint first = onScreen(r, w, 0, QStringLiteral("Group 1"));
    QTest::mouseMove(w->viewport(), first);
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::PointingHandCursor);
    // The right button leaves the group as it is.
    QTest::mouseClick(w->viewport(), Qt::RightButton, Qt::NoModifier, first);
    EXPECT_TRUE(r.report->ClickList.isEmpty());
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    EXPECT_EQ(r.report->ClickList, QStringList{QStringLiteral("GroupHeader1.1")});
    EXPECT_GT(rows(), 0);
    EXPECT_EQ(form->Preview->Workspace->PageList.Count(), r.pages().Count());
    // The first group's header is where it was: a second click closes it.
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, first);
    EXPECT_TRUE(r.report->ClickList.isEmpty());
    EXPECT_EQ(rows(), 0);
}

TEST_F(PreviewMouseTest, APageChangedByTheClickHandlerIsKept)
{
    PreviewReport r(3);
    ASSERT_TRUE(r.prepare());
    r.report->OnClickObject = [](TlyrComponent *view, int button, int, bool &modified) {
        if (auto *m = qobject_cast<TlyrMemoView *>(view); m && button == Qt::LeftButton) {
            m->SetText(QStringLiteral("已改"));
            modified = true;
        }
    };
    auto form = r.openForm(QSize(1000, 700));
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, onScreen(r, w, 0, QStringLiteral("消费单")));
    EXPECT_EQ(r.pages().PagesItem()->Items(0)->Name, QStringLiteral("TlyrReportPage"));
    TlyrRecordingCanvas c(96);
    r.pages().DrawPage(0, c, 1, 1, 0, 0);
    EXPECT_TRUE(c.AllText().contains(QStringLiteral("已改")));
    EXPECT_FALSE(c.AllText().contains(QStringLiteral("消费单")));
}

TEST_F(PreviewMouseTest, MovingOverAViewShowsItsCursorAndLinkAndTellsTheReport)
{
    PreviewReport r(3);
    auto *header = r.page->FindBand(&TlyrPageHeader::staticMetaObject);
    r.memo(header, "Cross", QStringLiteral("十字"), 0, 100, 20, 36)->SetCursor(-3);
    r.memo(header, "Site", QStringLiteral("网站"), 200, 100, 20, 36)->SetURL(QStringLiteral("https://example.com/"));
    QPointer<TlyrPreviewForm> form = r.showWithoutWaiting();
    ASSERT_TRUE(form);
    r.report->Timer()->stop();
    ASSERT_TRUE(r.report->PrepareReport(false));
    QStringList over;
    r.report->OnMouseOverObject = [&](TlyrComponent *view) { over << view->Name(); };
    TlyrPreviewWorkspace *w = form->Preview->Workspace;
    form->Preview->UpdatePages();

    // Off any object: the hand that drags the page.
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::OpenHandCursor);
    QTest::mouseMove(w->viewport(), onScreen(r, w, 0, QStringLiteral("十字")));
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::CrossCursor);
    QTest::mouseMove(w->viewport(), onScreen(r, w, 0, QStringLiteral("网站")));
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(form->StatusMessage->text(), QStringLiteral("https://example.com/"));
    const TlyrPageItem &p = w->PageList.Items[0];
    QTest::mouseMove(w->viewport(), QPoint(p.Left + 5, p.Top + 5) - QPoint(w->HorzPosition(), w->VertPosition()));
    EXPECT_EQ(w->viewport()->cursor().shape(), Qt::OpenHandCursor);
    EXPECT_TRUE(form->StatusMessage->text().isEmpty());
    EXPECT_EQ(over, (QStringList{"Cross", "Site"}));
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
