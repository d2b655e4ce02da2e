#pragma once
// A sale as a plain draft and the routine that stores it: the sale entry
// fills a SaleDraft from its fields and grid, runs checkSale before it asks
// for the card password, then saveSale, which checks again and writes every
// row and counter in one transaction.  Amounts are in fixed point with four
// decimals.

#include "platform/db/db.h"
#include "platform/money.h"

#include <QString>
#include <vector>

namespace sales {

using velmora::Money;

// A grid row's amount: price x quantity x discount / 100.  Throws
// velmora::ConversionError for a cell that is not a number.
Money lineAmount(const QString &price, const QString &count, const QString &discount);
// The bill: goods amount x extra discount / 100 - reduction.
Money billTotal(Money goods, double extraDiscount, Money reduction);
// An amount field or cell; an empty one is 0 when emptyIsZero.  Any other
// text must be an amount as a whole, else velmora::ConversionError.
Money fieldMoney(const QString &text, bool emptyIsZero = true);

// One goods row, its cells as the grid holds them.
struct SaleLine {
    QString code, name, unit, category, py, id;
    QString price, count, discount, amount, cost;
};

struct SaleDraft {
    bool walkIn = false;  // "散客消费"
    QString card;         // the member's card (ignored for a walk-in sale)
    QString introducer;   // the member's introducer card
    std::vector<SaleLine> lines;
    QString goodsAmount;       // 商品金额, before the extra discount and reduction
    QString extraDiscount;     // 折上折, percent
    QString reduction;         // 折让金额
    QString total;             // 合计金额
    QString received;          // 收款金额
    QString pointsRatio;       // the member's 积分比例
    bool creditPoints = true;  // "本次积分"
    QString payment;           // 收款方式; "会员卡" pays from the stored value
    QString cashier, worker, remark;
    QString saleDate;  // "yyyy-mm-dd"
    // The session and the shop's switches.
    QString businessDate, user;
    bool keepStock = false;      // stock kept
    bool negativeStock = false;  // stock may go below 0
    bool wholePoints = false;    // points truncated to whole numbers

    bool paysByCard() const { return !walkIn && payment == QStringLiteral("会员卡"); }
};

// The entry to correct when a check refuses the draft.
enum class SaleField { None, Card, Goods, ExtraDiscount, Reduction, Received, Payment, Cashier, Worker };

struct SaleRefusal {
    QString message;  // empty: no refusal
    SaleField field = SaleField::None;
    bool balanceShort = false;  // the card cannot pay: the window unticks "会员卡"
    explicit operator bool() const { return !message.isEmpty(); }
};

// Every check that needs no answer from the user, in the order the sale
// entry makes them; reads the stock and the stored value as they are now.
// Throws velmora::ConversionError for an entry that is not a number.
SaleRefusal checkSale(vdb::Connection &c, const SaleDraft &d);

struct SaleResult {
    SaleRefusal refusal;
    QString number;  // the new sale's number; empty when refused
};

// Checks again and, when nothing refuses, writes the sale in one
// transaction: the lines, the goods' stock and sold counters, the member's
// counters (and card payment, and type upgrade), the bill and its payment
// row.  A database error rolls everything back and is thrown.
SaleResult saveSale(vdb::Connection &c, const SaleDraft &d);

}  // namespace sales
