#pragma once
// The one drawing surface of the report library: views, the text layout,
// the prepared pages, the preview and printing all draw through it.
//
// It wraps a QPainter (or none: a canvas that only measures) and knows the
// device resolution and whether the device is a printer. Pens follow the
// GDI styles (dash gaps filled with an opaque background on request),
// brushes the hatch styles, fonts are chosen by negative pixel height (the
// em size), with style, colour and rotation. Text is shaped by the canvas
// itself from per-character advances, one font per character (the named
// font, or the CJK face where it has no glyph), so measuring at 600 dpi and
// drawing at any resolution agree on every machine.
//
// TlyrRecordingCanvas keeps every text-out, line, rectangle and image call
// so tests can check what was drawn and the preview can search text.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QPaintDevice;

// No colour: no fill, no frame, no highlight colour.
constexpr int clNone = 0x1FFFFFFF;
constexpr int clBlack = 0x000000;
constexpr int clWhite = 0xFFFFFF;
constexpr int clRed = 0x0000FF;
constexpr int clYellow = 0x00FFFF;
constexpr int clSilver = 0xC0C0C0;

// The largest device coordinate or size the drawing works with: no device
// comes near it, and the sums and differences of a few such values (a box's
// width, an edge moved by a frame and a gap) stay far inside int.
constexpr int lyrMaxCoord = 1 << 26;

// Rounds half away from zero, as the layout and drawing rules do.  Values
// past +-lyrMaxCoord (a position of 1e300, a font of a million points)
// saturate there; NaN gives 0.
inline int lyrRoundi(double v)
{
    if (!(v > -lyrMaxCoord)) return v != v ? 0 : -lyrMaxCoord;
    if (!(v < lyrMaxCoord)) return lyrMaxCoord;
    return int(std::lround(v));
}

// A sum of device widths or positions, held at +-lyrMaxCoord: a line of many
// characters of a huge font or spacing adds up past int.
inline int lyrClampCoord(qint64 sum)
{
    return int(std::clamp<qint64>(sum, -lyrMaxCoord, lyrMaxCoord));
}

// A stored colour (0x00BBGGRR) as a Qt colour; clNone is transparent.
QColor lyrColor(int color);
// The other way round.
int lyrColorFromQt(const QColor &color);
// The standard colour identifiers ("clRed", case-insensitive); false when
// the name is none of them.
bool lyrColorByName(const QString &name, int &color);

enum TlyrPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum TlyrBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// Font style bits as templates store them.
enum TlyrFontStyleBit { lfsBold = 1, lfsItalic = 2, lfsUnderline = 4, lfsStrikeOut = 8 };

struct TlyrCanvasFont {
    QString Name = QStringLiteral("Arial");
    // Negative: the em size in device pixels.
    int Height = -13;
    int Style = 0;
    int Color = clBlack;
    // Tenths of a degree, counter-clockwise.
    int Orientation = 0;
    bool operator==(const TlyrCanvasFont &) const = default;
};

struct TlyrFontFace;

class TlyrCanvas {
public:
    // A canvas drawing with painter onto a device of that resolution; a
    // null painter gives a canvas that measures only.
    TlyrCanvas(QPainter *painter, int dpiX, int dpiY, bool isPrinter);
    // Resolution read from the painter's device.
    explicit TlyrCanvas(QPainter *painter, bool isPrinter = false);
    virtual ~TlyrCanvas();
    TlyrCanvas(const TlyrCanvas &) = delete;
    TlyrCanvas &operator=(const TlyrCanvas &) = delete;

    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    bool IsPrinter() const { return isPrinter_; }
    QPainter *Painter() const { return painter_; }

    // ---- state
    void SetPen(int color, int width = 1, TlyrPenStyle style = psSolid);
    int PenColor() const { return penColor_; }
    int PenWidth() const { return penWidth_; }
    TlyrPenStyle PenStyle() const { return penStyle_; }
    // clNone or bsClear: no fill.
    void SetBrush(int color, TlyrBrushStyle style = bsSolid);
    int BrushColor() const { return brushColor_; }
    TlyrBrushStyle BrushStyle() const { return brushStyle_; }
    // The colour of dash gaps and hatch gaps; clNone leaves them clear.
    void SetBackground(int color);
    void SetFont(const TlyrCanvasFont &font);
    const TlyrCanvasFont &Font() const { return font_; }

    // ---- measuring in the current font
    // The advance of each UTF-16 unit of text (the second unit of a
    // surrogate pair gets 0); out is resized to text's length. Returns the
    // sum.
    int CharAdvances(QStringView text, std::vector<int> &out);
    // The unrounded advances TextOut places characters by, per unit (the
    // second unit of a pair gets 0), for finding where a run's part starts.
    void NaturalAdvances(QStringView text, std::vector<qreal> &out);
    int TextWidth(QStringView text);
    // Ascent + descent and the ascent, in device pixels.
    int TextHeight();
    int Ascent();

    // ---- output (positions in device pixels)
    // Text whose cell has its top-left corner at (x, y) before rotation;
    // advances (one per unit, may be null) place the characters. Without
    // them the first character sits at from: a part of a run drawn from the
    // unrounded sum of the advances before it lands as the whole run's.
    virtual void TextOut(int x, int y, QStringView text, const int *advances = nullptr, qreal from = 0);
    virtual void Line(int x1, int y1, int x2, int y2);
    // Outlined with the pen and filled with the brush; the right and bottom
    // edges are outside, as GDI draws it.
    virtual void Rectangle(const QRect &r);
    virtual void RoundRect(const QRect &r, int cornerW, int cornerH);
    virtual void Ellipse(const QRect &r);
    virtual void Polygon(const QPolygon &points);
    // Fills with a solid colour, or the brush when color is clNone.
    virtual void FillRect(const QRect &r, int color);
    virtual void DrawImage(const QRect &target, const QImage &image);

    // ---- clipping
    // With whereNeeded the device is clipped only once something drawn
    // inside passes the rectangle: a clip on every memo bloats a PDF and
    // slows printing, and where nothing passes it changes nothing drawn.
    void PushClip(const QRect &r, bool whereNeeded = false);
    void PopClip();
    bool HasClip() const { return !clips_.empty(); }
    QRect ClipRect() const;
    bool RectVisible(const QRect &r) const;
    // Whether the device is clipped now (tests).
    bool DeviceClipped() const { return deviceClip_.has_value(); }

protected:
    TlyrFontFace &face();
    QPen makePen() const;
    QBrush makeBrush() const;
    void applyClip();
    // The clip pushed last, when it waits, applied to the device unless ink
    // (device pixels; null: unknown) lies inside it with room to spare.
    void clipFor(const QRectF *ink, int room = 0);

private:
    QPainter *painter_;
    int dpiX_, dpiY_;
    bool isPrinter_;
    int penColor_ = clBlack, penWidth_ = 1;
    TlyrPenStyle penStyle_ = psSolid;
    int brushColor_ = clWhite;
    TlyrBrushStyle brushStyle_ = bsSolid;
    int background_ = clNone;
    TlyrCanvasFont font_;
    std::shared_ptr<TlyrFontFace> face_;
    struct Clip {
        QRect Rect;  // within every clip below it
        bool Applied;
    };
    std::vector<Clip> clips_;
    std::optional<QRect> deviceClip_;
};

struct TlyrRecordedText {
    QString Text;
    int X = 0, Y = 0;
    TlyrCanvasFont Font;
    std::vector<int> Advances;
};

struct TlyrRecordedShape {
    enum Kind { Line, Rectangle, RoundRect, Ellipse, Polygon, Fill, Image };
    Kind What = Line;
    QRect Rect;
    QPolygon Points;
    int PenColor = 0, PenWidth = 0;
    TlyrPenStyle PenStyle = psSolid;
    int BrushColor = 0;
    TlyrBrushStyle BrushStyle = bsSolid;
};

class TlyrRecordingCanvas : public TlyrCanvas {
public:
    // Records only, or records and draws with painter.
    explicit TlyrRecordingCanvas(int dpi = 96, bool isPrinter = false, QPainter *painter = nullptr);

    std::vector<TlyrRecordedText> Texts;
    std::vector<TlyrRecordedShape> Shapes;
    void Clear();
    // All texts joined in call order (for tests and the preview's find).
    QString AllText() const;

    void TextOut(int x, int y, QStringView text, const int *advances = nullptr, qreal from = 0) override;
    void Line(int x1, int y1, int x2, int y2) override;
    void Rectangle(const QRect &r) override;
    void RoundRect(const QRect &r, int cornerW, int cornerH) override;
    void Ellipse(const QRect &r) override;
    void Polygon(const QPolygon &points) override;
    void FillRect(const QRect &r, int color) override;
    void DrawImage(const QRect &target, const QImage &image) override;

private:
    void record(TlyrRecordedShape::Kind kind, const QRect &r, const QPolygon &points = {}, int fillColor = -1);
};
