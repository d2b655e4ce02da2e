// Saves while a second connection holds the same file: a refused COMMIT must
// leave nothing behind, the connection clean and every later save landing.
#include "db_file_test.h"

#include <sqlite3.h>

using namespace vdb;

namespace {

const QByteArray kKey = kTestKey;

class CommitTest : public DbFileTest {
protected:
    void SetUp() override
    {
        DbFileTest::SetUp();
        conn->execute(
                "CREATE TABLE Sale (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(20) WITH COMP, theMoney MONEY)");
        conn->execute(
                "CREATE TABLE Line (ID INT IDENTITY (1, 1) NOT NULL, theNum VARCHAR(20) WITH COMP, theCount FLOAT)");
    }
    Connection::Journal journal = Connection::Journal::Wal;
    void useJournal(const char *mode)
    {
        journal = QByteArray(mode) == "WAL" ? Connection::Journal::Wal : Connection::Journal::Rollback;
        conn.reset();
        conn = Connection::open(path, kKey, journal);
        ASSERT_EQ(scalar(*conn, "PRAGMA journal_mode").toLower(), QString(mode).toLower());
    }
    std::unique_ptr<Connection> second() { return Connection::open(path, kKey, journal); }
    // A sale of a head row and two lines, in one transaction.
    void save(Connection &c, const QString &num)
    {
        Transaction tx(c);
        c.execute("INSERT INTO Sale (theNum, theMoney) VALUES (" + sqlQuote(num) + ", 12.5)");
        c.execute("INSERT INTO Line (theNum, theCount) VALUES (" + sqlQuote(num) + ", 1)");
        c.execute("INSERT INTO Line (theNum, theCount) VALUES (" + sqlQuote(num) + ", 2)");
        tx.commit();
    }
    // Rows of a sale after closing and reopening the file.
    QString storedAfterReopen(const QString &num)
    {
        conn.reset();
        auto c = Connection::open(path, kKey, journal);
        QString out = scalar(*c, "select count(*) from Sale where theNum=" + sqlQuote(num)) + "/" +
                      scalar(*c, "select count(*) from Line where theNum=" + sqlQuote(num));
        c.reset();
        conn = Connection::open(path, kKey, journal);
        return out;
    }
    // After reopening the file: nothing of the refused sale, all of the saved one.
    void expectOnlySaved(const QString &refused, const QString &saved)
    {
        EXPECT_EQ(storedAfterReopen(refused), "0/0") << refused.toStdString();
        EXPECT_EQ(storedAfterReopen(saved), "1/2") << saved.toStdString();
    }
    // A second connection that has read the empty sales in a transaction
    // still open; our own connection does not wait for it.
    std::unique_ptr<Connection> readerInTransaction(const char *mode)
    {
        useJournal(mode);
        auto reader = second();
        conn->setBusyTimeout(0);
        reader->executeNative("BEGIN");
        EXPECT_EQ(scalar(*reader, "select count(*) from Sale"), "0");
        return reader;
    }
    static bool clean(Connection &c) { return !c.inTransaction() && sqlite3_get_autocommit(c.handle()); }
};

TEST_F(CommitTest, ARefusedCommitRollsBackAndTheNextSaveLands)
{
    // The reader keeps its shared lock until its transaction ends.
    auto reader = readerInTransaction("DELETE");

    for (const char *num : {"A1", "A2"}) {
        try {
            save(*conn, num);
            FAIL() << "the commit went through a read lock";
        } catch (const DbError &e) {
            EXPECT_TRUE(e.message().contains("没有保存")) << e.message().toStdString();
        }
        EXPECT_TRUE(clean(*conn));
    }
    reader->executeNative("COMMIT");

    save(*conn, "B1");
    save(*conn, "B2");
    EXPECT_TRUE(clean(*conn));
    reader.reset();
    expectOnlySaved("A1", "B1");
    expectOnlySaved("A2", "B2");
}

TEST_F(CommitTest, ABusyHandlerThatGivesUpEndsTheSameWay)
{
    useJournal("DELETE");
    auto reader = second();
    int asked = 0;
    sqlite3_busy_handler(
            conn->handle(), [](void *n, int) { return ++*static_cast<int *>(n), 0; }, &asked);
    reader->executeNative("BEGIN");
    scalar(*reader, "select count(*) from Line");
    EXPECT_THROW(save(*conn, "A1"), DbError);
    EXPECT_GT(asked, 0);
    EXPECT_TRUE(clean(*conn));
    reader->executeNative("ROLLBACK");
    save(*conn, "B1");
    reader.reset();
    expectOnlySaved("A1", "B1");
}

TEST_F(CommitTest, AWriteLockElsewhereRefusesTheSaveBeforeItStarts)
{
    for (const char *mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        useJournal(mode);
        auto writer = second();
        conn->setBusyTimeout(0);
        writer->executeNative("BEGIN IMMEDIATE");
        EXPECT_THROW(save(*conn, QString("A-") + mode), DbError);
        EXPECT_TRUE(clean(*conn));
        EXPECT_THROW(conn->execute("INSERT INTO Sale (theNum) VALUES ('single')"), DbError);
        EXPECT_TRUE(clean(*conn));
        writer->executeNative("ROLLBACK");
        save(*conn, QString("B-") + mode);
        writer.reset();
        expectOnlySaved(QString("A-") + mode, QString("B-") + mode);
    }
}

TEST_F(CommitTest, InWalModeAReaderDoesNotHoldUpASave)
{
    auto reader = readerInTransaction("WAL");
    save(*conn, "W1");
    save(*conn, "W2");
    EXPECT_TRUE(clean(*conn));
    // The reader still sees the file as it was when it began.
    EXPECT_EQ(scalar(*reader, "select count(*) from Sale"), "0");
    reader->executeNative("COMMIT");
    EXPECT_EQ(scalar(*reader, "select count(*) from Sale"), "2");
    reader.reset();
    EXPECT_EQ(storedAfterReopen("W1"), "1/2");
    EXPECT_EQ(storedAfterReopen("W2"), "1/2");
}

TEST_F(CommitTest, ACommitRefusedByTheDatabaseItselfIsUndone)
{
    for (const char *mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        useJournal(mode);
        // A deferred foreign key is checked at COMMIT, which then fails and
        // leaves SQLite's transaction open.
        conn->executeNative("PRAGMA foreign_keys=ON");
        conn->executeNative(QString("CREATE TABLE Head_%1 (id INTEGER PRIMARY KEY)").arg(mode));
        conn->executeNative(
                QString("CREATE TABLE Item_%1 (hid INTEGER REFERENCES Head_%1(id) DEFERRABLE INITIALLY DEFERRED)")
                        .arg(mode));
        try {
            Transaction tx(*conn);
            conn->execute("INSERT INTO Sale (theNum) VALUES ('orphan')");
            conn->execute(QString("INSERT INTO Item_%1 (hid) VALUES (99)").arg(mode));
            tx.commit();
            FAIL() << "the commit did not check the key";
        } catch (const DbError &e) {
            EXPECT_TRUE(e.message().contains("没有保存"));
        }
        EXPECT_TRUE(clean(*conn));
        save(*conn, QString("after-") + mode);
        expectOnlySaved("orphan", QString("after-") + mode);
    }

    // A commit hook that vetoes: SQLite rolls back by itself.
    sqlite3_commit_hook(
            conn->handle(), [](void *) { return 1; }, nullptr);
    EXPECT_THROW(save(*conn, "vetoed"), DbError);
    EXPECT_TRUE(clean(*conn));
    sqlite3_commit_hook(conn->handle(), nullptr, nullptr);
    save(*conn, "C1");
    expectOnlySaved("vetoed", "C1");
}

TEST_F(CommitTest, NestedScopesEndOnceWhenTheOuterCommitFails)
{
    auto reader = readerInTransaction("DELETE");
    try {
        Transaction outer(*conn);
        conn->execute("INSERT INTO Sale (theNum) VALUES ('outer')");
        {
            Transaction inner(*conn);
            conn->execute("INSERT INTO Line (theNum) VALUES ('outer')");
            inner.commit();
        }
        EXPECT_EQ(conn->depth(), 1);
        outer.commit();
        FAIL();
    } catch (const DbError &) {}
    EXPECT_TRUE(clean(*conn));
    reader->executeNative("COMMIT");
    reader.reset();
    {
        Transaction outer(*conn);
        save(*conn, "N1");  // nested inside
        outer.commit();
    }
    EXPECT_TRUE(clean(*conn));
    expectOnlySaved("outer", "N1");
}

TEST_F(CommitTest, AnOuterCommitWithAnInnerScopeStillOpenSavesNothing)
{
    auto outer = std::make_unique<Transaction>(*conn);
    conn->execute("INSERT INTO Sale (theNum) VALUES ('early')");
    auto inner = std::make_unique<Transaction>(*conn);
    conn->execute("INSERT INTO Line (theNum) VALUES ('early')");
    try {
        outer->commit();
        FAIL() << "committed around an open inner scope";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains("没有保存"));
    }
    EXPECT_TRUE(clean(*conn));
    inner.reset();
    outer.reset();
    EXPECT_TRUE(clean(*conn));
    save(*conn, "late");
    expectOnlySaved("early", "late");
}

TEST_F(CommitTest, WorkAfterSQLiteUndidTheTransactionNeverLandsPiecemeal)
{
    // RAISE(ROLLBACK) undoes the whole transaction from inside a statement.
    conn->executeNative("CREATE TRIGGER NoNegative BEFORE INSERT ON Line WHEN new.theCount < 0 "
                        "BEGIN SELECT RAISE(ROLLBACK, 'negative'); END");
    try {
        Transaction tx(*conn);
        conn->execute("INSERT INTO Sale (theNum) VALUES ('S1')");
        try {
            Transaction inner(*conn);
            conn->execute("INSERT INTO Line (theNum, theCount) VALUES ('S1', -1)");
            inner.commit();
        } catch (const DbError &) {
            // A caller that goes on after a failed part.
        }
        EXPECT_THROW(conn->execute("INSERT INTO Line (theNum, theCount) VALUES ('S1', 3)"), DbError);
        tx.commit();
        FAIL() << "a transaction that SQLite undid was reported as saved";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains("没有保存"));
    }
    EXPECT_TRUE(clean(*conn));
    save(*conn, "S2");
    expectOnlySaved("S1", "S2");
}

}  // namespace
