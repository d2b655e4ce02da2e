#pragma once
// Sale entry "消费录入": the member (or a walk-in customer), the goods grid
// with the member type's discount per category, the bill's extra discount
// and reduction, the amount received and how it is paid; "保存" stores the
// sale in one transaction and prints its receipt after the commit.

#include "members/MemberPanel.h"
#include "members/MemberRecord.h"
#include "platform/ui/form.h"
#include "platform/ui/lookupcombo.h"
#include "sales/GoodsRecord.h"
#include "sales/StringGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TfrmXF_In : public ui::Form, public ui::LookupTarget<members::MemberRecord>, public GoodsTarget {
    Q_OBJECT
public:
    explicit TfrmXF_In(QWidget *parent = nullptr);
    ~TfrmXF_In() override;

    // Grid columns.
    enum { cNo, cCode, cName, cUnit, cPrice, cCount, cZK, cMoney, cID, cType, cPY, cCB, cKC, cStock, cColumns };

    void FormShow() override;
    void myNew();
    void myFind();
    void myFindSP();
    void mySumMoney();
    void mySum();
    void myDelStr();
    void StringGrid1KeyPress(QChar &key);
    void StringGrid1KeyUp();
    void CheckBox1Click();
    void N1Click();  // 删除本行
    void N2Click();  // 全部删除
    void BitBtn1Click();

    // The filled member or goods row comes back here from the lookups.
    void lookupTaken(const members::MemberRecord &m, ui::LookupOrigin origin) override;
    void lookupTaken(const GoodsRecord &g, ui::LookupOrigin origin) override;

    QLineEdit *Ed_Num;
    QCheckBox *CheckBox1;  // 散客消费
    members::MemberPanel *Panel;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10, *Edit11, *Edit12,
            *Edit13, *Edit14, *Edit15, *Edit16, *Edit22, *Edit23, *Edit24, *Edit26;
    StringGrid *StringGrid1;
    QMenu *PopupMenu1;
    QAction *N1, *N2;
    QDateEdit *DateTimePicker1;
    QLineEdit *Edit25;                      // 商品数量
    QLineEdit *Edit17;                      // 商品金额
    QLineEdit *Edit21;                      // 折上折
    QLineEdit *Edit18;                      // 折让金额
    QLineEdit *Edit19;                      // 合计金额
    QLineEdit *Edit27;                      // 收款金额
    ui::LookupComboBox *DBLookupComboBox3;  // 收款方式
    QCheckBox *CheckBox4;                   // 会员卡
    ui::LookupComboBox *DBLookupComboBox2;  // 收款人
    ui::LookupComboBox *DBLookupComboBox1;  // 员工姓名
    QLineEdit *Edit20;                      // 备注
    QCheckBox *CheckBox2;                   // 连续新增
    QCheckBox *CheckBox3;                   // 本次积分
    QPushButton *BitBtn1, *BitBtn2;

    QString myFrom;
    QString myJSRNum;
    QString myPassState;
    // The number of the last sale stored by this window ("" before the first).
    QString lastSaleNumber() const { return m_lastNumber; }

private:
    bool hasGoods(int row) const { return !StringGrid1->Cells(cID, row).isEmpty(); }
    void clearRow(int row);
    // The member's card password prompt; true when the password was verified.
    bool askCardPassword(const QString &card, const QString &name);
    QString m_lastNumber;
};

inline TfrmXF_In *frmXF_In = nullptr;

// The number in an amount field or cell; whenEmpty for an empty one.  Throws
// velmora::ConversionError for a text that is not a number.
double fieldNumber(const QString &text, double whenEmpty = 0);
