#include "script/ks_runner.h"

#include "script/ks_iinterpreter.h"

QStringList ksSplitScriptLines(const QString &text)
{
    // One pass over the text: a line ends at LF, and a CR just before it goes too.
    QStringList lines;
    const QStringView t(text);
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = t.indexOf(QLatin1Char('\n'), from);
        qsizetype end = lf < 0 ? t.size() : lf;
        if (lf >= 0 && end > from && t[end - 1] == QLatin1Char('\r')) --end;
        lines << t.sliced(from, end - from).toString();
        if (lf < 0) break;
        from = lf + 1;
    }
    if (lines.last().isEmpty()) lines.removeLast();
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
