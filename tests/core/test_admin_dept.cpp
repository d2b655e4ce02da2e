// The shop settings window, driven as a user would.
#include "core/Dept.h"
#include "core/receipts.h"
#include "keys.h"
#include "platform/print/textprinter.h"
#include "platform/ui/lookupcombo.h"
#include "shopdb.h"

namespace {

class DeptTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        velmora::FindDept();
    }
    static void fill(TfrmDept &w)
    {
        w.Edit1->setText("好邻居");
        w.Edit2->setText("010-1234");
        w.Edit3->setText("北京路1号");
        w.Edit4->setText("欢迎再来");
    }
    QStringList dept()
    {
        return rows("select theName,thePhone,theAdd,theGG,thePDJ,thePXP,theJFQL,theKC,thePJH,thePTH,theFKC,theWY,"
                    "theSex,theMType,theSType,theSWorker,theSMType,theSKR from SDept");
    }
};

TEST_F(DeptTest, ShowsTheSettingsAndTheSwitchesDependOnEachOther)
{
    exec("UPDATE SDept SET theKC=1, theFKC=1, thePXP=1, theSKR='小王'");
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('小王','','启用')");
    TfrmDept w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "本店设置");
    EXPECT_EQ(w.Edit1->text(), "Velmora会员店");
    EXPECT_EQ(w.Edit1->maxLength(), 20);
    EXPECT_EQ(w.Edit3->maxLength(), 50);
    EXPECT_TRUE(w.CheckBox2->isChecked());
    EXPECT_TRUE(w.CheckBox4->isChecked());
    EXPECT_TRUE(w.CheckBox7->isChecked());
    EXPECT_FALSE(w.CheckBox1->isChecked());
    EXPECT_EQ(w.DBLookupComboBox2->Text(), "先生");
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "普通会员");
    EXPECT_EQ(w.DBLookupComboBox5->Text(), "现金");
    EXPECT_EQ(w.DBLookupComboBox6->Text(), "小王");
    EXPECT_EQ(w.DBLookupComboBox4->Text(), "");
    EXPECT_EQ(w.DBLookupComboBox6->items(), QStringList{"小王"});

    // Unchecking the stock switch clears negative stock; negative stock may be checked alone.
    w.CheckBox4->click();
    EXPECT_FALSE(w.CheckBox7->isChecked());
    w.CheckBox7->click();
    EXPECT_TRUE(w.CheckBox7->isChecked());
    EXPECT_FALSE(w.CheckBox4->isChecked());
    // Unique goods clears both; checking the stock afterwards keeps unique goods.
    w.CheckBox4->click();
    w.CheckBox8->click();
    EXPECT_TRUE(w.CheckBox8->isChecked());
    EXPECT_FALSE(w.CheckBox4->isChecked());
    EXPECT_FALSE(w.CheckBox7->isChecked());
    w.CheckBox4->click();
    EXPECT_TRUE(w.CheckBox8->isChecked());
    EXPECT_TRUE(w.CheckBox4->isChecked());
}

TEST_F(DeptTest, EmptyTextsAreRefusedInOrderAndNothingIsWritten)
{
    TfrmDept w;
    w.show();
    const QStringList before = dept();
    const auto statements = c().statementCount();
    const std::pair<QLineEdit *, const char *> order[4] = {{w.Edit1, "本店名称 不能为空！"},
                                                           {w.Edit2, "联系电话 不能为空！"},
                                                           {w.Edit3, "联系地址 不能为空！"},
                                                           {w.Edit4, "广告信息 不能为空！"}};
    for (int i = 0; i < 4; ++i) {
        fill(w);
        for (int j = i; j < 4; ++j) order[j].first->setText(j == i ? "  " : "");
        w.BitBtn1->click();
        EXPECT_EQ(msgs.last(), QString::fromUtf8(order[i].second));
        EXPECT_EQ(w.focusWidget(), order[i].first);
    }
    EXPECT_EQ(dept(), before);
    EXPECT_EQ(c().statementCount(), statements);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(DeptTest, SavingWritesTheBitsAndTheRunningProgramTakesTheNewShopAtOnce)
{
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('小王','','启用')");
    exec("INSERT INTO Member (theNum,theName,theType,theJF,theCZ,theDel,theState) VALUES "
         "('26000001','张三','普通会员',0,0,'否','启用')");
    exec("INSERT INTO UXF (theNum,myDate,theDate,MNum,theHJ,theZR,theSJ,theZK,theDX,theYE,theCount,theSum,theJF,"
         "WName,theUser,theDel,theType) VALUES ('2603070001','2026-03-07','2026-03-07','26000001',12,0,12,100,"
         "'壹拾贰元整',0,1,12,12,'小王','admin','否','会员')");
    exec("INSERT INTO UXF_List (theNum,myBH,theName,theCount,thePrice,theZK,theMoney) VALUES "
         "('2603070001','1','可乐',1,12,100,12)");
    print::ScopedTextCapture capture;
    velmora::myPrintXF_Pos("2603070001");

    TfrmDept w;
    w.show();
    fill(w);
    w.Edit1->setText("O'Neil 小店");
    w.CheckBox1->click();
    w.CheckBox3->click();
    w.CheckBox4->click();
    w.CheckBox7->click();
    w.DBLookupComboBox4->setText("小王");
    w.DBLookupComboBox6->setText("小王");
    w.DBLookupComboBox2->setText("女士");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 本店信息 保存成功！");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(dept(), QStringList{"O'Neil 小店|010-1234|北京路1号|欢迎再来|True|False|True|True|False|False|True|False|"
                                  "女士|普通会员||小王|现金|小王"});
    // Read back as "True"/"False" into the shared settings.
    EXPECT_EQ(myDeptName, "O'Neil 小店");
    EXPECT_EQ(myDeptKC, "True");
    EXPECT_EQ(myDeptPXP, "False");
    EXPECT_EQ(myDeptSWorker, "小王");
    EXPECT_EQ(myDeptSex, "女士");

    // The next receipt carries the new name.
    velmora::myPrintXF_Pos("2603070001");
    ASSERT_EQ(capture.jobs().size(), 2u);
    EXPECT_TRUE(capture.jobs()[0].lines.join("\n").contains("Velmora会员店"));
    EXPECT_TRUE(capture.jobs()[1].lines.join("\n").contains("O'Neil 小店"));
    EXPECT_FALSE(capture.jobs()[1].lines.join("\n").contains("Velmora会员店"));
    EXPECT_EQ(velmora::receipts::Shop::fromSettings().address, "北京路1号");
}

TEST_F(DeptTest, ATableLeftWithoutItsRowGetsItBack)
{
    TfrmDept w;
    w.show();
    exec("DELETE FROM SDept");
    fill(w);
    w.BitBtn1->click();
    EXPECT_EQ(count("SDept"), 1);
    EXPECT_EQ(myDeptName, "好邻居");
}

TEST_F(DeptTest, SaveIsTheDefaultButtonAndEscKeepsTheWindow)
{
    TfrmDept w;
    w.show();
    EXPECT_EQ(w.defaultButton(), w.BitBtn1);
    expectOnlyTheNamedDefault(w);
    const QStringList before = dept();
    w.Edit2->setFocus();
    QTest::keyClick(w.Edit2, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(dept(), before);
}

}  // namespace
