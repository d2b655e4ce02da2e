// Side-by-side subreports of a record whose kept block moves to a new page
// while the first of them runs: the later ones follow their record there.

#include "breaks_fixture.h"
#include "kept_seeds.h"

#include "report/lyrband.h"

#include <iostream>

class SideMovesTest : public BreaksTest {
protected:
    // A subreport object of `host` at left, just below the host's 20 units,
    // over the rows of `ds` printed as "<prefix><N> m<record>".
    void sideSub(TlyrBand *host, const QString &name, double left, TlyrDataSet *ds, const QString &prefix)
    {
        TlyrSubreport *sub = subreportObject(host, name, left, 20, 100, 10);
        auto *subPage = static_cast<TlyrReportPage *>(sub->SubPage());
        TlyrMasterData *rows = records(ds, 0, QStringLiteral(" m[Rows.\"N\"]"), subPage, prefix);
        for (TlyrComponent *c : rows->Objects())
            if (auto *m = qobject_cast<TlyrMemoView *>(c)) m->SetWidth(100);
    }
    // The page and top of the memo whose text is exactly `text` (-1: none
    // or more than one).
    std::pair<int, double> where(const QString &text)
    {
        std::pair<int, double> at{-1, 0};
        int found = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text == text) {
                    at = {i, p.Box.top()};
                    ++found;
                }
        return found == 1 ? at : std::pair<int, double>{-1, 0};
    }
};

// A kept group's header splits at the bottom of the first page column; its
// last record's first subreport breaks the second column, so the block
// goes to the next page part by part. The second subreport prints beside
// the first one there, not at the record's old place.
TEST_F(SideMovesTest, TheSecondSubreportFollowsARecordPastedOverColumns)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}, {"B", 3}}));
    GroupedRows left(report.get(), &keeper, QStringLiteral("L"), GroupedRows::runs({{"A", 2}}));
    GroupedRows right(report.get(), &keeper, QStringLiteral("R"), GroupedRows::runs({{"A", 2}}));
    TlyrGroupHeader *g = group(0);
    g->KeepTogether = true;
    g->SetAllowSplit(true);
    g->SetStretched(true);
    g->SetHeight(80);
    memo(g, QStringLiteral("GroupMore"), QStringLiteral("gx[Rows.\"G\"]"))->SetBounds(0, 20, 200, 20);
    memo(g, QStringLiteral("GroupLast"), QStringLiteral("gy[Rows.\"G\"]"))->SetBounds(0, 40, 200, 40);
    TlyrMasterData *master = records(rows.ds, 100);
    memo(band<TlyrGroupFooter>("GroupFooter1", 150, 20), "GF", "gf");
    sideSub(master, QStringLiteral("Left"), 0, left.ds, QStringLiteral("a"));
    sideSub(master, QStringLiteral("Right"), 150, right.ds, QStringLiteral("b"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    judge(4);
    for (int m = 1; m <= 4; ++m)
        for (int n = 1; n <= 2; ++n) {
            SCOPED_TRACE(testing::Message() << "record " << m << " row " << n);
            const auto a = where(QStringLiteral("a%1 m%2").arg(n).arg(m));
            const auto b = where(QStringLiteral("b%1 m%2").arg(n).arg(m));
            ASSERT_GE(a.first, 0);
            EXPECT_EQ(a.first, b.first);
            EXPECT_NEAR(a.second, b.second, 0.01);
        }
    // The group moved: its record went along.
    EXPECT_EQ(where(QStringLiteral("r4")).first, 1);
    if (HasFailure()) std::cerr << dump().toStdString();
}

// Generated templates where a kept block holding such a record was pasted
// over a new page's columns.
TEST_F(SideMovesTest, GeneratedTemplatesKeepEveryRule)
{
    const uint64_t kSeeds[] = {96031922, 96129138, 96281338, 96281339, 98026678, 98070756, 98185081};
    expectSeedsKeepEveryRule(kSeeds);
}
