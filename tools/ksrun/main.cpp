// ksrun [--language NAME] FILE
// Compiles a script file (language by option, by a "#language" first line,
// else PascalScript) and runs it. `Out(V)` prints a value on its own line.
// Exit codes: 0 ran, 1 compile error ("line:col: message"), 2 run-time
// error ("line:col: Class: message"), 3 usage or file error.
#include "script/ks_iinterpreter.h"
#include "script/ksrtl.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

void Print(const QString& s) {
  const QByteArray b = s.toUtf8();
  std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

QStringList SplitLines(const QString& text) {
  QString t = text;
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QStringList lines = t.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString language = QStringLiteral("PascalScript");
  QString file;
  for (int i = 0; i < args.size(); ++i) {
    if ((args[i] == QLatin1String("--language") || args[i] == QLatin1String("-l")) && i + 1 < args.size())
      language = args[++i];
    else
      file = args[i];
  }
  if (file.isEmpty()) {
    std::fprintf(stderr, "usage: ksrun [--language NAME] FILE\n");
    return 3;
  }
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "ksrun: cannot read %s\n", qPrintable(file));
    return 3;
  }
  TksScript script;
  script.AddRTTI();
  script.AddMethod(QStringLiteral("procedure Out(V: Variant)"),
                   [](QObject*, const KsClassInfo*, const QString&, TksMethodHelper* h) {
                     Print(h->GetParam(0).ToText());
                     return KsValue();
                   });
  script.SyntaxType = language;
  script.Lines = SplitLines(QString::fromUtf8(f.readAll()));
  if (!script.Compile()) {
    QString where = script.ErrorPos;
    if (!script.ErrorUnit.isEmpty()) where = script.ErrorUnit + QLatin1Char(':') + where;
    Print(where + QStringLiteral(": ") + script.ErrorMsg);
    return 1;
  }
  try {
    script.Execute();
  } catch (const KsError& e) {
    Print(e.SourcePos + QStringLiteral(": ") + e.ClassName + QStringLiteral(": ") + e.Message);
    return 2;
  } catch (const std::exception& e) {
    Print(QStringLiteral(": Exception: ") + QString::fromUtf8(e.what()));
    return 2;
  }
  return 0;
}
