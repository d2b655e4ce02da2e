#pragma once
// Plain decimal texts read without the locale machinery, which costs more
// than what the callers (cells written out, a prepared page's numbers) do
// with such a number.

#include <QString>
#include <QStringView>

namespace velmora {

// Reads a plain decimal: an optional "-", digits, and a point with digits
// after it ("12", "-3.25"); no blanks, exponent, "+" or separators.  False
// for anything else or a value past what a double holds; value is left
// alone for a text of any other form.
bool readPlainDecimal(QStringView text, double &value);

// The value with that many decimals ("1.01", "-2.50"), rounded half away
// from zero on its decimal form of 15 significant digits: an amount read
// as 1.005 is 1.01, though the double nearest to it lies below.  A
// negative value keeps its sign also when it rounds to zero, as printf does.
QString fixedDecimal(double value, int decimals);

}  // namespace velmora
