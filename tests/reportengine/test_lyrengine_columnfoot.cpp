// The bands at a run's end and at a column's foot: a footer printed after
// each record closes the run after the last one, and the bands placed last
// in a column leave the column footer its place.

#include "breaks_fixture.h"
#include "kept_seeds.h"

namespace {

class ColumnFootTest : public BreaksTest {
protected:
    void prepare() { ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString(); }
};

// Generated templates whose run's last bands printed where they must not.
const uint64_t kSeeds[] = {100030976, 100064293, 100152854};

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

TEST_F(ColumnFootTest, GeneratedTemplatesOfRunEndsAndColumnFootsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
