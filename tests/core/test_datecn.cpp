#include "core/DateCn.h"

#include <gtest/gtest.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>

namespace {

QString hexRow(int year)
{
    const unsigned char *r = LunarYearTable[year - LunarFirstYear];
    return QString::asprintf("%02x %02x %02x %02x", r[0], r[1], r[2], r[3]);
}

TEST(DateCnTable, PublishedRowsComeOutByteForByte)
{
    EXPECT_EQ(hexRow(1901), "0b 52 ba 00");
    EXPECT_EQ(hexRow(1903), "83 a9 37 05");
    EXPECT_EQ(hexRow(2000), "19 b2 5b 00");
    EXPECT_EQ(hexRow(2001), "87 6a 57 04");
    EXPECT_EQ(hexRow(2020), "87 ba 55 04");
    EXPECT_EQ(hexRow(2050), "88 2a d8 03");
}

TEST(DateCn, DayOfYear)
{
    EXPECT_EQ(GetDayOfYear(QDate(2001, 1, 1)), 1);
    EXPECT_EQ(GetDayOfYear(QDate(2001, 3, 1)), 60);
    EXPECT_EQ(GetDayOfYear(QDate(2000, 3, 1)), 61);
    EXPECT_EQ(GetDayOfYear(QDate(2000, 12, 31)), 366);
    EXPECT_EQ(GetDayOfYear(QDate(1900, 12, 31)), 365);
    EXPECT_EQ(GetDayOfYear(QDate()), 0);
}

TEST(DateCn, NewYearsDaysOfTheTable)
{
    EXPECT_EQ(GetLunarDate(QDate(2000, 1, 1)), 1125);
    EXPECT_EQ(GetLunarDateText(QDate(2000, 1, 1)), u"冬月廿五");
    EXPECT_EQ(GetLunarDate(QDate(2001, 1, 1)), 1207);
    EXPECT_EQ(GetLunarDateText(QDate(2001, 1, 1)), u"腊月初七");
    EXPECT_EQ(GetLunarDate(QDate(1901, 1, 1)), 1111);
    EXPECT_EQ(GetLunarMonthText(QDate(1901, 1, 1)), u"冬月");
    EXPECT_EQ(GetLunarDayText(QDate(1901, 1, 1)), u"十一");
    // Lunar new year 2020 was 25 January; the day before closed a 30-day 腊月.
    EXPECT_EQ(GetLunarDateText(QDate(2020, 1, 25)), u"正月初一");
    EXPECT_EQ(GetLunarDateText(QDate(2020, 1, 24)), u"腊月三十");
}

TEST(DateCn, LeapFourthMonthOf2020)
{
    // 闰四月 of 2020 ran from 23 May to 20 June.
    EXPECT_EQ(GetLunarDate(QDate(2020, 5, 22)), 430);
    EXPECT_EQ(GetLunarDate(QDate(2020, 5, 23)), -401);
    EXPECT_EQ(GetLunarDate(QDate(2020, 5, 27)), -405);
    EXPECT_EQ(GetLunarMonthText(QDate(2020, 5, 27)), u"闰四");
    EXPECT_EQ(GetLunarDateText(QDate(2020, 5, 27)), u"闰四初五");
    EXPECT_EQ(myNL5("2020-05-27"), "04-05");
    EXPECT_EQ(GetLunarDate(QDate(2020, 6, 21)), 501);
    EXPECT_EQ(GetLunarDateText(QDate(2020, 6, 21)), u"五月初一");
}

TEST(DateCn, NewYearsDayInsideALeapMonth)
{
    // 闰冬月 of 2033 began on 22 December 2033 and was still running on
    // 1 January 2034; the leap sign comes from the last day of 2033.
    EXPECT_EQ(GetLunarDate(QDate(2033, 12, 22)), -1101);
    EXPECT_EQ(GetLunarDate(QDate(2033, 12, 31)), -1110);
    EXPECT_EQ(GetLunarDate(QDate(2034, 1, 1)), -1111);
    EXPECT_EQ(GetLunarDateText(QDate(2034, 1, 1)), u"闰冬十一");
    EXPECT_EQ(myNL5("2034-01-01"), "11-11");
}

TEST(DateCn, OutsideTheTableGivesCodeZeroAndEmptyTexts)
{
    for (const QDate &d : {QDate(1900, 12, 31), QDate(2051, 1, 1), QDate(1, 1, 1), QDate()}) {
        EXPECT_EQ(GetLunarDate(d), 0);
        EXPECT_TRUE(GetLunarMonthText(d).isEmpty());
        EXPECT_TRUE(GetLunarDayText(d).isEmpty());
        EXPECT_TRUE(GetLunarDateText(d).isEmpty());
    }
    EXPECT_TRUE(LunarDateText(0).isEmpty());
    EXPECT_EQ(myNL5("1900-12-31"), "");
    EXPECT_EQ(myNL5("2051-01-01"), "");
    EXPECT_EQ(GetLunarDate(QDate(2050, 12, 31)) != 0, true);
}

TEST(DateCn, MyNL5RejectsMalformedText)
{
    EXPECT_EQ(myNL5("2020-1-1"), "");
    EXPECT_EQ(myNL5(""), "");
    EXPECT_EQ(myNL5("2020-01-011"), "");
    EXPECT_EQ(myNL5("2020/01/01"), "");
    EXPECT_EQ(myNL5("2020-02-30"), "");
    EXPECT_EQ(myNL5("2020-13-01"), "");
    EXPECT_EQ(myNL5("20a0-01-01"), "");
    EXPECT_EQ(myNL5(" 2020-1-01"), "");
    EXPECT_EQ(myNL5("2000-01-01"), "11-25");
    EXPECT_EQ(myNL5("2001-01-01"), "12-07");
}

// Every day of the table against ICU's Chinese calendar.
TEST(DateCn, AgreesWithIcuOnEveryDay)
{
    UErrorCode st = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(
            icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), icu::Locale("zh_CN@calendar=chinese"), st));
    ASSERT_TRUE(U_SUCCESS(st) && cal);
    const qint64 epoch = QDate(1970, 1, 1).toJulianDay();
    int days = 0;
    int mismatches = 0;
    for (QDate d(1901, 1, 1); d <= QDate(2050, 12, 31); d = d.addDays(1), ++days) {
        cal->setTime(double(d.toJulianDay() - epoch) * U_MILLIS_PER_DAY + U_MILLIS_PER_HOUR * 12, st);
        const int month = cal->get(UCAL_MONTH, st) + 1;
        const int day = cal->get(UCAL_DATE, st);
        const bool leap = cal->get(UCAL_IS_LEAP_MONTH, st) != 0;
        ASSERT_TRUE(U_SUCCESS(st));
        const int expected = leap ? -(month * 100 + day) : month * 100 + day;
        const int got = GetLunarDate(d);
        const QString nl5 = myNL5(d.toString("yyyy-MM-dd"));
        const QString wanted = QString::asprintf("%02d-%02d", month, day);
        if (got != expected || nl5 != wanted) {
            if (++mismatches <= 10)
                ADD_FAILURE() << d.toString(Qt::ISODate).toStdString() << ": got " << got << " " << nl5.toStdString()
                              << ", ICU " << expected;
        }
    }
    EXPECT_EQ(days, 54787);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
