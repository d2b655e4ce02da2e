// The daily, monthly and yearly reports of one year on a shop of 200,000
// sales with 100,000 payments and some recharges, exchanges, purchases and
// returns, through the report windows' own "统计" button.  Each is timed by
// turns with a baseline (measure.h; ratio_vs_baseline, ratio_min,
// ratio_median): the same figures from each table's shortest statement for
// the period, stored and listed.
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "platform/db/sqlbuilder.h"
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
// table read in the shortest statements for the period that were found:
// for days one statement grouped by the table's indexed date column (the
// index keeps the days in order, so nothing is sorted); for months and the
// year one indexed range sum a period, as the window has them (grouping by
// day and then by month took longer, and grouping by a substring of the
// date sorted every statement's rows in a temporary tree). The rows are
// stored as the report stores them and the list's rows read back. The
// profit uses the column the window uses for the period.
BenchSide shortestStatements(sales::ReportPeriod period)
{
    SalesBenchDb &db = shop();
    const auto periods = sales::reportPeriods(period, kFrom, kTo);
    return {[&db, period, periods] {
        vdb::Connection &c = *db.dm->ADOConnection1();
        // The sums aggregates from table (with its condition) by period; their
        // fields go to the report's columns at, an empty sum reading "0" as the
        // report has it.
        const auto pass = [&](const QStringList &aggregates, const QString &table, const QString &date,
                              std::initializer_list<int> at, std::map<QString, QStringList> &out) {
            const auto take = [&](const QString &key, vdb::Query &q, int first) {
                QStringList &v = out[key];
                if (v.isEmpty()) v = QStringList(15, QStringLiteral("0"));
                int f = first;
                for (int column : at) {
                    const QString t = q.FieldByIndex(f++).AsString();
                    if (!t.isEmpty()) v[column] = t;
                }
            };
            const QString where = QStringLiteral("%1 and %2 >= :from and %2 < :to").arg(table, date);
            if (period == sales::ReportPeriod::Day) {
                vdb::Statement s(
                        QStringLiteral("select %1, %2 from %3 group by %1").arg(date, aggregates.join(u','), where));
                s.text("from", kFrom.toString(Qt::ISODate)).text("to", kTo.addDays(1).toString(Qt::ISODate));
                vdb::Query q(&c);
                s.open(q);
                for (; !q.Eof(); q.Next()) take(q.FieldByIndex(0).AsString(), q, 1);
                return;
            }
            for (const auto &[text, range] : periods) {
                vdb::Statement s(QStringLiteral("select %1 from %2").arg(aggregates.join(u','), where));
                s.text("from", range.first.toString(Qt::ISODate)).text("to", range.second.toString(Qt::ISODate));
                vdb::Query q(&c);
                s.open(q);
                take(text, q, 0);
            }
        };
        const QString profit = period == sales::ReportPeriod::Year ? QStringLiteral("sum(theSJ-theCB-TCMoney)")
                                                                   : QStringLiteral("sum(theHJ-theCB-TCMoney)");
        const QString count = QStringLiteral("count(*)");
        std::map<QString, QStringList> figures;
        pass({count, "sum(theSJ)", "sum(theCB)", profit}, "UXF where theDel='否'", "myDate", {0, 1, 4, 5}, figures);
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
    }};
}

// The window's "统计" for the year, as the user clicks it: every period's
// figures with the progress bar kept moving, the rows stored and the list
// shown, by turns with shortestStatements of the same period.
template <class Window>
void report(benchmark::State &state, sales::ReportPeriod period)
{
    shop();
    ui::ScriptedMessages msgs;
    Window w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.DateTimePicker1->setDate(kFrom);
    w.DateTimePicker2->setDate(kTo);
    measurePair(state, {[&] {
                    w.BitBtn1Click();
                    for (int r = 0; r < std::min(40, w.rowCount()); ++r)
                        for (int f = 0; f < w.Rows.columnCount(); ++f) benchmark::DoNotOptimize(w.Rows.text(r, f));
                }},
                shortestStatements(period));
    if (msgs.count()) state.SkipWithError(msgs.last().toStdString().c_str());
    state.counters["rows"] = w.rowCount();
}

void BM_DailyReportOfAYear(benchmark::State &state)
{
    report<TfrmBB_D>(state, sales::ReportPeriod::Day);
}
void BM_MonthlyReportOfAYear(benchmark::State &state)
{
    report<TfrmBB_M>(state, sales::ReportPeriod::Month);
}
void BM_YearlyReport(benchmark::State &state)
{
    report<TfrmBB_Y>(state, sales::ReportPeriod::Year);
}

}  // namespace

BENCHMARK(BM_DailyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MonthlyReportOfAYear)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_YearlyReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
