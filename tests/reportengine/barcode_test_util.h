#pragma once
// Helpers shared by the barcode tests.

#include "reportengine/lyrBarcod.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace bctest {

// Element string -> module string ('1' bar, '0' space) at the barcode's
// current widths (a wide element of width n gives n characters).
inline QString modules(const TlyrBarcode &bc, const QString &data)
{
    QString out;
    for (QChar c : data) {
        const bool bar = c >= u'5';
        out += QString(bc.ElementWidth(c), bar ? u'1' : u'0');
    }
    return out;
}

// Published narrow/wide flags ('1' wide) of consecutive elements, starting
// with a bar, written as element codes.
inline QString flags(const char *f)
{
    QString out;
    for (int i = 0; f[i]; ++i) out += QChar((i % 2 == 0 ? '5' : '0') + (f[i] == '1'));
    return out;
}

// Published module widths (1..4) of consecutive elements starting with a bar.
inline QString widths(const char *w)
{
    QString out;
    for (int i = 0; w[i]; ++i) out += QChar((i % 2 == 0 ? '5' : '0') + (w[i] - '1'));
    return out;
}

inline QString stripSpaces(const char *s)
{
    return QString::fromLatin1(s).remove(u' ');
}

// Draws bc into a white image with a quiet zone of `margin` pixels around
// a symbol of height h (the bars' direction follows Angle).
inline QImage render(TlyrBarcode &bc, int h, int margin, bool showText)
{
    const int w = bc.Width();
    const bool upright = bc.Angle == 0 || bc.Angle == 180;
    const int iw = (upright ? w : h) + 2 * margin;
    const int ih = (upright ? h : w) + 2 * margin;
    QImage img(iw, ih, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    bc.DrawBarcode(p, QRectF(margin, margin, iw - 2 * margin, ih - 2 * margin), showText);
    p.end();
    return img;
}

inline bool dark(const QImage &img, int x, int y)
{
    return qGray(img.pixel(x, y)) < 128;
}

}  // namespace bctest
