// Headers that repeat at the top of a page or column leave room there for
// what made the break: no page or column holds nothing but page bands and
// repeated headers while records are still to come.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

#include "report/lyrview.h"

#include <QSet>

#include <map>
#include <set>

namespace {

class FillerTest : public BreaksTest {
protected:
    // Lines "line1".."lineN" under the band's first line, which the band
    // stretches to and may split.
    TlyrMemoView *tallText(TlyrBand *b, const QString &name, int lines)
    {
        QStringList text;
        for (int i = 1; i <= lines; ++i) text << QStringLiteral("line%1").arg(i);
        TlyrMemoView *m = memo(b, name, text.join(QLatin1Char('\n')));
        m->SetBounds(0, 20, 180, 20);
        m->SetStretchMode(smActualHeight);
        b->SetHeight(40);
        b->SetStretched(true);
        b->SetAllowSplit(true);
        return m;
    }
    // "page.column" of every place that holds a record "r<n>".
    std::set<std::pair<int, int>> recordColumns(int columnWidth)
    {
        std::set<std::pair<int, int>> out;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1Char('r'))) out.insert({i + 1, int(p.Box.left() / columnWidth + 0.001) + 1});
        return out;
    }
    // No page column before the last record's holds only page and column
    // bands and headers shown before (a header is known by its name and
    // first line).
    void expectNoColumnOfHeadersOnly(int columnWidth)
    {
        const std::set<std::pair<int, int>> has = recordColumns(columnWidth);
        ASSERT_FALSE(has.empty());
        static const QStringList pageBands{"TlyrPageHeader", "TlyrPageFooter", "TlyrColumnHeader", "TlyrColumnFooter"};
        std::map<std::pair<int, int>, bool> content;
        QSet<QString> shown;
        for (const lyrprop::PrintedBand &b : lyrprop::printedBands(pages())) {
            const std::pair<int, int> at{b.Page + 1, int(b.Left / columnWidth + 0.001) + 1};
            bool &c = content.try_emplace(at, false).first->second;
            if (pageBands.contains(b.Class)) continue;
            const bool header = b.Class == QLatin1String("TlyrHeader") || b.Class == QLatin1String("TlyrGroupHeader");
            const QString key = b.Name + QLatin1Char('|') + b.Texts.value(0);
            if (!header || !shown.contains(key)) c = true;
            shown.insert(key);
        }
        for (const auto &[at, c] : content)
            EXPECT_TRUE(c || at > *has.rbegin()) << "page " << at.first << " column " << at.second << " holds only headers";
    }
    // Prepares and judges the report; on a fault shows its pages and says
    // so, for a loop of cases to stop at the first.
    bool preparedWithoutHeaderColumns(int records, int columnWidth)
    {
        prepare();
        judge(records);
        expectNoColumnOfHeadersOnly(columnWidth);
        if (!HasFailure()) return true;
        ADD_FAILURE() << dump().toStdString();
        return false;
    }
    // How often the line "line1" of a tall text is printed.
    int firstLines()
    {
        int n = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) n += p.Text.split(QLatin1Char('\n')).first().trimmed() == QLatin1String("line1");
        return n;
    }
};

// Generated templates (lyrprop seeds) that left a page or column with
// headers only.
const uint64_t kSeeds[] = {
        91001279, 91001344, 91009705, 91012676, 91016839, 91017837, 91017838, 91029059, 91029824, 91031149, 91036595,
        91036596, 91037633, 91038296, 91044048, 91048438, 91053374, 91054834, 91070855, 91080664, 91087041, 91091596,
        91091773, 91094253, 91094739, 91097923, 91098318, 91099014, 91099446, 91101534, 91110704, 91114739, 91122468,
        91122469, 91127570, 91129057, 91129058, 91132388, 91135884, 91135998, 91137433, 91138265, 91141423, 91144909,
        91146170, 91150416, 91157866, 91166140, 91173206, 91175379, 91175380, 91175521, 91179558, 91183886, 91190769,
        91193453, 91193554, 91196948, 91199107, 91209049, 91211503, 91214049, 91216039, 91218400, 91218624, 91221191,
        91222821, 91225244, 91225416, 91245161, 91253724, 91259972, 91260274, 91265442, 91269331, 91269883, 91269884,
        91270253, 91273197, 91275625, 91277199, 91277383, 91282040, 91282335, 91287746, 91287747, 91292465, 91295069,
        91295311, 91295459, 95010955, 96108306, 96108307, 96136832, 96262271, 98224705};

}  // namespace

// A group header taller than a column, repeated in each new column, is cut
// there so that the records below it still fit the column.
TEST_F(FillerTest, ARepeatedSplitHeaderTallerThanAColumnLeavesRoomForTheRecords)
{
    for (int columns : {1, 2, 3})
        for (int lines : {9, 12, 20}) {
            SCOPED_TRACE(testing::Message() << "page columns " << columns << ", lines " << lines);
            newSheet(columns);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 20}}));
            memo(band<TlyrPageFooter>("PageFooter1", 500, 20), "PF", "pf");
            TlyrGroupHeader *g = group(30);
            g->ReprintOnNewPage = true;
            tallText(g, QStringLiteral("Tall"), lines);
            records(rows.ds, 100);
            prepare();
            judge(20);
            expectNoColumnOfHeadersOnly(600 / columns);
            // The header is shown again, from its first line.
            EXPECT_GE(firstLines(), 2);
            if (HasFailure()) {
                ADD_FAILURE() << dump().toStdString();
                return;
            }
        }
}

// A record that starts a new page under a repeated header that may split
// finds its room below the header there, above the page footer.
TEST_F(FillerTest, ARecordThatStartsAPageFitsBelowTheCutHeader)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
    memo(band<TlyrPageFooter>("PageFooter1", 500, 20), "PF", "pf");
    TlyrGroupHeader *g = group(30);
    g->ReprintOnNewPage = true;
    tallText(g, QStringLiteral("Tall"), 12);
    TlyrMasterData *r = records(rows.ds, 100);
    r->SetHeight(24);
    r->Objects().first()->SetHeight(24);
    r->SetStartNewPage(true);
    prepare();
    judge(3);
    expectNoColumnOfHeadersOnly(600);
    EXPECT_EQ(pages().Count(), 4) << dump().toStdString();
}

// A record kept with its child that breaks to the next column before
// anything of it printed begins its block there: when the child then
// breaks the page, the record stays, and no column is left with headers
// only.
TEST_F(FillerTest, AKeptRecordThatBrokeBeforePrintingBeginsItsBlockInTheNewColumn)
{
    for (int lines = 6; lines <= 14; ++lines)
        for (int count : {2, 3, 5}) {
            SCOPED_TRACE(testing::Message() << "lines " << lines << ", records " << count);
            newSheet(3);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                             QStringList(count, QStringLiteral("A")));
            memo(band<TlyrColumnHeader>("ColumnHeader1", 0, 16), "CH", "ch");
            TlyrGroupHeader *g = group(30);
            g->ReprintOnNewPage = true;
            tallText(g, QStringLiteral("Tall"), lines);
            TlyrMasterData *r = records(rows.ds, 100);
            r->SetHeight(24);
            r->SetKeepChild(true);
            auto *child = band<TlyrChild>("Child1", 140, 16);
            memo(child, "C", "child [Rows.\"N\"]");
            r->SetChild(child);
            if (!preparedWithoutHeaderColumns(count, 200)) return;
        }
}

// A kept group that ran over two page columns and then broke the page
// starts the new page's first column: the split header repeated there is
// cut to leave room for the group's first column, not only for the band
// that broke the page.
TEST_F(FillerTest, AKeptGroupOverColumnsThatMovesFindsRoomBelowTheCutHeader)
{
    for (int lines = 12; lines <= 24; lines += 2)
        for (int count : {2, 3}) {
            SCOPED_TRACE(testing::Message() << "lines " << lines << ", records " << count);
            newSheet(3);
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), QStringList(count, QStringLiteral("A")));
            TlyrGroupHeader *g = group(30);
            g->ReprintOnNewPage = true;
            tallText(g, QStringLiteral("Tall"), lines);
            auto *kept = band<TlyrGroupHeader>("Kept", 80, 30);
            kept->Condition = QStringLiteral("Rows.\"N\"");
            kept->KeepTogether = true;
            memo(kept, "K", "kept [Rows.\"N\"]");
            TlyrMasterData *r = records(rows.ds, 120);
            r->SetHeight(60);
            auto *child = band<TlyrChild>("Child1", 200, 16);
            memo(child, "C", "child [Rows.\"N\"]");
            r->SetChild(child);
            if (!preparedWithoutHeaderColumns(count, 200)) return;
        }
}

// Below a tall title, a record that fits no column of the title page under
// the headers a new column would repeat (one shown first in this column
// among them) goes to the next page at once.
TEST_F(FillerTest, UnderATitleTheHeadersShownInAColumnCountForTheNextColumn)
{
    for (int title = 100; title <= 130; title += 2) {
        SCOPED_TRACE(testing::Message() << "title " << title);
        newSheet(3);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrReportTitle>("Title1", 0, title), "T", "title");
        memo(band<TlyrColumnHeader>("ColumnHeader1", 250, 16), "CH", "ch");
        auto *h = band<TlyrHeader>("Header1", 280, 20);
        memo(h, "H", "header");
        h->ReprintOnNewPage = true;
        group(300);
        TlyrGroupHeader *inner = band<TlyrGroupHeader>("Inner", 330, 20);
        inner->Condition = QStringLiteral("Rows.\"G\"");
        inner->ReprintOnNewPage = true;
        memo(inner, "I", "inner");
        records(rows.ds, 360);
        memo(band<TlyrPageFooter>("PageFooter1", 500, 20), "PF", "pf");
        if (!preparedWithoutHeaderColumns(3, 200)) return;
    }
}

// Generated templates that left a page or column with headers only, and
// their reduced forms, keep every rule.
TEST_F(FillerTest, GeneratedTemplatesOfColumnsWithHeadersOnlyKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
    const char *cases[] = {
            // A later group's split header part, in a column of its own.
            "paper 208x111 margin 4 pagecols 3 records 5 mastercols 1 height 16 pageheader colfooter gsplit dheader "
            "swords 68 overlay 0 sub 4/4 detail 1 words 0 groups [{size 1}]",
            // A repeated split header filled the column the footer broke to.
            "paper 118x132 margin 7 pagecols 3 records 2 mastercols 1 height 16 pagefooter colfooter header reprint "
            "gsplit swords 74 overlay 0 sub 0/0 detail 0 words 0 groups [{size 1 reprint footer}]",
            "paper 108x99.7832772858 margin 4 pagecols 3 records 7 mastercols 1 height 32 pagefooter gsplit swords 58 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 8 reprint}]",
            // Under a title a split footer went to the next page, not beside it.
            "paper 154x130 margin 10 pagecols 2 records 5 mastercols 1 height 40 title pagefooter gsplit swords 68 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 4 reprint footer}]",
            // A kept record with its child broke to the next column, then its block moved over the page's bottom.
            "paper 100x145.758242427 margin 0 pagecols 3 records 2 mastercols 1 height 24 colheader footer child "
            "keepchild gsplit childhidden chain 1 swords 70 overlay 0 sub 0/0 detail 1 words 0 groups [{size 3 "
            "reprint}]",
            // Under a title's subreport a column repeated a header first shown in the column before.
            "paper 159x182 margin 10 pagecols 3 records 1 mastercols 1 height 16 title pagefooter colheader header "
            "reprint overlay 0 sub 1/29 detail 0 words 0 groups [{size 1} {size 1 reprint}]",
            // A record that starts a new page under a cut repeated header.
            "paper 123x105.666611986 margin 8 pagecols 3 records 2 mastercols 1 height 24 pagefooter newpage gsplit "
            "swords 63 overlay 0 sub 0/0 detail 0 words 0 groups [{size 3 reprint}]",
            // A kept split record right below its column's cut header, when the header repeated in the next
            // column ran on to the next page.
            "paper 122x79.0832854879 margin 0 pagecols 3 records 2 mastercols 1 height 16 header split child "
            "keepchild gsplit swords 61 overlay 0 sub 0/0 detail 0 words 55 groups [{size 3 reprint}]",
            // A record taller than a column moved to a page whose repeated split header ran on over its columns.
            "paper 124x114.366603784 margin 0 pagecols 2 records 3 mastercols 1 height 16 pagefooter header "
            "reprint child gsplit csplit chain 2 swords 63 tall 3 overlay 0 sub 4/0 detail 0 words 0 groups "
            "[{size 1 reprint}]",
    };
    for (const char *line : cases) {
        const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
            ADD_FAILURE() << line << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}
