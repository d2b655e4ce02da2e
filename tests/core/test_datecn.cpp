#include "core/DateCn.h"

#include <gtest/gtest.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <utility>

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

// The first day of the first month, 1901-2050, as the published calendar
// has them (yyyymmdd).
constexpr int PublishedNewYears[] = {
        19010219, 19020208, 19030129, 19040216, 19050204, 19060125, 19070213, 19080202, 19090122, 19100210, 19110130,
        19120218, 19130206, 19140126, 19150214, 19160203, 19170123, 19180211, 19190201, 19200220, 19210208, 19220128,
        19230216, 19240205, 19250124, 19260213, 19270202, 19280123, 19290210, 19300130, 19310217, 19320206, 19330126,
        19340214, 19350204, 19360124, 19370211, 19380131, 19390219, 19400208, 19410127, 19420215, 19430205, 19440125,
        19450213, 19460202, 19470122, 19480210, 19490129, 19500217, 19510206, 19520127, 19530214, 19540203, 19550124,
        19560212, 19570131, 19580218, 19590208, 19600128, 19610215, 19620205, 19630125, 19640213, 19650202, 19660121,
        19670209, 19680130, 19690217, 19700206, 19710127, 19720215, 19730203, 19740123, 19750211, 19760131, 19770218,
        19780207, 19790128, 19800216, 19810205, 19820125, 19830213, 19840202, 19850220, 19860209, 19870129, 19880217,
        19890206, 19900127, 19910215, 19920204, 19930123, 19940210, 19950131, 19960219, 19970207, 19980128, 19990216,
        20000205, 20010124, 20020212, 20030201, 20040122, 20050209, 20060129, 20070218, 20080207, 20090126, 20100214,
        20110203, 20120123, 20130210, 20140131, 20150219, 20160208, 20170128, 20180216, 20190205, 20200125, 20210212,
        20220201, 20230122, 20240210, 20250129, 20260217, 20270206, 20280126, 20290213, 20300203, 20310123, 20320211,
        20330131, 20340219, 20350208, 20360128, 20370215, 20380204, 20390124, 20400212, 20410201, 20420122, 20430210,
        20440130, 20450217, 20460206, 20470126, 20480214, 20490202, 20500123,
};

QDate ymd(int v)
{
    return QDate(v / 10000, v / 100 % 100, v % 100);
}

TEST(DateCn, EveryNewYearOfTheTableFallsOnThePublishedDay)
{
    ASSERT_EQ(int(std::size(PublishedNewYears)), LunarTableYears);
    for (int v : PublishedNewYears) {
        const QDate d = ymd(v);
        SCOPED_TRACE(d.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(GetLunarDate(d), 101);
        EXPECT_EQ(GetLunarDateText(d), u"正月初一");
        // The eve is the last day of the twelfth month.
        const int eve = GetLunarDate(d.addDays(-1));
        EXPECT_TRUE(eve == 1229 || eve == 1230) << eve;
        EXPECT_EQ(GetLunarDate(d.addDays(29)) == 201 || GetLunarDate(d.addDays(30)) == 201, true);
    }
}

// Months whose new moon falls within minutes of midnight in China's time
// (UTC+8; Beijing's mean time before 1929) begin on the published day.
TEST(DateCn, MonthsBeginningNearMidnightFollowThePublishedCalendar)
{
    struct Case {
        int date, code;
    };
    for (const Case &k : {
                 Case{20270206, 101},
                 Case{20270228, 123},
                 Case{20300203, 101},
                 Case{19540203, 101},
                 Case{19550222, 201},
                 Case{19990117, 1201},
                 Case{20120817, 701},
                 Case{20181108, 1001},
                 Case{19160203, 101},
                 // Leap months placed by principal terms within minutes of midnight.
                 Case{19170323, -201},
                 Case{19170421, 301},
                 Case{19220625, -501},
                 Case{19220724, 601},
                 Case{19870726, -601},
                 Case{19870824, 701},
         }) {
        SCOPED_TRACE(k.date);
        const QDate d = ymd(k.date);
        EXPECT_EQ(GetLunarDate(d), k.code);
        // A first day follows the last day of the month before.
        if (std::abs(k.code) % 100 == 1) {
            const int eve = std::abs(GetLunarDate(d.addDays(-1))) % 100;
            EXPECT_TRUE(eve == 29 || eve == 30) << eve;
        }
    }
    EXPECT_EQ(GetLunarDateText(QDate(2027, 2, 6)), u"正月初一");
    EXPECT_EQ(GetLunarDateText(QDate(2027, 2, 28)), u"正月廿三");
    EXPECT_EQ(myNL5("1987-07-26"), "06-01");
}

// Every day of the table against ICU's Chinese calendar, but for the months
// its coarser astronomy misplaces: new moons (and in 1917, 1922 and 1987 the
// principal terms that place a leap month) within minutes of midnight, where
// the table follows the published calendar (the tests above).
TEST(DateCn, AgreesWithIcuOnEveryDayButTheMonthsItMisplaces)
{
    const std::pair<QDate, QDate> icuMisplaces[] = {
            {{1906, 4, 23}, {1906, 5, 22}}, {{1917, 3, 23}, {1917, 5, 20}}, {{1922, 6, 25}, {1922, 8, 22}},
            {{1954, 2, 3}, {1954, 3, 4}},   {{1955, 2, 22}, {1955, 3, 23}}, {{1987, 7, 26}, {1987, 9, 22}},
            {{1999, 1, 17}, {1999, 2, 15}}, {{2012, 8, 17}, {2012, 9, 15}}, {{2018, 11, 7}, {2018, 12, 6}},
            {{2027, 2, 6}, {2027, 3, 7}},   {{2030, 2, 2}, {2030, 3, 3}},
    };
    auto misplaced = [&](QDate d) {
        for (const auto &[from, to] : icuMisplaces)
            if (d >= from && d <= to) return true;
        return false;
    };
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
        if ((got != expected || nl5 != wanted) && !misplaced(d)) {
            if (++mismatches <= 10)
                ADD_FAILURE() << d.toString(Qt::ISODate).toStdString() << ": got " << got << " " << nl5.toStdString()
                              << ", ICU " << expected;
        }
    }
    EXPECT_EQ(days, 54787);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
