#pragma once
// Writers run in a child process: on a full disk (a file size limit, the
// signal ignored so that writes fail with EFBIG) or killed at a chosen
// moment, so that the test process itself is never limited or killed.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <functional>

// What work returns in a child whose files cannot grow beyond bytes; -1
// when the child did not end by itself.
inline int onFullDisk(rlim_t bytes, const std::function<int()> &work)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(work());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts work in a child and kills it afterMicroseconds after work began
// (or lets it end when it is quicker).  True when the kill came first.
inline bool killedDuring(const std::function<void()> &work, int afterMicroseconds)
{
    int fd[2];
    if (pipe(fd) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fd[0]);
        const char go = 1;
        if (write(fd[1], &go, 1) != 1) _exit(98);
        work();
        _exit(0);
    }
    close(fd[1]);
    char go = 0;
    const bool started = read(fd[0], &go, 1) == 1;
    close(fd[0]);
    if (started) usleep(useconds_t(afterMicroseconds));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool putFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The names in the folder (part files left by a killed writer included).
inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
