#include "core/Register.h"

#include "core/Imports.h"
#include "core/MenuOpeners.h"

namespace core {

namespace {
template <class Window>
void openModal(QWidget *owner)
{
    Window w(owner);
    w.exec();
}
}  // namespace

void registerWindows()
{
    using namespace velmora;
    registerWindow({QStringLiteral("104"), OwnItem, nullptr, modal(openModal<TfrmIn_M>), {}});
    registerWindow({QStringLiteral("504"), 0, nullptr, modal(openModal<TfrmIn_S>), {}});
    registerWindow({QStringLiteral("518"), Stock, nullptr, modal(openModal<TfrmIn_G>), {}});
}

}  // namespace core
