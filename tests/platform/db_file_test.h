#pragma once
// A fresh encrypted database file in a temporary folder, for the tests of
// the database layer.
#include "platform/db/db.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

inline const QByteArray kTestKey = "test-key";

class DbFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Data/db.edb");
        conn = vdb::Connection::create(path, kTestKey);
    }
    // The first cell of a query's result as text.
    static QString scalar(vdb::Connection &c, const QString &sql, const QVariantList &params = {})
    {
        vdb::Query q(&c);
        q.OpenSql(sql, params);
        return q.text(0, 0);
    }
    QString one(const QString &sql, const QVariantList &params = {}) { return scalar(*conn, sql, params); }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<vdb::Connection> conn;
};
