// Headers repeated at the top of a page or column and the room they leave:
// a record that starts a new page and grows past its design height gets the
// room it grows to, and a header that does not fit at all is left out. None
// runs off the page.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

namespace {

// Generated templates that once broke a rule so.
const uint64_t kSeeds[] = {96187603, 96217685, 96222675, 96242581, 98105666, 98131918, 98141019, 98268542, 99119662};

class RepeatRoomTest : public BreaksTest {
protected:
    // The group header over the rows, repeated on new pages and columns,
    // that may split: below its line a text of n words in a narrow column.
    TlyrGroupHeader *splittingGroup(int n)
    {
        TlyrGroupHeader *g = group(30);
        g->ReprintOnNewPage = true;
        g->SetAllowSplit(true);
        g->SetStretched(true);
        g->SetHeight(40);
        QStringList words;
        for (int i = 0; i < n; ++i) words << QStringLiteral("w%1").arg(i);
        TlyrMemoView *text = memo(g, QStringLiteral("GroupText"), words.join(QLatin1Char(' ')), 0, 60);
        text->SetTop(20);
        text->SetStretchMode(smActualHeight);
        return g;
    }
};

}  // namespace

// The group header is taller than the page; each record below the first
// starts a new page and grows to four lines.
TEST_F(RepeatRoomTest, ARecordStartingANewPageGetsTheRoomItGrowsToBelowACutHeader)
{
    for (int columns : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        splittingGroup(60);
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

// The outer group header that may split fills most of a column; the inner
// one does not fit below it and moves on; the record below them is taller
// than a column and moves on again, to a column where the outer header is
// repeated whole.
TEST_F(RepeatRoomTest, ARepeatedHeaderThatDoesNotFitIsLeftOut)
{
    newSheet(3);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
    splittingGroup(22);
    auto *inner = band<TlyrGroupHeader>(QStringLiteral("Inner"), 80, 20);
    inner->Condition = QStringLiteral("Rows.\"N\"");
    inner->ReprintOnNewPage = true;
    memo(inner, QStringLiteral("InnerMemo"), QStringLiteral("inner p[Page#]"));
    TlyrMasterData *r = records(rows.ds, 120);
    r->SetHeight(250);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1) << dump().toStdString();
    // Every header lies inside the page; the record runs past its bottom,
    // once, as a band taller than a column does.
    int records = 0;
    for (const Printed &p : printed(0)) {
        if (p.Text.startsWith(QLatin1String("r1"))) {
            ++records;
            continue;
        }
        EXPECT_LE(p.Box.bottom(), 200.01) << p.Text.toStdString() << "\n" << dump().toStdString();
    }
    EXPECT_EQ(records, 1);
}

// A group header repeated in the next column above the rest of its record's
// child heads that record's group, also when the second report page goes on
// below the child's first part in the first column.
TEST_F(RepeatRoomTest, AHeaderRepeatedAboveTheRestOfAChildHeadsItsRecordsGroup)
{
    const char *line =
            "paper 145x118 margin 0 pagecols 2 records 1 mastercols 1 height 16 title pagefooter child tsplit csplit "
            "pfnotfirst page2 onprevious swords 73 records2 1 overlay 0 sub 0/0 detail 0 words 0 groups "
            "[{size 1 reprint}]";
    const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
    for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
        ADD_FAILURE() << f.Kind.toStdString() << ": " << f.Text.toStdString();
}

TEST_F(RepeatRoomTest, GeneratedTemplatesOfHeadersRepeatedAboveGrownOrTallBandsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
