#include "members/AccountEntry.h"

#include "core/Unit1.h"
#include "core/receipts.h"

#include "members/FindMember.h"
#include "members/MemberEntry.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace members {

AccountEntry::AccountEntry(QWidget *parent, const QString &caption) : ui::Form(parent), m_caption(caption)
{
    setWindowTitle(caption);
    auto *search = new QGroupBox(QStringLiteral("会员信息 录入会员卡号按回车 支持模糊查询"), this);
    auto *top = new QHBoxLayout(search);
    Ed_Num = ui::lineEdit(search, velmora::kCardLength);
    ui::onDoubleClick(Ed_Num, [this] { myFind(); });
    top->addWidget(new QLabel(QStringLiteral("会员卡号："), search));
    top->addWidget(Ed_Num);
    top->addWidget(new QLabel(QStringLiteral("录入会员卡号按回车 或鼠标双击 弹出会员选择窗口"), search));
    top->addStretch();

    Panel = new MemberPanel(this);
    Panel->setTitle(QStringLiteral("会员信息"));
    Panel->setEnabled(false);

    CheckBox2 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox2->setChecked(true);
    CheckBox3 = new QCheckBox(QStringLiteral("打印小票"), this);
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    auto *buttons = ui::buttonRow({CheckBox2, CheckBox3}, {BitBtn1, BitBtn2});

    m_main = new QVBoxLayout(this);
    m_main->addWidget(search);
    m_main->addWidget(Panel);
    m_main->addLayout(buttons);

    ui::on(Ed_Num, &QLineEdit::returnPressed, this, [this] { myFind(); });
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void AccountEntry::addEntry(QGroupBox *entry)
{
    m_main->insertWidget(2, entry);
}

QDateEdit *AccountEntry::dateField(QGroupBox *entry)
{
    return new ui::DatePicker(entry);
}

bool AccountEntry::memberFound()
{
    if (!Panel->isEmpty()) return true;
    ui::fail(QStringLiteral("会员信息不能为空，请录入会员卡号！"), Ed_Num);
    return false;
}

void AccountEntry::FormShow()
{
    if (!myFrom.isEmpty())
        myFind();
    else
        myNew();
}

void AccountEntry::myFind()
{
    const QString text = Ed_Num->text();
    const MemberSearch found = searchMembers(text);
    if (found.count == 1) {
        lookupTaken(found.member, ui::LookupOrigin::Search);
    } else if (found.count == 0) {
        TfrmNewMember::enter(this, this);
    } else {
        Panel->clear();
        Ed_Num->setFocus();
        TfrmFindMember::pick(this, this, text);
    }
}

void AccountEntry::lookupTaken(const MemberRecord &m, ui::LookupOrigin)
{
    Ed_Num->setText(m.num);
    Panel->fill(m);
    afterMember()->setFocus();
}

void AccountEntry::saved(const QString &number, void (*print)(const QString &), const QString &document)
{
    m_lastNumber = number;
    if (CheckBox3->isChecked())
        velmora::printAfterSave(QStringLiteral("%1 %2 已保存，但小票没有打印：\n%3").arg(document, number),
                                [&] { print(number); });
    if (CheckBox2->isChecked()) {
        myNew();
        Ed_Num->setFocus();
    } else {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ ") + m_caption + QStringLiteral(" 保存成功！"), this);
        accept();
    }
}

}  // namespace members
