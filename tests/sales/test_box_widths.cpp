// Drop-down boxes of the entry, list and settings windows, measured with
// their font: the seed data and a ten-character employee and payment method
// show whole, and the lists still fit the main window.
#include "combo_widths.h"
#include "fixture.h"

#include "core/Dept.h"
#include "core/Imports.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "members/DH_In.h"
#include "members/DH_M.h"
#include "members/MemberEntry.h"
#include "members/MemberList.h"
#include "members/Reminders.h"
#include "sales/GoodsLists.h"
#include "sales/Reports.h"
#include "sales/Reports_BB.h"
#include "sales/Shop_In.h"
#include "sales/StockIn.h"
#include "sales/StockLists.h"
#include "sales/XF_In.h"
#include "sales/XF_M.h"

#include <functional>
#include <memory>

namespace {

class BoxWidthTest : public SalesTest {
protected:
    void SetUp() override
    {
        SalesTest::SetUp();
        exec("INSERT INTO SWorker (theName,theState,Remark) VALUES ('欧阳诸葛司马上官慕容','启用','')");
        exec("INSERT INTO SMType (theName,Remark,theState) VALUES ('工商银行信用卡分期付','','启用')");
        addCategory("饮料", "是");
    }
};

// The lists also keep to the room the main window gives them at its usual
// size (1024 wide), their boxes grown as they are.
TEST_F(BoxWidthTest, EveryBoxShowsItsLongestEntryAndTheListsFitTheMainWindow)
{
    ui::ScriptedModals modals;
    struct Window {
        std::function<ui::Form *()> make;
        bool isList;
    };
    for (const Window &k : std::initializer_list<Window>{
                 {[] { return new TfrmCZ_In; }, false},     {[] { return new TfrmDH_In; }, false},
                 {[] { return new TfrmXF_In; }, false},     {[] { return new TfrmJH_In; }, false},
                 {[] { return new TfrmTH_In; }, false},     {[] { return new TfrmXF_SK; }, false},
                 {[] { return new TfrmMember_In; }, false}, {[] { return new TfrmNewMember; }, false},
                 {[] { return new TfrmDept; }, false},      {[] { return new TfrmShop_In; }, false},
                 {[] { return new TfrmIn_M; }, false},      {[] { return new TfrmXF_SKQ; }, true},
                 {[] { return new TfrmXF_M; }, true},       {[] { return new TfrmXF_MX; }, true},
                 {[] { return new TfrmXF_TJ; }, true},      {[] { return new TfrmCZ_M; }, true},
                 {[] { return new TfrmDH_M; }, true},       {[] { return new TfrmJH_M; }, true},
                 {[] { return new TfrmTH_MX; }, true},      {[] { return new TfrmBB_D; }, true},
                 {[] { return new TfrmMember_M; }, true},   {[] { return new TfrmM_Q; }, true},
                 {[] { return new TfrmShop_M; }, true},     {[] { return new TfrmKC; }, true}}) {
        std::unique_ptr<ui::Form> w(k.make());
        EXPECT_GT(expectBoxesShowTheirEntries(*w), 0) << w->metaObject()->className();
        if (k.isList) EXPECT_LE(w->minimumSizeHint().width(), 1000) << w->metaObject()->className();
    }
}

}  // namespace
