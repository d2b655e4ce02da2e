#include "report/lyrcanvas.h"

#include <QGlyphRun>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

QColor lyrColor(int color)
{
    if (color == clNone) return QColor(Qt::transparent);
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int lyrColorFromQt(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

bool lyrColorByName(const QString &name, int &color)
{
    static const std::pair<const char *, int> table[] = {
            {"clBlack", 0x000000},      {"clMaroon", 0x000080},  {"clGreen", 0x008000},  {"clOlive", 0x008080},
            {"clNavy", 0x800000},       {"clPurple", 0x800080},  {"clTeal", 0x808000},   {"clGray", 0x808080},
            {"clSilver", 0xC0C0C0},     {"clRed", 0x0000FF},     {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
            {"clBlue", 0xFF0000},       {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},   {"clWhite", 0xFFFFFF},
            {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF},  {"clMedGray", 0xA4A0A0},
            {"clNone", clNone},         {"clLtGray", 0xC0C0C0},  {"clDkGray", 0x808080},
    };
    for (const auto &[n, c] : table) {
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) {
            color = c;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- faces

namespace {
struct Glyph {
    quint32 index = 0;
    // 0: the named font, 1: the CJK face.
    quint8 face = 0;
    float advance = 0;
    // The ink's box from the origin on the baseline; empty for a blank.
    float inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;
};
}  // namespace

// One font at one pixel size and style, with its CJK fallback and the
// glyphs met so far.
struct TlyrFontFace {
    QRawFont raw[2];
    QHash<char32_t, Glyph> glyphs;
    qreal ascent = 0, descent = 0;

    const Glyph &glyph(char32_t cp)
    {
        auto it = glyphs.constFind(cp);
        if (it != glyphs.constEnd()) return *it;
        Glyph g;
        QChar units[2];
        int n = 1;
        if (cp > 0xFFFF) {
            units[0] = QChar::highSurrogate(cp);
            units[1] = QChar::lowSurrogate(cp);
            n = 2;
        } else {
            units[0] = QChar(char16_t(cp));
        }
        for (quint8 f = 0; f < 2; ++f) {
            if (!raw[f].isValid()) continue;
            quint32 idx[2] = {0, 0};
            int count = 2;
            if (raw[f].glyphIndexesForChars(units, n, idx, &count) && count >= 1 && idx[0] != 0) {
                g.index = idx[0];
                g.face = f;
                break;
            }
        }
        QPointF adv;
        if (raw[g.face].isValid()) {
            raw[g.face].advancesForGlyphIndexes(&g.index, &adv, 1, QRawFont::UseDesignMetrics);
            const QRectF ink = raw[g.face].boundingRect(g.index);
            if (!ink.isEmpty()) {
                g.inkLeft = float(ink.left());
                g.inkTop = float(ink.top());
                g.inkRight = float(ink.right());
                g.inkBottom = float(ink.bottom());
            }
        }
        g.advance = float(adv.x());
        return *glyphs.insert(cp, g);
    }
};

namespace {
// The widest pen the painter draws (wider ones it refuses).
constexpr int kMaxPenWidth = (1 << 15) - 1;

QRawFont rawFont(const QString &family, int px, int style)
{
    QFont f(family);
    f.setPixelSize(std::max(px, 1));
    f.setBold(style & lfsBold);
    f.setItalic(style & lfsItalic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return QRawFont::fromFont(f);
}

// Canvases share the faces; a face leaves the cache when it grows large
// but lives on while a canvas still uses it.
std::shared_ptr<TlyrFontFace> findFace(const QString &name, int px, int style)
{
    using Key = std::tuple<QString, int, int>;
    static std::map<Key, std::shared_ptr<TlyrFontFace>> cache;
    Key key{name, px, style & (lfsBold | lfsItalic)};
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    if (cache.size() > 512) cache.clear();
    auto face = std::make_shared<TlyrFontFace>();
    face->raw[0] = rawFont(name, px, style);
    face->raw[1] = rawFont(QStringLiteral("WenQuanYi Micro Hei"), px, style);
    const QRawFont &m = face->raw[0].isValid() ? face->raw[0] : face->raw[1];
    face->ascent = m.ascent();
    face->descent = m.descent();
    cache.emplace(key, face);
    return face;
}

char32_t codePointAt(QStringView text, qsizetype i, int &units)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    units = 1;
    return c.unicode();
}
}  // namespace

// ---------------------------------------------------------------- canvas

TlyrCanvas::TlyrCanvas(QPainter *painter, int dpiX, int dpiY, bool isPrinter)
    : painter_(painter), dpiX_(dpiX > 0 ? dpiX : 96), dpiY_(dpiY > 0 ? dpiY : 96), isPrinter_(isPrinter)
{
    if (painter_) {
        // GDI draws lines and shapes without smoothing; goldens rely on it.
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
    }
}

TlyrCanvas::TlyrCanvas(QPainter *painter, bool isPrinter)
    : TlyrCanvas(painter, painter && painter->device() ? painter->device()->logicalDpiX() : 96,
                 painter && painter->device() ? painter->device()->logicalDpiY() : 96, isPrinter)
{}

TlyrCanvas::~TlyrCanvas() = default;

void TlyrCanvas::SetPen(int color, int width, TlyrPenStyle style)
{
    penColor_ = color;
    penWidth_ = std::max(width, 0);
    penStyle_ = style;
}

void TlyrCanvas::SetBrush(int color, TlyrBrushStyle style)
{
    brushColor_ = color;
    brushStyle_ = style;
}

void TlyrCanvas::SetBackground(int color)
{
    background_ = color;
}

void TlyrCanvas::SetFont(const TlyrCanvasFont &font)
{
    if (face_ && font.Name == font_.Name && font.Height == font_.Height && font.Style == font_.Style) {
        font_ = font;
        return;
    }
    font_ = font;
    face_.reset();
}

TlyrFontFace &TlyrCanvas::face()
{
    if (!face_) face_ = findFace(font_.Name, std::abs(font_.Height), font_.Style);
    return *face_;
}

int TlyrCanvas::CharAdvances(QStringView text, std::vector<int> &out)
{
    out.resize(size_t(text.size()));
    TlyrFontFace &f = face();
    qint64 total = 0;
    for (qsizetype i = 0; i < text.size();) {
        int units;
        const char32_t cp = codePointAt(text, i, units);
        const int a = lyrRoundi(f.glyph(cp).advance);
        out[size_t(i)] = a;
        if (units == 2) out[size_t(i) + 1] = 0;
        total += a;
        i += units;
    }
    return lyrClampCoord(total);
}

void TlyrCanvas::NaturalAdvances(QStringView text, std::vector<qreal> &out)
{
    out.assign(size_t(text.size()), 0);
    TlyrFontFace &f = face();
    for (qsizetype i = 0; i < text.size();) {
        int units;
        out[size_t(i)] = qreal(f.glyph(codePointAt(text, i, units)).advance);
        i += units;
    }
}

int TlyrCanvas::TextWidth(QStringView text)
{
    thread_local std::vector<int> w;
    return CharAdvances(text, w);
}

int TlyrCanvas::TextHeight()
{
    TlyrFontFace &f = face();
    return int(std::lround(f.ascent + f.descent));
}

int TlyrCanvas::Ascent()
{
    return int(std::lround(face().ascent));
}

QPen TlyrCanvas::makePen() const
{
    if (penStyle_ == psClear || penColor_ == clNone) return QPen(Qt::NoPen);
    QPen pen(lyrColor(penColor_));
    pen.setJoinStyle(Qt::MiterJoin);
    if (penStyle_ == psSolid) {
        // The painter takes no pen as wide as a page of 300 m.
        pen.setWidth(std::clamp(penWidth_, 1, kMaxPenWidth));
        pen.setCapStyle(penWidth_ > 1 ? Qt::RoundCap : Qt::FlatCap);
        return pen;
    }
    // Styled pens are one pixel wide, with the GDI patterns.
    pen.setWidth(1);
    pen.setCapStyle(Qt::FlatCap);
    switch (penStyle_) {
    case psDash:
        pen.setDashPattern({18, 6});
        break;
    case psDot:
        pen.setDashPattern({3, 3});
        break;
    case psDashDot:
        pen.setDashPattern({9, 6, 3, 6});
        break;
    default:
        pen.setDashPattern({9, 3, 3, 3, 3, 3});
        break;
    }
    return pen;
}

QBrush TlyrCanvas::makeBrush() const
{
    if (brushStyle_ == bsClear || brushColor_ == clNone) return QBrush(Qt::NoBrush);
    static const Qt::BrushStyle hatch[] = {Qt::SolidPattern, Qt::NoBrush,      Qt::HorPattern,   Qt::VerPattern,
                                           Qt::FDiagPattern, Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(lyrColor(brushColor_), hatch[brushStyle_]);
}

namespace {
// Pen, brush and background for one call.
struct Prepared {
    QPainter *p;
    Prepared(QPainter *painter, const QPen &pen, const QBrush &brush, int background) : p(painter)
    {
        p->setPen(pen);
        p->setBrush(brush);
        if (background == clNone) {
            p->setBackgroundMode(Qt::TransparentMode);
        } else {
            p->setBackgroundMode(Qt::OpaqueMode);
            p->setBackground(lyrColor(background));
        }
    }
};
}  // namespace

void TlyrCanvas::TextOut(int x, int y, QStringView text, const int *advances, qreal from)
{
    if (!painter_ || text.isEmpty()) return;
    TlyrFontFace &f = face();
    thread_local std::vector<quint32> indexes;
    thread_local std::vector<QPointF> positions;
    // Where each run of one face starts in indexes, and its face.
    thread_local std::vector<std::pair<size_t, quint8>> runs;
    indexes.clear();
    positions.clear();
    runs.clear();
    const qreal baseline = f.ascent;
    float left = std::numeric_limits<float>::max(), top = left, right = -left, bottom = -left;
    qreal pos = advances ? 0 : from;
    for (qsizetype i = 0; i < text.size();) {
        int units;
        const Glyph &g = f.glyph(codePointAt(text, i, units));
        if (runs.empty() || runs.back().second != g.face) runs.emplace_back(indexes.size(), g.face);
        indexes.push_back(g.index);
        positions.emplace_back(pos, baseline);
        if (g.inkRight > g.inkLeft) {
            left = std::min(left, float(pos) + g.inkLeft);
            right = std::max(right, float(pos) + g.inkRight);
            top = std::min(top, g.inkTop);
            bottom = std::max(bottom, g.inkBottom);
        }
        pos += advances ? qreal(advances[i] + (units == 2 ? advances[i + 1] : 0)) : qreal(g.advance);
        i += units;
    }
    const bool rotated = font_.Orientation % 3600 != 0;
    if (rotated) {
        clipFor(nullptr);
    } else {
        QRectF ink;
        if (right > left) ink = QRectF(QPointF(left, top + baseline), QPointF(right, bottom + baseline));
        // Underline and strike-out run along the advances, above the descent.
        if (font_.Style & (lfsUnderline | lfsStrikeOut))
            ink |= QRectF(0, 0, std::max<qreal>(pos, 1), f.ascent + f.descent + std::max<qreal>(1, f.ascent / 8));
        ink.translate(x, y);
        // A pixel of room on every side: glyph boxes are the outlines', and
        // smoothing may touch the pixel beyond.
        clipFor(&ink, 1);
    }
    QPointF origin(x, y);
    if (rotated) {
        painter_->save();
        painter_->translate(x, y);
        painter_->rotate(-font_.Orientation / 10.0);
        origin = QPointF(0, 0);
    }
    painter_->setPen(lyrColor(font_.Color));
    for (size_t r = 0; r < runs.size(); ++r) {
        const size_t from = runs[r].first, to = r + 1 < runs.size() ? runs[r + 1].first : indexes.size();
        QGlyphRun run;
        run.setRawFont(f.raw[runs[r].second]);
        run.setRawData(indexes.data() + from, positions.data() + from, int(to - from));
        run.setUnderline(font_.Style & lfsUnderline);
        run.setStrikeOut(font_.Style & lfsStrikeOut);
        painter_->drawGlyphRun(origin, run);
    }
    if (rotated) painter_->restore();
}

void TlyrCanvas::Line(int x1, int y1, int x2, int y2)
{
    if (!painter_) return;
    clipFor(nullptr);
    Prepared s(painter_, makePen(), Qt::NoBrush, background_);
    painter_->drawLine(x1, y1, x2, y2);
}

void TlyrCanvas::Rectangle(const QRect &r)
{
    if (!painter_ || r.isEmpty()) return;
    clipFor(nullptr);
    Prepared s(painter_, Qt::NoPen, makeBrush(), background_);
    painter_->drawRect(r);
    if (penStyle_ != psClear && penColor_ != clNone) {
        painter_->setPen(makePen());
        painter_->setBrush(Qt::NoBrush);
        painter_->drawRect(r.adjusted(0, 0, -1, -1));
    }
}

void TlyrCanvas::RoundRect(const QRect &r, int cornerW, int cornerH)
{
    if (!painter_ || r.isEmpty()) return;
    clipFor(nullptr);
    Prepared s(painter_, makePen(), makeBrush(), background_);
    painter_->drawRoundedRect(QRectF(r.adjusted(0, 0, -1, -1)), cornerW / 2.0, cornerH / 2.0);
}

void TlyrCanvas::Ellipse(const QRect &r)
{
    if (!painter_ || r.isEmpty()) return;
    clipFor(nullptr);
    Prepared s(painter_, makePen(), makeBrush(), background_);
    painter_->drawEllipse(r.adjusted(0, 0, -1, -1));
}

void TlyrCanvas::Polygon(const QPolygon &points)
{
    if (!painter_ || points.size() < 2) return;
    clipFor(nullptr);
    Prepared s(painter_, makePen(), makeBrush(), background_);
    painter_->drawPolygon(points);
}

void TlyrCanvas::FillRect(const QRect &r, int color)
{
    if (!painter_ || r.isEmpty()) return;
    clipFor(nullptr);
    if (color == clNone) {
        Prepared s(painter_, Qt::NoPen, makeBrush(), background_);
        painter_->drawRect(r);
    } else {
        painter_->fillRect(r, lyrColor(color));
    }
}

void TlyrCanvas::DrawImage(const QRect &target, const QImage &image)
{
    if (!painter_ || image.isNull() || target.isEmpty()) return;
    // An image covers exactly its target.
    const QRectF ink(target);
    clipFor(&ink, 0);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->drawImage(target, image);
}

void TlyrCanvas::PushClip(const QRect &r, bool whereNeeded)
{
    clips_.push_back({clips_.empty() ? r : clips_.back().Rect.intersected(r), !whereNeeded});
    applyClip();
}

void TlyrCanvas::PopClip()
{
    if (!clips_.empty()) clips_.pop_back();
    applyClip();
}

QRect TlyrCanvas::ClipRect() const
{
    if (!clips_.empty()) return clips_.back().Rect;
    if (painter_ && painter_->device()) return QRect(0, 0, painter_->device()->width(), painter_->device()->height());
    return QRect(-0x3FFFFFFF, -0x3FFFFFFF, 0x7FFFFFFE, 0x7FFFFFFE);
}

bool TlyrCanvas::RectVisible(const QRect &r) const
{
    return ClipRect().intersects(r.normalized());
}

void TlyrCanvas::clipFor(const QRectF *ink, int room)
{
    if (clips_.empty() || clips_.back().Applied) return;
    if (ink) {
        const QRect &c = clips_.back().Rect;
        if (ink->isEmpty()) return;  // nothing is drawn
        if (ink->left() >= c.left() + room && ink->top() >= c.top() + room &&
            ink->right() <= c.left() + c.width() - room && ink->bottom() <= c.top() + c.height() - room)
            return;
    }
    clips_.back().Applied = true;
    applyClip();
}

void TlyrCanvas::applyClip()
{
    if (!painter_) return;
    // The innermost clip that is applied holds every clip below it.
    std::optional<QRect> wanted;
    for (auto it = clips_.rbegin(); it != clips_.rend(); ++it)
        if (it->Applied) {
            wanted = it->Rect;
            break;
        }
    if (wanted == deviceClip_) return;
    deviceClip_ = wanted;
    if (!wanted)
        painter_->setClipping(false);
    else
        painter_->setClipRect(*wanted);
}

// ---------------------------------------------------------------- recording

TlyrRecordingCanvas::TlyrRecordingCanvas(int dpi, bool isPrinter, QPainter *painter)
    : TlyrCanvas(painter, dpi, dpi, isPrinter)
{}

void TlyrRecordingCanvas::Clear()
{
    Texts.clear();
    Shapes.clear();
}

QString TlyrRecordingCanvas::AllText() const
{
    QString s;
    for (const auto &t : Texts) s += t.Text;
    return s;
}

void TlyrRecordingCanvas::TextOut(int x, int y, QStringView text, const int *advances, qreal from)
{
    TlyrRecordedText t;
    t.Text = text.toString();
    t.X = x;
    t.Y = y;
    t.Font = Font();
    if (advances) t.Advances.assign(advances, advances + text.size());
    Texts.push_back(std::move(t));
    TlyrCanvas::TextOut(x, y, text, advances, from);
}

void TlyrRecordingCanvas::record(TlyrRecordedShape::Kind kind, const QRect &r, const QPolygon &points, int fillColor)
{
    TlyrRecordedShape s;
    s.What = kind;
    s.Rect = r;
    s.Points = points;
    s.PenColor = PenColor();
    s.PenWidth = PenWidth();
    s.PenStyle = PenStyle();
    s.BrushColor = fillColor >= 0 ? fillColor : BrushColor();
    s.BrushStyle = fillColor >= 0 && fillColor != clNone ? bsSolid : BrushStyle();
    Shapes.push_back(std::move(s));
}

void TlyrRecordingCanvas::Line(int x1, int y1, int x2, int y2)
{
    record(TlyrRecordedShape::Line, QRect(QPoint(x1, y1), QPoint(x2, y2)));
    TlyrCanvas::Line(x1, y1, x2, y2);
}

void TlyrRecordingCanvas::Rectangle(const QRect &r)
{
    record(TlyrRecordedShape::Rectangle, r);
    TlyrCanvas::Rectangle(r);
}

void TlyrRecordingCanvas::RoundRect(const QRect &r, int cornerW, int cornerH)
{
    record(TlyrRecordedShape::RoundRect, r);
    TlyrCanvas::RoundRect(r, cornerW, cornerH);
}

void TlyrRecordingCanvas::Ellipse(const QRect &r)
{
    record(TlyrRecordedShape::Ellipse, r);
    TlyrCanvas::Ellipse(r);
}

void TlyrRecordingCanvas::Polygon(const QPolygon &points)
{
    record(TlyrRecordedShape::Polygon, points.boundingRect(), points);
    TlyrCanvas::Polygon(points);
}

void TlyrRecordingCanvas::FillRect(const QRect &r, int color)
{
    record(TlyrRecordedShape::Fill, r, {}, color);
    TlyrCanvas::FillRect(r, color);
}

void TlyrRecordingCanvas::DrawImage(const QRect &target, const QImage &image)
{
    record(TlyrRecordedShape::Image, target);
    TlyrCanvas::DrawImage(target, image);
}
