// The sale save routine without a window: a draft in, checks and rows out.
#include "xf_fixture.h"

#include "core/NumToChar.h"
#include "core/receipts.h"
#include "sales/SaleStore.h"

namespace {

using sales::SaleDraft;
using sales::SaleField;

// The shop of the sale entry's tests, used without the window.
class SaleStoreTest : public XFTest {
protected:
    // A member sale: a1 x2 at 90% (18) and b1 x1 (20), 38 in all, paid in full.
    SaleDraft draft()
    {
        SaleDraft d;
        d.card = card;
        d.lines = {{"a1", "可乐", "个", "饮料", "A1", a1, "10", "2", "90", "18", "6"},
                   {"b1", "洗车", "个", "服务", "B1", b1, "20", "1", "100", "20", "12"}};
        d.goodsAmount = d.total = d.received = "38";
        d.extraDiscount = "100";
        d.reduction = "0";
        d.pointsRatio = "1";
        d.payment = "现金";
        d.cashier = d.worker = "小王";
        d.saleDate = d.businessDate = "2026-03-07";
        d.user = "admin";
        return d;
    }
    // The statements a save of the draft runs.
    quint64 statementsOf(const SaleDraft &d)
    {
        const quint64 before = c().statementCount();
        EXPECT_FALSE(sales::saveSale(c(), d).number.isEmpty());
        return c().statementCount() - before;
    }
};

TEST_F(SaleStoreTest, SavesTheDraftAndReturnsItsNumber)
{
    SaleDraft d = draft();
    d.received = "30";
    d.remark = "老顾客's";
    d.keepStock = true;
    const sales::SaleResult r = sales::saveSale(c(), d);
    EXPECT_FALSE(r.refusal);
    EXPECT_EQ(r.number, "2603070001");
    EXPECT_EQ(rows("select theType,theNum,theHJ,theSJ,MType,Remark,MNum,theJF,theCB,theCount,theYE,theSum,theDX from "
                   "UXF"),
              QStringList{"会员|2603070001|38|30|现金|老顾客's|26000001|38|24|3|8|38|叁拾捌元整"});
    EXPECT_EQ(rows("select SNum,thePrice,theCount,theMoney,myBH,theZK,SID from UXF_List order by ID"),
              QStringList({"a1|10|2|18|1|90|" + a1, "b1|20|1|20|2|100|" + b1}));
    EXPECT_EQ(rows("select theMoney,theSMType,theSKR from UXF_SK"), QStringList{"30|现金|小王"});
    EXPECT_EQ(member("theJF,theXF,UseCount,UseDate,theCZ"), "38|38|1|2026-03-07|100");
    // Stock only where the goods keep it; the sold counter everywhere.
    EXPECT_EQ(rows("select theCount,theXF from SShop order by ID"), QStringList({"3|2", "0|1"}));
    EXPECT_EQ(sales::saveSale(c(), draft()).number, "2603070002");
}

TEST_F(SaleStoreTest, RefusesNegativeAmountsAndQuantitiesAndWritesNothing)
{
    const QStringList before = snapshot();
    auto refusal = [&](const SaleDraft &d) {
        const sales::SaleRefusal check = sales::checkSale(c(), d);
        const sales::SaleResult r = sales::saveSale(c(), d);
        EXPECT_TRUE(r.number.isEmpty());
        EXPECT_EQ(r.refusal.message, check.message);
        return std::make_pair(r.refusal.message, r.refusal.field);
    };
    SaleDraft d = draft();
    d.payment = "会员卡";
    d.received = "-50";
    EXPECT_EQ(refusal(d), std::make_pair(QString("收款金额 不能为负数，请重新录入！"), SaleField::Received));
    d = draft();
    d.lines[0].count = "-4";
    EXPECT_EQ(refusal(d), std::make_pair(QString("商品 a1 可乐 数量 必须大于0，请重新录入！"), SaleField::Goods));
    d.lines[0].count = "0";
    EXPECT_EQ(refusal(d).first, "商品 a1 可乐 数量 必须大于0，请重新录入！");
    d = draft();
    d.lines[1].price = "-20";
    EXPECT_EQ(refusal(d).first, "商品 b1 洗车 单价 不能为负数，请重新录入！");
    d = draft();
    d.reduction = "-1";
    EXPECT_EQ(refusal(d), std::make_pair(QString("折让金额 不能为负数，请重新录入！"), SaleField::Reduction));
    d = draft();
    d.total = d.received = "-2";
    EXPECT_EQ(refusal(d).first, "合计金额 不能小于0，请修改 折让金额！");
    d = draft();
    d.walkIn = true;
    d.payment = "会员卡";
    EXPECT_EQ(refusal(d), std::make_pair(QString("散客 不能用会员卡消费，请选择其它收款方式！"), SaleField::Payment));
    d = draft();
    d.payment = "会员卡";
    d.received = "100.0001";
    d.total = "200";
    const auto shortBalance = sales::saveSale(c(), d).refusal;
    EXPECT_EQ(shortBalance.message, "会员 账户余额 不足，请选择其它收款方式！");
    EXPECT_TRUE(shortBalance.balanceShort);
    // A whole text that is not a number is no number.
    d = draft();
    d.received = "38abc";
    EXPECT_THROW(sales::saveSale(c(), d), velmora::ConversionError);
    d = draft();
    d.lines[0].count = "2 2";
    EXPECT_THROW(sales::checkSale(c(), d), velmora::ConversionError);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(c().inTransaction());
}

TEST_F(SaleStoreTest, ACardPaymentOnlyEverTakesFromTheCard)
{
    SaleDraft d = draft();
    d.payment = "会员卡";
    d.received = "0";
    EXPECT_FALSE(sales::saveSale(c(), d).number.isEmpty());
    EXPECT_EQ(member("theCZ"), "100");
    d.received = "38";
    EXPECT_FALSE(sales::saveSale(c(), d).number.isEmpty());
    EXPECT_EQ(member("theCZ"), "62");
    EXPECT_EQ(rows("select theSMType,theMoney from UXF_SK order by ID"), QStringList({"会员卡|0", "会员卡|38"}));
}

TEST_F(SaleStoreTest, ADatabaseErrorRollsTheWholeSaleBack)
{
    const QStringList before = snapshot();
    c().executeNative("CREATE TRIGGER boom BEFORE INSERT ON UXF_SK BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_THROW(sales::saveSale(c(), draft()), vdb::DbError);
    c().executeNative("DROP TRIGGER boom");
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(c().inTransaction());
}

TEST_F(SaleStoreTest, EachLineCostsTwoStatements)
{
    SaleDraft one = draft();
    one.lines.resize(1);
    one.keepStock = true;
    SaleDraft two = draft();
    two.keepStock = true;
    // The line and one update for its stock and sold counter.
    EXPECT_EQ(statementsOf(two) - statementsOf(one), 2u);
    // The checks read only.
    const quint64 before = c().statementCount();
    EXPECT_FALSE(sales::checkSale(c(), draft()));
    EXPECT_EQ(c().statementCount(), before);
}

// Half a fen rounds away from zero on the amount's decimals, in the stored
// capitals and in the receipt's figures alike.
TEST_F(SaleStoreTest, CapitalsAndFiguresOfAHalfFenAgree)
{
    struct Case {
        const char *amount, *figures, *words;
    };
    for (const Case &k : {Case{"1.125", "1.13", "壹元壹角叁分"}, Case{"460.275", "460.28", "肆佰陆拾元贰角捌分"},
                          Case{"781.965", "781.97", "柒佰捌拾壹元玖角柒分"}}) {
        SCOPED_TRACE(k.amount);
        SaleDraft d = draft();
        d.lines = {{"b1", "洗车", "个", "服务", "B1", b1, k.amount, "1", "100", k.amount, "0"}};
        d.goodsAmount = d.total = d.received = k.amount;
        const sales::SaleResult r = sales::saveSale(c(), d);
        ASSERT_FALSE(r.number.isEmpty()) << r.refusal.message.toStdString();
        EXPECT_EQ(rows("select theDX from UXF where theNum='" + r.number + "'"), QStringList{k.words});
        const QStringList lines = velmora::receipts::composeXF(c(), r.number, {}, "08:00:00");
        EXPECT_TRUE(lines.contains(QString("合计 ") + k.figures)) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.contains(QString("大写 ") + k.words)) << lines.join('\n').toStdString();
        // The words say what the figures say.
        EXPECT_EQ(NumToChar(velmora::Money::fromText(k.figures)), k.words);
    }
}

}  // namespace
