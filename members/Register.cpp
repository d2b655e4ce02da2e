#include "members/Register.h"

#include "core/MenuOpeners.h"
#include "core/main.h"
#include "members/Openers.h"

namespace members {

void registerWindows()
{
    // The openers show their dialog themselves, so the main window gets nothing back.
    velmora::registerOpener(QStringLiteral("100"), [](TfrmMain *m) -> QWidget * { openMType(m); return nullptr; });
    velmora::registerOpener(QStringLiteral("102"), [](TfrmMain *m) -> QWidget * { openMemberIn(m); return nullptr; });
    velmora::registerOpener(QStringLiteral("112"), [](TfrmMain *m) -> QWidget * { openCardChange(m); return nullptr; });
}

}  // namespace members
