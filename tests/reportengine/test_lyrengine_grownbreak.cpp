// A record that starts a new page and grows past its design height: the
// headers that page repeats leave it the room it grows to, so that it stays
// on the page.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

namespace {

// Generated templates that once broke a rule so.
const uint64_t kSeeds[] = {96222675, 98131918, 98268542};

}  // namespace

// A group header that may split, taller than the page, is repeated above
// each record that starts a new page; the record grows to four lines.
TEST_F(BreaksTest, ARecordStartingANewPageGetsTheRoomItGrowsToBelowACutHeader)
{
    for (int columns : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        TlyrGroupHeader *g = group(30);
        g->ReprintOnNewPage = true;
        g->SetAllowSplit(true);
        g->SetStretched(true);
        g->SetHeight(40);
        QStringList words;
        for (int i = 0; i < 60; ++i) words << QStringLiteral("w%1").arg(i);
        TlyrMemoView *long_ = memo(g, QStringLiteral("GroupText"), words.join(QLatin1Char(' ')), 0, 60);
        long_->SetTop(20);
        long_->SetStretchMode(smActualHeight);
        TlyrMasterData *r = records(rows.ds, 80, QStringLiteral(" p[Page#]"));
        r->SetStartNewPage(true);
        r->SetStretched(true);
        TlyrMemoView *grows = memo(r, QStringLiteral("Grows"), QStringLiteral("one two three four"), 0, 40);
        grows->SetTop(20);
        grows->SetStretchMode(smActualHeight);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(3);
        expectOwnPageNumbers();
        // Each record below the first begins a page of its own.
        for (int n : {2, 3}) {
            bool found = false;
            for (int i = 0; i < pages().Count() && !found; ++i)
                found = texts(i).contains(QStringLiteral("r%1 p%2").arg(n).arg(i + 1));
            EXPECT_TRUE(found) << n;
        }
        if (HasFailure()) {
            ADD_FAILURE() << dump().toStdString();
            return;
        }
    }
}

TEST_F(BreaksTest, GeneratedTemplatesOfGrownRecordsStartingPagesKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
