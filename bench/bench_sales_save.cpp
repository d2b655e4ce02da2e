// Saving a 10-line member sale through the sale window's own save button,
// and the goods lookup by pinyin, on a shop of 100,000 members, 10,000 goods
// and 200,000 past sales, each against the same work on a small shop in the
// same run (ratio_vs_baseline).
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "sales/XF_In.h"

#include <benchmark/benchmark.h>

namespace {

SalesBenchDb &bigShop()
{
    static SalesBenchDb db(100000, 10000, 200000);
    return db;
}

SalesBenchDb &smallShop()
{
    static SalesBenchDb db(100, 100, 100);
    return db;
}

void useShop(SalesBenchDb &db)
{
    frmDM = db.dm.get();
}

void saveSale(benchmark::State &state, SalesBenchDb &db, bool baseline)
{
    useShop(db);
    ui::ScriptedMessages msgs;
    // Every member and goods code below has exactly one match: no dialog.
    ui::ScriptedModals modals;
    TfrmXF_In w;
    int member = 0;
    measure(
            state, "save", baseline,
            [&] {
                w.Ed_Num->setText(QString::asprintf("26%06d", 1 + (member++ * 7919) % db.members));
                w.myFind();
                for (int r = 1; r <= 10; ++r) {
                    w.StringGrid1->moveTo(TfrmXF_In::cCode, r);
                    w.StringGrid1->setCells(TfrmXF_In::cCode, r,
                                            QString::asprintf("SP%05d", 1 + (r * 9 + member) % db.goods));
                    w.myFindSP();
                }
            },
            [&] { w.BitBtn1Click(); });
    if (msgs.count()) state.SkipWithError(msgs.last().toStdString().c_str());
    if (!modals.shown().isEmpty()) state.SkipWithError("a lookup dialog opened");
}

// One pinyin code typed into the first line and looked up, as Enter does:
// "KAA" is one item's full code in either shop, so both sides find exactly
// one item and fill the line with it (equal work; the big shop's ratio to
// the small one's is the cost of its size alone).
void lookup(benchmark::State &state, SalesBenchDb &db, bool baseline)
{
    useShop(db);
    ui::ScriptedMessages msgs;
    ui::ScriptedModals modals([](QDialog *) { return 0; });
    TfrmXF_In w;
    measure(
            state, "lookup", baseline,
            [&] {
                // The line emptied as 删除本行 does, so each lookup starts afresh.
                w.StringGrid1->moveTo(TfrmXF_In::cCode, 1);
                w.N1Click();
                w.StringGrid1->setCells(TfrmXF_In::cCode, 1, "KAA");
            },
            [&] { w.myFindSP(); },
            [&] {
                if (w.StringGrid1->Cells(TfrmXF_In::cID, 1).isEmpty())
                    state.SkipWithError("the code found no single item");
            });
    if (!modals.shown().isEmpty()) state.SkipWithError("a choice of several items opened");
}

void BM_SaveSale_SmallShop(benchmark::State &s)
{
    saveSale(s, smallShop(), true);
}
void BM_SaveSale_BigShop(benchmark::State &s)
{
    saveSale(s, bigShop(), false);
}
void BM_GoodsLookupByPinyin_SmallShop(benchmark::State &s)
{
    lookup(s, smallShop(), true);
}
void BM_GoodsLookupByPinyin_BigShop(benchmark::State &s)
{
    lookup(s, bigShop(), false);
}

BENCHMARK(BM_SaveSale_SmallShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_SaveSale_BigShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_GoodsLookupByPinyin_SmallShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_GoodsLookupByPinyin_BigShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
