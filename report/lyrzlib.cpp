#include "report/lyrzlib.h"

#include <zlib.h>

QByteArray ZDecompress(QByteArrayView input, qsizetype outputEstimate, qsizetype maxOutput)
{
    const qsizetype step = qMax<qsizetype>(256, (input.size() + 255) / 256 * 256);
    QByteArray out;
    out.resize(outputEstimate > 0 ? outputEstimate : step);

    z_stream zs{};
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.data()));
    zs.avail_in = static_cast<uInt>(input.size());
    int rc = inflateInit(&zs);
    if (rc != Z_OK) throw EZDecompressionError(rc, QString::fromLatin1(zError(rc)));

    qsizetype produced = 0;
    for (;;) {
        zs.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        rc = inflate(&zs, Z_NO_FLUSH);
        produced = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc < 0 || rc == Z_NEED_DICT) {
            inflateEnd(&zs);
            if (rc == Z_NEED_DICT) rc = Z_DATA_ERROR;
            throw EZDecompressionError(rc, QString::fromLatin1(zError(rc)));
        }
        if (zs.avail_out == 0) {
            if (out.size() + step > maxOutput) {
                inflateEnd(&zs);
                throw EZDecompressionError(Z_MEM_ERROR, QString::fromLatin1(zError(Z_MEM_ERROR)));
            }
            out.resize(out.size() + step);
        }
    }
    inflateEnd(&zs);
    out.resize(produced);
    return out;
}
