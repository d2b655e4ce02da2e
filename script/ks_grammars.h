// The grammars carried by the program: "PascalScript", "C++Script",
// "BasicScript" and "JScript" (XML documents of resources/grammars, compiled
// into ks_grammardata.cpp).
#pragma once

// The grammar texts, nullptr-terminated.
extern const char *const ksBuiltinGrammars[];

// Registers the built-in grammars with the language registry under the name
// in their language element. Runs once; the registry calls it on first use.
void ksRegisterBuiltinLanguages();
