#pragma once
// The small administration lists of one name and a remark per row: users,
// employees, payment methods and sexes.  One window build serves them all:
// a grid of the table's rows with a context menu, a name and a remark
// field, and the buttons "新增", "保存" and "退出".  Rows are never edited;
// a row is deleted and added again.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

class TfrmNameList : public ui::Form {
    Q_OBJECT
public:
    struct Setup {
        QString table;    // "SWorker"
        QString caption;  // window caption
        QString group;    // caption of the group box of the fields
        QString nameLabel, remarkLabel;
        QString field;  // the name field in the messages ("员工姓名")
        QString saved;  // what the success message names ("员工信息")
        int nameLength = 12;
        QString gridSql;      // the grid's query; its column "ID" is hidden
        int wideColumn = -1;  // a column shown 280 wide
        bool states = true;   // "启用"/"停用" in the context menu
        bool clearOnNew = true;
        bool focusOnShow = true;
    };

    TfrmNameList(const Setup &setup, QWidget *parent);

    // Runs the grid's query, hides the ID column and clears both fields.
    void Ref();
    void FormShow() override;
    void BitBtn1Click();  // 新增
    void BitBtn2Click();  // 保存
    void Q1Click();       // 启用
    void T1Click();       // 停用
    void D1Click();       // 删除

    vdb::Query ADOQuery1;
    ui::DBGrid *DBGrid1;
    QGroupBox *GroupBox1;
    QLabel *Label1, *Label2;
    QLineEdit *Edit1;  // name
    QLineEdit *Edit2;  // remark
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
    QMenu *PopupMenu1;
    QAction *Q1 = nullptr, *T1 = nullptr, *D1 = nullptr;

protected:
    // The grid's current row: its ID and name; false when the list is empty.
    bool currentRow(QString *id, QString *name) const;
    // The new row's statements (inside the save's transaction).
    virtual void insertRow(vdb::Connection &c, const QString &name, const QString &remark);
    // The deletion's statements (inside one transaction).
    virtual void deleteRow(vdb::Connection &c, const QString &id);
    // False (after saying why) when the row may not be enabled, disabled or deleted.
    virtual bool mayChange(const QString &name, const QString &action) { return true; }

    const Setup m_setup;

private:
    void setState(const QString &state, const QString &action);
};

class TfrmWorker : public TfrmNameList {
    Q_OBJECT
public:
    explicit TfrmWorker(QWidget *parent = nullptr);
    ~TfrmWorker() override;
    void myRef() { Ref(); }
};

class TfrmSMType : public TfrmNameList {
    Q_OBJECT
public:
    explicit TfrmSMType(QWidget *parent = nullptr);
    ~TfrmSMType() override;
};

class TfrmSSex : public TfrmNameList {
    Q_OBJECT
public:
    explicit TfrmSSex(QWidget *parent = nullptr);
    ~TfrmSSex() override;

protected:
    void insertRow(vdb::Connection &c, const QString &name, const QString &remark) override;
};

inline TfrmWorker *frmWorker = nullptr;
inline TfrmSMType *frmSMType = nullptr;
inline TfrmSSex *frmSSex = nullptr;
