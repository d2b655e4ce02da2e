#pragma once
// What the sale list does to a saved sale, without its window: deleting it
// (every counter the save changed goes back), collecting an owed amount,
// paying and withdrawing the introducer's commission.  Each runs in one
// transaction: a refused statement leaves the database as it was.

#include "platform/db/db.h"
#include "platform/money.h"

#include <QDate>
#include <QString>

namespace sales {

// Deletes the live sale of the number: the member's points, spend (by the
// bill's 合计, as the save added it), visits and the card part of what was
// paid come back, the type follows the spend; with stock kept the goods get
// their stock back; the sold counters fall.  The lines and payments go, the
// bill stays marked deleted.  Returns a refusal for the user ("" when done).
QString deleteSale(vdb::Connection &c, const QString &number, bool keepStock);

struct Collection {
    QString number;   // the sale
    QString amount;   // as typed
    QString payment;  // 收款方式; "会员卡" takes it from the stored value
    QString cashier;
    QDate date;
};

// The checks of a collection that need the database; the message for the
// user, "" when it may be saved.  The amount must be a number above 0 and
// not above what is still owed.
QString checkCollection(vdb::Connection &c, const Collection &k);
// Checks again and records the payment: owed goes down, received up, a card
// payment comes off the stored value.
QString collectOwed(vdb::Connection &c, const Collection &k);

// Pays the introducer of the sale: points and money (empty counts as 0) to
// the introducer card, the bill marked commissioned.
QString payCommission(vdb::Connection &c, const QString &number, const QString &points, const QString &money);
// Takes a paid commission back from the introducer and clears it on the bill.
QString withdrawCommission(vdb::Connection &c, const QString &number);

}  // namespace sales
