#include "report/lyrgzip.h"
#include "report/lyrres.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

QByteArray sampleContent()
{
    QByteArray data;
    for (int i = 0; i < 5000; ++i) data.append(static_cast<char>((i * 7) % 251));
    return data;
}

// A standard gzip file (real modification time in bytes 4-7), made by zlib.
QByteArray standardGzip(const QByteArray &content)
{
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.time = 1700000000;
    deflateSetHeader(&zs, &header);
    QByteArray out(static_cast<qsizetype>(deflateBound(&zs, content.size())) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(content.data()));
    zs.avail_in = content.size();
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = out.size();
    deflate(&zs, Z_FINISH);
    out.resize(out.size() - zs.avail_out);
    deflateEnd(&zs);
    return out;
}

QByteArray zlibStream(const QByteArray &content)
{
    uLongf len = compressBound(content.size());
    QByteArray out(static_cast<qsizetype>(len), '\0');
    compress(reinterpret_cast<Bytef *>(out.data()), &len, reinterpret_cast<const Bytef *>(content.data()),
             content.size());
    out.resize(static_cast<qsizetype>(len));
    return out;
}

}  // namespace

TEST(lyrZLib, InflatesWhateverTheEstimate)
{
    QByteArray big(1 << 20, 'x');
    big.append("tail");
    const QByteArray z = zlibStream(big);
    ASSERT_LT(z.size(), 4096);  // the buffer must grow many steps
    EXPECT_EQ(ZDecompress(z, 0), big);
    EXPECT_EQ(ZDecompress(z, 10), big);
    EXPECT_EQ(ZDecompress(z, big.size() * 2), big);
}

TEST(lyrZLib, DamagedInputRaisesWithZlibText)
{
    const QByteArray z = zlibStream(sampleContent());
    QByteArray bad = z;
    bad[bad.size() - 1] = static_cast<char>(bad[bad.size() - 1] ^ 0x55);  // Adler-32 trailer
    try {
        ZDecompress(bad);
        FAIL() << "no exception";
    } catch (const EZDecompressionError &e) {
        EXPECT_EQ(e.Code(), Z_DATA_ERROR);
        EXPECT_EQ(e.Message(), QString::fromLatin1(zError(Z_DATA_ERROR)));
    }
    EXPECT_THROW(ZDecompress(QByteArray()), EZDecompressionError);
    EXPECT_THROW(ZDecompress(z.left(z.size() / 2)), EZDecompressionError);
    EXPECT_THROW(ZDecompress(QByteArray(z.size(), '\x01')), EZDecompressionError);
}

TEST(lyrZLib, OutputGuardStopsRunawayStreams)
{
    const QByteArray z = zlibStream(QByteArray(1 << 20, '\0'));
    EXPECT_THROW(ZDecompress(z, 0, 64 * 1024), EZDecompressionError);
}

TEST(lyrGZip, FrameCarriesAdlerMostSignificantFirstAndName)
{
    const QByteArray content = "Wikipedia";
    const QByteArray frame = GZipCompress(content, "1");
    ASSERT_GE(frame.size(), 20);
    EXPECT_EQ(static_cast<unsigned char>(frame[0]), 0x1F);
    EXPECT_EQ(static_cast<unsigned char>(frame[1]), 0x8B);
    EXPECT_EQ(frame[2], 8);
    EXPECT_EQ(frame[3], 8);
    // The published Adler-32 of "Wikipedia" is 0x11E60398.
    EXPECT_EQ(frame.mid(4, 4), QByteArray("\x11\xE6\x03\x98", 4));
    EXPECT_EQ(frame.mid(10, 2), QByteArray("1\0", 2));

    QString name;
    EXPECT_EQ(GZipDecompress(frame, &name), content);
    EXPECT_EQ(name, QStringLiteral("1"));
}

TEST(lyrGZip, StreamsRoundTripWithAndWithoutName)
{
    const QByteArray content = sampleContent();
    for (const QByteArray &fileName : {QByteArray("strip.bmp"), QByteArray()}) {
        QByteArray frame = GZipCompress(content, fileName);
        QBuffer src(&frame);
        src.open(QIODevice::ReadOnly);
        QByteArray out;
        QBuffer dst(&out);
        dst.open(QIODevice::WriteOnly);
        EXPECT_EQ(GZipDecompress(src, dst), QString::fromLatin1(fileName));
        EXPECT_EQ(out, content);
    }
}

TEST(lyrGZip, StandardGzipFailsOnTheChecksumAndWritesNothing)
{
    QByteArray frame = standardGzip(sampleContent());
    QBuffer src(&frame);
    src.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer dst(&out);
    dst.open(QIODevice::WriteOnly);
    try {
        GZipDecompress(src, dst);
        FAIL() << "no exception";
    } catch (const EZDecompressionError &e) {
        EXPECT_EQ(e.Code(), Z_DATA_ERROR);
    }
    EXPECT_TRUE(out.isEmpty());
}

TEST(lyrGZip, TruncatedOrDamagedFramesRaiseAndNeverCrash)
{
    const QByteArray content = sampleContent();
    const QByteArray frame = GZipCompress(content, "1");
    // Cutting off the trailer leaves the checksum-bearing stream intact only
    // while the whole deflate data is there.
    for (qsizetype len = 0; len < frame.size() - 8; ++len)
        EXPECT_THROW(GZipDecompress(frame.left(len)), EZDecompressionError) << len;
    // A name without its terminating zero swallows everything.
    QByteArray noEnd = frame.left(10) + QByteArray(40, 'n');
    EXPECT_THROW(GZipDecompress(noEnd), EZDecompressionError);
    // Flipping any byte of the header or data is caught (the trailer is not read).
    int caught = 0;
    for (qsizetype i = 0; i < frame.size() - 8; ++i) {
        QByteArray bad = frame;
        bad[i] = static_cast<char>(bad[i] ^ 0x20);
        try {
            if (GZipDecompress(bad) != content) ADD_FAILURE() << "wrong content accepted at " << i;
        } catch (const EZDecompressionError &) {
            ++caught;
        }
    }
    EXPECT_GT(caught, 0);
}

TEST(lyrGZip, EmbeddedButtonStripsDecodeToBitmaps)
{
    for (const char *name : {"PreviewButtons", "ObjectButtons"}) {
        QString fileName;
        const QByteArray bmp = GZipDecompress(lyrProgramResource(QString::fromLatin1(name)), &fileName);
        EXPECT_EQ(fileName, QStringLiteral("1"));
        ASSERT_TRUE(bmp.startsWith("BM")) << name;
        const QImage image = QImage::fromData(bmp, "BMP");
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.height(), 16);
        EXPECT_EQ(image.width() % 16, 0);
        // The strip framed again decodes to the same bitmap.
        QString again;
        EXPECT_EQ(GZipDecompress(GZipCompress(bmp, "1"), &again), bmp);
        EXPECT_EQ(again, QStringLiteral("1"));
    }
    EXPECT_TRUE(lyrProgramResource(QStringLiteral("NoSuchResource")).isEmpty());
}
