// Column and page footer totals of records in keep blocks that move: each
// record counts in the column and page it is printed on.

#include "breaks_fixture.h"

#include <memory>

namespace {

class ColumnTotalsTest : public BreaksTest {
protected:
    // Three records on a sheet of two columns whose group key "G" is their
    // text: 120 words, taller than a column and shorter than two, for the
    // last, none for the others.
    std::unique_ptr<GroupedRows> tallLastRows()
    {
        newSheet(2);
        QStringList words;
        for (int i = 1; i <= 120; ++i) words << QStringLiteral("w%1").arg(i);
        QStringList keys(3);
        keys.last() = words.join(QLatin1Char(' '));
        return std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"), keys);
    }
    // Band b grows with the record's text, shown at top.
    void growWithText(TlyrBand *b, double top)
    {
        b->SetStretched(true);
        auto *text = memo(b, "Words", "[Rows.\"G\"]", 0, 250);
        text->SetTop(top);
        text->SetHeight(0);
        text->SetStretchMode(smActualHeight);
    }
    // A stretched footer at top printing "ftr" and, beside it, the rows of
    // ds as a print-on-parent subreport, one 16 high band a row "s<N>".
    void footerListing(double top, TlyrDataSet *ds)
    {
        auto *footer = band<TlyrFooter>("Footer1", top, 20);
        footer->SetStretched(true);
        memo(footer, "F", "ftr", 0, 100);
        TlyrSubreport *sub = subreportObject(footer, QStringLiteral("Sub"), 150, 0, 100, 16);
        sub->SetPrintOnParent(true);
        TlyrMasterData *subBand = records(ds, 0, {}, sub->SubPage(), QStringLiteral("s"));
        subBand->SetHeight(16);
        subBand->Objects().first()->SetHeight(16);
        subBand->Objects().first()->SetWidth(100);
    }
    // Column footer "col S<sum> C<count>" and page footer "pg ..." over the
    // records of "Rows".
    void addTotals()
    {
        const QString totals = QStringLiteral(" S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 400, 20), "CF", QStringLiteral("col") + totals);
        memo(band<TlyrPageFooter>("PageFooter1", 450, 20), "PF", QStringLiteral("pg") + totals, 300, 200);
    }
    // Every column footer and page footer shows the sum and count of the
    // records "r<N>" printed in its column (300 wide, by the middle of a
    // text) or on its page. Record goesOn runs on over columns and pages: it
    // may count in any of them from the one it begins in. Each record counts
    // once in the column footers and once in the page footers.
    void expectTotalsWherePrinted(int goesOn = 0)
    {
        int columnCounts = 0, pageCounts = 0, records = 0;
        int goesOnPage = -1, goesOnFrom = 0;
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            std::map<int, std::pair<int, int>> held;  // column (0: the page): sum, count
            std::map<int, QString> shown;
            for (const Printed &p : printed(i)) {
                const int column = int(p.Box.center().x() / 300) + 1;
                bool number = false;
                const int n = p.Text.mid(1).toInt(&number);
                if (p.Text.startsWith(QLatin1Char('r')) && number) {
                    ++records;
                    if (n == goesOn) {
                        goesOnPage = i;
                        goesOnFrom = column;
                        continue;
                    }
                    for (int c : {0, column}) {
                        held[c].first += n;
                        held[c].second += 1;
                    }
                } else if (p.Text.startsWith(QLatin1String("col "))) {
                    shown[column] = p.Text.mid(4);
                } else if (p.Text.startsWith(QLatin1String("pg "))) {
                    shown[0] = p.Text.mid(3);
                }
            }
            for (const auto &[c, text] : shown) {
                const auto [sum, count] = held[c];
                const QString alone = QStringLiteral("S%1 C%2").arg(sum).arg(count);
                const QString with = QStringLiteral("S%1 C%2").arg(sum + goesOn).arg(count + 1);
                const bool reached = goesOnPage >= 0 && (i > goesOnPage || c == 0 || c >= goesOnFrom);
                if (!reached || text != with)
                    EXPECT_EQ(text.toStdString(), alone.toStdString())
                            << (c ? "column " : "page ") << c << "\n" << dump().toStdString();
                (c ? columnCounts : pageCounts) += text.section(QLatin1String(" C"), 1).toInt();
            }
        }
        EXPECT_EQ(columnCounts, records) << dump().toStdString();
        EXPECT_EQ(pageCounts, records) << dump().toStdString();
    }
};

}  // namespace

// The last record goes to the next page with the footer kept with it; the
// footer holds a print-on-parent subreport whose own run ends before the
// footer is placed. The record counts on the page it moved to.
TEST_F(ColumnTotalsTest, ARecordMovedWithAFooterHoldingAPrintOnParentSubreportCountsWhereItPrints)
{
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << columns << " page columns");
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", 4}}));
        records(rows.ds, 20)->SetKeepFooter(true);
        footerListing(60, subRows.ds);
        addTotals();
        prepare();
        judge(5);
        judge(4, QStringLiteral("s"));
        ASSERT_GE(pages().Count() * std::max(columns, 1), 2) << dump().toStdString();
        expectTotalsWherePrinted();
    }
}

// A kept record taller than an empty column starts in the first column,
// goes on over the columns and then moves whole to a new page. The column
// it left keeps the totals of the records still printed there, and the
// moved record counts where it is pasted. Kept by itself or with its child.
TEST_F(ColumnTotalsTest, AKeptTallRecordMovingToANewPageLeavesTheColumnItBeganInItsTotals)
{
    for (bool keepChild : {false, true}) {
        SCOPED_TRACE(keepChild ? "kept with its child" : "kept together");
        const std::unique_ptr<GroupedRows> rows = tallLastRows();
        TlyrMasterData *r = records(rows->ds, 100);
        growWithText(r, 20);
        if (keepChild) {
            r->SetKeepChild(true);
            auto *child = band<TlyrChild>("Child1", 150, 10);
            r->SetChild(child);
        } else {
            r->SetKeepTogether(true);
        }
        addTotals();
        prepare();
        judge(3);
        ASSERT_GE(pages().Count(), 2) << dump().toStdString();
        expectTotalsWherePrinted(3);
    }
}

// A record kept with its child, which is taller than an empty column: the
// record is counted in the first column before the child breaks it, then
// the block moves over columns to a new page. The record counts where it is
// pasted, the column it left keeps only its own records.
TEST_F(ColumnTotalsTest, ARecordKeptWithATallChildCountsWhereTheBlockIsPasted)
{
    const std::unique_ptr<GroupedRows> rows = tallLastRows();
    TlyrMasterData *r = records(rows->ds, 100);
    r->SetKeepChild(true);
    auto *child = band<TlyrChild>("Child1", 150, 10);
    growWithText(child, 0);
    r->SetChild(child);
    addTotals();
    prepare();
    judge(3);
    ASSERT_GE(pages().Count(), 2) << dump().toStdString();
    expectTotalsWherePrinted();
}

// A detail record kept with its footer, whose print-on-parent rows run over
// the columns, moves with its footer to a new page. The master record above
// it stays in the column it was printed in and counts there.
TEST_F(ColumnTotalsTest, AMasterRecordLeftAboveADetailBlockMovingOverColumnsCountsInItsColumn)
{
    for (int subRows = 6; subRows <= 24; ++subRows) {
        SCOPED_TRACE(testing::Message() << subRows << " rows in the footer");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        GroupedRows detailRows(report.get(), &keeper, QStringLiteral("Detail"), GroupedRows::runs({{"A", 2}}));
        GroupedRows subList(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", subRows}}));
        records(rows.ds, 20);
        auto *detail = band<TlyrDetailData>("DetailRows", 50, 20);
        detail->SetDataSet(detailRows.ds);
        detail->SetKeepFooter(true);
        memo(detail, "DetailMemo", "d[Rows.\"N\"].[Detail.\"N\"]");
        footerListing(80, subList.ds);
        addTotals();
        prepare();
        judge(3);
        expectTotalsWherePrinted();
        if (HasFailure()) return;
    }
}

// The footer kept with the last record lists more rows than a column
// holds: the block runs over the columns, then moves to a new page and is
// laid out over that page's columns again. The record counts in the column
// it is pasted in, not in the one the footer's rows end in.
TEST_F(ColumnTotalsTest, ARecordKeptWithAFooterRunningOverColumnsCountsInTheColumnItIsPastedIn)
{
    for (int subs : {12, 16, 20, 30}) {
        SCOPED_TRACE(testing::Message() << subs << " rows below the footer");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", subs}}));
        TlyrMasterData *master = records(rows.ds, 20);
        master->SetKeepFooter(true);
        master->SetHeight(60);
        footerListing(100, subRows.ds);
        addTotals();
        prepare();
        judge(2);
        judge(subs, QStringLiteral("s"));
        expectTotalsWherePrinted();
    }
}
