// Where bands land when subreports, split headers and page columns meet:
// nothing is placed over anything else, nor outside its page, and records
// are read in their order.

#include "breaks_fixture.h"
#include "lyrproperty.h"

namespace {

class PlacesTest : public BreaksTest {
protected:
    // A subreport object in band b at (left, top) whose own page lists the
    // rows as "<prefix><N>", one 20 high band per row; returns that band.
    TlyrMasterData *subreport(TlyrBand *b, const QString &name, TlyrDataSet *ds, double left, double top,
                              const QString &prefix)
    {
        return records(ds, 0, {}, subreportObject(b, name, left, top, 200, 16)->SubPage(), prefix);
    }
    // The tops of the memos on page i whose text starts so.
    std::string tops(int i, const QString &start)
    {
        QStringList out;
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(start)) out << QString::number(p.Box.top());
        return out.join(QLatin1Char(' ')).toStdString();
    }
    // A group header repeated on new pages and columns that splits, 160
    // high with its nine lines ("line1".."line9"), over records 50 high.
    TlyrMasterData *splitHeaderOverTallRecords(TlyrDataSet *ds)
    {
        TlyrGroupHeader *g = group(30);
        g->ReprintOnNewPage = true;
        g->SetAllowSplit(true);
        g->SetStretched(true);
        QStringList lines;
        for (int i = 1; i <= 9; ++i) lines << QStringLiteral("line%1").arg(i);
        TlyrMemoView *text = memo(g, QStringLiteral("GroupText"), lines.join(QLatin1Char('\n')));
        text->SetTop(20);
        text->SetStretchMode(smActualHeight);
        TlyrMasterData *master = records(ds, 60);
        master->SetHeight(50);
        master->Objects().first()->SetHeight(50);
        return master;
    }
    // Every pair of printed bands with objects that cover one another.
    std::string overlaps()
    {
        QStringList out;
        const std::vector<lyrprop::PrintedBand> bands = lyrprop::printedBands(pages());
        for (size_t i = 0; i < bands.size(); ++i)
            for (size_t j = i + 1; j < bands.size(); ++j) {
                const lyrprop::PrintedBand &a = bands[i], &b = bands[j];
                if (a.Page != b.Page || a.SpanRight < a.SpanLeft || b.SpanRight < b.SpanLeft) continue;
                if (a.Top < b.Top + b.Height - 0.5 && b.Top < a.Top + a.Height - 0.5 && a.SpanLeft < b.SpanRight - 0.5 &&
                    b.SpanLeft < a.SpanRight - 0.5)
                    out << QStringLiteral("page %1: %2 at %3 and %4 at %5")
                                   .arg(a.Page + 1)
                                   .arg(a.Name)
                                   .arg(a.Top)
                                   .arg(b.Name)
                                   .arg(b.Top);
            }
        return out.join(QStringLiteral("; ")).toStdString();
    }
};

}  // namespace

// A subreport nested in a subreport whose rows break the page runs under
// two hosts: the column footer goes below the lower of them, the master
// band, not below the inner subreport's band.
TEST_F(PlacesTest, AColumnBrokenInANestedSubreportEndsBelowTheOuterHost)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 1}}));
    GroupedRows nestRows(report.get(), &keeper, QStringLiteral("Nest"), GroupedRows::runs({{"A", 9}}));
    memo(band<TlyrColumnFooter>("ColumnFooter1", 150, 20), "CF", "cf");
    TlyrMasterData *master = records(rows.ds, 60);
    master->SetHeight(170);
    TlyrMasterData *inner = subreport(master, QStringLiteral("Sub1"), subRows.ds, 300, 2, QStringLiteral("s"));
    subreport(inner, QStringLiteral("Nest1"), nestRows.ds, 0, 20, QStringLiteral("n"));
    prepare();
    judge(1);
    judge(9, QStringLiteral("n"));
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    EXPECT_EQ(places(0, "cf").join(' ').toStdString(), "cf@0,170");
}

// A kept group that the first of two side-by-side subreports moves to a
// new page takes its band along: the second subreport runs beside the band
// on the new page, not from the band's old place.
TEST_F(PlacesTest, SideBySideSubreportsFollowTheirBandWhenItsKeptBlockMoves)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}, {"B", 2}}));
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 2}}));
    GroupedRows sideRows(report.get(), &keeper, QStringLiteral("Side"), GroupedRows::runs({{"A", 2}}));
    group(30)->KeepTogether = true;
    TlyrMasterData *master = records(rows.ds, 60);
    subreport(master, QStringLiteral("Sub1"), subRows.ds, 200, 2, QStringLiteral("s"));
    subreport(master, QStringLiteral("Side1"), sideRows.ds, 400, 2, QStringLiteral("t"));
    prepare();
    judge(5);
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(texts(1).mid(0, 2).join(' ').toStdString(), "gB r4");
    // Each sub-record beside its twin, at the same height.
    for (int i = 0; i < pages().Count(); ++i) EXPECT_EQ(tops(i, "s"), tops(i, "t")) << i;
}

// A split group header printed again at the top of each new column leaves
// room for the record that moved there: it is cut above that record, which
// never runs off the page for the header it repeats.
TEST_F(PlacesTest, ARepeatedSplitHeaderIsCutAboveTheRecordThatMovedToItsColumn)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    splitHeaderOverTallRecords(rows.ds);
    prepare();
    judge(2);
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(places(0, "r").join(' ').toStdString(), "r1@300,150");
    EXPECT_EQ(places(1, "r").join(' ').toStdString(), "r2@0,150");
    // Shown again from its first line, without the last.
    for (int i = 0; i < 2; ++i) {
        const QStringList repeat = texts(i).filter(QStringLiteral("line1")).mid(i == 0 ? 1 : 0);
        ASSERT_EQ(repeat.size(), 1) << dump().toStdString();
        EXPECT_FALSE(repeat.first().contains(QLatin1String("line9"))) << dump().toStdString();
    }
}

// The last record of a list in columns that goes to the next page with the
// footer it is kept with keeps its column there; the footer stays at the
// page's left.
TEST_F(PlacesTest, ARecordKeptWithTheFooterKeepsItsColumnOnTheNextPage)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 29}}));
    TlyrMasterData *master = records(rows.ds, 60);
    master->SetColumns(3);
    master->SetColumnWidth(196);
    master->SetColumnGap(4);
    master->SetKeepFooter(true);
    memo(band<TlyrFooter>("Footer1", 90, 20), "FooterMemo", "foot");
    prepare();
    judge(29);
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(places(1, "").join(' ').toStdString(), "r29@200,0 foot@0,20");
}

// The second of two side-by-side subreports goes back to the page its band
// is on after the first went on to the next one: its next column starts
// below that page's own headers, not below the next page's.
TEST_F(PlacesTest, ASubreportBesideAnotherBreaksItsColumnBelowItsOwnPagesHeaders)
{
    newSheet();
    page->SetPaperWidth(1200 / lyrUnitsPerMM);
    page->SetColumns(2);
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 20}}));
    GroupedRows sideRows(report.get(), &keeper, QStringLiteral("Side"), GroupedRows::runs({{"A", 20}}));
    memo(band<TlyrReportTitle>("Title1", 0, 20), "TitleMemo", "Title");
    memo(band<TlyrPageHeader>("PageHeader1", 30, 20), "PH", "head");
    auto *summary = band<TlyrReportSummary>("Summary1", 60, 20);
    subreport(summary, QStringLiteral("Sub1"), subRows.ds, 0, 2, QStringLiteral("s"));
    subreport(summary, QStringLiteral("Side1"), sideRows.ds, 300, 2, QStringLiteral("t"));
    prepare();
    judge(20, QStringLiteral("s"));
    judge(20, QStringLiteral("t"));
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(tops(i, "s"), tops(i, "t")) << i;
}

// A record kept with its child that breaks the page before any of it is
// printed, and again for its child, finds room below the header the new
// page repeats: for itself first, then for itself and its child.
TEST_F(PlacesTest, AKeptRecordFindsRoomBelowTheHeaderItsPageRepeats)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 2}}));
    TlyrMasterData *master = splitHeaderOverTallRecords(rows.ds);
    master->SetKeepChild(true);
    auto *child = band<TlyrChild>("Child1", 200, 16);
    memo(child, "ChildMemo", "c[Rows.\"N\"]");
    master->SetChild(child);
    prepare();
    judge(2);
    judge(2, QStringLiteral("c"));
    EXPECT_EQ(overlaps(), "") << dump().toStdString();
    // Each record right above its child.
    for (int i = 0; i < pages().Count(); ++i) {
        const std::vector<Printed> all = printed(i);
        for (const Printed &r : all)
            if (r.Text.startsWith(QLatin1Char('r')))
                for (const Printed &c : all)
                    if (c.Text == QLatin1Char('c') + r.Text.mid(1)) EXPECT_EQ(c.Box.top(), r.Box.bottom()) << i;
    }
}
