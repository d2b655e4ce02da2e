// The built-in module every script receives first: basic types, constants,
// the exception variables, the run-time library functions by category
// ("ctConv", "ctFormat", "ctDate", "ctString", "ctMath", "ctOther") and the
// helpers for array and string indexing.
#pragma once

#include "script/ks_iinterpreter.h"

#include <functional>

class TksSysFunctions : public TksRTTIModule {
public:
    explicit TksSysFunctions(TksScript *script);
};

// What ShowMessage does with its text. The default shows a message box when
// a widget application runs, else writes the text to standard error.
extern std::function<void(const QString &text)> ksShowMessageHandler;

// Applies an edit mask ("mask;save literals;blank") to a value: 0 9 # L l A a
// C c take one character of the value each, > < <> switch case, \ quotes the
// next mask character, anything else is a literal.
QString ksFormatMaskText(const QString &editMask, const QString &value);
// The integer or float a text stands for (blanks trimmed, "$" for hex).
bool ksTryStrToInt64(const QString &s, qint64 &out);
bool ksTryStrToFloat(const QString &s, double &out);
