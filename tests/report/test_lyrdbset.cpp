#include "drawing_test_helpers.h"
#include "platform/db/db.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A sale's lines in the foundation's database.
class DbDatasetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        conn = vdb::Connection::create(dir.filePath(QStringLiteral("Data/db.edb")), "k");
        conn->execute(QStringLiteral("CREATE TABLE L (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(20), "
                                     "theCount MONEY, thePrice MONEY, theNote VARCHAR(10), theOK BIT)"));
        conn->execute(QStringLiteral("INSERT INTO L (theName, theCount, thePrice, theNote, theOK) "
                                     "VALUES ('可乐', 2, 3.5, '12', 1)"));
        conn->execute(QStringLiteral("INSERT INTO L (theName, theCount, thePrice, theNote, theOK) "
                                     "VALUES ('雪碧', 1, 2.25, NULL, 0)"));
        conn->execute(QStringLiteral("INSERT INTO L (theName, theCount, thePrice, theNote, theOK) "
                                     "VALUES ('果汁', 3, NULL, '7', 0)"));
        query = std::make_unique<vdb::Query>(conn.get());
        query->OpenSql(QStringLiteral("select theName, theCount, thePrice, theNote, theOK from L order by ID"));
        report.EngineOptions()->SetNewSilentMode(simSilent);
        ds = new TlyrDBDataset(&report);
        ds->SetName(QStringLiteral("lyrDB_L"));
        ds->SetDataSet(query.get());
        report.Datasets()->Add(ds);
    }
    // The names of the records the dataset walks from First to Eof.
    QStringList walk()
    {
        QStringList out;
        ds->First();
        for (int guard = 0; !ds->Eof() && guard < 100; ++guard) {
            out << ds->GetValue(QStringLiteral("theName")).ToText();
            ds->Next();
        }
        return out;
    }
    QTemporaryDir dir;
    std::unique_ptr<vdb::Connection> conn;
    std::unique_ptr<vdb::Query> query;
    TlyrReport report;
    TlyrDBDataset *ds = nullptr;
};

}  // namespace

TEST_F(DbDatasetTest, TypedValuesAndDisplayTexts)
{
    report.Datasets()->Initialize();
    ds->First();
    const KsValue count = ds->GetValue(QStringLiteral("theCount"));
    const KsValue price = ds->GetValue(QStringLiteral("thePrice"));
    EXPECT_TRUE(count.IsNumeric());
    EXPECT_DOUBLE_EQ(ksAdd(count, price).ToDouble(), 5.5);  // adds, does not concatenate
    EXPECT_TRUE(ds->GetValue(QStringLiteral("theNote")).IsString());
    EXPECT_EQ(ds->GetValue(QStringLiteral("theNote")).ToText(), QStringLiteral("12"));
    EXPECT_EQ(ds->GetValue(QStringLiteral("theOK")).Kind(), KsKind::Boolean);
    EXPECT_EQ(ds->GetDisplayText(QStringLiteral("thePrice")), QStringLiteral("3.5"));
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("theName")), TlyrDataSet::ftString);
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("thePrice")), TlyrDataSet::ftNumeric);
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("theOK")), TlyrDataSet::ftBoolean);
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_EQ(ds->FieldsCount(), 5);
    ds->Next();
    EXPECT_TRUE(ds->GetValue(QStringLiteral("theNote")).IsNull());
    EXPECT_TRUE(report.Errors().isEmpty());

    // A query opened again with other columns is read with the new ones.
    query->OpenSql(QStringLiteral("select theName as N from L"));
    ds->First();
    EXPECT_EQ(ds->GetValue(QStringLiteral("N")).ToText(), QStringLiteral("可乐"));
}

TEST_F(DbDatasetTest, MissingFieldGivesNullAndOneErrorLine)
{
    report.Datasets()->Initialize();
    report.CurObject = QStringLiteral("Memo1");
    ds->First();
    EXPECT_TRUE(ds->GetValue(QStringLiteral("theNone")).IsNull());
    ds->Next();
    EXPECT_TRUE(ds->GetValue(QStringLiteral("theNone")).IsNull());
    ASSERT_EQ(report.Errors().size(), 1);
    EXPECT_EQ(report.Errors().first(), QStringLiteral("Memo1: Field not found: lyrDB_L.\"theNone\""));
    EXPECT_EQ(ds->GetDisplayText(QStringLiteral("theNone")), QStringLiteral("Field not found: lyrDB_L.\"theNone\""));
}

TEST_F(DbDatasetTest, AliasesAndHiddenFields)
{
    ds->SetFieldAliases(
            {QStringLiteral("theName=名称"), QStringLiteral("-theNote=备注"), QStringLiteral("thePrice=单价")});
    report.Datasets()->Initialize();
    QStringList fields;
    ds->GetFieldList(fields);
    EXPECT_EQ(fields, (QStringList{QStringLiteral("名称"), QStringLiteral("单价")}));
    EXPECT_FALSE(ds->HasField(QStringLiteral("备注")));
    ds->First();
    EXPECT_EQ(ds->GetValue(QStringLiteral("名称")).ToText(), QStringLiteral("可乐"));
    EXPECT_DOUBLE_EQ(ds->GetValue(QStringLiteral("单价")).ToDouble(), 3.5);
    EXPECT_EQ(ds->GetFieldType(QStringLiteral("名称")), TlyrDataSet::ftString);
    // A source name that is aliased is not a field of the report.
    EXPECT_TRUE(ds->GetValue(QStringLiteral("theName")).IsNull());
    EXPECT_EQ(report.Errors().size(), 1);
}

TEST_F(DbDatasetTest, Ranges)
{
    report.Datasets()->Initialize();
    EXPECT_EQ(walk(), (QStringList{QStringLiteral("可乐"), QStringLiteral("雪碧"), QStringLiteral("果汁")}));

    ds->SetRangeEnd(TlyrDataSet::reCount);
    ds->SetRangeEndCount(2);
    EXPECT_EQ(walk().size(), 2);
    EXPECT_EQ(ds->RecNo(), 1);

    // The current record alone; afterwards the query is back on it.
    query->First();
    query->Next();
    ds->Close();
    query->Open();
    query->First();
    query->Next();
    ds->SetRangeBegin(TlyrDataSet::rbCurrent);
    ds->SetRangeEnd(TlyrDataSet::reCurrent);
    report.Datasets()->Initialize();
    EXPECT_EQ(walk(), (QStringList{QStringLiteral("雪碧")}));
    report.Datasets()->Finalize();
    EXPECT_EQ(query->value(QStringLiteral("theName")), QStringLiteral("雪碧"));

    // From the first record through the current one, and the range ends.
    ds->SetRangeBegin(TlyrDataSet::rbFirst);
    report.Datasets()->Initialize();
    EXPECT_EQ(walk(), (QStringList{QStringLiteral("可乐"), QStringLiteral("雪碧")}));
    report.Datasets()->Finalize();
    EXPECT_EQ(query->value(QStringLiteral("theName")), QStringLiteral("雪碧"));

    // A current record at the end of the data still ends the range.
    query->Last();
    query->Next();
    report.Datasets()->Initialize();
    EXPECT_EQ(walk().size(), 3);
}

TEST_F(DbDatasetTest, NotConnectedAndClosingTheSource)
{
    TlyrDBDataset lonely;
    lonely.SetName(QStringLiteral("Lonely"));
    try {
        lonely.Initialize();
        FAIL();
    } catch (const ElyrError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("DataSet Lonely is not connected to data"));
    }
    ds->SetCloseDataSource(true);
    report.Datasets()->Initialize();
    walk();
    report.Datasets()->Finalize();
    EXPECT_FALSE(query->Active());
    // Opened again on first use.
    report.Datasets()->Initialize();
    EXPECT_EQ(walk().size(), 3);
}

TEST(TlyrDataSet, CountRangeOfAUserDataset)
{
    TlyrUserDataSet u;
    u.SetRangeEnd(TlyrDataSet::reCount);
    u.SetRangeEndCount(3);
    int fired = 0;
    u.OnNext = [&](TlyrDataSet *) { ++fired; };
    QList<int> seen;
    for (u.First(); !u.Eof(); u.Next()) seen << u.RecNo();
    EXPECT_EQ(seen, (QList<int>{0, 1, 2}));
    EXPECT_EQ(u.RecNo(), 2);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(u.RecordCount(), 3);
    u.OnCheckEOF = [](TlyrDataSet *d, bool &eof) { eof = eof || d->RecNo() >= 1; };
    u.First();
    u.Next();
    EXPECT_TRUE(u.Eof());

    u.SetFields({QStringLiteral("a")});
    u.OnGetValue = [](const QString &name, KsValue &v) { v = KsValue(name + QStringLiteral("!")); };
    EXPECT_EQ(u.GetDisplayText(QStringLiteral("a")), QStringLiteral("a!"));
    EXPECT_TRUE(u.HasField(QStringLiteral("A")));
}

TEST(TlyrDataSet, NamesAndGlobalLookup)
{
    TlyrUserDataSet d;
    d.SetName(QStringLiteral("DS1"));
    EXPECT_EQ(d.UserName(), QStringLiteral("DS1"));
    d.SetName(QStringLiteral("DS2"));
    EXPECT_EQ(d.UserName(), QStringLiteral("DS2"));  // followed while equal
    d.SetUserName(QStringLiteral("商品"));
    d.SetName(QStringLiteral("DS3"));
    EXPECT_EQ(d.UserName(), QStringLiteral("商品"));
    EXPECT_THROW(d.SetUserName(QStringLiteral("  ")), ElyrError);

    // Same UserName in two reports: each finds its own.
    TlyrReport r1, r2;
    auto *a = new TlyrUserDataSet(&r1);
    a->SetUserName(QStringLiteral("lyrDB_TM"));
    auto *b = new TlyrUserDataSet(&r2);
    b->SetUserName(QStringLiteral("lyrDB_TM"));
    EXPECT_EQ(lyrFindDataSet(nullptr, QStringLiteral("LYRDB_TM"), &r1), a);
    EXPECT_EQ(lyrFindDataSet(nullptr, QStringLiteral("lyrDB_TM"), &r2), b);
    EXPECT_EQ(lyrFindDataSet(&d, QStringLiteral("lyrDB_TM"), nullptr), &d);
    EXPECT_EQ(lyrFindDataSet(&d, QString(), &r1), nullptr);

    TlyrDataSetItem *item = r1.Datasets()->Add();
    item->SetDataSetName(QStringLiteral("lyrDB_TM"), &r1);
    EXPECT_EQ(item->DataSet(), a);
    EXPECT_EQ(r1.GetDataset(QStringLiteral("lyrdb_tm")), a);

    // Freeing a dataset removes its entry.
    delete a;
    EXPECT_EQ(r1.Datasets()->Count(), 0);
}

namespace {

// A picture column: the dataset says it is a BLOB and hands its bytes over;
// a picture view bound to it prints the picture, a memo the text.
TEST_F(DbDatasetTest, BlobColumnsReachPicturesAndMemos)
{
    conn->execute(QStringLiteral("CREATE TABLE P (ID INT, thePic IMAGE, theNote MEMO)"));
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(Qt::green);
    const QByteArray png = pngBytes(img);
    conn->execute(QStringLiteral("INSERT INTO P (ID, thePic, theNote) VALUES (1, ?, 'a')"), {png});
    vdb::Query pics(conn.get());
    pics.OpenSql(QStringLiteral("select thePic, theNote from P"));
    auto *pds = new TlyrDBDataset(&report);
    pds->SetName(QStringLiteral("lyrDB_P"));
    pds->SetDataSet(&pics);
    report.Datasets()->Add(pds);
    report.Datasets()->Initialize();
    pds->First();
    EXPECT_TRUE(pds->IsBlobField(QStringLiteral("thePic")));
    EXPECT_FALSE(pds->IsBlobField(QStringLiteral("theNote")));
    EXPECT_FALSE(ds->IsBlobField(QStringLiteral("theName")));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    pds->AssignBlobTo(QStringLiteral("thePic"), out);
    EXPECT_EQ(out.data(), png);
    auto *page = new TlyrReportPage(&report);
    auto *view = new TlyrPictureView(page);
    view->SetDataSet(pds);
    view->SetDataField(QStringLiteral("thePic"));
    view->GetData();
    EXPECT_EQ(view->Picture().size(), QSize(4, 3));
    report.Datasets()->Finalize();
}

// The query a dataset walks may go first: the dataset is then without one
// and says so, instead of reading the freed query.
TEST_F(DbDatasetTest, AFreedQueryLeavesTheDatasetWithoutOne)
{
    report.Datasets()->Initialize();
    EXPECT_EQ(walk().size(), 3);
    query.reset();
    EXPECT_EQ(ds->DataSet(), nullptr);
    EXPECT_THROW(ds->First(), ElyrError);
    EXPECT_THROW(ds->Initialize(), ElyrError);
    QStringList fields;
    ds->GetFieldList(fields);
    EXPECT_TRUE(fields.isEmpty());
}

}  // namespace
