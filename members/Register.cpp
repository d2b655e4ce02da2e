#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "members/MemberList.h"
#include "members/Openers.h"
#include "platform/ui/modal.h"

namespace members {

namespace {

void openCZ_In(QWidget *owner, const QString &card)
{
    TfrmCZ_In w(owner);
    if (!card.isEmpty()) {
        w.Ed_Num->setText(card);
        w.myFrom = QStringLiteral("m");
    }
    ui::showModal(&w);
}

}  // namespace

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("100"), 0, nullptr, modal(openMType), {}});
    registerWindow({QStringLiteral("102"), OwnItem, nullptr, modal(openMemberIn), {}});
    registerWindow({QStringLiteral("103"), OwnItem, &myOpenMember_M, [](TfrmMain *m) { return new TfrmMember_M(m); },
                    memberListLayout()});
    registerWindow({QStringLiteral("300"), OwnItem, nullptr, modal([](QWidget *o) { openCZ_In(o, {}); }), {}});
    registerWindow(
            {QStringLiteral("301"), 0, &myOpenCZ_M, [](TfrmMain *m) { return new TfrmCZ_M(m); }, rechargeListLayout()});
    registerCardWindow(QStringLiteral("300"), openCZ_In);
    registerWindow({QStringLiteral("112"), OwnItem, nullptr, modal(openCardChange), {}});
}

}  // namespace members
