// Which texts of a footer are totals, and what the totals count: only calls
// written inside an expression's brackets are aggregates; a call inside
// another, or over a band without records, is told, not printed as 0; MIN
// and MAX compare numbers given as text as numbers; the last group of a
// cross-tab's columns totals its own columns.

#include "engine_fixture.h"

#include "report/lyrdbset.h"
#include "report/lyrvariables.h"

#include <algorithm>

namespace {

// A dataset over rows of texts held by the test, as a CSV file gives them.
class TextRows {
public:
    TextRows(TlyrReport *report, QObject *owner, const QString &name, QStringList fields, QList<QStringList> rows)
        : fields_(std::move(fields)), rows_(std::move(rows))
    {
        ds = new TlyrUserDataSet(owner);
        ds->SetName(name);
        ds->SetFields(fields_);
        ds->OnFirst = [this](TlyrDataSet *) { at_ = 0; };
        ds->OnNext = [this](TlyrDataSet *) { ++at_; };
        ds->OnPrior = [this](TlyrDataSet *) { at_ = std::max<qsizetype>(at_ - 1, 0); };
        ds->OnCheckEOF = [this](TlyrDataSet *, bool &eof) { eof = at_ >= rows_.size(); };
        ds->OnGetValue = [this](const QString &f, KsValue &v) {
            const qsizetype col = fields_.indexOf(f);
            if (at_ < rows_.size() && col >= 0) v = KsValue(rows_[at_][col]);
        };
        report->Datasets()->Add(ds);
    }
    // Column f of every row.
    QStringList column(const QString &f) const
    {
        QStringList out;
        for (const QStringList &r : rows_) out << r[fields_.indexOf(f)];
        return out;
    }
    TlyrUserDataSet *ds;

private:
    QStringList fields_;
    QList<QStringList> rows_;
    qsizetype at_ = 0;
};

class TotalScanTest : public EngineFixture {
protected:
    // A data band over ds listing field f, and a footer 20 high holding one
    // memo with text.
    TlyrMemoView *listWithFooter(TlyrDataSet *ds, const QString &f, const QString &text)
    {
        auto *data = band<TlyrMasterData>("MasterData1", 40, 20);
        data->SetDataSet(ds);
        memo(data, "Line", QStringLiteral("[%1.\"%2\"]").arg(ds->Name(), f));
        return memo(band<TlyrFooter>("Footer1", 80, 20), "Totals", text);
    }
    QString errors() const { return report->Errors().join(QLatin1Char('\n')); }
    // The text of the last memo of page 1 (the footer's).
    QString footerText()
    {
        const QStringList t = texts(0);
        return t.isEmpty() ? QString() : t.last();
    }
    TlyrAggregateList &aggregates() { return dynamic_cast<TlyrEngine *>(report->Engine())->Aggregates; }
    QObject owner;
};

}  // namespace

// Amounts as text, as a CSV file or a text column gives them: MIN and MAX
// compare them as numbers, as SUM and AVG add them.
TEST_F(TotalScanTest, MinAndMaxCompareNumbersGivenAsTextAsNumbers)
{
    TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("v")}, {{"9.5"}, {"10"}, {"100"}, {"25"}});
    listWithFooter(rows.ds, QStringLiteral("v"),
                   "MIN=[MIN(<D.\"v\">)] MAX=[MAX(<D.\"v\">)] SUM=[SUM(<D.\"v\">)] AVG=[AVG(<D.\"v\">)]");
    ASSERT_TRUE(report->PrepareReport()) << errors().toStdString();
    std::vector<double> values;
    for (const QString &v : rows.column(QStringLiteral("v"))) values.push_back(v.toDouble());
    double sum = 0;
    for (double v : values) sum += v;
    const QString expected = QStringLiteral("MIN=%1 MAX=%2 SUM=%3 AVG=%4")
                                     .arg(*std::min_element(values.begin(), values.end()))
                                     .arg(*std::max_element(values.begin(), values.end()))
                                     .arg(sum)
                                     .arg(sum / double(values.size()));
    EXPECT_EQ(footerText(), expected);
}

// Texts outside an expression's brackets, quoted texts inside one and a
// field named like a call are printed as they stand; the real total beside
// them still counts.
TEST_F(TotalScanTest, PlainTextThatLooksLikeACallIsNoAggregate)
{
    TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n"), QStringLiteral("MAX(x)")},
                  {{"3", "a"}, {"4", "b"}});
    TlyrMemoView *totals = listWithFooter(rows.ds, QStringLiteral("n"), "Sum (RMB)");
    auto *footer = static_cast<TlyrBand *>(totals->Parent());
    memo(footer, "PerRow", "Max (per row):", 200, 100);
    memo(footer, "Mean", "avg (mean) [SUM(<D.\"n\">)]", 300, 100);
    memo(footer, "Quoted", "[IIF(1 > 0, 'sum(x)', 'count(y)')]", 400, 100);
    memo(footer, "Column", "[D.\"MAX(x)\"] [<D.\"MAX(x)\">]", 500, 100);
    ASSERT_TRUE(report->PrepareReport()) << errors().toStdString();
    const QStringList n = rows.column(QStringLiteral("n"));
    const QString sum = QString::number(n[0].toInt() + n[1].toInt());
    const QString last = rows.column(QStringLiteral("MAX(x)")).last();
    EXPECT_EQ(texts(0), (QStringList{n[0], n[1], "Sum (RMB)", "Max (per row):", "avg (mean) " + sum, "sum(x)",
                                     last + " " + last}));
    EXPECT_EQ(aggregates().Count(), 1);
}

// A call inside another and a call over a band that has no records are
// error lines naming the call; reading them takes one pass however deep
// they nest, and variables naming each other are read once.
TEST_F(TotalScanTest, NestedCallsAndCallsOverOtherBandsAreTold)
{
    {
        SCOPED_TRACE("a sum of a sum");
        TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n")}, {{"1"}, {"2"}});
        listWithFooter(rows.ds, QStringLiteral("n"), "[SUM(SUM(<D.\"n\">))]");
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_TRUE(errors().contains(QStringLiteral("SUM(<D.\"n\">)"))) << errors().toStdString();
    }
    {
        SCOPED_TRACE("a thousand deep");
        newReport();
        TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n")}, {{"1"}});
        QString text = QStringLiteral("<D.\"n\">");
        for (int i = 0; i < 1000; ++i) text = QStringLiteral("SUM(%1)").arg(text);
        listWithFooter(rows.ds, QStringLiteral("n"), "[" + text + "]");
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_EQ(aggregates().Count(), 1);
        EXPECT_EQ(report->Errors().size(), 1) << errors().left(300).toStdString();
    }
    {
        SCOPED_TRACE("a total over a footer");
        newReport();
        TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n")}, {{"1"}});
        listWithFooter(rows.ds, QStringLiteral("n"), "[SUM(<D.\"n\">, Footer1)]");
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_TRUE(errors().contains(QStringLiteral("Footer1"))) << errors().toStdString();
        EXPECT_TRUE(errors().contains(QStringLiteral("SUM(<D.\"n\">, Footer1)"))) << errors().toStdString();
    }
    {
        SCOPED_TRACE("a sum of a variable holding a sum");
        newReport();
        TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n")}, {{"1"}});
        report->Variables()->SetVariable(QStringLiteral("Tot"), QStringLiteral("SUM(<D.\"n\">)"));
        listWithFooter(rows.ds, QStringLiteral("n"), "[SUM(<Tot>)]");
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_TRUE(errors().contains(QStringLiteral("SUM(<Tot>)"))) << errors().toStdString();
    }
    {
        SCOPED_TRACE("two variables naming each other");
        newReport();
        TextRows rows(report.get(), &owner, QStringLiteral("D"), {QStringLiteral("n")}, {{"1"}});
        QStringList a{QStringLiteral("SUM(<D.\"n\">)")}, b;
        for (int i = 0; i < 10; ++i) {
            a << QStringLiteral("<B>");
            b << QStringLiteral("<A>");
        }
        report->Variables()->SetVariable(QStringLiteral("A"), a.join(QStringLiteral(" + ")));
        report->Variables()->SetVariable(QStringLiteral("B"), b.join(QStringLiteral(" + ")));
        listWithFooter(rows.ds, QStringLiteral("n"), "[A]");
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_TRUE(errors().contains(QStringLiteral("引用了它自己"))) << errors().toStdString();
        EXPECT_EQ(aggregates().Count(), 1);
    }
}

// Columns grouped by quarter across a row: every quarter's footer cell, the
// last one too, shows its own quarter and the total of its own months.
TEST_F(TotalScanTest, TheLastColumnGroupShowsItsOwnGroup)
{
    TextRows rows(report.get(), &owner, QStringLiteral("Rows"), {QStringLiteral("N")}, {{"r1"}, {"r2"}});
    TextRows cols(report.get(), &owner, QStringLiteral("Cols"),
                  {QStringLiteral("Q"), QStringLiteral("M"), QStringLiteral("W")},
                  {{"Q1", "m01", "1"}, {"Q1", "m02", "20"}, {"Q2", "m04", "300"}, {"Q2", "m05", "4000"}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "RowName", "[Rows.\"N\"]", 0, 80);
    memo(master, "Cell", "[Cols.\"M\"]=[Cols.\"W\"]", 140, 60);
    memo(master, "GroupCell", "[Cols.\"M\"]/[Cols.\"Q\"]=[SUM(<Cols.\"W\">)]", 200, 40);
    auto *footer = band<TlyrFooter>("Footer1", 70, 20);
    memo(footer, "Total", "total", 0, 80);
    memo(footer, "GroupTotal", "QT:[Cols.\"Q\"]=[SUM(<Cols.\"W\">)]", 200, 40);
    auto vband = [&](TlyrBand *b, double left, double width) {
        b->SetVertical(true);
        b->SetLeft(left);
        b->SetWidth(width);
        return b;
    };
    static_cast<TlyrGroupHeader *>(vband(band<TlyrGroupHeader>("VGroup", 0, 200), 100, 40))->Condition =
            QStringLiteral("Cols.\"Q\"");
    static_cast<TlyrMasterData *>(vband(band<TlyrMasterData>("VData", 0, 200), 140, 60))->SetDataSet(cols.ds);
    vband(band<TlyrGroupFooter>("VGroupFooter", 0, 200), 200, 40);
    ASSERT_TRUE(report->PrepareReport()) << errors().toStdString();

    // What each row and the total row show, worked out from the data.
    const QStringList q = cols.column(QStringLiteral("Q")), m = cols.column(QStringLiteral("M")),
                      w = cols.column(QStringLiteral("W"));
    auto line = [&](const QString &head, bool totals) {
        QStringList cells{head};
        int sum = 0, rowCount = totals ? 2 : 1;
        for (int i = 0; i < q.size(); ++i) {
            if (!totals) cells << m[i] + "=" + w[i];
            sum += w[i].toInt() * rowCount;
            if (i + 1 == q.size() || q[i + 1] != q[i]) {
                cells << (totals ? "QT:" + q[i] : m[i] + "/" + q[i]) + "=" + QString::number(sum);
                sum = 0;
            }
        }
        return cells.join(u' ');
    };
    QStringList out;
    for (TlyrComponent *b : pages().GetPage(0)->Objects()) {
        QStringList row;
        for (TlyrComponent *c : b->Objects())
            if (auto *mv = qobject_cast<TlyrCustomMemoView *>(c)) row << mv->GetText();
        out << row.join(u' ');
    }
    EXPECT_EQ(out, (QStringList{line("r1", false), line("r2", false), line("total", true)}));
}
