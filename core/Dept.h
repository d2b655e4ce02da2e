#pragma once
// The shop settings: the one row of SDept with the shop's name, phone,
// address and advertising line, the printing, points and stock switches and
// the defaults of new records.  Saving refreshes the running program's
// settings at once.

#include "platform/ui/form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace ui {
class LookupComboBox;
}

class TfrmDept : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmDept(QWidget *parent = nullptr);
    ~TfrmDept() override;

    void FormCreate();
    void FormShow() override;
    void CheckBox4Click();
    void CheckBox8Click();
    void BitBtn1Click();  // 保存

    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3, *DBLookupComboBox4,
            *DBLookupComboBox5, *DBLookupComboBox6;
    QPushButton *BitBtn1, *BitBtn2;
};

inline TfrmDept *frmDept = nullptr;
