#include "members/MemberRecord.h"

#include "core/Unit1.h"
#include "core/dm.h"

namespace members {

MemberRecord MemberRecord::fromCurrentRow(const vdb::Query &q)
{
    const ui::LookupRow row = ui::LookupRow::fromCurrentRow(q);
    auto get = [&](const char *own, const char *title) {
        const QString o = QString::fromLatin1(own);
        return row.has(o) ? row.value(o) : row.value(QString::fromUtf8(title));
    };
    MemberRecord m;
    m.num = get("theNum", "会员卡号");
    m.type = get("theType", "会员分类");
    m.name = get("theName", "会员姓名");
    m.sex = get("theSex", "性别");
    m.bir = get("theBir", "公历生日");
    m.nlBir = get("NLBir", "农历生日");
    m.pho = get("thePho", "联系方式");
    m.add = get("theAdd", "联系地址");
    m.tm = get("theTM", "体貌特征");
    m.ah = get("theAH", "爱好");
    m.cp = get("theCP", "车牌");
    m.remark = get("Remark", "备注");
    m.zk = get("theZK", "享受折扣");
    m.jfbl = get("theJFBL", "积分比例");
    m.cz = get("theCZ", "账户余额");
    m.jf = get("theJF", "积分");
    m.useCount = get("UseCount", "消费次数");
    m.xf = get("theXF", "累计消费");
    m.date = get("theDate", "录入日期");
    m.useDate = get("UseDate", "消费日期");
    m.jsrNum = get("JSRNum", "介绍人卡号");
    m.id = row.value(QStringLiteral("ID"));
    return m;
}

MemberRecord MemberRecord::of(const velmora::NewMember &n)
{
    MemberRecord m;
    m.num = n.num;
    m.type = n.type;
    m.name = n.name;
    m.sex = n.sex;
    m.bir = n.bir;
    m.nlBir = n.nlBir;
    m.pho = n.pho;
    m.add = n.add;
    m.remark = n.remark;
    m.tm = n.tm;
    m.ah = n.ah;
    m.cp = n.cp;
    m.zk = n.zk;
    m.jfbl = n.jfbl;
    m.jsrNum = n.introducer;
    return m;
}

QString memberListColumns()
{
    return QStringLiteral("select theNum as 会员卡号,theType as 会员分类,") + "theName as 会员姓名,theSex as 性别," +
           "theBir as 公历生日,NLBir as 农历生日," + "thePho as 联系方式,theAdd as 联系地址," +
           "theTM as 体貌特征,theAH as 爱好,theCP as 车牌," + "theZK as 享受折扣,theJFBL as 积分比例," +
           "theJF as 积分,theXF as 累计消费," + "UseCount as 消费次数,UseDate as 消费日期," +
           "theCZ as 账户余额,theUser as 录入人," + "theDate as 录入日期,Remark as 备注," +
           "theState as 状态,JSRNum as 介绍人卡号," + "thePY,ID";
}

vdb::Statement memberSearch(const QString &select, const QString &text, const QString &tail)
{
    vdb::Statement s(select +
                     " Where (theState='启用') AND (theDel='否') AND ((theNum Like :text) OR "
                     "(theName Like :text) OR (thePY Like :text))" +
                     tail);
    s.text(QStringLiteral("text"), QLatin1Char('%') + text + QLatin1Char('%'));
    return s;
}

MemberSearch searchMembers(const QString &text)
{
    vdb::Query q(frmDM->ADOConnection1());
    memberSearch(QStringLiteral("select * from Member"), text).open(q);
    MemberSearch s;
    s.count = q.RecordCount();
    if (s.count == 1) s.member = MemberRecord::fromCurrentRow(q);
    return s;
}

QString removalRefusal(vdb::Connection &c, const QString &card)
{
    vdb::Query q(&c);
    vdb::Statement("select theCZ from Member Where (theNum=:card) AND (theDel='否')").text("card", card).open(q);
    // The balance as the MONEY column holds it: float residues count as 0.
    velmora::Money balance;
    for (q.First(); !q.Eof(); q.Next())
        if (velmora::Money::parse(q.value(QStringLiteral("theCZ")), &balance) && !balance.isZero())
            return QStringLiteral("该会员账户余额不为零，不能注销！");
    const std::pair<const char *, const char *> documents[] = {{"UXF", "该会员已经消费，不能注销！"},
                                                               {"UCZ", "该会员已经储值，不能注销！"},
                                                               {"UDH", "该会员已经兑换，不能注销！"}};
    for (const auto &[table, refusal] : documents) {
        vdb::Statement(QStringLiteral("Select ID from ") + table + QStringLiteral(" Where (MNum=:card) AND (theDel = '否')"))
                .text("card", card)
                .open(q);
        if (!q.IsEmpty()) return QString::fromUtf8(refusal);
    }
    return {};
}

QString removeMember(vdb::Connection &c, const QString &card)
{
    vdb::Transaction tx(c);
    const QString refusal = removalRefusal(c, card);
    if (!refusal.isEmpty()) return refusal;
    vdb::Statement("Update Member Set theDel='是' Where (theNum=:card) AND (theDel='否')").text("card", card).run(c);
    tx.commit();
    return {};
}

}  // namespace members
