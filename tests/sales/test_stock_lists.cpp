// Purchase and return lists: the documents and their lines, deletion with
// the stock corrected in one transaction, and the line lists.
#include "stock_fixture.h"

#include "sales/StockLists.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

namespace {

class StockLists : public StockTest {
protected:
    // A purchase (or return) of a1 x3 at 2 and c1 x1 at 5 saved without the window.
    QString saveDoc(sales::StockKind k, const QString &date = "2026-03-01", const QString &count = "3")
    {
        sales::StockDraft d;
        d.kind = k;
        d.supplierText = d.supplier = "青岛啤酒厂";
        d.supplierId = s1;
        d.lines = {{1, "a1", "可乐", "个", "饮料", "KL", a1, "2", count},
                   {2, "c1", "洗车", "个", "服务", "XC", c1, "5", "1"}};
        d.payment = "现金";
        d.worker = "小王";
        d.docDate = date;
        d.businessDate = myLoginDate;
        d.user = myUser;
        const sales::StockResult r = sales::saveStock(c(), d);
        EXPECT_FALSE(r.refusal) << r.refusal.message.toStdString();
        return r.number;
    }
};

TEST_F(StockLists, PurchaseListShowsDocumentsLinesAndTotals)
{
    saveDoc(sales::StockKind::Purchase);
    const QString second = saveDoc(sales::StockKind::Purchase, "2026-03-02", "1");
    TfrmJH_M w;
    EXPECT_EQ(w.rowCount(), 0);
    EXPECT_FALSE(w.BitBtn3->isEnabled());
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    w.selectRow(0);
    EXPECT_EQ(w.field("单号"), second);  // newest first
    EXPECT_EQ(w.field("进货日期"), "2026-03-02");
    EXPECT_EQ(w.ADOQuery2.RecordCount(), 2);
    EXPECT_EQ(w.CountLabel->text(), "进货数量：2");
    EXPECT_EQ(w.total("进货金额"), "18");
}

TEST_F(StockLists, DeletingAPurchaseTakesItsStockBackAndNoChangesNothing)
{
    const QString number = saveDoc(sales::StockKind::Purchase);
    EXPECT_EQ(goods(a1), "13/2");
    TfrmJH_M w;
    w.BitBtn1Click();
    w.selectRow(0);
    const QStringList before = snapshot();
    msgs.answer(ui::Answer::No);
    w.D1Click();
    EXPECT_EQ(msgs.last(), "确认要删除吗？该删除将不可恢复！");
    EXPECT_EQ(snapshot(), before);
    w.D1Click();
    EXPECT_EQ(goods(a1), "10/2");  // the cost the purchase set stays
    EXPECT_EQ(goods(c1), "0/5");   // no stock kept: only its cost moved
    EXPECT_EQ(one("select theDel from UJH where theNum='" + number + "'"), "是");
    EXPECT_EQ(count("UJH_List"), 0);
    EXPECT_EQ(w.rowCount(), 0);
}

TEST_F(StockLists, DeletingAReturnPutsItsStockBack)
{
    saveDoc(sales::StockKind::Return);
    EXPECT_EQ(goods(a1), "7/2");
    TfrmTH_M w;
    w.BitBtn1Click();
    w.selectRow(0);
    w.D1Click();
    EXPECT_EQ(goods(a1), "10/2");
    EXPECT_EQ(count("UTH_List"), 0);
}

TEST_F(StockLists, ADeletionFailingAtAnyWriteLeavesTheDatabaseAsItWas)
{
    saveDoc(sales::StockKind::Purchase);
    const QStringList triggers = {"BEFORE UPDATE OF theCount ON SShop", "BEFORE DELETE ON UJH_List",
                                  "BEFORE UPDATE OF theDel ON UJH"};
    TfrmJH_M w;
    w.BitBtn1Click();
    for (const QString &when : triggers) {
        w.selectRow(0);
        const QStringList before = snapshot();
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        msgs.clear();
        ui::guarded([&] { w.D1Click(); });
        c().executeNative("DROP TRIGGER boom");
        EXPECT_EQ(snapshot(), before) << when.toStdString();
        EXPECT_EQ(w.rowCount(), 1) << when.toStdString();
    }
}

TEST_F(StockLists, ReturnListsShowAndFilterTheReturnDate)
{
    saveDoc(sales::StockKind::Return, "2026-01-15");
    TfrmTH_M w;
    w.DateTimePicker1->setDate(QDate(2026, 1, 15));
    w.DateTimePicker2->setDate(QDate(2026, 1, 15));
    EXPECT_TRUE(w.CheckBox1->isChecked());
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 1);
    w.selectRow(0);
    EXPECT_EQ(w.field("退货日期"), "2026-01-15");
    EXPECT_EQ(w.field("付款方式"), "现金");

    TfrmTH_MX x;
    x.DateTimePicker1->setDate(QDate(2026, 1, 15));
    x.DateTimePicker2->setDate(QDate(2026, 1, 15));
    x.BitBtn1Click();
    ASSERT_EQ(x.rowCount(), 2);
    x.selectRow(0);
    EXPECT_EQ(x.field("退货日期"), "2026-01-15");
    EXPECT_EQ(x.CountLabel->text(), "退货数量：2");
    // The entry date alone finds nothing.
    const QDate entry = QDate::fromString(myLoginDate, "yyyy-MM-dd");
    x.DateTimePicker1->setDate(entry);
    x.DateTimePicker2->setDate(entry);
    x.BitBtn1Click();
    EXPECT_EQ(x.rowCount(), 0);
}

TEST_F(StockLists, LineListFindsTheNameOrItsPinyinNewestFirst)
{
    saveDoc(sales::StockKind::Purchase);
    TfrmJH_MX w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    w.selectRow(0);
    EXPECT_EQ(w.field("商品编码"), "c1");
    w.Edit4->setText("kl");
    w.CheckBox6->setChecked(true);
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 1);
    w.selectRow(0);
    EXPECT_EQ(w.field("商品名称"), "可乐");
    EXPECT_EQ(w.total("金额"), "6");
}

}  // namespace
