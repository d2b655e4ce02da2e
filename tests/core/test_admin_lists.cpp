// Employees, payment methods and sexes, driven as a user would, from the
// main menu of a fresh install.
#include "core/MenuOpeners.h"
#include "core/NameLists.h"
#include "core/Register.h"
#include "core/main.h"
#include "keys.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QAction>

namespace {

class AdminListTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        core::registerWindows();
    }
    // Selects the grid row whose first column holds the name.
    static void select(TfrmNameList &w, const QString &name)
    {
        for (int r = 0; r < w.ADOQuery1.RecordCount(); ++r)
            if (w.ADOQuery1.text(r, 0) == name) return w.DBGrid1->selectRow(r);
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    static QStringList column(const TfrmNameList &w, int col)
    {
        QStringList out;
        for (int r = 0; r < w.ADOQuery1.RecordCount(); ++r) out << w.ADOQuery1.text(r, col);
        return out;
    }
    static void add(TfrmNameList &w, const QString &name, const QString &remark = {})
    {
        w.BitBtn1Click();
        w.Edit1->setText(name);
        w.Edit2->setText(remark);
        w.BitBtn2Click();
    }
};

TEST_F(AdminListTest, FreshInstallEntersItsFirstEmployeeFromTheMenuAndTheCashierListOffersIt)
{
    TfrmMain main;
    main.FormCreate();
    ui::LookupComboBox cashier;
    frmDM->DBComSWorker(&cashier);
    EXPECT_TRUE(cashier.items().isEmpty());

    int opened = 0;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *w = qobject_cast<TfrmWorker *>(d);
        EXPECT_NE(w, nullptr);
        if (!w) return 0;
        ++opened;
        EXPECT_EQ(w->windowTitle(), "员工管理");
        EXPECT_EQ(w->GroupBox1->title(), "员工信息");
        EXPECT_EQ(w->Label1->text(), "员工姓名：");
        EXPECT_EQ(w->Edit1->maxLength(), 12);
        EXPECT_EQ(w->Edit2->maxLength(), 50);
        EXPECT_EQ(w->focusWidget(), w->Edit1);  // on showing
        add(*w, "  王小明 ", "收银");
        EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 员工信息 保存成功！");
        w->BitBtn3->click();
        return 0;
    });
    main.applyRight("005");
    emit main.topMenu(0)->aboutToShow();
    EXPECT_TRUE(main.menuItem("005")->isEnabled());
    main.menuItem("005")->trigger();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(rows("select theName,Remark,theState from SWorker"), QStringList{"王小明|收银|启用"});
    frmDM->DBComSWorker(&cashier);
    EXPECT_EQ(cashier.items(), QStringList{"王小明"});
}

TEST_F(AdminListTest, EmployeeChecksListAndStates)
{
    TfrmWorker w;
    EXPECT_EQ(w.ADOQuery1.FieldNames(), QStringList({"员工姓名", "备注", "状态", "ID"}));
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(3));
    const auto before = c().statementCount();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "员工姓名 不能为空，请重新录入！");
    w.Edit1->setText("   ");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "员工姓名 不能为空，请重新录入！");
    EXPECT_EQ(c().statementCount(), before);

    add(w, "O'Neil", "it's");
    add(w, "李四");
    EXPECT_EQ(column(w, 0), QStringList({"O'Neil", "李四"}));
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    // "新增" only moves the focus; what was typed stays.
    w.Edit1->setText("李四");
    w.Edit2->setText("备注");
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit2->text(), "备注");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "员工姓名 已存在，请重新录入！");
    EXPECT_EQ(count("SWorker"), 2);

    // A disabled employee leaves the entry windows' lists but stays here.
    select(w, "李四");
    w.T1->trigger();
    EXPECT_EQ(column(w, 2), QStringList({"启用", "停用"}));
    ui::LookupComboBox box;
    frmDM->DBComSWorker(&box);
    EXPECT_EQ(box.items(), QStringList{"O'Neil"});
    // A disabled name is still taken.
    add(w, "李四");
    EXPECT_EQ(msgs.last(), "员工姓名 已存在，请重新录入！");
    select(w, "李四");
    w.Q1->trigger();
    frmDM->DBComSWorker(&box);
    EXPECT_EQ(box.items(), QStringList({"O'Neil", "李四"}));
}

TEST_F(AdminListTest, DeletingAsksAndTheLastRowLeavesAnEmptyListWhoseMenuDoesNothing)
{
    exec("INSERT INTO UXF (theNum,WName) VALUES ('2603070001','张三')");
    TfrmWorker w;
    add(w, "张三");
    select(w, "张三");
    msgs.answer(ui::Answer::No);
    w.D1->trigger();
    EXPECT_EQ(msgs.shown().back().caption, "删除");
    EXPECT_EQ(msgs.shown().back().buttons, ui::Buttons::YesNo);
    EXPECT_EQ(msgs.last(), "确认要删除吗？该删除将不可恢复！");
    EXPECT_EQ(count("SWorker"), 1);
    select(w, "张三");
    w.D1->trigger();
    EXPECT_EQ(count("SWorker"), 0);
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 0);
    // The sale keeps the name.
    EXPECT_EQ(one("select WName from UXF"), "张三");

    const int shown = msgs.count();
    const auto before = c().statementCount();
    for (QAction *a : {w.Q1, w.T1, w.D1}) a->trigger();
    EXPECT_EQ(msgs.count(), shown);
    EXPECT_EQ(c().statementCount(), before);
}

TEST_F(AdminListTest, PaymentMethodsClearOnNewAndOnlyEnabledOnesAreOffered)
{
    TfrmSMType w;
    EXPECT_EQ(w.windowTitle(), "收付款方式设置");
    EXPECT_EQ(w.GroupBox1->title(), "收付款方式信息");
    EXPECT_EQ(w.Edit1->maxLength(), 10);
    EXPECT_EQ(w.DBGrid1->columnWidth(1), 280);
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(3));
    EXPECT_EQ(column(w, 0), QStringList({"现金", "会员卡"}));
    w.Edit1->setText("x");
    w.Edit2->setText("y");
    w.BitBtn1Click();
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_TRUE(w.Edit2->text().isEmpty());
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "收付款方式 不能为空，请重新录入！");
    add(w, "现金");
    EXPECT_EQ(msgs.last(), "收付款方式 已存在，请重新录入！");
    add(w, "微信", "扫码");
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 收付款方式 保存成功！");
    select(w, "现金");
    w.T1->trigger();
    ui::LookupComboBox box;
    frmDM->DBComSMType(&box);
    EXPECT_EQ(box.items(), QStringList({"会员卡", "微信"}));
}

TEST_F(AdminListTest, SexesHaveNoStatesAndAreAllOffered)
{
    TfrmSSex w;
    EXPECT_EQ(w.windowTitle(), "性别设置");
    EXPECT_EQ(w.ADOQuery1.FieldCount(), 3);
    EXPECT_TRUE(w.DBGrid1->isColumnHidden(2));
    EXPECT_EQ(w.Q1, nullptr);
    EXPECT_EQ(w.T1, nullptr);
    EXPECT_EQ(w.PopupMenu1->actions().size(), 1);
    add(w, "先生");
    EXPECT_EQ(msgs.last(), "性别 已存在，请重新录入！");
    add(w, "同学", "学生");
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 性别 保存成功！");
    EXPECT_EQ(one("select Remark from SSex where theName='同学'"), "学生");
    ui::LookupComboBox box;
    frmDM->DBComSex(&box);
    EXPECT_EQ(box.items(), QStringList({"先生", "小姐", "女士", "同学"}));
    select(w, "同学");
    w.D1->trigger();
    EXPECT_EQ(count("SSex", "theName='同学'"), 0);
}

TEST_F(AdminListTest, KeysChangeNothing)
{
    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<ui::Form> w;
        if (i == 0) w = std::make_unique<TfrmWorker>();
        if (i == 1) w = std::make_unique<TfrmSMType>();
        if (i == 2) w = std::make_unique<TfrmSSex>();
        expectKeysChangeNothing(*w, [this] { return snapshot(); });
    }
}

}  // namespace
