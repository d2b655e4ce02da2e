// Crossed rows that break both across (pages in width) and down (new
// pages under a reprinted header of column titles): every cell once, under
// its column's title, with the number of the page it is printed on.

#include "breaks_fixture.h"

#include <map>

namespace {

class CrossBreaksTest : public BreaksTest {
protected:
    // Rows crossed with columns 60 wide on a page 150 x 80 mm: the row name
    // at 0, the cells "r<N>c<M> p<page>" from 60; a header holding the
    // column titles "c<M>" (reprinted on new pages when asked), and a footer
    // with each column's count and sum.
    void crossSheet(int rowCount, int columnCount, bool reprint)
    {
        crossTabSheet(rowCount, columnCount, rows, cols);
        auto *header = band<TlyrHeader>("Header1", 0, 20);
        header->ReprintOnNewPage = reprint;
        memo(header, "Title", "c[Cols.\"N\"]", 60, 60);
        auto *master = band<TlyrMasterData>("Records", 40, 20);
        master->SetDataSet(rows->ds);
        memo(master, "RowName", "row[Rows.\"N\"]", 0, 60);
        memo(master, "Cell", "r[Rows.\"N\"]c[Cols.\"N\"] p[Page#]", 60, 60);
        memo(band<TlyrFooter>("Footer1", 80, 20), "Total", "n[COUNT(Records)] s[SUM(<Rows.\"N\">)]", 60, 60);
        auto *vdata = band<TlyrMasterData>("VData", 0, 200);
        vdata->SetVertical(true);
        vdata->SetLeft(60);
        vdata->SetWidth(60);
        vdata->SetDataSet(cols->ds);
    }
    // Every cell of rows x columns once, naming its page; with titles on
    // every page, under the title of its column there, and each footer
    // total under a title too.
    void expectEveryCellOnce(int rowCount, int columnCount, bool titled)
    {
        std::map<std::pair<int, int>, int> seen;
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            std::map<double, int> titleAt;
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1Char('c'))) titleAt[std::round(p.Box.left())] = p.Text.mid(1).toInt();
            for (const Printed &p : printed(i)) {
                if (!p.Text.startsWith(QLatin1Char('r')) || p.Text.startsWith(QLatin1String("row"))) continue;
                const QString cell = p.Text.section(QLatin1Char(' '), 0, 0);
                const int r = cell.mid(1).section(QLatin1Char('c'), 0, 0).toInt();
                const int c = cell.section(QLatin1Char('c'), 1).toInt();
                ++seen[{r, c}];
                const auto title = titleAt.find(std::round(p.Box.left()));
                EXPECT_TRUE(!titled || (title != titleAt.end() && title->second == c))
                        << p.Text.toStdString() << " at " << p.Box.left() << " without its title";
                EXPECT_EQ(p.Text.section(QLatin1String(" p"), 1), QString::number(i + 1)) << p.Text.toStdString();
            }
            for (const Printed &p : printed(i))
                if (titled && p.Text.startsWith(QLatin1Char('n')))
                    EXPECT_TRUE(titleAt.count(std::round(p.Box.left())))
                            << p.Text.toStdString() << " at " << p.Box.left() << " without its title";
        }
        for (int r = 1; r <= rowCount; ++r)
            for (int c = 1; c <= columnCount; ++c) EXPECT_EQ((seen[{r, c}]), 1) << "r" << r << "c" << c;
        EXPECT_EQ(seen.size(), size_t(rowCount * columnCount));
    }
    std::unique_ptr<GroupedRows> rows, cols;
};

}  // namespace

// With and without the reprinted titles: the rows run over several pages
// down, each with a page in width; every cell prints once, under its
// column's title, naming its own page, and the totals count every row.
TEST_F(CrossBreaksTest, RowsBreakingAcrossAndDownKeepEveryCellUnderItsTitle)
{
    for (bool reprint : {true, false}) {
        SCOPED_TRACE(reprint ? "titles reprinted" : "titles once");
        crossSheet(25, 12, reprint);
        prepare();
        ASSERT_GE(pages().Count(), 4) << dump().toStdString();
        expectEveryCellOnce(25, 12, reprint);
        int totals = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1Char('n'))) {
                    EXPECT_EQ(p.Text, QStringLiteral("n25 s325"));
                    ++totals;
                }
        EXPECT_EQ(totals, 12) << dump().toStdString();
        // Every page begins with the titles of its columns when they are
        // reprinted.
        if (reprint)
            for (int i = 0; i < pages().Count(); ++i)
                EXPECT_TRUE(texts(i).value(0).startsWith(QLatin1Char('c'))) << "page " << i + 1 << "\n"
                                                                              << dump().toStdString();
    }
}
