// Purchase and return entry: supplier search, goods lines, totals, the
// save's checks and what it writes, and a save that fails part-way.
#include "preview_double.h"
#include "stock_fixture.h"

#include "platform/error.h"
#include "platform/ui/modal.h"
#include "sales/StockPrint.h"
#include "sales/XF_In.h"

#include <QApplication>
#include <QTest>

namespace {

using Entry = StockTest;

TEST_F(Entry, OneMatchFillsTheSupplierSeveralOpenTheWholeList)
{
    TfrmJH_In w;
    findSupplier(w, "啤酒");
    EXPECT_EQ(w.myDID, s1);
    EXPECT_EQ(w.Edit1->text(), "青岛啤酒厂");

    line(w, 1, "a1", "2", "1");
    w.Edit4->setText("备注");
    QStringList lookups;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *f = qobject_cast<TfrmFindGYS *>(d);
        EXPECT_NE(f, nullptr);
        if (f) lookups << QString::number(f->ADOQuery1.RecordCount()) + ":" + f->myTag;
        return 0;
    });
    findSupplier(w, "Q");
    EXPECT_EQ(lookups, QStringList({"2:JH"}));
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_TRUE(w.myDID.isEmpty());
    EXPECT_EQ(w.Edit2->text(), "0");
    EXPECT_EQ(w.Edit3->text(), "0");
    EXPECT_TRUE(w.Edit4->text().isEmpty());
    // A new supplier empties the lines.
    EXPECT_TRUE(w.StringGrid1->Cells(TfrmStockIn::cID, 1).isEmpty());
}

TEST_F(Entry, GoodsAreOfferedOnceAndOnlyWhenStockIsKept)
{
    TfrmJH_In w;
    findSupplier(w, "啤酒");
    enterGoods(w, 1, "a1");
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cPrice, 1), "2");  // the cost
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cCount, 1), "1");
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cMoney, 1), "2");
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cID, 1), a1);
    ui::ScriptedModals modals;
    // a1 is taken, c1 keeps no stock: "1" leaves only b1.
    enterGoods(w, 2, "1");
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cID, 2), b1);
    enterGoods(w, 3, "c1");
    EXPECT_EQ(modals.shown(), QStringList({"TfrmNewShop"}));
    EXPECT_TRUE(w.StringGrid1->Cells(TfrmStockIn::cID, 3).isEmpty());
}

TEST_F(Entry, AmountsAndTotalsFollowTheCells)
{
    TfrmJH_In w;
    line(w, 1, "a1", "2.5", "3");
    EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cMoney, 1), "7.5");
    line(w, 4, "b1", "1", "2");
    EXPECT_EQ(w.Edit2->text(), "5");
    EXPECT_EQ(w.Edit3->text(), "9.5");
    // A line without a goods ID counts for nothing.
    w.StringGrid1->setCells(TfrmStockIn::cCount, 6, "8");
    w.StringGrid1->setCells(TfrmStockIn::cMoney, 6, "8");
    w.mySumMoney();
    EXPECT_EQ(w.Edit2->text(), "5");
    // Erasing the code empties the row.
    setCell(w, TfrmStockIn::cCode, 4, "");
    EXPECT_TRUE(w.StringGrid1->Cells(TfrmStockIn::cID, 4).isEmpty());
    EXPECT_EQ(w.Edit3->text(), "7.5");
    // Keys: letters never reach a price, Enter moves from price to quantity.
    w.StringGrid1->moveTo(TfrmStockIn::cPrice, 1);
    QChar a(u'a'), enter(u'\r');
    w.StringGrid1KeyPress(a);
    EXPECT_TRUE(a.isNull());
    w.StringGrid1KeyPress(enter);
    EXPECT_EQ(w.StringGrid1->Col(), int(TfrmStockIn::cCount));
}

TEST_F(Entry, ClosingWithACellBeingEditedLeavesTheWindowAlone)
{
    // The dialog hides itself as it goes; the editor losing the focus then
    // must not call into the half-destroyed window (the sanitizers see it).
    for (bool purchase : {true, false}) {
        std::unique_ptr<TfrmStockIn> w;
        if (purchase)
            w = std::make_unique<TfrmJH_In>();
        else
            w = std::make_unique<TfrmTH_In>();
        w->show();
        QApplication::setActiveWindow(w.get());
        line(*w, 1, "a1", "2", "1");
        w->StringGrid1->setFocus();
        w->StringGrid1->moveTo(TfrmStockIn::cCount, 1);
        QTest::keyClick(w->StringGrid1, Qt::Key_5);
        ASSERT_TRUE(w->StringGrid1->isEditing()) << purchase;
        w.reset();
    }
    auto sale = std::make_unique<TfrmXF_In>();
    sale->show();
    QApplication::setActiveWindow(sale.get());
    sale->StringGrid1->setFocus();
    sale->StringGrid1->moveTo(TfrmXF_In::cCode, 1);
    QTest::keyClick(sale->StringGrid1, Qt::Key_A);
    ASSERT_TRUE(sale->StringGrid1->isEditing());
    sale.reset();
}

TEST_F(Entry, PurchaseRaisesStockSetsCostAndNumbersLinesAcrossGaps)
{
    TfrmJH_In w;
    line(w, 1, "a1", "2.5", "3");
    line(w, 3, "b1", "4", "1");
    w.DateTimePicker1->setDate(QDate(2026, 3, 1));
    msgs.clear();
    save(w);
    EXPECT_EQ(msgs.count(), 0);
    const QString number = one("select theNum from UJH");
    EXPECT_EQ(rows("select myBH,SNum,theCB,theCount,theMoney,SID from UJH_List order by myBH"),
              QStringList({"1|a1|2.5|3|7.5|" + a1, "2|b1|4|1|4|" + b1}));
    EXPECT_EQ(rows("select theDate,theDel,DID,DName,theCount,theSum,FKType,theUser,myDate,WName from UJH"),
              QStringList({myLoginDate + "|否|" + s1 + "|青岛啤酒厂|4|11.5|现金|" + myUser + "|2026-03-01|小王"}));
    EXPECT_EQ(goods(a1), "13/2.5");
    EXPECT_EQ(goods(b1), "2/4");
    EXPECT_EQ(w.lastNumber(), number);
    // Continuous entry: ready for the next one with the shop's defaults.
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "现金");
    EXPECT_EQ(w.DBLookupComboBox2->Text(), "小王");
    EXPECT_EQ(w.DateTimePicker1->date(), QDate(2026, 3, 1));
}

TEST_F(Entry, ReturnLowersStockBelowZeroKeepsCostAndNumbersOnItsOwn)
{
    TfrmJH_In p;
    line(p, 1, "a1", "2", "1");
    save(p);
    TfrmTH_In w;
    EXPECT_EQ(w.windowTitle(), "退货录入");
    line(w, 1, "b1", "5", "3");
    ui::ScriptedModals modals;
    line(w, 2, "c1", "1", "1");  // not offered: no stock kept
    EXPECT_EQ(modals.shown(), QStringList({"TfrmNewShop"}));
    save(w);
    EXPECT_EQ(goods(b1), "-2/3");
    EXPECT_EQ(one("select theNum from UTH"), one("select theNum from UJH"));
    EXPECT_EQ(rows("select SKType,theCount,theSum from UTH"), QStringList({"现金|3|15"}));
    EXPECT_EQ(count("UTH_List"), 1);
}

// The return date typed from the keyboard: Shift+Tab back into the box from
// the payment method lands on the day; Left to the month, Down, digits for
// the day after Right; the save stores what was typed.
TEST_F(Entry, ADateTypedByDigitsAndArrowsIsStored)
{
    TfrmTH_In w;
    line(w, 1, "a1", "2", "1");
    w.show();
    QApplication::setActiveWindow(&w);
    w.DBLookupComboBox1->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w.DBLookupComboBox1, Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), w.DateTimePicker1);
    QWidget *box = QApplication::focusWidget();
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Right);
    QTest::keyClicks(box, "28");
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClicks(box, "2025");
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.DBLookupComboBox1);
    save(w);
    EXPECT_EQ(one("select myDate from UTH"), "2025-02-28");
}

TEST_F(Entry, ChecksInOrderAndABadRowIsNamedWithNothingWritten)
{
    TfrmJH_In w;
    const QStringList before = snapshot();
    EXPECT_EQ(saveSays(w), "供应商 不能为空，请按回车选择供应商！");
    w.Edit1->setText("随便");
    EXPECT_EQ(saveSays(w), "供应商 不能为空，请按回车选择供应商！");
    findSupplier(w, "啤酒");
    EXPECT_EQ(saveSays(w), "商品信息 不能为空！请重新选择");
    line(w, 1, "a1", "2", "1");
    line(w, 2, "b1", "2", "1..");
    EXPECT_TRUE(w.StringGrid1->Cells(TfrmStockIn::cMoney, 2).isEmpty());
    EXPECT_EQ(saveSays(w), "第 2 行 数量 错误，请重新录入！");
    EXPECT_EQ(w.StringGrid1->Row(), 2);
    EXPECT_EQ(w.StringGrid1->Col(), int(TfrmStockIn::cCount));
    setCell(w, TfrmStockIn::cCount, 2, "");
    EXPECT_EQ(saveSays(w), "第 2 行 数量 错误，请重新录入！");
    setCell(w, TfrmStockIn::cCount, 2, "1");
    setCell(w, TfrmStockIn::cPrice, 2, ".");
    EXPECT_EQ(saveSays(w), "第 2 行 单价 错误，请重新录入！");
    setCell(w, TfrmStockIn::cPrice, 2, "2");
    w.DBLookupComboBox1->setText("");
    EXPECT_EQ(saveSays(w), "请选择 付款方式！");
    w.DBLookupComboBox1->setText("现金");
    w.DBLookupComboBox2->setText("");
    EXPECT_EQ(saveSays(w), "请选择 员工姓名！");
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Entry, ASaveFailingAtAnyWriteLeavesTheDatabaseAsItWas)
{
    const QStringList triggers = {"BEFORE INSERT ON UJH_List", "BEFORE UPDATE OF theCount ON SShop",
                                  "BEFORE UPDATE OF theCB ON SShop", "BEFORE INSERT ON UJH"};
    TfrmJH_In w;
    for (const QString &when : triggers) {
        line(w, 1, "a1", "2.5", "3");
        line(w, 2, "b1", "4", "1");
        const QStringList before = snapshot();
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        msgs.clear();
        save(w);
        c().executeNative("DROP TRIGGER boom");
        EXPECT_EQ(msgs.count(), 1) << when.toStdString();
        EXPECT_EQ(snapshot(), before) << when.toStdString();
        EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cID, 2), b1) << when.toStdString();
    }
    msgs.clear();
    save(w);
    EXPECT_EQ(msgs.count(), 0);
    EXPECT_EQ(count("UJH"), 1);
}

TEST_F(Entry, DocumentPrintsAfterTheCommitAndAFailureSaysItWasSaved)
{
    myDeptPJH = "True";
    ScopedPreviewDouble preview;
    TfrmJH_In w;
    w.CheckBox1->setChecked(false);
    line(w, 1, "a1", "2", "1");
    msgs.clear();
    save(w);
    EXPECT_EQ(msgs.texts(), QStringList({"恭喜！恭喜！ 进货录入 保存成功！"}));
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(count("UJH"), 1);
    // The purchase document of the saved number was shown.
    EXPECT_EQ(preview.shown, QStringList{"lyrR_JH"});
    EXPECT_EQ(frmDM->ADOQuery6.value("theNum"), one("select theNum from UJH"));

    // A printer that fails after the commit: the return is kept and said so.
    myDeptPTH = "True";
    QStringList printed;
    sales::setDocumentPrinter([&](const QString &table, const QString &number) {
        printed << table + ":" + QString::number(count("UTH", "theNum='" + number + "'"));
        throw velmora::Error("打印机没有准备好");
    });
    TfrmTH_In t;
    line(t, 1, "a1", "2", "1");
    msgs.clear();
    save(t);
    sales::setDocumentPrinter({});
    EXPECT_EQ(printed, QStringList({"UTH:1"}));
    ASSERT_EQ(msgs.count(), 1);
    EXPECT_TRUE(msgs.last().startsWith("退货单 " + one("select theNum from UTH") + " 已保存"))
            << msgs.last().toStdString();
    EXPECT_TRUE(t.Edit1->text().isEmpty());
}

}  // namespace
