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
    if (!keyHandle(db.get(), key)) throw DbError(what + QStringLiteral("：加密模块不可用！"));
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

QString kindOf(const QString &type)
{
    if (type == QLatin1String("table")) return QStringLiteral("数据表");
    if (type == QLatin1String("index")) return QStringLiteral("索引");
    if (type == QLatin1String("trigger")) return QStringLiteral("触发器");
    if (type == QLatin1String("view")) return QStringLiteral("视图");
    return type;
}

QString columnText(sqlite3_stmt *st, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)));
}

// Runs a statement with one text parameter (or none) and hands each row to row.
template <typename Row>
bool eachRow(sqlite3 *db, const char *sql, const QString &param, Row row)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
    if (!param.isNull()) {
        const QByteArray p = param.toUtf8();
        sqlite3_bind_text(st, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

const SchemaObject *named(const std::vector<SchemaObject> &all, const QString &name)
{
    for (const SchemaObject &o : all)
        if (o.name.compare(name, Qt::CaseInsensitive) == 0) return &o;
    return nullptr;
}

QString columnName(const QString &column)
{
    return column.section(u'|', 0, 0);
}

const QString *columnNamed(const QStringList &columns, const QString &name)
{
    for (const QString &c : columns)
        if (columnName(c).compare(name, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

// What differs between a table as the program makes it and as the file has it.
QStringList tableDifferences(const SchemaObject &want, const SchemaObject &have)
{
    if (have.sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
        return {QStringLiteral("数据表 %1 是虚拟表").arg(want.name)};
    QStringList out;
    for (const QString &c : want.columns) {
        const QString *h = columnNamed(have.columns, columnName(c));
        if (!h)
            out << QStringLiteral("数据表 %1 缺少字段 %2").arg(want.name, columnName(c));
        else if (h->compare(c, Qt::CaseInsensitive) != 0)
            out << QStringLiteral("数据表 %1 的字段 %2 定义不同").arg(want.name, columnName(c));
    }
    for (const QString &c : have.columns)
        if (!columnNamed(want.columns, columnName(c)))
            out << QStringLiteral("数据表 %1 多出字段 %2").arg(want.name, columnName(c));
    if (out.isEmpty()) out << QStringLiteral("数据表 %1 的定义不同（另有约束或改动）").arg(want.name);
    return out;
}

int userVersionOf(sqlite3 *db)
{
    int v = 0;
    eachRow(db, "PRAGMA user_version", QString(), [&v](sqlite3_stmt *st) { v = sqlite3_column_int(st, 0); });
    return v;
}

// Names the differences, at most a few, for a message.
QString listed(const QStringList &lines)
{
    constexpr int kShown = 8;
    QString text = lines.mid(0, kShown).join(QStringLiteral("；"));
    if (lines.size() > kShown) text += QStringLiteral("；等共 %1 处不同").arg(lines.size());
    return text;
}

}  // namespace

std::vector<SchemaObject> schemaOf(sqlite3 *db, const QString &what)
{
    std::vector<SchemaObject> all;
    if (!eachRow(db, "SELECT type, name, tbl_name, sql FROM sqlite_master", QString(), [&all](sqlite3_stmt *st) {
            all.push_back({columnText(st, 0), columnText(st, 1), columnText(st, 2), columnText(st, 3), {}});
        }))
        throw failure(what, db, sqlite3_extended_errcode(db));
    for (SchemaObject &o : all) {
        if (o.type != QLatin1String("table")) continue;
        // A virtual table of an unknown module has no columns to read.
        eachRow(db, "SELECT name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(?)", o.name,
                [&o](sqlite3_stmt *st) {
                    QStringList parts;
                    for (int i = 0; i < 6; ++i) parts << columnText(st, i);
                    o.columns << parts.join(u'|');
                });
    }
    return all;
}

QStringList schemaDifferences(sqlite3 *db, const ExpectedSchema &expected)
{
    const std::vector<SchemaObject> have = schemaOf(db, QStringLiteral("无法读取数据库的结构"));
    QStringList out;
    for (const SchemaObject &want : expected.objects) {
        const SchemaObject *h = named(have, want.name);
        if (!h) {
            if (!(want.type == QLatin1String("index") && expected.addedOnOpening.contains(want.name)))
                out << QStringLiteral("缺少%1 %2").arg(kindOf(want.type), want.name);
        } else if (h->type != want.type) {
            out << QStringLiteral("%1 是%2，应为%3").arg(want.name, kindOf(h->type), kindOf(want.type));
        } else if (h->sql != want.sql) {
            if (want.type == QLatin1String("table"))
                out << tableDifferences(want, *h);
            else
                out << QStringLiteral("%1 %2 的定义不同").arg(kindOf(want.type), want.name);
        }
    }
    for (const SchemaObject &h : have) {
        if (named(expected.objects, h.name)) continue;
        if (h.type == QLatin1String("table") || h.type == QLatin1String("index"))
            out << QStringLiteral("含有本系统数据库中没有的%1 %2").arg(kindOf(h.type), h.name);
        else
            out << QStringLiteral("含有%1 %2，本系统的数据库不含%1").arg(kindOf(h.type), h.name);
    }
    const int version = userVersionOf(db);
    if (version < 0 || version > expected.userVersion)
        out << QStringLiteral("版本标记为 %1，不是本版本程序所能使用的").arg(version);
    // The key counters: one at its end makes the next insert fail.
    const SchemaObject *seq = named(have, QStringLiteral("sqlite_sequence"));
    if (seq && seq->type == QLatin1String("table")) {
        eachRow(db, "SELECT name, seq FROM sqlite_sequence", QString(), [&](sqlite3_stmt *st) {
            const QString table = columnText(st, 0);
            const SchemaObject *t = named(expected.objects, table);
            if (!t || t->type != QLatin1String("table"))
                out << QStringLiteral("自动编号中含有本系统数据库中没有的数据表 %1").arg(table);
            else if (sqlite3_column_type(st, 1) != SQLITE_INTEGER || sqlite3_column_int64(st, 1) < 0 ||
                     sqlite3_column_int64(st, 1) > expected.maxKey)
                out << QStringLiteral("数据表 %1 的自动编号 %2 超出本系统的范围").arg(table, columnText(st, 1));
        });
    }
    return out;
}

QStringList missingFromSchema(sqlite3 *db, const ExpectedSchema &expected)
{
    const std::vector<SchemaObject> have = schemaOf(db, QStringLiteral("无法读取数据库的结构"));
    QStringList out;
    for (const SchemaObject &want : expected.objects) {
        if (want.type != QLatin1String("table") || want.name.startsWith(QLatin1String("sqlite_"))) continue;
        const SchemaObject *h = named(have, want.name);
        if (!h || h->type != want.type) {
            out << want.name;
            continue;
        }
        for (const QString &c : want.columns)
            if (!columnNamed(h->columns, columnName(c))) out << want.name + QLatin1Char('.') + columnName(c);
    }
    return out;
}

namespace {

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

// The picked file must be a regular file (a link to one counts): a folder,
// a pipe or a device is named as what it is.
void checkRegular(const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink()) throw DbError(QStringLiteral("文件 %1 不存在！").arg(shown(path)));
    if (fi.isDir()) throw DbError(QStringLiteral("所选的 %1 是文件夹，不是普通文件。").arg(shown(path)));
    if (!fi.isFile())
        throw DbError(QStringLiteral("所选的 %1 不是普通文件（管道、设备或失效的链接）。").arg(shown(path)));
}

// Opens a picked file and checks it; the handle that was checked is the one
// that is copied, so the file cannot be swapped in between.
Handle openChecked(const QString &path, const QByteArray &key, const QStringList &tables,
                   const ExpectedSchema *expected = nullptr)
{
    const QString what = QStringLiteral("所选文件 %1 不是本系统的数据备份，或者已经损坏").arg(shown(path));
    checkRegular(path);
    Handle db;
    try {
        db = openKeyed(path, key, SQLITE_OPEN_READONLY, Trust::Picked);
    } catch (const DbError &e) {
        // Its own message would speak of the program's database.
        throw DbError(what + QStringLiteral("。"), e.detail(), e.code());
    }
    const std::vector<SchemaObject> schema = schemaOf(db.get(), what);
    for (const QString &t : tables) {
        const bool present = std::any_of(schema.begin(), schema.end(), [&t](const SchemaObject &o) {
            return o.type == QLatin1String("table") && o.name.compare(t, Qt::CaseInsensitive) == 0;
        });
        if (!present) throw DbError(what + QStringLiteral("：缺少数据表 %1。").arg(t));
    }
    // A trigger or view would run inside the live database after the copy.
    for (const SchemaObject &o : schema)
        if (o.type != QLatin1String("table") && o.type != QLatin1String("index"))
            throw DbError(what + QStringLiteral("：含有%1 %2，本系统的数据库不含%1。").arg(kindOf(o.type), o.name));
    if (expected) {
        const QStringList differences = schemaDifferences(db.get(), *expected);
        if (!differences.isEmpty())
            throw DbError(what + QStringLiteral("：") + listed(differences) + QStringLiteral("。"),
                          differences.join(u'\n'));
    }
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
        throw DbError(what + QStringLiteral("：文件已损坏，无法恢复。"), faults.join(u'\n'), SQLITE_CORRUPT);
    return db;
}

}  // namespace

void checkDatabaseFile(const QString &path, const QByteArray &key, const QStringList &tables)
{
    openChecked(path, key, tables);
}

void restoreDatabase(Connection &target, const QString &path, const QByteArray &key, const ExpectedSchema &expected)
{
    const QString what = QStringLiteral("无法从 %1 恢复数据").arg(shown(path));
    Handle from = openChecked(path, key, {}, &expected);
    if (target.inTransaction()) throw DbError(what + QStringLiteral("：有尚未完成的保存，请稍后再试。"));
    copyPages(target.handle(), from.get(), what);
}

}  // namespace vdb
