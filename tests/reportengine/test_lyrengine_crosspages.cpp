// The page numbers of crossed rows that run over pages in width: a page in
// width is a page like any other, numbered and counted where it stands.

#include "breaks_fixture.h"

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
        newSheet();
        page->SetPaperWidth(150);
        page->SetPaperHeight(80);
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"),
                                             GroupedRows::runs({{"A", rowCount}}));
        cols = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Cols"),
                                             GroupedRows::runs({{"C", columnCount}}));
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
    // of pages too; every cell prints once.
    void expectNumbersOfTheirPages(int rowCount, int columnCount)
    {
        const int count = pages().Count();
        std::map<std::pair<int, int>, int> seen;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            const QString own = QStringLiteral("p%1 l%1").arg(i + 1);
            for (const Printed &p : printed(i)) {
                if (p.Text.startsWith(QLatin1Char('f'))) {
                    EXPECT_EQ(p.Text, QStringLiteral("f%1 l%1 of %2").arg(i + 1).arg(count));
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
