#include "platform/plaindecimal.h"

#include <QVarLengthArray>

#include <algorithm>
#include <string>
#include <string_view>

#include <charconv>
#include <cmath>

namespace velmora {

bool readPlainDecimal(QStringView text, double &value)
{
    const qsizetype n = text.size();
    QVarLengthArray<char, 64> buf(n);
    qsizetype digitsBefore = 0, digitsAfter = 0;
    bool point = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u >= '0' && u <= '9')
            (point ? digitsAfter : digitsBefore)++;
        else if (u == '.' && !point && digitsBefore > 0)
            point = true;
        else if (!(u == '-' && i == 0))
            return false;
        buf[i] = char(u);
    }
    if (digitsBefore == 0 || (point && digitsAfter == 0)) return false;
    const auto r = std::from_chars(buf.data(), buf.data() + n, value);
    return r.ec == std::errc() && r.ptr == buf.data() + n;
}

QString fixedDecimal(double value, int decimals)
{
    decimals = std::clamp(decimals, 0, 99);
    if (!std::isfinite(value)) return QString::number(value, 'f', decimals);
    // d.dddddddddddddde±x: 15 significant digits.
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view text(buf, size_t(r.ptr - buf));
    const size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
    // The digits of value x 10^decimals as a whole number, rounded.
    const int keep = exponent + 1 + decimals;
    std::string whole;
    bool up = false;
    if (keep >= 0) {
        if (keep < int(digits.size())) {
            whole = digits.substr(0, size_t(keep));
            up = digits[size_t(keep)] >= '5';
        } else {
            whole = digits + std::string(size_t(keep) - digits.size(), '0');
        }
    }
    if (up) {
        int i = int(whole.size()) - 1;
        for (; i >= 0 && whole[size_t(i)] == '9'; --i) whole[size_t(i)] = '0';
        if (i < 0)
            whole.insert(whole.begin(), '1');
        else
            ++whole[size_t(i)];
    }
    if (whole.size() < size_t(decimals) + 1) whole.insert(0, size_t(decimals) + 1 - whole.size(), '0');
    if (decimals > 0) whole.insert(whole.size() - size_t(decimals), 1, '.');
    return (value < 0 ? QStringLiteral("-") : QString()) + QString::fromLatin1(whole.data(), qsizetype(whole.size()));
}

}  // namespace velmora
