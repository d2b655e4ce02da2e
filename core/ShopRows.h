#pragma once
// New rows of the shop's master tables, each written by one routine
// whatever window or import adds it: members, goods, goods categories and
// the discount rows of member type and category.  Texts are stored as
// given; numbers must be plain decimal numbers (vdb::DbError otherwise).

#include "platform/db/db.h"
#include "platform/money.h"

#include <QString>

namespace velmora {

struct NewMember {
    QString num, name, sex, type, pinyin;
    QString bir, nlBir;  // "yyyy-mm-dd" or empty
    QString pho, add, remark, tm, ah, cp, introducer;
    QString zk, jfbl;                                            // from the member type
    QString cz = QStringLiteral("0"), jf = QStringLiteral("0");  // opening balance and points
};

// An enabled, live member entered on the business date by the logged-in
// user, with the initial card password, no spend and no visit yet.
void insertMember(vdb::Connection &c, const NewMember &m);
// The entered fields of the live member with the ID (its card, password,
// balance and counters stay); returns the rows changed (0: no such member).
int updateMember(vdb::Connection &c, const QString &id, const NewMember &m);

struct NewGoods {
    QString category, code, name, unit, remark, pinyin;
    QString price, cost, count = QStringLiteral("0");
    QString kc;  // "是" when its category keeps stock
};

// An enabled, live goods item entered on the business date, sold none yet.
void insertGoods(vdb::Connection &c, const NewGoods &g);

// A category, enabled, with a discount row for every member type at the
// type's own discount and points ratio.
void insertCategory(vdb::Connection &c, const QString &name, const QString &remark, const QString &kc);

// The discount and points ratio of a member type for one goods category.
void insertDiscount(vdb::Connection &c, const QString &memberType, const QString &category, const QString &zk,
                    const QString &jf);

// The next number of a document table (UXF, UCZ, UDH, UJH, UTH, SShop):
// the business date as "yymmdd" and the day's sequence number in four digits
// (the first one free, see freeNumber).
QString newDocNumber(vdb::Connection &c, const QString &table, const QString &businessDate);

// number when no row of the table (deleted ones too) holds it as theNum;
// else the first sequence after it that none holds.  The sequence is what
// follows the prefix's prefixLength characters, kept at its width.  A
// number typed by hand may be one the count would give later.
QString freeNumber(vdb::Connection &c, const QString &table, const QString &number, int prefixLength);

// The member moves to the highest enabled type whose spend threshold its
// total spend reaches; nothing changes when it reaches none.
void upgradeMemberType(vdb::Connection &c, const QString &card);

// Changes of a member's running totals, added inside one statement and
// rounded as the MONEY columns hold them.  Only the live member with the
// card changes: a deleted member's card number may have been given again,
// and the old row keeps its totals (the data module's counters do the same).
struct MemberTotals {
    Money points{}, spend{}, stored{};
    int visits = 0;
};
// The rows changed (0: no live member with that card).
int addMemberTotals(vdb::Connection &c, const QString &card, const MemberTotals &change);

}  // namespace velmora
