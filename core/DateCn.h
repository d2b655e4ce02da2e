#pragma once
// Chinese lunar calendar for the Gregorian years 1901-2050.
//
// A lunar date code is month * 100 + day, negated for a day of a leap month,
// and 0 for a date outside the table's years (or an invalid date).

#include <QDate>
#include <QString>

class QDateEdit;

constexpr int LunarFirstYear = 1901;
constexpr int LunarLastYear = 2050;
constexpr int LunarTableYears = LunarLastYear - LunarFirstYear + 1;

// One row per Gregorian year, in year order (row of Y at Y - LunarFirstYear):
//   byte 0: bit 7 set = 1 January lies in lunar month 12, clear = month 11;
//           bits 6-0 = lunar day of 1 January
//   bytes 1-2: lengths of sixteen consecutive lunar months from the one
//           holding 1 January, byte 1 first, most significant bit first,
//           set = 30 days, clear = 29
//   byte 3: number of the month followed by a leap month, 0 = none
// The days the table converts: 1901-01-01 to 2050-12-31.
bool InLunarTable(const QDate &date);
// The check of a date that is turned into a lunar date (business date,
// reminders, anniversaries, birthdays): outside the table it shows
// "“<date>” 不是有效的日期，请重新录入！", puts the focus on the picker and
// returns false.
bool requireLunarTableDate(QDateEdit *picker);

extern const unsigned char LunarYearTable[LunarTableYears][4];

// Day number within the Gregorian year, 1 January = 1 (0 for an invalid date).
int GetDayOfYear(const QDate &date);

// Lunar date code of a Gregorian date.
int GetLunarDate(const QDate &date);

// "正月" .. "腊月" for an ordinary month, "闰正" .. "闰腊" for a leap month,
// "" outside the table.
QString GetLunarMonthText(const QDate &date);

// "初一" .. "三十", "" outside the table.
QString GetLunarDayText(const QDate &date);

// Month text followed by day text ("腊月初七", "闰四初五"), "" outside the table.
QString GetLunarDateText(const QDate &date);

// Texts of a lunar date code (as returned by GetLunarDate), "" for code 0.
QString LunarMonthText(int code);
QString LunarDayText(int code);
QString LunarDateText(int code);

// Lunar "MM-DD" of a date written "yyyy-mm-dd" (a leap month gives the number
// of its ordinary month); "" unless the text is a valid ten-character date
// inside the table's years.
QString myNL5(const QString &dateText);
