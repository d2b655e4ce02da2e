// Pieces of the list windows' layout and filters: the splitter of the
// purchase and return lists, the report grids' widths, the payment-method
// group of the payments list, and a typed sale type that filters as one
// chosen from the list.
#include "report_fixture.h"

#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"
#include "sales/Reports.h"
#include "sales/Reports_BB.h"
#include "sales/StockLists.h"

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QTest>

namespace {

class WindowPieces : public ReportRowsTest {
protected:
    // Types over the type box's text, as a user does through the input
    // method (Chinese text comes as one commit).
    static void typeType(QComboBox *box, const QString &text)
    {
        box->lineEdit()->selectAll();
        QInputMethodEvent e;
        e.setCommitString(text);
        QApplication::sendEvent(box->lineEdit(), &e);
        ASSERT_EQ(box->currentText(), text);
    }
};

TEST_F(WindowPieces, SplitterWidthsAndGroupsOfTheListWindows)
{
    // The document grid above, the line grid below, a splitter between.
    TfrmJH_M jh;
    TfrmTH_M th;
    for (TfrmStockDocs *w : {static_cast<TfrmStockDocs *>(&jh), static_cast<TfrmStockDocs *>(&th)}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        ASSERT_NE(w->Splitter1, nullptr);
        EXPECT_EQ(w->Splitter1->orientation(), Qt::Vertical);
        ASSERT_EQ(w->Splitter1->count(), 2);
        EXPECT_EQ(w->Splitter1->widget(0), w->DBGrid1);
        EXPECT_EQ(w->Splitter1->widget(1), w->DBGrid2);
        EXPECT_TRUE(w->isAncestorOf(w->Splitter1));
    }

    // The 16 columns of the daily, monthly and yearly reports are 80 wide.
    addSale("S1", "2026-03-01", "2026-03-01", "会员", "", "小王", 1, 10, 10, 5, 0);
    TfrmBB_D d;
    TfrmBB_M m;
    TfrmBB_Y y;
    for (TfrmBB *w : {static_cast<TfrmBB *>(&d), static_cast<TfrmBB *>(&m), static_cast<TfrmBB *>(&y)}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->DateTimePicker1->setDate(QDate(2026, 3, 1));
        w->DateTimePicker2->setDate(QDate(2026, 3, 1));
        w->BitBtn1Click();
        ASSERT_EQ(w->DBGrid1->model()->columnCount(), 16);
        for (int c = 0; c < 16; ++c) EXPECT_EQ(w->DBGrid1->columnWidth(c), 80) << c;
    }

    // The payments list keeps its method filter in a group of its own.
    TfrmXF_SKQ skq;
    ASSERT_NE(skq.GroupBox2, nullptr);
    EXPECT_EQ(skq.GroupBox2->title(), "收款方式");
    for (QWidget *c : {static_cast<QWidget *>(skq.CheckBox8), static_cast<QWidget *>(skq.DBLookupComboBox3),
                       static_cast<QWidget *>(skq.CheckBox9)}) {
        EXPECT_TRUE(skq.GroupBox2->isAncestorOf(c));
        EXPECT_FALSE(skq.GroupBox1->isAncestorOf(c));
    }
    EXPECT_FALSE(skq.GroupBox1->isAncestorOf(skq.GroupBox2));
    // Clicking 会员卡 still ticks 收款方式 and filters on the card.
    addPayment("S1", 10, "会员卡", "小王", "2026-03-01");
    addSale("S2", "2026-03-01", "2026-03-01", "散客", "", "小王", 1, 20, 20, 5, 0);
    addPayment("S2", 20, "现金", "小王", "2026-03-01");
    skq.CheckBox9->click();
    EXPECT_TRUE(skq.CheckBox8->isChecked());
    skq.BitBtn1Click();
    ASSERT_EQ(skq.rowCount(), 1);
    skq.selectRow(0);
    EXPECT_EQ(skq.field("单号"), "S1");
}

TEST_F(WindowPieces, ATypedSaleTypeTicksTheTypeFilterAsAChosenOneDoes)
{
    addSale("S1", "2026-03-01", "2026-03-01", "会员", "", "小王", 1, 10, 10, 5, 0);
    addSale("S2", "2026-03-01", "2026-03-01", "散客", "", "小王", 1, 20, 20, 5, 0);
    addPayment("S1", 10, "现金", "小王", "2026-03-01");
    addPayment("S2", 20, "现金", "小王", "2026-03-01");

    // Typed, "散客" ticks the type filter and the list holds its sale alone.
    const auto onlyWalkIn = [](velmora::TListFrame &w, QComboBox *type, QCheckBox *box, const QString &column,
                               const QString &value) {
        w.show();
        typeType(type, "散客");
        EXPECT_TRUE(box->isChecked());
        w.BitBtn1Click();
        ASSERT_EQ(w.rowCount(), 1);
        w.selectRow(0);
        EXPECT_EQ(w.field(column), value);
    };
    TfrmXF_TJ tj;
    onlyWalkIn(tj, tj.ComboBox2, tj.CheckBox2, "合计金额", "20");
    TfrmXF_SKQ skq;
    onlyWalkIn(skq, skq.ComboBox2, skq.CheckBox4, "单号", "S2");
}

}  // namespace
