// Saving a 50-line purchase and the stock list of every goods item with its
// totals, on a shop of 10,000 goods, each against the same work on a shop
// of 100 goods in the same run (ratio_vs_baseline).
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "platform/ui/messages.h"
#include "sales/GoodsLists.h"
#include "sales/StockStore.h"

#include <benchmark/benchmark.h>

namespace {

SalesBenchDb &bigShop()
{
    static SalesBenchDb db(100, 10000, 100);
    return db;
}

SalesBenchDb &smallShop()
{
    static SalesBenchDb db(100, 100, 100);
    return db;
}

void savePurchase(benchmark::State &state, SalesBenchDb &db, bool baseline)
{
    frmDM = db.dm.get();
    vdb::Connection &c = *db.dm->ADOConnection1();
    c.execute("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) VALUES ('供应商','','','','',"
              "'GYS','否')");
    const QString supplier = QString::number(c.lastInsertId());
    sales::StockDraft d;
    d.supplierText = d.supplier = "供应商";
    d.supplierId = supplier;
    d.payment = "现金";
    d.worker = "小王";
    d.docDate = d.businessDate = myLoginDate;
    d.user = myUser;
    int round = 0;
    QString refusal;
    measure(
            state, "purchase", baseline,
            [&] {
                d.lines.clear();
                for (int r = 1; r <= 50; ++r) {
                    const int id = 1 + (r * 37 + round * 11) % db.goods;
                    d.lines.push_back({r, QString::asprintf("SP%05d", id), "商品", "个", "类1", "SP",
                                       QString::number(id), "2.5", QString::number(r % 7 + 1)});
                }
                ++round;
            },
            [&] {
                const sales::StockResult r = sales::saveStock(c, d);
                if (r.refusal) refusal = r.refusal.message;
            });
    if (!refusal.isEmpty()) state.SkipWithError(refusal.toStdString().c_str());
}

void stockList(benchmark::State &state, SalesBenchDb &db, bool baseline)
{
    frmDM = db.dm.get();
    ui::ScriptedMessages msgs;
    TfrmKC w;
    measure(
            state, "stock list", baseline, [] {}, [&] { w.BitBtn1Click(); });
    if (w.rowCount() != db.goods) state.SkipWithError("the list does not show every goods item");
}

void BM_SavePurchase50_SmallShop(benchmark::State &s)
{
    savePurchase(s, smallShop(), true);
}
void BM_SavePurchase50_BigShop(benchmark::State &s)
{
    savePurchase(s, bigShop(), false);
}
void BM_StockList_SmallShop(benchmark::State &s)
{
    stockList(s, smallShop(), true);
}
void BM_StockList_BigShop(benchmark::State &s)
{
    stockList(s, bigShop(), false);
}

BENCHMARK(BM_SavePurchase50_SmallShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_SavePurchase50_BigShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_StockList_SmallShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_StockList_BigShop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
