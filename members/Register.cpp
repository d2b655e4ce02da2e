#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "members/Openers.h"

namespace members {

void registerWindows()
{
    velmora::registerModal(QStringLiteral("100"), openMType);
    velmora::registerModal(QStringLiteral("102"), openMemberIn);
    velmora::registerModal(QStringLiteral("112"), openCardChange);
}

}  // namespace members
