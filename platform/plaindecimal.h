#pragma once
// Plain decimal texts read without the locale machinery, which costs more
// than what the callers (cells written out, a prepared page's numbers) do
// with such a number.

#include <QStringView>

namespace velmora {

// Reads a plain decimal: an optional "-", digits, and a point with digits
// after it ("12", "-3.25"); no blanks, exponent, "+" or separators.  False
// for anything else or a value past what a double holds; value is left
// alone for a text of any other form.
bool readPlainDecimal(QStringView text, double &value);

}  // namespace velmora
