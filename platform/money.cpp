#include "platform/money.h"

#include "platform/error.h"
#include "platform/plaindecimal.h"

#include <cmath>

namespace velmora {

namespace {

Error outOfRange(const QString &what)
{
    return Error(QStringLiteral("金额 %1 超出范围！").arg(what));
}

bool asciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Units of ten-thousandths from the decimal digits `digits` (no leading
// zeros) times 10^shift, rounded half away from zero; false beyond the range.
bool unitsOf(const QString &digits, int shift, qint64 *out)
{
    QString kept = digits;
    bool roundUp = false;
    if (shift >= 0) {
        if (!digits.isEmpty()) {
            if (digits.size() + shift > 19) return false;
            kept += QString(shift, u'0');
        }
    } else {
        const int keep = int(digits.size()) + shift;
        if (keep < 0) {
            kept.clear();
        } else {
            roundUp = keep < digits.size() && digits[keep] >= u'5';
            kept = digits.left(keep);
        }
    }
    if (kept.size() > 19) return false;
    unsigned long long v = 0;
    for (QChar c : kept) v = v * 10 + (c.unicode() - u'0');
    if (roundUp) ++v;
    if (v > static_cast<unsigned long long>(Money::kMaxUnits)) return false;
    *out = qint64(v);
    return true;
}

}  // namespace

bool Money::parse(const QString &text, Money *out)
{
    const QString t = text.trimmed();
    const int n = int(t.size());
    int i = 0;
    bool negative = false;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    QString digits;
    int fraction = 0, count = 0;
    for (; i < n && asciiDigit(t[i]); ++i, ++count) digits += t[i];
    if (i < n && t[i] == u'.') {
        for (++i; i < n && asciiDigit(t[i]); ++i, ++count, ++fraction) digits += t[i];
    }
    if (count == 0) return false;
    long exponent = 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) expNegative = t[i++] == u'-';
        int expDigits = 0;
        for (; i < n && asciiDigit(t[i]); ++i, ++expDigits)
            if (exponent < 100000) exponent = exponent * 10 + (t[i].unicode() - u'0');
        if (expDigits == 0) return false;
        if (expNegative) exponent = -exponent;
    }
    if (i != n) return false;
    int lead = 0;
    while (lead < digits.size() && digits[lead] == u'0') ++lead;
    digits.remove(0, lead);
    qint64 units = 0;
    if (!unitsOf(digits, int(exponent) - fraction + 4, &units)) return false;
    if (out) *out = Money(negative ? -units : units);
    return true;
}

Money Money::fromText(const QString &text)
{
    Money m;
    if (!parse(text, &m)) throw Error(QStringLiteral("“%1” 不是有效的金额！").arg(text));
    return m;
}

Money Money::fromDouble(double value)
{
    if (!std::isfinite(value)) throw outOfRange(QString::number(value));
    Money m;
    if (!parse(fixedDecimal(value, 4), &m)) throw outOfRange(QString::number(value, 'g', 15));
    return m;
}

QString Money::toString() const
{
    const unsigned long long a = m_units < 0 ? 0ULL - (unsigned long long)(m_units) : (unsigned long long)(m_units);
    QString s = QString::number(a / kScale);
    if (const unsigned long long frac = a % kScale) {
        QString f = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0'));
        while (f.endsWith(u'0')) f.chop(1);
        s += QLatin1Char('.') + f;
    }
    return m_units < 0 ? QLatin1Char('-') + s : s;
}

Money Money::times(double factor) const
{
    return fromDouble(toDouble() * factor);
}

Money Money::operator-() const
{
    return Money(-m_units);
}

Money Money::operator+(Money o) const
{
    const qint64 sum = m_units + o.m_units;  // both within kMaxUnits: no overflow
    if (sum > kMaxUnits || sum < -kMaxUnits) throw outOfRange(QString::number(double(sum) / kScale, 'g', 15));
    return Money(sum);
}

Money Money::operator-(Money o) const
{
    return *this + -o;
}

}  // namespace velmora
