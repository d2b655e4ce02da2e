// The openers other windows use: each shows its window prepared as the opener must.
#include "fixture.h"

#include "sales/Openers.h"
#include "sales/SType.h"
#include "sales/Shop_In.h"
#include "sales/XF_In.h"

namespace {

class OpenersTest : public SalesTest {};

TEST_F(OpenersTest, EachOpenerShowsItsWindowPrepared)
{
    addCategory("饮料");
    const QString id = addGoods("a1", "可乐", "饮料", "3");
    addMember("26000001", "张三");
    QStringList seen;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *x = qobject_cast<TfrmXF_In *>(d)) seen << "XF:" + x->Edit3->text();
        if (auto *s = qobject_cast<TfrmShop_In *>(d))
            seen << "Shop:" + s->Lab_ID->text() + ":" + s->Edit1->text() + ":" + s->Edit3->text() + ":" +
                            (s->CheckBox1->isVisibleTo(s) ? "连续" : "");
        if (auto *p = qobject_cast<TfrmShop_PY *>(d)) seen << "PY:" + p->Edit7->text();
        if (qobject_cast<TfrmSType *>(d)) seen << "SType";
        return 0;
    });
    sales::openSType(nullptr);
    sales::openShopIn(nullptr);
    sales::openXF_In(nullptr);
    sales::openXF_InForCard(nullptr, "26000001");
    sales::openShopEdit(nullptr, id);
    sales::openShopPY(nullptr, id);
    EXPECT_EQ(seen,
              QStringList({"SType", "Shop:0::2603070001:连续", "XF:", "XF:张三", "Shop:" + id + ":可乐:a1:", "PY:A1"}));
}

TEST_F(OpenersTest, ChangedGoodsRefreshTheCaller)
{
    addCategory("饮料");
    const QString id = addGoods("a1", "可乐", "饮料", "3");
    int refreshed = 0;
    ui::ScriptedModals modals([](QDialog *d) {
        if (auto *p = qobject_cast<TfrmShop_PY *>(d)) {
            p->Edit7->setText("KL");
            p->BitBtn1Click();
        }
        return d->result();
    });
    sales::openShopPY(nullptr, id, [&] { ++refreshed; });
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(one("select thePY from SShop where ID=" + id), "KL");
}

}  // namespace
