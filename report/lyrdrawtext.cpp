#include "report/lyrdrawtext.h"

#include "report/lyrcomponent.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <utility>

namespace {

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Starts with the keyword, compared in upper case.
bool hasKeyword(QStringView text, qsizetype at, QLatin1StringView keyword)
{
    if (text.size() - at < keyword.size()) return false;
    return text.mid(at, keyword.size()).compare(keyword, Qt::CaseInsensitive) == 0;
}

const QString kVowels = QStringLiteral(u"АЕЁИОУЫЭЮЯ");
const QString kConsonants = QStringLiteral(u"БВГДЖЗЙКЛМНПРСТФХЦЧШЩЬЪ");
const QString kSigns = QStringLiteral(u"ЬЪ");
constexpr char16_t kShortI = u'Й';

// Whole lines of height lh in height: none for a negative height, at most
// most (every line when lh is not positive).
int linesIn(double height, double lh, int most)
{
    if (!(lh > 0)) return most;
    const double q = height / lh;
    if (!(q > 0)) return 0;
    return q >= most ? most : int(q);
}

// Characters of the text, line breaks included.
qsizetype textChars(const QStringList &lines)
{
    qsizetype chars = 0;
    for (const QString &line : lines) chars += line.size() + 2;
    return chars;
}

bool isCyrillicLetter(QChar c)
{
    return kVowels.contains(c) || kConsonants.contains(c);
}

bool isWordEnd(QChar c)
{
    return c == u' ' || c == u'.' || c == u',' || c == u'-' || c == u';';
}
}  // namespace

TlyrDrawText::TlyrDrawText() : measuring_(nullptr, 600, 600, false) {}

TlyrDrawText::~TlyrDrawText() = default;

bool TlyrDrawText::Lock()
{
    if (busy_) return false;
    busy_ = true;
    return true;
}

void TlyrDrawText::Unlock(bool release)
{
    busy_ = false;
    // A long text's lines and work arrays are not kept for the short texts
    // after it.
    constexpr size_t kKeptLines = 1024, kKeptChars = 1 << 16;
    if (release || lines_.size() > kKeptLines) {
        lines_ = {};
        lineCount_ = 0;
        keptEnd_ = 0;
        windowed_ = false;
        source_ = QString();
    }
    if (release || ptags_.capacity() > kKeptChars) {
        ptags_ = {};
        widths_ = {};
        work_ = {};
        plain_ = QString();
    }
}

std::vector<TlyrHTMLTag> TlyrDrawText::LineTags(int i) const
{
    const LaidLine &l = lines_[size_t(i)];
    std::vector<TlyrHTMLTag> out;
    out.reserve(size_t(l.text.size()));
    for (size_t r = 0; r < l.runs.size(); ++r) {
        const int end = r + 1 < l.runs.size() ? l.runs[r + 1].From : int(l.text.size());
        TlyrHTMLTag t = l.runs[r].Tag;
        for (int k = l.runs[r].From; k < end; ++k) {
            out.push_back(t);
            ++t.Position;
            t.Default = true;
        }
    }
    return out;
}

void TlyrDrawText::SetFont(const TlyrFont &font)
{
    SetFont(font.Name(), font.Size(), font.Style(), font.Color());
}

void TlyrDrawText::SetFont(const QString &name, int size, int style, int color)
{
    fontName_ = name;
    // Far beyond any page; keeps the pixel sizes worked out from it in range.
    fontSize_ = std::clamp(size, -kMaxFontSize, kMaxFontSize);
    fontStyle_ = style & 15;
    fontColor_ = color;
    measuring_.SetFont(measureFont(fontStyle_));
    hyphenWidth_ = measuring_.TextWidth(u"-");
}

TlyrCanvasFont TlyrDrawText::measureFont(int style) const
{
    TlyrCanvasFont f;
    f.Name = fontName_;
    f.Height = -lyrRoundi(fontSize_ * kMeasureDpi / 72);
    f.Style = style;
    f.Color = fontColor_;
    return f;
}

void TlyrDrawText::SetOptions(bool wordWrap, bool htmlTags, bool rtlReading, bool wordBreak, bool clipped, bool wysiwyg,
                              int rotation)
{
    wordWrap_ = wordWrap;
    allowTags_ = htmlTags;
    rtlReading_ = rtlReading;
    wordBreak_ = wordBreak;
    clipped_ = clipped;
    wysiwyg_ = wysiwyg;
    rotation_ = ((rotation % 360) + 360) % 360;
    widthLimited_ = false;
}

void TlyrDrawText::SetGaps(double paragraphGap, double charSpacing, double lineSpacing)
{
    paragraphGap_ = paragraphGap;
    charSpacing_ = charSpacing;
    lineSpacing_ = lineSpacing;
}

void TlyrDrawText::SetDimensions(const TlyrRect &unscaled, const TlyrRect &scaled, double scaleX, double scaleY,
                                 double printScale)
{
    unscaled_ = unscaled;
    scaled_ = scaled;
    scaleX_ = scaleX;
    scaleY_ = scaleY;
    printScale_ = printScale;
}

void TlyrDrawText::LimitWidthTo(const TlyrCanvas &canvas, TlyrHAlign hAlign)
{
    const Placement p = place(canvas, vaTop, 1);
    double lo = 0, hi = 0;
    const bool any = shownSpan(canvas, p.ox, p.oy, p.ux, p.uy, lo, hi);
    widthLimited_ = true;
    // A margin for overhangs and the rounding of the layout's widths.
    shownMargin_ = 2.0 * std::abs(p.lineH) + 16;
    shownReach_ = any ? std::max(0.0, hi) + shownMargin_ : 0;
    shownLo_ = any ? lo : 1;
    shownHi_ = any ? hi : 0;
    shownPrinter_ = canvas.IsPrinter();
    shownDpiY_ = canvas.DpiY();
    shownDevScale_ = canvas.IsPrinter() ? canvas.DpiX() / 96.0 * printScale_ : scaleX_;
    shownAvail_ = p.availW;
    // A line that does not wrap ends its paragraph: justified, it is not.
    shownAlign_ = hAlign == haBlock ? (rtlReading_ ? haRight : haLeft) : hAlign;
}

bool TlyrDrawText::shownSpan(const TlyrCanvas &canvas, double ox, double oy, double dx, double dy, double &lo,
                             double &hi) const
{
    QRect shown = canvas.ClipRect();
    if (clipped_)
        shown &= QRect(QPoint(lyrRoundi(scaled_.Left), lyrRoundi(scaled_.Top)),
                       QPoint(lyrRoundi(scaled_.Right), lyrRoundi(scaled_.Bottom)));
    lo = std::numeric_limits<double>::max();
    hi = std::numeric_limits<double>::lowest();
    for (const QPoint c : {shown.topLeft(), shown.topRight() + QPoint(1, 0), shown.bottomLeft() + QPoint(0, 1),
                           shown.bottomRight() + QPoint(1, 1)}) {
        const double d = (c.x() - ox) * dx + (c.y() - oy) * dy;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    return !shown.isEmpty();
}

// ---------------------------------------------------------------- layout

void TlyrDrawText::beginLayout(int keepFrom, int keepTo, bool windowed, bool widths, int &full, int &first)
{
    source_.truncate(0);
    lineCount_ = 0;
    widthsWanted_ = widths;
    measured_ = false;
    paraFirst_ = false;
    widest_ = 0;
    keepFrom_ = keepFrom;
    keepTo_ = keepTo;
    keptEnd_ = keepFrom;
    windowed_ = windowed;
    addY_ = 0;
    color_ = fontColor_;
    size_ = fontSize_;
    style_ = fontStyle_;
    position_ = 1;
    const bool turned = (rotation_ >= 90 && rotation_ < 180) || rotation_ >= 270;
    const double width = turned ? unscaled_.Bottom - unscaled_.Top : unscaled_.Right - unscaled_.Left;
    full = lyrRoundi(width * kToMeasure);
    first = lyrRoundi((width - paragraphGap_) * kToMeasure);
}

void TlyrDrawText::SetText(const QStringList &lines, bool fitOnly)
{
    constexpr int kAll = std::numeric_limits<int>::max();
    int full = 0, first = 0;
    beginLayout(0, kAll, false, false, full, first);
    if (lines.isEmpty()) return;
    const int most = fitOnly ? linesIn(unscaled_.Bottom - unscaled_.Top + 1, LineHeight(), kAll) : kAll;
    // Every character laid out takes at least one measuring unit of a line.
    const qint64 perLine = std::max<qint64>(std::max(full, first), 0) + 1;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const QString &line = lines[k];
        if (lineCount_ > most) {
            for (; k < lines.size(); ++k) {
                source_ += lines[k];
                source_ += u"\r\n";
            }
            break;
        }
        source_ += line;
        source_ += u"\r\n";
        const int lineStart = position_;
        const int before = lineCount_;
        QStringView laid = line;
        if (most != kAll) {
            const qint64 room = (qint64(most) + 2 - lineCount_) * perLine;
            if (room < laid.size()) laid = laid.first(room);
        }
        parseTags(laid);
        position_ += int(line.size() - laid.size()) + 2;
        measure();
        if (plain_.isEmpty()) {
            addLine(0, 0, false, lineStart);
        } else {
            wrap(full, first);
        }
        lines_[size_t(before)].flags |= ParaStart;
        lines_[size_t(lineCount_ - 1)].flags |= ParaEnd;
    }
    measuring_.SetFont(measureFont(fontStyle_));
}

void TlyrDrawText::SetShownText(const QStringList &lines, const TlyrCanvas &canvas, TlyrVAlign vAlign)
{
    if (textChars(lines) <= WholeTextChars) {
        SetText(lines);
        return;
    }
    constexpr int kAll = std::numeric_limits<int>::max();
    // Where the lines go depends on their count (their alignment, and the
    // spread of the rounding), from the top too: it comes first. A line
    // that does not wrap is one paragraph.
    int n = int(std::min<qsizetype>(lines.size(), kAll));
    if (wordWrap_) {
        layoutWindow(lines, kAll, kAll);
        n = lineCount_;
    }
    if (n == 0) return;
    const Placement p = place(canvas, vAlign, n);
    // The band along the text's downward direction that the canvas shows.
    double vMin = 0, vMax = 0;
    const bool any = shownSpan(canvas, p.ox + p.vx * p.shift, p.oy + p.vy * p.shift, p.vx, p.vy, vMin, vMax);
    // A line's top, on average; the spread of a rounding error leaves any
    // line a few pixels from it at most.
    const double per = n > 1 ? double(p.Pos(n - 1)) / (n - 1) : p.step;
    constexpr int kMostShown = 1 << 14;
    int from = 0, to = kMostShown;
    if (per > 0 && any) {
        const double margin =
                2.0 * (std::abs(p.lineH) + std::abs(p.step)) + 2 * std::log2(double(n) + 2) + 8;
        const double a = std::floor((vMin - p.lineH - margin) / per), b = std::ceil((vMax + margin) / per) + 1;
        from = int(std::clamp(a, 0.0, double(kAll - 1)));
        to = int(std::clamp(b, double(from), double(from) + kMostShown));
    } else if (!any) {
        to = 0;
    }
    layoutWindow(lines, from, to);
    lineCount_ = n;
    measuring_.SetFont(measureFont(fontStyle_));
}

void TlyrDrawText::MeasureText(const QStringList &lines)
{
    constexpr int kAll = std::numeric_limits<int>::max();
    layoutWindow(lines, kAll, kAll, true);
    widthsWanted_ = false;
    measured_ = true;
    measuring_.SetFont(measureFont(fontStyle_));
}

void TlyrDrawText::layoutWindow(const QStringList &lines, int keepFrom, int keepTo, bool widths)
{
    int full = 0, first = 0;
    beginLayout(keepFrom, keepTo, true, widths, full, first);
    const qint64 perLine = std::max<qint64>(std::max(full, first), 0) + 1;
    for (const QString &line : lines) {
        if (lineCount_ >= keepTo_) break;
        const int before = lineCount_;
        paraFirst_ = true;
        layoutParagraph(line, full, first, perLine);
        if (LaidLine *l = kept(before)) l->flags |= ParaStart;
        if (LaidLine *l = kept(lineCount_ - 1)) l->flags |= ParaEnd;
    }
}

// A paragraph in pieces: each piece's finished lines are taken, and the next
// piece begins with the line the piece ended in.
void TlyrDrawText::layoutParagraph(QStringView line, int full, int first, qint64 perLine)
{
    constexpr qsizetype kPiece = 1 << 16, kLongestPiece = 1 << 20;
    const int paraStart = position_;
    const int paraEnd = int(std::min<qint64>(qint64(paraStart) + line.size() + 2, std::numeric_limits<int>::max()));
    if (!wordWrap_ && widthsWanted_) {
        // Counted, never kept: only its whole width matters.
        const bool starts = std::exchange(paraFirst_, false);
        noteWidth(unwrappedWidth(line), starts);
        ++lineCount_;
        position_ = paraEnd;
        return;
    }
    if (!wordWrap_) {
        // One line, of which no more than the rectangle's width can show;
        // the rest only carries its tags' state on.
        const bool shown = lineCount_ >= keepFrom_;
        if (shown && widthLimited_ && line.size() > 16) {
            layoutShownPart(line, full, first);
            position_ = paraEnd;
            return;
        }
        const QStringView laid = line.first(shown ? std::min<qint64>(line.size(), 2 * perLine + 16) : 0);
        parseTags(laid);
        if (shown) measure();
        if (shown && !plain_.isEmpty())
            wrap(full, first);
        else
            addLine(0, 0, false, paraStart);
        for (qsizetype raw = laid.size(); allowTags_ && raw < line.size(); raw += kPiece) {
            const TlyrHTMLTag prev = lastTag_;
            parseTags(line.mid(raw, kPiece), &prev);
        }
        position_ = paraEnd;
        return;
    }
    qsizetype raw = 0, piece = kPiece;
    bool firstLine = true;
    const TlyrHTMLTag *prev = nullptr;
    TlyrHTMLTag prevTag;
    while (lineCount_ < keepTo_) {
        const QStringView part = line.mid(raw, piece);
        const bool last = raw + part.size() >= line.size();
        const TagState state = tagState();
        parseTags(part, prev);
        if (plain_.isEmpty() && !last) {
            // Tags only: their state goes on.
            prevTag = lastTag_;
            prev = &prevTag;
            raw += part.size();
            continue;
        }
        measure();
        if (last || piece >= kLongestPiece) {
            // A line longer than the longest piece is cut where the piece
            // ends.
            if (!plain_.isEmpty())
                wrap(full, firstLine ? first : full);
            else if (firstLine)
                addLine(0, 0, false, paraStart);
            if (last) break;
            firstLine = false;
            prevTag = lastTag_;
            prev = &prevTag;
            raw += part.size();
            piece = kPiece;
            continue;
        }
        const qsizetype next = wrap(full, firstLine ? first : full, false);
        if (next == 0) {
            // No line ended in the piece: the same start with a longer one.
            setTagState(state);
            piece *= 2;
            continue;
        }
        firstLine = false;
        const TlyrHTMLTag &t = ptags_[size_t(next)];
        raw = t.Position - paraStart;
        style_ = t.Style;
        size_ = t.Size;
        color_ = t.Color;
        addY_ = t.AddY;
        position_ = t.Position;
        prevTag = ptags_[size_t(next - 1)];
        prev = &prevTag;
        piece = kPiece;
    }
    position_ = paraEnd;
}

void TlyrDrawText::layoutShownPart(QStringView line, int full, int first)
{
    const int paraStart = position_;
    const TagState start = tagState();
    // Natural device advances of the piece parsed, as drawing takes them.
    TlyrCanvas device(nullptr, 96, 96, false);
    std::vector<int> adv, run;
    std::vector<qreal> exact, exactRun;
    auto deviceAdvances = [&] {
        const qsizetype n = plain_.size();
        adv.resize(size_t(n));
        for (qsizetype i = 0; i < n;) {
            const TlyrHTMLTag &t = ptags_[size_t(i)];
            qsizetype j = i + 1;
            while (j < n && ptags_[size_t(j)].Size == t.Size && ptags_[size_t(j)].Style == t.Style) ++j;
            TlyrCanvasFont f;
            f.Name = fontName_;
            f.Height = deviceHeight(shownPrinter_, shownDpiY_, t.Size);
            f.Style = t.Style;
            device.SetFont(f);
            device.CharAdvances(QStringView(plain_).mid(i, j - i), run);
            std::copy(run.begin(), run.end(), adv.begin() + i);
            if (!wysiwyg_) {
                exact.resize(size_t(n));
                device.NaturalAdvances(QStringView(plain_).mid(i, j - i), exactRun);
                std::copy(exactRun.begin(), exactRun.end(), exact.begin() + i);
            }
            i = j;
        }
    };
    // The whole line: its characters, layout width and natural width.
    qint64 chars = 0, width = 0, natural = 0;
    int firstStyle = fontStyle_;
    eachPiece(line, [&](qsizetype) {
        if (chars == 0 && !ptags_.empty()) firstStyle = ptags_.front().Style;
        chars += plain_.size();
        measure();
        for (int w : widths_) width += w;
        deviceAdvances();
        for (int a : adv) natural += a;
        return true;
    });
    const TagState end = tagState();
    const TlyrHTMLTag endTag = lastTag_;
    // How drawing spreads the difference to the layout's width, as in
    // drawLine; where the line starts.
    const int len = int(std::min<qint64>(chars, std::numeric_limits<int>::max()));
    // At natural advances the line is as wide as they make it.
    const int layout = wysiwyg_ ? lyrRoundi(double(lyrClampCoord(width)) * shownDevScale_ / kToMeasure)
                                : lyrClampCoord(natural);
    const int diff = layout - lyrClampCoord(natural);
    const int each = len > 0 ? diff / len : 0;
    const double restPer = len > 0 ? double(diff - each * len) / len : 0;
    double x0 = 0;
    if (shownAlign_ == haRight)
        x0 = shownAvail_ - layout - 1;
    else if (shownAlign_ == haCenter)
        x0 = (shownAvail_ - layout) / 2;
    // The spread from the middle out strays from an even one by a pixel a
    // halving at most; an indent moves the start.
    const double margin =
            shownMargin_ + std::abs(paragraphGap_ * shownDevScale_) + std::log2(double(len) + 2) + 4;
    const double lo = shownLo_ - margin, hi = shownHi_ + margin;
    // The characters that show: [from, to), from their source offsets.
    qint64 k = 0, prefix = 0, from = -1, skipNatural = 0;
    qsizetype rawFrom = 0, rawTo = line.size();
    TlyrHTMLTag atFrom, beforeFrom, pieceBefore;
    bool hasBefore = false;
    // At natural advances a font run's characters sit where the unrounded
    // sum of the advances from its start puts them, as drawing sums them.
    qint64 runStart = 0, runNatural = 0;
    double runPos = 0, runFrom = 0;
    TlyrHTMLTag runTag;
    const qint64 most = qint64(std::ceil((hi - lo) * kToMeasure / std::max(shownDevScale_, 1e-9))) + 16;
    setTagState(start);
    if (len > 0 && shownHi_ >= shownLo_) {
        eachPiece(line, [&](qsizetype) {
            deviceAdvances();
            for (size_t j = 0; j < adv.size(); ++j, ++k) {
                const bool low = plain_[qsizetype(j)].isLowSurrogate();
                const TlyrHTMLTag &t = ptags_[j];
                if (!wysiwyg_ && (k == 0 || t.Style != runTag.Style || t.Size != runTag.Size ||
                                  t.Color != runTag.Color || t.AddY != runTag.AddY)) {
                    runTag = t;
                    runStart = prefix;
                    runPos = 0;
                }
                const double left = wysiwyg_ ? x0 + double(prefix) + (each + restPer) * double(k)
                                             : x0 + double(runStart) + runPos;
                const double advance = wysiwyg_ ? adv[j] + each + restPer : exact[j];
                if (from < 0 && !low && left + advance > lo) {
                    runNatural = runStart;
                    runFrom = runPos;
                    from = k;
                    rawFrom = ptags_[j].Position - paraStart;
                    atFrom = ptags_[j];
                    hasBefore = k > 0;
                    beforeFrom = j > 0 ? ptags_[j - 1] : pieceBefore;
                    skipNatural = prefix;
                } else if (from >= 0 && !low && (left > hi || k - from >= most)) {
                    rawTo = ptags_[j].Position - paraStart;
                    return false;
                }
                prefix += adv[j];
                if (!wysiwyg_) runPos += exact[j];
            }
            if (!ptags_.empty()) pieceBefore = ptags_.back();
            return true;
        });
    }
    if (from >= 0) {
        setTagState({atFrom.Style, atFrom.Size, atFrom.Color, atFrom.AddY, atFrom.Position});
        parseTags(line.mid(rawFrom, rawTo - rawFrom), hasBefore ? &beforeFrom : nullptr);
        measure();
        wrap(full, first);
    } else {
        addLine(0, 0, false, paraStart);
    }
    if (LaidLine *l = kept(lineCount_ - 1)) {
        l->fullWidth = lyrClampCoord(width);
        l->fullChars = len;
        l->fullNatural = natural;
        l->skipChars = std::max<qint64>(from, 0);
        l->skipNatural = skipNatural;
        l->firstStyle = firstStyle;
        l->runNatural = runNatural;
        l->runFrom = runFrom;
    }
    setTagState(end);
    lastTag_ = endTag;
}

void TlyrDrawText::noteWidth(qint64 width, bool paraStart)
{
    const qint64 gap = paraStart ? lyrRoundi(paragraphGap_ * kToMeasure) : 0;
    widest_ = lyrClampCoord(std::max<qint64>(widest_, qint64(lyrClampCoord(width)) + gap));
}

template <class F>
void TlyrDrawText::eachPiece(QStringView line, F &&f)
{
    constexpr qsizetype kPiece = 1 << 16, kLongestTag = 64;
    TlyrHTMLTag prevTag;
    const TlyrHTMLTag *prev = nullptr;
    for (qsizetype raw = 0; raw < line.size();) {
        qsizetype end = std::min(line.size(), raw + kPiece);
        if (end < line.size()) {
            // Never inside a tag nor between the two units of a surrogate
            // pair.
            const qsizetype from = std::max(raw + 1, end - kLongestTag);
            const qsizetype open = allowTags_ ? line.mid(from, end - from).lastIndexOf(u'<') : -1;
            if (open >= 0 && line.mid(from + open, end - from - open).indexOf(u'>') < 0)
                end = from + open;
            else if (line[end].isLowSurrogate())
                ++end;
        }
        parseTags(line.mid(raw, end - raw), prev);
        if (!f(raw)) return;
        prevTag = lastTag_;
        prev = &prevTag;
        raw = end;
    }
}

qint64 TlyrDrawText::unwrappedWidth(QStringView line)
{
    qint64 width = 0;
    eachPiece(line, [&](qsizetype) {
        measure();
        for (int w : widths_) width += w;
        return true;
    });
    return width;
}

void TlyrDrawText::parseTags(QStringView line, const TlyrHTMLTag *prev)
{
    plain_.truncate(0);
    ptags_.clear();
    int prevStyle = prev ? prev->Style : fontStyle_, prevColor = prev ? prev->Color : fontColor_,
        prevSize = prev ? prev->Size : fontSize_;
    for (qsizetype i = 0; i < line.size();) {
        if (allowTags_ && line[i] == u'<') {
            const qsizetype start = i;
            if (parseOneTag(line, i)) {
                position_ += int(i - start);
                continue;
            }
        }
        TlyrHTMLTag t;
        t.Position = position_;
        t.Size = size_;
        t.AddY = addY_;
        t.Style = quint8(style_);
        t.Color = color_;
        t.Default = style_ == prevStyle && color_ == prevColor && size_ == prevSize;
        t.Small = size_ != fontSize_;
        prevStyle = style_;
        prevColor = color_;
        prevSize = size_;
        ptags_.push_back(t);
        plain_ += line[i];
        ++position_;
        ++i;
    }
    if (!ptags_.empty()) {
        lastTag_ = ptags_.back();
    } else if (!prev) {
        lastTag_ = TlyrHTMLTag{};
        lastTag_.Style = quint8(fontStyle_);
        lastTag_.Color = fontColor_;
        lastTag_.Size = fontSize_;
    }
}

// At a "<": applies a known tag and moves past it.
bool TlyrDrawText::parseOneTag(QStringView line, qsizetype &i)
{
    const qsizetype at = i + 1;
    struct Simple {
        const char *key;
        int bit;
        bool on;
    };
    static const Simple simple[] = {
            {"B>", lfsBold, true},           {"I>", lfsItalic, true},           {"U>", lfsUnderline, true},
            {"/B>", lfsBold, false},         {"/I>", lfsItalic, false},         {"/U>", lfsUnderline, false},
            {"STRIKE>", lfsStrikeOut, true}, {"/STRIKE>", lfsStrikeOut, false},
    };
    for (const auto &s : simple) {
        const QLatin1StringView key(s.key);
        if (hasKeyword(line, at, key)) {
            style_ = s.on ? (style_ | s.bit) : (style_ & ~s.bit);
            i = at + key.size();
            return true;
        }
    }
    for (const char *key : {"SUB>", "SUP>"}) {
        if (hasKeyword(line, at, QLatin1StringView(key))) {
            size_ = lyrRoundi(fontSize_ / 1.5);
            addY_ = key[2] == 'B' ? 1 : 0;
            i = at + 4;
            return true;
        }
    }
    for (const char *key : {"/SUB>", "/SUP>"}) {
        if (hasKeyword(line, at, QLatin1StringView(key))) {
            size_ = fontSize_;
            addY_ = 0;
            i = at + 5;
            return true;
        }
    }
    if (hasKeyword(line, at, QLatin1StringView("/FONT>"))) {
        color_ = fontColor_;
        i = at + 6;
        return true;
    }
    if (hasKeyword(line, at, QLatin1StringView("FONT COLOR"))) {
        const qsizetype close = line.indexOf(u'>', at);
        if (close < 0) return false;
        qsizetype v = at + 10;
        while (v < close && line[v] == u' ') ++v;
        if (v >= close || line[v] != u'=') return false;
        ++v;
        while (v < close && line[v] == u' ') ++v;
        QStringView value = line.mid(v, close - v).trimmed();
        int color = 0;
        bool ok = false;
        if (value.size() == 9 && value[0] == u'"' && value[1] == u'#' && value[8] == u'"') {
            ok = std::all_of(value.begin() + 2, value.begin() + 8, isHex);
            if (ok) {
                const uint rgb = value.mid(2, 6).toUInt(nullptr, 16);
                color = int(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
            }
        } else {
            if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
                value = value.mid(1, value.size() - 2);
            ok = !value.isEmpty() && lyrColorByName(QStringLiteral("cl") + value.toString(), color) && color != clNone;
        }
        if (!ok) return false;
        color_ = color;
        i = close + 1;
        return true;
    }
    return false;
}

void TlyrDrawText::measure()
{
    const qsizetype n = plain_.size();
    widths_.resize(size_t(n));
    const int spacing = lyrRoundi(charSpacing_ * kToMeasure);
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i + 1;
        while (j < n && ptags_[size_t(j)].Style == ptags_[size_t(i)].Style) ++j;
        measuring_.SetFont(measureFont(ptags_[size_t(i)].Style));
        measuring_.CharAdvances(QStringView(plain_).mid(i, j - i), work_);
        for (qsizetype k = i; k < j; ++k) {
            int w = work_[size_t(k - i)];
            if (w == 0 && k > 0 && plain_[k].isLowSurrogate()) {
                widths_[size_t(k)] = 0;
                continue;
            }
            w = lyrClampCoord(qint64(w) + spacing);
            if (ptags_[size_t(k)].Small) w = lyrRoundi(w / 1.5);
            widths_[size_t(k)] = w;
        }
        i = j;
    }
}

TlyrDrawText::LaidLine &TlyrDrawText::addLine(qsizetype from, qsizetype to, bool hyphen, int startPos)
{
    const int index = lineCount_++;
    if (widthsWanted_) {
        qint64 width = hyphen ? hyphenWidth_ : 0;
        for (qsizetype k = from; k < to; ++k) width += widths_[size_t(k)];
        noteWidth(width, std::exchange(paraFirst_, false));
    }
    if (index < keepFrom_ || index >= keepTo_) return counted_;
    const size_t slot = size_t(index - keepFrom_);
    if (slot >= lines_.size()) lines_.emplace_back();
    keptEnd_ = index + 1;
    LaidLine &l = lines_[slot];
    l.text.truncate(0);
    l.text.append(QStringView(plain_).mid(from, to - from));
    l.runs.clear();
    TlyrHTMLTag last;
    auto add = [&l, &last](const TlyrHTMLTag &t, int at) {
        const bool continues = !l.runs.empty() && t.Default && t.Position == last.Position + 1 &&
                               t.Style == last.Style && t.Color == last.Color && t.Size == last.Size &&
                               t.AddY == last.AddY && t.Small == last.Small;
        if (!continues) l.runs.push_back({at, t});
        last = t;
    };
    for (qsizetype k = from; k < to; ++k) add(ptags_[size_t(k)], int(k - from));
    l.widths.assign(widths_.begin() + from, widths_.begin() + to);
    l.flags = 0;
    l.startPos = startPos;
    l.fullWidth = -1;
    l.fullChars = -1;
    if (hyphen) {
        TlyrHTMLTag t = l.runs.empty() ? TlyrHTMLTag{} : last;
        t.Default = true;
        add(t, int(l.text.size()));
        l.text += u'-';
        l.widths.push_back(hyphenWidth_);
    }
    qint64 width = 0;
    for (int w : l.widths) width += w;
    l.width = lyrClampCoord(width);
    return l;
}

qsizetype TlyrDrawText::wrap(int fullWidth, int firstWidth, bool final)
{
    const qsizetype n = plain_.size();
    auto posOf = [&](qsizetype i) { return i < n ? ptags_[size_t(i)].Position : position_ - 2; };
    if (!final && n < 2) return 0;
    if (!wordWrap_ || n < 2) {
        addLine(0, n, false, posOf(0));
        return n;
    }
    // Never between the two units of a surrogate pair.
    auto unitStart = [&](qsizetype i) { return i > 0 && i < n && plain_[i].isLowSurrogate() ? i - 1 : i; };
    qsizetype start = 0;
    bool first = true;
    while (start < n) {
        const int avail = first ? firstWidth : fullWidth;
        first = false;
        qsizetype j = start;
        // Widths may be negative (a negative spacing): sums in 64 bits.
        qint64 w = 0;
        qsizetype lastBlank = -1;
        while (j < n && w + widths_[size_t(j)] <= avail) {
            if (plain_[j] == u' ') lastBlank = j;
            w += widths_[size_t(j)];
            ++j;
        }
        if (j >= n) {
            // The piece may end inside this line.
            if (!final) return start;
            addLine(start, n, false, posOf(start));
            return n;
        }
        if (plain_[j] == u' ' && j > start) {
            addLine(start, j, false, posOf(start));
            start = j + 1;
            continue;
        }
        // The word that does not fit: its hyphenation break that fits.
        bool cutWord = false;
        auto hyphenate = [&](qsizetype wordStart, qint64 used) -> qsizetype {
            if (!wordBreak_) return -1;
            qsizetype e = wordStart;
            while (e < n && !isWordEnd(plain_[e])) ++e;
            if (e >= n && !final) {
                cutWord = true;
                return -1;
            }
            const QString word = QStringView(plain_).mid(wordStart, e - wordStart).toString().toUpper();
            qsizetype best = -1;
            qint64 sum = used;
            qsizetype k = wordStart;
            for (int p : HyphenPositions(word)) {
                while (k < wordStart + p) sum += widths_[size_t(k++)];
                if (sum + hyphenWidth_ <= avail) best = wordStart + p;
            }
            return best;
        };
        if (lastBlank > start) {
            qint64 used = 0;
            for (qsizetype k = start; k <= lastBlank; ++k) used += widths_[size_t(k)];
            const qsizetype cut = hyphenate(lastBlank + 1, used);
            if (cutWord) return start;
            if (cut > 0) {
                addLine(start, cut, true, posOf(start));
                start = cut;
            } else {
                addLine(start, lastBlank, false, posOf(start));
                start = lastBlank + 1;
            }
            continue;
        }
        qsizetype cut = hyphenate(start, 0);
        if (cutWord) return start;
        if (cut > start) {
            addLine(start, cut, true, posOf(start));
            start = cut;
            continue;
        }
        cut = unitStart(j);
        if (cut <= start) cut = std::min(n, start + (plain_[start].isHighSurrogate() ? 2 : 1));
        addLine(start, cut, false, posOf(start));
        start = cut;
    }
    return n;
}

std::vector<int> TlyrDrawText::HyphenPositions(QStringView word)
{
    std::vector<int> out;
    const int len = int(word.size());
    if (len < 4 || !std::all_of(word.begin(), word.end(), isCyrillicLetter)) return out;
    auto vowel = [&](int p) { return kVowels.contains(word[p - 1]); };
    auto consonant = [&](int p) { return kConsonants.contains(word[p - 1]); };
    auto hasVowel = [&](int from, int to) {
        for (int p = from; p <= to; ++p)
            if (vowel(p)) return true;
        return false;
    };
    for (int p = 1; p <= len; ++p) {
        bool candidate = false;
        if (consonant(p)) {
            candidate = !(p + 1 <= len && (vowel(p + 1) || kSigns.contains(word[p])));
        } else if (vowel(p)) {
            candidate = !((p + 1 <= len && word[p] == QChar(kShortI)) ||
                          (p < len - 2 && consonant(p + 1) && word[p] == word[p + 1] && vowel(p + 3)));
        }
        if (candidate && p >= 2 && len - p >= 2 && hasVowel(1, p) && hasVowel(p + 1, len)) out.push_back(p);
    }
    return out;
}

void TlyrDrawText::SetParaBreaks(bool firstParaBreak, bool lastParaBreak)
{
    if (lineCount_ == 0) return;
    if (LaidLine *l = kept(0); l && firstParaBreak) l->flags &= ~ParaStart;
    if (LaidLine *l = kept(lineCount_ - 1); l && lastParaBreak) l->flags &= ~ParaEnd;
}

TlyrDrawText::LaidLine *TlyrDrawText::kept(int i)
{
    if (!windowed_) return i >= 0 && i < lineCount_ ? &lines_[size_t(i)] : nullptr;
    return i >= keepFrom_ && i < keptEnd_ ? &lines_[size_t(i - keepFrom_)] : nullptr;
}

// ---------------------------------------------------------------- queries

double TlyrDrawText::LineHeight() const
{
    return lyrRoundi(fontSize_ * kMeasureDpi / 72) / kToMeasure + lineSpacing_;
}

double TlyrDrawText::CalcHeight() const
{
    return lineCount_ * LineHeight();
}

double TlyrDrawText::CalcWidth() const
{
    if (measured_) return widest_ / kToMeasure;
    int widest = 0;
    const int gap = lyrRoundi(paragraphGap_ * kToMeasure);
    for (int i = 0; i < lineCount_; ++i) {
        const LaidLine &l = lines_[size_t(i)];
        widest = std::max(widest, l.width + ((l.flags & ParaStart) ? gap : 0));
    }
    return widest / kToMeasure;
}

double TlyrDrawText::SpaceLeft() const
{
    const double lh = LineHeight();
    if (lh <= 0) return 0;
    const double height = unscaled_.Bottom - unscaled_.Top + 1;
    const int n = linesIn(height, lh, std::numeric_limits<int>::max());
    if (n == 0) return 0;
    const double left = height - n * lh;
    return left == 0 ? 0.0001 : left;
}

QString TlyrDrawText::GetOutBoundsText(bool &paraBreak)
{
    paraBreak = false;
    const double lh = LineHeight();
    const double height = unscaled_.Bottom - unscaled_.Top + 1;
    // A zero line height fits every line.
    const int n = linesIn(height, lh, lineCount_);
    if (n >= lineCount_) return QString();
    paraBreak = n > 0 && lines_[size_t(n - 1)].flags < ParaEnd;
    const LaidLine &next = lines_[size_t(n)];
    const int from = std::clamp(next.startPos - 1, 0, int(source_.size()));
    QString rest = source_.mid(from);
    source_.truncate(from);
    if (paraBreak && rest.startsWith(u' ')) rest.remove(0, 1);
    if (allowTags_ && !next.runs.empty()) {
        const TlyrHTMLTag &t = next.runs.front().Tag;
        QString prefix;
        if (t.Color != fontColor_) {
            prefix += QString::asprintf("<font color=\"#%02X%02X%02X\">", t.Color & 0xFF, (t.Color >> 8) & 0xFF,
                                        (t.Color >> 16) & 0xFF);
        }
        if (t.Style & lfsUnderline) prefix += QStringLiteral("<u>");
        if (t.Style & lfsItalic) prefix += QStringLiteral("<i>");
        if (t.Style & lfsBold) prefix += QStringLiteral("<b>");
        rest.prepend(prefix);
    }
    lineCount_ = n;
    return rest;
}

QString TlyrDrawText::GetInBoundsText() const
{
    return source_;
}

// ---------------------------------------------------------------- drawing

void TlyrDrawText::Spread(int *places, int count, int k, int d)
{
    if (count <= 0 || k <= 0) return;
    if (count == 1) {
        places[0] += k * d;
        return;
    }
    const int m = std::max(count / 2, 1);
    if (k == 1) {
        places[m - 1] += d;
        return;
    }
    Spread(places, m, k / 2, d);
    Spread(places + m, count - m, k - k / 2, d);
}

int TlyrDrawText::deviceHeight(bool printer, int dpiY, int size) const
{
    if (printer) return -lyrRoundi(size * dpiY * printScale_ / 72);
    return -lyrRoundi(size * scaleY_ * 96 / 72);
}

int TlyrDrawText::deviceFontHeight(const TlyrCanvas &canvas, int size) const
{
    return deviceHeight(canvas.IsPrinter(), canvas.DpiY(), size);
}

int TlyrDrawText::SpreadBefore(int count, int k, int i)
{
    if (count <= 0 || k <= 0 || i <= 0) return 0;
    if (i >= count || count == 1) return k;
    const int m = std::max(count / 2, 1);
    if (k == 1) return i >= m ? 1 : 0;
    if (i <= m) return SpreadBefore(m, k / 2, i);
    return k / 2 + SpreadBefore(count - m, k - k / 2, i - m);
}

qint64 TlyrDrawText::Placement::Pos(int i) const
{
    qint64 at = qint64(i) * step;
    if (spread) at += qint64(i) * each + (rest < 0 ? -1 : 1) * SpreadBefore(n - 1, std::abs(rest), i);
    return at;
}

TlyrDrawText::Placement TlyrDrawText::place(const TlyrCanvas &canvas, TlyrVAlign vAlign, int n) const
{
    Placement p;
    const bool printer = canvas.IsPrinter();
    const double devScaleY = printer ? canvas.DpiY() / 96.0 * printScale_ : scaleY_;
    p.n = n;
    p.lineH = -deviceFontHeight(canvas, fontSize_);
    const int gap = lyrRoundi(lineSpacing_ * devScaleY);
    // Line tops along the text's vertical direction: with Wysiwyg the
    // layout's height, its rounding spread over the lines.
    p.step = lyrClampCoord(qint64(p.lineH) + gap);
    if (wysiwyg_ && n > 1) {
        const int layout = lyrRoundi(n * LineHeight() * devScaleY);
        const int diff = lyrClampCoord(layout - qint64(n) * p.step);
        p.each = diff / (n - 1);
        p.rest = diff - p.each * (n - 1);
        p.spread = true;
    }
    p.total = lyrClampCoord(p.lineH + p.Pos(n - 1));

    const double a = rotation_ * M_PI / 180;
    p.ux = std::cos(a);
    p.uy = -std::sin(a);
    p.vx = std::sin(a);
    p.vy = std::cos(a);
    const int boxW = lyrRoundi(scaled_.Right - scaled_.Left), boxH = lyrRoundi(scaled_.Bottom - scaled_.Top);
    const int quadrant = rotation_ / 90;
    const bool turned = quadrant == 1 || quadrant == 3;
    p.availW = turned ? boxH : boxW;
    p.availH = turned ? boxW : boxH;
    p.ox = scaled_.Left;
    p.oy = scaled_.Top;
    if (rotation_ % 90 == 0) {
        if (quadrant == 1) {
            p.oy = scaled_.Bottom;
        } else if (quadrant == 2) {
            p.ox = scaled_.Right;
            p.oy = scaled_.Bottom;
        } else if (quadrant == 3) {
            p.ox = scaled_.Right;
        }
    } else {
        // Any other angle turns the text about the box's centre.
        const double cx = (scaled_.Left + scaled_.Right) / 2.0, cy = (scaled_.Top + scaled_.Bottom) / 2.0;
        p.ox = cx - p.ux * p.availW / 2.0 - p.vx * p.availH / 2.0;
        p.oy = cy - p.uy * p.availW / 2.0 - p.vy * p.availH / 2.0;
    }
    const int free = p.availH - p.total;
    if (vAlign == vaBottom)
        p.shift = free;
    else if (vAlign == vaCenter)
        p.shift = free / 2;
    return p;
}

void TlyrDrawText::DrawText(TlyrCanvas &canvas, TlyrHAlign hAlign, TlyrVAlign vAlign)
{
    if (lineCount_ == 0) return;
    const bool printer = canvas.IsPrinter();
    const double devScaleX = printer ? canvas.DpiX() / 96.0 * printScale_ : scaleX_;
    const Placement p = place(canvas, vAlign, lineCount_);
    const TlyrCanvasFont saved = canvas.Font();
    if (clipped_)
        canvas.PushClip(QRect(QPoint(lyrRoundi(scaled_.Left), lyrRoundi(scaled_.Top)),
                              QPoint(lyrRoundi(scaled_.Right), lyrRoundi(scaled_.Bottom))),
                        true);
    const int from = windowed_ ? keepFrom_ : 0, to = windowed_ ? std::min(keptEnd_, lineCount_) : lineCount_;
    for (int i = from; i < to; ++i) {
        const double y = p.shift + double(p.Pos(i));
        drawLine(canvas, lines_[size_t(i - from)], p.ox + p.vx * y, p.oy + p.vy * y, p.ux, p.uy, p.vx, p.vy,
                 p.availW, hAlign, devScaleX);
    }
    if (clipped_) canvas.PopClip();
    canvas.SetFont(saved);
}

void TlyrDrawText::drawLine(TlyrCanvas &canvas, const LaidLine &line, double ox, double oy, double ux, double uy,
                            double vx, double vy, int availWidth, TlyrHAlign hAlign, double devScaleX)
{
    const qsizetype len = line.text.size();
    if (len == 0) return;
    thread_local std::vector<int> adv, runAdv;
    adv.resize(size_t(len));
    auto fontFor = [&](const TlyrHTMLTag &t) {
        TlyrCanvasFont f;
        f.Name = fontName_;
        f.Height = deviceFontHeight(canvas, t.Size);
        f.Style = t.Style;
        f.Color = t.Color;
        f.Orientation = rotation_ * 10;
        return f;
    };
    // Runs of one font drawn together: stored runs of equal state joined.
    const std::vector<Run> &runs = line.runs;
    auto sameFont = [&](size_t r, size_t s) {
        const TlyrHTMLTag &x = runs[r].Tag, &y = runs[s].Tag;
        return x.Style == y.Style && x.Color == y.Color && x.Size == y.Size && x.AddY == y.AddY;
    };
    // Calls f(tag, first, end) for each run of one font.
    auto eachFont = [&](auto &&f) {
        for (size_t r = 0; r < runs.size();) {
            size_t s = r + 1;
            while (s < runs.size() && sameFont(r, s)) ++s;
            f(runs[r].Tag, qsizetype(runs[r].From), s < runs.size() ? qsizetype(runs[s].From) : len);
            r = s;
        }
    };
    // Natural device advances, run by run.
    qint64 naturalSum = 0;
    eachFont([&](const TlyrHTMLTag &t, qsizetype i, qsizetype j) {
        canvas.SetFont(fontFor(t));
        naturalSum += canvas.CharAdvances(QStringView(line.text).mid(i, j - i), runAdv);
        std::copy(runAdv.begin(), runAdv.end(), adv.begin() + i);
    });
    const int natural = lyrClampCoord(naturalSum);
    const bool paraStart = line.flags & ParaStart;
    const int indent = paraStart && (hAlign == haLeft || hAlign == haBlock) ? lyrRoundi(paragraphGap_ * devScaleX) : 0;
    TlyrHAlign align = hAlign;
    // Only a part laid out: the line is not justified.
    const bool part = line.fullChars > 0;
    if (align == haBlock && ((line.flags & ParaEnd) || part)) align = rtlReading_ ? haRight : haLeft;
    int width = natural;
    bool passAdvances = wysiwyg_;
    if (align == haBlock) {
        int blanks = 0;
        for (QChar c : line.text)
            if (c == u' ' || c == QChar(0xA0)) ++blanks;
        const int freeW = availWidth - indent - natural;
        if (blanks == 0 || freeW <= 0) {
            align = haLeft;
        } else {
            int seen = 0;
            for (qsizetype i = 0; i < len; ++i) {
                if (line.text[i] == u' ' || line.text[i] == QChar(0xA0)) {
                    adv[size_t(i)] += freeW / blanks + (seen < freeW % blanks ? 1 : 0);
                    ++seen;
                }
            }
            width = natural + freeW;
            passAdvances = true;
        }
    }
    // Where the part laid out starts in the whole line.
    double skipped = 0;
    if (part && wysiwyg_) {
        // Spaced as the whole line, which takes exactly its layout width.
        const int layout = lyrRoundi(double(line.fullWidth) * devScaleX / kToMeasure);
        const int chars = int(line.fullChars), skip = int(line.skipChars);
        const int diff = layout - lyrClampCoord(line.fullNatural);
        const int each = diff / chars, rest = diff - each * chars, sign = rest < 0 ? -1 : 1;
        int before = SpreadBefore(chars, std::abs(rest), skip);
        skipped = double(line.skipNatural) + double(each) * skip + sign * before;
        for (qsizetype i = 0; i < len; ++i) {
            const int after = SpreadBefore(chars, std::abs(rest), skip + int(i) + 1);
            adv[size_t(i)] += each + sign * (after - before);
            before = after;
        }
        width = layout;
    } else if (part) {
        // At natural advances: the line's first font run starts mid-run.
        skipped = double(line.skipNatural);
        width = lyrClampCoord(line.fullNatural);
    } else if (align != haBlock && wysiwyg_) {
        // The line takes exactly its layout width.
        const int layout = lyrRoundi(line.width * devScaleX / kToMeasure);
        const int diff = layout - natural;
        const int each = diff / int(len);
        for (int &w : adv) w += each;
        const int rest = diff - each * int(len);
        Spread(adv.data(), int(len), std::abs(rest), rest < 0 ? -1 : 1);
        width = layout;
    }
    // Only the start of a long line laid out: it sits where the whole line
    // would.
    const int whole = part && !wysiwyg_ ? width
                      : line.fullWidth >= 0 ? lyrRoundi(double(line.fullWidth) * devScaleX / kToMeasure)
                                            : width;
    // Past the last character x may leave int; it is a position, kept as one.
    double x = indent;
    if (align == haRight) {
        const int style = part ? line.firstStyle : runs.front().Tag.Style;
        x = availWidth - whole - 1 - ((style & (lfsBold | lfsItalic)) && rotation_ == 0 ? 1 : 0);
    } else if (align == haCenter) {
        x = (availWidth - whole) / 2;
    }
    const double lineX = x;
    x += skipped;
    const int normalH = -deviceFontHeight(canvas, fontSize_);
    eachFont([&](const TlyrHTMLTag &t, qsizetype i, qsizetype j) {
        const TlyrCanvasFont f = fontFor(t);
        canvas.SetFont(f);
        const double down = t.AddY ? normalH + f.Height : 0;
        // A part's first run is drawn from where the whole run starts.
        const bool midRun = part && !passAdvances && i == 0;
        const double rx = midRun ? lineX + double(line.runNatural) : x;
        const double px = ox + ux * rx + vx * down, py = oy + uy * rx + vy * down;
        canvas.TextOut(lyrRoundi(px), lyrRoundi(py), QStringView(line.text).mid(i, j - i),
                       passAdvances ? adv.data() + i : nullptr, midRun ? line.runFrom : 0);
        for (qsizetype k = i; k < j; ++k) x += adv[size_t(k)];
    });
}

// ---------------------------------------------------------------- users

TlyrDrawTextUser::TlyrDrawTextUser(TlyrDrawText &shared) : used_(&shared)
{
    if (!shared.Lock()) {
        own_ = std::make_unique<TlyrDrawText>();
        own_->Lock();
        used_ = own_.get();
    }
}

TlyrDrawTextUser::~TlyrDrawTextUser()
{
    used_->Unlock(std::uncaught_exceptions() > 0);
}

TlyrDrawText &lyrDrawText()
{
    static TlyrDrawText shared;
    return shared;
}
