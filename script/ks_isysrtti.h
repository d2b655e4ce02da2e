// The built-in module every script receives first: basic types, constants,
// the exception variables and the helpers for array and string indexing.
// The run-time library functions are registered here by the compiler issue.
#pragma once

#include "script/ks_iinterpreter.h"

class TksSysFunctions : public TksRTTIModule {
public:
  explicit TksSysFunctions(TksScript* script);
};
