// Backup and restore of the running program's database, driven as a user would.
#include "core/Backup.h"
#include "core/FileDialogs.h"
#include "core/MenuOpeners.h"
#include "core/Register.h"
#include "core/main.h"
#include "platform/db/backup.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QAction>
#include <QFile>
#include <sqlite3.h>

namespace {

class BackupTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        velmora::FindDept();
        ASSERT_TRUE(out.isValid());
    }
    // Takes a backup through the window into the folder; returns the file.
    QString backupInto(const QString &folder)
    {
        velmora::ScriptedFileDialogs files;
        files.answer(folder);
        TfrmBackup w;
        w.BitBtn3->click();
        w.BitBtn1->click();
        EXPECT_EQ(msgs.last(), "数据备份成功！");
        return QDir(folder).filePath(myLoginDate + ".edb");
    }
    // Runs the restore window on a file, answering the question with a.
    void restore(const QString &file, ui::Answer a = ui::Answer::Yes)
    {
        velmora::ScriptedFileDialogs files;
        files.answer(file);
        TfrmRecover w;
        w.show();
        w.BitBtn3->click();
        EXPECT_EQ(files.asked(), QStringList{"打开数据备份文件|EDB文件 (*.edb)"});
        msgs.answer(a);
        w.BitBtn1->click();
        EXPECT_FALSE(w.isVisible());  // closed whatever happened
    }
    // Every row of every table of a database file.
    QStringList contentOf(const QString &file)
    {
        const QString copy = out.filePath("read.edb");
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(file, copy));
        auto other = vdb::Connection::open(copy, velmora::databaseKey());
        QStringList all;
        for (const QString &t : other->tableNames()) {
            vdb::Query q(other.get());
            q.OpenSql("select * from " + t);
            all << "== " + t;
            for (int r = 0; r < q.RecordCount(); ++r) {
                QStringList cells;
                for (int col = 0; col < q.FieldCount(); ++col) cells << q.text(r, col);
                all << cells.join('|');
            }
        }
        return all;
    }
    void sale(const QString &number, const QString &goodsId, int count)
    {
        exec(QString("INSERT INTO UXF_List (theNum,myBH,SID,theName,theCount,thePrice,theZK,theMoney) VALUES "
                     "('%1','1',%2,'可乐',%3,2,100,%4)")
                     .arg(number, goodsId)
                     .arg(count)
                     .arg(count * 2));
        exec(QString("UPDATE SShop SET theXF=theXF+%1, theCount=theCount-%1 WHERE ID=%2").arg(count).arg(goodsId));
    }
    void bill(const QString &number, int count)
    {
        exec(QString("INSERT INTO UXF (theNum,theDate,myDate,theCount,theSum,theDel,theType) VALUES "
                     "('%1','2026-03-07','2026-03-07',%2,%3,'否','散客')")
                     .arg(number)
                     .arg(count)
                     .arg(count * 2));
    }
    QTemporaryDir out;
};

TEST_F(BackupTest, BackupNamesTheFileAfterTheBusinessDateAndHoldsEveryRow)
{
    velmora::ScriptedFileDialogs files;
    TfrmBackup w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "数据备份");
    EXPECT_EQ(w.Hints.first()->text(), "单击[选择路径]按钮选择正确备份路径，再单击[备份]按钮即可。");
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "路径不能为空！");
    EXPECT_TRUE(w.isVisible());
    w.Edit1->setText("x");
    w.BitBtn3->click();  // cancelled
    EXPECT_EQ(w.Edit1->text(), "");
    files.answer(out.path());
    w.BitBtn3->click();
    EXPECT_EQ(files.asked(), QStringList({"选择备份路径：|", "选择备份路径：|"}));
    const QString file = out.filePath("2026-03-07.edb");
    EXPECT_EQ(w.Edit1->text(), QDir::toNativeSeparators(file));
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "数据备份成功！");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(w.isVisible());
    // One file on its own, keyed like the database.
    EXPECT_FALSE(QFile::exists(file + "-wal"));
    EXPECT_FALSE(QFile::exists(file + ".part"));
    EXPECT_NO_THROW(vdb::checkDatabaseFile(file, velmora::databaseKey(), {"SDept", "SUser"}));
    EXPECT_THROW(vdb::checkDatabaseFile(file, "other", {"SDept"}), vdb::DbError);
    EXPECT_EQ(contentOf(file), snapshot());

    // A root folder gives one separator before the name.
    TfrmBackup root;
    files.answer("/");
    root.BitBtn3->click();
    EXPECT_EQ(root.Edit1->text(), QDir::toNativeSeparators("/2026-03-07.edb"));

    // The same day again into the same folder replaces the first backup.
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('新员工','','启用')");
    EXPECT_EQ(backupInto(out.path()), file);
    EXPECT_EQ(contentOf(file), snapshot());
}

TEST_F(BackupTest, ABackupTakenWhileASaleIsBeingSavedHoldsOnlyWholeSales)
{
    exec("INSERT INTO SShop (theNum,theName,theType,theState,theDel,theCount,theXF,theKC) VALUES "
         "('001','可乐','饮料','启用','否',100,0,'是')");
    const QString goods = QString::number(c().lastInsertId());
    {
        vdb::Transaction tx(c());
        sale("2603070001", goods, 3);
        bill("2603070001", 3);
        tx.commit();
    }
    QString file;
    {
        // The second sale is half written when the backup is taken.
        vdb::Transaction tx(c());
        sale("2603070002", goods, 5);
        file = backupInto(out.path());
        bill("2603070002", 5);
        tx.commit();
    }
    const QString copy = out.filePath("check.edb");
    ASSERT_TRUE(QFile::copy(file, copy));
    auto backup = vdb::Connection::open(copy, velmora::databaseKey());
    vdb::Query q(backup.get());
    q.OpenSql("select theXF, theCount from SShop");
    EXPECT_EQ(q.value("theXF"), "3");
    EXPECT_EQ(q.value("theCount"), "97");
    q.OpenSql("select count(*), sum(theCount) from UXF_List");
    EXPECT_EQ(q.text(0, 0), "1");
    EXPECT_EQ(q.text(0, 1), "3");
    q.OpenSql("select theNum, theCount from UXF");
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.value("theNum"), "2603070001");
    // The running program has both sales.
    EXPECT_EQ(one("select theXF from SShop"), "8");
    EXPECT_EQ(count("UXF"), 2);
}

TEST_F(BackupTest, AFailedBackupSaysSoClosesAndLeavesTheDatabaseAlone)
{
    const QStringList before = snapshot();
    for (const QString &target : {out.filePath("no/such/folder/2026-03-07.edb"), c().path()}) {
        TfrmBackup w;
        w.show();
        w.Edit1->setText(target);
        w.BitBtn1->click();
        EXPECT_EQ(msgs.last(), "数据备份失败！");
        EXPECT_FALSE(msgs.shown().back().details.isEmpty());
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_EQ(snapshot(), before);
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('甲','','启用')");  // still usable
}

TEST_F(BackupTest, RestoringAGoodBackupBringsItsRowsBackIntoTheRunningProgram)
{
    const QString file = backupInto(out.path());
    const QStringList atBackup = snapshot();
    exec("UPDATE SDept SET theName='改过的店名'");
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('后来的','','启用')");
    exec("DELETE FROM SSex");
    velmora::FindDept();
    ASSERT_EQ(myDeptName, "改过的店名");

    restore(file);
    EXPECT_EQ(msgs.shown()[msgs.count() - 2].text, "确认要恢复数据吗?");
    EXPECT_EQ(msgs.shown()[msgs.count() - 2].caption, "恢复数据");
    EXPECT_EQ(msgs.last(), "数据恢复成功！");
    EXPECT_EQ(snapshot(), atBackup);
    EXPECT_EQ(myDeptName, "Velmora会员店");
    // The same connection, on its own file, still in write-ahead mode and writable.
    EXPECT_EQ(one("PRAGMA journal_mode"), "wal");
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('恢复后','','启用')");
    EXPECT_EQ(count("SWorker"), 1);
    EXPECT_FALSE(QFile::exists(QFileInfo(c().path()).dir().filePath("DB.edb")));
    auto again = vdb::Connection::open(c().path(), velmora::databaseKey());
    vdb::Query q(again.get());
    q.OpenSql("select count(*) from SSex");
    EXPECT_EQ(q.text(0, 0), "3");
}

TEST_F(BackupTest, RestoringAForeignDamagedOrOtherKeyFileChangesNothing)
{
    const QString good = backupInto(out.path());
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray bytes = g.readAll();
    g.close();
    ASSERT_GT(bytes.size(), 4096 * 4);
    auto write = [&](const QString &name, const QByteArray &data) {
        QFile f(out.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return f.fileName();
    };
    QByteArray damaged = bytes;
    for (int i = 0; i < 64; ++i) damaged[4096 * 3 + 200 + i] = char(damaged[4096 * 3 + 200 + i] ^ 0x5a);
    const QString foreign = out.filePath("foreign.edb");
    {
        auto f = vdb::Connection::create(foreign, velmora::databaseKey(), vdb::Connection::Journal::Rollback);
        f->execute("CREATE TABLE Other (ID INT)");
        f->execute("INSERT INTO Other VALUES (1)");
    }
    const QString otherKey = out.filePath("otherkey.edb");
    {
        auto f = vdb::Connection::create(otherKey, "another", vdb::Connection::Journal::Rollback);
        f->execute("CREATE TABLE SDept (theName VARCHAR(50))");
        f->execute("CREATE TABLE SUser (ID INT)");
    }
    const QStringList files = {foreign,
                               otherKey,
                               write("damaged.edb", damaged),
                               write("truncated.edb", bytes.left(bytes.size() / 2)),
                               write("text.edb", "hello"),
                               write("empty.edb", {}),
                               out.filePath("missing.edb")};
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('现在的','','启用')");
    velmora::FindDept();
    const QStringList before = snapshot();
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        restore(file);
        EXPECT_EQ(msgs.last(), "数据恢复失败！");
        EXPECT_EQ(snapshot(), before);
    }
    EXPECT_EQ(myDeptName, "Velmora会员店");

    // No to the question, or no file chosen: nothing happens.
    restore(good, ui::Answer::No);
    EXPECT_EQ(msgs.last(), "确认要恢复数据吗?");
    EXPECT_EQ(snapshot(), before);
    TfrmRecover w;
    w.BitBtn1->click();
    EXPECT_EQ(msgs.last(), "请选择备份文件");
}

// A database and its backup made by the program before its engine was
// renewed (a small shop: three members, five goods, two past sales and one
// sale saved through the sale window) open and restore as they are.
TEST_F(BackupTest, ADatabaseAndABackupMadeByTheOlderEngineOpenAndRestore)
{
    const QString data = QStringLiteral(VELMORA_SOURCE_DIR) + "/tests/core/data/";
    for (const char *name : {"old-db.edb", "old-backup.edb"})
        ASSERT_TRUE(QFile::copy(data + name, out.filePath(name))) << name;
    // Every table reads, and both hold the same rows.
    const QStringList inDb = contentOf(out.filePath("old-db.edb"));
    EXPECT_EQ(contentOf(out.filePath("old-backup.edb")), inDb);
    EXPECT_EQ(inDb.filter("== ").size(), c().tableNames().size());
    auto old = vdb::Connection::open(out.filePath("old-db.edb"), velmora::databaseKey());
    auto value = [&](const QString &sql) {
        vdb::Query q(old.get());
        q.OpenSql(sql);
        return q.IsEmpty() ? QString() : q.text(0, 0);
    };
    EXPECT_EQ(value("select count(*) from Member"), "3");
    EXPECT_EQ(value("select count(*) from SShop"), "5");
    EXPECT_EQ(value("select count(*) from UXF"), "3");
    EXPECT_EQ(value("select count(*) from UXF_List where theNum = (select theNum from UXF where MNum = '26000002' "
                    "and theDate = '2026-03-07')"),
              "2");
    EXPECT_EQ(value("select theName from SUser where theName = 'admin'"), "admin");
    const QString sold = "select theSum from UXF where MNum = '26000002' and theDate = '2026-03-07'";
    const QString sum = value(sold);
    EXPECT_GT(sum.toDouble(), 0);
    // Still written to and read back by the program's own connection.
    old->execute("INSERT INTO SWorker (theName,Remark,theState) VALUES ('新来的','','启用')");
    EXPECT_EQ(value("select count(*) from SWorker where theName = '新来的'"), "1");
    old.reset();

    restore(out.filePath("old-backup.edb"));
    EXPECT_EQ(msgs.last(), "数据恢复成功！");
    EXPECT_EQ(count("UXF"), 3);
    EXPECT_EQ(count("Member"), 3);
    EXPECT_EQ(one(sold), sum);
    EXPECT_EQ(count("UXF_List"), 4);
}

// A file whose pages are each sound but whose index does not hold what its
// table holds: a crafted file, not a damaged one.  It is refused before
// anything is replaced.
TEST_F(BackupTest, ACraftedBackupWhoseIndexDisagreesWithItsTableIsRefused)
{
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('备份时的','备注','启用')");
    const QString file = backupInto(out.path());
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_TRUE(vdb::keyHandle(raw, velmora::databaseKey()));
    for (const char *sql : {"CREATE INDEX Crafted ON SWorker (theName)", "PRAGMA writable_schema = ON",
                            "UPDATE sqlite_master SET sql = 'CREATE INDEX Crafted ON SWorker (Remark)' "
                            "WHERE name = 'Crafted'"})
        EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close_v2(raw);
    // Each page on its own is sound: only the whole check finds it.
    EXPECT_THROW(vdb::checkDatabaseFile(file, velmora::databaseKey(), {"SDept", "SUser"}), vdb::DbError);

    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('现在的','','启用')");
    const QStringList before = snapshot();
    restore(file);
    EXPECT_EQ(msgs.last(), "数据恢复失败！");
    EXPECT_EQ(snapshot(), before);
}

// Statements run on a backup file with the program's key, as someone who
// knows the key could.
void craft(const QString &file, std::initializer_list<const char *> sqls)
{
    sqlite3 *raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_TRUE(vdb::keyHandle(raw, velmora::databaseKey()));
    for (const char *sql : sqls)
        EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw) << sql;
    sqlite3_close_v2(raw);
}

// A backup whose schema holds a trigger, a view or a table the program does
// not have is refused, saying which; the live database keeps no trigger and
// a later goods save changes nothing else.
TEST_F(BackupTest, ABackupCarryingTriggersViewsOrForeignTablesIsRefused)
{
    exec("INSERT INTO Member (theNum,theName) VALUES ('26000001','张三')");
    const QString good = backupInto(out.path());
    const auto variant = [&](const QString &name, std::initializer_list<const char *> sqls) {
        const QString file = out.filePath(name);
        QFile::remove(file);
        EXPECT_TRUE(QFile::copy(good, file));
        craft(file, sqls);
        return file;
    };
    const QList<std::pair<QString, QString>> cases = {
            {variant("trigger.edb", {"CREATE TRIGGER evil AFTER INSERT ON SShop BEGIN DELETE FROM Member; "
                                     "UPDATE SUser SET thePass='owned'; END;"}),
             "触发器 evil"},
            {variant("view.edb", {"CREATE VIEW Users AS SELECT * FROM SUser",
                                  "CREATE TRIGGER take INSTEAD OF INSERT ON Users BEGIN "
                                  "UPDATE SUser SET thePass='owned'; END;"}),
             "视图 Users"},
            {variant("table.edb", {"CREATE TABLE Stranger (ID INT)"}), "数据表 Stranger"},
    };
    const QStringList before = snapshot();
    const QString pass = one("select thePass from SUser where theName='admin'");
    for (const auto &[file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        // Triggers and views are refused by the check alone; a stranger
        // table only against the running program's own schema.
        if (!reason.startsWith("数据表"))
            EXPECT_THROW(vdb::checkDatabaseFile(file, velmora::databaseKey(), {"SDept", "SUser"}), vdb::DbError);
        restore(file);
        EXPECT_EQ(msgs.last(), "数据恢复失败！");
        EXPECT_TRUE(msgs.shown().back().details.contains(reason)) << msgs.shown().back().details.toStdString();
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(one("select count(*) from sqlite_master where type in ('trigger','view')"), "0");
    }
    exec("INSERT INTO SShop (theNum,theName,theState,theDel) VALUES ('009','水','启用','否')");
    EXPECT_EQ(count("Member"), 1);
    EXPECT_EQ(one("select thePass from SUser where theName='admin'"), pass);
    // The backup as the program made it still restores.
    restore(good);
    EXPECT_EQ(msgs.last(), "数据恢复成功！");
}

// A damaged page the structure check never reads (a free page) is found by
// the pages' own checksums, and the file is refused before the copy.
TEST_F(BackupTest, ABackupWithADamagedFreePageIsRefusedBeforeTheCopy)
{
    const QString file = backupInto(out.path());
    // Pages that held a dropped table stay in the file as free pages.
    craft(file, {"PRAGMA auto_vacuum = NONE", "CREATE TABLE Junk (b BLOB)",
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                 "INSERT INTO Junk SELECT randomblob(3000) FROM n",
                 "DROP TABLE Junk"});
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 pages = f.size() / 4096;
    ASSERT_GT(pages, 30);
    // A page in the middle of the freed run: a free leaf, not the list's trunk.
    ASSERT_TRUE(f.seek((pages - 10) * 4096 + 300));
    f.write(QByteArray(32, '\x5a'));
    f.close();
    {
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        ASSERT_TRUE(vdb::keyHandle(raw, velmora::databaseKey()));
        sqlite3_stmt *st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        // The structure alone looks sound.
        EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok");
        sqlite3_finalize(st);
        sqlite3_close_v2(raw);
    }
    const QStringList before = snapshot();
    restore(file);
    EXPECT_EQ(msgs.last(), "数据恢复失败！");
    EXPECT_TRUE(msgs.shown().back().details.contains("页面校验不符")) << msgs.shown().back().details.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(BackupTest, RestoreWaitsForAnUnfinishedSave)
{
    const QString file = backupInto(out.path());
    vdb::Transaction tx(c());
    exec("INSERT INTO SWorker (theName,Remark,theState) VALUES ('保存中','','启用')");
    restore(file);
    EXPECT_EQ(msgs.last(), "数据恢复失败！");
    tx.commit();
    EXPECT_EQ(count("SWorker", "theName='保存中'"), 1);
}

TEST_F(BackupTest, TheMenuOpensThemOnlyInTheStandaloneEdition)
{
    core::registerWindows();
    TfrmMain main;
    main.FormCreate();
    main.applyRight("009");
    main.applyRight("010");
    QStringList opened;
    ui::ScriptedModals modals([&](QDialog *d) {
        opened << d->windowTitle();
        return 0;
    });
    main.menuItem("009")->trigger();
    main.menuItem("010")->trigger();
    myEdition = "网络版";
    main.menuItem("009")->trigger();
    myEdition = "单机版";
    EXPECT_EQ(opened, QStringList({"数据备份", "数据恢复"}));
}

}  // namespace
