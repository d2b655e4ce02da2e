#include "platform/ui/application.h"

#include "platform/error.h"
#include "platform/ui/messages.h"

#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {

void installChineseDefaults()
{
    static bool done = false;
    if (done) return;
    done = true;
    const QString hei = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitutions(QStringLiteral("黑体"), {hei});
    QFont::insertSubstitutions(QStringLiteral("宋体"), {hei});
    QFont::insertSubstitutions(QStringLiteral("SimSun"), {hei});
    QFont::insertSubstitutions(QStringLiteral("SimHei"), {hei});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), hei});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), {QStringLiteral("Liberation Serif"), hei});
    QFont::insertSubstitutions(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"), hei});
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    if (QCoreApplication::instance()) {
        auto *tr = new QTranslator(QCoreApplication::instance());
        if (tr->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(tr);
        else
            delete tr;
        QFont f(QStringLiteral("宋体"), 9);
        f.setStyleHint(QFont::SansSerif);
        QApplication::setFont(f);
    }
}

void reportException(const std::exception_ptr &e)
{
    try {
        std::rethrow_exception(e);
    } catch (const velmora::Error &err) {
        show({err.message(), appTitle(), Icon::Error, Buttons::Ok, err.detail()});
    } catch (const std::exception &err) {
        error(QString::fromUtf8(err.what()), appTitle());
    } catch (...) {
        error(QStringLiteral("发生未知错误。"), appTitle());
    }
}

QString exceptionText(const std::exception_ptr &e)
{
    try {
        std::rethrow_exception(e);
    } catch (const velmora::Error &err) {
        return err.message();
    } catch (const std::exception &err) {
        return QString::fromUtf8(err.what());
    } catch (...) {
        return QStringLiteral("发生未知错误。");
    }
}

bool guarded(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    installChineseDefaults();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}

}  // namespace ui
