// What one script run may hold in all: strings, lists, streams, Variant
// arrays and objects together (ksMaxRunBytes). The run's growth is the
// heap it added since the outermost run began, measured now and then as it
// grows; past the budget the growing operation raises EOutOfMemory, which
// the script's try statement can catch.
#pragma once

#include <QtGlobal>

// Marks one run. Nested runs (an event, an expression of a report being
// built) count against the outermost one's budget. An outermost run starts
// with `held` bytes already counted (the program it runs, compiled before).
class KsRunBudget {
public:
    explicit KsRunBudget(qint64 held = 0);
    ~KsRunBudget();
    KsRunBudget(const KsRunBudget &) = delete;
    KsRunBudget &operator=(const KsRunBudget &) = delete;
};

// The run is about to take `bytes` more: raises EOutOfMemory when that
// would pass the budget. Small amounts are summed and measured together;
// nothing happens outside a run.
void ksChargeRun(qint64 bytes);
// The run has just taken `bytes` (made by code that does not count, such as
// a library function or a copy of a list), counted exactly: measured with
// the other charges every 8 MB or so, raising EOutOfMemory when the run is
// already past its budget.
void ksRunTook(qint64 bytes);
// The same for what a value holds (a string's characters, an array's
// elements), such as the result of a call into the host.
class KsValue;
void ksRunTookValue(const KsValue &v);
// True while a run is on (on this thread).
bool ksInRun();
// What the current run has added to the process's memory so far (0 outside
// a run): the heap it uses more, or the heap the process took more from the
// system for it (gaps between freed and kept blocks included), the larger.
qint64 ksRunBytes();
// Of that, what the run holds in use (blocks not freed).
qint64 ksRunHeldBytes();
// The budget, ksMaxRunBytes unless set otherwise (tests lower it).
qint64 ksRunBudget();
void ksSetRunBudget(qint64 bytes);
