#include "report/lyrdrawtext.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Size 12 gives a layout line height of exactly 16 units.
void setUp(TlyrDrawText &dt, int width, int height, bool wrap = true, bool tags = true, int rotation = 0)
{
    dt.SetFont(QStringLiteral("Arial"), 12, 0, clBlack);
    dt.SetOptions(wrap, tags, false, false, false, true, rotation);
    dt.SetGaps(0, 0, 0);
    TlyrRect r = lyrRect(0, 0, width, height);
    dt.SetDimensions(r, r, 1, 1, 1);
}

TEST(LyrDrawText, BoldTagMakesOneBoldCharacterAndIsTextWithTagsOff)
{
    TlyrDrawText dt;
    setUp(dt, 500, 100);
    dt.SetText({QStringLiteral("a<b>b</b>c")});
    ASSERT_EQ(dt.LineCount(), 1);
    EXPECT_EQ(dt.Line(0), QStringLiteral("abc"));
    const auto &tags = dt.LineTags(0);
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(tags[0].Style, 0);
    EXPECT_EQ(tags[1].Style, lfsBold);
    EXPECT_EQ(tags[2].Style, 0);
    EXPECT_FALSE(tags[1].Default);
    EXPECT_FALSE(tags[2].Default);
    // Positions count the tags: "a" is 1, "b" 5, "c" 10.
    EXPECT_EQ(tags[1].Position, 5);
    EXPECT_EQ(tags[2].Position, 10);

    setUp(dt, 500, 100, true, false);
    dt.SetText({QStringLiteral("a<b>b</b>c")});
    EXPECT_EQ(dt.Line(0), QStringLiteral("a<b>b</b>c"));
}

TEST(LyrDrawText, TagsAreCaseInsensitiveAndSubscriptIsSmall)
{
    TlyrDrawText dt;
    setUp(dt, 500, 100);
    dt.SetText({QStringLiteral("H<SUB>2</sub>O<I>x</i><strike>s</STRIKE>")});
    EXPECT_EQ(dt.Line(0), QStringLiteral("H2Oxs"));
    const auto &t = dt.LineTags(0);
    EXPECT_EQ(t[1].AddY, 1);
    EXPECT_EQ(t[1].Size, 8);
    EXPECT_TRUE(t[1].Small);
    EXPECT_FALSE(t[2].Small);
    EXPECT_EQ(t[3].Style, lfsItalic);
    EXPECT_EQ(t[4].Style, lfsStrikeOut);
}

TEST(LyrDrawText, FontColourTags)
{
    TlyrDrawText dt;
    setUp(dt, 500, 100);
    dt.SetText({QStringLiteral("<font color=\"#FF0000\">r</font>k<font color=red>x</font>"),
                QStringLiteral("<font color=pinkish>y")});
    EXPECT_EQ(dt.Line(0), QStringLiteral("rkx"));
    EXPECT_EQ(dt.LineTags(0)[0].Color, clRed);
    EXPECT_EQ(dt.LineTags(0)[1].Color, clBlack);
    EXPECT_EQ(dt.LineTags(0)[2].Color, clRed);
    EXPECT_EQ(dt.Line(1), QStringLiteral("<font color=pinkish>y"));
}

TEST(LyrDrawText, BlankLinesAndHeights)
{
    TlyrDrawText dt;
    setUp(dt, 500, 100, false);
    dt.SetText({QStringLiteral("one"), QString(), QStringLiteral("three")});
    ASSERT_EQ(dt.LineCount(), 3);
    EXPECT_EQ(dt.Line(1), QString());
    EXPECT_EQ(dt.LineFlags(1), TlyrDrawText::ParaStart | TlyrDrawText::ParaEnd);
    EXPECT_DOUBLE_EQ(dt.LineHeight(), 16);
    EXPECT_DOUBLE_EQ(dt.CalcHeight(), 3 * dt.LineHeight());
    EXPECT_GT(dt.CalcWidth(), 0);
    dt.SetText({});
    EXPECT_EQ(dt.CalcHeight(), 0);
    EXPECT_EQ(dt.CalcWidth(), 0);
}

TEST(LyrDrawText, TenLinesInRoomForFour)
{
    QStringList lines;
    for (int i = 1; i <= 10; ++i) lines << QStringLiteral("line %1").arg(i);
    TlyrDrawText dt;
    setUp(dt, 500, 69);  // 70 units: four lines of 16 and 6 left
    dt.SetText(lines);
    EXPECT_DOUBLE_EQ(dt.SpaceLeft(), 70 - 4 * 16);
    bool paraBreak = true;
    const QString out = dt.GetOutBoundsText(paraBreak);
    EXPECT_FALSE(paraBreak);
    EXPECT_EQ(out, lines.mid(4).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_EQ(dt.GetInBoundsText(), lines.mid(0, 4).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    EXPECT_EQ(dt.LineCount(), 4);

    setUp(dt, 500, 63);  // exactly four lines
    dt.SetText(lines);
    EXPECT_DOUBLE_EQ(dt.SpaceLeft(), 0.0001);
    setUp(dt, 500, 10);  // not even one
    dt.SetText(lines);
    EXPECT_EQ(dt.SpaceLeft(), 0);

    setUp(dt, 500, 200);
    dt.SetText(lines);
    EXPECT_EQ(dt.GetOutBoundsText(paraBreak), QString());
}

TEST(LyrDrawText, OutOfBoundsTextRestoresColourAndStyle)
{
    TlyrDrawText dt;
    setUp(dt, 60, 15);  // one line of 16 does not fit 16 units: height is 16
    dt.SetText({QStringLiteral("aaa <font color=\"#00FF00\"><b><u>bbbb cccc dddd")});
    ASSERT_GT(dt.LineCount(), 1);
    bool paraBreak = false;
    const QString out = dt.GetOutBoundsText(paraBreak);
    EXPECT_TRUE(paraBreak);
    EXPECT_TRUE(out.startsWith(QStringLiteral("<font color=\"#00FF00\"><u><b>"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("aaa")));
}

TEST(LyrDrawText, WrapsAtBlanksAndBreaksLongWords)
{
    TlyrDrawText dt;
    setUp(dt, 60, 500);
    dt.SetText({QStringLiteral("one two three four five six")});
    ASSERT_GT(dt.LineCount(), 1);
    QString joined;
    for (int i = 0; i < dt.LineCount(); ++i) {
        EXPECT_LE(dt.CalcWidth(), 60);
        EXPECT_FALSE(dt.Line(i).startsWith(u' '));
        joined += dt.Line(i) + u' ';
    }
    EXPECT_EQ(joined.trimmed(), QStringLiteral("one two three four five six"));
    EXPECT_EQ(dt.LineFlags(0), TlyrDrawText::ParaStart);
    EXPECT_EQ(dt.LineFlags(dt.LineCount() - 1), TlyrDrawText::ParaEnd);

    dt.SetText({QStringLiteral("abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz")});
    EXPECT_GT(dt.LineCount(), 2);
    EXPECT_LE(dt.CalcWidth(), 60);
}

TEST(LyrDrawText, ChineseWrapsBetweenCharactersWithoutHyphens)
{
    TlyrDrawText dt;
    setUp(dt, 100, 500);
    dt.SetOptions(true, true, false, true, false, true, 0);
    const QString text =
            QStringLiteral("会员积分兑换商品明细表会员积分兑换商品明细表") + QString::fromUcs4(U"\U00020000\U00020001");
    dt.SetText({text});
    ASSERT_GT(dt.LineCount(), 1);
    QString joined;
    for (int i = 0; i < dt.LineCount(); ++i) {
        const QString l = dt.Line(i);
        EXPECT_FALSE(l.contains(u'-'));
        EXPECT_FALSE(l.front().isLowSurrogate());
        EXPECT_FALSE(l.back().isHighSurrogate());
        joined += l;
    }
    EXPECT_EQ(joined, text);
    EXPECT_LE(dt.CalcWidth(), 100);
}

TEST(LyrDrawText, HyphenationOnlyForCyrillicWords)
{
    const auto p = TlyrDrawText::HyphenPositions(u"МОЛОКО");
    EXPECT_EQ(p, (std::vector<int>{2, 4}));
    EXPECT_TRUE(TlyrDrawText::HyphenPositions(u"ДОМ").empty());
    EXPECT_TRUE(TlyrDrawText::HyphenPositions(u"MOLOKO").empty());
    EXPECT_TRUE(TlyrDrawText::HyphenPositions(u"会员积分兑换").empty());
    EXPECT_TRUE(TlyrDrawText::HyphenPositions(u"МОЛ会员КО").empty());

    TlyrDrawText dt;
    setUp(dt, 60, 500);
    dt.SetOptions(true, true, false, true, false, true, 0);
    dt.SetText({QStringLiteral("да молоко")});
    ASSERT_EQ(dt.LineCount(), 2);
    EXPECT_TRUE(dt.Line(0).endsWith(QStringLiteral("-"))) << dt.Line(0).toStdString();
    EXPECT_EQ(dt.Line(0).chopped(1) + dt.Line(1), QStringLiteral("да молоко"));
}

TEST(LyrDrawText, NestedUserGetsItsOwnObject)
{
    TlyrDrawText shared;
    TlyrDrawTextUser outer(shared);
    EXPECT_FALSE(outer.IsTemporary());
    {
        // A handler running during the outer layout.
        TlyrDrawTextUser inner(shared);
        EXPECT_TRUE(inner.IsTemporary());
        setUp(*inner, 500, 100);
        inner->SetText({QStringLiteral("inner")});
        EXPECT_EQ(inner->Line(0), QStringLiteral("inner"));
    }
    EXPECT_TRUE(shared.Busy());
}

TEST(LyrDrawText, HundredThousandCharacterLineLaysOutAndDraws)
{
    QString line;
    for (int i = 0; i < 10000; ++i) line += QStringLiteral("abcd 会员积分x");
    ASSERT_EQ(line.size(), 100000);
    TlyrDrawText dt;
    setUp(dt, 100000, 100, false);
    dt.SetText({line});
    ASSERT_EQ(dt.LineCount(), 1);
    EXPECT_EQ(dt.Line(0).size(), 100000);
    TlyrRecordingCanvas canvas(96);
    dt.DrawText(canvas, haLeft, vaTop);
    QString drawn = canvas.AllText();
    EXPECT_EQ(drawn, line);

    setUp(dt, 300, 100000, true);
    dt.SetText({line});
    EXPECT_GT(dt.LineCount(), 100);
}

TEST(LyrDrawText, ExtremeFontSizesLayOutAndDraw)
{
    // A zero line height must not divide by zero; a huge one must not overflow.
    for (int size : {0, 1'000'000, 2'000'000'000, -2'000'000'000}) {
        TlyrDrawText dt;
        dt.SetFont(QStringLiteral("Arial"), size, 0, clBlack);
        dt.SetOptions(true, true, false, false, false, true, 0);
        dt.SetGaps(0, 0, 0);
        dt.SetDimensions(lyrRect(0, 0, 100, 100), lyrRect(0, 0, 100, 100), 1, 1, 1);
        dt.SetText({QStringLiteral("a<sub>b</sub>"), QStringLiteral("b")});
        bool pb = false;
        const QString rest = dt.GetOutBoundsText(pb);
        TlyrRecordingCanvas canvas(96);
        dt.DrawText(canvas, haBlock, vaCenter);
        if (size == 0) {
            EXPECT_EQ(dt.LineHeight(), 0);
            EXPECT_EQ(dt.SpaceLeft(), 0);
            EXPECT_EQ(rest, QString());
        } else if (size > 0) {
            // Too high for the box: the text is carried to the next page.
            EXPECT_GT(dt.LineHeight(), 100) << size;
            EXPECT_FALSE(rest.isEmpty()) << size;
        }
    }
}

TEST(LyrDrawText, SpreadingGivesThePixelsFromTheMiddleOut)
{
    int places[6] = {};
    TlyrDrawText::Spread(places, 6, 1, 1);
    EXPECT_EQ(places[2], 1);
    int many[8] = {};
    TlyrDrawText::Spread(many, 8, 3, 1);
    int sum = 0;
    for (int v : many) {
        EXPECT_LE(v, 1);
        sum += v;
    }
    EXPECT_EQ(sum, 3);
    int neg[4] = {};
    TlyrDrawText::Spread(neg, 4, 2, -1);
    EXPECT_EQ(neg[0] + neg[1] + neg[2] + neg[3], -2);
}

TEST(LyrDrawText, JustifiedParagraphFillsAllButItsLastLine)
{
    TlyrDrawText dt;
    setUp(dt, 80, 500);
    dt.SetText({QStringLiteral("aa bb cc dd ee ff gg hh ii jj kk")});
    ASSERT_GE(dt.LineCount(), 3);
    TlyrRecordingCanvas canvas(96);
    dt.DrawText(canvas, haBlock, vaTop);
    // One text-out per line (a single run each).
    ASSERT_EQ(int(canvas.Texts.size()), dt.LineCount());
    for (size_t i = 0; i < canvas.Texts.size(); ++i) {
        const auto &t = canvas.Texts[i];
        int w = 0;
        for (int a : t.Advances) w += a;
        EXPECT_EQ(t.X, 0);
        if (i + 1 < canvas.Texts.size())
            EXPECT_EQ(w, 80) << i;
        else
            EXPECT_LT(w, 75);
    }
}

TEST(LyrDrawText, WysiwygLinesTakeTheirLayoutWidthAtAnyResolution)
{
    TlyrDrawText dt;
    setUp(dt, 400, 100, false);
    dt.SetText({QStringLiteral("Total 合计 1,234.50")});
    const double layoutWidth = dt.CalcWidth();
    for (int dpi : {96, 600}) {
        TlyrRecordingCanvas canvas(dpi, dpi != 96);
        dt.DrawText(canvas, haLeft, vaTop);
        ASSERT_EQ(canvas.Texts.size(), 1u);
        int w = 0;
        for (int a : canvas.Texts[0].Advances) w += a;
        EXPECT_NEAR(w, layoutWidth * dpi / 96, 1.0) << dpi;
        EXPECT_EQ(canvas.Texts[0].Font.Height, -std::lround(12.0 * dpi / 72));
    }
}

TEST(LyrDrawText, RightAlignmentAndColourRuns)
{
    TlyrDrawText dt;
    setUp(dt, 200, 100, false);
    dt.SetText({QStringLiteral("1,234.50<font color=red>!</font>")});
    TlyrRecordingCanvas canvas(96);
    dt.DrawText(canvas, haRight, vaTop);
    ASSERT_EQ(canvas.Texts.size(), 2u);
    EXPECT_EQ(canvas.Texts[1].Font.Color, clRed);
    int end = canvas.Texts[1].X;
    for (int a : canvas.Texts[1].Advances) end += a;
    EXPECT_EQ(end, 200 - 1);
}

TEST(LyrDrawText, RotatedTextStartsAtTheMatchingCorner)
{
    struct Case {
        int angle;
        QPoint start;
    };
    // Box (10, 20)-(110, 220): 100 wide, 200 high.
    for (const Case &c : {Case{0, {10, 20}}, Case{90, {10, 220}}, Case{180, {110, 220}}, Case{270, {110, 20}}}) {
        TlyrDrawText dt;
        dt.SetFont(QStringLiteral("Arial"), 12, 0, clBlack);
        dt.SetOptions(false, true, false, false, false, true, c.angle);
        dt.SetGaps(0, 0, 0);
        dt.SetDimensions(lyrRect(10, 20, 110, 220), lyrRect(10, 20, 110, 220), 1, 1, 1);
        dt.SetText({QStringLiteral("ab"), QStringLiteral("cd")});
        TlyrRecordingCanvas canvas(96);
        dt.DrawText(canvas, haLeft, vaTop);
        ASSERT_EQ(canvas.Texts.size(), 2u);
        EXPECT_EQ(QPoint(canvas.Texts[0].X, canvas.Texts[0].Y), c.start) << c.angle;
        EXPECT_EQ(canvas.Texts[0].Font.Orientation, c.angle * 10);
        // The second line is one line height further along the text's "down".
        const QPoint step(canvas.Texts[1].X - canvas.Texts[0].X, canvas.Texts[1].Y - canvas.Texts[0].Y);
        EXPECT_EQ(std::abs(step.x()) + std::abs(step.y()), 16) << c.angle;
    }
}

TEST(LyrDrawText, BottomAlignmentMovesByTheFreeSpace)
{
    TlyrDrawText dt;
    setUp(dt, 200, 100, false);
    dt.SetText({QStringLiteral("x")});
    TlyrRecordingCanvas canvas(96);
    dt.DrawText(canvas, haLeft, vaBottom);
    ASSERT_EQ(canvas.Texts.size(), 1u);
    EXPECT_EQ(canvas.Texts[0].Y, 100 - 16);
}

TEST(LyrDrawText, SharedObjectExists)
{
    TlyrDrawTextUser user(lyrDrawText());
    EXPECT_FALSE(user.IsTemporary());
}

}  // namespace

TEST(LyrDrawText, SpreadBeforeSumsWhatSpreadGives)
{
    for (int count = 1; count <= 70; ++count) {
        for (int k = 0; k <= count; ++k) {
            std::vector<int> places(size_t(count), 0);
            TlyrDrawText::Spread(places.data(), count, k, 1);
            int sum = 0;
            for (int i = 0; i <= count; ++i) {
                ASSERT_EQ(TlyrDrawText::SpreadBefore(count, k, i), sum) << count << " " << k << " " << i;
                if (i < count) sum += places[size_t(i)];
            }
        }
    }
}

namespace {

// A long text: a paragraph far longer than the pieces a long text is laid
// out in, with tags whose state crosses lines and paragraphs, words to
// hyphenate, blank lines and short paragraphs.
QStringList longTagText()
{
    QString para;
    for (int i = 0; para.size() < 300000; ++i) {
        para += QStringLiteral("word%1 ").arg(i);
        if (i % 97 == 0) para += QStringLiteral("<b>bold and <i>more</i> ");
        if (i % 89 == 0) para += QStringLiteral("</b><font color=\"#FF0000\">red ");
        if (i % 83 == 0) para += QStringLiteral(u"</font>ПЕРЕПРАВЛЯЕТСЯ <sub>2</sub> ");
    }
    return {QStringLiteral("<u>first"), para, QString(), QStringLiteral("</u>short"), para.left(5000),
            QStringLiteral("last")};
}

struct ShownCase {
    TlyrVAlign vAlign;
    int rotation;
    bool clipped;
    bool wrap;
};

// Draws text on a 300 by 300 image clipped to the middle, with the layout
// of every line or of the lines shown only.
QImage drawLong(const QStringList &text, const ShownCase &c, bool shownOnly)
{
    TlyrDrawText dt;
    dt.SetFont(QStringLiteral("Arial"), 10, 0, clBlack);
    dt.SetOptions(c.wrap, true, false, true, c.clipped, true, c.rotation);
    dt.SetGaps(3, 0.5, 1.5);
    const double scale = 1.37;
    const TlyrRect box = lyrRect(20, 30, 170, 200);
    dt.SetDimensions(box, lyrRect(20 * scale, 30 * scale, 170 * scale, 200 * scale), scale, scale, 1);
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TlyrCanvas canvas(&painter, 96, 96, false);
    canvas.PushClip(QRect(40, 60, 200, 180), true);
    if (shownOnly) {
        const qsizetype saved = TlyrDrawText::WholeTextChars;
        TlyrDrawText::WholeTextChars = 0;
        dt.SetShownText(text, canvas, c.vAlign);
        TlyrDrawText::WholeTextChars = saved;
    } else {
        dt.SetText(text);
    }
    dt.DrawText(canvas, haBlock, c.vAlign);
    canvas.PopClip();
    return image;
}

int inkedPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

}  // namespace

// Laying out only the lines a canvas shows draws what laying out every line
// draws, at every alignment and turn, clipped or not. (A line that is not
// wrapped is laid out only as far as the rectangle's width can show, so its
// spacing may differ when it is far longer: those lines here are shorter.)
TEST(LyrDrawText, TheLinesShownDrawAsTheWholeTextDoes)
{
    const QStringList text = longTagText();
    QStringList unwrapped;
    for (int i = 0; i < 3000; ++i) unwrapped += QStringLiteral("line %1 <b>of</b> some words").arg(i);
    for (TlyrVAlign v : {vaTop, vaBottom, vaCenter})
        for (int rotation : {0, 90, 180, 270, 30})
            for (bool clipped : {false, true})
                for (bool wrap : {true, false}) {
                    if (!wrap && (clipped || rotation % 90)) continue;
                    const ShownCase c{v, rotation, clipped, wrap};
                    SCOPED_TRACE(testing::Message() << v << " " << rotation << " " << clipped << " " << wrap);
                    const QImage whole = drawLong(wrap ? text : unwrapped, c, false);
                    const QImage shown = drawLong(wrap ? text : unwrapped, c, true);
                    // Text shows, so that equal images mean something.
                    EXPECT_GT(inkedPixels(whole), 300);
                    EXPECT_TRUE(whole == shown);
                }
}

// Measuring a text piece by piece gives the line count, height and widest
// line of a layout of every line: wrapped to a narrow or a wide box or not
// wrapped, with tags and indents, lines far longer than a piece, and a tag
// or a character of two units where a piece would end.
TEST(LyrDrawText, MeasuringInPiecesGivesTheWholeLayoutsSize)
{
    const QStringList texts[] = {
            longTagText(),
            {QStringLiteral("short"), QString(65534, u'x') + QStringLiteral("<b>bold</b> tail")},
            {QString(65535, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral(" tail")},
    };
    for (const QStringList &text : texts)
        for (bool wrap : {true, false})
            for (int width : {150, 10000}) {
                SCOPED_TRACE(testing::Message() << text.front().left(10).toStdString() << " " << wrap << " " << width);
                TlyrDrawText whole, pieces;
                for (TlyrDrawText *dt : {&whole, &pieces}) {
                    dt->SetFont(QStringLiteral("Arial"), 10, 0, clBlack);
                    dt->SetOptions(wrap, true, false, true, false, true, 0);
                    dt->SetGaps(3, 0.5, 1.5);
                    dt->SetDimensions(lyrRect(0, 0, width, 10000), lyrRect(0, 0, width, 10000), 1, 1, 1);
                }
                whole.SetText(text);
                pieces.MeasureText(text);
                EXPECT_GT(whole.LineCount(), 0);
                EXPECT_EQ(pieces.LineCount(), whole.LineCount());
                EXPECT_DOUBLE_EQ(pieces.CalcHeight(), whole.CalcHeight());
                EXPECT_DOUBLE_EQ(pieces.CalcWidth(), whole.CalcWidth());
            }
}

// A line that does not wrap, far longer than the canvas shows, laid out only
// where the canvas shows it (its start, middle or end, by its alignment and
// turn) draws what its whole layout draws, Wysiwyg, at a scale that leaves
// fractions, with tags of other sizes and styles, clipped or not.
TEST(LyrDrawText, TheShownPartOfALongLineDrawsAsTheWholeLine)
{
    const QString line = QStringLiteral(u"word <b>bold</b> x<sup>2</sup> <i>中文</i> ").repeated(2000);
    // At natural advances too: there a part of a font run starts where the
    // unrounded advances of the whole run put it.
    for (TlyrHAlign h : {haLeft, haRight, haCenter, haBlock})
        for (int rotation : {0, 180, 90})
            for (bool clipped : {false, true})
                for (bool wysiwyg : {true, false}) {
                SCOPED_TRACE(testing::Message() << h << " " << rotation << " " << clipped << " " << wysiwyg);
                auto draw = [&](bool shownOnly) {
                    TlyrDrawText dt;
                    dt.SetFont(QStringLiteral("Arial"), 11, 0, clBlack);
                    dt.SetOptions(false, true, false, false, clipped, wysiwyg, rotation);
                    dt.SetGaps(5, 0.3, 1);
                    const double scale = 1.37;
                    // As wide as the line: its alignment moves it.
                    const TlyrRect box = lyrRect(20, 30, 100000, 100);
                    dt.SetDimensions(box, lyrRect(20 * scale, 30 * scale, 100000 * scale, 100 * scale), scale, scale,
                                     1);
                    QImage image(300, 300, QImage::Format_RGB32);
                    image.fill(Qt::white);
                    QPainter painter(&image);
                    TlyrCanvas canvas(&painter, 96, 96, false);
                    canvas.PushClip(QRect(10, 20, 250, 200), true);
                    if (shownOnly) {
                        const qsizetype saved = TlyrDrawText::WholeTextChars;
                        TlyrDrawText::WholeTextChars = 0;
                        dt.LimitWidthTo(canvas, h);
                        dt.SetShownText({line, line.left(3000)}, canvas, vaTop);
                        TlyrDrawText::WholeTextChars = saved;
                        EXPECT_LT(dt.Line(0).size(), 400);
                    } else {
                        dt.SetText({line, line.left(3000)});
                    }
                    dt.DrawText(canvas, h, vaTop);
                    canvas.PopClip();
                    return image;
                };
                const QImage whole = draw(false), shown = draw(true);
                EXPECT_GT(inkedPixels(whole), 300);
                EXPECT_TRUE(whole == shown);
            }
}
