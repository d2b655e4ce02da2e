// What one script run may hold in all: strings, lists, streams, Variant
// arrays and objects together (ksMaxRunBytes). The run's growth is the
// heap it added since the outermost run began, measured now and then as it
// grows; past the budget the growing operation raises EOutOfMemory, which
// the script's try statement can catch.
#pragma once

#include <QtGlobal>

// Marks one run. Nested runs (an event, an expression of a report being
// built) count against the outermost one's budget.
class KsRunBudget {
public:
    KsRunBudget();
    ~KsRunBudget();
    KsRunBudget(const KsRunBudget &) = delete;
    KsRunBudget &operator=(const KsRunBudget &) = delete;
};

// The run is about to take `bytes` more: raises EOutOfMemory when that
// would pass the budget. Small amounts are summed and measured together;
// nothing happens outside a run.
void ksChargeRun(qint64 bytes);
// What the current run has added to the heap so far (0 outside a run).
qint64 ksRunBytes();
// The budget, ksMaxRunBytes unless set otherwise (tests lower it).
qint64 ksRunBudget();
void ksSetRunBudget(qint64 bytes);
