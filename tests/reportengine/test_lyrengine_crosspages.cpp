// The page numbers of crossed rows that run over pages in width: a page in
// width is a page like any other, numbered and counted where it stands.

#include "breaks_fixture.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace {

class CrossPagesTest : public BreaksTest {
protected:
    // Rows crossed with columns 200 wide on a page 150 x 80 mm (two columns
    // a page in width, 14 rows a page down): the row name at 0 and the cells
    // "r<N>c<M> p<page> l<logical page>" from 60, a page footer
    // "f<page> l<logical page> of <logical total>".
    void crossSheet(int rowCount, int columnCount, double rowHeight = 20)
    {
        crossTabSheet(rowCount, columnCount, rows, cols);
        master = band<TlyrMasterData>("Records", 40, rowHeight);
        master->SetDataSet(rows->ds);
        memo(master, "RowName", "row[Rows.\"N\"] p[Page#] l[Page]", 0, 60)->SetHeight(20);
        memo(master, "Cell", "r[Rows.\"N\"]c[Cols.\"N\"] p[Page#] l[Page]", 60, 200)->SetHeight(20);
        memo(band<TlyrPageFooter>("Foot", 260, 20), "FootMemo", "f[Page#] l[Page] of [TotalPages]",
             0, 300);
        auto *vdata = band<TlyrMasterData>("VData", 0, 200);
        vdata->SetVertical(true);
        vdata->SetLeft(60);
        vdata->SetWidth(200);
        vdata->SetDataSet(cols->ds);
    }
    // Every page's texts " p<n> l<m>" name that page, the footer the count
    // of pages too (in two passes); every cell prints once.
    void expectNumbersOfTheirPages(int rowCount, int columnCount)
    {
        const int count = pages().Count();
        std::map<std::pair<int, int>, int> seen;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            const QString own = QStringLiteral("p%1 l%1").arg(i + 1);
            for (const Printed &p : printed(i)) {
                if (p.Text.startsWith(QLatin1Char('f'))) {
                    // The count of pages is known in the second pass only.
                    const int total = report->EngineOptions()->DoublePass() ? count : 0;
                    EXPECT_EQ(p.Text, QStringLiteral("f%1 l%1 of %2").arg(i + 1).arg(total));
                    continue;
                }
                EXPECT_TRUE(p.Text.endsWith(QLatin1Char(' ') + own)) << p.Text.toStdString();
                if (!p.Text.startsWith(QLatin1Char('r')) || p.Text.startsWith(QLatin1String("row"))) continue;
                const QString cell = p.Text.section(QLatin1Char(' '), 0, 0);
                ++seen[{cell.mid(1).section(QLatin1Char('c'), 0, 0).toInt(), cell.section(QLatin1Char('c'), 1).toInt()}];
            }
        }
        for (int r = 1; r <= rowCount; ++r)
            for (int c = 1; c <= columnCount; ++c) EXPECT_EQ((seen[{r, c}]), 1) << "r" << r << "c" << c;
    }
    // Each row's cells stand at the row's height, on its page (columns 1
    // and 2) or on the pages in width right after it (two columns each).
    void expectCellsBesideTheirRows()
    {
        std::map<int, std::pair<int, double>> rowAt;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1String("row")))
                    rowAt[p.Text.mid(3).section(QLatin1Char(' '), 0, 0).toInt()] = {i, p.Box.top()};
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                if (!p.Text.startsWith(QLatin1Char('r')) || p.Text.startsWith(QLatin1String("row"))) continue;
                const QString cell = p.Text.section(QLatin1Char(' '), 0, 0);
                const int r = cell.mid(1).section(QLatin1Char('c'), 0, 0).toInt();
                const int c = cell.section(QLatin1Char('c'), 1).toInt();
                ASSERT_TRUE(rowAt.count(r)) << p.Text.toStdString();
                EXPECT_EQ(i, rowAt[r].first + (c - 1) / 2) << p.Text.toStdString() << " on page " << i + 1;
                EXPECT_NEAR(p.Box.top(), rowAt[r].second, 0.01) << p.Text.toStdString();
            }
    }
    // A second report page like the first listing 30 records "s<N>".
    TlyrReportPage *secondPage(GroupedRows &more)
    {
        auto *next = new TlyrReportPage(report.get());
        next->SetName(QStringLiteral("Page2"));
        next->SetParent(report.get());
        next->SetPaperSize(lyrCustomPaper);
        for (auto set : {&TlyrReportPage::SetTopMargin, &TlyrReportPage::SetBottomMargin,
                         &TlyrReportPage::SetLeftMargin, &TlyrReportPage::SetRightMargin})
            (next->*set)(0);
        next->SetPaperWidth(150);
        next->SetPaperHeight(80);
        auto *m2 = band<TlyrMasterData>("More", 0, 20, next);
        m2->SetDataSet(more.ds);
        memo(m2, "MoreMemo", "s[More.\"N\"] p[Page#] l[Page]", 0, 200);
        memo(band<TlyrPageFooter>("Foot2", 260, 20, next), "Foot2Memo", "g p[Page#] l[Page]", 300, 200);
        return next;
    }
    std::unique_ptr<GroupedRows> rows, cols;
    TlyrMasterData *master = nullptr;
};

}  // namespace

// A two-pass report whose last page is a page in width: that page counts
// in the total of pages that every footer shows, its own included.
TEST_F(CrossPagesTest, LastPageInWidthCountsInTheTotal)
{
    crossSheet(20, 5);
    report->EngineOptions()->SetDoublePass(true);
    prepare();
    ASSERT_GE(pages().Count(), 4) << dump().toStdString();
    expectNumbersOfTheirPages(20, 5);
}

// A crossed row kept with its child moves to the next page when the child
// does not fit: its cells in width go along to the pages in width after the
// new page, and everything shows the number of the page it is on.
TEST_F(CrossPagesTest, KeptRowMovesWithItsCellsInWidth)
{
    for (bool twoPass : {false, true}) {
        SCOPED_TRACE(twoPass ? "two passes" : "one pass");
        crossSheet(12, 5);
        report->EngineOptions()->SetDoublePass(twoPass);
        master->SetKeepChild(true);
        auto *child = band<TlyrChild>("RowChild", 100, 30);
        memo(child, "ChildMemo", "child[Rows.\"N\"] p[Page#] l[Page]", 0, 60);
        master->SetChild(child);
        prepare();
        ASSERT_GE(pages().Count(), 6) << dump().toStdString();
        expectNumbersOfTheirPages(12, 5);
        expectCellsBesideTheirRows();
        judge(12, QStringLiteral("row"));
    }
}

// A second report page that goes on on the previous page's output begins on
// the last page that output reached, the last page in width of its rows,
// below what it holds; with numbers restarted, the pages after that one
// count from 1.
TEST_F(CrossPagesTest, ASecondReportPageGoesOnOnTheLastPageInWidth)
{
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "numbers restarted" : "numbers go on");
        crossSheet(5, 5);
        GroupedRows more(report.get(), &keeper, QStringLiteral("More"), GroupedRows::runs({{"S", 30}}));
        TlyrReportPage *next = secondPage(more);
        next->PrintOnPreviousPage = true;
        next->ResetPageNumbers = reset;
        prepare();
        ASSERT_GE(pages().Count(), 4) << dump().toStdString();
        // The rows end on page 3, the second of their pages in width.
        double rowsEnd = 0;
        for (const Printed &p : printed(2))
            if (p.Text.startsWith(QLatin1Char('r'))) rowsEnd = std::max(rowsEnd, p.Box.bottom());
        ASSERT_GT(rowsEnd, 0) << dump().toStdString();
        const std::vector<Printed> shared = printed(2);
        const auto first = std::find_if(shared.begin(), shared.end(),
                                        [](const Printed &p) { return p.Text.startsWith(QLatin1String("s1 ")); });
        ASSERT_NE(first, shared.end()) << dump().toStdString();
        EXPECT_GE(first->Box.top(), rowsEnd - 0.01);
        static const QRegularExpression numbers(QStringLiteral(" p(\\d+) l(\\d+)$"));
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (const QRegularExpressionMatch m = numbers.match(p.Text); m.hasMatch()) {
                    EXPECT_EQ(m.captured(1).toInt(), i + 1) << p.Text.toStdString() << " on page " << i + 1;
                    EXPECT_EQ(m.captured(2).toInt(), reset && i > 2 ? i - 2 : i + 1)
                            << p.Text.toStdString() << " on page " << i + 1;
                }
        judge(30, QStringLiteral("s"));
    }
}

// Column titles reprinted above each record that starts a new page: the
// titles of the columns on the pages in width show those pages' numbers,
// not the number of the page the titles were repeated for.
TEST_F(CrossPagesTest, ReprintedTitlesInWidthShowTheirOwnPage)
{
    crossSheet(3, 5);
    auto *header = band<TlyrHeader>("Titles", 0, 20);
    header->ReprintOnNewPage = true;
    memo(header, "Title", "c[Cols.\"N\"] p[Page#] l[Page]", 60, 200);
    master->SetStartNewPage(true);
    prepare();
    ASSERT_EQ(pages().Count(), 9) << dump().toStdString();
    expectNumbersOfTheirPages(3, 5);
    for (int i = 0; i < pages().Count(); ++i)
        EXPECT_EQ(places(i, QStringLiteral("c")).size(), i % 3 == 2 ? 1 : 2) << "page " << i + 1;
}

// The first crossed row of a page, kept with its child, moves to the next
// page below a tall record that is not crossed: the pages in width made for
// it go with it, and no page is left holding nothing but its footer.
TEST_F(CrossPagesTest, PagesInWidthMadeForAMovedRowAreNotLeftEmpty)
{
    crossSheet(4, 5);
    master->SetKeepChild(true);
    auto *child = band<TlyrChild>("RowChild", 100, 30);
    memo(child, "ChildMemo", "child[Rows.\"N\"] p[Page#] l[Page]", 0, 60);
    master->SetChild(child);
    GroupedRows plain(report.get(), &keeper, QStringLiteral("Plain"), GroupedRows::runs({{"P", 1}}));
    auto *tall = band<TlyrMasterData>("Tall", 20, 250);
    tall->SetDataSet(plain.ds);
    memo(tall, "TallMemo", "tall p[Page#] l[Page]", 0, 60);
    prepare();
    ASSERT_EQ(pages().Count(), 4) << dump().toStdString();
    expectNumbersOfTheirPages(4, 5);
    expectCellsBesideTheirRows();
    judge(4, QStringLiteral("row"));
    for (int i = 1; i < pages().Count(); ++i)
        EXPECT_FALSE(places(i, QStringLiteral("r")).isEmpty()) << "page " << i + 1 << "\n" << dump().toStdString();
}

// A second report page of its own begins after the last page in width of
// the first one's rows, not on one of those pages.
TEST_F(CrossPagesTest, ASecondReportPageBeginsAfterThePagesInWidth)
{
    crossSheet(5, 5);
    GroupedRows more(report.get(), &keeper, QStringLiteral("More"), GroupedRows::runs({{"S", 30}}));
    secondPage(more);
    prepare();
    ASSERT_GE(pages().Count(), 5) << dump().toStdString();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(places(i, QStringLiteral("s")).isEmpty()) << "page " << i + 1;
    EXPECT_TRUE(places(3, QStringLiteral("s")).value(0).startsWith(QLatin1String("s1 p4 l4@0,0"))) << dump().toStdString();
    expectNumbersOfTheirPages(5, 5);
    judge(30, QStringLiteral("s"));
}

// Column titles reprinted on a page that holds no crossed row (a child
// that starts a new page, the continued part of a long footer) print on
// that page only: no page in width is made for the titles alone.
TEST_F(CrossPagesTest, TitlesReprintedAboveNoCrossedRowMakeNoPagesInWidth)
{
    for (bool childPages : {true, false}) {
        SCOPED_TRACE(childPages ? "child on a page of its own" : "footer over two pages");
        crossSheet(3, 5);
        auto *header = band<TlyrHeader>("Titles", 0, 20);
        header->ReprintOnNewPage = true;
        memo(header, "Title", "c[Cols.\"N\"] p[Page#] l[Page]", 60, 200);
        if (childPages) {
            master->SetStartNewPage(true);
            auto *child = band<TlyrChild>("RowChild", 100, 30);
            child->SetStartNewPage(true);
            memo(child, "ChildMemo", "child[Rows.\"N\"] p[Page#] l[Page]", 0, 60);
            master->SetChild(child);
        } else {
            // 30 lines below the rows: the rest goes on on a second page.
            auto *footer = band<TlyrFooter>("End", 150, 20);
            footer->SetStretched(true);
            footer->SetAllowSplit(true);
            QStringList lines;
            for (int i = 1; i <= 30; ++i) lines << QStringLiteral("line%1").arg(i);
            TlyrMemoView *text = memo(footer, "EndMemo", lines.join(QLatin1Char('\n')), 0, 60);
            text->SetStretchMode(smActualHeight);
        }
        report->EngineOptions()->SetDoublePass(true);
        prepare();
        // Three pages a row (two in width), or for the rows together; each
        // child, or the footer's second part, on one page more.
        EXPECT_EQ(pages().Count(), childPages ? 12 : 4) << dump().toStdString();
        // The footer's lines show no page number.
        if (childPages) expectNumbersOfTheirPages(3, 5);
        expectCellsBesideTheirRows();
        judge(3, QStringLiteral("row"));
        // Every page holds more than the titles "c<N>" and its footer.
        static const QRegularExpression bands(QStringLiteral("^[cf]\\d"));
        for (int i = 0; i < pages().Count(); ++i) {
            const std::vector<Printed> all = printed(i);
            auto more = [](const Printed &p) { return !bands.match(p.Text).hasMatch(); };
            EXPECT_TRUE(std::any_of(all.begin(), all.end(), more)) << "page " << i + 1 << " holds titles only";
        }
    }
}

// Two subreports side by side in the footer printed after each crossed row
// run on to the next page, where the column titles are repeated: the second
// one's rows go on beside the first one's there, not pages later, and a
// page that holds no crossed row makes no pages in width for its titles.
TEST_F(CrossPagesTest, SideBySideRowsUnderRepeatedTitlesGoOnTogether)
{
    crossSheet(2, 5);
    master->SetFooterAfterEach(true);
    auto *header = band<TlyrHeader>("Titles", 0, 20);
    header->ReprintOnNewPage = true;
    memo(header, "Title", "c[Cols.\"N\"] p[Page#] l[Page]", 60, 200);
    GroupedRows left(report.get(), &keeper, QStringLiteral("Left"), GroupedRows::runs({{"S", 14}}));
    GroupedRows right(report.get(), &keeper, QStringLiteral("Right"), GroupedRows::runs({{"S", 14}}));
    auto *footer = band<TlyrFooter>("End", 150, 20);
    sideReport(footer, "SideA", left.ds, 280, QStringLiteral("a"));
    sideReport(footer, "SideB", right.ds, 420, QStringLiteral("b"));
    prepare();
    // Each row with its two pages in width, the second below the first
    // footer's last lines; the second footer's last lines on a page more.
    EXPECT_EQ(pages().Count(), 7) << dump().toStdString();
    judge(2, QStringLiteral("row"));
    expectCellsBesideTheirRows();
    // Each footer lists both sides' 14 lines, side by side.
    std::map<QString, std::vector<std::pair<int, double>>> at;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(QLatin1Char('a')) || p.Text.startsWith(QLatin1Char('b')))
                at[p.Text].push_back({i, p.Box.top()});
    for (int n = 1; n <= 14; ++n) {
        const auto &a = at[QStringLiteral("a%1").arg(n)], &b = at[QStringLiteral("b%1").arg(n)];
        ASSERT_EQ(a.size(), 2u) << "a" << n;
        ASSERT_EQ(b.size(), 2u) << "b" << n;
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(b[i].first, a[i].first) << "b" << n << " not beside a" << n;
            EXPECT_NEAR(b[i].second, a[i].second, 0.01) << "b" << n;
        }
    }
}
