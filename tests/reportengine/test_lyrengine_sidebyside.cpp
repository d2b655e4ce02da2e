// Subreports side by side in one band that run on into the next page
// column: the later one finds the column begun by the earlier one.

#include "breaks_fixture.h"

#include "report/lyrband.h"

#include <iostream>

class SideBySideTest : public BreaksTest {
protected:
    // A subreport object of `host` at left, 20 below the host's top, over
    // the rows `ds` printed as "<prefix><N>" 100 wide.
    void sideSub(TlyrBand *host, const QString &name, double left, TlyrDataSet *ds, const QString &prefix)
    {
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(name + QStringLiteral("Page"));
        subPage->SetParent(report.get());
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(name);
        sub->SetParent(host);
        sub->SetBounds(left, 20, 100, 10);
        sub->SetSubPage(subPage);
        TlyrMasterData *rows = records(ds, 0, {}, subPage, prefix);
        for (TlyrComponent *c : rows->Objects())
            if (auto *m = qobject_cast<TlyrMemoView *>(c)) m->SetWidth(100);
    }
};

// The column header and the repeated data header head the second column
// once, whichever of the two subreports reached it; both go on below them.
TEST_F(SideBySideTest, TheSecondSubreportFindsTheColumnItsSiblingBegan)
{
    for (const bool title : {false, true}) {
        SCOPED_TRACE(title ? "in the report title" : "in a data band");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
        GroupedRows left(report.get(), &keeper, QStringLiteral("L"), GroupedRows::runs({{"A", 12}}));
        GroupedRows right(report.get(), &keeper, QStringLiteral("R"), GroupedRows::runs({{"A", 12}}));
        memo(band<TlyrColumnHeader>("ColumnHeader1", 20, 20), "CH", "ch", 0, 100);
        auto *header = band<TlyrHeader>("Header1", 40, 20);
        header->ReprintOnNewPage = true;
        memo(header, "HD", "hd", 0, 100);
        TlyrMasterData *master = records(rows.ds, 60);
        TlyrBand *host = master;
        if (title) host = band<TlyrReportTitle>("Title1", 0, 20);
        sideSub(host, QStringLiteral("Left"), 0, left.ds, QStringLiteral("a"));
        sideSub(host, QStringLiteral("Right"), 150, right.ds, QStringLiteral("b"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(12, QStringLiteral("a"));
        judge(12, QStringLiteral("b"));
        judge(1);
        ASSERT_GE(pages().Count(), 1);
        // Both subreports run on into the second column of the first page.
        ASSERT_EQ(places(0, "a12").size(), 1) << dump().toStdString();
        // Under a title whose subreports fill the first column the column
        // header begins the second one only.
        EXPECT_EQ(places(0, "ch"), title ? QStringList{"ch@300,0"} : (QStringList{"ch@0,0", "ch@300,0"}))
                << dump().toStdString();
        const QString a12 = places(0, "a12").first(), b12 = places(0, "b12").first();
        EXPECT_EQ(a12.section(QLatin1Char(','), 1), b12.section(QLatin1Char(','), 1)) << dump().toStdString();
        if (!title) {
            EXPECT_EQ(places(0, "hd"), (QStringList{"hd@0,20", "hd@300,20"}));
            EXPECT_EQ(places(0, "b8"), QStringList{"b8@450,40"});
        }
    }
}

// A page footer kept off the first page stays off it when the second
// subreport goes back to that page and breaks it again.
TEST_F(SideBySideTest, TheFirstPageKeepsNoFooterWhenASubreportBreaksItAgain)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
    GroupedRows left(report.get(), &keeper, QStringLiteral("L"), GroupedRows::runs({{"A", 10}}));
    GroupedRows right(report.get(), &keeper, QStringLiteral("R"), GroupedRows::runs({{"A", 10}}));
    auto *footer = band<TlyrPageFooter>("PageFooter1", 150, 20);
    footer->PrintOnFirstPage = false;
    memo(footer, "PF", "pf");
    TlyrMasterData *master = records(rows.ds, 60);
    sideSub(master, QStringLiteral("Left"), 200, left.ds, QStringLiteral("a"));
    sideSub(master, QStringLiteral("Right"), 400, right.ds, QStringLiteral("b"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    judge(10, QStringLiteral("a"));
    judge(10, QStringLiteral("b"));
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(places(0, "b8"), QStringList{"b8@400,160"});
    EXPECT_TRUE(places(0, "pf").isEmpty()) << dump().toStdString();
    EXPECT_EQ(places(1, "pf"), QStringList{"pf@0,180"});
}

// A kept group whose record's subreports both ran on into the next column
// cannot be laid out again column by column on a new page: it stays, and
// nothing lands left of the page or over the group's header.
TEST_F(SideBySideTest, AKeptGroupSpreadSideBySideOverColumnsStays)
{
    for (const int first : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << first << " records before");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", first}, {"B", 3}}));
        GroupedRows left(report.get(), &keeper, QStringLiteral("L"), GroupedRows::runs({{"A", 3}}));
        GroupedRows right(report.get(), &keeper, QStringLiteral("R"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrColumnHeader>("ColumnHeader1", 0, 20), "CH", "ch", 0, 100);
        TlyrGroupHeader *g = group(20);
        g->KeepTogether = true;
        TlyrMasterData *master = records(rows.ds, 60);
        auto *footer = band<TlyrGroupFooter>("GroupFooter1", 150, 20);
        memo(footer, "GF", "gf", 0, 100);
        sideSub(master, QStringLiteral("Left"), 0, left.ds, QStringLiteral("a"));
        sideSub(master, QStringLiteral("Right"), 150, right.ds, QStringLiteral("b"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(first + 3);
        if (HasFailure()) std::cerr << dump().toStdString();
    }
}
