// Bands around a cross-tab that host subreports: a subreport that lies over
// the columns of the cross-tab still runs its own pages, and every row it
// lists prints once; a crossed row that a footer holding one takes along
// to the next page goes there with all its cells.

#include "breaks_fixture.h"

#include "report/lyrmemo.h"

namespace {

class CrossHostsTest : public BreaksTest {
protected:
    // Rows "r<N>" crossed with columns 60 wide from 100 on a page 600 x 200.
    TlyrMasterData *crossedRows(int rowCount, int columnCount, const QString &more = {})
    {
        crossTabSheet(rowCount, columnCount, rows, cols);
        page->SetPaperWidth(600 / lyrUnitsPerMM);
        page->SetPaperHeight(200 / lyrUnitsPerMM);
        auto *master = band<TlyrMasterData>("Records", 40, 20);
        master->SetDataSet(rows->ds);
        memo(master, "RowName", "r[Rows.\"N\"]" + more, 0, 90);
        memo(master, "Cell", "x[Rows.\"N\"]c[Cols.\"N\"]" + more, 100, 60);
        verticalColumns(cols->ds, 100, 60);
        return master;
    }
    // A subreport in host b standing within the first column of the
    // cross-tab (102..152), listing "<prefix><N>".
    void subreportOverColumn(TlyrBand *b, TlyrDataSet *ds, const QString &prefix, bool onParent)
    {
        sideReport(b, QStringLiteral("Sub") + prefix, ds, 102, prefix);
        auto *s = qobject_cast<TlyrSubreport *>(b->Objects().last());
        ASSERT_NE(s, nullptr);
        s->SetWidth(50);
        s->SetPrintOnParent(onParent);
        if (onParent) b->SetStretched(true);
    }
    std::unique_ptr<GroupedRows> rows, cols;
};

}  // namespace

// In the summary and in the title, on its own pages and printed on its host.
TEST_F(CrossHostsTest, SubreportOverTheColumnsListsEveryRow)
{
    for (const bool onParent : {false, true}) {
        SCOPED_TRACE(onParent ? "print on parent" : "own pages");
        crossedRows(3, 4);
        GroupedRows first(report.get(), &keeper, QStringLiteral("S"), GroupedRows::runs({{"A", 14}}));
        GroupedRows last(report.get(), &keeper, QStringLiteral("T"), GroupedRows::runs({{"A", 14}}));
        auto *title = band<TlyrReportTitle>("Title1", 0, 20);
        memo(title, "TitleMemo", "title p[Page#]", 0, 90);
        subreportOverColumn(title, first.ds, QStringLiteral("s"), onParent);
        auto *summary = band<TlyrReportSummary>("Summary1", 100, 20);
        memo(summary, "SummaryMemo", "summary p[Page#]", 0, 90);
        subreportOverColumn(summary, last.ds, QStringLiteral("t"), onParent);
        prepare();
        judge(3);
        judge(14, QStringLiteral("s"));
        judge(14, QStringLiteral("t"));
        expectOwnPageNumbers();
    }
}

// The last crossed row, kept with a footer whose print-on-parent rows do not
// fit below it, goes to the next page with its cells in width: every cell
// prints once, on the row's page or the page in width after it, and shows
// the number of the page it is on.
TEST_F(CrossHostsTest, ARowMovingWithItsFooterTakesItsCellsAlong)
{
    TlyrMasterData *master = crossedRows(7, 12, QStringLiteral(" p[Page#]"));
    master->SetKeepFooter(true);
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("S"), GroupedRows::runs({{"A", 5}}));
    auto *footer = band<TlyrFooter>("Footer1", 100, 20);
    footer->SetStretched(true);
    memo(footer, "FooterMemo", "end p[Page#]", 0, 90);
    subreportOverColumn(footer, subRows.ds, QStringLiteral("s"), true);
    prepare();
    judge(7);
    judge(5, QStringLiteral("s"));
    expectOwnPageNumbers();
    std::map<int, int> rowPage;
    std::map<QString, int> cells;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i)) {
            if (p.Text.startsWith(QLatin1Char('r'))) rowPage[p.Text.mid(1).section(QLatin1Char(' '), 0, 0).toInt()] = i;
            if (p.Text.startsWith(QLatin1Char('x'))) cells[p.Text.section(QLatin1Char(' '), 0, 0)] = i;
        }
    EXPECT_EQ(cells.size(), size_t(7 * 12)) << dump().toStdString();
    for (const auto &[cell, page] : cells) {
        const int row = cell.mid(1).section(QLatin1Char('c'), 0, 0).toInt();
        EXPECT_TRUE(page == rowPage[row] || page == rowPage[row] + 1) << cell.toStdString() << " on page " << page + 1;
    }
    EXPECT_EQ(rowPage[7], rowPage[1] + 2) << dump().toStdString();
}
