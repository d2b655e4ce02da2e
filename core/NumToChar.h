#pragma once
// Money amounts in Chinese capital numerals ("大写"), as printed on documents.

#include <QString>

// Amount in yuan to capitals: 1234.5 gives "壹仟贰佰叁拾肆元伍角", 100 gives
// "壹佰元整", 0 gives "".  The fen are rounded half to even.  A negative amount
// gives "负" followed by the capitals of its absolute value; an amount of
// 10^13 yuan or more (or not a number) gives "".
QString NumToChar(double amount);
