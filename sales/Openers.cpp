#include "sales/Openers.h"

#include "platform/ui/modal.h"
#include "sales/SType.h"
#include "sales/Shop_In.h"
#include "sales/XF_In.h"

namespace sales {

void openSType(QWidget *owner)
{
    TfrmSType w(owner);
    ui::showModal(&w);
}

void openShopIn(QWidget *owner)
{
    TfrmShop_In w(owner);
    w.Lab_ID->setText(QStringLiteral("0"));
    ui::showModal(&w);
}

void openXF_In(QWidget *owner)
{
    TfrmXF_In w(owner);
    ui::showModal(&w);
}

void openXF_InForCard(QWidget *owner, const QString &card)
{
    TfrmXF_In w(owner);
    w.Ed_Num->setText(card);
    w.myFrom = QStringLiteral("m");
    ui::showModal(&w);
}

void openShopEdit(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave)
{
    TfrmShop_In w(owner);
    w.myLoad(goodsId);
    w.onChanged = afterSave;
    ui::showModal(&w);
}

void openShopPY(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave)
{
    TfrmShop_PY w(owner);
    w.myLoad(goodsId);
    w.onChanged = afterSave;
    ui::showModal(&w);
}

}  // namespace sales
