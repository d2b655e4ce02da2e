#include "platform/plaindecimal.h"

#include <gtest/gtest.h>

#include <QString>

using velmora::fixedDecimal;
using velmora::readPlainDecimal;

namespace {

TEST(PlainDecimal, ReadsOnlyDigitsWithSignAndPoint)
{
    const QString longOne = QStringLiteral("1.") + QString(100, u'0') + QStringLiteral("25");
    for (const QString &yes : {QStringLiteral("0"), QStringLiteral("-12"), QStringLiteral("3.25"),
                               QStringLiteral("007.50"), QStringLiteral("-0"), QStringLiteral("123456789012345678"),
                               longOne}) {
        double value = -1;
        ASSERT_TRUE(readPlainDecimal(yes, value)) << qPrintable(yes);
        EXPECT_EQ(value, yes.toDouble()) << qPrintable(yes);
    }
    // Anything the locale or an exponent would be needed for is left alone,
    // and so is a number past the double range.
    const QString huge = QStringLiteral("1") + QString(400, u'0');
    for (const QString &no : {QString(), QStringLiteral("-"), QStringLiteral("+3"), QStringLiteral(".5"),
                              QStringLiteral("1."), QStringLiteral("-.5"), QStringLiteral("1e5"), QStringLiteral(" 12"),
                              QStringLiteral("12 "), QStringLiteral("1,5"), QStringLiteral("1.2.3"),
                              QStringLiteral("--1"), QStringLiteral("1-"), QStringLiteral("\u0661\u0662")}) {
        double value = 42;
        EXPECT_FALSE(readPlainDecimal(no, value)) << qPrintable(no);
        EXPECT_EQ(value, 42) << qPrintable(no);
    }
    double value = 0;
    EXPECT_FALSE(readPlainDecimal(huge, value));
}

// Amounts kept to four decimals print with fewer rounded half away from
// zero on their decimal digits, whatever the double nearest to them is.
TEST(PlainDecimal, FixedDecimalRoundsTheDecimalFormHalfAwayFromZero)
{
    EXPECT_EQ(fixedDecimal(1.005, 2), QStringLiteral("1.01"));
    EXPECT_EQ(fixedDecimal(2.675, 2), QStringLiteral("2.68"));
    EXPECT_EQ(fixedDecimal(-1.005, 2), QStringLiteral("-1.01"));
    EXPECT_EQ(fixedDecimal(0.015, 2), QStringLiteral("0.02"));
    EXPECT_EQ(fixedDecimal(9.995, 2), QStringLiteral("10.00"));
    EXPECT_EQ(fixedDecimal(0.5, 0), QStringLiteral("1"));
    EXPECT_EQ(fixedDecimal(0.0004, 3), QStringLiteral("0.000"));
    EXPECT_EQ(fixedDecimal(0, 2), QStringLiteral("0.00"));
    EXPECT_EQ(fixedDecimal(-0.001, 2), QStringLiteral("-0.00"));
    EXPECT_EQ(fixedDecimal(1e20, 1), QStringLiteral("100000000000000000000.0"));
    EXPECT_EQ(fixedDecimal(123.456, 5), QStringLiteral("123.45600"));
    // Every amount of four decimals up to 100, both signs, to two and
    // three decimals, against whole-number arithmetic on its ten-thousandths.
    for (int units = 0; units <= 1000000; ++units) {
        const QString text = QStringLiteral("%1.%2").arg(units / 10000).arg(units % 10000, 4, 10, QLatin1Char('0'));
        const double value = text.toDouble();
        for (const int decimals : {2, 3}) {
            const int step = decimals == 2 ? 100 : 10;
            const int rounded = (units + step / 2) / step;
            int scale = 1;
            for (int i = 0; i < decimals; ++i) scale *= 10;
            const QString expected =
                    QStringLiteral("%1.%2").arg(rounded / scale).arg(rounded % scale, decimals, 10, QLatin1Char('0'));
            ASSERT_EQ(fixedDecimal(value, decimals), expected) << qPrintable(text);
            if (units != 0) ASSERT_EQ(fixedDecimal(-value, decimals), "-" + expected) << qPrintable(text);
        }
    }
}

}  // namespace
