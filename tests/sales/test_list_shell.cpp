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

// The filters stand in rows; Tab goes down the first filter of every row,
// then the second, and so on (a box, then its value; a date range is its
// box and its two dates), and Shift+Tab comes back the same way.
TEST_F(ListShellTest, TabGoesDownEachColumnOfFilters)
{
    {
        TfrmXF_SKQ w;
        expectTabChain(w,
                       {w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2, w.CheckBox3, w.Edit1, w.CheckBox6,
                        w.DBLookupComboBox1, w.CheckBox2, w.DateTimePicker3, w.DateTimePicker4, w.CheckBox4,
                        w.ComboBox2, w.CheckBox7, w.DBLookupComboBox2, w.CheckBox5, w.Edit3},
                       w.GroupBox1);
    }
    {
        TfrmXF_M w;  // "应收单" and "提成单" stand under the first column
        expectTabChain(w,
                       {w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2, w.CheckBox4, w.DBLookupComboBox1,
                        w.CheckBox7, w.Edit3, w.CheckBox3, w.CheckBox10, w.CheckBox2, w.Edit1, w.CheckBox5,
                        w.DBLookupComboBox2, w.CheckBox8, w.Edit4, w.CheckBox6, w.ComboBox2, w.CheckBox9, w.Edit2},
                       w.GroupBox1);
    }
    {
        TfrmJH_M w;
        expectTabChain(w,
                       {w.CheckBox7, w.Edit1, w.CheckBox2, w.Edit2, w.CheckBox4, w.DBLookupComboBox3, w.CheckBox1,
                        w.DateTimePicker1, w.DateTimePicker2, w.CheckBox3, w.DBLookupComboBox1, w.CheckBox5, w.Edit3,
                        w.CheckBox6, w.DBLookupComboBox2},
                       w.GroupBox1);
    }
}

}  // namespace
