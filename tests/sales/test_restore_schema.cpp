// Restoring crafted backups through the program's own restore window: each
// is refused, naming what differs from the program's schema, before anything
// is copied; afterwards a sale saves, a member is added and the user logs in.
#include "xf_fixture.h"

#include "core/Backup.h"
#include "core/FileDialogs.h"
#include "core/Schema.h"
#include "core/ShopRows.h"
#include "core/login.h"
#include "core/main.h"
#include "platform/db/backup.h"

#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

class RestoreSchemaTest : public XFTest {
protected:
    void SetUp() override
    {
        XFTest::SetUp();
        // The shop's defaults as the fixture set them, read again after a restore.
        exec("UPDATE SDept SET theSKR='小王', theSWorker='小王', theSMType='现金'");
    }
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
    // The restore window on a file, answered Yes; returns the last message.
    ui::Message restore(const QString &file)
    {
        velmora::ScriptedFileDialogs files;
        files.answer(file);
        TfrmRecover w;
        w.show();
        w.BitBtn3->click();
        msgs.answer(ui::Answer::Yes);
        w.BitBtn1->click();
        return msgs.shown().back();
    }
    // A copy of the good backup changed by statements run with the key.
    QString variant(const QString &good, const QString &name, std::initializer_list<const char *> sqls)
    {
        const QString file = out.filePath(name);
        QFile::remove(file);
        EXPECT_TRUE(QFile::copy(good, file));
        sqlite3 *raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        EXPECT_TRUE(vdb::keyHandle(raw, velmora::databaseKey()));
        for (const char *sql : sqls)
            EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw) << sql;
        sqlite3_close_v2(raw);
        return file;
    }
    // The shop still works: a sale saves, a member is added, admin logs in.
    void shopStillWorks()
    {
        const int sales = count("UXF");
        auto w = window();
        twoGoods(*w);
        save(*w);
        EXPECT_EQ(count("UXF"), sales + 1) << msgs.last().toStdString();

        velmora::NewMember m;
        m.num = "26009999";
        m.name = "新会员";
        m.type = "金卡";
        m.zk = "90";
        m.jfbl = "1";
        velmora::insertMember(c(), m);
        EXPECT_EQ(count("Member", "theNum='26009999'"), 1);

        TfrmMain main;
        main.FormCreate();
        TfrmLogin login;
        login.DBLookupComboBox1->setText("admin");
        login.Edit1->setText(velmora::kDefaultPassword);
        login.DateTimePicker1->setDate(QDate(2026, 3, 7));
        myUser.clear();
        login.BitBtn1Click();
        EXPECT_EQ(myUser, "admin") << msgs.last().toStdString();
    }
    QTemporaryDir out;
};

TEST_F(RestoreSchemaTest, BackupsThatDifferFromTheProgramsSchemaAreRefusedNamingWhat)
{
    const QString good = backupInto(out.path());
    const QList<std::pair<QString, QString>> cases = {
            {variant(good, "no-member.edb", {"DROP TABLE Member", "DROP TABLE UXF"}), "缺少数据表 Member"},
            {variant(good, "no-pass.edb", {"ALTER TABLE SUser DROP COLUMN thePass"}), "数据表 SUser 缺少字段 thePass"},
            {variant(good, "unique-name.edb",
                     {"DROP INDEX ix_Member_theName",
                      "CREATE UNIQUE INDEX ix_Member_theName ON Member (substr(theName, 1, 0))"}),
             "索引 ix_Member_theName 的定义不同"},
            {variant(good, "check.edb",
                     {"PRAGMA writable_schema = ON",
                      "UPDATE sqlite_master SET sql = substr(sql, 1, length(sql) - 1) || ', CHECK (theName IS NULL))' "
                      "WHERE name = 'SShop'"}),
             "数据表 SShop 的定义不同"},
            {variant(good, "virtual.edb", {"DROP TABLE SShop", "CREATE VIRTUAL TABLE SShop USING fts3(theName)"}),
             "数据表 SShop 是虚拟表"},
            {variant(good, "sequence.edb",
                     {"DELETE FROM sqlite_sequence WHERE name = 'UXF'",
                      "INSERT INTO sqlite_sequence (name, seq) VALUES ('UXF', 9223372036854775807)"}),
             "数据表 UXF 的自动编号"},
            {variant(good, "stat.edb", {"ANALYZE"}), "数据表 sqlite_stat1"},
            {variant(good, "newer.edb", {"PRAGMA user_version = 99"}), "版本标记为 99"},
    };
    const QStringList before = snapshot();
    for (const auto &[file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        const ui::Message m = restore(file);
        EXPECT_EQ(m.text, "数据恢复失败！");
        EXPECT_TRUE(m.details.contains("不是本系统的数据备份，或者已经损坏")) << m.details.toStdString();
        EXPECT_TRUE(m.details.contains(reason)) << m.details.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
    shopStillWorks();
}

// After a bad change the live database lacks a table: its own good backup
// still restores, since a backup is checked against the program's schema.
TEST_F(RestoreSchemaTest, AGenuineBackupRestoresIntoADamagedLiveDatabase)
{
    const QString good = backupInto(out.path());
    // An older version's backup: indexes added since and the pinyin mark missing.
    const QString older = variant(good, "older.edb",
                                  {"DROP INDEX ix_UXF_report", "DROP INDEX ix_SSup_thePY", "PRAGMA user_version = 0"});
    c().executeNative("DROP TABLE UXF_SK");
    c().executeNative("CREATE TABLE Stray (ID INT)");
    EXPECT_EQ(restore(good).text, "数据恢复成功！") << msgs.shown().back().details.toStdString();
    EXPECT_EQ(one("select count(*) from sqlite_master where name in ('UXF_SK', 'Stray')"), "1");
    EXPECT_EQ(restore(older).text, "数据恢复成功！") << msgs.shown().back().details.toStdString();
    // Brought up to date as opening would.
    EXPECT_EQ(one("select count(*) from sqlite_master where name in ('ix_UXF_report', 'ix_SSup_thePY')"), "2");
    EXPECT_EQ(one("PRAGMA user_version"), QString::number(velmora::programSchema().userVersion));
    shopStillWorks();
}

// The chosen file is named as what it is: a folder or a pipe is no regular
// file; a foreign file is not a backup of this program.
TEST_F(RestoreSchemaTest, MessagesNameTheChosenFile)
{
    const QString fifo = out.filePath("pipe.edb");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(out.path()).mkdir("folder.edb");
    QFile text(out.filePath("text.edb"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(8192, 'x'));
    text.close();
    const QList<std::pair<QString, QString>> cases = {
            {fifo, "不是普通文件"},
            {out.filePath("folder.edb"), "是文件夹，不是普通文件"},
            {text.fileName(), "不是本系统的数据备份，或者已经损坏"},
    };
    const QStringList before = snapshot();
    for (const auto &[file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        const ui::Message m = restore(file);
        EXPECT_EQ(m.text, "数据恢复失败！");
        EXPECT_TRUE(m.details.contains(QDir::toNativeSeparators(file))) << m.details.toStdString();
        EXPECT_TRUE(m.details.contains(reason)) << m.details.toStdString();
        EXPECT_FALSE(m.details.contains("不存在")) << m.details.toStdString();
        EXPECT_FALSE(m.details.contains("Data")) << m.details.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

}  // namespace
