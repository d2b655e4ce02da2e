#pragma once
// The member panel: the read-only block "会员信息" that the sale, recharge,
// exchange and card-change windows show for the member of their card field.
//
// A window embeds one (  Panel = new members::MemberPanel(this);  ), runs
// members::searchMembers() from its card field, and fills it with
// Panel->fill(record) in its lookupTaken() (see platform/ui/lookuptarget.h and
// MemberRecord.h).  The field names are those of the sale window's layout, so
// a window may keep its own pointers: Edit1 = Panel->Edit1, and so on.

#include "members/MemberRecord.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace members {

class MemberPanel : public QGroupBox {
    Q_OBJECT
public:
    // lastVisitCaption: "上次消费：" in the sale, recharge and exchange
    // windows, "消费日期：" in the card change.  columns: label/field pairs a row.
    explicit MemberPanel(QWidget *parent = nullptr, const QString &lastVisitCaption = QStringLiteral("上次消费："),
                         int columns = 4);

    // Every field from the record ("消费金额：" takes the cumulative spend).
    void fill(const MemberRecord &m);
    // Empties every field.
    void clear();
    // What the panel shows, read back (no ID, no introducer).
    MemberRecord shown() const;
    // The card of the member shown ("" when empty).
    QString card() const { return Edit1->text(); }
    bool isEmpty() const { return Edit1->text().isEmpty(); }
    QList<QLineEdit *> fields() const;
    // The caption beside a field.
    QLabel *labelOf(QLineEdit *field) const;

    QLineEdit *Edit1;   // 会员卡号
    QLineEdit *Edit2;   // 会员分类
    QLineEdit *Edit3;   // 会员姓名
    QLineEdit *Edit4;   // 会员性别
    QLineEdit *Edit5;   // 公历生日
    QLineEdit *Edit6;   // 联系方式
    QLineEdit *Edit7;   // 联系地址
    QLineEdit *Edit8;   // 备注
    QLineEdit *Edit9;   // 享受折扣
    QLineEdit *Edit10;  // 积分比例
    QLineEdit *Edit11;  // 账户余额
    QLineEdit *Edit12;  // 积分
    QLineEdit *Edit13;  // 消费次数
    QLineEdit *Edit14;  // 消费金额
    QLineEdit *Edit15;  // 录入日期
    QLineEdit *Edit16;  // 上次消费 / 消费日期
    QLineEdit *Edit22;  // 体貌特征
    QLineEdit *Edit23;  // 爱好
    QLineEdit *Edit24;  // 车牌
    QLineEdit *Edit26;  // 农历生日

private:
    QList<QPair<QLabel *, QLineEdit *>> m_pairs;
};

}  // namespace members
