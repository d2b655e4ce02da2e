// Totals count the records printed in their scope: footers hidden by a
// script still close their totals, rows of labels that move on count where
// they print, and a footer kept with a hidden last record gives nothing back
// for it.

#include "breaks_fixture.h"

#include <map>
#include <vector>

namespace {

// The lines of each order ("V"), read for the order the master dataset
// stands on ("N", numbered from 1).
class OrderLines {
public:
    OrderLines(TlyrReport *report, QObject *owner, TlyrDataSet *orders, std::vector<QStringList> lines)
        : lines_(std::move(lines))
    {
        ds = new TlyrUserDataSet(owner);
        ds->SetName(QStringLiteral("Lines"));
        ds->SetFields({QStringLiteral("V")});
        ds->OnFirst = [this, orders](TlyrDataSet *) {
            at_ = 0;
            order_ = orders->GetValue(QStringLiteral("N")).ToString().toInt() - 1;
        };
        ds->OnNext = [this](TlyrDataSet *) { ++at_; };
        ds->OnPrior = [this](TlyrDataSet *) { at_ = std::max(at_ - 1, 0); };
        ds->OnCheckEOF = [this](TlyrDataSet *, bool &eof) { eof = at_ >= current().size(); };
        ds->OnGetValue = [this](const QString &, KsValue &v) {
            if (at_ < current().size()) v = KsValue(current()[at_]);
        };
        report->Datasets()->Add(ds);
    }
    TlyrUserDataSet *ds;

private:
    QStringList current() const
    {
        return order_ >= 0 && size_t(order_) < lines_.size() ? lines_[size_t(order_)] : QStringList();
    }
    std::vector<QStringList> lines_;
    int order_ = -1, at_ = 0;
};

class ShownTotalsTest : public BreaksTest {
protected:
    void script(const QStringList &lines) { report->SetScriptText(lines + QStringList{"begin", "end."}); }
    // Walks every memo in print order: one whose text starts with opens
    // begins a new scope, "<prefix><number>" adds number to it, and one
    // starting with totals ("<totals>S<sum> C<count>") must show the scope's
    // sum and count. Returns how many totals were checked.
    int expectScopeTotals(const QString &opens, const QString &prefix, const QString &totals)
    {
        int sum = 0, count = 0, checked = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                bool number = false;
                const int n = p.Text.mid(prefix.size()).toInt(&number);
                if (p.Text.startsWith(totals)) {
                    EXPECT_EQ(p.Text.mid(totals.size()).toStdString(), QStringLiteral("S%1 C%2").arg(sum).arg(count).toStdString())
                            << "page " << i + 1 << "\n" << dump().toStdString();
                    ++checked;
                } else if (p.Text.startsWith(opens)) {
                    sum = count = 0;
                } else if (p.Text.startsWith(prefix) && number) {
                    sum += n;
                    ++count;
                }
            }
        return checked;
    }
    // Every footer text "<totals>S<sum> C<count>" shows the sum and count
    // of the records "r<N>" (each worth values[N-1]) printed on its page,
    // or in its page column (300 wide) for a column footer (byColumn).
    // Returns how many totals were checked.
    int expectTotalsWhereShown(const QString &totals, bool byColumn, const std::vector<int> &values)
    {
        int checked = 0;
        for (int i = 0; i < pages().Count(); ++i) {
            std::map<int, std::pair<int, int>> held;
            std::vector<std::pair<int, QString>> shown;
            for (const Printed &p : printed(i)) {
                const int column = byColumn ? int(p.Box.center().x() / 300) : 0;
                bool number = false;
                const int n = p.Text.mid(1).toInt(&number);
                if (p.Text.startsWith(QLatin1Char('r')) && number && n >= 1 && size_t(n) <= values.size()) {
                    held[column].first += values[size_t(n - 1)];
                    ++held[column].second;
                }
                if (p.Text.startsWith(totals)) shown.emplace_back(column, p.Text.mid(totals.size()));
            }
            for (const auto &[column, text] : shown) {
                EXPECT_EQ(text.toStdString(),
                          QStringLiteral("S%1 C%2").arg(held[column].first).arg(held[column].second).toStdString())
                        << "page " << i + 1 << " column " << column + 1 << "\n" << dump().toStdString();
                ++checked;
            }
        }
        return checked;
    }
    static std::vector<int> numbered(int count)
    {
        std::vector<int> out;
        for (int i = 1; i <= count; ++i) out.push_back(i);
        return out;
    }
};

}  // namespace

// A group footer hidden by its script for groups of one record still closes
// the group's totals: the next group's footer counts its own records only.
TEST_F(ShownTotalsTest, AGroupFooterHiddenByScriptClosesItsTotals)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}, {"B", 2}, {"C", 1}, {"D", 2}}));
    group(20);
    records(rows.ds, 40);
    auto *footer = band<TlyrGroupFooter>("GroupFooter1", 60, 20);
    memo(footer, "GroupTotals", "gs S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
    footer->SetOnBeforePrint(QStringLiteral("HideSingle"));
    script({"procedure HideSingle(Sender: TObject);", "begin",
            "  GroupFooter1.Visible := (<Rows.\"G\"> = 'B') or (<Rows.\"G\"> = 'D');", "end;"});
    prepare();
    judge(6);
    EXPECT_EQ(expectScopeTotals(QStringLiteral("g"), QStringLiteral("r"), QStringLiteral("gs ")), 2);
}

// The footer of an order's lines, hidden for orders of one line, still
// closes that order's totals.
TEST_F(ShownTotalsTest, ADataFooterHiddenByScriptClosesItsTotals)
{
    newSheet();
    GroupedRows orders(report.get(), &keeper, QStringLiteral("Orders"), GroupedRows::runs({{"A", 4}}));
    OrderLines lines(report.get(), &keeper, orders.ds, {{"10"}, {"100", "200"}, {"5"}, {"1", "2"}});
    records(orders.ds, 20, {}, nullptr, QStringLiteral("o"));
    auto *detail = band<TlyrDetailData>("DetailLines", 40, 20);
    detail->SetDataSet(lines.ds);
    memo(detail, "LineMemo", "l[Lines.\"V\"]");
    auto *footer = band<TlyrFooter>("Footer1", 60, 20);
    memo(footer, "LineTotals", "ls S[SUM(<Lines.\"V\">)] C[COUNT(DetailLines)]");
    footer->SetOnBeforePrint(QStringLiteral("HideSingle"));
    script({"procedure HideSingle(Sender: TObject);", "begin",
            "  Footer1.Visible := (<Orders.\"N\"> = '2') or (<Orders.\"N\"> = '4');", "end;"});
    prepare();
    EXPECT_EQ(expectScopeTotals(QStringLiteral("o"), QStringLiteral("l"), QStringLiteral("ls ")), 2);
}

// A column footer hidden by its script in the second column still closes
// that column's totals: the next page's first column counts its own.
TEST_F(ShownTotalsTest, AColumnFooterHiddenByScriptClosesItsTotals)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 24}}));
    records(rows.ds, 20)->Objects().first()->SetWidth(100);
    auto *footer = band<TlyrColumnFooter>("ColumnFooter1", 180, 20);
    memo(footer, "ColumnTotals", "cs S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]", 0, 100);
    footer->SetOnBeforePrint(QStringLiteral("HideSecond"));
    script({"var Shown: Integer;", "procedure HideSecond(Sender: TObject);", "begin", "  Shown := Shown + 1;",
            "  ColumnFooter1.Visible := Shown <> 2;", "end;"});
    prepare();
    judge(24);
    ASSERT_GE(pages().Count(), 2);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("cs "), true, numbered(24)), 2);
}

// Labels three across: a row whose second label is too tall for the page's
// foot moves whole to the next page, and its labels count in that page's
// footer, not in the one of the page they left.
TEST_F(ShownTotalsTest, ALabelRowThatMovesCountsInThePageFooterWhereItPrints)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 9}}));
    TlyrMasterData *labels = records(rows.ds, 20);
    labels->SetColumns(3);
    labels->SetColumnWidth(100);
    labels->Objects().first()->SetWidth(100);
    labels->SetOnBeforePrint(QStringLiteral("Tall"));
    script({"procedure Tall(Sender: TObject);", "begin",
            "  if <Rows.\"N\"> = '8' then RecordsRows.Height := 150 else RecordsRows.Height := 20;", "end;"});
    memo(band<TlyrPageFooter>("PageFooter1", 180, 20), "PageTotals", "pt S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
    prepare();
    judge(9);
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("pt "), false, numbered(9)), 2);
}

// Labels two across in two page columns with column and page footers: rows
// that move on to the next column and to the next page count in the footers
// where they print.
TEST_F(ShownTotalsTest, ALabelRowThatMovesCountsInTheColumnFooterWhereItPrints)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 16}}));
    TlyrMasterData *labels = records(rows.ds, 20);
    labels->SetColumns(2);
    labels->SetColumnWidth(150);
    labels->Objects().first()->SetWidth(100);
    labels->SetOnBeforePrint(QStringLiteral("Tall"));
    script({"procedure Tall(Sender: TObject);", "begin",
            "  if <Rows.\"N\"> = '8' then RecordsRows.Height := 120 else RecordsRows.Height := 20;", "end;"});
    const QString totals = QStringLiteral(" S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
    memo(band<TlyrColumnFooter>("ColumnFooter1", 150, 20), "ColumnTotals", QStringLiteral("cs") + totals, 0, 100);
    memo(band<TlyrPageFooter>("PageFooter1", 180, 20), "PageTotals", QStringLiteral("pt") + totals, 350, 200);
    prepare();
    judge(16);
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("cs "), true, numbered(16)), 3);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("pt "), false, numbered(16)), 2);
}

// A label sheet three across, each label with a line of its own below it
// (a child band): labels 3 and 7 are hidden by the script and leave no gap,
// the next label takes their place; label 10 is taller than its row's
// others, so that row (9, 10, 11 with their lines) does not fit above the
// page footer and moves to the next page whole. Each page footer counts the
// labels printed on its page.
TEST_F(ShownTotalsTest, LabelsHiddenByScriptLeaveNoGapAndATallerLabelMovesItsRow)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 12}}));
    TlyrMasterData *labels = records(rows.ds, 20);
    labels->SetHeight(40);
    labels->SetColumns(3);
    labels->SetColumnWidth(100);
    labels->Objects().first()->SetWidth(90);
    auto *line = band<TlyrChild>("Child1", 70, 20);
    memo(line, "LineMemo", "c[Rows.\"N\"]", 0, 90);
    labels->SetChild(line);
    labels->SetOnBeforePrint(QStringLiteral("Sheet"));
    script({"procedure Sheet(Sender: TObject);", "begin",
            "  if <Rows.\"N\"> = '10' then RecordsRows.Height := 50 else RecordsRows.Height := 40;",
            "  RecordsRows.Visible := (<Rows.\"N\"> <> '3') and (<Rows.\"N\"> <> '7');", "end;"});
    memo(band<TlyrPageFooter>("PageFooter1", 180, 20), "PageTotals", "pt S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]",
         350, 200);
    prepare();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    // Each label at its place: page, left, top.
    const std::map<int, std::tuple<int, double, double>> at{
            {1, {0, 0, 0}},   {2, {0, 100, 0}},  {4, {0, 200, 0}},  {5, {0, 0, 60}},
            {6, {0, 100, 60}}, {8, {0, 200, 60}}, {9, {1, 0, 0}},    {10, {1, 100, 0}},
            {11, {1, 200, 0}}, {12, {1, 0, 70}}};
    std::map<int, std::tuple<int, double, double>> seen;
    std::map<int, double> lineTop;
    for (int i = 0; i < pages().Count(); ++i)
        for (const Printed &p : printed(i)) {
            bool number = false;
            const int n = p.Text.mid(1).toInt(&number);
            if (!number) continue;
            if (p.Text.startsWith(QLatin1Char('r'))) seen[n] = {i, p.Box.left(), p.Box.top()};
            if (p.Text.startsWith(QLatin1Char('c'))) lineTop[n] = i * 1000 + p.Box.top();
        }
    EXPECT_EQ(seen, at) << dump().toStdString();
    // Each line right below its own label, on the same page.
    for (const auto &[n, place] : at)
        EXPECT_DOUBLE_EQ(lineTop[n], std::get<0>(place) * 1000 + std::get<2>(place) + (n == 10 ? 50 : 40)) << "c" << n;
    std::vector<int> values = numbered(12);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("pt "), false, values), 2);
    EXPECT_TRUE(texts(0).contains(QStringLiteral("pt S26 C6"))) << dump().toStdString();
}

// Records kept with their footer, the last one hidden by its script: the
// footer does not fit below the seven shown and moves alone to the next
// page; the page they print on counts all seven, and the next none.
TEST_F(ShownTotalsTest, AFooterKeptWithAHiddenLastRecordTakesNothingBack)
{
    newSheet();
    const std::vector<int> values{1, 10, 100, 1000, 10000, 100000, 1000000, 5};
    QStringList keys;
    for (int v : values) keys << QString::number(v);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), keys);
    TlyrMasterData *master = records(rows.ds, 20);
    master->SetHeight(25);
    master->SetKeepFooter(true);
    master->SetOnBeforePrint(QStringLiteral("HideLast"));
    script({"procedure HideLast(Sender: TObject);", "begin", "  RecordsRows.Visible := <Rows.\"N\"> <> '8';", "end;"});
    const QString totals = QStringLiteral(" S[SUM(<Rows.\"G\">)] C[COUNT(RecordsRows)]");
    memo(band<TlyrFooter>("Footer1", 50, 20), "FooterTotals", QStringLiteral("ft") + totals);
    memo(band<TlyrPageFooter>("PageFooter1", 180, 20), "PageTotals", QStringLiteral("pt") + totals);
    prepare();
    judge(7);
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("pt "), false, values), 2);
    EXPECT_TRUE(texts(1).contains(QStringLiteral("ft S1111111 C7"))) << dump().toStdString();
}

// Labels two across in kept groups, in two page columns (or one) with
// column and page totals; one label of a row is taller than the others and its row
// does not fit above the column footer. It never prints over the footer: the
// group's block (its header and rows) moves whole to the next column or
// page when an empty one holds it; one that starts its column, or is taller than an
// empty column, stays and the row moves on alone. Each label prints once,
// and each footer counts the labels printed in its column or on its page.
TEST_F(ShownTotalsTest, LabelRowsOfAKeptGroupNeverPrintOverTheColumnFooter)
{
    struct Case {
        const char *name;
        int first, second;
        // The tall label and its height.
        int tall;
        double height;
        // The first label of the row that does not fit, and where it lands.
        int moved;
        QPointF at;
        int columns = 2, page = 0;
    };
    for (const Case &c : {Case{"the block moves whole", 4, 6, 10, 40, 5, {300, 20}},
                          Case{"a block at the column top stays", 14, 4, 14, 60, 13, {300, 0}},
                          Case{"a block taller than a column stays", 2, 14, 10, 120, 9, {300, 0}},
                          Case{"the block moves whole to a new page", 4, 6, 10, 40, 5, {0, 20}, 1, 1}}) {
        SCOPED_TRACE(c.name);
        newSheet(c.columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                         GroupedRows::runs({{"A", c.first}, {"B", c.second}}));
        group(10)->KeepTogether = true;
        TlyrMasterData *labels = records(rows.ds, 40);
        labels->SetColumns(2);
        labels->SetColumnWidth(150);
        labels->Objects().first()->SetWidth(100);
        labels->SetOnBeforePrint(QStringLiteral("Tall"));
        script({"procedure Tall(Sender: TObject);", "begin",
                QStringLiteral("  if <Rows.\"N\"> = '%1' then RecordsRows.Height := %2 else RecordsRows.Height := 20;")
                        .arg(c.tall)
                        .arg(c.height),
                "end;"});
        memo(band<TlyrGroupFooter>("GroupFooter1", 70, 20), "GF", "gf");
        const QString totals = QStringLiteral(" S[SUM(<Rows.\"N\">)] C[COUNT(RecordsRows)]");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 120, 20), "ColumnTotals", QStringLiteral("cs") + totals, 0, 100);
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PageTotals", QStringLiteral("pt") + totals, 350, 200);
        prepare();
        const int count = c.first + c.second;
        judge(count);
        EXPECT_EQ(places(c.page, QStringLiteral("r%1").arg(c.moved)),
                  QStringList{QStringLiteral("r%1@%2,%3").arg(c.moved).arg(c.at.x()).arg(c.at.y())})
                << dump().toStdString();
        EXPECT_GE(expectTotalsWhereShown(QStringLiteral("cs "), true, numbered(count)), 2);
        EXPECT_EQ(expectTotalsWhereShown(QStringLiteral("pt "), false, numbered(count)), pages().Count());
    }
}
