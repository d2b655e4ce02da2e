// ksrun [--language NAME] [--il] [--max-mb N] FILE
// With --il prints the intermediate code of the text instead of running it.
// With --max-mb the run (compiling included) may add at most N MB, not 1024.
// Compiles a script file (language by option, by a "#language" first line,
// else PascalScript) and runs it. `Out(V)` prints a value on its own line.
// Exit codes: 0 ran, 1 compile error ("line:col: message"), 2 run-time
// error ("line:col: Class: message"), 3 usage or file error.
#include "script/ks_budget.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_iformsrtti.h"
#include "script/ks_iilparser.h"
#include "script/ks_isysrtti.h"
#include "script/ks_limits.h"
#include "script/ks_runner.h"

#include <QApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>

namespace {
void Print(const QString &s)
{
    const QByteArray b = s.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char **argv)
{
    // Scripts may build forms and measure text: a widget application, drawn
    // off screen when there is no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString language = QStringLiteral("PascalScript");
    QString file;
    bool il = false;
    for (int i = 0; i < args.size(); ++i) {
        if ((args[i] == QLatin1String("--language") || args[i] == QLatin1String("-l")) && i + 1 < args.size())
            language = args[++i];
        else if (args[i] == QLatin1String("--il"))
            il = true;
        else if (args[i] == QLatin1String("--max-mb") && i + 1 < args.size())
            ksSetRunBudget(std::clamp<qint64>(args[++i].toLongLong(), 1, ksMaxRunBytes >> 20) << 20);
        else
            file = args[i];
    }
    if (file.isEmpty()) {
        std::fprintf(stderr, "usage: ksrun [--language NAME] [--il] [--max-mb N] FILE\n");
        return 3;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "ksrun: cannot read %s\n", qPrintable(file));
        return 3;
    }
    if (il) {
        QString error;
        const QStringList lines = ksSplitScriptLines(QString::fromUtf8(f.readAll()));
        const QString out = ksMakeIL(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), language, &error);
        if (out.isEmpty()) {
            Print(error);
            return 1;
        }
        std::fputs(out.toUtf8().constData(), stdout);
        return 0;
    }
    ksShowMessageHandler = Print;
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody can answer a window: messages are printed and take their first
        // button, questions and dialogs are cancelled.
        ksDialogHooks().MessageDlg = [](const QString &text, int, int buttons) {
            Print(text);
            static const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};
            for (int i = 0; i < 11; ++i)
                if (buttons & (1 << i)) return results[i];
            return 1;
        };
        ksDialogHooks().InputQuery = [](const QString &, const QString &prompt, QString &) {
            Print(prompt);
            return false;
        };
        ksDialogHooks().Execute = [](TCommonDialog *) { return false; };
        ksShowModalHook() = [](TCustomForm *form) {
            Print(form->Caption());
            return 2;  // mrCancel
        };
    }
    const KsRunResult r = ksRunScript(QString::fromUtf8(f.readAll()), language, Print);
    if (r.Code != 0) Print(r.Error);
    return r.Code;
}
