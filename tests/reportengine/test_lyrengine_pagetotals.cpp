// Page footer totals of records that move to the next page with the band
// that follows them: they count on the page that shows them. The page count
// a two-pass report shows is that of the pages it prints.

#include "breaks_fixture.h"

#include "report/lyrmemo.h"

namespace {

class PageTotalsTest : public BreaksTest {
protected:
    // A page footer 20 high totalling the records: "tot S<sum> C<count>".
    void pageFooterTotals()
    {
        auto *pf = band<TlyrPageFooter>("PageFooter1", 380, 20);
        memo(pf, "TotalMemo", "tot S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
    }
    // The records "r<N>" a page prints, and what its page footers say.
    struct PageRows {
        int Sum = 0, Count = 0;
        std::string Totals, Expected;
    };
    PageRows rowsOf(int page)
    {
        PageRows rows;
        QStringList totals;
        for (const Printed &p : printed(page)) {
            bool number = false;
            const int n = p.Text.mid(1).toInt(&number);
            if (p.Text.startsWith(QLatin1Char('r')) && number) {
                rows.Sum += n;
                ++rows.Count;
            }
            if (p.Text.startsWith(QLatin1String("tot "))) totals << p.Text.mid(4);
        }
        rows.Totals = totals.join(QLatin1Char('|')).toStdString();
        rows.Expected = QStringLiteral("S%1 C%2").arg(rows.Sum).arg(rows.Count).toStdString();
        return rows;
    }
    // Every page footer totals the records "r<N>" of its own page.
    void expectTotalsOfEachPage()
    {
        for (int i = 0; i < pages().Count(); ++i) {
            const PageRows rows = rowsOf(i);
            EXPECT_EQ(rows.Totals, rows.Expected) << "page " << i + 1 << "\n" << dump().toStdString();
        }
    }
};

}  // namespace

// A footer kept with the last record holds what a print-on-parent subreport
// lists and does not fit below that record: both go to the next page, whose
// footer counts the record; the page before does not. The subreport's own
// list has no footer of its own to keep, plain or kept with its last row.
TEST_F(PageTotalsTest, TheLastRecordMovingWithItsFooterCountsWhereItPrints)
{
    for (const bool subKeepsFooter : {false, true}) {
        SCOPED_TRACE(subKeepsFooter ? "subreport keeps its footer" : "plain subreport");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 7}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 5}}));
        TlyrMasterData *master = records(rows.ds, 40);
        master->SetKeepFooter(true);
        auto *footer = band<TlyrFooter>("Footer1", 100, 20);
        footer->SetStretched(true);
        memo(footer, "FooterMemo", "end p[Page#]", 0, 90);
        sideReport(footer, QStringLiteral("Sub"), subRows.ds, 100, QStringLiteral("s"));
        auto *sub = qobject_cast<TlyrSubreport *>(footer->Objects().last());
        ASSERT_NE(sub, nullptr);
        sub->SetPrintOnParent(true);
        if (subKeepsFooter) {
            auto *subPage = qobject_cast<TlyrReportPage *>(sub->SubPage());
            ASSERT_NE(subPage, nullptr);
            auto *subData = qobject_cast<TlyrMasterData *>(subPage->FindBand(&TlyrMasterData::staticMetaObject));
            ASSERT_NE(subData, nullptr);
            subData->SetKeepFooter(true);
            memo(band<TlyrFooter>("SubFooter", 40, 20, subPage), "SubFooterMemo", "subend", 0, 90);
        }
        pageFooterTotals();
        prepare();
        judge(7);
        judge(5, QStringLiteral("s"));
        expectOwnPageNumbers();
        expectTotalsOfEachPage();
        if (HasFailure()) return;
    }
}

// A two-pass report of records kept with their detail row in two page
// columns, a block moving to the next column at the first one's bottom, and
// a summary whose subreport lists rows on after the records: the second
// pass lays the pages out as the first did, so every page footer shows the
// count of pages printed.
TEST_F(PageTotalsTest, ASecondPassPrintsThePagesTheFirstCounted)
{
    for (int subRows = 1; subRows <= 24; ++subRows) {
        SCOPED_TRACE(testing::Message() << subRows << " rows in the summary");
        newSheet(2);
        report->EngineOptions()->SetDoublePass(true);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
        GroupedRows detailRows(report.get(), &keeper, QStringLiteral("Detail"), GroupedRows::runs({{"A", 1}}));
        GroupedRows listed(report.get(), &keeper, QStringLiteral("Listed"), GroupedRows::runs({{"A", subRows}}));
        TlyrMasterData *master = records(rows.ds, 40);
        master->SetKeepTogether(true);
        auto *detail = band<TlyrDetailData>("DetailRows", 70, 20);
        detail->SetDataSet(detailRows.ds);
        memo(detail, "DetailMemo", "d[Rows.\"N\"]");
        auto *summary = band<TlyrReportSummary>("Summary1", 120, 20);
        sideReport(summary, QStringLiteral("Listing"), listed.ds, 0, QStringLiteral("s"));
        auto *pf = band<TlyrPageFooter>("PageFooter1", 380, 20);
        memo(pf, "PageFooterMemo", "pf of [TotalPages] p[Page#]");
        prepare();
        judge(5);
        judge(subRows, QStringLiteral("s"));
        expectOwnPageNumbers();
        for (int i = 0; i < pages().Count(); ++i)
            EXPECT_TRUE(texts(i).contains(QStringLiteral("pf of %1 p%2").arg(pages().Count()).arg(i + 1)))
                    << "page " << i + 1 << "\n" << dump().toStdString();
        if (HasFailure()) return;
    }
}

// Crossed rows over pages in width, each followed by a footer with two
// subreports side by side that run on to the next page, whose repeated
// column titles make pages in width of their own. When the second
// subreport ends the first page again, the pages in width of the next page
// are not its own: they get their footer when that page ends, and the page
// holding the next row totals that row.
TEST_F(PageTotalsTest, APageThatSideBySideSubreportsReachGetsItsOwnTotals)
{
    std::unique_ptr<GroupedRows> rows, cols;
    crossTabSheet(3, 5, rows, cols);
    auto *header = band<TlyrHeader>("Titles", 0, 20);
    header->ReprintOnNewPage = true;
    memo(header, "Title", "t[Cols.\"N\"]", 60, 200);
    TlyrMasterData *master = records(rows->ds, 40);
    master->Objects().first()->SetWidth(60);
    memo(master, "Cell", "c[Rows.\"N\"]-[Cols.\"N\"]", 60, 200);
    master->SetFooterAfterEach(true);
    verticalColumns(cols->ds, 60, 200);
    GroupedRows left(report.get(), &keeper, QStringLiteral("Left"), GroupedRows::runs({{"S", 13}}));
    GroupedRows right(report.get(), &keeper, QStringLiteral("Right"), GroupedRows::runs({{"S", 13}}));
    auto *footer = band<TlyrFooter>("End", 150, 20);
    sideReport(footer, "SideA", left.ds, 280, QStringLiteral("a"));
    sideReport(footer, "SideB", right.ds, 420, QStringLiteral("b"));
    auto *pf = band<TlyrPageFooter>("PageFooter1", 260, 20);
    memo(pf, "TotalMemo", "tot S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]", 0, 300);
    prepare();
    judge(3);
    // Every page that begins rows totals them; a page in width carries the
    // totals of the page its rows began on.
    int withRows = 0;
    for (int i = 0; i < pages().Count(); ++i) {
        const PageRows rows = rowsOf(i);
        if (rows.Count == 0) continue;
        ++withRows;
        EXPECT_EQ(rows.Totals, rows.Expected) << "page " << i + 1 << "\n" << dump().toStdString();
    }
    EXPECT_EQ(withRows, 3) << dump().toStdString();
}
