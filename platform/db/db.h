#pragma once
// Our stand-in for the ADO connection and query of the original system: one
// SQLCipher connection that accepts the Jet dialect the windows write, and a
// client-side query (all rows fetched on open) with ADO's cursor operations.

#include "platform/error.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vdb {

// Every failure of this layer.  message() is a Chinese sentence for the user
// (what happened and what to do); detail() holds SQLite's own text and the
// statement; code() is SQLite's primary result code (SQLITE_BUSY, ...), 0 for
// a failure found by this layer itself.
class DbError : public velmora::Error {
public:
    explicit DbError(const QString &message, const QString &detail = QString(), int code = 0);
    int code() const { return m_code; }

private:
    int m_code = 0;
};

// The user's sentence for an SQLite result code, e.g. for SQLITE_BUSY
// "数据库正被其他程序使用。请稍后再试，……".
QString userText(int sqliteCode);

// Gives a freshly opened handle its key, in the file format every database
// and backup of this program has always had (so older files open unchanged
// and newer ones stay readable by older tools).  False when the engine
// refuses it.
bool keyHandle(sqlite3 *db, const QByteArray &key);

// Text to put between single quotes in a statement: quotes doubled, NUL removed.
QString sqlText(const QString &value);
// The same, with the surrounding quotes.
QString sqlQuote(const QString &value);
// A number that goes into a statement unquoted.  Throws DbError when the text
// is not a plain decimal number.  A negative number comes back in parentheses,
// so "x-" + sqlNum("-5") cannot become the comment "--".
QString sqlNum(const QString &value);
QString sqlNum(double value);
QString sqlNum(qint64 value);
// True when value is a plain decimal number (optional sign, digits, point,
// exponent, surrounding blanks).
bool isSqlNumber(const QString &value, double *out = nullptr);

// The shortest decimal text of a number, at most 15 significant digits:
// 120 -> "120", 0.1+0.2 -> "0.3".
QString numberText(double value);

// Rewrites one Jet statement into SQLite's dialect.  Empty result: nothing to run.
QString translateJet(const QString &sql);

// One connection and its queries serve one thread at a time (the kept
// statements belong to the connection).
class Connection {
public:
    // How commits reach the disk, always with full sync.  Wal: one sync of
    // the log per commit, readers never hold up a save.  Rollback: the old
    // rollback journal, for comparisons and tests.
    // Reader: a second connection beside the program's own, for reads on
    // another thread; the file's journal stays as its owner set it.
    // ReadOnly: opened read-only, so no statement run on it (an UPDATE, a
    // PRAGMA that rewrites the file) can change the file; for tools that
    // only look.  The log files that reading a write-ahead database makes
    // beside it go again at close when nobody else has the file open.
    enum class Journal { Wal, Rollback, Reader, ReadOnly };
    // Opens an existing database file with the key.  Throws DbError naming the
    // file when it is missing, cannot be read or written, or the key does not fit.
    static std::unique_ptr<Connection> open(const QString &path, const QByteArray &key, Journal journal = Journal::Wal);
    // Creates a new, empty database file (its folder too).  Throws if it exists.
    static std::unique_ptr<Connection> create(const QString &path, const QByteArray &key,
                                              Journal journal = Journal::Wal);
    // An empty database in memory, without key or file: the program's own
    // schema is made there to compare files against.
    static std::unique_ptr<Connection> inMemory();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Runs one statement in the Jet dialect; returns the rows changed.
    int execute(const QString &jetSql);
    // The same with "?" placeholders, filled from params in order; the values
    // never become SQL text, so they need no quoting:
    //     c.execute("UPDATE SShop SET theCount = theCount - ? WHERE ID = ?", {2.5, id});
    // Values: QVariant() gives NULL; bool 1 or 0; integers INTEGER; double
    // REAL (finite only); QString TEXT (NUL removed, as sqlText does);
    // QByteArray BLOB; QDate "yyyy-MM-dd", QDateTime "yyyy-MM-dd hh:mm:ss";
    // anything else its text.  The number of values must match the
    // placeholders.  Throws DbError.
    int execute(const QString &jetSql, const QVariantList &params);
    // Runs a statement already in SQLite's dialect (no translation).
    int executeNative(const QString &sql);

    // Every single statement (execute, executeNative, Query) is compiled once
    // and kept, keyed by its text (Jet translation included), so a text that
    // runs again is not parsed again.  The least recently used goes when more
    // than n are kept; 0 compiles every run afresh.  Default 64.
    void setStatementCacheSize(int n);
    int statementCacheSize() const { return m_cacheSize; }
    // Statements compiled so far (tests see the cache at work).
    quint64 compileCount() const { return m_compiles; }

    QStringList tableNames() const;                       // without system tables
    QStringList columnNames(const QString &table) const;  // in table order

    const QString &path() const { return m_path; }
    qint64 lastInsertId() const;
    sqlite3 *handle() const { return m_db; }
    bool inTransaction() const { return m_depth > 0; }
    int depth() const { return m_depth; }
    // How long a statement waits for another program's lock before it
    // fails with "数据库正被其他程序使用" (default 5 s).
    void setBusyTimeout(int ms);

    // Called by Transaction; nested scopes become savepoints.  A commit that
    // fails rolls its scope back (the outermost: the whole transaction) and
    // throws; the connection is then ready for the next save.
    void begin();
    void commit();
    void rollback() noexcept;

    // Counts the statements run through execute (reads through a Query do
    // not count); tests read it to see that nothing was changed.
    quint64 statementCount() const { return m_statements; }

private:
    struct Cached {
        sqlite3_stmt *stmt = nullptr;  // null: the text runs nothing, or several statements
        QString native;                // the translation, kept when stmt is null
        quint64 used = 0;
        bool busy = false;
    };
    // A compiled statement lent for one run; given back reset and unbound.
    struct Statement {
        sqlite3_stmt *st = nullptr;  // null: nothing to run, or several statements in native
        QString native;
        Cached *entry = nullptr;  // null: compiled for this run only
        Statement() = default;
        Statement(Statement &&o) noexcept;
        Statement(const Statement &) = delete;
        ~Statement();
    };
    using Key = std::pair<bool, QString>;  // (Jet dialect, text)
    struct KeyHash {
        size_t operator()(const Key &k) const noexcept;
    };

    Connection(sqlite3 *db, const QString &path);
    static std::unique_ptr<Connection> openFile(const QString &path, const QByteArray &key, bool create,
                                                Journal journal);
    void checkUsable() const;
    void removeLogFiles() noexcept;
    void noteFailure();
    Statement prepare(const QString &text, bool jet);
    bool evictOldest();
    void bind(sqlite3_stmt *st, const QVariantList &params, const QString &text);
    int run(const QString &text, bool jet, const QVariantList &params);
    int runScript(const QString &native, const QString &shown);

    sqlite3 *m_db;
    QString m_path;
    QByteArray m_tidyKey;  // ReadOnly only: the key to tidy the log files with at close
    bool m_tidyLog = false;
    int m_depth = 0;
    bool m_aborted = false;  // SQLite undid the open transaction by itself
    quint64 m_statements = 0;
    quint64 m_compiles = 0;
    int m_cacheSize = 64;
    quint64 m_clock = 0;
    std::unordered_map<Key, Cached, KeyHash> m_cache;
    friend class Query;
};

// Rolls back unless commit() was called: every save or delete of several
// statements runs inside one of these.  commit() throws DbError ("本次的内容
// 没有保存") when the database refuses it; everything of the scope is then
// undone and the connection is ready for the next save.
class Transaction {
public:
    explicit Transaction(Connection &c);
    ~Transaction();
    void commit();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    void unwind() noexcept;
    Connection &m_c;
    int m_level = 0;
    bool m_done = false;
};

class Query;

// One column of the current row, read as the windows read fields.
class Field {
public:
    Field(const Query *q, int column) : m_q(q), m_col(column) {}
    QString AsString() const;
    double AsFloat() const;
    qint64 AsInteger() const;
    bool AsBoolean() const;
    QDate AsDate() const;
    QDateTime AsDateTime() const;
    bool IsNull() const;
    // The bytes of a BLOB (or the UTF-8 of text); empty for NULL and numbers.
    QByteArray AsBytes() const;
    QString FieldName() const;

private:
    const Query *m_q;
    int m_col;
};

class Query {
public:
    enum class Kind : quint8 { Text, Number, Money, Bit, Integer };

    Query() = default;
    explicit Query(Connection *c) : m_conn(c) {}

    void setConnection(Connection *c) { m_conn = c; }
    Connection *connection() const { return m_conn; }

    // The original cycle: Close, SQL.Clear, SQL.Add, Open or ExecSQL.
    void Close();
    void ClearSQL() { m_sql.clear(); }
    void AddSQL(const QString &line);
    void setSQL(const QString &sql) { m_sql = sql; }
    const QString &sql() const { return m_sql; }
    void Open();
    // With values for the "?" placeholders of the text (see Connection::execute).
    void Open(const QVariantList &params);
    int ExecSQL(const QVariantList &params = QVariantList());
    // Close, clear, add and open in one call.
    void OpenSql(const QString &sql, const QVariantList &params = QVariantList());
    int ExecSql(const QString &sql, const QVariantList &params = QVariantList());

    bool Active() const { return m_active; }
    bool Eof() const { return !m_active || m_pos >= rowCount(); }
    bool Bof() const { return !m_active || m_pos <= 0; }
    bool IsEmpty() const { return rowCount() == 0; }
    void First() { m_pos = 0; }
    void Last() { m_pos = rowCount() > 0 ? rowCount() - 1 : 0; }
    void Next()
    {
        if (m_pos < rowCount()) ++m_pos;
    }
    void Prior()
    {
        if (m_pos > 0) --m_pos;
    }
    int RecordCount() const { return rowCount(); }
    int RecNo() const { return Eof() ? -1 : m_pos + 1; }
    void setRecNo(int recNo);

    // A bookmark names a row whatever the sort order.
    using Bookmark = int;
    Bookmark GetBookmark() const;
    void GotoBookmark(Bookmark b);

    int FieldCount() const { return int(m_names.size()); }
    QStringList FieldNames() const { return m_names; }
    // -1 when absent.  Names are found without regard to case; a name read
    // again (row after row) is found without comparing letters again.
    int FieldIndex(const QString &name) const;
    Kind FieldKind(int column) const { return m_kinds[column]; }
    // The column is declared binary (BLOB, IMAGE, BINARY, OLE object).
    bool IsBlob(int column) const { return m_blobs[size_t(column)]; }
    // Throws DbError for a column the result does not have.  The Field keeps
    // its column: taken once before a loop, it reads each row directly.
    Field FieldByName(const QString &name) const;
    Field FieldByIndex(int column) const { return Field(this, column); }
    QString value(const QString &name) const { return FieldByName(name).AsString(); }
    // The current row's value; "" when the query is closed or past its end
    // (a window's selected row on an empty list).
    QString currentValue(const QString &name) const { return Active() && !Eof() ? value(name) : QString(); }
    // Direct access for grids: row in current order.
    QString text(int row, int column) const;
    // As text(), with a floating value (a sum, a FLOAT column) rounded half
    // away from zero to the four decimals money has: what a list shows and
    // exports, without the leftovers of binary sums (957442.487999999).
    QString shownText(int row, int column) const;

    // Client-side sort: "field ASC" or "field DESC"; "" restores the order read.
    void setSort(const QString &sortText);
    const QString &sort() const { return m_sortText; }

    // False once this query is destroyed.  A grid showing a window's query
    // may still be asked for its rows while the window's base class hides
    // it, after the window's own members are gone.
    std::shared_ptr<const bool> lifeToken() const { return m_life.alive; }

private:
    friend class Field;
    // Every query, a copy too, has a token of its own.
    struct Life {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        Life() = default;
        Life(const Life &) : Life() {}
        Life &operator=(const Life &) { return *this; }
        ~Life() { *alive = false; }
    };
    struct Cell {
        quint8 type = 0;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL
        union {
            qint64 i;
            double d;
            struct {
                quint32 off, len;
            } t;
        };
        Cell() : i(0) {}
    };
    int rowCount() const { return int(m_order.size()); }
    const Cell &cell(int row, int column) const;
    QString cellText(const Cell &c, Kind k) const;
    double cellNumber(const Cell &c) const;

    Connection *m_conn = nullptr;
    QString m_sql;
    bool m_active = false;
    int m_pos = 0;
    QStringList m_names;
    // Names already looked up, as the caller wrote them, with their column.
    static constexpr size_t kNameHits = 64;
    mutable std::vector<std::pair<QString, int>> m_hits;
    mutable size_t m_lastHit = 0;
    std::vector<Kind> m_kinds;
    std::vector<bool> m_blobs;
    std::vector<Cell> m_cells;  // row-major
    std::vector<int> m_order;   // physical row of each position
    QByteArray m_arena;         // UTF-8 text of every text cell
    QString m_sortText;
    Life m_life;
};

}  // namespace vdb
