// Group headers shown again at the top of a page or column: each names the
// group it heads, and only a group that still has records to come is headed
// again; a closed group's footer or the end of the data brings none.

#include "breaks_fixture.h"
#include "lyrproperty.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

class RegroupTest : public BreaksTest {
protected:
    // A group header over expr printing "<prefix><value>", repeated on new
    // pages and columns, with its footer printing "f<prefix><value>" (both
    // 20 high).
    TlyrGroupHeader *level(const QString &prefix, const QString &expr, double top, double footerTop)
    {
        auto *g = band<TlyrGroupHeader>(QStringLiteral("Group") + prefix, top, 20);
        g->Condition = expr;
        g->ReprintOnNewPage = true;
        memo(g, g->Name() + QStringLiteral("Memo"), prefix + QLatin1Char('[') + expr + QLatin1Char(']'));
        auto *f = band<TlyrGroupFooter>(QStringLiteral("Footer") + prefix, footerTop, 20);
        memo(f, f->Name() + QStringLiteral("Memo"), QLatin1Char('f') + prefix + QLatin1Char('[') + expr + QLatin1Char(']'));
        return g;
    }
    // Records in groups "A.x": the outer group is what stands before the
    // dot.
    static QString outer() { return QStringLiteral("Copy(<Rows.\"G\">, 1, 1)"); }
    static QString inner() { return QStringLiteral("Rows.\"G\""); }
    static QStringList keys(std::initializer_list<std::pair<const char *, int>> groups)
    {
        return GroupedRows::runs(groups);
    }
};

}  // namespace

// A group footer that does not fit below the last record of its group
// begins the next page without the header of the group it closes; an outer
// group that goes on is headed there, as at every page.
TEST_F(RegroupTest, AClosedGroupsFooterBringsNoneOfItsHeaders)
{
    const struct {
        const char *name;
        bool nested;
        QStringList keys, page2;
    } cases[] = {
            // The page holds the header and nine records: the footer is the
            // first that does not fit.
            {"between two groups", false, keys({{"A.x", 9}, {"B.y", 2}}), {"fgA.x", "gB.y", "r10", "r11", "fgB.y"}},
            {"after the last record", false, keys({{"A.x", 9}}), {"fgA.x"}},
            {"an inner group closes, the outer goes on", true, keys({{"A.x", 8}, {"A.y", 1}}),
             {"oA", "fiA.x", "iA.y", "r9", "fiA.y", "foA"}},
            {"both close after the last record", true, keys({{"A.x", 8}}), {"fiA.x", "foA"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), c.keys);
        if (c.nested) {
            level(QStringLiteral("o"), outer(), 10, 130);
            level(QStringLiteral("i"), inner(), 40, 100);
        } else {
            level(QStringLiteral("g"), inner(), 40, 100);
        }
        records(rows.ds, 70);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(int(c.keys.size()));
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        EXPECT_EQ(texts(1).join(QLatin1Char(' ')).toStdString(), c.page2.join(QLatin1Char(' ')).toStdString())
                << dump().toStdString();
    }
}

// A row of a list in two columns that is moved on to a new page when it
// is closed, by the next group or after the data ran out, is headed by its
// own group, not by the next record's or by the end of the data.
TEST_F(RegroupTest, AMovedRowIsHeadedByItsGroup)
{
    for (bool next : {false, true})
        for (double height : {40.0, 250.0}) {
            SCOPED_TRACE(testing::Message() << "records " << height << " high" << (next ? ", a group follows" : ""));
            newSheet();
            const QStringList k = next ? keys({{"A.x", 1}, {"B.y", 1}}) : keys({{"A.x", 1}});
            GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), k);
            auto *g = level(QStringLiteral("g"), inner(), 40, 100);
            // Taller than the room below the header it repeats.
            if (height < 100) g->SetHeight(170);
            TlyrMasterData *b = records(rows.ds, 70);
            b->SetHeight(height);
            b->SetColumns(2);
            b->SetColumnWidth(250);
            ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
            // Each header names the group of the record that follows it.
            QStringList printed;
            for (int i = 0; i < pages().Count(); ++i) printed << texts(i);
            for (qsizetype i = 0; i < printed.size(); ++i) {
                if (!printed[i].startsWith(QLatin1Char('g'))) continue;
                const auto r = std::find_if(printed.begin() + i, printed.end(),
                                            [](const QString &t) { return t.startsWith(QLatin1Char('r')); });
                ASSERT_NE(r, printed.end()) << printed.join(QLatin1Char(' ')).toStdString();
                EXPECT_EQ(printed[i].mid(1).toStdString(), k.value(r->mid(1).toInt() - 1).toStdString())
                        << printed.join(QLatin1Char(' ')).toStdString();
            }
            EXPECT_EQ(printed.filter(QRegularExpression(QStringLiteral("^r\\d+$"))).size(), k.size()) << dump().toStdString();
        }
}

// A repeated group header taller than a column splits on into the next one;
// the headers below it follow it there, above the records they head.
TEST_F(RegroupTest, HeadersBelowASplitRepeatedHeaderFollowIt)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), keys({{"A.x", 12}}));
    TlyrGroupHeader *o = level(QStringLiteral("o"), outer(), 10, 130);
    QStringList lines;
    for (int i = 0; i < 16; ++i) lines << QStringLiteral("line%1").arg(i);
    auto *text = memo(o, QStringLiteral("Lines"), lines.join(QLatin1Char('\n')));
    text->SetTop(20);
    text->SetStretchMode(smActualHeight);
    o->SetHeight(40);
    o->SetAllowSplit(true);
    o->SetStretched(true);
    level(QStringLiteral("i"), inner(), 60, 100);
    records(rows.ds, 80);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    judge(12);
    // Each inner header stands in the column of the record below it.
    for (int i = 0; i < pages().Count(); ++i) {
        const std::vector<Printed> all = printed(i);
        for (size_t j = 0; j < all.size(); ++j) {
            if (all[j].Text != QLatin1String("iA.x")) continue;
            const auto r = std::find_if(all.begin() + qsizetype(j), all.end(),
                                        [](const Printed &p) { return p.Text.startsWith(QLatin1Char('r')); });
            ASSERT_NE(r, all.end()) << dump().toStdString();
            EXPECT_EQ(all[j].Box.left(), r->Box.left()) << "page " << i + 1 << "\n" << dump().toStdString();
        }
    }
}

// Generated templates (lyrprop seeds) whose repeated group headers once
// named another group, or headed nothing after the last record.
TEST_F(RegroupTest, GeneratedTemplatesHeadEachGroupWithItsOwnHeader)
{
    for (uint64_t seed : {91001614ull, 91105274ull, 91208598ull, 91246440ull, 93001779ull, 93003653ull, 93005088ull,
                          93006589ull, 93008624ull, 93010011ull, 93012176ull, 93013636ull, 93015471ull, 93017216ull,
                          93018945ull, 91297653ull}) {
        lyrprop::SeedSource src(seed);
        const lyrprop::Plan plan = lyrprop::generate(src, seed, false);
        QString failures;
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan)) failures += f.Kind + QStringLiteral(": ") + f.Text + '\n';
        EXPECT_TRUE(failures.isEmpty()) << plan.describe().toStdString() << '\n' << failures.toStdString();
    }
}
