#pragma once
// The sale list "消费查询" with the lines and payments of the selected bill,
// its popup (collect, reprint, member and introducer, commission, delete),
// and the two dialogs it opens on a bill: the collection of an owed amount
// and the introducer's commission.  The line list "消费明细查询" is here too.

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"
#include "platform/ui/form.h"

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
namespace ui {
class DBGrid;
class LookupComboBox;
}  // namespace ui

class TfrmXF_M : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmXF_M(QWidget *parent = nullptr);
    ~TfrmXF_M() override;

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8, *CheckBox9;
    QCheckBox *CheckBox3, *CheckBox10;  // "应收单", "提成单": query at once
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QLineEdit *Edit1, *Edit3, *Edit4, *Edit2;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2;
    QComboBox *ComboBox2;
    ui::DBGrid *DBGrid2, *DBGrid5;
    vdb::Query ADOQuery3, ADOQuery5;
    QAction *K1, *X1, *P1, *N3, *J1, *T1, *S1, *D1;

    // The lines and payments of the selected bill.
    void myList();
    void K1Click();
    void X1Click();
    void P1Click();
    void N3Click();
    void J1Click();
    void T1Click();
    void S1Click();
    void D1Click();

    void showForCard(const QString &card) override;

protected:
    void afterRef() override { myList(); }

private:
    // The introducer of the selected bill when live and enabled, else a message.
    bool introducerLive();
};

// "<单号> 收款": collects an amount still owed on a bill.
class TfrmXF_SK : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmXF_SK(QWidget *parent = nullptr);
    // The bill: number, owed amount, type and card.
    void setBill(const QString &number, const QString &owed, const QString &type, const QString &card);

    QDateEdit *DateTimePicker1;
    QLineEdit *Edit1;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2;
    QCheckBox *CheckBox1;
    QPushButton *BitBtn1, *BitBtn2;
    std::function<void()> onSaved;

    void BitBtn1Click();

private:
    QString m_number, m_type, m_card;
};

// "<单号> 介绍人提成": pays the introducer points and stored value.
class TfrmJSRTC : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmJSRTC(QWidget *parent = nullptr);
    // Edit1 .. Edit10 the bill (display only), Edit11 the introducer,
    // Edit12 points, Edit13 money.
    QLineEdit *Edit[14] = {};
    QPushButton *BitBtn1, *BitBtn2;
    std::function<void()> onSaved;

    void BitBtn1Click();
};

class TfrmXF_MX : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmXF_MX(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox6, *CheckBox7, *CheckBox3, *CheckBox4, *CheckBox8, *CheckBox5;
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QLineEdit *Edit1, *Edit3, *Edit4, *Edit2;
    QComboBox *ComboBox2;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2;
};

namespace sales {
excel::ExportLayout saleListLayout();
excel::ExportLayout saleLinesLayout();
}  // namespace sales
