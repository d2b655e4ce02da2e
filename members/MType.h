#pragma once
// Member types: the list window TfrmMType "会员分类" (new, enable, disable,
// delete, and the popup that opens the per-category windows of MTS.h) and the
// edit window TfrmMType_M "会员分类修改", which also copies a changed discount
// and points ratio onto every member of the type.

#include "platform/db/db.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/form.h"
#include "platform/ui/savedialog.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

// The entry fields of a type and their explanatory labels, as both windows show them.
struct MTypeFields {
    QGroupBox *GroupBox1;  // 会员分类信息
    QLineEdit *Edit1;      // 会员分类
    QLineEdit *Edit2;      // 享受折扣
    QLineEdit *Edit3;      // 积分比例
    QLineEdit *Edit4;      // 最低消费
    QLineEdit *Edit5;      // 备注
    void build(QWidget *owner, int zkLength, int remarkLength);
    // The empty and number checks of discount, ratio and minimum spend, in order.
    bool numbersValid() const;
};

class TfrmMType : public ui::Form, public MTypeFields {
    Q_OBJECT
public:
    explicit TfrmMType(QWidget *parent = nullptr);
    ~TfrmMType() override;

    ui::DBGrid *DBGrid1;
    vdb::Query ADOQuery1;
    QAction *N1;           // 选择商品分类 &C
    QAction *N2;           // 设置商品分类享受折扣 &S
    QAction *N3;           // 启用 &Q
    QAction *N4;           // 停用 &T
    QAction *N5;           // 修改 &M
    QAction *N6;           // 删除 &D
    QPushButton *BitBtn1;  // 新增
    QPushButton *BitBtn2;  // 保存
    QPushButton *BitBtn3;  // 退出

    void Ref();
    // Showing puts the focus in the type name.
    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click() { reject(); }
    void N1Click();
    void N2Click();
    void N3Click();
    void N4Click();
    void N5Click();
    void N6Click();

private:
    void setState(const QString &state);
};

class TfrmMType_M : public ui::SaveDialog, public MTypeFields {
    Q_OBJECT
public:
    explicit TfrmMType_M(QWidget *parent = nullptr);

    QString myID;  // the type edited
    void BitBtn1Click() override;
};

inline TfrmMType *frmMType = nullptr;
