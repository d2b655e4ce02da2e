// Saving a 10-line member sale through the sale window's own save button,
// and the goods lookup by pinyin, on a shop of 100,000 members, 10,000 goods
// and 200,000 past sales, each against the same work on a small shop, the
// two by turns (measure.h; ratio_vs_baseline, ratio_min, ratio_median); and
// the big shop's save against the shortest SQL writing the same rows.
#include "bench/gui_main.h"
#include "bench/measure.h"
#include "bench/sales_fixture.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "sales/XF_In.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

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

// The anchor of a save: the rows a save writes, by the shortest SQL. The
// window is filled as for a save and its lines read (untimed); then, in one
// transaction with bound values and nothing read, the ten sale lines, the
// ten goods' sold and stock counters, the member's spend, visit and points,
// the sale and its payment.
BenchSide shortestSqlSide(SalesBenchDb &db, TfrmXF_In &w, int &member)
{
    struct Row {
        QString code, name, unit, price, count, zk, amount, id, type, py, cost;
    };
    struct Sale {
        std::vector<Row> lines;
        QString card, total, received, payment, cashier, worker, date;
        int number = 0;
    };
    auto sale = std::make_shared<Sale>();
    const BenchSide fill = saveSide(db, w, member);
    return {[&db, sale] {
                vdb::Connection &c = *db.dm->ADOConnection1();
                vdb::Transaction tx(c);
                const QString number = QStringLiteral("Z%1").arg(++sale->number, 9, 10, QLatin1Char('0'));
                const vdb::Statement line("insert into UXF_List(theNum,SNum,theName,theUnit,thePrice,theCount,"
                                          "theMoney,theType,thePY,myBH,theCB,theZK,SID) Values(:num,:code,:name,"
                                          ":unit,:price,:count,:amount,:type,:py,:bh,:cost,:zk,:id)");
                const vdb::Statement counters("Update SShop Set theXF=theXF+:n,theCount=theCount-:n Where ID=:id");
                int bh = 0;
                for (const Row &r : sale->lines) {
                    vdb::Statement(line)
                            .text("num", number)
                            .text("code", r.code)
                            .text("name", r.name)
                            .text("unit", r.unit)
                            .number("price", r.price)
                            .number("count", r.count)
                            .number("amount", r.amount)
                            .text("type", r.type)
                            .text("py", r.py)
                            .text("bh", QString::number(++bh))
                            .number("cost", r.cost)
                            .number("zk", r.zk)
                            .number("id", r.id)
                            .run(c);
                    vdb::Statement(counters).number("n", r.count).number("id", r.id).run(c);
                }
                vdb::Statement("UPDATE Member SET theXF=theXF+:spend,UseCount=UseCount+1,UseDate=:date,"
                               "theJF=theJF+:spend WHERE theNum=:card AND theDel='否'")
                        .number("spend", sale->total)
                        .text("date", sale->date)
                        .text("card", sale->card)
                        .run(c);
                vdb::Statement("Insert Into UXF(theDate,theType,theNum,theHJ,theZR,theSJ,MType,Remark,theDel,theUser,"
                               "MNum,theJF,theZK,theDX,theCB,theCount,JSRNum,JSRTC,TCJF,TCMoney,WName,myDate,theYE,"
                               "theSum) Values(:date,'会员',:num,:hj,0,:sj,:payment,'','否','admin',:card,:hj,100,"
                               "'',0,10,'','否',0,0,:worker,:date,0,:hj)")
                        .text("date", sale->date)
                        .text("num", number)
                        .number("hj", sale->total)
                        .number("sj", sale->received)
                        .text("payment", sale->payment)
                        .text("card", sale->card)
                        .text("worker", sale->worker)
                        .run(c);
                vdb::Statement("Insert Into UXF_SK (theNum, theMoney, theSMType, theSKR, SKDate) Values (:num,:sj,"
                               ":payment,:cashier,:date)")
                        .text("num", number)
                        .number("sj", sale->received)
                        .text("payment", sale->payment)
                        .text("cashier", sale->cashier)
                        .text("date", sale->date)
                        .run(c);
                tx.commit();
            },
            [fill, &w, sale] {
                w.myNew();
                fill.Setup();
                const StringGrid *g = w.StringGrid1;
                sale->lines.clear();
                for (int r = 1; r < g->rowCount() && !g->Cells(TfrmXF_In::cID, r).isEmpty(); ++r) {
                    auto cell = [&](int col) { return g->Cells(col, r); };
                    sale->lines.push_back({cell(TfrmXF_In::cCode), cell(TfrmXF_In::cName), cell(TfrmXF_In::cUnit),
                                           cell(TfrmXF_In::cPrice), cell(TfrmXF_In::cCount), cell(TfrmXF_In::cZK),
                                           cell(TfrmXF_In::cMoney), cell(TfrmXF_In::cID), cell(TfrmXF_In::cType),
                                           cell(TfrmXF_In::cPY), cell(TfrmXF_In::cCB)});
                }
                sale->card = w.Edit1->text();
                sale->total = w.Edit19->text();
                sale->received = w.Edit27->text();
                sale->payment = w.DBLookupComboBox3->Text();
                sale->cashier = w.DBLookupComboBox2->Text();
                sale->worker = w.DBLookupComboBox1->Text();
                sale->date = w.DateTimePicker1->date().toString(velmora::kDateFormat);
            }};
}

// The big shop's save through its window against the shortest SQL writing
// the same rows in the same shop.
void BM_SaveSaleAgainstShortestSql(benchmark::State &state)
{
    ui::ScriptedMessages msgs;
    ui::ScriptedModals modals;
    useShop(bigShop());
    TfrmXF_In ours, anchor;
    int member = 0, anchorMember = 1;
    measurePair(state, saveSide(bigShop(), ours, member), shortestSqlSide(bigShop(), anchor, anchorMember));
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
BENCHMARK(BM_SaveSaleAgainstShortestSql)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_GoodsLookupByPinyin)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
