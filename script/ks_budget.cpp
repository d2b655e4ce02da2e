#include "script/ks_budget.h"

#include "script/ks_iconst.h"
#include "script/ks_limits.h"
#include "script/ksvalue.h"

#include "script/ks_pool.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>

#ifdef KS_HEAP_FROM_SANITIZER
#include <sanitizer/allocator_interface.h>
#endif

namespace {

// Scripts run on one thread each; a run's state is that thread's.
struct RunState {
    int Depth = 0;
    qint64 Base = 0;     // heap in use when the outermost run began
    qint64 BaseTaken = 0;  // heap the process had taken from the system then
    qint64 Pending = 0;  // charged since the last measurement
    int Calls = 0;       // charges since the last measurement
};
thread_local RunState gRun;
std::atomic<qint64> gBudget{ksMaxRunBytes};

// Small charges are measured together: every this many bytes or calls.
constexpr qint64 kMeasureEveryBytes = qint64(8) << 20;
constexpr int kMeasureEveryCalls = 4096;

// The heap in use, and what the process has taken from the system for it:
// the second holds the first and the gaps between freed and kept blocks,
// which the process's own memory shows too.
struct Heap {
    qint64 Used;
    qint64 Taken;
};

Heap heapNow()
{
#ifdef KS_HEAP_FROM_SANITIZER
    const qint64 used = qint64(__sanitizer_get_current_allocated_bytes());
    return {used, used};
#else
    const struct mallinfo2 m = mallinfo2();
    return {qint64(m.uordblks) + qint64(m.hblkhd), qint64(m.arena) + qint64(m.hblkhd)};
#endif
}

}  // namespace

KsRunBudget::KsRunBudget(qint64 held)
{
    if (gRun.Depth++ == 0) {
        const Heap h = heapNow();
        gRun.Base = h.Used - std::max<qint64>(0, held);
        gRun.BaseTaken = h.Taken - std::max<qint64>(0, held);
        gRun.Pending = 0;
        gRun.Calls = 0;
    }
}

KsRunBudget::~KsRunBudget()
{
    --gRun.Depth;
}

qint64 ksRunBudget()
{
    return gBudget.load(std::memory_order_relaxed);
}

void ksSetRunBudget(qint64 bytes)
{
    gBudget.store(bytes, std::memory_order_relaxed);
}

qint64 ksRunBytes()
{
    if (gRun.Depth == 0) return 0;
    // a run that reuses gaps left before it takes nothing new from the
    // system, yet holds what it uses: the larger of the two counts
    const Heap h = heapNow();
    return std::max<qint64>({0, h.Used - gRun.Base, h.Taken - gRun.BaseTaken});
}

qint64 ksRunHeldBytes()
{
    return gRun.Depth > 0 ? std::max<qint64>(0, heapNow().Used - gRun.Base) : 0;
}

namespace {

// Counts `bytes` towards the next measurement; a measurement raises when the
// run's growth and `ahead` bytes still to come pass the budget. Charges that
// may be less than what they stand for (an allowance per list step) are
// also measured every so many calls; exact ones only by their bytes, since
// measuring a fragmented heap takes long.
void Charge(qint64 bytes, qint64 ahead, bool exact)
{
    if (gRun.Depth == 0 || bytes < 0) return;
    const qint64 budget = ksRunBudget();
    bytes = std::min(bytes, budget + 1);
    gRun.Pending += bytes;
    if (gRun.Pending < std::min(kMeasureEveryBytes, budget / 16) && (exact || ++gRun.Calls < kMeasureEveryCalls))
        return;
    gRun.Pending = 0;
    gRun.Calls = 0;
    if (ksRunBytes() + std::min(ahead, budget + 1) > budget)
        throw KsError(QStringLiteral("EOutOfMemory"), SRunTooLarge.arg(budget >> 20));
}

}  // namespace

void ksChargeRun(qint64 bytes)
{
    Charge(bytes, bytes, false);
}

void ksRunTook(qint64 bytes)
{
    Charge(bytes, 0, true);
}

bool ksInRun()
{
    return gRun.Depth > 0;
}

void ksRunTookValue(const KsValue &v)
{
    if (v.IsString())
        ksRunTook(qint64(v.RawString().size()) * 2);
    else if (v.IsArray())
        ksRunTook(v.ElementCount() * qint64(sizeof(KsValue)));
}
