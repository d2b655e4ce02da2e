// Bands that may not split print whole where an empty column holds them,
// and what stays behind a block that moves keeps its place.

#include "breaks_fixture.h"

#include <map>
#include <set>

namespace {

class WholeBandsTest : public BreaksTest {
protected:
    // A footer of the data band at top, stretched, holding the lines
    // "f1".."f<lines>" 16 high, one every 20 units: 20 x lines high, not
    // allowed to split.
    TlyrFooter *linesFooter(double top, int lines)
    {
        auto *f = band<TlyrFooter>("Footer1", top, 20);
        f->SetStretched(true);
        for (int i = 1; i <= lines; ++i) {
            TlyrMemoView *m = memo(f, QStringLiteral("F%1").arg(i), QStringLiteral("f%1").arg(i), 0, 120);
            m->SetBounds(0, (i - 1) * 20, 120, 16);
        }
        f->SetHeight(lines * 20);
        return f;
    }
    // Rows "row<N>" crossed with columns 200 wide from 60 (two a page in
    // width), each cell "cell<N>x<M>".
    void crossedRows(TlyrDataSet *rowSet, TlyrDataSet *columnSet, double top)
    {
        auto *master = band<TlyrMasterData>("Records", top, 20);
        master->SetDataSet(rowSet);
        memo(master, "RowName", "row[Rows.\"N\"]", 0, 60);
        memo(master, "Cell", "cell[Rows.\"N\"]x[Cols.\"N\"]", 60, 200);
        auto *vdata = band<TlyrMasterData>("VData", 0, 200);
        vdata->SetVertical(true);
        vdata->SetLeft(60);
        vdata->SetWidth(200);
        vdata->SetDataSet(columnSet);
    }
    // Every cell stands on its row's page (columns 1 and 2) or on the page
    // in width after it (3 and 4), at its row's height: on a page in width
    // whose page bands take more room, all of them lower by the same.
    void expectCellsBesideTheirRows()
    {
        std::map<int, std::pair<int, double>> rowAt;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1String("row"))) rowAt[p.Text.mid(3).toInt()] = {i, p.Box.top()};
        std::map<int, double> shift;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                if (!p.Text.startsWith(QLatin1String("cell"))) continue;
                const int r = p.Text.mid(4).section(QLatin1Char('x'), 0, 0).toInt();
                const int c = p.Text.section(QLatin1Char('x'), 1).toInt();
                ASSERT_TRUE(rowAt.count(r)) << p.Text.toStdString();
                EXPECT_EQ(i, rowAt[r].first + (c - 1) / 2) << p.Text.toStdString() << "\n" << dump().toStdString();
                const double by = p.Box.top() - rowAt[r].second;
                if (!shift.count(i)) shift[i] = by;
                EXPECT_NEAR(by, shift[i], 0.01) << p.Text.toStdString() << " on page " << i + 1;
            }
    }
    // The pages the texts starting so are printed on.
    std::set<int> pagesOf(const QString &start)
    {
        std::set<int> out;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(start)) out.insert(i);
        return out;
    }
};

}  // namespace

// Rows crossed with columns that run on to a page in width, below a title
// 100 high, then a footer that does not fit below them but fits an empty
// page: it moves whole to the page after the page in width, as it would
// without the cross-tab; the title above the rows leaves more room there.
TEST_F(WholeBandsTest, AFooterAnEmptyPageHoldsMovesWholeAfterRowsThatRanOnInWidthBelowATitle)
{
    for (int lines : {12, 14}) {
        SCOPED_TRACE(testing::Message() << lines << " footer lines");
        std::unique_ptr<GroupedRows> rows, cols;
        // 566 x 302 units: cells 200 wide from 60, two a page in width.
        crossTabSheet(3, 4, rows, cols);
        memo(band<TlyrReportTitle>("Title1", 0, 100), "TitleMemo", "title");
        crossedRows(rows->ds, cols->ds, 120);
        linesFooter(160, lines);
        prepare();
        judge(3, QStringLiteral("row"));
        judge(lines, QStringLiteral("f"));
        EXPECT_EQ(pagesOf(QStringLiteral("cell")).size(), 2u) << dump().toStdString();
        // Whole, on the page after the rows and their page in width.
        EXPECT_EQ(pagesOf(QStringLiteral("f")), std::set<int>{2}) << dump().toStdString();
    }
}

// The last record of a list in two columns, kept with a footer that goes on
// over columns, stands in the second column of its row; when the block
// moves on to the next page, the record beside which it began stays, and
// the column footer goes below it, not over it.
TEST_F(WholeBandsTest, TheColumnFooterStaysBelowTheRowARecordKeptWithTheFooterLeaves)
{
    const int lines = 20;
    for (int count : {6, 8}) {
        SCOPED_TRACE(testing::Message() << count << " records");
        // Two page columns 300 wide, 200 high.
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", count}}));
        TlyrMasterData *master = records(rows.ds, 40);
        master->SetColumns(2);
        master->SetColumnWidth(140);
        master->SetColumnGap(10);
        master->SetKeepFooter(true);
        master->Objects().first()->SetWidth(140);
        memo(band<TlyrColumnFooter>("ColumnFooter1", 300, 20), "CF", "cf", 0, 280);
        linesFooter(80, lines);
        prepare();
        judge(count);
        judge(lines, QStringLiteral("f"));
        // The first column's footer is below the last row that stays there.
        double rowBottom = 0, footer = -1;
        for (const Printed &p : printed(0)) {
            if (p.Box.left() > 299) continue;
            if (p.Text.startsWith(QLatin1Char('r'))) rowBottom = std::max(rowBottom, p.Box.bottom());
            if (p.Text == QLatin1String("cf")) footer = p.Box.top();
        }
        EXPECT_GE(footer, rowBottom - 0.01) << dump().toStdString();
    }
}

// A kept group of crossed rows that does not fit below the first page's
// rows moves to the next page; that page has a page header, left off the
// first page, as its page in width has. The cells of the rows that moved
// stand beside their rows there, over no cell of the rows printed after
// them.
TEST_F(WholeBandsTest, CellsOfAKeptGroupThatMovesStandBesideTheirRowsOnThePageInWidth)
{
    for (int first : {10, 11}) {
        SCOPED_TRACE(testing::Message() << first << " rows in the first group");
        // 566 x 302 units.
        newSheet();
        page->SetPaperWidth(150);
        page->SetPaperHeight(80);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", first}, {"B", 6}}));
        GroupedRows cols(report.get(), &keeper, QStringLiteral("Cols"), GroupedRows::runs({{"C", 4}}));
        auto *ph = band<TlyrPageHeader>("PageHeader1", 0, 20);
        ph->PrintOnFirstPage = false;
        memo(ph, "PH", "ph", 0, 60);
        auto *g = band<TlyrGroupHeader>("Group", 40, 20);
        g->Condition = QStringLiteral("Rows.\"G\"");
        g->KeepTogether = true;
        memo(g, "GroupMemo", "g[Rows.\"G\"]", 0, 60);
        crossedRows(rows.ds, cols.ds, 80);
        prepare();
        judge(first + 6, QStringLiteral("row"));
        expectCellsBesideTheirRows();
    }
}
