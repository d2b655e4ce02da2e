// Saving a 50-line purchase and the stock list of every goods item with its
// totals, on a shop of 10,000 goods, each against the same work on a shop
// of 100 goods, the two by turns (measure.h).
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

// A purchase of 50 lines saved into its shop; `round` picks the goods.
struct PurchaseSide {
    SalesBenchDb &db;
    sales::StockDraft d;
    int round = 0;
    QString refusal;
    explicit PurchaseSide(SalesBenchDb &shop) : db(shop)
    {
        vdb::Connection &c = *db.dm->ADOConnection1();
        c.execute("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) VALUES ('供应商','','','',"
                  "'','GYS','否')");
        d.supplierText = d.supplier = "供应商";
        d.supplierId = QString::number(c.lastInsertId());
        d.payment = "现金";
        d.worker = "小王";
        d.docDate = d.businessDate = myLoginDate;
        d.user = myUser;
    }
    BenchSide side()
    {
        return {[this] {
                    const sales::StockResult r = sales::saveStock(*db.dm->ADOConnection1(), d);
                    if (r.refusal) refusal = r.refusal.message;
                },
                [this] {
                    frmDM = db.dm.get();
                    d.lines.clear();
                    for (int r = 1; r <= 50; ++r) {
                        const int id = 1 + (r * 37 + round * 11) % db.goods;
                        d.lines.push_back({r, QString::asprintf("SP%05d", id), "商品", "个", "类1", "SP",
                                           QString::number(id), "2.5", QString::number(r % 7 + 1)});
                    }
                    ++round;
                }};
    }
};

// The big shop's purchase against the small shop's, by turns.
void BM_SavePurchase50(benchmark::State &state)
{
    PurchaseSide big(bigShop()), small(smallShop());
    measurePair(state, big.side(), small.side());
    for (const QString &refusal : {big.refusal, small.refusal})
        if (!refusal.isEmpty()) state.SkipWithError(refusal.toStdString().c_str());
}

// The stock list's "查询" in each shop's own window (made on its shop), by turns.
void BM_StockList(benchmark::State &state)
{
    ui::ScriptedMessages msgs;
    frmDM = smallShop().dm.get();
    TfrmKC small;
    frmDM = bigShop().dm.get();
    TfrmKC big;
    measurePair(state, {[&] { big.BitBtn1Click(); }, [] { frmDM = bigShop().dm.get(); }},
                {[&] { small.BitBtn1Click(); }, [] { frmDM = smallShop().dm.get(); }});
    if (big.rowCount() != bigShop().goods || small.rowCount() != smallShop().goods)
        state.SkipWithError("the list does not show every goods item");
}

BENCHMARK(BM_SavePurchase50)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_StockList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
