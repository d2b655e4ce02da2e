#include "platform/db/db.h"
#include "platform/instance/singleinstance.h"
#include "platform/error.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <memory>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStringListModel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void app()
{
    ASSERT_NE(QApplication::instance(), nullptr);
}

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
    QMetaObject::invokeMethod(
            qApp, [] { throw std::runtime_error("boom"); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
            qApp, [&] { after = true; }, Qt::QueuedConnection);
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
#include "platform/ui/form.h"
#include "platform/ui/keyfilter.h"

#include <QClipboard>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
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
    // A query that goes before its grid (a window's member, freed before the
    // window's base hides it) leaves an empty grid, not a dangling one.
    {
        auto gone = std::make_unique<vdb::Query>(q);
        gone->OpenSql("select theName from G");
        grid.setQuery(gone.get());
        EXPECT_EQ(grid.model()->rowCount(), 3);
    }
    EXPECT_EQ(grid.query(), nullptr);
    EXPECT_EQ(grid.model()->rowCount(), 0);
    EXPECT_FALSE(grid.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).isValid());
    grid.setQuery(&q);
    EXPECT_EQ(grid.model()->rowCount(), 3);
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

TEST(KeyFilter, PastedAndInsertedTextPassesTheSameCheck)
{
    QLineEdit amount, percent;
    ui::installKeyFilter(&amount, ui::KeyFilter::Amount);
    ui::installKeyFilter(&percent, ui::KeyFilter::Percent);
    amount.insert("-50");
    EXPECT_EQ(amount.text(), "");
    QApplication::clipboard()->setText("-4");
    amount.paste();
    EXPECT_EQ(amount.text(), "");
    amount.insert("12.5");
    EXPECT_EQ(amount.text(), "12.5");
    percent.insert("9.5");
    EXPECT_EQ(percent.text(), "");
    // A text the program put there (a negative total) can still be erased.
    amount.setText("-5");
    amount.end(false);
    QTest::keyClick(&amount, Qt::Key_Backspace);
    EXPECT_EQ(amount.text(), "-");
    amount.insert("a");
    EXPECT_EQ(amount.text(), "-");
    EXPECT_EQ(ui::insertedText("12", "1-52"), "-5");
    EXPECT_EQ(ui::insertedText("125", "15"), "");
}

TEST(Messages, ProgramErrorsShowTheirMessageWithTheDetailBehind)
{
    app();
    ui::ScriptedMessages script;
    EXPECT_FALSE(ui::guarded(
            [] { throw velmora::Error("数据库正被其他程序使用，请稍后再试。", "database is locked\nCOMMIT"); }));
    ASSERT_EQ(script.count(), 1);
    EXPECT_EQ(script.last(), "数据库正被其他程序使用，请稍后再试。");
    EXPECT_EQ(script.shown()[0].details, "database is locked\nCOMMIT");
    EXPECT_EQ(script.shown()[0].icon, ui::Icon::Error);

    // A handler connected the one way: what it throws is shown, the next click works.
    QPushButton button;
    int clicks = 0;
    ui::on(&button, &QPushButton::clicked, &button, [&] {
        if (++clicks == 1) throw std::runtime_error("第一次失败");
    });
    button.click();
    button.click();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(script.count(), 2);
    EXPECT_EQ(script.last(), "第一次失败");
}

// A window of two fields and "保存"/"退出", as the entry windows are built.
TEST(Messages, ALongCaptionIsNotCutShort)
{
    app();
    const QString caption = QString("会员分类 金卡 饮料 享受折扣 修改 ").repeated(3);
    int boxWidth = 0, titleWidth = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        boxWidth = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
        box->accept();
    });
    ui::information("好", caption);
    ASSERT_GT(titleWidth, 0);
    // The caption and, beside it, the title bar's own buttons.
    EXPECT_GE(boxWidth, titleWidth + 100);
}

struct TwoFields : ui::Form {
    QPushButton *save = new QPushButton("保存", this);
    QPushButton *quit = new QPushButton("退出", this);
    QLineEdit *first = new QLineEdit(this);
    QLineEdit *second = new QLineEdit(this);
    int saves = 0;
    TwoFields()
    {
        auto *l = new QVBoxLayout(this);
        for (QWidget *w : std::initializer_list<QWidget *>{first, second, save, quit}) l->addWidget(w);
        ui::on(save, &QPushButton::clicked, this, [this] { ++saves; });
        connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    }
};

TEST(Form, EnterPressesOnlyTheNamedDefaultButtonAndEscKeepsTheWindow)
{
    TwoFields w;
    QSignalSpy closed(&w, &QDialog::finished);
    w.show();
    // The buttons come first in tab order; the focus still opens in the first field.
    EXPECT_EQ(w.focusWidget(), w.first);
    EXPECT_FALSE(w.save->autoDefault());
    QTest::keyClick(w.first, Qt::Key_Return);
    QTest::keyClick(w.second, Qt::Key_Enter);
    EXPECT_EQ(w.saves, 0);
    QTest::keyClick(w.first, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(closed.count(), 0);
    // A focused button takes Enter itself.
    w.save->setFocus();
    QTest::keyClick(w.save, Qt::Key_Return);
    EXPECT_EQ(w.saves, 1);

    w.setDefaultButton(w.save);
    QTest::keyClick(w.second, Qt::Key_Return);
    EXPECT_EQ(w.saves, 2);
    w.setEscapeCloses(true);
    QTest::keyClick(w.second, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(closed.count(), 1);
}

TEST(Form, OpensWithTheFocusWhereTheWindowPutsIt)
{
    TwoFields w;
    w.second->setFocus();  // before showing, as an opener does
    w.show();
    EXPECT_EQ(w.focusWidget(), w.second);
    TwoFields named;
    named.first->setEnabled(false);
    named.show();
    EXPECT_EQ(named.focusWidget(), named.second);
}

}  // namespace
