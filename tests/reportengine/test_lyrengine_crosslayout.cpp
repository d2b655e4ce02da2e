// Where crossed rows and the bands around them go on the page: a crossed
// row takes the room it needs, and nothing prints over it or over the
// headers and footers of its pages.

#include "breaks_fixture.h"

#include "report/lyrmemo.h"

namespace {

class CrossLayoutTest : public BreaksTest {
protected:
    // Rows "r<N>" crossed with columns 60 wide from 100 on a page 600 wide:
    // the cells "r<N>c<M>". Returns the crossed band, 20 high.
    TlyrMasterData *crossedRows(int rowCount, int columnCount, double height = 200)
    {
        newSheet();
        page->SetPaperHeight(height / lyrUnitsPerMM);
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"),
                                             GroupedRows::runs({{"A", rowCount}}));
        cols = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Cols"),
                                             GroupedRows::runs({{"C", columnCount}}));
        auto *master = band<TlyrMasterData>("Records", 40, 20);
        master->SetDataSet(rows->ds);
        memo(master, "RowName", "r[Rows.\"N\"]", 0, 90);
        memo(master, "Cell", "x[Rows.\"N\"]c[Cols.\"N\"]", 100, 60);
        auto *vdata = band<TlyrMasterData>("VData", 0, 200);
        vdata->SetVertical(true);
        vdata->SetLeft(100);
        vdata->SetWidth(60);
        vdata->SetDataSet(cols->ds);
        return master;
    }
    // A page header 30 high, "head p<page>", left off the first page.
    void headerOffFirstPage()
    {
        auto *ph = band<TlyrPageHeader>("PageHeader1", 0, 30);
        ph->PrintOnFirstPage = false;
        memo(ph, "PageHeaderMemo", "head p[Page#]", 0, 200);
    }
    std::unique_ptr<GroupedRows> rows, cols;
};

}  // namespace

// A stretched crossed row whose text under the row's name wraps to several
// lines grows to hold it: its child band prints below the text, not over it.
TEST_F(CrossLayoutTest, StretchedCrossedRowGrowsOverItsText)
{
    TlyrMasterData *master = crossedRows(4, 2, 400);
    master->SetStretched(true);
    auto *words = memo(master, "Words", "word0 word1 word2 word3 word4 word5", 0, 40);
    words->SetTop(20);
    words->SetWordWrap(true);
    words->SetStretchMode(smActualHeight);
    auto *child = band<TlyrChild>("Child1", 80, 20);
    memo(child, "ChildMemo", "child[Rows.\"N\"]", 0, 90);
    master->SetChild(child);
    prepare();
    judge(4);
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(QLatin1String("word"))) EXPECT_GT(p.Box.height(), 20) << dump().toStdString();
}

// A page header kept off the first page still heads the pages in width that
// continue the first page's rows: the crossed header of column titles and
// the rows print below it there, not over it.
TEST_F(CrossLayoutTest, PagesInWidthOfTheFirstPageKeepTheirPageHeaderClear)
{
    crossedRows(3, 12);
    headerOffFirstPage();
    auto *header = band<TlyrHeader>("Header1", 20, 20);
    memo(header, "Title", "c[Cols.\"N\"]", 100, 60);
    prepare();
    ASSERT_GE(pages().Count(), 2);
    judge(3);
    for (int i = 1; i < pages().Count(); ++i)
        EXPECT_TRUE(texts(i).contains(QStringLiteral("head p%1").arg(i + 1))) << "page " << i + 1 << "\n"
                                                                               << dump().toStdString();
}

// The first page without its page header holds more rows than its pages in
// width, which have the header: a row that would fit the first page but not
// its pages in width below their header starts the next page.
TEST_F(CrossLayoutTest, RowsOfTheFirstPageFitItsPagesInWidth)
{
    crossedRows(12, 12);
    headerOffFirstPage();
    prepare();
    judge(12);
}

// A page footer kept off the last page: the report's last page is the last
// page in width, not the page its rows started on, which keeps its footer.
TEST_F(CrossLayoutTest, FooterKeptOffTheLastPageSkipsOnlyTheLastPageInWidth)
{
    crossedRows(14, 12);
    auto *pf = band<TlyrPageFooter>("PageFooter1", 300, 20);
    pf->PrintOnLastPage = false;
    memo(pf, "PageFooterMemo", "foot p[Page#]", 0, 200);
    prepare();
    judge(14);
    const int count = pages().Count();
    ASSERT_GE(count, 4) << dump().toStdString();
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(texts(i).contains(QStringLiteral("foot p%1").arg(i + 1)), i < count - 1) << "page " << i + 1 << "\n"
                                                                                         << dump().toStdString();
}

// A second report page begins after the pages in width of the first one's
// last page, not on them: its title and rows print on pages of their own,
// numbered after them.
TEST_F(CrossLayoutTest, NextReportPageStartsAfterThePagesInWidth)
{
    crossedRows(3, 12);
    auto *next = new TlyrReportPage(report.get());
    next->SetName(QStringLiteral("Page2"));
    next->SetParent(report.get());
    next->SetPaperWidth(page->PaperWidth());
    next->SetPaperHeight(page->PaperHeight());
    memo(band<TlyrReportTitle>(QStringLiteral("Title2"), 0, 20, next), QStringLiteral("Title2Memo"),
         QStringLiteral("second p[Page#]"));
    prepare();
    judge(3);
    const int count = pages().Count();
    ASSERT_GE(count, 3) << dump().toStdString();
    EXPECT_EQ(texts(count - 1), QStringList{QStringLiteral("second p%1").arg(count)}) << dump().toStdString();
}

// Two subreports side by side in the summary below crossed rows run on
// over pages: the longer one, going on after the shorter one has passed
// the pages in width, passes them too and prints over none of their cells.
TEST_F(CrossLayoutTest, SideBySideSubreportsPassThePagesInWidth)
{
    crossedRows(3, 12);
    GroupedRows shorter(report.get(), &keeper, QStringLiteral("S"), GroupedRows::runs({{"A", 12}}));
    GroupedRows longer(report.get(), &keeper, QStringLiteral("T"), GroupedRows::runs({{"A", 16}}));
    auto *summary = band<TlyrReportSummary>("Summary1", 100, 20);
    sideReport(summary, QStringLiteral("Shorter"), shorter.ds, 0, QStringLiteral("s"));
    sideReport(summary, QStringLiteral("Longer"), longer.ds, 120, QStringLiteral("t"));
    prepare();
    judge(3);
    judge(12, QStringLiteral("s"));
    judge(16, QStringLiteral("t"));
}
