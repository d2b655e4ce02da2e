#pragma once
// Gift exchange "兑换录入": the member, the gift (from the gifts list or
// typed by hand), the count; "保存" checks the points and an earlier
// exchange of the same gift, then stores it in one transaction and prints
// the receipt after the commit when asked.

#include "members/AccountEntry.h"
#include "platform/ui/lookupcombo.h"

#include <QDateEdit>

class TfrmDH_In : public members::AccountEntry {
    Q_OBJECT
public:
    explicit TfrmDH_In(QWidget *parent = nullptr);
    ~TfrmDH_In() override;

    void myNew() override;
    void myFindLP();
    void BitBtn1Click() override;

    QDateEdit *DateTimePicker1;             // 兑换日期
    QLineEdit *Edit17;                      // 礼品名称
    QLineEdit *Edit18;                      // 所需积分
    QLineEdit *Edit19;                      // 兑换数量
    ui::LookupComboBox *DBLookupComboBox1;  // 员工姓名
    QLineEdit *Edit20;                      // 备注

protected:
    QWidget *afterMember() const override { return Edit17; }
};

inline TfrmDH_In *frmDH_In = nullptr;
