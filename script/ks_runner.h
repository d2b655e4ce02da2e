// Compiles and runs one script text with a host procedure `Out(V: Variant)`
// that collects each value as a line of text (the command-line runner and
// the conformance tests use it).
#pragma once

#include <QString>
#include <QStringList>

struct KsRunResult {
    // 0 ran, 1 compile error, 2 run-time error.
    int Code = 0;
    QStringList Output;  // Out lines, then the error line when there is one
    QString Error;       // "line:col: message" (compile) or "line:col: Class: message" (run time)
};

// Splits a file's text into script lines (CR LF or LF).
QStringList ksSplitScriptLines(const QString &text);
// `onOut`, when set, also receives each line as it is printed.
KsRunResult ksRunScript(const QString &text, const QString &language, void (*onOut)(const QString &line) = nullptr);
