#include "print_test_util.h"

#include "report/lyrexception.h"
#include "report/lyrutils.h"

#include <gtest/gtest.h>

namespace {

QStringList numbers(std::initializer_list<int> list)
{
    QStringList out;
    for (int n : list) out << QString::number(n);
    return out;
}

struct PrintRun {
    QStringList log;
    LogPrinter printer{log};
    LogSource source{log};
    TlyrPrintJobOptions options;
    double printScale = 0;
    PrintRun() { printer.Init(); }
    void go()
    {
        TlyrPrintJob job(source, printer, options);
        job.Run();
        printScale = job.PrintScale;
    }
};

}  // namespace

TEST(PrintPages, PageRangesAndOddEvenChooseThePages)
{
    const struct {
        const char *text;
        TlyrPrintOptions::TlyrPrintPages which;
        QStringList expected;
    } cases[] = {
            {"5-", TlyrPrintOptions::ppAll, numbers({5, 6, 7, 8, 9, 10, 11, 12})},
            {"3-1", TlyrPrintOptions::ppAll, {}},
            {" 1, 3 ", TlyrPrintOptions::ppAll, numbers({1, 3})},
            {"2,4", TlyrPrintOptions::ppOdd, {}},
            {"", TlyrPrintOptions::ppEven, numbers({2, 4, 6, 8, 10, 12})},
            {"1-12", TlyrPrintOptions::ppOdd, numbers({1, 3, 5, 7, 9, 11})},
    };
    for (const auto &c : cases) {
        PrintRun r;
        r.source.add(12, 210, 297);
        r.options.PageNumbers = QString::fromLatin1(c.text);
        r.options.PrintPages = c.which;
        r.go();
        EXPECT_EQ(drawnPages(r.log), c.expected) << c.text;
        // A document is begun only when a page is printed.
        EXPECT_EQ(countOf(r.log, "begindoc"), c.expected.isEmpty() ? 0 : 1) << c.text;
    }
}

TEST(PrintPages, MalformedRangeTextIsAConversionError)
{
    for (const char *text : {"1,3,", "a-b"}) {
        PrintRun r;
        r.source.add(3, 210, 297);
        r.options.PageNumbers = QString::fromLatin1(text);
        EXPECT_THROW(r.go(), ElyrConvertError) << text;
        EXPECT_EQ(countOf(r.log, "page"), 0);
    }
}

TEST(PrintPages, CollatedCopiesWithDuplexStartEachCopyOnANewSheet)
{
    PrintRun r;
    r.source.add(3, 210, 297, 1);  // vertical duplex
    r.options.Copies = 2;
    r.options.Collate = true;
    r.go();
    EXPECT_EQ(drawnPages(r.log), numbers({1, 2, 3, 1, 2, 3}));
    // Three pages, an empty back side, three pages.
    EXPECT_EQ(countOf(r.log, "page"), 7);
    const int third = r.log.indexOf(QStringLiteral("draw 3 at 0,0 scale 2.6458,2.6458"));
    ASSERT_GE(third, 0);
    EXPECT_EQ(r.log.at(third + 1), QStringLiteral("page"));
    EXPECT_EQ(r.log.at(third + 2), QStringLiteral("page"));
    EXPECT_TRUE(r.log.at(third + 3).startsWith(QLatin1String("draw 1 ")));
    EXPECT_EQ(countOf(r.log, "params 256 210x297 portrait duplex 2 copies 1"), 1);
}

TEST(PrintPages, UncollatedCopiesAreMadeByThePrinter)
{
    PrintRun r;
    r.source.add(3, 210, 297, 1);
    r.options.Copies = 3;
    r.options.Collate = false;
    r.go();
    EXPECT_EQ(drawnPages(r.log), numbers({1, 2, 3}));
    EXPECT_EQ(countOf(r.log, "page"), 3);
    EXPECT_EQ(countOf(r.log, "params 256 210x297 portrait duplex 2 copies 3"), 1);
}

TEST(PrintPages, DialogDuplexReplacesThePagesOwn)
{
    PrintRun r;
    r.source.add(2, 210, 297, 0);
    r.options.DuplexOverride = 3;  // simplex
    r.go();
    EXPECT_EQ(countOf(r.log, "params 256 210x297 portrait duplex 4 copies 1"), 1);
}

TEST(PrintPages, ReverseStartsWithTheLastPage)
{
    PrintRun r;
    r.source.add(3, 210, 297);
    r.options.Reverse = true;
    r.go();
    EXPECT_EQ(drawnPages(r.log), numbers({3, 2, 1}));
}

TEST(PrintPages, ChangedPaperIsSentBeforeThePage)
{
    PrintRun r;
    r.source.add(2, 210, 297);
    r.source.add(1, 148, 210);
    r.go();
    EXPECT_EQ(countOf(r.log, "params "), 2);
    const int second = r.log.indexOf(r.log.filter(QStringLiteral("draw 2 ")).value(0));
    EXPECT_EQ(r.log.indexOf(QStringLiteral("params 256 148x210 portrait duplex 1 copies 1")), second + 1);
}

TEST(PrintPages, SplitPutsABigPageOnAsManySheetsAsItNeeds)
{
    // Sheets of a length: whole sheets, one more for a rest of 11 mm or more.
    const struct {
        double w, h;
        int sheets;
        const char *orientation;
    } cases[] = {
            {300, 297, 2, "portrait"},   // 90 mm over: a second sheet across
            {215, 297, 1, "portrait"},   // 5 mm over: fits on one
            {300, 200, 1, "landscape"},  // turned, the page fits on one sheet
    };
    for (const auto &c : cases) {
        PrintRun r;
        r.source.add(1, c.w, c.h);
        r.options.PrintMode = TlyrPrintOptions::pmSplit;
        r.options.PrintOnSheet = 9;
        r.go();
        EXPECT_EQ(countOf(r.log, "page"), c.sheets) << c.w << "x" << c.h;
        EXPECT_EQ(countOf(r.log, QStringLiteral("params 9 ")), 1);
        EXPECT_TRUE(r.log.filter(QStringLiteral("params 9 ")).value(0).contains(QLatin1String(c.orientation)))
                << r.log.join(u'|').toStdString();
    }
    // The second sheet goes on where the first ended, less the 3 mm overlap
    // (ten pixels per millimetre, no unprintable margins).
    PrintRun r;
    r.source.add(1, 300, 297);
    r.options.PrintMode = TlyrPrintOptions::pmSplit;
    r.options.PrintOnSheet = 9;
    r.go();
    EXPECT_EQ(r.log.filter(QStringLiteral("draw ")),
              QStringList({QStringLiteral("draw 1 at 0,0 scale 2.6458,2.6458"),
                           QStringLiteral("draw 1 at -%1,0 scale 2.6458,2.6458").arg(2100 - 30)}));
}

TEST(PrintPages, JoinPutsAsManyWholePagesAsFitOnASheet)
{
    PrintRun r;
    r.source.add(10, 105, 148);  // A6
    r.options.PrintMode = TlyrPrintOptions::pmJoin;
    r.options.PrintOnSheet = 9;
    r.go();
    // 2 x 2 on a portrait A4 (turned only 2 x 1 would fit): 3 sheets.
    EXPECT_EQ(countOf(r.log, "page"), 3);
    EXPECT_EQ(countOf(r.log, "params 9 210x297 portrait"), 1);
    EXPECT_EQ(drawnPages(r.log), numbers({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    const QStringList draws = r.log.filter(QStringLiteral("draw "));
    EXPECT_TRUE(draws.at(1).startsWith(QStringLiteral("draw 2 at 1050,0")));
    EXPECT_TRUE(draws.at(2).startsWith(QStringLiteral("draw 3 at 0,1480")));
    EXPECT_TRUE(draws.at(4).startsWith(QStringLiteral("draw 5 at 0,0")));
}

TEST(PrintPages, JoinInReverseOrderPrintsTheLastSheetFirst)
{
    PrintRun r;
    r.source.add(10, 105, 148);  // A6, four on an A4
    r.options.PrintMode = TlyrPrintOptions::pmJoin;
    r.options.PrintOnSheet = 9;
    r.options.Reverse = true;
    r.options.PrintPages = TlyrPrintOptions::ppOdd;
    r.go();
    // Odd pages 1 3 5 7 | 9: the sheets come in reverse, each filled as in
    // direct order.
    EXPECT_EQ(countOf(r.log, "page"), 2);
    EXPECT_EQ(drawnPages(r.log), numbers({9, 1, 3, 5, 7}));
    const QStringList draws = r.log.filter(QStringLiteral("draw "));
    EXPECT_TRUE(draws.at(0).startsWith(QStringLiteral("draw 9 at 0,0")));
    EXPECT_TRUE(draws.at(2).startsWith(QStringLiteral("draw 3 at 1050,0")));
    EXPECT_TRUE(draws.at(4).startsWith(QStringLiteral("draw 7 at 1050,1480")));
}

TEST(PrintPages, JoinAndSplitLayoutsNeverGiveLessThanOneSheet)
{
    int nx = 0, ny = 0;
    bool turned = true;
    TlyrPrintJob::JoinLayout(210, 297, 105, 148, nx, ny, turned);
    EXPECT_EQ(nx * 10 + ny, 22);
    EXPECT_FALSE(turned);
    // Pages bigger than the sheet: one per sheet, never none.
    TlyrPrintJob::JoinLayout(210, 297, 300, 400, nx, ny, turned);
    EXPECT_EQ(nx * ny, 1);
    // Landscape holds more of these: 3 x 1 against 2 x 1.
    TlyrPrintJob::JoinLayout(210, 297, 99, 200, nx, ny, turned);
    EXPECT_TRUE(turned);
    EXPECT_EQ(nx * 10 + ny, 31);
    // A page shorter than the 11 mm rest still takes a sheet.
    EXPECT_EQ(TlyrPrintJob::SheetCount(5, 210), 1);
    TlyrPrintJob::SplitLayout(8, 6, 210, 297, nx, ny, turned);
    EXPECT_EQ(nx * ny, 1);
}

TEST(PrintPages, ScaleStretchesThePageToTheWholeSheet)
{
    PrintRun r;
    r.source.add(1, 148, 210);  // A5
    r.options.PrintMode = TlyrPrintOptions::pmScale;
    r.options.PrintOnSheet = 9;
    r.go();
    const double kx = 210.0 / 148, ky = 297.0 / 210;
    EXPECT_EQ(r.log.filter(QStringLiteral("draw ")), QStringList(QStringLiteral("draw 1 at 0,0 scale %1,%2")
                                                                         .arg(254 / 96.0 * kx, 0, 'f', 4)
                                                                         .arg(254 / 96.0 * ky, 0, 'f', 4)));
    EXPECT_NEAR(r.printScale, 1.4143, 1e-4);
}

TEST(PrintPages, DefaultSheetIsThePrintersDefaultPaper)
{
    for (auto mode : {TlyrPrintOptions::pmSplit, TlyrPrintOptions::pmJoin, TlyrPrintOptions::pmScale}) {
        for (int sheet : {0, lyrCustomPaper}) {
            PrintRun r;
            r.source.add(2, 300, 297);
            r.options.PrintMode = mode;
            r.options.PrintOnSheet = sheet;
            r.go();
            const QStringList sent = r.log.filter(QStringLiteral("params "));
            ASSERT_FALSE(sent.isEmpty());
            for (const QString &p : sent) {
                EXPECT_TRUE(p.startsWith(QLatin1String("params 9 210x297")) ||
                            p.startsWith(QLatin1String("params 9 297x210")))
                        << mode << " " << p.toStdString();
            }
        }
    }
}

TEST(PrintPages, AFailingPrinterAbortsTheDocument)
{
    PrintRun r;
    r.source.add(3, 210, 297);
    r.printer.FailAtPage = 2;
    EXPECT_THROW(r.go(), std::runtime_error);
    EXPECT_EQ(r.log.last(), QStringLiteral("abort"));
    EXPECT_FALSE(r.printer.Printing);
}

TEST(PrintPages, TerminatedStopsBeforeTheNextPage)
{
    PrintRun r;
    r.source.add(3, 210, 297);
    r.source.Stop = true;
    r.go();
    EXPECT_TRUE(drawnPages(r.log).isEmpty());
    EXPECT_EQ(countOf(r.log, "enddoc"), 0);
}
