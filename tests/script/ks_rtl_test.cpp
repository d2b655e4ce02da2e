#include "ks_print.h"
#include "script/ksrtl.h"

#include <gtest/gtest.h>

#include <QDate>

namespace {

QString F(const char *fmt, std::vector<KsValue> args)
{
    return ksFormat(QString::fromUtf8(fmt), args);
}

TEST(KsRtlDates, SerialsMatchTheCalendar)
{
    // Published reference points of the 1899-12-30 serial.
    EXPECT_EQ(ksEncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(ksEncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(ksEncodeDate(2000, 1, 1), 36526);
    int y, m, d;
    ksDecodeDate(45000.75, y, m, d);
    EXPECT_EQ(QDate(y, m, d), QDate(2023, 3, 15));
    int h, mi, s, ms;
    ksDecodeTime(45000.75, h, mi, s, ms);
    EXPECT_EQ(h, 18);
    EXPECT_EQ(mi, 0);
    ksDecodeDate(-1.25, y, m, d);
    ksDecodeTime(-1.25, h, mi, s, ms);
    EXPECT_EQ(QDate(y, m, d), QDate(1899, 12, 29));
    EXPECT_EQ(h, 6);
    EXPECT_EQ(ksDayOfWeek(ksEncodeDate(2026, 12, 6)), 1);  // a Sunday
    EXPECT_EQ(ksDaysInMonth(2000, 2), 29);
    EXPECT_EQ(ksDaysInMonth(1900, 2), 28);
    EXPECT_EQ(ksDaysInMonth(2023, 13), 0);
    EXPECT_THROW(ksEncodeDate(2023, 2, 29), KsError);
    // a time that rounds up to the next whole day moves to that day
    ksDecodeDate(1.9999999999, y, m, d);
    EXPECT_EQ(QDate(y, m, d), QDate(1900, 1, 1));
}

TEST(KsRtlDates, TextAndParsing)
{
    double dt = ksEncodeDate(2026, 3, 4) + ksEncodeTime(9, 5, 7, 0);
    EXPECT_EQ(ksDateToStr(dt), QStringLiteral("2026-03-04"));
    EXPECT_EQ(ksDateTimeToStr(dt), QStringLiteral("2026-03-04 09:05:07"));
    EXPECT_EQ(ksDateTimeToStr(ksEncodeDate(2026, 3, 4)), QStringLiteral("2026-03-04"));
    EXPECT_EQ(ksStrToDate(QStringLiteral("2026-03-04")), ksEncodeDate(2026, 3, 4));
    EXPECT_EQ(ksStrToDate(QStringLiteral(" 2026/3/4 ")), ksEncodeDate(2026, 3, 4));
    EXPECT_EQ(ksStrToDate(QStringLiteral("26-3-4")), ksEncodeDate(2026, 3, 4));
    EXPECT_THROW(ksStrToDate(QStringLiteral("2026-02-30")), KsError);
    EXPECT_THROW(ksStrToDate(QStringLiteral("abc")), KsError);
    EXPECT_THROW(ksStrToDate(QStringLiteral("2026-03-04x")), KsError);
    EXPECT_DOUBLE_EQ(ksStrToTime(QStringLiteral("18:00")), 0.75);
    EXPECT_DOUBLE_EQ(ksStrToTime(QStringLiteral("6:00 PM")), 0.75);
    EXPECT_THROW(ksStrToTime(QStringLiteral("25:00")), KsError);
    EXPECT_DOUBLE_EQ(ksStrToDateTime(QStringLiteral("2026-03-04 09:05:07")), dt);
}

TEST(KsRtlDates, FormatDateTime)
{
    double dt = ksEncodeDate(2026, 3, 4) + ksEncodeTime(14, 5, 7, 89);
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss.zzz"), dt),
              QStringLiteral("2026-03-04 14:05:07.089"));
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("yy/m/d"), dt), QStringLiteral("26-3-4"));
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("hh:mm"), dt), QStringLiteral("14:05"));  // m after h is minutes
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("h:nn am/pm"), dt), QStringLiteral("2:05 pm"));
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("'Day' d"), dt), QStringLiteral("Day 4"));
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("c"), dt), QStringLiteral("2026-03-04 14:05:07"));
    EXPECT_EQ(ksFormatDateTime(QStringLiteral("mmmm dddd"), dt), QStringLiteral("三月 星期三"));
}

TEST(KsRtlFormat, Types)
{
    EXPECT_EQ(F("%2.2n", {KsValue(1234.5)}), QStringLiteral("1,234.50"));
    EXPECT_EQ(F("%n", {KsValue(-1234567.891)}), QStringLiteral("-1,234,567.89"));
    EXPECT_EQ(F("%d|%5d|%-5d|%.3d", {KsValue(7), KsValue(42), KsValue(42), KsValue(5)}),
              QStringLiteral("7|   42|42   |005"));
    EXPECT_EQ(F("%s and %.2s", {KsValue(QStringLiteral("abc")), KsValue(QStringLiteral("xyz"))}),
              QStringLiteral("abc and xy"));
    EXPECT_EQ(F("%8.3f", {KsValue(3.14159)}), QStringLiteral("   3.142"));
    EXPECT_EQ(F("%f", {KsValue(2)}), QStringLiteral("2.00"));
    EXPECT_EQ(F("%e", {KsValue(1234.5)}), QStringLiteral("1.23450000000000E+003"));
    EXPECT_EQ(F("%.3e", {KsValue(-0.000123)}), QStringLiteral("-1.23E-004"));
    EXPECT_EQ(F("%g", {KsValue(0.5)}), QStringLiteral("0.5"));
    EXPECT_EQ(F("%x %.4x", {KsValue(255), KsValue(10)}), QStringLiteral("FF 000A"));
    EXPECT_EQ(F("%x", {KsValue(-1)}), QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(F("%*d", {KsValue(4), KsValue(7)}), QStringLiteral("   7"));
    EXPECT_EQ(F("%1:s %0:s", {KsValue(QStringLiteral("a")), KsValue(QStringLiteral("b"))}), QStringLiteral("b a"));
    EXPECT_EQ(F("100%%", {}), QStringLiteral("100%"));
    EXPECT_EQ(F("%d", {KsValue(3.0)}), QStringLiteral("3"));  // an integral float prints as %d
}

TEST(KsRtlFormat, ScriptArguments)
{
    KsValue args = KsValue::MakeList({KsValue(QStringLiteral("x")), KsValue(1.5), KsValue::MakeList({})});
    EXPECT_EQ(ksFormatValues(QStringLiteral("%s=%.1f %d"), args), QStringLiteral("x=1.5 0"));
    EXPECT_EQ(ksFormatValues(QStringLiteral("[%5s]"), KsValue(QStringLiteral("ab"))), QStringLiteral("[   ab]"));
    EXPECT_EQ(ksFormatValues(QStringLiteral("plain"), KsValue()), QStringLiteral("plain"));
}

TEST(KsRtlFormat, BadFormatsRaise)
{
    EXPECT_THROW(F("%d", {}), KsError);
    EXPECT_THROW(F("%d", {KsValue(1.5)}), KsError);
    EXPECT_THROW(F("%f", {KsValue(QStringLiteral("x"))}), KsError);
    EXPECT_THROW(F("%q", {KsValue(1)}), KsError);
    EXPECT_THROW(F("abc %", {KsValue(1)}), KsError);
    EXPECT_THROW(F("%999999999d", {KsValue(1)}), KsError);
}

TEST(KsRtlFormat, FormatFloat)
{
    EXPECT_EQ(ksFormatFloat(QStringLiteral("#,##0.00"), 1234567.891), QStringLiteral("1,234,567.89"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00"), 0.005), QStringLiteral("0.01"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00"), -2.5), QStringLiteral("-2.50"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("#.##"), 0.5), QStringLiteral(".5"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.##"), 2), QStringLiteral("2"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("000"), 7), QStringLiteral("007"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00;(0.00);'zero'"), -3), QStringLiteral("(3.00)"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00;(0.00);'zero'"), 0), QStringLiteral("zero"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("'￥'#,##0.00"), 12.5), QStringLiteral("￥12.50"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.00E+00"), 12345), QStringLiteral("1.23E+04"));
    EXPECT_EQ(ksFormatFloat(QStringLiteral("0.0"), -0.01), QStringLiteral("0.0"));
}

}  // namespace
