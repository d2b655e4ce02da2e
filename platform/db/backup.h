#pragma once
// Whole-database copies through SQLite's online backup: a backup file of the
// running program's database (only what is committed, while the program
// goes on using it) and the restore of such a file into the open connection.
// Both sides are keyed, so a backup is as protected as the database.

#include "platform/db/db.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace vdb {

// Writes the committed content of the connection's database into the file
// target (replacing it only when the copy is complete), keyed with key, as
// one self-contained file.  Throws DbError; a failed backup leaves target as
// it was.
void backupDatabase(const Connection &source, const QString &target, const QByteArray &key);

// Checks that the file opens with the key, is sound (every page's checksum,
// then its structure), holds the tables, and holds nothing but tables and
// indexes (no trigger or view that would run in the live database).
// Throws DbError saying what is wrong; never changes the file.
void checkDatabaseFile(const QString &path, const QByteArray &key, const QStringList &tables);

// One object of a database's schema, as sqlite_master has it; a table also
// with its columns ("name type notnull default key hidden", in order).
struct SchemaObject {
    QString type, name, table, sql;
    QStringList columns;
};

// What a database of the program holds.
struct ExpectedSchema {
    std::vector<SchemaObject> objects;
    // Indexes an older version of the program did not make and opening adds.
    QStringList addedOnOpening;
    // The user_version the program writes; a lower one is upgraded on opening.
    int userVersion = 0;
    // The largest automatic key the program's INT columns can hold.
    qint64 maxKey = 2147483647;
};

// The schema of an open database, columns included.  Throws DbError.
std::vector<SchemaObject> schemaOf(sqlite3 *db, const QString &what);

// How the database differs from the expected schema, one readable Chinese line each
// (missing, extra or redefined tables, columns, indexes and other objects,
// a key counter out of range, a newer user_version); empty when it matches.
QStringList schemaDifferences(sqlite3 *db, const ExpectedSchema &expected);

// The tables and columns of the expected schema that the database lacks ("SUser.thePass").
QStringList missingFromSchema(sqlite3 *db, const ExpectedSchema &expected);

// Checks the file (as checkDatabaseFile, and that its schema is the expected one)
// and replaces the whole content of the connection's database with it.  The
// connection stays open and sees the restored rows at once.  Throws DbError
// naming the file and what differs; on failure the database is unchanged.
void restoreDatabase(Connection &target, const QString &path, const QByteArray &key, const ExpectedSchema &expected);

}  // namespace vdb
