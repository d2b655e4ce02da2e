#include "members/Openers.h"

#include "members/CardWindows.h"
#include "members/MType.h"
#include "members/MemberEntry.h"
#include "platform/ui/modal.h"

namespace members {

void openMType(QWidget *owner)
{
    TfrmMType w(owner);
    ui::showModal(&w);
}

void openMemberIn(QWidget *owner)
{
    TfrmMember_In w(owner);
    w.myNew();
    ui::showModal(&w);
}

void openCardChange(QWidget *owner)
{
    TfrmC_Num w(owner);
    ui::showModal(&w);
}

void openMemberEdit(QWidget *owner, const QString &memberId, const std::function<void()> &afterSave)
{
    TfrmMember_In w(owner);
    if (!w.myEdit(memberId)) return;
    if (afterSave) QObject::connect(&w, &TfrmMember_In::memberEdited, &w, [afterSave] { afterSave(); });
    ui::showModal(&w);
}

void openMemberPY(QWidget *owner, const QString &card, const QString &type, const QString &name, const QString &pinyin,
                  const std::function<void()> &afterSave)
{
    TfrmM_PY w(owner);
    w.setMember(card, type, name, pinyin);
    if (afterSave) QObject::connect(&w, &TfrmM_PY::saved, &w, [afterSave] { afterSave(); });
    ui::showModal(&w);
}

void openMemberPass(QWidget *owner, const QString &card)
{
    TfrmMPass w(owner, card);
    ui::showModal(&w);
}

void openMemberView(QWidget *owner, const QString &card)
{
    TfrmMember_V w(owner, card);
    ui::showModal(&w);
}

}  // namespace members
