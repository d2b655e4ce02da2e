// The sale entry's date box walked as a cashier walks it: Shift+Tab back
// into it, a click on any part, a whole date typed from there.
#include "fixture.h"
#include "datebox_walk.h"

#include "sales/XF_In.h"

#include <memory>

namespace {

class SaleDateBoxTest : public SalesTest {
protected:
    void SetUp() override
    {
        SalesTest::SetUp();
        addType("金卡", "90", "1");
        addCategory("饮料", "是");
        addMember("26000001", "张三", "金卡", "100");
        addGoods("a1", "可乐", "饮料", "10");
    }
};

TEST_F(SaleDateBoxTest, SaleEntryTakesAWholeDateFromAnyPart)
{
    auto w = std::make_unique<TfrmXF_In>();
    expectWholeDatesFromEveryPart(*w, w->DateTimePicker1);
    // Shift+Tab from the field after the date, then the date as a whole.
    shiftTabInto(*w, w->DateTimePicker1);
    ASSERT_EQ(QApplication::focusWidget(), w->DateTimePicker1);
    typeIntoWindow(*w, "2026-1-5\t");
    EXPECT_EQ(w->DateTimePicker1->date(), QDate(2026, 1, 5));
    EXPECT_NE(QApplication::focusWidget(), w->DateTimePicker1);
}

}  // namespace
