#include "members/CardWindows.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "members/FindMember.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"
#include "platform/db/sqlbuilder.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

using members::MemberRecord;
using ui::fail;
using vdb::Statement;

namespace {

QLineEdit *passwordField(QWidget *parent)
{
    QLineEdit *e = ui::lineEdit(parent, 6);
    e->setEchoMode(QLineEdit::Password);
    return e;
}

// A group of caption/field rows.
QGroupBox *formGroup(QWidget *parent, const QString &title, std::initializer_list<std::pair<QString, QWidget *>> rows)
{
    auto *g = new QGroupBox(title, parent);
    auto *grid = new QGridLayout(g);
    int r = 0;
    for (const auto &[caption, field] : rows) {
        field->setParent(g);
        grid->addWidget(new QLabel(caption, g), r, 0, Qt::AlignRight);
        grid->addWidget(field, r++, 1);
    }
    grid->setColumnMinimumWidth(1, 160);
    return g;
}

// The live member with the card, or none.
bool liveMember(const QString &card)
{
    vdb::Query q(&db());
    Statement("select ID from Member Where theNum=:card and theDel='否'").text("card", card).open(q);
    return !q.IsEmpty();
}

// True when the live member with the card has this password (exact text).
bool passwordMatches(const QString &card, const QString &password)
{
    vdb::Query q(&db());
    Statement("Select thePass from Member Where theNum=:card AND thePass=:pass AND theDel='否'")
            .text("card", card)
            .text("pass", password)
            .open(q);
    return !q.IsEmpty();
}

// The member's password typed in the field: six characters, and the right
// ones; else the field is emptied for typing again.
bool passwordAccepted(QLineEdit *field, const QString &card, const QString &askAgain, const QString &wrong)
{
    const bool sixLong = ui::gbkLength(field->text()) == 6;
    if (sixLong && passwordMatches(card, field->text())) return true;
    field->clear();
    return fail(sixLong ? wrong : askAgain, field);
}

}  // namespace

// ---------------------------------------------------------------- card change

TfrmC_Num::TfrmC_Num(QWidget *parent) : ui::SaveDialog(parent, QStringLiteral("会员换卡"))
{
    frmC_Num = this;
    resize(940, 380);
    GroupBox1 = new QGroupBox(QStringLiteral("会员信息 录入会员卡号按回车 支持模糊查询"), this);
    Ed_Num = ui::lineEdit(GroupBox1, velmora::kCardLength);
    Ed_Num->setToolTip(QStringLiteral("录入会员卡号按回车或鼠标双击"));
    auto *row = new QHBoxLayout(GroupBox1);
    row->addWidget(new QLabel(QStringLiteral("会员卡号："), GroupBox1));
    row->addWidget(Ed_Num);
    row->addWidget(ui::note(GroupBox1, QStringLiteral("录入会员卡号按回车 ...")));
    row->addStretch();
    GroupBox2 = new members::MemberPanel(this, QStringLiteral("消费日期："));
    Ed_NewNum = ui::lineEdit(nullptr, velmora::kCardLength);
    GroupBox3 = formGroup(this, QStringLiteral("新卡号"), {{QStringLiteral("新  卡  号："), Ed_NewNum}});
    static_cast<QGridLayout *>(GroupBox3->layout())->setColumnStretch(2, 1);
    addContent(GroupBox1);
    addContent(GroupBox2);
    addContent(GroupBox3);
    ui::on(Ed_Num, &QLineEdit::returnPressed, this, [this] { myFind(); });
    ui::onDoubleClick(Ed_Num, [this] { myFind(); });
}

TfrmC_Num::~TfrmC_Num()
{
    if (frmC_Num == this) frmC_Num = nullptr;
}

void TfrmC_Num::myFind()
{
    const QString text = ui::trimmedText(Ed_Num);
    const members::MemberSearch s = members::searchMembers(text);
    if (s.count == 1) {
        lookupTaken(s.member, ui::LookupOrigin::Search);
        return;
    }
    GroupBox2->clear();
    Ed_Num->setFocus();
    if (s.count == 0) {
        fail(QStringLiteral("会员不存在，请重新录入会员卡号！"), Ed_Num);
        return;
    }
    TfrmFindMember::pick(this, this, text);
}

void TfrmC_Num::lookupTaken(const MemberRecord &m, ui::LookupOrigin)
{
    Ed_Num->setText(m.num);
    GroupBox2->fill(m);
    Ed_NewNum->setFocus();
}

void TfrmC_Num::myNew()
{
    Ed_Num->clear();
    GroupBox2->clear();
    Ed_NewNum->clear();
}

void TfrmC_Num::BitBtn1Click()
{
    const QString oldCard = GroupBox2->card();
    const QString newCard = ui::trimmedText(Ed_NewNum);
    if (oldCard.isEmpty()) {
        fail(QStringLiteral("会员信息 不能为空，请录入 会员卡号！"), Ed_Num);
        return;
    }
    if (newCard.isEmpty()) {
        fail(QStringLiteral("新卡号 不能为空，请录入 新卡号！"), Ed_NewNum);
        return;
    }
    if (newCard == oldCard) {
        fail(QStringLiteral("新卡号 不能和老卡号重复，请录入 新卡号！"), Ed_NewNum);
        return;
    }
    if (liveMember(newCard)) {
        fail(QStringLiteral("新卡号 已存在，请重新录入！"), Ed_NewNum);
        return;
    }
    // The panel may show a member deleted since it was looked up.
    if (!liveMember(oldCard)) {
        GroupBox2->clear();
        fail(QStringLiteral("会员不存在，请重新录入会员卡号！"), Ed_Num);
        return;
    }
    {
        vdb::Transaction t(db());
        // Only the live member moves: a deleted member that held the number keeps its row.
        for (const char *sql : {
                     "update Member set thenum=:new where thenum=:old and theDel='否'",
                     "update UXF set mnum=:new where mnum=:old",
                     "update UCZ set mnum=:new where mnum=:old",
                     "update UDH set mnum=:new where mnum=:old",
                     "update Member set JSRNum=:new where JSRNum=:old",
                     "update UXF set jsrnum=:new where jsrnum=:old",
                     // Anniversaries and manual points follow the card too.
                     "update MJN set theNum=:new where theNum=:old",
                     "update UJF set theNum=:new where theNum=:old",
             })
            Statement(QString::fromUtf8(sql)).text("new", newCard).text("old", oldCard).run(db());
        t.commit();
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 会员换卡 保存成功！"));
    emit saved();
    myNew();
}

// ---------------------------------------------------------------- password change

TfrmMPass::TfrmMPass(QWidget *parent, const QString &card) : ui::SaveDialog(parent, card, QStringLiteral("确认"))
{
    Edit1 = passwordField(this);
    Edit2 = passwordField(this);
    Edit3 = passwordField(this);
    GroupBox1 = formGroup(this, QStringLiteral("密码信息"),
                          {{QStringLiteral("原  密  码："), Edit1},
                           {QStringLiteral("新  密  码："), Edit2},
                           {QStringLiteral("确认密码："), Edit3}});
    addContent(GroupBox1);
}

void TfrmMPass::BitBtn1Click()
{
    const QString card = windowTitle();
    auto refuseNew = [this](const QString &message) {
        Edit2->clear();
        Edit3->clear();
        fail(message, Edit2);
    };
    if (!passwordAccepted(Edit1, card, QStringLiteral("请重新录入 原密码！"),
                          QStringLiteral("原密码 错误，请重新录入！")))
        return;
    if (ui::gbkLength(Edit2->text()) != 6) return refuseNew(QStringLiteral("请重新录入 新密码！"));
    if (Edit2->text() == Edit1->text()) return refuseNew(QStringLiteral("新密码 与 原密码 一样，请重新录入！"));
    if (Edit2->text() != Edit3->text())
        return refuseNew(QStringLiteral("新密码 与 确认密码 不一致，请重新录入 新密码！"));
    Statement("UPdate Member Set thePass=:pass Where theNum=:card AND theDel='否'")
            .text("pass", Edit2->text())
            .text("card", card)
            .run(db());
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 会员密码修改 保存成功！"));
    emit saved();
    accept();
}

// ---------------------------------------------------------------- password prompt

TfrmCheckPass::TfrmCheckPass(QWidget *parent, const QString &card, const QString &name)
    : ui::SaveDialog(parent, QStringLiteral("密码验证"), QStringLiteral("验证"), QStringLiteral("取消")), myNum(card)
{
    Edit1 = passwordField(this);
    GroupBox1 = formGroup(this, card + " " + name, {{QStringLiteral("会员密码："), Edit1}});
    addContent(GroupBox1);
    ui::on(Edit1, &QLineEdit::returnPressed, this, [this] { BitBtn1Click(); });
}

bool TfrmCheckPass::verify(QWidget *owner, const QString &card, const QString &name)
{
    TfrmCheckPass dlg(owner, card, name);
    const int r = ui::showModal(&dlg);
    return r == QDialog::Accepted && dlg.myPassState.isEmpty();
}

void TfrmCheckPass::BitBtn1Click()
{
    if (!passwordAccepted(Edit1, myNum, QStringLiteral("请重新录入 会员密码！"),
                          QStringLiteral("会员密码 错误，请重新录入！")))
        return;
    myPassState.clear();
    accept();
}

void TfrmCheckPass::BitBtn2Click()
{
    myPassState = QStringLiteral("否");
    reject();
}

// ---------------------------------------------------------------- pinyin code

TfrmM_PY::TfrmM_PY(QWidget *parent) : ui::SaveDialog(parent, QStringLiteral("修改会员拼音码"))
{
    Edit1 = new QLineEdit;
    Edit2 = new QLineEdit;
    Edit3 = new QLineEdit;
    GroupBox1 = formGroup(this, QStringLiteral("会员信息"),
                          {{QStringLiteral("会员卡号："), Edit1},
                           {QStringLiteral("会员分类："), Edit2},
                           {QStringLiteral("会员姓名："), Edit3}});
    GroupBox1->setEnabled(false);
    Edit4 = ui::lineEdit(nullptr, 20);
    auto *pyGroup = formGroup(this, QString(), {{QStringLiteral("拼  音  码："), Edit4}});
    pyGroup->setFlat(true);
    addContent(GroupBox1);
    addContent(pyGroup);
}

void TfrmM_PY::setMember(const QString &card, const QString &type, const QString &name, const QString &pinyin)
{
    Edit1->setText(card);
    Edit2->setText(type);
    Edit3->setText(name);
    ui::setStoredText(Edit4, pinyin);
}

void TfrmM_PY::BitBtn1Click()
{
    ui::trimFields({Edit4});
    if (Edit4->text().isEmpty()) {
        fail(QStringLiteral("拼音码 不能为空！"), Edit4);
        return;
    }
    const int changed = Statement("Update Member set thePY=:py Where theNum=:card AND theDel='否'")
                                .text("py", Edit4->text())
                                .text("card", Edit1->text())
                                .run(db());
    if (changed == 0) {
        fail(QStringLiteral("该会员已不存在，不能保存！"));
        return;
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 会员拼音码 保存成功！"));
    emit saved();
    accept();
}

// ---------------------------------------------------------------- view

TfrmMember_V::TfrmMember_V(QWidget *parent, const QString &card) : ui::Form(parent), myNum(card)
{
    frmMember_V = this;
    setWindowTitle(QStringLiteral("会员信息"));
    resize(580, 360);
    GroupBox1 = new members::MemberPanel(this, QStringLiteral("消费日期："), 2);
    BitBtn1 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addLayout(ui::buttonRow({BitBtn1}));
}

TfrmMember_V::~TfrmMember_V()
{
    if (frmMember_V == this) frmMember_V = nullptr;
}

void TfrmMember_V::FormShow()
{
    // Deleted and disabled members are shown too.
    vdb::Query q(&db());
    Statement(members::memberListColumns() + " from Member Where (theNum=:card) ").text("card", myNum).open(q);
    if (q.RecordCount() == 1)
        GroupBox1->fill(MemberRecord::fromCurrentRow(q));
    else
        GroupBox1->clear();
}
