#include "sales/SaleStore.h"

#include "core/receipts.h"

namespace sales {

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

}  // namespace sales
