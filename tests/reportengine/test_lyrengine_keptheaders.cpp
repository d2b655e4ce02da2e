// A kept group that moves to a new page which holds it only just: the data
// header shown again there heads it, and what broke the page goes on to a
// later page below the header too.

#include "breaks_fixture.h"

#include "report/lyrmemo.h"

namespace {

class KeptHeadersTest : public BreaksTest {
protected:
    // A header 20 high, shown again on every page, printing "head p<page>"
    // (and, crossed, the column titles "t<N>").
    TlyrHeader *header(bool crossed)
    {
        auto *h = band<TlyrHeader>("Header1", 10, 20);
        h->ReprintOnNewPage = true;
        memo(h, "HeadMemo", "head p[Page#]", 0, 90);
        if (crossed) memo(h, "Title", "t[Cols.\"N\"]", 100, 60);
        return h;
    }
    // Every page that prints a record begins with the header of its own page
    // number, and (crossed) every cell stands under its column's title there.
    void expectHeadedPages()
    {
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            QHash<QString, double> titles;
            double headTop = -1, firstRecord = 1e9;
            for (const Printed &p : printed(i)) {
                if (p.Text == QStringLiteral("head p%1").arg(i + 1)) headTop = p.Box.top();
                if (p.Text.startsWith(QLatin1Char('t'))) titles.insert(p.Text.mid(1), p.Box.left());
                if (p.Text.startsWith(QLatin1Char('r'))) firstRecord = std::min(firstRecord, p.Box.top());
            }
            if (firstRecord > 1e8) continue;
            EXPECT_GE(headTop, 0) << dump().toStdString();
            EXPECT_LT(headTop, firstRecord);
            for (const Printed &p : printed(i)) {
                if (!p.Text.startsWith(QLatin1Char('x'))) continue;
                const QString column = p.Text.section(QLatin1Char('c'), 1);
                EXPECT_TRUE(titles.contains(column)) << p.Text.toStdString();
                EXPECT_NEAR(titles.value(column, -1), p.Box.left(), 0.01) << p.Text.toStdString();
            }
        }
    }
};

}  // namespace

// The group (its header and seven records) fills a page below the header;
// the eighth record breaks the page, and would fit below the group there
// only without the header. Plain, and crossed with column titles in
// the header, on pages in width too.
TEST_F(KeptHeadersTest, AMovedGroupIsHeadedOnItsNewPage)
{
    for (const bool crossed : {false, true}) {
        SCOPED_TRACE(crossed ? "crossed" : "plain");
        newSheet();
        page->SetPaperHeight(195 / lyrUnitsPerMM);
        // A first list of one short line: the group below it is no longer
        // the first of the page's run, which never moves.
        GroupedRows lead(report.get(), &keeper, QStringLiteral("Lead"), GroupedRows::runs({{"L", 1}}));
        auto *first = band<TlyrMasterData>("Lead1", 2, 5);
        first->SetDataSet(lead.ds);
        memo(first, "LeadMemo", "lead", 0, 90);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 12}}));
        GroupedRows cols(report.get(), &keeper, QStringLiteral("Cols"), GroupedRows::runs({{"C", crossed ? 12 : 0}}));
        header(crossed);
        group(20)->KeepTogether = true;
        TlyrMasterData *master = records(rows.ds, 40);
        master->Objects().first()->SetWidth(90);
        if (crossed) {
            memo(master, "Cell", "x[Rows.\"N\"]c[Cols.\"N\"]", 100, 60);
            verticalColumns(cols.ds, 100, 60);
        }
        prepare();
        judge(12);
        expectHeadedPages();
        expectOwnPageNumbers();
        if (HasFailure()) return;
    }
}

// The last record of a kept group does not fit with the footer kept with
// it: the whole group goes to the next column with them, header and all,
// instead of leaving its header and first records behind. With the group
// header shown again on new columns and without.
TEST_F(KeptHeadersTest, AKeptGroupMovesWholeWithTheFooterThatTakesItsLastRecord)
{
    for (const bool reprint : {false, true}) {
        SCOPED_TRACE(reprint ? "header shown again" : "header once");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}, {"B", 2}}));
        TlyrGroupHeader *g = group(20);
        g->KeepTogether = true;
        g->ReprintOnNewPage = reprint;
        records(rows.ds, 40)->SetKeepFooter(true);
        memo(band<TlyrFooter>("Footer1", 70, 40), "F", "ftr");
        prepare();
        judge(7);
        // Every record stands in the page and column where its group's
        // header was first printed.
        std::map<QString, std::pair<int, int>> headedAt;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                const std::pair<int, int> at{i, int(p.Box.center().x() / 300)};
                if (p.Text.startsWith(QLatin1Char('g'))) headedAt.emplace(p.Text.mid(1), at);
                if (p.Text.startsWith(QLatin1Char('r'))) {
                    const int n = p.Text.mid(1).toInt();
                    const QString key = n <= 5 ? QStringLiteral("A") : QStringLiteral("B");
                    ASSERT_TRUE(headedAt.count(key)) << p.Text.toStdString() << "\n" << dump().toStdString();
                    EXPECT_EQ(headedAt[key], at) << p.Text.toStdString() << "\n" << dump().toStdString();
                }
            }
        const std::vector<Printed> all = printed(pages().Count() - 1);
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const Printed &p) { return p.Text == QLatin1String("ftr"); }))
                << dump().toStdString();
    }
}

// The last record, hidden by its script, leaves the group footer just room
// on the page, but not the footer kept with the last record: the footers go
// on to the next page without a record. The group's header, shown again on
// new pages, heads no page of footers alone.
TEST_F(KeptHeadersTest, FootersMovedBelowAHiddenLastRecordRepeatNoGroupHeader)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 8}}));
    group(0)->ReprintOnNewPage = true;
    TlyrMasterData *master = records(rows.ds, 40);
    master->SetKeepFooter(true);
    master->SetOnBeforePrint(QStringLiteral("HideLast"));
    report->SetScriptText({"procedure HideLast(Sender: TObject);", "begin",
                           "  RecordsRows.Visible := StrToInt(<Rows.\"N\">) <> 8;", "end;", "begin", "end."});
    memo(band<TlyrGroupFooter>("GroupFooter1", 80, 20), "GF", "gf");
    memo(band<TlyrFooter>("Footer1", 120, 40), "F", "ftr");
    prepare();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    judge(7);
    for (int i = 0; i < pages().Count(); ++i) {
        const QStringList shown = texts(i);
        const bool records = std::any_of(shown.begin(), shown.end(), [](const QString &t) { return t.startsWith('r'); });
        EXPECT_EQ(shown.contains(QStringLiteral("gA")), records) << "page " << i + 1 << "\n" << dump().toStdString();
    }
    EXPECT_TRUE(texts(1).contains(QStringLiteral("ftr"))) << dump().toStdString();
}

// The first group's only record is hidden by its script: its header alone
// stands at the page's top, and the next group, kept together, begins
// below it. That group's record does not fit below its header there but an
// empty page holds both: they move together, the finished group's header
// does not make the block the page's first.
TEST_F(KeptHeadersTest, AKeptGroupBelowTheHeaderOfAHiddenRecordMovesWhole)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}, {"B", 1}}));
    group(0)->KeepTogether = true;
    TlyrMasterData *master = records(rows.ds, 40);
    master->SetHeight(170);
    master->SetOnBeforePrint(QStringLiteral("HideFirst"));
    report->SetScriptText({"procedure HideFirst(Sender: TObject);", "begin",
                           "  RecordsRows.Visible := StrToInt(<Rows.\"N\">) <> 1;", "end;", "begin", "end."});
    prepare();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_TRUE(texts(0).contains(QStringLiteral("gA"))) << dump().toStdString();
    EXPECT_EQ(texts(1), (QStringList{QStringLiteral("gB"), QStringLiteral("r2")})) << dump().toStdString();
}
