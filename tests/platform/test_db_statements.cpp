// The write-ahead log on the encrypted file, compiled statements kept for
// reuse, and values bound to "?" placeholders.
#include "db_file_test.h"

#include <QDate>
#include <QFile>
#include <cmath>

using namespace vdb;

namespace {

const QByteArray kKey = kTestKey;

class StatementTest : public DbFileTest {
protected:
    void SetUp() override
    {
        DbFileTest::SetUp();
        conn->execute("CREATE TABLE G (ID INT IDENTITY (1, 1) NOT NULL, theName VARCHAR(50) WITH COMP, "
                      "thePrice MONEY, theCount FLOAT, theKC BIT, theDate VARCHAR(20) WITH COMP)");
    }
    QString one(Connection &c, const QString &sql, const QVariantList &params = {}) { return scalar(c, sql, params); }
};

TEST_F(StatementTest, TheEncryptedFileRunsWithAWriteAheadLogAndFullSync)
{
    EXPECT_EQ(one(*conn, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(one(*conn, "PRAGMA synchronous"), "2");  // FULL
    conn->execute("INSERT INTO G (theName) VALUES ('MarkerInTheLog')");
    // While the first connection lives the row is only in the log.
    ASSERT_TRUE(QFile::exists(path + "-wal"));
    QFile wal(path + "-wal");
    ASSERT_TRUE(wal.open(QIODevice::ReadOnly));
    EXPECT_FALSE(wal.readAll().contains("MarkerInTheLog"));
    wal.close();
    {
        auto other = Connection::open(path, kKey);
        EXPECT_EQ(one(*other, "select theName from G"), "MarkerInTheLog");
        EXPECT_EQ(one(*other, "PRAGMA synchronous"), "2");
    }
    EXPECT_THROW(Connection::open(path, "wrong key"), DbError);
    conn.reset();
    auto again = Connection::open(path, kKey);
    EXPECT_EQ(one(*again, "select theName from G"), "MarkerInTheLog");
    EXPECT_EQ(one(*again, "PRAGMA journal_mode"), "wal");
    QFile db(path);
    ASSERT_TRUE(db.open(QIODevice::ReadOnly));
    const QByteArray bytes = db.readAll();
    EXPECT_FALSE(bytes.startsWith("SQLite format 3"));
    EXPECT_FALSE(bytes.contains("MarkerInTheLog"));
}

TEST_F(StatementTest, ValuesAreBoundNotSpliced)
{
    const QStringList names = {"O'Brien", "张三' OR '1'='1", "x'); DELETE FROM G; --", "",
                               QString("nul") + QChar(0) + "byte"};
    for (const QString &n : names)
        EXPECT_EQ(conn->execute("INSERT INTO G (theName, thePrice, theCount, theKC, theDate) VALUES (?, ?, ?, ?, ?)",
                                {n, 12.5, qint64(-3), true, QDate(2026, 3, 7)}),
                  1);
    Query q(conn.get());
    q.OpenSql("select * from G where thePrice = ? order by ID", {12.5});
    ASSERT_EQ(q.RecordCount(), names.size());
    for (int i = 0; i < names.size() - 1; ++i, q.Next()) EXPECT_EQ(q.value("theName"), names[i]);
    EXPECT_EQ(q.value("theName"), "nulbyte");
    EXPECT_EQ(q.value("theCount"), "-3");
    EXPECT_EQ(q.value("theKC"), "True");
    EXPECT_EQ(q.value("theDate"), "2026-03-07");
    // Text compares without case through a placeholder too; NULL is a QVariant().
    EXPECT_EQ(one(*conn, "select count(*) from G where theName = ?", {"o'brien"}), "1");
    conn->execute("UPDATE G SET theName = ? WHERE theName = ?", {QVariant(), ""});
    EXPECT_EQ(one(*conn, "select count(*) from G where theName IS NULL"), "1");
    // Jet's functions and operators around placeholders.
    EXPECT_EQ(one(*conn, "select Left(?, 2) & Mid(?, 2, 1)", {"会员管理", "abc"}), "会员b");
    EXPECT_EQ(one(*conn, "select ? / 2", {qint64(7)}), "3.5");

    // Wrong use is an error before anything runs.
    const quint64 before = conn->statementCount();
    EXPECT_THROW(conn->execute("UPDATE G SET theCount = ?", {}), DbError);
    EXPECT_THROW(conn->execute("UPDATE G SET theCount = ?", {1, 2}), DbError);
    EXPECT_THROW(conn->execute("UPDATE G SET theCount = ?", {std::nan("")}), DbError);
    EXPECT_THROW(conn->execute("UPDATE G SET theCount = ?", {HUGE_VAL}), DbError);
    EXPECT_THROW(conn->execute("UPDATE G SET theCount = ?; DELETE FROM G", {1}), DbError);
    EXPECT_EQ(conn->statementCount(), before);
    EXPECT_EQ(one(*conn, "select count(*) from G where theCount = -3"), QString::number(names.size()));
}

TEST_F(StatementTest, AStatementIsCompiledOnceAndReused)
{
    const QString insert = "INSERT INTO G (theName, theCount) VALUES (?, ?)";
    const quint64 start = conn->compileCount();
    for (int i = 0; i < 20; ++i) conn->execute(insert, {QString("g%1").arg(i), i});
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(one(*conn, "select count(*) from G where theCount >= ?", {i}), QString::number(20 - i));
    EXPECT_EQ(conn->compileCount() - start, 2u);
    // The same text without values (as the windows build them) is kept too.
    for (int i = 0; i < 3; ++i) conn->execute("UPDATE G SET theCount = theCount + 1 WHERE theName = 'g1'");
    EXPECT_EQ(conn->compileCount() - start, 3u);
    EXPECT_EQ(one(*conn, "select theCount from G where theName = 'g1'"), "4");

    // A kept "select *" follows a change of the table.
    EXPECT_EQ(one(*conn, "select * from G where ID = 1"), "1");
    conn->execute("ALTER TABLE G ADD COLUMN theNote VARCHAR(10) WITH COMP");
    conn->execute("UPDATE G SET theNote = 'n' WHERE ID = 1");
    Query q(conn.get());
    q.OpenSql("select * from G where ID = 1");
    EXPECT_EQ(q.value("theNote"), "n");

    // Least recently used goes first.
    conn->setStatementCacheSize(2);
    const QString a = "select count(*) from G where ID = 1", b = "select count(*) from G where ID = 2",
                  c = "select count(*) from G where ID = 3";
    one(*conn, a);
    one(*conn, b);
    quint64 n = conn->compileCount();
    one(*conn, a);
    EXPECT_EQ(conn->compileCount(), n);
    one(*conn, c);  // b goes
    one(*conn, a);
    EXPECT_EQ(conn->compileCount(), n + 1);
    one(*conn, b);
    EXPECT_EQ(conn->compileCount(), n + 2);
    // Without a cache every run compiles.
    conn->setStatementCacheSize(0);
    n = conn->compileCount();
    one(*conn, a);
    one(*conn, a);
    EXPECT_EQ(conn->compileCount(), n + 2);
}

TEST_F(StatementTest, AKeptStatementHoldsNoLockAfterItsRun)
{
    conn = nullptr;
    conn = Connection::open(path, kKey, Connection::Journal::Rollback);
    auto other = Connection::open(path, kKey, Connection::Journal::Rollback);
    other->setBusyTimeout(0);
    conn->execute("INSERT INTO G (theName) VALUES ('a')");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(one(*conn, "select count(*) from G"), "1");
        Query q(conn.get());
        q.OpenSql("select theName from G where ID = ?", {1});
        // A writer elsewhere needs every reader gone at its commit.
        Transaction tx(*other);
        other->execute("UPDATE G SET theCount = ?", {i});
        EXPECT_NO_THROW(tx.commit());
    }
}

TEST_F(StatementTest, TextsOfSeveralStatementsStillRunInOrder)
{
    EXPECT_EQ(conn->execute("INSERT INTO G (theName) VALUES ('a'); INSERT INTO G (theName) VALUES ('b');"), 2);
    EXPECT_EQ(conn->execute("INSERT INTO G (theName) VALUES ('a'); INSERT INTO G (theName) VALUES ('b');"), 2);
    EXPECT_EQ(one(*conn, "select count(*) from G"), "4");
    EXPECT_EQ(conn->execute("ALTER TABLE G Add Constraint PrimaryKey Primary Key (ID)"), 0);
    Query q(conn.get());
    EXPECT_THROW(q.OpenSql("select 1; select 2"), DbError);
}

}  // namespace
