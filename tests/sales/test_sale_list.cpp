// The sale list and what it does to a saved sale: deletion, collection and
// commission, each one transaction, and the list window's filters, totals
// and export.
#include "list_fixture.h"

#include "core/ListFrame.h"
#include "core/MenuOpeners.h"
#include "platform/excel/excelreader.h"
#include "sales/Register.h"
#include "sales/SaleAccounts.h"
#include "sales/SaleStore.h"
#include "sales/XF_M.h"

#include <QDir>
#include <QLabel>
#include <QTableView>
#include <QTest>

namespace {

using sales::SaleDraft;

TEST_F(SaleListTest, SaveThenDeleteLeavesEveryCounterAsBefore)
{
    const QStringList before = counters();
    // Part by card, the rest owed and then collected in cash: only the card
    // part goes back to the stored value, the spend falls by the bill's total.
    const QString number = save(sale("30", "会员卡"));
    EXPECT_EQ(member("theCZ,theXF,theJF,UseCount"), "70|38|38|1");
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "8")), "");
    EXPECT_EQ(member("theCZ"), "70");
    EXPECT_EQ(sales::deleteSale(c(), number, true), "");
    EXPECT_EQ(counters(), before);
    EXPECT_EQ(rows("select theDel from UXF"), QStringList{"是"});
    EXPECT_EQ(count("UXF_List") + count("UXF_SK"), 0);
    EXPECT_EQ(sales::deleteSale(c(), number, true), "消费单 " + number + " 不存在或已被删除！");
}

TEST_F(SaleListTest, WalkInDeletionRestoresStockAndSoldCountsOnly)
{
    const QStringList before = counters();
    const QString number = save(sale("38", "现金", true));
    EXPECT_EQ(rows("select theCount,theXF from SShop order by ID"), QStringList({"3|2", "0|1"}));
    EXPECT_EQ(sales::deleteSale(c(), number, true), "");
    EXPECT_EQ(counters(), before);
    // Without stock kept the stock stays where the shop left it.
    const QString again = save(sale("38", "现金", true));
    exec("UPDATE SShop SET theCount=50 WHERE ID=" + a1);
    EXPECT_EQ(sales::deleteSale(c(), again, false), "");
    EXPECT_EQ(rows("select theCount,theXF from SShop order by ID"), QStringList({"50|0", "0|0"}));
}

TEST_F(SaleListTest, ADeletionFailingAtAnyWriteLeavesTheDatabaseAsItWas)
{
    addType("钻卡", "80", "2", "30");
    exec("UPDATE Member SET theXF=10 WHERE theNum='" + card + "'");
    const QString number = save(sale("30", "会员卡"));
    const QStringList triggers = {"BEFORE UPDATE OF theJF ON Member",
                                  "BEFORE UPDATE OF theXF ON Member",
                                  "BEFORE UPDATE OF theCZ ON Member",
                                  "BEFORE UPDATE OF UseCount ON Member",
                                  "BEFORE UPDATE OF theType ON Member",
                                  "BEFORE UPDATE OF theCount ON SShop",
                                  "BEFORE UPDATE OF theXF ON SShop",
                                  "BEFORE DELETE ON UXF_List",
                                  "BEFORE DELETE ON UXF_SK",
                                  "BEFORE UPDATE OF theDel ON UXF"};
    // Back to a type below the sale's so that the upgrade writes too.
    exec("UPDATE MType SET theXF=1 WHERE theName='金卡'");
    for (const QString &when : triggers) {
        const QStringList before = snapshot();
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        EXPECT_THROW(sales::deleteSale(c(), number, true), vdb::DbError) << when.toStdString();
        c().executeNative("DROP TRIGGER boom");
        EXPECT_EQ(snapshot(), before) << when.toStdString();
    }
    EXPECT_EQ(sales::deleteSale(c(), number, true), "");
    EXPECT_EQ(member("theCZ,theXF,theJF,UseCount,theType"), "100|10|0|0|金卡");
}

TEST_F(SaleListTest, CollectionRefusesMoreThanOwedAndNothingAboveZero)
{
    const QString number = save(sale("30"));
    const QStringList before = snapshot();
    for (const char *amount : {"", "0", "0.0", "-1", "-0.5", "abc", "8.01", "1e9"}) {
        EXPECT_FALSE(sales::collectOwed(c(), collection(number, amount)).isEmpty()) << amount;
        EXPECT_EQ(snapshot(), before) << amount;
    }
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "8.01")), "收款金额 不能大于 应收金额，请重新录入！");
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "0.0")), "收款金额 不能为空，请录入！");
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "3")), "");
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "5")), "");
    EXPECT_EQ(rows("select theSJ,theYE from UXF"), QStringList{"38|0"});
    EXPECT_EQ(rows("select theMoney,SKDate from UXF_SK order by ID"),
              QStringList({"30|2026-03-07", "3|2026-03-08", "5|2026-03-08"}));
}

TEST_F(SaleListTest, CardCollectionUpToTheBalanceAndNeverForAWalkIn)
{
    exec("UPDATE Member SET theCZ=5 WHERE theNum='" + card + "'");
    const QString number = save(sale("30"));
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "6", "会员卡")),
              "会员卡号 " + card + " 账户余额 不足，请选择其它收款方式！");
    EXPECT_EQ(sales::collectOwed(c(), collection(number, "5", "会员卡")), "");
    EXPECT_EQ(member("theCZ"), "0");
    const QString walkIn = save(sale("30", "现金", true));
    EXPECT_EQ(sales::collectOwed(c(), collection(walkIn, "1", "会员卡")),
              "散客 不能用 会员卡 收款，请选择其它 收款方式！");
}

TEST_F(SaleListTest, CollectionAndCommissionFailingLeaveTheDatabaseAsItWas)
{
    const QString number = save(sale("30"));
    auto failing = [&](const QString &when, const std::function<void()> &save) {
        const QStringList before = snapshot();
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        EXPECT_THROW(save(), vdb::DbError) << when.toStdString();
        c().executeNative("DROP TRIGGER boom");
        EXPECT_EQ(snapshot(), before) << when.toStdString();
    };
    for (const char *when :
         {"BEFORE INSERT ON UXF_SK", "BEFORE UPDATE OF theSJ ON UXF", "BEFORE UPDATE OF theCZ ON Member"})
        failing(when, [&] { sales::collectOwed(c(), collection(number, "2", "会员卡")); });
    for (const char *when :
         {"BEFORE UPDATE OF JSRTC ON UXF", "BEFORE UPDATE OF theJF ON Member", "BEFORE UPDATE OF theCZ ON Member"})
        failing(when, [&] { sales::payCommission(c(), number, "5", "3"); });
    EXPECT_EQ(sales::payCommission(c(), number, "5", "3"), "");
    for (const char *when : {"BEFORE UPDATE OF JSRTC ON UXF", "BEFORE UPDATE OF theCZ ON Member"})
        failing(when, [&] { sales::withdrawCommission(c(), number); });
}

TEST_F(SaleListTest, ACommissionedBillIsDeletedOnlyAfterTheCommissionIsWithdrawn)
{
    const QString number = save(sale());
    const QString before = rows("select theJF,theCZ from Member where theNum='" + introducer + "'").value(0);
    EXPECT_EQ(sales::payCommission(c(), number, "", ""), "");
    EXPECT_EQ(rows("select JSRTC,TCJF,TCMoney from UXF"), QStringList{"是|0|0"});
    EXPECT_EQ(sales::withdrawCommission(c(), number), "");
    EXPECT_EQ(sales::payCommission(c(), number, "5", "-3"), "提成金额 录入错误，请重新录入！");
    EXPECT_EQ(sales::payCommission(c(), number, "5", "2.5"), "");
    EXPECT_EQ(rows("select theJF,theCZ from Member where theNum='" + introducer + "'"), QStringList{"5|2.5"});
    const QStringList kept = snapshot();
    EXPECT_EQ(sales::deleteSale(c(), number, true), "该消费单已经给介绍人提成了，不能删除！");
    EXPECT_EQ(snapshot(), kept);
    EXPECT_EQ(sales::withdrawCommission(c(), number), "");
    EXPECT_EQ(rows("select theJF,theCZ from Member where theNum='" + introducer + "'"), QStringList{before});
    EXPECT_EQ(sales::deleteSale(c(), number, true), "");
}

// ---- the window

class SaleListWindowTest : public SaleListTest {
protected:
    std::unique_ptr<TfrmXF_M> list()
    {
        auto w = std::make_unique<TfrmXF_M>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        return w;
    }
    static QStringList numbers(TfrmXF_M &w)
    {
        QStringList out;
        const int col = w.Rows.fieldIndex("单号");
        for (int r = 0; r < w.rowCount(); ++r) out << w.Rows.text(r, col);
        return out;
    }
};

TEST_F(SaleListWindowTest, FiltersAloneAndTogetherTickTheirBoxAndQueryOnlyOnRequest)
{
    const QString n1 = save(sale());
    SaleDraft d = sale("30", "现金", true);
    d.remark = "O'Brien 的单";
    const QString n2 = save(d);
    auto w = list();
    EXPECT_FALSE(w->BitBtn3->isEnabled());
    EXPECT_EQ(w->rowCount(), 0);
    w->Edit1->setText(card);
    emit w->Edit1->textEdited(card);
    EXPECT_TRUE(w->CheckBox2->isChecked());
    EXPECT_EQ(w->rowCount(), 0);  // editing does not query
    w->BitBtn1Click();
    EXPECT_TRUE(w->BitBtn3->isEnabled());
    EXPECT_EQ(numbers(*w), QStringList{n1});
    EXPECT_EQ(w->CountLabel->text(), "消费：1");
    w->CheckBox2->setChecked(false);
    w->BitBtn1Click();
    EXPECT_EQ(numbers(*w), QStringList({n2, n1}));  // newest first
    // Quotes neither break nor widen the statement.
    w->CheckBox9->setChecked(true);
    w->Edit2->setText("O'Brien");
    w->BitBtn1Click();
    EXPECT_EQ(numbers(*w), QStringList{n2});
    w->Edit2->setText("x') OR ('1'='1");
    w->BitBtn1Click();
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_EQ(w->TotalLabels[0]->text(), "数量：");  // an empty sum shows nothing
    w->CheckBox9->setChecked(false);
    w->ComboBox2->setCurrentText("散客");
    w->CheckBox6->setChecked(true);
    w->CheckBox3->click();  // 应收单 queries at once
    EXPECT_EQ(numbers(*w), QStringList{n2});
    w->CheckBox1->setChecked(true);
    w->DateTimePicker1->setDate(QDate(2026, 3, 8));
    w->DateTimePicker2->setDate(QDate(2026, 3, 9));
    w->BitBtn1Click();
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_TRUE(w->Lab_where->text().contains("'2026-03-08'"));
}

TEST_F(SaleListWindowTest, TotalsLinesAndPaymentsFollowTheSelectedBill)
{
    const QString n1 = save(sale("30"));
    const QString n2 = save(sale("38", "现金", true));
    auto w = list();
    w->BitBtn1Click();
    EXPECT_EQ(w->total("合计金额"), "76");
    EXPECT_EQ(w->TotalLabels[5]->text(), "应收：8");
    EXPECT_EQ(w->TotalLabels[8]->text(), "利润：" + w->total("利润"));
    EXPECT_EQ(w->field("单号"), n2);
    EXPECT_EQ(w->ADOQuery3.RecordCount(), 2);
    w->selectRow(1);
    EXPECT_EQ(w->field("单号"), n1);
    EXPECT_EQ(w->ADOQuery5.value("收款金额"), "30");
}

TEST_F(SaleListWindowTest, DeleteFromThePopupAsksAndRefusesACommissionedBill)
{
    myDeptKC = "True";
    const QString number = save(sale());
    auto w = list();
    w->BitBtn1Click();
    EXPECT_EQ(sales::payCommission(c(), number, "1", "1"), "");
    w->Ref();
    w->D1Click();
    EXPECT_EQ(msgs.last(), "该消费单已经给介绍人提成了，不能删除！");
    msgs.answer(ui::Answer::No);
    w->S1Click();
    EXPECT_EQ(rows("select JSRTC from UXF"), QStringList{"是"});
    w->S1Click();  // Yes by default
    EXPECT_EQ(rows("select JSRTC from UXF"), QStringList{"否"});
    msgs.answer(ui::Answer::No);
    w->D1Click();
    EXPECT_EQ(w->rowCount(), 1);
    w->D1Click();
    EXPECT_EQ(msgs.last(), "确认要删除吗？该删除将不可恢复！");
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_EQ(member("theXF,UseCount"), "0|0");
    // On an empty list every item does nothing.
    msgs.clear();
    for (QAction *a : {w->K1, w->X1, w->P1, w->N3, w->J1, w->T1, w->S1, w->D1}) a->trigger();
    EXPECT_EQ(msgs.count(), 0);
}

TEST_F(SaleListWindowTest, CollectDialogFromThePopup)
{
    const QString number = save(sale("30"));
    auto w = list();
    w->BitBtn1Click();
    ui::ScriptedModals modals([](QDialog *d) {
        auto *k = qobject_cast<TfrmXF_SK *>(d);
        EXPECT_EQ(k->Edit1->text(), "8");
        k->Edit1->setText("9");
        k->BitBtn1Click();
        k->Edit1->setText("8");
        k->BitBtn1Click();
        return k->result();
    });
    w->K1Click();
    EXPECT_EQ(msgs.texts(), QStringList{"收款金额 不能大于 应收金额，请重新录入！"});
    EXPECT_EQ(w->field("应收金额"), "0");
    w->K1Click();
    EXPECT_EQ(msgs.last(), "消费单 " + number + " 无 应收金额！");
}

TEST_F(SaleListWindowTest, ExportWritesTheShownRowsWithTitleHeaderAndTotals)
{
    exec("UPDATE Member SET theNum='0026' WHERE theNum='" + card + "'");
    card = "0026";
    const QString n1 = save(sale("30"));
    auto w = list();
    w->BitBtn1Click();
    const QString path = w->BitBtn3Click();
    ASSERT_FALSE(path.isEmpty());
    const excel::ReadResult r = excel::readWorkbook(path);
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    const excel::Sheet &s = r.sheet;
    ASSERT_EQ(s.rowCount(), 3);  // the title row comes back as the headers
    EXPECT_EQ(s.headers().value(0), "好邻居消费表");
    EXPECT_EQ(s.cell(0, 4), "会员卡号");
    EXPECT_EQ(s.cell(0, 21), "本单利润");
    EXPECT_EQ(s.cell(1, 0), "1");
    EXPECT_EQ(s.cell(1, 2), n1);
    EXPECT_EQ(s.cell(1, 4), "0026");  // a text column keeps its leading zeros
    EXPECT_EQ(s.cell(2, 0), "合计");
    EXPECT_EQ(s.cell(2, 10), "8");
    // An empty list: title, header and the totals row.
    w->CheckBox2->setChecked(true);
    w->Edit1->setText("none");
    w->BitBtn1Click();
    const excel::ReadResult e = excel::readWorkbook(w->BitBtn3Click());
    ASSERT_TRUE(e.ok());
    EXPECT_EQ(e.sheet.rowCount(), 2);
    EXPECT_EQ(e.sheet.cell(1, 0), "合计");
}

TEST_F(SaleListWindowTest, ALongListShowsItsFirstScreenThenCountsAndPagesByKey)
{
    // 2000 bills, every fifth deleted, members' and walk-ins' alternating.
    exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000) "
         "INSERT INTO UXF (theNum,theType,MNum,theCount,theSum,theZR,theHJ,theSJ,theYE,theDel,JSRTC,TCJF,TCMoney,"
         "theCB,theJF,myDate) SELECT printf('N%05d',i),CASE i%2 WHEN 0 THEN '会员' ELSE '散客' END,'',i%3,i%7+0.5,"
         "i%2,i%7,i%5,i%4,CASE i%5 WHEN 0 THEN '是' ELSE '否' END,'否',i%6,i%3*0.25,i%9,i%8,'2026-03-07' FROM n");
    const QString live = "from UXF where theDel='否'";
    const QStringList expected = rows("select theNum " + live + " order by id desc");
    ASSERT_EQ(expected.size(), 1600);
    const QString sums = rows("select sum(theCount),sum(theSum),sum(theZR),sum(theHJ),sum(theSJ),sum(theYE),"
                              "sum(theCB),sum(TCMoney),sum(theHJ-theCB-TCMoney),sum(theJF),sum(TCJF) " +
                              live)
                                 .value(0);
    auto w = list();
    w->BitBtn1Click();
    // The first screen comes before anything is counted.
    EXPECT_TRUE(w->totalsPending());
    EXPECT_EQ(w->Rows.pagesRead(), 1);
    EXPECT_EQ(w->rowCount(), velmora::PagedModel::kPage);
    EXPECT_EQ(w->field("单号"), expected.first());
    EXPECT_EQ(w->CountLabel->text(), "消费：");
    EXPECT_EQ(w->total("合计金额"), "");
    // Reaching the end before the count: the next page, found from the last key.
    ASSERT_TRUE(w->Rows.canFetchMore({}));
    w->Rows.fetchMore({});
    EXPECT_EQ(w->rowCount(), 2 * velmora::PagedModel::kPage);
    w->waitForTotals();
    EXPECT_EQ(w->rowCount(), 1600);
    EXPECT_EQ(w->CountLabel->text(), "消费：1600");
    QStringList totals;
    for (const char *f : {"商品数量", "商品金额", "折让金额", "合计金额", "实收金额", "应收金额", "商品成本",
                          "提成金额", "利润", "本单积分", "提成积分"})
        totals << w->total(f);
    EXPECT_EQ(totals.join("|"), sums);
    EXPECT_EQ(w->TotalLabels[3]->text(), "合计：" + w->total("合计金额"));

    // The last screen; a page far from any read; one back from the end; the
    // ones between, forward.
    const int col = w->Rows.fieldIndex("单号");
    w->show();
    w->DBGrid1->setFocus();
    QTest::keyClick(w->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w->field("单号"), expected.last());
    EXPECT_EQ(w->Rows.pagesRead(), 3);
    for (int r : {1599, 1000, 1300, 1100, 700, 900, 512, 511})
        EXPECT_EQ(w->Rows.text(r, col), expected.at(r)) << r;
    QStringList all;
    for (int r = 0; r < w->rowCount(); ++r) all << w->Rows.text(r, col);
    EXPECT_EQ(all, expected);

    // A refresh keeps the selected row, beyond the first page once counted.
    w->selectRow(1000);
    w->Ref();
    EXPECT_EQ(w->currentRow(), velmora::PagedModel::kPage - 1);
    w->waitForTotals();
    EXPECT_EQ(w->field("单号"), expected.at(1000));

    // A new query while counting: only the newest count arrives.
    w->BitBtn1Click();
    w->ComboBox2->setCurrentText("散客");
    w->CheckBox6->setChecked(true);
    w->BitBtn1Click();
    w->waitForTotals();
    EXPECT_EQ(w->rowCount(), 800);
    EXPECT_EQ(w->total("合计金额"), one("select sum(theHJ) " + live + " and theType='散客'"));
    EXPECT_EQ(w->Rows.text(0, col), one("select theNum " + live + " and theType='散客' order by id desc"));
}

TEST_F(SaleListWindowTest, TheMenuOpensTheListAndTheMemberListCanOpenItForACard)
{
    const QString number = save(sale());
    const velmora::Opener open = velmora::findOpener("201");
    ASSERT_TRUE(bool(open));
    std::unique_ptr<QWidget> w(open(nullptr));
    auto *frame = qobject_cast<velmora::TListFrame *>(w.get());
    ASSERT_NE(frame, nullptr);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->showForCard(card);
    EXPECT_EQ(frame->field("单号"), number);
    EXPECT_TRUE(bool(velmora::cardWindow("200")));
}

TEST_F(SaleListWindowTest, LineListFiltersByGoodsNameOrPinyin)
{
    save(sale());
    save(sale("38", "现金", true));
    TfrmXF_MX w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.BitBtn1Click();
    EXPECT_EQ(w.CountLabel->text(), "消费明细数量：4");
    w.Edit4->setText("kl");
    emit w.Edit4->textEdited("kl");
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 2);
    EXPECT_EQ(w.total("数量"), "4");
    w.ComboBox2->setCurrentText("散客");
    w.CheckBox6->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 1);
    const excel::ReadResult r = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.sheet.cell(1, 6), "a1");
    EXPECT_EQ(r.sheet.cell(2, 10), "2");
}

}  // namespace

namespace {

TEST_F(SaleListWindowTest, CommissionDialogNeedsALiveIntroducerAndPaysOnce)
{
    save(sale());
    auto w = list();
    w->BitBtn1Click();
    exec("UPDATE Member SET theState='停用' WHERE theNum='" + introducer + "'");
    ui::ScriptedModals modals([](QDialog *d) {
        auto *t = qobject_cast<TfrmJSRTC *>(d);
        EXPECT_EQ(t->Edit[11]->text(), "26000009");
        EXPECT_EQ(t->Edit[3]->text(), "38");
        t->Edit[12]->setText("3");
        t->BitBtn1Click();
        return t->result();
    });
    w->T1Click();
    EXPECT_EQ(msgs.last(), "该 介绍人 不存在或被停用！");
    EXPECT_TRUE(modals.shown().isEmpty());
    exec("UPDATE Member SET theState='启用' WHERE theNum='" + introducer + "'");
    w->T1Click();
    EXPECT_EQ(msgs.last(), "介绍人提成 保存成功！");
    EXPECT_EQ(w->field("提成"), "是");
    w->T1Click();  // paid already: nothing more
    EXPECT_EQ(modals.shown().size(), 1);
    EXPECT_EQ(rows("select theJF,theCZ from Member where theNum='" + introducer + "'"), QStringList{"3|0"});
    EXPECT_EQ(w->field("本单利润"), "14");  // 38 less the cost 2 x 6 + 12
}

}  // namespace
