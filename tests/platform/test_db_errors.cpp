// What the user reads when the database fails: a Chinese sentence naming the
// cause and what to do; SQLite's own text and the statement only in the details.
#include "db_file_test.h"
#include "file_traps.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vdb;

namespace {

const QByteArray kKey = kTestKey;

class DbErrorTest : public DbFileTest {
protected:
    void SetUp() override
    {
        DbFileTest::SetUp();
        conn->execute("CREATE TABLE T (ID INT IDENTITY (1, 1) NOT NULL, s VARCHAR(200) WITH COMP)");
    }
    // The error of a statement, with the checks every such error passes.
    static DbError errorOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const DbError &e) {
            return e;
        }
        ADD_FAILURE() << "no error";
        return DbError(QString());
    }
};

// SQLite's English never reaches the sentence; it stays in the details.
void expectPlain(const DbError &e)
{
    EXPECT_FALSE(e.message().contains("SQLite")) << e.message().toStdString();
    EXPECT_FALSE(e.message().contains("database")) << e.message().toStdString();
    EXPECT_TRUE(e.detail().contains("SQLite")) << e.detail().toStdString();
    EXPECT_TRUE(e.message().contains("。") || e.message().contains("！"));
}

TEST_F(DbErrorTest, ALockHeldElsewhereSaysTheDatabaseIsInUse)
{
    auto other = Connection::open(path, kKey);
    other->executeNative("BEGIN IMMEDIATE");
    conn->setBusyTimeout(0);
    const QString sql = "INSERT INTO T (s) VALUES ('x')";
    DbError e = errorOf([&] { conn->execute(sql); });
    EXPECT_EQ(e.code(), SQLITE_BUSY);
    EXPECT_TRUE(e.message().startsWith("数据库正被其他程序使用")) << e.message().toStdString();
    EXPECT_TRUE(e.detail().contains("locked"));
    EXPECT_TRUE(e.detail().contains(sql));
    EXPECT_FALSE(e.message().contains(sql));
    expectPlain(e);
    // The common base carries the same texts.
    const velmora::Error &base = e;
    EXPECT_EQ(base.message(), e.message());
}

TEST_F(DbErrorTest, AFullDiskSaysSo)
{
    conn->executeNative("PRAGMA max_page_count = " + one("PRAGMA page_count"));
    DbError e = errorOf([&] {
        Transaction tx(*conn);
        for (int i = 0; i < 1000; ++i) conn->execute("INSERT INTO T (s) VALUES ('" + QString(150, 'x') + "')");
        tx.commit();
    });
    EXPECT_EQ(e.code(), SQLITE_FULL);
    EXPECT_TRUE(e.message().startsWith("磁盘已满")) << e.message().toStdString();
    expectPlain(e);
    EXPECT_FALSE(conn->inTransaction());
}

TEST_F(DbErrorTest, ADamagedFileSaysItIsDamaged)
{
    {
        Transaction tx(*conn);
        for (int i = 0; i < 400; ++i) conn->execute("INSERT INTO T (s) VALUES ('" + QString(150, 'x') + "')");
        tx.commit();
    }
    conn.reset();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_GT(f.size(), 8 * 4096);
    f.seek(5 * 4096 + 100);
    f.write(QByteArray(2000, '\x5a'));
    f.close();
    auto c = Connection::open(path, kKey);  // the first page is whole
    DbError e = errorOf([&] {
        Query q(c.get());
        q.OpenSql("select count(*), max(length(s)) from T");
    });
    EXPECT_TRUE(e.message().startsWith("数据库文件已损坏")) << e.message().toStdString() << e.detail().toStdString();
    expectPlain(e);
}

TEST_F(DbErrorTest, AStatementFaultAsksForTheMaintainer)
{
    DbError e = errorOf([&] { conn->execute("INSERT INTO NoSuchTable (s) VALUES (1)"); });
    EXPECT_EQ(e.code(), SQLITE_ERROR);
    EXPECT_TRUE(e.message().contains("维护人员"));
    EXPECT_TRUE(e.detail().contains("NoSuchTable"));
    expectPlain(e);
    EXPECT_EQ(userText(SQLITE_IOERR_WRITE), userText(SQLITE_IOERR));
    EXPECT_TRUE(userText(SQLITE_NOTADB).contains("密码"));
    EXPECT_TRUE(userText(SQLITE_READONLY).contains("只读"));
}

// 0: the open was refused as read-only with the expected sentence.
int refusedAsReadOnly(const QString &path, const char *words)
{
    try {
        auto c = Connection::open(path, kKey);
        return 1;
    } catch (const DbError &e) {
        if (e.code() != SQLITE_READONLY) return 2;
        if (!e.message().contains(QString::fromUtf8(words))) return 3;
        if (!e.message().contains(QDir::toNativeSeparators(path).section('/', 0, -2))) return 4;
        return 0;
    }
}

TEST_F(DbErrorTest, AFolderOrFileThatCannotBeWrittenIsToldAtOpening)
{
    conn.reset();
    const QString folder = QFileInfo(path).absolutePath();
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);

    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    EXPECT_EQ(asAnotherUser([&] { return refusedAsReadOnly(path, "不能写入"); }), 0);

    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_EQ(asAnotherUser([&] { return refusedAsReadOnly(path, "只读"); }), 0);

    // Both writable: the other user opens and saves.
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0666), 0);
    EXPECT_EQ(asAnotherUser([&] {
                  try {
                      auto c = Connection::open(path, kKey);
                      c->execute("INSERT INTO T (s) VALUES ('saved')");
                      return 0;
                  } catch (const DbError &) {
                      return 1;
                  }
              }),
              0);
    chmod(QFile::encodeName(folder).constData(), 0755);
}

}  // namespace
