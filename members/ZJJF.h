#pragma once
// Manual points: TfrmZJJF "增加积分" adds points to one member by hand (a
// negative number takes them away) and TfrmZJJF_List "增加积分记录" shows
// that member's earlier changes, newest first.  TfrmMJN "纪念日管理" keeps
// the member's anniversaries.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"

#include <QAction>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

class TfrmZJJF : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmZJJF(QWidget *parent = nullptr);

    QString myNum;                     // the member's card, set by the opener
    QLineEdit *Edit1, *Edit2, *Edit3;  // 会员卡号, 会员分类, 会员姓名 (shown)
    QLineEdit *Edit4;                  // 增加积分
    QLineEdit *Edit5;                  // 历史积分 (shown)
    QLineEdit *Edit6;                  // 备注
    QPushButton *BitBtn1, *BitBtn2, *Button1;
    std::function<void()> onSaved;  // the member list refreshes itself

    void FormShow() override;
    void myRef();
    void BitBtn1Click();
    void Button1Click();
};

class TfrmZJJF_List : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmZJJF_List(QWidget *parent = nullptr);
    ~TfrmZJJF_List() override;
    QString myNum;
    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    void FormShow() override;
};

class TfrmMJN : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmMJN(QWidget *parent = nullptr);
    ~TfrmMJN() override;

    QString myNum;                     // the member's card, set by the opener
    QString myID;                      // "0": a new anniversary, else the row changed
    QLineEdit *Edit1, *Edit2, *Edit3;  // 会员卡号, 会员分类, 会员姓名 (shown)
    QLineEdit *Edit4;                  // 纪念名称
    QDateEdit *DateTimePicker1;        // 纪念日期
    QLineEdit *Edit5;                  // 备注
    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    QAction *M1, *D1;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;  // 新增, 保存, 退出

    void FormShow() override;
    void myRef();
    void myNew();
    void BitBtn1Click();
    void BitBtn2Click();
    void M1Click();
    void D1Click();
};
