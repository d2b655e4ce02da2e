#include "core/Register.h"

#include "core/BImage.h"
#include "core/Backup.h"
#include "core/Dept.h"
#include "core/Imports.h"
#include "core/MenuOpeners.h"
#include "core/NameLists.h"
#include "core/User.h"
#include "platform/ui/modal.h"

namespace core {

namespace {
template <class Window>
void openModal(QWidget *owner)
{
    Window w(owner);
    ui::showModal(&w);
}
}  // namespace

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("000"), 0, nullptr, modal(openModal<TfrmDept>), {}});
    registerWindow({QStringLiteral("001"), 0, nullptr, modal(openModal<TfrmSMType>), {}});
    registerWindow({QStringLiteral("002"), 0, nullptr, modal(openModal<TfrmSSex>), {}});
    registerWindow({QStringLiteral("004"), 0, nullptr, modal(openModal<TfrmUser>), {}});
    registerWindow({QStringLiteral("005"), 0, nullptr, modal(openModal<TfrmWorker>), {}});
    registerWindow({QStringLiteral("007"), 0, nullptr, modal(openModal<TfrmCPass>), {}});
    registerWindow({QStringLiteral("009"), Standalone, nullptr, modal(openModal<TfrmBackup>), {}});
    registerWindow({QStringLiteral("010"), Standalone, nullptr, modal(openModal<TfrmRecover>), {}});
    registerWindow({QStringLiteral("012"), NoClose, nullptr, modal(openModal<TfrmBImage>), {}});
    registerWindow({QStringLiteral("关于... &A"), 0, nullptr, modal(openModal<TfrmAbout>), {}});
    registerWindow({QStringLiteral("104"), OwnItem, nullptr, modal(openModal<TfrmIn_M>), {}});
    registerWindow({QStringLiteral("504"), 0, nullptr, modal(openModal<TfrmIn_S>), {}});
    registerWindow({QStringLiteral("518"), Stock, nullptr, modal(openModal<TfrmIn_G>), {}});
}

}  // namespace core
