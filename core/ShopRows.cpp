#include "core/ShopRows.h"

#include "core/Unit1.h"
#include "platform/db/sqlbuilder.h"

#include <QDate>

namespace velmora {

using vdb::Statement;

namespace {
// The fields a member entry sets, for the insert and the update alike.
Statement &memberFields(Statement &s, const NewMember &m)
{
    return s.text("name", m.name)
            .text("bir", m.bir)
            .text("pho", m.pho)
            .text("add", m.add)
            .text("remark", m.remark)
            .text("py", m.pinyin)
            .number("zk", m.zk)
            .number("jfbl", m.jfbl)
            .text("type", m.type)
            .text("sex", m.sex)
            .text("tm", m.tm)
            .text("ah", m.ah)
            .text("cp", m.cp)
            .text("nlBir", m.nlBir)
            .text("introducer", m.introducer);
}
}  // namespace

void insertMember(vdb::Connection &c, const NewMember &m)
{
    Statement s(
            "Insert InTo Member(theNum,theName,theBir,thePho,theAdd,Remark,thePY,theState,theDate,theSex,theType,"
            "theZK,theJFBL,theXF,theCZ,UseDate,UseCount,theUser,theJF,theTM,theAH,theCP,theDel,NLBir,thePass,JSRNum) "
            "Values(:num,:name,:bir,:pho,:add,:remark,:py,'启用',:date,:sex,:type,:zk,:jfbl,0,:cz,'1900-01-01',0,"
            ":user,:jf,:tm,:ah,:cp,'否',:nlBir,:pass,:introducer)");
    memberFields(s, m)
            .text("num", m.num)
            .text("date", myLoginDate)
            .number("cz", m.cz)
            .text("user", myUser)
            .number("jf", m.jf)
            .text("pass", kDefaultPassword)
            .run(c);
}

int updateMember(vdb::Connection &c, const QString &id, const NewMember &m)
{
    Statement s("Update Member set theName=:name,theBir=:bir,thePho=:pho,theAdd=:add,Remark=:remark,thePY=:py,"
                "theZK=:zk,theJFBL=:jfbl,theType=:type,theSex=:sex,theTM=:tm,theAH=:ah,theCP=:cp,NLBir=:nlBir,"
                "JSRNum=:introducer Where ID=:id AND theDel='否'");
    return memberFields(s, m).number("id", id).run(c);
}

void insertGoods(vdb::Connection &c, const NewGoods &g)
{
    Statement("Insert InTo SShop(theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,theDel,theCB,"
              "theCount,theKC,theXF) Values(:type,:name,:unit,:price,:remark,:py,'启用',:code,:date,'否',:cost,:count,"
              ":kc,0)")
            .text("type", g.category)
            .text("name", g.name)
            .text("unit", g.unit)
            .number("price", g.price)
            .text("remark", g.remark)
            .text("py", g.pinyin)
            .text("code", g.code)
            .text("date", myLoginDate)
            .number("cost", g.cost)
            .number("count", g.count)
            .text("kc", g.kc)
            .run(c);
}

void insertCategory(vdb::Connection &c, const QString &name, const QString &remark, const QString &kc)
{
    Statement("Insert into SType(theName,Remark,theState,theKC) Values(:name,:remark,'启用',:kc)")
            .text("name", name)
            .text("remark", remark)
            .text("kc", kc)
            .run(c);
    vdb::Query types(&c);
    types.OpenSql(QStringLiteral("select theName,theZK,theJF from MType"));
    for (types.First(); !types.Eof(); types.Next())
        insertDiscount(c, types.value(QStringLiteral("theName")), name, types.value(QStringLiteral("theZK")),
                       types.value(QStringLiteral("theJF")));
}

void insertDiscount(vdb::Connection &c, const QString &memberType, const QString &category, const QString &zk,
                    const QString &jf)
{
    Statement("Insert into MTS(MType,SType,theZK,theJF) Values(:type,:category,:zk,:jf)")
            .text("type", memberType)
            .text("category", category)
            .number("zk", zk)
            .number("jf", jf)
            .run(c);
}

QString newDocNumber(vdb::Connection &c, const QString &table, const QString &businessDate)
{
    const QDate day = QDate::fromString(businessDate, kDateFormat);
    if (!day.isValid()) throw vdb::DbError(QStringLiteral("营业日期 “%1” 无效！").arg(businessDate));
    vdb::Query q(&c);
    Statement("select count(*) as n from " + table + " where (theDate=:date)").text("date", businessDate).open(q);
    const qint64 n = q.FieldByName(QStringLiteral("n")).AsInteger() + 1;
    return freeNumber(c, table,
                      day.toString(QStringLiteral("yyMMdd")) + QString::number(n).rightJustified(4, QLatin1Char('0')),
                      6);
}

QString freeNumber(vdb::Connection &c, const QString &table, const QString &number, int prefixLength)
{
    const QString prefix = number.left(prefixLength);
    const int width = int(number.size()) - prefixLength;
    qint64 n = number.mid(prefixLength).toLongLong();
    QString candidate = number;
    vdb::Query q(&c);
    for (;;) {
        Statement("select ID from " + table + " where theNum=:num").text("num", candidate).open(q);
        if (q.IsEmpty()) return candidate;
        candidate = prefix + QString::number(++n).rightJustified(width, QLatin1Char('0'));
    }
}

void upgradeMemberType(vdb::Connection &c, const QString &card)
{
    vdb::Query q(&c);
    // Two live rows with one card: which of them earned the spend is unknown.
    Statement("select theXF from Member Where (theDel='否') AND (theNum=:card)").text("card", card).open(q);
    if (q.RecordCount() != 1) return;
    const QString spend = q.value(QStringLiteral("theXF"));
    // The highest threshold reached; of types sharing it, the one listed last.
    Statement("select theName,theZK,theJF from MType where theState='启用' and theXF>0 and theXF<=:spend "
              "order by theXF desc, ID desc")
            .number("spend", spend.isEmpty() ? QStringLiteral("0") : spend)
            .open(q);
    if (q.IsEmpty()) return;
    Statement("UPDATE Member SET theType=:type,theZK=:zk,theJFBL=:jf Where theNum=:card AND (theDel='否')")
            .text("type", q.value(QStringLiteral("theName")))
            .number("zk", q.value(QStringLiteral("theZK")))
            .number("jf", q.value(QStringLiteral("theJF")))
            .text("card", card)
            .run(c);
}

int addMemberTotals(vdb::Connection &c, const QString &card, const MemberTotals &change)
{
    return Statement("UPDATE Member SET theJF=Round(theJF+:jf,4),theXF=Round(theXF+:xf,4),theCZ=Round(theCZ+:cz,4),"
                     "UseCount=UseCount+:uc WHERE (theNum=:card) AND (theDel='否')")
            .money("jf", change.points)
            .money("xf", change.spend)
            .money("cz", change.stored)
            .integer("uc", change.visits)
            .text("card", card)
            .run(c);
}

}  // namespace velmora
