// The list windows on a shop of 100,000 members and 200,000 sales: the sale
// list's first screen with its count and totals, the member list's pinyin
// filter, and an export of 100,000 rows; and the sale list at 2,000,000
// sales, where the first screen comes before the count and the totals.
// Each is reported with the ratio to a reference run in the same process
// (ratio_vs_reference):
//   first screen  vs  reading every row of the same statement at once;
//   pinyin filter vs  the unfiltered member list's first screen;
//   export        vs  writing the same rows from memory;
//   2,000,000 sales: the first screen, the first screen with the default
//   dates ticked, and the jump to the last screen, each vs reading that
//   screen's page straight from the database with the same filter (which
//   also reports what counting and summing first would cost).
#include "bench/gui_main.h"
#include "bench/sales_fixture.h"
#include "core/MenuOpeners.h"
#include "members/MemberList.h"
#include "members/Register.h"
#include "platform/excel/excelwriter.h"
#include "platform/ui/messages.h"
#include "sales/Register.h"
#include "sales/XF_M.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
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

std::map<std::string, double> g_reference;

// Seconds per run of work, with the reference's ratio when it ran before;
// before and after run untimed around each run.
template <class Work>
void timed(
        benchmark::State &state, const std::string &reference, bool isReference, Work work,
        const std::function<void()> &before = [] {}, const std::function<void()> &after = [] {})
{
    double sum = 0;
    for (auto _ : state) {
        before();
        const auto start = std::chrono::steady_clock::now();
        work();
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        sum += took;
        after();
    }
    const double perRun = sum / double(state.iterations());
    if (isReference)
        g_reference[reference] = perRun;
    else if (auto it = g_reference.find(reference); it != g_reference.end())
        state.counters["ratio_vs_reference"] = perRun / it->second;
    state.counters["ms"] = perRun * 1000;
}

// Reads the first screen (40 rows) as the grid would.
void firstScreen(const velmora::TListFrame &w, benchmark::State &state)
{
    for (int r = 0; r < std::min(40, w.rowCount()); ++r)
        for (int c = 0; c < w.Rows.columnCount(); ++c) benchmark::DoNotOptimize(w.Rows.text(r, c));
    if (w.rowCount() == 0) state.SkipWithError("empty list");
}

void BM_SaleList_AllRowsAtOnce(benchmark::State &state)
{
    shop();
    TfrmXF_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.BitBtn1Click();
    vdb::Query q(frmDM->ADOConnection1());
    // The same statement without the page limit.
    const QString sql =
            QStringLiteral("select myDate as 消费日期,theNum as 单号,theType as 类型,MNum as 会员卡号,theCount,"
                           "theSum,theZK,theZR,theHJ,theSJ,theYE,WName,Remark,theUser,theDate,theJF,theCB,JSRNum,"
                           "JSRTC,TCJF,TCMoney,theHJ-theCB-TCMoney from UXF Where (theDel = '否') order by id desc");
    timed(state, "sale list", true, [&] {
        q.OpenSql(sql);
        benchmark::DoNotOptimize(q.RecordCount());
    });
}

void BM_SaleList_FirstScreenAndTotals(benchmark::State &state)
{
    shop();
    ui::ScriptedMessages msgs;
    TfrmXF_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    timed(state, "sale list", false, [&] {
        w.BitBtn1Click();
        firstScreen(w, state);
    });
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
// the last screen, oldest first), with the window's filter.
void BM_LongSaleList_ScreenDirect(benchmark::State &state)
{
    longShop();
    TfrmXF_M w;
    saleListFilter(w, int(state.range(0)));
    w.BitBtn1Click();
    w.waitForTotals();
    const bool last = state.range(1) == 1;
    const QString sql = QStringLiteral(
            "select myDate as 消费日期,theNum as 单号,theType as 类型,MNum as 会员卡号,theCount,theSum,theZK,theZR,"
            "theHJ,theSJ,theYE,WName,Remark,theUser,theDate,theJF,theCB,JSRNum,JSRTC,TCJF,TCMoney,"
            "theHJ-theCB-TCMoney, id from UXF Where (theDel = '否')") +
                        w.where().sql() + (last ? " order by id asc" : " order by id desc") + " LIMIT ?";
    const QVariantList values = QVariantList(w.where().values()) << velmora::PagedModel::kPage;
    vdb::Query q(frmDM->ADOConnection1());
    timed(state, "long " + std::to_string(state.range(0)) + std::to_string(state.range(1)), true, [&] {
        q.OpenSql(sql, values);
        benchmark::DoNotOptimize(q.RecordCount());
    });
    // For comparison: the count and the eleven totals before the first
    // screen, as the list did before.
    if (last) return;
    vdb::Query totals(frmDM->ADOConnection1());
    const auto start = std::chrono::steady_clock::now();
    totals.OpenSql(QStringLiteral("select count(*), sum(theCount),sum(theSum),sum(theZR),sum(theHJ),sum(theSJ),"
                                  "sum(theCB),sum(theHJ-theCB-TCMoney),sum(TCMoney),sum(theYE),sum(theJF),sum(TCJF) "
                                  "from UXF Where (theDel = '否')") +
                           w.where().sql(),
                   w.where().values());
    state.counters["count_and_totals_first_ms"] =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 1000;
}

// "查询" until the first screen shows; the count and totals follow.
void BM_LongSaleList_FirstScreen(benchmark::State &state)
{
    longShop();
    ui::ScriptedMessages msgs;
    TfrmXF_M w;
    saleListFilter(w, int(state.range(0)));
    double counting = 0;
    timed(
            state, "long " + std::to_string(state.range(0)) + "0", false,
            [&] {
                w.BitBtn1Click();
                firstScreen(w, state);
            },
            [] {},
            [&] {
                const auto start = std::chrono::steady_clock::now();
                w.waitForTotals();
                counting += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            });
    state.counters["rows"] = w.rowCount();
    state.counters["count_and_totals_ms_after"] = counting / double(state.iterations()) * 1000;
}

// Ctrl+End on a counted list: the last screen, read from the end by key.
void BM_LongSaleList_LastScreen(benchmark::State &state)
{
    longShop();
    ui::ScriptedMessages msgs;
    TfrmXF_M w;
    saleListFilter(w, int(state.range(0)));
    timed(
            state, "long " + std::to_string(state.range(0)) + "1", false,
            [&] {
                const int n = w.rowCount();
                for (int r = std::max(0, n - 40); r < n; ++r)
                    for (int c = 0; c < w.Rows.columnCount(); ++c) benchmark::DoNotOptimize(w.Rows.text(r, c));
            },
            [&] {
                w.BitBtn1Click();
                w.waitForTotals();
            });
}

void BM_MemberList_Unfiltered(benchmark::State &state)
{
    shop();
    TfrmMember_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    timed(state, "member list", true, [&] {
        w.BitBtn1Click();
        firstScreen(w, state);
    });
}

void BM_MemberList_PinyinFilter(benchmark::State &state)
{
    shop();
    TfrmMember_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.Edit2->setText(QStringLiteral("HY12"));
    w.CheckBox3->setChecked(true);
    timed(state, "member list", false, [&] {
        w.BitBtn1Click();
        firstScreen(w, state);
    });
    state.counters["rows"] = w.rowCount();
}

// 100,000 members through the list's export.
void BM_Export_FromMemory(benchmark::State &state)
{
    shop();
    TfrmMember_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.BitBtn1Click();
    QVector<QStringList> rows;
    const excel::ExportLayout *layout = velmora::exportLayout(QStringLiteral("TfrmMember_M"));
    for (int r = 0; r < w.rowCount(); ++r) {
        QStringList row;
        for (int k = 1; k < layout->columnCount(); ++k)
            row << w.Rows.text(r, w.Rows.fieldIndex(layout->columns[k].title));
        rows << row;
    }
    const QString path = shop().dir.filePath(QStringLiteral("memory.xlsx"));
    timed(state, "export", true,
          [&] { benchmark::DoNotOptimize(excel::writeExport(path, *layout, myDeptName, rows)); });
}

void BM_Export_MemberList(benchmark::State &state)
{
    shop();
    ui::ScriptedMessages msgs;
    timed(state, "export", false, [&] {
        TfrmMember_M w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.BitBtn1Click();
        if (w.BitBtn3Click().isEmpty()) state.SkipWithError("not written");
    });
}

BENCHMARK(BM_SaleList_AllRowsAtOnce)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaleList_FirstScreenAndTotals)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LongSaleList_ScreenDirect)
        ->ArgsProduct({{0, 1}, {0, 1}})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
BENCHMARK(BM_LongSaleList_FirstScreen)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LongSaleList_LastScreen)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MemberList_Unfiltered)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_MemberList_PinyinFilter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Export_FromMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Export_MemberList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
