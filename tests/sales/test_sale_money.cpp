// Amounts of a sale in fixed point: what the window shows, what the card
// pays and what the bill stores.
#include "xf_fixture.h"

namespace {

class SaleMoneyTest : public XFTest {
protected:
    // A member sale of one row of the goods, quantity as given.
    void oneRow(TfrmXF_In &w, const QString &code, const QString &count = "1")
    {
        findMember(w, card);
        enterGoods(w, 1, code);
        setCell(w, TfrmXF_In::cCount, 1, count);
    }
    // True when the member's stored value is exactly the number (no rounding on read).
    bool balanceIs(const QString &value)
    {
        return one("select count(*) from Member where theCZ=" + value + " and ID=" + memberId) == "1";
    }
};

TEST_F(SaleMoneyTest, LoadedTenthsSpentToTheLastCentLeaveExactlyNothing)
{
    exec("UPDATE Member SET theCZ=0 WHERE ID=" + memberId);
    dm->myMemberCZ(card, "0.1");
    dm->myMemberCZ(card, "0.2");
    EXPECT_TRUE(balanceIs("0.3"));
    addGoods("t1", "糖", "服务", "0.1");
    auto w = window();
    ui::ScriptedModals modals(password("270946"));
    oneRow(*w, "t1", "3");
    EXPECT_EQ(w->Edit19->text(), "0.3");
    w->CheckBox4->setChecked(true);
    save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(modals.shown(), QStringList{"TfrmCheckPass"});
    EXPECT_TRUE(balanceIs("0"));
    EXPECT_EQ(one("select count(*) from UXF where theHJ=0.3 and theSJ=0.3 and theYE=0"), "1");
}

TEST_F(SaleMoneyTest, ABalanceShownAsTheTotalPaysIt)
{
    // Left by earlier floating-point arithmetic: 0.29999999999999993, shown as 0.3.
    exec("UPDATE Member SET theCZ=0.7-0.4 WHERE ID=" + memberId);
    addGoods("t3", "糖", "服务", "0.3");
    auto w = window();
    ui::ScriptedModals modals(password("270946"));
    findMember(*w, card);
    EXPECT_EQ(w->Edit11->text(), "0.3");
    enterGoods(*w, 1, "t3");
    w->CheckBox4->setChecked(true);
    save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(count("UXF"), 1);
    EXPECT_TRUE(balanceIs("0"));
}

TEST_F(SaleMoneyTest, AmountsAreStoredWithFourDecimals)
{
    addGoods("p1", "纸", "服务", "10.2215", "0.1");
    auto w = window();
    oneRow(*w, "p1", "3");
    EXPECT_EQ(w->Edit17->text(), "30.6645");
    w->Edit27->setText("30.4430");
    save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    // Compared in the database as stored: 30.6645 - 30.443 is 0.2215 exactly.
    EXPECT_EQ(one("select count(*) from UXF where theYE=0.2215 and theHJ=30.6645 and theSJ=30.443 and theCB=0.3"), "1");
    EXPECT_EQ(one("select count(*) from UXF_List where theMoney=30.6645"), "1");
    EXPECT_EQ(one("select count(*) from UXF_SK where theMoney=30.443"), "1");
    EXPECT_EQ(one("select count(*) from Member where theXF=30.6645 and ID=" + memberId), "1");
}

TEST_F(SaleMoneyTest, RowAmountsAndTotalsAddUpExactly)
{
    addGoods("t1", "糖", "服务", "0.1");
    addGoods("t2", "盐", "服务", "0.2");
    auto w = window();
    findMember(*w, card);
    enterGoods(*w, 1, "t1");
    enterGoods(*w, 2, "t2");
    EXPECT_EQ(w->Edit17->text(), "0.3");
    w->Edit18->setText("0.3");
    EXPECT_EQ(w->Edit19->text(), "0");
    // An amount beyond four decimals is rounded half away from zero.
    setCell(*w, TfrmXF_In::cPrice, 1, "0.33335");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cMoney, 1), "0.3334");
}

}  // namespace

namespace {

// Texts put straight into the fields and cells, as a paste puts them past
// the key filters.
TEST_F(SaleMoneyTest, PastedNegativeAmountsAndQuantitiesAreRefusedAtSave)
{
    exec("UPDATE Member SET theCZ=100 WHERE ID=" + memberId);
    auto w = window();
    ui::ScriptedModals modals(password("270946"));
    twoGoods(*w);
    const QStringList before = snapshot();
    w->CheckBox4->setChecked(true);
    w->Edit27->setText("-50");
    EXPECT_EQ(saveSays(*w), "收款金额 不能为负数，请重新录入！");
    w->Edit27->setText("38");
    w->Edit18->setText("-5");
    EXPECT_EQ(saveSays(*w), "折让金额 不能为负数，请重新录入！");
    w->Edit18->setText("0");

    w->StringGrid1->setCells(TfrmXF_In::cCount, 1, "-4");
    EXPECT_EQ(saveSays(*w), "商品 a1 可乐 数量 必须大于0，请重新录入！");
    w->StringGrid1->setCells(TfrmXF_In::cCount, 1, "0");
    EXPECT_EQ(saveSays(*w), "商品 a1 可乐 数量 必须大于0，请重新录入！");
    w->StringGrid1->setCells(TfrmXF_In::cCount, 1, "2");
    w->StringGrid1->setCells(TfrmXF_In::cPrice, 3, "-20");
    EXPECT_EQ(saveSays(*w), "商品 b1 洗车 单价 不能为负数，请重新录入！");
    w->StringGrid1->setCells(TfrmXF_In::cPrice, 3, "20");
    w->StringGrid1->setCells(TfrmXF_In::cZK, 3, "-100");
    EXPECT_EQ(saveSays(*w), "商品 b1 洗车 折扣 不能为负数，请重新录入！");
    w->StringGrid1->setCells(TfrmXF_In::cZK, 3, "100");
    // A text that is a number only in part is no number.
    w->StringGrid1->setCells(TfrmXF_In::cCount, 1, "2-");
    save(*w);
    EXPECT_TRUE(msgs.last().contains("2-")) << msgs.last().toStdString();
    w->StringGrid1->setCells(TfrmXF_In::cCount, 1, "2");
    w->Edit27->setText("3 8");
    save(*w);
    EXPECT_TRUE(msgs.last().contains("3 8")) << msgs.last().toStdString();
    EXPECT_TRUE(modals.shown().isEmpty());
    EXPECT_EQ(snapshot(), before);

    // The same sale with sound texts goes through and takes from the card.
    w->Edit27->setText("38");
    save(*w);
    EXPECT_EQ(member("theCZ"), "62");
}

TEST_F(SaleMoneyTest, FreeGoodsMayBeGivenAway)
{
    addGoods("g0", "赠品", "服务", "0");
    auto w = window();
    oneRow(*w, "g0", "2");
    save(*w);
    EXPECT_EQ(rows("select theHJ,theSJ,theCount from UXF"), QStringList{"0|0|2"});
}

}  // namespace
