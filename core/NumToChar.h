#pragma once
// Money amounts in Chinese capital numerals ("大写"), as printed on documents.

#include "platform/money.h"

#include <QString>

// Amount in yuan to capitals: 1234.5 gives "壹仟贰佰叁拾肆元伍角", 100 gives
// "壹佰元整", 0 gives "".  The fen are rounded half away from zero on the
// amount's four decimals, as the figures beside the words are (1.125 gives
// 壹元壹角叁分).  A negative amount gives "负" followed by the capitals of
// its absolute value; an amount of 10^13 yuan or more gives "".
QString NumToChar(velmora::Money amount);
// The same for an amount held as a double: its shortest decimal text rounded
// to four decimals, then as above; not a number gives "".
QString NumToChar(double amount);
