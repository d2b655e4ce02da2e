#include "platform/db/db.h"
#include "platform/instance/singleinstance.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStringListModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void app() { ASSERT_NE(QApplication::instance(), nullptr); }

TEST(Messages, ScriptedAnswersAreRecordedInOrder)
{
    app();
    ui::ScriptedMessages script;
    script.answer(ui::Answer::No);
    EXPECT_FALSE(ui::ask("确认要删除吗？该删除将不可恢复！"));
    EXPECT_TRUE(ui::ask("再问一次"));  // Yes when nothing is queued
    ui::showMessage("保存成功！");
    ASSERT_EQ(script.count(), 3);
    EXPECT_EQ(script.shown()[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(script.shown()[2].caption, ui::appTitle());
    EXPECT_EQ(script.last(), "保存成功！");
}

TEST(Messages, EscapingExceptionsAreShownAndTheProgramGoesOn)
{
    app();
    ui::ScriptedMessages script;
    EXPECT_FALSE(ui::guarded([] { throw vdb::DbError("数据库错误：没有这个表"); }));
    EXPECT_TRUE(ui::guarded([] {}));
    ASSERT_EQ(script.count(), 1);
    EXPECT_EQ(script.last(), "数据库错误：没有这个表");
    EXPECT_EQ(script.shown()[0].icon, ui::Icon::Error);

    // Through the event loop: a throwing slot reaches the application's handler.
    bool after = false;
    QMetaObject::invokeMethod(qApp, [] { throw std::runtime_error("boom"); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(qApp, [&] { after = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    EXPECT_TRUE(after);
    EXPECT_EQ(script.last(), "boom");
}

TEST(LookupCombo, KeepsItsChoiceWhenTheSharedListIsRefreshed)
{
    app();
    QStringListModel model({"现金", "会员卡"});
    ui::LookupComboBox a, b;
    a.setListModel(&model);
    b.setListModel(&model);
    EXPECT_EQ(a.Text(), "");
    a.setText("会员卡");
    EXPECT_EQ(a.Text(), "会员卡");
    model.setStringList({"会员卡", "支票"});
    EXPECT_EQ(a.Text(), "会员卡");
    EXPECT_EQ(b.items(), QStringList({"会员卡", "支票"}));
    model.setStringList({"支票"});
    EXPECT_EQ(a.Text(), "");
}

TEST(SingleInstance, OneHolderAndStaleLocksAreTakenOver)
{
    app();
    QTemporaryDir dir;
    vplatform::SingleInstance first("Member", dir.path());
    ASSERT_TRUE(first.acquire());
    vplatform::SingleInstance second("Member", dir.path());
    EXPECT_FALSE(second.acquire());
    first.release();
    EXPECT_TRUE(second.acquire());
    second.release();

    // A lock file left by a process that no longer runs.
    QProcess p;
    p.start("true");
    ASSERT_TRUE(p.waitForFinished());
    qint64 deadPid = p.processId();
    if (deadPid == 0) deadPid = 999999;
    QFile f(second.lockPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::number(999999) + "\nvelmora\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    f.close();
    vplatform::SingleInstance third("Member", dir.path());
    EXPECT_TRUE(third.acquire());
}

}  // namespace

#include "platform/ui/dbgrid.h"
#include "platform/ui/keyfilter.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

TEST(DBGrid, FollowsTheQueryCursorAndSortsByTitleClicks)
{
    QTemporaryDir dir;
    auto c = vdb::Connection::create(dir.filePath("g.edb"), "k");
    c->execute("CREATE TABLE G (theName VARCHAR(10) WITH COMP, thePrice FLOAT)");
    c->execute("INSERT INTO G VALUES ('乙', 2)");
    c->execute("INSERT INTO G VALUES ('甲', 10)");
    c->execute("INSERT INTO G VALUES ('丙', 1)");
    vdb::Query q(c.get());
    q.OpenSql("select theName as 名称, thePrice as 价格 from G");
    ui::DBGrid grid;
    grid.setQuery(&q);
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "价格");
    grid.selectRow(2);
    EXPECT_EQ(q.value("名称"), "丙");
    grid.sortByColumn(1);
    EXPECT_EQ(q.sort(), "价格 ASC");
    EXPECT_EQ(grid.model()->index(0, 1).data().toString(), "1");
    grid.sortByColumn(1);
    EXPECT_EQ(grid.model()->index(0, 1).data().toString(), "10");
    QSignalSpy enter(&grid, &ui::DBGrid::EnterPressed);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
}

TEST(KeyFilter, NumericFieldsRefuseOtherKeys)
{
    QLineEdit amount, percent;
    ui::installKeyFilter(&amount, ui::KeyFilter::Amount);
    ui::installKeyFilter(&percent, ui::KeyFilter::Percent);
    QTest::keyClicks(&amount, "12a.5-");
    QTest::keyClicks(&percent, "9.5x");
    EXPECT_EQ(amount.text(), "12.5");
    EXPECT_EQ(percent.text(), "95");
    EXPECT_TRUE(ui::keyAllowed(ui::KeyFilter::Date, "2026-03-07"));
    EXPECT_FALSE(ui::keyAllowed(ui::KeyFilter::SignedAmount, "1e3"));
}

}  // namespace
