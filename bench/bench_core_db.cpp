// Reading rows as text through our query object against a raw sqlite3_step
// loop over the same encrypted file; the time to create a fresh database.
// Every ratio is taken from work done by turns in the same iterations, in
// processor time, after an untimed run of each side (measure.h). (A sale's
// save is timed through the sale window's own save in bench_sales_save.)
#include "bench/measure.h"
#include "core/Schema.h"
#include "platform/db/db.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <QLocale>
#include <numeric>
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

// The baseline: every value of every row as text straight from SQLite,
// each read in the type it is stored in and made a text by Qt (asking
// SQLite for every value as text would have it format every number, work
// that reading the stored values does not need).
qsizetype rawPass(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "select * from T", -1, &st, nullptr);
    qsizetype chars = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < 10; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                chars += QString::number(sqlite3_column_int64(st, c)).size();
                break;
            case SQLITE_FLOAT:
                chars += QString::number(sqlite3_column_double(st, c), 'g', QLocale::FloatingPointShortest).size();
                break;
            case SQLITE_NULL:
                break;
            default:
                chars += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                           sqlite3_column_bytes(st, c))
                                 .size();
            }
        }
    sqlite3_finalize(st);
    return chars;
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

double total(const std::vector<double> &v)
{
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// Every pass runs in every iteration, by turns; a ratio is the sum of one
// pass's times over the sum of the other's (ratio_min and ratio_median:
// the fastest and the median pass of each).
template <class Pass>
void againstRaw(benchmark::State &state, Pass pass, bool andByIndex)
{
    sqlite3 *db = fixture().conn->handle();
    vdb::Query q(fixture().conn.get());
    std::vector<BenchSide> sides{{[&] { benchmark::DoNotOptimize(pass()); }},
                                 {[&] { benchmark::DoNotOptimize(rawPass(db)); }}};
    if (andByIndex) sides.push_back({[&] { benchmark::DoNotOptimize(byIndexPass(q)); }});
    const auto times = timeByTurns(state, sides);
    state.SetItemsProcessed(state.iterations() * kRows);
    state.counters["ratio_vs_raw"] = total(times[0]) / total(times[1]);
    RatioCounters(state, times[0], times[1]);
    if (andByIndex) state.counters["ratio_vs_by_index"] = total(times[0]) / total(times[2]);
}

void BM_QueryAsText(benchmark::State &state)
{
    vdb::Query q(fixture().conn.get());
    againstRaw(
            state, [&] { return byIndexPass(q); }, false);
}
BENCHMARK(BM_QueryAsText)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

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
BENCHMARK(BM_QueryByName)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_CreateDatabase(benchmark::State &state)
{
    QTemporaryDir dir;
    int n = 0, m = 0;
    const auto times = timeByTurns(
            state, {{[&] { velmora::createDatabase(dir.filePath(QString("db%1.edb").arg(n++)), "k"); }}, {[&] {
                        auto c = vdb::Connection::create(dir.filePath(QString("empty%1.edb").arg(m++)), "k");
                        c->execute("CREATE TABLE x (a INT)");
                    }}});
    state.counters["create_seconds"] = total(times[0]) / double(state.iterations());
    state.counters["ratio_vs_one_table_file"] = total(times[0]) / total(times[1]);
    RatioCounters(state, times[0], times[1]);
}
BENCHMARK(BM_CreateDatabase)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
