// Pinyin codes of arbitrary GBK bytes and UTF-16 text, and the lunar "MM-DD"
// of arbitrary date texts: no crash, no read outside the tables, and results
// within their stated shape.
#include "core/DateCn.h"
#include "core/IMCode.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const int options = int(data[0] & 7) - (data[0] & 0x80 ? 1 : 0);
    const int maxLength = data[0] & 0x40 ? 255 : int(data[0] & 0x3F);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    QString code;
    MakePYCodeGBK(bytes, options, maxLength, code);
    if (code.size() > maxLength || (options < 0 && !code.isEmpty())) __builtin_trap();

    const QString text(reinterpret_cast<const QChar *>(data + 1), qsizetype((size - 1) / 2));
    MakePYCode(text, options, maxLength, code);
    if (code.size() > maxLength) __builtin_trap();
    for (QChar c : code)
        if (c.unicode() >= 0x80 && options >= 0) __builtin_trap();

    const QString nl = myNL5(QString::fromLatin1(bytes.data(), bytes.size()));
    if (!nl.isEmpty() && (nl.size() != 5 || nl.at(2) != u'-')) __builtin_trap();
    return 0;
}
