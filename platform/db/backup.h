#pragma once
// Whole-database copies through SQLite's online backup: a backup file of the
// running program's database (only what is committed, while the program
// goes on using it) and the restore of such a file into the open connection.
// Both sides are keyed, so a backup is as protected as the database.

#include "platform/db/db.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// Checks the file (as checkDatabaseFile, and that every table and index it
// holds is one the connection's database holds) and replaces the whole content of
// the connection's database with it.  The connection stays open and sees the
// restored rows at once.  Throws DbError; on failure the database is unchanged.
void restoreDatabase(Connection &target, const QString &path, const QByteArray &key, const QStringList &tables);

}  // namespace vdb
