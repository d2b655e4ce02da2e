#include "platform/db/db.h"

#include "platform/money.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace vdb {

DbError::DbError(const QString &message, const QString &detail, int code)
    : velmora::Error(message, detail), m_code(code)
{}

namespace {

struct Reason {
    const char *what;
    const char *todo;
};

Reason reasonFor(int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
        return {"数据库正被其他程序使用", "请稍后再试，或者关闭其他正在使用本数据库的程序。"};
    case SQLITE_FULL:
        return {"磁盘已满", "请清理磁盘空间后再试。"};
    case SQLITE_CORRUPT:
        return {"数据库文件已损坏", "请用备份恢复数据，或者联系软件维护人员。"};
    case SQLITE_NOTADB:
        return {"密码不正确，或者不是本系统的数据库文件", "请检查 Data 文件夹中的数据库文件。"};
    case SQLITE_READONLY:
        return {"数据库文件是只读的，不能写入", "请检查 Data 文件夹和数据库文件的写入权限。"};
    case SQLITE_CANTOPEN:
        return {"无法打开数据库文件", "请检查 Data 文件夹是否存在，以及是否可以读写。"};
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return {"没有访问数据库文件的权限", "请检查 Data 文件夹和数据库文件的权限。"};
    case SQLITE_IOERR:
        return {"读写数据库文件时出错", "请检查磁盘是否正常，然后再试。"};
    case SQLITE_NOMEM:
        return {"内存不足", "请关闭其他程序后再试。"};
    case SQLITE_TOOBIG:
        return {"数据太大，数据库无法保存", "请减少输入的内容后再试。"};
    case SQLITE_CONSTRAINT:
        return {"数据不符合数据库的要求（重复或缺少关联的记录）", "请检查输入的内容。"};
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
        return {"数据的类型不正确", "请检查输入的内容。"};
    case SQLITE_INTERRUPT:
        return {"数据库操作被中断", "请再试一次。"};
    default:
        return {"数据库操作失败", "请把详细信息告诉软件维护人员。"};
    }
}

}  // namespace

QString userText(int code)
{
    const Reason r = reasonFor(code);
    return QString::fromUtf8(r.what) + QStringLiteral("。") + QString::fromUtf8(r.todo);
}

// ---------------------------------------------------------------- texts

QString sqlText(const QString &value)
{
    QString out;
    out.reserve(value.size() + 4);
    for (QChar ch : value) {
        if (ch == QChar(u'\''))
            out += QLatin1String("''");
        else if (ch.unicode() != 0)
            out += ch;
    }
    return out;
}

QString sqlQuote(const QString &value)
{
    return QLatin1Char('\'') + sqlText(value) + QLatin1Char('\'');
}

bool isSqlNumber(const QString &value, double *out)
{
    const QString t = value.trimmed();
    int i = 0, n = t.size();
    if (n == 0) return false;
    if (t[i] == u'+' || t[i] == u'-') ++i;
    int digits = 0;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && t[i] == u'.') {
        ++i;
        while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return false;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < n && (t[i] == u'+' || t[i] == u'-')) ++i;
        int ed = 0;
        while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
            ++i;
            ++ed;
        }
        if (ed == 0) return false;
    }
    if (i != n) return false;
    bool ok = false;
    double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return false;
    if (out) *out = d;
    return true;
}

QString numberText(double value)
{
    if (value == 0) return QStringLiteral("0");  // also folds -0
    if (std::abs(value) < 1e15 && value == std::trunc(value)) return QString::number(qint64(value));
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

QString sqlNum(double value)
{
    if (!std::isfinite(value)) throw DbError(QStringLiteral("数值无效：%1").arg(value));
    QString t = numberText(value);
    return value < 0 ? QLatin1Char('(') + t + QLatin1Char(')') : t;
}

QString sqlNum(qint64 value)
{
    QString t = QString::number(value);
    return value < 0 ? QLatin1Char('(') + t + QLatin1Char(')') : t;
}

QString sqlNum(const QString &value)
{
    double d = 0;
    if (!isSqlNumber(value, &d)) throw DbError(QStringLiteral("“%1” 不是有效的数字！").arg(value));
    QString t = value.trimmed();
    if (t.startsWith(u'+')) t.remove(0, 1);
    return t.startsWith(u'-') ? QLatin1Char('(') + t + QLatin1Char(')') : t;
}

// ---------------------------------------------------------------- Jet dialect

namespace {

struct Tok {
    enum Type { Space, Word, Str, Num, Punct } type;
    QString text;
};

std::vector<Tok> tokenize(const QString &s)
{
    std::vector<Tok> out;
    int i = 0, n = s.size();
    while (i < n) {
        QChar c = s[i];
        int start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace()) ++i;
            out.push_back({Tok::Space, s.mid(start, i - start)});
        } else if (c == u'\'') {
            ++i;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.push_back({Tok::Str, s.mid(start, i - start)});
        } else if (c == u'"' || c == u'[' || c == u'`') {
            QChar close = c == u'[' ? QChar(u']') : c;
            ++i;
            while (i < n && s[i] != close) ++i;
            if (i < n) ++i;
            out.push_back({Tok::Word, s.mid(start, i - start)});
        } else if (c == u'#') {
            // Jet date literal #2026-01-02#
            int j = i + 1;
            while (j < n && s[j] != u'#' && s[j] != u'\n') ++j;
            if (j < n && s[j] == u'#') {
                out.push_back({Tok::Str, QLatin1Char('\'') + s.mid(i + 1, j - i - 1) + QLatin1Char('\'')});
                i = j + 1;
            } else {
                out.push_back({Tok::Punct, QString(c)});
                ++i;
            }
        } else if (c.isDigit() && c.unicode() < 128) {
            while (i < n && (s[i].isDigit() || s[i] == u'.')) ++i;
            out.push_back({Tok::Num, s.mid(start, i - start)});
        } else if (c.isLetter() || c == u'_' || c.unicode() >= 128) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'_' || s[i].unicode() >= 128) && !s[i].isSpace()) ++i;
            out.push_back({Tok::Word, s.mid(start, i - start)});
        } else {
            if (i + 1 < n) {
                QString two = s.mid(i, 2);
                if (two == QLatin1String("<>") || two == QLatin1String("<=") || two == QLatin1String(">=") ||
                    two == QLatin1String("||") || two == QLatin1String("!=")) {
                    out.push_back({Tok::Punct, two});
                    i += 2;
                    continue;
                }
            }
            out.push_back({Tok::Punct, QString(c)});
            ++i;
        }
    }
    return out;
}

bool is(const Tok &t, const char *word)
{
    return t.type == Tok::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Index of the next non-space token after i, or -1.
int nextTok(const std::vector<Tok> &v, int i)
{
    for (int j = i + 1; j < int(v.size()); ++j)
        if (v[j].type != Tok::Space) return j;
    return -1;
}

bool isTextType(const Tok &t)
{
    return is(t, "VARCHAR") || is(t, "CHAR") || is(t, "TEXT") || is(t, "MEMO") || is(t, "LONGTEXT") ||
           is(t, "NVARCHAR") || is(t, "NCHAR");
}

}  // namespace

QString translateJet(const QString &sql)
{
    std::vector<Tok> v = tokenize(sql);
    std::vector<int> sig;  // indexes of non-space tokens
    for (int i = 0; i < int(v.size()); ++i)
        if (v[i].type != Tok::Space) sig.push_back(i);
    if (sig.empty()) return QString();

    auto at = [&](int k) -> const Tok & {
        static Tok none{Tok::Space, {}};
        return k < int(sig.size()) ? v[sig[k]] : none;
    };

    // ALTER TABLE t ADD CONSTRAINT name PRIMARY KEY (ID): the key is declared
    // with the table already.
    if (is(at(0), "ALTER") && is(at(1), "TABLE") && is(at(3), "ADD") && is(at(4), "CONSTRAINT") &&
        is(at(6), "PRIMARY") && is(at(7), "KEY"))
        return QString();

    const bool ddl = (is(at(0), "CREATE") && is(at(1), "TABLE")) || (is(at(0), "ALTER") && is(at(1), "TABLE"));
    QString out;
    out.reserve(sql.size() + 32);
    QString limit;
    QString lastIdent;
    for (int i = 0; i < int(v.size()); ++i) {
        const Tok &t = v[i];
        if (t.type == Tok::Punct && t.text == QLatin1String("&")) {
            out += QLatin1String("||");
            continue;
        }
        if (t.type == Tok::Punct && t.text == QLatin1String("/")) {
            // Jet divides as floating point whatever the operands.
            out += QLatin1String("* 1.0 /");
            continue;
        }
        if (t.type != Tok::Word) {
            out += t.text;
            continue;
        }
        if (is(t, "LEFT") || is(t, "RIGHT")) {
            // Keywords in SQLite (joins); as functions they are Jet's.
            int j = nextTok(v, i);
            if (j >= 0 && v[j].text == QLatin1String("(")) {
                out += QLatin1String("Jet") + t.text;
                continue;
            }
        }
        if (is(t, "DELETE")) {
            int j = nextTok(v, i);
            if (j >= 0 && v[j].text == QLatin1String("*")) {
                out += t.text;
                i = j;  // drop the "*"
                continue;
            }
        }
        if (is(t, "SELECT")) {
            out += t.text;
            int j = nextTok(v, i);
            if (j >= 0 && is(v[j], "DISTINCT")) {
                out += QLatin1Char(' ') + v[j].text;
                i = j;
                j = nextTok(v, i);
            }
            if (j >= 0 && is(v[j], "TOP")) {
                int k = nextTok(v, j);
                if (k >= 0 && v[k].type == Tok::Num) {
                    limit = v[k].text;
                    i = k;
                }
            }
            continue;
        }
        if (ddl && is(t, "WITH")) {
            int j = nextTok(v, i);
            if (j >= 0 && is(v[j], "COMP")) {
                i = j;
                continue;
            }
        }
        if (ddl && (is(t, "INT") || is(t, "INTEGER") || is(t, "COUNTER"))) {
            int j = nextTok(v, i);
            if (j >= 0 && is(v[j], "IDENTITY")) {
                int k = j;
                int p = nextTok(v, k);
                if (p >= 0 && v[p].text == QLatin1String("(")) {
                    k = p;
                    while (k < int(v.size()) && v[k].text != QLatin1String(")")) ++k;
                }
                out += QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT");
                i = k;
                continue;
            }
            if (is(t, "COUNTER")) {
                out += QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT");
                continue;
            }
        }
        if (ddl && isTextType(t)) {
            out += t.text;
            int j = nextTok(v, i);
            if (j >= 0 && v[j].text == QLatin1String("(")) {
                int k = j;
                while (k < int(v.size()) && v[k].text != QLatin1String(")")) ++k;
                for (int m = i + 1; m <= k && m < int(v.size()); ++m) out += v[m].text;
                i = k;
            }
            // Jet compares text without regard to case; passwords keep case.
            if (lastIdent.compare(QLatin1String("thePass"), Qt::CaseInsensitive) != 0)
                out += QLatin1String(" COLLATE NOCASE");
            continue;
        }
        lastIdent = t.text;
        out += t.text;
    }
    if (!limit.isEmpty()) {
        while (!out.isEmpty() && (out.back().isSpace() || out.back() == u';')) out.chop(1);
        out += QLatin1String(" LIMIT ") + limit;
    }
    return out;
}

// ---------------------------------------------------------------- Jet functions

namespace {

QString argText(sqlite3_value *v)
{
    const unsigned char *p = sqlite3_value_text(v);
    return p ? QString::fromUtf8(reinterpret_cast<const char *>(p), sqlite3_value_bytes(v)) : QString();
}

void resultText(sqlite3_context *ctx, const QString &s)
{
    QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value **argv, int upto)
{
    for (int i = 0; i < argc && i < upto; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

void fnMid(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (anyNull(argc, argv, argc)) return sqlite3_result_null(ctx);
    QString s = argText(argv[0]);
    qint64 start = sqlite3_value_int64(argv[1]);
    if (start < 1) return sqlite3_result_error(ctx, "Mid: start must be at least 1", -1);
    qint64 len = argc > 2 ? sqlite3_value_int64(argv[2]) : s.size();
    if (len < 0) return sqlite3_result_error(ctx, "Mid: negative length", -1);
    resultText(ctx, start > s.size() ? QString() : s.mid(int(start - 1), int(std::min<qint64>(len, s.size()))));
}

// Left and Right: the first or the last n characters.
void endText(sqlite3_context *ctx, sqlite3_value **argv, bool first)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_error(ctx, first ? "Left: negative length" : "Right: negative length", -1);
    QString s = argText(argv[0]);
    const int count = int(std::min<qint64>(n, s.size()));
    resultText(ctx, first ? s.left(count) : s.right(count));
}

void fnLeft(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    endText(ctx, argv, true);
}
void fnRight(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    endText(ctx, argv, false);
}

void fnLen(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, argText(argv[0]).size());
}

void fnIIf(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    bool c = sqlite3_value_type(argv[0]) != SQLITE_NULL && sqlite3_value_double(argv[0]) != 0;
    sqlite3_result_value(ctx, argv[c ? 1 : 2]);
}

void fnVal(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
    // Leading number of the text, as Val does; anything else is 0.
    QString s = argText(argv[0]).trimmed();
    int end = 0;
    while (end <= s.size()) {
        double d;
        if (end < s.size() && isSqlNumber(s.left(end + 1), &d)) {
            ++end;
            continue;
        }
        int k = end + 1;
        // allow "1." and "1e" on the way to "1.5" / "1e3"
        bool more = false;
        for (; k <= s.size() && k <= end + 2; ++k)
            if (isSqlNumber(s.left(k), &d)) {
                more = true;
                break;
            }
        if (more) {
            end = k;
            continue;
        }
        break;
    }
    double d = 0;
    if (end > 0) isSqlNumber(s.left(end), &d);
    sqlite3_result_double(ctx, d);
}

void fnCDbl(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
    double d = 0;
    QString s = argText(argv[0]);
    if (!isSqlNumber(s, &d)) {
        if (s.trimmed().isEmpty()) return sqlite3_result_double(ctx, 0);
        return sqlite3_result_error(ctx, "CDbl: not a number", -1);
    }
    sqlite3_result_double(ctx, d);
}

void fnCStr(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (t == SQLITE_FLOAT) return resultText(ctx, numberText(sqlite3_value_double(argv[0])));
    resultText(ctx, argText(argv[0]));
}

void fnInt(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, std::floor(sqlite3_value_double(argv[0])));
}

void fnUCase(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    resultText(ctx, argText(argv[0]).toUpper());
}

void fnLCase(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    resultText(ctx, argText(argv[0]).toLower());
}

void fnNz(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL) return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1) return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_int(ctx, 0);
}

void fnNow(sqlite3_context *ctx, int, sqlite3_value **)
{
    resultText(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

void registerJetFunctions(sqlite3 *db)
{
    struct F {
        const char *name;
        int args;
        void (*fn)(sqlite3_context *, int, sqlite3_value **);
    };
    static const F fns[] = {
            {"Mid", 2, fnMid},     {"Mid", 3, fnMid},   {"JetLeft", 2, fnLeft}, {"JetRight", 2, fnRight},
            {"Len", 1, fnLen},     {"IIf", 3, fnIIf},   {"Val", 1, fnVal},      {"CDbl", 1, fnCDbl},
            {"CCur", 1, fnCDbl},   {"CStr", 1, fnCStr}, {"Int", 1, fnInt},      {"UCase", 1, fnUCase},
            {"LCase", 1, fnLCase}, {"Nz", 1, fnNz},     {"Nz", 2, fnNz},        {"Now", 0, fnNow},
    };
    for (const F &f : fns) {
        int flags = SQLITE_UTF8 | (f.fn == fnNow ? 0 : SQLITE_DETERMINISTIC);
        sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr);
    }
}

int errCode(sqlite3 *db)
{
    return sqlite3_extended_errcode(db);
}

// SQLite's own words, for the details only.
QString errDetail(sqlite3 *db, const QString &sql = QString())
{
    QString d = QStringLiteral("SQLite：%1（错误码 %2）").arg(QString::fromUtf8(sqlite3_errmsg(db))).arg(errCode(db));
    if (!sql.isEmpty()) d += QStringLiteral("\n语句：") + sql;
    return d;
}

[[noreturn]] void fail(sqlite3 *db, const QString &sql)
{
    const int code = errCode(db) & 0xff;
    // On a handle opened only to read, a write the file refused or a
    // statement the guard kept out is the statement's doing, not the disk's
    // or the file's.
    if ((code == SQLITE_READONLY || code == SQLITE_AUTH) && sqlite3_db_readonly(db, "main") == 1)
        throw DbError(QStringLiteral("数据库是只读打开的，不能更改：这条语句会更改数据库，没有执行。"),
                      errDetail(db, sql), code);
    throw DbError(userText(errCode(db)), errDetail(db, sql), code);
}

// A read-only handle may still attach another file writable, or make one
// (VACUUM INTO attaches its target), and the cipher's pragmas act while a
// statement is compiled (a rekey tries to rewrite the file): none of them
// may run on it, nor a pragma that lifts the guard.
int readOnlyGuard(void *, int action, const char *name, const char *value, const char *, const char *)
{
    if (action == SQLITE_ATTACH || action == SQLITE_DETACH) return SQLITE_DENY;
    if (action != SQLITE_PRAGMA || !name) return SQLITE_OK;
    const QByteArray pragma = QByteArray(name).toLower();
    if (pragma.contains("key")) return SQLITE_DENY;
    // A checkpoint writes the log into the file; a new journal mode rewrites
    // the file's header (and would remove the program's log).
    if (pragma == "wal_checkpoint") return SQLITE_DENY;
    if (value && (pragma.startsWith("cipher") || pragma == "query_only" || pragma == "journal_mode"))
        return SQLITE_DENY;
    return SQLITE_OK;
}

}  // namespace

bool keyHandle(sqlite3 *db, const QByteArray &key)
{
    return sqlite3_key(db, key.constData(), int(key.size())) == SQLITE_OK &&
           sqlite3_exec(db, "PRAGMA cipher_compatibility = 3", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// ---------------------------------------------------------------- Connection

Connection::Connection(sqlite3 *db, const QString &path) : m_db(db), m_path(path) {}

Connection::~Connection()
{
    for (auto &kv : m_cache) sqlite3_finalize(kv.second.stmt);
    m_cache.clear();
    if (!sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_db);
    if (m_tidyLog) removeLogFiles();
}

// A read-only handle cannot take the lock that deleting the log files needs,
// so its "-wal" and "-shm" stay behind.  The last writable handle to close
// removes them; one that only reads and closes does so, and leaves them to
// any other program that has the file open meanwhile.
void Connection::removeLogFiles() noexcept
{
    if (!QFile::exists(m_path + QStringLiteral("-wal")) && !QFile::exists(m_path + QStringLiteral("-shm"))) return;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        keyHandle(db, m_tidyKey))
        sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
}

std::unique_ptr<Connection> Connection::open(const QString &path, const QByteArray &key, Journal journal)
{
    return openFile(path, key, false, journal);
}

std::unique_ptr<Connection> Connection::create(const QString &path, const QByteArray &key, Journal journal)
{
    return openFile(path, key, true, journal);
}

std::unique_ptr<Connection> Connection::inMemory()
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw DbError(QStringLiteral("无法创建内存数据库：内存不足。"));
    }
    registerJetFunctions(db);
    return std::unique_ptr<Connection>(new Connection(db, QStringLiteral(":memory:")));
}

std::unique_ptr<Connection> Connection::openFile(const QString &path, const QByteArray &key, bool create,
                                                 Journal journal)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFileInfo fi(path);
    const QString folder = fi.absolutePath();
    if (create) {
        if (fi.exists()) throw DbError(QStringLiteral("数据库文件 %1 已经存在，不能重新创建！").arg(shown));
        if (!QDir().mkpath(folder))
            throw DbError(QStringLiteral("无法创建数据文件夹 %1。请检查上一级文件夹的写入权限。")
                                  .arg(QDir::toNativeSeparators(folder)),
                          QString(), SQLITE_CANTOPEN);
    } else {
        if (!fi.exists())
            throw DbError(QStringLiteral("数据库文件 %1 不存在！").arg(shown), QString(), SQLITE_CANTOPEN);
        if (!fi.isFile() || !fi.isReadable())
            throw DbError(QStringLiteral("数据库文件 %1 无法读取！").arg(shown), QString(), SQLITE_CANTOPEN);
    }
    // Every save writes beside the file (journal, write-ahead log): a folder
    // or file that cannot be written is told now, not at the first save.
    auto systemText = [](int err) { return QString::fromLocal8Bit(std::strerror(err)); };
    const bool readOnly = journal == Journal::ReadOnly;
    if (!readOnly && ::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        const int err = errno;
        throw DbError(
                QStringLiteral("数据文件夹 %1 不能写入，无法保存任何数据。请检查该文件夹的写入权限，或者磁盘是否只读。")
                        .arg(QDir::toNativeSeparators(folder)),
                systemText(err), SQLITE_READONLY);
    }
    if (!create && !readOnly && ::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        const int err = errno;
        throw DbError(QStringLiteral("数据库文件 %1 是只读的，无法保存任何数据。请检查该文件的写入权限。").arg(shown),
                      systemText(err), SQLITE_READONLY);
    }

    auto refused = [&](sqlite3 *db, int code) {
        const Reason r = reasonFor(code);
        QString detail = db ? errDetail(db) : QString();
        sqlite3_close_v2(db);
        return DbError(QStringLiteral("无法打开数据库文件 %1：%2。%3")
                               .arg(shown, QString::fromUtf8(r.what), QString::fromUtf8(r.todo)),
                       detail, code & 0xff);
    };
    const bool logFilesBefore =
            QFile::exists(path + QStringLiteral("-wal")) || QFile::exists(path + QStringLiteral("-shm"));
    sqlite3 *db = nullptr;
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | (create ? SQLITE_OPEN_CREATE : 0) |
                SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) throw refused(db, rc);
    if (!keyHandle(db, key)) {
        sqlite3_close_v2(db);
        throw DbError(QStringLiteral("无法打开数据库文件 %1：加密模块不可用！").arg(shown));
    }
    // A wrong key only shows at the first read of the file.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw refused(db, errCode(db));
    if (!readOnly && sqlite3_db_readonly(db, "main") == 1) throw refused(db, SQLITE_READONLY);
    sqlite3_busy_timeout(db, 5000);
    // Write-ahead log with full sync: a commit costs one sync of the log,
    // readers do not hold up a save, and a commit that returned survives a
    // power cut (a till must not lose sales, so never synchronous=NORMAL).
    const char *mode = journal == Journal::Wal      ? "PRAGMA journal_mode=WAL"
                       : journal == Journal::Rollback ? "PRAGMA journal_mode=DELETE"
                                                      : "PRAGMA query_only=1";
    if (sqlite3_exec(db, mode, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw refused(db, errCode(db));
    // Every page read is decrypted: a 64 MB page cache (grown only as used)
    // keeps a year of sales decrypted once for the reports and lists.
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    registerJetFunctions(db);
    if (readOnly) sqlite3_set_authorizer(db, readOnlyGuard, nullptr);
    std::unique_ptr<Connection> c(new Connection(db, path));
    if (readOnly && !logFilesBefore) {
        c->m_tidyLog = true;
        c->m_tidyKey = key;
    }
    return c;
}

// ---------------------------------------------------------------- statement cache

size_t Connection::KeyHash::operator()(const Key &k) const noexcept
{
    return qHash(k.second, k.first ? 1u : 0u);
}

Connection::Statement::~Statement()
{
    if (!st) return;
    if (entry) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        entry->busy = false;
    } else {
        sqlite3_finalize(st);
    }
}

Connection::Statement::Statement(Statement &&o) noexcept : st(o.st), native(std::move(o.native)), entry(o.entry)
{
    o.st = nullptr;
    o.entry = nullptr;
}

static bool holdsStatement(sqlite3 *db, const char *text)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, text, -1, &st, nullptr) != SQLITE_OK) return true;  // let the run report it
    bool any = st != nullptr;
    sqlite3_finalize(st);
    return any;
}

Connection::Statement Connection::prepare(const QString &text, bool jet)
{
    Statement s;
    const Key key(jet, text);
    bool taken = false;  // the same text is running already: compile it once more
    if (m_cacheSize > 0) {
        auto it = m_cache.find(key);
        if (it != m_cache.end()) {
            Cached &c = it->second;
            if (!c.busy) {
                c.used = ++m_clock;
                s.native = c.native;
                if (c.stmt) {
                    c.busy = true;
                    s.st = c.stmt;
                    s.entry = &c;
                }
                return s;
            }
            taken = true;
        }
    }
    const QString native = jet ? translateJet(text) : text;
    const QByteArray utf8 = native.toUtf8();
    const char *tail = nullptr;
    ++m_compiles;
    const bool keep = m_cacheSize > 0 && !taken;
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()) + 1, &s.st, &tail) != SQLITE_OK) {
        noteFailure();
        fail(m_db, text);
    }
    if (s.st && tail && *tail && holdsStatement(m_db, tail)) {
        sqlite3_finalize(s.st);  // several statements run one by one from the text
        s.st = nullptr;
        s.native = native;
    }
    if (!keep) return s;
    while (m_cache.size() >= size_t(m_cacheSize) && evictOldest()) {}
    Cached &c = m_cache[key];
    c.stmt = s.st;
    c.native = s.native;
    c.used = ++m_clock;
    c.busy = s.st != nullptr;
    if (s.st) s.entry = &c;
    return s;
}

bool Connection::evictOldest()
{
    auto oldest = m_cache.end();
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (!it->second.busy && (oldest == m_cache.end() || it->second.used < oldest->second.used)) oldest = it;
    if (oldest == m_cache.end()) return false;
    sqlite3_finalize(oldest->second.stmt);
    m_cache.erase(oldest);
    return true;
}

void Connection::setStatementCacheSize(int n)
{
    m_cacheSize = std::max(0, n);
    while (m_cache.size() > size_t(m_cacheSize) && evictOldest()) {}
}

void Connection::bind(sqlite3_stmt *st, const QVariantList &params, const QString &text)
{
    const int wanted = sqlite3_bind_parameter_count(st);
    if (wanted != params.size())
        throw DbError(
                QStringLiteral("数据库操作失败。请把详细信息告诉软件维护人员。"),
                QStringLiteral("语句要 %1 个参数，给了 %2 个。\n语句：%3").arg(wanted).arg(params.size()).arg(text));
    for (int i = 0; i < params.size(); ++i) {
        const QVariant &v = params[i];
        int rc;
        switch (v.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            rc = sqlite3_bind_null(st, i + 1);
            break;
        case QMetaType::Bool:
            rc = sqlite3_bind_int(st, i + 1, v.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
            break;
        case QMetaType::ULong:
        case QMetaType::ULongLong: {
            const qulonglong u = v.toULongLong();
            if (u > qulonglong(std::numeric_limits<qint64>::max()))
                throw DbError(QStringLiteral("数值无效：%1").arg(u), text);
            rc = sqlite3_bind_int64(st, i + 1, qint64(u));
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = v.toDouble();
            if (!std::isfinite(d)) throw DbError(QStringLiteral("数值无效：%1").arg(d), text);
            rc = sqlite3_bind_double(st, i + 1, d);
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(st, i + 1, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            QString t;
            if (v.typeId() == QMetaType::QDate)
                t = v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
            else if (v.typeId() == QMetaType::QDateTime)
                t = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            else if (v.typeId() == QMetaType::QTime)
                t = v.toTime().toString(QStringLiteral("hh:mm:ss"));
            else if (v.canConvert<QString>())
                t = v.toString();
            else
                throw DbError(QStringLiteral("无法保存类型为 %1 的值！").arg(QString::fromLatin1(v.typeName())), text);
            t.remove(QChar(0));  // as the quoting helper does
            const QByteArray u = t.toUtf8();
            rc = sqlite3_bind_text64(st, i + 1, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        }
        if (rc != SQLITE_OK) fail(m_db, text);
    }
}

int Connection::run(const QString &text, bool jet, const QVariantList &params)
{
    checkUsable();
    Statement s = prepare(text, jet);
    if (!s.st) {
        if (!params.isEmpty())
            throw DbError(QStringLiteral("数据库操作失败。请把详细信息告诉软件维护人员。"),
                          QStringLiteral("带参数的语句只能是一条语句。\n语句：") + text);
        return s.native.isEmpty() ? 0 : runScript(s.native, text);
    }
    bind(s.st, params, text);
    ++m_statements;
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {}
    if (rc != SQLITE_DONE) {
        noteFailure();
        fail(m_db, text);
    }
    return sqlite3_changes(m_db);
}

int Connection::runScript(const QString &native, const QString &shown)
{
    QByteArray utf8 = native.toUtf8();
    const char *p = utf8.constData();
    const char *end = p + utf8.size();
    int changes = 0;
    while (p < end) {
        sqlite3_stmt *st = nullptr;
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(m_db, p, int(end - p), &st, &tail) != SQLITE_OK) {
            noteFailure();
            fail(m_db, shown);
        }
        if (!st) break;  // only blanks or a comment left
        ++m_statements;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(st);
            noteFailure();
            fail(m_db, shown);
        }
        changes += sqlite3_changes(m_db);
        sqlite3_finalize(st);
        p = tail;
    }
    return changes;
}

int Connection::executeNative(const QString &sql)
{
    return run(sql, false, QVariantList());
}

int Connection::execute(const QString &jetSql)
{
    return run(jetSql, true, QVariantList());
}

int Connection::execute(const QString &jetSql, const QVariantList &params)
{
    return run(jetSql, true, params);
}

qint64 Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

QStringList Connection::tableNames() const
{
    Query q(const_cast<Connection *>(this));
    q.OpenSql(QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    QStringList out;
    for (q.First(); !q.Eof(); q.Next()) out << q.text(q.RecNo() - 1, 0);
    return out;
}

QStringList Connection::columnNames(const QString &table) const
{
    Query q(const_cast<Connection *>(this));
    q.OpenSql(QStringLiteral("PRAGMA table_info(%1)").arg(sqlQuote(table)));
    QStringList out;
    for (q.First(); !q.Eof(); q.Next()) out << q.value(QStringLiteral("name"));
    return out;
}

void Connection::setBusyTimeout(int ms)
{
    sqlite3_busy_timeout(m_db, ms);
}

static const QString kUndone =
        QStringLiteral("保存失败，本次的内容没有保存：数据库已撤销了本次的全部修改。请再保存一次。");

void Connection::checkUsable() const
{
    if (m_depth > 0 && m_aborted) throw DbError(kUndone);
}

void Connection::noteFailure()
{
    // Some errors (full disk, I/O, busy in the middle of a write) make SQLite
    // undo the whole transaction by itself; what runs after that would
    // otherwise land statement by statement.
    if (m_depth > 0 && sqlite3_get_autocommit(m_db)) m_aborted = true;
}

void Connection::begin()
{
    if (m_depth == 0) {
        m_aborted = false;
        executeNative(QStringLiteral("BEGIN IMMEDIATE"));
    } else {
        checkUsable();
        executeNative(QStringLiteral("SAVEPOINT sp%1").arg(m_depth));
    }
    ++m_depth;
}

void Connection::commit()
{
    if (m_depth <= 0) return;
    if (m_aborted) {
        rollback();
        throw DbError(kUndone);
    }
    const QString sql = m_depth == 1 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE sp%1").arg(m_depth - 1);
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_exec(m_db, utf8.constData(), nullptr, nullptr, nullptr) == SQLITE_OK) {
        --m_depth;
        return;
    }
    // A COMMIT refused (another program still reads the file) leaves the
    // transaction open in SQLite: undo it here, so that the connection is
    // clean and the next save starts afresh.
    const int code = errCode(m_db);
    const QString detail = errDetail(m_db, sql);
    rollback();
    throw DbError(QStringLiteral("保存失败，本次的内容没有保存：") + userText(code), detail, code & 0xff);
}

void Connection::rollback() noexcept
{
    if (m_depth <= 0) return;
    --m_depth;
    // A failing rollback must not throw: it runs from destructors.
    if (m_depth == 0) {
        if (!sqlite3_get_autocommit(m_db)) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_aborted = false;
    } else if (!m_aborted) {
        QByteArray sp = QStringLiteral("ROLLBACK TO sp%1; RELEASE sp%1").arg(m_depth).toUtf8();
        if (sqlite3_exec(m_db, sp.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) noteFailure();
    }
}

Transaction::Transaction(Connection &c) : m_c(c)
{
    m_c.begin();
    m_level = m_c.depth();
}

void Transaction::unwind() noexcept
{
    // This scope's level and any left open inside it; a level that a failed
    // commit has already ended is not ended twice.
    while (m_c.depth() >= m_level && m_c.depth() > 0) m_c.rollback();
}

Transaction::~Transaction()
{
    if (!m_done) unwind();
}

void Transaction::commit()
{
    if (m_done) return;
    m_done = true;
    if (m_c.depth() != m_level) {
        unwind();
        throw DbError(QStringLiteral("保存失败，本次的内容没有保存。请把详细信息告诉软件维护人员。"),
                      QStringLiteral("提交时还有未结束的内层事务。"));
    }
    m_c.commit();
}

// ---------------------------------------------------------------- Query

void Query::Close()
{
    m_active = false;
    m_pos = 0;
    m_names.clear();
    m_hits.clear();
    m_lastHit = 0;
    m_kinds.clear();
    m_blobs.clear();
    m_cells.clear();
    m_order.clear();
    m_arena.clear();
    m_sortText.clear();
}

void Query::AddSQL(const QString &line)
{
    if (!m_sql.isEmpty()) m_sql += QLatin1Char('\n');
    m_sql += line;
}

static Query::Kind kindOf(const char *decl)
{
    if (!decl) return Query::Kind::Number;
    QByteArray d = QByteArray(decl).toUpper();
    if (d.contains("MONEY") || d.contains("CURRENCY")) return Query::Kind::Money;
    if (d.contains("BIT") || d.contains("BOOL")) return Query::Kind::Bit;
    if (d.contains("INT") || d.contains("COUNTER")) return Query::Kind::Integer;
    if (d.contains("CHAR") || d.contains("TEXT") || d.contains("CLOB") || d.contains("MEMO")) return Query::Kind::Text;
    return Query::Kind::Number;
}

static bool isBlobType(const char *decl)
{
    if (!decl) return false;
    const QByteArray d = QByteArray(decl).toUpper();
    return d.contains("BLOB") || d.contains("IMAGE") || d.contains("BINARY") || d.startsWith("OLE");
}

void Query::Open()
{
    Open(QVariantList());
}

void Query::Open(const QVariantList &params)
{
    if (!m_conn) throw DbError(QStringLiteral("查询没有连接到数据库！"));
    Close();
    m_conn->checkUsable();
    sqlite3 *db = m_conn->m_db;
    Connection::Statement s = m_conn->prepare(m_sql, true);
    if (!s.st)
        throw DbError(s.native.isEmpty() ? QStringLiteral("查询语句是空的！")
                                         : QStringLiteral("一次只能打开一条查询语句！"),
                      m_sql);
    m_conn->bind(s.st, params, m_sql);
    sqlite3_stmt *st = s.st;
    // The columns after the first step: a kept "select *" is compiled again
    // there when the table has changed since.
    int rc = sqlite3_step(st);
    const int cols = sqlite3_column_count(st);
    m_names.reserve(cols);
    m_kinds.reserve(cols);
    for (int c = 0; c < cols; ++c) {
        QString name = QString::fromUtf8(sqlite3_column_name(st, c));
        m_names << name;
        const char *decl = sqlite3_column_decltype(st, c);
        m_kinds.push_back(kindOf(decl));
        m_blobs.push_back(isBlobType(decl));
    }
    int rows = 0;
    m_cells.reserve(size_t(cols) * 64);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st)) {
        ++rows;
        for (int c = 0; c < cols; ++c) {
            Cell cell;
            cell.type = quint8(sqlite3_column_type(st, c));
            switch (cell.type) {
            case SQLITE_INTEGER:
                cell.i = sqlite3_column_int64(st, c);
                break;
            case SQLITE_FLOAT:
                cell.d = sqlite3_column_double(st, c);
                break;
            case SQLITE_NULL:
                break;
            default: {
                const char *p = cell.type == SQLITE_TEXT ? reinterpret_cast<const char *>(sqlite3_column_text(st, c))
                                                         : static_cast<const char *>(sqlite3_column_blob(st, c));
                int len = sqlite3_column_bytes(st, c);
                cell.t.off = quint32(m_arena.size());
                cell.t.len = quint32(len);
                if (len) m_arena.append(p, len);
            }
            }
            m_cells.push_back(cell);
        }
    }
    if (rc != SQLITE_DONE) {
        Close();
        m_conn->noteFailure();
        fail(db, m_sql);
    }
    m_order.resize(rows);
    for (int r = 0; r < rows; ++r) m_order[r] = r;
    m_active = true;
    m_pos = 0;
}

int Query::ExecSQL(const QVariantList &params)
{
    if (!m_conn) throw DbError(QStringLiteral("查询没有连接到数据库！"));
    Close();
    return m_conn->execute(m_sql, params);
}

void Query::OpenSql(const QString &sql, const QVariantList &params)
{
    Close();
    m_sql = sql;
    Open(params);
}

int Query::ExecSql(const QString &sql, const QVariantList &params)
{
    Close();
    m_sql = sql;
    return ExecSQL(params);
}

void Query::setRecNo(int recNo)
{
    if (recNo >= 1 && recNo <= rowCount()) m_pos = recNo - 1;
}

Query::Bookmark Query::GetBookmark() const
{
    return Eof() ? -1 : m_order[m_pos];
}

void Query::GotoBookmark(Bookmark b)
{
    for (int p = 0; p < rowCount(); ++p)
        if (m_order[p] == b) {
            m_pos = p;
            return;
        }
    throw DbError(QStringLiteral("找不到书签所指的记录！"));
}

int Query::FieldIndex(const QString &name) const
{
    // The windows read the same few names row after row, mostly in the same
    // order: try the name after the last one found, then the others.
    const size_t n = m_hits.size();
    for (size_t k = 1; k <= n; ++k) {
        const size_t j = (m_lastHit + k) % n;
        if (m_hits[j].first == name) {
            m_lastHit = j;
            return m_hits[j].second;
        }
    }
    // Without regard to case, the first column of that name; no copy made.
    int found = -1;
    for (int c = 0; c < m_names.size(); ++c)
        if (m_names[c].compare(name, Qt::CaseInsensitive) == 0) {
            found = c;
            break;
        }
    if (found >= 0 && n < kNameHits) {
        m_hits.emplace_back(name, found);
        m_lastHit = n;
    }
    return found;
}

Field Query::FieldByName(const QString &name) const
{
    int c = FieldIndex(name);
    if (c < 0) throw DbError(QStringLiteral("字段 %1 不存在！").arg(name));
    return Field(this, c);
}

const Query::Cell &Query::cell(int row, int column) const
{
    return m_cells[size_t(m_order[row]) * m_names.size() + column];
}

QString Query::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= FieldCount()) return QString();
    return cellText(cell(row, column), m_kinds[column]);
}

QString Query::shownText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= FieldCount()) return QString();
    const Cell &c = cell(row, column);
    const Kind k = m_kinds[column];
    if (c.type == SQLITE_FLOAT && k != Kind::Bit && std::isfinite(c.d) && std::abs(c.d) < 1e14)
        return velmora::Money::fromDouble(c.d).toString();
    return cellText(c, k);
}

static QString bitText(bool b)
{
    return b ? QStringLiteral("True") : QStringLiteral("False");
}

QString Query::cellText(const Cell &c, Kind k) const
{
    switch (c.type) {
    case SQLITE_NULL:
        return QString();
    case SQLITE_INTEGER:
        if (k == Kind::Bit) return bitText(c.i != 0);
        return QString::number(c.i);
    case SQLITE_FLOAT:
        if (k == Kind::Bit) return bitText(c.d != 0);
        if (k == Kind::Money) return numberText(std::round(c.d * 10000.0) / 10000.0);
        return numberText(c.d);
    default: {
        QString s = QString::fromUtf8(m_arena.constData() + c.t.off, int(c.t.len));
        if (k == Kind::Bit) {
            double d;
            return bitText(s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
                           (isSqlNumber(s, &d) && d != 0));
        }
        return s;
    }
    }
}

double Query::cellNumber(const Cell &c) const
{
    switch (c.type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
        return double(c.i);
    case SQLITE_FLOAT:
        return c.d;
    default: {
        QString s = QString::fromUtf8(m_arena.constData() + c.t.off, int(c.t.len));
        double d = 0;
        if (s.trimmed().isEmpty()) return 0;
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return -1;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return 0;
        if (!isSqlNumber(s, &d)) throw DbError(QStringLiteral("“%1” 不是有效的数字！").arg(s));
        return d;
    }
    }
}

void Query::setSort(const QString &sortText)
{
    m_sortText = sortText.trimmed();
    const int rows = int(m_order.size());
    for (int r = 0; r < rows; ++r) m_order[r] = r;
    if (m_sortText.isEmpty() || rows == 0) return;
    QStringList parts = m_sortText.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool desc = parts.size() > 1 && parts.last().compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0;
    if (parts.size() > 1 && (desc || parts.last().compare(QLatin1String("ASC"), Qt::CaseInsensitive) == 0))
        parts.removeLast();
    QString fieldName = parts.join(QLatin1Char(' '));
    if (fieldName.startsWith(u'[') && fieldName.endsWith(u']')) fieldName = fieldName.mid(1, fieldName.size() - 2);
    int col = FieldIndex(fieldName);
    if (col < 0) throw DbError(QStringLiteral("字段 %1 不存在！").arg(fieldName));
    const size_t cols = m_names.size();
    auto raw = [&](int r) -> const Cell & { return m_cells[size_t(r) * cols + col]; };
    auto rank = [](const Cell &c) {
        return c.type == SQLITE_NULL ? 0 : (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB) ? 2 : 1;
    };
    auto less = [&](int a, int b) {
        const Cell &x = raw(a), &y = raw(b);
        int rx = rank(x), ry = rank(y);
        if (rx != ry) return rx < ry;
        if (rx == 1) return cellNumber(x) < cellNumber(y);
        if (rx == 2) {
            QString sx = QString::fromUtf8(m_arena.constData() + x.t.off, int(x.t.len));
            QString sy = QString::fromUtf8(m_arena.constData() + y.t.off, int(y.t.len));
            return sx.compare(sy, Qt::CaseInsensitive) < 0;
        }
        return false;
    };
    if (desc)
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return less(b, a); });
    else
        std::stable_sort(m_order.begin(), m_order.end(), less);
    m_pos = 0;
}

// ---------------------------------------------------------------- Field

QString Field::FieldName() const
{
    return m_q->m_names.value(m_col);
}

QByteArray Field::AsBytes() const
{
    if (m_q->Eof()) return QByteArray();
    const Query::Cell &c = m_q->cell(m_q->m_pos, m_col);
    if (c.type != SQLITE_TEXT && c.type != SQLITE_BLOB) return QByteArray();
    return QByteArray(m_q->m_arena.constData() + c.t.off, qsizetype(c.t.len));
}

QString Field::AsString() const
{
    if (m_q->Eof()) return QString();
    return m_q->cellText(m_q->cell(m_q->m_pos, m_col), m_q->m_kinds[m_col]);
}

bool Field::IsNull() const
{
    return m_q->Eof() || m_q->cell(m_q->m_pos, m_col).type == SQLITE_NULL;
}

double Field::AsFloat() const
{
    if (m_q->Eof()) return 0;
    double d = m_q->cellNumber(m_q->cell(m_q->m_pos, m_col));
    if (m_q->m_kinds[m_col] == Query::Kind::Money) d = std::round(d * 10000.0) / 10000.0;
    return d;
}

qint64 Field::AsInteger() const
{
    if (m_q->Eof()) return 0;
    const auto &c = m_q->cell(m_q->m_pos, m_col);
    if (c.type == SQLITE_INTEGER) return c.i;
    return qint64(std::llround(m_q->cellNumber(c)));
}

bool Field::AsBoolean() const
{
    if (m_q->Eof()) return false;
    const auto &c = m_q->cell(m_q->m_pos, m_col);
    if (c.type == SQLITE_TEXT) {
        QString s = AsString();
        if (s == QStringLiteral("是")) return true;
        if (s == QStringLiteral("否")) return false;
    }
    return m_q->cellText(c, Query::Kind::Bit) == QLatin1String("True");
}

QDateTime Field::AsDateTime() const
{
    if (m_q->Eof()) return QDateTime();
    const auto &c = m_q->cell(m_q->m_pos, m_col);
    if (c.type == SQLITE_NULL) return QDateTime();
    if (c.type == SQLITE_INTEGER || c.type == SQLITE_FLOAT) {
        // Day serial with 1899-12-30 as day 0, the fraction the time of day.
        double d = m_q->cellNumber(c);
        QDate base(1899, 12, 30);
        qint64 days = qint64(std::floor(d));
        qint64 ms = qint64(std::llround((d - std::floor(d)) * 86400000.0));
        return QDateTime(base.addDays(days), QTime(0, 0)).addMSecs(ms);
    }
    QString s = AsString().trimmed();
    for (const char *fmt : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-dd", "yyyy-M-d"}) {
        QDateTime dt = QDateTime::fromString(s, QLatin1String(fmt));
        if (dt.isValid()) return dt;
    }
    throw DbError(QStringLiteral("“%1” 不是有效的日期！").arg(s));
}

QDate Field::AsDate() const
{
    return AsDateTime().date();
}

}  // namespace vdb
