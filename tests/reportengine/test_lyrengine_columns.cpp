// Tall and split bands in page columns under headers that repeat: no page or
// column is left holding nothing but headers while records are to come, and
// nothing is placed outside the page.

#include "engine_fixture.h"
#include "lyrproperty.h"

#include "report/lyrview.h"

#include <QRegularExpression>
#include <QSet>

#include <map>

namespace {

using lyrprop::PrintedBand;

class ColumnsTest : public EngineFixture {
protected:
    // A page of the size given (units) without margins, in page columns.
    void newSheet(double width, double height, int columns)
    {
        newReport();
        page->SetPaperSize(lyrCustomPaper);
        for (auto set : {&TlyrReportPage::SetTopMargin, &TlyrReportPage::SetBottomMargin,
                         &TlyrReportPage::SetLeftMargin, &TlyrReportPage::SetRightMargin})
            (page->*set)(0);
        page->SetPaperWidth(width / lyrUnitsPerMM);
        page->SetPaperHeight(height / lyrUnitsPerMM);
        page->SetColumns(columns);
        pageHeight = height;
        columnWidth = width / columns;
    }
    // Rows "r1".."rN" in groups of the keys given, one key a record.
    TlyrDataSet *rows(const QStringList &keys)
    {
        table = std::make_unique<lyrprop::Table>();
        table->Fields = {QStringLiteral("N"), QStringLiteral("G")};
        for (int i = 0; i < keys.size(); ++i) table->Rows << QStringList{QString::number(i + 1), keys[i]};
        auto *ds = lyrprop::tableDataSet(&keeper, QStringLiteral("Rows"), table.get());
        report->Datasets()->Add(ds);
        return ds;
    }
    // A band that shows its name and page, one line high.
    template <class B>
    B *named(const QString &name, double top, double height = 20)
    {
        B *b = band<B>(name, top, height);
        memo(b, name + QStringLiteral("Memo"), name + QStringLiteral(" @[Page#]"), 0, columnWidth - 10)->SetHeight(16);
        return b;
    }
    // A record band: its number, page, and a text of the lines given that
    // stretches it.
    TlyrMasterData *records(TlyrDataSet *ds, double top, int lines)
    {
        auto *b = band<TlyrMasterData>(QStringLiteral("Records"), top, 36);
        b->SetDataSet(ds);
        b->SetStretched(true);
        memo(b, QStringLiteral("RecNo"), QStringLiteral("r[Rows.\"N\"] @[Page#]"), 0, columnWidth - 10)->SetHeight(16);
        QStringList text;
        for (int i = 0; i < lines; ++i) text << QStringLiteral("line%1").arg(i + 1);
        auto *m = memo(b, QStringLiteral("RecText"), text.join(QLatin1Char('\n')), 0, columnWidth - 10);
        m->SetBounds(0, 16, columnWidth - 10, 20);
        m->SetStretchMode(smActualHeight);
        return b;
    }
    // Labels two across, each that wide: its number and page, and its key
    // as a text that stretches it.
    TlyrMasterData *labels(TlyrDataSet *ds, double top, double width)
    {
        auto *b = band<TlyrMasterData>(QStringLiteral("Records"), top, 36);
        b->SetDataSet(ds);
        b->SetStretched(true);
        b->SetColumns(2);
        b->SetColumnWidth(width);
        memo(b, QStringLiteral("RecNo"), QStringLiteral("r[Rows.\"N\"] @[Page#]"), 0, width - 5)->SetHeight(16);
        auto *m = memo(b, QStringLiteral("RecText"), QStringLiteral("[Rows.\"G\"]"), 0, width - 5);
        m->SetBounds(0, 16, width - 5, 20);
        m->SetStretchMode(smActualHeight);
        return b;
    }
    TlyrGroupHeader *group(double top)
    {
        auto *g = band<TlyrGroupHeader>(QStringLiteral("Group"), top, 20);
        memo(g, QStringLiteral("GroupMemo"), QStringLiteral("Group [Rows.\"G\"] @[Page#]"), 0, columnWidth - 10)->SetHeight(16);
        g->Condition = QStringLiteral("Rows.\"G\"");
        g->ReprintOnNewPage = true;
        return g;
    }
    void prepare()
    {
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        bands = lyrprop::printedBands(pages());
    }
    int column(double left) const { return int(left / columnWidth + 0.001) + 1; }
    static bool isRecord(const QString &text) { return text.startsWith(QLatin1Char('r')) && text.contains(QLatin1String(" @")); }
    static int recordNo(const QString &text) { return text.mid(1).section(QLatin1Char(' '), 0, 0).toInt(); }
    // "page.column" of each record "rN" (of its first part), in record order.
    QStringList recordPlaces() const
    {
        std::map<int, QString> at;
        for (const PrintedBand &b : bands)
            for (const QString &t : b.Texts)
                if (isRecord(t)) at.emplace(recordNo(t), QStringLiteral("%1.%2").arg(b.Page + 1).arg(column(b.Left)));
        QStringList out;
        for (const auto &[n, place] : at) out << place;
        return out;
    }
    // Every record once; every band inside its page (a record taller than
    // a column may run past its bottom when tallRecords), every "@n" the
    // page it is on when pageNumbers; no page column that holds only page
    // and column bands and headers printed again.
    void judge(int count, bool tallRecords = false, bool pageNumbers = true)
    {
        static const QStringList pageBands{"TlyrPageHeader", "TlyrPageFooter", "TlyrColumnHeader", "TlyrColumnFooter"};
        std::map<int, int> seen;
        std::map<std::pair<int, int>, bool> content;
        QSet<QString> headers;
        for (const PrintedBand &b : bands) {
            const auto place = std::make_pair(b.Page + 1, column(b.Left));
            content.emplace(place, false);
            // A header is content the first time, a repeat after.
            const QString header = b.Name + b.Texts.value(0).section(QLatin1Char('@'), 0, 0);
            const bool repeatable = b.Class == QLatin1String("TlyrHeader") || b.Class == QLatin1String("TlyrGroupHeader");
            if (!pageBands.contains(b.Class) && !(repeatable && headers.contains(header))) content[place] = true;
            if (repeatable) headers.insert(header);
            for (const QString &t : b.Texts) {
                if (isRecord(t)) ++seen[recordNo(t)];
                if (pageNumbers && t.contains(QLatin1String(" @")))
                    EXPECT_EQ(t.section(QLatin1String(" @"), 1), QString::number(b.Page + 1)) << t.toStdString();
            }
            const QString where = QStringLiteral("page %1 %2 at %3,%4 %5 high [%6]")
                                          .arg(b.Page + 1)
                                          .arg(b.Name)
                                          .arg(b.Left)
                                          .arg(b.Top)
                                          .arg(b.Height)
                                          .arg(b.Texts.join(QStringLiteral(" | ")));
            EXPECT_GE(b.Top, -0.01) << where.toStdString();
            if (!(tallRecords && b.Name == QLatin1String("Records")))
                EXPECT_LE(b.Top + b.Height, pageHeight + 0.01) << where.toStdString();
        }
        for (int n = 1; n <= count; ++n) EXPECT_EQ(seen[n], 1) << "r" << n;
        EXPECT_EQ(int(seen.size()), count);
        for (const auto &[place, has] : content)
            EXPECT_TRUE(has) << "page " << place.first << " column " << place.second << " holds only headers";
    }
    QString dump() { return lyrDumpPreparedPages(pages()); }

    std::unique_ptr<lyrprop::Table> table;
    std::vector<PrintedBand> bands;
    double pageHeight = 0, columnWidth = 0;
};

}  // namespace

// A record taller than a column holds below the page, column and repeated
// group headers goes on over the columns and pages as if it could split:
// every line once, nothing below the page; the column footers stay on it.
TEST_F(ColumnsTest, ABandTallerThanAnEmptyColumnGoesOnOverColumns)
{
    for (int columns : {2, 1}) {
        SCOPED_TRACE(testing::Message() << "page columns " << columns);
        newSheet(400, 200, columns);
        TlyrDataSet *ds = rows({"A", "A", "A"});
        named<TlyrPageHeader>("PageHeader1", 0);
        named<TlyrColumnHeader>("ColumnHeader1", 30);
        group(60);
        records(ds, 90, 12);
        named<TlyrColumnFooter>("ColumnFooter1", 150);
        named<TlyrPageFooter>("PageFooter1", 180);
        prepare();
        judge(3);
        std::map<QString, int> lines;
        for (const PrintedBand &b : bands)
            for (const QString &t : b.Texts)
                for (const QString &w : t.split(QRegularExpression(QStringLiteral("\\s+"))))
                    if (w.startsWith(QLatin1String("line"))) ++lines[w];
        for (int i = 1; i <= 12; ++i) EXPECT_EQ(lines[QStringLiteral("line%1").arg(i)], 3) << "line" << i;
        EXPECT_EQ(lines.size(), size_t(12)) << dump().toStdString();
    }
}

// Under a tall report title a record that no page column holds there, but a
// column of a new page does, goes to the new page at once, not through the
// title page's other columns.
TEST_F(ColumnsTest, UnderATallTitleABandNoColumnHoldsGoesToTheNextPage)
{
    newSheet(400, 200, 2);
    TlyrDataSet *ds = rows({"A", "A"});
    named<TlyrReportTitle>("Title1", 0, 80);
    named<TlyrColumnHeader>("ColumnHeader1", 90);
    group(120);
    records(ds, 150, 7);
    prepare();
    judge(2);
    EXPECT_EQ(recordPlaces().join(QLatin1Char(' ')).toStdString(), "2.1 2.2") << dump().toStdString();
}

// A split record that follows one ending near a column's bottom starts in
// the next column below the repeated header, not a page later.
TEST_F(ColumnsTest, SplitRecordsUnderARepeatedHeaderSkipNoColumn)
{
    for (int columns : {1, 2})
        for (int lines = 1; lines <= 30; ++lines) {
            SCOPED_TRACE(testing::Message() << "page columns " << columns << ", lines " << lines);
            newSheet(400, 200, columns);
            TlyrDataSet *ds = rows({"A", "A", "A"});
            named<TlyrColumnHeader>("ColumnHeader1", 30);
            group(60);
            records(ds, 90, lines)->SetAllowSplit(true);
            prepare();
            judge(3);
            if (HasFailure()) {
                ADD_FAILURE() << dump().toStdString();
                return;
            }
        }
}

// With the header kept with the first record and the footer with the last,
// split records in page columns under repeated and column headers: a kept
// footer takes along only the last record's part in the column it ended
// in, and nothing lands above the page.
TEST_F(ColumnsTest, KeptHeaderAndFooterWithSplitRecordsStayOnThePage)
{
    for (int columns : {1, 2, 3})
        for (int count : {1, 2, 3, 4})
            for (int lines : {6, 13, 20, 27}) {
                SCOPED_TRACE(testing::Message() << "page columns " << columns << ", records " << count << ", lines " << lines);
                newSheet(600, 200, columns);
                QStringList keys;
                for (int i = 0; i < count; ++i) keys << QStringLiteral("A");
                TlyrDataSet *ds = rows(keys);
                named<TlyrPageHeader>("PageHeader1", 0);
                named<TlyrColumnHeader>("ColumnHeader1", 30);
                named<TlyrHeader>("Header1", 60)->ReprintOnNewPage = true;
                TlyrMasterData *r = records(ds, 90, lines);
                r->SetAllowSplit(true);
                r->SetKeepHeader(true);
                r->SetKeepFooter(true);
                named<TlyrFooter>("Footer1", 120);
                named<TlyrColumnFooter>("ColumnFooter1", 150);
                prepare();
                // A moved block keeps the page numbers it was prepared with.
                judge(count, false, false);
                if (HasFailure()) {
                    ADD_FAILURE() << dump().toStdString();
                    return;
                }
            }
}

// A kept group that ran from one page column into the next and moves to a
// new page takes along what it printed in both; the column it began in
// ends with its footer below what stays there, the next is left empty.
TEST_F(ColumnsTest, AKeptBlockOverTwoColumnsLeavesTheFirstWithItsFooter)
{
    newSheet(400, 200, 2);
    TlyrDataSet *ds = rows({"A", "A", "A", "B", "B", "B", "B", "B", "B", "B", "B"});
    group(60)->KeepTogether = true;
    records(ds, 90, 0);
    named<TlyrColumnFooter>("ColumnFooter1", 150);
    prepare();
    // A moved block keeps the page numbers it was prepared with.
    judge(11, false, false);
    QStringList footers;
    for (const PrintedBand &b : bands)
        if (b.Name == QLatin1String("ColumnFooter1"))
            footers << QStringLiteral("%1:%2,%3").arg(b.Page + 1).arg(b.Left).arg(b.Top);
    EXPECT_EQ(footers.join(QLatin1Char(' ')).toStdString(), "1:0,128 2:0,164 2:200,164") << dump().toStdString();
    EXPECT_EQ(recordPlaces().join(QLatin1Char(' ')).toStdString(), "1.1 1.1 1.1 2.1 2.1 2.1 2.1 2.2 2.2 2.2 2.2");
}

// A kept block that does not fit what is left of its page column moves
// whole to the next column's top, below the headers repeated there: a
// record kept with its chain of two child bands, and a kept group with its
// records. Neither is cut between columns, and each column's footer counts
// only the records printed in it.
TEST_F(ColumnsTest, AKeptBlockThatAnEmptyColumnHoldsMovesWholeToTheNextColumn)
{
    for (bool grouped : {false, true}) {
        SCOPED_TRACE(grouped ? "kept group" : "record kept with two children");
        newSheet(400, 200, 2);
        TlyrDataSet *ds = rows({"A", "A", "A", "B", "B"});
        if (grouped) group(60)->KeepTogether = true;
        TlyrMasterData *r = records(ds, 90, 0);
        auto *cf = named<TlyrColumnFooter>("ColumnFooter1", 170);
        memo(cf, QStringLiteral("Totals"), QStringLiteral("cf:C[COUNT(Records)]"), 100, 80)->SetHeight(16);
        if (!grouped) {
            r->SetKeepChild(true);
            auto *c1 = named<TlyrChild>("Child1", 120, 16);
            auto *c2 = named<TlyrChild>("Child2", 140, 16);
            r->SetChild(c1);
            c1->SetChild(c2);
        }
        prepare();
        judge(5);
        // What each column holds, in order, by band name and record.
        std::map<int, QStringList> columns;
        QString record;
        for (const PrintedBand &b : bands) {
            if (b.Name == QLatin1String("Records")) record = b.Texts.value(0).section(QLatin1Char(' '), 0, 0);
            const QString name = b.Name == QLatin1String("Records") ? record : b.Name;
            columns[(b.Page) * 10 + column(b.Left)] << name;
        }
        // Records of 36 and two children of 16 take 68 each: two fit a
        // column of 180 below nothing, the third goes on in column 2.
        // A group of 20 and three records (128) fills column 1; the
        // next group (92) does not fit the 52 left.
        const QStringList first = grouped ? QStringList{"Group", "r1", "r2", "r3", "ColumnFooter1"}
                                          : QStringList{"r1", "Child1", "Child2", "r2", "Child1", "Child2", "ColumnFooter1"};
        const QStringList second = grouped ? QStringList{"Group", "r4", "r5", "ColumnFooter1"}
                                           : QStringList{"r3", "Child1", "Child2", "r4", "Child1", "Child2", "ColumnFooter1"};
        EXPECT_EQ(columns[1], first) << dump().toStdString();
        EXPECT_EQ(columns[2], second) << dump().toStdString();
        // Column totals count what the column shows.
        QStringList totals;
        for (const PrintedBand &b : bands)
            if (b.Name == QLatin1String("ColumnFooter1")) totals << b.Texts.filter(QStringLiteral("cf:")).join(QString());
        EXPECT_EQ(totals.value(0), grouped ? QStringLiteral("cf:C3") : QStringLiteral("cf:C2"));
        EXPECT_EQ(totals.value(1), QStringLiteral("cf:C2"));
    }
}

// Under a tall title a row of labels that no page column there holds (its
// second label is the taller) goes to the next page whole, not over the
// title page's other columns: every label once, inside the page, and no
// column left with only its header.
TEST_F(ColumnsTest, UnderATallTitleARowOfLabelsNoColumnHoldsGoesToTheNextPage)
{
    newSheet(300, 200, 3);
    TlyrDataSet *ds = rows({"short", "l1\nl2\nl3\nl4\nl5\nl6"});
    named<TlyrReportTitle>("Title1", 0, 100);
    named<TlyrColumnHeader>("ColumnHeader1", 110);
    labels(ds, 140, 45);
    named<TlyrColumnFooter>("ColumnFooter1", 180);
    prepare();
    judge(2);
    EXPECT_EQ(recordPlaces().join(QLatin1Char(' ')).toStdString(), "2.1 2.1") << dump().toStdString();
    EXPECT_EQ(pages().Count(), 2);
}

// Under a tall title a row of labels begun below the data header (or below
// a group header that stretched, shown again in every column) does not fit
// its column, and the next column, below the title and the headers it
// repeats, holds it no better: the row goes to the next page, not over the
// second column's footer.
TEST_F(ColumnsTest, UnderATallTitleARowBelowItsHeadersThatNoLaterColumnHoldsGoesToTheNextPage)
{
    for (const bool group : {false, true}) {
        SCOPED_TRACE(group ? "stretched group header" : "data header");
        newSheet(300, group ? 300 : 200, 2);
        TlyrDataSet *ds = rows({"short", "l1\nl2\nl3\nl4\nl5\nl6"});
        named<TlyrReportTitle>("Title1", 0, 100);
        named<TlyrColumnHeader>("ColumnHeader1", 110);
        if (group) {
            auto *g = band<TlyrGroupHeader>(QStringLiteral("GroupHeader1"), 130, 20);
            g->Condition = QStringLiteral("1");
            g->ReprintOnNewPage = true;
            g->SetStretched(true);
            memo(g, QStringLiteral("GroupText"), QStringLiteral("g1\ng2\ng3\ng4\ng5"), 0, 100)->SetStretchMode(smActualHeight);
        } else {
            named<TlyrHeader>("Header1", 130);
        }
        labels(ds, 160, 70);
        named<TlyrColumnFooter>("ColumnFooter1", 200);
        prepare();
        judge(2);
        EXPECT_EQ(recordPlaces().join(QLatin1Char(' ')).toStdString(), "2.1 2.1") << dump().toStdString();
    }
}
