#pragma once
// Stored-value recharge "储值录入": the member, the amount paid in and the
// bonus, how it was paid; "保存" stores it in one transaction and prints the
// receipt after the commit when asked.

#include "members/AccountEntry.h"
#include "platform/ui/lookupcombo.h"

#include <QDateEdit>

class TfrmCZ_In : public members::AccountEntry {
    Q_OBJECT
public:
    explicit TfrmCZ_In(QWidget *parent = nullptr);
    ~TfrmCZ_In() override;

    void myNew() override;
    void BitBtn1Click() override;

    QDateEdit *DateTimePicker1;             // 储值日期
    QLineEdit *Edit17;                      // 储值金额
    QLineEdit *Edit18;                      // 赠送金额
    ui::LookupComboBox *DBLookupComboBox3;  // 收款方式
    ui::LookupComboBox *DBLookupComboBox2;  // 收款人
    ui::LookupComboBox *DBLookupComboBox1;  // 员工姓名
    QLineEdit *Edit20;                      // 备注

protected:
    QWidget *afterMember() const override { return Edit17; }
};

inline TfrmCZ_In *frmCZ_In = nullptr;
