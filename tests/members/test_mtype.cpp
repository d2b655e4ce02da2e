// Member types and their per-category discounts, driven as a user would.
#include "fixture.h"
#include "members/MTS.h"
#include "members/MType.h"

#include <QTest>

namespace {

class MTypeTest : public MembersTest {
protected:
    // Selects the list row of the type.
    static void select(TfrmMType &w, const QString &name)
    {
        for (int r = 0; r < w.ADOQuery1.RecordCount(); ++r)
            if (w.ADOQuery1.text(r, 0) == name) return w.DBGrid1->selectRow(r);
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    QString mts(const QString &type, const QString &category, const QString &column = "theZK")
    {
        return one("select " + column + " from MTS where MType='" + type + "' and SType='" + category + "'");
    }
};

TEST_F(MTypeTest, NewTypeSeedsARowForEveryCategoryWithItsOwnValues)
{
    addCategory("饮料");
    addCategory("食品");
    exec("UPDATE SType SET theState='停用' WHERE theName='食品'");  // disabled categories too
    TfrmMType w;
    EXPECT_EQ(w.Edit2->text(), "100");
    EXPECT_EQ(w.Edit3->text(), "1");
    EXPECT_EQ(w.Edit4->text(), "0");
    w.Edit1->setText("银卡");
    type(w.Edit2, "9a5");  // letters never reach the field
    EXPECT_EQ(w.Edit2->text(), "95");
    w.Edit3->setText("2");
    w.Edit4->setText("1000");
    w.Edit5->setText("备注");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员分类信息 保存成功！");
    EXPECT_EQ(one("select theZK from MType where theName='银卡'"), "95");
    EXPECT_EQ(one("select theXF from MType where theName='银卡'"), "1000");
    EXPECT_EQ(one("select theState from MType where theName='银卡'"), "启用");
    EXPECT_EQ(mts("银卡", "饮料"), "95");
    EXPECT_EQ(mts("银卡", "食品", "theJF"), "2");
    // Refreshed: the new row is listed and the fields are back to their defaults.
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 2);
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_EQ(w.Edit2->text(), "100");
    EXPECT_EQ(w.Edit4->text(), "0");
}

TEST_F(MTypeTest, NewTypeWithoutCategoriesAndRefusals)
{
    TfrmMType w;
    const auto before = c().statementCount();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "会员分类 不能为空，请重新录入！");
    w.Edit1->setText("普通会员");
    w.Edit2->clear();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "享受折扣 不能为空，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit2);
    w.Edit2->setText(".");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "享受折扣 不是有效的数字，请重新录入！");
    w.Edit2->setText("90");
    w.Edit4->setText("1.2.3");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "最低消费 不是有效的数字，请重新录入！");
    w.Edit4->setText("0");
    exec("UPDATE MType SET theState='停用'");  // a disabled type's name is still taken
    const auto afterSetup = c().statementCount();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "会员分类 已存在，请重新录入！");
    EXPECT_EQ(c().statementCount(), afterSetup);
    EXPECT_EQ(afterSetup, before + 1);

    w.Edit1->setText("新类");
    w.BitBtn2Click();
    EXPECT_EQ(count("MType", "theName='新类'"), 1);
    EXPECT_EQ(count("MTS", "MType='新类'"), 0);
}

TEST_F(MTypeTest, EnableDisableAndDeleteOnlyWithoutLiveMembers)
{
    addType("金卡", "85", "2");
    addCategory("饮料");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','饮料',80,2)");
    addMember("M1", "甲", "theType='金卡'");
    TfrmMType w;
    select(w, "金卡");
    w.N4Click();
    EXPECT_EQ(one("select theState from MType where theName='金卡'"), "停用");
    select(w, "金卡");
    w.N3Click();
    EXPECT_EQ(one("select theState from MType where theName='金卡'"), "启用");

    select(w, "金卡");
    w.N6Click();
    EXPECT_EQ(msgs.last(), "该分类有会员信息，不能删除！");
    EXPECT_EQ(count("MType", "theName='金卡'"), 1);

    exec("UPDATE Member SET theDel='是'");  // only deleted members left: they do not block
    msgs.answer(ui::Answer::No);
    select(w, "金卡");
    w.N6Click();
    EXPECT_EQ(msgs.shown().back().caption, "删除");
    EXPECT_EQ(count("MType", "theName='金卡'"), 1);
    select(w, "金卡");
    w.N6Click();
    EXPECT_EQ(msgs.last(), "确认要删除吗？该删除将不可恢复！");
    EXPECT_EQ(count("MType", "theName='金卡'"), 0);
    EXPECT_EQ(count("MTS", "MType='金卡'"), 0);
    EXPECT_EQ(count("MType", "theName='普通会员'"), 1);
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 1);
}

TEST_F(MTypeTest, EditCopiesDiscountAndRatioToEveryMemberButNotToCategories)
{
    addType("金卡", "100", "1");
    addCategory("饮料");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','饮料',95,1)");
    addMember("M1", "甲", "theType='金卡'");
    addMember("M2", "乙", "theType='金卡', theDel='是'");
    addMember("M3", "丙");
    TfrmMType w;
    select(w, "金卡");
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *e = qobject_cast<TfrmMType_M *>(d);
        EXPECT_EQ(e->windowTitle(), "会员分类修改");
        EXPECT_FALSE(e->Edit1->isEnabled());
        EXPECT_EQ(e->Edit1->text(), "金卡");
        EXPECT_EQ(e->Edit2->maxLength(), 3);
        e->Edit3->clear();
        e->BitBtn1Click();
        EXPECT_EQ(msgs.last(), "积分比例 不能为空，请重新录入！");
        e->Edit2->setText("90");
        e->Edit3->setText("1.5");
        e->Edit4->setText("500");
        e->BitBtn1Click();
        return e->result();
    });
    w.N5Click();
    EXPECT_EQ(modals.shown(), QStringList{"TfrmMType_M"});
    EXPECT_EQ(msgs.last(), "金卡  修改 保存成功！");
    EXPECT_EQ(one("select theZK from MType where theName='金卡'"), "90");
    EXPECT_EQ(one("select theXF from MType where theName='金卡'"), "500");
    EXPECT_EQ(one("select theZK from Member where theNum='M1'"), "90");
    EXPECT_EQ(one("select theJFBL from Member where theNum='M2'"), "1.5");  // deleted ones too
    EXPECT_EQ(one("select theZK from Member where theNum='M3'"), "100");
    EXPECT_EQ(mts("金卡", "饮料"), "95");
    // The list shows the new values.
    select(w, "金卡");
    EXPECT_EQ(w.ADOQuery1.value("享受折扣"), "90");
}

TEST_F(MTypeTest, CategoryChoiceTicksExistingRowsAndResavesWithTheTypeValues)
{
    addType("金卡", "88", "3");
    addCategory("饮料");
    addCategory("食品");
    addCategory("日用");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','饮料',70,3)");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','食品',70,3)");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','食品',60,3)");  // two rows: unticked
    TfrmMType w;
    select(w, "金卡");
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *m = qobject_cast<TfrmMTS *>(d);
        EXPECT_EQ(m->windowTitle(), "金卡");
        EXPECT_EQ(m->GroupBox1->title(), "金卡");
        EXPECT_EQ(m->CheckListBox1->count(), 3);
        EXPECT_EQ(m->CheckListBox1->item(0)->checkState(), Qt::Checked);
        EXPECT_EQ(m->CheckListBox1->item(1)->checkState(), Qt::Unchecked);
        EXPECT_EQ(m->CheckListBox1->item(2)->checkState(), Qt::Unchecked);
        m->CheckListBox1->item(2)->setCheckState(Qt::Checked);
        m->BitBtn1Click();
        return m->result();
    });
    w.N1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 保存成功！");
    EXPECT_EQ(mts("金卡", "饮料"), "88");  // per-category discount reset to the type's
    EXPECT_EQ(mts("金卡", "日用", "theJF"), "3");
    EXPECT_EQ(count("MTS", "MType='金卡'"), 2);
    EXPECT_EQ(count("MTS", "MType='金卡' and SType='食品'"), 0);

    // Everything unticked: no rows left, the sale then gives 100 everywhere.
    modals.setHandler([](QDialog *d) {
        auto *m = static_cast<TfrmMTS *>(d);
        for (int i = 0; i < m->CheckListBox1->count(); ++i) m->CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
        m->BitBtn1Click();
        return m->result();
    });
    w.N1Click();
    EXPECT_EQ(count("MTS", "MType='金卡'"), 0);
    EXPECT_EQ(frmDM->myRetMTSZKNew("金卡", "饮料"), "100");
}

TEST_F(MTypeTest, OneCategoryDiscountIsChangedFromTheRowsList)
{
    addType("金卡", "88", "3");
    addCategory("饮料");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','饮料',88,3)");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('普通会员','饮料',100,1)");
    TfrmMType w;
    select(w, "金卡");
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *list = qobject_cast<TfrmMTS_ZKJF *>(d)) {
            EXPECT_EQ(list->windowTitle(), "金卡 商品分类享受折扣");
            EXPECT_EQ(list->ADOQuery1.RecordCount(), 1);
            list->DBGrid1->selectRow(0);
            list->N1Click();
            EXPECT_EQ(list->ADOQuery1.value("享受折扣"), "75");  // refreshed after the change
            return list->result();
        }
        auto *m = qobject_cast<TfrmMTS_M *>(d);
        EXPECT_EQ(m->windowTitle(), "金卡 饮料 享受折扣");
        EXPECT_EQ(m->Edit1->text(), "88");
        m->Edit1->clear();
        m->BitBtn1Click();
        EXPECT_EQ(msgs.last(), "享受折扣 不能为空，请重新录入！");
        m->Edit1->setText("75");
        m->BitBtn1Click();
        return m->result();
    });
    w.N2Click();
    EXPECT_EQ(modals.shown(), QStringList({"TfrmMTS_ZKJF", "TfrmMTS_M"}));
    EXPECT_EQ(msgs.last(), "金卡 饮料 享受折扣 修改成功！");
    EXPECT_EQ(mts("金卡", "饮料"), "75");
    EXPECT_EQ(mts("普通会员", "饮料"), "100");
    EXPECT_EQ(frmDM->myRetMTSZKNew("金卡", "饮料"), "75");
}

TEST_F(MTypeTest, PopupItemsDoNothingOnAnEmptyList)
{
    exec("DELETE FROM MType");
    TfrmMType w;
    ui::ScriptedModals modals;
    const auto before = c().statementCount();
    for (auto f : {&TfrmMType::N1Click, &TfrmMType::N2Click, &TfrmMType::N3Click, &TfrmMType::N4Click,
                   &TfrmMType::N5Click, &TfrmMType::N6Click})
        (w.*f)();
    EXPECT_TRUE(modals.shown().isEmpty());
    EXPECT_EQ(msgs.count(), 0);
    EXPECT_EQ(c().statementCount(), before);
}

}  // namespace
