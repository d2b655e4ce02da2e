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
const uint64_t kSeeds[] = {100064293, 100152854};

}  // namespace

TEST_F(ColumnFootTest, AFooterAfterEachRecordEndsTheHeaderRepeatsAfterTheLastRecord)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    GroupedRows sub(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"S", 12}}));
    auto *header = band<TlyrHeader>("Header1", 10, 20);
    header->ReprintOnNewPage = true;
    memo(header, "H", "hdr");
    records(rows.ds, 40)->SetFooterAfterEach(true);
    auto *footer = band<TlyrFooter>("Footer1", 70, 20);
    memo(footer, "F", "ftr");
    sideReport(footer, QStringLiteral("Sub1"), sub.ds, 300, QStringLiteral("s"));
    prepare();
    judge(2);
    // The first record's footer runs its subreport onto the second page,
    // which the run still goes on on: the header repeats there. The last
    // footer's subreport runs on to a third page, which has no header.
    ASSERT_EQ(pages().Count(), 3) << dump().toStdString();
    EXPECT_TRUE(texts(1).contains(QStringLiteral("hdr"))) << dump().toStdString();
    int lastFooter = -1;
    for (int i = 0; i < pages().Count(); ++i)
        if (texts(i).contains(QStringLiteral("ftr"))) lastFooter = i;
    ASSERT_GE(lastFooter, 0);
    for (int i = lastFooter + 1; i < pages().Count(); ++i)
        EXPECT_FALSE(texts(i).contains(QStringLiteral("hdr"))) << "page " << i + 1 << "\n" << dump().toStdString();
}

TEST_F(ColumnFootTest, GeneratedTemplatesOfRunEndsAndColumnFootsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
