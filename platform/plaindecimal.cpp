#include "platform/plaindecimal.h"

#include <QVarLengthArray>

#include <charconv>

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

}  // namespace velmora
