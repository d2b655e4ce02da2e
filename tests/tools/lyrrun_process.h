#pragma once
// Runs build/bin/lyrrun as a child process, as a user's shell would.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

struct RunResult {
    int exitCode = -1;
    QString out, err;
};

inline RunResult runLyrrun(const QString &exe, const QStringList &args, int waitMs)
{
    QProcess p;
    p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    p.start(exe, args);
    RunResult r;
    // A runner waiting for a user would never end: the guard fails the
    // test instead of hanging it.
    if (!p.waitForFinished(waitMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "lyrrun did not end";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
