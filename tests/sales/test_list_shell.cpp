// The list windows inside the main window: opened by their menu item as
// maximised MDI children, one at a time, and from the member list for one
// member without an open flag.
#include "keys.h"
#include "list_fixture.h"

#include "core/ListFrame.h"
#include "core/main.h"
#include "members/MemberList.h"
#include "members/Register.h"
#include "sales/Register.h"
#include "sales/Reports.h"
#include "sales/SaleStore.h"
#include "sales/StockLists.h"
#include "sales/XF_M.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiSubWindow>
#include <QTest>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

namespace {

class ListShellTest : public SaleListTest {
protected:
    void SetUp() override
    {
        SaleListTest::SetUp();
        members::registerWindows();
        sales::registerWindows();
        main = std::make_unique<TfrmMain>();
        frmMain = main.get();
        main->show();  // as after a login
    }
    void TearDown() override
    {
        main.reset();
        frmMain = nullptr;
        flush();
        SaleListTest::TearDown();
    }
    // A child frees itself, then its frame goes.
    static void flush()
    {
        for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString saveOne(bool walkIn = false) { return save(sale("38", "现金", walkIn)); }
    std::unique_ptr<TfrmMain> main;
};

TEST_F(ListShellTest, MenuItemsOpenOneMaximisedListAtATime)
{
    main->ItemClick("201");
    ASSERT_TRUE(myOpenXF_M);
    auto *sales = qobject_cast<TfrmXF_M *>(main->openWindow(&myOpenXF_M));
    ASSERT_NE(sales, nullptr);
    auto *sub = qobject_cast<QMdiSubWindow *>(sales->parentWidget());
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isMaximized());
    // The program's own icon, also where the maximised list shows its window menu.
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(sub->windowIcon().cacheKey(), icon.cacheKey());
    EXPECT_EQ(main->windowIcon().cacheKey(), icon.cacheKey());
    QPointer<TfrmXF_M> gone(sales);
    main->ItemClick("202");
    flush();
    EXPECT_FALSE(myOpenXF_M);
    EXPECT_TRUE(gone.isNull());
    ASSERT_TRUE(myOpenXF_MX);
    auto *lines = qobject_cast<TfrmXF_MX *>(main->openWindow(&myOpenXF_MX));
    ASSERT_NE(lines, nullptr);
    lines->BitBtn2->click();  // "退出" frees it and clears its flag
    flush();
    EXPECT_FALSE(myOpenXF_MX);
}

TEST_F(ListShellTest, TheMemberListOpensTheSaleListOfItsMemberWithoutAFlag)
{
    const QString mine = saveOne();
    saveOne(true);
    main->ItemClick("103");  // the item is hidden for this session: nothing opens
    EXPECT_FALSE(myOpenMember_M);
    main->applyRight("103");
    main->ItemClick("103");
    auto *members = qobject_cast<TfrmMember_M *>(main->openWindow(&myOpenMember_M));
    ASSERT_NE(members, nullptr);
    members->BitBtn1Click();
    members->N2Click();  // no right to "消费查询 &Q" yet
    EXPECT_EQ(main->Image1->subWindowList().size(), 1);
    main->applyRight("201");
    members->N2Click();
    ASSERT_EQ(main->Image1->subWindowList().size(), 2);
    EXPECT_FALSE(myOpenXF_M);
    auto *list = qobject_cast<TfrmXF_M *>(main->Image1->subWindowList().last()->widget());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->field("单号"), mine);
    EXPECT_TRUE(myOpenMember_M);
}

TEST_F(ListShellTest, LinesAndPaymentsFollowTheKeyboard)
{
    const QString first = saveOne();
    const QString second = saveOne(true);
    TfrmXF_M w;
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.show();
    w.BitBtn1Click();
    EXPECT_EQ(w.field("单号"), second);
    w.DBGrid1->setFocus();
    QTest::keyClick(w.DBGrid1, Qt::Key_Down);
    EXPECT_EQ(w.field("单号"), first);
    EXPECT_EQ(w.ADOQuery5.value("单号"), first);
    EXPECT_EQ(w.ADOQuery3.value("商品编码"), "a1");
    QTest::keyClick(w.DBGrid1, Qt::Key_Up);
    EXPECT_EQ(w.ADOQuery5.value("单号"), second);
    // Tab leaves the grid for the lines below it, Shift+Tab for the buttons above.
    QApplication::setActiveWindow(&w);
    w.DBGrid1->setFocus();
    QTest::keyClick(w.DBGrid1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.DBGrid2);
    w.DBGrid1->setFocus();
    QTest::keyClick(w.DBGrid1, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), w.BitBtn2);
    EXPECT_EQ(w.ADOQuery5.value("单号"), second);
}

// The filters' boxes in Tab order read down the columns the user sees:
// each next box stands lower in the same column, or starts the next column
// to the right, or starts a row under all of them.
void expectTabFollowsScreenColumns(QWidget &w, const QList<QCheckBox *> &boxes)
{
    SCOPED_TRACE(w.windowTitle().toStdString());
    int lowest = boxes.first()->mapTo(&w, QPoint()).y();
    for (qsizetype i = 1; i < boxes.size(); ++i) {
        const QPoint a = boxes[i - 1]->mapTo(&w, QPoint()), b = boxes[i]->mapTo(&w, QPoint());
        const bool down = b.x() == a.x() && b.y() > a.y();
        const bool nextColumn = b.x() > a.x() && b.y() <= a.y();
        const bool below = b.y() > lowest;
        EXPECT_TRUE(down || nextColumn || below) << boxes[i - 1]->text().toStdString() << " (" << a.x() << ","
                                                 << a.y() << ") -> " << boxes[i]->text().toStdString() << " ("
                                                 << b.x() << "," << b.y() << ")";
        lowest = std::max(lowest, b.y());
    }
}

// The filters stand in columns; Tab goes down the first column, then the
// second, and so on (a box, then its value; a date range is its box and its
// two dates); boxes on a row of their own under the columns come last, and
// Shift+Tab comes back the same way.
TEST_F(ListShellTest, TabGoesDownEachColumnOfFilters)
{
    {
        TfrmXF_SKQ w;
        expectTabChain(w,
                       {w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2, w.CheckBox3, w.Edit1, w.CheckBox5,
                        w.Edit3, w.CheckBox7, w.DBLookupComboBox2, w.CheckBox2, w.DateTimePicker3, w.DateTimePicker4,
                        w.CheckBox4, w.ComboBox2, w.CheckBox6, w.DBLookupComboBox1},
                       w.GroupBox1);
        expectTabFollowsScreenColumns(
                w, {w.CheckBox1, w.CheckBox3, w.CheckBox5, w.CheckBox7, w.CheckBox2, w.CheckBox4, w.CheckBox6});
    }
    {
        TfrmXF_M w;  // "应收单" and "提成单" stand on a row under the columns
        expectTabChain(w,
                       {w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2, w.CheckBox4, w.DBLookupComboBox1,
                        w.CheckBox7, w.Edit3, w.CheckBox2, w.Edit1, w.CheckBox5, w.DBLookupComboBox2, w.CheckBox8,
                        w.Edit4, w.CheckBox6, w.ComboBox2, w.CheckBox9, w.Edit2, w.CheckBox3, w.CheckBox10},
                       w.GroupBox1);
        expectTabFollowsScreenColumns(w, {w.CheckBox1, w.CheckBox4, w.CheckBox7, w.CheckBox2, w.CheckBox5,
                                          w.CheckBox8, w.CheckBox6, w.CheckBox9, w.CheckBox3, w.CheckBox10});
    }
    {
        TfrmJH_M w;
        expectTabChain(w,
                       {w.CheckBox7, w.Edit1, w.CheckBox2, w.Edit2, w.CheckBox4, w.DBLookupComboBox3, w.CheckBox1,
                        w.DateTimePicker1, w.DateTimePicker2, w.CheckBox3, w.DBLookupComboBox1, w.CheckBox5, w.Edit3,
                        w.CheckBox6, w.DBLookupComboBox2},
                       w.GroupBox1);
        expectTabFollowsScreenColumns(w, {w.CheckBox7, w.CheckBox2, w.CheckBox4, w.CheckBox1, w.CheckBox3,
                                          w.CheckBox5, w.CheckBox6});
    }
}

}  // namespace
