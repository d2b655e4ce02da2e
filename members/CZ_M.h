#pragma once
// The recharge list "储值查询": filters, the live recharges newest first with
// their count and sums; from a row the receipt again, the member, or the
// deletion that takes the amount and bonus off the balance.

#include "members/AccountList.h"
#include "platform/excel/exportlayout.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
namespace ui {
class LookupComboBox;
}

class TfrmCZ_M : public members::AccountList {
    Q_OBJECT
public:
    explicit TfrmCZ_M(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QLineEdit *Edit1, *Edit2, *Edit3;  // 会员卡号, 备注, 单号
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3, *DBLookupComboBox4;
};

namespace members {
excel::ExportLayout rechargeListLayout();
}  // namespace members
