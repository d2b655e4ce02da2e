#include "script/ks_isysrtti.h"

#include "script/ks_idesignator.h"

TksSysFunctions::TksSysFunctions(TksScript* script) : TksRTTIModule(script) {
  static const struct {
    const char* Name;
    TksVarType Code;
  } types[] = {{"Byte", tcInteger},     {"Word", tcInteger},    {"Integer", tcInteger},   {"Longint", tcInteger},
               {"Cardinal", tcInteger}, {"TColor", tcInteger},  {"Boolean", tcBoolean},   {"Real", tcFloat},
               {"Single", tcFloat},     {"Double", tcFloat},    {"Extended", tcFloat},    {"Currency", tcFloat},
               {"TDate", tcFloat},      {"TTime", tcFloat},     {"TDateTime", tcFloat},   {"Char", tcChar},
               {"String", tcString},    {"Variant", tcVariant}, {"Pointer", tcVariant},   {"Array", tcArray},
               {"Constructor", tcConstructor}};
  for (const auto& t : types) script->AddType(QLatin1String(t.Name), t.Code);

  script->AddConst(QStringLiteral("True"), QStringLiteral("Boolean"), KsValue(true));
  script->AddConst(QStringLiteral("False"), QStringLiteral("Boolean"), KsValue(false));
  script->AddConst(QStringLiteral("nil"), QStringLiteral("Variant"), KsValue(0));
  script->AddConst(QStringLiteral("Null"), QStringLiteral("Variant"), KsValue::Null());
  script->AddVariable(QStringLiteral("ExceptionClassName"), QStringLiteral("String"), KsValue(QString()));
  script->AddVariable(QStringLiteral("ExceptionMessage"), QStringLiteral("String"), KsValue(QString()));

  auto* arrayHelper = new TksArrayHelper(QStringLiteral("__ArrayHelper"), tcVariant, QStringLiteral("Variant"), 0);
  script->Add(arrayHelper->Name, arrayHelper);
  auto* stringHelper = new TksStringHelper;
  script->Add(stringHelper->Name, stringHelper);

  static const struct {
    const char* Name;
    int Value;
  } varTypes[] = {{"varEmpty", 0},      {"varNull", 1},        {"varSmallint", 2},   {"varInteger", 3},
                  {"varSingle", 4},     {"varDouble", 5},      {"varCurrency", 6},   {"varDate", 7},
                  {"varOleStr", 8},     {"varDispatch", 9},    {"varError", 10},     {"varBoolean", 11},
                  {"varVariant", 12},   {"varUnknown", 13},    {"varShortInt", 16},  {"varByte", 17},
                  {"varWord", 18},      {"varLongWord", 19},   {"varInt64", 20},     {"varStrArg", 72},
                  {"varString", 256},   {"varAny", 257},       {"varTypeMask", 4095}, {"varArray", 8192},
                  {"varByRef", 16384}};
  for (const auto& v : varTypes) script->AddConst(QLatin1String(v.Name), QStringLiteral("Integer"), KsValue(v.Value));
}
