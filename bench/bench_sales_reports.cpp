// The daily, monthly and yearly reports of one year on a shop of 200,000
// sales with 100,000 payments and some recharges, exchanges, purchases and
// returns.  Each is reported with its ratio to a baseline run in the same
// process (ratio_vs_baseline): one grouped pass over the year's sales.
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "sales/Reports_BB.h"

namespace {

SalesBenchDb &shop()
{
    static SalesBenchDb db(1000, 100, 200000);
    static bool ready = [] {
        frmDM = db.dm.get();
        vdb::Connection &c = *db.dm->ADOConnection1();
        vdb::Transaction tx(c);
        const auto series = [](int n) {
            return QString("WITH RECURSIVE s(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM s WHERE x<%1) ").arg(n);
        };
        c.executeNative(series(100000) +
                        "INSERT INTO UXF_SK (theNum,theMoney,theSMType,theSKR,SKDate) SELECT printf('X%09d',x*2),20,"
                        "CASE x%3 WHEN 0 THEN '会员卡' ELSE '现金' END,'小王',date('2025-01-01','+'||(x*2/400)||' "
                        "days') FROM s");
        for (const char *t : {"UCZ", "UDH", "UJH", "UTH"})
            c.executeNative(series(2000) + "INSERT INTO " + t +
                            " (myDate,theDate,WName,theDel) SELECT date('2025-01-01','+'||(x%365)||' days'),"
                            "date('2025-01-01','+'||(x%365)||' days'),'小王','否' FROM s");
        tx.commit();
        return true;
    }();
    (void)ready;
    return db;
}

const QDate kFrom(2025, 1, 1), kTo(2025, 12, 31);

void BM_OneGroupedPass(benchmark::State &state)
{
    vdb::Connection &c = *shop().dm->ADOConnection1();
    measure(
            state, "year", true, [] {},
            [&] {
                vdb::Query q(&c);
                q.OpenSql("select myDate,count(*),sum(theSJ),sum(theCB),sum(theHJ-theCB-TCMoney) from UXF where "
                          "theDel='否' "
                          "and myDate>='2025-01-01' and myDate<'2026-01-01' group by myDate");
                benchmark::DoNotOptimize(q.RecordCount());
            });
}

void report(benchmark::State &state, sales::ReportPeriod p)
{
    vdb::Connection &c = *shop().dm->ADOConnection1();
    measure(
            state, "year", false, [] {},
            [&] {
                const auto rows = sales::computeReport(c, p, kFrom, kTo, false, {});
                sales::storeReport(*shop().dm, rows);
                benchmark::DoNotOptimize(rows.size());
            });
}

void BM_DailyReportOfAYear(benchmark::State &state)
{
    report(state, sales::ReportPeriod::Day);
}
void BM_MonthlyReportOfAYear(benchmark::State &state)
{
    report(state, sales::ReportPeriod::Month);
}
void BM_YearlyReport(benchmark::State &state)
{
    report(state, sales::ReportPeriod::Year);
}

}  // namespace

BENCHMARK(BM_OneGroupedPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DailyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MonthlyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_YearlyReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
