// Bands that start a new page, and page headers and totals on the pages
// that such breaks and long titles lead to.

#include "breaks_fixture.h"

namespace {

class NewPageBandsTest : public BreaksTest {
protected:
    // Each page footer "pg S<sum> C<count>" totals the records "r<N>" its
    // page shows.
    void expectPageTotalsOfWhatEachPageShows()
    {
        for (int i = 0; i < pages().Count(); ++i) {
            int sum = 0, count = 0;
            QString shown;
            for (const Printed &p : printed(i)) {
                if (p.Text.startsWith(QLatin1Char('r'))) {
                    sum += p.Text.mid(1).toInt();
                    ++count;
                } else if (p.Text.startsWith(QLatin1String("pg "))) {
                    shown = p.Text.mid(3);
                }
            }
            EXPECT_EQ(shown, QStringLiteral("S%1 C%2").arg(sum).arg(count)) << "page " << i + 1 << "\n" << dump().toStdString();
        }
    }
    // A record band over rows printing "r<N>" with a stretched text of the
    // lines given below it (taller than an empty column when there are
    // many), and a child "c<N>" that starts a new page, kept with it.
    void tallRecordsWithNewPageChild(TlyrDataSet *ds, int lines)
    {
        TlyrMasterData *master = records(ds, 100);
        master->SetStretched(true);
        master->SetKeepChild(true);
        QStringList text;
        for (int i = 1; i <= lines; ++i) text << QStringLiteral("line%1").arg(i);
        TlyrMemoView *tall = memo(master, "Tall", text.join(QLatin1Char('\n')));
        tall->SetTop(20);
        tall->SetStretchMode(smActualHeight);
        auto *child = band<TlyrChild>("Child1", 200, 20);
        child->SetStartNewPage(true);
        memo(child, "ChildMemo", "c[Rows.\"N\"]");
        master->SetChild(child);
    }
};

}  // namespace

// A record kept with its child that runs over both columns of a page:
// the child, which starts a new page, stands at the top of the next page's
// first column; the record, not whole anyway, stays where it began.
TEST_F(NewPageBandsTest, AChildStartingANewPageAfterAKeptRecordOverColumnsBeginsItsPage)
{
    for (int lines : {14, 24}) {
        SCOPED_TRACE(testing::Message() << lines << " lines");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
        tallRecordsWithNewPageChild(rows.ds, lines);
        prepare();
        judge(2);
        judge(2, QStringLiteral("c"));
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1Char('c'))) {
                    EXPECT_NEAR(p.Box.left(), 0, 0.01) << p.Text.toStdString() << "\n" << dump().toStdString();
                    EXPECT_NEAR(p.Box.top(), 0, 0.01) << p.Text.toStdString() << "\n" << dump().toStdString();
                }
    }
}

// A title above the page header holding a print-on-parent subreport with
// more rows than the first page holds: the page its rows go on to begins
// with the page header, the rows below it, every row once.
TEST_F(NewPageBandsTest, APageAPrintOnParentTitleRunsOnToBeginsWithThePageHeader)
{
    for (int subs : {14, 30}) {
        SCOPED_TRACE(testing::Message() << subs << " rows");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", subs}}));
        page->TitleBeforeHeader = true;
        auto *title = band<TlyrReportTitle>("Title1", 0, 20);
        memo(title, "TitleMemo", "title");
        TlyrSubreport *sub = subreportObject(title, QStringLiteral("Sub"), 300, 0, 200, 16);
        sub->SetPrintOnParent(true);
        TlyrMasterData *subBand = records(subRows.ds, 0, {}, sub->SubPage(), QStringLiteral("s"));
        subBand->SetHeight(16);
        subBand->Objects().first()->SetHeight(16);
        memo(band<TlyrPageHeader>("PageHeader1", 60, 20), "PH", "ph p[Page#]", 0, 600);
        records(rows.ds, 120);
        prepare();
        judge(subs, QStringLiteral("s"));
        judge(3);
        expectOwnPageNumbers();
        ASSERT_GE(pages().Count(), 2) << dump().toStdString();
        for (int i = 1; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                if (p.Text.startsWith(QLatin1String("ph"))) EXPECT_NEAR(p.Box.top(), 0, 0.01) << dump().toStdString();
                else EXPECT_GE(p.Box.top(), 20 - 0.01) << p.Text.toStdString() << "\n" << dump().toStdString();
            }
    }
}

// Records whose side subreport runs on to the next page: the record counts
// in the page footer's totals of the page it is printed on, not of the page
// its subreport ends on.
TEST_F(NewPageBandsTest, ARecordWhoseSubreportRunsOnCountsForThePageItIsPrintedOn)
{
    for (int subs : {3, 7}) {
        SCOPED_TRACE(testing::Message() << subs << " subreport rows");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Subs"), GroupedRows::runs({{"S", subs}}));
        TlyrMasterData *master = records(rows.ds, 20);
        sideReport(master, QStringLiteral("Side"), subRows.ds, 300, QStringLiteral("s"));
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF",
             QStringLiteral("pg S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]"), 0, 200);
        prepare();
        judge(5);
        ASSERT_GE(pages().Count(), 2) << dump().toStdString();
        expectPageTotalsOfWhatEachPageShows();
    }
}

// A record that grows but may not split, too tall for the room below a
// tall repeated group header: it goes on to the next column or page, where
// the header makes room for it, and prints whole there, not in parts.
TEST_F(NewPageBandsTest, AGrowingRecordThatMayNotSplitPrintsWholeBelowATallRepeatedHeader)
{
    const QString grown = QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix");
    for (int columns : {1, 3})
        for (int height : {130, 150, 170}) {
            SCOPED_TRACE(testing::Message() << columns << " columns, header " << height << " high");
            newSheet(columns);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 6}}));
            // A header of that height as designed, which may split.
            TlyrGroupHeader *g = group(30);
            g->ReprintOnNewPage = true;
            g->SetAllowSplit(true);
            g->SetHeight(height);
            QStringList text;
            for (int i = 0; i < height / 20; ++i) text << QStringLiteral("h%1").arg(i);
            memo(g, QStringLiteral("GroupText"), text.join(QLatin1Char('\n')), 0, 60)->SetTop(20);
            g->Objects().last()->SetHeight(height - 20);
            TlyrMasterData *r = records(rows.ds, 300);
            r->SetStretched(true);
            TlyrMemoView *grows = memo(r, QStringLiteral("Grows"), grown, 0, 40);
            grows->SetTop(20);
            grows->SetStretchMode(smActualHeight);
            prepare();
            judge(6);
            int whole = 0;
            for (int i = 0; i < pages().Count(); ++i)
                for (const Printed &p : printed(i))
                    if (p.Text.contains(QLatin1String("one")) || p.Text.contains(QLatin1String("six"))) {
                        EXPECT_EQ(p.Text.simplified(), grown.simplified()) << "page " << i + 1 << "\n" << dump().toStdString();
                        ++whole;
                    }
            EXPECT_EQ(whole, 6) << dump().toStdString();
        }
}

// Kept groups, and a last record kept with the data footer that moves with
// it to the next page: each page footer totals the records its page shows,
// also those of the blocks kept before the record that moved.
TEST_F(NewPageBandsTest, PageTotalsCountKeptGroupsWhenTheLastRecordMovesWithItsFooter)
{
    newSheet();
    // 407 units below the page footer: two kept groups of five records
    // 40 high fill a page each, the third's last record and the data
    // footer no longer fit the second.
    page->SetPaperHeight(113);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}, {"B", 5}, {"C", 3}}));
    TlyrGroupHeader *outer = group(10);
    outer->KeepTogether = true;
    auto *inner = band<TlyrGroupHeader>("Inner", 30, 20);
    inner->Condition = QStringLiteral("Rows.\"G\"");
    memo(inner, QStringLiteral("InnerMemo"), QStringLiteral("i[Rows.\"G\"]"));
    TlyrMasterData *master = records(rows.ds, 60);
    master->SetHeight(40);
    master->SetKeepFooter(true);
    memo(band<TlyrFooter>("Footer1", 110, 20), "F", "end");
    memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF",
         QStringLiteral("pg S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]"), 300, 200);
    prepare();
    judge(13);
    ASSERT_GE(pages().Count(), 3) << dump().toStdString();
    expectPageTotalsOfWhatEachPageShows();
}

// A record kept with its child, which starts a new page, fills a column
// nearly to the bottom. Where both fit a column the record moves along;
// where they do not, the child still begins its page at the top of the
// first column: the record is not moved to a page where its child would
// only stand in the next column.
TEST_F(NewPageBandsTest, AChildStartingANewPageBelowAKeptRecordThatFillsAColumnBeginsItsPage)
{
    for (int columns : {2, 3}) {
        for (int lines : {10, 11}) {
            SCOPED_TRACE(testing::Message() << columns << " columns, " << lines << " lines");
            newSheet(columns);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
            tallRecordsWithNewPageChild(rows.ds, lines);
            prepare();
            judge(3);
            judge(3, QStringLiteral("c"));
            for (int i = 0; i < pages().Count(); ++i) {
                const std::vector<Printed> all = printed(i);
                for (size_t k = 0; k < all.size(); ++k) {
                    const Printed &c = all[k];
                    if (!c.Text.startsWith(QLatin1Char('c'))) continue;
                    EXPECT_NEAR(c.Box.left(), 0, 0.01) << c.Text.toStdString() << "\n" << dump().toStdString();
                    // Only its own record is placed on the page before it.
                    const QString own = QLatin1Char('r') + c.Text.mid(1);
                    for (size_t j = 0; j < k; ++j)
                        if (all[j].Text != own && !all[j].Text.startsWith(QLatin1String("line")))
                            ADD_FAILURE() << all[j].Text.toStdString() << " on the page of " << c.Text.toStdString()
                                          << "\n" << dump().toStdString();
                }
            }
        }
    }
}

// A band that starts a new page, hidden by its own script for most records
// (shown only where the record number is a multiple of 3): only where it
// prints does it break the page. Each later page begins with it, every page
// holds a record, and in two passes the pages counted are the pages printed.
TEST_F(NewPageBandsTest, ABandHiddenByItsScriptStartsNoPage)
{
    struct Case {
        const char *Band;  // the band that starts a new page
        const char *Prefix;  // what it prints
        int Breaks;  // where it prints and is not first on its page
    };
    // Records 1-7 in groups A 1-2, B 3-4, C 5-6, D 7. The child prints under
    // records 3 and 6; the group header over B only; the group footer under
    // C only; the records 3 and 6 only, 3 at the top of the first page.
    const Case cases[] = {{"Child1", "c", 2}, {"Group", "g", 1}, {"GroupFooter1", "f", 1}, {"RecordsRows", "r", 1}};
    for (const Case &c : cases)
        for (bool twoPass : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.Band << (twoPass ? ", two passes" : ", one pass"));
            newSheet();
            page->SetPaperHeight(600 / lyrUnitsPerMM);
            report->EngineOptions()->SetDoublePass(twoPass);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                             GroupedRows::runs({{"A", 2}, {"B", 2}, {"C", 2}, {"D", 1}}));
            group(10);
            TlyrMasterData *master = records(rows.ds, 40);
            auto *child = band<TlyrChild>("Child1", 200, 20);
            memo(child, "ChildMemo", "c[Rows.\"N\"]");
            master->SetChild(child);
            memo(band<TlyrGroupFooter>("GroupFooter1", 100, 20), "GroupFooterMemo", "f[Rows.\"N\"]");
            memo(band<TlyrPageFooter>("PageFooter1", 300, 20), "PageFooterMemo", "pf of [TotalPages] p[Page#]");
            auto *breaking = qobject_cast<TlyrBand *>(report->FindObject(QString::fromLatin1(c.Band)));
            ASSERT_NE(breaking, nullptr);
            breaking->SetStartNewPage(true);
            breaking->SetOnBeforePrint(QStringLiteral("ShowSome"));
            report->SetScriptText({"procedure ShowSome(Sender: TObject);", "begin",
                                   QStringLiteral("  %1.Visible := StrToInt(<Rows.\"N\">) mod 3 = 0;").arg(c.Band), "end;",
                                   "begin", "end."});
            prepare();
            const QString prefix = QString::fromLatin1(c.Prefix);
            if (prefix == QLatin1String("r")) {
                QStringList shown;
                for (int i = 0; i < pages().Count(); ++i)
                    for (const Printed &p : printed(i))
                        if (p.Text.startsWith(QLatin1Char('r'))) shown << p.Text;
                EXPECT_EQ(shown, QStringList({"r3", "r6"})) << dump().toStdString();
            } else {
                judge(7);
            }
            ASSERT_EQ(pages().Count(), 1 + c.Breaks) << dump().toStdString();
            for (int i = 0; i < pages().Count(); ++i) {
                const std::vector<Printed> all = printed(i);
                EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const Printed &p) { return p.Text.startsWith(QLatin1Char('r')); }))
                        << "page " << i + 1 << " holds no record\n" << dump().toStdString();
                if (i > 0) {
                    ASSERT_FALSE(all.empty());
                    EXPECT_TRUE(all.front().Text.startsWith(prefix) && all.front().Box.top() < 0.01)
                            << "page " << i + 1 << " begins with " << all.front().Text.toStdString() << "\n"
                            << dump().toStdString();
                }
                EXPECT_TRUE(texts(i).contains(QStringLiteral("pf of %1 p%2").arg(twoPass ? pages().Count() : 0).arg(i + 1)))
                        << "page " << i + 1 << "\n" << dump().toStdString();
            }
        }
}

// Records three to a row, each kept with a child that starts a new page,
// shown only under the fifth (the second of its row): the record moves with
// its child to the next page, keeping its place in the row, and the child
// stands under it.
TEST_F(NewPageBandsTest, AChildBreakingThePageUnderARecordBesideOthersStaysUnderIt)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 6}}));
    TlyrMasterData *master = records(rows.ds, 40);
    master->SetColumns(3);
    master->SetColumnWidth(150);
    master->Objects().first()->SetWidth(150);
    master->SetKeepChild(true);
    auto *child = band<TlyrChild>("Child1", 200, 20);
    memo(child, "ChildMemo", "c[Rows.\"N\"]", 0, 150);
    child->SetStartNewPage(true);
    child->SetOnBeforePrint(QStringLiteral("ShowFifth"));
    master->SetChild(child);
    report->SetScriptText({"procedure ShowFifth(Sender: TObject);", "begin", "  Child1.Visible := <Rows.\"N\"> = '5';", "end;",
                           "begin", "end."});
    prepare();
    judge(6);
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    QRectF record, under;
    for (const Printed &p : printed(1)) {
        if (p.Text == QLatin1String("r5")) record = p.Box;
        if (p.Text == QLatin1String("c5")) under = p.Box;
    }
    EXPECT_GT(record.left(), 0) << dump().toStdString();
    EXPECT_NEAR(record.top(), 0, 0.01) << dump().toStdString();
    EXPECT_NEAR(under.left(), record.left(), 0.01) << dump().toStdString();
    EXPECT_NEAR(under.top(), record.bottom(), 0.01) << dump().toStdString();
}

// Groups of two kept together, the first record of each hidden by its
// script, a footer after every record (hidden or not) and a child that
// starts a new page: the child breaks the page and its group's block (the
// header, the hidden record's footer, the record) goes along and stands
// above it at the top of the new page; nothing of the block stays behind.
TEST_F(NewPageBandsTest, AChildStartingANewPageTakesItsKeptGroupWithAHiddenRecordsFooterAlong)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}, {"B", 2}, {"C", 2}}));
    group(10)->KeepTogether = true;
    TlyrMasterData *master = records(rows.ds, 40);
    master->SetFooterAfterEach(true);
    master->SetOnBeforePrint(QStringLiteral("HideFirst"));
    auto *child = band<TlyrChild>("Child1", 80, 20);
    memo(child, "ChildMemo", "c[Rows.\"N\"]");
    child->SetStartNewPage(true);
    master->SetChild(child);
    memo(band<TlyrFooter>("Footer1", 120, 20), "FooterMemo", "f[Rows.\"N\"]");
    report->SetScriptText({"procedure HideFirst(Sender: TObject);", "begin",
                           "  RecordsRows.Visible := StrToInt(<Rows.\"N\">) mod 2 = 0;", "end;", "begin", "end."});
    prepare();
    judge(6, QStringLiteral("f"));
    QStringList shown;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(QLatin1Char('r')) || p.Text.startsWith(QLatin1Char('c'))) shown << p.Text;
    EXPECT_EQ(shown, QStringList({"r2", "c2", "r4", "c4", "r6", "c6"})) << dump().toStdString();
    // The first group begins the run and keeps nothing; groups B and C move
    // whole with their child's break.
    for (const auto &[g, n] : {std::pair<const char *, int>{"B", 4}, {"C", 6}}) {
        SCOPED_TRACE(testing::Message() << "group " << g);
        int at = -1;
        for (int i = 0; i < pages().Count(); ++i)
            if (texts(i).contains(QStringLiteral("c%1").arg(n))) at = i;
        ASSERT_GE(at, 1) << dump().toStdString();
        QStringList top;
        for (const Printed &p : printed(at)) {
            top << p.Text;
            if (top.size() == 4) break;
        }
        EXPECT_EQ(top, QStringList({QStringLiteral("g%1").arg(QLatin1String(g)), QStringLiteral("f%1").arg(n - 1),
                                    QStringLiteral("r%1").arg(n), QStringLiteral("c%1").arg(n)}))
                << dump().toStdString();
        EXPECT_NEAR(printed(at).front().Box.top(), 0, 0.01) << dump().toStdString();
        EXPECT_FALSE(texts(at - 1).contains(QStringLiteral("f%1").arg(n - 1))) << dump().toStdString();
    }
}
