#pragma once
// Records in groups on a plain sheet, and what a prepared page shows: the
// fixture of the tests on page and column breaks.

#include "engine_fixture.h"

#include "report/lyrdbset.h"
#include "report/lyrview.h"

#include <QRectF>

#include <map>
#include <memory>

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
    void prepare() { ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString(); }
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
    // A sheet 150 x 80 mm for a cross-tab, with its rows "Rows" and its
    // columns "Cols", each numbered from 1.
    void crossTabSheet(int rowCount, int columnCount, std::unique_ptr<GroupedRows> &rows,
                       std::unique_ptr<GroupedRows> &cols)
    {
        newSheet();
        page->SetPaperWidth(150);
        page->SetPaperHeight(80);
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"),
                                             GroupedRows::runs({{"A", rowCount}}));
        cols = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Cols"),
                                             GroupedRows::runs({{"C", columnCount}}));
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
    // A subreport object in band b at left whose own page lists the rows,
    // one 20 high band a row, as "<prefix><N>".
    void sideReport(TlyrBand *b, const QString &name, TlyrDataSet *ds, double left, const QString &prefix)
    {
        auto *own = new TlyrReportPage(report.get());
        own->SetName(name + QStringLiteral("Page"));
        own->SetParent(report.get());
        auto *s = new TlyrSubreport(report.get());
        s->SetName(name);
        s->SetParent(b);
        s->SetBounds(left, 0, 100, 20);
        s->SetSubPage(own);
        records(ds, 0, {}, own, prefix)->Objects().first()->SetWidth(100);
    }
    // A vertical data band over ds whose columns stand from left on, each
    // that wide: the cells of the bands it crosses.
    TlyrMasterData *verticalColumns(TlyrDataSet *ds, double left, double width)
    {
        auto *v = band<TlyrMasterData>(QStringLiteral("VData"), 0, 200);
        v->SetVertical(true);
        v->SetLeft(left);
        v->SetWidth(width);
        v->SetDataSet(ds);
        return v;
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
