// A header repeated at the top of a column where it does not fit at all is
// left out: it never runs off the page.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

namespace {

// Generated templates that once broke a rule so.
const uint64_t kSeeds[] = {98105666};

}  // namespace

// An outer group header that may split fills most of a column; the inner
// one does not fit below it and moves on; the record below them is taller
// than a column and moves on again, to a column where the outer header is
// repeated whole.
TEST_F(BreaksTest, ARepeatedHeaderThatDoesNotFitIsLeftOut)
{
    newSheet(3);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
    TlyrGroupHeader *outer = group(30);
    outer->ReprintOnNewPage = true;
    outer->SetAllowSplit(true);
    outer->SetStretched(true);
    outer->SetHeight(40);
    QStringList words;
    for (int i = 0; i < 11; ++i) words << QStringLiteral("w%1").arg(i);
    TlyrMemoView *text = memo(outer, QStringLiteral("OuterText"), words.join(QLatin1Char(' ')), 0, 40);
    text->SetTop(20);
    text->SetStretchMode(smActualHeight);
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

TEST_F(BreaksTest, GeneratedTemplatesOfHeadersRepeatedWithoutRoomKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
