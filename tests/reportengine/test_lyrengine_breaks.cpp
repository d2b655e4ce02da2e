// Where page and column breaks meet keep blocks, page columns, subreports
// and repeated headers: every record reaches the paper once, inside its
// page, over no other object, with the page number and counter of the place
// it is printed at.

#include "engine_fixture.h"

#include "report/lyrdbset.h"
#include "report/lyrview.h"

#include <QRectF>

#include <map>

namespace {

// Records numbered from 1 ("N") in groups ("G"): the group keys are given
// per record.
class GroupedRows {
public:
    GroupedRows(TlyrReport *report, QObject *owner, const QString &name, QStringList keys) : keys_(std::move(keys))
    {
        ds = new TlyrUserDataSet(owner);
        ds->SetName(name);
        ds->SetFields({QStringLiteral("G"), QStringLiteral("N")});
        ds->OnFirst = [this](TlyrDataSet *) { at_ = 0; };
        ds->OnNext = [this](TlyrDataSet *) { ++at_; };
        ds->OnPrior = [this](TlyrDataSet *) { at_ = std::max<qsizetype>(at_ - 1, 0); };
        ds->OnCheckEOF = [this](TlyrDataSet *, bool &eof) { eof = at_ >= keys_.size(); };
        ds->OnGetValue = [this](const QString &f, KsValue &v) {
            if (at_ >= keys_.size()) return;
            v = f == QLatin1String("G") ? KsValue(keys_[at_]) : KsValue(QString::number(at_ + 1));
        };
        report->Datasets()->Add(ds);
    }
    // n records of each key, in order.
    static QStringList runs(std::initializer_list<std::pair<const char *, int>> groups)
    {
        QStringList out;
        for (const auto &[key, n] : groups)
            for (int i = 0; i < n; ++i) out << QLatin1String(key);
        return out;
    }
    TlyrUserDataSet *ds;

private:
    QStringList keys_;
    qsizetype at_ = 0;
};

// A memo as printed: its text and its place on the page.
struct Printed {
    QString Text;
    QRectF Box;
};

class BreaksTest : public EngineFixture {
protected:
    // An empty report of one page 600 x 200 units, without margins: two
    // page columns are 300 wide.
    void newSheet(int columns = 0)
    {
        newReport();
        page->SetPaperSize(lyrCustomPaper);
        for (auto set : {&TlyrReportPage::SetTopMargin, &TlyrReportPage::SetBottomMargin,
                         &TlyrReportPage::SetLeftMargin, &TlyrReportPage::SetRightMargin})
            (page->*set)(0);
        page->SetPaperWidth(600 / lyrUnitsPerMM);
        page->SetPaperHeight(200 / lyrUnitsPerMM);
        if (columns) page->SetColumns(columns);
    }
    // A data band 20 high over the rows (on the page given), printing
    // "<prefix><N>" and what follows.
    TlyrMasterData *records(TlyrDataSet *ds, double top, const QString &more = {}, TlyrComponent *parent = nullptr,
                            const QString &prefix = QStringLiteral("r"))
    {
        auto *b = band<TlyrMasterData>(QStringLiteral("Records") + ds->Name(), top, 20, parent);
        b->SetDataSet(ds);
        memo(b, b->Name() + QStringLiteral("Memo"), prefix + QStringLiteral("[%1.\"N\"]").arg(ds->Name()) + more);
        return b;
    }
    // A group header over the rows' "G" printing "g<G>" and what follows.
    TlyrGroupHeader *group(double top, const QString &more = {})
    {
        auto *g = band<TlyrGroupHeader>(QStringLiteral("Group"), top, 20);
        g->Condition = QStringLiteral("Rows.\"G\"");
        memo(g, QStringLiteral("GroupMemo"), QStringLiteral("g[Rows.\"G\"]") + more);
        return g;
    }
    // Every memo on page i, in page order.
    std::vector<Printed> printed(int i)
    {
        std::vector<Printed> out;
        TlyrReportPage *p = pages().GetPage(i);
        if (!p) return out;
        for (TlyrComponent *b : p->Objects())
            for (TlyrComponent *c : b->Objects())
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(c))
                    out.push_back({m->GetText(),
                                   QRectF(b->Left() + m->Left(), b->Top() + m->Top(), m->Width(), m->Height())});
        return out;
    }
    QStringList texts(int i)
    {
        QStringList out;
        for (const Printed &p : printed(i)) out << p.Text;
        return out;
    }
    // "text@left,top" of every memo on page i whose text starts so.
    QStringList places(int i, const QString &start)
    {
        QStringList out;
        for (const Printed &p : printed(i))
            if (p.Text.startsWith(start))
                out << QStringLiteral("%1@%2,%3").arg(p.Text).arg(p.Box.left()).arg(p.Box.top());
        return out;
    }
    // Every record "<prefix><n>" (followed by nothing or a blank) from 1 to
    // count is printed exactly once; every memo lies inside its page and
    // over no other.
    void judge(int count, const QString &prefix = QStringLiteral("r"))
    {
        std::map<int, int> seen;
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(testing::Message() << "page " << i + 1);
            TlyrReportPage *p = pages().GetPage(i);
            ASSERT_NE(p, nullptr);
            const QRectF paper(0, 0, (p->PaperWidth() - p->LeftMargin() - p->RightMargin()) * lyrUnitsPerMM,
                               (p->PaperHeight() - p->TopMargin() - p->BottomMargin()) * lyrUnitsPerMM);
            const std::vector<Printed> all = printed(i);
            for (size_t a = 0; a < all.size(); ++a) {
                const Printed &m = all[a];
                EXPECT_TRUE(paper.adjusted(-0.01, -0.01, 0.01, 0.01).contains(m.Box))
                        << m.Text.toStdString() << " at " << m.Box.left() << "," << m.Box.top();
                for (size_t b = a + 1; b < all.size(); ++b) {
                    const QRectF both = m.Box.intersected(all[b].Box);
                    EXPECT_FALSE(both.width() > 0.01 && both.height() > 0.01)
                            << m.Text.toStdString() << " over " << all[b].Text.toStdString() << " at "
                            << all[b].Box.left() << "," << all[b].Box.top();
                }
                if (!m.Text.startsWith(prefix)) continue;
                bool ok = false;
                const int n = m.Text.mid(prefix.size()).section(QLatin1Char(' '), 0, 0).toInt(&ok);
                if (ok) ++seen[n];
            }
        }
        for (int n = 1; n <= count; ++n) EXPECT_EQ(seen[n], 1) << prefix.toStdString() << n;
        EXPECT_EQ(int(seen.size()), count);
    }
    // Every text "... p<n>" names the page it is printed on.
    void expectOwnPageNumbers()
    {
        for (int i = 0; i < pages().Count(); ++i)
            for (const Printed &p : printed(i))
                if (p.Text.contains(QLatin1String(" p")))
                    EXPECT_EQ(p.Text.section(QLatin1String(" p"), 1), QString::number(i + 1)) << p.Text.toStdString();
    }
    QString dump() { return lyrDumpPreparedPages(pages()); }
};

}  // namespace

// A keep block moves to the next page at most once, below the new page's
// headers, and every record of it stays inside the page, also when the
// block ran from one page column into the next.
TEST_F(BreaksTest, AKeepBlockMovesOnceAndStaysInsideThePage)
{
    const struct {
        const char *name;
        int columns;
        bool keep, reprint;
        int records;
        QStringList firstOnPage2;
    } cases[] = {
            {"kept and repeated group", 0, true, true, 28, {"head", "gB", "r4", "r5"}},
            {"kept group", 0, true, false, 28, {"head", "gB", "r4", "r5"}},
            {"repeated group", 0, false, true, 28, {"head", "gB", "r8", "r9"}},
            {"kept group over two columns", 2, true, false, 25, {"head", "gB", "r6", "r7"}},
            {"kept and repeated group over two columns", 2, true, true, 25, {"head", "gB", "r6", "r7"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        newSheet(c.columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"),
                         GroupedRows::runs({{"A", c.columns ? 5 : 3}, {"B", c.records - (c.columns ? 5 : 3)}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        TlyrGroupHeader *g = group(30);
        g->KeepTogether = c.keep;
        g->ReprintOnNewPage = c.reprint;
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(c.records);
        ASSERT_GE(pages().Count(), 2);
        EXPECT_EQ(texts(1).mid(0, 4), c.firstOnPage2) << dump().toStdString();
        // A repeated group header heads every page (and column) the group
        // runs over, once.
        for (int i = 1; i < pages().Count() && c.reprint; ++i) {
            SCOPED_TRACE(i);
            const QStringList t = texts(i);
            EXPECT_EQ(t.indexOf(QStringLiteral("gB")), 1);
            EXPECT_LE(t.count(QStringLiteral("gB")), std::max(c.columns, 1));
        }
    }
}

// Page bands stand at the page's left and each column's footer under its own
// column, whichever column the page or a subreport in it ended in; a
// subreport that runs over a page break goes on in the new page's first
// column.
TEST_F(BreaksTest, PageColumnsKeepPageBandsAtTheLeftAndFootersUnderTheirColumn)
{
    {
        SCOPED_TRACE("a subreport that starts in column 2 runs over a page break");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 9}}));
        GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 15}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 150, 20), "CF", "cf");
        records(rows.ds, 60);
        auto *footer = band<TlyrFooter>("Footer1", 90, 20);
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(QStringLiteral("SubPage"));
        subPage->SetParent(report.get());
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(QStringLiteral("Sub1"));
        sub->SetParent(footer);
        sub->SetBounds(10, 10, 250, 10);
        sub->SetSubPage(subPage);
        records(subRows.ds, 0, {}, subPage, QStringLiteral("s"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(9);
        judge(15, QStringLiteral("s"));
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        for (int i = 0; i < 2; ++i) EXPECT_EQ(places(i, "head"), QStringList{"head@0,0"}) << i;
        // A column's footer follows what the column holds.
        EXPECT_EQ(places(0, "cf"), (QStringList{"cf@0,180", "cf@300,170"}));
        EXPECT_EQ(places(1, "cf"), (QStringList{"cf@0,180", "cf@300,40"}));
        EXPECT_EQ(places(0, "s1"), QStringList{"s1@310,50"});
        EXPECT_EQ(places(1, "s7"), QStringList{"s7@10,20"});
        EXPECT_EQ(places(1, "s15"), QStringList{"s15@310,20"});
    }
    {
        SCOPED_TRACE("pages that end in column 2 under a page footer and an overlay on top");
        newSheet(2);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 30}}));
        memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF", "pf");
        auto *overlay = band<TlyrOverlay>("Overlay1", 180, 200);
        overlay->PrintOnTop = true;
        memo(overlay, "OV", "ov", 220, 60)->SetHeight(20);
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(30);
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(places(i, "pf"), QStringList{"pf@0,180"});
            EXPECT_EQ(places(i, "ov"), QStringList{"ov@220,0"});
        }
    }
}

// Headers shown again on a new page or column come with their child bands
// and their own counters; a band that starts a new page or is moved to one
// prints that page's number; a header may start a new page after the title.
TEST_F(BreaksTest, RepeatedHeadersAndMovedBandsPrintWhatBelongsToTheirPlace)
{
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "a repeated header keeps its child, columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 40}}));
        auto *header = band<TlyrHeader>("Header1", 10, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "head");
        auto *child = band<TlyrChild>("Child1", 35, 20);
        memo(child, "HC", "head child");
        header->SetChild(child);
        records(rows.ds, 60);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(40);
        ASSERT_GE(pages().Count(), 3);
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(i);
            const QStringList t = texts(i);
            EXPECT_EQ(t.mid(0, 2), (QStringList{"head", "head child"}));
            EXPECT_EQ(t.count(QStringLiteral("head")), t.count(QStringLiteral("head child")));
        }
    }
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "a repeated group header prints its own counter, columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}, {"B", 30}}));
        group(10, QStringLiteral(" [Line]/[Line#]"))->ReprintOnNewPage = true;
        records(rows.ds, 60, QStringLiteral(" [Line]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(33);
        int repeats = 0;
        for (int i = 0; i < pages().Count(); ++i)
            for (const QString &t : texts(i))
                if (t.startsWith(QLatin1String("gB"))) {
                    EXPECT_EQ(t, QStringLiteral("gB 2/2")) << i;
                    ++repeats;
                }
        EXPECT_GE(repeats, 3);
    }
    {
        SCOPED_TRACE("a band that starts a new page prints the new page's number");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"))->SetStartNewPage(true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(3);
        ASSERT_EQ(pages().Count(), 3);
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("a band moved to the next page by the free space prints the new page's number");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 25}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "head");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"))->SetHeight(30);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(25);
        ASSERT_EQ(pages().Count(), 5);
        expectOwnPageNumbers();
    }
    {
        SCOPED_TRACE("a header that starts a new page after the title makes a title page");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 3}}));
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
        auto *header = band<TlyrHeader>("Header1", 30, 20);
        header->SetStartNewPage(true);
        memo(header, "H", "head p[Page#]");
        records(rows.ds, 60, QStringLiteral(" p[Page#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        judge(3);
        ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
        EXPECT_EQ(texts(0), QStringList{"title"});
        EXPECT_EQ(texts(1), (QStringList{"head p2", "r1 p2", "r2 p2", "r3 p2"}));
    }
}
