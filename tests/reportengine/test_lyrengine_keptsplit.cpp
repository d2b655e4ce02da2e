// Keep blocks around bands that may split: a block that the next column
// holds whole moves there with the band uncut; one that no page holds
// stays where it began and the band splits from there, under the headers
// each page repeats.

#include "breaks_fixture.h"
#include "lyrproperty.h"

#include "report/lyrband.h"

namespace {

class KeptSplitTest : public BreaksTest {
protected:
    // A record band that may split, kept with its child: "r<N>" at its top,
    // "m<N>" at each of the given places below, and a child printing
    // "c<N>".
    TlyrMasterData *keptRecords(TlyrDataSet *ds, double top, double height, std::initializer_list<double> marks)
    {
        TlyrMasterData *r = records(ds, top, QStringLiteral(" p[Page#]"));
        r->SetHeight(height);
        r->SetAllowSplit(true);
        r->SetKeepChild(true);
        int i = 0;
        for (double at : marks) {
            TlyrMemoView *m = memo(r, QStringLiteral("Mark%1").arg(++i), QStringLiteral("m[Rows.\"N\"] p[Page#]"));
            m->SetTop(at);
            m->SetHeight(20);
        }
        auto *child = band<TlyrChild>(QStringLiteral("Child"), top + height + 40, 20);
        memo(child, QStringLiteral("ChildMemo"), QStringLiteral("c[Rows.\"N\"] p[Page#]"));
        r->SetChild(child);
        return r;
    }
    // Page and column (1 or 2 of a sheet 600 wide) of every memo whose text
    // starts so, in page order.
    QStringList cells(const QString &start)
    {
        QStringList out;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(start)) out << QStringLiteral("%1:%2").arg(i + 1).arg(p.Box.left() < 299 ? 1 : 2);
        return out;
    }
};

}  // namespace

// Two page columns 200 high. The first record and its child take 130; the
// second (110 high, its mark at 90) with its child does not fit below
// them, but an empty column holds both: it goes there uncut, and does not
// leave its top in the first column.
TEST_F(KeptSplitTest, ASplittableRecordGoesWithItsKeptChildToTheNextColumnWhenItHoldsBoth)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    keptRecords(rows.ds, 0, 110, {90});
    prepare();
    judge(2);
    expectOwnPageNumbers();
    EXPECT_EQ(cells(QStringLiteral("r2")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(cells(QStringLiteral("m2")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(cells(QStringLiteral("c2")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(places(0, QStringLiteral("r2")), QStringList{"r2 p1@300,0"}) << dump().toStdString();
}

// One column 200 high under a data header repeated on each page. Each
// record (300 high, marked every 90) with its child fits no page: the
// second begins right below the first one's child and splits over the
// pages after it, each of which shows the header above its part. No page
// holds the header alone.
TEST_F(KeptSplitTest, AKeptRecordTallerThanAPageSplitsWhereItBeginsUnderTheRepeatedHeader)
{
    newSheet();
    auto *header = band<TlyrHeader>(QStringLiteral("ListHead"), 0, 20);
    header->ReprintOnNewPage = true;
    memo(header, QStringLiteral("ListHeadMemo"), QStringLiteral("list p[Page#]"));
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    keptRecords(rows.ds, 40, 300, {90, 180, 270});
    prepare();
    judge(2);
    expectOwnPageNumbers();
    for (int i = 0; i < pages().Count(); ++i) {
        const QStringList t = texts(i);
        EXPECT_TRUE(t.contains(QStringLiteral("list p%1").arg(i + 1))) << "page " << i + 1 << "\n" << dump().toStdString();
        EXPECT_GT(t.size(), 1) << "page " << i + 1 << " holds the header alone\n" << dump().toStdString();
    }
    // The first record ends with its child on page 2; the second begins
    // right below it.
    double childBottom = -1, secondTop = -1;
    for (const Printed &p : printed(1)) {
        if (p.Text.startsWith(QLatin1String("c1"))) childBottom = p.Box.bottom();
        if (p.Text.startsWith(QLatin1String("r2"))) secondTop = p.Box.top();
    }
    EXPECT_GT(childBottom, 0) << dump().toStdString();
    EXPECT_NEAR(secondTop, childBottom, 0.01) << dump().toStdString();
}

// Two page columns 190 high; an outer group header (not kept) and an inner
// one kept with its records, both 10 high, over records 30 high: each
// record is its own group. The fourth inner group begins at 160 and its
// record does not fit: the kept group goes to the next column, though the
// outer header was placed right before it.
TEST_F(KeptSplitTest, AKeptGroupRightBelowItsOuterHeaderMovesToTheNextColumn)
{
    newSheet(2);
    page->SetPaperHeight(190 / lyrUnitsPerMM);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}, {"B", 1}, {"C", 1}, {"D", 1}, {"E", 1}}));
    auto *outer = band<TlyrGroupHeader>(QStringLiteral("Outer"), 0, 10);
    outer->Condition = QStringLiteral("Rows.\"G\"");
    memo(outer, QStringLiteral("OuterMemo"), QStringLiteral("o[Rows.\"G\"] p[Page#]"))->SetHeight(10);
    auto *inner = band<TlyrGroupHeader>(QStringLiteral("Inner"), 20, 10);
    inner->Condition = QStringLiteral("Rows.\"N\"");
    inner->KeepTogether = true;
    memo(inner, QStringLiteral("InnerMemo"), QStringLiteral("i[Rows.\"N\"] p[Page#]"))->SetHeight(10);
    TlyrMasterData *r = records(rows.ds, 40, QStringLiteral(" p[Page#]"));
    r->SetHeight(30);
    prepare();
    judge(5);
    expectOwnPageNumbers();
    EXPECT_EQ(cells(QStringLiteral("i4")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(cells(QStringLiteral("r4")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(places(0, QStringLiteral("i4")), QStringList{"i4 p1@300,0"}) << dump().toStdString();
}

// Two page columns 200 high; groups of two records kept together, each
// record listing three rows of a subreport beside it (60 high a record).
// The second group begins at 140: its first record's subreport breaks the
// column. An empty column holds the group: it moves there whole, the
// subreport going on below its rows there.
TEST_F(KeptSplitTest, AKeptGroupMovesToTheNextColumnWhenItsSubreportBreaksIt)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}, {"B", 2}}));
    GroupedRows side(report.get(), &keeper, QStringLiteral("Side"), GroupedRows::runs({{"S", 3}}));
    group(0, QStringLiteral(" p[Page#]"))->KeepTogether = true;
    TlyrMasterData *r = records(rows.ds, 40, QStringLiteral(" p[Page#]"));
    r->Objects().first()->SetWidth(100);
    sideReport(r, QStringLiteral("SideList"), side.ds, 100, QStringLiteral("s[Rows.\"N\"]."));
    prepare();
    judge(4);
    expectOwnPageNumbers();
    EXPECT_EQ(cells(QStringLiteral("gB")), QStringList{"1:2"}) << dump().toStdString();
    EXPECT_EQ(cells(QStringLiteral("s3.")), (QStringList{"1:2", "1:2", "1:2"})) << dump().toStdString();
    EXPECT_EQ(places(0, QStringLiteral("gB")), QStringList{"gB p1@300,0"}) << dump().toStdString();
    EXPECT_EQ(places(0, QStringLiteral("s3.")), (QStringList{"s3.1@400,20", "s3.2@400,40", "s3.3@400,60"}))
            << dump().toStdString();
}

// Reduced generated templates: the keep rule and every other rule hold.
TEST_F(KeptSplitTest, GeneratedKeptBlocksAroundSplitBandsKeepEveryRule)
{
    const char *cases[] = {
            // A split record kept with its child, taller than a page, under
            // a data header shown again.
            "paper 209x89.0832854879 margin 5 pagecols 1 records 2 mastercols 1 height 16 title colheader header "
            "reprint split child keepchild tall 10 overlay 0 sub 0/0 detail 0 words 398 groups []",
            "paper 168x120.358258831 margin 0 pagecols 2 records 12 mastercols 1 height 16 title colfooter split "
            "child keepchild chain 1 tall 7 overlay 0 sub 0/0 detail 2 words 259 groups [{size 2 reprint}]",
            // One the next column holds whole.
            "paper 148x184 margin 0 pagecols 2 records 2 mastercols 1 height 16 split child keepchild overlay 0 "
            "sub 0/0 detail 0 words 112 groups []",
            // A kept inner group right below its outer header.
            "paper 104x216.283318296 margin 0 pagecols 2 records 6 mastercols 1 height 40 dset subdetail 2 overlay "
            "0 sub 0/0 detail 3 words 0 groups [{size 1} {size 1 keep}]",
            // A kept crossed row goes on in width.
            "paper 137x130 margin 2 pagecols 1 records 50 mastercols 1 height 40 twopass pageheader pagefooter "
            "colfooter header child keepchild dset dgroup ifdetailempty pftotals cftotals cross 15/77 overlay 0 sub "
            "0/0 detail 1 words 0 groups []",
    };
    for (const char *line : cases) {
        const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
            ADD_FAILURE() << line << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}
