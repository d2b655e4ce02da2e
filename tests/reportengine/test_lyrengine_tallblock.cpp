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
// the next and the data header repeated there when it fits below them; the
// group and the footer do not fit there together, and the footer goes on to
// a later page. A group that would not fit below those headers stays whole
// where it began, and the footer goes on below them.
TEST_F(BreaksTest, AMovedBlockGetsItsRoomBeforeTheBandThatBrokeThePage)
{
    const struct {
        const char *name;
        double above;
        int records;
        QStringList where;
    } cases[] = {
            {"the group fits below the headers", 30, 6, {"gA p2", "r6 p2", "end p3"}},
            {"the group does not fit below the headers", 5, 7, {"gA p1", "r7 p1", "end p2"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        newSheet();
        auto *ph = band<TlyrPageHeader>(QStringLiteral("Head"), 0, 20);
        ph->PrintOnFirstPage = false;
        memo(ph, QStringLiteral("HeadMemo"), QStringLiteral("head p[Page#]"));
        // A list of one short record above, after which blocks are kept.
        GroupedRows above(report.get(), &keeper, QStringLiteral("Above"), GroupedRows::runs({{"A", 1}}));
        TlyrMasterData *a = records(above.ds, 30, {}, nullptr, QStringLiteral("a"));
        a->SetHeight(c.above);
        a->Objects().first()->SetHeight(c.above);
        auto *header = band<TlyrHeader>(QStringLiteral("ListHead"), 40, 20);
        header->ReprintOnNewPage = true;
        memo(header, QStringLiteral("ListHeadMemo"), QStringLiteral("list p[Page#]"));
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", c.records}}));
        TlyrGroupHeader *g = group(60, QStringLiteral(" p[Page#]"));
        g->SetHeight(30);
        g->KeepTogether = true;
        records(rows.ds, 100, QStringLiteral(" p[Page#]"));
        auto *gf = band<TlyrGroupFooter>(QStringLiteral("GroupFoot"), 140, 20);
        memo(gf, QStringLiteral("GroupFootMemo"), QStringLiteral("end p[Page#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(c.records);
        expectOwnPageNumbers();
        // The group stays whole on one page, its footer after it.
        QStringList where;
        for (int i = 0; i < pages().Count(); ++i)
            for (const QString &t : texts(i))
                if (t.startsWith(QLatin1String("gA")) || t.startsWith(QStringLiteral("r%1").arg(c.records)) ||
                    t.startsWith(QLatin1String("end")))
                    where << t;
        EXPECT_EQ(where, c.where) << dump().toStdString();
        // Every page after the first shows the data header again.
        for (int i = 1; i < pages().Count(); ++i)
            EXPECT_TRUE(texts(i).contains(QStringLiteral("list p%1").arg(i + 1))) << i;
    }
}

TEST_F(BreaksTest, GeneratedTemplatesOfKeptBlocksTallerThanTheNextPagesColumnsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
