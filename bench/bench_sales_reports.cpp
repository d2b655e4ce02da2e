// The daily, monthly and yearly reports of one year on a shop of 200,000
// sales with 100,000 payments and some recharges, exchanges, purchases and
// returns, through the report windows' own "统计" button.  Each is reported
// with its ratio to a baseline run in the same process (ratio_vs_baseline):
// the same figures from one grouped pass per table, stored and listed.
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "platform/ui/messages.h"
#include "sales/Reports_BB.h"

#include <QDateEdit>

#include <map>

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

// The anchor: the report's same fifteen figures for every period, each
// table read in one statement instead of one statement a period: grouped by
// its indexed date column (the index keeps the days in order, so nothing is
// sorted), the few days' rows then summed by period, the rows stored as the
// report stores them and the list's rows read back.  Equal work done the
// shortest way; grouping the table by a substring of the date instead sorted
// every statement's rows in a temporary tree and made the window look twice
// as slow as it is.
void groupedPasses(benchmark::State &state, int periodWidth, const std::string &name)
{
    SalesBenchDb &db = shop();
    vdb::Connection &c = *db.dm->ADOConnection1();
    // One statement of the sums aggregates from table (with its condition),
    // by day, summed by period; its fields go to the report's columns at, an
    // empty sum reading "0" as the report has it.
    const auto pass = [&](const QStringList &aggregates, const QString &table, const QString &date,
                          std::initializer_list<int> at, std::map<QString, QStringList> &out) {
        QStringList inner, outer;
        for (int i = 0; i < aggregates.size(); ++i) {
            inner << QStringLiteral("%1 c%2").arg(aggregates[i]).arg(i);
            outer << QStringLiteral("sum(c%1)").arg(i);
        }
        const QString byDay = QStringLiteral("select %1 d, %2 from %3 and %1 >= '2025-01-01' and %1 < '2026-01-01' "
                                             "group by %1")
                                      .arg(date, inner.join(QStringLiteral(", ")), table);
        vdb::Query q(&c);
        q.OpenSql(QStringLiteral("select substr(d,1,%1), %2 from (%3) group by 1")
                          .arg(periodWidth)
                          .arg(outer.join(QStringLiteral(", ")), byDay));
        for (int r = 0; r < q.RecordCount(); ++r) {
            QStringList &v = out[q.text(r, 0)];
            if (v.isEmpty()) v = QStringList(15, QStringLiteral("0"));
            int f = 1;
            for (int column : at) {
                const QString t = q.text(r, f++);
                if (!t.isEmpty()) v[column] = t;
            }
        }
    };
    const QString count = QStringLiteral("count(*)");
    measure(
            state, name, true, [] {},
            [&] {
                std::map<QString, QStringList> figures;
                pass({count, "sum(theSJ)", "sum(theCB)", "sum(theHJ-theCB-TCMoney)"}, "UXF where theDel='否'", "myDate",
                     {0, 1, 4, 5}, figures);
                pass({"sum(theMoney)"}, "UXF_SK where theSMType<>'会员卡'", "SKDate", {2}, figures);
                pass({"sum(theMoney)"}, "UXF_SK where theSMType='会员卡'", "SKDate", {3}, figures);
                pass({count, "sum(MCZ)", "sum(MZS)"}, "UCZ where theDel='否'", "myDate", {6, 7, 8}, figures);
                pass({count, "sum(MJF)"}, "UDH where theDel='否'", "myDate", {9, 10}, figures);
                pass({count, "sum(theSum)"}, "UJH where theDel='否'", "myDate", {11, 12}, figures);
                pass({count, "sum(theSum)"}, "UTH where theDel='否'", "myDate", {13, 14}, figures);
                std::vector<sales::ReportRow> rows;
                for (auto &[period, values] : figures) rows.push_back({period, values});
                sales::storeReport(*db.dm, rows);
                vdb::Query list(&c);
                list.OpenSql(QStringLiteral("select * from UBB order by theDate desc"));
                for (int r = 0; r < std::min(40, list.RecordCount()); ++r)
                    for (int f = 0; f < list.FieldCount(); ++f) benchmark::DoNotOptimize(list.text(r, f));
            });
}

// The window's "统计" for the year, as the user clicks it: every period's
// figures with the progress bar kept moving, the rows stored and the list
// shown (against groupedPasses of the same period).
template <class Window>
void report(benchmark::State &state, const std::string &name)
{
    shop();
    ui::ScriptedMessages msgs;
    Window w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.DateTimePicker1->setDate(kFrom);
    w.DateTimePicker2->setDate(kTo);
    measure(
            state, name, false, [] {},
            [&] {
                w.BitBtn1Click();
                for (int r = 0; r < std::min(40, w.rowCount()); ++r)
                    for (int f = 0; f < w.Rows.columnCount(); ++f) benchmark::DoNotOptimize(w.Rows.text(r, f));
            });
    if (msgs.count()) state.SkipWithError(msgs.last().toStdString().c_str());
    state.counters["rows"] = w.rowCount();
}

void BM_GroupedPasses_Day(benchmark::State &state)
{
    groupedPasses(state, 10, "day");
}
void BM_DailyReportOfAYear(benchmark::State &state)
{
    report<TfrmBB_D>(state, "day");
}
void BM_GroupedPasses_Month(benchmark::State &state)
{
    groupedPasses(state, 7, "month");
}
void BM_MonthlyReportOfAYear(benchmark::State &state)
{
    report<TfrmBB_M>(state, "month");
}
void BM_GroupedPasses_Year(benchmark::State &state)
{
    groupedPasses(state, 4, "year");
}
void BM_YearlyReport(benchmark::State &state)
{
    report<TfrmBB_Y>(state, "year");
}

}  // namespace

BENCHMARK(BM_GroupedPasses_Day)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DailyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GroupedPasses_Month)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MonthlyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GroupedPasses_Year)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_YearlyReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
