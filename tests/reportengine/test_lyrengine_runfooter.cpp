// A data header repeated on new pages stops with its run of records: the
// pages that the subreport of the run's footer runs on to print no header.

#include "breaks_fixture.h"
#include "kept_seeds.h"

namespace {

class RunFooterTest : public BreaksTest {
protected:
};

// Generated templates (lyrprop seeds) whose data header was repeated after
// its footer.
const uint64_t kSeeds[] = {99341941, 99351006, 99351007, 99359692};

}  // namespace

TEST_F(RunFooterTest, TheSubreportOfTheLastFooterRunsOnWithoutTheDataHeader)
{
    for (int subRows : {3, 12, 25}) {
        SCOPED_TRACE(testing::Message() << subRows << " subreport rows");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 4}}));
        GroupedRows sub(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"S", subRows}}));
        auto *header = band<TlyrHeader>("Header1", 10, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "hdr");
        records(rows.ds, 40);
        auto *footer = band<TlyrFooter>("Footer1", 70, 20);
        memo(footer, "F", "ftr");
        sideReport(footer, QStringLiteral("Sub1"), sub.ds, 300, QStringLiteral("s"));
        prepare();
        judge(4);
        judge(subRows, QStringLiteral("s"));
        // The header prints on the first page, above the records, and on no
        // page after the footer's.
        int footerPage = -1;
        for (int i = 0; i < pages().Count(); ++i)
            if (texts(i).contains(QStringLiteral("ftr"))) footerPage = i;
        ASSERT_GE(footerPage, 0) << dump().toStdString();
        EXPECT_TRUE(texts(0).contains(QStringLiteral("hdr")));
        for (int i = footerPage + 1; i < pages().Count(); ++i)
            EXPECT_FALSE(texts(i).contains(QStringLiteral("hdr"))) << "page " << i + 1 << "\n" << dump().toStdString();
        EXPECT_EQ(pages().Count(), subRows > 20 ? 3 : subRows > 5 ? 2 : 1) << dump().toStdString();
    }
}

TEST_F(RunFooterTest, GeneratedTemplatesOfHeadersAfterTheirFooterKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
