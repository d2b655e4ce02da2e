// Page headers and footers print on the pages their flags name, also when
// subreports side by side each run on to the next page.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

namespace {

class PageBandsTest : public BreaksTest {
protected:
    // On which pages (from 1) a memo with the text given is printed.
    QList<int> pagesWith(const QString &text)
    {
        QList<int> out;
        for (int i = 0; i < pages().Count(); ++i)
            if (texts(i).contains(text)) out << i + 1;
        return out;
    }
};

// Generated templates (lyrprop seeds) whose page header or footer was
// printed against its flags or place.
const uint64_t kSeeds[] = {
        91006291, 91014792, 91018128, 91026080, 91026081, 91030694, 91030867, 91030868, 91031233, 91039279, 91045980,
        91049861, 91060211, 91060212, 91062529, 91062665, 91065211, 91065212, 91068901, 91068902, 91072328, 91073725,
        91076693, 91096368, 91097102, 91098732, 91098733, 91102034, 91109684, 91109685, 91114983, 91120970, 91131265,
        91132807, 91132808, 91133520, 91150384, 91150849, 91150851, 91150852, 91155881, 91157605, 91159785, 91159786,
        91163741, 91178823, 91180085, 91181990, 91186727, 91188532, 91188533, 91188868, 91192546, 91194802, 91197751,
        91197752, 91210936, 91210937, 91215500, 91215890, 91225059, 91226879, 91231512, 91232968, 91243454, 91243600,
        91246989, 91247140, 91247141, 91253265, 91253266, 91255856, 91256695, 91266377, 91277738, 91277739, 91279555,
        91293702, 91293703};

}  // namespace

// Two subreports side by side that each run on to the next page end the
// first page twice: its footer stays off it all the same, as the footer's
// flags say, and the last page is left without one when so flagged.
TEST_F(PageBandsTest, AFooterKeptOffTheFirstOrLastPageStaysOffWhenSideBySideSubreportsEndIt)
{
    for (bool first : {false, true})
        for (bool last : {false, true}) {
            SCOPED_TRACE(testing::Message() << "on first " << first << ", on last " << last);
            newSheet();
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
            GroupedRows left(report.get(), &keeper, QStringLiteral("Left"), GroupedRows::runs({{"A", 6}}));
            GroupedRows right(report.get(), &keeper, QStringLiteral("Right"), GroupedRows::runs({{"A", 6}}));
            TlyrMasterData *master = records(rows.ds, 30);
            sideReport(master, QStringLiteral("Sub1"), left.ds, 250, QStringLiteral("a"));
            sideReport(master, QStringLiteral("Sub2"), right.ds, 400, QStringLiteral("b"));
            auto *pf = band<TlyrPageFooter>("PageFooter1", 500, 20);
            memo(pf, "PF", "pf");
            pf->PrintOnFirstPage = first;
            pf->PrintOnLastPage = last;
            prepare();
            ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
            QList<int> want;
            if (first) want << 1;
            if (last) want << 2;
            EXPECT_EQ(pagesWith(QStringLiteral("pf")), want) << dump().toStdString();
            judge(2);
        }
}

// A title printed before the page header stands above it on the first page
// only: the next page, onto which the title runs on, begins with the page
// and column headers, the title's last part below them, then the records.
TEST_F(PageBandsTest, APageThatATitleRunsOnToBeginsWithItsHeaders)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
    page->TitleBeforeHeader = true;
    auto *title = band<TlyrReportTitle>("Title1", 0, 40);
    QStringList lines;
    for (int i = 1; i <= 16; ++i) lines << QStringLiteral("line%1").arg(i);
    TlyrMemoView *text = memo(title, "T", lines.join(QLatin1Char('\n')));
    text->SetStretchMode(smActualHeight);
    title->SetStretched(true);
    title->SetAllowSplit(true);
    memo(band<TlyrPageHeader>("PageHeader1", 60, 20), "PH", "ph");
    memo(band<TlyrColumnHeader>("ColumnHeader1", 90, 20), "CH", "ch");
    records(rows.ds, 120);
    prepare();
    judge(3);
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(pagesWith(QStringLiteral("ph")), QList<int>{2});
    double titleTop = 1e9, titleBottom = 0, header = -1, column = -1, record = -1;
    for (const Printed &p : printed(1)) {
        if (p.Text.startsWith(QLatin1String("line"))) {
            titleTop = std::min(titleTop, p.Box.top());
            titleBottom = std::max(titleBottom, p.Box.bottom());
        }
        if (p.Text == QLatin1String("ph")) header = p.Box.top();
        if (p.Text == QLatin1String("ch")) column = p.Box.top();
        if (p.Text == QLatin1String("r1")) record = p.Box.top();
    }
    EXPECT_NEAR(header, 0, 0.01) << dump().toStdString();
    EXPECT_NEAR(column, header + 20, 0.01);
    EXPECT_GE(titleTop, column + 20 - 0.01) << dump().toStdString();
    EXPECT_GE(record, titleBottom - 0.01) << dump().toStdString();
}

// Generated templates whose page header or footer was printed against its
// flags or place keep every rule.
TEST_F(PageBandsTest, GeneratedTemplatesOfMisplacedPageBandsKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
