#include "script/ks_runner.h"

#include "script/ks_iinterpreter.h"

QStringList ksSplitScriptLines(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = t.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

KsRunResult ksRunScript(const QString &text, const QString &language, void (*onOut)(const QString &))
{
    KsRunResult r;
    TksScript script;
    script.AddRTTI();
    script.AddMethod(QStringLiteral("procedure Out(V: Variant)"),
                     [&r, onOut](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                         const QString line = h->GetParam(0).ToText();
                         r.Output << line;
                         if (onOut) onOut(line);
                         return KsValue();
                     });
    script.SyntaxType = language;
    script.Lines = ksSplitScriptLines(text);
    if (!script.Compile()) {
        QString where = script.ErrorPos;
        if (!script.ErrorUnit.isEmpty()) where = script.ErrorUnit + QLatin1Char(':') + where;
        r.Code = 1;
        r.Error = where + QStringLiteral(": ") + script.ErrorMsg;
    } else {
        try {
            script.Execute();
        } catch (const KsError &e) {
            r.Code = 2;
            r.Error = e.SourcePos + QStringLiteral(": ") + e.ClassName + QStringLiteral(": ") + e.Message;
        } catch (const std::exception &e) {
            r.Code = 2;
            r.Error = QStringLiteral(": Exception: ") + QString::fromUtf8(e.what());
        }
    }
    if (r.Code != 0) r.Output << r.Error;
    return r;
}
