#include "platform/picturefile.h"
#include "report/lyrclass.h"
#include "report/lyrres.h"
#include "report/lyrview.h"
#include "drawing_test_helpers.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray encoded(const QImage &img, const char *format)
{
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format);
    return bytes;
}

QImage sample()
{
    QImage img(4, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    return img;
}

// ---------------------------------------------------------------- frame

TEST(LyrFrame, DiffWritesTheSetAsTheSumOfItsBits)
{
    TlyrFrame f, ref;
    f.SetTyp(ftLeft | ftTop);
    EXPECT_EQ(f.Diff(ref), QStringLiteral(" Frame.Typ=\"5\""));
    f.SetColor(clRed);
    f.SetDropShadow(true);
    EXPECT_EQ(f.Diff(ref), QStringLiteral(" Frame.Color=\"255\" Frame.DropShadow=\"1\" Frame.Typ=\"5\""));
}

TEST(LyrFrame, WidthSetsEveryLineAndOnlyTheDifferingLineIsStored)
{
    TlyrFrame f, ref;
    f.SetWidth(2);
    for (auto *l : {f.LeftLine(), f.TopLine(), f.RightLine(), f.BottomLine()}) EXPECT_EQ(l->Width(), 2);
    f.LeftLine()->SetWidth(3);
    EXPECT_EQ(f.Diff(ref), QStringLiteral(" Frame.Width=\"2\" Frame.LeftLine.Width=\"3\""));
    EXPECT_TRUE(f.LeftLine()->IsPropertyStored(QStringLiteral("Width")));
    EXPECT_FALSE(f.TopLine()->IsPropertyStored(QStringLiteral("Width")));

    TlyrReport r;
    auto *page = new TlyrPage(&r);
    page->SetName(QStringLiteral("Page1"));
    auto *shape = new TlyrShapeView(page);
    shape->SetName(QStringLiteral("Shape1"));
    shape->Frame()->SetWidth(2);
    shape->Frame()->LeftLine()->SetWidth(3);
    const QByteArray xml = saveTemplate(r);
    EXPECT_TRUE(xml.contains("Frame.LeftLine.Width=\"3\""));
    EXPECT_FALSE(xml.contains("Frame.TopLine"));
    TlyrReport again;
    loadTemplate(again, xml);
    auto *loaded = qobject_cast<TlyrShapeView *>(again.FindObject(QStringLiteral("Shape1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Frame()->LeftLine()->Width(), 3);
    EXPECT_EQ(loaded->Frame()->TopLine()->Width(), 2);
}

TEST(LyrFrame, DashGapsAreClearOrTakeTheViewColour)
{
    for (int viewColor : {clNone, clYellow}) {
        QImage img(60, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            TlyrCanvas c(&p, 96, 96, false);
            TlyrFrame f;
            f.SetTyp(ftTop);
            f.SetStyle(fsDash);
            f.Draw(c, 0, 5, 59, 15, 1, 1, viewColor);
        }
        EXPECT_EQ(QColor(img.pixel(2, 5)), QColor(Qt::black));
        EXPECT_EQ(QColor(img.pixel(20, 5)), viewColor == clNone ? QColor(Qt::white) : QColor(Qt::yellow));
    }
}

TEST(LyrFrame, NoColourOrNoWidthDrawsNoLinesButTheShadow)
{
    for (int variant = 0; variant < 2; ++variant) {
        TlyrFrame f;
        f.SetTyp(ftAll);
        f.SetDropShadow(true);
        if (variant == 0)
            f.SetColor(clNone);
        else
            f.SetWidth(0);
        TlyrRecordingCanvas c(96);
        f.Draw(c, 0, 0, 50, 50, 1, 1, clNone);
        ASSERT_EQ(c.Shapes.size(), 2u);
        for (const auto &s : c.Shapes) EXPECT_EQ(s.What, TlyrRecordedShape::Fill);
    }
}

TEST(LyrFrame, EachSideAndTheDoubleStyle)
{
    TlyrFrame f;
    f.SetTyp(ftAll);
    TlyrRecordingCanvas c(96);
    f.Draw(c, 10, 10, 50, 30, 1, 1, clNone);
    ASSERT_EQ(c.Shapes.size(), 4u);
    // Left, right, top, bottom; the bottom reaches one pixel further.
    EXPECT_EQ(c.Shapes[0].Rect, QRect(QPoint(10, 10), QPoint(10, 30)));
    EXPECT_EQ(c.Shapes[1].Rect, QRect(QPoint(50, 10), QPoint(50, 30)));
    EXPECT_EQ(c.Shapes[2].Rect, QRect(QPoint(10, 10), QPoint(50, 10)));
    EXPECT_EQ(c.Shapes[3].Rect, QRect(QPoint(10, 30), QPoint(51, 30)));

    f.SetStyle(fsDouble);
    f.SetWidth(2);
    c.Clear();
    f.Draw(c, 10, 10, 50, 30, 1, 1, clWhite);
    // Per side: outer line, the middle cleared in the view colour, inner line.
    ASSERT_EQ(c.Shapes.size(), 12u);
    EXPECT_EQ(c.Shapes[0].Rect, QRect(QPoint(8, 7), QPoint(8, 32)));  // outer left, lengthened
    EXPECT_EQ(c.Shapes[1].PenColor, clWhite);
    EXPECT_EQ(c.Shapes[2].Rect, QRect(QPoint(12, 11), QPoint(12, 28)));  // inner left, shortened
}

TEST(LyrFrame, ShadowAndFramePixelsAtTwoResolutions)
{
    for (double scale : {1.0, 600.0 / 96}) {
        const int size = int(std::lround(100 * scale));
        QImage img(size, size, QImage::Format_RGB32);
        img.fill(Qt::white);
        TlyrReport r;
        auto *page = new TlyrPage(&r);
        auto *shape = new TlyrView(page);
        shape->SetBounds(10, 10, 60, 40);
        shape->Frame()->SetTyp(ftAll);
        shape->Frame()->SetDropShadow(true);
        shape->Frame()->SetColor(clRed);
        {
            QPainter p(&img);
            TlyrCanvas c(&p, int(96 * scale), int(96 * scale), false);
            shape->Draw(c, scale, scale, 0, 0);
        }
        auto at = [&](double x, double y) { return QColor(img.pixel(int(x * scale), int(y * scale))); };
        EXPECT_EQ(at(10, 30), QColor(Qt::red));    // outline
        EXPECT_EQ(at(40, 30), QColor(Qt::white));  // no fill
        EXPECT_EQ(at(68, 30), QColor(Qt::black));  // shadow on the right
        EXPECT_EQ(at(40, 48), QColor(Qt::black));  // shadow below
        EXPECT_EQ(at(80, 80), QColor(Qt::white));
    }
}

TEST(LyrHighlight, AssignLeavesActiveAlone)
{
    TlyrHighlight a, b;
    a.Active = true;
    a.SetCondition(QStringLiteral("Value > 0"));
    a.SetColor(clYellow);
    b.Assign(a);
    EXPECT_FALSE(b.Active);
    EXPECT_EQ(b.Condition(), a.Condition());
    EXPECT_EQ(b.Color(), clYellow);
    EXPECT_EQ(b.Font()->Color(), clRed);
}

// ---------------------------------------------------------------- format

QString formatted(const KsValue &v, const QString &suffix, QString *error = nullptr)
{
    TlyrFormat f;
    f.SetFromSuffix(suffix);
    return lyrFormatData(v, f, error);
}

TEST(LyrFormat, NumericFormats)
{
    EXPECT_EQ(formatted(KsValue(1234.5), QStringLiteral("n%2.2n")), QStringLiteral("1,234.50"));
    EXPECT_EQ(formatted(KsValue(1234.5), QStringLiteral("n%2.2f")), QStringLiteral("1234.50"));
    EXPECT_EQ(formatted(KsValue(1234.5), QStringLiteral("n%2,2f")), QStringLiteral("1234,50"));
    EXPECT_EQ(formatted(KsValue(1234.5), QStringLiteral("n#,##0.00")), QStringLiteral("1,234.50"));
    EXPECT_EQ(formatted(KsValue(7.6), QStringLiteral("n%d")), QStringLiteral("8"));
    EXPECT_EQ(formatted(KsValue(7.6), QStringLiteral("n0.00")), QStringLiteral("0.00"));
    EXPECT_EQ(formatted(KsValue::Null(), QStringLiteral("n%2.2n")), QString());
}

TEST(LyrFormat, NumericTextIsConvertedAndOtherTextStaysWithAnError)
{
    QString error;
    EXPECT_EQ(formatted(KsValue(QStringLiteral("1234.5")), QStringLiteral("n%2.2n"), &error),
              QStringLiteral("1,234.50"));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(formatted(KsValue(QStringLiteral("abc")), QStringLiteral("n%2.2n"), &error), QStringLiteral("abc"));
    EXPECT_FALSE(error.isEmpty());
}

TEST(LyrFormat, BooleanDateAndText)
{
    EXPECT_EQ(formatted(KsValue(true), QStringLiteral("bNo,Yes")), QStringLiteral("Yes"));
    EXPECT_EQ(formatted(KsValue(false), QStringLiteral("bNo,Yes")), QStringLiteral("No"));
    EXPECT_EQ(formatted(KsValue(QStringLiteral("x")), QStringLiteral("bNo,Yes")), QStringLiteral("No"));
    EXPECT_EQ(formatted(KsValue::FromDate(45000), QStringLiteral("dyyyy-mm-dd")), QStringLiteral("2023-03-15"));
    TlyrFormat text;
    EXPECT_EQ(lyrFormatData(KsValue(12), text), QStringLiteral("12"));
}

// ---------------------------------------------------------------- views

TEST(LyrView, PixelBoxAtScaleAndOffset)
{
    TlyrView v;
    v.SetBounds(10, 20, 100, 50);
    TlyrRecordingCanvas c(96);
    v.BeginDraw(&c, 2, 2, 5, 5);
    EXPECT_EQ(QRect(QPoint(v.X, v.Y), QPoint(v.X1, v.Y1)), QRect(QPoint(25, 45), QPoint(225, 145)));
    EXPECT_EQ(v.DX, 200);
    EXPECT_EQ(v.DY, 100);
    v.Frame()->SetDropShadow(true);
    v.BeginDraw(&c, 2, 2, 5, 5);
    EXPECT_EQ(v.X1, 225 - 8);
}

TEST(LyrView, ClearBrushDrawsNoHatch)
{
    TlyrShapeView s;
    s.SetBounds(0, 0, 20, 20);
    TlyrRecordingCanvas c(96);
    s.SetBrushStyle(bsClear);
    s.Draw(c, 1, 1, 0, 0);
    for (const auto &sh : c.Shapes) EXPECT_NE(sh.BrushStyle, bsCross);
    TlyrView v;
    v.SetBounds(0, 0, 20, 20);
    v.SetBrushStyle(bsClear);
    c.Clear();
    v.Draw(c, 1, 1, 0, 0);
    EXPECT_TRUE(c.Shapes.empty());
    v.SetBrushStyle(bsCross);
    v.Draw(c, 1, 1, 0, 0);
    ASSERT_EQ(c.Shapes.size(), 1u);
    EXPECT_EQ(c.Shapes[0].BrushStyle, bsCross);
}

TEST(LyrView, DoubleFrameShapeIsDrawnTwiceTwoUnitsInside)
{
    TlyrShapeView s;
    s.SetBounds(10, 10, 100, 50);
    s.Frame()->SetStyle(fsDouble);
    TlyrRecordingCanvas c(96);
    s.Draw(c, 1, 1, 0, 0);
    ASSERT_EQ(c.Shapes.size(), 2u);
    EXPECT_EQ(c.Shapes[0].Rect, QRect(10, 10, 101, 51));
    EXPECT_EQ(c.Shapes[1].Rect, QRect(12, 12, 97, 47));
    EXPECT_EQ(s.Frame()->Style(), fsDouble);
    EXPECT_EQ(s.Left(), 10);
    EXPECT_EQ(s.Width(), 100);
}

TEST(LyrView, LinesBecomeStraight)
{
    TlyrLineView h;
    h.SetBounds(0, 0, 100, 3);
    TlyrRecordingCanvas c(96);
    h.Draw(c, 1, 1, 0, 0);
    EXPECT_EQ(h.Height(), 0);
    EXPECT_EQ(h.Frame()->Typ(), ftTop);
    TlyrLineView v;
    v.SetBounds(0, 0, 3, 3);
    v.Draw(c, 1, 1, 0, 0);
    EXPECT_EQ(v.Width(), 0);
    EXPECT_EQ(v.Frame()->Typ(), ftLeft);
    TlyrLineView a;
    a.DesignCreate(4);
    EXPECT_TRUE(a.Diagonal());
    EXPECT_TRUE(a.ArrowStart());
    EXPECT_TRUE(a.ArrowEnd());
    a.SetBounds(0, 0, 100, 100);
    a.SetArrowSolid(true);
    c.Clear();
    a.Draw(c, 1, 1, 0, 0);
    int polygons = 0;
    for (const auto &s : c.Shapes) polygons += s.What == TlyrRecordedShape::Polygon;
    EXPECT_EQ(polygons, 2);
}

TEST(LyrPicture, StreamsByTheirSignature)
{
    TlyrPictureView p;
    EXPECT_EQ(p.LoadPictureFromStream(encoded(sample(), "BMP")), 0);
    EXPECT_EQ(p.Picture().size(), QSize(4, 2));
    EXPECT_EQ(p.LoadPictureFromStream(encoded(sample(), "JPEG")), 0);
    EXPECT_EQ(p.Picture().size(), QSize(4, 2));
    EXPECT_EQ(p.LoadPictureFromStream(encoded(sample(), "PNG")), 0);
    EXPECT_FALSE(p.Picture().isNull());
    EXPECT_EQ(p.LoadPictureFromStream(QByteArray("abc")), TlyrPictureView::kInvalidArg);
    EXPECT_TRUE(p.Picture().isNull());
    EXPECT_EQ(p.LoadPictureFromStream(QByteArray()), TlyrPictureView::kInvalidArg);
}

TEST(LyrPicture, RejectedPicturesBecomeEmptyWithAnErrorLine)
{
    TlyrReport r;
    auto *page = new TlyrPage(&r);
    auto *p = new TlyrPictureView(page);
    p->SetName(QStringLiteral("Picture1"));
    // A placeable metafile key: the bytes are kept, nothing can be drawn
    // and that is no error of the report.
    QByteArray wmf("\xD7\xCD\xC6\x9A", 4);
    wmf.append(40, '\0');
    EXPECT_EQ(p->LoadPictureFromStream(wmf), 0);
    EXPECT_TRUE(p->Picture().isNull());
    EXPECT_EQ(p->PictureData(), wmf);
    EXPECT_FALSE(p->LastError().isEmpty());
    EXPECT_TRUE(r.Errors().isEmpty());
    // Six bytes whose third 16-bit value is small: no icon directory.
    EXPECT_EQ(p->LoadPictureFromStream(QByteArray("\x00\x00\x01\x00\x00\x00", 6)), TlyrPictureView::kInvalidArg);
    // A PNG signature with damaged data.
    EXPECT_EQ(p->LoadPictureFromStream(QByteArray("\x89PNG\r\n\x1a\nrubbish", 15)), TlyrPictureView::kInvalidArg);
    EXPECT_TRUE(p->Picture().isNull());
    EXPECT_GE(r.Errors().size(), 2);
}

TEST(LyrPicture, FileLinkWithBackslashesAndOnlyPictureSizedRegularFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("logo.png"));
    sample().save(path, "PNG");
    TlyrReport r;
    auto *page = new TlyrPage(&r);
    auto *p = new TlyrPictureView(page);
    p->SetName(QStringLiteral("Picture1"));
    p->SetFileLink(QString(path).replace(u'/', u'\\'));
    p->GetData();
    EXPECT_EQ(p->Picture().size(), QSize(4, 2));
    p->SetFileLink(dir.filePath(QStringLiteral("missing.png")));
    p->GetData();
    EXPECT_TRUE(p->Picture().isNull());
    EXPECT_TRUE(r.Errors().isEmpty());
    // A device is never read: an error line and an empty picture.
    p->SetFileLink(path);
    p->GetData();
    p->SetFileLink(QStringLiteral("/dev/zero"));
    p->GetData();
    EXPECT_TRUE(p->Picture().isNull());
    ASSERT_EQ(r.Errors().size(), 1);
    EXPECT_TRUE(r.Errors()[0].startsWith(QStringLiteral("Picture1: ")));
    EXPECT_TRUE(r.Errors()[0].contains(QStringLiteral("/dev/zero")));
    // A good picture padded past the size a picture can have is refused too.
    const QString huge = dir.filePath(QStringLiteral("huge.png"));
    ASSERT_TRUE(QFile::copy(path, huge));
    QFile f(huge);
    ASSERT_TRUE(f.resize(vplatform::kMaxPictureFileSize + 1));
    p->SetFileLink(huge);
    p->GetData();
    EXPECT_TRUE(p->Picture().isNull());
    EXPECT_EQ(r.Errors().size(), 2);
    EXPECT_EQ(p->LoadPictureFromFile(huge), TlyrPictureView::kInvalidArg);
}

TEST(LyrPicture, KeepsAspectRatioWhenStretched)
{
    TlyrPictureView p;
    p.SetBounds(0, 0, 100, 100);
    p.LoadPictureFromStream(encoded(sample(), "PNG"));
    TlyrRecordingCanvas c(96);
    p.Draw(c, 1, 1, 0, 0);
    QRect drawn;
    for (const auto &s : c.Shapes)
        if (s.What == TlyrRecordedShape::Image) drawn = s.Rect;
    EXPECT_EQ(drawn, QRect(0, 0, 100, 50));
}

// Every drawing class with values other than its defaults, saved, loaded and
// saved again: the same bytes.
TEST(LyrViewTemplate, EveryClassRoundTrips)
{
    TlyrReport r;
    r.setObjectName(QStringLiteral("Rep"));
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrPage(&r);
    page->SetName(QStringLiteral("Page1"));
    auto *shape = new TlyrShapeView(page);
    shape->SetName(QStringLiteral("Shape1"));
    shape->SetBounds(1, 2, 30, 40);
    shape->SetShape(skEllipse);
    shape->SetCurve(3);
    shape->SetBrushStyle(bsDiagCross);
    shape->SetColor(clYellow);
    shape->SetCursor(5);
    shape->SetTagStr(QStringLiteral("t[1]"));
    shape->SetURL(QStringLiteral("http://x/<y>"));
    shape->SetAlign(baRight);
    shape->SetShiftMode(smWhenOverlapped);
    shape->SetPrintable(false);
    shape->Frame()->SetTyp(ftLeft | ftBottom);
    shape->Frame()->SetStyle(fsDashDot);
    shape->Frame()->SetShadowWidth(6);
    shape->Frame()->SetDropShadow(true);
    shape->Frame()->BottomLine()->SetColor(clRed);
    auto *line = new TlyrLineView(page);
    line->SetName(QStringLiteral("Line1"));
    line->SetBounds(0, 50, 100, 0);
    line->SetArrowEnd(true);
    line->SetArrowLength(12);
    line->SetArrowWidth(7);
    line->SetArrowSolid(true);
    line->SetDiagonal(true);
    line->SetStretchMode(smMaxHeight);
    auto *pic = new TlyrPictureView(page);
    pic->SetName(QStringLiteral("Picture1"));
    pic->SetBounds(5, 5, 20, 20);
    pic->SetCenter(true);
    pic->SetKeepAspectRatio(false);
    pic->SetStretched(false);
    pic->SetFileLink(QStringLiteral("logo.png"));
    pic->LoadPictureFromStream(encoded(sample(), "PNG"));
    auto *page2 = new TlyrPage(&r);
    page2->SetName(QStringLiteral("Page2"));
    auto *sub = new TlyrSubreport(page);
    sub->SetName(QStringLiteral("Subreport1"));
    sub->SetSubPage(page2);
    sub->SetPrintOnParent(true);

    TlyrReport again;
    const QByteArray first = expectRoundTrip(r, again);
    EXPECT_TRUE(first.contains("Shape=\"skEllipse\"")) << first.toStdString();
    EXPECT_TRUE(first.contains("Frame.Style=\"fsDashDot\""));
    EXPECT_TRUE(first.contains("BrushStyle=\"bsDiagCross\""));
    auto *p2 = qobject_cast<TlyrPictureView *>(again.FindObject(QStringLiteral("Picture1")));
    ASSERT_NE(p2, nullptr);
    EXPECT_EQ(p2->Picture().size(), QSize(4, 2));
    auto *s2 = qobject_cast<TlyrSubreport *>(again.FindObject(QStringLiteral("Subreport1")));
    ASSERT_NE(s2, nullptr);
    EXPECT_EQ(s2->SubPage(), again.FindObject(QStringLiteral("Page2")));
}

TEST(LyrView, DiffListsTheChangedViewAttributes)
{
    TlyrShapeView a, b;
    a.SetColor(clYellow);
    a.SetShape(skDiamond);
    a.SetPrintable(false);
    a.Frame()->SetTyp(ftTop);
    EXPECT_EQ(a.Diff(&b), QStringLiteral(" Color=\"65535\" Frame.Typ=\"4\" Printable=\"0\" Shape=\"4\""));
}

}  // namespace

namespace {

TEST(LyrPicture, DiffAddsTheImageIndexOnce)
{
    TlyrPictureView p;
    p.LoadPictureFromStream(encoded(sample(), "PNG"));
    EXPECT_TRUE(p.PictureChanged());
    TlyrPictureView ref;
    const QString d = p.Diff(&ref);
    EXPECT_TRUE(d.endsWith(QStringLiteral(" ImageIndex=\"0\""))) << d.toStdString();
    EXPECT_FALSE(p.PictureChanged());
}

}  // namespace

namespace {

TEST(LyrPicture, EmptyPictureShowsTheButtonImageInTheDesigner)
{
    TlyrPictureView p;
    p.SetBounds(10, 10, 50, 50);
    TlyrRecordingCanvas c(96);
    p.Draw(c, 1, 1, 0, 0);
    auto images = [&] {
        int n = 0;
        for (const auto &s : c.Shapes) n += s.What == TlyrRecordedShape::Image;
        return n;
    };
    EXPECT_EQ(images(), 0);
    p.SetDesigning(true);
    c.Clear();
    p.Draw(c, 1, 1, 0, 0);
    // The program's resources carry the object buttons.
    ASSERT_GT(lyrResources().ObjectImages().Count(), 3);
    ASSERT_EQ(images(), 1);
    EXPECT_EQ(c.Shapes[1].Rect.topLeft(), QPoint(11, 12));
}

}  // namespace
