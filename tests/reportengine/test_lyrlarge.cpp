// Large generated pages and texts: tenfold input costs about tenfold time
// and memory, not a hundredfold; limits end in error lines, and running out
// of memory while a page is built or drawn ends in an error line, never in a
// crash.

#include "child_cost.h"
#include "prepared_text_util.h"
#include "print_report_util.h"

#include "report/lyrexception.h"
#include "reportengine/lyrBarcod.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryFile>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>

namespace {

using LargeTest = PrintReportTest;

// A page of n bands, each with a memo of its own text.
QByteArray pageOfRows(int n)
{
    QByteArray page = "<page0>";
    for (int i = 0; i < n; ++i)
        page += "<b1 t=\"" + QByteArray::number(i % 50 * 20) + "\"><m1 u=\"row " + QByteArray::number(i) + "\"/></b1>";
    return page + "</page0>";
}

// A text of chars characters in lines of 60 (CR LF between them).
QString longText(int chars)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, again and again.").left(58);
    QString text;
    text.reserve(chars + chars / 20);
    while (text.size() < chars) text += line + QStringLiteral("\r\n");
    text.truncate(chars);
    return text;
}

// A page with one memo holding text, tall enough for all of it.
QByteArray pageOfOneMemo(const QString &text)
{
    QByteArray escaped = text.toUtf8();
    escaped.replace("\r", "&#13;").replace("\n", "&#10;");
    return "<page0><b1 t=\"0\" h=\"1000\"><m1 h=\"100000000\" w=\"600\" u=\"" + escaped + "\"/></b1></page0>";
}

// A report with the pages of a file, and an image to draw them on.
struct LoadedFile {
    explicit LoadedFile(const QByteArray &file, int side)
        : Pages(*static_cast<TlyrPreviewPages *>(Report.PreviewPages())), Image(side, side, QImage::Format_RGB32),
          Painter(&Image)
    {
        loadText(Pages, file);
    }
    TlyrReport Report;
    TlyrPreviewPages &Pages;
    QImage Image;
    QPainter Painter;
    TlyrCanvas Canvas{&Painter, 96, 96, false};
};

// Loads the file, builds its first page and draws it as the preview does.
int loadAndDraw(const QByteArray &file)
{
    LoadedFile f(file, 1000);
    f.Pages.DrawPage(0, f.Canvas, 1, 1, 0, 0);
    return f.Pages.GetPage(0) ? 0 : 1;
}

// A band of n memos too small for a line, each flowing into the next, the
// last into a memo that holds everything; the first has the text.
struct FlowChain {
    std::vector<TlyrMemoView *> Tiny;
    TlyrMemoView *Last = nullptr;
};

// A page with one band of one record, 20 high.
TlyrMasterData *oneRecordBand(TlyrReport &report)
{
    auto *page = new TlyrReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    page->SetParent(&report);
    auto *band = new TlyrMasterData(&report);
    band->SetName(QStringLiteral("MasterData1"));
    band->SetParent(page);
    band->SetHeight(20);
    band->SetRowCount(1);
    return band;
}

FlowChain flowChain(TlyrReport &report, int n, const QString &text)
{
    TlyrMasterData *band = oneRecordBand(report);
    FlowChain chain;
    for (int i = 0; i < n; ++i) {
        auto *m = new TlyrMemoView(&report);
        m->SetName(QStringLiteral("Tiny%1").arg(i + 1));
        m->SetParent(band);
        m->SetBounds(i % 100, 0, 40, 1);
        m->SetText(i == 0 ? text : QString());
        if (!chain.Tiny.empty()) chain.Tiny.back()->SetFlowTo(m);
        chain.Tiny.push_back(m);
    }
    chain.Last = new TlyrMemoView(&report);
    chain.Last->SetName(QStringLiteral("Last"));
    chain.Last->SetParent(band);
    chain.Last->SetBounds(0, 2, 600, 10);
    chain.Last->SetWordWrap(false);
    chain.Tiny.back()->SetFlowTo(chain.Last);
    return chain;
}

// One record whose stretched memo of n short lines is split over pages.
int runSplitText(int n)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    TlyrMasterData *band = oneRecordBand(report);
    band->SetStretched(true);
    band->SetAllowSplit(true);
    auto *memo = new TlyrMemoView(&report);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetParent(band);
    memo->SetBounds(0, 0, 200, 20);
    memo->SetStretchMode(smActualHeight);
    memo->SetText(QStringLiteral("line\r\n").repeated(n));
    return report.PrepareReport() && report.PreviewPages()->Count() > 1 ? 0 : 1;
}

int runFlowChain(int n, const QString &text)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    flowChain(report, n, text);
    return report.PrepareReport() ? 0 : 1;
}

// A chain of n subreports, each on the page the one before it runs, each
// page one record long (names unique by making: a check per name would
// cost more than the run).
void subreportChain(TlyrReport &report, int n)
{
    auto *page = new TlyrReportPage(&report);
    page->SetNameUnchecked(QStringLiteral("Page1"));
    page->SetParent(&report);
    for (int i = 1; i <= n + 1; ++i) {
        auto *band = new TlyrMasterData(&report);
        band->SetNameUnchecked(QStringLiteral("Band%1").arg(i));
        band->SetParent(page);
        band->SetHeight(20);
        band->SetRowCount(1);
        if (i > n) break;
        auto *next = new TlyrReportPage(&report);
        next->SetNameUnchecked(QStringLiteral("SubPage%1").arg(i));
        next->SetParent(&report);
        auto *sub = new TlyrSubreport(&report);
        sub->SetNameUnchecked(QStringLiteral("Sub%1").arg(i));
        sub->SetParent(band);
        sub->SetBounds(0, 0, 100, 20);
        sub->SetSubPage(next);
        page = next;
    }
}

// Prepares a chain n deep: 0 when it ended in an error line naming the
// subreport that went too deep, 2 when it ran to its end.
int runSubreportChain(int n)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    subreportChain(report, n);
    if (report.PrepareReport()) return 2;
    const QString deepest = QStringLiteral("Sub%1").arg(TlyrEngine::MaxSubreportDepth + 1);
    for (const QString &e : report.Errors())
        if (e.contains(deepest)) return 0;
    return 1;
}

// Each piece of work at n and at 10 n: about ten times the time and the
// memory, never a hundred (a small floor keeps fixed costs from counting).
TEST_F(LargeTest, TenfoldInputCostsAboutTenfoldTimeAndMemory)
{
    const GrowthCase cases[] = {
            {"a page of n rows built and drawn", 2000,
             [](int n) {
                 const QByteArray file = preparedText(pageOfRows(n));
                 return loadAndDraw(file);
             },
             6000},
            {"a memo of n characters drawn from a file", 40000,
             [](int n) {
                 const QByteArray file = preparedText(pageOfOneMemo(longText(n)));
                 return loadAndDraw(file);
             },
             24},
            {"SetText of n lines", 40000,
             [](int n) {
                 TlyrMemoView memo;
                 memo.SetText(QStringLiteral("ab\r\n").repeated(n));
                 return memo.Memo().size() == n ? 0 : 1;
             },
             100},
            {"a split band's text of n lines", 20000, [](int n) { return runSplitText(n); }, 4000},
            {"a FlowTo chain of n tiny memos", 30, [](int n) { return runFlowChain(n, longText(20000)); }, 40000},
            {"a FlowTo chain carrying n characters", 4000, [](int n) { return runFlowChain(20, longText(n)); }, 50},
            {"a subreport chain n deep", 2000, [](int n) { return runSubreportChain(n); }, 60000},
    };
    for (const GrowthCase &c : cases) expectAboutTenfold(c);
}

// What dumping a loaded file of n pages adds to the peak (KB), measured in
// a child: the pages' own memory is there before the dump starts.
qint64 dumpGrowthKb(int n)
{
    QTemporaryFile result;
    if (!result.open()) return -1;
    const Cost c = inChild([n, path = result.fileName()] {
        QByteArray pages;
        for (int i = 0; i < n; ++i)
            pages += "<page0><b1 t=\"0\"><m1 u=\"row " + QByteArray::number(i) + "\"/></b1></page0>";
        TlyrReport report;
        auto &store = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
        loadText(store, preparedText(pages));
        pages = QByteArray();
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly)) reset.write("5");
        reset.close();
        const qint64 base = statusKb("VmRSS");
        qint64 lines = 0;
        lyrDumpPreparedPages(store, [&lines](const QString &page) { lines += page.count(u'\n'); });
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly)) return 1;
        out.write(QByteArray::number(statusKb("VmHWM") - base));
        return lines == 3LL * n ? 0 : 2;
    });
    if (c.Status != 0) return -1;
    return result.readAll().toLongLong();
}

// The dump is handed out page by page: tenfold pages leave its memory as
// it was.
TEST_F(LargeTest, DumpingTenfoldPagesTakesNoMoreMemory)
{
    const qint64 small = dumpGrowthKb(2000), big = dumpGrowthKb(20000);
    ASSERT_GE(small, 0);
    ASSERT_GE(big, 0);
    if (!kSanitized)
        EXPECT_LT(double(big - small) * 1024 / 18000, 40) << small << " KB, then " << big << " KB";
}

// What drawing the page of one memo of n characters with the given
// attributes adds to the peak (KB), measured in a child after the file is
// loaded and its page built.
qint64 drawGrowthKb(int n, const QByteArray &attributes, bool oneParagraph)
{
    QTemporaryFile result;
    if (!result.open()) return -1;
    const Cost c = inChild([&, path = result.fileName()] {
        QByteArray page = pageOfOneMemo(oneParagraph ? QStringLiteral("word ").repeated(n / 5) : longText(n));
        page.replace("<m1 h=\"100000000\"", "<m1 h=\"900\" " + attributes);
        LoadedFile f(preparedText(page), 1000);
        page = QByteArray();
        if (!f.Pages.GetPage(0)) return 3;
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly)) reset.write("5");
        reset.close();
        const qint64 base = statusKb("VmRSS");
        f.Pages.DrawPage(0, f.Canvas, 1, 1, 0, 0);
        const qint64 growth = statusKb("VmHWM") - base;
        // Lines were drawn.
        int inked = 0;
        for (int y = 0; y < 1000; y += 2)
            for (int x = 0; x < 1000; x += 2) inked += f.Image.pixel(x, y) != qRgb(255, 255, 255);
        if (inked < 200) return 4;
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly)) return 1;
        out.write(QByteArray::number(growth));
        return 0;
    });
    if (c.Status != 0) return -c.Status - 1;
    return result.readAll().toLongLong();
}

// Drawing the memo of a tenfold text with the given attributes, in lines of
// 60 characters or in one paragraph, adds not even a byte a character to
// the peak: what the page shows, not the text.
void expectTenfoldDrawingTakesNoMoreMemory(const QByteArray &attributes, bool oneParagraph)
{
    SCOPED_TRACE(testing::Message() << attributes.constData() << (oneParagraph ? " in one paragraph" : ""));
    const qint64 small = drawGrowthKb(500000, attributes, oneParagraph);
    const qint64 big = drawGrowthKb(5000000, attributes, oneParagraph);
    ASSERT_GE(small, 0);
    ASSERT_GE(big, 0);
    // 4.5 million characters more.
    EXPECT_LT(big - small, 4 * 1024) << small << " KB, then " << big << " KB";
}

// Drawing a memo of a tenfold text, from the bottom, the centre or turned,
// takes the memory of what the page shows, not of the text.
TEST_F(LargeTest, DrawingAMemoOfATenfoldTextTakesNoMoreMemory)
{
    if (kSanitized) GTEST_SKIP() << "a sanitizer keeps freed memory aside";
    const char *cases[] = {"VAlign=\"vaBottom\"", "VAlign=\"vaCenter\"", "Rotation=\"90\"",
                           "Rotation=\"270\" VAlign=\"vaBottom\"", "Rotation=\"30\" VAlign=\"vaCenter\"",
                           "Rotation=\"180\" Clipped=\"0\""};
    for (bool oneParagraph : {false, true})
        for (const char *attributes : cases) expectTenfoldDrawingTakesNoMoreMemory(attributes, oneParagraph);
}

// A memo sized to its text is measured without keeping its lines: drawing
// one of a tenfold text takes the memory of what the page shows, wrapped or
// not, from the top, the bottom or turned.
TEST_F(LargeTest, DrawingAnAutoWidthMemoOfATenfoldTextTakesNoMoreMemory)
{
    if (kSanitized) GTEST_SKIP() << "a sanitizer keeps freed memory aside";
    const char *cases[] = {"AutoWidth=\"True\"", "AutoWidth=\"True\" VAlign=\"vaBottom\" HAlign=\"haRight\"",
                           "AutoWidth=\"True\" Rotation=\"90\"", "AutoWidth=\"True\" WordWrap=\"False\""};
    for (bool oneParagraph : {false, true})
        for (const char *attributes : cases) {
            // One line of all the text is as wide as the text.
            if (oneParagraph && QByteArray(attributes).contains("WordWrap")) continue;
            expectTenfoldDrawingTakesNoMoreMemory(attributes, oneParagraph);
        }
}

// One line of a tenfold text in a memo sized to it, not wrapped, is laid
// out only where the canvas shows it, from the top or the bottom, turned or
// not, its start, middle or end, spaced to its layout's width or at its
// natural advances.
TEST_F(LargeTest, DrawingAnUnwrappedAutoWidthLineOfATenfoldTextTakesNoMoreMemory)
{
    if (kSanitized) GTEST_SKIP() << "a sanitizer keeps freed memory aside";
    const char *cases[] = {"AutoWidth=\"True\" WordWrap=\"False\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" VAlign=\"vaBottom\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" Rotation=\"90\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" Rotation=\"180\" HAlign=\"haRight\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haRight\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haCenter\" VAlign=\"vaBottom\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haRight\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haCenter\"",
                           "AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" Rotation=\"180\""};
    for (const char *attributes : cases) expectTenfoldDrawingTakesNoMoreMemory(attributes, true);
}

// A limit set for one test and put back after it.
template <class T>
struct ScopedLimit {
    ScopedLimit(T &limit, T value) : Limit(limit), Saved(limit) { limit = value; }
    ~ScopedLimit() { Limit = Saved; }
    ScopedLimit(const ScopedLimit &) = delete;
    ScopedLimit &operator=(const ScopedLimit &) = delete;
    T &Limit;
    T Saved;
};

// Lines that do not wrap, laid out only where the canvas shows them, draw
// the same pixels as the whole text laid out: short lines, and a long one
// whose start, middle or end shows, drawn at its natural advances (a font
// run cut where the whole run's unrounded advances put it) or spaced to its
// layout's width, with tags or without.
TEST_F(LargeTest, UnwrappedLinesLaidOutAsFarAsShownDrawAsTheWholeText)
{
    const QString shortLines = longText(20000), oneLine = QStringLiteral("word ").repeated(8000),
                  tagged = QStringLiteral(u"word <b>bold</b> <font color=\"#FF0000\">红色</font> x<sub>2</sub> ")
                                   .repeated(1500);
    const std::pair<const char *, const QString *> cases[] = {
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haRight\" VAlign=\"vaBottom\"", &shortLines},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haCenter\" Rotation=\"180\"", &shortLines},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haRight\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haCenter\" VAlign=\"vaBottom\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haRight\" Rotation=\"180\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haRight\" AllowHTMLTags=\"True\"", &tagged},
            {"AutoWidth=\"True\" WordWrap=\"False\" HAlign=\"haCenter\" AllowHTMLTags=\"True\" "
             "ParagraphGap=\"20\" CharSpacing=\"0.7\"",
             &tagged},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haRight\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haCenter\" VAlign=\"vaBottom\"",
             &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haCenter\" Rotation=\"180\"", &oneLine},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haBlock\" AllowHTMLTags=\"True\"",
             &tagged},
            {"AutoWidth=\"True\" WordWrap=\"False\" Wysiwyg=\"False\" HAlign=\"haCenter\" AllowHTMLTags=\"True\" "
             "ParagraphGap=\"20\" CharSpacing=\"0.7\"",
             &tagged}};
    for (const auto &[attributes, text] : cases) {
        SCOPED_TRACE(attributes);
        QByteArray page = pageOfOneMemo(text->toHtmlEscaped());
        page.replace("<m1 h=\"100000000\"", "<m1 h=\"900\" " + QByteArray(attributes));
        auto draw = [&page] {
            LoadedFile f(preparedText(page), 1000);
            f.Image.fill(Qt::white);
            f.Pages.DrawPage(0, f.Canvas, 1, 1, 0, 0);
            return f.Image;
        };
        const QImage shown = draw();
        const ScopedLimit<qsizetype> whole(TlyrDrawText::WholeTextChars, qsizetype(1) << 30);
        const QImage all = draw();
        int inked = 0, differ = 0;
        for (int y = 0; y < all.height(); ++y)
            for (int x = 0; x < all.width(); ++x) {
                inked += all.pixel(x, y) != qRgb(255, 255, 255);
                differ += all.pixel(x, y) != shown.pixel(x, y);
            }
        EXPECT_GT(inked, 1000);
        EXPECT_EQ(differ, 0);
    }
}

// A page of a loaded file with more objects than a page may hold is not
// built: an error line names it; a page at the limit builds.
TEST_F(LargeTest, APreparedPageOverTheObjectLimitGivesAnErrorLine)
{
    const ScopedLimit<int> limit(TlyrPreviewPages::MaxPageObjects, 100);
    // 51 bands of one memo (102 objects), then 50 (100).
    loadText(pages(), preparedText(pageOfRows(51) + pageOfRows(50)));
    EXPECT_EQ(pages().GetPage(0), nullptr);
    const QString line = QStringLiteral("第 1 页的对象超过 100 个，未能打开");
    EXPECT_TRUE(pages().Errors.contains(line)) << pages().Errors.join(u'\n').toStdString();
    EXPECT_TRUE(report->Errors().contains(line));
    TlyrReportPage *second = pages().GetPage(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->AllObjects().size(), 100);
}

// The cache of built pages holds a bounded number of objects: pages of
// many objects leave it sooner than the page count alone would have them.
TEST_F(LargeTest, BuiltPagesLeaveTheCachePastAnObjectCount)
{
    const ScopedLimit<qint64> limit(TlyrPreviewPages::MaxCachedObjects, 250);
    QByteArray five;
    for (int i = 0; i < 5; ++i) five += pageOfRows(50);
    loadText(pages(), preparedText(five));
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        TlyrReportPage *page = pages().GetPage(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->AllObjects().size(), 100);
        EXPECT_LE(pages().PageCacheCount(), 2);
    }
    // One page alone over the count stays while it is used.
    TlyrPreviewPages::MaxCachedObjects = 10;
    EXPECT_NE(pages().GetPage(0), nullptr);
    EXPECT_EQ(pages().PageCacheCount(), 1);
}

// With little address space left, building a page of many objects and
// drawing a page with a long memo run out of memory: each ends in an error
// line (a drawing also in an error the caller shows), and the process goes
// on to build and draw a small page.
TEST_F(LargeTest, RunningOutOfMemoryOnAPageEndsInAnErrorLine)
{
    if (kSanitized) GTEST_SKIP() << "a sanitizer reserves address space of its own";
    const QByteArray many = preparedText(pageOfRows(45000) + pageOfRows(2));
    // A page as tall as an endless report's, drawn whole at a small scale,
    // shows all the lines of its wide memo, each of thousands of characters
    // and each laid out: more than a hundred megabytes, beyond what earlier
    // tests left free in the heap or a thread's arena holds.
    QByteArray wide = pageOfOneMemo(QStringLiteral("word ").repeated(4000000));
    wide.replace("w=\"600\"", "w=\"15000\"");
    const QByteArray longMemo = preparedText(wide + pageOfRows(2), " PaperHeight=\"1000000\"");
    const Cost built = inChild([&] {
        LoadedFile f(many, 10);
        TlyrPreviewPages &p = f.Pages;
        leaveRoom(16 * 1024);
        if (p.GetPage(0)) return 2;
        if (!p.Errors.contains(QStringLiteral("内存不足，第 1 页未能打开"))) return 3;
        return p.GetPage(1) ? 0 : 4;
    });
    EXPECT_EQ(built.Status, 0);
    const Cost drawn = inChild([&] {
        LoadedFile f(longMemo, 200);
        TlyrPreviewPages &p = f.Pages;
        TlyrCanvas &canvas = f.Canvas;
        if (!p.GetPage(0) || !p.GetPage(1)) return 5;
        leaveRoom(2 * 1024);
        try {
            p.DrawPage(0, canvas, 0.001, 0.001, 0, 0);
            return 2;
        } catch (const ElyrError &e) {
            if (e.message() != QStringLiteral("内存不足，第 1 页未能画出")) return 3;
        }
        p.DrawPage(1, canvas, 1, 1, 0, 0);
        return p.Errors.size() == 1 ? 0 : 4;
    });
    EXPECT_EQ(drawn.Status, 0);
}

// A chain of memos too small for a line passes the text on once: the last
// memo prints all of it, the small ones print nothing, and each gets its own
// template text back afterwards, keeping no copy.
TEST_F(LargeTest, AFlowToChainOfTinyMemosPassesTheTextOnOnce)
{
    const QString text = longText(3000);
    flowChain(*report, 40, text)
            .Tiny[5]
            ->SetText(QStringLiteral("own text"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    TlyrReportPage *page = pages().GetPage(0);
    ASSERT_NE(page, nullptr);
    auto *last = qobject_cast<TlyrMemoView *>(page->FindObject(QStringLiteral("Last")));
    ASSERT_NE(last, nullptr);
    // The text ends with a line break, which the memo's text leaves off.
    EXPECT_EQ(last->GetText(), text.chopped(2));
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        const QString name = QStringLiteral("Tiny%1").arg(i + 1);
        auto *tiny = qobject_cast<TlyrMemoView *>(report->FindObject(name));
        ASSERT_NE(tiny, nullptr);
        auto *printed = qobject_cast<TlyrMemoView *>(page->FindObject(name));
        ASSERT_NE(printed, nullptr);
        EXPECT_TRUE(printed->GetText().isEmpty());
        EXPECT_TRUE(tiny->SavedMemo.isEmpty());
        EXPECT_EQ(tiny->GetText(), i == 0 ? text.chopped(2) : i == 5 ? QStringLiteral("own text") : QString());
    }
}

// A text in lines split at CR LF and at LF alike, a lone CR kept.
TEST(LargeText, SetTextSplitsAtLineBreaksAsBefore)
{
    const struct {
        const char *Text;
        QStringList Lines;
    } cases[] = {
            {"", {}},
            {"a", {"a"}},
            {"a\r\n", {"a"}},
            {"\n", {""}},
            {"a\r\nb\nc", {"a", "b", "c"}},
            {"a\r\r\nb", {"a\r", "b"}},
            {"a\rb\r\n\r\n", {"a\rb", ""}},
    };
    for (const auto &c : cases) {
        TlyrMemoView memo;
        memo.SetText(QString::fromLatin1(c.Text));
        EXPECT_EQ(memo.Memo(), c.Lines) << c.Text;
    }
}

// A band of as many columns as int holds closes its row into the first
// column, as one of five columns does; no column number runs past int.
TEST_F(LargeTest, ABandOfTheLargestColumnCountClosesItsRow)
{
    QList<QList<double>> lefts;
    for (int columns : {5, std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(columns);
        report = std::make_unique<TlyrReport>();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, 3, false);
        band->SetColumns(columns);
        band->SetColumnWidth(50);
        textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 40, 20}, QStringLiteral("[Line#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        band = qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")));
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->CurColumn(), 1);
        EXPECT_EQ(band->Left(), 0);
        QList<double> l;
        for (TlyrComponent *c : pages().GetPage(0)->AllObjects())
            if (qobject_cast<TlyrMasterData *>(c)) l << c->Left();
        lefts << l;
    }
    EXPECT_EQ(lefts[0], lefts[1]);
    EXPECT_EQ(lefts[0], (QList<double>{0, 50, 100}));
}

// The Code 128 check symbol of a text of a million digits is the one of
// the sum taken in full (no int overflows on the way).
TEST(LargeBarcode, Code128CheckOfAMillionDigits)
{
    const int pairs = 500000;
    // Start C (105), then pair i (from 1) of value 99 weighs 99 i.
    const qint64 sum = 105 + 99 * qint64(pairs) * (pairs + 1) / 2;
    // A short text of the same check symbol.
    int m = 1;
    while ((105 + 99 * qint64(m) * (m + 1) / 2) % 103 != sum % 103) ++m;
    auto checkSymbol = [](const QString &text) {
        TlyrBarcode bc;
        bc.Typ = bcCode128C;
        bc.Text = text;
        const QString data = bc.MakeData();
        // The check symbol (6 widths) stands before the stop (7).
        return data.mid(data.size() - 13, 6);
    };
    EXPECT_EQ(checkSymbol(QStringLiteral("99").repeated(pairs)), checkSymbol(QStringLiteral("99").repeated(m)));
    EXPECT_NE(checkSymbol(QStringLiteral("99").repeated(m)), checkSymbol(QStringLiteral("99").repeated(m + 1)));
}

}  // namespace

// A subreport chain far deeper than any report needs ends in an error line
// naming the subreport that went too deep, never in a crash; a chain within
// the bound runs to its end.
TEST_F(LargeTest, ASubreportChainTooDeepEndsInAnErrorLine)
{
    const Cost deep = inChild([] { return runSubreportChain(20000); });
    EXPECT_EQ(deep.Status, 0);
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    subreportChain(report, TlyrEngine::MaxSubreportDepth);
    EXPECT_TRUE(report.PrepareReport()) << report.Errors().join(u'\n').toStdString();
    EXPECT_EQ(static_cast<TlyrPreviewPages *>(report.PreviewPages())->Count(), 1);
}
