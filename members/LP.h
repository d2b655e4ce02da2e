#pragma once
// Gifts: TfrmLP "礼品管理" keeps the gifts members take for points (new,
// enable, disable, delete); TfrmFindLP "礼品查找" picks one gift for the
// exchange window when its search finds several.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"
#include "platform/ui/lookupform.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

class TfrmLP : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmLP(QWidget *parent = nullptr);
    ~TfrmLP() override;

    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    QGroupBox *GroupBox1;  // 礼品信息
    QLineEdit *Edit1;      // 礼品名称
    QLineEdit *Edit2;      // 所需积分
    QLineEdit *Edit3;      // 备注
    QAction *Q1, *T1, *D1;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;  // 新增, 保存, 退出

    void Ref();
    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void Q1Click();
    void T1Click();
    void D1Click();

private:
    void setState(const QString &state);
};

// A gift taken in the lookup: name and points per gift.
struct GiftChoice {
    QString name, points;
};

class TfrmFindLP : public ui::LookupForm {
    Q_OBJECT
public:
    explicit TfrmFindLP(QWidget *parent = nullptr);
    ~TfrmFindLP() override;

    void FormShow() override;
    void takeRow() override;
    std::function<void(const GiftChoice &)> onTaken;
};

inline TfrmFindLP *frmFindLP = nullptr;
