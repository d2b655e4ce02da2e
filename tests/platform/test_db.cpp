#include "db_file_test.h"
#include "queryfields.h"

#include <QDir>
#include <QFile>

using namespace vdb;

namespace {

const QByteArray kKey = kTestKey;

using DbTest = DbFileTest;

TEST_F(DbTest, ValuesReadAsTextTheWayTheWindowsExpect)
{
    conn->execute("CREATE TABLE T (ID INT IDENTITY (1, 1) NOT NULL, b BIT, m MONEY, f FLOAT, i INT, s VARCHAR(10) WITH "
                  "COMP)");
    conn->execute("INSERT INTO T (b, m, f, i, s) VALUES (1, 1.23456, 120.0, 7, '007')");
    conn->execute("INSERT INTO T (b, m, f, i, s) VALUES (0, 0.1 + 0.2, 0.1 + 0.2, -3, NULL)");
    conn->execute("INSERT INTO T (b, m, f, i, s) VALUES ('True', 2, 1e20, 0, '')");
    Query q(conn.get());
    q.OpenSql("select * from T order by ID");
    ASSERT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(fieldsOf(q, "b,m,f,i,s,ID"), "True|1.2346|120|7|007|1");
    q.Next();
    EXPECT_EQ(fieldsOf(q, "b,m,f,i,s"), "False|0.3|0.3|-3|");
    EXPECT_TRUE(q.FieldByName("s").IsNull());
    q.Next();
    EXPECT_EQ(q.value("b"), "True");
    EXPECT_TRUE(q.FieldByName("b").AsBoolean());
    EXPECT_DOUBLE_EQ(q.FieldByName("f").AsFloat(), 1e20);
    // Field names are found without regard to case, unknown ones are an error.
    EXPECT_EQ(q.value("ID"), q.value("id"));
    EXPECT_THROW(q.FieldByName("nosuch"), DbError);
    q.Next();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.value("s"), "");
}

TEST_F(DbTest, NumberTextIsShortestWithFifteenDigits)
{
    EXPECT_EQ(numberText(120.0), "120");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(12.5), "12.5");
    EXPECT_EQ(numberText(1.0 / 3.0), "0.333333333333333");
}

// What a list shows: a floating value at money's four decimals, half away
// from zero; text and whole numbers as they are.
TEST_F(DbTest, ShownTextRoundsFloatingValuesToFourDecimals)
{
    conn->execute("CREATE TABLE T (f FLOAT, s VARCHAR(10), i INT, b BIT)");
    conn->execute("INSERT INTO T (f, s, i, b) VALUES (0.3, '1.234567', 12, 1)");
    Query q(conn.get());
    q.OpenSql("select f - 0.1 - 0.2 as a, f * 3191474.96 as b, 1.00005 as c, -2.00005 as d, s, i, b, f, "
              "1e300 as e, NULL as n from T");
    EXPECT_EQ(q.text(0, 0), "-2.77555756156289e-17");  // what the binary value reads as
    QStringList shown;
    for (int col = 0; col < q.FieldCount(); ++col) shown << q.shownText(0, col);
    EXPECT_EQ(shown,
              QStringList({"0", "957442.488", "1.0001", "-2.0001", "1.234567", "12", "True", "0.3", q.text(0, 8), ""}));
    EXPECT_EQ(q.shownText(1, 0), "");
    EXPECT_EQ(q.shownText(0, 99), "");
}

TEST_F(DbTest, JetDdlAndStatementsRunAsWritten)
{
    conn->execute("CREATE TABLE SSup(ID INT IDENTITY (1, 1) NOT NULL)");
    conn->execute("ALTER TABLE SSup Add Constraint PrimaryKey Primary Key (ID)");
    conn->execute("ALTER TABLE SSup ADD COLUMN theName VARCHAR(50) WITH COMP");
    conn->execute("ALTER TABLE SSup ADD COLUMN thePass VARCHAR(20) WITH COMP");
    conn->execute("ALTER TABLE SSup ADD COLUMN theCount MONEY");
    conn->execute("UPDate SSup Set theCount = '0'");
    EXPECT_EQ(conn->columnNames("SSup"), QStringList({"ID", "theName", "thePass", "theCount"}));
    conn->execute("INSERT INTO SSup (theName, thePass, theCount) VALUES ('Abc供应商', 'Secret', 0)");
    conn->execute("INSERT INTO SSup (theName, thePass, theCount) VALUES ('第二', 'x', 5)");
    EXPECT_EQ(one("select ID from SSup where theName='第二'"), "2");
    // Text compares without case, except passwords.
    EXPECT_EQ(one("select count(*) from SSup where theName='ABC供应商'"), "1");
    EXPECT_EQ(one("select count(*) from SSup where thePass='secret'"), "0");
    EXPECT_EQ(one("select count(*) from SSup where thePass='Secret'"), "1");
    // Jet's string functions count characters, not bytes.
    EXPECT_EQ(one("select Mid('会员管理软件', 3, 2)"), "管理");
    EXPECT_EQ(one("select Mid('会员管理软件', 5)"), "软件");
    EXPECT_EQ(one("select Left('2026-03-07', 4)"), "2026");
    EXPECT_EQ(one("select Right('2026-03-07', 5)"), "03-07");
    EXPECT_EQ(one("select Len('张三abc')"), "5");
    EXPECT_EQ(one("select count(*) from SSup a left join SSup b on a.ID = b.ID"), "2");
    EXPECT_EQ(one("select IIf(1 > 2, 'a', 'b')"), "b");
    EXPECT_EQ(one("select 'a' & 'b' & 1"), "ab1");
    EXPECT_EQ(one("select 7 / 2"), "3.5");
    EXPECT_EQ(one("select Top 1 theName from SSup order by ID desc"), "第二");
    EXPECT_EQ(one("select count(*) from SSup where #2026-01-02# = '2026-01-02'"), "2");
    // "Delete * From" removes every row.
    EXPECT_EQ(conn->execute("Delete * From SSup"), 2);
    EXPECT_EQ(one("select count(*) from SSup"), "0");
}

TEST_F(DbTest, EnteredTextCannotBreakOrChangeAStatement)
{
    conn->execute("CREATE TABLE P (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(50) WITH COMP)");
    const QStringList names = {"O'Brien",
                               "a''b",
                               "back\\slash\\",
                               "张三' OR '1'='1",
                               "x'); DELETE FROM P; --",
                               QString("nul") + QChar(0) + "byte"};
    for (const QString &n : names) conn->execute("INSERT INTO P (theName) VALUES ('" + sqlText(n) + "')");
    Query q(conn.get());
    q.OpenSql("select theName from P order by ID");
    ASSERT_EQ(q.RecordCount(), names.size());
    for (int i = 0; i < names.size() - 1; ++i, q.Next()) EXPECT_EQ(q.value("theName"), names[i]);
    EXPECT_EQ(q.value("theName"), "nulbyte");
    EXPECT_EQ(one("select count(*) from P where theName=" + sqlQuote("张三' OR '1'='1")), "1");
    EXPECT_EQ(one("select count(*) from P where theName=" + sqlQuote("' OR '1'='1")), "0");
}

TEST_F(DbTest, NumbersAreCheckedAndANegativeChangeSubtracts)
{
    EXPECT_EQ(sqlNum(QString("12.5")), "12.5");
    EXPECT_EQ(sqlNum(QString(" +3 ")), "3");
    EXPECT_EQ(sqlNum(QString("-5")), "(-5)");
    EXPECT_EQ(sqlNum(-2.5), "(-2.5)");
    EXPECT_EQ(sqlNum(qint64(-7)), "(-7)");
    for (const char *bad : {"", "abc", "1;DROP TABLE x", "1e", "--1", "0x10", "1,5", "inf", "nan"})
        EXPECT_THROW(sqlNum(QString(bad)), DbError) << bad;
    conn->execute("CREATE TABLE M (v FLOAT)");
    conn->execute("INSERT INTO M VALUES (10)");
    // "v-" + "-5" would be "v--5", a comment in SQLite.
    conn->execute("UPDATE M SET v=v-" + sqlNum(QString("-5")));
    conn->execute("UPDATE M SET v=v+" + sqlNum(QString("-2")));
    EXPECT_EQ(one("select v from M"), "13");
}

TEST_F(DbTest, AFailedSaveLeavesTheDatabaseAsItWas)
{
    conn->execute("CREATE TABLE A (ID INT IDENTITY (1, 1) NOT NULL, n FLOAT)");
    conn->execute("INSERT INTO A (n) VALUES (1)");
    auto save = [&] {
        Transaction tx(*conn);
        conn->execute("UPDATE A SET n = n + 1");
        conn->execute("INSERT INTO A (n) VALUES (2)");
        conn->execute("INSERT INTO NoSuchTable (n) VALUES (3)");
        tx.commit();
    };
    EXPECT_THROW(save(), DbError);
    EXPECT_FALSE(conn->inTransaction());
    EXPECT_EQ(one("select count(*) from A"), "1");
    EXPECT_EQ(one("select n from A"), "1");

    // A nested scope that fails undoes only its own part.
    {
        Transaction outer(*conn);
        conn->execute("INSERT INTO A (n) VALUES (10)");
        try {
            Transaction inner(*conn);
            conn->execute("INSERT INTO A (n) VALUES (11)");
            throw DbError("stop");
        } catch (const DbError &) {}
        outer.commit();
    }
    EXPECT_EQ(one("select count(*) from A"), "2");
    EXPECT_EQ(one("select max(n) from A"), "10");
}

TEST_F(DbTest, OpeningReportsTheFileAndTheCause)
{
    conn->execute("CREATE TABLE A (n FLOAT)");
    conn.reset();
    try {
        Connection::open(path, "wrong");
        FAIL() << "a wrong key opened the database";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(path)));
        EXPECT_TRUE(e.message().contains("密码"));
    }
    EXPECT_NO_THROW(Connection::open(path, kKey));

    const QString missing = dir.filePath("nowhere/db.edb");
    try {
        Connection::open(missing, kKey);
        FAIL();
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains("不存在"));
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(missing)));
    }
    const QString junk = dir.filePath("junk.edb");
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    EXPECT_THROW(Connection::open(junk, kKey), DbError);
    EXPECT_THROW(Connection::create(path, kKey), DbError);  // never overwrites a database
    // The file is really encrypted: no plain SQLite header.
    QFile enc(path);
    ASSERT_TRUE(enc.open(QIODevice::ReadOnly));
    EXPECT_FALSE(enc.read(16).startsWith("SQLite format 3"));
}

TEST_F(DbTest, CursorSortAndBookmarks)
{
    conn->execute("CREATE TABLE S (ID INT IDENTITY (1, 1) NOT NULL, name VARCHAR(10) WITH COMP, price FLOAT)");
    const char *rows[][2] = {{"b", "10"}, {"A", "9"}, {"c", "100"}, {"B2", "-1"}};
    for (auto &r : rows) conn->execute(QString("INSERT INTO S (name, price) VALUES ('%1', %2)").arg(r[0], r[1]));
    Query q(conn.get());
    q.OpenSql("select * from S");
    EXPECT_TRUE(q.Bof());
    q.Last();
    EXPECT_EQ(q.value("name"), "B2");
    q.Prior();
    EXPECT_EQ(q.value("name"), "c");
    Query::Bookmark bm = q.GetBookmark();
    q.setSort("price ASC");
    q.First();
    EXPECT_EQ(q.value("name"), "B2");
    q.Last();
    EXPECT_EQ(q.value("name"), "c");  // numeric, not text, order
    q.setSort("name DESC");
    QStringList order;
    for (q.First(); !q.Eof(); q.Next()) order << q.value("name");
    EXPECT_EQ(order, QStringList({"c", "B2", "b", "A"}));
    q.GotoBookmark(bm);
    EXPECT_EQ(q.value("price"), "100");
    EXPECT_THROW(q.setSort("nosuch ASC"), DbError);
    q.setSort("");
    q.First();
    EXPECT_EQ(q.value("name"), "b");
}

TEST_F(DbTest, TheCurrentValueIsEmptyWithoutACurrentRow)
{
    conn->execute("CREATE TABLE C (ID INT IDENTITY (1, 1) NOT NULL, name VARCHAR(10) WITH COMP)");
    Query q(conn.get());
    EXPECT_EQ(q.currentValue("name"), "");  // never opened
    q.OpenSql("select * from C");
    EXPECT_EQ(q.currentValue("name"), "");  // no rows
    conn->execute("INSERT INTO C (name) VALUES ('甲')");
    q.OpenSql("select * from C");
    EXPECT_EQ(q.currentValue("name"), "甲");
    q.Next();
    EXPECT_EQ(q.currentValue("name"), "");  // past the end
}

TEST_F(DbTest, NamesAreFoundWithoutCaseAndFollowEachQuery)
{
    conn->execute("CREATE TABLE N (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(10) WITH COMP, 金额 MONEY)");
    conn->execute("INSERT INTO N (theName, 金额) VALUES ('a', 1.5)");
    conn->execute("INSERT INTO N (theName, 金额) VALUES ('b', 2)");
    Query q(conn.get());
    q.OpenSql("select ID, theName, 金额, theName as Dup from N order by ID");
    QStringList seen;
    for (q.First(); !q.Eof(); q.Next())
        for (const QString &n : {"THENAME", "thename", "金额", "id", "dup", "theName"}) seen << q.value(n);
    EXPECT_EQ(seen.join(","), "a,a,1.5,1,a,a,b,b,2,2,b,b");
    EXPECT_EQ(q.FieldIndex("THENAME"), 1);
    EXPECT_EQ(q.FieldIndex("nosuch"), -1);
    EXPECT_EQ(q.FieldIndex("nosuch"), -1);
    // The next query has other columns: the names found before do not carry over.
    q.OpenSql("select 金额, theName, ID from N where ID = 2");
    EXPECT_EQ(q.FieldIndex("theName"), 1);
    EXPECT_EQ(q.FieldIndex("THENAME"), 1);
    EXPECT_EQ(q.FieldIndex("id"), 2);
    EXPECT_EQ(q.FieldIndex("dup"), -1);
    // Two columns of one name: the first one, as before.
    q.OpenSql("select theName, ID as THENAME from N where ID = 1");
    EXPECT_EQ(q.value("thename"), "a");
    // A field taken once reads every row.
    q.OpenSql("select theName from N order by ID");
    Field f = q.FieldByName("THENAME");
    QStringList names;
    for (q.First(); !q.Eof(); q.Next()) names << f.AsString();
    EXPECT_EQ(names, QStringList({"a", "b"}));
}

TEST(JetTranslation, LeavesTextLiteralsAlone)
{
    EXPECT_EQ(translateJet("select 'a & b / c' & x from t"), "select 'a & b / c' || x from t");
    EXPECT_EQ(translateJet("Delete * From UBB"), "Delete From UBB");
    EXPECT_EQ(translateJet("ALTER TABLE X Add Constraint PrimaryKey Primary Key (ID)"), "");
    EXPECT_EQ(translateJet("select 'it''s' from t"), "select 'it''s' from t");
    EXPECT_TRUE(translateJet("ALTER TABLE T ADD COLUMN theName VARCHAR(10) WITH COMP")
                        .trimmed()
                        .endsWith("VARCHAR(10) COLLATE NOCASE"));
    EXPECT_FALSE(translateJet("ALTER TABLE T ADD COLUMN thePass VARCHAR(10) WITH COMP").contains("NOCASE"));
}

}  // namespace
