// The script compiler. Pass 1 runs the rules of a language grammar against
// the scanner and writes the intermediate language (IL, an XML document
// common to all languages); pass 2 builds variables, routines, statements and
// expressions of a TksScript from the IL and makes every semantic check.
//
// Normal use goes through TksScript::Compile, which runs this compiler
// (ksCompileScript) unless a host replaced it with ksSetCompileHook:
//
//   TksScript s;  s.AddRTTI();
//   s.SyntaxType = "JScript";           // or a "#language X" first line
//   s.Lines = text.split("\n");
//   if (!s.Compile()) qDebug() << s.ErrorPos << s.ErrorMsg;  // "3:5" ...
//   s.Execute();
//
// Errors never escape Compile: syntax errors, semantic errors, an unknown or
// broken language and over-complex texts all end in ErrorMsg / ErrorPos /
// ErrorUnit.
#pragma once

#include "script/ks_iinterpreter.h"
#include "script/ks_xml.h"

#include <QHash>
#include <memory>

namespace ksil {
struct Grammar;
}

class TksILParser {
public:
    explicit TksILParser(TksScript *program);
    ~TksILParser();
    TksILParser(const TksILParser &) = delete;
    TksILParser &operator=(const TksILParser &) = delete;

    // Selects the grammar (raises KsError SLangNotFound / SInvalidLanguage).
    void SelectLanguage(const QString &name);
    // Pass 1. Sets ErrorMsg / ErrorPos of the program; true on success.
    bool MakeILScript(const QString &text);
    // Pass 2 on the IL of the last successful MakeILScript. Never raises:
    // errors go to ErrorMsg / ErrorPos / ErrorUnit.
    void ParseILScript();

    TksXMLDocument *ILDocument() { return &FIL; }
    QString Language() const { return FLanguage; }
    bool DeclareVars() const { return FDeclareVars; }
    QString UnitName;
    QStringList UsedUnits;  // units already included (shared with child parsers)
    int UnitDepth = 0;
    // Texts by unit name (the main text under ""), for expression sources.
    std::shared_ptr<QHash<QString, QString>> Texts;
    // The main text is not in Texts but is the program's Lines, joined.
    bool TextFromLines = false;

private:
    friend struct ksilPass1;
    friend struct ksilPass2;
    TksScript *FProgram;
    std::shared_ptr<const ksil::Grammar> FGrammar;
    std::unique_ptr<TksXMLArena> FArena;  // the IL's items (outlives FIL)
    TksXMLDocument FIL;
    QString FLanguage;
    bool FDeclareVars = true;
};

// The text of script lines: each ends with CR LF.
QString ksJoinedLines(const QStringList &lines);
// Compiles `script`: what TksScript::Compile runs when no compile hook is set.
void ksCompileScript(TksScript *script);
// Pass 1 only: the IL of `text` in `language` as XML text (auto-indented),
// or an empty string with `error` set to "line:col: message". A unit file
// that cannot be read gives an empty uses element here.
QString ksMakeIL(const QString &text, const QString &language, QString *error = nullptr);
// Reads a unit file: only a regular file of at most ksMaxUnitBytes (a
// device or a huge file would never end or exhaust the memory). On failure
// `error` names the file.
bool ksReadUnitFile(const QString &unit, QString &text, QString &error);
// Installs the late-bound designator resolver (TksDesignator::LateCompiler),
// which builds designators met at run time. ksCompileScript calls it; safe
// to call more than once.
void ksInstallCompiler();
