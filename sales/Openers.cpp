#include "sales/Openers.h"

#include "members/Modal.h"
#include "sales/SType.h"
#include "sales/Shop_In.h"
#include "sales/XF_In.h"

namespace sales {

void openSType(QWidget *owner)
{
    TfrmSType w(owner);
    members::showModal(&w);
}

void openShopIn(QWidget *owner)
{
    TfrmShop_In w(owner);
    w.Lab_ID->setText(QStringLiteral("0"));
    members::showModal(&w);
}

void openXF_In(QWidget *owner)
{
    TfrmXF_In w(owner);
    members::showModal(&w);
}

void openXF_InForCard(QWidget *owner, const QString &card)
{
    TfrmXF_In w(owner);
    w.Ed_Num->setText(card);
    w.myFrom = QStringLiteral("m");
    members::showModal(&w);
}

void openShopEdit(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave)
{
    TfrmShop_In w(owner);
    w.myLoad(goodsId);
    w.onChanged = afterSave;
    members::showModal(&w);
}

void openShopPY(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave)
{
    TfrmShop_PY w(owner);
    w.myLoad(goodsId);
    w.onChanged = afterSave;
    members::showModal(&w);
}

}  // namespace sales
