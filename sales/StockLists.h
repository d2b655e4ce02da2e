#pragma once
// The purchase and return lists "进货查询"/"退货查询" with the lines of the
// selected document, reprint and deletion (stock corrected), and the line
// lists "进货明细查询"/"退货明细查询".  Each pair is one window told its kind.
// Both return windows show and filter the return's own date (myDate).

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"
#include "sales/StockStore.h"

class QAction;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QSplitter;
namespace ui {
class DBGrid;
class LookupComboBox;
}  // namespace ui

class TfrmStockDocs : public velmora::TListFrame {
    Q_OBJECT
public:
    ~TfrmStockDocs() override;

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7;
    QLineEdit *Edit1, *Edit2, *Edit3;  // 单号, 供应商, 备注
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3;  // payment, worker, user
    ui::DBGrid *DBGrid2;
    QSplitter *Splitter1;  // between the documents and the lines
    vdb::Query ADOQuery2;
    QAction *J1, *D1;

    void myList();
    void J1Click();  // reprint
    void D1Click();  // delete
    sales::StockKind kind() const { return m_kind; }

protected:
    TfrmStockDocs(sales::StockKind kind, QWidget *parent);
    void afterRef() override { myList(); }

private:
    sales::StockKind m_kind;
};

class TfrmJH_M : public TfrmStockDocs {
    Q_OBJECT
public:
    explicit TfrmJH_M(QWidget *parent = nullptr) : TfrmStockDocs(sales::StockKind::Purchase, parent) {}
};

class TfrmTH_M : public TfrmStockDocs {
    Q_OBJECT
public:
    explicit TfrmTH_M(QWidget *parent = nullptr) : TfrmStockDocs(sales::StockKind::Return, parent) {}
};

class TfrmStockLines : public velmora::TListFrame {
    Q_OBJECT
public:
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;  // 单号, 供应商, 商品编码, 商品名称
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3;  // category, worker, user

protected:
    TfrmStockLines(sales::StockKind kind, QWidget *parent);
};

class TfrmJH_MX : public TfrmStockLines {
    Q_OBJECT
public:
    explicit TfrmJH_MX(QWidget *parent = nullptr) : TfrmStockLines(sales::StockKind::Purchase, parent) {}
};

class TfrmTH_MX : public TfrmStockLines {
    Q_OBJECT
public:
    explicit TfrmTH_MX(QWidget *parent = nullptr) : TfrmStockLines(sales::StockKind::Return, parent) {}
};

namespace sales {
excel::ExportLayout stockDocumentLayout(StockKind k);
excel::ExportLayout stockLinesLayout(StockKind k);
}  // namespace sales
