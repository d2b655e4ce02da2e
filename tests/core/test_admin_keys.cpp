// The administration windows used with the keyboard alone: Enter and Esc in
// any field neither save nor close, except where a window names its default;
// Tab follows the window as it is seen.
#include "core/Dept.h"
#include "core/NameLists.h"
#include "core/User.h"
#include "keys.h"
#include "platform/ui/lookupcombo.h"
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
        expectTabReachesEveryFieldOnce(w);
    }
    {
        TfrmSMType w;
        expectKeysChangeNothing(w, state);
        expectTabReachesEveryFieldOnce(w);
    }
    {
        TfrmUser w;
        expectKeysChangeNothing(w, state);
        expectTabReachesEveryFieldOnce(w);
    }
    {
        TfrmCPass w;
        expectKeysChangeNothing(w, state);
        expectTabReachesEveryFieldOnce(w);
    }
}

TEST_F(AdminKeysTest, TabFollowsTheShopSettingsAsTheyAreSeen)
{
    TfrmDept w;
    const QList<QWidget *> chain{w.Edit1,
                                 w.Edit2,
                                 w.Edit3,
                                 w.Edit4,
                                 w.CheckBox1,
                                 w.CheckBox2,
                                 w.CheckBox3,
                                 w.CheckBox4,
                                 w.CheckBox5,
                                 w.CheckBox6,
                                 w.CheckBox7,
                                 w.CheckBox8,
                                 w.DBLookupComboBox2,
                                 w.DBLookupComboBox1,
                                 w.DBLookupComboBox3,
                                 w.DBLookupComboBox4,
                                 w.DBLookupComboBox5,
                                 w.DBLookupComboBox6,
                                 w.BitBtn1,
                                 w.BitBtn2};
    expectTabChain(w, chain);
}

// After "保存" the name field is ready for the next name.
TEST_F(AdminKeysTest, NameListsPutTheFocusBackOnTheNameAfterSaving)
{
    TfrmWorker workers;
    TfrmSMType payments;
    TfrmSSex sexes;
    int n = 0;
    for (TfrmNameList *w : std::initializer_list<TfrmNameList *>{&workers, &payments, &sexes}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->show();
        QApplication::setActiveWindow(w);
        w->Edit1->setFocus();
        QTest::keyClicks(w->Edit1, QStringLiteral("n%1").arg(++n));
        w->BitBtn2->setFocus();
        QTest::keyClick(w->BitBtn2, Qt::Key_Return);
        EXPECT_EQ(msgs.count(), n) << msgs.last().toStdString();
        EXPECT_EQ(QApplication::focusWidget(), w->Edit1);
        const QList<QWidget *> expected{w->Edit1, w->Edit2, w->BitBtn1, w->BitBtn2, w->BitBtn3, w->DBGrid1};
        const QList<QWidget *> chain = tabChain();
        EXPECT_EQ(chain, expected) << describeChain(chain);
    }
}

}  // namespace
