// The administration windows used with the keyboard alone: Enter and Esc in
// any field neither save nor close, except where a window names its default.
#include "core/Dept.h"
#include "core/NameLists.h"
#include "core/User.h"
#include "keys.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

namespace {

class AdminKeysTest : public ShopDbTest {};

TEST_F(AdminKeysTest, AdministrationWindowsSaveNothingOnEnterOrEsc)
{
    ui::ScriptedModals modals;
    const auto state = [this] { return snapshot(); };
    {
        // "保存" is the shop settings' named default: Enter saves there, and
        // no other button takes Enter.
        TfrmDept w;
        w.show();
        expectOnlyTheNamedDefault(w);
        EXPECT_EQ(w.defaultButton(), w.BitBtn1);
    }
    {
        TfrmWorker w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmSMType w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmUser w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmCPass w;
        expectKeysChangeNothing(w, state);
    }
}

}  // namespace
