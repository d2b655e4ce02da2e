// Headers that repeat at the top of a page or column leave room there for
// what made the break: no page or column holds nothing but page bands and
// repeated headers while records are still to come.

#include "breaks_fixture.h"

#include "report/lyrview.h"

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
    void prepare() { ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString(); }
    // "page.column" of every place that holds a record "r<n>".
    std::set<std::pair<int, int>> recordColumns(int columnWidth)
    {
        std::set<std::pair<int, int>> out;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(QLatin1Char('r'))) out.insert({i + 1, int(p.Box.left() / columnWidth + 0.001) + 1});
        return out;
    }
    // Every page column from the first record's to the last record's holds
    // a record.
    void expectRecordsInEveryColumn(int columns, int columnWidth)
    {
        const std::set<std::pair<int, int>> has = recordColumns(columnWidth);
        ASSERT_FALSE(has.empty());
        for (std::pair<int, int> at = *has.begin(); at < *has.rbegin();) {
            EXPECT_TRUE(has.count(at)) << "page " << at.first << " column " << at.second << " holds no record";
            at = at.second < columns ? std::make_pair(at.first, at.second + 1) : std::make_pair(at.first + 1, 1);
        }
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
            expectRecordsInEveryColumn(columns, 600 / columns);
            // The header is shown again, from its first line.
            EXPECT_GE(firstLines(), 2);
            if (HasFailure()) {
                ADD_FAILURE() << dump().toStdString();
                return;
            }
        }
}
