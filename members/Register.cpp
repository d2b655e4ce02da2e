#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "members/Openers.h"

namespace members {

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("100"), 0, nullptr, modal(openMType), {}});
    registerWindow({QStringLiteral("102"), OwnItem, nullptr, modal(openMemberIn), {}});
    registerWindow({QStringLiteral("112"), OwnItem, nullptr, modal(openCardChange), {}});
}

}  // namespace members
