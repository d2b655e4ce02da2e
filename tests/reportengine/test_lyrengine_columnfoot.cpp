// The bands at a run's end and at a column's foot: a footer printed after
// each record closes the run after the last one, and the bands placed last
// in a column leave the column footer its place.

#include "breaks_fixture.h"
#include "kept_seeds.h"

namespace {

class ColumnFootTest : public BreaksTest {
protected:
};

// Generated templates whose run's last bands printed where they must not.
const uint64_t kSeeds[] = {96242768, 100030976, 100064293, 100152854};

}  // namespace

TEST_F(ColumnFootTest, AFooterAfterEachRecordEndsTheHeaderRepeatsAfterTheLastRecord)
{
    // Also under a group without a footer of its own.
    for (bool grouped : {false, true}) {
        SCOPED_TRACE(grouped ? "grouped" : "plain");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
        GroupedRows sub(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"S", 12}}));
        auto *header = band<TlyrHeader>("Header1", 10, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "hdr");
        if (grouped) group(30);
        records(rows.ds, 60)->SetFooterAfterEach(true);
        auto *footer = band<TlyrFooter>("Footer1", 90, 20);
        memo(footer, "F", "ftr");
        sideReport(footer, QStringLiteral("Sub1"), sub.ds, 300, QStringLiteral("s"));
        prepare();
        judge(2);
        // The first record's footer runs its subreport onto the second page,
        // where the run goes on: the header repeats there. The last footer's
        // subreport runs on to a third page, which has no header.
        ASSERT_EQ(pages().Count(), 3) << dump().toStdString();
        EXPECT_TRUE(texts(1).contains(QStringLiteral("hdr"))) << dump().toStdString();
        EXPECT_TRUE(texts(1).contains(QStringLiteral("ftr"))) << dump().toStdString();
        EXPECT_FALSE(texts(2).contains(QStringLiteral("hdr"))) << dump().toStdString();
    }
}

// Below footers printed after each record, the group footer closes the run:
// the pages its subreport runs on to have no data header.
TEST_F(ColumnFootTest, TheGroupFooterBelowFootersAfterEachRecordEndsTheHeaderRepeats)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    GroupedRows sub(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"S", 14}}));
    auto *header = band<TlyrHeader>("Header1", 10, 20);
    header->ReprintOnNewPage = true;
    memo(header, "H", "hdr");
    group(30);
    records(rows.ds, 60)->SetFooterAfterEach(true);
    auto *footer = band<TlyrFooter>("Footer1", 90, 20);
    memo(footer, "F", "ftr");
    auto *gf = band<TlyrGroupFooter>("GroupFooter1", 120, 20);
    memo(gf, "GF", "gftr");
    sideReport(gf, QStringLiteral("Sub1"), sub.ds, 300, QStringLiteral("s"));
    prepare();
    judge(2);
    judge(14, QStringLiteral("s"));
    int footerPage = -1;
    for (int i = 0; i < pages().Count(); ++i)
        if (texts(i).contains(QStringLiteral("gftr"))) footerPage = i;
    ASSERT_GE(footerPage, 0) << dump().toStdString();
    ASSERT_LT(footerPage + 1, pages().Count()) << dump().toStdString();
    for (int i = footerPage + 1; i < pages().Count(); ++i)
        EXPECT_FALSE(texts(i).contains(QStringLiteral("hdr"))) << "page " << i + 1 << "\n" << dump().toStdString();
}

// A kept group that split over two columns moves to a new page ahead of a
// record taller than a column. Its part pasted in the second column goes
// below the repeated group header there, which leaves it room above the
// column footer, though the tall record does not fit any column.
TEST_F(ColumnFootTest, AKeptBlockPastedBelowARepeatedHeaderKeepsAboveTheColumnFooter)
{
    newSheet(2);
    GroupedRows lead(report.get(), &keeper, QStringLiteral("Lead"), GroupedRows::runs({{"L", 1}}));
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"B", 1}}));
    auto *first = records(lead.ds, 10, {}, nullptr, QStringLiteral("l"));
    first->SetHeight(100);
    auto *gh1 = band<TlyrGroupHeader>("GroupHeader1", 200, 170);
    gh1->Condition = QStringLiteral("Rows.\"G\"");
    gh1->KeepTogether = true;
    gh1->ReprintOnNewPage = true;
    gh1->SetAllowSplit(true);
    for (int i = 0; i < 17; ++i)
        memo(gh1, QStringLiteral("Part%1").arg(i), QStringLiteral("p%1").arg(i))->SetBounds(0, i * 10, 200, 10);
    auto *gh2 = band<TlyrGroupHeader>("GroupHeader2", 400, 20);
    gh2->Condition = QStringLiteral("Rows.\"N\"");
    memo(gh2, "G2", "gh2");
    // The record runs past the column's bottom; its text stays above the
    // footer.
    auto *tall = records(rows.ds, 500);
    tall->SetHeight(400);
    tall->Objects().first()->SetHeight(10);
    memo(band<TlyrColumnFooter>("ColumnFooter1", 1000, 20), "CF", "cf");
    prepare();
    judge(1, QStringLiteral("l"));
    judge(1);
    // Each column's footer stands below all else in its column.
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &foot : printed(i)) {
            if (foot.Text != QLatin1String("cf")) continue;
            for (const Printed &p : printed(i))
                if (p.Text != foot.Text && std::abs(p.Box.left() - foot.Box.left()) < 1 && p.Box.top() < foot.Box.top())
                    EXPECT_LE(p.Box.bottom(), foot.Box.top() + 0.01)
                            << p.Text.toStdString() << " page " << i + 1 << "\n" << dump().toStdString();
        }
}

TEST_F(ColumnFootTest, GeneratedTemplatesOfRunEndsAndColumnFootsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}

// Kept groups that move to the next page, with a footer kept with the last
// record or a child kept with each record: every column's and page's
// totals are those of the records printed there.
TEST_F(ColumnFootTest, TotalsOfColumnsAndPagesCountTheRecordsThatMovedWhereTheyPrint)
{
    for (bool keepChild : {false, true}) {
        SCOPED_TRACE(keepChild ? "kept child" : "kept footer");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                         GroupedRows::runs({{"A", 4}, {"B", 2}, {"C", 6}, {"D", 3}, {"E", 5}, {"F", 4}, {"G", 2}}));
        TlyrGroupHeader *g = group(10);
        g->KeepTogether = true;
        g->ReprintOnNewPage = true;
        TlyrMasterData *b = records(rows.ds, 40);
        if (keepChild) {
            b->SetKeepChild(true);
            auto *child = band<TlyrChild>("Child1", 65, 10);
            b->SetChild(child);
        } else {
            b->SetKeepFooter(true);
            memo(band<TlyrGroupFooter>("GroupFooter1", 70, 20), "GF", "gf");
        }
        const QString totals = QStringLiteral("S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 120, 20), "CF", QStringLiteral("col") + totals);
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF", QStringLiteral("pg") + totals, 300, 200);
        prepare();
        judge(26);
        ASSERT_GE(pages().Count(), 2);
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            int sum[3] = {}, count[3] = {};
            QString shown[3];
            for (const Printed &p : printed(i)) {
                const int column = p.Box.left() < 250 ? 1 : 2;
                if (p.Text.startsWith(QLatin1Char('r'))) {
                    const int n = p.Text.mid(1).toInt();
                    sum[column] += n;
                    count[column] += 1;
                    sum[0] += n;
                    count[0] += 1;
                } else if (p.Text.startsWith(QLatin1String("col"))) {
                    shown[column] = p.Text.mid(3);
                } else if (p.Text.startsWith(QLatin1String("pg"))) {
                    shown[0] = p.Text.mid(2);
                }
            }
            for (int c : {0, 1, 2})
                if (count[c] > 0 || !shown[c].isEmpty())
                    EXPECT_EQ(shown[c], QStringLiteral("S%1 C%2").arg(sum[c]).arg(count[c]))
                            << (c ? "column " : "page ") << c << "\n" << dump().toStdString();
        }
    }
}
