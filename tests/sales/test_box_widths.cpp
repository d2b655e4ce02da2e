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

TEST_F(BoxWidthTest, EveryBoxShowsItsLongestEntry)
{
    ui::ScriptedModals modals;
    using Make = std::function<ui::Form *()>;
    for (const Make &make : std::initializer_list<Make>{
                 [] { return new TfrmCZ_In; }, [] { return new TfrmDH_In; }, [] { return new TfrmXF_In; },
                 [] { return new TfrmJH_In; }, [] { return new TfrmTH_In; }, [] { return new TfrmXF_SK; },
                 [] { return new TfrmMember_In; }, [] { return new TfrmNewMember; }, [] { return new TfrmDept; },
                 [] { return new TfrmShop_In; }, [] { return new TfrmIn_M; }}) {
        std::unique_ptr<ui::Form> w(make());
        EXPECT_GT(expectBoxesShowTheirEntries(*w), 0) << w->metaObject()->className();
    }
}

// The lists keep to the room the main window gives them at its usual size
// (1024 wide), their boxes grown as they are.
TEST_F(BoxWidthTest, ListBoxesShowTheirEntriesAndTheListsFitTheMainWindow)
{
    ui::ScriptedModals modals;
    using Make = std::function<velmora::TListFrame *()>;
    for (const Make &make : std::initializer_list<Make>{
                 [] { return new TfrmXF_SKQ; }, [] { return new TfrmXF_M; }, [] { return new TfrmXF_MX; },
                 [] { return new TfrmXF_TJ; }, [] { return new TfrmCZ_M; }, [] { return new TfrmDH_M; },
                 [] { return new TfrmJH_M; }, [] { return new TfrmTH_MX; }, [] { return new TfrmBB_D; },
                 [] { return new TfrmMember_M; }, [] { return new TfrmM_Q; }, [] { return new TfrmShop_M; },
                 [] { return new TfrmKC; }}) {
        std::unique_ptr<velmora::TListFrame> w(make());
        EXPECT_GT(expectBoxesShowTheirEntries(*w), 0) << w->metaObject()->className();
        EXPECT_LE(w->minimumSizeHint().width(), 1000) << w->metaObject()->className();
    }
}

}  // namespace
