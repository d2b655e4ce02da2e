// Labels three across, each with a child band under it that may split: a
// child too tall for what is left of its column goes on over the columns
// at its label's place, the labels of its row stay side by side, and
// nothing lands below the page or over the column and page footers.

#include "breaks_fixture.h"

#include <cmath>
#include <set>

namespace {

class LabelChildrenTest : public BreaksTest {
protected:
    // Labels "r<N>" 20 high, three across in each of two page columns (a
    // sheet 600 x 200), each with a child band "c<N> <text>" whose text
    // stretches and splits; words gives the text of the labels named (one
    // word for the others). The column and page footers take 20 each.
    void labelSheet(int count, const std::map<int, int> &words, bool keep = false, double headerHeight = 0)
    {
        newSheet(2);
        QStringList texts;
        for (int n = 1; n <= count; ++n) {
            QStringList w;
            for (int i = 0; i < (words.count(n) ? words.at(n) : 1); ++i) w << QStringLiteral("w%1").arg(i);
            texts << w.join(QLatin1Char(' '));
        }
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"), texts);
        if (headerHeight > 0) memo(band<TlyrHeader>("Header1", 0, headerHeight), "HeaderMemo", "head", 0, 90);
        labels = records(rows->ds, 120);
        labels->SetColumns(3);
        labels->SetColumnWidth(100);
        labels->SetKeepTogether(keep);
        labels->Objects().first()->SetWidth(90);
        auto *child = band<TlyrChild>("Child1", 140, 20);
        child->SetStretched(true);
        child->SetAllowSplit(true);
        memo(child, "ChildMemo", "c[Rows.\"N\"] [Rows.\"G\"]", 0, 90)->SetStretchMode(smActualHeight);
        labels->SetChild(child);
        memo(band<TlyrColumnFooter>("ColumnFooter1", 160, 20), "ColumnMemo", "column foot", 0, 200);
        memo(band<TlyrPageFooter>("PageFooter1", 180, 20), "PageMemo", "page foot", 0, 600);
    }
    // Where the memo whose text starts with the word given stands: page,
    // left, top, to a hundredth (page -1: none).
    std::tuple<int, long, long> at(const QString &word)
    {
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text == word || p.Text.startsWith(word + QLatin1Char(' ')))
                    return {i, std::lround(p.Box.left() * 100), std::lround(p.Box.top() * 100)};
        return {-1, 0, 0};
    }
    static std::tuple<int, long, long> place(int page, long left, long top) { return {page, left * 100, top * 100}; }
    // Every label and child once, inside the page, none over another or a
    // footer.
    void judgeSheet(int count)
    {
        judge(count);
        judge(count, QStringLiteral("c"));
    }
    std::unique_ptr<GroupedRows> rows;
    TlyrMasterData *labels = nullptr;
};

}  // namespace

// The third label's child is taller than an empty column: it starts under
// its label and goes on at the label's place in the next page column and
// on the next page; the next row starts below its last part.
TEST_F(LabelChildrenTest, AChildTallerThanAColumnGoesOnAtItsLabelsPlace)
{
    labelSheet(6, {{3, 60}});
    prepare();
    judgeSheet(6);
    EXPECT_EQ(at(QStringLiteral("r3")), place(0, 200, 0)) << dump().toStdString();
    EXPECT_EQ(at(QStringLiteral("c3")), place(0, 200, 20)) << dump().toStdString();
    // Its next parts stand at the label's place in the second page column
    // and in the first of the next page.
    std::set<std::pair<int, long>> parts;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(QLatin1Char('w'))) parts.insert({i, std::lround(p.Box.left())});
    EXPECT_EQ(parts, (std::set<std::pair<int, long>>{{0, 500}, {1, 200}})) << dump().toStdString();
}

// Below a tall data header the second label's child reaches past the
// column's foot, which an empty column would hold with its row; the third
// one's child is taller than any column: the row moves to the next column
// first, and the child starts under its label there.
TEST_F(LabelChildrenTest, ARowWhoseLastChildNoColumnHoldsMovesOnBeforeItSplits)
{
    labelSheet(3, {{2, 10}, {3, 60}}, false, 100);
    prepare();
    judgeSheet(3);
    EXPECT_EQ(at(QStringLiteral("r1")), place(0, 300, 0)) << dump().toStdString();
    EXPECT_EQ(at(QStringLiteral("r3")), place(0, 500, 0)) << dump().toStdString();
    EXPECT_EQ(at(QStringLiteral("c3")), place(0, 500, 20)) << dump().toStdString();
}

// Each label kept with its child: the sixth one's child runs over both
// page columns and its block moves to the next page; the labels beside it
// stay, and the column footer stands below them.
TEST_F(LabelChildrenTest, AKeptLabelMovingOnLeavesItsRowAboveTheColumnFooter)
{
    labelSheet(6, {{6, 40}}, true);
    prepare();
    judgeSheet(6);
    EXPECT_EQ(std::get<0>(at(QStringLiteral("r4"))), 0) << dump().toStdString();
}

// The same with each label keeping only its child, the sixth one's running
// over both page columns: the block begins at the label beside the others,
// which stay above the column footer when it moves on.
TEST_F(LabelChildrenTest, ALabelKeepingItsChildMovingOnLeavesItsRowAboveTheColumnFooter)
{
    labelSheet(6, {{6, 80}});
    labels->SetKeepChild(true);
    prepare();
    judgeSheet(6);
    EXPECT_EQ(std::get<0>(at(QStringLiteral("r4"))), 0) << dump().toStdString();
    EXPECT_EQ(std::get<0>(at(QStringLiteral("r5"))), 0) << dump().toStdString();
}
