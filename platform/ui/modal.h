#pragma once
// Every modal dialog of the program's windows is shown through
// showModal(), so tests can drive the dialog instead of entering an event
// loop.  Handlers never block in tests: a ScriptedModals in scope receives
// each dialog, may press its buttons, and returns the dialog's result.

#include <QDialog>
#include <QStringList>
#include <functional>

namespace ui {

// exec() of the dialog, or the scripted handler while one is installed.
int showModal(QDialog *dialog);

class ScriptedModals {
public:
    using Handler = std::function<int(QDialog *)>;
    // Each dialog is shown (its show handler runs), handed to the handler, and
    // closed as rejected if still open afterwards; without a handler it is
    // only recorded.  The handler returns the result showModal() gives.
    explicit ScriptedModals(Handler handler = {});
    ~ScriptedModals();
    ScriptedModals(const ScriptedModals &) = delete;
    ScriptedModals &operator=(const ScriptedModals &) = delete;

    void setHandler(Handler h) { m_handler = std::move(h); }
    // Class names of the dialogs shown, in order.
    const QStringList &shown() const { return m_shown; }

private:
    friend int showModal(QDialog *);
    int run(QDialog *dialog);
    Handler m_handler;
    QStringList m_shown;
    ScriptedModals *m_previous = nullptr;
};

}  // namespace ui
