#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "members/MemberList.h"
#include "members/Openers.h"

namespace members {

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("100"), 0, nullptr, modal(openMType), {}});
    registerWindow({QStringLiteral("102"), OwnItem, nullptr, modal(openMemberIn), {}});
    registerWindow({QStringLiteral("103"), OwnItem, &myOpenMember_M, [](TfrmMain *m) { return new TfrmMember_M(m); },
                    memberListLayout()});
    registerWindow({QStringLiteral("112"), OwnItem, nullptr, modal(openCardChange), {}});
}

}  // namespace members
