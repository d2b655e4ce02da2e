#include "sales/SaleStore.h"

#include "core/NumToChar.h"
#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/receipts.h"
#include "platform/db/sqlbuilder.h"

#include <QDate>
#include <QHash>
#include <cmath>

namespace sales {

using vdb::Statement;
using velmora::toNumber;

Money lineAmount(const QString &price, const QString &count, const QString &discount)
{
    return fieldMoney(price, false).times(toNumber(count) * (toNumber(discount) / 100));
}

Money billTotal(Money goods, double extraDiscount, Money reduction)
{
    return goods.times(extraDiscount / 100) - reduction;
}

Money fieldMoney(const QString &text, bool emptyIsZero)
{
    if (emptyIsZero && text.trimmed().isEmpty()) return Money();
    Money m;
    if (!Money::parse(text, &m)) throw velmora::ConversionError(text);
    return m;
}

namespace {

// A goods row read as numbers; every cell must be a number as a whole.
struct Line {
    const SaleLine *cells;
    qint64 id = 0;
    Money price, count, amount, cost;
    double discount = 0;
};

// The draft read as numbers.
struct Sale {
    std::vector<Line> lines;
    double extraDiscount = 0;
    Money goods, reduction, total, received;
};

SaleRefusal refuse(const QString &message, SaleField field)
{
    return {message, field, false};
}

QString goodsName(const SaleLine &l)
{
    return QStringLiteral("商品 ") + l.code + " " + l.name;
}

SaleRefusal readLines(const SaleDraft &d, Sale *s)
{
    for (const SaleLine &cells : d.lines) {
        Line l;
        l.cells = &cells;
        l.id = qint64(toNumber(cells.id));
        l.price = fieldMoney(cells.price, false);
        l.count = fieldMoney(cells.count, false);
        l.amount = fieldMoney(cells.amount, false);
        l.cost = fieldMoney(cells.cost);
        l.discount = toNumber(cells.discount);
        // A pasted "-4" passes the key filter: a sale never gives goods back.
        if (l.count <= Money())
            return refuse(goodsName(cells) + QStringLiteral(" 数量 必须大于0，请重新录入！"), SaleField::Goods);
        if (l.price.isNegative())
            return refuse(goodsName(cells) + QStringLiteral(" 单价 不能为负数，请重新录入！"), SaleField::Goods);
        if (l.discount < 0)
            return refuse(goodsName(cells) + QStringLiteral(" 折扣 不能为负数，请重新录入！"), SaleField::Goods);
        s->lines.push_back(l);
    }
    return {};
}

// The first line whose stock-tracked goods have less stock now than the
// quantity sold.
SaleRefusal checkStock(vdb::Connection &c, const Sale &s)
{
    QStringList ids;
    for (const Line &l : s.lines) ids << QString::number(l.id);
    vdb::Query q(&c);
    q.OpenSql(QStringLiteral("Select ID,theKC,theCount from SShop Where ID IN (") + ids.join(QLatin1Char(',')) + ")");
    QHash<qint64, Money> stock;
    for (q.First(); !q.Eof(); q.Next())
        if (q.value(QStringLiteral("theKC")) == QStringLiteral("是"))
            stock.insert(q.FieldByName(QStringLiteral("ID")).AsInteger(),
                         Money::fromDouble(q.FieldByName(QStringLiteral("theCount")).AsFloat()));
    for (const Line &l : s.lines) {
        auto it = stock.find(l.id);
        if (it == stock.end()) continue;
        *it -= l.count;  // the same goods on two lines share its stock
        if (it->isNegative()) return refuse(goodsName(*l.cells) + QStringLiteral(" 库存不足！"), SaleField::Goods);
    }
    return {};
}

// The live member's stored value as it is now.
Money storedValue(vdb::Connection &c, const QString &card)
{
    vdb::Query q(&c);
    Statement("Select theCZ From Member Where theNum=:card AND theDel='否'").text("card", card).open(q);
    return q.IsEmpty() ? Money() : Money::fromDouble(q.FieldByName(QStringLiteral("theCZ")).AsFloat());
}

SaleRefusal check(vdb::Connection &c, const SaleDraft &d, Sale *s)
{
    if (!d.walkIn && d.card.isEmpty())
        return refuse(QStringLiteral("会员信息不能为空，请录入会员卡号！"), SaleField::Card);
    if (SaleRefusal r = readLines(d, s)) return r;
    if (s->lines.empty()) return refuse(QStringLiteral("商品信息 不能为空！请重新选择"), SaleField::Goods);
    if (d.keepStock && !d.negativeStock)
        if (SaleRefusal r = checkStock(c, *s)) return r;

    if (d.extraDiscount.isEmpty()) return refuse(QStringLiteral("折上折 不能为空，请录入！"), SaleField::ExtraDiscount);
    if (!vdb::isSqlNumber(d.extraDiscount, &s->extraDiscount) || s->extraDiscount > 100 || s->extraDiscount <= 0)
        return refuse(QStringLiteral("折上折 错误，请重新录入！"), SaleField::ExtraDiscount);
    s->goods = fieldMoney(d.goodsAmount);
    s->reduction = fieldMoney(d.reduction);
    s->total = fieldMoney(d.total);
    s->received = fieldMoney(d.received);
    // Nor does a sale pay money out, to the customer or onto the card.
    if (s->reduction.isNegative())
        return refuse(QStringLiteral("折让金额 不能为负数，请重新录入！"), SaleField::Reduction);
    if (s->total.isNegative())
        return refuse(QStringLiteral("合计金额 不能小于0，请修改 折让金额！"), SaleField::Reduction);
    if (s->received.isNegative())
        return refuse(QStringLiteral("收款金额 不能为负数，请重新录入！"), SaleField::Received);
    if (s->received > s->total) return refuse(QStringLiteral("收款金额 录入错误，请重新录入！"), SaleField::Received);

    if (d.paysByCard() && storedValue(c, d.card) < s->received)
        return {QStringLiteral("会员 账户余额 不足，请选择其它收款方式！"), SaleField::Payment, true};
    if (d.walkIn && d.payment == QStringLiteral("会员卡"))
        return refuse(QStringLiteral("散客 不能用会员卡消费，请选择其它收款方式！"), SaleField::Payment);
    if (d.cashier.isEmpty()) return refuse(QStringLiteral("请选择 收款人！"), SaleField::Cashier);
    if (d.worker.isEmpty()) return refuse(QStringLiteral("请选择 员工姓名！"), SaleField::Worker);
    return {};
}

void writeLines(vdb::Connection &c, const SaleDraft &d, const Sale &s, const QString &number)
{
    const Statement insert("insert into UXF_List(theNum,SNum,theName,theUnit,thePrice,theCount,theMoney,theType,thePY,"
                           "myBH,theCB,theZK,SID) Values(:num,:code,:name,:unit,:price,:count,:amount,:type,:py,:bh,"
                           ":cost,:zk,:id)");
    // Stock and sold counter in one statement; only goods with stock kept lose stock.
    const Statement counters(d.keepStock ? "Update SShop Set theXF=Round(theXF+:n,4),theCount=CASE WHEN theKC='是' "
                                           "THEN Round(theCount-:n,4) ELSE theCount END Where (ID=:id)"
                                         : "Update SShop Set theXF=Round(theXF+:n,4) Where (ID=:id)");
    int bh = 0;
    for (const Line &l : s.lines) {
        Statement(insert)
                .text("num", number)
                .text("code", l.cells->code)
                .text("name", l.cells->name)
                .text("unit", l.cells->unit)
                .money("price", l.price)
                .money("count", l.count)
                .money("amount", l.amount)
                .text("type", l.cells->category)
                .text("py", l.cells->py)
                .text("bh", QString::number(++bh))
                .money("cost", l.cost)
                .number("zk", l.discount)
                .integer("id", l.id)
                .run(c);
        Statement(counters).money("n", l.count).integer("id", l.id).run(c);
    }
}

// Points, spend, visit, last visit and a card payment in one statement.
void writeMember(vdb::Connection &c, const SaleDraft &d, const Sale &s, Money points)
{
    QString sql = QStringLiteral("UPDATE Member SET theXF=Round(theXF+:spend,4),UseCount=UseCount+1,UseDate=:date");
    if (d.creditPoints) sql += QStringLiteral(",theJF=Round(theJF+:points,4)");
    if (d.paysByCard()) sql += QStringLiteral(",theCZ=Round(theCZ-:paid,4)");
    Statement update(sql + " WHERE (theNum=:card) AND (theDel='否')");
    update.money("spend", s.total).text("date", d.businessDate).text("card", d.card);
    if (d.creditPoints) update.money("points", points);
    if (d.paysByCard()) update.money("paid", s.received);
    update.run(c);
    velmora::upgradeMemberType(c, d.card);
}

}  // namespace

SaleRefusal checkSale(vdb::Connection &c, const SaleDraft &d)
{
    Sale s;
    return check(c, d, &s);
}

SaleResult saveSale(vdb::Connection &c, const SaleDraft &d)
{
    SaleResult result;
    vdb::Transaction tx(c);
    // Read again inside the transaction: another till may have taken the
    // stock or the stored value since the window checked.
    Sale s;
    result.refusal = check(c, d, &s);
    if (result.refusal) return result;

    Money points;
    if (!d.walkIn && d.creditPoints) {
        double p = s.total.toDouble() * toNumber(d.pointsRatio);
        if (d.wholePoints && p > 0) p = std::trunc(p);
        points = Money::fromDouble(p);
    }
    const QString number = velmora::newDocNumber(c, QStringLiteral("UXF"), d.businessDate);
    writeLines(c, d, s, number);
    if (!d.walkIn) writeMember(c, d, s, points);

    Money cost, count;
    for (const Line &l : s.lines) {
        cost += l.cost.times(l.count.toDouble());
        count += l.count;
    }
    Statement("Insert Into UXF(theDate,theType,theNum,theHJ,theZR,theSJ,MType,Remark,theDel,theUser,MNum,theJF,theZK,"
              "theDX,theCB,theCount,JSRNum,JSRTC,TCJF,TCMoney,WName,myDate,theYE,theSum) Values(:date,:type,:num,:hj,"
              ":zr,:sj,:payment,:remark,'否',:user,:card,:points,:zk,:dx,:cost,:count,:introducer,'否',0,0,:worker,"
              ":saleDate,:owed,:goods)")
            .text("date", d.businessDate)
            .text("type", d.walkIn ? QStringLiteral("散客") : QStringLiteral("会员"))
            .text("num", number)
            .money("hj", s.total)
            .money("zr", s.reduction)
            .money("sj", s.received)
            .text("payment", d.payment)
            .text("remark", d.remark)
            .text("user", d.user)
            .text("card", d.walkIn ? QString() : d.card)
            .money("points", points)
            .number("zk", s.extraDiscount)
            .text("dx", NumToChar(s.total))
            .money("cost", cost)
            .money("count", count)
            .text("introducer", d.walkIn ? QString() : d.introducer)
            .text("worker", d.worker)
            .text("saleDate", d.saleDate)
            .money("owed", s.total - s.received)
            .money("goods", s.goods)
            .run(c);
    Statement("Insert Into UXF_SK (theNum, theMoney, theSMType, theSKR, SKDate) Values (:num,:sj,:payment,:cashier,"
              ":saleDate)")
            .text("num", number)
            .money("sj", s.received)
            .text("payment", d.payment)
            .text("cashier", d.cashier)
            .text("saleDate", d.saleDate)
            .run(c);
    tx.commit();
    result.number = number;
    return result;
}

}  // namespace sales
