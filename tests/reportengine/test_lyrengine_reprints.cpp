// Headers printed again on a new page or column: what their subreports list
// belongs to the place the header was first shown, so it is printed once.

#include "breaks_fixture.h"
#include "lyrproperty.h"

namespace {

class ReprintTest : public BreaksTest {
protected:
    // A subreport object in band b whose own page lists the rows as
    // "s<N>", one 20 high band per row.
    TlyrSubreport *subreport(TlyrBand *b, TlyrDataSet *ds, double left)
    {
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(QStringLiteral("SubPage"));
        subPage->SetParent(report.get());
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(QStringLiteral("Sub"));
        sub->SetParent(b);
        sub->SetBounds(left, 2, 200, 16);
        sub->SetSubPage(subPage);
        records(ds, 0, {}, subPage, QStringLiteral("s"));
        return sub;
    }
    // "text*n": how often each text starting with prefix is printed, over
    // all pages.
    QStringList counts(const QString &prefix)
    {
        std::map<QString, int> seen;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.startsWith(prefix)) ++seen[p.Text.section(QLatin1Char(' '), 0, 0)];
        QStringList out;
        for (const auto &[text, n] : seen) out << QStringLiteral("%1*%2").arg(text).arg(n);
        return out;
    }
};

}  // namespace

// A group header that is reprinted over several pages and columns, whether
// it may split or not, with an ordinary or a print-on-parent subreport:
// the sub-records are printed once, under the header's first showing.
TEST_F(ReprintTest, AReprintedHeaderPrintsItsSubreportOnce)
{
    for (int columns : {1, 2})
        for (bool split : {false, true})
            for (bool onParent : {false, true}) {
                SCOPED_TRACE(testing::Message() << "columns " << columns << (split ? ", may split" : "")
                                                << (onParent ? ", on parent" : ""));
                newSheet(columns);
                GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 20}}));
                GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 2}}));
                TlyrGroupHeader *g = group(30);
                g->SetHeight(44);
                g->ReprintOnNewPage = true;
                g->SetAllowSplit(split);
                g->SetStretched(true);
                subreport(g, subRows.ds, 100)->SetPrintOnParent(onParent);
                for (TlyrComponent *c : g->Objects())
                    if (auto *m = qobject_cast<TlyrMemoView *>(c)) m->SetWidth(90);
                records(rows.ds, 80)->Objects().first()->SetWidth(90);
                ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
                judge(20);
                ASSERT_GE(pages().Count(), 2);
                // The header is shown again above each later page column.
                const QStringList headers = counts(QStringLiteral("gA"));
                ASSERT_EQ(headers.size(), 1);
                EXPECT_GE(headers[0].section(QLatin1Char('*'), 1).toInt(), 3);
                EXPECT_EQ(counts(QStringLiteral("s")), (QStringList{"s1*1", "s2*1"})) << dump().toStdString();
                if (HasFailure()) return;
            }
}

// A kept group that does not fit below its page's data header moves to the
// next page only when it fits there below the headers that page repeats;
// otherwise it stays and the page its records go on to shows them again.
// (The page header, left off the first page, takes more room than the data
// header took there.)
TEST_F(ReprintTest, AKeptGroupMovesOnlyWithTheHeadersShownAgainAboveIt)
{
    for (bool groupAgain : {false, true}) {
        SCOPED_TRACE(groupAgain ? "group header shown again too" : "data header only");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}, {"B", 8}, {"C", 3}}));
        auto *ph = band<TlyrPageHeader>("PageHeader1", 0, 50);
        ph->PrintOnFirstPage = false;
        memo(ph, "PH", "head");
        auto *header = band<TlyrHeader>("Header1", 60, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "titles");
        TlyrGroupHeader *g = group(90);
        g->KeepTogether = true;
        g->ReprintOnNewPage = groupAgain;
        records(rows.ds, 120);
        prepare();
        judge(12);
        ASSERT_GE(pages().Count(), 2);
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            const QStringList t = texts(i);
            const bool hasRecords = std::any_of(t.begin(), t.end(), [](const QString &s) { return s.startsWith('r'); });
            if (hasRecords) EXPECT_EQ(t.count(QStringLiteral("titles")), 1) << dump().toStdString();
            // Records 2 to 9 are group B's.
            const bool ofB = std::any_of(t.begin(), t.end(), [](const QString &s) {
                const int n = s.mid(1).toInt();
                return s.startsWith('r') && n >= 2 && n <= 9;
            });
            if (ofB && groupAgain) EXPECT_TRUE(t.contains(QStringLiteral("gB")));
        }
    }
}

// A kept inner group whose footer breaks the page moves to the next page
// with its records: the outer group's header, shown again on new pages,
// heads them there although the group closed with that footer.
TEST_F(ReprintTest, AKeptGroupMovedByItsFooterKeepsItsOuterHeaderAbove)
{
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}, {"B", 2}}));
        auto *outer = band<TlyrGroupHeader>(QStringLiteral("Outer"), 10, 20);
        outer->Condition = QStringLiteral("Rows.\"G\"");
        outer->ReprintOnNewPage = true;
        memo(outer, QStringLiteral("OuterMemo"), QStringLiteral("g[Rows.\"G\"]"));
        auto *inner = band<TlyrGroupHeader>(QStringLiteral("Inner"), 40, 20);
        inner->Condition = QStringLiteral("Rows.\"G\"");
        inner->KeepTogether = true;
        memo(inner, QStringLiteral("InnerMemo"), QStringLiteral("k[Rows.\"G\"]"));
        records(rows.ds, 70);
        memo(band<TlyrGroupFooter>(QStringLiteral("InnerFoot"), 100, 20), QStringLiteral("InnerFootMemo"),
             QStringLiteral("f[Rows.\"G\"]"));
        prepare();
        judge(5);
        // Group B's records r4 and r5 and its footer moved on together.
        int at = -1;
        for (int i = 0; i < pages().Count(); ++i)
            if (texts(i).contains(QStringLiteral("r4"))) at = i;
        ASSERT_GE(at, 0);
        const QStringList t = texts(at);
        EXPECT_TRUE(t.contains(QStringLiteral("r5")) && t.contains(QStringLiteral("fB"))) << dump().toStdString();
        // (In columns the outer header may also end the column the group
        // left: the one shown again heads the group.)
        EXPECT_EQ(t.mid(t.lastIndexOf(QStringLiteral("gB")), 3), (QStringList{"gB", "kB", "r4"})) << dump().toStdString();
    }
}

// A footer kept with the last record takes it, and the group footer after
// it, to the next page: the group's header, shown again on new pages, heads
// them there.
TEST_F(ReprintTest, ALastRecordKeptWithTheFooterKeepsItsGroupHeaderAbove)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 8}}));
    group(10)->ReprintOnNewPage = true;
    records(rows.ds, 40)->SetKeepFooter(true);
    memo(band<TlyrGroupFooter>(QStringLiteral("GroupFoot"), 70, 20), QStringLiteral("GroupFootMemo"), QStringLiteral("end"));
    memo(band<TlyrFooter>(QStringLiteral("Foot"), 100, 20), QStringLiteral("FootMemo"), QStringLiteral("total"));
    prepare();
    judge(8);
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    EXPECT_EQ(texts(1), (QStringList{"gA", "r8", "end", "total"})) << dump().toStdString();
}

// An outer group header that may split, shown again in a new column with an
// inner one below it: it is cut so that the inner header fits above the
// record that moved there too.
TEST_F(ReprintTest, ARepeatedHeaderThatMaySplitLeavesRoomForTheHeadersBelowIt)
{
    newSheet(2);
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
    auto *outer = band<TlyrGroupHeader>(QStringLiteral("Outer"), 10, 170);
    outer->Condition = QStringLiteral("Rows.\"G\"");
    outer->ReprintOnNewPage = true;
    outer->SetAllowSplit(true);
    memo(outer, QStringLiteral("OuterMemo"), QStringLiteral("g[Rows.\"G\"]"))->SetHeight(20);
    memo(outer, QStringLiteral("OuterBody"), QStringLiteral("about the group"))->SetBounds(0, 20, 200, 150);
    auto *inner = band<TlyrGroupHeader>(QStringLiteral("Inner"), 200, 20);
    inner->Condition = QStringLiteral("Rows.\"G\"");
    inner->ReprintOnNewPage = true;
    memo(inner, QStringLiteral("InnerMemo"), QStringLiteral("k[Rows.\"G\"]"));
    records(rows.ds, 230);
    prepare();
    judge(3);
    // Every column that holds a record shows both headers above it.
    for (int i = 0; i < pages().Count(); ++i)
        for (double left : {0.0, 300.0}) {
            QStringList column;
            for (const Printed &p : printed(i))
                if (p.Box.left() >= left && p.Box.left() < left + 300) column << p.Text;
            if (!std::any_of(column.begin(), column.end(), [](const QString &t) { return t.startsWith('r'); })) continue;
            EXPECT_TRUE(column.contains(QStringLiteral("gA")) && column.contains(QStringLiteral("kA")))
                    << "page " << i + 1 << " column at " << left << "\n" << dump().toStdString();
        }
}

// Reduced generated templates of headers not shown again where their
// records went.
TEST_F(ReprintTest, GeneratedTemplatesShowTheirHeadersAgainWhereTheirRecordsGo)
{
    const char *cases[] = {
            // A kept group whose tall record ran over the page's columns moved
            // to the next page when its inner group's footer did not fit: laid
            // out over the columns there, each part is headed by the inner
            // header, although that group closed before the block moved.
            "paper 205x192 margin 0 pagecols 3 records 3 mastercols 1 height 16 title pageheader colheader colfooter "
            "child chain 1 tall 3 overlay 0 sub 0/0 detail 0 words 0 groups [{size 1 keep} {size 1 reprint footer}]",
            // A record too tall for a column below the data header goes to
            // the next column whole, without the header above it.
            "paper 117x171 margin 0 pagecols 2 records 1 mastercols 1 height 16 header reprint overlay 0 sub 0/0 "
            "detail 0 words 148 groups []",
            // So does a group header holding the rows of a print-on-parent
            // subreport.
            "paper 113x171 margin 0 pagecols 1 records 1 mastercols 1 height 16 pageheader colheader colfooter header "
            "reprint subpop overlay 0 sub 4/32 detail 0 words 0 groups [{size 1}]",
            // Or an inner group's header, where the outer one still fits.
            "paper 90x79.0832854879 margin 0 pagecols 2 records 1 mastercols 1 height 16 overlay 0 sub 0/0 detail 0 "
            "words 48 groups [{size 1 reprint} {size 1 reprint}]",
            // Kept outer groups laid out again over a new page's columns: each
            // part shows the header of the inner group its records belong to,
            // as printed, though that group closed inside the block (and a
            // later run of it may be open by then).
            "paper 205x192 margin 0 pagecols 3 records 4 mastercols 1 height 16 title pageheader colheader colfooter "
            "child chain 1 tall 3 overlay 0 sub 0/0 detail 0 words 0 groups [{size 2 keep} {size 1 reprint}]",
            "paper 133x107.308271134 margin 3 pagecols 3 records 16 mastercols 1 height 16 pageheader colheader "
            "header reprint footer dset dgroup ifdetailempty overlay 0 sub 0/0 detail 2 words 1 groups [{size 10 keep} "
            "{size 1 reprint}]",
            "paper 192x126 margin 0 pagecols 3 records 5 mastercols 1 height 16 colfooter tall 4 overlay 0 sub 0/0 "
            "detail 0 words 0 groups [{size 3 keep} {size 1 reprint}]",
            "paper 92x104.483269084 margin 0 pagecols 3 records 7 mastercols 1 height 16 footer dset tall 12 subdetail 2 "
            "overlay 0 sub 0/0 detail 1 words 56 groups [{size 4 keep} {size 1 reprint footer}]",
            "paper 167x107 margin 0 pagecols 3 records 17 mastercols 1 height 40 pagefooter header reprint footer gsplit "
            "dheader swords 9 overlay 0 sub 0/0 detail 1 words 0 groups [{size 11 keep} {size 1 reprint}]",
            "paper 142x131 margin 7 pagecols 3 records 14 mastercols 1 height 16 child keepchild csplit chain 2 swords 30 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 10 keep} {size 1 reprint}]",
            // A kept record with its child moved to a new page over its columns:
            // each column shows the data header again above its part, the room
            // of what broke the page is not kept below the parts before it.
            "paper 198x107.549946686 margin 10 pagecols 3 records 4 mastercols 1 height 16 pageheader pagefooter "
            "colfooter header reprint child keepchild gsplit csplit swords 78 tall 2 overlay 0 sub 0/0 detail 0 "
            "words 0 groups [{size 3 footer}]",
            // A group header whose nested subreport runs on to the next page
            // heads the rows it goes on with there, and the group's record.
            "paper 127x91.3166160872 margin 4 pagecols 1 records 3 mastercols 1 height 16 title pagefooter colfooter "
            "subnested overlay 0 sub 4/1 detail 0 words 19 groups [{size 1 reprint}]",
            // A footer whose subreport's rows fill a page leaves no room for
            // the data header above it; the record below it goes without.
            "paper 110x108.716599683 margin 0 pagecols 1 records 2 mastercols 1 height 16 colfooter header reprint "
            "footer subpop overlay 0 sub 6/21 detail 1 words 0 groups []",
            // A split record's later part, pasted with its kept group onto a page
            // whose page header the first page did not show, fills the column:
            // no room for the group header above it.
            "paper 199x95.5499466865 margin 0 pagecols 2 records 5 mastercols 1 height 16 pageheader phnotfirst tall 5 "
            "overlay 0 sub 0/0 detail 0 words 0 groups [{size 1 keep reprint}]",
            // As generated.
            "paper 90x148 margin 0 pagecols 3 records 40 mastercols 1 height 16 twopass title pageheader pagefooter "
            "summary footer split subpop popstretch keepheader gsplit tsplit phnotfirst page2 onprevious reset2 "
            "title2 header2 footer2 swords 14 records2 25 tall 2 overlay 1 sub 3/216 detail 0 words 11 groups "
            "[{size 6} {size 2 keep reprint footer}]",
            // A kept group moved to the next column while its inner header was
            // being shown, then over a new page's columns: the later part of
            // a split record there is headed by that inner header too.
            "paper 167x122 margin 10 pagecols 3 records 17 mastercols 1 height 16 title colheader colfooter child "
            "overlay 0 sub 0/0 detail 0 words 75 groups [{size 5 keep footer} {size 2 reprint}]",
    };
    // (Every rule, none forgiven.)
    for (const char *line : cases) {
        const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
            ADD_FAILURE() << line << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}

// A record whose text splits, begun at the foot of the first page column
// under a title that reaches far down: its name fits there, its text goes on
// below the data header shown again, in the next column where a line fits
// below it (the text's own line, which may be less than the usual one),
// else on the next page. No part of it stands in a column without the
// header above it.
TEST_F(ReprintTest, ASplitRecordGoesOnBelowTheHeaderShownAgain)
{
    // The room below the header: a line fits in the first case only.
    for (double room : {19.0, 16.2}) {
        SCOPED_TRACE(testing::Message() << room << " below the header");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 1}}));
        auto *title = band<TlyrReportTitle>("Title", 0, 200 - 20 - room);
        memo(title, "TitleMemo", "title", 0, 100);
        auto *header = band<TlyrHeader>("Head", 200, 20);
        header->ReprintOnNewPage = true;
        memo(header, "HeadMemo", "hdr", 0, 100);
        TlyrMasterData *master = records(rows.ds, 240);
        master->SetHeight(32);
        master->Objects().first()->SetHeight(16);
        master->SetAllowSplit(true);
        master->SetStretched(true);
        QStringList lines;
        for (int i = 1; i <= 6; ++i) lines << QStringLiteral("line%1").arg(i);
        TlyrMemoView *text = memo(master, "Text", lines.join(QLatin1Char('\n')), 0, 200);
        text->SetTop(16);
        text->SetHeight(16);
        text->SetStretchMode(smActualHeight);
        prepare();
        judge(1);
        // Each page column holding lines has the header at its top, above
        // them.
        std::map<std::pair<int, int>, std::pair<double, double>> heads, firstLines;
        int printedLines = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i)) {
                const std::pair<int, int> at{i, p.Box.left() < 299 ? 1 : 2};
                if (p.Text == QLatin1String("hdr")) heads[at] = {p.Box.top(), p.Box.bottom()};
                if (!p.Text.startsWith(QLatin1String("line"))) continue;
                printedLines += int(p.Text.count(QLatin1String("line")));
                if (!firstLines.count(at)) firstLines[at] = {p.Box.top(), p.Box.bottom()};
            }
        EXPECT_EQ(printedLines, 6) << dump().toStdString();
        for (const auto &[at, box] : firstLines) {
            SCOPED_TRACE(testing::Message() << "page " << at.first + 1 << " column " << at.second);
            ASSERT_TRUE(heads.count(at)) << dump().toStdString();
            EXPECT_LE(heads[at].second, box.first + 0.01) << dump().toStdString();
        }
        // Where a line fits, the text goes on in the second column.
        if (room > 18) EXPECT_TRUE(firstLines.count({0, 2})) << dump().toStdString();
        if (HasFailure()) return;
    }
}
