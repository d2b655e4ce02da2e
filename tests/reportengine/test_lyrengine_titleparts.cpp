// A title printed before the page header that splits onto later pages,
// with a subreport beside it that runs on: every later page keeps its page
// header.

#include "breaks_fixture.h"
#include "kept_seeds.h"


namespace {

class TitlePartsTest : public BreaksTest {
protected:
    // A title before the page header whose text of the lines given splits
    // onto the next page, with a subreport beside it listing "s<N>".
    void splitTitleWithSubreport(int lines, TlyrDataSet *subRows)
    {
        sideReport(splitTitle(lines), QStringLiteral("Side"), subRows, 300, QStringLiteral("s"));
    }
    // A title before the page header "ph" whose text of the lines given
    // may split.
    TlyrReportTitle *splitTitle(int lines)
    {
        page->TitleBeforeHeader = true;
        auto *title = band<TlyrReportTitle>("Title1", 0, 40);
        QStringList text;
        for (int i = 1; i <= lines; ++i) text << QStringLiteral("line%1").arg(i);
        TlyrMemoView *m = memo(title, "T", text.join(QLatin1Char('\n')), 0, 200);
        m->SetStretchMode(smActualHeight);
        title->SetStretched(true);
        title->SetAllowSplit(true);
        memo(band<TlyrPageHeader>("PageHeader1", 60, 20), "PH", "ph", 0, 600);
        return title;
    }
};

// Generated templates (lyrprop seeds) of a split title whose side subreport
// ran on, leaving a page without its page header.
const uint64_t kSeeds[] = {91190793, 98065584, 98115523};

}  // namespace

// Whether the side subreport ends beside the title's last part or fills
// that page and goes on to a third: each page after the first begins with
// its page header, the title's last part and the subreport beside it below.
TEST_F(TitlePartsTest, ASplitTitleWithASideSubreportLeavesNoPageWithoutItsHeader)
{
    for (int subs : {3, 15}) {
        SCOPED_TRACE(testing::Message() << subs << " subreport rows");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"S", subs}}));
        splitTitleWithSubreport(14, subRows.ds);
        records(rows.ds, 120);
        prepare();
        judge(subs, QStringLiteral("s"));
        judge(3);
        ASSERT_GE(pages().Count(), subs > 10 ? 3 : 2) << dump().toStdString();
        for (int i = 1; i < pages().Count(); ++i) {
            double header = -1, top = 1e9;
            for (const Printed &p : printed(i)) {
                if (p.Text == QLatin1String("ph"))
                    header = p.Box.top();
                else
                    top = std::min(top, p.Box.top());
            }
            EXPECT_NEAR(header, 0, 0.01) << "page " << i + 1 << "\n" << dump().toStdString();
            EXPECT_GE(top, 20 - 0.01) << "page " << i + 1 << "\n" << dump().toStdString();
        }
    }
}

// A title before the page header too long for the next page with its
// header: from there on every page begins with the page header, the last
// one too; nothing of the title goes below it or is lost.
TEST_F(TitlePartsTest, ATitleSplitOverThreePagesOrMoreLeavesEachLaterPageItsHeaderOnTop)
{
    for (int lines : {30, 60}) {
        SCOPED_TRACE(testing::Message() << lines << " lines");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        splitTitle(lines);
        records(rows.ds, 120);
        prepare();
        judge(3);
        ASSERT_GE(pages().Count(), 3) << dump().toStdString();
        int printedLines = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1String("line"))) printedLines += int(p.Text.split(QLatin1Char('\n')).size());
        EXPECT_EQ(printedLines, lines) << dump().toStdString();
        // The title's second page begins with the page header when its rest
        // does not fit that page with it; from then on every page does.
        for (int i = 1; i < pages().Count(); ++i) {
            if (i == 1 && pages().Count() == 2) continue;
            double header = -1;
            for (const Printed &p : printed(i))
                if (p.Text == QLatin1String("ph")) header = p.Box.top();
            EXPECT_NEAR(header, 0, 0.01) << "page " << i + 1 << "\n" << dump().toStdString();
        }
    }
}

// Generated templates of a split title with a side subreport keep every
// rule.
TEST_F(TitlePartsTest, GeneratedTemplatesOfSplitTitlesWithSideSubreportsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
