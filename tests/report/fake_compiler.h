#pragma once
// A stand-in for the script compiler while it is not linked in: it builds
// the function texts of the expression cache for a small expression
// language (sums of integers, Get('name') calls and variable names) and
// accepts report scripts unless a line holds the word "error".

#include <QString>

namespace fakecompiler {
// Installs the hook; Compiles() counts the calls since Install.
void Install();
void Uninstall();
int Compiles();
}  // namespace fakecompiler
