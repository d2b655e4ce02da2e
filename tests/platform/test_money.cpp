// Fixed-point amounts with four decimals.
#include "platform/error.h"
#include "platform/money.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using velmora::Money;

namespace {

Money m(const char *text)
{
    return Money::fromText(QString::fromLatin1(text));
}

TEST(Money, ParsesWholeDecimalTextsOnly)
{
    EXPECT_EQ(m("0.3").units(), 3000);
    EXPECT_EQ(m(" 12.5 ").units(), 125000);
    EXPECT_EQ(m("-5").units(), -50000);
    EXPECT_EQ(m("+7.").units(), 70000);
    EXPECT_EQ(m(".25").units(), 2500);
    EXPECT_EQ(m("1e3").units(), 10000000);
    EXPECT_EQ(m("25E-2").units(), 2500);
    EXPECT_EQ(m("1e-400").units(), 0);
    for (const char *bad : {"", " ", ".", "-", "1.2.3", "abc", "1e", "1e+", "12a", "--1", "1,5", "0x10", "１"}) {
        Money out = m("9");
        EXPECT_FALSE(Money::parse(QString::fromUtf8(bad), &out)) << bad;
        EXPECT_EQ(out, m("9")) << bad;
    }
    EXPECT_THROW(m("1.2.3"), velmora::Error);
}

// Fewer decimals: integer arithmetic on the ten-thousandths, so a half
// rounds away from zero whichever side of it the double lies.
TEST(Money, RoundsToFewerDecimalsHalfAwayFromZero)
{
    EXPECT_EQ(m("1.125").rounded(2), m("1.13"));
    EXPECT_EQ(m("460.275").rounded(2), m("460.28"));
    EXPECT_EQ(m("781.965").rounded(2), m("781.97"));
    EXPECT_EQ(m("-460.275").rounded(2), m("-460.28"));
    EXPECT_EQ(m("1.1249").rounded(2), m("1.12"));
    EXPECT_EQ(m("2.5").rounded(0), m("3"));
    EXPECT_EQ(m("-2.5").rounded(0), m("-3"));
    EXPECT_EQ(m("1.23456").rounded(4), m("1.2346"));
    EXPECT_EQ(m("1.125").fixedText(2), "1.13");
    EXPECT_EQ(m("-0.004").fixedText(2), "0.00");
    EXPECT_EQ(m("-0.005").fixedText(2), "-0.01");
    EXPECT_EQ(m("12").fixedText(2), "12.00");
    EXPECT_EQ(m("12.5").fixedText(0), "13");
    EXPECT_EQ(m("7.05").fixedText(1), "7.1");
}

TEST(Money, RoundsHalfAwayFromZeroAtTheFourthDecimal)
{
    EXPECT_EQ(m("1.00005").units(), 10001);
    EXPECT_EQ(m("-1.00005").units(), -10001);
    EXPECT_EQ(m("1.000049999").units(), 10000);
    EXPECT_EQ(m("0.00004").units(), 0);
    EXPECT_EQ(m("0.99995").units(), 10000);
    // From a double: its shortest decimal text decides, not its binary value.
    EXPECT_EQ(Money::fromDouble(1.00005).units(), 10001);
    EXPECT_EQ(Money::fromDouble(0.221500000000001).toString(), "0.2215");
    EXPECT_EQ(Money::fromDouble(10.2215 - 10), m("0.2215"));
    EXPECT_EQ(Money::fromDouble(-0.0).units(), 0);
}

TEST(Money, SumsAndComparesExactly)
{
    EXPECT_EQ(m("0.1") + m("0.2"), m("0.3"));
    EXPECT_TRUE((m("0.1") + m("0.2") - m("0.3")).isZero());
    EXPECT_EQ(Money::fromDouble(0.1 + 0.2), m("0.3"));
    EXPECT_FALSE(Money::fromDouble(0.7 - 0.4) < m("0.3"));
    EXPECT_LT(m("37.99"), m("38"));
    EXPECT_GT(m("-0.0001"), m("-0.0002"));
    EXPECT_TRUE((-m("5")).isNegative());
    Money total;
    for (int i = 0; i < 10; ++i) total += m("0.1");
    EXPECT_EQ(total, m("1"));
    total -= m("1.5");
    EXPECT_EQ(total.toString(), "-0.5");
    EXPECT_EQ(m("10").times(2 * 0.9), m("18"));
    EXPECT_EQ(m("0.1").times(3), m("0.3"));
    EXPECT_DOUBLE_EQ(m("12.3456").toDouble(), 12.3456);
}

TEST(Money, WritesTheShortestTextWithoutExponent)
{
    EXPECT_EQ(m("38").toString(), "38");
    EXPECT_EQ(m("0.30").toString(), "0.3");
    EXPECT_EQ(m("-12.0005").toString(), "-12.0005");
    EXPECT_EQ(m("-0.5").toString(), "-0.5");
    EXPECT_EQ(m("0").toString(), "0");
    EXPECT_EQ(m("1e12").toString(), "1000000000000");
    EXPECT_EQ(Money().toString(), "0");
}

TEST(Money, RefusesWhatItCannotHold)
{
    Money out;
    EXPECT_FALSE(Money::parse("1e400", &out));
    EXPECT_FALSE(Money::parse("1000000000000000", &out));
    EXPECT_TRUE(Money::parse("99999999999999", &out));
    EXPECT_THROW(Money::fromDouble(std::numeric_limits<double>::quiet_NaN()), velmora::Error);
    EXPECT_THROW(Money::fromDouble(std::numeric_limits<double>::infinity()), velmora::Error);
    EXPECT_THROW(Money::fromDouble(1e300), velmora::Error);
    const Money big = Money::fromUnits(Money::kMaxUnits);
    EXPECT_THROW(big + Money::fromUnits(1), velmora::Error);
    EXPECT_THROW(-big - Money::fromUnits(1), velmora::Error);
}

}  // namespace
