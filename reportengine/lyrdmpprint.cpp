#include "reportengine/lyrdmpprint.h"

#include "platform/print/textprinter.h"
#include "report/lyrdmpclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrframe.h"
#include "report/lyrunicodeutils.h"

#include <QMap>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr char ESC = 0x1B;

// The most columns and lines a page of text holds: wider than any dot-matrix
// carriage, longer than any form. Cells past them are dropped, so an object
// placed or sized beyond them (a damaged file) makes no grid of its size.
constexpr int kMaxColumns = 512;
constexpr int kMaxRows = 4096;

struct Cell {
    // One character (a pair for a character outside the BMP); empty for a
    // blank or the second column of a wide character.
    QString Text;
    int Style = 0;
    bool Used = false;
    bool Second = false;
};

class Grid {
public:
    explicit Grid(int baseStyle) : base_(baseStyle) {}

    void put(int row, int col, const QString &ch, int style, int columns)
    {
        if (!inside(row, col + columns - 1)) return;
        std::vector<Cell> &line = rows_[row];
        if (static_cast<int>(line.size()) < col + columns) line.resize(static_cast<size_t>(col + columns));
        Cell &c = line[static_cast<size_t>(col)];
        c.Text = ch;
        c.Style = style;
        c.Used = true;
        c.Second = false;
        for (int k = 1; k < columns; ++k) {
            Cell &s = line[static_cast<size_t>(col + k)];
            s = Cell{QString(), style, true, true};
        }
    }
    // A line character, unless a text already holds the cell.
    void lineChar(int row, int col, QChar ch, int style)
    {
        if (!inside(row, col)) return;
        std::vector<Cell> &line = rows_[row];
        if (static_cast<int>(line.size()) > col) {
            Cell &c = line[static_cast<size_t>(col)];
            if (c.Used && !c.Second) {
                const QChar old = c.Text.isEmpty() ? QChar() : c.Text.at(0);
                const bool oldLine = old == u'-' || old == u'|' || old == u'+';
                if (!oldLine) return;
                if (old != ch) ch = u'+';
            } else if (c.Used) {
                return;
            }
        }
        put(row, col, QString(ch), style, 1);
    }
    void command(int row, int col, const QByteArray &bytes)
    {
        if (inside(row, col)) commands_[row][col].append(bytes);
    }
    static bool inside(int row, int col) { return row >= 0 && col >= 0 && row < kMaxRows && col < kMaxColumns; }

    QByteArray bytes(int lastRow) const
    {
        QByteArray out;
        int style = base_;
        for (int r = 0; r <= lastRow; ++r) {
            const auto line = rows_.constFind(r);
            const auto cmds = commands_.constFind(r);
            int end = line == rows_.cend() ? 0 : static_cast<int>(line->size());
            while (end > 0 && !(*line)[static_cast<size_t>(end - 1)].Used) --end;
            for (int c = 0; c < end; ++c) {
                if (cmds != commands_.cend()) out += cmds->value(c);
                const Cell &cell = (*line)[static_cast<size_t>(c)];
                if (cell.Second) continue;
                const int want = cell.Used ? cell.Style : base_;
                out += lyrDMPStyleChange(style, want);
                style = want;
                out += cell.Used ? lyrWideToAnsi(cell.Text) : QByteArray(" ");
            }
            // Commands beyond the text follow it, in column order.
            if (cmds != commands_.cend())
                for (auto it = cmds->lowerBound(end); it != cmds->cend(); ++it) out += it.value();
            out += lyrDMPStyleChange(style, base_);
            style = base_;
            out += "\r\n";
        }
        return out;
    }
    int lastRow() const
    {
        int last = -1;
        if (!rows_.isEmpty()) last = rows_.lastKey();
        if (!commands_.isEmpty()) last = std::max(last, commands_.lastKey());
        return last;
    }

private:
    int base_;
    QMap<int, std::vector<Cell>> rows_;
    QMap<int, QMap<int, QByteArray>> commands_;
};

// Cells of a length, rounded (floored with down), held to a few times the
// page's cells either way so that sums of them stay small.
int cells(double units, double perCell, int most, bool down = false)
{
    const double v = down ? std::floor(units / perCell) : std::round(units / perCell);
    if (!(v > -4.0 * most)) return v != v ? 0 : -4 * most;
    return static_cast<int>(std::min(v, 4.0 * most));
}

int cellX(double units)
{
    return cells(units, lyrCharX, kMaxColumns);
}

int cellY(double units)
{
    return cells(units, lyrCharY, kMaxRows);
}

// A command's text: characters below 256 are the bytes themselves.
QByteArray commandBytes(const QString &text)
{
    QByteArray out;
    for (QChar c : text) {
        if (c.unicode() < 256)
            out += static_cast<char>(c.unicode());
        else
            out += lyrWideToAnsi(QString(c));
    }
    return out;
}

void putMemo(Grid &grid, TlyrDMPMemoView &memo, int row0, int col0, int style)
{
    const int width = std::max(0, cellX(memo.Width()));
    const int height = std::max(1, cellY(memo.Height()));
    // Lines of the text cut to the memo's width (wrapped when it wraps).
    QStringList lines;
    for (const QString &para : memo.Memo()) {
        QString rest = para;
        do {
            int cols = 0, n = 0;
            while (n < rest.size()) {
                const char32_t u = rest.at(n).isHighSurrogate() && n + 1 < rest.size()
                                           ? QChar::surrogateToUcs4(rest.at(n), rest.at(n + 1))
                                           : rest.at(n).unicode();
                const int w = print::gbkColumns(u);
                if (cols + w > width) break;
                cols += w;
                n += u > 0xFFFF ? 2 : 1;
            }
            lines << rest.left(n);
            rest = memo.WordWrap() && n > 0 ? rest.mid(n) : QString();
        } while (!rest.isEmpty());
    }
    for (int i = 0; i < lines.size() && i < height; ++i) {
        const QString &text = lines.at(i);
        const int used = print::gbkWidth(text);
        int col = col0;
        if (memo.HAlign() == haRight) col += width - used;
        if (memo.HAlign() == haCenter) col += (width - used) / 2;
        for (int k = 0; k < text.size(); ++k) {
            QString ch(text.at(k));
            if (text.at(k).isHighSurrogate() && k + 1 < text.size()) ch += text.at(++k);
            const int w = print::gbkColumns(ch.toUcs4().value(0));
            grid.put(row0 + i, col, ch, style, w);
            col += w;
        }
    }
    // The frame runs through the cells around the text.
    const int typ = memo.Frame()->Typ();
    const int top = row0 - 1, bottom = row0 + height, left = col0 - 1, right = col0 + width;
    if (typ & ftTop)
        for (int c = left; c <= right; ++c) grid.lineChar(top, c, u'-', style);
    if (typ & ftBottom)
        for (int c = left; c <= right; ++c) grid.lineChar(bottom, c, u'-', style);
    if (typ & ftLeft)
        for (int r = top; r <= bottom; ++r) grid.lineChar(r, left, u'|', style);
    if (typ & ftRight)
        for (int r = top; r <= bottom; ++r) grid.lineChar(r, right, u'|', style);
}

void putLine(Grid &grid, TlyrDMPLineView &line, int top, int left, int style)
{
    // Lines stand in the middle of their cells.
    const int row = top + cells(line.AbsTop(), lyrCharY, kMaxRows, true);
    const int col = left + cells(line.AbsLeft(), lyrCharX, kMaxColumns, true);
    if (line.Width() >= line.Height()) {
        const int n = std::max(1, cellX(line.Width()));
        for (int c = col; c < col + n; ++c) grid.lineChar(row, c, u'-', style);
    } else {
        const int n = std::max(1, cellY(line.Height()));
        for (int r = row; r < row + n; ++r) grid.lineChar(r, col, u'|', style);
    }
}

}  // namespace

QByteArray lyrDMPJobStart()
{
    return QByteArray() + ESC + '@';
}

QByteArray lyrDMPStyleChange(int from, int to)
{
    QByteArray out;
    const int off = from & ~to, on = to & ~from;
    auto pair = [&](int bit, QByteArray enable, QByteArray disable) {
        if (on & bit) out += enable;
        if (off & bit) out += disable;
    };
    pair(fsxBold, QByteArray() + ESC + 'E', QByteArray() + ESC + 'F');
    pair(fsxItalic, QByteArray() + ESC + '4', QByteArray() + ESC + '5');
    pair(fsxUnderline, QByteArray() + ESC + '-' + '\x01', QByteArray() + ESC + '-' + '\x00');
    const int script = fsxSuperScript | fsxSubScript;
    if ((from & script) != (to & script)) {
        if (to & fsxSuperScript)
            out += QByteArray() + ESC + 'S' + '\x00';
        else if (to & fsxSubScript)
            out += QByteArray() + ESC + 'S' + '\x01';
        else
            out += QByteArray() + ESC + 'T';
    }
    pair(fsxCondensed, QByteArray("\x0F"), QByteArray("\x12"));
    pair(fsxWide, QByteArray() + ESC + 'W' + '\x01', QByteArray() + ESC + 'W' + '\x00');
    const int pitch = fsx12cpi | fsx15cpi;
    if ((from & pitch) != (to & pitch)) {
        if (to & fsx15cpi)
            out += QByteArray() + ESC + 'g';
        else if (to & fsx12cpi)
            out += QByteArray() + ESC + 'M';
        else
            out += QByteArray() + ESC + 'P';
    }
    return out;
}

QByteArray lyrDMPPageBytes(TlyrReportPage &page, int pageStyle)
{
    const int base = pageStyle;
    Grid grid(base);
    const int left = cellX(page.LeftMargin() * lyrUnitsPerMM);
    const int top = cellY(page.TopMargin() * lyrUnitsPerMM);
    for (TlyrComponent *c : page.AllObjects()) {
        const int row = top + cellY(c->AbsTop()), col = left + cellX(c->AbsLeft());
        if (auto *m = qobject_cast<TlyrDMPMemoView *>(c)) {
            // The rebuilt page is no dot-matrix page: an object with the
            // parent's font takes the style of the page it came from.
            putMemo(grid, *m, row, col, m->ParentFont() ? base : m->FontStyle());
        } else if (auto *l = qobject_cast<TlyrDMPLineView *>(c)) {
            putLine(grid, *l, top, left, l->ParentFont() ? base : l->FontStyle());
        } else if (auto *cmd = qobject_cast<TlyrDMPCommand *>(c)) {
            grid.command(row, col, commandBytes(cmd->Command()));
        }
    }
    QByteArray out = lyrDMPStyleChange(0, base);
    out += grid.bytes(grid.lastRow());
    out += lyrDMPStyleChange(base, 0);
    out += '\f';
    return out;
}
