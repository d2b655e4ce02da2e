#pragma once
// The windows that change one member's card identity, and the member view:
//   TfrmC_Num     "会员换卡"       new card number, carried through every table
//   TfrmMPass     (card number)    changes the card password
//   TfrmCheckPass "密码验证"       asks for the card password before paying from stored value
//   TfrmM_PY      "修改会员拼音码"  corrects the pinyin code
//   TfrmMember_V  "会员信息"       read-only view of one member

#include "members/MemberPanel.h"
#include "members/MemberRecord.h"
#include "platform/ui/form.h"
#include "platform/ui/lookuptarget.h"
#include "platform/ui/savedialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

class TfrmC_Num : public ui::SaveDialog, public ui::LookupTarget<members::MemberRecord> {
    Q_OBJECT
public:
    explicit TfrmC_Num(QWidget *parent = nullptr);
    ~TfrmC_Num() override;

    QGroupBox *GroupBox1;             // the card field's group
    QLineEdit *Ed_Num;                // 会员卡号 (search text)
    members::MemberPanel *GroupBox2;  // 会员信息
    QGroupBox *GroupBox3;             // 新卡号
    QLineEdit *Ed_NewNum;             // 新  卡  号

    // Enter or a double-click in the card field.
    void myFind();
    // Empties the card field, the panel and the new card.
    void myNew();
    void BitBtn1Click() override;
    void lookupTaken(const members::MemberRecord &m, ui::LookupOrigin origin) override;
};

class TfrmMPass : public ui::SaveDialog {
    Q_OBJECT
public:
    // The caption is the member's card number.
    TfrmMPass(QWidget *parent, const QString &card);

    QGroupBox *GroupBox1;  // 密码信息
    QLineEdit *Edit1;      // 原  密  码
    QLineEdit *Edit2;      // 新  密  码
    QLineEdit *Edit3;      // 确认密码

    void BitBtn1Click() override;  // 确认
};

class TfrmCheckPass : public ui::SaveDialog {
    Q_OBJECT
public:
    TfrmCheckPass(QWidget *parent, const QString &card, const QString &name);

    // Asks for the card's password modally; true only when it was verified
    // ("取消" and the title-bar box refuse).
    static bool verify(QWidget *owner, const QString &card, const QString &name);

    QString myNum;
    QGroupBox *GroupBox1;  // card + " " + name
    QLineEdit *Edit1;      // 会员密码
    // "" once verified, "否" until then (the sale window's myPassState).
    QString myPassState = QStringLiteral("否");

    void BitBtn1Click() override;  // 验证
    void BitBtn2Click() override;  // 取消
};

class TfrmM_PY : public ui::SaveDialog {
    Q_OBJECT
public:
    explicit TfrmM_PY(QWidget *parent = nullptr);
    void setMember(const QString &card, const QString &type, const QString &name, const QString &pinyin);

    QGroupBox *GroupBox1;  // 会员信息 (read-only)
    QLineEdit *Edit1;      // 会员卡号
    QLineEdit *Edit2;      // 会员分类
    QLineEdit *Edit3;      // 会员姓名
    QLineEdit *Edit4;      // 拼  音  码

    void BitBtn1Click() override;
};

class TfrmMember_V : public ui::Form {
    Q_OBJECT
public:
    TfrmMember_V(QWidget *parent = nullptr, const QString &card = QString());
    ~TfrmMember_V() override;

    QString myNum;                    // the card shown
    members::MemberPanel *GroupBox1;  // 会员信息
    QPushButton *BitBtn1;             // 退出

    // Reads the member; a card held by no row or by several shows empty fields.
    void FormShow() override;
};

inline TfrmC_Num *frmC_Num = nullptr;
inline TfrmMember_V *frmMember_V = nullptr;
