#pragma once
// Goods categories (table SType): list, new category with its per-member-type
// discount rows, enable/disable, stock switch for the category and its goods,
// deletion of an unused category.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TfrmSType : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmSType(QWidget *parent = nullptr);
    ~TfrmSType() override;

    void Ref();
    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void Q1Click();
    void T1Click();
    void N3Click();
    void N4Click();
    void D1Click();

    vdb::Query ADOQuery1;
    ui::DBGrid *DBGrid1;
    QGroupBox *GroupBox1;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QCheckBox *CheckBox1;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
    QMenu *PopupMenu1;
    QAction *Q1, *T1, *N3, *N4, *D1;

private:
    void setState(const QString &state);
    void setStock(const QString &flag);
};

inline TfrmSType *frmSType = nullptr;
