#pragma once
// Per-category discounts of a member type (table MTS), opened from the
// member-type list for its selected type: TfrmMTS chooses the categories that
// carry a row, TfrmMTS_ZKJF lists the rows, TfrmMTS_M changes one discount.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"
#include "platform/ui/savedialog.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class TfrmMTS : public ui::SaveDialog {
    Q_OBJECT
public:
    // The type's name (caption of the window and its group), discount and ratio.
    TfrmMTS(QWidget *parent, const QString &type, const QString &zk, const QString &jf);

    QString myType, myZK, myJF;
    QGroupBox *GroupBox1;
    QListWidget *CheckListBox1;  // the categories, ticked when the type has a row

    void FormShow() override;
    void BitBtn1Click() override;
};

class TfrmMTS_ZKJF : public ui::Form {
    Q_OBJECT
public:
    TfrmMTS_ZKJF(QWidget *parent, const QString &type, const QString &zk);
    ~TfrmMTS_ZKJF() override;

    QString myType, myZK;
    QGroupBox *GroupBox1;
    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    QAction *N1;  // 修改 &M

    void myRef();
    void N1Click();
    void FormShow() override { myRef(); }
};

class TfrmMTS_M : public ui::SaveDialog {
    Q_OBJECT
public:
    // caption: type + " " + category + " 享受折扣".
    TfrmMTS_M(QWidget *parent, const QString &caption, const QString &id, const QString &zk);

    QString myID;
    QGroupBox *GroupBox1;
    QLineEdit *Edit1;  // 享受折扣
    void BitBtn1Click() override;
};

inline TfrmMTS_ZKJF *frmMTS_ZKJF = nullptr;
