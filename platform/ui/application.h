#pragma once
// The application object: Chinese defaults (fonts, buttons, dates) and the
// application-wide error handler that shows an exception escaping any event
// handler in a message box and lets the program go on.

#include <QApplication>
#include <QIcon>
#include <exception>
#include <functional>
#include <utility>

namespace ui {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// The program's own icon, drawn at the usual sizes; the application object
// gives it to every window.
QIcon programIcon();

// Fonts named by the program ("黑体", "宋体", "Arial") mapped to the installed
// ones, Chinese translations of Qt's own dialogs.  Safe to call more than once.
void installChineseDefaults();

// Shows the exception the way the program's default error handler does: the
// program's own errors (velmora::Error) with their message and, under
// "详细信息", their detail; any other exception with its text.
void reportException(const std::exception_ptr &e);

// The text reportException shows for the exception.
QString exceptionText(const std::exception_ptr &e);

// Runs a handler and reports what escapes it; false when something did.
bool guarded(const std::function<void()> &handler);

// The one way a window connects a signal to a handler: what escapes the
// handler is reported and the program goes on.  The signal's arguments are
// not passed on.  (Event handlers are covered by Application::notify.)
template <class Sender, class Signal, class Handler>
QMetaObject::Connection on(Sender *sender, Signal signal, const QObject *context, Handler handler)
{
    return QObject::connect(sender, signal, context, [h = std::move(handler)] { guarded(h); });
}

}  // namespace ui
