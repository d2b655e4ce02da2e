#include "platform/db/backup.h"

#include "platform/safefile.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <vector>

namespace vdb {

namespace {

struct Closer {
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

DbError failure(const QString &what, sqlite3 *db, int code)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    return DbError(what + QStringLiteral("：") + userText(code), detail, code & 0xff);
}

// Opens a database file with the key; the first read proves the key.  A
// file the user picked (a backup to restore) may be crafted: its handle
// refuses what only a crafted schema would ask for.
enum class Trust { Own, Picked };
Handle openKeyed(const QString &path, const QByteArray &key, int flags, Trust trust = Trust::Own)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    Handle db(raw);
    const QString what = QStringLiteral("无法打开数据库文件 %1").arg(shown(path));
    if (rc != SQLITE_OK) throw failure(what, db.get(), rc);
    if (!keyHandle(db.get(), key))
        throw DbError(what + QStringLiteral("：加密模块不可用！"));
    if (trust == Trust::Picked) {
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_exec(db.get(), "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db.get(), 5000);
    const int read = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (read != SQLITE_OK) throw failure(what, db.get(), sqlite3_extended_errcode(db.get()));
    return db;
}

void run(sqlite3 *db, const char *sql, const QString &what)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw failure(what, db, sqlite3_extended_errcode(db));
}

// Copies every page of from's main database into to's in one step, under
// one read transaction of from (a consistent state) and one write
// transaction of to (all or nothing).
void copyPages(sqlite3 *to, sqlite3 *from, const QString &what)
{
    sqlite3_backup *b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) throw failure(what, to, sqlite3_extended_errcode(to));
    const int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        const int code = sqlite3_extended_errcode(to) != SQLITE_OK ? sqlite3_extended_errcode(to) : rc;
        throw failure(what, sqlite3_extended_errcode(to) != SQLITE_OK ? to : from, code);
    }
}

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

}  // namespace

void backupDatabase(const Connection &source, const QString &target, const QByteArray &key)
{
    const QString what = QStringLiteral("无法备份到 %1").arg(shown(target));
    if (sameFile(source.path(), target))
        throw DbError(what + QStringLiteral("：不能备份到正在使用的数据库文件本身，请选择其他路径。"));
    // The copy is made in a folder of the program's own beside the target
    // (the engine opens its files by name, its journal too) and renamed over
    // the target once whole, keeping the old file's permissions.
    vplatform::PartFolder part(target);
    if (!part.create()) throw DbError(part.errorString());
    // A reader of its own sees only committed transactions, whatever the
    // program's connection is in the middle of.
    Handle from = openKeyed(source.path(), key, SQLITE_OPEN_READONLY);
    {
        Handle to = openKeyed(part.filePath(), key, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        run(to.get(), "PRAGMA journal_mode=DELETE", what);
        copyPages(to.get(), from.get(), what);
        // The copied header says write-ahead log; a backup is one file on its own.
        run(to.get(), "PRAGMA journal_mode=DELETE", what);
    }
    if (!part.commit()) throw DbError(part.errorString());
}

namespace {

// One entry of a database's schema.
struct SchemaObject {
    QString type, name, table;
};

std::vector<SchemaObject> schemaOf(sqlite3 *db, const QString &what)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name FROM sqlite_master", -1, &st, nullptr) != SQLITE_OK)
        throw failure(what, db, sqlite3_extended_errcode(db));
    std::vector<SchemaObject> all;
    const auto text = [st](int col) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)));
    };
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) all.push_back({text(0), text(1), text(2)});
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) throw failure(what, db, sqlite3_extended_errcode(db));
    return all;
}

QString kindOf(const QString &type)
{
    if (type == QLatin1String("table")) return QStringLiteral("数据表");
    if (type == QLatin1String("index")) return QStringLiteral("索引");
    if (type == QLatin1String("trigger")) return QStringLiteral("触发器");
    if (type == QLatin1String("view")) return QStringLiteral("视图");
    return type;
}

// A backup holds tables and indexes only, and (when own is given) only those
// the program's database holds: a trigger or view would run inside the live
// database after the copy.
void checkSchema(const std::vector<SchemaObject> &backup, const std::vector<SchemaObject> *own, const QString &what)
{
    const auto known = [own](const SchemaObject &o) {
        if (o.name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)) return true;
        for (const SchemaObject &m : *own)
            if (m.type == o.type && m.name.compare(o.name, Qt::CaseInsensitive) == 0 &&
                m.table.compare(o.table, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    for (const SchemaObject &o : backup) {
        const bool plain = o.type == QLatin1String("table") || o.type == QLatin1String("index");
        if (!plain)
            throw DbError(what + QStringLiteral("：含有%1 %2，本系统的数据库不含%1。").arg(kindOf(o.type), o.name));
        if (own && !known(o))
            throw DbError(what + QStringLiteral("：含有本系统数据库中没有的%1 %2。").arg(kindOf(o.type), o.name));
    }
}

// Runs a check pragma; its rows are the faults it found, none when sound
// (a single "ok" row counts as none).
QStringList faultsOf(sqlite3 *db, const char *pragma, const QString &what)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, pragma, -1, &st, nullptr) != SQLITE_OK)
        throw failure(what, db, sqlite3_extended_errcode(db));
    QStringList rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW && rows.size() < 20)
        rows << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    const int code = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db);
    sqlite3_finalize(st);
    if (code != SQLITE_OK) throw failure(what, db, code);
    if (rows == QStringList{QStringLiteral("ok")}) rows.clear();
    return rows;
}

// Opens a picked file and checks it; the handle that was checked is the one
// that is copied, so the file cannot be swapped in between.
Handle openChecked(const QString &path, const QByteArray &key, const QStringList &tables,
                   const std::vector<SchemaObject> *own = nullptr)
{
    const QString what = QStringLiteral("%1 不是本系统的数据备份文件").arg(shown(path));
    if (!QFileInfo(path).isFile()) throw DbError(QStringLiteral("文件 %1 不存在！").arg(shown(path)));
    Handle db = openKeyed(path, key, SQLITE_OPEN_READONLY, Trust::Picked);
    const std::vector<SchemaObject> schema = schemaOf(db.get(), what);
    for (const QString &t : tables) {
        const bool present = std::any_of(schema.begin(), schema.end(), [&t](const SchemaObject &o) {
            return o.type == QLatin1String("table") && o.name.compare(t, Qt::CaseInsensitive) == 0;
        });
        if (!present) throw DbError(what + QStringLiteral("：缺少数据表 %1。").arg(t));
    }
    checkSchema(schema, own, what);
    // Every page's own checksum first (free pages too, which the copy reads
    // but the structure check never visits), then every page and every
    // index entry against its table: a damaged or crafted file is found
    // before anything is replaced.
    const QStringList torn = faultsOf(db.get(), "PRAGMA cipher_integrity_check", what);
    if (!torn.isEmpty())
        throw DbError(what + QStringLiteral("：文件已损坏（有页面校验不符），无法恢复。"), torn.join(u'\n'),
                      SQLITE_CORRUPT);
    const QStringList faults = faultsOf(db.get(), "PRAGMA integrity_check", what);
    if (!faults.isEmpty())
        throw DbError(what + QStringLiteral("：") + userText(SQLITE_CORRUPT), faults.join(u'\n'), SQLITE_CORRUPT);
    return db;
}

}  // namespace

void checkDatabaseFile(const QString &path, const QByteArray &key, const QStringList &tables)
{
    openChecked(path, key, tables);
}

void restoreDatabase(Connection &target, const QString &path, const QByteArray &key, const QStringList &tables)
{
    const QString what = QStringLiteral("无法从 %1 恢复数据").arg(shown(path));
    const std::vector<SchemaObject> own = schemaOf(target.handle(), what);
    Handle from = openChecked(path, key, tables, &own);
    if (target.inTransaction()) throw DbError(what + QStringLiteral("：有尚未完成的保存，请稍后再试。"));
    copyPages(target.handle(), from.get(), what);
}

}  // namespace vdb
