#pragma once
// Lays out and draws the text of memo views: wraps lines to a width,
// applies a few HTML-like tags (<b> <i> <u> <strike> <sub> <sup>
// <font color=...>), measures heights and widths, splits the text for page
// breaks and draws the lines with alignment, justification, rotation, line
// and character spacing.
//
// All layout is measured at 600 pixels per inch; screen and printer output
// are then fitted to that layout (Wysiwyg), so the preview shows the lines
// where the printer puts them.
//
// Users take the object through TlyrDrawTextUser: a nested user on the same
// thread (a handler running during a layout) gets a temporary object of its
// own instead of waiting for a lock its own stack holds.

#include "report/lyrcanvas.h"
#include "report/lyrutils.h"

#include <QString>
#include <QStringList>

#include <limits>
#include <memory>
#include <vector>

class TlyrFont;

// One character of laid-out text.
struct TlyrHTMLTag {
    // Index of the character in the source text, from 1 (tags and line
    // breaks count).
    int Position = 0;
    // Points.
    int Size = 0;
    // 1 for subscript.
    int AddY = 0;
    quint8 Style = 0;
    int Color = 0;
    // Style, colour and size equal those of the previous character.
    bool Default = false;
    // The size differs from the default size.
    bool Small = false;
};

enum TlyrHAlign { haLeft, haRight, haCenter, haBlock };
enum TlyrVAlign { vaTop, vaBottom, vaCenter };

class TlyrDrawText {
public:
    // Bits of a laid-out line's flags.
    enum { ParaStart = 1, ParaEnd = 2 };
    static constexpr double kMeasureDpi = 600;
    static constexpr int kMaxFontSize = 10000;
    static constexpr double kToMeasure = 600.0 / 96.0;

    TlyrDrawText();
    ~TlyrDrawText();
    TlyrDrawText(const TlyrDrawText &) = delete;
    TlyrDrawText &operator=(const TlyrDrawText &) = delete;

    // False when the object is already in use (the caller then takes an
    // object of its own; see TlyrDrawTextUser).
    bool Lock();
    // release: a layout that ended in an error (out of memory) gives back
    // all it held.
    void Unlock(bool release = false);
    bool Busy() const { return busy_; }

    void SetFont(const TlyrFont &font);
    void SetFont(const QString &name, int size, int style, int color);
    void SetOptions(bool wordWrap, bool htmlTags, bool rtlReading, bool wordBreak, bool clipped, bool wysiwyg,
                    int rotation);
    void SetGaps(double paragraphGap, double charSpacing, double lineSpacing);
    // Until the next SetOptions, a line that does not wrap is laid out only
    // where canvas can show it with hAlign (after SetDimensions): a line of
    // millions of characters in a box as wide as it costs what the canvas
    // shows, its start, middle or end. With Wysiwyg the part is spaced as
    // the whole line; at natural advances only a line's start is cut short.
    // Such a layout serves drawing only.
    void LimitWidthTo(const TlyrCanvas &canvas, TlyrHAlign hAlign);
    // The rectangle in layout units and on the device, and the scales.
    void SetDimensions(const TlyrRect &unscaled, const TlyrRect &scaled, double scaleX, double scaleY,
                       double printScale);
    // With fitOnly the layout stops after the first line that does not fit
    // the rectangle (all a split needs); the rest stays source text only.
    // A long line is then laid out only as far as the lines left can hold,
    // so the layout costs what can be shown, not the text's length.
    void SetText(const QStringList &lines, bool fitOnly = false);
    // Lays out for DrawText on canvas with vAlign only the lines that can
    // show on it (inside the rectangle when clipped): a long text is counted
    // line by line in bounded pieces, so the memory taken is what the
    // canvas shows, not the text's length. The layout then serves drawing
    // only (no source text is kept for a split).
    void SetShownText(const QStringList &lines, const TlyrCanvas &canvas, TlyrVAlign vAlign);
    // Lays out the text only to count its lines and find the widest, in
    // bounded pieces (a line that does not wrap is measured piece by piece):
    // CalcHeight and CalcWidth then answer as after SetText, with no line
    // kept to draw or split.
    void MeasureText(const QStringList &lines);
    // Texts of up to this many characters are laid out whole by
    // SetShownText.
    static inline qsizetype WholeTextChars = 1 << 14;
    // The text continues a paragraph from (first) or into (last) another
    // part of a split memo.
    void SetParaBreaks(bool firstParaBreak, bool lastParaBreak);

    // Layout units.
    double LineHeight() const;
    double CalcHeight() const;
    double CalcWidth() const;
    double SpaceLeft() const;
    // Cuts the lines that do not fit off the layout and returns their
    // source text (with the tags that restore the state of its first
    // character); empty when everything fits.
    QString GetOutBoundsText(bool &paraBreak);
    QString GetInBoundsText() const;

    void DrawText(TlyrCanvas &canvas, TlyrHAlign hAlign, TlyrVAlign vAlign);

    // The laid-out lines.
    int LineCount() const { return lineCount_; }
    QString Line(int i) const { return lines_[size_t(i)].text; }
    int LineFlags(int i) const { return lines_[size_t(i)].flags; }
    // One tag a character of the line.
    std::vector<TlyrHTMLTag> LineTags(int i) const;
    const QString &SourceText() const { return source_; }
    bool AllowTags() const { return allowTags_; }
    bool Wysiwyg() const { return wysiwyg_; }
    int Rotation() const { return rotation_; }

    // Positions after which an upper-case word may be hyphenated (between
    // letter p and p + 1, from 1); only words made of Cyrillic letters get
    // any.
    static std::vector<int> HyphenPositions(QStringView word);
    // Gives d to k of count places, spread evenly from the middle out.
    static void Spread(int *places, int count, int k, int d);
    // What Spread(places, count, k, 1) gives places[0] to places[i - 1]
    // together, without the array.
    static int SpreadBefore(int count, int k, int i);

private:
    // The tag of character From; the characters after it up to the next run
    // have the same state, each its Position one more and Default set. A
    // line of one state keeps one run, not a tag a character.
    struct Run {
        int From = 0;
        TlyrHTMLTag Tag;
    };
    struct LaidLine {
        QString text;
        std::vector<Run> runs;
        // Measuring pixels, character spacing included.
        std::vector<int> widths;
        int flags = 0;
        // Position of the line's first source character.
        int startPos = 1;
        int width = 0;
        // The whole line's width when only a part of it was laid out (for
        // its alignment), else negative.
        qint64 fullWidth = -1;
        // Of a line laid out only where the canvas shows it, Wysiwyg: the
        // whole line's characters and natural device width, the same of
        // those before the part laid out, and the style of its first one.
        qint64 fullChars = -1, fullNatural = 0, skipChars = 0, skipNatural = 0;
        int firstStyle = 0;
        // At natural advances: where the font run the part starts in begins
        // (device pixels), and the unrounded advances from there to it.
        qint64 runNatural = 0;
        double runFrom = 0;
    };

    // Where DrawText puts n lines on a canvas.
    struct Placement {
        int lineH = 0, step = 0, each = 0, rest = 0, n = 0, total = 0;
        bool spread = false;
        double ox = 0, oy = 0, ux = 1, uy = 0, vx = 0, vy = 1, shift = 0;
        int availW = 0, availH = 0;
        // Offset of line i's top from the first line's, along the text's
        // downward direction.
        qint64 Pos(int i) const;
    };
    Placement place(const TlyrCanvas &canvas, TlyrVAlign vAlign, int n) const;
    // The range of (c - o)·d over the corners c of what canvas shows (inside
    // the box when clipped); false when it shows nothing.
    bool shownSpan(const TlyrCanvas &canvas, double ox, double oy, double dx, double dy, double &lo,
                   double &hi) const;

    // prev: the character before line's first (its state tells whether the
    // first one changes it); none at a paragraph's start.
    void parseTags(QStringView line, const TlyrHTMLTag *prev = nullptr);
    // The tags' state, kept across a look ahead.
    struct TagState {
        int style, size, color, addY, position;
    };
    TagState tagState() const { return {style_, size_, color_, addY_, position_}; }
    void setTagState(const TagState &s)
    {
        style_ = s.style;
        size_ = s.size;
        color_ = s.color;
        addY_ = s.addY;
        position_ = s.position;
    }
    bool parseOneTag(QStringView line, qsizetype &i);
    void measure();
    // Returns where the line left unfinished at the end of a piece that is
    // not a paragraph's last begins (its plain index), else the plain size.
    qsizetype wrap(int fullWidth, int firstWidth, bool final = true);
    LaidLine &addLine(qsizetype from, qsizetype to, bool hyphen, int startPos);
    // Starts a layout keeping lines [keepFrom, keepTo); the widths of a
    // full line and of a paragraph's first one, in measuring units.
    void beginLayout(int keepFrom, int keepTo, bool windowed, bool widths, int &full, int &first);
    // Lines outside [keepFrom_, keepTo_) are counted, not kept.
    LaidLine *kept(int i);
    // Notes a counted line's width (measuring units) for MeasureText.
    void noteWidth(qint64 width, bool paraStart);
    // Parses a line that does not wrap piece by piece (never cutting a tag
    // nor a character of two units) and calls f(piece's source offset) with
    // plain_ and ptags_ set, until f returns false.
    template <class F>
    void eachPiece(QStringView line, F &&f);
    // The whole width of a line that does not wrap, piece by piece.
    qint64 unwrappedWidth(QStringView line);
    // Lays out a line that does not wrap only where the canvas
    // LimitWidthTo took shows it, keeping what drawing needs to place and
    // space that part as the whole line.
    void layoutShownPart(QStringView line, int full, int first);
    // Device font height of a size on a printer of dpiY or at the screen
    // scale.
    int deviceHeight(bool printer, int dpiY, int size) const;
    // Lays out lines up to line keepTo_ (counting all before), paragraph by
    // paragraph in bounded pieces.
    void layoutWindow(const QStringList &lines, int keepFrom, int keepTo, bool widths = false);
    void layoutParagraph(QStringView line, int full, int first, qint64 perLine);
    TlyrCanvasFont measureFont(int style) const;
    int deviceFontHeight(const TlyrCanvas &canvas, int size) const;
    void drawLine(TlyrCanvas &canvas, const LaidLine &line, double ox, double oy, double ux, double uy, double vx,
                  double vy, int availWidth, TlyrHAlign hAlign, double devScaleX);

    bool busy_ = false;
    TlyrCanvas measuring_;

    // Font.
    QString fontName_ = QStringLiteral("Arial");
    int fontSize_ = 10;
    int fontStyle_ = 0;
    int fontColor_ = 0;

    // Tag state.
    bool allowTags_ = true;
    int addY_ = 0;
    int color_ = 0;
    int size_ = 10;
    int style_ = 0;
    int position_ = 1;

    double charSpacing_ = 0, lineSpacing_ = 0, paragraphGap_ = 0;
    bool clipped_ = false;
    TlyrRect unscaled_, scaled_;
    double printScale_ = 1, scaleX_ = 1, scaleY_ = 1;
    QString source_;
    int rotation_ = 0;
    bool rtlReading_ = false;
    bool wordBreak_ = false, wordWrap_ = false, wysiwyg_ = true;
    // LimitWidthTo's reach along a line from its origin (device pixels),
    // the alignment, the box's width along the line and the device scale.
    bool widthLimited_ = false, shownPrinter_ = false;
    double shownReach_ = 0, shownDevScale_ = 1;
    // What shows along the line from its origin (device pixels), a margin
    // for overhangs, and the device's vertical resolution.
    double shownLo_ = 0, shownHi_ = 0, shownMargin_ = 0;
    int shownDpiY_ = 96;
    int shownAvail_ = 0;
    TlyrHAlign shownAlign_ = haLeft;

    std::vector<LaidLine> lines_;
    int lineCount_ = 0;
    // The laid-out lines kept: [keepFrom_, keptEnd_) of lineCount_ (all of
    // them unless laid out by SetShownText).
    int keepFrom_ = 0, keepTo_ = std::numeric_limits<int>::max(), keptEnd_ = 0;
    bool windowed_ = false;
    // MeasureText's counting: the widest line, and whether the next line
    // added starts a paragraph.
    bool widthsWanted_ = false, measured_ = false, paraFirst_ = false;
    int widest_ = 0;
    LaidLine counted_;
    TlyrHTMLTag lastTag_;

    // Work arrays of one source line, grown as needed and reused.
    QString plain_;
    std::vector<TlyrHTMLTag> ptags_;
    std::vector<int> widths_;
    std::vector<int> work_;
    int hyphenWidth_ = 0;
};

// The object to use for one layout: the shared one, or a temporary one when
// the shared one is in use further up this thread's stack.
class TlyrDrawTextUser {
public:
    explicit TlyrDrawTextUser(TlyrDrawText &shared);
    ~TlyrDrawTextUser();
    TlyrDrawTextUser(const TlyrDrawTextUser &) = delete;
    TlyrDrawTextUser &operator=(const TlyrDrawTextUser &) = delete;
    TlyrDrawText &operator*() const { return *used_; }
    TlyrDrawText *operator->() const { return used_; }
    bool IsTemporary() const { return own_ != nullptr; }

private:
    std::unique_ptr<TlyrDrawText> own_;
    TlyrDrawText *used_;
};

// The process-wide object.
TlyrDrawText &lyrDrawText();
