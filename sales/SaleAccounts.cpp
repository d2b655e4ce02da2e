#include "sales/SaleAccounts.h"

#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "platform/db/sqlbuilder.h"

namespace sales {

using vdb::Statement;
using velmora::Money;

namespace {

const QString kCard = QStringLiteral("会员卡");

struct Bill {
    bool found = false;
    QString type, card, introducer, commissioned;
    Money total, points, owed, commissionPoints, commissionMoney;
};

Money moneyOf(const vdb::Query &q, const char *field)
{
    return Money::fromDouble(q.FieldByName(QString::fromLatin1(field)).AsFloat());
}

Bill readBill(vdb::Connection &c, const QString &number)
{
    vdb::Query q(&c);
    Statement("select theType,MNum,JSRNum,JSRTC,theHJ,theJF,theYE,TCJF,TCMoney from UXF "
              "where theNum=:num AND theDel='否'")
            .text("num", number)
            .open(q);
    Bill b;
    if (q.IsEmpty()) return b;
    b.found = true;
    b.type = q.value(QStringLiteral("theType"));
    b.card = q.value(QStringLiteral("MNum"));
    b.introducer = q.value(QStringLiteral("JSRNum"));
    b.commissioned = q.value(QStringLiteral("JSRTC"));
    b.total = moneyOf(q, "theHJ");
    b.points = moneyOf(q, "theJF");
    b.owed = moneyOf(q, "theYE");
    b.commissionPoints = moneyOf(q, "TCJF");
    b.commissionMoney = moneyOf(q, "TCMoney");
    return b;
}

QString gone(const QString &number)
{
    return QStringLiteral("消费单 ") + number + QStringLiteral(" 不存在或已被删除！");
}

}  // namespace

QString deleteSale(vdb::Connection &c, const QString &number, bool keepStock)
{
    vdb::Transaction tx(c);
    const Bill b = readBill(c, number);
    if (!b.found) return gone(number);
    if (b.commissioned == QStringLiteral("是")) return QStringLiteral("该消费单已经给介绍人提成了，不能删除！");

    if (b.type == QStringLiteral("会员") && !b.card.isEmpty()) {
        vdb::Query paid(&c);
        Statement("select sum(theMoney) as paid from UXF_SK where theNum=:num AND theSMType=:card")
                .text("num", number)
                .text("card", kCard)
                .open(paid);
        const Money byCard = moneyOf(paid, "paid");
        velmora::addMemberTotals(c, b.card, {.points = -b.points, .spend = -b.total, .stored = byCard, .visits = -1});
        velmora::upgradeMemberType(c, b.card);
    }
    // Stock only for goods that keep it; the sold counter always.
    Statement(keepStock
                      ? "UPDATE SShop SET theXF=Round(theXF-(select sum(theCount) from UXF_List l where "
                        "l.theNum=:num AND l.SID=SShop.ID),4),theCount=CASE WHEN theKC='是' THEN "
                        "Round(theCount+(select sum(theCount) from UXF_List l where l.theNum=:num AND "
                        "l.SID=SShop.ID),4) ELSE theCount END WHERE ID IN (select SID from UXF_List where theNum=:num)"
                      : "UPDATE SShop SET theXF=Round(theXF-(select sum(theCount) from UXF_List l where "
                        "l.theNum=:num AND l.SID=SShop.ID),4) WHERE ID IN (select SID from UXF_List where theNum=:num)")
            .text("num", number)
            .run(c);
    Statement("Delete from UXF_List where theNum=:num").text("num", number).run(c);
    Statement("Delete from UXF_SK where theNum=:num").text("num", number).run(c);
    Statement("Update UXF Set theDel='是' Where theNum=:num AND theDel='否'").text("num", number).run(c);
    tx.commit();
    return {};
}

QString checkCollection(vdb::Connection &c, const Collection &k)
{
    Money amount;
    if (k.amount.trimmed().isEmpty() || !Money::parse(k.amount, &amount) || amount <= Money())
        return QStringLiteral("收款金额 不能为空，请录入！");
    const Bill b = readBill(c, k.number);
    if (!b.found) return gone(k.number);
    if (amount > b.owed) return QStringLiteral("收款金额 不能大于 应收金额，请重新录入！");
    if (b.type == QStringLiteral("散客") && k.payment == kCard)
        return QStringLiteral("散客 不能用 会员卡 收款，请选择其它 收款方式！");
    if (k.payment.isEmpty()) return QStringLiteral("请选择 收款方式！");
    if (k.cashier.isEmpty()) return QStringLiteral("请选择 收款人！");
    if (k.payment == kCard) {
        vdb::Query q(&c);
        Statement("Select theCZ From Member Where theNum=:card AND theDel='否'").text("card", b.card).open(q);
        const Money balance = q.IsEmpty() ? Money() : moneyOf(q, "theCZ");
        if (amount > balance)
            return QStringLiteral("会员卡号 ") + b.card + QStringLiteral(" 账户余额 不足，请选择其它收款方式！");
    }
    return {};
}

QString collectOwed(vdb::Connection &c, const Collection &k)
{
    vdb::Transaction tx(c);
    if (QString refusal = checkCollection(c, k); !refusal.isEmpty()) return refusal;
    Money amount;
    Money::parse(k.amount, &amount);
    if (k.payment == kCard) velmora::addMemberTotals(c, readBill(c, k.number).card, {.stored = -amount});
    Statement("Insert Into UXF_SK (theNum, theMoney, theSMType, theSKR, SKDate) Values (:num,:amount,:payment,"
              ":cashier,:date)")
            .text("num", k.number)
            .money("amount", amount)
            .text("payment", k.payment)
            .text("cashier", k.cashier)
            .text("date", k.date.toString(velmora::kDateFormat))
            .run(c);
    Statement("Update UXF Set theSJ=Round(theSJ+:amount,4), theYE=Round(theYE-:amount,4) Where theNum=:num")
            .money("amount", amount)
            .text("num", k.number)
            .run(c);
    tx.commit();
    return {};
}

QString payCommission(vdb::Connection &c, const QString &number, const QString &points, const QString &money)
{
    Money jf, cz;
    if (!(points.trimmed().isEmpty() || Money::parse(points, &jf)) || jf.isNegative())
        return QStringLiteral("提成积分 录入错误，请重新录入！");
    if (!(money.trimmed().isEmpty() || Money::parse(money, &cz)) || cz.isNegative())
        return QStringLiteral("提成金额 录入错误，请重新录入！");
    vdb::Transaction tx(c);
    const Bill b = readBill(c, number);
    if (!b.found) return gone(number);
    if (b.commissioned == QStringLiteral("是")) return QStringLiteral("该消费单已经给介绍人提成了！");
    Statement("UPDATE UXF SET JSRTC='是', TCJF=:jf, TCMoney=:cz WHERE (theNum=:num)")
            .money("jf", jf)
            .money("cz", cz)
            .text("num", number)
            .run(c);
    velmora::addMemberTotals(c, b.introducer, {.points = jf, .stored = cz});
    tx.commit();
    return {};
}

QString withdrawCommission(vdb::Connection &c, const QString &number)
{
    vdb::Transaction tx(c);
    const Bill b = readBill(c, number);
    if (!b.found) return gone(number);
    if (b.commissioned == QStringLiteral("否")) return {};
    Statement("UPDATE UXF SET JSRTC='否', TCJF=0, TCMoney=0 WHERE (theNum=:num)").text("num", number).run(c);
    velmora::addMemberTotals(c, b.introducer, {.points = -b.commissionPoints, .stored = -b.commissionMoney});
    tx.commit();
    return {};
}

}  // namespace sales
