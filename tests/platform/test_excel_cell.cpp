#include "platform/excel/excelcell.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace excel;

TEST(ExcelCell, NumberTextIsShortestDecimalUpTo15Digits)
{
    EXPECT_EQ(numberText(100), "100");
    EXPECT_EQ(numberText(12.5), "12.5");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(13912345678.0), "13912345678");
    EXPECT_EQ(numberText(-3.75), "-3.75");
    EXPECT_EQ(numberText(123456789012345.0), "123456789012345");
}

TEST(ExcelCell, PlainNumberOnlyWhenTheTextSurvivesAsANumber)
{
    for (const char *yes : {"0", "12", "-3.5", "0.25", "12.50", "123456789012345", "0.000000000000001"})
        EXPECT_TRUE(isPlainNumber(QString::fromLatin1(yes))) << yes;
    // Leading zeros, long digit runs, blanks, exponents and signs other than
    // a leading minus would change what the user sees.
    for (const char *no : {"", "-", "007", "0211234567", "1234567890123456", " 12", "12 ", "1e5", "+3", "-0", "1.",
                           ".5", "1,000", "12a", "2008-01-05"})
        EXPECT_FALSE(isPlainNumber(QString::fromLatin1(no))) << no;
    // The number given back is the one the text reads as, to the last bit,
    // also past the short texts read directly.
    const QString tiny = QStringLiteral("0.") + QString(80, u'0') + QStringLiteral("37");
    for (const QString &yes :
         {QStringLiteral("0"), QStringLiteral("-3.5"), QStringLiteral("0.1"), QStringLiteral("12.50"),
          QStringLiteral("123456789012345"), QStringLiteral("0.000000000000001"), QStringLiteral("-98765.4321098765"),
          QStringLiteral("2.2250738585072"), tiny}) {
        double value = -1;
        ASSERT_TRUE(isPlainNumber(yes, &value)) << qPrintable(yes);
        EXPECT_EQ(value, yes.toDouble()) << qPrintable(yes);
    }
    double untouched = 42;
    EXPECT_FALSE(isPlainNumber(QStringLiteral("007"), &untouched));
    EXPECT_EQ(untouched, 42);
}

TEST(ExcelCell, DateKindOfFormatCodes)
{
    const std::pair<DateKind, std::vector<const char *>> codes[] = {
            {DateKind::Date, {"yyyy-mm-dd", "yyyy\"年\"m\"月\"d\"日\"", "[$-804]yyyy年m月d日;@", "mmm"}},
            {DateKind::DateTime, {"yyyy/m/d h:mm"}},
            {DateKind::Time, {"h:mm AM/PM", "[h]:mm:ss", "mm:ss"}},
            // Letters that only look like date parts.
            {DateKind::None, {"General", "0.00E+00", "#,##0.00\"days\";[Red]-#,##0.00", "0_);\\(0\\)", "@"}},
    };
    for (const auto &[kind, list] : codes)
        for (const char *code : list) EXPECT_EQ(dateKindOfFormat(QString::fromUtf8(code)), kind) << code;

    const std::pair<int, DateKind> builtins[] = {{14, DateKind::Date}, {22, DateKind::DateTime}, {20, DateKind::Time},
                                                 {31, DateKind::Date}, {0, DateKind::None},      {49, DateKind::None}};
    for (const auto &[id, kind] : builtins) EXPECT_EQ(dateKindOfBuiltinFormat(id), kind) << id;
}

TEST(ExcelCell, SerialDatesIncludingTheFictitious1900LeapDay)
{
    EXPECT_EQ(serialDateText(1, DateKind::Date, false), "1900-01-01");
    EXPECT_EQ(serialDateText(59, DateKind::Date, false), "1900-02-28");
    EXPECT_EQ(serialDateText(61, DateKind::Date, false), "1900-03-01");
    EXPECT_EQ(serialDateText(45296, DateKind::Date, false), "2024-01-05");
    EXPECT_EQ(serialDateText(0, DateKind::Date, true), "1904-01-01");
    EXPECT_EQ(serialDateText(43830, DateKind::Date, true), "2024-01-01");
    EXPECT_EQ(serialDateText(2958465, DateKind::Date, false), "9999-12-31");
    EXPECT_EQ(serialDateText(2958466, DateKind::Date, false), "");
    EXPECT_EQ(serialDateText(-1, DateKind::Date, false), "");
    for (double huge : {1e18, 1e300})
        for (DateKind k : {DateKind::Date, DateKind::DateTime, DateKind::Time})
            EXPECT_EQ(serialDateText(huge, k, false), "") << huge;
    // Times round to the second; a hair before midnight is the next day.
    EXPECT_EQ(serialDateText(45296.5729166667, DateKind::DateTime, false), "2024-01-05 13:45:00");
    EXPECT_EQ(serialDateText(45296.999999999, DateKind::DateTime, false), "2024-01-06 00:00:00");
    EXPECT_EQ(serialDateText(0.75, DateKind::Time, false), "18:00:00");
    EXPECT_EQ(serialDateText(45296, DateKind::None, false), "");
}

TEST(ExcelCell, ColumnLettersAndCellReferences)
{
    EXPECT_EQ(columnLetters(0), "A");
    EXPECT_EQ(columnLetters(25), "Z");
    EXPECT_EQ(columnLetters(26), "AA");
    EXPECT_EQ(columnLetters(16383), "XFD");
    for (int c : {0, 25, 26, 701, 702, 16383}) {
        int col = -1, row = -1;
        ASSERT_TRUE(parseCellRef(QString(columnLetters(c) + "42"), &col, &row));
        EXPECT_EQ(col, c);
        EXPECT_EQ(row, 42);
    }
    int col, row;
    for (const char *bad : {"", "A", "12", "A0", "A1B", "1A", "A-1", "ZZZZZZZ1"})
        EXPECT_FALSE(parseCellRef(QString::fromLatin1(bad), &col, &row)) << bad;
}
