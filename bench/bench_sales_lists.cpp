// The list windows on a shop of 100,000 members and 200,000 sales: the sale
// list's first screen with its count and totals, the member list's pinyin
// filter, and an export of 100,000 rows.  Each is reported with the ratio
// to a reference run in the same process (ratio_vs_reference):
//   first screen  vs  reading every row of the same statement at once;
//   pinyin filter vs  the unfiltered member list's first screen;
//   export        vs  writing the same rows from memory.
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
#include <map>

namespace {

SalesBenchDb &shop()
{
    static SalesBenchDb db(100000, 1000, 200000);
    static bool ready = [] {
        frmDM = db.dm.get();
        members::registerWindows();
        sales::registerWindows();
        velmora::TListFrame::setExportFolder(db.dir.path());
        velmora::TListFrame::setExportOpener([](const QString &path) { QFile::remove(path); });
        return true;
    }();
    (void)ready;
    return db;
}

std::map<std::string, double> g_reference;

// Seconds per run of work, with the reference's ratio when it ran before.
template <class Work>
void timed(benchmark::State &state, const std::string &reference, bool isReference, Work work)
{
    double sum = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        sum += took;
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
BENCHMARK(BM_MemberList_Unfiltered)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_MemberList_PinyinFilter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Export_FromMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Export_MemberList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
