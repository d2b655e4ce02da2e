#include "sales/StockStore.h"

#include "core/IMCode.h"
#include "core/NumToChar.h"
#include "core/ShopRows.h"
#include "platform/db/sqlbuilder.h"

namespace sales {

using vdb::Statement;

QString saveSupplier(vdb::Connection &c, const QString &id, const Supplier &s, QString *newId)
{
    if (s.name.isEmpty()) return QStringLiteral("供应商 不能为空，请重新录入！");
    const QString py = MakePYCode(s.name, 2, 255);
    auto fields = [&](Statement st) {
        return st.text("name", s.name)
                .text("pro", s.contact)
                .text("phone", s.phone)
                .text("addr", s.address)
                .text("remark", s.remark)
                .text("py", py);
    };
    if (id != QLatin1String("0")) {
        fields(Statement("Update SSup set theName=:name,thePro=:pro,thePhone=:phone,theAdd=:addr,Remark=:remark,"
                         "thePY=:py Where (ID = :id)"))
                .number("id", id)
                .run(c);
        return {};
    }
    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("select ID from SSup Where theName=:name and theDel='否'").text("name", s.name).open(q);
    if (!q.IsEmpty()) return QStringLiteral("供应商 已存在，请重新录入！");
    fields(Statement("Insert InTo SSup(theName,thePro,thePhone,theAdd,Remark,theDel,thePY) Values(:name,:pro,:phone,"
                     ":addr,:remark,'否',:py)"))
            .run(c);
    if (newId) *newId = QString::number(c.lastInsertId());
    tx.commit();
    return {};
}

void removeSupplier(vdb::Connection &c, const QString &id)
{
    Statement("Update SSup Set theDel='是' Where (ID = :id)").number("id", id).run(c);
}

bool goodsHasStock(vdb::Connection &c, const QString &id)
{
    vdb::Query q(&c);
    Statement("select theCount from SShop where (ID = :id)").number("id", id).open(q);
    return !q.IsEmpty() && q.FieldByName(QStringLiteral("theCount")).AsFloat() > 0;
}

void removeGoods(vdb::Connection &c, const QString &id)
{
    Statement("Update SShop Set theDel='是' Where (ID = :id)").number("id", id).run(c);
}

QString kindWord(StockKind k)
{
    return k == StockKind::Purchase ? QStringLiteral("进货") : QStringLiteral("退货");
}

QString docTable(StockKind k)
{
    return k == StockKind::Purchase ? QStringLiteral("UJH") : QStringLiteral("UTH");
}

QString payColumn(StockKind k)
{
    return k == StockKind::Purchase ? QStringLiteral("FKType") : QStringLiteral("SKType");
}

namespace {

// A price or quantity cell: a plain number, not below 0.
bool cellNumber(const QString &text, Money *out)
{
    return Money::parse(text.trimmed(), out) && !out->isNegative();
}

struct Line {
    const StockLine *cells;
    qint64 id = 0;
    Money price, count, amount;
};

StockRefusal check(const StockDraft &d, std::vector<Line> *lines)
{
    using F = StockField;
    const QString noSupplier = QStringLiteral("供应商 不能为空，请按回车选择供应商！");
    if (d.supplierText.isEmpty()) return {noSupplier, F::Supplier};
    if (d.supplierId.isEmpty()) return {noSupplier, F::Supplier};
    if (d.lines.empty()) return {QStringLiteral("商品信息 不能为空！请重新选择"), F::Goods};
    // Every row before anything is written: a bad cell names its row.
    for (const StockLine &cells : d.lines) {
        Line l;
        l.cells = &cells;
        double id = 0;
        const QString row = QStringLiteral("第 %1 行 ").arg(cells.row);
        if (!vdb::isSqlNumber(cells.id, &id))
            return {row + QStringLiteral("商品 错误，请重新选择！"), F::Goods, cells.row, 1};
        l.id = qint64(id);
        if (!cellNumber(cells.price, &l.price))
            return {row + QStringLiteral("单价 错误，请重新录入！"), F::Goods, cells.row, 4};
        if (!cellNumber(cells.count, &l.count))
            return {row + QStringLiteral("数量 错误，请重新录入！"), F::Goods, cells.row, 5};
        l.amount = l.price.times(l.count.toDouble());
        lines->push_back(l);
    }
    if (d.payment.isEmpty()) return {QStringLiteral("请选择 付款方式！"), F::Payment};
    if (d.worker.isEmpty()) return {QStringLiteral("请选择 员工姓名！"), F::Worker};
    return {};
}

// The stock of goods with stock kept moves by sign x quantity.
void moveStock(vdb::Connection &c, qint64 id, Money count, int sign)
{
    Statement("Update SShop Set theCount=Round(theCount+:n,4) Where (ID=:id) AND (theKC='是')")
            .money("n", sign < 0 ? Money() - count : count)
            .integer("id", id)
            .run(c);
}

}  // namespace

bool stockAmount(const QString &price, const QString &count, Money *amount)
{
    Money p, n;
    if (!cellNumber(price, &p) || !cellNumber(count, &n)) return false;
    *amount = p.times(n.toDouble());
    return true;
}

StockRefusal checkStock(const StockDraft &d)
{
    std::vector<Line> lines;
    return check(d, &lines);
}

StockResult saveStock(vdb::Connection &c, const StockDraft &d)
{
    StockResult result;
    std::vector<Line> lines;
    result.refusal = check(d, &lines);
    if (result.refusal) return result;

    const bool purchase = d.kind == StockKind::Purchase;
    const QString table = docTable(d.kind);
    vdb::Transaction tx(c);
    const QString number = velmora::newDocNumber(c, table, d.businessDate);
    const Statement insert("insert into " + table +
                           "_List(theNum,myBH,SNum,theType,theName,theUnit,theCB,theCount,theMoney,thePY,SID) "
                           "Values(:num,:bh,:code,:type,:name,:unit,:cb,:count,:amount,:py,:id)");
    Money count, sum;
    int bh = 0;
    for (const Line &l : lines) {
        Statement(insert)
                .text("num", number)
                .text("bh", QString::number(++bh))
                .text("code", l.cells->code)
                .text("type", l.cells->category)
                .text("name", l.cells->name)
                .text("unit", l.cells->unit)
                .money("cb", l.price)
                .money("count", l.count)
                .money("amount", l.amount)
                .text("py", l.cells->py)
                .integer("id", l.id)
                .run(c);
        moveStock(c, l.id, l.count, purchase ? 1 : -1);
        if (purchase)
            Statement("UPDATE SShop SET theCB=:cb WHERE (ID = :id)").money("cb", l.price).integer("id", l.id).run(c);
        count += l.count;
        sum += l.amount;
    }
    Statement("Insert into " + table + "(theNum,theDate,theDel,DID,DName,theCount,theSum," + payColumn(d.kind) +
              ",Remark,theUser,theDX,myDate,WName) Values(:num,:date,'否',:did,:dname,:count,:sum,:pay,:remark,:user,"
              ":dx,:myDate,:worker)")
            .text("num", number)
            .text("date", d.businessDate)
            .number("did", d.supplierId)
            .text("dname", d.supplier)
            .money("count", count)
            .money("sum", sum)
            .text("pay", d.payment)
            .text("remark", d.remark)
            .text("user", d.user)
            .text("dx", NumToChar(sum))
            .text("myDate", d.docDate)
            .text("worker", d.worker)
            .run(c);
    tx.commit();
    result.number = number;
    return result;
}

QString deleteStock(vdb::Connection &c, StockKind k, const QString &number)
{
    const QString table = docTable(k);
    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("select ID from " + table + " where theNum=:num AND theDel='否'").text("num", number).open(q);
    if (q.IsEmpty()) return kindWord(k) + QStringLiteral("单 ") + number + QStringLiteral(" 不存在或已被删除！");
    Statement("select SID,theCount from " + table + "_List where theNum=:num order by ID").text("num", number).open(q);
    std::vector<std::pair<qint64, Money>> lines;
    for (q.First(); !q.Eof(); q.Next())
        lines.emplace_back(q.FieldByName(QStringLiteral("SID")).AsInteger(),
                           Money::fromDouble(q.FieldByName(QStringLiteral("theCount")).AsFloat()));
    // A purchase's quantity leaves the stock again, a return's comes back.
    for (const auto &[id, count] : lines) moveStock(c, id, count, k == StockKind::Purchase ? -1 : 1);
    Statement("Delete from " + table + "_List where theNum=:num").text("num", number).run(c);
    Statement("Update " + table + " Set theDel='是' Where theNum=:num").text("num", number).run(c);
    tx.commit();
    return {};
}

}  // namespace sales
