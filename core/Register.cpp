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
    velmora::registerModal(QStringLiteral("104"), openModal<TfrmIn_M>);
    velmora::registerModal(QStringLiteral("504"), openModal<TfrmIn_S>);
    velmora::registerModal(QStringLiteral("518"), openModal<TfrmIn_G>);
}

}  // namespace core
