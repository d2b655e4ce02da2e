#include "report/lyrgzip.h"

#include <zlib.h>

QByteArray GZipDecompress(QByteArrayView frame, QString *fileName)
{
    qsizetype pos = 0;
    QByteArray checksum(4, '\0');
    QString name;
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(frame[i]); };
    if (frame.size() >= 4 && at(0) == 0x1F && at(1) == 0x8B && at(2) == 8) {
        const unsigned char flags = at(3);
        pos = 4;
        const qsizetype n = qMin<qsizetype>(4, frame.size() - pos);
        for (qsizetype i = 0; i < n; ++i) checksum[i] = frame[pos + i];
        pos = qMin(frame.size(), pos + 4 + 2);
        if (flags & 0x08) {
            const qsizetype start = pos;
            while (pos < frame.size() && frame[pos] != '\0') ++pos;
            name = QString::fromLatin1(frame.data() + start, pos - start);
            if (pos < frame.size()) ++pos;
        }
    }
    const qsizetype dataEnd = frame.size() - 8;
    QByteArray zstream;
    zstream.reserve(qMax<qsizetype>(0, dataEnd - pos) + 6);
    zstream.append('\x78').append('\xDA');
    if (dataEnd > pos) zstream.append(frame.data() + pos, dataEnd - pos);
    zstream.append(checksum);
    QByteArray out = ZDecompress(zstream, 0);
    if (fileName) *fileName = name;
    return out;
}

QString GZipDecompress(QIODevice &source, QIODevice &destination)
{
    const QByteArray frame = source.readAll();
    QString name;
    const QByteArray content = GZipDecompress(frame, &name);
    destination.write(content);
    return name;
}

QByteArray GZipCompress(QByteArrayView content, const QByteArray &fileName)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EZLibError(Z_STREAM_ERROR, QString::fromLatin1(zError(Z_STREAM_ERROR)));
    QByteArray raw;
    raw.resize(static_cast<qsizetype>(deflateBound(&zs, static_cast<uLong>(content.size()))));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
    zs.avail_in = static_cast<uInt>(content.size());
    zs.next_out = reinterpret_cast<Bytef *>(raw.data());
    zs.avail_out = static_cast<uInt>(raw.size());
    const int rc = deflate(&zs, Z_FINISH);
    raw.resize(raw.size() - zs.avail_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw EZLibError(rc, QString::fromLatin1(zError(rc)));

    const auto *bytes = reinterpret_cast<const Bytef *>(content.data());
    const uLong adler = adler32(adler32(0, nullptr, 0), bytes, static_cast<uInt>(content.size()));
    const uLong crc = crc32(crc32(0, nullptr, 0), bytes, static_cast<uInt>(content.size()));
    const quint32 size = static_cast<quint32>(content.size());

    QByteArray out;
    out.append('\x1F').append('\x8B').append('\x08').append(fileName.isEmpty() ? '\0' : '\x08');
    for (int shift = 24; shift >= 0; shift -= 8) out.append(static_cast<char>((adler >> shift) & 0xFF));
    out.append('\0').append('\x03');
    if (!fileName.isEmpty()) out.append(fileName).append('\0');
    out.append(raw);
    for (int shift = 0; shift < 32; shift += 8) out.append(static_cast<char>((crc >> shift) & 0xFF));
    for (int shift = 0; shift < 32; shift += 8) out.append(static_cast<char>((size >> shift) & 0xFF));
    return out;
}
