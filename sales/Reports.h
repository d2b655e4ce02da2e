#pragma once
// The payments list "消费收款查询" (every payment of an undeleted sale) and
// the sale statistics "消费统计" (sales summed per sale type and employee).

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QDateEdit;
class QLineEdit;
namespace ui {
class LookupComboBox;
}

class TfrmXF_SKQ : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmXF_SKQ(QWidget *parent = nullptr);

    // 消费日期, 收款日期, 会员卡号, 类型, 单号, 收款人, 员工姓名, 收款方式, 会员卡
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8,
            *CheckBox9;
    QDateEdit *DateTimePicker1, *DateTimePicker2, *DateTimePicker3, *DateTimePicker4;
    QLineEdit *Edit1, *Edit3;
    QComboBox *ComboBox2;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3;  // cashier, worker, method
    QGroupBox *GroupBox2;  // "收款方式": the method, its list and "会员卡"
};

class TfrmXF_TJ : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmXF_TJ(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3;  // 营业日期, 类型, 员工姓名
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QComboBox *ComboBox2;
    ui::LookupComboBox *DBLookupComboBox2;
};

namespace sales {
excel::ExportLayout paymentListLayout();
excel::ExportLayout saleStatisticsLayout();
}  // namespace sales
