// Where page and column breaks meet keep blocks, page columns, subreports
// and repeated headers: every record reaches the paper once, inside its
// page, over no other object, with the page number and counter of the place
// it is printed at.

#include "breaks_fixture.h"

// A keep block moves to the next page at most once, below the new page's
// headers, and every record of it stays inside the page, also when the
// block ran from one page column into the next.
TEST_F(BreaksTest, AKeepBlockMovesOnceAndStaysInsideThePage)
{
    const struct {
        const char *name;
        int columns;
        bool keep, reprint;
        int records;
        QStringList firstOnPage2;
    } cases[] = {
            {"kept and repeated group", 0, true, true, 28, {"head", "gB", "r4", "r5"}},
            {"kept group", 0, true, false, 28, {"head", "gB", "r4", "r5"}},
            {"repeated group", 0, false, true, 28, {"head", "gB", "r8", "r9"}},
            {"kept group over two columns", 2, true, false, 25, {"head", "gB", "r6", "r7"}},
            {"kept and repeated group over two columns", 2, true, true, 25, {"head", "gB", "r6", "r7"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        newSheet(c.columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                         GroupedRows::runs({{"A", c.columns ? 5 : 3}, {"B", c.records - (c.columns ? 5 : 3)}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        TlyrGroupHeader *g = group(30);
        g->KeepTogether = c.keep;
        g->ReprintOnNewPage = c.reprint;
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(c.records);
        ASSERT_GE(pages().Count(), 2);
        EXPECT_EQ(texts(1).mid(0, 4), c.firstOnPage2) << dump().toStdString();
        // A repeated group header heads every page (and column) the group
        // runs over, once.
        for (int i = 1; i < pages().Count() && c.reprint; ++i) {
            SCOPED_TRACE(i);
            const QStringList t = texts(i);
            EXPECT_EQ(t.indexOf(QStringLiteral("gB")), 1);
            EXPECT_LE(t.count(QStringLiteral("gB")), std::max(c.columns, 1));
        }
    }
}

// Page bands stand at the page's left and each column's footer under its own
// column, whichever column the page or a subreport in it ended in; a
// subreport that runs over a page break goes on in the new page's first
// column.
TEST_F(BreaksTest, PageColumnsKeepPageBandsAtTheLeftAndFootersUnderTheirColumn)
{
    {
        SCOPED_TRACE("a subreport that starts in column 2 runs over a page break");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 9}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 15}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 150, 20), "CF", "cf");
        records(rows.ds, 60);
        auto *footer = band<TlyrFooter>("Footer1", 90, 20);
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(QStringLiteral("SubPage"));
        subPage->SetParent(report.get());
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(QStringLiteral("Sub1"));
        sub->SetParent(footer);
        sub->SetBounds(10, 10, 250, 10);
        sub->SetSubPage(subPage);
        records(subRows.ds, 0, {}, subPage, QStringLiteral("s"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(9);
        judge(15, QStringLiteral("s"));
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        for (int i = 0; i < 2; ++i) EXPECT_EQ(places(i, "head"), QStringList{"head@0,0"}) << i;
        // A column's footer follows what the column holds.
        EXPECT_EQ(places(0, "cf"), (QStringList{"cf@0,180", "cf@300,170"}));
        EXPECT_EQ(places(1, "cf"), (QStringList{"cf@0,180", "cf@300,40"}));
        EXPECT_EQ(places(0, "s1"), QStringList{"s1@310,50"});
        EXPECT_EQ(places(1, "s7"), QStringList{"s7@10,20"});
        EXPECT_EQ(places(1, "s15"), QStringList{"s15@310,20"});
    }
    {
        SCOPED_TRACE("pages that end in column 2 under a page footer and an overlay on top");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 30}}));
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF", "pf");
        auto *overlay = band<TlyrOverlay>("Overlay1", 180, 200);
        overlay->PrintOnTop = true;
        memo(overlay, "OV", "ov", 220, 60)->SetHeight(20);
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(30);
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(places(i, "pf"), QStringList{"pf@0,180"});
            EXPECT_EQ(places(i, "ov"), QStringList{"ov@220,0"});
        }
    }
}

// Headers shown again on a new page or column come with their child bands
// and their own counters; a band that starts a new page or is moved to one
// prints that page's number; a header may start a new page after the title.
TEST_F(BreaksTest, RepeatedHeadersAndMovedBandsPrintWhatBelongsToTheirPlace)
{
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "a repeated header keeps its child, columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 40}}));
        auto *header = band<TlyrHeader>("Header1", 10, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "head");
        auto *child = band<TlyrChild>("Child1", 35, 20);
        memo(child, "HC", "head child");
        header->SetChild(child);
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(40);
        ASSERT_GE(pages().Count(), 3);
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(i);
            const QStringList t = texts(i);
            EXPECT_EQ(t.mid(0, 2), (QStringList{"head", "head child"}));
            EXPECT_EQ(t.count(QStringLiteral("head")), t.count(QStringLiteral("head child")));
        }
    }
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "a repeated group header prints its own counter, columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}, {"B", 30}}));
        group(10, QStringLiteral(" [Line]/[Line#]"))->ReprintOnNewPage = true;
        records(rows.ds, 60, QStringLiteral(" [Line]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(33);
        int repeats = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const QString &t : texts(i))
                if (t.startsWith(QLatin1String("gB"))) {
                    EXPECT_EQ(t, QStringLiteral("gB 2/2")) << i;
                    ++repeats;
                }
        EXPECT_GE(repeats, 3);
    }
    {
        SCOPED_TRACE("a band that starts a new page prints the new page's number");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"))->SetStartNewPage(true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(3);
        ASSERT_EQ(pages().Count(), 3);
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("a band moved to the next page by the free space prints the new page's number");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 25}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"))->SetHeight(30);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(25);
        ASSERT_EQ(pages().Count(), 5);
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("a header that starts a new page after the title makes a title page");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
        auto *header = band<TlyrHeader>("Header1", 30, 20);
        header->SetStartNewPage(true);
        memo(header, "H", "head p[Page#]");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(3);
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        EXPECT_EQ(texts(0), QStringList{"title"});
        EXPECT_EQ(texts(1), (QStringList{"head p2", "r1 p2", "r2 p2", "r3 p2"}));
    }
}
