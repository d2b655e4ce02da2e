#include "platform/image/jpeg.h"
#include "platform/media/sound.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vplatform;

namespace {

QImage quarters()
{
    // Four flat quarters: red, green, blue, white.
    QImage img(64, 48, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, 32, 24, Qt::red);
    p.fillRect(32, 0, 32, 24, Qt::green);
    p.fillRect(0, 24, 32, 24, Qt::blue);
    p.fillRect(32, 24, 32, 24, Qt::white);
    return img;
}

bool near(QRgb a, QColor b, int tolerance = 24)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QByteArray seed(const char *name)
{
    QFile f(QStringLiteral(VELMORA_SOURCE_DIR "/tests/fuzz/corpus/platform_jpeg/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(Jpeg, EncodedPictureDecodesToTheSameSizeAndColours)
{
    const QByteArray data = encodeJpeg(quarters(), 95);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(data.left(2), QByteArray("\xff\xd8", 2));
    QString error;
    const QImage img = decodeJpeg(data, &error);
    ASSERT_FALSE(img.isNull()) << error.toStdString();
    EXPECT_EQ(img.size(), QSize(64, 48));
    EXPECT_TRUE(near(img.pixel(8, 8), Qt::red));
    EXPECT_TRUE(near(img.pixel(56, 8), Qt::green));
    EXPECT_TRUE(near(img.pixel(8, 40), Qt::blue));
    EXPECT_TRUE(near(img.pixel(56, 40), Qt::white));
}

TEST(Jpeg, GreyProgressiveAndCmykFilesDecode)
{
    const QImage gray = decodeJpeg(seed("gray.jpg"));
    ASSERT_EQ(gray.size(), QSize(8, 8));
    // Top row white, bottom row black, always grey.
    EXPECT_GT(qGray(gray.pixel(4, 0)), 200);
    EXPECT_LT(qGray(gray.pixel(4, 7)), 60);
    EXPECT_EQ(qRed(gray.pixel(3, 3)), qBlue(gray.pixel(3, 3)));

    const QImage progressive = decodeJpeg(seed("progressive.jpg"));
    ASSERT_EQ(progressive.size(), QSize(9, 7));
    EXPECT_TRUE(near(progressive.pixel(4, 3), QColor(255, 165, 0), 30));

    const QImage cmyk = decodeJpeg(seed("cmyk.jpg"));
    ASSERT_EQ(cmyk.size(), QSize(8, 8));
    EXPECT_TRUE(near(cmyk.pixel(4, 4), Qt::cyan, 40));
}

TEST(Jpeg, BrokenDataIsRefusedWithAReasonNotFatal)
{
    const QByteArray good = encodeJpeg(quarters());
    QString error;
    for (const QByteArray &bad : {QByteArray(), QByteArray("not a picture at all"), good.left(20),
                                  QByteArray(4096, '\xff'), QByteArray("\xff\xd8\xff\xd9", 4)}) {
        error.clear();
        EXPECT_TRUE(decodeJpeg(bad, &error).isNull()) << bad.size();
        EXPECT_FALSE(error.isEmpty());
    }
    // A file cut inside its picture data is damaged: skipped, not padded out
    // (padding a header that promises millions of pixels takes long).
    const int scan = int(good.indexOf(QByteArray("\xff\xda", 2)));
    ASSERT_GT(scan, 0);
    error.clear();
    EXPECT_TRUE(decodeJpeg(good.left(scan + 40), &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(decodeJpeg(good).isNull());
}

TEST(Jpeg, HugeDimensionsInTheHeaderAreRefusedBeforeAllocating)
{
    QByteArray data = encodeJpeg(quarters());
    // Patch the frame header (SOF0: FF C0, length, precision, height, width).
    const int sof = int(data.indexOf(QByteArray("\xff\xc0", 2)));
    ASSERT_GT(sof, 0);
    data[sof + 5] = char(0xff);
    data[sof + 6] = char(0xf0);
    data[sof + 7] = char(0xff);
    data[sof + 8] = char(0xf0);
    QString error;
    EXPECT_TRUE(decodeJpeg(data, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST(Jpeg, LoadFromFileAndMissingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bj.jpg");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(encodeJpeg(quarters()));
    f.close();
    EXPECT_EQ(loadJpeg(path).size(), QSize(64, 48));
    QString error;
    EXPECT_TRUE(loadJpeg(dir.filePath("none.jpg"), &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    // A device is not a picture file and is never read.
    error.clear();
    EXPECT_TRUE(loadJpeg(QStringLiteral("/dev/zero"), &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("/dev/zero")));
}

TEST(Sound, MissingFileOrNoOutputPlaysNothingAndNeverCrashes)
{
    QTemporaryDir dir;
    SoundPlayer player;
    EXPECT_FALSE(player.play(dir.filePath("Music/1.mp3")));
    EXPECT_FALSE(player.play(dir.path()));  // a folder is not a sound

    // A file that is there: plays only where the machine has an output.
    const QString path = dir.filePath("1.mp3");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1024, '\0'));
    f.close();
    EXPECT_EQ(player.play(path), SoundPlayer::audioAvailable());
    player.stop();
}
