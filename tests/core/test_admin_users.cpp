// Users, their menu rights and the password change, driven as a user would.
#include "core/MenuCatalog.h"
#include "core/User.h"
#include "core/login.h"
#include "core/main.h"
#include "keys.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QAction>
#include <QDateEdit>

namespace {

class UserTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        velmora::setTerminateHandler([this] { ++terminated; });
    }
    void TearDown() override
    {
        velmora::setTerminateHandler({});
        ShopDbTest::TearDown();
    }
    static void select(TfrmNameList &w, const QString &name)
    {
        for (int r = 0; r < w.ADOQuery1.RecordCount(); ++r)
            if (w.ADOQuery1.text(r, 0) == name) return w.DBGrid1->selectRow(r);
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    static void add(TfrmUser &w, const QString &name, const QString &remark = {})
    {
        w.BitBtn1Click();
        w.Edit1->setText(name);
        w.Edit2->setText(remark);
        w.BitBtn2Click();
    }
    QString idOf(const QString &name) { return one("select ID from SUser where theName='" + name + "'"); }
    QStringList rightsOf(const QString &id)
    {
        return rows("select MNum from SLevel where UID=" + id + " order by MNum");
    }
    // Opens the rights editor of the selected user from the context menu and lets edit() work in it.
    void editRights(TfrmUser &w, const QString &name, const std::function<void(TfrmLevel &)> &edit)
    {
        select(w, name);
        int shown = 0;
        ui::ScriptedModals modals([&](QDialog *d) {
            auto *level = qobject_cast<TfrmLevel *>(d);
            EXPECT_NE(level, nullptr);
            if (level) {
                ++shown;
                edit(*level);
            }
            return 0;
        });
        w.L1->trigger();
        EXPECT_EQ(shown, 1);
    }
    int terminated = 0;
};

TEST_F(UserTest, NewUserGetsTheDefaultPasswordAndDuplicatesAreRefused)
{
    TfrmUser w;
    EXPECT_EQ(w.windowTitle(), "用户管理");
    EXPECT_EQ(w.GroupBox1->title(), "用户信息");
    EXPECT_EQ(w.Edit1->maxLength(), 12);
    EXPECT_EQ(w.Label3->text(), "新增的用户初始化密码为 270946");
    EXPECT_EQ(w.Label4->text(), "新增的用户，请在用户列表里用鼠标右键设置操作权限");
    QStringList menu;
    for (QAction *a : w.PopupMenu1->actions()) menu << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(menu, QStringList({"权限管理 &L", "-", "启用 &Q", "停用 &T", "-", "删除 &D"}));
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(3));

    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "用户名 不能为空，请重新录入！");
    add(w, "收银甲", "前台");
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 用户信息 保存成功！");
    EXPECT_EQ(rows("select theName,thePass,Remark,theState,theDel from SUser where theName='收银甲'"),
              QStringList{"收银甲|270946|前台|启用|否"});
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 2);
    exec("UPDATE SUser SET theState='停用' WHERE theName='收银甲'");
    add(w, "收银甲");
    EXPECT_EQ(msgs.last(), "用户名 已存在，请重新录入！");
    EXPECT_EQ(count("SUser"), 2);
}

TEST_F(UserTest, TheLoggedInUserCannotBeEnabledDisabledOrDeleted)
{
    TfrmUser w;
    add(w, "乙");
    const QStringList before = snapshot();
    select(w, "admin");
    w.Q1->trigger();
    EXPECT_EQ(msgs.last(), "不能启用当前登录用户名！");
    w.T1->trigger();
    EXPECT_EQ(msgs.last(), "不能停用当前登录用户名！");
    const int shown = msgs.count();
    w.D1->trigger();
    EXPECT_EQ(msgs.last(), "不能删除当前登录用户名！");
    EXPECT_EQ(msgs.count(), shown + 1);  // no question asked
    EXPECT_EQ(snapshot(), before);

    select(w, "乙");
    w.T1->trigger();
    EXPECT_EQ(one("select theState from SUser where theName='乙'"), "停用");
    ui::LookupComboBox users;
    frmDM->DBComUser(&users);
    EXPECT_EQ(users.items(), QStringList{"admin"});
    select(w, "乙");
    w.Q1->trigger();
    EXPECT_EQ(one("select theState from SUser where theName='乙'"), "启用");
    msgs.answer(ui::Answer::No);
    select(w, "乙");
    w.D1->trigger();
    EXPECT_EQ(count("SUser", "theName='乙'"), 1);
    select(w, "乙");
    w.D1->trigger();
    EXPECT_EQ(count("SUser", "theName='乙'"), 0);
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 1);
}

TEST_F(UserTest, ADeletedUsersIdAndRightsAreNeverHandedOn)
{
    EXPECT_TRUE(one("select sql from sqlite_master where name='SUser'").contains("AUTOINCREMENT"));
    TfrmUser w;
    add(w, "甲");
    const QString first = idOf("甲");
    editRights(w, "甲", [](TfrmLevel &l) {
        l.setChecked("000", true);
        l.setChecked("200", true);
        l.BitBtn1Click();
    });
    EXPECT_EQ(rightsOf(first), QStringList({"000", "200"}));
    select(w, "甲");
    w.D1->trigger();
    EXPECT_EQ(count("SUser", "theName='甲'"), 0);
    EXPECT_EQ(count("SLevel", "UID=" + first), 0);

    add(w, "乙");
    const QString second = idOf("乙");
    EXPECT_GT(second.toLongLong(), first.toLongLong());
    EXPECT_TRUE(rightsOf(second).isEmpty());
}

TEST_F(UserTest, AnOlderDatabaseThatReusesIdsAndKeptRightsOfDeletedUsersGivesAFreshId)
{
    // An ID column without AUTOINCREMENT, and rights left behind by a user deleted before.
    c().executeNative("DROP TABLE SUser");
    c().executeNative("CREATE TABLE SUser (ID INTEGER PRIMARY KEY, theName VARCHAR(20), thePass VARCHAR(20), "
                      "Remark VARCHAR(100), theState VARCHAR(4), theDel VARCHAR(2))");
    exec("INSERT INTO SUser (ID,theName,thePass,Remark,theState,theDel) VALUES (1,'admin','270946','','启用','否')");
    exec("DELETE FROM SLevel WHERE UID<>1");
    exec("INSERT INTO SLevel (UID,MNum) VALUES (2,'000')");
    exec("INSERT INTO SLevel (UID,MNum) VALUES (2,'004')");
    TfrmUser w;
    add(w, "新人");
    const QString id = idOf("新人");
    EXPECT_EQ(id, "3");
    EXPECT_TRUE(rightsOf(id).isEmpty());
}

TEST_F(UserTest, RightsEditorShowsTheCatalogueAndSavesExactlyWhatIsChecked)
{
    TfrmUser w;
    add(w, "店员");
    const QString id = idOf("店员");
    // A right written as two characters reads as top 0, item 5, as the login reads it.
    exec("INSERT INTO SLevel (UID,MNum) VALUES (" + id + ",'05')");
    exec("INSERT INTO SLevel (UID,MNum) VALUES (" + id + ",'003')");
    const int catalogue = count("SMenu");
    editRights(w, "店员", [&](TfrmLevel &l) {
        EXPECT_EQ(l.windowTitle(), "店员 的权限设置");
        EXPECT_EQ(l.GroupBox1->title(), "店员 的权限设置");
        EXPECT_EQ(l.Label1->text(), "勾选表示该用户拥有权限");
        EXPECT_EQ(l.Lab_UID->text(), id);
        EXPECT_FALSE(l.Lab_UID->isVisible());
        EXPECT_EQ(l.CheckListBox1->count(), catalogue);
        EXPECT_EQ(l.items().first(), "000&本店设置 ");
        EXPECT_EQ(l.items().at(3), "003&-");
        EXPECT_EQ(l.checkedNumbers(), QStringList({"003", "005"}));
        l.setChecked("003", false);
        l.setChecked("102", true);
        l.setChecked("101", true);  // a separator
        l.BitBtn1Click();
        EXPECT_EQ(msgs.last(), "店员 的权限设置 保存成功！");
        EXPECT_EQ(l.result(), QDialog::Accepted);
    });
    EXPECT_EQ(rightsOf(id), QStringList({"005", "101", "102"}));

    // The login grants them.
    TfrmMain main;
    main.FormCreate();
    TfrmLogin login;
    login.DBLookupComboBox1->setText("店员");
    login.Edit1->setText("270946");
    login.BitBtn1Click();
    EXPECT_TRUE(main.menuItem("005")->isVisible());
    EXPECT_TRUE(main.menuItem("101")->isVisible());
    EXPECT_TRUE(main.menuItem("102")->isVisible());
    EXPECT_FALSE(main.menuItem("000")->isVisible());

    // Nothing checked: no rights at all.
    editRights(w, "店员", [](TfrmLevel &l) {
        for (const QString &n : l.checkedNumbers()) l.setChecked(n, false);
        l.BitBtn1Click();
    });
    EXPECT_TRUE(rightsOf(id).isEmpty());
    // The admin's editor shows every right it holds.
    editRights(w, "admin", [&](TfrmLevel &l) { EXPECT_EQ(l.checkedNumbers().size(), catalogue); });
}

TEST_F(UserTest, PasswordChangeChecksInOrderThenSavesAndEndsTheProgram)
{
    myPass = "270946";
    TfrmCPass w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "修改密码");
    EXPECT_EQ(w.Edit1->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w.Edit3->maxLength(), 20);
    const QStringList before = snapshot();
    w.Edit1->setText("wrong");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "原密码 错误，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit1);
    w.Edit1->setText("270946");
    w.Edit2->setText("270946");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "新密码 与 原密码 一样，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit2);
    w.Edit2->setText("n'ew");
    w.Edit3->setText("new");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "新密码 与 确认密码 不一致，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit3);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(terminated, 0);

    w.Edit3->setText("n'ew");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "密码修改成功！请重新登录！");
    EXPECT_EQ(msgs.shown().back().caption, "信息提示");
    EXPECT_EQ(one("select thePass from SUser where theName='admin'"), "n'ew");
    EXPECT_EQ(myPass, "n'ew");
    EXPECT_EQ(terminated, 1);
}

TEST_F(UserTest, KeysChangeNothing)
{
    {
        TfrmUser w;
        expectKeysChangeNothing(w, [this] { return snapshot(); });
    }
    {
        myPass = "270946";
        TfrmCPass w;
        expectKeysChangeNothing(w, [this] { return snapshot(); });
    }
}

}  // namespace
