#pragma once
// How other windows open the member windows: each creates the window with
// the opener as owner, prepares it as the opener must, shows it modally and
// frees it afterwards.
//
//   main menu "会员分类 &T"             openMType
//   main menu / toolbar "会员录入 &I"    openMemberIn
//   main menu / toolbar "会员换卡 &H"    openCardChange
//   member list popup "修改 &M"          openMemberEdit
//   member list popup "修改拼音码 &Y"    openMemberPY
//   member list popup "密码管理 &P"      openMemberPass
//   sale, recharge, exchange lists        openMemberView
//   sale save, paying by card             TfrmCheckPass::verify (CardWindows.h)
//   card field with several matches       TfrmFindMember::pick (FindMember.h)
//   sale/recharge/exchange, no match      TfrmNewMember::enter (MemberEntry.h)

#include <QString>
#include <functional>

class QWidget;

namespace members {

void openMType(QWidget *owner);
void openMemberIn(QWidget *owner);
void openCardChange(QWidget *owner);
// afterSave runs after a saved edit (the member list refreshes itself there).
void openMemberEdit(QWidget *owner, const QString &memberId, const std::function<void()> &afterSave = {});
void openMemberPY(QWidget *owner, const QString &card, const QString &type, const QString &name, const QString &pinyin,
                  const std::function<void()> &afterSave = {});
void openMemberPass(QWidget *owner, const QString &card);
void openMemberView(QWidget *owner, const QString &card);

}  // namespace members
