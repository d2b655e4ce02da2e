#include "members/MemberPanel.h"

#include <QGridLayout>

namespace members {

MemberPanel::MemberPanel(QWidget *parent, const QString &lastVisitCaption, int columns)
    : QGroupBox(QStringLiteral("会员信息"), parent)
{
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto add = [&](const QString &caption) {
        auto *edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        auto *label = new QLabel(caption, this);
        label->setBuddy(edit);
        const int i = int(m_pairs.size());
        grid->addWidget(label, i / columns, (i % columns) * 2, Qt::AlignRight);
        grid->addWidget(edit, i / columns, (i % columns) * 2 + 1);
        m_pairs.append({label, edit});
        return edit;
    };
    Edit1 = add(QStringLiteral("会员卡号："));
    Edit2 = add(QStringLiteral("会员分类："));
    Edit3 = add(QStringLiteral("会员姓名："));
    Edit4 = add(QStringLiteral("会员性别："));
    Edit5 = add(QStringLiteral("公历生日："));
    Edit6 = add(QStringLiteral("联系方式："));
    Edit7 = add(QStringLiteral("联系地址："));
    Edit8 = add(QStringLiteral("备        注："));
    Edit9 = add(QStringLiteral("享受折扣："));
    Edit10 = add(QStringLiteral("积分比例："));
    Edit11 = add(QStringLiteral("账户余额："));
    Edit12 = add(QStringLiteral("积        分："));
    Edit13 = add(QStringLiteral("消费次数："));
    Edit14 = add(QStringLiteral("消费金额："));
    Edit15 = add(QStringLiteral("录入日期："));
    Edit16 = add(lastVisitCaption);
    Edit22 = add(QStringLiteral("体貌特征："));
    Edit23 = add(QStringLiteral("爱        好："));
    Edit24 = add(QStringLiteral("车        牌："));
    Edit26 = add(QStringLiteral("农历生日："));
    for (int c = 0; c < columns; ++c) grid->setColumnStretch(c * 2 + 1, 1);
}

void MemberPanel::fill(const MemberRecord &m)
{
    Edit1->setText(m.num);
    Edit2->setText(m.type);
    Edit3->setText(m.name);
    Edit4->setText(m.sex);
    Edit5->setText(m.bir);
    Edit6->setText(m.pho);
    Edit7->setText(m.add);
    Edit8->setText(m.remark);
    Edit9->setText(m.zk);
    Edit10->setText(m.jfbl);
    Edit11->setText(m.cz);
    Edit12->setText(m.jf);
    Edit13->setText(m.useCount);
    Edit14->setText(m.xf);
    Edit15->setText(m.date);
    Edit16->setText(m.useDate);
    Edit22->setText(m.tm);
    Edit23->setText(m.ah);
    Edit24->setText(m.cp);
    Edit26->setText(m.nlBir);
    for (QLineEdit *e : fields()) e->setCursorPosition(0);
}

void MemberPanel::clear()
{
    for (QLineEdit *e : fields()) e->clear();
}

MemberRecord MemberPanel::shown() const
{
    MemberRecord m;
    m.num = Edit1->text();
    m.type = Edit2->text();
    m.name = Edit3->text();
    m.sex = Edit4->text();
    m.bir = Edit5->text();
    m.pho = Edit6->text();
    m.add = Edit7->text();
    m.remark = Edit8->text();
    m.zk = Edit9->text();
    m.jfbl = Edit10->text();
    m.cz = Edit11->text();
    m.jf = Edit12->text();
    m.useCount = Edit13->text();
    m.xf = Edit14->text();
    m.date = Edit15->text();
    m.useDate = Edit16->text();
    m.tm = Edit22->text();
    m.ah = Edit23->text();
    m.cp = Edit24->text();
    m.nlBir = Edit26->text();
    return m;
}

QList<QLineEdit *> MemberPanel::fields() const
{
    QList<QLineEdit *> out;
    for (const auto &p : m_pairs) out << p.second;
    return out;
}

QLabel *MemberPanel::labelOf(QLineEdit *field) const
{
    for (const auto &p : m_pairs)
        if (p.second == field) return p.first;
    return nullptr;
}

}  // namespace members
