#pragma once
// The goods list "商品查询" (view, pinyin code, enable, disable, delete,
// barcode labels of what the filter finds) and the stock list
// "商品库存查询" of the goods whose stock is kept, with its totals.

#include "core/ListFrame.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace ui {
class LookupComboBox;
}

class TfrmShop_M : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmShop_M(QWidget *parent = nullptr);
    ~TfrmShop_M() override;

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3;
    ui::LookupComboBox *DBLookupComboBox1;
    QLineEdit *Edit1, *Edit2;
    QPushButton *BitBtn4;  // 条码
    QAction *D1, *P1, *Q1, *T1, *D2;

    void D1Click();  // 查看
    void P1Click();  // 修改拼音码
    void Q1Click();  // 启用
    void T1Click();  // 停用
    void D2Click();  // 注销
    void BitBtn4Click();

protected:
    void afterRef() override;

private:
    void setState(const QString &state);
};

class TfrmKC : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmKC(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4;
    ui::LookupComboBox *DBLookupComboBox1;
    QLineEdit *Edit1, *Edit2, *Edit3;
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;  // 全部 小于零 等于零 大于零

protected:
    void baseCondition(velmora::ListWhere &w) override;
};

inline TfrmShop_M *frmShop_M = nullptr;
