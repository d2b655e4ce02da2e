#pragma once
// Work run in a child process and measured there: its time and its own peak
// resident size, so that tenfold input may be checked to cost about tenfold
// (a ratio, never a time); and a child left little room to run out of memory.

#include <QFile>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

inline qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Cost {
    double Seconds = 0;
    qint64 PeakKb = 0;
    int Status = -1;
};

// Runs work in a child process, so that its peak resident size is its own:
// the peak is reset when the child starts (freed memory of earlier work
// would otherwise be reused without showing) and read when it ends. The
// child's exit status is what work returns.
inline Cost inChild(const std::function<int()> &work)
{
    int fd[2];
    if (pipe(fd) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly)) reset.write("5");
        reset.close();
        const qint64 base = statusKb("VmRSS");
        // Processor time, not the clock: other processes on a busy machine
        // stretch the clock of a small run far more than tenfold work does.
        const double start = cpuSeconds();
        const int status = work();
        Cost c;
        c.Seconds = cpuSeconds() - start;
        c.PeakKb = statusKb("VmHWM") - base;
        const ssize_t written = write(fd[1], &c, sizeof c);
        _exit(written == sizeof c ? status : 99);
    }
    close(fd[1]);
    Cost c;
    const bool read = ::read(fd[0], &c, sizeof c) == sizeof c;
    close(fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    c.Status = read && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return c;
}

// Leaves this process room for only kb more kilobytes of address space.
// Blocks from 128 KiB up are mapped each on its own, so that what is freed
// is given back and what is asked for needs new room.
inline void leaveRoom(qint64 kb)
{
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    malloc_trim(0);
    // Large blocks the tests before freed stay in the heap, room beyond the
    // limit: they are taken first (until the heap has to grow), so that the
    // room is the same whatever ran before.
    for (size_t size = 120 * 1024; size >= 8 * 1024; size /= 2) {
        const void *end = sbrk(0);
        void *volatile taken = nullptr;
        do taken = std::malloc(size);
        while (taken && sbrk(0) == end);
    }
    const rlim_t limit = rlim_t(statusKb("VmSize") + kb) * 1024;
    const rlimit lim{limit, limit};
    setrlimit(RLIMIT_AS, &lim);
}

// The shorter time of two runs (the machine may be busy), the larger peak.
inline Cost cost(const std::function<int()> &work)
{
    const Cost a = inChild(work), b = inChild(work);
    return {std::min(a.Seconds, b.Seconds), std::max(a.PeakKb, b.PeakKb), std::max(a.Status, b.Status)};
}

struct GrowthCase {
    const char *Name;
    int N;
    std::function<int(int)> Run;
    // Bytes of peak memory one more unit of N may take.
    double BytesPerUnit;
};

// The work at n and at 10 n: about ten times the time and the memory, never
// a hundred (a small floor keeps fixed costs from counting).
inline void expectAboutTenfold(const GrowthCase &c)
{
    SCOPED_TRACE(c.Name);
    const Cost small = cost([&] { return c.Run(c.N); });
    const Cost big = cost([&] { return c.Run(10 * c.N); });
    ASSERT_EQ(small.Status, 0);
    ASSERT_EQ(big.Status, 0);
    const double floorSeconds = 0.01;
    const double timeRatio = big.Seconds / std::max(small.Seconds, floorSeconds);
    EXPECT_LT(timeRatio, 30) << small.Seconds << " s, then " << big.Seconds << " s";
    const qint64 floorKb = 4096;
    EXPECT_LT(double(big.PeakKb) / double(std::max(small.PeakKb, floorKb)), 30)
            << small.PeakKb << " KB, then " << big.PeakKb << " KB";
    // What the 9 N more units took, apart from what any run takes (a
    // sanitizer's own bookkeeping of freed blocks would count too).
    if (!kSanitized)
        EXPECT_LT(double(big.PeakKb - small.PeakKb) * 1024 / (9.0 * c.N), c.BytesPerUnit)
                << small.PeakKb << " KB, then " << big.PeakKb << " KB";
}
