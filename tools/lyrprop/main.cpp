// lyrprop FROM TO [--out DIR] [--timeout SECONDS] [--reduce N] [--plain]
// lyrprop --dump SEED [--plain] | --plan "TEMPLATE LINE" | --stats FROM TO [--plain]
// --plain: the templates without the shapes drawn from their own stream
// (hidden bands, labels, column groups, more aggregates), as seeds gave
// them before those.
// Seeds are independent: several processes may run disjoint ranges, each
// with its own --out directory.
// Runs the generated templates of seeds FROM..TO-1 through the engine and
// checks their pages. Templates run in child processes: one that takes
// longer than the timeout (or crashes) is counted as such and the run goes
// on after it. The first N failures of each kind are reduced and written to
// DIR as a template, its CSV files and the lyrrun command. Prints one line
// per failing seed and the counts by kind at the end.

#include "lyrproperty.h"

#include "report/lyrclass.h"
#include "reportengine/lyrengine.h"

#include <QApplication>
#include <QDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Qt lives only in the children: each makes its own application.
void startQt()
{
    static int argc = 1;
    static char name[] = "lyrprop";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *app = new QApplication(argc, argv);
    (void)app;
    lyrRegisterReportClasses();
    lyrInstallEngine();
    // Memory that grows past this ends the child as a failure.
    rlimit limit{3ul << 30, 3ul << 30};
    setrlimit(RLIMIT_AS, &limit);
}

struct Outcome {
    std::string Kind;  // empty: passed
    std::string Text;
};

// Reads the pipe until its writer closes it, giving each chunk to take;
// false when nothing came for timeout seconds.
bool readWithin(int fd, int timeout, const std::function<void(const char *, size_t)> &take)
{
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int n = poll(&p, 1, timeout * 1000);
        if (n == 0) return false;
        if (n < 0 && errno == EINTR) continue;
        char chunk[4096];
        const ssize_t r = read(fd, chunk, sizeof chunk);
        if (r <= 0) return true;
        take(chunk, size_t(r));
    }
}

// Runs fn in a child process that writes its outcome to a pipe; a child
// that takes longer than timeout seconds is killed.
template <class Fn>
Outcome isolated(Fn fn, int timeout)
{
    int fds[2];
    if (pipe(fds) != 0) return {"tool", "no pipe"};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        startQt();
        const std::string out = fn();
        ssize_t w = write(fds[1], out.data(), out.size());
        (void)w;
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    const bool timedOut = !readWithin(fds[0], timeout, [&](const char *data, size_t n) { got.append(data, n); });
    close(fds[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (timedOut) return {"timeout", "longer than " + std::to_string(timeout) + " s"};
    if (WIFSIGNALED(status)) return {"crash", "signal " + std::to_string(WTERMSIG(status))};
    if (got.empty()) return {};
    const size_t tab = got.find('\t');
    return {got.substr(0, tab), tab == std::string::npos ? std::string() : got.substr(tab + 1)};
}

// The first failure of that kind (of any kind, when none is given).
std::string firstFailure(const lyrprop::Plan &s, const std::string &kind = {})
{
    for (const lyrprop::Failure &x : lyrprop::runPlan(s))
        if (kind.empty() || x.Kind.toStdString() == kind) return x.Kind.toStdString() + "\t" + x.Text.toStdString();
    return {};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lyrprop FROM TO [--out DIR] [--timeout SECONDS] [--reduce N] [--plain]\n");
        return 2;
    }
    bool shapes = true;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--plain") shapes = false;
    if (std::string(argv[1]) == "--stats" && argc >= 4) {
        // How often each option comes in the templates of seeds FROM..TO-1.
        const uint64_t from = std::strtoull(argv[2], nullptr, 10), to = std::strtoull(argv[3], nullptr, 10);
        std::map<std::string, int> seen;
        for (uint64_t seed = from; seed < to; ++seed) {
            lyrprop::SeedSource src(seed);
            const lyrprop::Plan s = lyrprop::generate(src, seed, true, shapes);
            const std::pair<const char *, bool> options[] = {
                    {"script on events", s.Script > 0},
                    {"cross-tab", s.CrossCols > 0},
                    {"cross-tab over several width pages",
                     s.CrossCols > 0 && lyrprop::kCrossLeft + 20 + s.CrossCols * s.CrossWidth > s.pageWidth()},
                    {"page footer totals", s.PageTotals},
                    {"column footer totals", s.ColumnTotals},
                    {"print-on-parent subreport of 20+ rows in title/summary/group header/footer",
                     s.SubPop && s.SubRecords >= 20 && s.SubHost != 2 && s.SubHost != 5},
                    {"StartNewPage title", s.TitleNewPage},
                    {"StartNewPage summary", s.SummaryNewPage},
                    {"StartNewPage child", s.ChildNewPage},
                    {"second report page", s.Page2},
                    {"subdetail", s.SubDetailRows > 0 && s.DetailSet},
                    {"band taller than a column, AllowSplit", s.TallEvery > 0 && s.MasterSplit},
                    {"band taller than a column, no AllowSplit", s.TallEvery > 0 && !s.MasterSplit},
                    {"Stretched+AllowSplit+KeepChild record with child, 60+ words",
                     s.MasterSplit && s.KeepChild && s.Child && s.StretchWords >= 60},
                    {"records hidden by script", s.HideRecords > 0},
                    {"records hidden by script, kept footer/header/block", s.HideRecords > 0 && (s.KeepFooter || s.KeepHeader || s.MasterKeep)},
                    {"data footer hidden by script", (s.HideBands & 1) != 0},
                    {"group footers hidden by script", (s.HideBands & 2) != 0},
                    {"column footer hidden by script", (s.HideBands & 4) != 0},
                    {"page footer hidden by script", (s.HideBands & 8) != 0},
                    {"child band hidden by script", (s.HideBands & 16) != 0},
                    {"labels with page or column totals", s.Labels && (s.PageTotals || s.ColumnTotals)},
                    {"cross-tab column groups", s.CrossGroups > 0},
                    {"MIN/MAX/AVG over text, half-cent amounts", s.Aggregates},
                    {"plain text with parentheses in footers", s.PlainText},
                    {"page-number expressions with formats", s.PageExpr}};
            for (const auto &[name, on] : options) seen[name] += on ? 1 : 0;
        }
        for (const auto &[name, n] : seen)
            std::printf("%6.2f%%  %s\n", 100.0 * n / double(std::max<uint64_t>(1, to - from)), name.c_str());
        return 0;
    }
    if (std::string(argv[1]) == "--dump" || std::string(argv[1]) == "--plan") {
        // The pages of one template (a seed's, or one given by its line), as
        // lyrrun --dump prints them, after the rules it breaks.
        startQt();
        lyrprop::Plan plan;
        if (std::string(argv[1]) == "--plan") {
            plan = lyrprop::parse(QString::fromLocal8Bit(argv[2]));
        } else {
            const uint64_t seed = std::strtoull(argv[2], nullptr, 10);
            lyrprop::SeedSource src(seed);
            plan = lyrprop::generate(src, seed, true, shapes);
        }
        std::printf("%s\n", plan.describe().toUtf8().constData());
        std::unique_ptr<lyrprop::Built> b = lyrprop::build(plan);
        for (const lyrprop::Failure &f : lyrprop::run(*b))
            std::printf("%s: %s\n", f.Kind.toUtf8().constData(), f.Text.toUtf8().constData());
        std::fputs(lyrDumpPreparedPages(b->pages()).toUtf8().constData(), stdout);
        return 0;
    }
    const uint64_t from = std::strtoull(argv[1], nullptr, 10), to = std::strtoull(argv[2], nullptr, 10);
    std::string out = "lyrprop-cases";
    int timeout = 20, reduceEach = 2;
    for (int i = 3; i + 1 < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plain") continue;
        if (a == "--out") out = argv[i + 1];
        if (a == "--timeout") timeout = std::atoi(argv[i + 1]);
        if (a == "--reduce") reduceEach = std::atoi(argv[i + 1]);
        ++i;
    }
    std::map<std::string, int> kinds;
    uint64_t seed = from, ran = 0, failed = 0;
    // A batch of seeds runs in one child; on a failure the batch stops there
    // and the next batch starts after it.
    while (seed < to) {
        const uint64_t start = seed, end = std::min(to, seed + 500);
        uint64_t reached = start;
        int fds[2];
        if (pipe(fds) != 0) return 1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            startQt();
            for (uint64_t s = start; s < end; ++s) {
                // The seed first, before the template runs, so a hang or
                // crash is known by it.
                const std::string begun = "S" + std::to_string(s) + "\n";
                ssize_t w = write(fds[1], begun.data(), begun.size());
                std::string line;
                lyrprop::SeedSource src(s);
                const std::string f = firstFailure(lyrprop::generate(src, s, true, shapes));
                if (!f.empty()) line += "F" + f.substr(0, f.find('\n')) + "\n";
                w = write(fds[1], line.data(), line.size());
                (void)w;
            }
            close(fds[1]);
            _exit(0);
        }
        close(fds[1]);
        std::string buf;
        std::vector<std::pair<uint64_t, std::string>> failures;
        uint64_t current = start;
        const bool hung = !readWithin(fds[0], timeout, [&](const char *data, size_t n) {
            buf.append(data, n);
            for (size_t nl; (nl = buf.find('\n')) != std::string::npos; buf.erase(0, nl + 1)) {
                const std::string line = buf.substr(0, nl);
                if (line[0] == 'S') {
                    ++ran;
                    current = std::strtoull(line.c_str() + 1, nullptr, 10);
                    reached = current;
                } else if (line[0] == 'F') {
                    failures.emplace_back(current, line.substr(1));
                }
            }
        });
        close(fds[0]);
        if (hung) kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (hung || WIFSIGNALED(status)) {
            failures.emplace_back(reached, hung ? "timeout\tno end after " + std::to_string(timeout) + " s"
                                                : "crash\tsignal " + std::to_string(WTERMSIG(status)));
            seed = reached + 1;
        } else {
            seed = end;
        }
        std::fprintf(stderr, "ran %llu, failing %llu\n", static_cast<unsigned long long>(ran),
                     static_cast<unsigned long long>(failed));
        for (const auto &[s, f] : failures) {
            const std::string kind = f.substr(0, f.find('\t'));
            ++failed;
            const int n = ++kinds[kind];
            std::printf("seed %llu %s\n", static_cast<unsigned long long>(s), f.c_str());
            std::fflush(stdout);
            if (n > reduceEach) continue;
            lyrprop::SeedSource src(s);
            lyrprop::Plan plan = lyrprop::generate(src, s, true, shapes);
            auto fails = [&](const lyrprop::Plan &t) {
                if (kind == "timeout" || kind == "crash")
                    return isolated([&] { return firstFailure(t); }, std::max(3, timeout / 4)).Kind == kind;
                return isolated([&] { return firstFailure(t, kind); }, timeout).Kind == kind;
            };
            plan = lyrprop::reduce(plan, fails, 300);
            QDir().mkpath(QString::fromStdString(out));
            const std::string stem = kind + "_" + std::to_string(s);
            const Outcome written = isolated(
                    [&] {
                        const QString cmd = lyrprop::writeCase(plan, QString::fromStdString(out),
                                                               QString::fromStdString(stem));
                        return "written\t" + plan.describe().toStdString() + "\n" + cmd.toStdString();
                    },
                    timeout);
            std::printf("  reduced: %s\n", written.Text.c_str());
            std::fflush(stdout);
        }
    }
    std::printf("templates %llu, failing %llu\n", static_cast<unsigned long long>(ran),
                static_cast<unsigned long long>(failed));
    for (const auto &[k, n] : kinds) std::printf("  %s: %d\n", k.c_str(), n);
    return failed ? 1 : 0;
}
