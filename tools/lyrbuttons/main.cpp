// Draws the preview and report-object button glyphs (16 x 16 cells on a
// magenta key colour), stores each strip as a BMP in the library's gzip frame
// and writes the frames as a C++ source file.

#include "report/lyrgzip.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QColor kKey(255, 0, 255);
const QColor kInk(64, 64, 64);
const QColor kPaper(255, 255, 255);
const QColor kBlue(32, 96, 192);
const QColor kYellow(224, 176, 64);
const QColor kGreen(32, 128, 64);
const QColor kRed(192, 48, 48);
const QColor kGrey(160, 160, 160);

using Glyph = std::function<void(QPainter &)>;

void pen(QPainter &p, const QColor &c, int width = 1)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

void box(QPainter &p, int x, int y, int w, int h, const QColor &fill, const QColor &line = kInk)
{
    p.fillRect(x, y, w, h, fill);
    pen(p, line);
    p.setBrush(Qt::NoBrush);
    p.drawRect(x, y, w - 1, h - 1);
}

void page(QPainter &p, int x = 3, int y = 1, int w = 10, int h = 14)
{
    box(p, x, y, w, h, kPaper);
}

void lines(QPainter &p, int x0, int x1, int y0, int y1, int step, const QColor &c = kGrey)
{
    pen(p, c);
    for (int y = y0; y <= y1; y += step) p.drawLine(x0, y, x1, y);
}

void triangle(QPainter &p, QPointF a, QPointF b, QPointF c, const QColor &fill)
{
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.fillPath(path, fill);
}

void magnifier(QPainter &p, const std::function<void(QPainter &)> &inside = {})
{
    p.setBrush(kPaper);
    pen(p, kInk);
    p.drawEllipse(1, 1, 9, 9);
    if (inside) inside(p);
    pen(p, kInk, 2);
    p.drawLine(10, 10, 14, 14);
}

void plus(QPainter &p, int cx, int cy, int r, const QColor &c)
{
    pen(p, c);
    p.drawLine(cx - r, cy, cx + r, cy);
    p.drawLine(cx, cy - r, cx, cy + r);
}

void minus(QPainter &p, int cx, int cy, int r, const QColor &c)
{
    pen(p, c);
    p.drawLine(cx - r, cy, cx + r, cy);
}

void arrowRight(QPainter &p, int x, const QColor &c)
{
    triangle(p, {double(x), 3}, {double(x + 5), 8}, {double(x), 13}, c);
}

void arrowLeft(QPainter &p, int x, const QColor &c)
{
    triangle(p, {double(x + 5), 3}, {double(x), 8}, {double(x + 5), 13}, c);
}

void cylinder(QPainter &p, int x, int y, int w, int h, const QColor &c)
{
    p.setBrush(c);
    pen(p, kInk);
    p.drawRect(x, y + 2, w, h - 4);
    p.drawEllipse(x, y + h - 5, w, 4);
    p.drawEllipse(x, y, w, 4);
}

void letterA(QPainter &p, int x, int y, int h, const QColor &c)
{
    pen(p, c);
    p.drawLine(x, y + h, x + h / 2, y);
    p.drawLine(x + h / 2, y, x + h, y + h);
    p.drawLine(x + h / 4, y + h / 2 + 1, x + h - h / 4, y + h / 2 + 1);
}

std::vector<Glyph> previewGlyphs()
{
    return {
            // 0 open: a folder
            [](QPainter &p) {
                box(p, 1, 3, 6, 3, kYellow);
                box(p, 1, 5, 14, 9, kYellow);
            },
            // 1 save: a disk
            [](QPainter &p) {
                box(p, 1, 1, 14, 14, kBlue);
                box(p, 4, 2, 8, 5, kPaper);
                box(p, 5, 10, 6, 5, kGrey);
            },
            // 2 print: a printer with paper
            [](QPainter &p) {
                box(p, 4, 1, 8, 5, kPaper);
                box(p, 1, 6, 14, 6, kGrey);
                box(p, 4, 10, 8, 5, kPaper);
                pen(p, kGreen);
                p.drawPoint(12, 8);
            },
            // 3 export: a page with an arrow out
            [](QPainter &p) {
                page(p, 1, 1, 9, 14);
                lines(p, 3, 7, 4, 12, 2);
                pen(p, kGreen, 2);
                p.drawLine(7, 9, 12, 9);
                triangle(p, {11, 5}, {15, 9}, {11, 13}, kGreen);
            },
            // 4 find: a magnifier
            [](QPainter &p) { magnifier(p); },
            // 5 thumbnails: four small pages
            [](QPainter &p) {
                box(p, 1, 1, 6, 6, kPaper);
                box(p, 9, 1, 6, 6, kPaper);
                box(p, 1, 9, 6, 6, kPaper);
                box(p, 9, 9, 6, 6, kPaper);
            },
            // 6 zoom: a magnifier over lines
            [](QPainter &p) { magnifier(p, [](QPainter &q) { lines(q, 3, 8, 4, 7, 3, kBlue); }); },
            // 7 page settings: a page with its margins
            [](QPainter &p) {
                page(p, 2, 1, 12, 14);
                pen(p, kBlue);
                p.setBrush(Qt::NoBrush);
                p.drawRect(4, 3, 7, 9);
            },
            // 8 first page
            [](QPainter &p) {
                p.fillRect(3, 3, 2, 11, kBlue);
                arrowLeft(p, 6, kBlue);
            },
            // 9 prior page
            [](QPainter &p) { arrowLeft(p, 5, kBlue); },
            // 10 next page
            [](QPainter &p) { arrowRight(p, 6, kBlue); },
            // 11 last page
            [](QPainter &p) {
                arrowRight(p, 5, kBlue);
                p.fillRect(11, 3, 2, 11, kBlue);
            },
            // 12 outline: a tree
            [](QPainter &p) {
                pen(p, kInk);
                p.drawLine(3, 3, 3, 13);
                p.drawLine(3, 7, 7, 7);
                p.drawLine(3, 13, 7, 13);
                box(p, 1, 1, 5, 4, kYellow);
                box(p, 7, 5, 7, 4, kPaper);
                box(p, 7, 11, 7, 4, kPaper);
            },
            // 13 collapse
            [](QPainter &p) {
                box(p, 3, 3, 11, 11, kPaper);
                minus(p, 8, 8, 3, kInk);
            },
            // 14 expand
            [](QPainter &p) {
                box(p, 3, 3, 11, 11, kPaper);
                plus(p, 8, 8, 3, kInk);
            },
            // 15 zoom in
            [](QPainter &p) { magnifier(p, [](QPainter &q) { plus(q, 5, 5, 2, kBlue); }); },
            // 16 zoom out
            [](QPainter &p) { magnifier(p, [](QPainter &q) { minus(q, 5, 5, 2, kBlue); }); },
            // 17 whole page
            [](QPainter &p) {
                box(p, 1, 1, 14, 14, kGrey);
                page(p, 5, 3, 6, 10);
            },
            // 18 page width
            [](QPainter &p) {
                page(p, 1, 1, 14, 14);
                pen(p, kBlue);
                p.drawLine(3, 8, 12, 8);
                triangle(p, {2, 8}, {5, 5}, {5, 11}, kBlue);
                triangle(p, {13, 8}, {10, 5}, {10, 11}, kBlue);
            },
            // 19 100%
            [](QPainter &p) {
                page(p, 1, 1, 14, 14);
                p.fillRect(4, 4, 2, 8, kInk);
                p.fillRect(7, 6, 2, 2, kInk);
                p.fillRect(7, 10, 2, 2, kInk);
                p.fillRect(10, 4, 2, 8, kInk);
            },
            // 20 two pages
            [](QPainter &p) {
                page(p, 1, 2, 7, 12);
                page(p, 8, 2, 7, 12);
            },
            // 21 edit: a pencil over a page
            [](QPainter &p) {
                page(p, 1, 1, 10, 14);
                pen(p, kYellow, 3);
                p.drawLine(6, 12, 13, 5);
                pen(p, kInk);
                p.drawPoint(4, 14);
            },
            // 22 full screen: four corners
            [](QPainter &p) {
                pen(p, kBlue, 2);
                p.drawLine(2, 2, 6, 2);
                p.drawLine(2, 2, 2, 6);
                p.drawLine(13, 2, 9, 2);
                p.drawLine(13, 2, 13, 6);
                p.drawLine(2, 13, 6, 13);
                p.drawLine(2, 13, 2, 9);
                p.drawLine(13, 13, 9, 13);
                p.drawLine(13, 13, 13, 9);
            },
            // 23 e-mail: an envelope
            [](QPainter &p) {
                box(p, 1, 3, 14, 10, kPaper);
                pen(p, kInk);
                p.drawLine(1, 3, 8, 9);
                p.drawLine(14, 3, 8, 9);
            },
            // 24 PDF: a page with a red band
            [](QPainter &p) {
                page(p, 3, 1, 10, 14);
                p.fillRect(1, 8, 14, 5, kRed);
            },
    };
}

std::vector<Glyph> objectGlyphs()
{
    return {
            // 0 report page
            [](QPainter &p) {
                page(p);
                lines(p, 5, 10, 4, 12, 4, kBlue);
            },
            // 1 band
            [](QPainter &p) {
                box(p, 1, 2, 14, 5, kYellow);
                box(p, 1, 9, 14, 5, kPaper);
            },
            // 2 text
            [](QPainter &p) {
                box(p, 1, 1, 14, 14, kPaper);
                letterA(p, 3, 3, 10, kInk);
            },
            // 3 picture: a landscape
            [](QPainter &p) {
                box(p, 1, 2, 14, 12, QColor(192, 224, 255));
                triangle(p, {2, 12}, {7, 5}, {12, 12}, kGreen);
                p.setBrush(kYellow);
                pen(p, kYellow);
                p.drawEllipse(10, 3, 3, 3);
            },
            // 4 shape
            [](QPainter &p) {
                box(p, 1, 1, 9, 9, kBlue);
                p.setBrush(kYellow);
                pen(p, kInk);
                p.drawEllipse(6, 6, 9, 9);
            },
            // 5 line
            [](QPainter &p) {
                pen(p, kInk, 2);
                p.drawLine(2, 13, 13, 2);
            },
            // 6 subreport
            [](QPainter &p) {
                page(p, 1, 1, 12, 14);
                box(p, 5, 5, 10, 10, kYellow);
            },
            // 7 system text: a page number
            [](QPainter &p) {
                box(p, 1, 1, 14, 14, kPaper);
                pen(p, kBlue);
                p.drawLine(6, 3, 5, 12);
                p.drawLine(10, 3, 9, 12);
                p.drawLine(3, 6, 12, 6);
                p.drawLine(3, 9, 12, 9);
            },
            // 8 dataset
            [](QPainter &p) { cylinder(p, 3, 1, 10, 14, kYellow); },
            // 9 data page
            [](QPainter &p) {
                page(p, 1, 1, 11, 14);
                cylinder(p, 7, 6, 8, 9, kYellow);
            },
            // 10 dialog page: a window
            [](QPainter &p) {
                box(p, 1, 2, 14, 12, QColor(224, 224, 224));
                p.fillRect(2, 3, 12, 3, kBlue);
            },
            // 11 button
            [](QPainter &p) {
                box(p, 1, 4, 14, 8, QColor(224, 224, 224));
                pen(p, kPaper);
                p.drawLine(2, 5, 13, 5);
                lines(p, 5, 10, 8, 8, 1, kInk);
            },
            // 12 edit
            [](QPainter &p) {
                box(p, 1, 4, 14, 8, kPaper);
                pen(p, kInk);
                p.drawLine(4, 6, 4, 9);
            },
            // 13 label
            [](QPainter &p) { letterA(p, 3, 3, 10, kBlue); },
            // 14 check box
            [](QPainter &p) {
                box(p, 2, 2, 12, 12, kPaper);
                pen(p, kGreen, 2);
                p.drawLine(4, 8, 7, 11);
                p.drawLine(7, 11, 12, 4);
            },
            // 15 combo box
            [](QPainter &p) {
                box(p, 1, 4, 14, 8, kPaper);
                p.fillRect(10, 5, 4, 6, QColor(224, 224, 224));
                triangle(p, {10, 7}, {14, 7}, {12, 9}, kInk);
            },
            // 16 list box
            [](QPainter &p) {
                box(p, 2, 1, 12, 14, kPaper);
                lines(p, 4, 11, 4, 12, 3, kInk);
            },
            // 17 memo edit
            [](QPainter &p) {
                box(p, 1, 1, 14, 14, kPaper);
                lines(p, 3, 9, 3, 12, 2, kInk);
                p.fillRect(11, 2, 3, 12, QColor(224, 224, 224));
            },
            // 18 radio button
            [](QPainter &p) {
                p.setBrush(kPaper);
                pen(p, kInk);
                p.drawEllipse(2, 2, 11, 11);
                p.setBrush(kInk);
                p.drawEllipse(6, 6, 3, 3);
            },
            // 19 group box
            [](QPainter &p) {
                pen(p, kInk);
                p.setBrush(Qt::NoBrush);
                p.drawRect(1, 4, 13, 10);
                p.fillRect(3, 3, 6, 3, kKey);
                lines(p, 4, 7, 4, 4, 1, kBlue);
            },
            // 20 date edit: a calendar leaf
            [](QPainter &p) {
                box(p, 1, 2, 14, 13, kPaper);
                p.fillRect(2, 3, 12, 3, kRed);
                for (int y = 8; y <= 12; y += 2)
                    for (int x = 3; x <= 12; x += 3) p.fillRect(x, y, 2, 1, kInk);
            },
            // 21 printer command: braces
            [](QPainter &p) {
                pen(p, kInk);
                p.drawLine(5, 2, 4, 3);
                p.drawLine(4, 3, 4, 7);
                p.drawLine(4, 7, 2, 8);
                p.drawLine(2, 8, 4, 9);
                p.drawLine(4, 9, 4, 13);
                p.drawLine(4, 13, 5, 14);
                p.drawLine(10, 2, 11, 3);
                p.drawLine(11, 3, 11, 7);
                p.drawLine(11, 7, 13, 8);
                p.drawLine(13, 8, 11, 9);
                p.drawLine(11, 9, 11, 13);
                p.drawLine(11, 13, 10, 14);
            },
            // 22 variable: an x
            [](QPainter &p) {
                pen(p, kBlue, 2);
                p.drawLine(4, 4, 11, 11);
                p.drawLine(11, 4, 4, 11);
            },
            // 23 barcode
            [](QPainter &p) {
                p.fillRect(1, 2, 14, 12, kPaper);
                const int widths[] = {1, 2, 1, 1, 2, 1, 1, 2, 1};
                int x = 2;
                for (int i = 0; i < 9; ++i) {
                    if (i % 2 == 0) p.fillRect(x, 3, widths[i], 10, kInk);
                    x += widths[i] + (i % 2 == 0 ? 0 : 1);
                }
            },
    };
}

QImage drawStrip(const std::vector<Glyph> &glyphs)
{
    QImage strip(16 * static_cast<int>(glyphs.size()), 16, QImage::Format_RGB32);
    strip.fill(kKey);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        p.save();
        p.translate(16 * static_cast<int>(i), 0);
        p.setClipRect(0, 0, 16, 16);
        glyphs[i](p);
        p.restore();
    }
    p.end();
    return strip;
}

QByteArray frameOf(const QImage &strip)
{
    QByteArray bmp;
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    strip.save(&buf, "BMP");
    return GZipCompress(bmp, "1");
}

QByteArray cArray(const char *name, const QByteArray &data)
{
    QByteArray out = "const unsigned char " + QByteArray(name) + "[] = {";
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i % 16 == 0) out += "\n   ";
        out += " 0x" + QByteArray::number(static_cast<unsigned char>(data[i]), 16).rightJustified(2, '0') + ",";
    }
    out += "\n};\n";
    return out;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lyrbuttons OUTPUT.cpp\n");
        return 2;
    }
    const QByteArray preview = frameOf(drawStrip(previewGlyphs()));
    const QByteArray objects = frameOf(drawStrip(objectGlyphs()));

    QByteArray src;
    src += "// Written by tools/lyrbuttons; do not edit.\n";
    src += "// The preview and report-object button strips in the library's gzip frame.\n\n";
    src += "#include \"report/lyrres.h\"\n\nnamespace {\n\n";
    src += cArray("kPreviewButtons", preview);
    src += "\n";
    src += cArray("kObjectButtons", objects);
    src += "\n} // namespace\n\n";
    src += "QByteArray lyrProgramResource(const QString& name)\n{\n";
    src += "    if (name.compare(QLatin1String(\"PreviewButtons\"), Qt::CaseInsensitive) == 0)\n";
    src += "        return QByteArray::fromRawData(reinterpret_cast<const char*>(kPreviewButtons), "
           "sizeof(kPreviewButtons));\n";
    src += "    if (name.compare(QLatin1String(\"ObjectButtons\"), Qt::CaseInsensitive) == 0)\n";
    src += "        return QByteArray::fromRawData(reinterpret_cast<const char*>(kObjectButtons), "
           "sizeof(kObjectButtons));\n";
    src += "    return QByteArray();\n}\n";

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(src) != src.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
