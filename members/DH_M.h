#pragma once
// The exchange list "兑换查询": filters, the live exchanges newest first with
// their count and total points; from a row the receipt again, the member,
// or the deletion that gives the points back.

#include "members/AccountList.h"
#include "platform/excel/exportlayout.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
namespace ui {
class LookupComboBox;
}

class TfrmDH_M : public members::AccountList {
    Q_OBJECT
public:
    explicit TfrmDH_M(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7;
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;  // 会员卡号, 礼品名称, 备注, 单号
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2;
};

namespace members {
excel::ExportLayout exchangeListLayout();
}
