// Statements with named placeholders filled with quoted texts and checked numbers.
#include "platform/db/sqlbuilder.h"
#include "queryfields.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using vdb::Statement;
using velmora::Money;

namespace {

TEST(Statement, FillsPlaceholdersWithQuotedTextsAndCheckedNumbers)
{
    Statement s("UPDATE T SET a=:a, b=:b, c=:c, d=:d, e=:e WHERE k=:k AND j=:k");
    s.text("a", "O'Brien").number("b", "-5").number("c", 2.5).integer("d", -7).money("e", Money::fromText("0.3"));
    s.text("k", "x");
    EXPECT_EQ(s.literal(), "UPDATE T SET a='O''Brien', b=(-5), c=2.5, d=(-7), e=0.3 WHERE k='x' AND j='x'");
    // The values stay a list beside the text, for bound parameters.
    EXPECT_EQ(s.sql(), "UPDATE T SET a=:a, b=:b, c=:c, d=:d, e=:e WHERE k=:k AND j=:k");
    ASSERT_EQ(s.params().size(), 6u);
    EXPECT_EQ(s.params()[0].name, "a");
    EXPECT_EQ(std::get<QString>(s.params()[0].value), "O'Brien");
    EXPECT_EQ(std::get<velmora::Money>(s.params()[4].value), Money::fromText("0.3"));
    // Setting a name again replaces its value.
    s.text("k", "y");
    EXPECT_EQ(s.params().size(), 6u);
    EXPECT_TRUE(s.literal().endsWith("k='y' AND j='y'"));
}

TEST(Statement, LeavesQuotedTextsAndNamesAlone)
{
    Statement s("select ':a' as [x:a], \":a\" from T where v=:a and w='it''s :a'");
    s.text("a", "1");
    EXPECT_EQ(s.literal(), "select ':a' as [x:a], \":a\" from T where v='1' and w='it''s :a'");
    Statement n("select 1 where x=:v");
    n.null("v");
    EXPECT_EQ(n.literal(), "select 1 where x=NULL");
}

TEST(Statement, RefusesWhatWouldBreakTheStatement)
{
    EXPECT_THROW(Statement("x=:n").number("n", "1; DROP TABLE T"), vdb::DbError);
    EXPECT_THROW(Statement("x=:n").number("n", "1--"), vdb::DbError);
    EXPECT_THROW(Statement("x=:n").number("n", std::nan("")), vdb::DbError);
    EXPECT_THROW(Statement("x=:missing").literal(), vdb::DbError);
    // A text can hold anything; it stays one literal.
    EXPECT_EQ(Statement("x=:t").text("t", "'; DROP TABLE T; --").literal(), "x='''; DROP TABLE T; --'");
}

TEST(Statement, RunsAndOpensOnAConnection)
{
    QTemporaryDir dir;
    auto c = vdb::Connection::create(dir.filePath("t.db"), "k");
    c->execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, theName VARCHAR(20), theMoney FLOAT)");
    Statement ins("INSERT INTO T (theName, theMoney) VALUES (:name, :money)");
    EXPECT_EQ(Statement(ins).text("name", "张'三").money("money", Money::fromText("0.1")).run(*c), 1);
    EXPECT_EQ(Statement(ins).text("name", "李四").money("money", Money::fromText("0.2")).run(*c), 1);
    vdb::Query q(c.get());
    Statement("select theName from T where theMoney < :m order by ID").number("m", 0.15).open(q);
    ASSERT_EQ(q.RecordCount(), 1);
    EXPECT_EQ(q.value("theName"), "张'三");
}

// Bound values: one compile serves every run, and a value stores as its
// literal would (a whole number in a text column is "5", not "5.0").
TEST(Statement, RunsWithBoundValuesCompiledOnce)
{
    QTemporaryDir dir;
    auto c = vdb::Connection::create(dir.filePath("t.db"), "k");
    c->execute("CREATE TABLE T (ID INTEGER PRIMARY KEY, theName VARCHAR(20), theZK VARCHAR(10), theMoney MONEY)");
    const Statement ins("INSERT INTO T (theName, theZK, theMoney) VALUES (:name, :zk, Round(:m + :m, 4))");
    Statement(ins).text("name", "a").number("zk", "5").money("m", Money::fromText("0.1")).run(*c);
    const quint64 compiled = c->compileCount();
    Statement(ins).text("name", "'; DROP TABLE T; --").number("zk", "0.85").money("m", Money::fromText("2")).run(*c);
    EXPECT_EQ(c->compileCount(), compiled);
    vdb::Query q(c.get());
    q.OpenSql("select theName, theZK, theMoney from T order by ID");
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(fieldsOf(q, "theZK,theMoney"), "5|0.2");
    q.Next();
    EXPECT_EQ(fieldsOf(q, "theName,theZK,theMoney"), "'; DROP TABLE T; --|0.85|4");
}

}  // namespace
