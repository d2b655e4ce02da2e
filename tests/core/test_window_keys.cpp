// The remaining administration windows used with the keyboard alone: the
// rights editor, the imports, the background picture, backup and restore,
// and the about box.  Enter and Esc change nothing except where a window
// names a default.
#include "core/BImage.h"
#include "core/Backup.h"
#include "core/Imports.h"
#include "core/User.h"
#include "core/main.h"
#include "keys.h"
#include "platform/ui/modal.h"
#include "shopdb.h"

#include <QDir>
#include <QListWidget>

namespace {

class WindowKeysTest : public ShopDbTest {
protected:
    void SetUp() override
    {
        ShopDbTest::SetUp();
        velmora::FindDept();
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
};

TEST_F(WindowKeysTest, AdministrationDialogsChangeNothingOnEnterOrEsc)
{
    ui::ScriptedModals modals;
    const auto state = [this] { return snapshot() + files(); };
    // The windows that open in their path or file field.
    const auto inEdit1 = [&](auto &w) {
        w.show();
        EXPECT_EQ(w.focusWidget(), w.Edit1);
        expectKeysChangeNothing(w, state);
    };
    {
        TfrmLevel w;
        w.setUser("admin", one("select ID from SUser where theName='admin'"));
        w.CheckListBox1->setCurrentRow(0);
        w.show();
        EXPECT_EQ(w.focusWidget(), w.CheckListBox1);
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmBImage w;
        w.myFolder = dir.path() + "/";
        inEdit1(w);
    }
    {
        TfrmIn_M members;
        expectKeysChangeNothing(members, state);
        TfrmIn_S goods;
        expectKeysChangeNothing(goods, state);
        TfrmIn_G suppliers;
        expectKeysChangeNothing(suppliers, state);
    }
    {
        TfrmBackup backup;
        inEdit1(backup);
        TfrmRecover recover;
        inEdit1(recover);
    }
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
}

TEST_F(WindowKeysTest, TheAboutBoxClosesOnEnterThroughItsNamedDefaultOnly)
{
    TfrmAbout w;
    w.show();
    expectOnlyTheNamedDefault(w);
    EXPECT_EQ(w.defaultButton(), w.OKButton);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

}  // namespace
