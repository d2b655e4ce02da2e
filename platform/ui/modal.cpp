#include "platform/ui/modal.h"

namespace ui {

namespace {
ScriptedModals *g_scripted = nullptr;
}

ScriptedModals::ScriptedModals(Handler handler) : m_handler(std::move(handler)), m_previous(g_scripted)
{
    g_scripted = this;
}

ScriptedModals::~ScriptedModals()
{
    g_scripted = m_previous;
}

int ScriptedModals::run(QDialog *dialog)
{
    m_shown << QString::fromLatin1(dialog->metaObject()->className());
    // Shown as exec() would show it, so its show handler runs first.
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    const int r = m_handler ? m_handler(dialog) : QDialog::Rejected;
    if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    return m_handler ? r : QDialog::Rejected;
}

int showModal(QDialog *dialog)
{
    if (g_scripted) return g_scripted->run(dialog);
    return dialog->exec();
}

}  // namespace ui
