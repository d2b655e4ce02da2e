#pragma once
// Randomly combined report templates and the rules every sound prepared
// report keeps, shared by the engine's property test, its fuzz target and
// the long-run tool. A template is described by a Plan (drawn from a seed
// or from fuzzer bytes), built into a report over CSV-like data, prepared,
// and its pages checked: every record once and in order, everything inside
// its page, no band over another, page and column bands in their places,
// page numbers and group totals right. A failing Plan is reduced to the
// smallest that still fails and written out as a template lyrrun runs.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace lyrprop {

// Numbers for the generator: from a seed, or from fuzzer bytes (zeros once
// they run out, which gives the plainest template).
class Source {
public:
    virtual ~Source() = default;
    virtual uint32_t next() = 0;
    // An integer in [lo, hi].
    int range(int lo, int hi) { return hi <= lo ? lo : lo + int(next() % uint32_t(hi - lo + 1)); }
    bool chance(int percent) { return int(next() % 100) < percent; }
    // A stream of its own for options added later, so that what a seed
    // drew before stays the same (none: draw on from this one).
    virtual std::unique_ptr<Source> stream(uint64_t) const { return nullptr; }
};

class SeedSource : public Source {
public:
    explicit SeedSource(uint64_t seed) : seed_(seed), s_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
    std::unique_ptr<Source> stream(uint64_t salt) const override
    {
        return std::make_unique<SeedSource>(seed_ ^ (salt * 0xD1B54A32D192ED03ull));
    }
    uint32_t next() override
    {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 16);
    }

private:
    uint64_t seed_, s_;
};

class ByteSource : public Source {
public:
    ByteSource(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint32_t next() override
    {
        uint32_t v = 0;
        for (int i = 0; i < 2; ++i) v = v << 8 | (pos_ < size_ ? data_[pos_++] : 0u);
        return v;
    }

private:
    const uint8_t *data_;
    size_t size_, pos_ = 0;
};

struct Group {
    int Size = 1;  // records per group
    bool Keep = false, Reprint = false, NewPage = false, ResetNumbers = false, Footer = false;
};

// A template in words: which bands, which flags, how much data.
struct Plan {
    uint64_t Seed = 0;
    double PaperWidth = 210, PaperHeight = 100, Margin = 0;  // mm
    int PageColumns = 1;
    bool DoublePass = false;
    bool Title = false, TitleFirst = true, PageHeader = false, PageFooter = false;
    bool ColumnHeader = false, ColumnFooter = false, Summary = false;
    int Overlay = 0;  // 0 none, 1 under the content, 2 on top
    bool Header = false, HeaderReprint = false, HeaderHidden = false, Footer = false;
    int Records = 0;
    int MasterColumns = 1;
    double MasterHeight = 20;
    bool MasterKeep = false, MasterNewPage = false, MasterSplit = false, Suppress = false, Line = false;
    int StretchWords = 0;  // words of a stretching text under the record's text
    bool Child = false, KeepChild = false;
    std::vector<Group> Groups;
    int DetailRows = 0;
    int SubHost = 0;  // subreport in 0 none, 1 title, 2 master, 3 summary
    int SubRecords = 0;
    // Drawn after the options above, so that older seeds keep those. The
    // subreport may also sit in the outer group header (4), the first
    // child band (5) or the data footer (6); it may print on its parent
    // (whose band then stretches or not), have a second one beside it, or
    // hold a subreport of its own.
    bool SubPop = false, PopStretch = false, SubSide = false, SubNested = false;
    bool KeepHeader = false, KeepFooter = false, FooterEach = false, HeaderNewPage = false;
    // Texts of SplitWords words that split: in the outer group header and
    // footer, the title and summary, the last child band.
    bool GroupSplit = false, TitleSplit = false, ChildSplit = false;
    int SplitWords = 0;
    // More child bands after the first, which may itself be invisible.
    int ChildChain = 0;
    bool ChildHidden = false, HideSingle = false, DetailHeader = false;
    bool NoHeaderFirst = false, NoFooterFirst = false, NoFooterLast = false;
    // Drawn after all of the above. A second report page listing Records2
    // rows of its own, which may go on below the first page's output and
    // may restart the page numbers.
    bool Page2 = false, OnPrevious = false, Reset2 = false, Title2 = false, Header2 = false, Footer2 = false,
         Summary2 = false;
    int Records2 = 0;
    // The detail band over rows of its own: record i has detailCount(i) of
    // them, in groups of two; a record without any is left out unless
    // PrintIfDetailEmpty.
    bool DetailSet = false, DetailGroup = false, IfDetailEmpty = false;
    // Every TallEvery-th record is taller than an empty column.
    int TallEvery = 0;
    // Drawn last. Script events counting and summing the records into
    // variables shown beside the engine's totals: on the master band's
    // OnBeforePrint (1), its record text's OnBeforePrint (2) or OnAfterData
    // (3); the subreport's rows are counted too.
    int Script = 0;
    // SUM and COUNT in the page and column footers.
    bool PageTotals = false, ColumnTotals = false;
    // StartNewPage on the title, the summary, the first child band.
    bool TitleNewPage = false, SummaryNewPage = false, ChildNewPage = false;
    // Rows of a level below the detail band, for each detail row.
    int SubDetailRows = 0;
    // A cross-tab: the master band crossed with CrossCols vertical data
    // columns CrossWidth wide, after a vertical header.
    int CrossCols = 0;
    double CrossWidth = 0;
    // Shapes drawn from a stream of their own, off unless named in the
    // line. A script hides each record whose value is a multiple of
    // HideRecords, and the bands of HideBands (1 the data footer, 2 the
    // group footers, 4 the column footer, 8 the page footer, 16 the first
    // child band) by a condition on the record they follow. Labels: each
    // record a text of its own length. CrossGroups: the cross-tab's columns
    // in groups of so many, with a vertical group header and footer.
    // Aggregates: MIN, MAX and AVG beside SUM and COUNT, over the values
    // (which come as text) and over amounts with half cents. PlainText:
    // footer texts that only look like calls. PageExpr: page numbers
    // through formatted expressions.
    int HideRecords = 0, HideBands = 0, CrossGroups = 0;
    bool Labels = false, Aggregates = false, PlainText = false, PageExpr = false;

    int detailCount(int i) const { return DetailSet ? (i * 7 + 3) % (DetailRows + 1) : DetailRows; }
    // A record the data loop shows (its group counts it), and one printed.
    bool dataRecord(int i) const { return IfDetailEmpty || detailCount(i) > 0 || DetailRows == 0; }
    bool printsRecord(int i) const { return dataRecord(i) && !hidden(i); }
    static int valueOf(int i) { return i * 7 % 13; }
    bool hidden(int i) const { return HideRecords > 0 && valueOf(i) % HideRecords == 0; }
    // The group footers a script hides: by the group's last record.
    bool groupFooterHidden(int last, int level) const
    {
        return (HideBands & 2) && valueOf(last) % 3 == (level == 1 ? 2 : 1);
    }
    int labelWords(int i) const { return Labels && i % 4 == 2 ? 3 + i % 5 * 2 : 0; }
    bool shapes() const { return HideRecords || HideBands || CrossGroups || Labels || Aggregates || PlainText || PageExpr; }
    bool isTall(int i) const { return TallEvery > 0 && i % TallEvery == TallEvery - 1; }
    double pageWidth() const { return (PaperWidth - 2 * Margin) * lyrUnitsPerMM; }
    double pageHeight() const { return (PaperHeight - 2 * Margin) * lyrUnitsPerMM; }
    double columnWidth() const { return pageWidth() / PageColumns; }
    double columnX(int k) const { return (k - 1) * columnWidth(); }
    // Left of the subreport inside its band, and the room left of it.
    double subLeft() const { return std::floor(columnWidth() / 2); }
    double hostRoom(bool host) const { return host ? subLeft() - 4 : columnWidth() - 4; }

    QString describe() const;
};

// The template's on-off features by the words that name them in its line.
inline const std::vector<std::pair<const char *, bool Plan::*>> &planFlags()
{
    static const std::vector<std::pair<const char *, bool Plan::*>> flags{
            {"twopass", &Plan::DoublePass},   {"title", &Plan::Title},           {"pageheader", &Plan::PageHeader},
            {"pagefooter", &Plan::PageFooter}, {"colheader", &Plan::ColumnHeader}, {"colfooter", &Plan::ColumnFooter},
            {"summary", &Plan::Summary},       {"header", &Plan::Header},         {"reprint", &Plan::HeaderReprint},
            {"hidden", &Plan::HeaderHidden},   {"footer", &Plan::Footer},         {"keep", &Plan::MasterKeep},
            {"newpage", &Plan::MasterNewPage}, {"split", &Plan::MasterSplit},     {"suppress", &Plan::Suppress},
            {"line", &Plan::Line},             {"child", &Plan::Child},           {"keepchild", &Plan::KeepChild},
            {"subpop", &Plan::SubPop},         {"popstretch", &Plan::PopStretch}, {"subside", &Plan::SubSide},
            {"subnested", &Plan::SubNested},   {"keepheader", &Plan::KeepHeader}, {"keepfooter", &Plan::KeepFooter},
            {"footereach", &Plan::FooterEach}, {"hnewpage", &Plan::HeaderNewPage}, {"gsplit", &Plan::GroupSplit},
            {"tsplit", &Plan::TitleSplit},     {"csplit", &Plan::ChildSplit},     {"childhidden", &Plan::ChildHidden},
            {"hidesingle", &Plan::HideSingle}, {"dheader", &Plan::DetailHeader},  {"phnotfirst", &Plan::NoHeaderFirst},
            {"pfnotfirst", &Plan::NoFooterFirst}, {"pfnotlast", &Plan::NoFooterLast}, {"page2", &Plan::Page2},
            {"onprevious", &Plan::OnPrevious}, {"reset2", &Plan::Reset2}, {"title2", &Plan::Title2},
            {"header2", &Plan::Header2},       {"footer2", &Plan::Footer2},       {"summary2", &Plan::Summary2},
            {"dset", &Plan::DetailSet},        {"dgroup", &Plan::DetailGroup},    {"ifdetailempty", &Plan::IfDetailEmpty},
            {"pftotals", &Plan::PageTotals},   {"cftotals", &Plan::ColumnTotals}, {"tnewpage", &Plan::TitleNewPage},
            {"znewpage", &Plan::SummaryNewPage}, {"cnewpage", &Plan::ChildNewPage},
            {"labels", &Plan::Labels},         {"aggs", &Plan::Aggregates},       {"plaintext", &Plan::PlainText},
            {"pageexpr", &Plan::PageExpr}};
    return flags;
}

inline QString Plan::describe() const
{
    QStringList g;
    for (const Group &x : Groups)
        g << QStringLiteral("{size %1%2%3%4%5%6}")
                     .arg(x.Size)
                     .arg(x.Keep ? " keep" : "", x.Reprint ? " reprint" : "", x.NewPage ? " newpage" : "",
                          x.ResetNumbers ? " reset" : "", x.Footer ? " footer" : "");
    QString flags;
    for (const auto &[name, member] : planFlags()) {
        if (this->*member) flags += QLatin1Char(' ') + QLatin1String(name);
        if (member == &Plan::Title && Title && !TitleFirst) flags += QStringLiteral(" title-after");
    }
    if (ChildChain) flags += QStringLiteral(" chain %1").arg(ChildChain);
    if (SplitWords) flags += QStringLiteral(" swords %1").arg(SplitWords);
    if (Records2) flags += QStringLiteral(" records2 %1").arg(Records2);
    if (TallEvery) flags += QStringLiteral(" tall %1").arg(TallEvery);
    if (Script) flags += QStringLiteral(" script %1").arg(Script);
    if (SubDetailRows) flags += QStringLiteral(" subdetail %1").arg(SubDetailRows);
    if (CrossCols) flags += QStringLiteral(" cross %1/%2").arg(CrossCols).arg(CrossWidth, 0, 'g', 12);
    if (HideRecords) flags += QStringLiteral(" hiderec %1").arg(HideRecords);
    if (HideBands) flags += QStringLiteral(" hideband %1").arg(HideBands);
    if (CrossGroups) flags += QStringLiteral(" xgroups %1").arg(CrossGroups);
    return QStringLiteral("seed %1: paper %2x%3 margin %4 pagecols %5 records %6 mastercols %7 height %8"
                          "%9 overlay %10 sub %11/%12 detail %13 words %14 groups [%15]")
            .arg(Seed)
            .arg(PaperWidth, 0, 'g', 12)
            .arg(PaperHeight, 0, 'g', 12)
            .arg(Margin, 0, 'g', 12)
            .arg(PageColumns)
            .arg(Records)
            .arg(MasterColumns)
            .arg(MasterHeight, 0, 'g', 12)
            .arg(flags)
            .arg(Overlay)
            .arg(SubHost)
            .arg(SubRecords)
            .arg(DetailRows)
            .arg(StretchWords)
            .arg(g.join(QLatin1Char(' ')));
}

// The template a describe() line gives (its seed part is optional): the
// reduced templates of found faults are kept in this form.
inline Plan parse(const QString &line)
{
    Plan s;
    QString text = line.trimmed();
    if (text.startsWith(QLatin1String("seed "))) {
        s.Seed = text.section(QLatin1Char(' '), 1, 1).remove(QLatin1Char(':')).toULongLong();
        text = text.section(QLatin1Char(' '), 2);
    }
    const qsizetype groups = text.indexOf(QLatin1String("groups ["));
    const QString groupText = groups >= 0 ? text.mid(groups + 8).chopped(1) : QString();
    const QStringList w = (groups >= 0 ? text.left(groups) : text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QHash<QString, int Plan::*> ints{{"pagecols", &Plan::PageColumns}, {"records", &Plan::Records},
                                           {"mastercols", &Plan::MasterColumns}, {"overlay", &Plan::Overlay},
                                           {"detail", &Plan::DetailRows},        {"words", &Plan::StretchWords},
                                           {"chain", &Plan::ChildChain},         {"swords", &Plan::SplitWords},
                                           {"records2", &Plan::Records2},        {"tall", &Plan::TallEvery},
                                           {"script", &Plan::Script},            {"subdetail", &Plan::SubDetailRows},
                                           {"hiderec", &Plan::HideRecords},      {"hideband", &Plan::HideBands},
                                           {"xgroups", &Plan::CrossGroups}};
    const QHash<QString, double Plan::*> reals{{"margin", &Plan::Margin}, {"height", &Plan::MasterHeight}};
    QHash<QString, bool Plan::*> flags;
    for (const auto &[name, member] : planFlags()) flags.insert(QLatin1String(name), member);
    for (qsizetype i = 0; i < w.size(); ++i) {
        const QString &k = w[i];
        const QString v = i + 1 < w.size() ? w[i + 1] : QString();
        if (flags.contains(k)) {
            s.*flags.value(k) = true;
            continue;
        }
        if (k == QLatin1String("title-after")) {
            s.TitleFirst = false;
            continue;
        }
        if (ints.contains(k)) {
            s.*ints.value(k) = v.toInt();
        } else if (reals.contains(k)) {
            s.*reals.value(k) = v.toDouble();
        } else if (k == QLatin1String("paper")) {
            s.PaperWidth = v.section(QLatin1Char('x'), 0, 0).toDouble();
            s.PaperHeight = v.section(QLatin1Char('x'), 1, 1).toDouble();
        } else if (k == QLatin1String("sub")) {
            s.SubHost = v.section(QLatin1Char('/'), 0, 0).toInt();
            s.SubRecords = v.section(QLatin1Char('/'), 1, 1).toInt();
        } else if (k == QLatin1String("cross")) {
            s.CrossCols = v.section(QLatin1Char('/'), 0, 0).toInt();
            s.CrossWidth = v.section(QLatin1Char('/'), 1, 1).toDouble();
        } else {
            continue;
        }
        ++i;
    }
    static const QRegularExpression group(QStringLiteral("\\{size (\\d+)([^}]*)\\}"));
    for (auto it = group.globalMatch(groupText); it.hasNext();) {
        const auto m = it.next();
        const QStringList f = m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Group g;
        g.Size = m.captured(1).toInt();
        g.Keep = f.contains(QLatin1String("keep"));
        g.Reprint = f.contains(QLatin1String("reprint"));
        g.NewPage = f.contains(QLatin1String("newpage"));
        g.ResetNumbers = f.contains(QLatin1String("reset"));
        g.Footer = f.contains(QLatin1String("footer"));
        s.Groups.push_back(g);
    }
    return s;
}

constexpr double kBandGap = 40;  // design tops of consecutive bands
constexpr double kLine = 16;     // height of a one-line text
constexpr double kCrossLeft = 110;  // where a cross-tab's vertical bands begin
constexpr double kCrossGroupHeader = 30, kCrossGroupFooter = 60;  // widths of its column groups' bands

// Draws a template. The page is always tall enough for its page and column
// bands, the headers that repeat and the tallest band that may not split.
inline void laterOptions(Source &r, Plan &s, double fixed);
inline void pageTwoOptions(Source &r, Plan &s, double fixed);
inline void newestOptions(Source &r, Plan &s);
inline void shapeOptions(Source &r, Plan &s);

// extended: with the newest options (seeds kept from before them run
// without, so they stay the templates they were). shapes: with the shapes
// drawn from a stream of their own (see Plan), on top of the rest.
inline Plan generate(Source &r, uint64_t seed = 0, bool extended = true, bool shapes = false)
{
    Plan s;
    s.Seed = seed;
    s.PaperWidth = r.range(90, 210);
    s.Margin = r.chance(50) ? 0 : r.range(1, 10);
    s.PageColumns = r.chance(50) ? 1 : r.range(2, 3);
    s.DoublePass = r.chance(30);
    s.Title = r.chance(40);
    s.TitleFirst = r.chance(70);
    s.PageHeader = r.chance(50);
    s.PageFooter = r.chance(50);
    s.ColumnHeader = r.chance(30);
    s.ColumnFooter = r.chance(30);
    s.Summary = r.chance(40);
    s.Overlay = r.chance(70) ? 0 : r.range(1, 2);
    s.Header = r.chance(50);
    s.HeaderReprint = s.Header && r.chance(60);
    s.HeaderHidden = s.Header && r.chance(15);
    s.Footer = r.chance(40);
    const int size = r.range(0, 9);
    s.Records = size < 2 ? r.range(0, 3) : size < 6 ? r.range(1, 25) : size < 8 ? r.range(10, 60) : r.range(20, 200);
    s.MasterColumns = r.chance(65) ? 1 : r.range(2, 3);
    s.MasterHeight = r.range(1, 4) * 8 + 8;
    s.MasterKeep = r.chance(20);
    s.MasterNewPage = r.chance(8);
    s.MasterSplit = r.chance(25);
    // Records of a multi-column band are never split.
    s.StretchWords = r.chance(40) ? r.range(1, s.MasterSplit && s.MasterColumns == 1 ? 60 : 12) : 0;
    s.Line = r.chance(25);
    s.Suppress = r.chance(25);
    s.Child = r.chance(30);
    s.KeepChild = s.Child && r.chance(50);
    const int groups = r.chance(50) ? 0 : r.range(1, 2);
    int groupSize = std::max(1, r.range(1, 12));
    for (int i = 0; i < groups; ++i) {
        Group g;
        g.Size = groupSize;
        groupSize = std::max(1, groupSize / r.range(1, 4));
        g.Keep = r.chance(30);
        g.Reprint = r.chance(40);
        g.NewPage = r.chance(15);
        g.ResetNumbers = g.NewPage && r.chance(50);
        g.Footer = r.chance(60);
        s.Groups.push_back(g);
    }
    s.DetailRows = s.MasterColumns == 1 && r.chance(25) ? r.range(1, 3) : 0;
    s.SubHost = r.chance(75) ? 0 : r.range(1, 3);
    if (s.SubHost == 2 && s.MasterColumns > 1) s.SubHost = 1;
    s.SubRecords = s.SubHost ? r.range(0, s.SubHost == 2 ? 4 : 40) : 0;
    if (s.SubHost == 2) s.Records = std::min(s.Records, 40);
    // A text that may not split stretches its band by about a line per few
    // words of its column's width.
    // (In a column narrower than a word each word takes several lines.)
    const double textWidth = (s.PaperWidth - 2 * s.Margin) * lyrUnitsPerMM / s.PageColumns / s.MasterColumns - 12;
    const double lines = textWidth >= 50 ? s.StretchWords / std::floor(textWidth / 50) + 2
                                         : s.StretchWords * std::ceil(50 / std::max(textWidth, 5.0)) + 2;
    const double stretch = s.MasterSplit && s.MasterColumns == 1 ? 0 : lines * 20;
    const double fixed = 3 * 20 + 2 * 24 + s.MasterHeight * (1 + s.DetailRows) + stretch + 20 + 5 * kLine;
    s.PaperHeight = std::max<double>(r.range(40, 200), fixed / lyrUnitsPerMM + 2 * s.Margin + 5);
    // Later options, off for zero bytes; a gate keeps many templates as
    // they were.
    auto maybe = [&](int percent) { return !r.chance(100 - percent); };
    if (maybe(70)) laterOptions(r, s, fixed);
    if (maybe(50)) pageTwoOptions(r, s, fixed);
    if (extended) newestOptions(r, s);
    if (extended && shapes) {
        const std::unique_ptr<Source> own = r.stream(71);
        shapeOptions(own ? *own : r, s);
    }
    return s;
}

// The shapes (in about half of the templates), combined with the options
// drawn before them; each keeps the page tall enough for what may not
// split.
inline void shapeOptions(Source &r, Plan &s)
{
    if (!r.chance(55)) return;
    auto maybe = [&](int percent) { return !r.chance(100 - percent); };
    double taller = 0;  // mm
    // Label sheets: records side by side, each as tall as its own text,
    // with page and column totals.
    if (maybe(30) && s.TallEvery == 0 && s.DetailRows == 0 && s.SubHost != 2 && s.SubHost != 5 && !s.CrossCols) {
        s.Labels = true;
        s.MasterColumns = r.range(2, 4);
        s.StretchWords = std::min(s.StretchWords, 12);
        if (maybe(50)) s.PageColumns = std::max(s.PageColumns, 2);
        if (maybe(60)) s.PageTotals = s.PageFooter = true;
        if (maybe(50)) s.ColumnTotals = s.ColumnFooter = true;
        if (s.SubHost == 2) s.SubHost = 1;
        // Labels at least a few words wide, and a page that holds the
        // tallest (its words and the record's stretching text).
        auto textWidth = [&] { return (s.PaperWidth - 2 * s.Margin) * lyrUnitsPerMM / s.PageColumns / s.MasterColumns - 12; };
        while (textWidth() < 60 && s.MasterColumns > 2) --s.MasterColumns;
        while (textWidth() < 60 && s.PageColumns > 1) --s.PageColumns;
        const double perLine = std::max(1.0, std::floor(textWidth() / 40));
        taller += (std::ceil((s.StretchWords + 11) / perLine) + 4) * 20 / lyrUnitsPerMM;
    }
    // Records hidden by the script, in kept blocks and under kept footers.
    if (maybe(40) && s.DetailRows == 0 && s.SubHost != 2 && s.SubHost != 5 && s.SubHost != 6) {
        s.HideRecords = r.range(2, 5);
        if (s.Script > 1) s.Script = 1;
        if (maybe(35)) s.KeepFooter = s.Footer = true;
        if (maybe(30)) s.KeepHeader = s.Header = true;
        if (maybe(25)) s.MasterKeep = true;
        for (Group &g : s.Groups)
            if (maybe(30)) g.Keep = true;
        if (maybe(40)) s.PageTotals = s.PageFooter = true;
        if (maybe(25)) s.ColumnTotals = s.ColumnFooter = true;
    }
    // Footers and a child band hidden by the script.
    if (maybe(40)) {
        int bits = 0;
        if (s.SubHost != 6 && maybe(60)) {
            bits |= 1;
            s.Footer = true;
            if (s.DetailRows == 0 && maybe(40)) s.FooterEach = true;
        }
        const bool groupFooters = std::any_of(s.Groups.begin(), s.Groups.end(), [](const Group &g) { return g.Footer; });
        if (groupFooters && maybe(70)) bits |= 2;
        if (s.ColumnFooter && maybe(60)) bits |= 4;
        if (s.PageFooter && maybe(60)) bits |= 8;
        if (s.Child && !s.ChildHidden && s.SubHost != 5 && maybe(50)) bits |= 16;
        s.HideBands = bits;
        if ((bits & 4) && maybe(50)) s.ColumnTotals = true;
        if ((bits & 8) && maybe(50)) s.PageTotals = true;
    }
    // Cross-tab columns in groups.
    if (!s.CrossCols && !s.Labels && s.SubHost != 2 && maybe(15)) {
        s.PageColumns = s.MasterColumns = 1;
        s.CrossCols = r.range(2, 20);
        s.CrossWidth = r.range(40, 90);
        s.Header = true;
        s.HeaderHidden = s.Suppress = s.Line = s.MasterSplit = false;
        s.TallEvery = 0;
        s.StretchWords = std::min(s.StretchWords, 4);
        s.HideBands &= ~16;
        s.CrossGroups = r.range(1, 5);
    } else if (s.CrossCols && maybe(70)) {
        s.CrossGroups = r.range(1, 5);
    }
    s.Aggregates = maybe(50);
    s.PlainText = maybe(30);
    s.PageExpr = maybe(35);
    if (s.Aggregates && maybe(40)) s.Summary = true;
    // A line more in each footer.
    if (s.Aggregates || s.PlainText) taller += 35;
    s.PaperHeight += taller;
}

// The options drawn after the later ones (in half of the templates).
inline void pageTwoOptions(Source &r, Plan &s, double fixed)
{
    auto maybe = [&](int percent) { return !r.chance(100 - percent); };
    s.Page2 = maybe(30);
    if (s.Page2) {
        s.Records2 = r.range(0, 30);
        s.OnPrevious = maybe(60);
        s.Reset2 = maybe(40);
        s.Title2 = maybe(40);
        s.Header2 = maybe(50);
        s.Footer2 = maybe(50);
        s.Summary2 = maybe(40);
    }
    if (s.DetailRows == 0 && s.MasterColumns == 1 && maybe(20)) {
        s.DetailRows = r.range(1, 3);
        // As if drawn with the others: room for a record and its rows.
        s.PaperHeight = std::max(s.PaperHeight, (fixed + s.MasterHeight * s.DetailRows + 3 * kLine + 20 * s.ChildChain) / lyrUnitsPerMM +
                                                        2 * s.Margin + 5);
    }
    s.DetailSet = s.DetailRows > 0 && maybe(60);
    s.DetailGroup = s.DetailSet && maybe(50);
    s.IfDetailEmpty = s.DetailSet && maybe(40);
    // A split band is cut to the column; records side by side are not.
    s.TallEvery = s.MasterColumns == 1 && !s.MasterSplit && maybe(15) ? r.range(1, 12) : 0;
}

// The newest options, drawn after all the others: each in at least one
// template of twenty.
inline void newestOptions(Source &r, Plan &s)
{
    auto maybe = [&](int percent) { return !r.chance(100 - percent); };
    const double height = s.PaperHeight;
    // Records whose text splits over pages, kept with a child band.
    if (s.MasterColumns == 1 && maybe(12)) {
        s.MasterSplit = s.Child = s.KeepChild = true;
        s.StretchWords = r.range(60, 400);
    }
    // Every few records one taller than an empty column, split or not.
    if (s.MasterColumns == 1 && s.TallEvery == 0 && maybe(18)) {
        s.TallEvery = r.range(1, 12);
        if (maybe(50)) s.MasterSplit = true;
    }
    // A print-on-parent subreport of up to hundreds of rows in a title, a
    // summary, the outer group header or the data footer.
    if (maybe(12)) {
        const int hosts[] = {1, 3, 4, 6};
        s.SubHost = hosts[r.range(0, 3)];
        if (s.SubHost == 4 && s.Groups.empty()) s.SubHost = 1;
        if (s.SubHost == 1) s.Title = true;
        if (s.SubHost == 3) s.Summary = true;
        if (s.SubHost == 6) s.Footer = true;
        s.SubPop = true;
        s.SubNested = false;
        s.PopStretch = maybe(70);
        // Each group or record runs it: fewer rows there.
        s.SubRecords = s.SubHost == 1 || s.SubHost == 3 ? r.range(10, 300) : r.range(5, 60);
        if (s.SubHost == 4 || s.SubHost == 6) s.Records = std::min(s.Records, 40);
    }
    s.TitleNewPage = maybe(10);
    if (s.TitleNewPage) s.Title = true;
    s.SummaryNewPage = maybe(10);
    if (s.SummaryNewPage) s.Summary = true;
    s.ChildNewPage = maybe(8);
    if (s.ChildNewPage) {
        s.Child = true;
        s.Records = std::min(s.Records, 30);
    }
    // A child band holding the subreport is drawn with the other options.
    if (s.SubHost == 5 && !s.Child) s.SubHost = 0, s.SubRecords = 0;
    s.PageTotals = maybe(15);
    if (s.PageTotals) s.PageFooter = true;
    s.ColumnTotals = maybe(15);
    if (s.ColumnTotals) s.ColumnFooter = true;
    // A report event sums like the engine (a suppressed repeat prepares its
    // band again, events and all).
    s.Script = !s.Suppress && maybe(20) ? r.range(1, 3) : 0;
    if (s.MasterColumns == 1 && maybe(10)) {
        if (s.DetailRows == 0) s.DetailRows = r.range(1, 3);
        s.DetailSet = true;
        s.SubDetailRows = r.range(1, 3);
        s.PaperHeight = std::max(s.PaperHeight, height + (s.MasterHeight + 3 * kLine) / lyrUnitsPerMM);
    }
    // Cells cross only a plain master band of one page column.
    if (s.SubHost != 2 && maybe(10)) {
        s.PageColumns = s.MasterColumns = 1;
        s.CrossCols = r.range(2, 20);
        s.CrossWidth = r.range(40, 90);
        s.Header = true;
        s.HeaderHidden = s.Suppress = s.Line = s.MasterSplit = false;
        s.TallEvery = 0;
        s.StretchWords = std::min(s.StretchWords, 4);
    }
}

// Options drawn after the first ones (70 of 100 templates have them).
inline void laterOptions(Source &r, Plan &s, double fixed)
{
    auto maybe = [&](int percent) { return !r.chance(100 - percent); };
    s.KeepHeader = maybe(20);
    s.KeepFooter = maybe(20);
    s.FooterEach = s.Footer && maybe(15);
    s.HeaderNewPage = s.Header && maybe(10);
    s.GroupSplit = !s.Groups.empty() && maybe(20);
    s.TitleSplit = maybe(15);
    s.ChildChain = s.Child && maybe(40) ? r.range(1, 2) : 0;
    s.ChildHidden = s.ChildChain > 0 && maybe(30);
    s.ChildSplit = s.Child && maybe(20);
    s.SplitWords = s.GroupSplit || s.TitleSplit || s.ChildSplit ? (maybe(50) ? r.range(1, 80) : r.range(1, 15)) : 0;
    s.HideSingle = maybe(20);
    s.DetailHeader = s.DetailRows > 0 && maybe(40);
    s.NoHeaderFirst = s.PageHeader && maybe(15);
    s.NoFooterFirst = s.PageFooter && maybe(15);
    s.NoFooterLast = s.PageFooter && maybe(15);
    if (maybe(35)) {
        const int host = r.range(1, 6);
        // A record's own band and child are as narrow as its column.
        const bool valid = ((host != 2 && host != 5) || s.MasterColumns == 1) && (host != 4 || !s.Groups.empty()) &&
                           (host != 5 || s.Child) && (host != 6 || s.Footer);
        if (valid) {
            s.SubHost = host;
            s.SubRecords = r.range(0, host == 1 || host == 3 ? 40 : 4);
            if (host != 1 && host != 3) s.Records = std::min(s.Records, 40);
        }
    }
    if (s.SubHost) {
        s.SubPop = maybe(35);
        // A band that grows by its subreport's rows stays within a page:
        // taller, it would print past the page's end, as the Part has it.
        if (s.SubPop && (s.SubHost == 1 || s.SubHost == 3)) s.SubRecords = std::min(s.SubRecords, 6);
        s.PopStretch = s.SubPop && maybe(60);
        s.SubSide = maybe(25);
        // A subreport printed on its parent runs no subreport of its own.
        s.SubNested = !s.SubPop && maybe(20);
    }
    if (s.SubHost == 5) s.ChildHidden = false;
    // Room for the split texts' first lines and the longer band chain.
    const double more = 3 * kLine + 20 * s.ChildChain + (s.DetailHeader ? 20 : 0);
    s.PaperHeight = std::max(s.PaperHeight, (fixed + more) / lyrUnitsPerMM + 2 * s.Margin + 5);
}

// The data of a template: the master rows (id, outer and inner group,
// value) and the subreport's rows.
struct Table {
    QStringList Fields;
    QList<QStringList> Rows;
    QString csv() const
    {
        QString out = Fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        for (const QStringList &r : Rows) out += r.join(QLatin1Char(',')) + QLatin1Char('\n');
        return out;
    }
};

inline QString recordId(int i)
{
    return QStringLiteral("r%1").arg(i, 4, 10, QLatin1Char('0'));
}

// An amount of record i, as text: half cents, whole numbers, numbers
// that compare otherwise as text than as numbers.
inline QString amountOf(int i)
{
    static const char *const amounts[] = {"1.005", "2.675", "10.235", "0.015", "8.345", "9.5",  "10",    "100",
                                          "25",    "-1.005", "0.125", "1234.565", "3",   "-2.675", "0.995"};
    return QString::fromLatin1(amounts[(i * 5 + 1) % 15]);
}

// The text of label i: as many short words as the plan gives it.
inline QString labelText(const Plan &s, int i)
{
    QStringList words;
    for (int k = 0; k < s.labelWords(i); ++k) words << QStringLiteral("lb%1").arg(k);
    return words.join(QLatin1Char(' '));
}

inline Table masterTable(const Plan &s)
{
    Table t{{"id", "g1", "g2", "v", "t"}, {}};
    if (s.Aggregates) t.Fields << QStringLiteral("a");
    if (s.Labels) t.Fields << QStringLiteral("w");
    const int outer = s.Groups.empty() ? 1 : s.Groups[0].Size;
    const int inner = s.Groups.size() > 1 ? s.Groups[1].Size : 1;
    // A tall record's text has a line for every ten units of the page's
    // height (a word takes less than 40 units, a line more than ten): its
    // band is always taller than the page.
    const int perLine = int(std::ceil(s.columnWidth() / 40));
    QStringList tall;
    if (s.TallEvery > 0)
        for (int i = 0; i < (int(s.pageHeight() / 10) + 4) * perLine; ++i) tall << QStringLiteral("tall%1").arg(i);
    for (int i = 0; i < s.Records; ++i) {
        const QString g1 = QStringLiteral("a%1").arg(i / outer);
        t.Rows << QStringList{recordId(i), g1, g1 + QStringLiteral("b%1").arg(i / inner), QString::number(Plan::valueOf(i)),
                              s.isTall(i) ? tall.join(QLatin1Char(' ')) : QString()};
        if (s.Aggregates) t.Rows.last() << amountOf(i);
        if (s.Labels) t.Rows.last() << labelText(s, i);
    }
    return t;
}

// The rows of the detail band, by record: the record's id, the row's id,
// its group.
inline Table detailTable(const Plan &s)
{
    Table t{{"m", "id", "dg"}, {}};
    if (!s.DetailSet) return t;
    for (int i = 0; i < s.Records; ++i)
        for (int k = 0; k < s.detailCount(i); ++k)
            t.Rows << QStringList{recordId(i), QStringLiteral("d%1").arg(k), QStringLiteral("x%1").arg(k / 2)};
    return t;
}

// The second report page's rows.
inline Table secondTable(const Plan &s)
{
    Table t{{"id"}, {}};
    for (int i = 0; i < s.Records2; ++i) t.Rows << QStringList{QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0'))};
    return t;
}

// The cross-tab's columns.
inline Table crossTable(const Plan &s)
{
    Table t{{"id"}, {}};
    if (s.CrossGroups) t.Fields << QStringLiteral("q");
    for (int i = 0; i < s.CrossCols; ++i) {
        t.Rows << QStringList{QStringLiteral("v%1").arg(i, 2, 10, QLatin1Char('0'))};
        if (s.CrossGroups) t.Rows.last() << QStringLiteral("Q%1").arg(i / s.CrossGroups);
    }
    return t;
}

inline Table subTable(const Plan &s)
{
    Table t{{"id"}, {}};
    for (int i = 0; i < s.SubRecords; ++i) t.Rows << QStringList{QStringLiteral("s%1").arg(i)};
    return t;
}

// The rows of a subreport nested in the subreport: two per sub-record.
inline Table nestTable()
{
    return {{"id"}, {{"n0"}, {"n1"}}};
}

// A user dataset over a table, as lyrrun gives CSV files. Given the master
// table and its row, it holds only the rows whose first field is that
// row's id.
inline TlyrUserDataSet *tableDataSet(QObject *owner, const QString &name, const Table *t,
                                     std::shared_ptr<int> *position = nullptr, const Table *master = nullptr,
                                     std::shared_ptr<int> masterRow = {})
{
    auto *ds = new TlyrUserDataSet(owner);
    ds->SetName(name);
    ds->SetFields(t->Fields);
    auto pos = std::make_shared<int>(0);
    if (position) *position = pos;
    auto outside = [pos, t, master, masterRow] {
        if (*pos >= t->Rows.size()) return true;
        if (!master) return false;
        return *masterRow >= master->Rows.size() || t->Rows[*pos][0] != master->Rows[*masterRow][0];
    };
    ds->OnFirst = [pos, t, master, masterRow](TlyrDataSet *) {
        *pos = 0;
        if (master && *masterRow < master->Rows.size())
            while (*pos < t->Rows.size() && t->Rows[*pos][0] != master->Rows[*masterRow][0]) ++*pos;
    };
    ds->OnNext = [pos](TlyrDataSet *) { ++*pos; };
    ds->OnPrior = [pos](TlyrDataSet *) { *pos = std::max(*pos - 1, 0); };
    ds->OnCheckEOF = [outside](TlyrDataSet *, bool &eof) { eof = outside(); };
    ds->OnGetValue = [pos, t](const QString &f, KsValue &v) {
        const qsizetype col = t->Fields.indexOf(f);
        if (*pos < t->Rows.size() && col >= 0) v = KsValue(t->Rows[*pos][col]);
    };
    return ds;
}

// A built template with its data; the datasets belong to the keeper, not to
// the report (a run restores the template, which would remake them).
struct Built {
    Plan S;
    Table Master, Sub, Nest = nestTable(), Detail, Second, Cross;
    std::unique_ptr<QObject> Keeper = std::make_unique<QObject>();
    std::unique_ptr<TlyrReport> Report;
    ~Built()
    {
        if (Report) Report->setParent(nullptr);
        Report.reset();
    }
    TlyrPreviewPages &pages() { return *static_cast<TlyrPreviewPages *>(Report->PreviewPages()); }
};

class Builder {
public:
    Builder(Built &b, bool withData) : b_(b), r_(b.Report.get()), withData_(withData) {}

    void build()
    {
        const Plan &s = b_.S;
        r_->EngineOptions()->SetDoublePass(s.DoublePass);
        if (withData_) {
            std::shared_ptr<int> row;
            m_ = tableDataSet(b_.Keeper.get(), QStringLiteral("M"), &b_.Master, &row);
            r_->Datasets()->Add(m_);
            if (s.DetailSet) {
                d_ = tableDataSet(b_.Keeper.get(), QStringLiteral("D"), &b_.Detail, nullptr, &b_.Master, row);
                r_->Datasets()->Add(d_);
            }
            if (s.Page2) {
                p_ = tableDataSet(b_.Keeper.get(), QStringLiteral("P"), &b_.Second);
                r_->Datasets()->Add(p_);
            }
            if (s.SubHost) {
                sub_ = tableDataSet(b_.Keeper.get(), QStringLiteral("S"), &b_.Sub);
                r_->Datasets()->Add(sub_);
            }
            if (s.SubHost && s.SubSide) {
                side_ = tableDataSet(b_.Keeper.get(), QStringLiteral("T"), &b_.Sub);
                r_->Datasets()->Add(side_);
            }
            if (s.SubHost && s.SubNested) {
                nest_ = tableDataSet(b_.Keeper.get(), QStringLiteral("N"), &b_.Nest);
                r_->Datasets()->Add(nest_);
            }
            if (s.CrossCols) {
                cross_ = tableDataSet(b_.Keeper.get(), QStringLiteral("V"), &b_.Cross);
                r_->Datasets()->Add(cross_);
            }
        }
        if (s.Script || s.HideRecords || s.HideBands) script();
        page_ = newPage(QStringLiteral("Page1"));
        if (s.Script) page_->OnBeforePrint = QStringLiteral("StartList");
        page_->TitleBeforeHeader = s.TitleFirst;
        page_->SetColumns(s.PageColumns);
        const double room = s.columnWidth() - 4;
        const double wide = s.pageWidth() - 4;
        double top = 0;
        auto next = [&] { return top += kBandGap; };
        if (s.Title) {
            auto *t = band<TlyrReportTitle>(page_, "Title1", next(), 24);
            host(t, 1, "t");
            t->SetStartNewPage(s.TitleNewPage);
        }
        if (s.PageHeader) {
            auto *ph = band<TlyrPageHeader>(page_, "PageHeader1", next(), 20);
            ph->PrintOnFirstPage = !s.NoHeaderFirst;
            named(ph, wide);
        }
        if (s.ColumnHeader) named(band<TlyrColumnHeader>(page_, "ColumnHeader1", next(), 16), room);
        TlyrHeader *header = nullptr;
        if (s.Header) {
            header = band<TlyrHeader>(page_, "Header1", next(), 20);
            header->ReprintOnNewPage = s.HeaderReprint;
            header->SetStartNewPage(s.HeaderNewPage);
            named(header, s.CrossCols ? kCrossLeft - 4 : room);
            if (s.CrossCols) {
                memo(header, QStringLiteral("|"), kCrossLeft, 0, 16, kLine);
                memo(header, QStringLiteral("xt:[V.\"id\"] @[Page#]"), crossData(), 0, s.CrossWidth - 4, kLine);
                if (s.CrossGroups) {
                    memo(header, QStringLiteral("xgh:[V.\"q\"]"), kCrossLeft + 20, 0, kCrossGroupHeader - 4, kLine);
                    memo(header, QStringLiteral("xgf:[V.\"q\"]"), crossData() + s.CrossWidth, 0, kCrossGroupFooter - 4, kLine);
                }
            }
            if (s.HeaderHidden) {
                header->SetVisible(false);
                header->SetPrintChildIfInvisible(true);
                header->SetChild(child("Child2", 16));
            }
        }
        for (size_t i = 0; i < s.Groups.size(); ++i) {
            const Group &g = s.Groups[i];
            const QString n = QString::number(i + 1);
            auto *gh = band<TlyrGroupHeader>(page_, "GroupHeader" + n, next(), 20);
            gh->Condition = QStringLiteral("M.\"g%1\"").arg(n);
            gh->KeepTogether = g.Keep;
            gh->ReprintOnNewPage = g.Reprint;
            gh->SetStartNewPage(g.NewPage);
            gh->ResetPageNumbers = g.ResetNumbers;
            const bool sub = i == 0 && s.SubHost == 4;
            memo(gh, QStringLiteral("gh%1:[M.\"g%1\"] @[Page#]").arg(n) + pageExpressions(), 0, 0, sub ? s.hostRoom(true) : room, 16);
            if (i == 0 && s.GroupSplit) splitText(gh, sub ? s.hostRoom(true) : room);
            if (sub) subreport(gh, QStringLiteral("g[M.\"g1\"]."));
        }
        master_ = band<TlyrMasterData>(page_, "MasterData1", next(), s.MasterHeight);
        if (m_) master_->SetDataSet(m_);
        master_->SetDataSetName(QStringLiteral("M"));
        master_->SetKeepTogether(s.MasterKeep);
        master_->SetStartNewPage(s.MasterNewPage);
        master_->SetAllowSplit(s.MasterSplit);
        master_->SetStretched(s.StretchWords > 0 || s.TallEvery > 0 || (s.SubHost == 2 && s.PopStretch));
        master_->SetPrintIfDetailEmpty(s.IfDetailEmpty);
        master_->SetKeepHeader(s.KeepHeader);
        master_->SetKeepFooter(s.KeepFooter);
        master_->SetFooterAfterEach(s.FooterEach);
        if (s.MasterColumns > 1) {
            master_->SetColumns(s.MasterColumns);
            master_->SetColumnWidth(std::floor(s.columnWidth() / s.MasterColumns) - 4);
            master_->SetColumnGap(4);
        }
        const double w = std::min({s.hostRoom(s.SubHost == 2), s.columnWidth() / s.MasterColumns - 6,
                                   s.CrossCols ? kCrossLeft - 4 : 1e9});
        // Amounts with half cents, to two decimals three ways.
        const QString amounts = s.Aggregates ? QStringLiteral(" amt:[<M.\"a\"> #n%2.2f]|[FormatFloat('0.00', StrToFloat(<M.\"a\">))]|"
                                                              "[Format('%.2f', [StrToFloat(<M.\"a\">)])]")
                                             : QString();
        TlyrMemoView *rec = memo(master_, QStringLiteral("rec:M:[M.\"id\"] @[Page#] L[Page]") + pageExpressions() + amounts, 0, 0,
                                 w * (s.Suppress ? 0.6 : 1), kLine);
        if (s.Script == 1) master_->SetOnBeforePrint(QStringLiteral("CountRecord"));
        if (s.HideRecords) master_->SetOnBeforePrint(QStringLiteral("HideRecord"));
        if (s.Script == 2) rec->SetOnBeforePrint(QStringLiteral("CountRecord"));
        if (s.Script == 3) rec->SetOnAfterData(QStringLiteral("CountRecord"));
        if (s.CrossCols) {
            memo(master_, QStringLiteral("|"), kCrossLeft, 0, 16, kLine);
            memo(master_, QStringLiteral("x:[M.\"id\"]:[V.\"id\"] @[Page#]"), crossData(), 0, s.CrossWidth - 4, kLine);
            auto *vh = band<TlyrHeader>(page_, "VHeader1", 0, 200);
            vh->SetVertical(true);
            vh->SetLeft(kCrossLeft);
            vh->SetWidth(20);
            auto *vd = band<TlyrMasterData>(page_, "VData1", 0, 200);
            vd->SetVertical(true);
            vd->SetLeft(crossData());
            vd->SetWidth(s.CrossWidth);
            if (cross_) vd->SetDataSet(cross_);
            vd->SetDataSetName(QStringLiteral("V"));
            if (s.CrossGroups) {
                // Each group's columns between its header and its footer,
                // which shows the group in every row.
                memo(master_, QStringLiteral("q:[M.\"id\"]:[V.\"q\"] @[Page#]"), crossData() + s.CrossWidth, 0,
                     kCrossGroupFooter - 4, kLine);
                auto *vg = band<TlyrGroupHeader>(page_, "VGroupHeader1", 0, 200);
                vg->SetVertical(true);
                vg->SetLeft(kCrossLeft + 20);
                vg->SetWidth(kCrossGroupHeader);
                vg->Condition = QStringLiteral("V.\"q\"");
                auto *vf = band<TlyrGroupFooter>(page_, "VGroupFooter1", 0, 200);
                vf->SetVertical(true);
                vf->SetLeft(crossData() + s.CrossWidth);
                vf->SetWidth(kCrossGroupFooter);
            }
        }
        if (s.Suppress) {
            auto *m = memo(master_, QStringLiteral("sup:[M.\"g1\"]"), w * 0.6, 0, w * 0.4, kLine);
            m->SetSuppressRepeated(true);
        }
        if (s.StretchWords > 0) {
            QStringList words;
            for (int i = 0; i < s.StretchWords; ++i) words << QStringLiteral("word%1").arg(i);
            auto *m = memo(master_, words.join(QLatin1Char(' ')), 0, kLine, s.Line ? w - 6 : w,
                           std::max(kLine, s.MasterHeight - kLine));
            m->SetStretchMode(smActualHeight);
            m->SetWordWrap(true);
        }
        if (s.Labels) {
            // Below the stretching text, which pushes it down.
            const double top = s.StretchWords > 0 ? std::max(2 * kLine, s.MasterHeight) : kLine;
            auto *m = memo(master_, QStringLiteral("[M.\"w\"]"), 0, top, s.Line ? w - 6 : w, kLine);
            m->SetStretchMode(smActualHeight);
            m->SetWordWrap(true);
            master_->SetStretched(true);
        }
        if (s.TallEvery > 0) {
            // Below the stretching text, which pushes it down.
            const double top = s.StretchWords > 0 ? std::max(2 * kLine, s.MasterHeight) : kLine;
            auto *m = memo(master_, QStringLiteral("[M.\"t\"]"), 0, top, s.Line ? w - 6 : w, kLine);
            m->SetStretchMode(smActualHeight);
            m->SetWordWrap(true);
        }
        if (s.Line) {
            auto *line = new TlyrLineView(r_);
            line->SetName(QStringLiteral("Line1"));
            line->SetParent(master_);
            line->SetBounds(w - 2, 0, 0, s.MasterHeight);
            line->SetStretchMode(smMaxHeight);
        }
        if (s.SubHost == 2) subreport(master_, QStringLiteral("[M.\"id\"]."));
        if (s.Child) {
            TlyrChild *first = child("Child1", 16, s.SubHost == 5 ? std::min(w, s.hostRoom(true)) : w);
            master_->SetChild(first);
            master_->SetKeepChild(s.KeepChild);
            first->SetStartNewPage(s.ChildNewPage);
            if (s.HideBands & 16) first->SetOnBeforePrint(QStringLiteral("HideChild"));
            if (s.SubHost == 5) subreport(first, QStringLiteral("c[M.\"id\"]."));
            if (s.ChildHidden) {
                first->SetVisible(false);
                first->SetPrintChildIfInvisible(true);
            }
            TlyrChild *last = first;
            for (int i = 0; i < s.ChildChain; ++i) {
                TlyrChild *c = child(QStringLiteral("Child%1").arg(i + 3), 16, w);
                last->SetChild(c);
                last = c;
            }
            if (s.ChildSplit) splitText(last, last == first && s.SubHost == 5 ? std::min(w, s.hostRoom(true)) : w);
        }
        if (s.DetailRows > 0) {
            if (s.DetailHeader)
                memo(band<TlyrHeader>(page_, "DetailHeader1", next(), 16), QStringLiteral("dh:[M.\"id\"] @[Page#]"), 0,
                     0, room, kLine);
            const QString group = QStringLiteral("[M.\"id\"].[D.\"dg\"] @[Page#]");
            if (s.DetailGroup) {
                auto *g = band<TlyrGroupHeader>(page_, "DetailGroupHeader1", next(), 16);
                g->Condition = QStringLiteral("D.\"dg\"");
                memo(g, "dgh:" + group, 0, 0, room, kLine);
            }
            auto *d = band<TlyrDetailData>(page_, "DetailData1", next(), 16);
            if (s.DetailSet) {
                if (d_) d->SetDataSet(d_);
                d->SetDataSetName(QStringLiteral("D"));
            } else {
                d->SetRowCount(s.DetailRows);
            }
            d->SetKeepHeader(s.KeepHeader);
            d->SetKeepFooter(s.KeepFooter);
            memo(d, s.DetailSet ? QStringLiteral("rec:D:[M.\"id\"].[D.\"id\"] @[Page#]") : QStringLiteral("rec:D:[M.\"id\"].[Line] @[Page#]"),
                 0, 0, room, kLine);
        }
        const QString totals = QStringLiteral("S[SUM(<M.\"v\">)]:C[COUNT(MasterData1)]");
        if (s.Footer) {
            auto *f = band<TlyrFooter>(page_, "Footer1", next(), 20);
            // Script totals where the footer closes the whole list.
            const QString sc = s.Script && s.DetailRows == 0 && !s.FooterEach ? QStringLiteral(" sc:[ScS]:[ScC]") : QString();
            // The record it follows, for a footer after each.
            const QString record = s.shapes() ? QStringLiteral(" fid:[M.\"id\"]") : QString();
            memo(f, "ftr:" + totals + sc + record + " @[Page#]" + pageExpressions(), 0, 0, s.SubHost == 6 ? s.hostRoom(true) : room, 16);
            if (s.SubHost == 6) subreport(f, QStringLiteral("f[M.\"id\"]."));
            if (s.HideBands & 1) f->SetOnBeforePrint(QStringLiteral("HideFooter"));
            moreTotals(f, s.SubHost == 6 ? s.hostRoom(true) : room, true);
        }
        if (s.DetailRows > 0 && s.DetailGroup)
            memo(band<TlyrGroupFooter>(page_, "DetailGroupFooter1", next(), 16),
                 QStringLiteral("dgf:[M.\"id\"].[D.\"dg\"] @[Page#]"), 0, 0, room, kLine);
        // Below the footers, which stay the detail band's.
        if (s.DetailRows > 0 && s.SubDetailRows > 0 && s.DetailSet) {
            auto *e = band<TlyrSubdetailData>(page_, "SubdetailData1", next(), 16);
            e->SetRowCount(s.SubDetailRows);
            memo(e, QStringLiteral("rec:E:[M.\"id\"].[D.\"id\"].[Line] @[Page#]"), 0, 0, room, kLine);
        }
        // Footers pair with the nearest header above them, from the inside
        // out: so many footers belong to so many innermost groups.
        const auto footers = std::count_if(s.Groups.begin(), s.Groups.end(), [](const Group &g) { return g.Footer; });
        for (size_t i = s.Groups.size(); i-- > s.Groups.size() - size_t(footers);) {
            const QString n = QString::number(i + 1);
            auto *gf = band<TlyrGroupFooter>(page_, "GroupFooter" + n, next(), 20);
            gf->HideIfSingleDataRecord = s.HideSingle;
            // A footer left out for a single record would not start the
            // next group's script totals.
            // (Nor would one the script hides.)
            const bool sc = s.Script && !s.HideSingle && !(s.HideBands & 2);
            if (sc) gf->SetOnAfterPrint(QStringLiteral("EndGroup") + n);
            if (s.HideBands & 2) gf->SetOnBeforePrint(QStringLiteral("HideGroup") + n);
            memo(gf, QStringLiteral("gf%1:[M.\"g%1\"]:").arg(n) + totals + (sc ? QStringLiteral(" sc:[G%1S]:[G%1C]").arg(n) : QString()) + " @[Page#]" + pageExpressions(), 0, 0, room, 16);
            if (i == 0 && s.GroupSplit) splitText(gf, room);
            moreTotals(gf, room, true);
        }
        if (s.Summary) {
            auto *z = band<TlyrReportSummary>(page_, "Summary1", next(), 24);
            // The subreport's rows counted by the script, unless the summary
            // runs them after its text.
            const QString sc = !s.Script ? QString() : s.SubHost && s.SubHost != 3 ? QStringLiteral(" sc:[ScS]:[ScC] sb:[SbC]") : QStringLiteral(" sc:[ScS]:[ScC]");
            host(z, 3, "z", "sum:" + totals + sc);
            z->SetStartNewPage(s.SummaryNewPage);
            moreTotals(z, s.hostRoom(s.SubHost == 3), true);
        }
        if (s.ColumnFooter) {
            auto *cf = band<TlyrColumnFooter>(page_, "ColumnFooter1", next(), 16);
            named(cf, room, s.ColumnTotals ? QStringLiteral(" cf:") + totals : QString());
            if (s.HideBands & 4) cf->SetOnBeforePrint(QStringLiteral("HideColumnFooter"));
            if (s.ColumnTotals) moreTotals(cf, room, false);
        }
        if (s.PageFooter) {
            auto *pf = band<TlyrPageFooter>(page_, "PageFooter1", next(), 20);
            // Logical numbers restart with groups; without, the total is the
            // page count of the first pass.
            const bool resets = s.Reset2 || std::any_of(s.Groups.begin(), s.Groups.end(), [](const Group &g) { return g.ResetNumbers; });
            named(pf, wide, (s.DoublePass && !resets ? QStringLiteral(" T=[TotalPages]") : QString()) +
                                    (s.PageTotals ? QStringLiteral(" pt:") + totals : QString()));
            pf->PrintOnFirstPage = !s.NoFooterFirst;
            pf->PrintOnLastPage = !s.NoFooterLast;
            if (s.HideBands & 8) pf->SetOnBeforePrint(QStringLiteral("HidePageFooter"));
            if (s.PageTotals) moreTotals(pf, wide, false);
        }
        if (s.Overlay) {
            auto *ov = band<TlyrOverlay>(page_, "Overlay1", next(), 30);
            ov->PrintOnTop = s.Overlay == 2;
            named(ov, wide);
        }
        if (s.Page2) secondPage();
    }

private:
    // Script variables that count the records and sum their values, over
    // the whole list and by group, and count the subreport's rows.
    void script()
    {
        r_->SetScriptText({QStringLiteral("var ScC, ScS, SbC, G1C, G1S, G2C, G2S: Integer;"),
                           QStringLiteral("procedure CountRecord(Sender: TObject);"), QStringLiteral("begin"),
                           QStringLiteral("  ScC := ScC + 1; ScS := ScS + StrToInt(<M.\"v\">);"),
                           QStringLiteral("  G1C := G1C + 1; G1S := G1S + StrToInt(<M.\"v\">);"),
                           QStringLiteral("  G2C := G2C + 1; G2S := G2S + StrToInt(<M.\"v\">);"), QStringLiteral("end;"),
                           QStringLiteral("procedure CountSub(Sender: TObject);"), QStringLiteral("begin SbC := SbC + 1; end;"),
                           QStringLiteral("procedure EndGroup1(Sender: TObject);"), QStringLiteral("begin G1C := 0; G1S := 0; end;"),
                           QStringLiteral("procedure EndGroup2(Sender: TObject);"), QStringLiteral("begin G2C := 0; G2S := 0; end;"),
                           QStringLiteral("procedure StartList(Sender: TObject);"),
                           QStringLiteral("begin ScC := 0; ScS := 0; SbC := 0; G1C := 0; G1S := 0; G2C := 0; G2S := 0; end;")});
        const Plan &s = b_.S;
        QStringList more;
        if (s.HideRecords || s.HideBands)
            // The record's value; -1 past the last record.
            more << QStringLiteral("function RecValue: Integer;") << QStringLiteral("var t: String;") << QStringLiteral("begin")
                 << QStringLiteral("  t := VarToStr(<M.\"v\">);") << QStringLiteral("  if t = '' then Result := -1 else Result := StrToInt(t);")
                 << QStringLiteral("end;");
        if (s.HideRecords)
            more << QStringLiteral("procedure HideRecord(Sender: TObject);") << QStringLiteral("begin")
                 << QStringLiteral("  MasterData1.Visible := RecValue mod %1 <> 0;").arg(s.HideRecords)
                 << (s.Script == 1 ? QStringLiteral("  if MasterData1.Visible then CountRecord(Sender);") : QString())
                 << QStringLiteral("end;");
        // Only for bands the template has (a reduced line may lack them).
        const auto footers = std::count_if(s.Groups.begin(), s.Groups.end(), [](const Group &g) { return g.Footer; });
        const std::tuple<int, bool, const char *> hides[] = {
                {1, s.Footer, "procedure HideFooter(Sender: TObject); begin Footer1.Visible := RecValue mod 3 <> 1; end;"},
                {2, size_t(footers) == s.Groups.size() && footers > 0,
                 "procedure HideGroup1(Sender: TObject); begin GroupFooter1.Visible := RecValue mod 3 <> 2; end;"},
                {2, s.Groups.size() > 1 && footers > 0,
                 "procedure HideGroup2(Sender: TObject); begin GroupFooter2.Visible := RecValue mod 3 <> 1; end;"},
                {4, s.ColumnFooter, "procedure HideColumnFooter(Sender: TObject); begin ColumnFooter1.Visible := RecValue mod 2 = 0; end;"},
                {8, s.PageFooter, "procedure HidePageFooter(Sender: TObject); begin PageFooter1.Visible := RecValue mod 2 = 1; end;"},
                {16, s.Child, "procedure HideChild(Sender: TObject); begin Child1.Visible := RecValue mod 2 = 0; end;"}};
        for (const auto &[bit, exists, text] : hides)
            if ((s.HideBands & bit) && exists) more << QString::fromLatin1(text);
        more << QStringLiteral("begin") << QStringLiteral("end.");
        r_->SetScriptText(r_->ScriptText() + more);
    }
    // Page numbers through expressions and formats, read like "@[Page#]".
    QString pageExpressions() const
    {
        return b_.S.PageExpr ? QStringLiteral(" @[Page# #n%d] @[<Page#> + 0] pg:[IIF(<Page#> > 1, 'later', 'first')]") : QString();
    }
    // Where a cross-tab's data columns begin.
    double crossData() const { return kCrossLeft + 20 + (b_.S.CrossGroups ? kCrossGroupHeader : 0); }
    // A line under a footer's totals: MIN, MAX, AVG and amounts to two
    // decimals; in data and group footers and the summary, texts that only
    // look like calls.
    void moreTotals(TlyrBand *b, double width, bool texts)
    {
        const Plan &s = b_.S;
        QString text;
        if (s.PlainText && texts)
            text += QStringLiteral("Sum (RMB) [IIF(1 > 0, 'sum(x)', 'max(y)')] Max (per row): avg (mean) ");
        if (s.Aggregates)
            text += QStringLiteral("ag:N[MIN(<M.\"v\">)]:X[MAX(<M.\"v\">)]:A[AVG(<M.\"v\">) #n%2.2f]:n[MIN(<M.\"a\">)]:"
                                   "x[MAX(<M.\"a\">)]:s[SUM(<M.\"a\">) #n%2.2f]:p[SUM(<M.\"a\">) #n#0.00]");
        if (text.isEmpty()) return;
        memo(b, text.trimmed(), 0, b->Height() + 2, width, kLine);
        b->SetHeight(b->Height() + kLine + 4);
    }
    // A report page after the first, in one column, listing the rows of P.
    void secondPage()
    {
        const Plan &s = b_.S;
        TlyrReportPage *p = newPage(QStringLiteral("Page2"));
        p->PrintOnPreviousPage = s.OnPrevious;
        p->ResetPageNumbers = s.Reset2;
        const double wide = s.pageWidth() - 4;
        double top = 0;
        auto next = [&] { return top += kBandGap; };
        if (s.Title2) named(band<TlyrReportTitle>(p, "Title2", next(), 20), wide);
        if (s.Header2) named(band<TlyrPageHeader>(p, "PageHeader2", next(), 20), wide);
        auto *d = band<TlyrMasterData>(p, "MasterData2", next(), 20);
        if (p_) d->SetDataSet(p_);
        d->SetDataSetName(QStringLiteral("P"));
        memo(d, QStringLiteral("rec:P:[P.\"id\"] @[Page#] L[Page]"), 0, 0, wide, kLine);
        if (s.Summary2) named(band<TlyrReportSummary>(p, "Summary2", next(), 20), wide);
        if (s.Footer2) named(band<TlyrPageFooter>(p, "PageFooter2", next(), 20), wide);
    }
    TlyrReportPage *newPage(const QString &name)
    {
        const Plan &s = b_.S;
        auto *p = new TlyrReportPage(r_);
        p->SetName(name);
        p->SetParent(r_);
        p->SetPaperSize(lyrCustomPaper);
        p->SetPaperWidth(s.PaperWidth);
        p->SetPaperHeight(s.PaperHeight);
        p->SetLeftMargin(s.Margin);
        p->SetRightMargin(s.Margin);
        p->SetTopMargin(s.Margin);
        p->SetBottomMargin(s.Margin);
        return p;
    }
    template <class B>
    B *band(TlyrReportPage *p, const QString &name, double top, double height)
    {
        auto *b = new B(r_);
        b->SetName(name);
        b->SetParent(p);
        b->SetTop(top);
        b->SetHeight(height);
        return b;
    }
    TlyrMemoView *memo(TlyrBand *b, const QString &text, double left, double top, double width, double height)
    {
        auto *m = new TlyrMemoView(r_);
        m->SetName(QStringLiteral("Memo%1").arg(++memos_));
        m->SetParent(b);
        m->SetBounds(left, top, width, height);
        m->SetText(text);
        // One line each, however narrow: a split band cuts only texts
        // that need more lines.
        m->SetWordWrap(false);
        return m;
    }
    // A band that shows its name and the page it is printed on.
    void named(TlyrBand *b, double width, const QString &more = {})
    {
        memo(b, b->Name() + QStringLiteral(" @[Page#]") + more, 0, 0, width, std::min(kLine, b->Height()));
    }
    TlyrChild *child(const QString &name, double height, double width = 0)
    {
        auto *c = band<TlyrChild>(page_, name, 1000 + 40 * ++children_, height);
        named(c, width > 0 ? width : b_.S.columnWidth() - 4);
        return c;
    }
    // A title or summary, holding the subreport when it is its host.
    void host(TlyrBand *b, int which, const QString &tag, const QString &text = {})
    {
        const bool sub = b_.S.SubHost == which;
        memo(b, b->Name() + QLatin1Char(' ') + text + QStringLiteral(" @[Page#]"), 0, 0, b_.S.hostRoom(sub), kLine);
        if (b_.S.TitleSplit) splitText(b, b_.S.hostRoom(sub));
        if (sub && b_.S.PopStretch) b->SetStretched(true);
        if (sub) subreport(b, tag + QLatin1Char('.'));
    }
    // The subreport of band b (and the one beside it), listing the sub
    // rows as "rec:S:<tag><id>".
    void subreport(TlyrBand *b, const QString &tag)
    {
        const Plan &s = b_.S;
        const double room = s.columnWidth() - s.subLeft() - 2;
        const double width = s.SubSide ? std::floor(room / 2) : room;
        TlyrBand *d = subPage(b, 1, s.subLeft(), width, sub_, QStringLiteral("S"), tag);
        if (s.SubSide) subPage(b, 2, s.subLeft() + width, width, side_, QStringLiteral("T"), tag);
        // Below its host's line: the nested rows follow each sub-record.
        if (s.SubNested) subPage(d, 3, 0, width, nest_, QStringLiteral("N"), tag + QStringLiteral("[S.\"id\"]."), 18);
        if (s.Script) d->SetOnBeforePrint(QStringLiteral("CountSub"));
    }
    // A subreport object in b at left, of that width, on a page of its own
    // listing ds; returns that page's data band.
    TlyrBand *subPage(TlyrBand *b, int n, double left, double width, TlyrDataSet *ds, const QString &name,
                      const QString &tag, double top = 2)
    {
        TlyrReportPage *p = newPage(QStringLiteral("SubPage%1").arg(n));
        auto *o = new TlyrSubreport(r_);
        o->SetName(QStringLiteral("Subreport%1").arg(n));
        o->SetParent(b);
        o->SetBounds(left, top, width, 16);
        o->SetSubPage(p);
        o->SetPrintOnParent(b_.S.SubPop);
        auto *d = band<TlyrMasterData>(p, QStringLiteral("SubData%1").arg(n), 40, 18);
        if (ds) d->SetDataSet(ds);
        d->SetDataSetName(name);
        memo(d, "rec:" + name + ":" + tag + QStringLiteral("[%1.\"id\"] @[Page#]").arg(name), 0, 0, width - 4, kLine);
        return d;
    }
    // A text of SplitWords words under the band's first line, which the
    // band stretches to and may split.
    void splitText(TlyrBand *b, double width)
    {
        QStringList words;
        for (int i = 0; i < b_.S.SplitWords; ++i) words << QStringLiteral("part%1").arg(i);
        auto *m = memo(b, words.join(QLatin1Char(' ')), 0, kLine + 2, width, kLine);
        m->SetStretchMode(smActualHeight);
        m->SetWordWrap(true);
        b->SetHeight(std::max(b->Height(), 2 * kLine + 4));
        b->SetAllowSplit(true);
        b->SetStretched(true);
    }

    Built &b_;
    TlyrReport *r_;
    bool withData_;
    TlyrReportPage *page_ = nullptr;
    TlyrMasterData *master_ = nullptr;
    TlyrUserDataSet *m_ = nullptr, *sub_ = nullptr, *side_ = nullptr, *nest_ = nullptr, *d_ = nullptr, *p_ = nullptr,
                    *cross_ = nullptr;
    int memos_ = 0, children_ = 0;
};

inline std::unique_ptr<Built> build(const Plan &s, bool withData = true)
{
    auto b = std::make_unique<Built>();
    b->S = s;
    b->Master = masterTable(s);
    b->Sub = subTable(s);
    b->Detail = detailTable(s);
    b->Second = secondTable(s);
    b->Cross = crossTable(s);
    b->Report = std::make_unique<TlyrReport>();
    b->Report->setParent(b->Keeper.get());
    b->Report->EngineOptions()->SetNewSilentMode(simSilent);
    Builder(*b, withData).build();
    return b;
}

// ---------------------------------------------------------------- checking

struct Failure {
    QString Kind;  // the rule broken, for counting and reducing
    QString Text;
};

// One band as printed: where, how large, the span of its objects and their
// texts.
// One object as printed, on its page.
struct PrintedObject {
    double Left, Top, Width, Height;
    QString Text;  // a text object's
};

struct PrintedBand {
    int Page;
    QString Name, Class;
    double Left, Top, Width, Height;
    double SpanLeft, SpanRight;  // of its objects, on the page
    QStringList Texts;
    std::vector<PrintedObject> Objects;  // the visible ones, subreport objects aside
};

inline std::vector<PrintedBand> printedBands(TlyrPreviewPages &pages)
{
    std::vector<PrintedBand> out;
    for (int i = 0; i < pages.Count(); ++i) {
        TlyrReportPage *p = pages.GetPage(i);
        if (!p) continue;
        for (TlyrComponent *c : p->Objects()) {
            PrintedBand b{i, c->Name(), QString::fromLatin1(c->metaObject()->className()),
                          c->Left(), c->Top(), c->Width(), c->Height(), 1e18, -1e18, {}};
            for (TlyrComponent *o : c->Objects()) {
                if (!o->Visible()) continue;
                b.SpanLeft = std::min(b.SpanLeft, c->Left() + o->Left());
                b.SpanRight = std::max(b.SpanRight, c->Left() + o->Left() + o->Width());
                QString text;
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(o)) b.Texts << (text = m->GetText());
                if (!qobject_cast<TlyrSubreport *>(o))
                    b.Objects.push_back({c->Left() + o->Left(), c->Top() + o->Top(), o->Width(), o->Height(), text});
            }
            out.push_back(b);
        }
    }
    return out;
}

class Checker {
public:
    Checker(const Built &b, TlyrPreviewPages &pages, int pageCount) : b_(b), s_(b.S), pages_(pages), count_(pageCount) {}

    std::vector<Failure> check()
    {
        bands_ = printedBands(pages_);
        records();
        places();
        onceEach();
        overlaps();
        numbers();
        wherePrinted();
        noFillerColumns();
        headedGroups();
        headerAfterFooter();
        logicalNumbers();
        detailBands();
        secondPage();
        tallColumns();
        findOwners();
        pageTotals();
        newPageBands();
        reprintedHeaders();
        keepBlocks();
        wholeBands();
        crossCells();
        if (s_.shapes()) shapes();
        return std::move(failures_);
    }
    // The bands read to find the pages that only go on with cells in width.
    size_t crossPartReads() const { return crossPartReads_; }

private:
    void fail(const QString &kind, const QString &text)
    {
        // One of each kind is enough to see and to reduce.
        for (const Failure &f : failures_)
            if (f.Kind == kind) return;
        failures_.push_back({kind, text});
    }
    QString where(const PrintedBand &b) const
    {
        return QStringLiteral("page %1 %2 at %3,%4 %5x%6 [%7]")
                .arg(b.Page + 1)
                .arg(b.Name)
                .arg(b.Left)
                .arg(b.Top)
                .arg(b.Width)
                .arg(b.Height)
                .arg(b.Texts.join(QStringLiteral(" | ")).left(300));
    }
    int pageColumn(double x) const
    {
        int k = 1;
        for (int i = 2; i <= s_.PageColumns; ++i)
            if (x >= s_.columnX(i) - 0.5) k = i;
        return k;
    }
    // The bands of the second report page.
    static bool second(const PrintedBand &b)
    {
        static const QStringList names{"Title2", "PageHeader2", "MasterData2", "Summary2", "PageFooter2"};
        return names.contains(b.Name);
    }
    // The master rows printed: those with details, or all.
    QList<QStringList> shownRows() const
    {
        QList<QStringList> out;
        for (int i = 0; i < b_.Master.Rows.size(); ++i)
            if (s_.printsRecord(i)) out << b_.Master.Rows[i];
        return out;
    }
    // A record taller than an empty column: its band runs past the page's
    // bottom.
    bool tall(const PrintedBand &b) const
    {
        if (b.Name != QLatin1String("MasterData1") || s_.TallEvery == 0) return false;
        for (const QString &t : b.Texts)
            if (t.startsWith(QLatin1String("rec:M:r")) && s_.isTall(recordOf(t).mid(7).toInt())) return true;
        return false;
    }
    // The page column that comes after at (or a new page after a break).
    std::pair<int, int> nextColumn(std::pair<int, int> at) const
    {
        return at.second < s_.PageColumns ? std::pair<int, int>{at.first, at.second + 1} : std::pair<int, int>{at.first + 1, 1};
    }
    // The records expected, in dataset order.
    QStringList expected() const
    {
        QStringList out;
        // The rows of the subreport beside it ("rec:T:") come in any order
        // with these (records() reads them apart).
        auto subs = [&](const QString &tag) {
            for (const QStringList &r : b_.Sub.Rows) {
                out << "rec:S:" + tag + "." + r[0];
                if (s_.SubNested)
                    for (const QStringList &n : b_.Nest.Rows) out << "rec:N:" + tag + "." + r[0] + "." + n[0];
            }
            if (s_.SubSide)
                for (const QStringList &r : b_.Sub.Rows) out << "rec:T:" + tag + "." + r[0];
        };
        if (s_.SubHost == 1 && s_.Title) subs(QStringLiteral("t"));
        const QStringList *last = nullptr;
        for (int i = 0; i < b_.Master.Rows.size(); ++i) {
            const QStringList &r = b_.Master.Rows[i];
            if (!s_.dataRecord(i)) continue;
            // A group of hidden records still has its header.
            if (s_.SubHost == 4 && (!last || (*last)[1] != r[1])) subs("g" + r[1]);
            if (s_.hidden(i)) {
                last = &r;
                continue;
            }
            out << "rec:M:" + r[0];
            if (s_.SubHost == 2) subs(r[0]);
            if (s_.SubHost == 5) subs("c" + r[0]);
            for (int k = 1; k <= s_.detailCount(i); ++k) {
                out << (s_.DetailSet ? QStringLiteral("rec:D:%1.d%2").arg(r[0]).arg(k - 1) : QStringLiteral("rec:D:%1.%2").arg(r[0]).arg(k));
                if (s_.DetailSet)
                    for (int j = 1; j <= s_.SubDetailRows; ++j) out << QStringLiteral("rec:E:%1.d%2.%3").arg(r[0]).arg(k - 1).arg(j);
            }
            // The footer of a detail band (after its rows), or one after
            // each record.
            if (s_.SubHost == 6 && (s_.DetailRows > 0 ? s_.detailCount(i) > 0 : s_.FooterEach)) subs("f" + r[0]);
            last = &r;
        }
        if (s_.SubHost == 6 && last && s_.DetailRows == 0 && !s_.FooterEach) subs("f" + (*last)[0]);
        if (s_.SubHost == 3 && s_.Summary) subs(QStringLiteral("z"));
        if (s_.Page2)
            for (const QStringList &r : b_.Second.Rows) out << "rec:P:" + r[0];
        return out;
    }
    static QString recordOf(const QString &text)
    {
        if (!text.startsWith(QLatin1String("rec:"))) return {};
        return text.section(QLatin1Char(' '), 0, 0);
    }
    void records()
    {
        struct Seen {
            QString Key;
            int Page, Column;
            double Top, Left;
        };
        std::vector<Seen> seen;
        QHash<QString, int> times;
        for (const PrintedBand &b : bands_)
            for (const QString &t : b.Texts)
                if (const QString key = recordOf(t); !key.isEmpty()) {
                    seen.push_back({key, b.Page, second(b) ? s_.PageColumns + 1 : pageColumn(b.Left), b.Top, b.Left});
                    ++times[key];
                }
        const QStringList want = expected();
        QHash<QString, int> index;
        for (int i = 0; i < want.size(); ++i) index.insert(want[i], i);
        for (const QString &k : want)
            if (times.value(k) == 0)
                fail(QStringLiteral("lost"), k + QStringLiteral(" is not printed"));
            else if (times.value(k) > 1)
                fail(QStringLiteral("doubled"), k + QStringLiteral(" printed %1 times").arg(times.value(k)));
        for (auto it = times.cbegin(); it != times.cend(); ++it)
            if (!index.contains(it.key())) fail(QStringLiteral("stray"), it.key() + QStringLiteral(" is no record"));
        // Reading order: page, page column, top, left.
        std::stable_sort(seen.begin(), seen.end(), [](const Seen &a, const Seen &b) {
            if (a.Page != b.Page) return a.Page < b.Page;
            if (a.Column != b.Column) return a.Column < b.Column;
            if (std::fabs(a.Top - b.Top) > 0.01) return a.Top < b.Top;
            return a.Left < b.Left;
        });
        int last = -1;
        QString lastKey;
        for (const Seen &x : seen) {
            const int i = index.value(x.Key, -1);
            if (i < 0 || times.value(x.Key) != 1 || x.Key.startsWith(QLatin1String("rec:T:"))) continue;
            if (i < last)
                fail(QStringLiteral("order"), QStringLiteral("%1 (page %2) is read after %3").arg(x.Key).arg(x.Page + 1).arg(lastKey));
            if (i > last) {
                last = i;
                lastKey = x.Key;
            }
        }
    }
    void places()
    {
        const double w = s_.pageWidth(), h = s_.pageHeight(), tol = 0.5;
        QHash<int, double> titleBottom, title2Bottom, titleTop;
        int titleFrom = -1;
        for (const PrintedBand &b : bands_)
            if (b.Class == QLatin1String("TlyrReportTitle")) {
                (second(b) ? title2Bottom : titleBottom)[b.Page] = b.Top + b.Height;
                if (second(b)) continue;
                titleTop[b.Page] = std::min(titleTop.value(b.Page, b.Top), b.Top);
                if (titleFrom < 0) titleFrom = b.Page;
            }
        for (const PrintedBand &b : bands_) {
            if (b.Texts.isEmpty() && b.SpanRight < b.SpanLeft) continue;
            // Page bands are judged by their place below.
            const bool pageBand = b.Class == QLatin1String("TlyrPageFooter") || b.Class == QLatin1String("TlyrPageHeader") ||
                                  b.Class == QLatin1String("TlyrOverlay");
            const bool columnBand = b.Class == QLatin1String("TlyrColumnFooter") || b.Class == QLatin1String("TlyrColumnHeader");
            if ((pageBand && std::fabs(b.Left) > 0.01) ||
                (columnBand && std::fabs(b.Left - s_.columnX(pageColumn(b.Left))) > 0.01)) {
            } else if (b.SpanLeft < -tol || b.Top < -tol)
                fail(QStringLiteral("negative"), QStringLiteral("above or left of the page: ") + where(b));
            else if (b.SpanRight > w + tol)
                fail(QStringLiteral("right"), QStringLiteral("right of the page: ") + where(b));
            else if (b.Top + b.Height > h + tol && b.Height > 0)
                // A band taller than an empty column goes on over columns.
                fail(QStringLiteral("below"), QStringLiteral("below the page: ") + where(b));
            if (b.Class == QLatin1String("TlyrPageFooter") &&
                (std::fabs(b.Left) > 0.01 || std::fabs(b.Top + b.Height - h) > 0.01))
                fail(QStringLiteral("pagefooter"), QStringLiteral("page footer not at the bottom left: ") + where(b));
            if (b.Class == QLatin1String("TlyrPageHeader")) {
                // Below a title first, and below what its subreport printed.
                // Only on the title's first page: the pages it goes on to
                // begin with the header.
                const double top = second(b)                                  ? title2Bottom.value(b.Page, 0)
                                   : s_.TitleFirst && b.Page == titleFrom ? titleBottom.value(b.Page, 0)
                                                                              : 0;
                // A page a split title goes on to may also begin with its
                // header, the title's next part below it.
                const bool leads = !second(b) && titleFrom >= 0 && b.Page > titleFrom && b.Top <= 0.01 &&
                                   titleTop.value(b.Page) >= b.Top + b.Height - 0.01;
                // A title meant to go on below the first report page's
                // output that did not fit there comes under the header of
                // the page it moved to.
                const bool after = leads || (second(b)                 ? std::fabs(b.Top - top) <= 0.01 || (s_.OnPrevious && b.Top < 0.01)
                                             : s_.SubHost == 1 && !s_.SubPop && top > 0 ? b.Top >= top - 0.01
                                                                          : std::fabs(b.Top - top) <= 0.01);
                if (std::fabs(b.Left) > 0.01 || !after)
                    fail(QStringLiteral("pageheader"), QStringLiteral("page header not at the top left: ") + where(b));
            }
            if (b.Class == QLatin1String("TlyrOverlay") && (std::fabs(b.Left) > 0.01 || std::fabs(b.Top) > 0.01))
                fail(QStringLiteral("overlay"), QStringLiteral("overlay not at the top left: ") + where(b));
            if (b.Class == QLatin1String("TlyrColumnFooter") || b.Class == QLatin1String("TlyrColumnHeader")) {
                const int k = pageColumn(b.Left);
                if (std::fabs(b.Left - s_.columnX(k)) > 0.01)
                    fail(QStringLiteral("columnband"), QStringLiteral("column band off its column: ") + where(b));
            }
        }
    }
    // A header, group header or page band prints once in a page column
    // (again only in the next column or page).
    void onceEach()
    {
        static const QStringList once{"TlyrHeader", "TlyrGroupHeader", "TlyrPageHeader", "TlyrPageFooter",
                                      "TlyrColumnHeader", "TlyrColumnFooter", "TlyrOverlay", "TlyrReportTitle"};
        QHash<QString, int> seen;
        for (const PrintedBand &b : bands_) {
            if (!once.contains(b.Class)) continue;
            const QString key = QStringLiteral("%1/%2/%3/%4")
                                        .arg(b.Page)
                                        .arg(b.Class == QLatin1String("TlyrPageHeader") || b.Class == QLatin1String("TlyrPageFooter") ||
                                                             b.Class == QLatin1String("TlyrOverlay")
                                                     ? 0
                                                     : pageColumn(b.Left))
                                        .arg(b.Name, b.Texts.join(QLatin1Char('|')));
            if (++seen[key] == 2) fail(QStringLiteral("twice"), QStringLiteral("printed twice in its column: ") + where(b));
        }
    }
    // No object the paper shows lies over another: print-on-parent rows
    // and subreport output are objects like the rest.
    void overlaps()
    {
        constexpr double tol = 0.5;
        struct At {
            const PrintedObject *O;
            const PrintedBand *B;
        };
        std::map<int, std::vector<At>> byPage;
        for (const PrintedBand &b : bands_) {
            if (b.Class == QLatin1String("TlyrOverlay")) continue;
            for (const PrintedObject &o : b.Objects)
                if (o.Width > tol && o.Height > tol) byPage[b.Page].push_back({&o, &b});
        }
        for (auto &[page, list] : byPage) {
            std::sort(list.begin(), list.end(), [](const At &a, const At &b) { return a.O->Top < b.O->Top; });
            for (size_t i = 0; i < list.size(); ++i)
                for (size_t j = i + 1; j < list.size() && list[j].O->Top < list[i].O->Top + list[i].O->Height - tol; ++j) {
                    const PrintedObject &a = *list[i].O, &b = *list[j].O;
                    if (a.Left < b.Left + b.Width - tol && b.Left < a.Left + a.Width - tol) {
                        fail(QStringLiteral("overlap"), QStringLiteral("\"%1\" at %2,%3 over \"%4\" at %5,%6: ")
                                                                .arg(a.Text.left(60))
                                                                .arg(a.Left)
                                                                .arg(a.Top)
                                                                .arg(b.Text.left(60))
                                                                .arg(b.Left)
                                                                .arg(b.Top) +
                                                                where(*list[i].B) + QStringLiteral(" and ") + where(*list[j].B));
                        return;
                    }
                }
        }
    }
    // The data header repeated on new pages stops with its run of records:
    // none follows the footer printed after the last record (nor the group
    // footers that close the run).
    void headerAfterFooter()
    {
        // Below a master with details the footer is the details'.
        if (!s_.Header || !s_.HeaderReprint || !s_.Footer || s_.DetailRows > 0) return;
        // A footer the script hides may be the last one.
        if (s_.HideBands & 3) return;
        auto place = [this](const PrintedBand &b) { return std::make_tuple(b.Page, pageColumn(b.Left), b.Top); };
        // With a footer after each record the group footers close the run.
        static const QRegularExpression closing(QStringLiteral("^(Footer1|GroupFooter[0-9]+)$"));
        const PrintedBand *footer = nullptr;
        for (const PrintedBand &b : bands_)
            if (!second(b) && closing.match(b.Name).hasMatch() && (!footer || place(*footer) < place(b))) footer = &b;
        if (!footer) return;
        for (const PrintedBand &b : bands_) {
            const bool header = b.Name == QLatin1String("Header1") || (s_.HeaderHidden && b.Name == QLatin1String("Child2"));
            if (header && !second(b) && place(*footer) < place(b) && !crossPart(b.Page))
                fail(QStringLiteral("afterfooter"), QStringLiteral("the data header follows its footer: ") + where(b));
        }
    }
    // Page bands, group footers and the summary print where their flags
    // say: a page header and footer on every page but those kept off, each
    // group footer once (none for a single record when hidden so), the
    // summary once after the last record.
    void wherePrinted()
    {
        // The pages of the first report page (a second one follows them).
        int pages = count_;
        if (s_.Page2) {
            pages = 0;
            for (const PrintedBand &b : bands_)
                if (!second(b)) pages = std::max(pages, b.Page + 1);
        }
        QHash<int, int> headers, footers;
        int summaries = 0;
        QHash<QString, int> groupFooters;
        for (const PrintedBand &b : bands_) {
            if (second(b)) continue;
            if (b.Class == QLatin1String("TlyrPageHeader")) ++headers[b.Page];
            if (b.Class == QLatin1String("TlyrPageFooter")) ++footers[b.Page];
            for (const QString &t : b.Texts) {
                if (t.startsWith(QLatin1String("Summary1 "))) ++summaries;
                if (t.startsWith(QLatin1String("gf"))) ++groupFooters[t.section(QLatin1Char(':'), 0, 1)];
            }
        }
        // A title printed before the page header that fills its first page
        // (with its subreport or split text) leaves the header to the next.
        // The rows of the subreports beside it and inside it are the
        // title's too.
        static const QRegularExpression titleRow(QStringLiteral("^rec:[STN]:t\\."));
        bool titleFilled = false;
        for (const PrintedBand &b : bands_)
            titleFilled = titleFilled || ((b.Page > 0 || pageColumn(b.Left) > 1) &&
                                          (b.Name == QLatin1String("Title1") || b.Texts.filter(titleRow).size() > 0));
        const bool titleFirst = s_.Title && s_.TitleFirst && (s_.SubHost == 1 || s_.TitleSplit);
        for (int i = 0; i < pages; ++i) {
            const bool leftOut = i == 0 && titleFirst && headers.value(0) == 0 && (titleFilled || pages > 1);
            const bool header = s_.PageHeader && !(i == 0 && s_.NoHeaderFirst) && !leftOut;
            const bool footer = s_.PageFooter && !(i == 0 && s_.NoFooterFirst) && !(i == pages - 1 && s_.NoFooterLast);
            if ((headers.value(i) > 0) != header)
                fail(QStringLiteral("pageheader"), QStringLiteral("page %1 %2 a page header").arg(i + 1).arg(header ? "lacks" : "has"));
            // A page footer the script hides is none of these.
            if ((footers.value(i) > 0) != footer && !(footer && (s_.HideBands & 8)))
                fail(QStringLiteral("pagefooter"), QStringLiteral("page %1 %2 a page footer").arg(i + 1).arg(footer ? "lacks" : "has"));
        }
        if (pages > 0 && s_.Summary && summaries != 1)
            fail(QStringLiteral("summary"), QStringLiteral("the summary is printed %1 times").arg(summaries));
        const auto withFooter = std::count_if(s_.Groups.begin(), s_.Groups.end(), [](const Group &g) { return g.Footer; });
        for (size_t i = s_.Groups.size() - size_t(withFooter); i < s_.Groups.size(); ++i) {
            // Hidden records count for a group; its last record tells
            // whether the script hides its footer.
            QHash<QString, int> size, last;
            for (int k = 0; k < b_.Master.Rows.size(); ++k)
                if (s_.dataRecord(k)) {
                    ++size[b_.Master.Rows[k][1 + int(i)]];
                    last[b_.Master.Rows[k][1 + int(i)]] = k;
                }
            for (auto it = size.cbegin(); it != size.cend(); ++it) {
                const QString key = QStringLiteral("gf%1:").arg(i + 1) + it.key();
                const int want = (s_.HideSingle && it.value() == 1) || s_.groupFooterHidden(last.value(it.key()), int(i) + 1) ? 0 : 1;
                if (groupFooters.value(key) != want)
                    fail(QStringLiteral("groupfooter"), QStringLiteral("%1 printed %2 times, not %3").arg(key).arg(groupFooters.value(key)).arg(want));
            }
        }
    }
    // A header that may be a repeat of one shown before: the later parts of
    // a split header hold only the rest of its text, which every group's
    // header has alike, and are never repeats.
    static bool repeatable(const PrintedBand &b)
    {
        // (A hidden data header prints its child instead.)
        return (b.Class == QLatin1String("TlyrHeader") || b.Class == QLatin1String("TlyrGroupHeader") ||
                b.Name == QLatin1String("Child2")) &&
               std::any_of(b.Texts.begin(), b.Texts.end(), [](const QString &t) { return !t.startsWith(QLatin1String("part")); });
    }
    // The pages the first report page printed on, and the first of the
    // second (-1 for none).
    std::pair<int, int> reportPages() const
    {
        int last1 = -1, first2 = -1;
        for (const PrintedBand &b : bands_)
            if (!second(b))
                last1 = std::max(last1, b.Page);
            else if (first2 < 0 || b.Page < first2)
                first2 = b.Page;
        return {last1, first2};
    }
    // Logical page numbers count from 1 on the first page and again where
    // a group that starts a new page or the second report page restarts
    // them.
    void logicalNumbers()
    {
        static const QRegularExpression logical(QStringLiteral(" L(\\d+)"));
        std::set<int> resets{0};
        // A group breaks the page unless it is the first of its level
        // under its outer group; the page its header first prints on is 1.
        QSet<QString> restarting, seen;
        // Groups of hidden records break their pages too.
        QList<QStringList> rows;
        for (int i = 0; i < b_.Master.Rows.size(); ++i)
            if (s_.dataRecord(i)) rows << b_.Master.Rows[i];
        for (int j = 1; j < rows.size(); ++j)
            for (int i = 0; i < int(std::min<size_t>(s_.Groups.size(), 2)); ++i) {
                const Group &g = s_.Groups[size_t(i)];
                if (g.NewPage && g.ResetNumbers && rows[j][1 + i] != rows[j - 1][1 + i] && (i == 0 || rows[j][1] == rows[j - 1][1]))
                    restarting.insert(QStringLiteral("gh%1:").arg(i + 1) + rows[j][1 + i]);
            }
        for (const PrintedBand &b : bands_)
            for (const QString &t : b.Texts)
                if (const QString key = t.section(QLatin1Char(' '), 0, 0); restarting.contains(key) && !seen.contains(key)) {
                    seen.insert(key);
                    resets.insert(b.Page);
                }
        // The second report page restarts them on its first page of its own.
        if (const auto [last1, first2] = reportPages(); s_.Page2 && s_.Reset2 && first2 >= 0)
            resets.insert(first2 == std::max(last1, 0) && s_.OnPrevious ? first2 + 1 : first2);
        for (const PrintedBand &b : bands_)
            for (const QString &t : b.Texts)
                for (auto it = logical.globalMatch(t); it.hasNext();) {
                    const int n = it.next().captured(1).toInt();
                    const int want = b.Page - *std::prev(resets.upper_bound(b.Page)) + 1;
                    if (n != want) fail(QStringLiteral("logical"), QStringLiteral("shows logical page %1, not %2: ").arg(n).arg(want) + where(b));
                }
    }
    // A detail band's header and footer print once for each record that
    // has details, its group header and footer once for each group of them.
    void detailBands()
    {
        if (s_.DetailRows == 0) return;
        QHash<QString, int> printed, want;
        for (const PrintedBand &b : bands_)
            for (const QString &t : b.Texts) {
                const QString key = t.section(QLatin1Char(' '), 0, 0);
                if (key.startsWith(QLatin1String("dh:")) || key.startsWith(QLatin1String("dgh:")) || key.startsWith(QLatin1String("dgf:")))
                    ++printed[key];
                if (t.startsWith(QLatin1String("ftr:"))) ++printed[QStringLiteral("ftr")];
            }
        for (int i = 0; i < b_.Master.Rows.size(); ++i) {
            if (!s_.printsRecord(i) || s_.detailCount(i) == 0) continue;
            const QString id = b_.Master.Rows[i][0];
            if (s_.DetailHeader) want["dh:" + id] = 1;
            // (Unless the script hides it, by the record it follows.)
            if (s_.Footer && !((s_.HideBands & 1) && Plan::valueOf(i) % 3 == 1)) ++want[QStringLiteral("ftr")];
            if (s_.DetailGroup)
                for (int k = 0; k < s_.detailCount(i); k += 2)
                    for (const char *kind : {"dgh:", "dgf:"}) want[kind + id + QStringLiteral(".x%1").arg(k / 2)] = 1;
        }
        for (auto it = want.cbegin(); it != want.cend(); ++it)
            if (printed.value(it.key()) != it.value())
                fail(QStringLiteral("detailbands"), QStringLiteral("%1 printed %2 times, not %3").arg(it.key()).arg(printed.value(it.key())).arg(it.value()));
        for (auto it = printed.cbegin(); it != printed.cend(); ++it)
            if (!want.contains(it.key())) fail(QStringLiteral("detailbands"), QStringLiteral("%1 printed %2 times, not 0").arg(it.key()).arg(it.value()));
    }
    // The second report page begins on the first one's last page (when it
    // goes on there) or on the page after, below all the first one printed
    // there; its page bands print where they should.
    void secondPage()
    {
        if (!s_.Page2) return;
        auto [last1, first2] = reportPages();
        if (first2 < 0) return;
        // The first report page begins a page even with nothing to print.
        last1 = std::max(last1, 0);
        if (first2 < last1 || first2 > last1 + 1 || (!s_.OnPrevious && first2 != last1 + 1))
            fail(QStringLiteral("previous"), QStringLiteral("the second report page begins on page %1 after page %2").arg(first2 + 1).arg(last1 + 1));
        const bool shared = first2 == last1;
        if (shared) {
            double bottom = 0;
            for (const PrintedBand &b : bands_)
                if (b.Page == last1 && !second(b) && b.Class != QLatin1String("TlyrPageFooter") && b.Class != QLatin1String("TlyrOverlay"))
                    bottom = std::max(bottom, b.Top + b.Height);
            for (const PrintedBand &b : bands_)
                if (b.Page == first2 && second(b) && b.Class != QLatin1String("TlyrPageFooter") && b.Top < bottom - 0.5)
                    fail(QStringLiteral("previous"), QStringLiteral("over the first report page's output (to %1): ").arg(bottom) + where(b));
        }
        QHash<int, int> headers, footers;
        int summaries = 0;
        for (const PrintedBand &b : bands_) {
            if (b.Name == QLatin1String("PageHeader2")) ++headers[b.Page];
            if (b.Name == QLatin1String("PageFooter2")) ++footers[b.Page];
            if (b.Name == QLatin1String("Summary2")) ++summaries;
        }
        for (int i = first2; i < count_; ++i) {
            // A page the first report page began has its page header.
            const bool header = s_.Header2 && !(shared && i == first2);
            if ((headers.value(i) > 0) != header)
                fail(QStringLiteral("pageheader"), QStringLiteral("page %1 %2 the second page header").arg(i + 1).arg(header ? "lacks" : "has"));
            if (!(shared && i == first2) && (footers.value(i) > 0) != s_.Footer2)
                fail(QStringLiteral("pagefooter"), QStringLiteral("page %1 %2 the second page footer").arg(i + 1).arg(s_.Footer2 ? "lacks" : "has"));
        }
        if (s_.Summary2 && summaries != 1)
            fail(QStringLiteral("summary"), QStringLiteral("the second summary is printed %1 times").arg(summaries));
    }
    // A band taller than an empty column prints in the column after the
    // one its record did not fit (or after a page break).
    void tallColumns()
    {
        static const QStringList pageBands{"TlyrPageHeader", "TlyrPageFooter", "TlyrOverlay", "TlyrColumnHeader",
                                           "TlyrColumnFooter"};
        static const QRegularExpression pageNo(QStringLiteral("@\\d+"));
        // Where the last band before it printed, headers repeated from
        // before not counted.
        std::pair<int, int> previous{-1, 0};
        QSet<QString> shown;
        for (const PrintedBand &b : bands_) {
            if (pageBands.contains(b.Class) || second(b)) continue;
            const std::pair<int, int> at{b.Page, pageColumn(b.Left)};
            if (tall(b) && b.Top + b.Height > s_.pageHeight() + 0.5 && previous.first >= 0 && at != previous &&
                at != nextColumn(previous) && !(at.first == previous.first + 1 && at.second == 1))
                fail(QStringLiteral("tall"), QStringLiteral("a band taller than a column not in the column after page %1 column %2: ")
                                                     .arg(previous.first + 1)
                                                     .arg(previous.second) +
                                                     where(b));
            QString id = b.Name + QLatin1Char('|') + b.Texts.join(QLatin1Char('|'));
            id.replace(pageNo, QString());
            const bool header = repeatable(b);
            if (!(header && shown.contains(id))) previous = std::max(previous, at);
            shown.insert(id);
        }
    }
    // No page or column before the last record holds only page bands,
    // column bands and headers repeated from before.
    void noFillerColumns()
    {
        static const QStringList pageBands{"TlyrPageHeader", "TlyrPageFooter", "TlyrOverlay", "TlyrColumnHeader",
                                           "TlyrColumnFooter"};
        static const QRegularExpression pageNo(QStringLiteral("@\\d+"));
        std::map<std::pair<int, int>, bool> filler;  // by page and column: nothing but those
        // The last record of each report page: the first one's pages print
        // (with PrintIfEmpty) even when the records are all the second's.
        std::pair<int, int> lastRecord{-1, 0}, lastSecond{-1, 0};
        QSet<QString> shown;
        for (const PrintedBand &b : bands_) {
            const std::pair<int, int> at{b.Page, pageColumn(b.Left)};
            QString id = b.Name + QLatin1Char('|') + b.Texts.join(QLatin1Char('|'));
            id.replace(pageNo, QString());
            const bool header = repeatable(b);
            bool &f = filler.try_emplace(at, true).first->second;
            if (pageBands.contains(b.Class)) continue;
            if (!(header && shown.contains(id))) f = false;
            shown.insert(id);
            for (const QString &t : b.Texts)
                if (!recordOf(t).isEmpty()) (second(b) ? lastSecond : lastRecord) = std::max(second(b) ? lastSecond : lastRecord, at);
        }
        const int last1 = std::max(reportPages().first, 0);
        for (const auto &[at, f] : filler)
            if (f && at < (at.first <= last1 ? lastRecord : lastSecond)) {
                fail(QStringLiteral("filler"), QStringLiteral("page %1 column %2 holds only page bands and repeated headers")
                                                       .arg(at.first + 1)
                                                       .arg(at.second));
                return;
            }
    }
    // The group (at level 1 or 2) a record belongs to: a master record's,
    // that of the master record its details and subreport rows belong to,
    // the group whose header ran the subreport; none for what the title,
    // the summary or a footer after the last record ran.
    QString groupOf(const QString &key, int level) const
    {
        const QString tag = key.mid(6).section(QLatin1Char('.'), 0, 0);
        auto row = [&](const QString &id) {
            bool ok = false;
            const int i = id.mid(1).toInt(&ok);
            return id.startsWith(QLatin1Char('r')) && ok && i < b_.Master.Rows.size() ? b_.Master.Rows[i][level]
                                                                                         : QString();
        };
        if (tag.startsWith(QLatin1Char('r'))) return row(tag);
        if (tag.startsWith(QLatin1Char('c'))) return row(tag.mid(1));
        if (tag.startsWith(QLatin1Char('f')) && (s_.DetailRows > 0 || s_.FooterEach)) return row(tag.mid(1));
        if (tag.startsWith(QLatin1Char('g')) && level == 1) return tag.mid(1);
        return {};
    }
    // Every group header, first or shown again on a new page or column,
    // names the group it heads: the next record on the paper is of that
    // group. One shown again after its group's last record (above its own
    // footer, or after the data ran out) heads nothing.
    void headedGroups()
    {
        static const QRegularExpression header(QStringLiteral("^gh(\\d):(\\S*)"));
        struct Item {
            int Page, Column;
            double Top, Left;
            int Level;  // 0: a record
            QString Text;
            const PrintedBand *Band;
        };
        // The bands of a record (its children, details and the parts of
        // a split one) belong to the record printed last before them.
        const QString footer = s_.DetailRows > 0 || s_.FooterEach ? QStringLiteral("|Footer1") : QString();
        const QRegularExpression ofRecord(QStringLiteral("^(MasterData1|DetailData1|DetailHeader1|DetailGroupHeader1|DetailGroupFooter1|Child1|Child[3-9]%1)$")
                                                  .arg(footer));
        std::vector<Item> items;
        // Pages in width go on with rows of the page before: they head
        // nothing and own no record between a header and its record.
        QSet<int> withRecords;
        for (const PrintedBand &b : bands_)
            if (std::any_of(b.Texts.begin(), b.Texts.end(), [](const QString &t) { return t.startsWith(QLatin1String("rec:M:")); }))
                withRecords.insert(b.Page);
        static const QRegularExpression fid(QStringLiteral(" fid:r(\\d+)"));
        for (const PrintedBand &b : bands_) {
            if (s_.CrossCols && !withRecords.contains(b.Page)) continue;
            const Item at{b.Page, pageColumn(b.Left), b.Top, b.Left, 0, {}, &b};
            // The footer after each record is that record's, hidden or not.
            if (const auto m = fid.match(b.Texts.join(QLatin1Char(' '))); m.hasMatch() && (s_.FooterEach || s_.DetailRows > 0)) {
                items.push_back(at);
                items.back().Text = QStringLiteral("rec:M:r") + m.captured(1);
                continue;
            }
            const bool recordText = std::any_of(b.Texts.begin(), b.Texts.end(), [](const QString &t) { return !recordOf(t).isEmpty(); });
            if (!recordText && ofRecord.match(b.Name).hasMatch()) items.push_back(at);
            for (const QString &t : b.Texts) {
                if (const QString key = recordOf(t); !key.isEmpty()) {
                    items.push_back(at);
                    items.back().Text = key;
                } else if (const auto m = header.match(t); m.hasMatch() && b.Class == QLatin1String("TlyrGroupHeader")) {
                    items.push_back(at);
                    items.back().Level = m.captured(1).toInt();
                    items.back().Text = m.captured(2);
                }
            }
        }
        std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
            if (a.Page != b.Page) return a.Page < b.Page;
            if (a.Column != b.Column) return a.Column < b.Column;
            if (std::fabs(a.Top - b.Top) > 0.01) return a.Top < b.Top;
            return a.Left < b.Left;
        });
        // The second report page's records, printed below the first page's
        // output in its first column, own none of the parts of a first-page
        // record that went on in a later column.
        QString owner;
        for (Item &x : items)
            if (x.Level == 0 && x.Text.isEmpty())
                x.Text = owner;
            else if (x.Level == 0 && !x.Text.startsWith(QLatin1String("rec:P:")))
                owner = x.Text;
        // A group whose records were all left out for want of details, or
        // hidden by script, has its header alone; the second report page's
        // records head nothing.
        QSet<QString> shown;
        for (const QStringList &r : shownRows())
            for (int level = 1; level <= 2 && level < r.size(); ++level) shown.insert(QString::number(level) + r[level]);
        // Such a header still heads what its own group header repeats: it
        // stands for its group's first record, so the headers above it are
        // checked against it and it is checked against nothing.
        auto standIn = [&](const Item &x) {
            for (int i = 0; i < b_.Master.Rows.size(); ++i)
                if (x.Level < b_.Master.Rows[i].size() && b_.Master.Rows[i][x.Level] == x.Text)
                    return QStringLiteral("rec:M:r%1").arg(i, 4, 10, QLatin1Char('0'));
            return QString();
        };
        for (Item &x : items)
            if (x.Level > 0 && !shown.contains(QString::number(x.Level) + x.Text) && s_.HideRecords) {
                x.Text = standIn(x);
                x.Level = x.Text.isEmpty() ? -1 : 0;
            }
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](const Item &x) {
                                       return x.Level < 0 || (x.Level == 0 ? x.Text.startsWith(QLatin1String("rec:P:"))
                                                                           : !shown.contains(QString::number(x.Level) + x.Text));
                                   }),
                    items.end());
        const Item *next = nullptr;
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (it->Level == 0) {
                next = &*it;
                continue;
            }
            if (!next)
                fail(QStringLiteral("headed"), QStringLiteral("group header after the last record: ") + where(*it->Band));
            else if (groupOf(next->Text, it->Level) != it->Text)
                fail(QStringLiteral("headed"), QStringLiteral("group header over %1: ").arg(next->Text) + where(*it->Band));
        }
    }
    // ------------------------------------------------ records' own bands
    static bool pageBand(const PrintedBand &b)
    {
        static const QStringList pageBands{"TlyrPageHeader", "TlyrPageFooter", "TlyrOverlay", "TlyrColumnHeader",
                                           "TlyrColumnFooter"};
        return pageBands.contains(b.Class);
    }
    // The master record a text belongs to: its own, its details', its
    // cross-tab cells', the rows of the subreport it or its child or its
    // footer ran; -1 for none.
    int recordOfText(const QString &t) const
    {
        static const QRegularExpression key(QStringLiteral("^(?:rec:[MDESTN]:[cf]?|x:)r(\\d{4})"));
        const auto m = key.match(t);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }
    std::tuple<int, int, double, double> readAt(const PrintedBand &b) const
    {
        return {b.Page, pageColumn(b.Left), b.Top, b.Left};
    }
    // Each band's record (-1 for none): by its texts, or that of the record
    // printed last before it for the parts and children of a record; and
    // which bands are headers shown again.
    void findOwners()
    {
        owner_.assign(bands_.size(), -1);
        repeated_.assign(bands_.size(), false);
        // (Page numbers through expressions alike.)
        static const QRegularExpression pageNo(QStringLiteral("@\\d+|pg:\\w+"));
        QSet<QString> shown;
        for (size_t i = 0; i < bands_.size(); ++i) {
            const PrintedBand &b = bands_[i];
            QString id = b.Name + QLatin1Char('|') + b.Texts.join(QLatin1Char('|'));
            id.replace(pageNo, QString());
            repeated_[i] = repeatable(b) && shown.contains(id);
            shown.insert(id);
            // A group header shown again whole after its first showing split
            // is known by its group's text.
            if (b.Class != QLatin1String("TlyrGroupHeader")) continue;
            for (const QString &t : b.Texts)
                if (t.startsWith(QLatin1String("gh"))) {
                    const QString group = b.Name + QLatin1Char('#') + QString(t).replace(pageNo, QString()).trimmed();
                    repeated_[i] = repeated_[i] || shown.contains(group);
                    shown.insert(group);
                }
        }
        const QString footer = s_.DetailRows > 0 || s_.FooterEach ? QStringLiteral("|Footer1") : QString();
        const QRegularExpression ofRecord(
                QStringLiteral("^(MasterData1|DetailData1|SubdetailData1|DetailHeader1|DetailGroupHeader1|DetailGroupFooter1|Child1|Child[3-9]%1)$")
                        .arg(footer));
        std::vector<size_t> order(bands_.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return readAt(bands_[a]) < readAt(bands_[b]); });
        int last = -1;
        // By the band's place in its page column: records side by side,
        // whose children go on under them in any page column.
        std::map<long, int> lastAt;
        auto place = [this](const PrintedBand &b) { return std::lround(b.Left - s_.columnX(pageColumn(b.Left))); };
        for (size_t i : order) {
            const PrintedBand &b = bands_[i];
            if (second(b)) continue;
            for (const QString &t : b.Texts)
                if (const int r = recordOfText(t); r >= 0) {
                    owner_[i] = r;
                    break;
                }
            if (owner_[i] < 0 && ofRecord.match(b.Name).hasMatch()) {
                const auto at = lastAt.find(place(b));
                owner_[i] = s_.MasterColumns > 1 && at != lastAt.end() ? at->second : last;
            }
            if (owner_[i] >= 0 && (b.Name == QLatin1String("MasterData1") || owner_[i] > last)) {
                last = std::max(last, owner_[i]);
                lastAt[place(b)] = owner_[i];
            }
        }
    }
    // A page that only goes on with a cross-tab's cells in width.
    // Found for every page in one pass: it is asked for each band of each
    // footer's totals, and a pass each took minutes on some hundred pages.
    bool crossPart(int page) const
    {
        if (!s_.CrossCols) return false;
        if (!crossParts_) {
            std::map<int, std::pair<bool, bool>> seen;  // page: a record begins, shifted
            for (const PrintedBand &b : bands_) {
                ++crossPartReads_;
                auto &[record, shifted] = seen[b.Page];
                for (const QString &t : b.Texts)
                    if (t.startsWith(QLatin1String("rec:M:"))) record = true;
                // A band's crossed columns go on at its left edge there; a
                // page of a record's later parts alone keeps its own place.
                for (const PrintedObject &o : b.Objects)
                    if (o.Text == QLatin1String("|") && o.Left - b.Left < kCrossLeft - 1) shifted = true;
            }
            crossParts_.emplace();
            for (const auto &[p, s] : seen)
                if (!s.first && s.second) crossParts_->insert(p);
        }
        return crossParts_->count(page) > 0;
    }
    // Nothing but page and column bands and headers shown again lies above
    // band i on its page column, besides the bands let be.
    bool startsColumn(size_t i, const std::function<bool(size_t)> &letBe = {}) const
    {
        const PrintedBand &b = bands_[i];
        for (size_t j = 0; j < bands_.size(); ++j) {
            const PrintedBand &a = bands_[j];
            if (j == i || a.Page != b.Page || pageColumn(a.Left) != pageColumn(b.Left) || a.Top >= b.Top - 0.5) continue;
            if (pageBand(a) || repeated_[j] || second(a) || (letBe && letBe(j))) continue;
            return false;
        }
        return true;
    }
    // The records a page or column footer printed at b may total: a record
    // counts where it begins, or where its band and children end, or where
    // its band ends.
    std::vector<std::vector<int>> placeScopes(const PrintedBand &at, bool page) const
    {
        using Cell = std::pair<int, int>;
        std::map<int, Cell> begins, ends, bandEnds;  // record: page and column
        static const QRegularExpression master(QStringLiteral("^rec:M:"));
        for (size_t i = 0; i < bands_.size(); ++i) {
            const PrintedBand &b = bands_[i];
            if (owner_[i] < 0 || crossPart(b.Page)) continue;
            const Cell c{b.Page, pageColumn(b.Left)};
            if (b.Texts.filter(master).size() > 0 && !begins.count(owner_[i])) begins[owner_[i]] = c;
            if (b.Name == QLatin1String("MasterData1") || b.Name.startsWith(QLatin1String("Child")))
                ends[owner_[i]] = std::max(ends[owner_[i]], c);
            if (b.Name == QLatin1String("MasterData1")) bandEnds[owner_[i]] = std::max(bandEnds[owner_[i]], c);
        }
        const Cell here{at.Page, pageColumn(at.Left)};
        std::vector<std::vector<int>> out;
        for (const auto *where : {&begins, &ends, &bandEnds}) {
            out.emplace_back();
            for (const auto &[r, c] : *where)
                if (c.first == here.first && (page || c.second == here.second)) out.back().push_back(r);
        }
        return out;
    }
    // The page and column footers total what their page or column shows.
    void pageTotals()
    {
        if (!s_.PageTotals && !s_.ColumnTotals) return;
        static const QRegularExpression pt(QStringLiteral(" (pt|cf):S(-?\\d+):C(\\d+)"));
        auto total = [&](const std::vector<int> &rs) {
            std::pair<int, int> t{0, 0};
            for (int r : rs) {
                t.first += b_.Master.Rows[r][3].toInt();
                ++t.second;
            }
            return t;
        };
        for (const PrintedBand &b : bands_) {
            if (second(b) || crossPart(b.Page)) continue;
            for (const QString &t : b.Texts) {
                const auto m = pt.match(t);
                if (!m.hasMatch()) continue;
                const bool page = m.captured(1) == QLatin1String("pt");
                const std::pair<int, int> got{m.captured(2).toInt(), m.captured(3).toInt()};
                const auto scopes = placeScopes(b, page);
                if (std::none_of(scopes.begin(), scopes.end(), [&](const std::vector<int> &rs) { return total(rs) == got; })) {
                    const auto a = total(scopes[0]);
                    fail(page ? QStringLiteral("pagetotals") : QStringLiteral("columntotals"),
                         QStringLiteral("shows S%1:C%2 for records holding S%3:C%4: ").arg(got.first).arg(got.second).arg(a.first).arg(a.second) + where(b));
                }
            }
        }
    }
    // Where a band's column ends: above the page footer (or the page's
    // foot) and the room the column footer keeps there. The column footer
    // itself follows the column's last band, wherever that ends.
    double columnFoot(const PrintedBand &l) const
    {
        double foot = s_.pageHeight();
        for (const PrintedBand &a : bands_)
            if (a.Page == l.Page && a.Class == QLatin1String("TlyrPageFooter") && a.Top >= l.Top + l.Height - 0.01)
                foot = std::min(foot, a.Top);
        if (const TlyrComponent *cf = b_.Report->FindObject(QStringLiteral("ColumnFooter1"))) foot -= cf->Height();
        return foot;
    }
    // The room of an empty column on the page and in the column of b.
    double columnRoom(const PrintedBand &b) const
    {
        double room = s_.pageHeight();
        for (const PrintedBand &a : bands_)
            if (a.Page == b.Page && pageBand(a) && a.Class != QLatin1String("TlyrOverlay") &&
                (a.Class.startsWith(QLatin1String("TlyrPage")) || pageColumn(a.Left) == pageColumn(b.Left)))
                room -= a.Height;
        // The page's columns begin below the title that heads it and the
        // rows its subreport printed beside it.
        if (s_.PageColumns > 1) {
            static const QRegularExpression titleRows(QStringLiteral("^rec:[STN]:t"));
            double top = 1e18, bottom = -1e18;
            for (const PrintedBand &a : bands_)
                if (a.Page == b.Page && (a.Name == QLatin1String("Title1") || !a.Texts.filter(titleRows).isEmpty())) {
                    top = std::min(top, a.Top);
                    bottom = std::max(bottom, a.Top + a.Height);
                }
            if (bottom > top) room -= bottom - top;
        }
        // A page footer left off the first or the last page keeps its room
        // there: while a page fills, nothing tells it is the last.
        // So does one that a script hides, and a column footer hidden so:
        // the script runs only when the page or column ends.
        auto missing = [&](const QString &name, bool column) {
            return std::none_of(bands_.begin(), bands_.end(), [&](const PrintedBand &a) {
                return a.Page == b.Page && a.Name == name && (!column || pageColumn(a.Left) == pageColumn(b.Left));
            });
        };
        if ((((s_.NoFooterFirst || s_.NoFooterLast) && !second(b)) || (s_.HideBands & 8)) && missing(QStringLiteral("PageFooter1"), false))
            if (const TlyrComponent *pf = b_.Report->FindObject(QStringLiteral("PageFooter1"))) room -= pf->Height();
        if ((s_.HideBands & 4) && missing(QStringLiteral("ColumnFooter1"), true))
            if (const TlyrComponent *cf = b_.Report->FindObject(QStringLiteral("ColumnFooter1"))) room -= cf->Height();
        return room;
    }
    // A band with StartNewPage begins its page: the title, the summary, and
    // each record's first child (after the record when kept with it).
    void newPageBands()
    {
        QSet<QString> done;
        for (size_t i = 0; i < bands_.size(); ++i) {
            const PrintedBand &b = bands_[i];
            const bool title = s_.TitleNewPage && b.Name == QLatin1String("Title1");
            const bool summary = s_.SummaryNewPage && b.Name == QLatin1String("Summary1");
            const bool child = s_.ChildNewPage && b.Name == QLatin1String("Child1");
            if (!title && !summary && !child) continue;
            const QString key = b.Name + QString::number(child ? owner_[i] : 0);
            if (done.contains(key)) continue;
            done.insert(key);
            // A child in a keep block brings the block along: its record
            // and the headers of its kept group.
            const int own = owner_[i];
            const bool kept = s_.KeepChild || s_.MasterKeep || s_.KeepHeader ||
                              std::any_of(s_.Groups.begin(), s_.Groups.end(), [](const Group &g) { return g.Keep; });
            // The data header (or its child, shown in its place) shown with
            // the first record is kept with it when the record keeps its
            // header or keeps together.
            const bool keptHeader = s_.KeepHeader || s_.MasterKeep;
            // The records of a kept group before it (their children hidden,
            // none broke the page) are in the block too.
            // A data band kept together with groups keeps its run from the
            // first record on: while the run's first group header stands
            // in the child's column, the records before it are in the block.
            static const QRegularExpression firstHeader(QStringLiteral("^gh1:a0 "));
            bool wholeRun = false;
            for (size_t j = 0; j < bands_.size() && s_.MasterKeep && !s_.Groups.empty() && !wholeRun; ++j) {
                const PrintedBand &h = bands_[j];
                wholeRun = h.Class == QLatin1String("TlyrGroupHeader") && !repeated_[j] && h.Page == b.Page &&
                           pageColumn(h.Left) == pageColumn(b.Left) && !h.Texts.filter(firstHeader).isEmpty();
            }
            const auto keptGroup = [&](int r) {
                if (wholeRun && r >= 0 && own >= 0 && r <= own) return true;
                bool same = r >= 0 && own >= 0;
                for (const Group &g : s_.Groups) {
                    same = same && r / g.Size == own / g.Size;
                    if (same && g.Keep) return true;
                }
                return false;
            };
            // So are the footers of its inner groups closed before it.
            const auto keptFooter = [&](const PrintedBand &f) {
                static const QRegularExpression footerKey(QStringLiteral("^gf\\d:([^:\\s]+)"));
                if (f.Class != QLatin1String("TlyrGroupFooter") || own < 0 || s_.Groups.empty()) return false;
                for (const QString &t : f.Texts) {
                    const auto m = footerKey.match(t);
                    if (!m.hasMatch()) continue;
                    const QString key = m.captured(1);
                    const QString outer = QStringLiteral("a%1").arg(own / s_.Groups[0].Size);
                    if (s_.Groups[0].Keep && (key == outer || key.startsWith(outer + QLatin1Char('b')))) return true;
                    if (s_.Groups.size() > 1 && s_.Groups[1].Keep &&
                        key == outer + QStringLiteral("b%1").arg(own / s_.Groups[1].Size))
                        return true;
                }
                return false;
            };
            // The footer after each record is that record's, hidden or not:
            // one of a hidden record of the kept group is in the block too.
            const auto recordFooter = [&](const PrintedBand &f) {
                static const QRegularExpression fid(QStringLiteral(" fid:r(\\d+)"));
                if (!s_.FooterEach || f.Name != QLatin1String("Footer1")) return false;
                const auto m = fid.match(f.Texts.join(QLatin1Char(' ')));
                if (!m.hasMatch()) return false;
                const int r = m.captured(1).toInt();
                return r == own || keptGroup(r);
            };
            const auto letBe = [&](size_t j) {
                // (What the kept group header's subreport printed beside it
                // goes with it.)
                static const QRegularExpression groupRows(QStringLiteral("^rec:[STN]:g"));
                return child && kept &&
                       (owner_[j] == own || keptGroup(owner_[j]) || keptFooter(bands_[j]) || recordFooter(bands_[j]) ||
                        bands_[j].Class == QLatin1String("TlyrGroupHeader") ||
                        (keptHeader && (bands_[j].Name == QLatin1String("Header1") || bands_[j].Name == QLatin1String("Child2"))) ||
                        (s_.SubHost == 4 && !bands_[j].Texts.filter(groupRows).isEmpty()));
            };
            if (pageColumn(b.Left) != 1 || !startsColumn(i, letBe))
                fail(QStringLiteral("newpage"), QStringLiteral("a band that starts a new page below others: ") + where(b));
        }
    }
    // The data header and group headers shown again on new pages and
    // columns are on every page and column their records reach.
    void reprintedHeaders()
    {
        using Cell = std::pair<int, int>;
        std::map<Cell, std::set<int>> reached;
        std::map<Cell, QSet<QString>> headers;
        static const QRegularExpression gh(QStringLiteral("^(gh\\d:\\S*)"));
        for (size_t i = 0; i < bands_.size(); ++i) {
            const PrintedBand &b = bands_[i];
            if (second(b)) continue;
            const Cell at{b.Page, pageColumn(b.Left)};
            // A footer after each record ends the header's run with the last.
            // (and so do the rows its subreport lists).
            const bool footer = b.Name == QLatin1String("Footer1") ||
                                b.Texts.filter(QRegularExpression(QStringLiteral("^rec:[STN]:f"))).size() > 0;
            if (owner_[i] >= 0 && !footer) reached[at].insert(owner_[i]);
            if (b.Name == QLatin1String("Header1") || (s_.HeaderHidden && b.Name == QLatin1String("Child2")))
                headers[at].insert(QStringLiteral("Header1"));
            // The later part of a split group header heads what follows it.
            if (b.Class == QLatin1String("TlyrGroupHeader") && b.Texts.filter(QRegularExpression(QStringLiteral("^gh"))).isEmpty())
                headers[at].insert(b.Name);
            for (const QString &t : b.Texts)
                if (const auto m = gh.match(t); m.hasMatch() && b.Class == QLatin1String("TlyrGroupHeader")) headers[at].insert(m.captured(1));
        }
        // A header is left out above a whole band that moved to the top of
        // a column and would not fit below it there: the band goes first,
        // below the headers that do fit.
        std::map<Cell, std::vector<const PrintedBand *>> cells;
        for (const PrintedBand &b : bands_)
            if (!second(b) && !pageBand(b) && b.Class != QLatin1String("TlyrReportTitle"))
                cells[{b.Page, pageColumn(b.Left)}].push_back(&b);
        auto repeated = [&](const PrintedBand &b) {
            if (b.Name == QLatin1String("Header1")) return s_.HeaderReprint;
            for (size_t g = 0; g < s_.Groups.size(); ++g)
                if (b.Name == QStringLiteral("GroupHeader%1").arg(g + 1)) return s_.Groups[g].Reprint;
            return false;
        };
        auto noRoom = [&](const Cell &at, const QString &header) {
            std::vector<const PrintedBand *> &in = cells[at];
            std::sort(in.begin(), in.end(), [](const PrintedBand *a, const PrintedBand *b) { return a->Top < b->Top; });
            const auto moved = std::find_if(in.begin(), in.end(), [&](const PrintedBand *b) { return !repeated(*b); });
            const TlyrComponent *h = b_.Report->FindObject(header);
            if (moved == in.end() || !h) return false;
            // (A footer that moved there holds the rows its subreport printed.)
            static const QRegularExpression own(QStringLiteral("^(rec:M:|gh\\d:|rec:[STN]:f)"));
            const PrintedBand &b = **moved;
            // One that may split goes on below the header.
            if (const auto *t = qobject_cast<const TlyrBand *>(b_.Report->FindObject(b.Name)); t && t->AllowSplit()) return false;
            // (A record's or child's later part holds none of its own texts.)
            const bool ofRecords = b.Name == QLatin1String("MasterData1") || b.Name.startsWith(QLatin1String("Child")) ||
                                   !b.Texts.filter(own).isEmpty();
            return ofRecords && b.Top + b.Height - in.front()->Top + h->Height() > columnRoom(b) + 0.01;
        };
        for (const auto &[at, records] : reached) {
            if (s_.Header && s_.HeaderReprint && !headers[at].contains(QStringLiteral("Header1")) &&
                !noRoom(at, QStringLiteral("Header1")))
                fail(QStringLiteral("reprint"), QStringLiteral("page %1 column %2 lacks the data header shown again").arg(at.first + 1).arg(at.second));
            // Group headers are not crossed: pages in width go without.
            // (Records side by side are told apart by the text only.)
            if (crossPart(at.first) || s_.MasterColumns > 1) continue;
            for (size_t g = 0; g < s_.Groups.size() && g < 2; ++g) {
                if (!s_.Groups[g].Reprint) continue;
                for (int r : records) {
                    const QString want = QStringLiteral("gh%1:").arg(g + 1) + b_.Master.Rows[r][1 + int(g)];
                    if (!headers[at].contains(want) && !headers[at].contains(QStringLiteral("GroupHeader%1").arg(g + 1)) &&
                        !noRoom(at, QStringLiteral("GroupHeader%1").arg(g + 1)))
                        fail(QStringLiteral("reprint"),
                             QStringLiteral("page %1 column %2 lacks %3 shown again").arg(at.first + 1).arg(at.second).arg(want));
                }
            }
        }
    }
    // A keep block that spans columns begins at a column's top: nothing of
    // another record or group lies above it there. The outermost block
    // counts: blocks do not nest.
    void keepBlocks()
    {
        if (s_.MasterNewPage || s_.ChildNewPage || s_.MasterKeep || s_.MasterColumns > 1) return;
        int level = -1;
        for (size_t g = 0; g < s_.Groups.size() && g < 2; ++g)
            if (s_.Groups[g].Keep) {
                level = int(g);
                break;
            }
        for (size_t g = size_t(level + 1); level >= 0 && g < s_.Groups.size(); ++g)
            if (s_.Groups[g].NewPage) return;
        if (level < 0 && !(s_.KeepChild && s_.Child)) return;
        // The block of each band, by its first record's group or its record.
        static const QRegularExpression groupText(QStringLiteral("^g[hf](\\d):(\\S*)"));
        std::vector<QString> block(bands_.size());
        std::set<int> inWidth;
        for (const PrintedBand &b : bands_)
            if (!inWidth.count(b.Page) && crossPart(b.Page)) inWidth.insert(b.Page);
        for (size_t i = 0; i < bands_.size(); ++i) {
            const PrintedBand &b = bands_[i];
            // A crossed row goes on in width, not in another column.
            if (second(b) || repeated_[i] || inWidth.count(b.Page)) continue;
            if (level >= 0) {
                // The master's footer and what its subreport printed follow
                // the groups, unless printed after each record (or each
                // record's details).
                static const QRegularExpression footerRows(QStringLiteral("^rec:[STN]:f"));
                const bool footer = s_.DetailRows == 0 && !s_.FooterEach &&
                                    (b.Name == QLatin1String("Footer1") || !b.Texts.filter(footerRows).isEmpty());
                // The footer after each record is that record's, hidden or
                // not: one of a hidden record belongs to its own group.
                static const QRegularExpression fid(QStringLiteral(" fid:r(\\d+)"));
                int own = owner_[i];
                if (const auto m = fid.match(b.Texts.join(QLatin1Char(' '))); m.hasMatch() && s_.FooterEach && b.Name == QLatin1String("Footer1"))
                    own = m.captured(1).toInt();
                if (own >= 0 && own < int(b_.Master.Rows.size()) && !footer) block[i] = b_.Master.Rows[own][1 + level];
                for (const QString &t : b.Texts)
                    if (const auto m = groupText.match(t); m.hasMatch() && m.captured(1).toInt() >= level + 1) {
                        const QString g = m.captured(2);
                        // An inner group's name begins with its outer one's.
                        block[i] = level == 0 ? g.section(QLatin1Char('b'), 0, 0) : g;
                    }
                // The rows the outer group header's subreport printed beside
                // it belong to that group's block, whichever record came last.
                static const QRegularExpression headerRows(QStringLiteral("^rec:[STN]:g([^.\\s]+)\\."));
                if (level == 0 && b.Name.startsWith(QLatin1String("SubData")))
                    for (const QString &t : b.Texts)
                        if (const auto m = headerRows.match(t); m.hasMatch()) block[i] = m.captured(1);
            } else if (owner_[i] >= 0 && (b.Name == QLatin1String("MasterData1") || b.Name.startsWith(QLatin1String("Child")))) {
                block[i] = QString::number(owner_[i]);
            } else if (static const QRegularExpression ownRows(QStringLiteral("^rec:[STN]:[rc]"));
                       owner_[i] >= 0 && b.Name.startsWith(QLatin1String("SubData")) && !b.Texts.filter(ownRows).isEmpty()) {
                // The rows a record's own subreport printed beside it are
                // part of its block and make it taller.
                block[i] = QString::number(owner_[i]);
            }
        }
        // The later parts of a split group header (without its text) belong
        // to the block its first part began, not to the record before.
        if (level >= 0) {
            std::vector<size_t> order(bands_.size());
            for (size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return readAt(bands_[a]) < readAt(bands_[b]); });
            QHash<QString, QString> begun;
            for (size_t i : order) {
                const PrintedBand &b = bands_[i];
                if (b.Class != QLatin1String("TlyrGroupHeader") || second(b) || repeated_[i] || inWidth.count(b.Page)) continue;
                if (!b.Texts.filter(groupText).isEmpty())
                    begun[b.Name] = block[i];
                else if (begun.contains(b.Name))
                    block[i] = begun[b.Name];
            }
        }
        std::map<QString, std::vector<size_t>> blocks;
        for (size_t i = 0; i < bands_.size(); ++i)
            if (!block[i].isEmpty()) blocks[block[i]].push_back(i);
        for (auto &[name, list] : blocks) {
            std::stable_sort(list.begin(), list.end(), [this](size_t a, size_t b) { return readAt(bands_[a]) < readAt(bands_[b]); });
            const auto first = readAt(bands_[list.front()]), last = readAt(bands_[list.back()]);
            if (std::get<0>(first) == std::get<0>(last) && std::get<1>(first) == std::get<1>(last)) continue;
            // Only a block an empty column holds with its repeated headers
            // (a taller one splits wherever it begins; rows beside others
            // take no more room).
            double height = 0;
            std::map<std::pair<int, int>, std::vector<std::pair<double, double>>> spans;
            for (size_t i : list)
                spans[{bands_[i].Page, pageColumn(bands_[i].Left)}].push_back({bands_[i].Top, bands_[i].Top + bands_[i].Height});
            for (auto &[at, runs] : spans) {
                std::sort(runs.begin(), runs.end());
                double reached = -1e18;
                for (const auto &[top, bottom] : runs) {
                    height += std::max(0.0, bottom - std::max(top, reached));
                    reached = std::max(reached, bottom);
                }
            }
            // The headers shown again where it goes on take room too.
            const auto goesOn = std::find_if(list.begin(), list.end(), [&](size_t i) {
                return std::make_pair(bands_[i].Page, pageColumn(bands_[i].Left)) != std::make_pair(std::get<0>(first), std::get<1>(first));
            });
            // A band of the block cut at the foot of the column it began in
            // may have needed more than its parts show: a cut drops what is
            // left at that foot, and a text's last part needs less than it
            // was measured with (about a line in all).
            const PrintedBand &next = bands_[*goesOn];
            double firstBottom = -1e18;
            bool cut = false;
            size_t lowest = list.front();
            for (size_t i : list)
                if (readAt(bands_[i]) < readAt(next) && bands_[i].Page == std::get<0>(first) &&
                    pageColumn(bands_[i].Left) == std::get<1>(first)) {
                    cut = cut || (bands_[i].Name == next.Name && owner_[i] == owner_[*goesOn]);
                    if (bands_[i].Top + bands_[i].Height > firstBottom) {
                        firstBottom = bands_[i].Top + bands_[i].Height;
                        lowest = i;
                    }
                }
            // (A text cut there leaves less than its next line at the foot,
            // so no more than two lines in all.)
            if (cut) height += std::clamp(columnFoot(bands_[lowest]) - firstBottom, kLine, 2 * kLine);
            double room = columnRoom(next);
            for (size_t j = 0; j < bands_.size(); ++j)
                if (repeated_[j] && bands_[j].Page == bands_[*goesOn].Page && pageColumn(bands_[j].Left) == pageColumn(bands_[*goesOn].Left))
                    room -= bands_[j].Height;
            if (height > room - 0.5) continue;
            const QString &own = name;
            if (!startsColumn(list.front(), [&](size_t j) { return block[j] == own || block[j].isEmpty(); }))
                fail(QStringLiteral("keep"), QStringLiteral("a kept block goes on in the next column below others: ") + where(bands_[list.front()]));
        }
    }
    // A band that may not split prints whole: its parts go on only when
    // it is taller than an empty column (then it splits as if it might).
    void wholeBands()
    {
        // A band's first part shows its first line; parts after lack it.
        auto firstLine = [&](const PrintedBand &b) -> QString {
            if (b.Name == QLatin1String("MasterData1")) return s_.MasterSplit ? QString() : QStringLiteral("^(rec:M:|x:|q:)");
            if (b.Name.startsWith(QLatin1String("Child")) && b.Name != QLatin1String("Child2")) {
                const int chain = b.Name == QLatin1String("Child1") ? 0 : b.Name.mid(5).toInt() - 2;
                return s_.ChildSplit && chain == s_.ChildChain ? QString() : "^" + b.Name + " ";
            }
            if (b.Name == QLatin1String("Title1") || b.Name == QLatin1String("Summary1"))
                return s_.TitleSplit ? QString() : "^" + b.Name + " ";
            if (b.Name == QLatin1String("GroupHeader1") || b.Name == QLatin1String("GroupFooter1"))
                return s_.GroupSplit ? QString() : QStringLiteral("^g[hf]1:");
            if (b.Name == QLatin1String("GroupHeader2") || b.Name == QLatin1String("GroupFooter2")) return QStringLiteral("^g[hf]2:");
            if (b.Name == QLatin1String("Footer1")) return QStringLiteral("^ftr:");
            return {};
        };
        std::vector<size_t> order(bands_.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return readAt(bands_[a]) < readAt(bands_[b]); });
        // By name and record: first part, height of all parts, the most a
        // column they print in holds, whether it went on.
        struct Parts {
            size_t From;
            double Height, Room;
            bool GoesOn;
            // The least room the band keeps between an object and the next
            // one below it: each cut drops at least that much.
            double Gap;
            int Cuts;
            size_t Last;
        };
        auto leastGap = [](const PrintedBand &b) {
            double gap = -1;
            for (const PrintedObject &a : b.Objects)
                for (const PrintedObject &c : b.Objects)
                    if (c.Top >= a.Top + a.Height - 0.01 && a.Left < c.Left + c.Width - 0.5 && c.Left < a.Left + a.Width - 0.5 &&
                        (gap < 0 || c.Top - (a.Top + a.Height) < gap))
                        gap = std::max(0.0, c.Top - (a.Top + a.Height));
            return gap;
        };
        auto least = [](double a, double b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); };
        QHash<QString, Parts> open;
        std::vector<Parts> done;
        for (size_t i : order) {
            const PrintedBand &b = bands_[i];
            const QString line = firstLine(b);
            if (line.isEmpty() || second(b)) continue;
            const QString key = b.Name + QLatin1Char('/') + QString::number(owner_[i]);
            if (b.Texts.filter(QRegularExpression(line)).size() > 0) {
                if (open.contains(key)) done.push_back(open.take(key));
                open[key] = {i, b.Height, columnRoom(b), false, leastGap(b), 0, i};
                continue;
            }
            if (!open.contains(key)) continue;
            Parts &p = open[key];
            p.Height += b.Height;
            p.Room = std::max(p.Room, columnRoom(b));
            p.GoesOn = true;
            p.Gap = least(p.Gap, leastGap(b));
            ++p.Cuts;
            p.Last = i;
        }
        // A last part that reaches its column's foot may end with a text
        // cut there, whose last line ended above the height it was measured
        // with: the band was up to a line taller than the paper shows.
        auto endsAtFoot = [&](const Parts &p) {
            const PrintedBand &l = bands_[p.Last];
            return l.Top + l.Height > columnFoot(l) - 1.0;
        };
        for (const Parts &p : open) done.push_back(p);
        // Judged by its whole height: a band taller than a column may go on
        // in any parts.
        for (const Parts &p : done) {
            const double height = p.Height + p.Cuts * std::max(p.Gap, 0.0) + (endsAtFoot(p) ? kLine : 0);
            if (p.GoesOn && height <= p.Room + 0.01)
                fail(QStringLiteral("whole"), QStringLiteral("a band that may not split goes on in parts (%1 high, a column holds %2): ")
                                                      .arg(height)
                                                      .arg(p.Room) +
                                                      where(bands_[p.From]));
        }
    }
    // ------------------------------------------------ the shapes
    // An amount as thousandths, read from its decimal text.
    static long long thousandths(const QString &text)
    {
        const bool negative = text.startsWith(QLatin1Char('-'));
        const QString digits = negative ? text.mid(1) : text;
        const QString whole = digits.section(QLatin1Char('.'), 0, 0);
        const QString part = (digits.section(QLatin1Char('.'), 1, 1) + QStringLiteral("000")).left(3);
        const long long t = whole.toLongLong() * 1000 + part.toLongLong();
        return negative ? -t : t;
    }
    // A number of thousandths to two decimals, half away from zero.
    static QString twoDecimals(long long t)
    {
        const long long cents = (std::llabs(t) + 5) / 10;
        return QStringLiteral("%1%2.%3").arg(t < 0 && cents > 0 ? "-" : "").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
    }
    // The sum over count to two decimals, half away from zero.
    static QString average(long long sum, long long count)
    {
        if (count == 0) return QStringLiteral("0.00");
        const long long u = std::llabs(sum) * 100, cents = (2 * u + count) / (2 * count);
        return QStringLiteral("%1%2.%3").arg(sum < 0 && cents > 0 ? "-" : "").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
    }
    double amount(int r) const { return b_.Master.Rows[r][5].toDouble(); }
    // The records printed, by index.
    std::vector<int> shownIndices() const
    {
        std::vector<int> out;
        for (int i = 0; i < b_.Master.Rows.size(); ++i)
            if (s_.printsRecord(i)) out.push_back(i);
        return out;
    }
    // Where a footer's texts do not show the totals of these records: SUM
    // and COUNT, or (more) on the line below MIN, MAX, AVG and the
    // amounts' sum.
    QString totalsDiffer(const QStringList &texts, const std::vector<int> &rs, bool more) const
    {
        static const QRegularExpression sc(QStringLiteral("(?:^|\\s)(?:gf\\d:\\S*:|ftr:|sum:|pt:|cf:)S(-?\\d+):C(\\d+)")),
                line(QStringLiteral("ag:N([^:]*):X([^:]*):A([^:]*):n([^:]*):x([^:]*):s([^:]*):p(\\S*)"));
        long long sum = 0, amounts = 0;
        double lo = 0, hi = 0, alo = 0, ahi = 0;
        for (size_t k = 0; k < rs.size(); ++k) {
            const int v = Plan::valueOf(rs[k]);
            sum += v;
            lo = k ? std::min(lo, double(v)) : v;
            hi = k ? std::max(hi, double(v)) : v;
            if (s_.Aggregates) {
                amounts += thousandths(b_.Master.Rows[rs[k]][5]);
                alo = k ? std::min(alo, amount(rs[k])) : amount(rs[k]);
                ahi = k ? std::max(ahi, amount(rs[k])) : amount(rs[k]);
            }
        }
        auto same = [](const QString &got, double want) {
            bool ok = false;
            const double x = got.toDouble(&ok);
            return ok && std::fabs(x - want) < 1e-9;
        };
        for (const QString &t : texts) {
            if (const auto m = sc.match(t); !more && m.hasMatch() && (m.captured(1).toLongLong() != sum || m.captured(2).toLongLong() != qsizetype(rs.size())))
                return QStringLiteral("S%1:C%2 for S%3:C%4").arg(m.captured(1), m.captured(2)).arg(sum).arg(rs.size());
            if (const auto m = line.match(t); more && m.hasMatch()) {
                const QString want = QStringLiteral("N%1:X%2:A%3:n%4:x%5:s%6:p%6")
                                             .arg(lo, 0, 'g', 15)
                                             .arg(hi, 0, 'g', 15)
                                             .arg(average(sum, qsizetype(rs.size())))
                                             .arg(alo, 0, 'g', 15)
                                             .arg(ahi, 0, 'g', 15)
                                             .arg(twoDecimals(amounts));
                if (!same(m.captured(1), lo) || !same(m.captured(2), hi) || m.captured(3) != average(sum, qsizetype(rs.size())) ||
                    !same(m.captured(4), alo) || !same(m.captured(5), ahi) || m.captured(6) != twoDecimals(amounts) ||
                    m.captured(7) != twoDecimals(amounts))
                    return m.captured(0) + QStringLiteral(" for ") + want;
            }
        }
        return {};
    }
    void shapes()
    {
        static const QRegularExpression groupKey(QStringLiteral("^gf(\\d):([^:\\s]*):")), fid(QStringLiteral(" fid:r(\\d+)")),
                amt(QStringLiteral(" amt:(\\S*)\\|(\\S*)\\|(\\S*)")), pg(QStringLiteral(" pg:(\\S*)")),
                cell(QStringLiteral("^(q|xgh|xgf):(\\S*)"));
        const std::vector<int> shown = shownIndices();
        // The footer after each record (or its details) totals the records
        // since the one before.
        auto runsFooter = [this](int j) { return s_.dataRecord(j) && (s_.DetailRows == 0 || s_.detailCount(j) > 0); };
        QHash<QString, int> cells;
        for (const PrintedBand &b : bands_) {
            if (second(b)) continue;
            const QString text = b.Texts.join(QLatin1Char('\n'));
            std::vector<std::vector<int>> scopes;
            if (b.Name == QLatin1String("Summary1")) {
                scopes.push_back(shown);
            } else if (b.Name.startsWith(QLatin1String("GroupFooter"))) {
                for (const QString &t : b.Texts)
                    if (const auto m = groupKey.match(t); m.hasMatch()) {
                        scopes.emplace_back();
                        for (int r : shown)
                            if (b_.Master.Rows[r][m.captured(1).toInt()] == m.captured(2)) scopes.back().push_back(r);
                    }
            } else if (b.Name == QLatin1String("Footer1") && s_.DetailRows > 0) {
                // A detail band's footer sums over the detail rows by
                // default: only its count of records is the records'.
                if (const auto m = fid.match(text); m.hasMatch()) {
                    const int i = m.captured(1).toInt();
                    int from = i - 1;
                    while (from >= 0 && !runsFooter(from)) --from;
                    int count = 0;
                    for (int r : shown) count += r > from && r <= i ? 1 : 0;
                    static const QRegularExpression c(QStringLiteral("^ftr:S-?\\d+:C(\\d+)"));
                    for (const QString &t : b.Texts)
                        if (const auto n = c.match(t); n.hasMatch() && n.captured(1).toInt() != count)
                            fail(QStringLiteral("totals"), QStringLiteral("C%1 for %2 records: ").arg(n.captured(1)).arg(count) + where(b));
                }
            } else if (b.Name == QLatin1String("Footer1")) {
                const auto m = fid.match(text);
                if (!s_.FooterEach) {
                    scopes.push_back(shown);
                } else if (m.hasMatch()) {
                    const int i = m.captured(1).toInt();
                    int from = i - 1;
                    while (from >= 0 && !runsFooter(from)) --from;
                    scopes.emplace_back();
                    for (int r : shown)
                        if (r > from && r <= i) scopes.back().push_back(r);
                }
            } else if ((b.Name == QLatin1String("PageFooter1") || b.Name == QLatin1String("ColumnFooter1")) && !crossPart(b.Page)) {
                scopes = placeScopes(b, b.Name == QLatin1String("PageFooter1"));
            }
            if (!scopes.empty() && text.contains(QLatin1String("ag:"))) {
                QString differs;
                for (const auto &rs : scopes) {
                    const QString d = totalsDiffer(b.Texts, rs, true);
                    if (d.isEmpty()) {
                        differs.clear();
                        break;
                    }
                    if (differs.isEmpty()) differs = d;
                }
                if (!differs.isEmpty()) fail(QStringLiteral("aggregate"), differs + QStringLiteral(": ") + where(b));
            }
            if (!scopes.empty() && b.Name == QLatin1String("Footer1") && s_.FooterEach)
                if (const QString d = totalsDiffer(b.Texts, scopes[0], false); !d.isEmpty()) fail(QStringLiteral("totals"), d + QStringLiteral(": ") + where(b));
            for (const QString &t : b.Texts) {
                if (t.startsWith(QLatin1String("Sum (")) && !t.startsWith(QLatin1String("Sum (RMB) sum(x) Max (per row): avg (mean)")))
                    fail(QStringLiteral("plaintext"), QStringLiteral("a text read as a formula: ") + where(b));
                if (const auto m = pg.match(t); m.hasMatch() && m.captured(1) != (b.Page == 0 ? QLatin1String("first") : QLatin1String("later")))
                    fail(QStringLiteral("page#expr"), QStringLiteral("an expression shows the page as %1: ").arg(m.captured(1)) + where(b));
                if (const auto m = amt.match(t); m.hasMatch()) {
                    const QString want = twoDecimals(thousandths(b_.Master.Rows[recordOf(t).mid(7).toInt()][5]));
                    for (int k = 1; k <= 3; ++k)
                        if (m.captured(k) != want)
                            fail(QStringLiteral("rounding"), QStringLiteral("%1 for %2 (%3): ").arg(m.captured(k), want, b_.Master.Rows[recordOf(t).mid(7).toInt()][5]) + where(b));
                }
            }
            for (const PrintedObject &o : b.Objects)
                if (const auto m = cell.match(o.Text); m.hasMatch()) {
                    if (m.captured(1) == QLatin1String("q")) ++cells[m.captured(2).section(QLatin1Char(' '), 0, 0)];
                    if (!m.captured(2).section(QLatin1Char(':'), -1).startsWith(QLatin1Char('Q')))
                        fail(QStringLiteral("crossgroup"), QStringLiteral("\"%1\" names no column group: ").arg(o.Text) + where(b));
                }
        }
        if (s_.CrossGroups) {
            QSet<QString> groups;
            for (const QStringList &c : b_.Cross.Rows) groups.insert(c[1]);
            for (int r : shown)
                for (const QString &g : groups) {
                    const QString key = b_.Master.Rows[r][0] + QLatin1Char(':') + g;
                    if (cells.value(key) != 1) fail(QStringLiteral("crossgroup"), QStringLiteral("q:%1 printed %2 times").arg(key).arg(cells.value(key)));
                }
        }
    }
    // Every cross-tab cell prints once, under its column's title.
    void crossCells()
    {
        if (!s_.CrossCols) return;
        QHash<QString, int> times;
        for (const PrintedBand &b : bands_)
            for (const PrintedObject &o : b.Objects) {
                if (!o.Text.startsWith(QLatin1String("x:"))) continue;
                const QString key = o.Text.section(QLatin1Char(' '), 0, 0);
                ++times[key];
                const QString title = QStringLiteral("xt:") + key.section(QLatin1Char(':'), 2, 2) + QLatin1Char(' ');
                bool under = false;
                for (const PrintedBand &h : bands_)
                    if (h.Page == b.Page)
                        for (const PrintedObject &t : h.Objects)
                            under = under || (t.Text.startsWith(title) && std::fabs(t.Left - o.Left) < 0.5 && t.Top < o.Top);
                if (!under && s_.Header && s_.HeaderReprint)
                    fail(QStringLiteral("crosstitle"), QStringLiteral("%1 at %2,%3 is under no title of its column: ").arg(key).arg(o.Left).arg(o.Top) + where(b));
            }
        for (const QStringList &r : shownRows())
            for (const QStringList &c : b_.Cross.Rows) {
                const QString key = QStringLiteral("x:%1:%2").arg(r[0], c[0]);
                if (times.value(key) != 1) fail(QStringLiteral("cross"), QStringLiteral("%1 printed %2 times").arg(key).arg(times.value(key)));
            }
    }
    void numbers()
    {
        static const QRegularExpression pageNo(QStringLiteral("@(\\d+)")), total(QStringLiteral("T=(\\d+)")),
                totals(QStringLiteral("(?:^|\\s)(gf\\d|ftr|sum)[^S]*S(-?\\d+):C(\\d+)")),
                script(QStringLiteral(" sc:(-?\\d+):(-?\\d+)")), subRows(QStringLiteral(" sb:(\\d+)"));
        const auto expectedSubRows = expected().filter(QRegularExpression(QStringLiteral("^rec:S:"))).size();
        // Sums and counts of the records by outer and inner group.
        QHash<QString, std::pair<int, int>> sums;
        for (const QStringList &r : shownRows())
            for (const QString &key : {QStringLiteral("gf1:") + r[1], QStringLiteral("gf2:") + r[2], QStringLiteral("all")}) {
                sums[key].first += r[3].toInt();
                sums[key].second += 1;
            }
        QHash<QString, int> footers;
        for (const PrintedBand &b : bands_)
            for (const QString &t : b.Texts) {
                for (auto it = pageNo.globalMatch(t); it.hasNext();) {
                    const int n = it.next().captured(1).toInt();
                    // The page before: the band was prepared before it moved.
                    if (n != b.Page + 1)
                        fail(n == b.Page ? QStringLiteral("page#-before") : QStringLiteral("page#"),
                             QStringLiteral("shows page %1: ").arg(n) + where(b));
                }
                if (const auto m = total.match(t); m.hasMatch() && m.captured(1).toInt() != count_)
                    fail(QStringLiteral("totalpages"), QStringLiteral("total pages %1 of %2: ").arg(m.captured(1)).arg(count_) + where(b));
                if (const auto m = totals.match(t); m.hasMatch()) {
                    const QString kind = m.captured(1);
                    // With a detail band the footer is the detail's; one after
                    // each record shows that record's totals.
                    if (kind == QLatin1String("ftr") && (s_.DetailRows > 0 || s_.FooterEach)) continue;
                    const QString key = kind.startsWith(QLatin1String("gf")) ? t.section(QLatin1Char(':'), 0, 1) : QStringLiteral("all");
                    ++footers[kind.startsWith(QLatin1String("gf")) ? key : kind];
                    const auto want = sums.value(key);
                    if (m.captured(2).toInt() != want.first || m.captured(3).toInt() != want.second)
                        fail(QStringLiteral("totals"), QStringLiteral("%1 wants S%2:C%3: ").arg(key).arg(want.first).arg(want.second) + where(b));
                    // The script's events ran once for each record counted.
                    if (const auto sc = script.match(t); sc.hasMatch() && (sc.captured(1).toInt() != want.first || sc.captured(2).toInt() != want.second))
                        fail(QStringLiteral("script"), QStringLiteral("%1: script totals S%2:C%3, not S%4:C%5: ")
                                                               .arg(key, sc.captured(1), sc.captured(2))
                                                               .arg(want.first)
                                                               .arg(want.second) +
                                                               where(b));
                }
                if (const auto m = subRows.match(t); m.hasMatch() && m.captured(1).toInt() != expectedSubRows)
                    fail(QStringLiteral("script"), QStringLiteral("the script counted %1 subreport rows, not %2: ").arg(m.captured(1)).arg(expectedSubRows) + where(b));
            }
        for (auto it = footers.cbegin(); it != footers.cend(); ++it)
            if (it.value() > 1) fail(QStringLiteral("footers"), it.key() + QStringLiteral(" printed %1 times").arg(it.value()));
        // A suppressed repeat is empty, or shows its own record's group.
        for (const PrintedBand &b : bands_) {
            QString rec, sup;
            bool hasSup = false;
            for (const QString &t : b.Texts) {
                if (t.startsWith(QLatin1String("rec:M:"))) rec = recordOf(t).mid(6);
                if (b.Name == QLatin1String("MasterData1") && !t.startsWith(QLatin1String("rec:")) &&
                    (t.isEmpty() || t.startsWith(QLatin1String("sup:")))) {
                    hasSup = true;
                    sup = t;
                }
            }
            if (!hasSup || rec.isEmpty() || sup.isEmpty()) continue;
            const int i = rec.mid(1).toInt();
            if (i < b_.Master.Rows.size() && sup != QStringLiteral("sup:") + b_.Master.Rows[i][1])
                fail(QStringLiteral("suppress"), QStringLiteral("suppressed value of another record: ") + where(b));
        }
    }

    const Built &b_;
    const Plan &s_;
    TlyrPreviewPages &pages_;
    int count_;
    std::vector<PrintedBand> bands_;
    mutable std::optional<std::set<int>> crossParts_;  // pages that only go on with cells in width
    mutable size_t crossPartReads_ = 0;
    std::vector<int> owner_;
    std::vector<bool> repeated_;
    std::vector<Failure> failures_;
};

// Prepares a built template and checks it.
inline std::vector<Failure> run(Built &b)
{
    TlyrReport &r = *b.Report;
    bool ok = false;
    try {
        ok = r.PrepareReport();
    } catch (const std::exception &e) {
        return {{QStringLiteral("error"), QString::fromUtf8(e.what())}};
    }
    if (!ok || !r.Errors().isEmpty())
        return {{QStringLiteral("error"), QStringLiteral("preparing failed: ") + r.Errors().join(QStringLiteral("; "))}};
    Checker checker(b, b.pages(), b.pages().Count());
    return checker.check();
}

inline std::vector<Failure> runPlan(const Plan &s)
{
    std::unique_ptr<Built> b = build(s);
    return run(*b);
}

// ---------------------------------------------------------------- reducing

// Smaller variants of a template: fewer bands, records and flags.
inline std::vector<Plan> smaller(const Plan &s)
{
    std::vector<Plan> out;
    auto with = [&](auto change) {
        Plan t = s;
        change(t);
        out.push_back(t);
    };
    if (s.Records > 1) with([](Plan &t) { t.Records /= 2; });
    if (s.Records > 0) with([](Plan &t) { --t.Records; });
    if (s.SubRecords > 1) with([](Plan &t) { t.SubRecords /= 2; });
    if (s.SubRecords > 0) with([](Plan &t) { --t.SubRecords; });
    if (s.SubHost) with([](Plan &t) { t.SubHost = 0, t.SubRecords = 0; });
    if (!s.Groups.empty()) with([](Plan &t) { t.Groups.pop_back(); });
    if (!s.Groups.empty()) with([](Plan &t) { t.Groups.erase(t.Groups.begin()); });
    for (size_t i = 0; i < s.Groups.size(); ++i) {
        const Group &g = s.Groups[i];
        if (g.Keep) with([i](Plan &t) { t.Groups[i].Keep = false; });
        if (g.Reprint) with([i](Plan &t) { t.Groups[i].Reprint = false; });
        if (g.NewPage) with([i](Plan &t) { t.Groups[i].NewPage = false, t.Groups[i].ResetNumbers = false; });
        if (g.ResetNumbers) with([i](Plan &t) { t.Groups[i].ResetNumbers = false; });
        if (g.Footer) with([i](Plan &t) { t.Groups[i].Footer = false; });
        if (g.Size > 1) with([i](Plan &t) { t.Groups[i].Size /= 2; });
    }
    if (s.PageColumns > 1) with([](Plan &t) { --t.PageColumns; });
    if (s.MasterColumns > 1) with([](Plan &t) { --t.MasterColumns; });
    if (s.DetailRows > 0) with([](Plan &t) { --t.DetailRows; });
    if (s.StretchWords > 1) with([](Plan &t) { t.StretchWords /= 2; });
    if (s.StretchWords > 0) with([](Plan &t) { t.StretchWords = 0; });
    if (s.DoublePass) with([](Plan &t) { t.DoublePass = false; });
    if (s.Margin > 0) with([](Plan &t) { t.Margin = 0; });
    for (const auto &[name, f] : planFlags())
        if (f != &Plan::DoublePass && s.*f) with([f = f](Plan &t) { t.*f = false; });
    if (!s.TitleFirst) with([](Plan &t) { t.TitleFirst = true; });
    if (s.Overlay) with([](Plan &t) { t.Overlay = 0; });
    if (s.MasterHeight > 16) with([](Plan &t) { t.MasterHeight = 16; });
    if (s.ChildChain > 0) with([](Plan &t) { --t.ChildChain; });
    if (s.SplitWords > 1) with([](Plan &t) { t.SplitWords /= 2; });
    if (s.Records2 > 1) with([](Plan &t) { t.Records2 /= 2; });
    if (s.Records2 > 0) with([](Plan &t) { --t.Records2; });
    if (s.TallEvery > 0) with([](Plan &t) { t.TallEvery = 0; });
    if (s.Script) with([](Plan &t) { t.Script = 0; });
    if (s.SubDetailRows > 0) with([](Plan &t) { --t.SubDetailRows; });
    if (s.CrossCols > 0) with([](Plan &t) { t.CrossCols = 0; });
    if (s.CrossCols > 1) with([](Plan &t) { --t.CrossCols; });
    if (s.SplitWords > 0) with([](Plan &t) { t.SplitWords = 0; });
    if (s.HideRecords) with([](Plan &t) { t.HideRecords = 0; });
    for (int bit = 1; bit <= 16; bit *= 2)
        if (s.HideBands & bit) with([bit](Plan &t) { t.HideBands &= ~bit; });
    if (s.CrossGroups) with([](Plan &t) { t.CrossGroups = 0; });
    return out;
}

// Shrinks a failing template while it still fails the same way (fails
// tells whether a candidate does).
inline Plan reduce(Plan s, const std::function<bool(const Plan &)> &fails, int budget = 400)
{
    for (bool progress = true; progress && budget > 0;) {
        progress = false;
        for (const Plan &t : smaller(s)) {
            if (--budget < 0) break;
            if (fails(t)) {
                s = t;
                progress = true;
                break;
            }
        }
    }
    return s;
}

inline bool hasKind(const std::vector<Failure> &f, const QString &kind)
{
    return std::any_of(f.begin(), f.end(), [&](const Failure &x) { return x.Kind == kind; });
}

// Writes the template (datasets by name) and its CSV files into dir, with
// the lyrrun command that prints it; returns that command.
inline QString writeCase(const Plan &s, const QString &dir, const QString &stem)
{
    std::unique_ptr<Built> b = build(s, false);
    const QString templ = dir + QLatin1Char('/') + stem + QStringLiteral(".lyr");
    b->Report->SaveToFile(templ);
    auto write = [](const QString &path, const QString &text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text.toUtf8());
    };
    QString cmd = QStringLiteral("lyrrun %1 --data M=%2_m.csv").arg(templ, dir + QLatin1Char('/') + stem);
    write(dir + QLatin1Char('/') + stem + QStringLiteral("_m.csv"), b->Master.csv());
    if (s.SubHost) {
        write(dir + QLatin1Char('/') + stem + QStringLiteral("_s.csv"), b->Sub.csv());
        cmd += QStringLiteral(" --data S=%1_s.csv").arg(dir + QLatin1Char('/') + stem);
        if (s.SubSide) cmd += QStringLiteral(" --data T=%1_s.csv").arg(dir + QLatin1Char('/') + stem);
    }
    // The detail rows of all records: lyrrun gives a detail band every row
    // of its file.
    if (s.DetailSet) {
        write(dir + QLatin1Char('/') + stem + QStringLiteral("_d.csv"), b->Detail.csv());
        cmd += QStringLiteral(" --data D=%1_d.csv").arg(dir + QLatin1Char('/') + stem);
    }
    if (s.Page2) {
        write(dir + QLatin1Char('/') + stem + QStringLiteral("_p.csv"), b->Second.csv());
        cmd += QStringLiteral(" --data P=%1_p.csv").arg(dir + QLatin1Char('/') + stem);
    }
    if (s.SubHost && s.SubNested) {
        write(dir + QLatin1Char('/') + stem + QStringLiteral("_n.csv"), b->Nest.csv());
        cmd += QStringLiteral(" --data N=%1_n.csv").arg(dir + QLatin1Char('/') + stem);
    }
    if (s.CrossCols) {
        write(dir + QLatin1Char('/') + stem + QStringLiteral("_v.csv"), b->Cross.csv());
        cmd += QStringLiteral(" --data V=%1_v.csv").arg(dir + QLatin1Char('/') + stem);
    }
    cmd += QStringLiteral(" --dump");
    write(dir + QLatin1Char('/') + stem + QStringLiteral(".txt"), s.describe() + QLatin1Char('\n') + cmd + QLatin1Char('\n'));
    return cmd;
}

}  // namespace lyrprop
