// Stretched bands that grow taller than an empty column (by their text, or
// by the rows a print-on-parent subreport printed into them) go on over
// columns and pages: nothing runs off the paper or under its footers.

#include "breaks_fixture.h"

#include <QRegularExpression>

namespace {

class TallSplitTest : public BreaksTest {
protected:
    // A page 600 x 100 mm with a page footer "pf" 20 high.
    void shortSheet(int columns = 0)
    {
        newSheet(columns);
        page->SetPaperHeight(100);
        memo(band<TlyrPageFooter>("PageFooter1", 900, 20), "PF", "pf p[Page#]");
    }
    // A print-on-parent subreport in b listing the rows "s<N>", 16 high.
    void printOnParent(TlyrBand *b, TlyrDataSet *ds)
    {
        TlyrSubreport *sub = subreportObject(b, QStringLiteral("Sub"), 0, 20, 200, 16);
        sub->SetPrintOnParent(true);
        records(ds, 0, {}, sub->SubPage(), QStringLiteral("s"))->SetHeight(16);
        qobject_cast<TlyrBand *>(sub->SubPage()->Objects().first())->Objects().first()->SetHeight(16);
    }
};

}  // namespace

// A stretched title or summary holding a print-on-parent subreport with
// more rows than a page holds goes on over pages, every row once, none
// under the page footer; the bands after it follow its last row.
TEST_F(TallSplitTest, PrintOnParentRowsInAStretchedTitleOrSummaryGoOnOverPages)
{
    for (bool summary : {false, true}) {
        SCOPED_TRACE(summary ? "summary" : "title");
        shortSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", 60}}));
        TlyrBand *host = summary ? static_cast<TlyrBand *>(band<TlyrReportSummary>("Summary1", 200, 20))
                                 : band<TlyrReportTitle>("Title1", 0, 20);
        host->SetStretched(true);
        memo(host, "HostMemo", summary ? "summary" : "title");
        printOnParent(host, subRows.ds);
        records(rows.ds, 100);
        prepare();
        judge(60, QStringLiteral("s"));
        judge(3);
        expectOwnPageNumbers();
        // 60 rows of 16 need three pages of about 340.
        EXPECT_GE(pages().Count(), 3);
        if (HasFailure()) {
            ADD_FAILURE() << dump().toStdString();
            return;
        }
    }
}

// A title that is not stretched still holds its print-on-parent rows: the
// records start below them, not over them; with more rows than a page
// holds it goes on over pages like a stretched one.
TEST_F(TallSplitTest, ATitleNotStretchedKeepsItsPrintOnParentRowsAboveTheRecords)
{
    for (int subs : {4, 40}) {
        SCOPED_TRACE(testing::Message() << subs << " rows");
        shortSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", subs}}));
        auto *title = band<TlyrReportTitle>("Title1", 0, 40);
        memo(title, "HostMemo", "title")->SetHeight(20);
        printOnParent(title, subRows.ds);
        records(rows.ds, 100);
        prepare();
        judge(subs, QStringLiteral("s"));
        judge(3);
        if (HasFailure()) {
            ADD_FAILURE() << dump().toStdString();
            return;
        }
    }
}

// A stretched record (not AllowSplit) whose text is taller than an empty
// page column goes on over the columns and pages as if it could split:
// every word once, inside the page, over neither the column footer nor the
// page footer, and the records after it follow.
TEST_F(TallSplitTest, AStretchedRecordTallerThanAnEmptyColumnGoesOnOverColumns)
{
    for (int first : {1, 2}) {
        SCOPED_TRACE(testing::Message() << "tall record " << first);
        shortSheet(2);
        memo(band<TlyrColumnFooter>("ColumnFooter1", 800, 20), "CF", "cf");
        QStringList words;
        for (int i = 1; i <= 300; ++i) words << QStringLiteral("w%1").arg(i);
        // The record's group key is its text: the long one for record
        // first, none for the others.
        QStringList keys(4);
        keys[first - 1] = words.join(QLatin1Char(' '));
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), keys);
        TlyrMasterData *r = records(rows.ds, 100);
        r->SetStretched(true);
        auto *text = memo(r, "Words", "[Rows.\"G\"]", 0, 250);
        text->SetTop(20);
        text->SetHeight(0);
        text->SetStretchMode(smActualHeight);
        prepare();
        judge(4);
        std::map<int, int> seen;
        static const QRegularExpression word(QStringLiteral("\\bw(\\d+)\\b"));
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                for (auto m = word.globalMatch(p.Text); m.hasNext();) ++seen[m.next().captured(1).toInt()];
        for (int i = 1; i <= 300; ++i) EXPECT_EQ(seen[i], 1) << "w" << i;
        EXPECT_EQ(seen.size(), size_t(300));
        if (HasFailure()) {
            ADD_FAILURE() << dump().toStdString();
            return;
        }
    }
}
