// lyrrun's queries over the shop's database: the database's own words reach
// the author, nothing a query says changes the file, and a run that only
// reads leaves the database's folder as it found it.

#include "core/Unit1.h"
#include "lyrrun_process.h"
#include "platform/db/db.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const QByteArray kRowsTemplate(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport><TlyrReportPage Name=\"Page1\" "
        "PaperWidth=\"210\" PaperHeight=\"297\"><TlyrMasterData Name=\"MasterData1\" Left=\"0\" "
        "Top=\"20\" Width=\"718\" Height=\"20\" DataSet=\"Rows\"><TlyrMemoView Name=\"Memo1\" "
        "Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" "
        "Text=\"[Rows.&#34;theNo&#34;] [Rows.&#34;Running&#34;]\"/></TlyrMasterData>"
        "</TlyrReportPage></TlyrReport>");

class LyrRunQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = QStringLiteral(VELMORA_BINARY_DIR) + QStringLiteral("/bin/lyrrun");
        if (!QFile::exists(exe)) GTEST_SKIP() << "lyrrun not built";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shop")));
        dbPath = dir.filePath(QStringLiteral("shop/db.edb"));
        templ = dir.filePath(QStringLiteral("template.xml"));
        QFile f(templ);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kRowsTemplate);
    }
    // A fresh database in write-ahead mode, closed as the program leaves it.
    void makeDatabase()
    {
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(dbPath + suffix);
        auto db = vdb::Connection::create(dbPath, velmora::databaseKey());
        db->execute(QStringLiteral("CREATE TABLE S (theNo VARCHAR(10), theSum MONEY)"));
        db->execute(QStringLiteral("INSERT INTO S VALUES ('D1', 2.5)"));
        db->execute(QStringLiteral("INSERT INTO S VALUES ('D2', 4)"));
    }
    // The names and contents of every file in the database's folder, a line each.
    std::string folder() const
    {
        QStringList out;
        const QDir d(QFileInfo(dbPath).absolutePath());
        for (const QString &name : d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
            QFile f(d.filePath(name));
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            out << name + u' ' + QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
        }
        return out.join(u'\n').toStdString();
    }
    RunResult run(const QStringList &queries)
    {
        QStringList args{templ, QStringLiteral("--dump"), QStringLiteral("--db"), dbPath};
        for (const QString &q : queries) args << QStringLiteral("--query") << q;
        return runLyrrun(exe, args, 60000);
    }
    QString exe, dbPath, templ;
    QTemporaryDir dir;
};

TEST_F(LyrRunQueryTest, AReadingRunPrintsItsRowsAndLeavesTheFolderAsItWas)
{
    makeDatabase();
    const std::string before = folder();
    ASSERT_EQ(std::count(before.begin(), before.end(), '\n'), 0) << before;
    // A window function: what every current engine offers a report author.
    const RunResult r = run({QStringLiteral("Rows=select theNo, sum(theSum) over (order by theNo) as Running from S")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList texts;
    for (const QString &line : r.out.split(u'\n'))
        if (line.startsWith(QStringLiteral("TlyrMemoView "))) texts << line.section(u' ', 6);
    EXPECT_EQ(texts, (QStringList{"D1 2.5", "D2 6.5"})) << r.out.toStdString();
    EXPECT_EQ(folder(), before);
}

TEST_F(LyrRunQueryTest, TheDatabasesOwnMessageTellsTheFaultsApart)
{
    const QString general = QStringLiteral("数据库操作失败。");
    struct Case {
        const char *query;
        const char *says;
    };
    const Case cases[] = {
            {"Rows=selec 1", "syntax error"},
            {"Rows=select nope from S", "no such column: nope"},
            {"Rows=select * from Nope", "no such table: Nope"},
            {"Rows=UPDATE S SET theSum = 0", "readonly database"},
    };
    std::vector<QString> lines;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query);
        makeDatabase();
        const RunResult r = run({QString::fromUtf8(c.query)});
        EXPECT_EQ(r.exitCode, 1);
        const QString err = r.err.trimmed();
        EXPECT_TRUE(err.startsWith(QStringLiteral("Rows: "))) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.says))) << err.toStdString();
        // One line, as every error line of the runner.
        EXPECT_FALSE(err.contains(u'\n')) << err.toStdString();
        if (!err.contains(general)) EXPECT_TRUE(err.contains(QStringLiteral("只读"))) << err.toStdString();
        lines.push_back(err);
    }
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t j = i + 1; j < lines.size(); ++j) EXPECT_NE(lines[i], lines[j]);
}

TEST_F(LyrRunQueryTest, NoStatementOfTheNewerEngineWritesAnything)
{
    const QString copy = dir.filePath(QStringLiteral("shop/copy.edb"));
    const QString attached = dir.filePath(QStringLiteral("shop/other.edb"));
    const QStringList statements = {
            QStringLiteral("UPDATE S SET theSum = 0 RETURNING theNo, theSum AS Running"),
            QStringLiteral("INSERT INTO S VALUES ('D9', 1) RETURNING theNo, theSum AS Running"),
            QStringLiteral("DELETE FROM S RETURNING theNo, theSum AS Running"),
            QStringLiteral("INSERT INTO S VALUES ('D1', 1) ON CONFLICT DO NOTHING RETURNING theNo, theSum AS Running"),
            QStringLiteral("WITH d AS (SELECT 'D1' AS n) DELETE FROM S WHERE theNo IN (SELECT n FROM d) "
                           "RETURNING theNo, theSum AS Running"),
            QStringLiteral("WITH d AS (SELECT 'D7' AS n) INSERT INTO S SELECT n, 7 FROM d RETURNING theNo, theSum AS Running"),
            QStringLiteral("VACUUM INTO '%1'").arg(copy),
            QStringLiteral("ATTACH '%1' AS o").arg(attached),
            QStringLiteral("PRAGMA journal_mode = DELETE"),
    };
    for (const QString &sql : statements) {
        SCOPED_TRACE(sql.toStdString());
        makeDatabase();
        const std::string before = folder();
        const RunResult r = run({QStringLiteral("Rows=") + sql});
        EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Rows: "))) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("TlyrMemoView"))) << r.out.toStdString();
        EXPECT_EQ(folder(), before);
        EXPECT_FALSE(QFile::exists(copy));
        EXPECT_FALSE(QFile::exists(attached));
    }
    // An attached file cannot be written through either, in the same run.
    makeDatabase();
    {
        auto other = vdb::Connection::create(attached, velmora::databaseKey(), vdb::Connection::Journal::Rollback);
        other->execute(QStringLiteral("CREATE TABLE T (theNo VARCHAR(10))"));
    }
    const std::string before = folder();
    const RunResult r = run({QStringLiteral("A=ATTACH '%1' AS o KEY '%2'").arg(attached, QString::fromUtf8(velmora::databaseKey())),
                          QStringLiteral("Rows=INSERT INTO o.T VALUES ('x') RETURNING theNo, theNo AS Running")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(folder(), before);
}

// A statement that would change the file's journal or move its log into it
// is refused as a change, not reported as a fault of the disk.
TEST_F(LyrRunQueryTest, AJournalChangeIsRefusedAsAChange)
{
    for (const char *sql : {"PRAGMA journal_mode=DELETE", "PRAGMA journal_mode = TRUNCATE",
                            "PRAGMA wal_checkpoint(TRUNCATE)", "PRAGMA main.wal_checkpoint", "UPDATE S SET theSum = 0"}) {
        SCOPED_TRACE(sql);
        makeDatabase();
        const std::string before = folder();
        const RunResult r = run({QStringLiteral("Rows=") + QString::fromUtf8(sql)});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("只读打开的，不能更改"))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("磁盘")) || r.err.contains(QStringLiteral("I/O")))
                << r.err.toStdString();
        EXPECT_EQ(folder(), before);
    }
    // The same while the program has the database open, its log beside it.
    makeDatabase();
    {
        auto program = vdb::Connection::open(dbPath, velmora::databaseKey());
        program->execute(QStringLiteral("INSERT INTO S VALUES ('D3', 1)"));
        for (const char *sql : {"PRAGMA journal_mode=DELETE", "PRAGMA wal_checkpoint(TRUNCATE)"}) {
            SCOPED_TRACE(sql);
            const RunResult r = run({QStringLiteral("Rows=") + QString::fromUtf8(sql)});
            EXPECT_TRUE(r.err.contains(QStringLiteral("只读打开的，不能更改"))) << r.err.toStdString();
            EXPECT_FALSE(r.err.contains(QStringLiteral("磁盘"))) << r.err.toStdString();
        }
        vdb::Query q(program.get());
        q.OpenSql(QStringLiteral("select count(*) from S"));
        EXPECT_EQ(q.text(0, 0), QStringLiteral("3"));
    }
    // Asking for the journal mode only reads it.
    makeDatabase();
    const RunResult r = run({QStringLiteral("Rows=PRAGMA journal_mode")});
    EXPECT_FALSE(r.err.contains(QStringLiteral("Rows: "))) << r.err.toStdString();
}

}  // namespace
