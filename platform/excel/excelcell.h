#pragma once

#include <QString>

// Conversions shared by the workbook reader and writer: how a cell's value
// becomes the text the rest of the program works with.
namespace excel {

// Shortest general decimal text with at most 15 significant digits:
// 100 -> "100", 12.5 -> "12.5", 0.1 + 0.2 -> "0.3".
QString numberText(double value);

// True when the text is a plain decimal ("12", "-3.5", "0.25") that reads
// back as the same text: no leading zeros, no exponent, no blanks, at most
// 15 significant digits.  Such text can be stored as a number without
// changing what the user sees.  value, when given, receives the number.
bool isPlainNumber(QStringView text, double *value = nullptr);

enum class DateKind { None, Date, DateTime, Time };

// What a number format shows: a date, a date and time, a time or neither.
DateKind dateKindOfFormat(const QString &formatCode);
DateKind dateKindOfBuiltinFormat(int numFmtId);

// A serial day number as text: Date "yyyy-mm-dd", DateTime
// "yyyy-mm-dd hh:mm:ss", Time "hh:mm:ss".  Empty when the serial is not a
// date Excel can show (negative or past 9999-12-31).
QString serialDateText(double serial, DateKind kind, bool date1904);

// 0 -> "A", 25 -> "Z", 26 -> "AA".
QString columnLetters(int column);

// "B7" -> column 1, row 7.  False when the text is not a cell reference.
bool parseCellRef(QStringView ref, int *column, int *row);

}  // namespace excel
