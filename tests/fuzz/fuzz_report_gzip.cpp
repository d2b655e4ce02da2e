// Feeds arbitrary bytes to the gzip-frame reader and the hexadecimal reader.

#include "report/lyrgzip.h"
#include "report/lyrutils.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        QString name;
        (void)GZipDecompress(bytes, &name);
    } catch (const EZLibError &) {}
    try {
        (void)ZDecompress(bytes, static_cast<qsizetype>(size % 64));
    } catch (const EZLibError &) {}
    try {
        (void)lyrHexToBytes(bytes);
    } catch (const ElyrConvertError &) {}
    return 0;
}
