#include "script/ks_igraphicsrtti.h"

#include "script/ks_ibind.h"

#include "platform/picturefile.h"
#include "platform/safefile.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPalette>

using namespace ksbind;

namespace {

struct ColorName {
    const char *Name;
    qint64 Value;
};
// The platform's colour table: plain colours, then the system colours
// (0x80000000 + index), then clNone and clDefault.
const ColorName kColors[] = {{"clBlack", 0x000000},
                             {"clMaroon", 0x000080},
                             {"clGreen", 0x008000},
                             {"clOlive", 0x008080},
                             {"clNavy", 0x800000},
                             {"clPurple", 0x800080},
                             {"clTeal", 0x808000},
                             {"clGray", 0x808080},
                             {"clSilver", 0xC0C0C0},
                             {"clRed", 0x0000FF},
                             {"clLime", 0x00FF00},
                             {"clYellow", 0x00FFFF},
                             {"clBlue", 0xFF0000},
                             {"clFuchsia", 0xFF00FF},
                             {"clAqua", 0xFFFF00},
                             {"clLtGray", 0xC0C0C0},
                             {"clDkGray", 0x808080},
                             {"clWhite", 0xFFFFFF},
                             {"clMoneyGreen", 0xC0DCC0},
                             {"clSkyBlue", 0xF0CAA6},
                             {"clCream", 0xF0FBFF},
                             {"clMedGray", 0xA4A0A0},
                             {"clNone", 0x1FFFFFFF},
                             {"clDefault", 0x20000000},
                             {"clScrollBar", 0x80000000},
                             {"clBackground", 0x80000001},
                             {"clActiveCaption", 0x80000002},
                             {"clInactiveCaption", 0x80000003},
                             {"clMenu", 0x80000004},
                             {"clWindow", 0x80000005},
                             {"clWindowFrame", 0x80000006},
                             {"clMenuText", 0x80000007},
                             {"clWindowText", 0x80000008},
                             {"clCaptionText", 0x80000009},
                             {"clActiveBorder", 0x8000000A},
                             {"clInactiveBorder", 0x8000000B},
                             {"clAppWorkSpace", 0x8000000C},
                             {"clHighlight", 0x8000000D},
                             {"clHighlightText", 0x8000000E},
                             {"clBtnFace", 0x8000000F},
                             {"clBtnShadow", 0x80000010},
                             {"clGrayText", 0x80000011},
                             {"clBtnText", 0x80000012},
                             {"clInactiveCaptionText", 0x80000013},
                             {"clBtnHighlight", 0x80000014},
                             {"cl3DDkShadow", 0x80000015},
                             {"cl3DLight", 0x80000016},
                             {"clInfoText", 0x80000017},
                             {"clInfoBk", 0x80000018}};

KsValue Nothing()
{
    return KsValue(0);
}

}  // namespace

QColor ksColorToQColor(int color)
{
    if (color < 0) {
        // System colours from the palette in use.
        const QPalette pal = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
        switch (color & 0xFF) {
        case 5:
            return pal.color(QPalette::Base);
        case 8:
        case 7:
            return pal.color(QPalette::Text);
        case 13:
            return pal.color(QPalette::Highlight);
        case 14:
            return pal.color(QPalette::HighlightedText);
        case 16:
            return pal.color(QPalette::Dark);
        case 17:
            return pal.color(QPalette::PlaceholderText);
        case 18:
            return pal.color(QPalette::ButtonText);
        case 23:
            return pal.color(QPalette::ToolTipText);
        case 24:
            return pal.color(QPalette::ToolTipBase);
        default:
            return pal.color(QPalette::Button);
        }
    }
    if (color == 0x1FFFFFFF) return QColor(Qt::transparent);
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int ksQColorToColor(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// ---- font, pen, brush ------------------------------------------------------------------

TFont::TFont(QObject *parent) : TPersistent(parent)
{
    FFont.setFamily(QStringLiteral("Sans Serif"));
    FFont.setPointSize(9);
}

void TFont::SetSize(int v)
{
    if (v > 0) FFont.setPointSize(v);
    Changed();
}

int TFont::Style() const
{
    return (FFont.bold() ? 1 : 0) | (FFont.italic() ? 2 : 0) | (FFont.underline() ? 4 : 0) |
           (FFont.strikeOut() ? 8 : 0);
}

void TFont::SetStyle(int v)
{
    FFont.setBold(v & 1);
    FFont.setItalic(v & 2);
    FFont.setUnderline(v & 4);
    FFont.setStrikeOut(v & 8);
    Changed();
}

bool TFont::AssignFrom(QObject *source)
{
    auto *f = qobject_cast<TFont *>(source);
    if (!f) return false;
    FFont = f->FFont;
    FColor = f->FColor;
    Changed();
    return true;
}

QPen TPen::ToQPen() const
{
    static const Qt::PenStyle styles[] = {Qt::SolidLine,      Qt::DashLine, Qt::DotLine,  Qt::DashDotLine,
                                          Qt::DashDotDotLine, Qt::NoPen,    Qt::SolidLine};
    QPen p(ksColorToQColor(FColor));
    p.setWidth(FWidth);
    p.setStyle(FStyle >= 0 && FStyle <= 6 ? styles[FStyle] : Qt::SolidLine);
    return p;
}

bool TPen::AssignFrom(QObject *source)
{
    auto *p = qobject_cast<TPen *>(source);
    if (!p) return false;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    return true;
}

QBrush TBrush::ToQBrush() const
{
    static const Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush,      Qt::HorPattern,   Qt::VerPattern,
                                            Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(ksColorToQColor(FColor), FStyle >= 0 && FStyle <= 7 ? styles[FStyle] : Qt::SolidPattern);
}

bool TBrush::AssignFrom(QObject *source)
{
    auto *b = qobject_cast<TBrush *>(source);
    if (!b) return false;
    FColor = b->FColor;
    FStyle = b->FStyle;
    return true;
}

// ---- canvas ----------------------------------------------------------------------------

TCanvas::TCanvas(QObject *parent)
    : TPersistent(parent), FFont(MarkPart(new TFont(this))), FPen(MarkPart(new TPen(this))),
      FBrush(MarkPart(new TBrush(this)))
{}

template <class F>
void TCanvas::Paint(F f)
{
    if (BeforeDraw) BeforeDraw();
    if (!FTarget || FTarget->isNull()) return;
    {
        QPainter p(FTarget);
        p.setPen(FPen->ToQPen());
        p.setBrush(FBrush->ToQBrush());
        p.setFont(FFont->Font());
        f(p);
    }
    if (AfterDraw) AfterDraw();
}

void TCanvas::Draw(int x, int y, TGraphic *g)
{
    Paint([&](QPainter &p) { p.drawImage(QPoint(x, y), g->Image()); });
}

void TCanvas::StretchDraw(int x1, int y1, int x2, int y2, TGraphic *g)
{
    Paint([&](QPainter &p) { p.drawImage(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)), g->Image()); });
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    Paint([&](QPainter &p) { p.drawEllipse(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1))); });
}

void TCanvas::LineTo(int x, int y)
{
    Paint([&](QPainter &p) { p.drawLine(FPenPos, QPoint(x, y)); });
    FPenPos = QPoint(x, y);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    Paint([&](QPainter &p) { p.drawRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1))); });
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3)
{
    Paint([&](QPainter &p) { p.drawRoundedRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)), x3 / 2.0, y3 / 2.0); });
}

int TCanvas::TextHeight(const QString &text) const
{
    if (!QGuiApplication::instance()) return FFont->Size() * 96 / 72;
    return QFontMetrics(FFont->Font()).boundingRect(text.isEmpty() ? QStringLiteral("W") : text).height();
}

int TCanvas::TextWidth(const QString &text) const
{
    if (!QGuiApplication::instance()) return int(text.size()) * FFont->Size() * 96 / 72 / 2;
    return QFontMetrics(FFont->Font()).horizontalAdvance(text);
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    Paint([&](QPainter &p) {
        p.setPen(ksColorToQColor(FFont->Color()));
        const QFontMetrics fm(FFont->Font());
        if (FBrush->Style() != 1) p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), FBrush->ToQBrush());
        p.drawText(QPoint(x, y + fm.ascent()), text);
    });
    FPenPos = QPoint(x + TextWidth(text), y);
}

int TCanvas::Pixel(int x, int y) const
{
    if (!FTarget || !FTarget->valid(x, y)) return -1;
    return ksQColorToColor(FTarget->pixelColor(x, y));
}

void TCanvas::SetPixel(int x, int y, int color)
{
    if (BeforeDraw) BeforeDraw();
    if (!FTarget || !FTarget->valid(x, y)) return;
    FTarget->setPixelColor(x, y, ksColorToQColor(color));
    if (AfterDraw) AfterDraw();
}

// ---- graphics --------------------------------------------------------------------------

void TGraphic::SetSize(int w, int h)
{
    w = std::max(0, w);
    h = std::max(0, h);
    if (w == Width() && h == Height()) return;
    FWidth = w;
    FHeight = h;
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::white);
    if (!FImage.isNull()) {
        QPainter p(&img);
        p.drawImage(0, 0, FImage);
    }
    FImage = img;
}

void TGraphic::LoadFromFile(const QString &fileName)
{
    QByteArray data;
    QString why;
    if (!vplatform::readPictureFile(fileName, data, &why))
        Raise(QStringLiteral("EInvalidGraphic"), QStringLiteral("Cannot load picture \"%1\". %2").arg(fileName, why));
    QBuffer buffer(&data);
    QImageReader r(&buffer);
    QImage img = r.read();
    if (img.isNull())
        Raise(QStringLiteral("EInvalidGraphic"),
              QStringLiteral("Cannot load picture \"%1\". %2").arg(fileName, r.errorString()));
    SetImage(img);
}

void TGraphic::SetImage(const QImage &img)
{
    FImage = img.convertToFormat(QImage::Format_ARGB32);
    FWidth = FImage.width();
    FHeight = FImage.height();
}

void TGraphic::SaveToFile(const QString &fileName) const
{
    // Encoded before the file is touched: a picture that cannot be written
    // and a disk that cannot take it fail with their own words.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter w(&buffer, "bmp");
    if (!w.write(FImage))
        Raise(QStringLiteral("EFCreateError"),
              QStringLiteral("Cannot write the picture \"%1\". %2").arg(fileName, w.errorString()));
    QString error;
    if (!vplatform::saveFileSafely(fileName, bytes, &error)) Raise(QStringLiteral("EFCreateError"), error);
}

bool TGraphic::AssignFrom(QObject *source)
{
    if (auto *g = qobject_cast<TGraphic *>(source)) {
        SetImage(g->FImage);
        FWidth = g->FWidth;
        FHeight = g->FHeight;
        return true;
    }
    return false;
}

TBitmap::TBitmap(QObject *parent) : TGraphic(parent), FCanvas(MarkPart(new TCanvas(this)))
{
    FCanvas->SetTarget(&FImage);
}

void TBitmap::SetSize(int w, int h)
{
    TGraphic::SetSize(w, h);
}

TPicture::TPicture(QObject *parent) : TPersistent(parent), FBitmap(MarkPart(new TBitmap(this))) {}

bool TPicture::AssignFrom(QObject *source)
{
    if (auto *p = qobject_cast<TPicture *>(source)) return FBitmap->TPersistent::Assign(p->FBitmap), true;
    if (auto *g = qobject_cast<TGraphic *>(source)) return FBitmap->TPersistent::Assign(g), true;
    return false;
}

// ---- registration ----------------------------------------------------------------------

TksGraphicsFunctions::TksGraphicsFunctions(TksScript *s) : TksRTTIModule(s)
{
    for (const ColorName &c : kColors)
        s->AddConst(QLatin1String(c.Name), QStringLiteral("Integer"), KsValue(qint32(quint32(c.Value))));
    // Colour functions: a system colour to its RGB value, and a colour from
    // its three parts.
    s->AddMethod(
            QStringLiteral("function ColorToRGB(Color: TColor): Integer"),
            [](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                return KsValue(ksQColorToColor(ksColorToQColor(h->GetParam(0).ToInt())));
            },
            QStringLiteral("ctOther"));
    s->AddMethod(
            QStringLiteral("function RGB(R, G, B: Integer): TColor"),
            [](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                return KsValue((IntArg(h, 0) & 0xFF) | ((IntArg(h, 1) & 0xFF) << 8) | ((IntArg(h, 2) & 0xFF) << 16));
            },
            QStringLiteral("ctOther"));
    s->AddEnumSet(QStringLiteral("TFontStyles"), QStringLiteral("fsBold, fsItalic, fsUnderline, fsStrikeout"));
    s->AddEnum(QStringLiteral("TFontPitch"), QStringLiteral("fpDefault, fpVariable, fpFixed"));
    s->AddEnum(QStringLiteral("TPenStyle"),
               QStringLiteral("psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame"));
    s->AddEnum(QStringLiteral("TPenMode"),
               QStringLiteral("pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, "
                              "pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor"));
    s->AddEnum(QStringLiteral("TBrushStyle"),
               QStringLiteral(
                       "bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross"));

    static const struct Infos {
        const KsClassInfo *Font, *Pen, *Brush, *Canvas, *Graphic, *Picture, *Metafile, *MetafileCanvas, *Bitmap;
    } ci = [] {
        ksClassesInfo();
        return Infos{ksRegisterClass<TFont>(),     ksRegisterClass<TPen>(),
                     ksRegisterClass<TBrush>(),    ksRegisterClass<TCanvas>(),
                     ksRegisterClass<TGraphic>(),  ksRegisterClass<TPicture>(),
                     ksRegisterClass<TMetafile>(), ksRegisterClass<TMetafileCanvas>(),
                     ksRegisterClass<TBitmap>()};
    }();
    const QString persistent = QStringLiteral("TPersistent");
    auto create = [](QObject *, TksMethodHelper *) { return Nothing(); };
    Binder<QObject>(s->AddClass(ci.Font, persistent)).Constructor(QStringLiteral("constructor Create"), create);
    Binder<QObject>(s->AddClass(ci.Pen, persistent)).Constructor(QStringLiteral("constructor Create"), create);
    Binder<QObject>(s->AddClass(ci.Brush, persistent)).Constructor(QStringLiteral("constructor Create"), create);
    auto graphic = [](TksMethodHelper *h, int i) { return ObjArgAs<TGraphic>(h, i, ci.Graphic); };
    Binder<TCanvas>(s->AddClass(ci.Canvas, persistent))
            .Constructor(QStringLiteral("constructor Create"), [](TCanvas *, TksMethodHelper *) { return Nothing(); })
            .Method(QStringLiteral("procedure Draw(X, Y: Integer; Graphic: TGraphic)"),
                    [graphic](TCanvas *c, TksMethodHelper *h) {
                        c->Draw(IntArg(h, 0), IntArg(h, 1), graphic(h, 2));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Ellipse(X1, Y1, X2, Y2: Integer)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->Ellipse(IntArg(h, 0), IntArg(h, 1), IntArg(h, 2), IntArg(h, 3));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure LineTo(X, Y: Integer)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->LineTo(IntArg(h, 0), IntArg(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure MoveTo(X, Y: Integer)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->MoveTo(IntArg(h, 0), IntArg(h, 1));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure Rectangle(X1, Y1, X2, Y2: Integer)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->Rectangle(IntArg(h, 0), IntArg(h, 1), IntArg(h, 2), IntArg(h, 3));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure RoundRect(X1, Y1, X2, Y2, X3, Y3: Integer)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->RoundRect(IntArg(h, 0), IntArg(h, 1), IntArg(h, 2), IntArg(h, 3), IntArg(h, 4),
                                     IntArg(h, 5));
                        return Nothing();
                    })
            .Method(QStringLiteral("procedure StretchDraw(X1, Y1, X2, Y2: Integer; Graphic: TGraphic)"),
                    [graphic](TCanvas *c, TksMethodHelper *h) {
                        c->StretchDraw(IntArg(h, 0), IntArg(h, 1), IntArg(h, 2), IntArg(h, 3), graphic(h, 4));
                        return Nothing();
                    })
            .Method(QStringLiteral("function TextHeight(const Text: string): Integer"),
                    [](TCanvas *c, TksMethodHelper *h) { return KsValue(c->TextHeight(StrArg(h, 0))); })
            .Method(QStringLiteral("procedure TextOut(X, Y: Integer; const Text: string)"),
                    [](TCanvas *c, TksMethodHelper *h) {
                        c->TextOut(IntArg(h, 0), IntArg(h, 1), StrArg(h, 2));
                        return Nothing();
                    })
            .Method(QStringLiteral("function TextWidth(const Text: string): Integer"),
                    [](TCanvas *c, TksMethodHelper *h) { return KsValue(c->TextWidth(StrArg(h, 0))); })
            .Indexed(
                    QStringLiteral("Pixels"), QStringLiteral("Integer, Integer"), QStringLiteral("TColor"),
                    [](TCanvas *c, TksMethodHelper *h) { return KsValue(c->Pixel(IntArg(h, 0), IntArg(h, 1))); },
                    [](TCanvas *c, TksMethodHelper *h, const KsValue &v) {
                        c->SetPixel(IntArg(h, 0), IntArg(h, 1), v.ToInt());
                    });
    auto file = [](auto load) {
        return [load](TPersistent *t, TksMethodHelper *h) {
            load(t, StrArg(h, 0));
            return Nothing();
        };
    };
    Binder<TGraphic>(s->AddClass(ci.Graphic, persistent))
            .Constructor(QStringLiteral("constructor Create"), [](TGraphic *, TksMethodHelper *) { return Nothing(); })
            .Method(QStringLiteral("procedure LoadFromFile(const Filename: string)"),
                    file([](TPersistent *t, const QString &f) { static_cast<TGraphic *>(t)->LoadFromFile(f); }))
            .Method(QStringLiteral("procedure SaveToFile(const Filename: string)"),
                    file([](TPersistent *t, const QString &f) { static_cast<TGraphic *>(t)->SaveToFile(f); }))
            .Property(
                    QStringLiteral("Height"), QStringLiteral("Integer"),
                    [](TGraphic *g) { return KsValue(g->Height()); },
                    [](TGraphic *g, const KsValue &v) { g->SetSize(g->Width(), v.ToInt()); })
            .Property(
                    QStringLiteral("Width"), QStringLiteral("Integer"), [](TGraphic *g) { return KsValue(g->Width()); },
                    [](TGraphic *g, const KsValue &v) { g->SetSize(v.ToInt(), g->Height()); });
    Binder<TPicture>(s->AddClass(ci.Picture, persistent))
            .Method(QStringLiteral("procedure LoadFromFile(const Filename: string)"),
                    file([](TPersistent *t, const QString &f) { static_cast<TPicture *>(t)->LoadFromFile(f); }))
            .Method(QStringLiteral("procedure SaveToFile(const Filename: string)"),
                    file([](TPersistent *t, const QString &f) { static_cast<TPicture *>(t)->SaveToFile(f); }))
            .Property(QStringLiteral("Height"), QStringLiteral("Integer"),
                      [](TPicture *g) { return KsValue(g->Height()); })
            .Property(QStringLiteral("Width"), QStringLiteral("Integer"),
                      [](TPicture *g) { return KsValue(g->Width()); });
    s->AddClass(ci.Metafile, QStringLiteral("TGraphic"));
    Binder<TMetafileCanvas>(s->AddClass(ci.MetafileCanvas, QStringLiteral("TCanvas")))
            .Constructor(QStringLiteral("constructor Create(AMetafile: TMetafile; ReferenceDevice: Integer)"),
                         [](TMetafileCanvas *c, TksMethodHelper *h) {
                             auto *m = ObjArgAs<TMetafile>(h, 0, ci.Metafile);
                             c->setParent(m);  // lives no longer than the picture it draws on
                             c->SetTarget(m->Surface());
                             return Nothing();
                         });
    Binder<TBitmap>(s->AddClass(ci.Bitmap, QStringLiteral("TGraphic")))
            .Property(QStringLiteral("Canvas"), QStringLiteral("TCanvas"), [](TBitmap *b) { return Obj(b->Canvas()); });
}
