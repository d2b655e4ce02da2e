#include "core/MenuCatalog.h"
#include "core/Schema.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/lookupcombo.h"
#include "report/lyrclass.h"
#include "report/lyrutils.h"
#include "queryfields.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using vdb::Query;

namespace {

class DmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Data/db.edb");
        dm.openDatabase(path, true);
        myLoginDate = "2026-03-07";
    }
    vdb::Connection &c() { return *dm.ADOConnection1(); }
    QString one(const QString &sql)
    {
        Query q(&c());
        q.OpenSql(sql);
        return q.text(0, 0);
    }
    void exec(const QString &sql) { c().execute(sql); }
    void addMember(const QString &card, const QString &date, const QString &del = "否", double xf = 0)
    {
        exec(QString("INSERT INTO Member "
                     "(theNum,theName,theDate,theDel,theType,theZK,theJFBL,theXF,theCZ,theJF,UseCount,UseDate) "
                     "VALUES ('%1','会员','%2','%3','普通会员',100,1,%4,0,0,0,'1900-01-01')")
                     .arg(card, date, del)
                     .arg(xf));
    }
    QTemporaryDir dir;
    QString path;
    TfrmDM dm;
};

TEST_F(DmTest, NewDatabaseHoldsEveryTableAndTheSeedRows)
{
    const QStringList tables = c().tableNames();
    for (const char *t : {"Member", "MType", "MTS", "MJN",   "SShop",  "SType", "SSup",    "UXF",      "UXF_List",
                          "UXF_SK", "UCZ",   "UDH", "ULP",   "UJF",    "UJH",   "UTH",     "UJH_List", "UTH_List",
                          "UBB",    "SDept", "SDJ", "SUser", "SLevel", "SMenu", "SWorker", "SMType",   "SSex"})
        EXPECT_TRUE(tables.contains(t)) << t;
    // Columns the upgrade routine adds only in its second run are there.
    EXPECT_TRUE(c().columnNames("UJH").contains("WName"));
    EXPECT_TRUE(c().columnNames("SSex").contains("Remark"));
    EXPECT_TRUE(c().columnNames("UXF").contains("theYE"));

    EXPECT_EQ(one("select count(*) from SDept"), "1");
    Query q(&c());
    q.OpenSql("select ID, theName from SDJ order by ID");
    QStringList titles;
    for (; !q.Eof(); q.Next()) titles << q.value("ID") + q.value("theName");
    EXPECT_EQ(titles, QStringList({"1消费单", "2储值单", "3兑换单", "4进货单", "5退货单"}));
    EXPECT_EQ(one("select count(*) from SSex"), "3");

    int items = 0;
    for (const auto &m : velmora::numberedMenus()) items += m.items.size();
    EXPECT_EQ(items, 61);
    EXPECT_EQ(one("select count(*) from SMenu"), QString::number(items));
    EXPECT_EQ(one("select MName from SMenu where MNum='000'"), "本店设置 ");
    EXPECT_EQ(one("select MName from SMenu where MNum='003'"), "-");
    EXPECT_EQ(one("select MName from SMenu where MNum='014'"), "退出 ");
    EXPECT_EQ(one("select MName from SMenu where MNum='506'"), "商品库存查询 ");
    EXPECT_EQ(one("select MName from SMenu where MNum='518'"), "供应商导入 ");
    EXPECT_EQ(one("select MName from SMenu where MNum='602'"), "年报表 ");

    // admin / 270946 logs in and holds every catalogue number.
    EXPECT_EQ(one("select count(*) from SUser where theName='admin' AND thePass='270946' AND theState='启用'"), "1");
    EXPECT_EQ(one("select count(*) from SLevel l, SUser u where l.UID=u.ID and u.theName='admin'"),
              QString::number(items));
    EXPECT_EQ(one("select count(*) from SMenu m where not exists (select 1 from SLevel l where l.MNum=m.MNum)"), "0");
}

TEST_F(DmTest, UpgradeOnACompleteDatabaseRunsNothing)
{
    velmora::SchemaUpdater up(c());
    const quint64 before = c().statementCount();
    up.myUpdate();
    EXPECT_EQ(c().statementCount(), before);
}

TEST_F(DmTest, UpgradeAddsMissingTablesAndColumnsWithTheirDefaults)
{
    QTemporaryDir other;
    auto old = vdb::Connection::create(other.filePath("old.edb"), "k");
    old->execute("CREATE TABLE SShop (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(20), theName VARCHAR(50))");
    old->execute("INSERT INTO SShop (theNum, theName) VALUES ('0001', '可乐')");
    old->execute("CREATE TABLE SSex (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(10))");
    velmora::SchemaUpdater up(*old);
    up.myUpdate();
    Query q(old.get());
    q.OpenSql("select * from SShop");
    EXPECT_EQ(q.value("theKC"), "否");
    EXPECT_EQ(q.value("theCount"), "0");
    EXPECT_EQ(q.value("theXF"), "0");
    // SSex existed without Remark: added; UJH was absent: created without the
    // columns that only a second run adds.
    EXPECT_TRUE(old->columnNames("SSex").contains("Remark"));
    EXPECT_EQ(old->columnNames("SSex").size(), 3);
    EXPECT_FALSE(old->columnNames("UJH").contains("WName"));
    EXPECT_TRUE(old->columnNames("UTH").contains("SKType"));
    up.myUpdate();
    EXPECT_TRUE(old->columnNames("UJH").contains("WName"));
    EXPECT_TRUE(old->columnNames("UJH").contains("myDate"));
    // The second run sees SMType, which must not make the absent MType count as present.
    EXPECT_FALSE(old->tableNames().contains("MType"));
    const quint64 before = old->statementCount();
    up.myUpdate();
    EXPECT_EQ(old->statementCount(), before);
}

TEST_F(DmTest, ShopSettingsAreReadAsText)
{
    frmDM = &dm;
    exec("UPDATE SDept SET thePXP=1, theName='小店'");
    velmora::FindDept();
    EXPECT_EQ(myDeptName, "小店");
    EXPECT_EQ(myDeptPXP, "True");
    EXPECT_EQ(myDeptKC, "False");
    EXPECT_TRUE(velmora::isOn(myDeptPXP));
    EXPECT_FALSE(velmora::isOn(myDeptKC));
    EXPECT_EQ(myDeptSex, "先生");
}

TEST_F(DmTest, DocumentNumbersCountTheDaysRows)
{
    EXPECT_EQ(dm.NewXFNum(), "2603070001");
    for (int i = 0; i < 3; ++i)
        exec(QString("INSERT INTO UXF (theNum, theDate, theDel) VALUES ('x', '2026-03-07', '%1')")
                     .arg(i == 1 ? "是" : "否"));
    exec("INSERT INTO UXF (theNum, theDate, theDel) VALUES ('x', '2026-03-06', '否')");
    EXPECT_EQ(dm.NewXFNum(), "2603070004");  // a deleted bill still counts
    EXPECT_EQ(dm.NewXFNum(), "2603070004");  // no insert between: the same number
    myLoginDate = "2026-03-06";
    EXPECT_EQ(dm.NewXFNum(), "2603060002");  // an earlier business date continues that day

    // Widths at 10, 100, 1000 and past 9999 documents a day.
    myLoginDate = "2026-03-08";
    vdb::Transaction tx(c());
    int have = 0;
    auto fillTo = [&](int n) {
        for (; have < n; ++have) exec("INSERT INTO UCZ (theNum, theDate) VALUES ('x', '2026-03-08')");
    };
    fillTo(9);
    EXPECT_EQ(dm.NewCZNum(), "2603080010");
    fillTo(99);
    EXPECT_EQ(dm.NewCZNum(), "2603080100");
    fillTo(999);
    EXPECT_EQ(dm.NewCZNum(), "2603081000");
    fillTo(9999);
    EXPECT_EQ(dm.NewCZNum(), "26030810000");
    tx.commit();
    EXPECT_EQ(dm.NewDHNum(), "2603080001");
    EXPECT_EQ(dm.NewJHNum(), "2603080001");
    EXPECT_EQ(dm.NewTHNum(), "2603080001");
    EXPECT_EQ(dm.NewSPNum(), "2603080001");
}

TEST_F(DmTest, CardNumbersCountTheYearsMembers)
{
    EXPECT_EQ(dm.NewMNum(), "26000001");
    for (int i = 0; i < 41; ++i)
        addMember(QString("c%1").arg(i), i % 2 ? "2026-01-05" : "2026-12-30", i == 3 ? "是" : "否");
    addMember("old", "2025-12-31");
    EXPECT_EQ(dm.NewMNum(), "26000042");
    myLoginDate = "bad";
    EXPECT_THROW(dm.NewMNum(), vdb::DbError);
}

TEST_F(DmTest, CountersChangeOnlyTheLiveMemberWithTheCard)
{
    addMember("26000001", "2026-01-01", "是");
    exec("UPDATE Member SET theJF=50, theCZ=20 WHERE theNum='26000001'");
    addMember("26000001", "2026-03-07");  // the card given again
    dm.myMemberJF("26000001", "10");
    dm.myMemberJF("26000001", "-3");
    dm.myMemberCZ("26000001", "100.5");
    dm.myMemberXF("26000001", "88");
    dm.myMemberUC("26000001", "1");
    dm.myMemberUD("26000001");
    Query q(&c());
    q.OpenSql("select * from Member order by ID");
    EXPECT_EQ(fieldsOf(q, "theJF,theCZ"), "50|20");
    q.Next();
    EXPECT_EQ(fieldsOf(q, "theJF,theCZ,theXF,UseCount,UseDate"), "7|100.5|88|1|2026-03-07");
    EXPECT_THROW(dm.myMemberJF("26000001", "1; DELETE FROM Member"), vdb::DbError);
    EXPECT_EQ(one("select count(*) from Member"), "2");
    EXPECT_DOUBLE_EQ(dm.myRetMCZ("26000001"), 0.0);  // two rows hold the card
    EXPECT_DOUBLE_EQ(dm.myRetMCZ("nobody"), 0.0);
}

TEST_F(DmTest, StockCountersFollowTheGoodsFlag)
{
    exec("INSERT INTO SShop (theNum, theName, theKC, theCount, theXF) VALUES ('1', 'a', '是', 10, 0)");
    exec("INSERT INTO SShop (theNum, theName, theKC, theCount, theXF) VALUES ('2', 'b', '否', 10, 0)");
    dm.myKC("1", "-3");
    dm.myKC("2", "-3");
    dm.myKC("99", "-3");
    dm.myXF("1", "3");
    dm.myXF("2", "-1.5");
    EXPECT_EQ(one("select theCount from SShop where ID=1"), "7");
    EXPECT_EQ(one("select theCount from SShop where ID=2"), "10");
    EXPECT_EQ(one("select theXF from SShop where ID=1"), "3");
    EXPECT_EQ(one("select theXF from SShop where ID=2"), "-1.5");
    EXPECT_THROW(dm.myKC("1 OR 1=1", "1"), vdb::DbError);
}

TEST_F(DmTest, TypeUpgradeTakesTheHighestThresholdReached)
{
    exec("DELETE FROM MType");
    exec("INSERT INTO MType (theName,theZK,theJF,theState,theXF) VALUES ('A',100,1,'启用',0)");
    exec("INSERT INTO MType (theName,theZK,theJF,theState,theXF) VALUES ('C',80,3,'启用',5000)");
    exec("INSERT INTO MType (theName,theZK,theJF,theState,theXF) VALUES ('B',90,2,'启用',1000)");
    exec("INSERT INTO MType (theName,theZK,theJF,theState,theXF) VALUES ('X',50,9,'停用',2000)");
    auto typeAfter = [&](const QString &card, double spend) {
        addMember(card, "2026-01-01", "否", spend);
        exec("UPDATE Member SET theType='A' WHERE theNum='" + card + "'");
        dm.myMemberUP(card);
        Query q(&c());
        q.OpenSql("select theType, theZK, theJFBL from Member where theNum='" + card + "'");
        return q.value("theType") + "/" + q.value("theZK") + "/" + q.value("theJFBL");
    };
    EXPECT_EQ(typeAfter("m0", 0), "A/100/1");
    EXPECT_EQ(typeAfter("m1", 999.99), "A/100/1");
    EXPECT_EQ(typeAfter("m2", 1000), "B/90/2");
    EXPECT_EQ(typeAfter("m3", 2500), "B/90/2");  // the disabled type is never given
    EXPECT_EQ(typeAfter("m4", 7000), "C/80/3");
    // A deleted member is not upgraded.
    addMember("d", "2026-01-01", "是", 7000);
    dm.myMemberUP("d");
    EXPECT_EQ(one("select theType from Member where theNum='d'"), "普通会员");
    // Spend falling after a deleted sale moves the member down to a lower positive type.
    dm.myMemberXF("m4", "-6000");
    dm.myMemberUP("m4");
    EXPECT_EQ(one("select theType from Member where theNum='m4'"), "B");
    // Of two types with one threshold, the one that comes last wins.
    exec("INSERT INTO MType (theName,theZK,theJF,theState,theXF) VALUES ('D',85,4,'启用',1000)");
    EXPECT_EQ(typeAfter("m5", 1500), "D/85/4");
    // Two live rows holding one card: neither is moved.
    addMember("two", "2026-01-01", "否", 7000);
    addMember("two", "2026-01-01", "否", 7000);
    dm.myMemberUP("two");
    EXPECT_EQ(one("select count(*) from Member where theNum='two' and theType='C'"), "0");
}

TEST_F(DmTest, SingleValueLookupsFallBackToTheirDefaults)
{
    exec("INSERT INTO SType (theName, theState, theKC) VALUES ('饮料', '启用', '否')");
    exec("INSERT INTO SType (theName, theState, theKC) VALUES ('重复', '启用', '否')");
    exec("INSERT INTO SType (theName, theState, theKC) VALUES ('重复', '启用', '否')");
    EXPECT_EQ(dm.myRetKC("饮料"), "否");
    EXPECT_EQ(dm.myRetKC("没有"), "是");
    EXPECT_EQ(dm.myRetKC("重复"), "是");
    EXPECT_EQ(dm.myRetKC("x' OR '1'='1"), "是");
    exec("INSERT INTO MTS (MType, SType, theZK, theJF) VALUES ('普通会员', '饮料', 95, 1)");
    EXPECT_EQ(dm.myRetMTSZKNew("普通会员", "饮料"), "95");
    EXPECT_EQ(dm.myRetMTSZKNew("普通会员", "食品"), "100");
    EXPECT_EQ(dm.myRetMType("普通会员", "theZK"), "100");
    EXPECT_EQ(dm.myRetMType("没有", "theZK"), "");
}

TEST_F(DmTest, ReportRowsTakeNumbersOnly)
{
    QStringList v;
    for (int i = 0; i < 15; ++i) v << QString::number(i) + ".5";
    dm.mySaveBB("2026-03", v);
    EXPECT_EQ(one("select count(*) from UBB"), "1");
    EXPECT_EQ(one("select TH_M from UBB"), "14.5");
    v[3] = "abc";
    EXPECT_THROW(dm.mySaveBB("2026-04", v), vdb::DbError);
    v[3] = "-2";
    dm.mySaveBB("2026-04", v);
    EXPECT_EQ(one("select XF_HY from UBB where theDate='2026-04'"), "-2");
}

TEST_F(DmTest, LookupListsAreSharedAndShowEnabledRows)
{
    exec("INSERT INTO SWorker (theName, theState) VALUES ('小王', '启用')");
    exec("INSERT INTO SWorker (theName, theState) VALUES ('小李', '启用')");
    ui::LookupComboBox a, b, sex;
    dm.DBComSWorker(&a);
    dm.DBComSWorker(&b);
    EXPECT_EQ(a.items(), QStringList({"小王", "小李"}));
    a.setText("小李");
    const QString id = one("select ID from SWorker where theName='小王'");
    dm.myState("SWorker", "停用", id);
    EXPECT_EQ(one("select count(*) from SWorker"), "2");
    dm.DBComSWorker(nullptr);  // another window refills the shared list
    EXPECT_EQ(b.items(), QStringList({"小李"}));
    EXPECT_EQ(a.Text(), "小李");
    dm.DBComSex(&sex);
    EXPECT_EQ(sex.count(), 3);
    ui::LookupComboBox user;
    dm.DBComUser(&user);
    EXPECT_EQ(user.items(), QStringList({"admin"}));
}

TEST_F(DmTest, LunarMonthAndDayOfTheBusinessDate)
{
    // 2026-02-17 is the first day of the first lunar month.
    EXPECT_EQ(dm.myNL5("2026-02-17"), "01-01");
    EXPECT_EQ(dm.myNL5("1800-01-01"), "");
}

TEST(MenuCatalog, NumbersAndNames)
{
    EXPECT_EQ(velmora::menuNumber(5, 18), "518");
    EXPECT_EQ(velmora::menuNumber(0, 3), "003");
    int top = -1, item = -1;
    ASSERT_TRUE(velmora::parseMenuNumber("518", &top, &item));
    EXPECT_EQ(top, 5);
    EXPECT_EQ(item, 18);
    ASSERT_TRUE(velmora::parseMenuNumber("05", &top, &item));
    EXPECT_EQ(top, 0);
    EXPECT_EQ(item, 5);
    EXPECT_FALSE(velmora::parseMenuNumber("x1", &top, &item));
    EXPECT_EQ(velmora::menuName("-"), "-");
    EXPECT_EQ(velmora::menuName("ab &X"), "ab &X");  // blank at the third byte: whole caption
    EXPECT_EQ(velmora::menuName("abcd &X"), "abcd ");
}

}  // namespace

// Report templates reach the data module's datasets as "frmDM.<name>".
TEST(DataModule, IsFoundByTemplatesWhileItLives)
{
    QObject *found = nullptr;
    {
        TfrmDM dm;
        auto *child = new QObject(&dm);
        child->setObjectName(QStringLiteral("lyrDB_Test"));
        found = lyrFindComponent(nullptr, QStringLiteral("frmDM.lyrDB_Test"));
        EXPECT_EQ(found, child);
    }
    EXPECT_EQ(lyrFindGlobalComponent(QStringLiteral("frmDM")), nullptr);
}

// A goods label holds a barcode object; the program knows its class as soon
// as the data module exists, without any code naming the class.
TEST(DataModule, LabelTemplatesWithBarcodesLoad)
{
    TfrmDM dm;
    TlyrReport label;
    label.EngineOptions()->SetNewSilentMode(simSilent);
    QBuffer b;
    b.setData("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<TlyrReport Version=\"4.3\"><TlyrReportPage Name=\"Page1\">"
              "<TlyrBarCodeView Name=\"BarCode1\" Left=\"10\" Top=\"10\" Width=\"100\" Height=\"40\" Text=\"123\"/>"
              "</TlyrReportPage></TlyrReport>");
    b.open(QIODevice::ReadOnly);
    label.LoadFromStream(b);
    EXPECT_TRUE(label.Errors().isEmpty()) << label.Errors().join(u'\n').toStdString();
    ASSERT_NE(label.FindObject(QStringLiteral("BarCode1")), nullptr);
    EXPECT_STREQ(label.FindObject(QStringLiteral("BarCode1"))->metaObject()->className(), "TlyrBarCodeView");
}

// With the data module alive, a template prepares through the real engine.
TEST(DataModule, ReportsPrepareThroughTheEngine)
{
    TfrmDM dm;
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    QBuffer b;
    b.setData("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<TlyrReport Version=\"4.3\"><TlyrReportPage Name=\"Page1\">"
              "<TlyrReportTitle Name=\"ReportTitle1\" Height=\"40\" Top=\"20\" Width=\"700\">"
              "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" Text=\"消费单\"/>"
              "</TlyrReportTitle></TlyrReportPage></TlyrReport>");
    b.open(QIODevice::ReadOnly);
    r.LoadFromStream(b);
    EXPECT_TRUE(r.PrepareReport()) << r.Errors().join(u'\n').toStdString();
    EXPECT_FALSE(r.Errors().join(u'\n').contains("报表引擎未安装"));
}

// An index dropped from a database file comes back when the data module opens it.
static void expectIndexAddedOnOpen(TfrmDM &dm, const QString &dir, const QString &index)
{
    const QString path = dir + "/db.edb";
    velmora::createDatabase(path, velmora::databaseKey());
    {
        auto c = vdb::Connection::open(path, velmora::databaseKey());
        c->executeNative("DROP INDEX " + index);
    }
    dm.openDatabase(path, false);
    vdb::Query q(dm.ADOConnection1());
    q.OpenSql("select count(*) as n from sqlite_master where type='index' and name='" + index + "'");
    EXPECT_EQ(q.value("n"), "1") << index.toStdString();
}

// A database made before the report indexes existed gets them when opened.
TEST(DataModule, OpeningAnOlderDatabaseAddsTheReportIndexes)
{
    QTemporaryDir dir;
    TfrmDM dm;
    expectIndexAddedOnOpen(dm, dir.path(), "ix_UXF_report");
}

// The supplier finder matches a pinyin prefix as a range: an older database
// gets the index it needs when opened, and the range uses it.
TEST(DataModule, SupplierPinyinPrefixUsesAnIndex)
{
    QTemporaryDir dir;
    TfrmDM dm;
    expectIndexAddedOnOpen(dm, dir.path(), "ix_SSup_thePY");
    vdb::Query q(dm.ADOConnection1());
    q.OpenSql("EXPLAIN QUERY PLAN select ID from SSup where thePY >= 'zs' COLLATE NOCASE AND thePY < 'zt' COLLATE "
              "NOCASE");
    QString plan;
    for (q.First(); !q.Eof(); q.Next()) plan += q.value("detail");
    EXPECT_TRUE(plan.contains("ix_SSup_thePY")) << plan.toStdString();
}

// An older database's pinyin codes are made again when it is first opened,
// all in one go: those the earlier table made (长沙 "ZS") follow the place of
// each character in the pinyin order; codes typed by hand and names without
// such characters stay; later openings change nothing.
TEST(DataModule, OpeningAnOlderDatabaseMakesItsPinyinCodesAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("db.edb");
    velmora::createDatabase(path, velmora::databaseKey());
    {
        auto c = vdb::Connection::open(path, velmora::databaseKey());
        c->executeNative("PRAGMA user_version = 0");
        for (const char *row : {"Member (theNum,theName,thePY) VALUES ('1','长沙','ZS')",
                                "Member (theNum,theName,thePY) VALUES ('2','曾小贤','zxx')",
                                "Member (theNum,theName,thePY) VALUES ('3','张三','ZS')",
                                "SShop (theNum,theName,thePY) VALUES ('01','厦门饼 A2','SMBA2')",
                                "SSup (theName,thePY) VALUES ('曾氏','CS')", "ULP (theName,thePY) VALUES ('长寿面','ZSM')",
                                "UXF_List (theNum,theName,thePY) VALUES ('X1','咳糖','HT')",
                                "UJH_List (theNum,theName,thePY) VALUES ('J1','茄子','JZ')",
                                "UTH_List (theNum,theName,thePY) VALUES ('T1','畜','C')"})
            c->execute(QString("INSERT INTO ") + row);
        // A refused statement undoes the whole upgrade.
        c->executeNative("CREATE TRIGGER refuse BEFORE UPDATE ON UTH_List BEGIN SELECT RAISE(ABORT, 'no'); END");
    }
    TfrmDM dm;
    const QString codes = "select thePY from Member union all select thePY from SShop union all select thePY from "
                          "SSup union all select thePY from ULP union all select thePY from UXF_List union all select "
                          "thePY from UJH_List union all select thePY from UTH_List";
    auto read = [&](const QString &sql) {
        QStringList out;
        vdb::Query q(dm.ADOConnection1());
        for (q.OpenSql(sql); !q.Eof(); q.Next()) out << q.FieldByIndex(0).AsString();
        return out;
    };
    EXPECT_THROW(dm.openDatabase(path, false), vdb::DbError);
    dm.closeDatabase();
    {
        auto c = vdb::Connection::open(path, velmora::databaseKey());
        vdb::Query q(c.get());
        q.OpenSql("select thePY from Member where theNum='1'");
        EXPECT_EQ(q.value("thePY"), "ZS");
        c->executeNative("DROP TRIGGER refuse");
    }
    dm.openDatabase(path, false);
    EXPECT_EQ(read(codes), QStringList({"CS", "zxx", "ZS", "XMBA2", "ZS", "CSM", "KT", "QZ", "X"}));
    EXPECT_EQ(read("PRAGMA user_version"), QStringList{"1"});

    dm.ADOConnection1()->execute("UPDATE Member SET thePY='ZS' WHERE theNum='1'");
    dm.openDatabase(path, false);
    EXPECT_EQ(read("select thePY from Member where theNum='1'"), QStringList{"ZS"});
}

// A live database lacking what the program needs is named when it is opened.
TEST(DataModule, OpeningADatabaseWithoutNeededTablesOrColumnsNamesThem)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("db.edb");
    velmora::createDatabase(path, velmora::databaseKey());
    {
        auto c = vdb::Connection::open(path, velmora::databaseKey());
        c->executeNative("DROP TABLE MJN");
        c->executeNative("ALTER TABLE SUser DROP COLUMN thePass");
    }
    TfrmDM dm;
    try {
        dm.openDatabase(path, false);
        ADD_FAILURE() << "opened";
    } catch (const vdb::DbError &e) {
        EXPECT_TRUE(e.message().contains("MJN")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("SUser.thePass")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(path))) << e.message().toStdString();
    }
}
