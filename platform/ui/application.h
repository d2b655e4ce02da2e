#pragma once
// The application object: Chinese defaults (fonts, buttons, dates) and the
// application-wide error handler that shows an exception escaping any event
// handler in a message box and lets the program go on.

#include <QApplication>
#include <exception>
#include <functional>

namespace ui {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Fonts named by the program ("黑体", "宋体", "Arial") mapped to the installed
// ones, Chinese translations of Qt's own dialogs.  Safe to call more than once.
void installChineseDefaults();

// Shows the exception the way the program's default error handler does.
void reportException(const std::exception_ptr &e);

// Runs a handler and reports what escapes it; for code paths that do not pass
// through the event loop (tests, timers run directly).
bool guarded(const std::function<void()> &handler);

}  // namespace ui
