#include "members/AccountList.h"

#include "core/dm.h"
#include "members/Openers.h"
#include "platform/ui/application.h"
#include "platform/ui/messages.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>

namespace members {

QAction *listAction(QMenu *menu, QWidget *owner, const QString &text, std::function<void()> handler)
{
    auto *a = menu->addAction(text);
    ui::on(a, &QAction::triggered, owner, std::move(handler));
    return a;
}

AccountList::AccountList(QWidget *parent, Print print, Delete remove)
    : TListFrame(parent), m_print(print), m_delete(remove)
{
    P1 = listAction(PopupMenu1, this, QStringLiteral("小票打印 &P"), [this] { P1Click(); });
    PopupMenu1->addSeparator();
    M1 = listAction(PopupMenu1, this, QStringLiteral("查看会员信息 &M"), [this] { M1Click(); });
    PopupMenu1->addSeparator();
    D1 = listAction(PopupMenu1, this, QStringLiteral("删除 &D"), [this] { D1Click(); });
}

velmora::ListSpec AccountList::documentSpec(const QString &table, const QString &window)
{
    velmora::ListSpec s;
    s.from = QStringLiteral("from ") + table;
    s.where = QStringLiteral("Where (theDel = '否')");
    s.order = QStringLiteral("order by id desc");
    s.tieBreak = QStringLiteral("id desc");
    s.exportWindow = window;
    return s;
}

QLineEdit *AccountList::dateAndCardFilters(const QString &dateCaption, QCheckBox **dateBox, QDateEdit **from,
                                           QDateEdit **to, QCheckBox **cardBox)
{
    dateFilter(0, dateBox, dateCaption, from, to, QStringLiteral("myDate"));
    m_cardEdit = textFilter(0, cardBox, QStringLiteral("会员卡号"), QStringLiteral("MNum"));
    m_cardBox = *cardBox;
    return m_cardEdit;
}

void AccountList::showForCard(const QString &card)
{
    m_cardEdit->setText(card);
    m_cardBox->setChecked(true);
    BitBtn1Click();
}

void AccountList::P1Click()
{
    if (currentRow() < 0) return;
    m_print(field(QStringLiteral("单号")));
}

void AccountList::M1Click()
{
    if (currentRow() < 0) return;
    openMemberView(this, field(QStringLiteral("会员卡号")));
}

void AccountList::D1Click()
{
    if (currentRow() < 0) return;
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    const QString refusal = m_delete(db(), field(QStringLiteral("单号")));
    if (!refusal.isEmpty()) ui::showMessage(refusal, this);
    Ref();
}

}  // namespace members
