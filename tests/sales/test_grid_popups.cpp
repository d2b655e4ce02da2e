// The right-click menus of the settings windows' grids act on the row that
// was right-clicked, whichever row was current before.
#include "core/NameLists.h"
#include "core/User.h"
#include "fixture.h"
#include "members/LP.h"
#include "members/MTS.h"
#include "members/MType.h"
#include "members/ZJJF.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/modal.h"
#include "sales/GYS.h"
#include "sales/SType.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>
#include <memory>

namespace {

// A right-click at pos of the grid, as the desktop delivers it: the press,
// then the context-menu request.  The menu that opened, or null.
QMenu *rightClick(QAbstractItemView *view, const QPoint &pos)
{
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, pos);
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view->viewport(), &e);
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

QPoint rowPoint(QAbstractItemView *view, int row)
{
    return view->visualRect(view->model()->index(row, 0)).center();
}

// Picks the menu item as the user would and closes the menu.
void choose(QMenu *menu, const QString &text)
{
    QAction *picked = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == text) picked = a;
    menu->close();
    ASSERT_NE(picked, nullptr) << text.toStdString();
    picked->trigger();
}

struct PopupCase {
    QString name;
    QString table;
    QString item;
    std::function<std::unique_ptr<ui::Form>()> open;
    std::function<ui::DBGrid *(ui::Form *)> grid;
};

class GridPopupTest : public SalesTest {
protected:
    QString rowOf(const QString &table, const QString &id)
    {
        return rows("select * from " + table + " where ID=" + id).join(";");
    }
};

TEST_F(GridPopupTest, RightClickActsOnTheRowClickedInEveryWindowWithAGridPopup)
{
    exec("INSERT INTO ULP (theName,theJF,Remark,theState,thePY,theDel) VALUES ('cup',10,'','启用','CUP','否')");
    exec("INSERT INTO ULP (theName,theJF,Remark,theState,thePY,theDel) VALUES ('umbrella',20,'','启用','U','否')");
    addType("银卡", "95", "1");
    addType("金卡", "90", "1");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','饮料',95,1)");
    exec("INSERT INTO MTS (MType,SType,theZK,theJF) VALUES ('金卡','食品',90,1)");
    addMember("M1", "甲");
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('M1','结婚','2001-03-05','')");
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('M1','入会','2001-06-05','')");
    addCategory("饮料");
    addCategory("食品");
    for (const char *t : {"SWorker", "SMType"}) {
        exec(QString("INSERT INTO %1 (theName,Remark,theState) VALUES ('甲一','','启用')").arg(t));
        exec(QString("INSERT INTO %1 (theName,Remark,theState) VALUES ('乙二','','启用')").arg(t));
    }
    exec("DELETE FROM SSex");
    exec("INSERT INTO SSex (theName,Remark) VALUES ('男','')");
    exec("INSERT INTO SSex (theName,Remark) VALUES ('女','')");
    exec("INSERT INTO SUser (theName,thePass,Remark,theState,theDel) VALUES ('小王','270946','','启用','否')");

    const QList<PopupCase> cases = {
            {"礼品管理", "ULP", "停用 &T", [] { return std::make_unique<TfrmLP>(); },
             [](ui::Form *f) { return static_cast<TfrmLP *>(f)->DBGrid1; }},
            {"礼品管理", "ULP", "删除 &D", [] { return std::make_unique<TfrmLP>(); },
             [](ui::Form *f) { return static_cast<TfrmLP *>(f)->DBGrid1; }},
            {"会员分类", "MType", "停用 &T", [] { return std::make_unique<TfrmMType>(); },
             [](ui::Form *f) { return static_cast<TfrmMType *>(f)->DBGrid1; }},
            {"会员分类", "MType", "修改 &M", [] { return std::make_unique<TfrmMType>(); },
             [](ui::Form *f) { return static_cast<TfrmMType *>(f)->DBGrid1; }},
            {"商品分类享受折扣", "MTS", "修改 &M",
             [] { return std::make_unique<TfrmMTS_ZKJF>(nullptr, QString("金卡"), QString("90")); },
             [](ui::Form *f) { return static_cast<TfrmMTS_ZKJF *>(f)->DBGrid1; }},
            {"纪念日管理", "MJN", "删除 &D",
             [] {
                 auto w = std::make_unique<TfrmMJN>();
                 w->myNum = "M1";
                 return w;
             },
             [](ui::Form *f) { return static_cast<TfrmMJN *>(f)->DBGrid1; }},
            {"商品分类", "SType", "停用 &T", [] { return std::make_unique<TfrmSType>(); },
             [](ui::Form *f) { return static_cast<TfrmSType *>(f)->DBGrid1; }},
            {"员工管理", "SWorker", "停用 &T", [] { return std::make_unique<TfrmWorker>(); },
             [](ui::Form *f) { return static_cast<TfrmNameList *>(f)->DBGrid1; }},
            {"收款方式", "SMType", "停用 &T", [] { return std::make_unique<TfrmSMType>(); },
             [](ui::Form *f) { return static_cast<TfrmNameList *>(f)->DBGrid1; }},
            {"性别", "SSex", "删除 &D", [] { return std::make_unique<TfrmSSex>(); },
             [](ui::Form *f) { return static_cast<TfrmNameList *>(f)->DBGrid1; }},
            {"用户管理", "SUser", "停用 &T", [] { return std::make_unique<TfrmUser>(); },
             [](ui::Form *f) { return static_cast<TfrmNameList *>(f)->DBGrid1; }},
    };
    // The edit windows opened from a popup change what they were opened on.
    ui::ScriptedModals modals([](QDialog *d) {
        if (auto *e = qobject_cast<TfrmMType_M *>(d)) {
            e->Edit5->setText("改过");
            e->BitBtn1Click();
        } else if (auto *e = qobject_cast<TfrmMTS_M *>(d)) {
            e->Edit1->setText("80");
            e->BitBtn1Click();
        }
        return d->result();
    });

    for (const PopupCase &pc : cases) {
        SCOPED_TRACE((pc.name + " " + pc.item).toStdString());
        std::unique_ptr<ui::Form> w = pc.open();
        w->resize(700, 600);
        w->show();
        ui::DBGrid *grid = pc.grid(w.get());
        vdb::Query *q = grid->query();
        ASSERT_NE(q, nullptr);
        ASSERT_GE(q->RecordCount(), 2);
        const int idCol = q->FieldIndex("ID");
        const QString first = q->text(0, idCol), second = q->text(1, idCol);
        ASSERT_EQ(grid->currentRowIndex(), 0);
        const QString firstBefore = rowOf(pc.table, first), secondBefore = rowOf(pc.table, second);

        // Below the rows: no row action is offered.
        const QPoint below(10, grid->viewport()->height() - 3);
        ASSERT_FALSE(grid->indexAt(below).isValid());
        QMenu *none = rightClick(grid, below);
        EXPECT_EQ(none, nullptr);
        if (none) none->close();

        QMenu *menu = rightClick(grid, rowPoint(grid, 1));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(grid->currentRowIndex(), 1);
        choose(menu, pc.item);
        EXPECT_EQ(rowOf(pc.table, first), firstBefore);
        EXPECT_NE(rowOf(pc.table, second), secondBefore);
    }
}

// The list windows' menus too: the row clicked, nothing below the rows.
TEST_F(GridPopupTest, ListWindowsActOnTheRowClickedAndOfferNothingBelowTheRows)
{
    for (const char *name : {"甲厂", "乙厂"})
        exec(QString("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) "
                     "VALUES ('%1','','','','','X','否')")
                     .arg(QString::fromUtf8(name)));
    TfrmGYS_M w;
    w.resize(900, 700);
    w.show();
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    w.selectRow(0);
    const QString first = w.field("供应商");
    w.selectRow(1);
    const QString second = w.field("供应商");
    w.selectRow(0);
    const QPoint below(10, w.DBGrid1->viewport()->height() - 3);
    ASSERT_FALSE(w.DBGrid1->indexAt(below).isValid());
    QMenu *none = rightClick(w.DBGrid1, below);
    EXPECT_EQ(none, nullptr);
    if (none) none->close();
    QMenu *menu = rightClick(w.DBGrid1, rowPoint(w.DBGrid1, 1));
    ASSERT_NE(menu, nullptr);
    choose(menu, "注销 &D");
    EXPECT_EQ(one("select theDel from SSup where theName='" + second + "'"), "是");
    EXPECT_EQ(one("select theDel from SSup where theName='" + first + "'"), "否");
}

// The context-menu key opens the menu on the current row.
TEST_F(GridPopupTest, ContextMenuKeyActsOnTheCurrentRow)
{
    exec("INSERT INTO ULP (theName,theJF,Remark,theState,thePY,theDel) VALUES ('cup',10,'','启用','CUP','否')");
    exec("INSERT INTO ULP (theName,theJF,Remark,theState,thePY,theDel) VALUES ('umbrella',20,'','启用','U','否')");
    TfrmLP w;
    w.show();
    QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, rowPoint(w.DBGrid1, 1));
    ASSERT_EQ(w.DBGrid1->currentRowIndex(), 1);
    const QPoint at = w.DBGrid1->visualRect(w.DBGrid1->currentIndex()).center();
    QContextMenuEvent e(QContextMenuEvent::Keyboard, at, w.DBGrid1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(w.DBGrid1->viewport(), &e);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    choose(menu, "停用 &T");
    EXPECT_EQ(one("select theState from ULP where theName='umbrella'"), "停用");
    EXPECT_EQ(one("select theState from ULP where theName='cup'"), "启用");
}

}  // namespace
