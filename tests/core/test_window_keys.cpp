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
#include <QTableView>

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

// The grid of a read workbook keeps the arrow keys; Tab and Shift+Tab go on
// to the window's other controls.
TEST_F(WindowKeysTest, TabLeavesTheImportGridArrowsMoveInIt)
{
    const excel::Sheet sheet(QStringLiteral("t.xlsx"), {{1, {"a", "b"}}, {2, {"1", "2"}}, {3, {"3", "4"}}});
    TfrmIn_M members;
    TfrmIn_S goods;
    TfrmIn_G suppliers;
    for (TfrmImport *w : std::initializer_list<TfrmImport *>{&members, &goods, &suppliers}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->setSheet(sheet);
        const QList<QWidget *> chain = tabChainOf(*w, w->DBGrid1);
        for (QWidget *b : {w->BitBtn1, w->BitBtn2, w->BitBtn3}) EXPECT_TRUE(chain.contains(b)) << describeChain(chain);
        EXPECT_EQ(chain.last(), w->BitBtn1) << describeChain(chain);
        w->DBGrid1->setFocus();
        QTest::keyClick(w->DBGrid1, Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(focusedControl(), w->BitBtn1);
        w->DBGrid1->setFocus();
        w->DBGrid1->setCurrentIndex(w->DBGrid1->model()->index(0, 0));
        QTest::keyClick(w->DBGrid1, Qt::Key_Down);
        EXPECT_EQ(w->DBGrid1->currentIndex().row(), 1);
        EXPECT_EQ(focusedControl(), w->DBGrid1);
    }
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
