#include "sales/Register.h"

#include "core/MenuOpeners.h"
#include "sales/Openers.h"

namespace sales {

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("200"), OwnItem, nullptr, modal(openXF_In), {}});
    registerWindow({QStringLiteral("500"), 0, nullptr, modal(openSType), {}});
    registerWindow({QStringLiteral("502"), OwnItem, nullptr, modal(openShopIn), {}});
}

}  // namespace sales
