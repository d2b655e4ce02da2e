#include "platform/plaindecimal.h"

#include <gtest/gtest.h>

#include <QString>

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

}  // namespace
