#pragma once
// Purchase entry "进货录入" and return entry "退货录入": one window with the
// supplier, the goods grid (price, quantity, amount per line), the totals,
// payment method, employee, date and remark.  "保存" hands a draft to the
// save routine, which writes everything in one transaction; the document
// prints after the commit when the shop asks for it.

#include "platform/ui/form.h"
#include "platform/ui/lookupcombo.h"
#include "sales/GYS.h"
#include "sales/GoodsRecord.h"
#include "sales/StockStore.h"
#include "sales/StringGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TfrmStockIn : public ui::Form, public SupplierTarget, public GoodsTarget {
    Q_OBJECT
public:
    ~TfrmStockIn() override;

    enum { cNo, cCode, cName, cUnit, cPrice, cCount, cMoney, cID, cType, cPY, cKC, c11, c12, cColumns };

    void myNew();
    void myDelStr();
    void myFindGYS();
    void Edit1Change();
    void myFindSP();
    void StringGrid1KeyPress(QChar &key);
    void StringGrid1KeyUp();
    void mySumMoney();
    void D1Click();  // 删除本行
    void A1Click();  // 全部删除
    void BitBtn1Click();

    void lookupTaken(const SupplierRecord &s, ui::LookupOrigin origin) override;
    void lookupTaken(const GoodsRecord &g, ui::LookupOrigin origin) override;

    QLineEdit *Edit1;  // 供应商
    StringGrid *StringGrid1;
    QMenu *PopupMenu1;
    QAction *D1, *A1;
    QDateEdit *DateTimePicker1;
    QLineEdit *Edit2, *Edit3;               // 合计数量, 合计金额
    ui::LookupComboBox *DBLookupComboBox1;  // 付款方式
    ui::LookupComboBox *DBLookupComboBox2;  // 员工姓名
    QLineEdit *Edit4;                       // 备注
    QCheckBox *CheckBox1;                   // 连续新增
    QPushButton *BitBtn1, *BitBtn2;

    QString myDID, myDName;
    sales::StockKind kind() const { return m_kind; }
    QString tag() const;
    QString lastNumber() const { return m_lastNumber; }

protected:
    TfrmStockIn(sales::StockKind kind, QWidget *parent);

private:
    bool hasGoods(int row) const { return !StringGrid1->Cells(cID, row).isEmpty(); }
    sales::StockDraft draft() const;
    sales::StockKind m_kind;
    QString m_lastNumber;
};

class TfrmJH_In : public TfrmStockIn {
    Q_OBJECT
public:
    explicit TfrmJH_In(QWidget *parent = nullptr);
    ~TfrmJH_In() override;
};

class TfrmTH_In : public TfrmStockIn {
    Q_OBJECT
public:
    explicit TfrmTH_In(QWidget *parent = nullptr);
    ~TfrmTH_In() override;
};

inline TfrmJH_In *frmJH_In = nullptr;
inline TfrmTH_In *frmTH_In = nullptr;

namespace sales {
void openJH_In(QWidget *owner);
void openTH_In(QWidget *owner);
}  // namespace sales
