// Tools shared by the compiler, the run time and the binding modules: type
// codes and names, the type compatibility rule, literal texts, positions and
// declaration strings.
#pragma once

#include "script/ks_iinterpreter.h"

#include <QPoint>

// The language registry: grammar texts by language name (case-insensitive).
void ksAddLanguage(const QString &name, const QString &grammar);  // replaces or adds
// The grammar text; raises KsError(SLangNotFound) for an unknown name.
QString ksLanguageGrammar(const QString &name);
QStringList ksLanguageNames();

// The type code of a type name as the script (and its parents) knows it; an
// unknown name is taken to be a class name (tcClass); an empty name is a
// Variant.
TksVarType ksTypeCodeOf(const QString &typeName, const TksScript *script);
// The name reported for a type code ("Integer", "Extended" ...; empty for
// tcClass and tcEnum, which report their own type names).
QString ksTypeCodeName(TksVarType code);
// Both names must be registered classes; true when B is A or descends from A.
bool ksClassInherits(const QString &typeNameA, const QString &typeNameB, const TksScript *script);

struct TksTypeDesc {
    TksVarType Code;
    QString Name;
};
// Target A, source B.
bool ksTypesCompatibleLoose(const TksTypeDesc &a, const TksTypeDesc &b, const TksScript *script);
// As the loose rule, and a float source does not fit an integer target.
bool ksTypesCompatible(const TksTypeDesc &a, const TksTypeDesc &b, const TksScript *script);

// The value of a number or string text as the scanner returns it ('...' for
// strings, $ for hexadecimal). Empty text gives Null.
KsValue ksLiteralToVariant(const QString &text);
// "line:col" to (col, line); empty gives (0, 0).
QPoint ksPosToPoint(const QString &pos);

// Reads a declaration string ("function Copy(s: String; from, count:
// Integer): String") into a routine description: name, result type, macro
// flag and TksParamItem entries. The caller owns the result. Raises KsError
// on a declaration that cannot be read.
TksCustomVariable *ksParseDeclaration(const QString &declaration, const TksScript *script);
