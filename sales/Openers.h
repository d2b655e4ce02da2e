#pragma once
// How other windows open the sales windows of this folder: each creates the
// window with the opener as owner, prepares it as the opener must, shows it
// modally and frees it afterwards.
//
//   main menu "商品分类 &T"                     openSType
//   main menu / toolbar "商品录入 &I"           openShopIn
//   main menu / toolbar "消费录入 &I"           openXF_In
//   member list popup "消费录入 &1"             openXF_InForCard
//   goods list popup "查看 &V"                  openShopEdit
//   goods list popup (pinyin code)              openShopPY
//   sale/purchase/return, several goods found   TfrmFindShop (FindShop.h), run by the entry window
//   sale/purchase/return, no goods found        TfrmNewShop (Shop_In.h), run by the entry window

#include <QString>
#include <functional>

class QWidget;

namespace sales {

void openSType(QWidget *owner);
void openShopIn(QWidget *owner);
void openXF_In(QWidget *owner);
// The sale entry with the member of the card already looked up.
void openXF_InForCard(QWidget *owner, const QString &card);
// afterSave runs after a saved change (the goods list refreshes itself there).
void openShopEdit(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave = {});
void openShopPY(QWidget *owner, const QString &goodsId, const std::function<void()> &afterSave = {});

}  // namespace sales
