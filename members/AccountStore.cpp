#include "members/AccountStore.h"

#include "core/IMCode.h"
#include "core/NumToChar.h"
#include "core/ShopRows.h"
#include "platform/db/sqlbuilder.h"

#include <functional>

namespace members {

using vdb::Statement;

namespace {

bool liveMember(vdb::Connection &c, const QString &card)
{
    vdb::Query q(&c);
    Statement("select ID from Member where (theNum=:card) AND (theDel='否')").text("card", card).open(q);
    return !q.IsEmpty();
}

QString notANumber(const QString &name)
{
    return name + QStringLiteral(" 不是有效的数字，请重新录入！");
}

// Points a gift needs, or a count of gifts, below 0 would give the member
// points instead of taking them.
QString negative(const QString &name)
{
    return name + QStringLiteral(" 不能为负数，请重新录入！");
}

QString noLiveMember(const QString &card)
{
    return QStringLiteral("会员 ") + card + QStringLiteral(" 不存在或已被注销！");
}

// A live document of the table goes: giveBack reads its row (the columns
// asked for) and says what the member gets back; then the row is marked
// deleted.  All in one transaction.
QString deleteDocument(vdb::Connection &c, const QString &table, const QString &columns, const QString &caption,
                       const QString &number, const std::function<velmora::MemberTotals(vdb::Query &)> &giveBack)
{
    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("select MNum," + columns + " from " + table + " where (theNum=:num) AND (theDel='否')")
            .text("num", number)
            .open(q);
    if (q.IsEmpty()) return caption + QStringLiteral(" ") + number + QStringLiteral(" 不存在或已被删除！");
    velmora::addMemberTotals(c, q.value(QStringLiteral("MNum")), giveBack(q));
    Statement("Update " + table + " Set theDel='是' Where (theNum=:num)").text("num", number).run(c);
    tx.commit();
    return {};
}

// The end of a save, after its checks in the transaction: the document's
// number, the member's totals and the row (given all but its ":num").
Saved writeDocument(vdb::Connection &c, vdb::Transaction &tx, const QString &table, const QString &businessDate,
                    const QString &card, const velmora::MemberTotals &change, Statement &row)
{
    Saved s;
    s.number = velmora::newDocNumber(c, table, businessDate);
    velmora::addMemberTotals(c, card, change);
    row.text("num", s.number).run(c);
    tx.commit();
    return s;
}

Money moneyField(vdb::Query &q, const QString &column)
{
    return Money::fromDouble(q.FieldByName(column).AsFloat());
}

}  // namespace

Saved saveRecharge(vdb::Connection &c, const Recharge &r)
{
    Money amount, bonus;
    if (!Money::parse(r.amount, &amount)) return {notANumber(QStringLiteral("储值金额")), {}};
    if (!Money::parse(r.bonus, &bonus)) return {notANumber(QStringLiteral("赠送金额")), {}};
    // Everything that can refuse comes before the first write.
    const QString capitals = NumToChar(amount);

    vdb::Transaction tx(c);
    if (!liveMember(c, r.card)) return {noLiveMember(r.card), {}};
    Statement row("Insert Into UCZ(theDate,MNum,MCZ,MZS,MType,Remark,theUser,theDel,theNum,theDX,WName,theSKR,myDate) "
                  "Values(:date,:card,:mcz,:mzs,:type,:remark,:user,'否',:num,:dx,:worker,:cashier,:mydate)");
    row.text("date", r.businessDate)
            .text("card", r.card)
            .money("mcz", amount)
            .money("mzs", bonus)
            .text("type", r.payment)
            .text("remark", r.remark)
            .text("user", r.user)
            .text("dx", capitals)
            .text("worker", r.worker)
            .text("cashier", r.cashier)
            .text("mydate", r.date);
    return writeDocument(c, tx, QStringLiteral("UCZ"), r.businessDate, r.card, {.stored = amount + bonus}, row);
}

QString deleteRecharge(vdb::Connection &c, const QString &number)
{
    return deleteDocument(c, QStringLiteral("UCZ"), QStringLiteral("MCZ,MZS"), QStringLiteral("储值单"), number,
                          [](vdb::Query &q) {
                              return velmora::MemberTotals{.stored = -(moneyField(q, QStringLiteral("MCZ")) +
                                                                       moneyField(q, QStringLiteral("MZS")))};
                          });
}

Saved saveExchange(vdb::Connection &c, const Exchange &e)
{
    Money points, count;
    if (!Money::parse(e.points, &points)) return {notANumber(QStringLiteral("所需积分")), {}};
    if (!Money::parse(e.count, &count)) return {notANumber(QStringLiteral("数量")), {}};
    if (points.isNegative()) return {negative(QStringLiteral("所需积分")), {}};
    if (count.isNegative()) return {negative(QStringLiteral("数量")), {}};
    const Money total = points.times(count.toDouble());

    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("select theJF from Member where (theNum=:card) AND (theDel='否')").text("card", e.card).open(q);
    if (q.IsEmpty()) return {noLiveMember(e.card), {}};
    if (total > moneyField(q, QStringLiteral("theJF"))) return {QStringLiteral("该会员 积分不足，不能兑换！"), {}};
    Statement("select ID from UDH Where (theDel='否') AND (MNum=:card) AND (MLP=:gift)")
            .text("card", e.card)
            .text("gift", e.gift)
            .open(q);
    if (!q.IsEmpty()) return {QStringLiteral("会员 ") + e.card + QStringLiteral(" 已经兑换 ") + e.gift + " ！", {}};
    Statement row("Insert Into UDH(theDate,MNum,MJF,MLP,Remark,theUser,theDel,theNum,MCount,WName,myDate) "
                  "Values(:date,:card,:jf,:gift,:remark,:user,'否',:num,:count,:worker,:mydate)");
    row.text("date", e.businessDate)
            .text("card", e.card)
            .money("jf", total)
            .text("gift", e.gift)
            .text("remark", e.remark)
            .text("user", e.user)
            .money("count", count)
            .text("worker", e.worker)
            .text("mydate", e.date);
    return writeDocument(c, tx, QStringLiteral("UDH"), e.businessDate, e.card, {.points = -total}, row);
}

QString deleteExchange(vdb::Connection &c, const QString &number)
{
    return deleteDocument(
            c, QStringLiteral("UDH"), QStringLiteral("MJF"), QStringLiteral("兑换单"), number,
            [](vdb::Query &q) { return velmora::MemberTotals{.points = moneyField(q, QStringLiteral("MJF"))}; });
}

QString addGift(vdb::Connection &c, const QString &name, const QString &points, const QString &remark)
{
    Money jf;
    if (!Money::parse(points, &jf)) return notANumber(QStringLiteral("所需积分"));
    if (jf.isNegative()) return negative(QStringLiteral("所需积分"));
    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("select ID from ULP Where theName=:name AND (theDel='否')").text("name", name).open(q);
    if (!q.IsEmpty()) return QStringLiteral("礼品名称 已存在，请重新录入！");
    Statement("Insert into ULP(theName,theJF,Remark,theState,thePY,theDel) "
              "Values(:name,:jf,:remark,'启用',:py,'否')")
            .text("name", name)
            .money("jf", jf)
            .text("remark", remark)
            .text("py", MakePYCode(name))
            .run(c);
    tx.commit();
    return {};
}

QString addManualPoints(vdb::Connection &c, const QString &card, const QString &points, const QString &remark,
                        const QString &businessDate, const QString &user)
{
    Money jf;
    if (!Money::parse(points, &jf)) return notANumber(QStringLiteral("增加积分"));
    vdb::Transaction tx(c);
    Statement("Insert into UJF(theNum,theJF,Remark,theDate,theUser) Values(:card,:jf,:remark,:date,:user)")
            .text("card", card)
            .money("jf", jf)
            .text("remark", remark)
            .text("date", businessDate)
            .text("user", user)
            .run(c);
    velmora::addMemberTotals(c, card, {.points = jf});
    tx.commit();
    return {};
}

}  // namespace members
