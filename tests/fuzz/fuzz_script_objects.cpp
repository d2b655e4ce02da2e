// Scripts that create, use, link and free objects in any order: every use
// of a freed object raises an error the script catches, and nothing
// crashes. Each byte is one step on eight object variables.
#include "script/ks_iinterpreter.h"
#include "script/ks_runner.h"

#include <QApplication>

#include <cstdlib>

namespace {

QString Step(quint8 b)
{
    const int i = b & 7, j = (b >> 3) & 7;
    const QString a = QStringLiteral("o%1").arg(i), o = QStringLiteral("o%1").arg(j);
    switch (b >> 6) {
    case 0: {
        static const char *const make[] = {"TStringList.Create", "TMemoryStream.Create",  "TList.Create",
                                           "TksXMLItem.Create",  "TComponent.Create(%1)", "TCollection.Create",
                                           "TForm.Create(%1)",   "TEdit.Create(%1)"};
        return a + QStringLiteral(" := ") + QString::fromLatin1(make[j]).replace(QStringLiteral("%1"), o);
    }
    case 1:
        return a + QStringLiteral(".Free");
    case 2: {
        static const char *const use[] = {"n := TStringList(%1).Count",
                                          "TStringList(%1).Add('x')",
                                          "TList(%1).Add(%2)",
                                          "s := %1.ClassName",
                                          "TStringList(%1).AddObject('y', %2)",
                                          "TControl(%1).Parent := %2",
                                          "TStringList(%1).Assign(%2)",
                                          "n := TMemoryStream(%1).Write('ab', 2)"};
        return QString::fromLatin1(use[j])
                .replace(QStringLiteral("%1"), a)
                .replace(QStringLiteral("%2"), QStringLiteral("o%1").arg((i + 1) & 7));
    }
    default:
        if (j & 1) return a + QStringLiteral(" := ") + o;
        // Handlers that free objects while a form is shown or freed.
        if (j == 4) return QStringLiteral("TForm(%1).OnDestroy := 'Drop'; TForm(%1).OnCreate := 'Drop'").arg(a);
        if (j == 6) return QStringLiteral("TForm(%1).Show").arg(a);
        if (j == 2) return QStringLiteral("TControl(%1).Font.Free; TForm(%1).Canvas.Free").arg(a);
        return QStringLiteral("TksXMLItem(%1).AddItem(%2)").arg(a, o);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz";
    static char *argv[] = {arg0, nullptr};
    static QApplication *app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    Q_UNUSED(app);
    if (size > 400) return 0;
    QString text = QStringLiteral("var o0, o1, o2, o3, o4, o5, o6, o7: Variant; n: Integer; s: String;\n"
                                  "procedure Drop(Sender: TObject);\n"
                                  "begin\n"
                                  "  try o0.Free except end; try o1.Free except end;\n"
                                  "end;\n"
                                  "begin\n");
    for (size_t k = 0; k < size; ++k)
        text += QStringLiteral("  try ") + Step(data[k]) + QStringLiteral(" except end;\n");
    for (int i = 0; i < 8; ++i) text += QStringLiteral("  try o%1.Free except end;\n").arg(i);
    text += QStringLiteral("end.\n");
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    // Freed controls leave their widgets to the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (r.Code != 0) {
        // Every step catches its own error: the run must end normally.
        fprintf(stderr, "%s\n%s\n", qPrintable(text), qPrintable(r.Error));
        abort();
    }
    return 0;
}
