// Saving a 10-line member sale through the sale window's own save button,
// and the goods lookup by pinyin, on a shop of 100,000 members, 10,000 goods
// and 200,000 past sales, each against the same work on a small shop, the
// two by turns (measure.h; ratio_vs_baseline, ratio_min, ratio_median).
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

// One side of the save: its shop's sale window, filled with a new sale of
// ten lines before each save.
BenchSide saveSide(SalesBenchDb &db, TfrmXF_In &w, int &member)
{
    return {[&w] { w.BitBtn1Click(); },
            [&db, &w, &member] {
                useShop(db);
                w.Ed_Num->setText(QString::asprintf("26%06d", 1 + (member++ * 7919) % db.members));
                w.myFind();
                for (int r = 1; r <= 10; ++r) {
                    w.StringGrid1->moveTo(TfrmXF_In::cCode, r);
                    w.StringGrid1->setCells(TfrmXF_In::cCode, r,
                                            QString::asprintf("SP%05d", 1 + (r * 9 + member) % db.goods));
                    w.myFindSP();
                }
            }};
}

// The big shop's save against the small shop's, by turns; each window is
// made on its own shop.
void BM_SaveSale(benchmark::State &state)
{
    ui::ScriptedMessages msgs;
    // Every member and goods code below has exactly one match: no dialog.
    ui::ScriptedModals modals;
    useShop(smallShop());
    TfrmXF_In small;
    useShop(bigShop());
    TfrmXF_In big;
    int smallMember = 0, bigMember = 0;
    measurePair(state, saveSide(bigShop(), big, bigMember), saveSide(smallShop(), small, smallMember));
    if (msgs.count()) state.SkipWithError(msgs.last().toStdString().c_str());
    if (!modals.shown().isEmpty()) state.SkipWithError("a lookup dialog opened");
}

// One pinyin code typed into the first line and looked up, as Enter does:
// "KAA" is one item's full code in either shop, so both sides find exactly
// one item and fill the line with it (equal work; the big shop's ratio to
// the small one's is the cost of its size alone).
BenchSide lookupSide(benchmark::State &state, SalesBenchDb &db, TfrmXF_In &w)
{
    return {[&w] { w.myFindSP(); },
            [&db, &w] {
                useShop(db);
                // The line emptied as 删除本行 does, so each lookup starts afresh.
                w.StringGrid1->moveTo(TfrmXF_In::cCode, 1);
                w.N1Click();
                w.StringGrid1->setCells(TfrmXF_In::cCode, 1, "KAA");
            },
            [&state, &w] {
                if (w.StringGrid1->Cells(TfrmXF_In::cID, 1).isEmpty())
                    state.SkipWithError("the code found no single item");
            }};
}

void BM_GoodsLookupByPinyin(benchmark::State &state)
{
    ui::ScriptedMessages msgs;
    ui::ScriptedModals modals([](QDialog *) { return 0; });
    useShop(smallShop());
    TfrmXF_In small;
    useShop(bigShop());
    TfrmXF_In big;
    measurePair(state, lookupSide(state, bigShop(), big), lookupSide(state, smallShop(), small));
    if (!modals.shown().isEmpty()) state.SkipWithError("a choice of several items opened");
}

BENCHMARK(BM_SaveSale)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_GoodsLookupByPinyin)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
