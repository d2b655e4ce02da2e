#pragma once
// What the recharge and exchange windows and their lists write, without the
// windows: a save draws the number, changes the member's counter and adds
// the document row in one transaction; a deletion gives the counter back
// and marks the row deleted in one transaction.  A refused statement leaves
// the database as it was and is thrown (vdb::DbError).

#include "platform/db/db.h"
#include "platform/money.h"

#include <QString>

namespace members {

using velmora::Money;

struct Recharge {
    QString card;
    QString amount, bonus;  // as typed; checked as numbers
    QString payment, worker, cashier, remark;
    QString date;  // the recharge date "yyyy-mm-dd"
    QString businessDate, user;
};

struct Saved {
    QString refusal;  // for the user; empty when saved
    QString number;   // the new document's number
};

// Checks the amounts and the member, then stores the recharge: the balance
// grows by amount plus bonus, the capitals are those of the amount alone.
Saved saveRecharge(vdb::Connection &c, const Recharge &r);
// The live recharge of the number goes: its amount and bonus come off the
// balance.  Returns a refusal ("" when done).
QString deleteRecharge(vdb::Connection &c, const QString &number);

struct Exchange {
    QString card;
    QString gift;
    QString points, count;  // points per gift and the count, as typed
    QString worker, remark;
    QString date;  // the exchange date "yyyy-mm-dd"
    QString businessDate, user;
};

// The checks of an exchange (numbers, enough points, no live exchange of
// the same gift by the member), then the points come off and the row goes
// in.  The points checked are the member's as stored now.
Saved saveExchange(vdb::Connection &c, const Exchange &e);
// The live exchange of the number goes: its points (the stored total) come back.
QString deleteExchange(vdb::Connection &c, const QString &number);

// A new enabled gift; returns a refusal ("" when added).
QString addGift(vdb::Connection &c, const QString &name, const QString &points, const QString &remark);

// Points added by hand (negative: taken away; the balance may go below 0):
// the history row and the member's points in one transaction.
QString addManualPoints(vdb::Connection &c, const QString &card, const QString &points, const QString &remark,
                        const QString &businessDate, const QString &user);

}  // namespace members
