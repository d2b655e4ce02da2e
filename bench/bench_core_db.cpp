// Reading rows as text through our query object against a raw sqlite3_step
// loop over the same encrypted file; the time to create a fresh database.
// Every ratio is taken from work done in the same iterations.  (A sale's
// save is timed through the sale window's own save in bench_sales_save.)
#include "core/Schema.h"
#include "platform/db/db.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <sqlite3.h>

namespace {

const int kRows = 100000;

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<vdb::Connection> conn;
    Fixture()
    {
        conn = vdb::Connection::create(dir.filePath("bench.edb"), "bench");
        conn->execute(
                "CREATE TABLE T (ID INT IDENTITY (1, 1) NOT NULL, a VARCHAR(20) WITH COMP, b VARCHAR(50) WITH COMP, "
                "c FLOAT, d MONEY, e INT, f VARCHAR(10) WITH COMP, g FLOAT, h BIT, i VARCHAR(20) WITH COMP)");
        vdb::Transaction tx(*conn);
        for (int r = 0; r < kRows; ++r)
            conn->execute(QString("INSERT INTO T (a,b,c,d,e,f,g,h,i) VALUES "
                                  "('%1','会员名称%1',%2,%3,%1,'2026-03-07',%4,%5,'备注')")
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

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The baseline: every value of every row as text straight from SQLite.
size_t rawPass(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "select * from T", -1, &st, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < 10; ++c) bytes += sqlite3_column_bytes(st, c) + (sqlite3_column_text(st, c) ? 1 : 0);
    sqlite3_finalize(st);
    return bytes;
}

// Every value of every row as text by its column's index.
qsizetype byIndexPass(vdb::Query &q)
{
    q.OpenSql("select * from T");
    qsizetype chars = 0;
    for (int r = 0; r < q.RecordCount(); ++r)
        for (int c = 0; c < 10; ++c) chars += q.text(r, c).size();
    return chars;
}

// Every pass runs in every iteration; a ratio is the sum of one pass's times
// over the sum of the other's.
template <class Pass>
void againstRaw(benchmark::State &state, Pass pass, bool andByIndex)
{
    sqlite3 *db = fixture().conn->handle();
    vdb::Query q(fixture().conn.get());
    double raw = 0, index = 0, ours = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(rawPass(db));
        raw += since(t0);
        if (andByIndex) {
            t0 = Clock::now();
            benchmark::DoNotOptimize(byIndexPass(q));
            index += since(t0);
        }
        t0 = Clock::now();
        benchmark::DoNotOptimize(pass());
        ours += since(t0);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["ratio_vs_raw"] = ours / raw;
    if (andByIndex) state.counters["ratio_vs_by_index"] = ours / index;
}

void BM_QueryAsText(benchmark::State &state)
{
    vdb::Query q(fixture().conn.get());
    againstRaw(
            state, [&] { return byIndexPass(q); }, false);
}
BENCHMARK(BM_QueryAsText)->Unit(benchmark::kMillisecond)->Iterations(10);

// The windows' way: every value read by its column's name on every row
// (target: at most 1.3 times the raw loop).
void BM_QueryByName(benchmark::State &state)
{
    vdb::Query q(fixture().conn.get());
    againstRaw(
            state,
            [&] {
                q.OpenSql("select * from T");
                qsizetype chars = 0;
                for (q.First(); !q.Eof(); q.Next()) {
                    chars += q.value(QStringLiteral("ID")).size();
                    chars += q.value(QStringLiteral("a")).size();
                    chars += q.value(QStringLiteral("b")).size();
                    chars += q.value(QStringLiteral("c")).size();
                    chars += q.value(QStringLiteral("d")).size();
                    chars += q.value(QStringLiteral("e")).size();
                    chars += q.value(QStringLiteral("f")).size();
                    chars += q.value(QStringLiteral("g")).size();
                    chars += q.value(QStringLiteral("h")).size();
                    chars += q.value(QStringLiteral("i")).size();
                }
                return chars;
            },
            true);
}
BENCHMARK(BM_QueryByName)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CreateDatabase(benchmark::State &state)
{
    QTemporaryDir dir;
    int n = 0;
    double emptySeconds = 0, seconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        {
            auto c = vdb::Connection::create(dir.filePath(QString("empty%1.edb").arg(n)), "k");
            c->execute("CREATE TABLE x (a INT)");
        }
        emptySeconds += since(t0);
        t0 = Clock::now();
        velmora::createDatabase(dir.filePath(QString("db%1.edb").arg(n++)), "k");
        seconds += since(t0);
    }
    state.counters["create_seconds"] = seconds / double(state.iterations());
    state.counters["ratio_vs_one_table_file"] = seconds / emptySeconds;
}
BENCHMARK(BM_CreateDatabase)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
