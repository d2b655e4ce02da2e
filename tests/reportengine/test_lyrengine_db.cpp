// The engine over datasets of the program's database.

#include "platform/db/db.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DbEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lyrInstallEngine();
        ASSERT_TRUE(dir.isValid());
        conn = vdb::Connection::create(dir.filePath(QStringLiteral("Data/db.edb")), "k");
        conn->execute(QStringLiteral("CREATE TABLE S (theNo VARCHAR(10), theCust VARCHAR(20))"));
        conn->execute(QStringLiteral("CREATE TABLE L (theNo VARCHAR(10), theItem VARCHAR(20), theSum MONEY)"));
        const char *sales[][2] = {{"D1", "王"}, {"D2", "王"}, {"D3", "李"}};
        for (auto &s : sales)
            conn->execute(QStringLiteral("INSERT INTO S VALUES (?, ?)"),
                          {QString::fromUtf8(s[0]), QString::fromUtf8(s[1])});
        const char *lines[][3] = {
                {"D1", "可乐", "3.5"}, {"D1", "雪碧", "2"}, {"D2", "果汁", "4"}, {"D3", "茶", "1.25"}};
        for (auto &l : lines)
            conn->execute(QStringLiteral("INSERT INTO L VALUES (?, ?, ?)"),
                          {QString::fromUtf8(l[0]), QString::fromUtf8(l[1]), QString::fromUtf8(l[2]).toDouble()});
        master = std::make_unique<vdb::Query>(conn.get());
        master->OpenSql(QStringLiteral("select theNo, theCust from S order by theCust desc, theNo"));
        detail = std::make_unique<vdb::Query>(conn.get());
        report = std::make_unique<TlyrReport>();
        report->EngineOptions()->SetNewSilentMode(simSilent);
        mds = new TlyrDBDataset(report.get());
        mds->SetName(QStringLiteral("lyrDB_S"));
        mds->SetDataSet(master.get());
        dds = new TlyrDBDataset(report.get());
        dds->SetName(QStringLiteral("lyrDB_L"));
        dds->SetDataSet(detail.get());
        // The program reopens the lines of the current sale as the sale moves.
        auto follow = [this](TlyrDataSet *) {
            detail->OpenSql(QStringLiteral("select theItem, theSum from L where theNo = ? order by theItem"),
                            {mds->GetValue(QStringLiteral("theNo")).ToText()});
        };
        mds->OnFirst = follow;
        mds->OnNext = follow;
        mds->OnPrior = follow;
        report->Datasets()->Add(mds);
        report->Datasets()->Add(dds);
        page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        page->SetParent(report.get());
    }
    void TearDown() override
    {
        report.reset();
        lyrEngineFactories() = TlyrEngineFactories();
    }
    // A band on the fixture's page, or on another report's page.
    template <class B>
    B *band(const char *name, double top, TlyrReportPage *on = nullptr)
    {
        auto *b = new B(on ? on->Report() : report.get());
        b->SetName(QString::fromUtf8(name));
        b->SetParent(on ? on : page);
        b->SetTop(top);
        b->SetHeight(20);
        return b;
    }
    void memo(TlyrBand *b, const char *name, const QString &text)
    {
        auto *m = new TlyrMemoView(b->Report());
        m->SetName(QString::fromUtf8(name));
        m->SetParent(b);
        m->SetBounds(0, 0, 300, 20);
        m->SetText(text);
    }
    // A band of sales with one of their lines below.
    void salesWithLines()
    {
        auto *md = band<TlyrMasterData>("MD", 40);
        md->SetDataSet(mds);
        memo(md, "M", QStringLiteral("[lyrDB_S.\"theNo\"]"));
        auto *dd = band<TlyrDetailData>("DD", 70);
        dd->SetDataSet(dds);
        memo(dd, "D", QStringLiteral("[lyrDB_L.\"theItem\"]"));
    }
    // The texts of the first prepared page.
    QStringList texts()
    {
        QStringList out;
        for (TlyrComponent *c : static_cast<TlyrPreviewPages *>(report->PreviewPages())->GetPage(0)->AllObjects())
            if (c->IsTextObject()) out << c->ComponentText();
        return out;
    }
    QTemporaryDir dir;
    std::unique_ptr<vdb::Connection> conn;
    std::unique_ptr<vdb::Query> master, detail;
    std::unique_ptr<TlyrReport> report;
    TlyrDBDataset *mds = nullptr, *dds = nullptr;
    TlyrReportPage *page = nullptr;
};

}  // namespace

TEST_F(DbEngineTest, SalesWithLinesGroupedByCustomer)
{
    auto *gh = band<TlyrGroupHeader>("GH", 10);
    gh->Condition = QStringLiteral("lyrDB_S.\"theCust\"");
    memo(gh, "G", QStringLiteral("客户 [lyrDB_S.\"theCust\"]"));
    salesWithLines();
    memo(band<TlyrFooter>("DF", 100), "DS", QStringLiteral("[SUM(<lyrDB_L.\"theSum\">)]"));
    memo(band<TlyrGroupFooter>("GF", 130), "GC", QStringLiteral("单数 [COUNT(MD)]"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(report->PreviewPages()->Count(), 1);
    EXPECT_EQ(texts(), (QStringList{"客户 王", "D1", "可乐", "雪碧", "5.5", "D2", "果汁", "4", "单数 2", "客户 李", "D3",
                                  "茶", "1.25", "单数 1"}));
}

// With PrintIfDetailEmpty off, the sale without lines in the middle is left
// out and the sales after it still print.
TEST_F(DbEngineTest, ASaleWithoutLinesIsSkippedAndTheNextOnesPrint)
{
    conn->execute(QStringLiteral("DELETE FROM L WHERE theNo = 'D2'"));
    salesWithLines();
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(), (QStringList{"D1", "可乐", "雪碧", "D3", "茶"}));
}

TEST_F(DbEngineTest, ErrorsOfASharedDatasetGoToTheReportThatRuns)
{
    // A dataset of the program, listed by two reports; as the program's
    // datasets, the queries stay open for the next report.
    vdb::Query query(conn.get());
    query.OpenSql(QStringLiteral("select theNo from S order by theNo"));
    QObject keeper;
    auto *shared = new TlyrDBDataset(&keeper);
    shared->SetName(QStringLiteral("lyrDB_Shared"));
    shared->SetDataSet(&query);
    shared->SetCloseDataSource(false);
    // Datasets the report owns are remade by each run's restore of its
    // template, without their queries: this report uses only the shared one.
    delete mds;
    delete dds;
    mds = dds = nullptr;
    report->Datasets()->Add(shared);
    auto *md = band<TlyrMasterData>("MD", 40);
    md->SetDataSet(shared);
    memo(md, "M", QStringLiteral("[lyrDB_Shared.\"theNo\"]"));

    TlyrReport other;
    other.EngineOptions()->SetNewSilentMode(simSilent);
    other.Datasets()->Add(shared);
    auto *otherPage = new TlyrReportPage(&other);
    otherPage->SetName(QStringLiteral("Page1"));
    otherPage->SetParent(&other);
    auto *otherBand = band<TlyrMasterData>("MD", 40, otherPage);
    otherBand->SetDataSet(shared);
    memo(otherBand, "Wrong", QStringLiteral("[lyrDB_Shared.\"Nope\"]"));

    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    other.PrepareReport();
    EXPECT_TRUE(report->Errors().isEmpty()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_FALSE(other.Errors().isEmpty());
    EXPECT_TRUE(other.Errors().first().startsWith(QStringLiteral("Wrong: "))) << other.Errors().first().toStdString();
    EXPECT_TRUE(other.Errors().first().contains(QStringLiteral("Nope")));
    // The first report runs again: the dataset's errors are its own again.
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(report->Errors().isEmpty()) << report->Errors().join(QLatin1Char('\n')).toStdString();
}

// A footer printed after each sale shows that sale, also after the last one
// of a range that ends on the sale current when the report began.
TEST_F(DbEngineTest, AFooterAfterEachSaleShowsThatSaleOverEveryRangeEnd)
{
    auto *md = band<TlyrMasterData>("MD", 40);
    md->SetDataSet(mds);
    md->SetFooterAfterEach(true);
    memo(md, "M", QStringLiteral("[lyrDB_S.\"theNo\"]"));
    memo(band<TlyrFooter>("DF", 100), "DS", QStringLiteral("F[lyrDB_S.\"theNo\"]"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(), (QStringList{"D1", "FD1", "D2", "FD2", "D3", "FD3"}));

    master->First();
    master->Next();
    mds->SetRangeEnd(TlyrDataSet::reCurrent);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts(), (QStringList{"D1", "FD1", "D2", "FD2"}));
}
