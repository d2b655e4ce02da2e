#include "platform/print/textprinter.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace print {

namespace {
ScopedTextCapture *g_capture = nullptr;
ScopedPdfOutput *g_pdf = nullptr;

const char kNoPrinter[] = "没有找到打印机，小票未能打印！请先安装并设置默认打印机。";

QFont receiptFont()
{
    QFont f(QStringLiteral("黑体"), 9);
    f.setStyleHint(QFont::SansSerif);
    f.setKerning(false);
    return f;
}

// A run of one repeated line character: a rule across its columns.
bool isRule(const QString &run)
{
    if (run.size() < 3 || !QStringLiteral("-=_*").contains(run.front())) return false;
    return run.count(run.front()) == run.size();
}

// Draws the lines on an open printer, one character per column slot; new
// pages when the page is full.
void drawLines(QPrinter &printer, const QStringList &lines)
{
    QPainter p;
    if (!p.begin(&printer))
        throw PrintError(QStringLiteral("打印机 %1 无法开始打印，小票未能打印！").arg(printer.printerName()));
    const QFont font = receiptFont();
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    // A column is half a Chinese character, and never narrower than a digit.
    const qreal column = std::max(fm.horizontalAdvance(QChar(0x9ED1)) / 2.0, fm.horizontalAdvance(QLatin1Char('0')));
    const qreal lineHeight = fm.lineSpacing();
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    qreal y = fm.ascent();
    for (const QString &line : lines) {
        if (y + fm.descent() > page.height()) {
            if (!printer.newPage()) {
                p.end();
                throw PrintError(QStringLiteral("打印机 %1 打印出错，小票未能打印完整！").arg(printer.printerName()));
            }
            y = fm.ascent();
        }
        // A run of ASCII characters is drawn as one text, by the font's own
        // advances: a proportional font (the one found when 黑体 is not
        // installed) would otherwise print "Vel mor a" with a gap after each
        // narrow letter.  A run wider than its columns is narrowed to them,
        // so "%" never runs into the "]" after it, nor a run into the next
        // field; Chinese characters keep a slot of two columns each.
        int col = 0, runStart = 0;
        QString run;
        const auto drawRun = [&] {
            if (run.isEmpty()) return;
            const qreal x = runStart * column, span = run.size() * column;
            const qreal natural = fm.horizontalAdvance(run);
            if (isRule(run)) {
                // A rule ("-----") keeps the width of its columns.
                for (qsizetype i = 0; i < run.size(); ++i) p.drawText(QPointF(x + i * column, y), run.at(i));
            } else if (natural <= span) {
                p.drawText(QPointF(x, y), run);
            } else {
                p.save();
                p.translate(x, y);
                p.scale(span / natural, 1.0);
                p.drawText(QPointF(0, 0), run);
                p.restore();
            }
            run.clear();
        };
        for (char32_t c : line.toUcs4()) {
            if (c < 0x80 && c != U' ') {
                if (run.isEmpty()) runStart = col;
                run += QChar(c);
            } else {
                drawRun();
                if (c != U' ') p.drawText(QPointF(col * column, y), QString::fromUcs4(&c, 1));
            }
            col += gbkColumns(c);
        }
        drawRun();
        y += lineHeight;
    }
    if (!p.end()) throw PrintError(QStringLiteral("打印机 %1 打印出错，小票未能打印完整！").arg(printer.printerName()));
}

// A receipt roll: 80 mm wide, as long as the lines need.
void setRollPage(QPrinter &printer, int lineCount)
{
    const qreal lineMm = 9.0 * 1.6 * 25.4 / 72.0;
    const qreal height = std::max<qreal>(40.0, (lineCount + 1) * lineMm + 8.0);
    printer.setPageSize(QPageSize(QSizeF(80.0, height), QPageSize::Millimeter, QStringLiteral("Receipt")));
    printer.setPageMargins(QMarginsF(4, 4, 4, 4), QPageLayout::Millimeter);
}
}  // namespace

int gbkColumns(char32_t c)
{
    return c < 0x80 ? 1 : 2;
}

int gbkWidth(const QString &text)
{
    int w = 0;
    for (char32_t c : text.toUcs4()) w += gbkColumns(c);
    return w;
}

void printTextLinesToPdf(const QString &path, const QString &title, const QStringList &lines)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(title);
    setRollPage(printer, int(lines.size()));
    drawLines(printer, lines);
}

void printTextLines(const QString &title, const QStringList &lines)
{
    if (g_capture) {
        if (g_capture->failing) throw PrintError(QString::fromUtf8(kNoPrinter));
        g_capture->m_jobs.push_back({title, lines});
        return;
    }
    if (g_pdf) {
        const QString file = QDir(g_pdf->m_folder).filePath(QString::number(g_pdf->m_files.size() + 1) + ".pdf");
        printTextLinesToPdf(file, title, lines);
        g_pdf->m_files << file;
        return;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw PrintError(QString::fromUtf8(kNoPrinter));
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(title);
    drawLines(printer, lines);
}

ScopedTextCapture::ScopedTextCapture() : m_previous(g_capture)
{
    g_capture = this;
}

ScopedTextCapture::~ScopedTextCapture()
{
    g_capture = m_previous;
}

ScopedPdfOutput::ScopedPdfOutput(const QString &folder) : m_folder(folder), m_previous(g_pdf)
{
    QDir().mkpath(folder);
    g_pdf = this;
}

ScopedPdfOutput::~ScopedPdfOutput()
{
    g_pdf = m_previous;
}

}  // namespace print
