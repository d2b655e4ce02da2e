#include "platform/ui/application.h"

#include "platform/error.h"
#include "platform/ui/messages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
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

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        // A member card on a teal tile: a gold stripe and a tick for "V".
        QLinearGradient tile(0, 0, 0, 64);
        tile.setColorAt(0, QColor(0x16, 0x8a, 0x82));
        tile.setColorAt(1, QColor(0x0b, 0x55, 0x5a));
        p.setPen(Qt::NoPen);
        p.setBrush(tile);
        p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);
        p.setBrush(QColor(0xfb, 0xfa, 0xf5));
        p.drawRoundedRect(QRectF(8, 16, 48, 32), 5, 5);
        p.setBrush(QColor(0xe8, 0xa9, 0x1c));
        p.drawRect(QRectF(8, 22, 48, 6));
        QPainterPath tick;
        tick.moveTo(21, 33);
        tick.lineTo(30, 43);
        tick.lineTo(44, 31);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xc8, 0x2a, 0x2a), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void reportException(const std::exception_ptr &e)
{
    QString detail;
    try {
        std::rethrow_exception(e);
    } catch (const velmora::Error &err) {
        detail = err.detail();
    } catch (...) {
    }
    show({exceptionText(e), appTitle(), Icon::Error, Buttons::Ok, detail});
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
    // Without it a maximised list window shows Qt's logo in the menu bar.
    setWindowIcon(programIcon());
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
