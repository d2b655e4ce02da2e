#include "sales/Register.h"

#include "core/MenuOpeners.h"
#include "sales/Openers.h"

namespace sales {

void registerWindows()
{
    velmora::registerModal(QStringLiteral("200"), openXF_In);
    velmora::registerModal(QStringLiteral("500"), openSType);
    velmora::registerModal(QStringLiteral("502"), openShopIn);
}

}  // namespace sales
