#pragma once
// The database schema: creation of a new database with its seed rows, and
// the upgrade routine that adds missing tables and columns to an old one.

#include "platform/db/backup.h"
#include "platform/db/db.h"

#include <QString>
#include <QStringList>

namespace velmora {

class SchemaUpdater {
public:
    explicit SchemaUpdater(vdb::Connection &c) : m_c(c) {}

    // Brings the database up to the schema, table by table, column by column.
    void myUpdate();
    void NewTable(const QString &table);
    void NewField(const QString &table, const QString &column, const QString &defaultValue, const QString &type);
    void mySaveT(const QString &table, const QString &name);

private:
    vdb::Connection &m_c;
};

// Creates the database file with every table, its indexes and the seed rows
// (shop settings, document titles, sexes, menu catalogue, the "admin" user
// with every right).  All or nothing: a failure leaves no file behind.
void createDatabase(const QString &path, const QByteArray &key);
// The same on an open, empty database.
void createSchema(vdb::Connection &c);
// Indexes on what the lists and reports filter and join on (for the tables present).
void ensureIndexes(vdb::Connection &c);
// Once per database (marked in its user_version), in one transaction: the
// pinyin codes of members, goods, suppliers, gifts and document lines that an
// earlier table made with another initial for a character (长沙 "ZS") are
// made again; a code that differs from what that table made was typed by
// hand and stays.
void upgradePinyinCodes(vdb::Connection &c);

// The schema of a database as this version makes and opens it: what a
// backup must hold to be restored, allowing what an older version made and
// opening brings up to date (indexes added since, the pinyin codes' mark).
const vdb::ExpectedSchema &programSchema();
// Throws DbError naming the tables and columns the open database lacks.
void checkProgramTables(vdb::Connection &c);

}  // namespace velmora
