// Labels (a data band three across) in groups: every label prints once, each
// group footer stands below its group's labels and counts them, and each
// page footer counts the labels printed on its page.

#include "breaks_fixture.h"

#include <map>
#include <memory>

namespace {

class LabelGroupsTest : public BreaksTest {
protected:
    // Labels "r<N>" 20 high, three across 200 wide (two across 150 wide in
    // each of two page columns), in groups of "G" on the 600 x 200 sheet;
    // label tall grows 60 high. Group header "g<G>", group footer
    // "gf S<sum> C<count>", page footer "pg S<sum> C<count>".
    TlyrMasterData *labels(const QStringList &keys, int tall, int pageColumns = 0)
    {
        newSheet(pageColumns);
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"), keys);
        group(0)->KeepTogether = true;
        TlyrMasterData *b = records(rows->ds, 40);
        b->Objects().first()->SetWidth(60);
        b->SetColumns(pageColumns ? 2 : 3);
        b->SetColumnWidth(pageColumns ? 150 : 200);
        b->SetStretched(true);
        auto *grow = memo(b, "Grow",
                          QStringLiteral("[IIF(<Rows.\"N\"> = %1, 'a b c d e f g h i j k l m n o p q r s t u v w x y z', '')]")
                                  .arg(tall),
                          pageColumns ? 70 : 80, pageColumns ? 80 : 100);
        grow->SetHeight(0);
        grow->SetStretchMode(smActualHeight);
        const QString totals = QStringLiteral(" S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
        memo(band<TlyrGroupFooter>("GroupFooter1", 80, 20), "GF", QStringLiteral("gf") + totals);
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF", QStringLiteral("pg") + totals);
        return b;
    }
    // Each group footer stands below every label of its group and shows
    // their sum and count; each page footer those of its page's labels.
    void expectFootersBelowAndTotalsOfTheLabels()
    {
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1 << "\n" << dump().toStdString());
            int groupSum = 0, groupCount = 0, pageSum = 0, pageCount = 0;
            double groupBottom = 0;
            for (const Printed &p : printed(i)) {
                bool number = false;
                const int n = p.Text.mid(1).toInt(&number);
                if (p.Text.startsWith(QLatin1Char('r')) && number) {
                    groupSum += n;
                    ++groupCount;
                    pageSum += n;
                    ++pageCount;
                } else if (p.Text.startsWith(QLatin1String("Grow")) || p.Text.startsWith(QLatin1Char('a'))) {
                } else if (p.Text.startsWith(QLatin1String("gf "))) {
                    EXPECT_EQ(p.Text, QStringLiteral("gf S%1 C%2").arg(groupSum).arg(groupCount));
                    EXPECT_GE(p.Box.top() + 0.01, groupBottom);
                    groupSum = groupCount = 0;
                    groupBottom = 0;
                    continue;
                } else if (p.Text.startsWith(QLatin1String("pg "))) {
                    EXPECT_EQ(p.Text, QStringLiteral("pg S%1 C%2").arg(pageSum).arg(pageCount));
                    continue;
                } else {
                    continue;
                }
                groupBottom = std::max(groupBottom, p.Box.bottom());
            }
        }
    }
    std::unique_ptr<GroupedRows> rows;
};

}  // namespace

// A group's last row, not full, does not fit below its header: its tall
// label, in the row's second place, reaches past the page. The kept group
// moves whole to the next page, and its footer goes below that label there,
// for the last group and for one that a later group follows.
TEST_F(LabelGroupsTest, AKeptGroupWhoseOpenRowReachesPastThePageMovesWithItsTallestLabel)
{
    for (int last : {0, 1}) {
        SCOPED_TRACE(last ? "last group" : "group followed by another");
        QStringList keys = GroupedRows::runs({{"A", 3}, {"B", 3}, {"C", 2}});
        if (!last) keys << GroupedRows::runs({{"D", 3}});
        labels(keys, 8);
        prepare();
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        judge(int(keys.size()));
        expectFootersBelowAndTotalsOfTheLabels();
        // The group went whole: its header heads the page.
        EXPECT_EQ(texts(1).value(0), QStringLiteral("gC")) << dump().toStdString();
    }
}

// In two page columns: the row that closes the kept group reaches past the
// first column's foot. The group moves whole to the second column, where
// its footer goes below its tall label.
TEST_F(LabelGroupsTest, AKeptGroupWhoseRowReachesPastTheColumnMovesWholeToTheNextColumn)
{
    labels(GroupedRows::runs({{"A", 2}, {"B", 2}, {"C", 2}, {"D", 2}}), 6, 2);
    prepare();
    judge(8);
    expectFootersBelowAndTotalsOfTheLabels();
    // The group went whole: its header heads the second column.
    EXPECT_EQ(places(0, "gC"), QStringList{"gC@300,0"}) << dump().toStdString();
}
