// A script run's budget lowered for a test, so that reaching it is cheap.
#pragma once

#include "script/ks_budget.h"

// The run's budget lowered to `mb` while it lives.
struct LoweredBudget {
    explicit LoweredBudget(qint64 mb) { ksSetRunBudget(mb << 20); }
    ~LoweredBudget() { ksSetRunBudget(ksMaxRunBytes); }
    LoweredBudget(const LoweredBudget &) = delete;
    LoweredBudget &operator=(const LoweredBudget &) = delete;
};
