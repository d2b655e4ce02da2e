#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdmpclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrprint.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprogress.h"
#include "script/ks_iclassesrtti.h"
#include "engine_fixture.h"
#include "print_test_util.h"

#include "report/lyrcanvas.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Table {
    QStringList fields;
    QList<QStringList> rows;
};

// A user dataset over rows held by the test; an optional filter makes it a
// detail of another dataset.
class RowsDataSet {
public:
    // The dataset belongs to the program (keeper), not to the report: a
    // run restores the report's template, which would remake it.
    RowsDataSet(TlyrReport *report, const QString &name, Table table) : table_(std::move(table))
    {
        ds = new TlyrUserDataSet(report->parent());
        ds->SetName(name);
        ds->SetFields(table_.fields);
        ds->OnFirst = [this](TlyrDataSet *) { pos_ = next(0); };
        ds->OnNext = [this](TlyrDataSet *) { pos_ = next(pos_ + 1); };
        ds->OnPrior = [this](TlyrDataSet *) {
            int p = pos_ - 1;
            while (p >= 0 && filter && !filter(table_.rows[p])) --p;
            pos_ = std::max(p, 0);
        };
        ds->OnCheckEOF = [this](TlyrDataSet *, bool &eof) { eof = pos_ >= table_.rows.size(); };
        ds->OnGetValue = [this](const QString &f, KsValue &v) {
            const int col = table_.fields.indexOf(f);
            if (pos_ < table_.rows.size() && col >= 0) v = KsValue(table_.rows[pos_][col]);
        };
        report->Datasets()->Add(ds);
    }
    QString value(const QString &f) const
    {
        return pos_ < table_.rows.size() ? table_.rows[pos_][table_.fields.indexOf(f)] : QString();
    }
    std::function<bool(const QStringList &)> filter;
    TlyrUserDataSet *ds;

private:
    int next(int from) const
    {
        while (from < table_.rows.size() && filter && !filter(table_.rows[from])) ++from;
        return from;
    }
    Table table_;
    int pos_ = 0;
};

class EngineTest : public EngineFixture {
protected:
    // A data band 20 high over the dataset, with one memo.
    template <class B>
    B *dataBand(const QString &name, double top, TlyrDataSet *ds, const QString &memoName, const QString &text)
    {
        B *b = band<B>(name, top, 20);
        b->SetDataSet(ds);
        memo(b, memoName, text);
        return b;
    }
    // A stretched title whose memo "Grow" (20 high at its top) holds that
    // many lines.
    TlyrBand *growingTitle(double height, int lines, double width)
    {
        auto *title = band<TlyrReportTitle>("Title1", 0, height);
        title->SetStretched(true);
        QStringList text;
        for (int i = 1; i <= lines; ++i) text << QStringLiteral("line %1").arg(i);
        TlyrMemoView *grow = memo(title, "Grow", text.join(QStringLiteral("\r\n")), 0, width);
        grow->SetHeight(20);
        grow->SetStretchMode(smActualHeight);
        return title;
    }
    // The memo texts of each band on page i (of the named band only, when
    // given), one line per band; with positions "text@left", left on the page.
    QStringList bandLines(int i, const QString &name = {}, bool positions = true)
    {
        QStringList out;
        for (TlyrComponent *b : pages().GetPage(i)->Objects()) {
            if (!name.isEmpty() && b->Name() != name) continue;
            QStringList row;
            for (TlyrComponent *c : b->Objects())
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(c))
                    row << (positions ? QStringLiteral("%1@%2").arg(m->GetText()).arg(b->Left() + m->Left())
                                      : m->GetText());
            out << row.join(QLatin1Char(' '));
        }
        return out;
    }
    // A vertical band at that place.
    template <class B>
    B *vband(const QString &name, double left, double width)
    {
        B *b = band<B>(name, 0, 200);
        b->SetVertical(true);
        b->SetLeft(left);
        b->SetWidth(width);
        return b;
    }
    // A report title holding a subreport at that left; returns the
    // subreport's (empty) page.
    TlyrReportPage *titleSubreportPage(double left)
    {
        auto *title = band<TlyrReportTitle>("Title1", 0, 40);
        auto *sub = new TlyrSubreport(report.get());
        sub->SetName(QStringLiteral("Sub"));
        sub->SetParent(title);
        sub->SetBounds(left, 10, 300, 20);
        auto *subPage = new TlyrReportPage(report.get());
        subPage->SetName(QStringLiteral("SubPage"));
        subPage->SetParent(report.get());
        sub->SetSubPage(subPage);
        return subPage;
    }
    // A page without top and bottom margins, that many units high.
    void shortPage(double height)
    {
        page->SetPaperSize(lyrCustomPaper);
        page->SetTopMargin(0);
        page->SetBottomMargin(0);
        page->SetPaperHeight(height / lyrUnitsPerMM);
    }
    // Vertical groups of the columns by their "G": the group header at 100,
    // the columns at 140, the group footer at 200.
    void verticalGroups(TlyrDataSet *cols)
    {
        vband<TlyrGroupHeader>("VGroup", 100, 40)->Condition = QStringLiteral("Cols.\"G\"");
        vband<TlyrMasterData>("VData", 140, 60)->SetDataSet(cols);
        vband<TlyrGroupFooter>("VGroupFooter", 200, 40);
    }
    // A subreport object in band b whose own page lists the dataset's "N"
    // with one memo per record.
    TlyrSubreport *subreport(TlyrBand *b, const QString &name, double left, TlyrDataSet *ds, double memoLeft = 0)
    {
        TlyrSubreport *sub = subreportObject(b, name, left, 10, 200, 20);
        TlyrComponent *subPage = sub->SubPage();
        auto *md = new TlyrMasterData(report.get());
        md->SetName(name + QStringLiteral("Data"));
        md->SetParent(subPage);
        md->SetHeight(20);
        md->SetDataSet(ds);
        auto *m = new TlyrMemoView(report.get());
        m->SetName(name + QStringLiteral("Memo"));
        m->SetParent(md);
        m->SetBounds(memoLeft, 0, 100, 20);
        m->SetText(QStringLiteral("[%1.\"N\"]").arg(ds->Name()));
        return sub;
    }
    struct EndlessPaper {
        double margins = 0, width = 0;
    };
    // An endless-height page: a header, a line per record of the dataset
    // (field "N") and a footer; its margins and width read before the run.
    EndlessPaper endlessList(TlyrDataSet *rows)
    {
        page->EndlessHeight = true;
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
        auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
        master->SetDataSet(rows);
        memo(master, "M", QStringLiteral("line [%1.\"N\"]").arg(rows->Name()));
        memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "end");
        return {(page->TopMargin() + page->BottomMargin()) * lyrUnitsPerMM, page->PaperWidth() * lyrUnitsPerMM};
    }
    // Page i of an endless list holds that many lines, is as high as they
    // are and its footer closes them instead of sitting at a paper bottom.
    void expectEndlessPage(int i, int lines, const EndlessPaper &paper)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts(i).size(), lines + 2);
        EXPECT_NEAR(pages().GetPageSize(i).height(), 20 + lines * 20 + 20 + paper.margins, 1);
        EXPECT_NEAR(pages().GetPageSize(i).width(), paper.width, 1);
        TlyrComponent *footer = pages().GetPage(i)->FindObject(QStringLiteral("PageFooter1"));
        ASSERT_NE(footer, nullptr);
        EXPECT_NEAR(footer->Top(), 20 + lines * 20, 0.01);
    }
    // The prepared pages saved and loaded by another report (which needs no
    // template); the saved bytes go to saved when given.
    TlyrPreviewPages &reload(TlyrReport &other, QByteArray *saved = nullptr)
    {
        QBuffer file;
        file.open(QIODevice::ReadWrite);
        pages().SaveToStream(file);
        if (saved) *saved = file.data();
        auto &loaded = *static_cast<TlyrPreviewPages *>(other.PreviewPages());
        file.seek(0);
        loaded.LoadFromStream(file, false);
        return loaded;
    }
};

}  // namespace

TEST_F(EngineTest, MasterDetailWithGroupsFootersAndTotals)
{
    RowsDataSet orders(report.get(), QStringLiteral("Orders"),
                       {{"Cust", "No", "Amount"}, {{"A", "1", "2"}, {"A", "2", "3"}, {"B", "3", "5"}}});
    RowsDataSet lines(report.get(), QStringLiteral("Lines"),
                      {{"No", "Item"}, {{"1", "pen"}, {"1", "ink"}, {"2", "cup"}, {"3", "hat"}, {"3", "bag"}}});
    lines.filter = [&](const QStringList &row) { return row[0] == orders.value(QStringLiteral("No")); };
    report->EngineOptions()->SetDoublePass(true);

    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Orders list");
    auto *gh = band<TlyrGroupHeader>("GroupHeader1", 30, 20);
    gh->Condition = QStringLiteral("Orders.\"Cust\"");
    memo(gh, "GH", "Customer [Orders.\"Cust\"]");
    auto *master = band<TlyrMasterData>("MasterData1", 60, 20);
    master->SetDataSet(orders.ds);
    memo(master, "MNo", "[Orders.\"No\"]");
    memo(master, "MAmount", "[Orders.\"Amount\"]", 300, 100);
    auto *detail = band<TlyrDetailData>("DetailData1", 90, 18);
    detail->SetDataSet(lines.ds);
    memo(detail, "DItem", "[Lines.\"Item\"]", 40);
    memo(band<TlyrFooter>("Footer1", 110, 18), "DF", "lines [COUNT(DetailData1)]");
    memo(band<TlyrGroupFooter>("GroupFooter1", 130, 20), "GF", "group [SUM(<Orders.\"Amount\">)]");
    memo(band<TlyrReportSummary>("Summary1", 160, 20), "RS", "total [SUM(<Orders.\"Amount\">)]");
    memo(band<TlyrPageFooter>("PageFooter1", 200, 20), "PF", "page [Page#] of [TotalPages]");

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(report->Errors().isEmpty());
    ASSERT_EQ(pages().Count(), 1);
    EXPECT_EQ(texts(0),
              (QStringList{"Orders list", "Customer A", "1",   "2",       "pen",     "ink",        "lines 2",
                           "2",           "3",          "cup", "lines 1", "group 5", "Customer B", "3",
                           "5",           "hat",        "bag", "lines 2", "group 5", "total 10",   "page 1 of 1"}));
    // The print-time total is filled in when the page is built.
    auto *pf = qobject_cast<TlyrCustomMemoView *>(pages().GetPage(0)->AllObjects().last());
    ASSERT_NE(pf, nullptr);
    EXPECT_EQ(pf->TotalPages, 1);
    const QString dump = lyrDumpPreparedPages(pages());
    EXPECT_TRUE(dump.startsWith(QStringLiteral("page 1\nTlyrPageHeader PageHeader1 0.00 0.00"))) << dump.toStdString();
}

TEST_F(EngineTest, SubdetailsPrintUnderTheirDetailWithHeadersFootersAndSums)
{
    RowsDataSet orders(report.get(), QStringLiteral("Orders"), {{"No"}, {{"1"}, {"2"}}});
    RowsDataSet lines(report.get(), QStringLiteral("Lines"), {{"No", "L"}, {{"1", "a"}, {"1", "b"}, {"2", "c"}}});
    RowsDataSet parts(report.get(), QStringLiteral("Parts"),
                      {{"L", "P", "Qty"}, {{"a", "a1", "2"}, {"a", "a2", "3"}, {"c", "c1", "4"}}});
    lines.filter = [&](const QStringList &row) { return row[0] == orders.value(QStringLiteral("No")); };
    parts.filter = [&](const QStringList &row) { return row[0] == lines.value(QStringLiteral("L")); };
    dataBand<TlyrMasterData>("MasterData1", 40, orders.ds, "M", "order [Orders.\"No\"]");
    memo(band<TlyrHeader>("Header2", 60, 20), "DH", "lines of [Orders.\"No\"]");
    dataBand<TlyrDetailData>("DetailData1", 80, lines.ds, "D", "line [Lines.\"L\"]");
    // Each footer sits right below its data band, as in the designer.
    memo(band<TlyrFooter>("Footer2", 100, 20), "DF", "lines [COUNT(DetailData1)]");
    memo(band<TlyrHeader>("Header3", 120, 20), "SH", "parts");
    dataBand<TlyrSubdetailData>("SubdetailData1", 140, parts.ds, "S", "part [Parts.\"P\"]");
    memo(band<TlyrFooter>("Footer3", 160, 20), "SF", "qty [SUM(<Parts.\"Qty\">, SubdetailData1)]");
    memo(band<TlyrReportSummary>("Summary1", 200, 20), "RS", "all [SUM(<Parts.\"Qty\">, SubdetailData1)]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    // A line without parts is left out.
    EXPECT_EQ(texts(0),
              (QStringList{"order 1", "lines of 1", "line a", "parts", "part a1", "part a2", "qty 5", "lines 1",
                           "order 2", "lines of 2", "line c", "parts", "part c1", "qty 4", "lines 1", "all 9"}));
    // Printed anyway, it has neither the parts' header nor their footer.
    auto *again = qobject_cast<TlyrDataBand *>(report->FindObject(QStringLiteral("DetailData1")));
    ASSERT_NE(again, nullptr);
    again->SetPrintIfDetailEmpty(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"order 1", "lines of 1", "line a", "parts", "part a1", "part a2", "qty 5",
                                     "line b", "lines 2", "order 2", "lines of 2", "line c", "parts", "part c1",
                                     "qty 4", "lines 1", "all 9"}));
}

TEST_F(EngineTest, TheTitleGoesAboveOrBelowThePageHeaderAndTheHeadersChildTakesItsFirstPlace)
{
    // Each band: its name and top on the page.
    auto tops = [this](int i) {
        QStringList out;
        for (TlyrComponent *b : pages().GetPage(i)->Objects())
            out << QStringLiteral("%1@%2").arg(b->Name()).arg(b->Top());
        return out;
    };
    const struct {
        bool titleFirst, headerOnFirst;
        QStringList first, second;
    } cases[] = {
            {true,
             true,
             {"Title1@0", "PageHeader1@20", "Child1@40", "MasterData1@50"},
             {"PageHeader1@0", "Child1@20", "MasterData1@30"}},
            {false,
             true,
             {"PageHeader1@0", "Child1@20", "Title1@30", "MasterData1@50"},
             {"PageHeader1@0", "Child1@20", "MasterData1@30"}},
            {true,
             false,
             {"Title1@0", "Child1@20", "MasterData1@30", "MasterData1@50"},
             {"PageHeader1@0", "Child1@20", "MasterData1@30"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.titleFirst << " " << c.headerOnFirst);
        newReport();
        shortPage(70);
        page->TitleBeforeHeader = c.titleFirst;
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}, {"3"}}});
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
        auto *header = band<TlyrPageHeader>("PageHeader1", 30, 20);
        memo(header, "PH", "header");
        header->PrintOnFirstPage = c.headerOnFirst;
        header->SetPrintChildIfInvisible(true);
        auto *child = band<TlyrChild>("Child1", 60, 10);
        memo(child, "C", "under the header");
        header->SetChild(child);
        dataBand<TlyrMasterData>("MasterData1", 80, rows.ds, "M", "[Rows.\"N\"]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(tops(0), c.first);
        EXPECT_EQ(tops(1).mid(0, 3), c.second);
    }
}

// With PrintIfDetailEmpty off, a master whose detail has no rows is left
// out and the masters after it still print, also when a script gives the
// detail its number of rows for each master.
TEST_F(EngineTest, AMasterWithoutDetailRowsIsSkippedAndTheNextOnesPrint)
{
    RowsDataSet orders(report.get(), QStringLiteral("Orders"), {{"No", "Lines"}, {{"1", "2"}, {"2", "0"}, {"3", "1"}}});
    report->SetScriptText({QStringLiteral("procedure Lines(Sender: TObject);"), QStringLiteral("begin"),
                           QStringLiteral("  DetailData1.RowCount := <Orders.\"Lines\">;"), QStringLiteral("end;"),
                           QStringLiteral("begin"), QStringLiteral("end.")});
    dataBand<TlyrMasterData>("MasterData1", 10, orders.ds, "M", "order [Orders.\"No\"]");
    auto *detail = band<TlyrDetailData>("DetailData1", 40, 20);
    detail->SetRowCount(1);
    detail->SetOnMasterDetail(QStringLiteral("Lines"));
    memo(detail, "D", "line [Line]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"order 1", "line 1", "line 2", "order 3", "line 1"}));
}

TEST_F(EngineTest, LongListContinuesWithHeaderRepeatedAndFooterAfterLastLine)
{
    Table t{{"N"}, {}};
    for (int i = 1; i <= 60; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "line [Rows.\"N\"]");
    memo(band<TlyrFooter>("Footer1", 70, 20), "F", "count [COUNT(MasterData1)]");
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "sum [SUM(<Rows.\"N\">)] page [Page#]");

    // Read before the run, which reloads the template.
    const double pageHeight = (page->PaperHeight() - page->TopMargin() - page->BottomMargin()) * lyrUnitsPerMM;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 2);
    const int perPage = int((pageHeight - 20 - 20) / 20);
    const QStringList first = texts(0), second = texts(1);
    EXPECT_EQ(first.first(), QStringLiteral("Header"));
    EXPECT_EQ(second.first(), QStringLiteral("Header"));
    EXPECT_EQ(first.at(1), QStringLiteral("line 1"));
    EXPECT_EQ(first.at(perPage), QStringLiteral("line %1").arg(perPage));
    EXPECT_EQ(second.at(1), QStringLiteral("line %1").arg(perPage + 1));
    EXPECT_EQ(second.at(second.size() - 2), QStringLiteral("count 60"));
    // Page-footer sums cover their own page only.
    int sum1 = 0, sum2 = 0;
    for (int i = 1; i <= perPage; ++i) sum1 += i;
    for (int i = perPage + 1; i <= 60; ++i) sum2 += i;
    EXPECT_EQ(first.last(), QStringLiteral("sum %1 page 1").arg(sum1));
    EXPECT_EQ(second.last(), QStringLiteral("sum %1 page 2").arg(sum2));
}

TEST_F(EngineTest, PageNumbersLogicalAndPhysicalInBothPasses)
{
    // A list over two pages, then a report page that restarts the numbering.
    Table t{{"N"}, {}};
    for (int i = 1; i <= 60; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    const QString numbers = QStringLiteral("[Page]/[TotalPages] [Page#]/[TotalPages#]");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "line [Rows.\"N\"]");
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", numbers);
    page = new TlyrReportPage(report.get());
    page->SetName(QStringLiteral("Page2"));
    page->SetParent(report.get());
    page->ResetPageNumbers = true;
    memo(band<TlyrReportTitle>("Title2", 0, 20), "T2", "second");
    memo(band<TlyrPageFooter>("PageFooter2", 100, 20), "PF2", numbers);
    // The footer texts as printed: the physical total is put in when a page
    // is drawn.
    auto footers = [&] {
        QStringList out;
        for (int i = 0; i < pages().Count(); ++i) {
            auto *pf = qobject_cast<TlyrCustomMemoView *>(pages().GetPage(i)->AllObjects().last());
            if (!pf) return QStringList();
            out << pf->GetText().replace(QStringLiteral("[TotalPages#]"), QString::number(pf->TotalPages));
        }
        return out;
    };
    report->EngineOptions()->SetDoublePass(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(footers(), (QStringList{"1/2 1/3", "2/2 2/3", "1/1 3/3"}));
    // One pass: the logical numbers are known, their totals not yet.
    report->EngineOptions()->SetDoublePass(false);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    QStringList physical;
    for (const QString &f : footers()) physical << f.section(u' ', 1);
    EXPECT_EQ(physical, (QStringList{"1/3", "2/3", "3/3"}));
    QStringList logical;
    for (const QString &f : footers()) logical << f.section(u'/', 0, 0);
    EXPECT_EQ(logical, (QStringList{"1", "2", "1"}));
}

TEST_F(EngineTest, AGroupStartingANewPageRestartsTheLogicalNumbers)
{
    Table t{{"G", "N"}, {}};
    for (int i = 1; i <= 60; ++i) t.rows << QStringList{QStringLiteral("A"), QString::number(i)};
    t.rows << QStringList{QStringLiteral("B"), QStringLiteral("61")};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    report->EngineOptions()->SetDoublePass(true);
    auto *gh = band<TlyrGroupHeader>("GroupHeader1", 30, 20);
    gh->Condition = QStringLiteral("Rows.\"G\"");
    gh->SetStartNewPage(true);
    gh->ResetPageNumbers = true;
    memo(gh, "GH", "group [Rows.\"G\"]");
    auto *master = band<TlyrMasterData>("MasterData1", 60, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "line [Rows.\"N\"]");
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "[Page]/[TotalPages]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 3);
    EXPECT_EQ(texts(2).first(), QStringLiteral("group B"));
    EXPECT_EQ(texts(0).last(), QStringLiteral("1/2"));
    EXPECT_EQ(texts(1).last(), QStringLiteral("2/2"));
    EXPECT_EQ(texts(2).last(), QStringLiteral("1/1"));
}

TEST_F(EngineTest, BandErrorsStopTheRun)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    band<TlyrHeader>("Header1", 80, 20);
    band<TlyrDetailData>("Orphan", 10, 20)->SetDataSet(rows.ds);
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("Unconnected header/footer Header1")));
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("Incorrect band position: Orphan")));
    EXPECT_FALSE(report->Engine()->Running);
}

TEST_F(EngineTest, GroupsWithoutDataBandOrHeaderStopTheRun)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}}});
    dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
    // A group footer with no header before it, a group header with no data
    // band after it.
    band<TlyrGroupFooter>("LoneFooter", 70, 20);
    band<TlyrGroupHeader>("LoneGroup", 100, 20)->Condition = QStringLiteral("Rows.\"N\"");
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("No group header for LoneFooter")))
            << report->Errors().join(u'\n').toStdString();
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("No data band for the group LoneGroup")))
            << report->Errors().join(u'\n').toStdString();
    EXPECT_FALSE(report->Engine()->Running);
    EXPECT_EQ(pages().Count(), 0);
}

TEST_F(EngineTest, BandsAtTheSameTopBothPrint)
{
    memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
    RowsDataSet a(report.get(), QStringLiteral("A"), {{"N"}, {{"a1"}}});
    RowsDataSet b(report.get(), QStringLiteral("B"), {{"N"}, {{"b1"}}});
    auto *m1 = band<TlyrMasterData>("MasterData1", 40, 20);
    m1->SetDataSet(a.ds);
    memo(m1, "M1", "[A.\"N\"]");
    auto *m2 = band<TlyrMasterData>("MasterData2", 40, 20);
    m2->SetDataSet(b.ds);
    memo(m2, "M2", "[B.\"N\"]");
    ASSERT_TRUE(report->PrepareReport());
    EXPECT_EQ(texts(0), (QStringList{"title", "a1", "b1"}));
}

TEST_F(EngineTest, BandsAreOrderedByTheirNumericTop)
{
    // Negative tops and tops of a million or more sort as numbers, not as
    // their texts.
    const QList<double> tops{1500000, -30, 999999.5, 7};
    std::vector<std::unique_ptr<RowsDataSet>> sets;
    for (int i = 0; i < tops.size(); ++i) {
        const QString name = QStringLiteral("S%1").arg(i);
        sets.push_back(
                std::make_unique<RowsDataSet>(report.get(), name, Table{{"N"}, {{QStringLiteral("band %1").arg(i)}}}));
        auto *m = band<TlyrMasterData>(QStringLiteral("MasterData%1").arg(i), tops[i], 20);
        m->SetDataSet(sets.back()->ds);
        memo(m, QStringLiteral("M%1").arg(i), QStringLiteral("[%1.\"N\"]").arg(name));
    }
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"band 1", "band 3", "band 2", "band 0"}));
}

TEST_F(EngineTest, PreparedReportsWriteNumbersWithAPointInAnyLocale)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20.5);
    master->SetDataSet(rows.ds);
    memo(master, "M", "line [Rows.\"N\"]", 10.25, 100.75);
    auto saved = [&] {
        EXPECT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        QBuffer buf;
        buf.open(QIODevice::ReadWrite);
        pages().SaveToStream(buf);
        return buf.data();
    };
    const QByteArray plain = saved();
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray german = saved();
    QLocale::setDefault(before);
    EXPECT_EQ(QString::fromUtf8(german).toStdString(), QString::fromUtf8(plain).toStdString());
    EXPECT_TRUE(plain.contains("10.25")) << plain.constData();
    EXPECT_FALSE(plain.contains("10,25"));
}

TEST_F(EngineTest, PicturesGoToTheCacheOnceEachAndSurviveAPreparedFile)
{
    QImage sample(6, 3, QImage::Format_RGB32);
    sample.fill(Qt::darkCyan);
    auto encoded = [&](const char *format) {
        QBuffer buf;
        buf.open(QIODevice::WriteOnly);
        EXPECT_TRUE(sample.save(&buf, format)) << format;
        return buf.data();
    };
    // A placeable metafile key: kept, drawn as its frame only.
    QByteArray wmf("\xD7\xCD\xC6\x9A", 4);
    wmf.append(40, '\0');
    const QList<QByteArray> data{encoded("PNG"), encoded("JPEG"), encoded("BMP"), encoded("ICO"), wmf, {}};
    auto *title = band<TlyrReportTitle>("Title1", 0, 60);
    for (int i = 0; i < data.size(); ++i) {
        auto *p = new TlyrPictureView(report.get());
        p->SetName(QStringLiteral("Picture%1").arg(i));
        p->SetParent(title);
        p->SetBounds(i * 70, 0, 60, 30);
        p->Frame()->SetTyp(15);
        if (!data[i].isEmpty()) ASSERT_EQ(p->LoadPictureFromStream(data[i]), 0) << i;
    }
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(pages().PictureCache.Count(), 5);
    auto check = [&](TlyrPreviewPages &store) {
        TlyrReportPage *built = store.GetPage(0);
        ASSERT_NE(built, nullptr);
        for (int i = 0; i < data.size(); ++i) {
            SCOPED_TRACE(i);
            auto *p = qobject_cast<TlyrPictureView *>(built->FindObject(QStringLiteral("Picture%1").arg(i)));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->PictureData(), data[i]);
            if (i < 4)
                EXPECT_EQ(p->Picture().size(), sample.size());
            else
                EXPECT_TRUE(p->Picture().isNull());
            EXPECT_EQ(p->ImageIndex(), i < 5 ? i + 1 : 0);
        }
        // Four images are drawn; every object has its frame.
        TlyrRecordingCanvas canvas;
        store.DrawPage(0, canvas, 1, 1, 0, 0);
        int images = 0, lines = 0;
        for (const TlyrRecordedShape &shape : canvas.Shapes) {
            if (shape.What == TlyrRecordedShape::Image) ++images;
            if (shape.What == TlyrRecordedShape::Line) ++lines;
        }
        EXPECT_EQ(images, 4);
        EXPECT_EQ(lines, 4 * int(data.size()));
    };
    check(pages());
    TlyrReport other;
    TlyrPreviewPages &loaded = reload(other);
    ASSERT_EQ(loaded.PictureCache.Count(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(loaded.PictureCache.Item(i), data[i]);
    check(loaded);
}

TEST_F(EngineTest, AnErrorDuringTheRunEndsItCleanly)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}}});
    bool broken = true;
    rows.ds->OnNext = [&broken, next = rows.ds->OnNext](TlyrDataSet *ds) {
        if (broken) throw ElyrError(QStringLiteral("dataset broke"));
        next(ds);
    };
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "[Rows.\"N\"]");
    int started = 0, stopped = 0;
    report->OnProgressStart = [&](TlyrReport *, TlyrProgressType t, int) { started += t == ptRunning; };
    report->OnProgressStop = [&](TlyrReport *, TlyrProgressType t, int) { stopped += t == ptRunning; };
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("dataset broke")));
    EXPECT_FALSE(report->Engine()->Running);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(stopped, 1);

    // A script event that raises ends the run the same way, and the report
    // runs again once it is mended.
    broken = false;
    report->SetScriptText({QStringLiteral("procedure MBefore(Sender: TObject);"), QStringLiteral("begin"),
                           QStringLiteral("  RaiseException('event broke');"), QStringLiteral("end;"),
                           QStringLiteral("begin"), QStringLiteral("end.")});
    auto *again = qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")));
    ASSERT_NE(again, nullptr);
    again->SetOnBeforePrint(QStringLiteral("MBefore"));
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_FALSE(report->Engine()->Running);
    EXPECT_EQ(stopped, 2);
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("event broke")))
            << report->Errors().join(u'\n').toStdString();
    again = qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")));
    ASSERT_NE(again, nullptr);
    again->SetOnBeforePrint(QString());
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(texts(0), (QStringList{"1", "2"}));
}

// A dataset of the report's own, fed by the program: the restored template
// keeps the very object with the program's callbacks, and a change the
// script made to it during the run is gone again.
TEST_F(EngineTest, PreparingTwiceGivesTheSamePages)
{
    auto *ds = new TlyrUserDataSet(report.get());
    ds->SetName(QStringLiteral("Rows"));
    ds->SetFields({QStringLiteral("G"), QStringLiteral("N")});
    ds->SetRangeEnd(TlyrDataSet::reCount);
    ds->SetRangeEndCount(6);
    int firsts = 0;
    ds->OnFirst = [&firsts](TlyrDataSet *) { ++firsts; };
    ds->OnGetValue = [ds](const QString &f, KsValue &v) {
        v = f == QLatin1String("G") ? KsValue(ds->RecNo() / 3) : KsValue(ds->RecNo() * 10);
    };
    report->Datasets()->Add(ds);
    band<TlyrGroupHeader>("GroupHeader1", 0, 20)->Condition = QStringLiteral("Rows.\"G\"");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(ds);
    memo(master, "M", "[Rows.\"N\"]");
    memo(band<TlyrGroupFooter>("GroupFooter1", 80, 20), "S", "sum [SUM(<Rows.\"N\">, MasterData1)]");
    report->SetScriptText({QStringLiteral("begin"), QStringLiteral("  Rows.RangeEndCount := 4;"),
                           QStringLiteral("end.")});
    const QStringList expected{"0", "10", "20", "sum 30", "30", "sum 30"};
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        EXPECT_EQ(texts(0), expected);
        EXPECT_EQ(firsts, run);
        EXPECT_EQ(report->FindObject(QStringLiteral("Rows")), ds);
        EXPECT_EQ(ds->RangeEndCount(), 6);
        EXPECT_EQ(report->Datasets()->Count(), 1);
        EXPECT_EQ(report->GetDataset(QStringLiteral("Rows")), ds);
    }
}

// While the report is built its template stays: a script that loads,
// clears or frees it gets an error, and the run ends cleanly.
TEST_F(EngineTest, AScriptCannotReplaceTheTemplateWhileItIsBuilt)
{
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.yl3"));
    {
        TlyrReport saved;
        auto *p = new TlyrReportPage(&saved);
        p->SetName(QStringLiteral("OtherPage"));
        saved.SaveToFile(other);
    }
    auto *title = band<TlyrReportTitle>("Title1", 0, 20);
    TlyrMemoView *m = memo(title, "Memo1", "");
    report->SetScriptText({QStringLiteral("function Wipe(What: Integer): Integer;"), QStringLiteral("begin"),
                           QStringLiteral("  if What = 1 then Report.Clear;"),
                           QStringLiteral("  if What = 2 then Page1.Free;"),
                           QStringLiteral("  if What = 3 then Title1.Clear;"),
                           QStringLiteral("  if What = 4 then Memo1.Free;"),
                           QStringLiteral("  if What = 5 then Page1.AllObjects.Free;"), QStringLiteral("  Result := 0;"),
                           QStringLiteral("end;"), QStringLiteral("begin"), QStringLiteral("end.")});
    const QString building = QStringLiteral("报表正在生成，不能");
    const struct {
        QString expr, error;
    } cases[] = {
            {QStringLiteral("Report.LoadFromFile('%1')").arg(other), building + QStringLiteral("载入模板")},
            {QStringLiteral("Report.LoadFromFile('/nonexistent.xml')"), building + QStringLiteral("载入模板")},
            {QStringLiteral("Wipe(1)"), building + QStringLiteral("清除模板")},
            {QStringLiteral("Wipe(2)"), building + QStringLiteral("释放其中的对象 TlyrReportPage")},
            {QStringLiteral("Wipe(3)"), building + QStringLiteral("清除其中的对象")},
            {QStringLiteral("Wipe(4)"), building + QStringLiteral("释放其中的对象 TlyrMemoView")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expr.toStdString());
        m->SetText(QLatin1Char('[') + c.expr + QLatin1Char(']'));
        EXPECT_FALSE(report->PrepareReport());
        EXPECT_EQ(report->Errors(), QStringList{QStringLiteral("Memo1: Error in expression '%1': %2")
                                                        .arg(c.expr, c.error)})
                << report->Errors().join(u'\n').toStdString();
        EXPECT_FALSE(report->Engine()->Running);
        EXPECT_FALSE(report->Building());
        m = qobject_cast<TlyrMemoView *>(report->FindObject(QStringLiteral("Memo1")));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(report->FindObject(QStringLiteral("OtherPage")), nullptr);
    }
    // Preparing from inside the run is refused the same way.
    report->OnBeginDoc = [this] { EXPECT_FALSE(report->PrepareReport()); };
    m->SetText(QStringLiteral("ok"));
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_EQ(report->Errors(), QStringList{building + QStringLiteral("再次生成")});
    report->OnBeginDoc = nullptr;
    // A list the script was given of the objects is its own to free.
    m = qobject_cast<TlyrMemoView *>(report->FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(m, nullptr);
    m->SetText(QStringLiteral("[Wipe(5)]"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(texts(0), QStringList{"0"});
    // Once built, the template may be replaced.
    EXPECT_TRUE(report->LoadFromFile(other));
    EXPECT_NE(report->FindObject(QStringLiteral("OtherPage")), nullptr);
}

TEST_F(EngineTest, PreparedReportRoundTripKeepsBytesAndPages)
{
    Table t{{"N"}, {}};
    for (int i = 1; i <= 120; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    master->SetOutlineText(QStringLiteral("Rows.\"N\""));
    memo(master, "M", "line [Rows.\"N\"]");
    report->PreviewOptions()->OutlineVisible = true;
    report->PreviewOptions()->OutlineWidth = 210;
    report->ReportOptions()->Name = QStringLiteral("Goods <list> & \"prices\"");
    ASSERT_TRUE(report->PrepareReport());
    const int count = pages().Count();
    ASSERT_GE(count, 3);
    const QString before = lyrDumpPreparedPages(pages());
    // Loading needs no template: a fresh report without pages reads it.
    TlyrReport other;
    QByteArray first;
    TlyrPreviewPages &loaded = reload(other, &first);
    EXPECT_EQ(loaded.Count(), count);
    EXPECT_EQ(lyrDumpPreparedPages(loaded), before);
    // The report settings saved with the pages reach the loading report.
    EXPECT_TRUE(other.PreviewOptions()->OutlineVisible);
    EXPECT_EQ(other.PreviewOptions()->OutlineWidth, 210);
    EXPECT_EQ(other.ReportOptions()->Name, report->ReportOptions()->Name);
    EXPECT_FALSE(other.DotMatrixReport());
    EXPECT_TRUE(other.Errors().isEmpty());
    // Other report properties in that element are not taken.
    QByteArray crafted = first;
    crafted.replace("<TlyrReport ", "<TlyrReport EngineOptions.DoublePass=\"1\" ReportOptions.Author=\"x\" ");
    ASSERT_NE(crafted, first);
    TlyrReport third;
    QBuffer craftedFile(&crafted);
    craftedFile.open(QIODevice::ReadOnly);
    static_cast<TlyrPreviewPages *>(third.PreviewPages())->LoadFromStream(craftedFile, false);
    EXPECT_FALSE(third.EngineOptions()->DoublePass());
    EXPECT_TRUE(third.ReportOptions()->Author.isEmpty());
    EXPECT_EQ(third.PreviewOptions()->OutlineWidth, 210);
    loaded.GetOutline()->LevelRoot();
    EXPECT_EQ(loaded.GetOutline()->Count(), 120);
    QBuffer second;
    second.open(QIODevice::ReadWrite);
    loaded.SaveToStream(second);
    EXPECT_EQ(second.data().toStdString(), first.toStdString());
}

TEST_F(EngineTest, DamagedPreparedPagesGiveAnErrorLine)
{
    QBuffer damaged;
    damaged.setData("<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages><page7>"
                    "<m1 l=\"1\"/></page7></previewpages><dictionary><m1 name=\"P\"/><m2 name=\"Page9.X\"/>"
                    "</dictionary></preparedreport>");
    damaged.open(QIODevice::ReadOnly);
    pages().LoadFromStream(damaged, false);
    EXPECT_EQ(pages().Count(), 1);
    EXPECT_EQ(pages().GetPage(0), nullptr);
    EXPECT_FALSE(pages().Errors.isEmpty());
}

TEST_F(EngineTest, OutlineAnchorsAndHyperlinks)
{
    TlyrOutline &o = *pages().GetOutline();
    o.LevelRoot();
    o.AddItem(QStringLiteral("a"), 10);
    o.AddItem(QStringLiteral("b"), 20);
    o.LevelRoot();
    EXPECT_EQ(o.Count(), 1);
    o.LevelDown(0);
    EXPECT_EQ(o.Count(), 1);
    o.LevelUp();
    o.LevelUp();
    EXPECT_EQ(o.Count(), 1);
    EXPECT_EQ(pages().GetAnchorPage(QStringLiteral("none")), 1);
    EXPECT_TRUE(lyrIsSafeHyperlink(QStringLiteral("https://x.example")));
    EXPECT_TRUE(lyrIsSafeHyperlink(QStringLiteral("mailto:a@b")));
    EXPECT_FALSE(lyrIsSafeHyperlink(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(lyrIsSafeHyperlink(QStringLiteral("cmd.exe")));
}

TEST_F(EngineTest, ASplitBandContinuesOverThreePages)
{
    page->TitleBeforeHeader = false;
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    auto *title = band<TlyrReportTitle>("Title1", 40, 20);
    title->SetAllowSplit(true);
    title->SetStretched(true);
    QStringList lines;
    for (int i = 1; i <= 150; ++i) lines << QStringLiteral("row %1").arg(i);
    auto *m = memo(title, "Long", lines.join(QStringLiteral("\r\n")));
    m->SetStretchMode(smActualHeight);
    memo(title, "Fixed", "only first", 300, 100);
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "page [Page#]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(pages().Count(), 3);
    QStringList parts;
    int fixedSeen = 0;
    for (int i = 0; i < pages().Count(); ++i) {
        const QStringList t = texts(i);
        EXPECT_EQ(t.first(), QStringLiteral("Header"));
        EXPECT_EQ(t.last(), QStringLiteral("page %1").arg(i + 1));
        for (const QString &s : t)
            if (s.startsWith(QStringLiteral("row"))) parts << s.trimmed();
        fixedSeen += t.count(QStringLiteral("only first"));
    }
    EXPECT_EQ(parts.join(QStringLiteral("\r\n")), lines.join(QStringLiteral("\r\n")))
            << lyrDumpPreparedPages(pages()).toStdString();
    EXPECT_EQ(fixedSeen, 1);
}

TEST_F(EngineTest, TextThatIsNoNumberIsSkippedAndNotedOnce)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"2"}, {"x"}, {"3"}, {"y"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(band<TlyrFooter>("Footer1", 70, 20), "F", "[SUM(<Rows.\"N\">)]");
    EXPECT_FALSE(report->PrepareReport());
    ASSERT_EQ(report->Errors().size(), 1);
    EXPECT_TRUE(report->Errors().first().contains(QStringLiteral("x")));
    EXPECT_EQ(texts(0), QStringList{"5"});
}

TEST_F(EngineTest, HideIfSingleDataRecordCountsItsOwnGroup)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"),
                     {{"G", "H", "N"}, {{"a", "1", "1"}, {"a", "1", "2"}, {"a", "2", "3"}, {"b", "3", "4"}}});
    auto *outer = band<TlyrGroupHeader>("Outer", 10, 20);
    outer->Condition = QStringLiteral("Rows.\"G\"");
    auto *inner = band<TlyrGroupHeader>("Inner", 30, 20);
    inner->Condition = QStringLiteral("Rows.\"H\"");
    auto *master = band<TlyrMasterData>("MasterData1", 50, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "[Rows.\"N\"]");
    auto *innerFooter = band<TlyrGroupFooter>("InnerFooter", 70, 20);
    innerFooter->HideIfSingleDataRecord = true;
    memo(innerFooter, "IF", "inner [COUNT(MasterData1)]");
    auto *outerFooter = band<TlyrGroupFooter>("OuterFooter", 90, 20);
    outerFooter->HideIfSingleDataRecord = true;
    memo(outerFooter, "OF", "outer [COUNT(MasterData1)]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"1", "2", "inner 2", "3", "outer 3", "4"}));
}

TEST_F(EngineTest, PrintOnPreviousPageContinuesBelow)
{
    memo(band<TlyrReportTitle>("Title1", 0, 30), "T1", "first");
    auto *second = new TlyrReportPage(report.get());
    second->SetName(QStringLiteral("Page2"));
    second->SetParent(report.get());
    second->PrintOnPreviousPage = true;
    auto *t2 = new TlyrReportTitle(report.get());
    t2->SetName(QStringLiteral("Title2"));
    t2->SetParent(second);
    t2->SetHeight(20);
    auto *m = new TlyrMemoView(report.get());
    m->SetName(QStringLiteral("T2"));
    m->SetParent(t2);
    m->SetBounds(0, 0, 100, 20);
    m->SetText(QStringLiteral("second"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    EXPECT_EQ(texts(0), (QStringList{"first", "second"}));
    EXPECT_NE(lyrDumpPreparedPages(pages()).indexOf(QStringLiteral("TlyrReportTitle Title2 0.00 30.00")), -1);
}

TEST_F(EngineTest, FileCacheKeepsOnlyTheFirstPagesInMemory)
{
    report->EngineOptions()->setProperty("UseFileCache", true);
    report->EngineOptions()->setProperty("MaxMemSize", 0);
    Table t{{"N"}, {}};
    for (int i = 1; i <= 400; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    master->SetStartNewPage(true);
    memo(master, "M", "line [Rows.\"N\"]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 400);
    int unloaded = 0;
    for (int i = 0; i < pages().Count(); ++i) unloaded += pages().PagesItem()->Items(i)->Loaded ? 0 : 1;
    EXPECT_GT(unloaded, 300);
    EXPECT_TRUE(pages().PagesItem()->Items(0)->Loaded);
    EXPECT_TRUE(pages().PagesItem()->Items(1)->Loaded);
    EXPECT_EQ(texts(250), QStringList{"line 251"});

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.lp3"));
    pages().SaveToFile(file);
    TlyrReport other;
    auto &loaded = *static_cast<TlyrPreviewPages *>(other.PreviewPages());
    ASSERT_TRUE(loaded.LoadFromFile(file));
    ASSERT_EQ(loaded.Count(), 400);
    EXPECT_FALSE(loaded.PagesItem()->Items(2)->Loaded);
    EXPECT_FALSE(loaded.PagesItem()->Items(399)->Loaded);
    EXPECT_EQ(lyrDumpPreparedPages(loaded), lyrDumpPreparedPages(pages()));
    EXPECT_FALSE(loaded.LoadFromFile(dir.filePath(QStringLiteral("missing.lp3"))));
    EXPECT_EQ(loaded.Count(), 400);
}

TEST_F(EngineTest, PagesLeaveMemoryPastTheCeilingWithoutTheFileCacheAndARunawayReportStops)
{
    auto *first = band<TlyrMasterData>("MasterData1", 40, 20);
    first->SetRowCount(300);
    first->SetStartNewPage(true);
    memo(first, "M", "line [Line]");
    // Each build puts the template back as new objects.
    auto master = [&] { return qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1"))); };
    auto unloaded = [&] {
        int n = 0;
        for (int i = 0; i < pages().Count(); ++i) n += pages().PagesItem()->Items(i)->Loaded ? 0 : 1;
        return n;
    };
    // An ordinary report stays in memory, as without the option it should.
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 300);
    EXPECT_EQ(unloaded(), 0);
    // Past the ceiling (a multiple of MaxMemSize) the pages go to the file
    // cache all the same, the first two excepted.
    report->EngineOptions()->setProperty("MaxMemSize", 0);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 300);
    EXPECT_GT(unloaded(), 250);
    EXPECT_TRUE(pages().PagesItem()->Items(0)->Loaded);
    EXPECT_TRUE(pages().PagesItem()->Items(1)->Loaded);
    EXPECT_EQ(texts(250), QStringList{"line 251"});
    // A report that never ends stops, with an error line, at a count of
    // pages or outline items no real report reaches.
    const int savedPages = TlyrPreviewPages::MaxPages, savedItems = TlyrPreviewPages::MaxOutlineItems;
    TlyrPreviewPages::MaxPages = 40;
    TlyrPreviewPages::MaxOutlineItems = 60;
    master()->SetRowCount(2147483647);
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_EQ(pages().Count(), 40);
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("页数超过 40")))
            << report->Errors().join(u'\n').toStdString();
    master()->SetStartNewPage(false);
    master()->SetOutlineText(QStringLiteral("'row'"));
    EXPECT_FALSE(report->PrepareReport());
    TlyrPreviewPages::MaxPages = savedPages;
    TlyrPreviewPages::MaxOutlineItems = savedItems;
    EXPECT_LT(pages().Count(), 40);
    pages().GetOutline()->LevelRoot();
    EXPECT_EQ(pages().GetOutline()->Count(), 60);
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("大纲条目数超过 60")))
            << report->Errors().join(u'\n').toStdString();
}

TEST_F(EngineTest, APictureLoadedOnEveryRowIsCachedOnce)
{
    QTemporaryDir dir;
    QImage one(6, 3, QImage::Format_RGB32), other(4, 4, QImage::Format_RGB32);
    one.fill(Qt::darkCyan);
    other.fill(Qt::red);
    ASSERT_TRUE(one.save(dir.filePath(QStringLiteral("1.png")), "PNG"));
    ASSERT_TRUE(other.save(dir.filePath(QStringLiteral("2.png")), "PNG"));
    // Rows 1-50 show one file, the rest the other.
    auto *ds = new TlyrUserDataSet(report.get());
    ds->SetName(QStringLiteral("Files"));
    ds->SetFields({QStringLiteral("F")});
    ds->SetRangeEnd(TlyrDataSet::reCount);
    ds->SetRangeEndCount(60);
    ds->OnGetValue = [ds](const QString &, KsValue &v) { v = KsValue(ds->RecNo() < 50 ? 1 : 2); };
    report->Datasets()->Add(ds);
    auto *master = band<TlyrMasterData>("MasterData1", 40, 40);
    master->SetDataSet(ds);
    auto *p = new TlyrPictureView(report.get());
    p->SetName(QStringLiteral("Logo"));
    p->SetParent(master);
    p->SetBounds(0, 0, 60, 30);
    p->SetFileLink(dir.filePath(QStringLiteral("[Files.\"F\"].png")));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(pages().PictureCache.Count(), 2);
    int first = 0, second = 0;
    for (int i = 0; i < pages().Count(); ++i)
        for (TlyrComponent *c : pages().GetPage(i)->AllObjects())
            if (auto *v = qobject_cast<TlyrPictureView *>(c)) {
                first += v->Picture().size() == one.size();
                second += v->Picture().size() == other.size();
            }
    EXPECT_EQ(first, 50);
    EXPECT_EQ(second, 10);
}

namespace {
class RecordingFilter : public TlyrExportFilter {
public:
    void StartPage(TlyrReportPage *, int index) override { lines << QStringLiteral("page %1").arg(index + 1); }
    void ExportObject(TlyrComponent *obj) override
    {
        if (obj->IsTextObject()) lines << obj->ComponentText();
    }
    QStringList lines;
};
}  // namespace

TEST_F(EngineTest, DrawHitTestAndExportPreparedPages)
{
    auto *title = band<TlyrReportTitle>("Title1", 0, 40);
    auto *m = memo(title, "T", "hello", 100, 200);
    m->setProperty("URL", QStringLiteral("https://shop.example/"));
    auto *other = memo(title, "U", "unsafe", 400, 100);
    other->setProperty("URL", QStringLiteral("file:///etc/passwd"));
    // Read before the run, which reloads the template.
    const double left = page->LeftMargin() * lyrUnitsPerMM, top = page->TopMargin() * lyrUnitsPerMM;
    ASSERT_TRUE(report->PrepareReport());

    QImage blank(400, 600, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QImage image = blank;
    {
        QPainter painter(&image);
        TlyrCanvas canvas(&painter, 96, 96, false);
        pages().DrawPage(0, canvas, 0.5, 0.5, 0, 0);
    }
    EXPECT_NE(image, blank);

    QStringList opened;
    pages().OnOpenUrl = [&](const QString &url) { opened << url; };
    TlyrView *hit = pages().ObjectOver(0, left + 150, top + 10, 1, 0, 1, 0, 0, true);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->Name(), QStringLiteral("T"));
    hit = pages().ObjectOver(0, left + 450, top + 10, 1, 0, 1, 0, 0, true);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://shop.example/")});
    EXPECT_EQ(pages().ObjectOver(0, left + 700, top + 300, 1, 0, 1, 0, 0, false), nullptr);

    RecordingFilter filter;
    EXPECT_TRUE(pages().Export(filter));
    EXPECT_EQ(filter.lines, (QStringList{"page 1", "hello", "unsafe"}));
}

TEST_F(EngineTest, KeepTogetherMovesAMasterWithItsDetails)
{
    shortPage(200);
    RowsDataSet orders(report.get(), QStringLiteral("Orders"), {{"No"}, {{"1"}, {"2"}, {"3"}}});
    Table lineRows{{"No", "Item"}, {}};
    for (int o = 1; o <= 3; ++o)
        for (int i = 1; i <= 3; ++i)
            lineRows.rows << QStringList{QString::number(o), QStringLiteral("i%1%2").arg(o).arg(i)};
    RowsDataSet lines(report.get(), QStringLiteral("Lines"), lineRows);
    lines.filter = [&](const QStringList &row) { return row[0] == orders.value(QStringLiteral("No")); };
    auto *master = band<TlyrMasterData>("MasterData1", 10, 20);
    master->SetDataSet(orders.ds);
    memo(master, "M", "order [Orders.\"No\"]");
    auto *detail = band<TlyrDetailData>("DetailData1", 40, 20);
    detail->SetDataSet(lines.ds);
    memo(detail, "D", "[Lines.\"Item\"]");

    ASSERT_TRUE(report->PrepareReport());
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(texts(0).last(), QStringLiteral("i31"));

    // The run restores the template: its objects are found again by name.
    auto *kept = qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")));
    ASSERT_NE(kept, nullptr);
    kept->SetKeepTogether(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(texts(0).last(), QStringLiteral("i23"));
    EXPECT_EQ(texts(1), (QStringList{"order 3", "i31", "i32", "i33"}));
    EXPECT_NE(lyrDumpPreparedPages(pages()).indexOf(QStringLiteral("page 2\nTlyrMasterData MasterData1 0.00 0.00")), -1)
            << lyrDumpPreparedPages(pages()).toStdString();
}

TEST_F(EngineTest, AGroupKeptTogetherMovesWholeToTheNextPage)
{
    shortPage(200);
    Table t{{"G", "N"}, {}};
    for (const auto &[g, n] : {std::pair{"A", 3}, std::pair{"B", 4}, std::pair{"C", 3}})
        for (int i = 1; i <= n; ++i) t.rows << QStringList{QLatin1String(g), QStringLiteral("%1%2").arg(g).arg(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    auto *gh = band<TlyrGroupHeader>("GroupHeader1", 10, 20);
    gh->Condition = QStringLiteral("Rows.\"G\"");
    gh->KeepTogether = true;
    memo(gh, "GH", "group [Rows.\"G\"]");
    dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
    memo(band<TlyrGroupFooter>("GroupFooter1", 70, 20), "GF", "end [COUNT(MasterData1)]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 3);
    EXPECT_EQ(texts(0), (QStringList{"group A", "A1", "A2", "A3", "end 3"}));
    EXPECT_EQ(texts(1), (QStringList{"group B", "B1", "B2", "B3", "B4", "end 4"}));
    EXPECT_EQ(texts(2), (QStringList{"group C", "C1", "C2", "C3", "end 3"}));
}

TEST_F(EngineTest, TotalsOfAKeptBlockCountOnThePageItMovesTo)
{
    shortPage(220);
    RowsDataSet orders(report.get(), QStringLiteral("Orders"), {{"No"}, {{"1"}, {"2"}, {"3"}}});
    Table lineRows{{"No", "Item", "Qty"}, {}};
    for (int o = 1; o <= 3; ++o)
        for (int i = 1; i <= 3; ++i)
            lineRows.rows << QStringList{QString::number(o), QStringLiteral("i%1%2").arg(o).arg(i), QString::number(o)};
    RowsDataSet lines(report.get(), QStringLiteral("Lines"), lineRows);
    lines.filter = [&](const QStringList &row) { return row[0] == orders.value(QStringLiteral("No")); };
    dataBand<TlyrMasterData>("MasterData1", 10, orders.ds, "M", "order [Orders.\"No\"]")->SetKeepTogether(true);
    dataBand<TlyrDetailData>("DetailData1", 40, lines.ds, "D", "[Lines.\"Item\"]");
    memo(band<TlyrPageFooter>("PageFooter1", 150, 20), "PF",
         "lines [COUNT(DetailData1)] qty [SUM(<Lines.\"Qty\">, DetailData1)]");
    memo(band<TlyrReportSummary>("Summary1", 100, 20), "RS", "all [SUM(<Lines.\"Qty\">, DetailData1)]");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(texts(0).last(), QStringLiteral("lines 6 qty 9"));
    EXPECT_EQ(texts(1), (QStringList{"order 3", "i31", "i32", "i33", "all 18", "lines 3 qty 9"}));
}

// The report's stop (the preview's stop button, Esc, the progress window's
// Cancel) reaches a report script that never ends, in the main block and in
// an event; what the script made for its events lives through the build and
// goes after it.
TEST_F(EngineTest, TheReportsStopReachesARunningScript)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}, {"3"}}});
    TlyrMasterData *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
    master->SetOnBeforePrint(QStringLiteral("MBefore"));
    const auto script = [&](const char *loopInMain, const char *loopInEvent) {
        report->SetScriptText(
                {QStringLiteral("var L: TStringList;"), QStringLiteral("procedure MBefore(Sender: TObject);"),
                 QStringLiteral("begin L.Add('x'); %1 end;").arg(QLatin1String(loopInEvent)),
                 QStringLiteral("begin L := TStringList.Create; %1 end.").arg(QLatin1String(loopInMain))});
    };
    QPointer<QObject> list;
    int listLines = 0;
    report->OnBeforePrintEvent = [&](TlyrComponent *) {
        if (TksCustomVariable *v = report->Script()->FindLocal(QStringLiteral("L")); v && v->Value.IsObject()) {
            list = v->Value.ToObject();
            listLines = qobject_cast<TStringList *>(list.data())->Count();
        }
    };
    // the preview's stop button and Esc stop the engine; Cancel is the progress window's
    lyrInstallPrinting();  // the progress window
    QTimer stop;
    int looked = 0;
    QObject::connect(&stop, &QTimer::timeout, [&] {
        if (!report->OldStyleProgress()) return report->Engine()->StopReport();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *progress = qobject_cast<TlyrProgress *>(w); progress && progress->isVisible())
                return progress->CancelBClick();
        if (++looked == 100) {
            ADD_FAILURE() << "no progress window";
            report->Engine()->StopReport();
        }
    });
    const struct {
        const char *Main, *Event;
        bool Cancel;
    } cases[] = {{"while True do ;", "", false}, {"", "repeat until False", false}, {"", "while True do ;", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Main) + c.Event);
        script(c.Main, c.Event);
        report->SetOldStyleProgress(c.Cancel);
        stop.start(20);
        report->PrepareReport();
        stop.stop();
        EXPECT_TRUE(report->Terminated());
        EXPECT_FALSE(report->Engine()->Running);
    }
    report->SetOldStyleProgress(false);
    // a loop in a function an expression calls ends the build without an error line
    report->SetScriptText({QStringLiteral("function Spin(X: Integer): Integer;"),
                           QStringLiteral("begin while True do ; Result := X; end;"), QStringLiteral("begin end.")});
    // (each build puts the template back as new objects)
    memo(qobject_cast<TlyrBand *>(report->FindObject(QStringLiteral("MasterData1"))), "Looping", "[Spin(1)]", 100,
         50);
    stop.start(20);
    report->PrepareReport();
    stop.stop();
    EXPECT_TRUE(report->Terminated());
    EXPECT_TRUE(report->Errors().isEmpty()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    delete report->FindObject(QStringLiteral("Looping"));
    // the next build runs whole; the list made by the main block served every event
    script("", "");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(listLines, 3);  // a line per row
    EXPECT_TRUE(list.isNull());
}

// A long list handles the window's events between its records, not after
// every one (each time costs microseconds with nothing pending), and a stop
// sent through the event loop still ends it.
TEST_F(EngineTest, ALongListHandlesEventsEverySoManyRecordsAndStillStops)
{
    const int rows = 3200;
    auto *rowsBand = band<TlyrMasterData>("MasterData1", 40, 20);
    rowsBand->SetRowCount(rows);
    memo(rowsBand, "M", "line [Line]");
    int handled = 0;
    const QMetaObject::Connection counting = QObject::connect(
            QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&handled] { ++handled; });
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    QObject::disconnect(counting);
    EXPECT_GT(pages().Count(), 1);
    EXPECT_GT(handled, 0);
    EXPECT_LT(handled, rows / 4);
    // A list without end, stopped by a timer: the stop comes through.
    qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")))->SetRowCount(2147483647);
    QTimer::singleShot(0, report.get(), [this] { report->Engine()->StopReport(); });
    report->PrepareReport();
    EXPECT_TRUE(report->Terminated());
    EXPECT_FALSE(report->Engine()->Running);
}

TEST_F(EngineTest, ACancelledDialogPageStopsTheReport)
{
    memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
    auto *dialog = new TlyrDialogPage(report.get());
    dialog->SetName(QStringLiteral("Dialog1"));
    dialog->SetParent(report.get());
    auto *control = new TlyrDialogControl(report.get());
    control->SetName(QStringLiteral("Control1"));
    control->SetParent(dialog);
    int shown = 0;
    auto *engine = static_cast<TlyrEngine *>(report->Engine());
    engine->OnRunDialog = [&](TlyrDialogPage *) { return ++shown == 1 ? 2 : 1; };
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_EQ(pages().Count(), 0);
    EXPECT_TRUE(report->PrepareReport());
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(texts(0), QStringList{"title"});
}

TEST(EngineLookup, AReportMadeBeforeTheEngineWasInstalledStillPrepares)
{
    lyrRegisterReportClasses();
    lyrEngineFactories() = TlyrEngineFactories();
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_EQ(report.Engine(), nullptr);
    auto *page = new TlyrReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    page->SetParent(&report);
    auto *title = new TlyrReportTitle(&report);
    title->SetName(QStringLiteral("Title1"));
    title->SetParent(page);
    title->SetHeight(20);
    lyrInstallEngine();
    EXPECT_TRUE(report.PrepareReport()) << report.Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_NE(report.PreviewPages(), nullptr);
    EXPECT_EQ(report.PreviewPages()->Count(), 1);
    lyrEngineFactories() = TlyrEngineFactories();
}

TEST_F(EngineTest, ShiftItemsMovesTheWholeBlockFromAnEmptyStart)
{
    TlyrOutline &o = *pages().GetOutline();
    o.LevelRoot();
    TlyrXMLItem *start = o.GetCurPosition();
    EXPECT_EQ(start, nullptr);
    o.AddItem(QStringLiteral("a"), 100);
    o.LevelUp();
    o.AddItem(QStringLiteral("b"), 130);
    o.LevelUp();
    o.ShiftItems(start, 10);
    QString text;
    int pageNo = -5, top = -5;
    o.GetItem(0, text, pageNo, top);
    EXPECT_EQ(text, QStringLiteral("a"));
    EXPECT_EQ(pageNo, 0);  // -1 (no page yet) moved on by one
    EXPECT_EQ(top, 10);
    o.GetItem(1, text, pageNo, top);
    EXPECT_EQ(top, 40);
}

TEST_F(EngineTest, TwoPageColumnsFillLeftThenRight)
{
    page->SetPaperSize(lyrCustomPaper);
    page->SetTopMargin(0);
    page->SetBottomMargin(0);
    page->SetPaperHeight(100 / lyrUnitsPerMM);
    page->SetColumns(2);
    Table t{{"N"}, {}};
    for (int i = 1; i <= 12; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "[Rows.\"N\"]");
    // Read before the run, which reloads the template.
    const double right = page->ColumnWidth() * lyrUnitsPerMM;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    // 80 units below the header: four rows per column, eight per page.
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(texts(0), (QStringList{"Header", "1", "2", "3", "4", "5", "6", "7", "8"}));
    const QString dump = lyrDumpPreparedPages(pages());
    EXPECT_NE(dump.indexOf(QStringLiteral("TlyrMemoView M %1 20.00").arg(right, 0, 'f', 2)), -1) << dump.toStdString();
    EXPECT_EQ(texts(1), (QStringList{"Header", "9", "10", "11", "12"}));
}

TEST_F(EngineTest, SubreportsSideBySideContinueAfterTheLongerOne)
{
    RowsDataSet a(report.get(), QStringLiteral("A"), {{"N"}, {{"a1"}, {"a2"}, {"a3"}, {"a4"}}});
    RowsDataSet b(report.get(), QStringLiteral("B"), {{"N"}, {{"b1"}, {"b2"}}});
    auto *title = band<TlyrReportTitle>("Title1", 0, 30);
    memo(band<TlyrReportSummary>("Summary1", 60, 20), "S", "after");
    subreport(title, QStringLiteral("Left"), 0, a.ds);
    subreport(title, QStringLiteral("Right"), 300, b.ds);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    const QString dump = lyrDumpPreparedPages(pages());
    EXPECT_NE(dump.indexOf(QStringLiteral("TlyrMemoView LeftMemo 0.00 10.00 100.00 20.00 a1")), -1)
            << dump.toStdString();
    EXPECT_NE(dump.indexOf(QStringLiteral("TlyrMemoView RightMemo 300.00 10.00 100.00 20.00 b1")), -1);
    EXPECT_NE(dump.indexOf(QStringLiteral("TlyrMemoView LeftMemo 0.00 70.00 100.00 20.00 a4")), -1);
    EXPECT_NE(dump.indexOf(QStringLiteral("TlyrMemoView S 0.00 90.00 200.00 20.00 after")), -1) << dump.toStdString();
}

TEST_F(EngineTest, AMultiColumnDataBandFillsRowsLeftToRight)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    master->SetColumns(2);
    master->SetColumnWidth(150);
    memo(master, "M", "[Rows.\"N\"]", 0, 100);
    memo(band<TlyrFooter>("Footer1", 70, 20), "F", "end");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    const QString dump = lyrDumpPreparedPages(pages());
    for (const char *line : {"TlyrMemoView M 0.00 0.00 100.00 20.00 1", "TlyrMemoView M 150.00 0.00 100.00 20.00 2",
                             "TlyrMemoView M 0.00 20.00 100.00 20.00 3", "TlyrMemoView M 150.00 20.00 100.00 20.00 4",
                             "TlyrMemoView M 0.00 40.00 100.00 20.00 5", "TlyrMemoView F 0.00 60.00 200.00 20.00 end"})
        EXPECT_NE(dump.indexOf(QString::fromLatin1(line)), -1) << line << "\n" << dump.toStdString();
}

// Where each record of the named band landed on page i: "text@left,top".
// Every page of a multi-column list starts in its first column, at the top
// of the data area.
namespace {
QStringList placed(TlyrPreviewPages &pages, int i, const QString &name)
{
    QStringList out;
    for (TlyrComponent *b : pages.GetPage(i)->Objects())
        if (b->Name() == name)
            for (TlyrComponent *c : b->Objects())
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(c))
                    out << QStringLiteral("%1@%2,%3").arg(m->GetText()).arg(b->Left() + m->Left()).arg(b->Top());
    return out;
}
// Records from..to placed row by row in that many columns of that width,
// rows of that height below top, each column starting at x0 + column * step.
QStringList grid(int from, int to, int columns, double step, double top, double height, double x0 = 0)
{
    QStringList out;
    for (int n = from, k = 0; n <= to; ++n, ++k)
        out << QStringLiteral("%1@%2,%3").arg(n).arg(x0 + (k % columns) * step).arg(top + (k / columns) * height);
    return out;
}
}  // namespace

TEST_F(EngineTest, MultiColumnListsFillEveryPageFromItsFirstColumnAtTheTop)
{
    // A header of 20 and two rows of 40 a page (column).
    const struct {
        int pageColumns, bandColumns;
        bool keep;
        int records;
    } cases[] = {{0, 3, true, 15}, {0, 3, false, 15}, {2, 2, false, 20}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.pageColumns << " " << c.keep);
        newReport();
        shortPage(100);
        if (c.pageColumns) page->SetColumns(c.pageColumns);
        // Read before the run, which reloads the template.
        const double step = page->ColumnWidth() * lyrUnitsPerMM;
        Table t{{"N"}, {}};
        for (int i = 1; i <= c.records; ++i) t.rows << QStringList{QString::number(i)};
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
        auto *master = band<TlyrMasterData>("MasterData1", 40, 40);
        master->SetDataSet(rows.ds);
        master->SetColumns(c.bandColumns);
        master->SetColumnWidth(150);
        master->SetKeepTogether(c.keep);
        memo(master, "M", "[Rows.\"N\"]", 0, 100);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 3);
        const int perColumn = 2 * c.bandColumns;
        for (int p = 0, n = 1; p < 3; ++p) {
            QStringList expected;
            for (int pc = 0; pc < std::max(c.pageColumns, 1) && n <= c.records; ++pc, n += perColumn)
                expected << grid(n, std::min(n + perColumn - 1, c.records), c.bandColumns, 150, 20, 40, pc * step);
            EXPECT_EQ(placed(pages(), p, "MasterData1"), expected) << p;
        }
    }
}

TEST_F(EngineTest, DrillDownShowsOnlyTheClickedGroups)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"G", "N"}, {{"a", "1"}, {"a", "2"}, {"b", "3"}}});
    auto *gh = band<TlyrGroupHeader>("GH", 10, 20);
    gh->Condition = QStringLiteral("Rows.\"G\"");
    gh->DrillDown = true;
    memo(gh, "H", "[Rows.\"G\"]");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "M", "[Rows.\"N\"]");
    auto *gf = band<TlyrGroupFooter>("GF", 70, 20);
    memo(gf, "F", "n [COUNT(MasterData1)]");
    memo(band<TlyrReportSummary>("Summary1", 100, 20), "S", "all [COUNT(MasterData1, 1)] shown [COUNT(MasterData1)]");
    report->ClickList << QStringLiteral("GH.2");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(0), (QStringList{"a", "b", "3", "n 1", "all 3 shown 1"}));
}

TEST_F(EngineTest, ASplitThatPlacesNothingEndsWithTheRestClipped)
{
    page->SetPaperSize(lyrCustomPaper);
    page->SetTopMargin(0);
    page->SetBottomMargin(0);
    page->SetPaperHeight(100 / lyrUnitsPerMM);
    page->TitleBeforeHeader = false;
    memo(band<TlyrPageHeader>("PageHeader1", 0, 95), "PH", "Header");
    auto *title = band<TlyrReportTitle>("Title1", 100, 20);
    title->SetAllowSplit(true);
    title->SetStretched(true);
    auto *m = memo(title, "Long", "one\r\ntwo\r\nthree");
    m->SetStretchMode(smActualHeight);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    EXPECT_EQ(texts(0).last().trimmed(), QStringLiteral("one\r\ntwo\r\nthree"));
}

// A band split over pages cuts every stretchable object: the line beside
// its text runs down each part to the part's bottom, the bottom-aligned
// object closes the text's last part and nothing of the band follows it;
// the split ends under a group header repeated on each page, with ten times
// the text, and with an object taller than any page (printed cut off).
TEST_F(EngineTest, ASplitBandCutsEveryStretchableObjectAndAlwaysEnds)
{
    const struct {
        const char *Name;
        int Words;
        bool Reprint, Tall;
    } cases[] = {
            {"a line beside the text", 18, false, false},
            {"under a header repeated on each page", 18, true, false},
            {"ten times the text", 180, true, false},
            {"a shape taller than a page", 18, true, true},
    };
    constexpr double pageHeight = 52 * lyrUnitsPerMM;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        newReport();
        shortPage(pageHeight);
        auto *group = band<TlyrGroupHeader>("GroupHeader1", 0, 20);
        group->Condition = QStringLiteral("1");
        group->ReprintOnNewPage = c.Reprint;
        memo(group, "GH", "group");
        auto *data = band<TlyrMasterData>("MasterData1", 40, 20);
        data->SetRowCount(1);
        data->SetAllowSplit(true);
        data->SetStretched(true);
        QStringList words;
        for (int i = 1; i <= c.Words; ++i) words << QStringLiteral("word%1").arg(i);
        memo(data, "Long", words.join(u' '), 0, 60)->SetStretchMode(smActualHeight);
        auto *line = new TlyrLineView(report.get());
        line->SetName(QStringLiteral("Line1"));
        line->SetParent(data);
        line->SetBounds(70, 0, 0, 20);
        line->SetStretchMode(smMaxHeight);
        memo(data, "Foot", "foot", 80, 100)->SetAlign(baBottom);
        if (c.Tall) {
            auto *shape = new TlyrShapeView(report.get());
            shape->SetName(QStringLiteral("Tall"));
            shape->SetParent(data);
            shape->SetBounds(190, 0, 40, 2 * pageHeight);
        }
        // A split that never ends is stopped here, and fails below.
        report->OnProgress = [](TlyrReport *r, TlyrProgressType, int n) {
            if (n > 100) r->SetTerminated(true);
        };
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        ASSERT_FALSE(report->Terminated());
        ASSERT_LE(pages().Count(), c.Words / 4);
        QString printed;
        int feet = 0, tall = 0;
        for (int i = 0; i < pages().Count(); ++i) {
            SCOPED_TRACE(i);
            TlyrReportPage *p = pages().GetPage(i);
            ASSERT_NE(p, nullptr);
            double above = 0;
            TlyrComponent *part = nullptr;
            for (TlyrComponent *b : p->Objects()) {
                // Bands one below the other, inside the page.
                EXPECT_GE(b->Top(), above - 0.0001) << b->Name().toStdString();
                above = b->Top() + b->Height();
                EXPECT_LE(above, pageHeight + 0.0001) << b->Name().toStdString();
                if (b->Name() == QLatin1String("MasterData1")) part = b;
                for (TlyrComponent *o : b->Objects()) {
                    EXPECT_GE(o->Top(), -0.0001) << o->Name().toStdString();
                    EXPECT_LE(o->Top() + o->Height(), b->Height() + 0.0001) << o->Name().toStdString();
                }
            }
            // Every page holds a part of the text, the line beside it from
            // its top to the part's bottom.
            ASSERT_NE(part, nullptr) << lyrDumpPreparedPages(pages()).toStdString();
            auto *text = qobject_cast<TlyrCustomMemoView *>(part->FindObject(QStringLiteral("Long")));
            TlyrComponent *partLine = part->FindObject(QStringLiteral("Line1"));
            ASSERT_NE(text, nullptr) << lyrDumpPreparedPages(pages()).toStdString();
            ASSERT_NE(partLine, nullptr) << lyrDumpPreparedPages(pages()).toStdString();
            printed += text->GetText();
            EXPECT_DOUBLE_EQ(partLine->Top(), text->Top());
            EXPECT_NEAR(partLine->Top() + partLine->Height(), part->Height(), 0.0001);
            if (TlyrComponent *foot = part->FindObject(QStringLiteral("Foot"))) {
                ++feet;
                EXPECT_EQ(i, pages().Count() - 1);
                EXPECT_NEAR(foot->Top() + foot->Height(), part->Height(), 0.0001);
            }
            tall += part->FindObject(QStringLiteral("Tall")) ? 1 : 0;
        }
        printed.remove(QRegularExpression(QStringLiteral("\\s")));
        EXPECT_EQ(printed, words.join(QString())) << lyrDumpPreparedPages(pages()).toStdString();
        EXPECT_EQ(feet, 1);
        EXPECT_EQ(tall, c.Tall ? 1 : 0);
    }
}

TEST_F(EngineTest, AnEmptyNullBandIsNotStored)
{
    auto *null = new TlyrNullBand(report.get());
    null->SetName(QStringLiteral("Null1"));
    null->SetParent(page);
    null->SetHeight(0);
    memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lyrDumpPreparedPages(pages()).indexOf(QStringLiteral("Null1")), -1);
    EXPECT_DOUBLE_EQ(pages().GetLastY(), 20);
}

TEST_F(EngineTest, GrownObjectsPushWhatIsBelowAsTheirShiftModesSay)
{
    TlyrBand *title = growingTitle(80, 8, 200);
    auto place = [&](const char *name, double left, double top, int mode) {
        TlyrMemoView *m = memo(title, name, name, left, 40);
        m->SetTop(top);
        m->SetHeight(10);
        m->SetShiftMode(mode);
        return m;
    };
    place("Always", 0, 30, smAlways);
    place("Overlapped", 50, 40, smWhenOverlapped);
    place("Stays", 150, 30, smDontShift);
    place("BelowStays", 150, 50, smAlways);
    // Below two objects that both move: it moves once, by the larger push.
    TlyrMemoView *both = place("BelowBoth", 0, 60, smAlways);
    both->SetWidth(100);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    QHash<QString, TlyrComponent *> out;
    for (TlyrComponent *c : pages().GetPage(0)->AllObjects()) out.insert(c->Name(), c);
    ASSERT_TRUE(out.contains("Grow") && out.contains("BelowBoth"));
    const double grown = out["Grow"]->Height() - 20;
    ASSERT_GT(grown, 40);
    // Positions inside the band.
    auto top = [&](const char *name) { return out[name]->Top(); };
    EXPECT_NEAR(top("Always"), 30 + grown, 0.01);
    // Only as far as needed to clear the grown object.
    EXPECT_NEAR(top("Overlapped"), 20 + grown, 0.01);
    EXPECT_NEAR(top("Stays"), 30, 0.01);
    EXPECT_NEAR(top("BelowStays"), 50 + grown, 0.01);
    EXPECT_NEAR(top("BelowBoth"), 60 + grown, 0.01);
}

TEST_F(EngineTest, ObjectsOfTheLargestHeightReachTheBandsBottom)
{
    TlyrBand *title = growingTitle(30, 6, 100);
    auto *beside = memo(title, "Beside", "x", 150, 100);
    beside->SetTop(5);
    beside->SetHeight(10);
    beside->SetStretchMode(smMaxHeight);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    TlyrReportPage *out = pages().GetPage(0);
    TlyrComponent *band = out->FindObject(QStringLiteral("Title1"));
    ASSERT_NE(band, nullptr);
    double grown = 0, besideHeight = 0;
    for (TlyrComponent *c : band->Objects()) {
        if (c->Name() == QStringLiteral("Grow")) grown = c->Height();
        if (c->Name() == QStringLiteral("Beside")) besideHeight = c->Height();
    }
    ASSERT_GT(grown, 30);
    EXPECT_DOUBLE_EQ(band->Height(), grown);
    EXPECT_DOUBLE_EQ(besideHeight, grown - 5);
}

TEST_F(EngineTest, AKeptFooterTakesTheLastRecordToTheNextPage)
{
    const double pageHeight = (page->PaperHeight() - page->TopMargin() - page->BottomMargin()) * lyrUnitsPerMM;
    // Exactly as many records as fill the first page: the footer no longer fits.
    const int rowsFit = int((pageHeight - 20 - 20) / 20);
    Table t{{"N"}, {}};
    for (int i = 1; i <= rowsFit; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    master->SetKeepFooter(true);
    memo(master, "M", "line [Rows.\"N\"]");
    memo(band<TlyrFooter>("Footer1", 70, 20), "F", "count [COUNT(MasterData1)]");
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "sum [SUM(<Rows.\"N\">)]");

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 2);
    const QStringList first = texts(0), second = texts(1);
    EXPECT_EQ(first.at(first.size() - 2), QStringLiteral("line %1").arg(rowsFit - 1));
    EXPECT_EQ(second, (QStringList{QStringLiteral("Header"), QStringLiteral("line %1").arg(rowsFit),
                                   QStringLiteral("count %1").arg(rowsFit), QStringLiteral("sum %1").arg(rowsFit)}));
    // The moved record counts for the page it moved to.
    EXPECT_EQ(first.last(), QStringLiteral("sum %1").arg((rowsFit - 1) * rowsFit / 2));

    // Without the option the footer goes alone to the next page (a run
    // reloads the template, so the band is looked up again).
    auto *again = qobject_cast<TlyrMasterData *>(report->FindObject(QStringLiteral("MasterData1")));
    ASSERT_NE(again, nullptr);
    again->SetKeepFooter(false);
    ASSERT_TRUE(report->PrepareReport());
    ASSERT_EQ(pages().Count(), 2);
    EXPECT_EQ(texts(1), (QStringList{QStringLiteral("Header"), QStringLiteral("count %1").arg(rowsFit),
                                     QStringLiteral("sum 0")}));
}

TEST_F(EngineTest, AnEndlessPageIsAsLargeAsItsContent)
{
    Table t{{"N"}, {}};
    for (int i = 1; i <= 100; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    const EndlessPaper paper = endlessList(rows.ds);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    EXPECT_EQ(texts(0).last(), QStringLiteral("end"));
    expectEndlessPage(0, 100, paper);
}

TEST_F(EngineTest, EachPageOfAnEndlessPagePerRecordHasItsOwnSize)
{
    RowsDataSet customers(report.get(), QStringLiteral("Customers"), {{"C"}, {{"a"}, {"b"}, {"c"}}});
    Table t{{"C", "N"}, {}};
    const QList<int> counts{2, 5, 1};
    for (int c = 0; c < counts.size(); ++c)
        for (int i = 1; i <= counts[c]; ++i) t.rows << QStringList{QString(QChar('a' + c)), QString::number(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
    rows.filter = [&](const QStringList &row) { return row[0] == customers.value(QStringLiteral("C")); };
    page->SetDataSet(customers.ds);
    const EndlessPaper paper = endlessList(rows.ds);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), counts.size());
    for (int i = 0; i < counts.size(); ++i) expectEndlessPage(i, counts[i], paper);
    // The sizes travel with a saved prepared report.
    QBuffer buf;
    buf.open(QIODevice::ReadWrite);
    pages().SaveToStream(buf);
    pages().Clear();
    buf.seek(0);
    pages().LoadFromStream(buf);
    ASSERT_EQ(pages().Count(), counts.size());
    for (int i = 0; i < counts.size(); ++i) expectEndlessPage(i, counts[i], paper);
}

TEST_F(EngineTest, GoodsLabelsPreparedAndDrawnAt300DpiDecodeToTheGoodsCodes)
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) GTEST_SKIP() << "zbarimg not installed";
    RowsDataSet goods(report.get(), QStringLiteral("Goods"), {{"GoodsCode"}, {{"6901234-X7"}, {"A-1002"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 120);
    master->SetDataSet(goods.ds);
    auto *bc = new TlyrBarCodeView(report.get());
    bc->SetName(QStringLiteral("BarCode1"));
    bc->SetParent(master);
    bc->SetBounds(20, 10, 100, 80);
    bc->SetBarType(bcCode39);
    bc->SetDataSet(goods.ds);
    bc->SetDataField(QStringLiteral("GoodsCode"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);

    // Each label on the prepared page carries its own goods code.
    QStringList printed;
    for (TlyrComponent *c : pages().GetPage(0)->AllObjects())
        if (auto *v = qobject_cast<TlyrBarCodeView *>(c)) printed << v->Text();
    EXPECT_EQ(printed, (QStringList{QStringLiteral("6901234-X7"), QStringLiteral("A-1002")}));

    const double scale = 300.0 / 96;
    const QSize size = pages().GetPageSize(0);
    QImage image(int(size.width() * scale), int(size.height() * scale), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TlyrCanvas canvas(&painter, 300, 300, false);
        pages().DrawPage(0, canvas, scale, scale, 0, 0);
    }
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("labels.png"));
    ASSERT_TRUE(image.save(png));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--nodbus"), png});
    ASSERT_TRUE(zbar.waitForFinished(60000));
    QStringList decoded = QString::fromUtf8(zbar.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    decoded.sort();
    EXPECT_EQ(decoded, (QStringList{QStringLiteral("CODE-39:6901234-X7"), QStringLiteral("CODE-39:A-1002")}));
}

TEST_F(EngineTest, APrintOnParentSubreportPrintsInsideItsBand)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"r1"}, {"r2"}, {"r3"}}});
    auto *title = band<TlyrReportTitle>("Title1", 0, 30);
    title->SetStretched(true);
    memo(title, "T", "title", 0, 100);
    memo(band<TlyrReportSummary>("Summary1", 60, 20), "S", "after");
    subreport(title, QStringLiteral("Sub"), 300, rows.ds, 5)->SetPrintOnParent(true);

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    TlyrReportPage *out = pages().GetPage(0);
    TlyrComponent *outTitle = out->FindObject(QStringLiteral("Title1"));
    ASSERT_NE(outTitle, nullptr);
    // The subreport's records are objects of the title band, below the
    // subreport's place; the band grew to hold them.
    QStringList inTitle;
    for (TlyrComponent *c : outTitle->Objects()) {
        auto *memo = qobject_cast<TlyrCustomMemoView *>(c);
        if (!memo || memo->GetText() == QStringLiteral("title")) continue;
        inTitle << QStringLiteral("%1 %2 %3").arg(memo->GetText()).arg(memo->Left()).arg(memo->Top());
    }
    EXPECT_EQ(inTitle, (QStringList{"r1 305 10", "r2 305 30", "r3 305 50"}))
            << lyrDumpPreparedPages(pages()).toStdString();
    EXPECT_DOUBLE_EQ(outTitle->Height(), 70);
    EXPECT_EQ(out->FindObject(QStringLiteral("SubData")), nullptr);
    TlyrComponent *summary = out->FindObject(QStringLiteral("Summary1"));
    ASSERT_NE(summary, nullptr);
    EXPECT_DOUBLE_EQ(summary->Top(), 70);
    // The template band keeps only its own objects.
    TlyrComponent *template_ = report->FindObject(QStringLiteral("Title1"));
    ASSERT_NE(template_, nullptr);
    EXPECT_EQ(template_->Objects().size(), 2);
}

TEST_F(EngineTest, CrossedRowsRepeatTheirCellsAcrossColumnsAndPagesInWidth)
{
    Table rowsTable{{"N"}, {{"r1"}, {"r2"}, {"r3"}}};
    Table colsTable{{"N"}, {}};
    const int columns = 20;
    for (int i = 1; i <= columns; ++i) colsTable.rows << QStringList{QStringLiteral("c%1").arg(i)};
    for (int i = 4; i <= 60; ++i) rowsTable.rows << QStringList{QStringLiteral("r%1").arg(i)};
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), rowsTable);
    int rowLimit = 3;
    rows.filter = [&](const QStringList &r) { return r[0].mid(1).toInt() <= rowLimit; };
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), colsTable);
    memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
    memo(band<TlyrHeader>("Header1", 30, 20), "ColTitle", "[Cols.\"N\"]", 100, 60);
    auto *master = band<TlyrMasterData>("MasterData1", 60, 20);
    master->SetDataSet(rows.ds);
    memo(master, "RowName", "[Rows.\"N\"]", 0, 80);
    memo(master, "Bar", "|", 80, 20);
    memo(master, "Cell", "[Rows.\"N\"]-[Cols.\"N\"]", 100, 60);
    memo(band<TlyrPageFooter>("PageFooter1", 100, 20), "PF", "page [Page#] rows [COUNT(MasterData1)]", 0, 300);
    vband<TlyrHeader>("VHeader", 80, 20);
    auto *vdata = vband<TlyrMasterData>("VData", 100, 60);
    vdata->SetDataSet(cols.ds);
    const double pageWidth = (page->PaperWidth() - page->LeftMargin() - page->RightMargin()) * lyrUnitsPerMM;
    const double sideMargins = (page->LeftMargin() + page->RightMargin()) * lyrUnitsPerMM;
    const int firstPart = int((pageWidth - 100) / 60);
    ASSERT_LT(firstPart, columns);
    ASSERT_LE(columns - firstPart, int((pageWidth - 20) / 60));

    // "text@left" of the memos of one band on page i, row by row.
    auto expectRow = [&](const QString &first, const QString &cellText, int from, int to, double left) {
        QStringList row;
        if (!first.isEmpty()) row << first;
        for (int c = from; c <= to; ++c, left += 60) row << cellText.arg(c) + QStringLiteral("@%1").arg(left);
        return row.join(QLatin1Char(' '));
    };

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 2) << lyrDumpPreparedPages(pages()).toStdString();
    EXPECT_EQ(bandLines(0, "Header1"), QStringList{expectRow({}, "c%1", 1, firstPart, 100)});
    EXPECT_EQ(bandLines(1, "Header1"), QStringList{expectRow({}, "c%1", firstPart + 1, columns, 20)});
    QStringList first, second;
    for (const QString r : {"r1", "r2", "r3"}) {
        first << expectRow(r + QStringLiteral("@0 |@80"), r + QStringLiteral("-c%1"), 1, firstPart, 100);
        second << expectRow(QStringLiteral("|@0"), r + QStringLiteral("-c%1"), firstPart + 1, columns, 20);
    }
    EXPECT_EQ(bandLines(0, "MasterData1"), first);
    EXPECT_EQ(bandLines(1, "MasterData1"), second);
    // Both pages have their page header and one page footer; rows sit at
    // the same height on both.
    EXPECT_EQ(texts(1).first(), QStringLiteral("Header"));
    // The first page's footer comes at its end and counts all its rows.
    EXPECT_EQ(texts(0).last(), QStringLiteral("page 1 rows 3"));
    EXPECT_EQ(texts(0).filter(QStringLiteral("page ")).size(), 1);
    EXPECT_EQ(texts(1).filter(QStringLiteral("page 2")).size(), 1);
    EXPECT_EQ(texts(1).count(QStringLiteral("Header")), 1);
    const QString dump = lyrDumpPreparedPages(pages());
    const QString page2 = dump.mid(dump.indexOf(QStringLiteral("page 2\n")));
    EXPECT_NE(page2.indexOf(QStringLiteral("TlyrMasterData MasterData1 0.00 40.00")), -1) << dump.toStdString();

    // An endless width keeps the row on one page as wide as the cells.
    qobject_cast<TlyrReportPage *>(report->FindObject(QStringLiteral("Page1")))->EndlessWidth = true;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    EXPECT_EQ(bandLines(0, "MasterData1").first(), expectRow("r1@0 |@80", "r1-c%1", 1, columns, 100));
    EXPECT_NEAR(pages().GetPageSize(0).width(), sideMargins + 100 + columns * 60, 1);

    // Rows that go on to the next page go there after the pages in width.
    qobject_cast<TlyrReportPage *>(report->FindObject(QStringLiteral("Page1")))->EndlessWidth = false;
    rowLimit = 60;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(pages().Count(), 4);
    ASSERT_EQ(pages().Count() % 2, 0);
    QStringList seen;
    for (int i = 0; i < pages().Count(); i += 2) {
        const QStringList left = bandLines(i, "MasterData1"), right = bandLines(i + 1, "MasterData1");
        ASSERT_EQ(left.size(), right.size()) << "page " << i + 1;
        for (int r = 0; r < left.size(); ++r) {
            const QString name = left[r].section(QLatin1Char('@'), 0, 0);
            seen << name;
            EXPECT_EQ(left[r],
                      expectRow(name + QStringLiteral("@0 |@80"), name + QStringLiteral("-c%1"), 1, firstPart, 100));
            EXPECT_EQ(right[r],
                      expectRow(QStringLiteral("|@0"), name + QStringLiteral("-c%1"), firstPart + 1, columns, 20));
        }
        EXPECT_EQ(texts(i).last(), QStringLiteral("page %1 rows %2").arg(i + 1).arg(left.size()));
    }
    QStringList all;
    for (int i = 1; i <= 60; ++i) all << QStringLiteral("r%1").arg(i);
    EXPECT_EQ(seen, all);

    // The second pass of a two-pass report lays the pages out the same way.
    const QString single = lyrDumpPreparedPages(pages());
    report->EngineOptions()->SetDoublePass(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lyrDumpPreparedPages(pages()), single);
}

TEST_F(EngineTest, CrossedRowsTotalPerRowAndPerColumn)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N", "V"}, {{"r1", "1"}, {"r2", "2"}, {"r3", "3"}}});
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), {{"W"}, {{"10"}, {"20"}, {"30"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "RowName", "[Rows.\"N\"]", 0, 80);
    memo(master, "Cell", "[Rows.\"V\"]*[Cols.\"W\"]", 100, 60);
    memo(master, "RowTotal", "[SUM(<Rows.\"V\"> * <Cols.\"W\">)]", 160, 60);
    memo(band<TlyrFooter>("Footer1", 70, 20), "ColTotal", "[SUM(<Rows.\"V\"> * <Cols.\"W\">)]", 100, 60);
    vband<TlyrMasterData>("VData", 100, 60)->SetDataSet(cols.ds);
    vband<TlyrFooter>("VFooter", 160, 60);

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    const QStringList out = bandLines(0, {}, false);
    // The row's total is the sum of its cells;
    // a column's total the sum of its cells over the rows.
    QStringList expected;
    const int v[] = {1, 2, 3}, w[] = {10, 20, 30};
    for (int r = 0; r < 3; ++r) {
        QStringList row{QStringLiteral("r%1").arg(r + 1)};
        int total = 0;
        for (int c : w) {
            row << QStringLiteral("%1*%2").arg(v[r]).arg(c);
            total += v[r] * c;
        }
        row << QString::number(total);
        expected << row.join(QLatin1Char(' '));
    }
    QStringList footer;
    for (int c : w) footer << QString::number((v[0] + v[1] + v[2]) * c);
    expected << footer.join(QLatin1Char(' '));
    EXPECT_EQ(out, expected);
}

TEST_F(EngineTest, CrossedRowsInASubreportStartAtTheSubreport)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"r1"}, {"r2"}}});
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), {{"W"}, {{"10"}, {"20"}}});
    TlyrReportPage *mainPage = page;
    page = titleSubreportPage(50);
    auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "RowName", "[Rows.\"N\"]");
    memo(master, "Cell", "[Rows.\"N\"]x[Cols.\"W\"]", 100, 60);
    vband<TlyrMasterData>("VData", 100, 60)->SetDataSet(cols.ds);
    page = mainPage;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    // Cells stand where they would on a page of their own, moved by the
    // subreport's left.
    EXPECT_EQ(bandLines(0, QStringLiteral("MasterData1")),
              (QStringList{"r1@50 r1x10@150 r1x20@210", "r2@50 r2x10@150 r2x20@210"}));
}

TEST_F(EngineTest, CrossedRowsOfASubreportContinueAtItsLeftOnPagesInWidth)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"r1"}}});
    Table t{{"W"}, {}};
    for (int i = 1; i <= 8; ++i) t.rows << QStringList{QString::number(i)};
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), t);
    const double subLeft = 300;
    const double room = (page->PaperWidth() - page->LeftMargin() - page->RightMargin()) * lyrUnitsPerMM - subLeft;
    TlyrReportPage *mainPage = page;
    page = titleSubreportPage(subLeft);
    auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "RowName", "[Rows.\"N\"]");
    memo(master, "Cell", "c[Cols.\"W\"]", 100, 60);
    vband<TlyrMasterData>("VData", 100, 60)->SetDataSet(cols.ds);
    page = mainPage;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    // As many cells as fit right of the subreport, the rest on the next
    // pages in width, again from the subreport's left.
    const int first = int((room - 100) / 60);
    QStringList expected{QStringLiteral("r1@%1").arg(subLeft)};
    for (int i = 0; i < first; ++i) expected << QStringLiteral("c%1@%2").arg(i + 1).arg(subLeft + 100 + i * 60);
    EXPECT_EQ(bandLines(0, QStringLiteral("MasterData1")), QStringList(expected.join(u' ')));
    ASSERT_GE(pages().Count(), 2);
    const int second = std::min(8 - first, int(room / 60));
    QStringList next;
    for (int i = 0; i < second; ++i) next << QStringLiteral("c%1@%2").arg(first + i + 1).arg(subLeft + i * 60);
    EXPECT_EQ(bandLines(1, QStringLiteral("MasterData1")), QStringList(next.join(u' ')));
}

TEST_F(EngineTest, ColumnTotalsUnderVerticalGroupsSumTheirColumnOrGroup)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N", "K"}, {{"r1", "1"}, {"r2", "10"}}});
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), {{"G", "W"}, {{"A", "1"}, {"A", "2"}, {"B", "3"}}});
    auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "RowName", "[Rows.\"N\"]");
    memo(master, "Value", "[<Cols.\"W\"> * <Rows.\"K\">]", 140, 60);
    memo(master, "Subtotal", "[SUM(<Cols.\"W\"> * <Rows.\"K\">)]", 200, 40);
    memo(master, "RowTotal", "[SUM(<Cols.\"W\"> * <Rows.\"K\">)]", 240, 40);
    auto *footer = band<TlyrFooter>("Footer1", 70, 20);
    memo(footer, "Total", "total", 0, 80);
    memo(footer, "ColTotal", "[SUM(<Cols.\"W\"> * <Rows.\"K\">)]", 140, 60);
    memo(footer, "GroupTotal", "[SUM(<Cols.\"W\"> * <Rows.\"K\">)]", 200, 40);
    memo(footer, "GrandTotal", "[SUM(<Cols.\"W\"> * <Rows.\"K\">)]", 240, 40);
    verticalGroups(cols.ds);
    vband<TlyrFooter>("VFooter", 240, 40);

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    const QStringList out = bandLines(0, {}, false);
    // Each cell of the total row sums its column over the rows; under a
    // group's subtotal that is the group's total, under the row totals the
    // grand total.
    EXPECT_EQ(out, (QStringList{"r1 1 2 3 3 3 6", "r2 10 20 30 30 30 60", "total 11 22 33 33 33 66"}));
}

TEST_F(EngineTest, VerticalGroupsPrintTheirHeadersAndSubtotalsAcrossTheRow)
{
    RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"r1"}, {"r2"}}});
    RowsDataSet cols(report.get(), QStringLiteral("Cols"), {{"G", "W"}, {{"A", "1"}, {"A", "2"}, {"B", "3"}}});
    auto *master = band<TlyrMasterData>("MasterData1", 40, 20);
    master->SetDataSet(rows.ds);
    memo(master, "RowName", "[Rows.\"N\"]", 0, 80);
    memo(master, "Group", "[Cols.\"G\"]", 100, 40);
    memo(master, "Value", "[Cols.\"W\"]", 140, 60);
    memo(master, "Subtotal", "[SUM(<Cols.\"W\">)]", 200, 40);
    verticalGroups(cols.ds);

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(pages().Count(), 1);
    const QStringList out = bandLines(0);
    // Each group: its header, its values, then its subtotal, side by side.
    QStringList expected;
    for (const char *r : {"r1", "r2"})
        expected << QStringLiteral("%1@0 A@100 1@140 2@200 3@260 B@300 3@340 3@400").arg(QLatin1String(r));
    EXPECT_EQ(out, expected);
}

namespace {
// Every outline item below the current level, "text@page,top", nested
// items indented by two blanks a level.
QStringList outlineItems(TlyrOutline &o, int depth = 0)
{
    QStringList out;
    if (depth == 0) o.LevelRoot();
    for (int i = 0, n = o.Count(); i < n; ++i) {
        QString text;
        int pageNo = -1, top = -1;
        o.GetItem(i, text, pageNo, top);
        out << QStringLiteral("%1%2@%3,%4").arg(QString(depth * 2, u' '), text).arg(pageNo).arg(top);
        o.LevelDown(i);
        out << outlineItems(o, depth + 1);
        o.LevelUp();
    }
    return out;
}
// The names of the bands on page i, in output order.
QStringList bandNames(TlyrPreviewPages &pages, int i)
{
    QStringList out;
    for (TlyrComponent *b : pages.GetPage(i)->Objects()) out << b->Name();
    return out;
}
}  // namespace

TEST_F(EngineTest, APageRunsItsEventsObjectsOverlayOutlineManualBuildAndColumns)
{
    {
        SCOPED_TRACE("page events run around the page");
        report->SetScriptText({QStringLiteral("procedure PageStart(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  T1.Text := 'started';"), QStringLiteral("end;"),
                               QStringLiteral("procedure PageEnd(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  T2.Text := 'ended';"), QStringLiteral("end;"),
                               QStringLiteral("begin"), QStringLiteral("end.")});
        page->OnBeforePrint = QStringLiteral("PageStart");
        page->OnAfterPrint = QStringLiteral("PageEnd");
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T1", "not started");
        auto *second = new TlyrReportPage(report.get());
        second->SetName(QStringLiteral("Page2"));
        second->SetParent(report.get());
        auto *title2 = new TlyrReportTitle(report.get());
        title2->SetName(QStringLiteral("Title2"));
        title2->SetParent(second);
        title2->SetHeight(20);
        memo(title2, "T2", "not ended");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(0), QStringList{"started"});
        EXPECT_EQ(texts(1), QStringList{"ended"});
    }
    {
        SCOPED_TRACE("without PrintIfEmpty a page without records is left out");
        newReport();
        report->EngineOptions()->setProperty("PrintIfEmpty", false);
        RowsDataSet none(report.get(), QStringLiteral("None"), {{"N"}, {}});
        memo(band<TlyrReportTitle>("Title1", 0, 20), "T", "title");
        dataBand<TlyrMasterData>("MasterData1", 40, none.ds, "M", "[None.\"N\"]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(pages().Count(), 0);
        report->EngineOptions()->setProperty("PrintIfEmpty", true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(pages().Count(), 1);
    }
    {
        SCOPED_TRACE("objects on the page print on every run of it, under an overlay that is not on top");
        newReport();
        shortPage(100);
        Table t{{"N"}, {}};
        for (int i = 1; i <= 6; ++i) t.rows << QStringList{QString::number(i)};
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
        auto *overlay = band<TlyrOverlay>("Overlay1", 150, 100);
        memo(overlay, "O", "under");
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        auto *stamp = new TlyrMemoView(report.get());
        stamp->SetName(QStringLiteral("Stamp"));
        stamp->SetParent(page);
        stamp->SetBounds(300, 5, 100, 20);
        stamp->SetText(QStringLiteral("stamp [Page#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(0).mid(0, 2), (QStringList{"under", "stamp 1"}));
        EXPECT_EQ(texts(1).mid(0, 2), (QStringList{"under", "6"}));
        for (int i = 0; i < 2; ++i) EXPECT_EQ(bandNames(pages(), i).value(0), QStringLiteral("Overlay1"));
        // The template keeps the object on its page.
        EXPECT_EQ(report->FindObject(QStringLiteral("Stamp"))->Parent()->Name(), QStringLiteral("Page1"));
    }
    {
        SCOPED_TRACE("a manual build replaces the data loops");
        newReport();
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}}});
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        memo(band<TlyrChild>("Child1", 100, 20), "C", "by hand");
        report->OnManualBuild = [this](TlyrReportPage *p) {
            TlyrCustomEngine *e = report->Engine();
            e->ShowBand(p->FindObject(QStringLiteral("Child1")));
            e->NewPage();
            e->ShowBand(p->FindObject(QStringLiteral("Child1")));
        };
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(0), QStringList{"by hand"});
        EXPECT_EQ(texts(1), QStringList{"by hand"});
        report->OnManualBuild = nullptr;
        report->SetScriptText({QStringLiteral("procedure Build(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  Engine.ShowBand(Child1);"), QStringLiteral("  Engine.ShowBand(Child1);"),
                               QStringLiteral("end;"), QStringLiteral("begin"), QStringLiteral("end.")});
        // The run put the template back: the page is found again.
        auto *again = qobject_cast<TlyrReportPage *>(report->FindObject(QStringLiteral("Page1")));
        ASSERT_NE(again, nullptr);
        again->OnManualBuild = QStringLiteral(" Build ");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 1);
        EXPECT_EQ(texts(0), (QStringList{"by hand", "by hand"}));
    }
    {
        SCOPED_TRACE("outline items of the page and of visible bands at their tops");
        newReport();
        shortPage(100);
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}}});
        report->SetScriptText({QStringLiteral("procedure Hide(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  MasterData1.Visible := <Rows.\"N\"> <> '2';"), QStringLiteral("end;"),
                               QStringLiteral("begin"), QStringLiteral("end.")});
        page->OutlineText = QStringLiteral("'Sheet'");
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "Header");
        auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        master->SetOutlineText(QStringLiteral("<Rows.\"N\">"));
        master->SetOnBeforePrint(QStringLiteral("Hide"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(outlineItems(*pages().GetOutline()),
                  (QStringList{"Sheet@0,0", "  1@0,20", "  3@0,40", "  4@0,60", "  5@0,80", "Sheet@1,0", "  6@1,20"}));
    }
    {
        SCOPED_TRACE("each page column ends with the column footer and starts with the column header");
        newReport();
        shortPage(100);
        page->SetColumns(2);
        Table t{{"N"}, {}};
        for (int i = 1; i <= 5; ++i) t.rows << QStringList{QString::number(i)};
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
        memo(band<TlyrColumnHeader>("ColumnHeader1", 0, 20), "CH", "head");
        memo(band<TlyrHeader>("Header1", 30, 10), "H", "again")->SetHeight(10);
        static_cast<TlyrHeader *>(report->FindObject(QStringLiteral("Header1")))->ReprintOnNewPage = true;
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        memo(band<TlyrColumnFooter>("ColumnFooter1", 80, 10), "CF", "foot")->SetHeight(10);
        const double right = page->ColumnWidth() * lyrUnitsPerMM;
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 1);
        // 100 less the footer: header, repeated header and three records a column.
        EXPECT_EQ(bandLines(0), (QStringList{"head@0", "again@0", "1@0", "2@0", "3@0", "foot@0",
                                             QStringLiteral("head@%1").arg(right), QStringLiteral("again@%1").arg(right),
                                             QStringLiteral("4@%1").arg(right), QStringLiteral("5@%1").arg(right),
                                             QStringLiteral("foot@%1").arg(right)}));
    }
    {
        SCOPED_TRACE("a subreport that runs on into the next column leaves the column footer at the column's place");
        newReport();
        shortPage(100);
        page->SetColumns(2);
        Table t{{"N"}, {}};
        for (int i = 1; i <= 8; ++i) t.rows << QStringList{QString::number(i)};
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
        subreport(band<TlyrReportTitle>("Title1", 0, 40), QStringLiteral("Sub"), 50, rows.ds);
        memo(band<TlyrColumnFooter>("ColumnFooter1", 80, 10), "CF", "foot")->SetHeight(10);
        const double right = page->ColumnWidth() * lyrUnitsPerMM;
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 1);
        // The records keep the subreport's offset in either column, and the
        // page goes on in the column where the subreport ended.
        const QString second = QString::number(right + 50);
        EXPECT_EQ(bandLines(0), (QStringList{"", "1@50", "2@50", "3@50", "4@50", "foot@0", "5@" + second,
                                             "6@" + second, "7@" + second, "8@" + second,
                                             QStringLiteral("foot@%1").arg(right)}));
    }
}

namespace {
// Each band on page i: "name@left,top".
QStringList bandPlaces(TlyrPreviewPages &pages, int i)
{
    QStringList out;
    for (TlyrComponent *b : pages.GetPage(i)->Objects())
        out << QStringLiteral("%1@%2,%3").arg(b->Name()).arg(b->Left()).arg(b->Top());
    return out;
}
}  // namespace

TEST_F(EngineTest, GroupsCountThemselvesCloseTheirRowAndFullRowsMoveWhole)
{
    {
        SCOPED_TRACE("a group header prints its own counters and adds its outline item");
        RowsDataSet rows(report.get(), QStringLiteral("Rows"),
                         {{"G"}, {{"a"}, {"a"}, {"b"}, {"c"}, {"c"}}});
        auto *gh = band<TlyrGroupHeader>("GroupHeader1", 10, 20);
        gh->Condition = QStringLiteral("Rows.\"G\"");
        gh->SetOutlineText(QStringLiteral("<Rows.\"G\">"));
        memo(gh, "GH", "[Rows.\"G\"] [Line]/[Line#]");
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Line]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(texts(0), (QStringList{"a 1/1", "1", "2", "b 2/2", "1", "c 3/3", "1", "2"}));
        EXPECT_EQ(outlineItems(*pages().GetOutline()), (QStringList{"a@0,0", "b@0,60", "c@0,100"}));
    }
    {
        SCOPED_TRACE("a group change closes the row of a multi-column band and shows repeats again");
        newReport();
        RowsDataSet rows(report.get(), QStringLiteral("Rows"),
                         {{"G", "V"}, {{"a", "x"}, {"a", "x"}, {"b", "x"}, {"b", "x"}, {"b", "x"}, {"b", "y"}}});
        auto *gh = band<TlyrGroupHeader>("GroupHeader1", 10, 20);
        gh->Condition = QStringLiteral("Rows.\"G\"");
        memo(gh, "GH", "[Rows.\"G\"]");
        auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"V\"]");
        master->SetColumns(3);
        master->SetColumnWidth(100);
        static_cast<TlyrMemoView *>(master->Objects().first())->SetWidth(100);
        static_cast<TlyrMemoView *>(master->Objects().first())->SetSuppressRepeated(true);
        memo(band<TlyrGroupFooter>("GroupFooter1", 70, 20), "GF", "end");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(bandPlaces(pages(), 0),
                  (QStringList{"GroupHeader1@0,0", "MasterData1@0,20", "MasterData1@100,20", "GroupFooter1@0,40",
                               "GroupHeader1@0,60", "MasterData1@0,80", "MasterData1@100,80", "MasterData1@200,80",
                               "MasterData1@0,100", "GroupFooter1@0,120"}));
        EXPECT_EQ(texts(0), (QStringList{"a", "x", "", "end", "b", "x", "", "", "y", "end"}));
    }
    {
        SCOPED_TRACE("a full row that does not fit moves whole to the next page");
        newReport();
        shortPage(100);
        Table t{{"N"}, {}};
        for (int i = 1; i <= 7; ++i) t.rows << QStringList{QString::number(i)};
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), t);
        report->SetScriptText({QStringLiteral("procedure Tall(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  if <Rows.\"N\"> = '5' then MasterData1.Height := 80;"),
                               QStringLiteral("end;"), QStringLiteral("begin"), QStringLiteral("end.")});
        auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        master->SetHeight(30);
        master->SetColumns(3);
        master->SetColumnWidth(100);
        master->SetOnBeforePrint(QStringLiteral("Tall"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 3);
        EXPECT_EQ(placed(pages(), 0, "MasterData1"), (QStringList{"1@0,0", "2@100,0", "3@200,0"}));
        EXPECT_EQ(placed(pages(), 1, "MasterData1"), (QStringList{"4@0,0", "5@100,0", "6@200,0"}));
        EXPECT_EQ(placed(pages(), 2, "MasterData1"), (QStringList{"7@0,0"}));
    }
}

TEST_F(EngineTest, BandOutputKeepsChildrenBreaksStretchesSplitsAndRepeats)
{
    Table five{{"N", "V"}, {}};
    for (int i = 1; i <= 5; ++i) five.rows << QStringList{QString::number(i), QStringLiteral("x")};
    {
        SCOPED_TRACE("a band that keeps its child moves with it");
        shortPage(100);
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), five);
        auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]");
        auto *child = band<TlyrChild>("Child1", 70, 20);
        memo(child, "C", "child [Rows.\"N\"]");
        master->SetChild(child);
        master->SetKeepChild(true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 3);
        EXPECT_EQ(texts(0), (QStringList{"1", "child 1", "2", "child 2"}));
        EXPECT_EQ(texts(1), (QStringList{"3", "child 3", "4", "child 4"}));
    }
    {
        SCOPED_TRACE("the first record of a band that starts new pages does not break");
        newReport();
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"N"}, {{"1"}, {"2"}, {"3"}}});
        memo(band<TlyrHeader>("Header1", 10, 20), "H", "head");
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"N\"]")->SetStartNewPage(true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 3);
        EXPECT_EQ(texts(0), (QStringList{"head", "1"}));
        EXPECT_EQ(texts(2), QStringList{"3"});
    }
    {
        SCOPED_TRACE("text that needs less than its object keeps the object's height");
        newReport();
        auto *title = band<TlyrReportTitle>("Title1", 0, 60);
        title->SetStretched(true);
        TlyrMemoView *m = memo(title, "M", "one line");
        m->SetHeight(50);
        m->Frame()->SetTyp(ftAll);
        m->SetStretchMode(smActualHeight);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_DOUBLE_EQ(pages().GetPage(0)->FindObject(QStringLiteral("M"))->Height(), 50);
    }
    {
        SCOPED_TRACE("a split band takes the objects below its text along, bottom-aligned ones to its end");
        newReport();
        shortPage(226);
        QStringList lines;
        for (int i = 1; i <= 40; ++i) lines << QStringLiteral("line %1").arg(i);
        auto *title = band<TlyrReportTitle>("Title1", 0, 100);
        title->SetStretched(true);
        title->SetAllowSplit(true);
        TlyrMemoView *longText = memo(title, "Long", lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        longText->SetHeight(20);
        longText->SetStretchMode(smActualHeight);
        memo(title, "Below", "below")->SetBounds(0, 30, 200, 20);
        TlyrMemoView *foot = memo(title, "Foot", "foot");
        foot->SetBounds(0, 80, 200, 20);
        foot->SetAlign(baBottom);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_GE(pages().Count(), 3);
        QStringList printed;
        const int last = pages().Count() - 1;
        for (int i = 0; i <= last; ++i) {
            SCOPED_TRACE(i);
            TlyrReportPage *p = pages().GetPage(i);
            double textBottom = 0;
            for (TlyrComponent *c : p->AllObjects()) {
                auto *mv = qobject_cast<TlyrCustomMemoView *>(c);
                if (!mv) continue;
                const double top = c->Parent()->Top() + c->Top();
                EXPECT_LE(top + c->Height(), 226.0001) << mv->Name().toStdString();
                if (mv->Name() == QLatin1String("Long")) {
                    printed << mv->Memo();
                    textBottom = top + c->Height();
                } else {
                    EXPECT_EQ(i, last) << mv->Name().toStdString();
                    EXPECT_GE(top, textBottom - 0.0001) << mv->Name().toStdString();
                }
            }
        }
        EXPECT_EQ(printed, lines);
        EXPECT_EQ(texts(last).mid(texts(last).size() - 2), (QStringList{"below", "foot"}));
    }
    {
        SCOPED_TRACE("a suppressed repeat shows again at the top of a new page");
        newReport();
        shortPage(100);
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), five);
        auto *master = dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"V\"]");
        master->SetHeight(30);
        static_cast<TlyrMemoView *>(master->Objects().first())->SetSuppressRepeated(true);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(pages().Count(), 2);
        EXPECT_EQ(texts(0), (QStringList{"x", "", ""}));
        EXPECT_EQ(texts(1), (QStringList{"x", ""}));
    }
    {
        SCOPED_TRACE("a dot-matrix text's bottom line takes a line below the band's objects");
        newReport();
        auto *title = band<TlyrReportTitle>("Title1", 0, 34);
        title->SetStretched(true);
        auto *boxed = new TlyrDMPMemoView(report.get());
        boxed->SetName(QStringLiteral("Boxed"));
        boxed->SetParent(title);
        boxed->SetBounds(0, 0, 96, 34);
        boxed->SetText(QStringLiteral("boxed"));
        boxed->Frame()->SetTyp(ftBottom);
        auto *side = new TlyrDMPMemoView(report.get());
        side->SetName(QStringLiteral("Side"));
        side->SetParent(title);
        side->SetBounds(192, 0, 96, 17);
        side->SetText(QStringLiteral("side"));
        side->Frame()->SetTyp(ftBottom);
        side->SetStretchMode(smMaxHeight);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        TlyrReportPage *p = pages().GetPage(0);
        EXPECT_DOUBLE_EQ(p->FindObject(QStringLiteral("Title1"))->Height(), 51);
        EXPECT_DOUBLE_EQ(p->FindObject(QStringLiteral("Side"))->Height(), 34);
    }
}

TEST_F(EngineTest, AggregatesInVariablesAndFootersSeeTheLastRecord)
{
    {
        SCOPED_TRACE("a total written in a report variable");
        RowsDataSet rows(report.get(), QStringLiteral("D"), {{"n"}, {{"10"}, {"20"}, {"30"}}});
        report->Variables()->SetVariable(QStringLiteral("Tot"), QStringLiteral("SUM(<D.\"n\">)"));
        report->Variables()->SetVariable(QStringLiteral("Twice"), QStringLiteral("<Tot> * 2"));
        dataBand<TlyrMasterData>("MasterData1", 10, rows.ds, "M", "[D.\"n\"]");
        memo(band<TlyrFooter>("Footer1", 40, 20), "F", "[Tot] [Twice]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(texts(0), (QStringList{"10", "20", "30", "60 120"}));
    }
    {
        SCOPED_TRACE("the last group footer and the footer see the last record");
        newReport();
        RowsDataSet rows(report.get(), QStringLiteral("D"), {{"G", "N"}, {{"1", "a"}, {"1", "b"}, {"2", "c"}}});
        auto *gh = band<TlyrGroupHeader>("GroupHeader1", 10, 20);
        gh->Condition = QStringLiteral("D.\"G\"");
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[D.\"N\"]");
        memo(band<TlyrGroupFooter>("GroupFooter1", 70, 20), "GF", "end [D.\"G\"]");
        memo(band<TlyrFooter>("Footer1", 100, 20), "F", "last [D.\"N\"]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(texts(0), (QStringList{"a", "b", "end 1", "c", "end 2", "last c"}));
    }
}

TEST_F(EngineTest, MemoTextsGroupTagsAndNewPagesFollowTheirModel)
{
    {
        SCOPED_TRACE("a final line break adds no line");
        TlyrMemoView m;
        m.SetText(QStringLiteral("a\r\nb\r\n"));
        EXPECT_EQ(m.Memo(), (QStringList{"a", "b"}));
        m.SetText(QStringLiteral("a\r\n\r\n"));
        EXPECT_EQ(m.Memo(), (QStringList{"a", ""}));
        m.SetText(QStringLiteral("\r\n"));
        EXPECT_EQ(m.Memo(), QStringList{""});
    }
    {
        SCOPED_TRACE("text flowing on to another memo gains no empty line");
        auto *title = band<TlyrReportTitle>("Title1", 0, 200);
        TlyrMemoView *first = memo(title, "First", "a\r\nb");
        first->SetHeight(first->CalcHeight());
        first->SetText(QStringLiteral("a\r\nb\r\nc\r\nd"));
        TlyrMemoView *next = memo(title, "Next", "", 300);
        first->SetFlowTo(next);
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        TlyrReportPage *p = pages().GetPage(0);
        EXPECT_EQ(qobject_cast<TlyrCustomMemoView *>(p->FindObject(QStringLiteral("First")))->Memo(),
                  (QStringList{"a", "b"}));
        EXPECT_EQ(qobject_cast<TlyrCustomMemoView *>(p->FindObject(QStringLiteral("Next")))->Memo(),
                  (QStringList{"c", "d"}));
    }
    {
        SCOPED_TRACE("a drill-down group header carries its running number");
        newReport();
        RowsDataSet rows(report.get(), QStringLiteral("Rows"), {{"G"}, {{"a"}, {"b"}, {"b"}, {"c"}}});
        auto *gh = band<TlyrGroupHeader>("GroupHeader1", 10, 20);
        gh->Condition = QStringLiteral("Rows.\"G\"");
        gh->DrillDown = true;
        memo(gh, "GH", "[Rows.\"G\"]");
        dataBand<TlyrMasterData>("MasterData1", 40, rows.ds, "M", "[Rows.\"G\"]");
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
        QStringList tags;
        for (TlyrComponent *b : pages().GetPage(0)->Objects())
            if (b->Name() == QLatin1String("GroupHeader1")) tags << QString::number(b->Tag());
        EXPECT_EQ(tags, (QStringList{"1", "2", "3"}));
    }
    {
        SCOPED_TRACE("a new page takes the paper of the current printer");
        QStringList log;
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        list.push_back(std::make_unique<LogPrinter>(log));
        lyrPrinters().SetPrinters(std::move(list), QString());
        lyrPrinters().Printer()->SetViewParams(11, 0, 0, poLandscape);
        TlyrReportPage fresh;
        fresh.SetDefaults();
        lyrPrinters().SetPrinters({}, QString());
        EXPECT_EQ(fresh.PaperSize(), 11);
        EXPECT_EQ(fresh.Orientation(), poLandscape);
        EXPECT_DOUBLE_EQ(fresh.PaperWidth(), 210);
        EXPECT_DOUBLE_EQ(fresh.PaperHeight(), 148);
        EXPECT_DOUBLE_EQ(fresh.LeftMargin(), 10);
    }
}
