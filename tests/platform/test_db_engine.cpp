// The database engine the program is built with: the bundled SQLCipher, its
// files in the format every earlier database and backup has, and the SQL of
// a current SQLite.
#include "db_file_test.h"

#include <QFile>
#include <cstring>
#include <sqlite3.h>

using namespace vdb;

extern "C" void velmoraPageCacheMethods(sqlite3_pcache_methods2 *methods);

namespace {

class DbEngineTest : public DbFileTest {};

TEST_F(DbEngineTest, TheProgramRunsTheBundledSqlCipherWithItsOptions)
{
    EXPECT_STREQ(sqlite3_libversion(), "3.42.0");
    EXPECT_EQ(one("PRAGMA cipher_version").section(u' ', 0, 0), "4.5.5");
    EXPECT_TRUE(one("PRAGMA cipher_provider").contains("openssl", Qt::CaseInsensitive));
    for (const char *option : {"HAS_CODEC", "TEMP_STORE=2", "SECURE_DELETE", "THREADSAFE=1"})
        EXPECT_TRUE(sqlite3_compileoption_used(option)) << option;
}

// A new file is written as SQLCipher 3 wrote it: with the engine's own newer
// defaults the key does not open it; in the older format it does.
TEST_F(DbEngineTest, NewFilesKeepTheFormatOfTheOlderEngine)
{
    conn->execute("CREATE TABLE T (ID INT, s VARCHAR(20))");
    conn->execute("INSERT INTO T VALUES (1, 'one')");
    conn.reset();
    auto readWith = [&](bool older) {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        if (older)
            EXPECT_TRUE(keyHandle(db, kTestKey));
        else
            EXPECT_EQ(sqlite3_key(db, kTestKey.constData(), int(kTestKey.size())), SQLITE_OK);
        const int rc = sqlite3_exec(db, "SELECT s FROM T", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        return rc;
    };
    EXPECT_EQ(readWith(true), SQLITE_OK);
    EXPECT_EQ(readWith(false), SQLITE_NOTADB);
    // The file header is encrypted from its first byte, as before.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.read(16).startsWith("SQLite format 3"));
}

TEST_F(DbEngineTest, QueriesMayUseWhatACurrentSqliteOffers)
{
    conn->execute("CREATE TABLE S (theNo VARCHAR(10) PRIMARY KEY, theSum MONEY)");
    conn->executeNative("INSERT INTO S VALUES ('D1', 2.5), ('D2', 4)");
    vdb::Query q(conn.get());
    q.OpenSql("select theNo, sum(theSum) over (order by theNo) as Running from S order by theNo");
    ASSERT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.text(1, 1), "6.5");
    EXPECT_EQ(one("select group_concat(name) from pragma_table_info('S')"), "theNo,theSum");
    conn->executeNative("INSERT INTO S VALUES ('D1', 1) ON CONFLICT(theNo) DO UPDATE SET theSum = theSum + 1");
    EXPECT_EQ(one("select theSum from S where theNo = 'D1'"), "3.5");
    q.OpenSql("UPDATE S SET theSum = 0 WHERE theNo = 'D2' RETURNING theNo");
    EXPECT_EQ(q.text(0, 0), "D2");
    EXPECT_EQ(one("select theSum from S where theNo = 'D2'"), "0");
}

// LIKE and GLOB as SQL defines them, whichever way the engine searches for
// the character after a '%' or '*': ASCII letters in either case under LIKE,
// other letters only as written, a first candidate that fails before a later
// one fits, '_', ESCAPE, and case_sensitive_like.
TEST_F(DbEngineTest, LikeAndGlobMatchAsSqlDefinesThem)
{
    conn->execute("CREATE TABLE W (ID INT, s VARCHAR(50))");
    const QStringList texts = {"商品KAA", "kaa", "xKaB", "SP00001", "KKA", "ÄKA", "äka", "a%b", "", "k"};
    for (int i = 0; i < texts.size(); ++i)
        conn->execute("INSERT INTO W (ID, s) VALUES (?, ?)", {i + 1, texts[i]});
    auto ids = [&](const QString &where) {
        return one("select group_concat(ID) from (select ID from W where " + where + " order by ID)");
    };
    const std::pair<const char *, const char *> cases[] = {
            {"s LIKE '%KAA%'", "1,2"},
            {"s like '%ka%'", "1,2,3,5,6,7"},
            {"s LIKE '%KA'", "5,6,7"},
            {"s LIKE '%ä%'", "7"},
            {"s LIKE '%Ä%'", "6"},
            {"s LIKE '%品k%'", "1"},
            {"s LIKE '%0001'", "4"},
            {"s LIKE 'k%'", "2,5,10"},
            {"s LIKE '%k'", "10"},
            {"s LIKE '%'", "1,2,3,4,5,6,7,8,9,10"},
            {"s LIKE '%_%'", "1,2,3,4,5,6,7,8,10"},
            {"s LIKE '%a_b%'", "8"},
            {"s LIKE '%!%%' ESCAPE '!'", "8"},
            {"s GLOB '*K*'", "1,3,5,6"},
            {"s GLOB '*k*'", "2,7,10"},
    };
    for (const auto &[where, expected] : cases) EXPECT_EQ(ids(where).toStdString(), expected) << where;
    conn->executeNative("PRAGMA case_sensitive_like = 1");
    EXPECT_EQ(ids("s LIKE '%Ka%'"), "3");
    conn->executeNative("PRAGMA case_sensitive_like = 0");
    EXPECT_EQ(ids("s LIKE '%Ka%'"), "1,2,3,5,6,7");
}

// After a '%' the search looks for the next character in either case; bytes
// that differ from it in the case bit alone, but are no other case of it, do
// not stop it.
TEST_F(DbEngineTest, LikeAfterPercentFindsOnlyTheCharacterOrItsOtherCase)
{
    conn->execute("CREATE TABLE W (ID INT, s VARCHAR(50))");
    const QStringList texts = {"x@y", "x`y", "x[y", "x{y", "x1y", QString("x") + QChar(0x11) + "y", "xQy", "xqy", "x y"};
    for (int i = 0; i < texts.size(); ++i)
        conn->execute("INSERT INTO W (ID, s) VALUES (?, ?)", {i + 1, texts[i]});
    auto ids = [&](const QString &where) {
        return one("select group_concat(ID) from (select ID from W where " + where + " order by ID)");
    };
    const std::pair<const char *, const char *> cases[] = {
            {"s LIKE '%@y'", "1"}, {"s LIKE '%`y'", "2"}, {"s LIKE '%[y'", "3"}, {"s LIKE '%{y'", "4"},
            {"s LIKE '%1y'", "5"}, {"s LIKE '%q%'", "7,8"}, {"s LIKE '%Q_'", "7,8"}, {"s LIKE '% y'", "9"},
            {"s GLOB '*Q*'", "7"},  {"s GLOB '*[@]*'", "1"},
    };
    for (const auto &[where, expected] : cases) EXPECT_EQ(ids(where).toStdString(), expected) << where;
    conn->executeNative("PRAGMA case_sensitive_like = 1");
    EXPECT_EQ(ids("s LIKE '%q%'"), "8");
    conn->executeNative("PRAGMA case_sensitive_like = 0");
}

// Inserts out of order split pages and renumber the new ones (the engine
// parks one at a spare number meanwhile); a rollback must then drop every
// page past the file's old end from the cache, and a commit keep them all.
TEST_F(DbEngineTest, ManySplitsRollBackAndCommitWhole)
{
    conn->execute("CREATE TABLE P (ID INT, s VARCHAR(50))");
    conn->execute("CREATE INDEX ix_P_s ON P (s)");
    const QString fill = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<20000) "
                         "INSERT INTO P (ID, s) SELECT (x*7919)%20011, printf('%08d-%s', (x*7919)%20011, "
                         "hex(zeroblob(8))) FROM n";
    const QString before = one("PRAGMA page_count");
    {
        vdb::Transaction tx(*conn);
        conn->executeNative(fill);
        EXPECT_EQ(one("select count(*) from P"), "20000");
    }  // rolled back
    EXPECT_EQ(one("select count(*) from P"), "0");
    EXPECT_EQ(one("PRAGMA page_count"), before);
    EXPECT_EQ(one("PRAGMA integrity_check"), "ok");
    {
        vdb::Transaction tx(*conn);
        conn->executeNative(fill);
        tx.commit();
    }
    conn.reset();
    conn = vdb::Connection::open(path, kTestKey);
    EXPECT_EQ(one("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(one("select count(*) from P where s like '%-0000%'"), "20000");
    EXPECT_EQ(one("select count(distinct ID) from P"), "20000");
}

// While a split renumbers its pages one waits at the number of the locking
// page; trimming the cache to the file's end must drop every page past it,
// whether that page is still parked or has moved on.
TEST(DbEnginePageCache, TrimmingDropsEveryPagePastTheEndParkedOrMovedOn)
{
    sqlite3_pcache_methods2 m{};
    velmoraPageCacheMethods(&m);
    const int pageSize = 4096;
    const unsigned parking = 0x40000000u / pageSize + 1;
    auto pagesOf = [&](sqlite3_pcache *cache, std::initializer_list<unsigned> keys) {
        QString present;
        for (unsigned key : keys) present += m.xFetch(cache, key, 0) ? u'1' : u'0';
        return present;
    };
    sqlite3_pcache *cache = m.xCreate(pageSize, 64, 1);
    m.xCachesize(cache, 100);
    sqlite3_pcache_page *page[7] = {};
    for (unsigned key = 1; key <= 6; ++key) page[key] = m.xFetch(cache, key, 2);
    // Pages 6 and 4 swap numbers through the parking one, as a split does.
    m.xRekey(cache, page[6], 6, parking);
    m.xRekey(cache, page[4], 4, 6);
    m.xRekey(cache, page[6], parking, 4);
    m.xTruncate(cache, 5);
    EXPECT_EQ(pagesOf(cache, {3, 4, 5, 6, parking}), "11000");
    // A page that stays parked is past the end too.
    m.xRekey(cache, page[6], 4, parking);
    m.xTruncate(cache, 4);
    EXPECT_EQ(pagesOf(cache, {3, 4, parking}), "100");
    // Asked for while parked, it is dropped all the same once it moves on.
    m.xRekey(cache, page[3], 3, parking);
    EXPECT_EQ(m.xFetch(cache, parking, 0), page[3]);
    m.xRekey(cache, page[3], parking, 3);
    m.xTruncate(cache, 3);
    EXPECT_EQ(pagesOf(cache, {1, 2, 3, parking}), "1100");
    m.xDestroy(cache);
}

}  // namespace
