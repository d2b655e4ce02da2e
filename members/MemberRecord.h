#pragma once
// One member as the windows that work on a member show it, and the card
// search they all run.
//
// A window with a card field runs searchMembers(text) on Enter or a
// double-click in it and decides by the count:
//   1   fill its panel from the record (the card field takes the full card);
//   0   its own reaction (the card change shows "会员不存在，请重新录入会员卡号！",
//       the sale opens the quick entry TfrmNewMember);
//   >1  empty its panel, focus the card field, then
//       TfrmFindMember::pick(this, this, text), which calls the window's
//       lookupTaken() when the user takes a row.

#include "core/ShopRows.h"
#include "platform/ui/lookuptarget.h"
#include "platform/db/db.h"
#include "platform/db/sqlbuilder.h"

#include <QString>

namespace members {

struct MemberRecord {
    QString num;       // 会员卡号 theNum
    QString type;      // 会员分类 theType
    QString name;      // 会员姓名 theName
    QString sex;       // 性别 theSex
    QString bir;       // 公历生日 theBir
    QString nlBir;     // 农历生日 NLBir
    QString pho;       // 联系方式 thePho
    QString add;       // 联系地址 theAdd
    QString tm;        // 体貌特征 theTM
    QString ah;        // 爱好 theAH
    QString cp;        // 车牌 theCP
    QString remark;    // 备注 Remark
    QString zk;        // 享受折扣 theZK
    QString jfbl;      // 积分比例 theJFBL
    QString cz;        // 账户余额 theCZ
    QString jf;        // 积分 theJF
    QString useCount;  // 消费次数 UseCount
    QString xf;        // 累计消费 theXF
    QString date;      // 录入日期 theDate
    QString useDate;   // 消费日期 UseDate (last visit)
    QString jsrNum;    // 介绍人卡号 JSRNum
    QString id;        // ID

    // The query's current row; columns by their own names (select *) or by
    // the Chinese titles of the member lists.
    static MemberRecord fromCurrentRow(const vdb::Query &q);
    // The entered fields of a new or changed member.
    static MemberRecord of(const velmora::NewMember &n);
};

// The columns of the member lists and lookups, titled as they show.
QString memberListColumns();

// select + " Where (theState='启用') AND (theDel='否') AND ((theNum Like '%t%')
// OR (theName Like '%t%') OR (thePY Like '%t%'))" + tail: the enabled, live
// members whose card, name or pinyin code holds the text.
vdb::Statement memberSearch(const QString &select, const QString &text, const QString &tail = QString());

struct MemberSearch {
    int count = 0;
    MemberRecord member;  // the match when count is 1
};

// Runs the card search on the data module's connection.
MemberSearch searchMembers(const QString &text);

// Why the live member with the card may not be deleted ("注销"), from the
// database as it stands: money on the card, or a live sale, recharge or
// exchange.  "" when it may go.
QString removalRefusal(vdb::Connection &c, const QString &card);
// Checks again and marks the member deleted, in one transaction, so that a
// recharge or commission booked since the list was read stops it.  Returns
// the refusal ("" when deleted).
QString removeMember(vdb::Connection &c, const QString &card);

}  // namespace members
