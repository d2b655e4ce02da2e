#include "core/DateCn.h"
#include "core/Imports.h"
#include "core/MenuCatalog.h"
#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/login.h"
#include "core/main.h"
#include "keys.h"
#include "platform/image/jpeg.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

using ui::Answer;

namespace {

bool *const kAllFlags[] = {&myOpenShop_M, &myOpenMember_M, &myOpenXF_M,  &myOpenCZ_M,  &myOpenDH_M,
                           &myOpenXF_MX,  &myOpenSRTX,     &myOpenM_Q,   &myOpenBB_D,  &myOpenBB_M,
                           &myOpenBB_Y,   &myOpenXF_TJ,    &myOpenJNRTX, &myOpenGYS_M, &myOpenKC,
                           &myOpenJH_M,   &myOpenJH_MX,    &myOpenTH_M,  &myOpenTH_MX, &myOpenXF_SKQ};

// Counts what a registered opener made.
struct Probe {
    int made = 0;
    QList<QPointer<QWidget>> windows;
    bool alive() const { return !windows.isEmpty() && !windows.back().isNull(); }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/";
        dm.openDatabase(dir.filePath("Data/db.edb"), true);
        for (bool *f : kAllFlags) *f = false;
        // The member list's row as the members folder registers it.
        velmora::registerWindow({"103", velmora::OwnItem, &myOpenMember_M, {}, {}});
        // The goods and stock lists' rows as the sales folder registers them.
        velmora::registerWindow({"503", 0, &myOpenShop_M, {}, {}});
        velmora::registerWindow({"506", velmora::Stock, &myOpenKC, {}, {}});
        myUser = myPass = myLoginDate = myNLDate = QString();
        velmora::setTerminateHandler([this] { ++terminated; });
        velmora::setUrlOpener([this](const QUrl &u) {
            urls << u;
            return true;
        });
        main = std::make_unique<TfrmMain>();
        main->myFolder = folder;
        main->PlayReminder = [this](const QString &path) {
            sounds << path;
            return true;
        };
        main->FormCreate();
        login = std::make_unique<TfrmLogin>();
    }
    void TearDown() override
    {
        login.reset();
        main.reset();
        flushDeletes();
        for (const QString &k : registered) velmora::unregisterOpener(k);
        velmora::registerBirthdayReminder({});
        velmora::registerAnniversaryReminder({});
        velmora::setTerminateHandler({});
        velmora::setUrlOpener({});
    }

    vdb::Connection &c() { return *dm.ADOConnection1(); }
    void exec(const QString &sql) { c().execute(sql); }

    // A user with the given rights, offered in the login list.
    void addUser(const QString &name, const QString &pass, const QStringList &rights, const QString &state = "启用")
    {
        exec("INSERT INTO SUser (theName,thePass,Remark,theState,theDel) VALUES (" + vdb::sqlQuote(name) + "," +
             vdb::sqlQuote(pass) + ",''," + vdb::sqlQuote(state) + ",'否')");
        const QString id = QString::number(c().lastInsertId());
        for (const QString &r : rights) exec("INSERT INTO SLevel (UID, MNum) VALUES (" + id + ",'" + r + "')");
        frmDM->DBComUser(login->DBLookupComboBox1);
    }
    void loginAs(const QString &name, const QString &pass, const QDate &date = QDate(2026, 3, 7))
    {
        login->DBLookupComboBox1->setText(name);
        login->Edit1->setText(pass);
        login->DateTimePicker1->setDate(date);
        login->BitBtn1Click();
    }
    // The opener of a key whose row is registered (or pending); conditions
    // given: the whole row, as the window's folder registers it.
    void reg(const QString &key, Probe &p, bool dialog = false, unsigned conditions = 0)
    {
        registered << key;
        if (conditions) velmora::registerWindow({key, conditions, nullptr, {}, {}});
        velmora::registerOpener(key, [&p, dialog](TfrmMain *m) -> QWidget * {
            ++p.made;
            QWidget *w;
            if (dialog) {
                auto *d = new QDialog(m);
                QTimer::singleShot(0, d, &QDialog::accept);
                w = d;
            } else {
                w = new QWidget;
            }
            p.windows << w;
            return w;
        });
    }
    QStringList visibleItems(int top) const
    {
        QStringList out;
        const auto actions = main->topMenu(top)->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (actions[i]->isVisible()) out << velmora::menuNumber(top, i);
        return out;
    }
    void addMember(const QString &card, const QString &bir, const QString &nlBir, const QString &del = "否")
    {
        exec("INSERT INTO Member (theNum,theName,theBir,NLBir,theDate,theDel,theType,theZK,theJFBL,theXF,theCZ,theJF,"
             "UseCount,UseDate) VALUES ('" +
             card + "','会员','" + bir + "','" + nlBir + "','2020-01-01','" + del +
             "','普通会员',100,1,0,0,0,0,'1900-01-01')");
    }
    void writeFile(const QString &name, const QByteArray &data)
    {
        QDir(folder).mkpath(QFileInfo(folder + name).path());
        QFile f(folder + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    QTemporaryDir dir;
    QString folder;
    TfrmDM dm;
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<TfrmLogin> login;
    ui::ScriptedMessages msgs;
    int terminated = 0;
    QList<QUrl> urls;
    QStringList sounds;
    QStringList registered;
};

// ------------------------------------------------------------------ login

TEST_F(Shell, LoginWindowOffersEnabledUsersAndStartsOnToday)
{
    addUser("停用的人", "1", {}, "停用");
    addUser("mary", "Secret", {});
    EXPECT_EQ(login->windowTitle(), "软件登录");
    EXPECT_EQ(login->GroupBox1->title(), "软件登录");
    EXPECT_EQ(login->DBLookupComboBox1->items(), QStringList({"admin", "mary"}));
    EXPECT_EQ(login->DBLookupComboBox1->Text(), "");
    EXPECT_EQ(login->DateTimePicker1->date(), QDate::currentDate());
    EXPECT_EQ(login->Edit1->maxLength(), 20);
    EXPECT_EQ(login->Edit1->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(login->BitBtn1->isDefault());
    EXPECT_FALSE(login->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(login->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Tab goes round the fields and buttons; the page above them only shows.
    expectTabChain(*login,
                   {login->DBLookupComboBox1, login->Edit1, login->DateTimePicker1, login->BitBtn1, login->BitBtn2});
    // The business date is one stop, entered from either side.
    EXPECT_EQ(expectDateBoxesAreOneStop(*login), 1);
}

TEST_F(Shell, LoginPageIsTheProgramsOwnLocalPage)
{
    const QString shipped = QStringLiteral(VELMORA_SOURCE_DIR "/resources/help/login.html");
    ASSERT_TRUE(QFileInfo::exists(shipped));
    writeFile("help/login.html", [&] {
        QFile f(shipped);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
    TfrmLogin second;
    EXPECT_TRUE(second.WebBrowser1->source().isLocalFile());
    EXPECT_TRUE(second.WebBrowser1->toPlainText().contains("Velmora会员管理软件"));
    // Without the page the control stays empty rather than going anywhere.
    EXPECT_TRUE(login->WebBrowser1->source().isEmpty());
}

TEST_F(Shell, LoginWithoutUserOrWithWrongPasswordChangesNothing)
{
    myUser = "before";
    myLoginDate = "2000-01-01";
    login->show();
    loginAs("", "270946");
    EXPECT_EQ(msgs.last(), "用户名 不能为空，请选择 用户名！");

    for (const QString &wrong : {QString("27094"), QString("2709460"), QString(""), QString(" 270946")}) {
        msgs.clear();
        loginAs("admin", wrong);
        EXPECT_EQ(msgs.last(), "密码错误，请重新录入密码！") << wrong.toStdString();
    }
    // A business date the lunar calendar does not cover (a mistyped year).
    for (const QDate &bad : {QDate(2709, 4, 6), QDate(2051, 1, 1), QDate(1900, 12, 31)}) {
        loginAs("admin", "270946", bad);
        EXPECT_EQ(msgs.last(), "“" + bad.toString("yyyy-MM-dd") + "” 不是有效的日期，请重新录入！");
        EXPECT_EQ(login->focusWidget(), login->DateTimePicker1);
    }
    EXPECT_EQ(myUser, "before");
    EXPECT_EQ(myLoginDate, "2000-01-01");
    EXPECT_TRUE(myPass.isEmpty());
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(login->isVisible());
    EXPECT_FALSE(main->topMenu(1)->menuAction()->isVisible());
}

TEST_F(Shell, QuotesAndSqlInPasswordOrNameNeverLogIn)
{
    addUser("O'Brien", "it's", {"000"});
    addUser("x' OR '1'='1", "pw", {});
    const quint64 before = c().statementCount();
    for (const QString &attack :
         {QString("' OR '1'='1"), QString("' OR 1=1 --"), QString("270946' OR 'a'='a"), QString("\\' OR 1=1 /*"),
          QString("'; DELETE FROM SUser; --"), QString("%"), QString("it''s")}) {
        msgs.clear();
        loginAs("admin", attack);
        EXPECT_EQ(msgs.last(), "密码错误，请重新录入密码！") << attack.toStdString();
        loginAs("x' OR '1'='1", attack);
        EXPECT_EQ(msgs.last(), "密码错误，请重新录入密码！") << attack.toStdString();
    }
    EXPECT_EQ(c().statementCount(), before);
    EXPECT_TRUE(myUser.isEmpty());
    // Quotes in a real name and password are just text.
    loginAs("O'Brien", "it's");
    EXPECT_EQ(myUser, "O'Brien");
    EXPECT_TRUE(main->menuItem("000")->isVisible());
}

TEST_F(Shell, PasswordsAreCaseSensitive)
{
    addUser("mary", "Secret", {});
    loginAs("mary", "secret");
    EXPECT_EQ(msgs.last(), "密码错误，请重新录入密码！");
    loginAs("mary", "Secret");
    EXPECT_EQ(myUser, "mary");
}

TEST_F(Shell, SuccessfulLoginFillsStateShowsMainAndGrantsEveryRightOfAdmin)
{
    login->show();
    loginAs("admin", "270946", QDate(2026, 3, 7));
    EXPECT_EQ(msgs.count(), 0);
    EXPECT_EQ(myUser, "admin");
    EXPECT_EQ(myPass, "270946");
    EXPECT_EQ(myLoginDate, "2026-03-07");
    EXPECT_FALSE(login->isVisible());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->isMaximized());
    EXPECT_EQ(main->panelText(4), "admin");
    const auto &tops = velmora::numberedMenus();
    for (int t = 0; t < int(tops.size()); ++t) {
        EXPECT_TRUE(main->topMenu(t)->menuAction()->isVisible()) << t;
        EXPECT_EQ(visibleItems(t).size(), tops[size_t(t)].items.size()) << t;
    }
}

TEST_F(Shell, UserWithoutRightsSeesOnlyExitAndHelp)
{
    addUser("nobody", "1", {});
    loginAs("nobody", "1");
    ASSERT_EQ(myUser, "nobody");
    EXPECT_TRUE(main->topMenu(0)->menuAction()->isVisible());
    EXPECT_EQ(visibleItems(0), QStringList({"014"}));
    EXPECT_EQ(main->menuItem("014")->text(), "退出 &X");
    for (int t = 1; t < 7; ++t) EXPECT_FALSE(main->topMenu(t)->menuAction()->isVisible()) << t;
    EXPECT_TRUE(main->helpMenu()->menuAction()->isVisible());
    for (QAction *a : main->helpMenu()->actions()) EXPECT_TRUE(a->isVisible());
}

TEST_F(Shell, GrantedSeparatorShowsAndAnUngrantedOneStaysHidden)
{
    addUser("clerk", "1", {"000", "003", "004", "007", "103", "102"});
    loginAs("clerk", "1");
    EXPECT_EQ(visibleItems(0), QStringList({"000", "003", "004", "007", "014"}));
    EXPECT_TRUE(main->menuItem("003")->isSeparator());
    EXPECT_FALSE(main->menuItem("006")->isVisible());
    EXPECT_FALSE(main->topMenu(0)->separatorsCollapsible());
    EXPECT_EQ(visibleItems(1), QStringList({"102", "103"}));
    EXPECT_TRUE(main->topMenu(1)->menuAction()->isVisible());
    EXPECT_FALSE(main->topMenu(2)->menuAction()->isVisible());
}

TEST_F(Shell, RightsThatAddressNoItemGrantNothing)
{
    addUser("odd", "1", {"099", "7", "900", "5x", "", "05"});
    loginAs("odd", "1");
    ASSERT_EQ(myUser, "odd");
    // "05" is top 0, item 5.
    EXPECT_EQ(visibleItems(0), QStringList({"005", "014"}));
    for (int t = 1; t < 7; ++t) EXPECT_FALSE(main->topMenu(t)->menuAction()->isVisible()) << t;
}

TEST_F(Shell, ClosingTheLoginWindowEndsTheProgram)
{
    login->show();
    login->BitBtn2Click();
    EXPECT_EQ(terminated, 1);
    login->show();
    login->close();  // the title bar's box
    EXPECT_EQ(terminated, 2);
    EXPECT_FALSE(login->isVisible());
}

TEST_F(Shell, LoginKeysEnterLogsInFromAnyFieldEscDoesNothing)
{
    ui::ScriptedMessages script;
    login->show();
    QTest::keyClick(login->Edit1, Qt::Key_Escape);
    EXPECT_EQ(terminated, 0);
    EXPECT_TRUE(login->isVisible());
    // Enter in the password field presses the default button "登录".
    EXPECT_EQ(login->defaultButton(), login->BitBtn1);
    EXPECT_FALSE(login->BitBtn2->autoDefault());
    login->DBLookupComboBox1->clearChoice();
    QTest::keyClick(login->Edit1, Qt::Key_Return);
    EXPECT_EQ(script.last(), "用户名 不能为空，请选择 用户名！");
}

// ------------------------------------------------------------------ main window

TEST_F(Shell, MenuBarFollowsTheCatalogueAndUpMenuRebuildsItUnchanged)
{
    const auto &tops = velmora::numberedMenus();
    QList<QAction *> bar = main->menuBar()->actions();
    ASSERT_EQ(bar.size(), int(tops.size()) + 1);
    for (int t = 0; t < int(tops.size()); ++t) {
        EXPECT_EQ(bar[t]->text(), tops[size_t(t)].caption);
        QStringList items;
        for (QAction *a : main->topMenu(t)->actions()) items << (a->isSeparator() ? "-" : a->text());
        EXPECT_EQ(items, tops[size_t(t)].items) << t;
    }
    EXPECT_EQ(bar.last()->text(), "帮助【&H】");
    QStringList help;
    for (QAction *a : main->helpMenu()->actions()) help << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(help, QStringList({"帮助 &H", "-", "Velmora网站 &W", "-", "关于... &A"}));

    auto catalogue = [&] {
        vdb::Query q(&c());
        q.OpenSql("select MNum, MName from SMenu order by MNum");
        QStringList rows;
        for (; !q.Eof(); q.Next()) rows << q.value("MNum") + "|" + q.value("MName");
        return rows;
    };
    const QStringList seeded = catalogue();
    exec("Delete From SMenu");
    main->UpMenu();
    EXPECT_EQ(catalogue(), seeded);
    EXPECT_EQ(seeded.size(), 61);
}

TEST_F(Shell, ToolbarAndStatusBarLayout)
{
    QStringList captions;
    for (QToolButton *b : main->ToolButtons) {
        captions << b->text();
        EXPECT_GE(b->minimumWidth(), 60);
    }
    EXPECT_EQ(captions, QStringList({"消费录入", "会员录入", "会员查询", "生日提醒", "会员清零", "会员换卡", "储值录入",
                                     "兑换录入", "商品录入", "日报表", "帮助", "退出"}));
    EXPECT_EQ(main->windowTitle(), "Velmora会员管理软件");
    EXPECT_EQ(main->panelText(0), "Velmora会员管理软件");
    EXPECT_EQ(main->panelText(1), "营业日期：");
    EXPECT_EQ(main->panelText(3), "当前用户：");
    EXPECT_EQ(main->Panels[1]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(main->Panels[2]->minimumWidth(), 200);
}

TEST_F(Shell, StatusBarShowsBusinessDateLunarDateAndWeekday)
{
    // Lunar new year 2020 fell on Saturday 25 January; 1 January 2001 was a
    // Monday, lunar 12-07.
    EXPECT_EQ(TfrmMain::dateLine("2020-01-25"), "2020-01-25  正月初一  星期六");
    EXPECT_EQ(TfrmMain::dateLine("2001-01-01"), "2001-01-01  腊月初七  星期一");
    EXPECT_EQ(TfrmMain::dateLine("2024-02-11"), "2024-02-11  正月初二  星期日");
    loginAs("admin", "270946", QDate(2020, 1, 25));
    EXPECT_EQ(main->panelText(2), "2020-01-25  正月初一  星期六");
    EXPECT_EQ(myNLDate, "01-01");
}

TEST_F(Shell, ToolbarButtonWithoutItsMenuItemDoesNothing)
{
    Probe sale, members;
    reg("200", sale, true, velmora::OwnItem);
    reg("103", members);
    addUser("clerk", "1", {"103"});
    loginAs("clerk", "1");
    main->toolButton("消费录入")->click();
    EXPECT_EQ(sale.made, 0);
    main->toolButton("会员查询")->click();
    EXPECT_EQ(members.made, 1);
    EXPECT_TRUE(myOpenMember_M);

    // Granted later: the same button opens the modal window.
    main->applyRight("200");
    main->toolButton("消费录入")->click();
    EXPECT_EQ(sale.made, 1);
    // Opening the modal window closed the member list first.
    flushDeletes();
    EXPECT_FALSE(myOpenMember_M);
    EXPECT_FALSE(members.alive());
}

TEST_F(Shell, OpeningAListWindowClosesTheOpenOneButNotTheReminders)
{
    Probe members, goods, background, reminder;
    reg("103", members);
    reg("503", goods);
    reg("012", background, true, velmora::NoClose);
    velmora::registerBirthdayReminder([&](TfrmMain *m, const QString &) {
        auto *w = new QWidget;
        reminder.windows << w;
        m->showMdiChild(w, nullptr);
    });
    addMember("00000001", "1990-03-07", "");
    loginAs("admin", "270946", QDate(2026, 3, 7));
    ASSERT_TRUE(reminder.alive());

    main->menuItem("103")->trigger();
    ASSERT_TRUE(members.alive());
    EXPECT_TRUE(myOpenMember_M);
    EXPECT_EQ(main->openWindow(&myOpenMember_M), members.windows.back().data());

    // "更改背景" does not close the list.
    main->menuItem("012")->trigger();
    EXPECT_EQ(background.made, 1);
    flushDeletes();
    EXPECT_TRUE(members.alive());

    main->menuItem("503")->trigger();
    flushDeletes();
    EXPECT_FALSE(members.alive());
    EXPECT_FALSE(myOpenMember_M);
    EXPECT_TRUE(myOpenShop_M);
    EXPECT_TRUE(goods.alive());
    EXPECT_TRUE(reminder.alive());

    // Closing a list window by itself clears its flag.
    goods.windows.back()->parentWidget()->close();
    flushDeletes();
    EXPECT_FALSE(goods.alive());
    EXPECT_FALSE(myOpenShop_M);
    EXPECT_EQ(main->openWindow(&myOpenShop_M), nullptr);

    // Opening the same list again replaces the open one, and the flag stays.
    main->menuItem("103")->trigger();
    main->menuItem("103")->trigger();
    flushDeletes();
    EXPECT_EQ(members.made, 3);
    EXPECT_TRUE(myOpenMember_M);
    EXPECT_EQ(main->Image1->subWindowList().size(), 2);  // the reminder and one list
}

TEST_F(Shell, StockItemsNeedTheStockSwitchAndBackupNeedsTheStandaloneEdition)
{
    Probe stock, backup, members;
    reg("506", stock);
    reg("009", backup, true, velmora::Standalone);
    reg("103", members);
    loginAs("admin", "270946");
    main->menuItem("103")->trigger();

    myDeptKC = "False";
    main->menuItem("506")->trigger();
    EXPECT_EQ(msgs.last(), "请到 文件 菜单 里 本店信息 里 设置 启用商品库存！");
    EXPECT_EQ(stock.made, 0);
    flushDeletes();
    EXPECT_TRUE(members.alive());  // the test comes before closing

    myDeptKC = "True";
    main->menuItem("506")->trigger();
    EXPECT_EQ(stock.made, 1);
    EXPECT_TRUE(myOpenKC);

    myEdition = "网络版";
    main->menuItem("009")->trigger();
    EXPECT_EQ(backup.made, 0);
    myEdition = "单机版";
    main->menuItem("009")->trigger();
    EXPECT_EQ(backup.made, 1);
}

TEST_F(Shell, ItemWithoutAWindowYetDoesNothingAndIsGreyed)
{
    Probe members;
    reg("103", members);
    loginAs("admin", "270946");
    main->menuItem("103")->trigger();
    const int shown = msgs.count();
    main->menuItem("201")->trigger();  // no sale list in this build
    flushDeletes();
    EXPECT_TRUE(members.alive());
    EXPECT_EQ(msgs.count(), shown);
    emit main->topMenu(2)->aboutToShow();
    EXPECT_FALSE(main->menuItem("201")->isEnabled());
    emit main->topMenu(1)->aboutToShow();
    EXPECT_TRUE(main->menuItem("103")->isEnabled());
    emit main->topMenu(0)->aboutToShow();
    EXPECT_TRUE(main->menuItem("014")->isEnabled());
}

TEST_F(Shell, HelpItemsOpenTheShippedHelpPage)
{
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral(VELMORA_SOURCE_DIR "/resources/help/index.html")));
    Probe members;
    reg("103", members);
    loginAs("admin", "270946");
    main->menuItem("103")->trigger();
    main->helpItem("帮助 &H")->trigger();
    main->helpItem("Velmora网站 &W")->trigger();
    main->toolButton("帮助")->click();
    ASSERT_EQ(urls.size(), 3);
    for (const QUrl &u : urls) EXPECT_EQ(u, QUrl::fromLocalFile(folder + "help/index.html"));
    flushDeletes();
    EXPECT_TRUE(members.alive());  // help does not close the list
}

TEST_F(Shell, ToolbarButtonsOfMissingWindowsAreDisabledAndHelpWithoutBrowserSaysSo)
{
    Probe sale;
    reg("200", sale, true);
    loginAs("admin", "270946");
    EXPECT_TRUE(main->toolButton("消费录入")->isEnabled());
    for (const char *missing : {"储值录入", "兑换录入", "日报表"})
        EXPECT_FALSE(main->toolButton(QString::fromUtf8(missing))->isEnabled()) << missing;
    EXPECT_TRUE(main->toolButton("帮助")->isEnabled());
    EXPECT_TRUE(main->toolButton("退出")->isEnabled());

    velmora::setUrlOpener([](const QUrl &) { return false; });
    const int shown = msgs.count();
    main->toolButton("帮助")->click();
    ASSERT_EQ(msgs.count(), shown + 1);
    EXPECT_TRUE(msgs.last().contains("浏览器"));
    EXPECT_TRUE(msgs.last().contains("index.html"));
}

TEST_F(Shell, ImportWindowKeepsItsButtonsOffEnterAndStaysOpenOnEsc)
{
    TfrmIn_M w;
    w.show();
    for (QPushButton *b : w.findChildren<QPushButton *>()) EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    QTest::keyClick(w.DBGrid1, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Shell, ExitAsksAndNoKeepsTheProgramRunning)
{
    loginAs("admin", "270946");
    msgs.answer(Answer::No);
    main->menuItem("014")->trigger();
    ASSERT_EQ(msgs.count(), 1);
    EXPECT_EQ(msgs.last(), "确认要退出 Velmora会员管理软件 吗？  ^_^  ");
    EXPECT_EQ(msgs.shown().back().caption, "确认退出");
    EXPECT_EQ(msgs.shown().back().buttons, ui::Buttons::YesNo);
    EXPECT_EQ(msgs.shown().back().icon, ui::Icon::Question);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(terminated, 0);

    msgs.answer(Answer::No);
    main->close();  // the title bar's close button
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(terminated, 0);

    msgs.answer(Answer::Yes);
    main->toolButton("退出")->click();
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(msgs.count(), 3);
}

TEST_F(Shell, FormShowCountsBirthdaysSolarAndLunarAndAnniversaries)
{
    const QString nl = myNL5("2026-03-07");
    ASSERT_EQ(nl.size(), 5);
    addMember("A1", "1990-03-07", "");            // solar birthday today
    addMember("A2", "1985-07-30", "1985-" + nl);  // lunar birthday today
    addMember("A3", "1990-03-07", "", "是");      // deleted
    addMember("A4", "1990-03-08", "1990-01-01");  // not today
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('A4','结婚纪念日','2010-03-07','')");
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('A3','开业','2010-03-07','')");
    QStringList wheres;
    int anniversaries = 0;
    velmora::registerBirthdayReminder([&](TfrmMain *, const QString &w) { wheres << w; });
    velmora::registerAnniversaryReminder([&](TfrmMain *) { ++anniversaries; });
    writeFile("Music/1.mp3", QByteArray(64, 'x'));

    loginAs("admin", "270946", QDate(2026, 3, 7));
    EXPECT_EQ(main->BirthdayCount, 2);
    EXPECT_EQ(main->AnniversaryCount, 1);
    ASSERT_EQ(wheres.size(), 1);
    EXPECT_EQ(wheres[0], "AND ((Mid(theBir,6,5)='03-07') OR (Mid(NLBir,6,5)='" + nl + "'))");
    EXPECT_EQ(anniversaries, 1);
    EXPECT_EQ(sounds, QStringList({folder + "Music/1.mp3"}));
    EXPECT_TRUE(main->SoundStarted);
}

TEST_F(Shell, NoReminderNoSoundAndAMissingSoundIsSkipped)
{
    int hooks = 0;
    velmora::registerBirthdayReminder([&](TfrmMain *, const QString &) { ++hooks; });
    velmora::registerAnniversaryReminder([&](TfrmMain *) { ++hooks; });
    writeFile("Music/1.mp3", QByteArray(64, 'x'));
    addMember("B1", "1990-05-01", "");
    loginAs("admin", "270946", QDate(2026, 3, 7));
    EXPECT_EQ(main->BirthdayCount + main->AnniversaryCount, 0);
    EXPECT_EQ(hooks, 0);
    EXPECT_TRUE(sounds.isEmpty());

    // The main window shown again on a business date.
    auto shownOn = [&](const QString &date) {
        myLoginDate = date;
        auto m = std::make_unique<TfrmMain>();
        m->myFolder = folder;
        m->PlayReminder = main->PlayReminder;
        m->applyRight("106");
        m->applyRight("107");
        m->FormShow();
        return m;
    };
    // A business date without a lunar date matches no member by an empty
    // lunar birthday: B1 has none, and no solar birthday on 01-01 either.
    EXPECT_EQ(shownOn("2051-01-01")->BirthdayCount, 0);
    EXPECT_EQ(hooks, 0);
    EXPECT_TRUE(sounds.isEmpty());

    // A birthday but no sound file: the reminder opens, nothing plays.
    QFile::remove(folder + "Music/1.mp3");
    addMember("B2", "1990-03-07", "");
    const auto second = shownOn("2026-03-07");
    EXPECT_EQ(second->BirthdayCount, 1);
    EXPECT_EQ(hooks, 1);
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_FALSE(second->SoundStarted);
}

TEST_F(Shell, BackgroundPictureFromBjJpgAndABrokenOneIsSkipped)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 30));
    writeFile("bj.jpg", vplatform::encodeJpeg(picture));
    loginAs("admin", "270946");
    ASSERT_FALSE(main->Image1->builtIn());
    EXPECT_EQ(main->Image1->picture().size(), QSize(40, 30));
    EXPECT_GT(qRed(main->Image1->picture().pixel(20, 15)), 170);
    // It fills the client area when drawn.
    const QImage drawn = main->Image1->viewport()->grab().toImage();
    EXPECT_GT(qRed(drawn.pixel(drawn.width() - 2, drawn.height() - 2)), 170);

    writeFile("bj.jpg", QByteArray("\xff\xd8\xff\xe0 broken", 12));
    TfrmMain second;
    second.myFolder = folder;
    second.FormShow();
    EXPECT_TRUE(second.Image1->builtIn());
}

TEST_F(Shell, BuiltInBackgroundIsDrawnAtAnySize)
{
    for (const QSize s : {QSize(1024, 600), QSize(300, 200), QSize(0, 0)}) {
        const QImage img = TBackground::builtInPicture(s);
        ASSERT_FALSE(img.isNull());
        // Not one flat colour: there is a picture.
        EXPECT_NE(img.pixel(1, 1), img.pixel(img.width() - 2, img.height() - 2));
    }
}

TEST_F(Shell, BuiltInBackgroundTitleIsWholeInATallWindow)
{
    // The title sits in a band a third of the way down, five ninths wide; a
    // glyph cut at the band's right edge leaves white ink on its last column.
    for (const QSize s : {QSize(1280, 986), QSize(1000, 1000), QSize(1024, 600)}) {
        const QImage img = TBackground::builtInPicture(s);
        const QRect head(s.width() / 14, s.height() / 3, s.width() * 5 / 9, s.height() / 6);
        int rightmost = -1;
        for (int y = head.top(); y <= head.bottom(); ++y)
            for (int x = head.left(); x < s.width() / 2 + head.width(); ++x)
                if (qRed(img.pixel(x, y)) > 235 && qGreen(img.pixel(x, y)) > 235 && qBlue(img.pixel(x, y)) > 235)
                    rightmost = qMax(rightmost, x);
        EXPECT_GT(rightmost, head.left() + head.width() / 3) << s.width() << "x" << s.height();
        EXPECT_LT(rightmost, head.right() - 1) << s.width() << "x" << s.height();
    }
}

}  // namespace

namespace {

TEST_F(Shell, ListWindowThatFreesItselfTakesItsFrameAndFlagWithIt)
{
    Probe members;
    reg("103", members);
    loginAs("admin", "270946");
    main->menuItem("103")->trigger();
    ASSERT_TRUE(members.alive());
    QPointer<QWidget> frame = members.windows.back()->parentWidget();
    members.windows.back()->setAttribute(Qt::WA_DeleteOnClose);
    members.windows.back()->close();  // its own "退出" button
    flushDeletes();
    flushDeletes();
    EXPECT_FALSE(members.alive());
    EXPECT_TRUE(frame.isNull());
    EXPECT_FALSE(myOpenMember_M);
    EXPECT_TRUE(main->Image1->subWindowList().isEmpty());
}

}  // namespace

namespace {

// The real ending: the event loop of the program returns.
TEST_F(Shell, LoginCloseAndExitYesEndTheRunningEventLoop)
{
    velmora::setTerminateHandler({});
    // Only ends a loop that would never end: far past any busy machine, and
    // before the test's own time runs out.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    constexpr int kHung = 300000;

    login->show();
    QTimer::singleShot(0, login.get(), [this] { login->BitBtn2Click(); });
    watchdog.start(kHung);
    EXPECT_EQ(QApplication::exec(), 0);

    loginAs("admin", "270946");
    msgs.answer(Answer::Yes);
    QTimer::singleShot(0, main.get(), [this] { main->menuItem("014")->trigger(); });
    watchdog.start(kHung);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(main->isVisible());
}

}  // namespace

// The start-up reminders list members with their phones, addresses and
// balances: each opens only for a user who holds its own right (106 生日提醒,
// 107 纪念日提醒), and the sound goes with a reminder shown.
TEST_F(Shell, StartUpRemindersOpenOnlyForTheirRights)
{
    addMember("R1", "1990-03-07", "");
    addMember("R2", "1991-05-05", "");
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('R2','结婚纪念日','2010-03-07','')");
    writeFile("Music/1.mp3", QByteArray(64, 'x'));
    QStringList opened;
    velmora::registerBirthdayReminder([&](TfrmMain *, const QString &) { opened << "106"; });
    velmora::registerAnniversaryReminder([&](TfrmMain *) { opened << "107"; });
    addUser("新手", "1", {});
    addUser("生日", "1", {"106"});
    addUser("纪念", "1", {"107"});

    loginAs("新手", "1");
    EXPECT_EQ(main->BirthdayCount, 1);
    EXPECT_EQ(main->AnniversaryCount, 1);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_FALSE(main->SoundStarted);

    for (const QString &user : {QString("生日"), QString("纪念")}) {
        main.reset();
        login.reset();
        opened.clear();
        main = std::make_unique<TfrmMain>();
        main->myFolder = folder;
        main->PlayReminder = [this](const QString &path) {
            sounds << path;
            return true;
        };
        main->FormCreate();
        login = std::make_unique<TfrmLogin>();
        frmDM->DBComUser(login->DBLookupComboBox1);
        sounds.clear();
        loginAs(user, "1");
        EXPECT_EQ(opened, QStringList{user == "生日" ? "106" : "107"}) << user.toStdString();
        EXPECT_EQ(sounds.size(), 1) << user.toStdString();
    }
}
