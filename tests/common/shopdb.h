#pragma once
// A fresh shop database for every test (copied from one made per run), the
// data module on it, a logged-in session's date and user, scripted message
// boxes, and helpers to add rows and to read the database back.

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/messages.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class ShopDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    vdb::Connection &c() { return *dm->ADOConnection1(); }
    void exec(const QString &sql) { c().execute(sql); }
    // First column of the first row ("" when none).
    QString one(const QString &sql);
    int count(const QString &table, const QString &where = QStringLiteral("1=1"));
    // Every row of the query, its columns joined by "|".
    QStringList rows(const QString &sql);
    // Every row of every table, for "nothing changed" checks.
    QStringList snapshot();

    void addType(const QString &name, const QString &zk, const QString &jf, const QString &xf = "0");
    void addCategory(const QString &name, const QString &kc = QStringLiteral("是"));
    // A live, enabled member of the type; returns its ID.
    QString addMember(const QString &card, const QString &name, const QString &type = QStringLiteral("普通会员"),
                      const QString &cz = "0", const QString &jfbl = "1", const QString &zk = "100");

    QTemporaryDir dir;
    std::unique_ptr<TfrmDM> dm;
    ui::ScriptedMessages msgs;
};

// Readable failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
