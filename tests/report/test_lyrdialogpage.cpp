#include "report/lyrclass.h"
#include "report/lyrdialogpage.h"
#include "drawing_test_helpers.h"

#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(LyrDialogPage, WindowFollowsThePageAndShowsModally)
{
    TlyrReport r;
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    page->SetCaption(QStringLiteral("查询条件"));
    page->SetWidth(320);
    page->SetHeight(180);
    EXPECT_EQ(page->Window()->windowTitle(), QStringLiteral("查询条件"));
    EXPECT_EQ(page->Window()->size(), QSize(320, 180));
    auto *control = new TlyrDialogControl(page);
    control->SetControl(new QLineEdit);
    control->SetBounds(10, 20, 100, 24);
    EXPECT_EQ(control->Control()->parentWidget(), page->Window());
    EXPECT_EQ(control->Control()->geometry(), QRect(10, 20, 100, 24));
    QTimer::singleShot(0, page->Window(), [page] { page->SetModalResult(3); });
    EXPECT_EQ(page->ShowModal(), 3);
    EXPECT_EQ(page->Width(), 320);
}

TEST(LyrDialogPage, CloseQueryAsksTheScript)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    EXPECT_TRUE(page->closeQuery());
    page->OnCloseQuery = QStringLiteral("DialogPage1OnCloseQuery");
    r.SetScriptText({QStringLiteral("procedure DialogPage1OnCloseQuery(Sender: Variant; var CanClose: Boolean);"),
                     QStringLiteral("begin"), QStringLiteral("  CanClose := False;"), QStringLiteral("end;"),
                     QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(r.PrepareScript()) << r.Errors().join(u'\n').toStdString();
    EXPECT_FALSE(page->closeQuery());
}

TEST(LyrDialogPage, RoundTrip)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    page->SetCaption(QStringLiteral("打印条件"));
    page->SetBorderStyle(TlyrDialogPage::bsDialog);
    page->Position = TlyrDialogPage::poDesigned;
    page->SetLeft(40);
    page->OnShow = QStringLiteral("DialogPage1OnShow");
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(r, again);
    EXPECT_TRUE(xml.contains("BorderStyle=\"bsDialog\"")) << xml.toStdString();
    auto *loaded = qobject_cast<TlyrDialogPage *>(again.FindObject(QStringLiteral("DialogPage1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Caption(), QStringLiteral("打印条件"));
    EXPECT_EQ(loaded->Window()->windowTitle(), QStringLiteral("打印条件"));
}

}  // namespace

namespace {

TEST(LyrDialogPage, ControlsOfUnknownClassesAreReportedNotShown)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    loadTemplate(r, QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                               "<TlyrReport><TlyrDialogPage Name=\"DialogPage1\" Caption=\"x\">"
                               "<TlyrEditControl Name=\"Edit1\" Left=\"8\"/></TlyrDialogPage></TlyrReport>"));
    auto *page = qobject_cast<TlyrDialogPage *>(r.FindObject(QStringLiteral("DialogPage1")));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(r.FindObject(QStringLiteral("Edit1")), nullptr);
    ASSERT_FALSE(r.Errors().isEmpty());
    EXPECT_TRUE(r.Errors().join(u'\n').contains(QStringLiteral("TlyrEditControl")))
            << r.Errors().join(u'\n').toStdString();
}

}  // namespace
