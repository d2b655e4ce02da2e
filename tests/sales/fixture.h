#pragma once
// A fresh database for every test (copied from one made per run), the data
// module on it, a logged-in session's shared state with every shop switch
// off, scripted message boxes and modal dialogs, and helpers to add rows and
// to compare the whole database before and after.

#include "core/Unit1.h"
#include "core/dm.h"
#include "members/Modal.h"
#include "platform/ui/messages.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class SalesTest : public ::testing::Test {
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
    void setDiscount(const QString &memberType, const QString &category, const QString &zk);
    // A live, enabled member of the type; returns its ID.
    QString addMember(const QString &card, const QString &name, const QString &type = QStringLiteral("普通会员"),
                      const QString &cz = "0", const QString &jfbl = "1", const QString &zk = "100");
    // A live, enabled goods item; returns its ID.
    QString addGoods(const QString &code, const QString &name, const QString &category, const QString &price,
                     const QString &cost = "1", const QString &kc = QStringLiteral("是"), const QString &stock = "100");

    QTemporaryDir dir;
    std::unique_ptr<TfrmDM> dm;
    ui::ScriptedMessages msgs;
};
