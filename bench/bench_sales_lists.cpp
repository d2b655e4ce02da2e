// The list windows on a shop of 100,000 members and 200,000 sales: the sale
// list's first screen with its count and totals, the member list's pinyin
// filter, and an export of 100,000 rows; and the sale list at 2,000,000
// sales, where the first screen comes before the count and the totals.
// Each is timed by turns with a baseline (measure.h; ratio_vs_baseline,
// ratio_min, ratio_median):
//   first screen  vs  reading its first page straight from the database, and
//   count and totals vs that page and the totals statement in turn;
//   pinyin filter vs  the unfiltered member list's first screen;
//   export        vs  writing the same rows from memory;
//   2,000,000 sales: the first screen, the first screen with the default
//   dates ticked, and the jump to the last screen, each vs reading that
//   screen's page straight from the database with the same filter (which
//   also reports what counting and summing first would cost).
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "core/MenuOpeners.h"
#include "members/MemberList.h"
#include "members/Register.h"
#include "platform/excel/excelwriter.h"
#include "platform/ui/messages.h"
#include "sales/Register.h"
#include "sales/XF_M.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <map>

namespace {

void registerOnce(const QString &exports)
{
    static bool ready = [&] {
        members::registerWindows();
        sales::registerWindows();
        velmora::TListFrame::setExportFolder(exports);
        velmora::TListFrame::setExportOpener([](const QString &path) { return QFile::remove(path); });
        return true;
    }();
    (void)ready;
}

SalesBenchDb &shop()
{
    static SalesBenchDb db(100000, 1000, 200000);
    frmDM = db.dm.get();
    registerOnce(db.dir.path());
    return db;
}

SalesBenchDb &longShop()
{
    static SalesBenchDb db(1000, 100, 2000000);
    frmDM = db.dm.get();
    registerOnce(db.dir.path());
    return db;
}

// Reads the first screen (40 rows) as the grid would.
void firstScreen(const velmora::TListFrame &w, benchmark::State &state)
{
    for (int r = 0; r < std::min(40, w.rowCount()); ++r)
        for (int c = 0; c < w.Rows.columnCount(); ++c) benchmark::DoNotOptimize(w.Rows.text(r, c));
    if (w.rowCount() == 0) state.SkipWithError("empty list");
}

// The statements of the sale list's "查询" run straight on the window's
// connection, one after the other in the foreground: the first page by key
// and then the count with the eleven totals.  The anchor of both halves of
// BM_SaleList_FirstScreenAndTotals.  The sale list's benchmarks time the
// main thread's processor time: the window counts on a thread of its own
// while its first screen is read, and that thread's work, overlapping the
// first screen more or less from run to run, is not the first screen's.
const QString kSaleColumns = QStringLiteral(
        "select myDate as 消费日期,theNum as 单号,theType as 类型,MNum as 会员卡号,theCount,theSum,theZK,theZR,"
        "theHJ,theSJ,theYE,WName,Remark,theUser,theDate,theJF,theCB,JSRNum,JSRTC,TCJF,TCMoney,"
        "theHJ-theCB-TCMoney, id from UXF Where (theDel = '否')");
const QString kSaleTotals =
        QStringLiteral("select count(*), sum(theCount),sum(theSum),sum(theZR),sum(theHJ),sum(theSJ),sum(theCB),"
                       "sum(theHJ-theCB-TCMoney),sum(TCMoney),sum(theYE),sum(theJF),sum(TCJF) from UXF Where "
                       "(theDel = '否')");

void BM_SaleList_Direct(benchmark::State &state)
{
    shop();
    vdb::Query page(frmDM->ADOConnection1()), totals(frmDM->ADOConnection1());
    const QString pageSql = kSaleColumns + " order by id desc LIMIT ?";
    const QVariantList pageValues{velmora::PagedModel::kPage};
    // Both halves timed in every iteration.
    BenchBaseline screen, counted;
    for (auto _ : state) {
        const auto start = ThreadCpuClock::now();
        page.OpenSql(pageSql, pageValues);
        // The first screen's texts, as the grid reads them.
        for (int r = 0; r < std::min(40, page.RecordCount()); ++r)
            for (int c = 0; c < page.FieldCount(); ++c) benchmark::DoNotOptimize(page.text(r, c));
        const auto paged = ThreadCpuClock::now();
        totals.OpenSql(kSaleTotals);
        benchmark::DoNotOptimize(totals.FieldByIndex(0).AsInteger());
        const auto end = ThreadCpuClock::now();
        screen.seconds += std::chrono::duration<double>(paged - start).count();
        counted.seconds += std::chrono::duration<double>(end - start).count();
        ++screen.runs;
        ++counted.runs;
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["first_page_ms"] = screen.mean() * 1000;
    state.counters["page_then_totals_ms"] = counted.mean() * 1000;
}

// How long the thread's event loop goes without answering: a timer asks
// every millisecond, and the longest gap between its answers (or from the
// last answer to now) is kept.
class BusyWatch {
public:
    BusyWatch()
    {
        m_last.start();
        QObject::connect(&m_tick, &QTimer::timeout, [this] { note(); });
        m_tick.start(1);
    }
    double longest()
    {
        note();
        return m_longest;
    }

private:
    void note()
    {
        m_longest = std::max(m_longest, double(m_last.nsecsElapsed()) / 1e9);
        m_last.restart();
    }
    QTimer m_tick;
    QElapsedTimer m_last;
    double m_longest = 0;
};

// "查询" on 200,000 sales as the user clicks it: the iteration time is the
// first screen shown (click to 40 rows read), against the first page read
// straight (ratio_vs_baseline); then, before the next click, the arrival of
// the count and the totals (click to labels filled, totals_ms), against the
// first page and the totals statement run one after the other
// (totals_ratio_vs_baseline), and the longest time the window's thread was
// busy from the first screen to that arrival, the arrival itself included
// (longest_busy_ms, to a millisecond).
void BM_SaleList_FirstScreenAndTotals(benchmark::State &state)
{
    shop();
    ui::ScriptedMessages msgs;
    TfrmXF_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    std::chrono::steady_clock::time_point clicked;
    double totals = 0, busiest = 0, arrivals = 0;
    // The anchor: the first page read straight (timed), then the totals
    // statement (timed apart, for the page-then-totals anchor).
    vdb::Query page(frmDM->ADOConnection1()), direct(frmDM->ADOConnection1());
    const QString pageSql = kSaleColumns + " order by id desc LIMIT ?";
    const QVariantList pageValues{velmora::PagedModel::kPage};
    BenchBaseline counted;
    std::chrono::duration<double> paged{};
    ThreadCpuClock::time_point pageStart;
    measurePair<ThreadCpuClock>(
            state,
            {[&] {
                 w.BitBtn1Click();
                 firstScreen(w, state);
             },
             [&] { clicked = std::chrono::steady_clock::now(); },
             [&] {
                 BusyWatch busy;
                 w.waitForTotals();
                 totals += std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count();
                 ++arrivals;
                 busiest = std::max(busiest, busy.longest());
                 if (w.rowCount() != shop().sales || w.total(QStringLiteral("商品金额")).isEmpty())
                     state.SkipWithError("the count and totals did not arrive");
             }},
            {[&] {
                 page.OpenSql(pageSql, pageValues);
                 for (int r = 0; r < std::min(40, page.RecordCount()); ++r)
                     for (int c = 0; c < page.FieldCount(); ++c) benchmark::DoNotOptimize(page.text(r, c));
                 paged = ThreadCpuClock::now() - pageStart;
             },
             [&] { pageStart = ThreadCpuClock::now(); },
             [&] {
                 const auto start = ThreadCpuClock::now();
                 direct.OpenSql(kSaleTotals);
                 benchmark::DoNotOptimize(direct.FieldByIndex(0).AsInteger());
                 counted.seconds += std::chrono::duration<double>(paged + (ThreadCpuClock::now() - start)).count();
                 ++counted.runs;
             }});
    state.counters["totals_ms"] = totals / arrivals * 1000;
    if (counted.mean() > 0) state.counters["totals_ratio_vs_baseline"] = totals / arrivals / counted.mean();
    state.counters["longest_busy_ms"] = busiest * 1000;
    state.counters["rows"] = w.rowCount();
    state.counters["pages_read"] = w.Rows.pagesRead();
}

// The list at 2,000,000 sales: unfiltered (0) or with the default dates ticked (1).
void saleListFilter(TfrmXF_M &w, int filter)
{
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.CheckBox1->setChecked(filter == 1);
}

// The rows of one screen straight from the database, newest first (or, for
// the last screen, oldest first), with the filter of a counted window.
struct ScreenDirect {
    QString sql;
    QVariantList values;
    vdb::Query q{frmDM->ADOConnection1()};
    ScreenDirect(TfrmXF_M &counted, bool last)
        : sql(kSaleColumns + counted.where().sql() + (last ? " order by id asc" : " order by id desc") + " LIMIT ?"),
          values(QVariantList(counted.where().values()) << velmora::PagedModel::kPage)
    {}
    BenchSide side()
    {
        return {[this] {
            q.OpenSql(sql, values);
            benchmark::DoNotOptimize(q.RecordCount());
        }};
    }
};

// A window of the list at 2,000,000 sales, counted once, for the filter.
struct CountedList {
    TfrmXF_M w;
    explicit CountedList(int filter)
    {
        saleListFilter(w, filter);
        w.BitBtn1Click();
        w.waitForTotals();
    }
};

// The screen read straight, alone; and, for comparison, the count and the
// eleven totals before the first screen, as the list did before.
void BM_LongSaleList_ScreenDirect(benchmark::State &state)
{
    longShop();
    CountedList counted(int(state.range(0)));
    const bool last = state.range(1) == 1;
    ScreenDirect direct(counted.w, last);
    const auto times = timeByTurns<ThreadCpuClock>(state, {direct.side()});
    state.counters["ms_per_op"] = Median(times[0]) * 1000;
    if (last) return;
    vdb::Query totals(frmDM->ADOConnection1());
    const auto start = ThreadCpuClock::now();
    totals.OpenSql(kSaleTotals + counted.w.where().sql(), counted.w.where().values());
    state.counters["count_and_totals_first_ms"] =
            std::chrono::duration<double>(ThreadCpuClock::now() - start).count() * 1000;
}

// "查询" until the first screen shows, by turns with the first page read
// straight; the count and totals follow, on the window's counting thread
// (counted from then to their arrival).
void BM_LongSaleList_FirstScreen(benchmark::State &state)
{
    longShop();
    ui::ScriptedMessages msgs;
    CountedList counted(int(state.range(0)));
    ScreenDirect direct(counted.w, false);
    TfrmXF_M w;
    saleListFilter(w, int(state.range(0)));
    double counting = 0, counts = 0;
    measurePair<ThreadCpuClock>(
            state,
            {[&] {
                 w.BitBtn1Click();
                 firstScreen(w, state);
             },
             [] {},
             [&] {
                 const auto start = std::chrono::steady_clock::now();
                 w.waitForTotals();
                 counting += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                 ++counts;
             }},
            direct.side());
    state.counters["rows"] = w.rowCount();
    state.counters["count_and_totals_ms_after"] = counting / counts * 1000;
}

// Ctrl+End on a counted list: the last screen, read from the end by key, by
// turns with the last page read straight.
void BM_LongSaleList_LastScreen(benchmark::State &state)
{
    longShop();
    ui::ScriptedMessages msgs;
    CountedList counted(int(state.range(0)));
    ScreenDirect direct(counted.w, true);
    TfrmXF_M w;
    saleListFilter(w, int(state.range(0)));
    measurePair<ThreadCpuClock>(state,
                                {[&] {
                                     const int n = w.rowCount();
                                     for (int r = std::max(0, n - 40); r < n; ++r)
                                         for (int c = 0; c < w.Rows.columnCount(); ++c)
                                             benchmark::DoNotOptimize(w.Rows.text(r, c));
                                 },
                                 [&] {
                                     w.BitBtn1Click();
                                     w.waitForTotals();
                                 }},
                                direct.side());
}

// The member list filtered by pinyin, by turns with the unfiltered list.
void BM_MemberList_PinyinFilter(benchmark::State &state)
{
    shop();
    TfrmMember_M all;
    all.setAttribute(Qt::WA_DeleteOnClose, false);
    TfrmMember_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.Edit2->setText(QStringLiteral("HY12"));
    w.CheckBox3->setChecked(true);
    measurePair(state, {[&] {
                    w.BitBtn1Click();
                    firstScreen(w, state);
                }},
                {[&] {
                    all.BitBtn1Click();
                    firstScreen(all, state);
                }});
    state.counters["rows"] = w.rowCount();
}

// 100,000 members through the list's export, by turns with writing the
// same rows from memory.
void BM_Export_MemberList(benchmark::State &state)
{
    shop();
    ui::ScriptedMessages msgs;
    TfrmMember_M shown;
    shown.setAttribute(Qt::WA_DeleteOnClose, false);
    shown.BitBtn1Click();
    QVector<QStringList> rows;
    const excel::ExportLayout *layout = velmora::exportLayout(QStringLiteral("TfrmMember_M"));
    for (int r = 0; r < shown.rowCount(); ++r) {
        QStringList row;
        for (int k = 1; k < layout->columnCount(); ++k)
            row << shown.Rows.text(r, shown.Rows.fieldIndex(layout->columns[k].title));
        rows << row;
    }
    const QString path = shop().dir.filePath(QStringLiteral("memory.xlsx"));
    measurePair(state, {[&] {
                    TfrmMember_M w;
                    w.setAttribute(Qt::WA_DeleteOnClose, false);
                    w.BitBtn1Click();
                    if (w.BitBtn3Click().isEmpty()) state.SkipWithError("not written");
                }},
                {[&] { benchmark::DoNotOptimize(excel::writeExport(path, *layout, myDeptName, rows)); }});
}

BENCHMARK(BM_SaleList_Direct)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaleList_FirstScreenAndTotals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LongSaleList_ScreenDirect)
        ->ArgsProduct({{0, 1}, {0, 1}})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
BENCHMARK(BM_LongSaleList_FirstScreen)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LongSaleList_LastScreen)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MemberList_PinyinFilter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Export_MemberList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
