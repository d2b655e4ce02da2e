#include "report/lyrutils.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct LocaleGuard {
    explicit LocaleGuard(const QLocale &l) : saved(QLocale()) { QLocale::setDefault(l); }
    ~LocaleGuard() { QLocale::setDefault(saved); }
    QLocale saved;
};

QStringList pages(const QString &text, int last)
{
    QStringList list{QStringLiteral("stale")};
    lyrParsePageNumbers(text, list, last);
    return list;
}

}  // namespace

TEST(lyrUtils, TolerantNumberText)
{
    for (const QLocale &l : {QLocale(QLocale::Chinese, QLocale::China), QLocale(QLocale::German)}) {
        LocaleGuard guard(l);
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("1 234,5")), 1234.5);
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("-0.25")), -0.25);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("1,234.5")), ElyrConvertError);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("abc")), ElyrConvertError);
        EXPECT_THROW(lyrStrToFloat(QString()), ElyrConvertError);
        // Plain decimals, read the short way, give the C locale's value to
        // the last bit; anything else still goes the long way.
        for (const char *t : {"0", "-0", "7", "007", "-12", "0.1", "2.675", "123456789.123456789", "-0.000001",
                              "9007199254740993", "1.7976931348623157", "0.30000000000000004",
                              "12345678901234567890123456789012"}) {
            const double v = lyrStrToFloat(QString::fromLatin1(t));
            EXPECT_EQ(std::signbit(v), std::signbit(QLocale::c().toDouble(QString::fromLatin1(t)))) << t;
            EXPECT_EQ(v, QLocale::c().toDouble(QString::fromLatin1(t))) << t;
        }
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("1.5E3")), 1500);
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral(" 2.5")), 2.5);
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("3,25")), 3.25);
        EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("+4")), 4);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("1-2")), ElyrConvertError);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("--1")), ElyrConvertError);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("1..2")), ElyrConvertError);
        EXPECT_THROW(lyrStrToFloat(QStringLiteral("-")), ElyrConvertError);
        const QString sep = l.decimalPoint();
        EXPECT_EQ(lyrFloatToStr(2), QStringLiteral("2"));
        EXPECT_EQ(lyrFloatToStr(2.5), QStringLiteral("2") + sep + QStringLiteral("50"));
        EXPECT_EQ(lyrFloatToStr(-1234.567), QStringLiteral("-1234") + sep + QStringLiteral("57"));
        EXPECT_EQ(lyrFloatToText(1.5), QStringLiteral("1") + sep + QStringLiteral("5"));
        // Files get "." whatever the locale.
        EXPECT_EQ(lyrFloatToXML(-1.5), QStringLiteral("-1.5"));
    }
    EXPECT_EQ(lyrFloatToText(1e20), QStringLiteral("1E20"));
    EXPECT_EQ(lyrFloatToText(123456789012345.0), QStringLiteral("123456789012345"));
    // Whole numbers: minus zero is written as zero, 16 digits and more with an exponent.
    EXPECT_EQ(lyrFloatToXML(-0.0), QStringLiteral("0"));
    EXPECT_EQ(lyrFloatToXML(-42.0), QStringLiteral("-42"));
    EXPECT_EQ(lyrFloatToXML(999999999999999.0), QStringLiteral("999999999999999"));
    EXPECT_EQ(lyrFloatToXML(1e15), QStringLiteral("1E15"));
    EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral(" 7 ")), 7);
    EXPECT_DOUBLE_EQ(lyrStrToFloat(QStringLiteral("1\t2")), 12);
    EXPECT_EQ(lyrFloatToText(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(lyrDateTimeToText(QDateTime(QDate(2024, 1, 2), QTime(13, 4, 5))), QStringLiteral("2024-01-02 13:04:05"));
}

TEST(lyrUtils, Crc32KnownVectors)
{
    EXPECT_EQ(lyrCRC32("abc"), 0x352441C2u);
    EXPECT_EQ(lyrCRC32("123456789"), 0xCBF43926u);
    EXPECT_EQ(lyrCRC32(""), 0u);
    QByteArray data("xx123456789");
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    buf.seek(5);
    EXPECT_EQ(lyrStreamCRC32(buf), lyrCRC32(data));  // whole stream, from 0
    EXPECT_EQ(buf.pos(), 5);
}

TEST(lyrUtils, HexadecimalStreams)
{
    QByteArray data("\x00\x01\xAB\xFFz", 5);
    QBuffer src(&data);
    src.open(QIODevice::ReadOnly);
    src.seek(3);
    const QByteArray hex = lyrStreamToHex(src);
    EXPECT_EQ(hex, QByteArray("0001ABFF7A"));

    QByteArray out;
    QBuffer dst(&out);
    dst.open(QIODevice::ReadWrite);
    lyrHexToStream("0001abFF7A"
                   "0",
                   dst);  // odd last digit ignored, either case
    EXPECT_EQ(out, data);

    QByteArray untouched("keep");
    QBuffer keep(&untouched);
    keep.open(QIODevice::ReadWrite);
    EXPECT_THROW(lyrHexToStream("00G1", keep), ElyrConvertError);
    EXPECT_THROW(lyrHexToStream("0 01", keep), ElyrConvertError);
    EXPECT_THROW(lyrHexToStream("-1", keep), ElyrConvertError);
    EXPECT_EQ(untouched, QByteArray("keep"));
    EXPECT_EQ(lyrHexToBytes(""), QByteArray());
}

TEST(lyrUtils, PageNumberLists)
{
    EXPECT_EQ(pages(QStringLiteral("1,3,5-12"), 20),
              QStringList({"1", "3", "5", "6", "7", "8", "9", "10", "11", "12"}));
    EXPECT_EQ(pages(QStringLiteral(" 2 , 2,1 "), 5), QStringList({"2", "2", "1"}));
    EXPECT_EQ(pages(QStringLiteral("4-"), 6), QStringList({"4", "5", "6"}));
    EXPECT_EQ(pages(QStringLiteral("5-3"), 9), QStringList());
    EXPECT_EQ(pages(QStringLiteral("007"), 9), QStringList({"7"}));
    EXPECT_EQ(pages(QString(), 9), QStringList());
    EXPECT_THROW(pages(QStringLiteral("1,,2"), 9), ElyrConvertError);
    EXPECT_THROW(pages(QStringLiteral("1,"), 9), ElyrConvertError);
    EXPECT_THROW(pages(QStringLiteral("a"), 9), ElyrConvertError);
    EXPECT_THROW(pages(QStringLiteral("-3"), 9), ElyrConvertError);
    // No page lies beyond the last one; a huge range is no hang.
    EXPECT_EQ(pages(QStringLiteral("8-2000000000"), 10), QStringList({"8", "9", "10"}));
    EXPECT_THROW(pages(QStringLiteral("1-2000000000"), 0), ElyrConvertError);
}

TEST(lyrUtils, BracketScan)
{
    qsizetype begin = 0, end = 0;
    EXPECT_EQ(lyrGetBracketedTextW(QStringLiteral("[a[b]c] x"), QStringLiteral("["), QStringLiteral("]"), end, begin),
              QStringLiteral("a[b]c"));
    EXPECT_EQ(begin, 0);
    EXPECT_EQ(end, 6);

    const QString quoted = QStringLiteral("x [a\"]\"'\"]'b] y");
    begin = 2;
    EXPECT_EQ(lyrGetBracketedTextW(quoted, QStringLiteral("["), QStringLiteral("]"), end, begin),
              QStringLiteral("a\"]\"'\"]'b"));
    EXPECT_EQ(quoted.mid(end + 1), QStringLiteral(" y"));

    begin = 0;
    EXPECT_EQ(lyrGetBracketedTextW(QStringLiteral("<%v%> t"), QStringLiteral("<%"), QStringLiteral("%>"), end, begin),
              QStringLiteral("v"));
    EXPECT_EQ(end, 4);

    begin = 0;  // not at an opening delimiter: nothing
    EXPECT_EQ(lyrGetBracketedTextW(QStringLiteral("ab[c]"), QStringLiteral("["), QStringLiteral("]"), end, begin),
              QString());
    EXPECT_EQ(end, 0);

    begin = 0;  // unclosed: the rest, and the end lies past the text
    EXPECT_EQ(lyrGetBracketedTextW(QStringLiteral("[abc"), QStringLiteral("["), QStringLiteral("]"), end, begin),
              QStringLiteral("abc"));
    EXPECT_GE(end, 4);

    begin = 10;
    EXPECT_EQ(lyrGetBracketedTextW(QStringLiteral("[a]"), QStringLiteral("["), QStringLiteral("]"), end, begin),
              QString());

    // A GBK character whose second byte is "]" does not close the bracket.
    const QByteArray ansi("[\x81]x]tail");
    begin = 0;
    EXPECT_EQ(lyrGetBracketedText(ansi, "[", "]", end, begin), QByteArray("\x81]x"));
    EXPECT_EQ(ansi.mid(end + 1), QByteArray("tail"));
}

TEST(lyrUtils, TextPieces)
{
    qsizetype pos = 0;
    EXPECT_EQ(lyrGetStr(QStringLiteral("ab;cd"), pos, u';'), QStringLiteral("ab"));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(lyrGetStr(QStringLiteral("ab;cd"), pos, u';'), QStringLiteral("cd"));
    QStringList list{QStringLiteral("old")};
    lyrSetCommaText(QStringLiteral("a,,b"), list, u',');
    EXPECT_EQ(list, QStringList({"a", "", "b"}));

    const QString mixed = QStringLiteral("abc 会员 é");
    const QString encoded = lyrEncodeHighChars(mixed);
    for (QChar c : encoded) EXPECT_TRUE(c.unicode() < 128 || encoded.contains(QChar(1)));
    EXPECT_EQ(lyrEncodeHighChars(QStringLiteral("é")), QString(QChar(1)) + QChar(0xE9 - 128));
    EXPECT_EQ(lyrDecodeHighChars(encoded), mixed);
}

TEST(lyrUtils, ErrorRouting)
{
    QStringList shown;
    auto old = lyrSetErrorMsgHandler([&](const QString &t) { shown << t; });
    lyrReportError(simMessageBoxes, QStringLiteral("一"));
    lyrReportError(simSilent, QStringLiteral("二"));
    try {
        lyrReportError(simReThrow, QStringLiteral("三"));
        ADD_FAILURE() << "no exception";
    } catch (const ElyrError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("三"));
    }
    lyrSetErrorMsgHandler(old);
    EXPECT_EQ(shown, QStringList({"一"}));

    // The library's errors are the program's own: caught by its one base.
    try {
        lyrStrToFloat(QStringLiteral("abc"));
        ADD_FAILURE() << "no exception";
    } catch (const velmora::Error &e) {
        EXPECT_NE(dynamic_cast<const ElyrConvertError *>(&e), nullptr);
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_EQ(static_cast<const ElyrError &>(e).Message(), e.message());
    }
}

TEST(lyrUtils, TempFilesAndAppPath)
{
    QTemporaryDir dir;
    const QString name = lyrGetTempFile(dir.path());
    EXPECT_TRUE(QFile::exists(name));
    EXPECT_TRUE(QFileInfo(name).fileName().startsWith(QStringLiteral("ly")));
    EXPECT_EQ(QFileInfo(name).absolutePath(), QDir(dir.path()).absolutePath());
    EXPECT_NE(lyrGetTempFile(dir.path()), name);
    const QString fallback = lyrGetTempFile(dir.filePath(QStringLiteral("no/such/folder")));
    EXPECT_TRUE(QFile::exists(fallback));
    QFile::remove(fallback);

    EXPECT_TRUE(lyrGetAppPath().endsWith(u'/'));
    EXPECT_TRUE(QFileInfo(lyrGetAppFileName()).isFile());
}

TEST(lyrUtils, Rectangles)
{
    const TlyrRectArea a(0, 0, 10, 10), b(5, 2, 20, 4), c(10, 0, 12, 1), d(9.99995, 0, 12, 1);
    EXPECT_TRUE(InterceptsX(a, b));
    EXPECT_FALSE(InterceptsX(a, c));  // touching edges do not overlap
    EXPECT_FALSE(InterceptsX(a, d));  // nor overlaps within the tolerance
    EXPECT_TRUE(InterceptsY(a, b));
    const auto ab = InterceptX(a, b);
    ASSERT_TRUE(ab);
    EXPECT_DOUBLE_EQ(ab->X, 5);
    EXPECT_DOUBLE_EQ(ab->X1, 10);
    EXPECT_FALSE(InterceptX(a, c));
    // The area of a report object is where it lies on its page.
    TlyrReport r;
    auto *page = new TlyrReportPage(&r);
    auto *band = new TlyrMasterData(page);
    band->SetBounds(0, 100, 700, 40);
    auto *memo = new TlyrMemoView(band);
    memo->SetBounds(10, 5, 50, 20);
    const TlyrRectArea m(*memo);
    EXPECT_DOUBLE_EQ(m.X, 10);
    EXPECT_DOUBLE_EQ(m.Y, 105);
    EXPECT_DOUBLE_EQ(m.X1, 60);
    EXPECT_DOUBLE_EQ(m.Y1, 125);
    EXPECT_TRUE(InterceptsY(m, TlyrRectArea(0, 120, 5, 130)));
}

TEST(lyrUtils, ImageStrips)
{
    QImage strip(40, 36, QImage::Format_RGB32);  // 2 x 2 whole cells of 16 x 16
    strip.fill(QColor(255, 0, 255));
    strip.setPixel(1, 1, qRgb(0, 0, 0));
    strip.setPixel(17, 17, qRgb(0, 0, 255));
    TlyrImageList enabled, disabled;
    lyrFillImageList(strip, 16, 16, enabled, &disabled);
    ASSERT_EQ(enabled.Count(), 2);
    ASSERT_EQ(disabled.Count(), 2);
    EXPECT_EQ(qAlpha(enabled.Image(0).pixel(0, 0)), 0);
    EXPECT_EQ(enabled.Image(0).pixel(1, 1), qRgba(0, 0, 0, 255));
    EXPECT_EQ(disabled.Image(1).pixel(1, 1), qRgba(0, 0, 255, 255));  // cell (1,1) is the fourth

    QImage canvas(20, 20, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter p(&canvas);
        lyrDrawTransparent(p, 2, 2, strip.copy(0, 0, 16, 16));
    }
    EXPECT_EQ(canvas.pixel(3, 3), qRgba(0, 0, 0, 255));
    EXPECT_EQ(canvas.pixel(5, 5), qRgba(255, 255, 255, 255));  // key colour left out
    {
        QPainter p(&canvas);
        lyrDrawGraphic(p, QRectF(0, 0, 20, 20), QImage(), true);  // nothing to draw, no failure
    }
}
