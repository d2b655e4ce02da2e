#pragma once
// The sale as numbers: the amounts the sale entry shows and stores, in
// fixed point with four decimals.

#include "platform/money.h"

#include <QString>

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

}  // namespace sales
