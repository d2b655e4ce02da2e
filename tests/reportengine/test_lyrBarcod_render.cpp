// Drawing of the barcodes through QPainter: bar positions, module widths,
// rotations and the text under the bars.

#include "barcode_test_util.h"

#include <QTransform>
#include <cmath>
#include <gtest/gtest.h>

using namespace bctest;

namespace {

struct Sample {
    TlyrBarcodeType type;
    const char *text;
};

const Sample kSamples[] = {
        {bcCode_2_5_interleaved, "123456"},
        {bcCode_2_5_industrial, "1234"},
        {bcCode_2_5_matrix, "1234"},
        {bcCode39, "ABC-12"},
        {bcCode39Extended, "ab+1"},
        {bcCode128A, "AB12"},
        {bcCode128B, "Ab12"},
        {bcCode128C, "1234"},
        {bcCode93, "CODE 93"},
        {bcCode93Extended, "code"},
        {bcCodeMSI, "1234"},
        {bcCodePostNet, "12345"},
        {bcCodeCodabar, "12-34"},
        {bcCodeEAN8, "9638507"},
        {bcCodeEAN13, "400638133393"},
        {bcCodeUPC_A, "03600029145"},
        {bcCodeUPC_E0, "425261"},
        {bcCodeUPC_E1, "123456"},
        {bcCodeUPC_Supp2, "53"},
        {bcCodeUPC_Supp5, "52495"},
        {bcCodeEAN128A, "AB12"},
        {bcCodeEAN128B, "Ab12"},
        {bcCodeEAN128C, "1234"},
};

TlyrBarcode make(const Sample &s, int modul)
{
    TlyrBarcode bc;
    bc.Typ = s.type;
    bc.Text = QString::fromLatin1(s.text);
    bc.Checksum = s.type == bcCodeEAN8 || s.type == bcCodeEAN13 || s.type == bcCodeUPC_A;
    bc.Modul = modul;
    return bc;
}

void PrintTo(const Sample &s, std::ostream *os)
{
    *os << TlyrBarcode::TypeName(s.type).toStdString() << " \"" << s.text << "\"";
}

class BarcodeRender : public ::testing::TestWithParam<Sample> {};

TEST_P(BarcodeRender, BarsSitWhereTheElementsSay)
{
    const int h = 40, margin = 10;
    for (int modul : {1, 2}) {
        TlyrBarcode bc = make(GetParam(), modul);
        const QString data = bc.MakeData();
        const QString m = modules(bc, data);
        ASSERT_EQ(m.length(), bc.Width());
        const QImage img = render(bc, h, margin, false);
        QString bottom, top;
        for (int x = 0; x < img.width(); ++x) {
            bottom += dark(img, x, margin + h - 2) ? u'1' : u'0';
            top += dark(img, x, margin + 1) ? u'1' : u'0';
        }
        // Quiet zones stay clear; every module lands on its pixels.
        EXPECT_EQ(bottom, QString(margin, u'0') + m + QString(margin, u'0')) << "modul " << modul;
        // Short bars (POSTNET) leave the top free.
        QString full;
        for (QChar c : data) full += QString(bc.ElementWidth(c), c >= u'5' && c <= u'8' ? u'1' : u'0');
        EXPECT_EQ(top.mid(margin, m.length()), full) << "modul " << modul;
    }
}

TEST_P(BarcodeRender, DoublingTheModuleDoublesTheWidth)
{
    // From module 2 up even the 1.5-times-wide elements stay whole.
    TlyrBarcode one = make(GetParam(), 2), two = make(GetParam(), 4);
    one.Ratio = two.Ratio = 3.0;
    EXPECT_EQ(two.Width(), 2 * one.Width());
}

TEST_P(BarcodeRender, RotationsTurnTheSymbolCounterClockwise)
{
    TlyrBarcode bc = make(GetParam(), 1);
    const QImage upright = render(bc, 30, 4, false);
    for (int angle : {90, 180, 270}) {
        bc.Angle = angle;
        const QImage turned = render(bc, 30, 4, false);
        // QTransform::rotate turns clockwise on screen.
        const QImage expected = upright.transformed(QTransform().rotate(-angle)).convertToFormat(turned.format());
        ASSERT_EQ(turned.size(), expected.size()) << angle;
        EXPECT_TRUE(turned == expected) << "angle " << angle;
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, BarcodeRender, ::testing::ValuesIn(kSamples));

TEST(BarcodeRenderText, EanGuardBarsReachIntoTheDigits)
{
    TlyrBarcode bc;
    bc.Typ = bcCodeEAN13;
    bc.Text = QStringLiteral("4006381333931");
    const int h = 60, margin = 12;
    const QImage img = render(bc, h, margin, true);
    const int bottom = margin + h;
    // Start guard (module 0) runs down to 7 pixels above the bottom.
    EXPECT_TRUE(dark(img, margin + 0, bottom - 8));
    EXPECT_FALSE(dark(img, margin + 0, bottom - 6));
    // Centre guard (module 46) too.
    EXPECT_TRUE(dark(img, margin + 46, bottom - 8));
    // A data bar (first digit 0 in set A: modules 3..9 "0001101", bar at 6)
    // stops where the digit band begins.
    EXPECT_TRUE(dark(img, margin + 6, bottom - 17));
    EXPECT_FALSE(dark(img, margin + 6, bottom - 15));
    // The leading "4" is written left of the symbol, digits under the bars.
    auto inkIn = [&](int x0, int x1) {
        for (int y = bottom - 14; y < bottom; ++y)
            for (int x = x0; x < x1; ++x)
                if (dark(img, x, y)) return true;
        return false;
    };
    EXPECT_TRUE(inkIn(margin - 8, margin - 1));
    EXPECT_TRUE(inkIn(margin + 3, margin + 45));
    EXPECT_TRUE(inkIn(margin + 50, margin + 92));
}

TEST(BarcodeRenderText, TextSitsUnderTheBarsAndTurnsWithThem)
{
    TlyrBarcode bc;
    bc.Typ = bcCode128B;
    bc.Text = QStringLiteral("HELLO");
    const int w = bc.Width(), h = 50;
    for (int angle : {0, 90, 180, 270}) {
        bc.Angle = angle;
        const QImage img = render(bc, h, 0, true);
        // Count ink in the 16-pixel strip on each side across the bars.
        auto ink = [&](int side) {  // 0 bottom, 1 right, 2 top, 3 left
            int n = 0;
            for (int a = 0; a < 16; ++a)
                for (int b = 0; b < w; ++b) {
                    int x = 0, y = 0;
                    switch (side) {
                    case 0:
                        x = b, y = h - 1 - a;
                        break;
                    case 1:
                        x = h - 1 - a, y = b;
                        break;
                    case 2:
                        x = b, y = a;
                        break;
                    default:
                        x = a, y = b;
                        break;
                    }
                    n += dark(img, x, y);
                }
            return n;
        };
        // At 0 the text is below; turning counter-clockwise moves it to the
        // right (90), the top (180) and the left (270).
        const int textSide = angle / 90;
        const int barSide = (textSide + 2) % 4;
        EXPECT_GT(ink(textSide), 0) << angle;
        EXPECT_LT(ink(textSide), ink(barSide) / 2) << angle;
    }
}

TEST(BarcodeRenderText, ModulesTakeWholeDotsOfTheRectangle)
{
    // A rectangle of the symbol at another resolution: each module takes the
    // same whole number of pixels (a wide one that times the ratio), from
    // the rectangle's left edge; the rest of it stays clear.
    TlyrBarcode bc;
    bc.Typ = bcCode39;
    bc.Text = QStringLiteral("AB");
    bc.Ratio = 2.5;
    const QString data = bc.MakeData();
    const int w = bc.Width();
    // Scale of 120, 150, 200, 203, 288, 300 and 600 dpi to 96, and 3.
    const std::pair<double, int> kScales[] = {{1.25, 1}, {1.5625, 1}, {2.0833, 2}, {2.1146, 2},
                                              {3.0, 3},  {3.125, 3},  {6.25, 6}};
    const int margin = 5;
    // The symbol in a rectangle w x scale wide, margin pixels from the left.
    auto drawn = [&](double scale, bool text) {
        const int length = int(std::lround(w * scale));
        QImage img(length + 2 * margin, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        bc.DrawBarcode(p, QRectF(margin, 0, length, 20), text, scale, scale);
        p.end();
        return img;
    };
    for (const auto &[scale, narrow] : kScales) {
        const int length = int(std::lround(w * scale));
        const QImage img = drawn(scale, false);
        QString expected;
        for (QChar c : data) {
            const int units = bc.ElementWidth(c) == 1 ? narrow : int(std::lround(narrow * 2.5));
            expected += QString(units, c >= u'5' ? u'1' : u'0');
        }
        ASSERT_LE(expected.size(), length + 1) << scale;
        expected = QString(margin, u'0') + expected;
        expected += QString(img.width() - expected.size(), u'0');
        QString row;
        for (int x = 0; x < img.width(); ++x) row += dark(img, x, 10) ? u'1' : u'0';
        EXPECT_EQ(row, expected) << "scale " << scale;
    }
    // Zoomed out below a dot a module, the symbol shrinks into its rectangle.
    for (double scale : {0.5, 0.25}) {
        const int length = int(std::lround(w * scale));
        const QImage img = drawn(scale, true);
        int first = -1, last = -1;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (dark(img, x, y)) {
                    if (first < 0) first = x;
                    last = x;
                }
        EXPECT_GE(first, margin) << scale;
        EXPECT_GE(last, margin + length / 2) << scale;
        EXPECT_LT(last, margin + length + 1) << scale;
    }
}

TEST(BarcodeRenderText, BadTextPaintsNothing)
{
    TlyrBarcode bc;
    bc.Typ = bcCodeEAN13;
    bc.Text = QStringLiteral("ABC");
    QImage img(50, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    EXPECT_THROW(bc.DrawBarcode(p, QRectF(0, 0, 50, 20), true), ElyrBarcodeError);
    p.end();
    for (int x = 0; x < 50; ++x) EXPECT_FALSE(dark(img, x, 10));
}

}  // namespace
