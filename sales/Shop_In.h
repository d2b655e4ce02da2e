#pragma once
// Goods entry: the goods entry window (new item or change of one), the quick
// entry opened from a sale, purchase or return when a code is not found, and
// the pinyin code window of one item.

#include "platform/ui/form.h"
#include "platform/ui/lookupcombo.h"
#include "sales/GoodsRecord.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

// The fields and the checks shared by TfrmShop_In and TfrmNewShop.
class TfrmShopEntry : public ui::Form {
    Q_OBJECT
public:
    ui::LookupComboBox *DBLookupComboBox1;
    QLineEdit *Edit3;  // 商品编码
    QLineEdit *Edit1;  // 商品名称
    QLineEdit *Edit2;  // 单位
    QLineEdit *Edit4;  // 单价
    QLineEdit *Edit6;  // 成本
    QLineEdit *Edit5;  // 备注
    QGroupBox *GroupBox1;
    QPushButton *BitBtn1, *BitBtn2;

protected:
    explicit TfrmShopEntry(QWidget *parent);
    // The fields above, the buttons right-aligned below them (an option to their left).
    void layOut(QWidget *option = nullptr);
    // Checks in order, then writes the item (a new one when id is "0").
    // Returns false when a check refused.  The values written are kept below.
    bool saveItem(const QString &id);
    QString m_py, m_kc;
};

class TfrmShop_In : public TfrmShopEntry {
    Q_OBJECT
public:
    explicit TfrmShop_In(QWidget *parent = nullptr);
    ~TfrmShop_In() override;

    void FormShow() override;
    void BitBtn1Click();
    // Change mode for the goods list: fills every field from the item.
    void myLoad(const QString &id);

    QLabel *Lab_ID;
    QCheckBox *CheckBox1;  // 连续新增
    QCheckBox *CheckBox2;  // 同样单位
    // Run after an item was changed (the goods list refreshes itself).
    std::function<void()> onChanged;
};

class TfrmNewShop : public TfrmShopEntry {
    Q_OBJECT
public:
    explicit TfrmNewShop(QWidget *parent = nullptr);
    ~TfrmNewShop() override;

    void BitBtn1Click();

    QString myMType;                  // the caller's member type
    GoodsTarget *receiver = nullptr;  // where the new item goes
};

class TfrmShop_PY : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmShop_PY(QWidget *parent = nullptr);
    ~TfrmShop_PY() override;

    // Fills the read-only fields and the code from the item.
    void myLoad(const QString &id);
    void BitBtn1Click();

    QGroupBox *GroupBox1, *GroupBox2;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6;  // type, code, name, unit, price, cost
    QLineEdit *Edit7;
    QLabel *Lab_ID;
    QPushButton *BitBtn1, *BitBtn2;
    std::function<void()> onChanged;
};

inline TfrmShop_In *frmShop_In = nullptr;
inline TfrmNewShop *frmNewShop = nullptr;
inline TfrmShop_PY *frmShop_PY = nullptr;
