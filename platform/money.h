#pragma once
// An amount of money as the MONEY columns hold it: a whole number of
// ten-thousandths, so that sums and comparisons are exact (0.1 + 0.2 == 0.3)
// and what is written to the database has at most four decimals.

#include <QString>
#include <QtGlobal>
#include <compare>

namespace velmora {

class Money {
public:
    static constexpr qint64 kScale = 10000;
    // The largest amount held: far beyond any shop's figures, and sums of a
    // few thousand of them cannot overflow.
    static constexpr qint64 kMaxUnits = 1000000000000000000LL;  // 10^14 in money

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 units) { return Money(units); }
    // Rounded half away from zero to four decimals, from the value's shortest
    // decimal text (1.00005 gives 1.0001).  Throws velmora::Error for a value
    // that is not finite or out of range.
    static Money fromDouble(double value);
    // The whole text (blanks around allowed) as a plain decimal number, with
    // optional sign, point and exponent, rounded to four decimals.  False for
    // anything else or a value out of range; *out is left alone then.
    static bool parse(const QString &text, Money *out);
    // As parse; throws velmora::Error naming the text when it is no amount.
    static Money fromText(const QString &text);

    constexpr qint64 units() const { return m_units; }
    double toDouble() const { return double(m_units) / double(kScale); }
    // The shortest text: "38", "0.3", "-12.0005"; never an exponent.
    QString toString() const;

    // The amount times a factor (a quantity, a percent / 100), rounded as fromDouble.
    Money times(double factor) const;
    // Rounded to 0-4 decimals half away from zero (四舍五入) on the decimal
    // value: 1.125 gives 1.13, -460.275 gives -460.28.
    Money rounded(int decimals) const;
    // The amount rounded as rounded() with exactly that many decimals and
    // no separators: "1.13", "-0.50", "12".
    QString fixedText(int decimals) const;

    Money operator-() const;
    Money operator+(Money o) const;
    Money operator-(Money o) const;
    Money &operator+=(Money o) { return *this = *this + o; }
    Money &operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money &) const = default;

    constexpr bool isZero() const { return m_units == 0; }
    constexpr bool isNegative() const { return m_units < 0; }

private:
    constexpr explicit Money(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

}  // namespace velmora
