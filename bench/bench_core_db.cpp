// Reading rows as text through our query object against a raw sqlite3_step
// loop over the same encrypted file, and the time to create a fresh database.
#include "core/Schema.h"
#include "platform/db/db.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {

const int kRows = 100000;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<vdb::Connection> conn;
    Fixture()
    {
        conn = vdb::Connection::create(dir.filePath("bench.edb"), "bench");
        conn->execute("CREATE TABLE T (ID INT IDENTITY (1, 1) NOT NULL, a VARCHAR(20) WITH COMP, b VARCHAR(50) WITH COMP, "
                      "c FLOAT, d MONEY, e INT, f VARCHAR(10) WITH COMP, g FLOAT, h BIT, i VARCHAR(20) WITH COMP)");
        vdb::Transaction tx(*conn);
        for (int r = 0; r < kRows; ++r)
            conn->execute(QString("INSERT INTO T (a,b,c,d,e,f,g,h,i) VALUES ('%1','会员名称%1',%2,%3,%1,'2026-03-07',%4,%5,'备注')")
                              .arg(r)
                              .arg(r * 0.5)
                              .arg(r * 1.25)
                              .arg(r / 3.0)
                              .arg(r % 2));
        tx.commit();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

double g_rawSeconds = 0;

void BM_RawStepLoop(benchmark::State &state)
{
    sqlite3 *db = fixture().conn->handle();
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "select * from T", -1, &st, nullptr);
        size_t bytes = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < 10; ++c) bytes += sqlite3_column_bytes(st, c) + (sqlite3_column_text(st, c) ? 1 : 0);
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(bytes);
        g_rawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_RawStepLoop)->Unit(benchmark::kMillisecond);

void BM_QueryAsText(benchmark::State &state)
{
    vdb::Query q(fixture().conn.get());
    double seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        q.OpenSql("select * from T");
        qsizetype chars = 0;
        for (int r = 0; r < q.RecordCount(); ++r)
            for (int c = 0; c < 10; ++c) chars += q.text(r, c).size();
        benchmark::DoNotOptimize(chars);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    if (g_rawSeconds > 0) state.counters["ratio_vs_raw"] = seconds / g_rawSeconds;
}
BENCHMARK(BM_QueryAsText)->Unit(benchmark::kMillisecond);

void BM_CreateDatabase(benchmark::State &state)
{
    QTemporaryDir dir;
    int n = 0;
    double emptySeconds = 0, seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        { auto c = vdb::Connection::create(dir.filePath(QString("empty%1.edb").arg(n)), "k"); c->execute("CREATE TABLE x (a INT)"); }
        auto t1 = std::chrono::steady_clock::now();
        velmora::createDatabase(dir.filePath(QString("db%1.edb").arg(n++)), "k");
        auto t2 = std::chrono::steady_clock::now();
        emptySeconds = std::chrono::duration<double>(t1 - t0).count();
        seconds = std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["create_seconds"] = seconds;
    state.counters["ratio_vs_one_table_file"] = seconds / emptySeconds;
}
BENCHMARK(BM_CreateDatabase)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
