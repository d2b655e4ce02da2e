// Column and page footer totals of records in keep blocks that move: each
// record counts in the column and page it is printed on.

#include "breaks_fixture.h"

namespace {

class ColumnTotalsTest : public BreaksTest {
protected:
    // Column footer "col S<sum> C<count>" and page footer "pg ..." over the
    // records of "Rows".
    void addTotals()
    {
        const QString totals = QStringLiteral(" S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 400, 20), "CF", QStringLiteral("col") + totals);
        memo(band<TlyrPageFooter>("PageFooter1", 450, 20), "PF", QStringLiteral("pg") + totals, 300, 200);
    }
    // Every column footer and page footer shows the sum and count of the
    // records "r<N>" printed in its column (300 wide, by the middle of a text)
    // or on its page.
    void expectTotalsWherePrinted()
    {
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            std::map<int, std::pair<int, int>> held;  // column (0: the page): sum, count
            std::map<int, QString> shown;
            for (const Printed &p : printed(i)) {
                const int column = int(p.Box.center().x() / 300) + 1;
                bool number = false;
                const int n = p.Text.mid(1).toInt(&number);
                if (p.Text.startsWith(QLatin1Char('r')) && number) {
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
            for (const auto &[c, text] : shown)
                EXPECT_EQ(text, QStringLiteral("S%1 C%2").arg(held[c].first).arg(held[c].second))
                        << (c ? "column " : "page ") << c << "\n" << dump().toStdString();
        }
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
        auto *footer = band<TlyrFooter>("Footer1", 60, 20);
        footer->SetStretched(true);
        memo(footer, "F", "ftr", 0, 100);
        TlyrSubreport *sub = subreportObject(footer, QStringLiteral("Sub"), 150, 0, 100, 16);
        sub->SetPrintOnParent(true);
        TlyrMasterData *subBand = records(subRows.ds, 0, {}, sub->SubPage(), QStringLiteral("s"));
        subBand->SetHeight(16);
        subBand->Objects().first()->SetHeight(16);
        subBand->Objects().first()->SetWidth(100);
        addTotals();
        prepare();
        judge(5);
        judge(4, QStringLiteral("s"));
        ASSERT_GE(pages().Count() * std::max(columns, 1), 2) << dump().toStdString();
        expectTotalsWherePrinted();
    }
}
