#pragma once
// The recharge list "储值查询": filters, the live recharges newest first with
// their count and sums; from a row the receipt again, the member, or the
// deletion that takes the amount and bonus off the balance.

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"

#include <functional>

class QAction;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QMenu;
namespace ui {
class LookupComboBox;
}

class TfrmCZ_M : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmCZ_M(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QLineEdit *Edit1, *Edit2, *Edit3;  // 会员卡号, 备注, 单号
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3, *DBLookupComboBox4;
    QAction *P1, *M1, *D1;

    void P1Click();
    void M1Click();
    void D1Click();
    void showForCard(const QString &card) override;
};

namespace members {
excel::ExportLayout rechargeListLayout();
// A popup item of a list window with its guarded handler.
QAction *listAction(QMenu *menu, QWidget *owner, const QString &text, std::function<void()> handler);
}  // namespace members
