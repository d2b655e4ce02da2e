#pragma once
// A fresh database for every test (copied from one made per run), the data
// module on it, the shared state a logged-in session has, and scripted
// message boxes and modal dialogs.

#include "core/Unit1.h"
#include "core/dm.h"
#include "members/Modal.h"
#include "platform/ui/messages.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class MembersTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    vdb::Connection &c() { return *dm->ADOConnection1(); }
    // First column of the first row ("" when none).
    QString one(const QString &sql);
    int count(const QString &table, const QString &where);
    void exec(const QString &sql) { c().execute(sql); }
    // A live, enabled member of type 普通会员 unless told.
    void addMember(const QString &card, const QString &name, const QString &extra = {});
    void addType(const QString &name, const QString &zk, const QString &jf, const QString &xf = "0");
    void addCategory(const QString &name);
    // Types a text into a field as a user would (through its key filter).
    static void type(QLineEdit *edit, const QString &text);

    QTemporaryDir dir;
    std::unique_ptr<TfrmDM> dm;
    ui::ScriptedMessages msgs;
};

// Readable failures.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
