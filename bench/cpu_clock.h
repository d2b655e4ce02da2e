#pragma once
// Processor time as a std::chrono clock. Benchmarks set each
// side against its anchor by it: the machine may be shared, and time spent
// waiting for a processor would fall on either side unevenly.

#include <chrono>
#include <time.h>

template <clockid_t Id>
struct BasicCpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<BasicCpuClock>;
    static constexpr bool is_steady = true;
    static time_point now() noexcept
    {
        timespec ts{};
        clock_gettime(Id, &ts);
        return time_point(duration(rep(ts.tv_sec) * 1000000000 + ts.tv_nsec));
    }
};

using CpuClock = BasicCpuClock<CLOCK_PROCESS_CPUTIME_ID>;
// Only the calling thread's: for work that runs on one thread.
using ThreadCpuClock = BasicCpuClock<CLOCK_THREAD_CPUTIME_ID>;
