// Band options combined as a template author may combine them: subreports
// printed on their band, reprinted split headers, keep blocks that move and
// lists in columns each print every record once, inside its page, with the
// number of the page it is printed on.

#include "breaks_fixture.h"

namespace {

class CombinedTest : public BreaksTest {
protected:
    // A subreport object in band b whose own page lists the rows as
    // "<prefix><N>", one 20 high band per row.
    TlyrSubreport *subreport(TlyrBand *b, const QString &name, TlyrDataSet *ds, double left, const QString &prefix,
                             const QString &more = {})
    {
        TlyrSubreport *sub = subreportObject(b, name, left, 2, 200, 16);
        records(ds, 0, more, sub->SubPage(), prefix);
        return sub;
    }
    // How often each text starting with prefix is printed, over all pages.
    std::map<QString, int> counts(const QString &prefix)
    {
        std::map<QString, int> out;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(prefix)) ++out[p.Text.section(QLatin1Char(' '), 0, 0)];
        return out;
    }
};

}  // namespace

// Each master record carries the sub-records of its own print-on-parent
// subreport only, whether or not its band stretches.
TEST_F(CombinedTest, APrintOnParentSubreportPrintsItsRowsOncePerMasterRecord)
{
    for (bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "stretched" : "not stretched");
        newSheet();
        page->SetPaperHeight(2000 / lyrUnitsPerMM);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 12}}));
        TlyrMasterData *master = records(rows.ds, 60);
        master->SetHeight(22);
        master->SetStretched(stretched);
        subreport(master, QStringLiteral("Sub1"), subRows.ds, 250, QStringLiteral("s"))->SetPrintOnParent(true);
        prepare();
        const std::map<QString, int> subs = counts(QStringLiteral("s"));
        int total = 0;
        for (const auto &[text, n] : subs) {
            EXPECT_EQ(n, 5) << text.toStdString();
            total += n;
        }
        EXPECT_EQ(total, 60) << dump().toStdString();
        EXPECT_EQ(subs.size(), 12u);
    }
}

// A record of a list in two columns with a footer after each record: the
// row is closed first, the footer goes below it.
TEST_F(CombinedTest, AFooterAfterEachRecordOfAListInColumnsGoesBelowItsRow)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 4}}));
    TlyrMasterData *master = records(rows.ds, 60);
    master->SetColumns(2);
    master->SetColumnWidth(280);
    master->SetColumnGap(10);
    master->SetFooterAfterEach(true);
    memo(band<TlyrFooter>("Footer1", 90, 20), "F", "foot");
    prepare();
    judge(4);
    EXPECT_EQ(places(0, "r"), (QStringList{"r1@0,0", "r2@0,40", "r3@0,80", "r4@0,120"})) << dump().toStdString();
    EXPECT_EQ(places(0, "foot"), (QStringList{"foot@0,20", "foot@0,60", "foot@0,100", "foot@0,140"}));
}

// A keep block that moves to the next page shows the number of that page,
// whichever flag made the block: a kept group, a record kept with its child,
// a header kept with the first record, the last record kept with the footer.
TEST_F(CombinedTest, APageNumberInAMovedKeepBlockIsThePageItIsPrintedOn)
{
    const QString p = QStringLiteral(" p[Page#]");
    {
        SCOPED_TRACE("kept group");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}, {"B", 12}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head" + p);
        group(30, p)->KeepTogether = true;
        records(rows.ds, 60, p);
        prepare();
        judge(15);
        ASSERT_GE(pages().Count(), 2);
        EXPECT_EQ(texts(1).mid(0, 3), (QStringList{"head p2", "gB p2", "r4 p2"})) << dump().toStdString();
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("record kept with its child");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 9}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head" + p);
        TlyrMasterData *master = records(rows.ds, 60, p);
        auto *child = band<TlyrChild>("Child1", 120, 20);
        memo(child, "C", "c[Rows.\"N\"]" + p);
        master->SetChild(child);
        master->SetKeepChild(true);
        prepare();
        judge(9);
        ASSERT_GE(pages().Count(), 2);
        EXPECT_EQ(texts(1).mid(0, 3), (QStringList{"head p2", "r5 p2", "c5 p2"})) << dump().toStdString();
        expectOwnPageNumbers();
    }
    {
        // Not on the report's first record, which never opens a keep block.
        SCOPED_TRACE("a detail's header kept with its first record");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
        records(rows.ds, 60, p)->SetHeight(40);
        memo(band<TlyrHeader>("Header1", 120, 20), "H", "hd" + p);
        auto *detail = band<TlyrDetailData>("Detail1", 150, 20);
        detail->SetRowCount(3);
        detail->SetKeepHeader(true);
        memo(detail, "D", "d[Line]" + p);
        prepare();
        judge(2);
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(1).mid(0, 2), (QStringList{"hd p2", "d1 p2"})) << dump().toStdString();
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("last record kept with the footer");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 9}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head" + p);
        TlyrMasterData *master = records(rows.ds, 60, p);
        master->SetKeepFooter(true);
        memo(band<TlyrFooter>("Footer1", 90, 20), "F", "foot" + p);
        prepare();
        judge(9);
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(1), (QStringList{"head p2", "r9 p2", "foot p2"})) << dump().toStdString();
        expectOwnPageNumbers();
    }
}

// A band that grew by its print-on-parent subreport and moves to the next
// page is prepared there again: it and its sub-records show that page.
TEST_F(CombinedTest, AMovedBandWithAPrintOnParentSubreportShowsItsNewPage)
{
    newSheet();
    const QString p = QStringLiteral(" p[Page#]");
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 6}}));
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 2}}));
    TlyrMasterData *master = records(rows.ds, 60, p);
    master->SetStretched(true);
    subreport(master, QStringLiteral("Sub1"), subRows.ds, 250, QStringLiteral("s"), p)->SetPrintOnParent(true);
    prepare();
    judge(6);
    ASSERT_GE(pages().Count(), 2) << dump().toStdString();
    expectOwnPageNumbers();
    const std::map<QString, int> subs = counts(QStringLiteral("s"));
    EXPECT_EQ(subs.size(), 2u);
    for (const auto &[text, n] : subs) EXPECT_EQ(n, 6) << text.toStdString();
}

// A split group header taller than a column that is reprinted in each new
// column is split again there: nothing goes below the page or over its
// footer, every record once.
TEST_F(CombinedTest, AReprintedSplitHeaderTallerThanAColumnFitsItsColumns)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 30}}));
    memo(band<TlyrPageFooter>("PageFooter1", 500, 20), "PF", "pf");
    TlyrGroupHeader *g = group(30);
    g->SetHeight(40);
    g->ReprintOnNewPage = true;
    g->SetAllowSplit(true);
    g->SetStretched(true);
    QStringList lines;
    for (int i = 1; i <= 40; ++i) lines << QStringLiteral("line%1").arg(i);
    TlyrMemoView *tall = memo(g, "Tall", lines.join(QLatin1Char('\n')));
    tall->SetTop(20);
    tall->SetHeight(20);
    tall->SetStretchMode(smActualHeight);
    records(rows.ds, 100);
    prepare();
    judge(30);
    // The header was shown again, from its first line.
    int starts = 0;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &m : printed(i)) starts += m.Text.split(QLatin1Char('\n')).first().trimmed() == QLatin1String("line1") ? 1 : 0;
    EXPECT_GE(starts, 2) << dump().toStdString();
}
