// Run-time library shared by the script engine and the report library:
// date serials, the system's format settings and the Format family.
//
// A date-time is a double: whole days since 1899-12-30, the fraction is the
// time of day (0.5 = 12:00). Before 1899-12-30 the fraction still counts
// forward from midnight of that day, so -1.25 is 1899-12-29 06:00.
#pragma once

#include "script/ksvalue.h"

#include <QString>
#include <QStringList>

struct KsFormatSettings {
    QString ShortDateFormat = QStringLiteral("yyyy-mm-dd");
    QString LongDateFormat = QStringLiteral("yyyy'年'm'月'd'日'");
    QString ShortTimeFormat = QStringLiteral("hh:nn");
    QString LongTimeFormat = QStringLiteral("hh:nn:ss");
    QChar DateSeparator = QLatin1Char('-');
    QChar TimeSeparator = QLatin1Char(':');
    QChar DecimalSeparator = QLatin1Char('.');
    QChar ThousandSeparator = QLatin1Char(',');
    QString CurrencyString = QStringLiteral("￥");
    int CurrencyDecimals = 2;
    QString TimeAMString = QStringLiteral("上午");
    QString TimePMString = QStringLiteral("下午");
    QStringList ShortMonthNames, LongMonthNames, ShortDayNames, LongDayNames;  // Jan.., Sun..
    KsFormatSettings();
};

// The settings the engine uses (the system's: "yyyy-mm-dd", ".", ",").
KsFormatSettings &ksFormatSettings();

// Date serials.
bool ksTryEncodeDate(int year, int month, int day, double &out);
double ksEncodeDate(int year, int month, int day);  // raises on a bad date
bool ksTryEncodeTime(int hour, int min, int sec, int msec, double &out);
double ksEncodeTime(int hour, int min, int sec, int msec);
void ksDecodeDate(double dt, int &year, int &month, int &day);
void ksDecodeTime(double dt, int &hour, int &min, int &sec, int &msec);
int ksDayOfWeek(double dt);  // 1 = Sunday .. 7 = Saturday
bool ksIsLeapYear(int year);
int ksDaysInMonth(int year, int month);  // 0 for a month outside 1-12
double ksNow();
double ksDateOf(double dt);  // whole days
double ksTimeOf(double dt);  // fraction of the day (>= 0)

// Text of dates and times with the system settings.
QString ksDateToStr(double dt);
QString ksTimeToStr(double dt);
QString ksDateTimeToStr(double dt);  // date, " " and time; the time is left out at midnight
// The text of a Date value: like ksDateTimeToStr, but time only when the
// date part is 0 (a pure time of day).
QString ksDateValueToStr(double dt);

// Parsing; each raises EConvertError ("'x' is not a valid date") on bad text.
double ksStrToDate(const QString &s);
double ksStrToTime(const QString &s);
double ksStrToDateTime(const QString &s);
bool ksTryStrToDate(const QString &s, double &out);
bool ksTryStrToTime(const QString &s, double &out);
bool ksTryStrToDateTime(const QString &s, double &out);

// Format(Fmt, Args): % [index ":"] ["-"] [width] ["." precision] type, with
// the types d u e f g n m p s x and "*" for width or precision from the
// arguments. Raises EConvertError for a bad format or a wrong argument.
QString ksFormat(const QString &fmt, const std::vector<KsValue> &args);
// Format with the arguments of a script call: the elements of an array (one
// value that is no array is the only argument); arrays and objects among
// them pass as the integer 0.
QString ksFormatValues(const QString &fmt, const KsValue &args);
// FormatFloat: sections "pos;neg;zero", placeholders 0 and #, ".", ",",
// E+ E- e+ e-, quoted literals.
QString ksFormatFloat(const QString &fmt, double value);
// FormatDateTime: c d dd ddd dddd ddddd dddddd m mm mmm mmmm yy yyyy h hh n nn
// s ss z zzz t tt am/pm a/p ampm / : and quoted literals.
QString ksFormatDateTime(const QString &fmt, double dt);
// FloatToStr (15 significant digits).
QString ksFloatToStr(double d);
