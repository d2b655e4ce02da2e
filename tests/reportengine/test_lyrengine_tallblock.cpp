// A kept block that cannot fit the columns of the next page, whose page
// header leaves less room than the first page had, stays where it began:
// moved there, its parts would run off the page.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

#include "report/lyrband.h"

namespace {

// Generated templates that once broke a rule so.
const uint64_t kSeeds[] = {95010700, 95011252, 96070582, 96086622, 96146695, 96218457, 96218458, 96234840,
                           96268454, 96279276, 98099327, 98120814, 98186487, 98229611, 98291834, 98291835};

}  // namespace

// A record kept with its child, which splits over all three columns of the
// first page; or kept with two children of which the second does not fit
// below the first. The page header prints from the second page on.
TEST_F(BreaksTest, AKeptBlockTallerThanTheNextPagesColumnsStaysWhereItBegan)
{
    for (bool split : {false, true}) {
        SCOPED_TRACE(split ? "split child" : "two children");
        newSheet(split ? 3 : 1);
        auto *ph = band<TlyrPageHeader>(QStringLiteral("Head"), 0, 20);
        ph->PrintOnFirstPage = false;
        memo(ph, QStringLiteral("HeadMemo"), QStringLiteral("head p[Page#]"));
        // A list of one short record above, after which blocks are kept.
        GroupedRows above(report.get(), &keeper, QStringLiteral("Above"), GroupedRows::runs({{"A", 1}}));
        TlyrMasterData *a = records(above.ds, 30, {}, nullptr, QStringLiteral("a"));
        a->SetHeight(split ? 60 : 5);
        a->Objects().first()->SetHeight(a->Height());
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
        TlyrMasterData *r = records(rows.ds, 100, QStringLiteral(" p[Page#]"));
        r->SetKeepChild(true);
        auto *child = band<TlyrChild>(QStringLiteral("Child"), 140, split ? 20 : 170);
        r->SetChild(child);
        if (split) {
            child->SetAllowSplit(true);
            child->SetStretched(true);
            QStringList words;
            for (int i = 0; i < 90; ++i) words << QStringLiteral("w%1").arg(i);
            memo(child, QStringLiteral("ChildText"), words.join(QLatin1Char(' ')), 0, 40)
                    ->SetStretchMode(smActualHeight);
        } else {
            memo(child, QStringLiteral("ChildText"), QStringLiteral("first child p[Page#]"));
            auto *second = band<TlyrChild>(QStringLiteral("Second"), 400, 20);
            child->SetChild(second);
            memo(second, QStringLiteral("SecondText"), QStringLiteral("second child p[Page#]"));
        }
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(2);
        expectOwnPageNumbers();
        if (HasFailure()) {
            ADD_FAILURE() << dump().toStdString();
            return;
        }
    }
}

// A kept group whose footer breaks the page moves below the page header of
// the next; the group and the footer do not fit there together. The group
// fits below the data header repeated there, and the footer goes on to a
// later page.
TEST_F(BreaksTest, AMovedBlockGetsItsRoomBeforeTheBandThatBrokeThePage)
{
    newSheet();
    auto *ph = band<TlyrPageHeader>(QStringLiteral("Head"), 0, 20);
    ph->PrintOnFirstPage = false;
    memo(ph, QStringLiteral("HeadMemo"), QStringLiteral("head p[Page#]"));
    // A list of one short record above, after which blocks are kept.
    GroupedRows above(report.get(), &keeper, QStringLiteral("Above"), GroupedRows::runs({{"A", 1}}));
    TlyrMasterData *a = records(above.ds, 30, {}, nullptr, QStringLiteral("a"));
    a->SetHeight(5);
    a->Objects().first()->SetHeight(5);
    auto *header = band<TlyrHeader>(QStringLiteral("ListHead"), 40, 20);
    header->ReprintOnNewPage = true;
    memo(header, QStringLiteral("ListHeadMemo"), QStringLiteral("list p[Page#]"));
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 6}}));
    TlyrGroupHeader *g = group(60, QStringLiteral(" p[Page#]"));
    g->SetHeight(40);
    g->KeepTogether = true;
    records(rows.ds, 100, QStringLiteral(" p[Page#]"));
    auto *gf = band<TlyrGroupFooter>(QStringLiteral("GroupFoot"), 140, 20);
    memo(gf, QStringLiteral("GroupFootMemo"), QStringLiteral("end p[Page#]"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    judge(6);
    expectOwnPageNumbers();
    // The group stays whole on one page, below the data header, its footer
    // after it.
    QStringList where;
    for (int i = 0; i < pages().Count(); ++i)
        for (const QString &t : texts(i))
            if (t.startsWith(QLatin1String("gA")) || t.startsWith(QLatin1String("r6")) || t.startsWith(QLatin1String("end")) ||
                t.startsWith(QLatin1String("list")))
                where << t;
    EXPECT_EQ(where, (QStringList{"list p1", "list p2", "gA p2", "r6 p2", "list p3", "end p3"})) << dump().toStdString();
}

TEST_F(BreaksTest, GeneratedTemplatesOfKeptBlocksTallerThanTheNextPagesColumnsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
