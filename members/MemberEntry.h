#pragma once
// The two windows that create members: TfrmMember_In "会员录入" (also
// "会员修改" for an existing member) and the quick entry TfrmNewMember
// "新增会员" of the sale, recharge and exchange windows.  They share their
// fields, checks and statements (MemberEntry); what happens after a save is
// theirs.

#include "members/MemberRecord.h"
#include "platform/ui/form.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/lookuptarget.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class QGridLayout;

class MemberEntry : public ui::Form {
    Q_OBJECT
public:
    QGroupBox *GroupBox1;                   // 会员信息
    QLineEdit *Edit1;                       // 会员卡号
    QLineEdit *Edit2;                       // 会员姓名
    ui::LookupComboBox *DBLookupComboBox1;  // 会员性别
    QLineEdit *Edit3;                       // 联系方式
    QLineEdit *Edit4;                       // 公历生日
    QLineEdit *Edit5;                       // 农历生日
    QLineEdit *Edit6;                       // 联系地址
    QLineEdit *Edit7;                       // 备注
    ui::LookupComboBox *DBLookupComboBox2;  // 会员分类
    QLineEdit *Edit8;                       // 体貌特征
    QLineEdit *Edit9;                       // 爱好
    QLineEdit *Edit10;                      // 车牌
    QLineEdit *Edit11;                      // 介绍人
    QPushButton *BitBtn1;                   // 保存
    QPushButton *BitBtn2;                   // 退出

    // "保存": the checks, then the statement; the window's own follow-up.
    void BitBtn1Click();
    void BitBtn2Click() { reject(); }

    // The lunar birthday as stored: "1990-2-30" -> "1990-02-30",
    // "1990-4-5" -> "1990-04-05".  False with the message to show when refused.
    static bool normalizeLunar(const QString &typed, QString *stored, QString *message);

protected:
    explicit MemberEntry(QWidget *parent, const QString &caption);
    // The member being edited ("0" or empty: a new one).
    virtual QString editId() const { return QStringLiteral("0"); }
    // After a successful save; the record holds what was written.
    virtual void saved(const members::MemberRecord &m, bool wasEdit) = 0;
    // Empties the fields of one member (not the type and sex choices).
    void clearMemberFields();
    void fillFrom(const members::MemberRecord &m);
    QGridLayout *m_grid;
};

class TfrmMember_In : public MemberEntry {
    Q_OBJECT
public:
    explicit TfrmMember_In(QWidget *parent = nullptr);
    ~TfrmMember_In() override;

    QCheckBox *CheckBox1;  // 连续新增
    QLabel *Lab_ID;        // "0" new, else the ID of the member edited

    // Set up by the opener: a new member (card proposed, default sex and type)...
    void myNew();
    // ...or an edit of the member with this ID (false when it is not there).
    bool myEdit(const QString &id);

signals:
    // After a saved edit, for the member list to refresh itself.
    void memberEdited(const QString &card);

protected:
    QString editId() const override { return Lab_ID->text(); }
    void saved(const members::MemberRecord &m, bool wasEdit) override;
};

class TfrmNewMember : public MemberEntry {
    Q_OBJECT
public:
    // The new member goes to target (nothing is filled without one).
    explicit TfrmNewMember(QWidget *parent = nullptr, ui::LookupTarget<members::MemberRecord> *target = nullptr);
    ~TfrmNewMember() override;

    // Opens the quick entry modally for the target; true when a member was saved.
    static bool enter(QWidget *owner, ui::LookupTarget<members::MemberRecord> *target);

    ui::LookupTarget<members::MemberRecord> *myTarget;
    bool wasSaved() const { return m_saved; }

protected:
    void saved(const members::MemberRecord &m, bool wasEdit) override;

private:
    bool m_saved = false;
};

inline TfrmMember_In *frmMember_In = nullptr;
inline TfrmNewMember *frmNewMember = nullptr;
