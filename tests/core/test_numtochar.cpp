#include "core/NumToChar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(NumToChar, DocumentExamples)
{
    EXPECT_EQ(NumToChar(1234.5), u"壹仟贰佰叁拾肆元伍角");
    EXPECT_EQ(NumToChar(100), u"壹佰元整");
    EXPECT_EQ(NumToChar(100.05), u"壹佰元零伍分");
    EXPECT_EQ(NumToChar(0.5), u"伍角");
    EXPECT_EQ(NumToChar(10.3), u"壹拾元叁角");
    EXPECT_EQ(NumToChar(100000), u"壹拾万元整");
    EXPECT_EQ(NumToChar(0), u"");
    EXPECT_EQ(NumToChar(1000000.01), u"壹佰万元零壹分");
    EXPECT_EQ(NumToChar(100000000), u"壹亿元整");
    EXPECT_EQ(NumToChar(98765432.1), u"玖仟捌佰柒拾陆万伍仟肆佰叁拾贰元壹角");
    EXPECT_EQ(NumToChar(30004005.06), u"叁仟万肆仟零伍元零陆分");
}

TEST(NumToChar, SmallAmountsAndInnerZeros)
{
    EXPECT_EQ(NumToChar(0.01), u"壹分");
    EXPECT_EQ(NumToChar(0.05), u"伍分");
    EXPECT_EQ(NumToChar(1), u"壹元整");
    EXPECT_EQ(NumToChar(10), u"壹拾元整");
    EXPECT_EQ(NumToChar(1001), u"壹仟零壹元整");
    EXPECT_EQ(NumToChar(12.34), u"壹拾贰元叁角肆分");
}

TEST(NumToChar, FenAreRoundedHalfAwayFromZeroOnTheDecimalValue)
{
    EXPECT_EQ(NumToChar(0.125), u"壹角叁分");  // 12.5 fen
    EXPECT_EQ(NumToChar(0.375), u"叁角捌分");  // 37.5 fen
    EXPECT_EQ(NumToChar(0.004), u"");
    EXPECT_EQ(NumToChar(99.996), u"壹佰元整");
    // Halves whose doubles lie below or above the half, and the same held as money.
    EXPECT_EQ(NumToChar(1.125), u"壹元壹角叁分");
    EXPECT_EQ(NumToChar(460.275), u"肆佰陆拾元贰角捌分");
    EXPECT_EQ(NumToChar(781.965), u"柒佰捌拾壹元玖角柒分");
    EXPECT_EQ(NumToChar(2.675), u"贰元陆角捌分");
    EXPECT_EQ(NumToChar(velmora::Money::fromText("460.275")), u"肆佰陆拾元贰角捌分");
    EXPECT_EQ(NumToChar(velmora::Money::fromText("-1.125")), u"负壹元壹角叁分");
    EXPECT_EQ(NumToChar(velmora::Money::fromText("0.0049")), u"");
}

TEST(NumToChar, NegativeAmountsGetASignInsteadOfFailing)
{
    EXPECT_EQ(NumToChar(-1234.5), u"负壹仟贰佰叁拾肆元伍角");
    EXPECT_EQ(NumToChar(-100), u"负壹佰元整");
    EXPECT_EQ(NumToChar(-0.05), u"负伍分");
    EXPECT_EQ(NumToChar(-0.004), u"");
    EXPECT_EQ(NumToChar(-0.0), u"");
}

TEST(NumToChar, LimitsOfTheFifteenPlaces)
{
    EXPECT_EQ(NumToChar(9999999999999.99), u"玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
    EXPECT_EQ(NumToChar(1000000000000), u"壹万亿元整");
    EXPECT_EQ(NumToChar(1e13), u"");
    EXPECT_EQ(NumToChar(-1e13), u"");
    EXPECT_EQ(NumToChar(std::numeric_limits<double>::quiet_NaN()), u"");
    EXPECT_EQ(NumToChar(std::numeric_limits<double>::infinity()), u"");
}

}  // namespace
