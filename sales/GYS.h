#pragma once
// Suppliers: the list "供应商查询", the entry "供应商录入" (new, changed, or
// quick entry from a purchase or a return) and the search "供应商查找" that
// the purchase and return entries open to pick one.

#include "core/ListFrame.h"
#include "platform/ui/form.h"
#include "platform/ui/lookupform.h"
#include "platform/ui/lookuptarget.h"

#include <QString>
#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;

// A supplier as the search and the entry hand it to their opener.
struct SupplierRecord {
    QString id, name;
};
using SupplierTarget = ui::LookupTarget<SupplierRecord>;

class TfrmGYS_M : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmGYS_M(QWidget *parent = nullptr);
    ~TfrmGYS_M() override;

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;
    QAction *D1, *D2;

    void myRef() { Ref(); }
    void D1Click();  // 修改
    void D2Click();  // 注销
};

class TfrmGYS_In : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmGYS_In(QWidget *parent = nullptr);
    ~TfrmGYS_In() override;

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;
    QCheckBox *CheckBox1;  // 连续新增
    QPushButton *BitBtn1, *BitBtn2;
    QString myID = QStringLiteral("0");  // the supplier changed, "0" for a new one
    QString myTag;                       // "JH", "TH" or another opener
    SupplierTarget *receiver = nullptr;  // the purchase or return entry
    std::function<void()> onChanged;     // the list refreshes after a change

    // Change mode: the supplier's ID and its five fields.
    void myLoad(const QString &id, const QStringList &fields);
    void BitBtn1Click();
};

class TfrmFindGYS : public ui::LookupForm {
    Q_OBJECT
public:
    explicit TfrmFindGYS(QWidget *parent = nullptr);
    ~TfrmFindGYS() override;

    QString myText;  // the search text
    QString myTag;
    SupplierTarget *receiver = nullptr;

    void FormShow() override;
    void takeRow() override;
};

inline TfrmGYS_M *frmGYS_M = nullptr;
inline TfrmGYS_In *frmGYS_In = nullptr;
inline TfrmFindGYS *frmFindGYS = nullptr;

namespace sales {
// Opens the supplier entry for a new supplier (the main menu).
void openGYS_In(QWidget *owner);
}  // namespace sales
