#include "sales/Register.h"

#include "core/MenuOpeners.h"
#include "core/ListFrame.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "sales/Openers.h"
#include "sales/XF_M.h"

namespace sales {

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("200"), OwnItem, nullptr, modal(openXF_In), {}});
    registerWindow(
            {QStringLiteral("201"), 0, &myOpenXF_M, [](TfrmMain *m) { return new TfrmXF_M(m); }, saleListLayout()});
    registerWindow(
            {QStringLiteral("202"), 0, &myOpenXF_MX, [](TfrmMain *m) { return new TfrmXF_MX(m); }, saleLinesLayout()});
    registerCardWindow(QStringLiteral("200"), openXF_InForCard);
    registerWindow({QStringLiteral("500"), 0, nullptr, modal(openSType), {}});
    registerWindow({QStringLiteral("502"), OwnItem, nullptr, modal(openShopIn), {}});
}

}  // namespace sales
