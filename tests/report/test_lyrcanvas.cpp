#include "report/lyrcanvas.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QImage whiteImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

bool isColor(const QImage &img, int x, int y, QColor c)
{
    return QColor(img.pixel(x, y)) == c;
}

TEST(LyrCanvas, ColoursAreStoredBlueGreenRed)
{
    EXPECT_EQ(lyrColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(lyrColor(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(lyrColorFromQt(QColor(0, 0, 255)), 0x00FF0000);
    EXPECT_EQ(lyrColor(clNone).alpha(), 0);
    int c = 0;
    EXPECT_TRUE(lyrColorByName(QStringLiteral("clred"), c));
    EXPECT_EQ(c, clRed);
    EXPECT_FALSE(lyrColorByName(QStringLiteral("clPinkish"), c));
}

TEST(LyrCanvas, KnowsResolutionAndPrinterFlag)
{
    QImage img = whiteImage(10, 10);
    img.setDotsPerMeterX(23622);  // 600 dpi
    img.setDotsPerMeterY(23622);
    QPainter p(&img);
    TlyrCanvas c(&p, true);
    EXPECT_EQ(c.DpiX(), 600);
    EXPECT_EQ(c.DpiY(), 600);
    EXPECT_TRUE(c.IsPrinter());
    TlyrCanvas m(nullptr, 96, 96, false);
    EXPECT_FALSE(m.IsPrinter());
}

TEST(LyrCanvas, FontHeightIsTheEmSizeAndScalesWithIt)
{
    TlyrCanvas c(nullptr, 600, 600, false);
    TlyrCanvasFont f;
    f.Height = -83;
    c.SetFont(f);
    std::vector<int> w;
    const int small = c.CharAdvances(u"Hello", w);
    ASSERT_EQ(w.size(), 5u);
    EXPECT_GT(small, 0);
    f.Height = -166;
    c.SetFont(f);
    const int big = c.CharAdvances(u"Hello", w);
    EXPECT_NEAR(big, 2 * small, 3);
    EXPECT_GT(c.TextHeight(), 166);
}

TEST(LyrCanvas, CjkCharactersFallBackToTheChineseFaceWithFullWidth)
{
    TlyrCanvas c(nullptr, 600, 600, false);
    TlyrCanvasFont f;
    f.Height = -100;
    c.SetFont(f);
    std::vector<int> w;
    c.CharAdvances(u"a中文", w);
    ASSERT_EQ(w.size(), 3u);
    // Ideographs are one em wide; a Latin letter about half of it.
    EXPECT_NEAR(w[1], 100, 2);
    EXPECT_NEAR(w[2], 100, 2);
    EXPECT_LT(w[0], 70);
    // A character outside the basic plane: its second unit advances 0.
    c.CharAdvances(QString::fromUcs4(U"\U00020000x"), w);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[1], 0);
}

TEST(LyrCanvas, BoldIsWiderThanRegular)
{
    TlyrCanvas c(nullptr, 600, 600, false);
    TlyrCanvasFont f;
    f.Height = -83;
    c.SetFont(f);
    const int regular = c.TextWidth(u"Member");
    f.Style = lfsBold;
    c.SetFont(f);
    EXPECT_GT(c.TextWidth(u"Member"), regular);
}

TEST(LyrCanvas, DashedPenLeavesGapsClearOrOpaque)
{
    for (int background : {clNone, clYellow}) {
        QImage img = whiteImage(60, 5);
        {
            QPainter p(&img);
            TlyrCanvas c(&p, 96, 96, false);
            c.SetPen(clBlack, 1, psDash);
            c.SetBackground(background);
            c.Line(0, 2, 59, 2);
        }
        EXPECT_TRUE(isColor(img, 2, 2, Qt::black));
        // The first gap of a GDI dash: 18 on, 6 off.
        EXPECT_TRUE(isColor(img, 20, 2, background == clNone ? QColor(Qt::white) : QColor(Qt::yellow)));
    }
}

TEST(LyrCanvas, DotPatternDiffersFromDash)
{
    QImage img = whiteImage(30, 3);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, 96, 96, false);
        c.SetPen(clBlack, 1, psDot);
        c.Line(0, 1, 29, 1);
    }
    EXPECT_TRUE(isColor(img, 1, 1, Qt::black));
    EXPECT_TRUE(isColor(img, 4, 1, Qt::white));
    EXPECT_TRUE(isColor(img, 7, 1, Qt::black));
}

TEST(LyrCanvas, HatchBrushAndClearBrush)
{
    QImage img = whiteImage(16, 16);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, 96, 96, false);
        c.SetPen(clBlack, 1, psClear);
        c.SetBrush(clRed, bsCross);
        c.Rectangle(QRect(0, 0, 16, 16));
    }
    int red = 0, white = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) (QColor(img.pixel(x, y)) == Qt::red ? red : white)++;
    EXPECT_GT(red, 0);
    EXPECT_GT(white, red);

    QImage clear = whiteImage(16, 16);
    {
        QPainter p(&clear);
        TlyrCanvas c(&p, 96, 96, false);
        c.SetPen(clBlack, 1, psClear);
        c.SetBrush(clRed, bsClear);
        c.Rectangle(QRect(0, 0, 16, 16));
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_TRUE(isColor(clear, x, y, Qt::white));
}

TEST(LyrCanvas, RectangleLeavesRightAndBottomEdgeOut)
{
    QImage img = whiteImage(20, 20);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, 96, 96, false);
        c.SetPen(clBlack);
        c.SetBrush(clYellow);
        c.Rectangle(QRect(2, 2, 10, 10));
    }
    EXPECT_TRUE(isColor(img, 2, 2, Qt::black));
    EXPECT_TRUE(isColor(img, 11, 11, Qt::black));
    EXPECT_TRUE(isColor(img, 12, 12, Qt::white));
    EXPECT_TRUE(isColor(img, 5, 5, Qt::yellow));
}

TEST(LyrCanvas, ClipStackNarrowsAndRestores)
{
    QImage img = whiteImage(40, 40);
    QPainter p(&img);
    TlyrCanvas c(&p, 96, 96, false);
    EXPECT_TRUE(c.RectVisible(QRect(30, 30, 5, 5)));
    EXPECT_FALSE(c.RectVisible(QRect(50, 50, 5, 5)));
    c.PushClip(QRect(0, 0, 20, 20));
    c.PushClip(QRect(10, 10, 20, 20));
    EXPECT_EQ(c.ClipRect(), QRect(10, 10, 10, 10));
    EXPECT_FALSE(c.RectVisible(QRect(0, 0, 5, 5)));
    c.FillRect(QRect(0, 0, 40, 40), clRed);
    c.PopClip();
    EXPECT_TRUE(c.RectVisible(QRect(0, 0, 5, 5)));
    c.PopClip();
    EXPECT_FALSE(c.HasClip());
    p.end();
    EXPECT_TRUE(isColor(img, 15, 15, Qt::red));
    EXPECT_TRUE(isColor(img, 5, 5, Qt::white));
    EXPECT_TRUE(isColor(img, 25, 25, Qt::white));
}

// Draws texts, each in a clip of its own pushed as told, onto a fresh image;
// clipped tells for each text whether the device was clipped after it.
QImage textsInClips(bool whereNeeded, std::vector<bool> *clipped = nullptr)
{
    struct Case {
        QRect clip;
        int x, y, style, orientation;
        const char16_t *text;
    };
    const Case cases[] = {
            {QRect(10, 10, 200, 40), 12, 12, 0, 0, u"Fits Jg 合计"},  // inside with room
            {QRect(10, 60, 60, 40), 12, 62, 0, 0, u"Passes the right edge"},
            {QRect(10, 110, 200, 20), 12, 100, 0, 0, u"Above"},  // passes the top
            {QRect(10, 140, 200, 40), 12, 142, lfsUnderline, 0, u"Underlined"},
            {QRect(10, 200, 200, 60), 40, 250, 0, 900, u"Turned"},
            {QRect(10, 270, 200, 40), 12, 272, 0, 0, u"   "},  // blanks draw nothing
    };
    QImage img = whiteImage(240, 320);
    QPainter p(&img);
    TlyrCanvas c(&p, 96, 96, true);
    for (const Case &k : cases) {
        TlyrCanvasFont f;
        f.Height = -24;
        f.Style = k.style;
        f.Orientation = k.orientation;
        c.SetFont(f);
        c.PushClip(k.clip, whereNeeded);
        c.TextOut(k.x, k.y, k.text);
        if (clipped) clipped->push_back(c.DeviceClipped());
        c.PopClip();
        EXPECT_FALSE(c.DeviceClipped());
    }
    p.end();
    return img;
}

TEST(LyrCanvas, ClipWhereNeededClipsOnlyTextThatPassesAndDrawsTheSame)
{
    std::vector<bool> clipped;
    const QImage lazy = textsInClips(true, &clipped);
    EXPECT_EQ(clipped, (std::vector<bool>{false, true, true, false, true, false}));
    EXPECT_EQ(lazy, textsInClips(false));
}

TEST(LyrCanvas, ClipWhereNeededClipsAnImageOnlyPastItsBox)
{
    QImage img = whiteImage(60, 60);
    QImage red(4, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    QPainter p(&img);
    TlyrCanvas c(&p, 96, 96, false);
    c.PushClip(QRect(10, 10, 20, 20), true);
    c.DrawImage(QRect(10, 10, 20, 20), red);
    EXPECT_FALSE(c.DeviceClipped());
    c.DrawImage(QRect(20, 20, 30, 30), red);
    EXPECT_TRUE(c.DeviceClipped());
    c.PopClip();
    p.end();
    EXPECT_TRUE(isColor(img, 25, 25, Qt::red));
    EXPECT_TRUE(isColor(img, 40, 40, Qt::white));
}

TEST(LyrCanvas, TextIsDrawnInItsColourAndRotated)
{
    QImage img = whiteImage(200, 200);
    {
        QPainter p(&img);
        TlyrCanvas c(&p, 96, 96, false);
        TlyrCanvasFont f;
        f.Height = -30;
        f.Color = clRed;
        c.SetFont(f);
        c.TextOut(10, 10, u"MMMM");
        f.Orientation = 900;
        c.SetFont(f);
        c.TextOut(20, 190, u"MMMM");
    }
    auto redIn = [&](QRect r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (QColor(img.pixel(x, y)).red() > 200 && QColor(img.pixel(x, y)).green() < 80) ++n;
        return n;
    };
    EXPECT_GT(redIn(QRect(10, 10, 90, 40)), 50);
    // Turned 90 degrees: runs upwards from (20, 190), glyphs to the right of x = 20.
    EXPECT_GT(redIn(QRect(20, 100, 40, 90)), 50);
    EXPECT_EQ(redIn(QRect(100, 100, 100, 100)), 0);
}

TEST(LyrRecordingCanvas, KeepsEveryCall)
{
    TlyrRecordingCanvas c(96);
    TlyrCanvasFont f;
    f.Color = clRed;
    c.SetFont(f);
    const int adv[] = {5, 6};
    c.TextOut(3, 4, u"ab", adv);
    c.SetPen(clYellow, 2);
    c.Line(0, 0, 10, 0);
    c.SetBrush(clSilver);
    c.Rectangle(QRect(1, 2, 3, 4));
    c.DrawImage(QRect(0, 0, 5, 5), QImage(2, 2, QImage::Format_RGB32));
    ASSERT_EQ(c.Texts.size(), 1u);
    EXPECT_EQ(c.Texts[0].Text, QStringLiteral("ab"));
    EXPECT_EQ(c.Texts[0].X, 3);
    EXPECT_EQ(c.Texts[0].Font.Color, clRed);
    EXPECT_EQ(c.Texts[0].Advances, (std::vector<int>{5, 6}));
    ASSERT_EQ(c.Shapes.size(), 3u);
    EXPECT_EQ(c.Shapes[0].PenColor, clYellow);
    EXPECT_EQ(c.Shapes[0].PenWidth, 2);
    EXPECT_EQ(c.Shapes[1].What, TlyrRecordedShape::Rectangle);
    EXPECT_EQ(c.Shapes[1].BrushColor, clSilver);
    EXPECT_EQ(c.Shapes[2].What, TlyrRecordedShape::Image);
    EXPECT_EQ(c.AllText(), QStringLiteral("ab"));
}

}  // namespace
