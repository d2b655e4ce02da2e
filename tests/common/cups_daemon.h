#pragma once
// The private print server of the printing tests (tools/cups/private-cupsd.sh):
// started for one test, pointed at by this process's libcups, stopped at the
// end (and by the script's watcher should the test process die).

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>

class PrivateCups {
public:
    PrivateCups()
    {
        // The socket path must stay short: a folder directly under /tmp.
        dir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/vcups-XXXXXX"));
        if (!dir_->isValid()) {
            reason = QStringLiteral("no temporary folder");
            return;
        }
        QProcess p;
        p.start(QStringLiteral("bash"),
                {script(), QStringLiteral("start"), dir_->path(), QString::number(QCoreApplication::applicationPid())});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            reason = QStringLiteral("the private CUPS daemon did not start: ") +
                     QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
            p.kill();
            return;
        }
        socket_ = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        previous_ = qgetenv("CUPS_SERVER");
        qputenv("CUPS_SERVER", socket_.toLocal8Bit());
        cupsSetServer(socket_.toLocal8Bit().constData());
        ok = true;
    }
    ~PrivateCups()
    {
        if (!dir_ || !dir_->isValid()) return;
        stop();
        if (ok) {
            if (previous_.isEmpty())
                qunsetenv("CUPS_SERVER");
            else
                qputenv("CUPS_SERVER", previous_);
            cupsSetServer(nullptr);
        }
    }
    PrivateCups(const PrivateCups &) = delete;
    PrivateCups &operator=(const PrivateCups &) = delete;

    bool ok = false;
    QString reason;

    // The jobs the queue ("pdf" or "raw") received so far, in job order,
    // waiting (a bounded time) until there are at least count of them.
    QList<QByteArray> jobs(const QString &queue, int count, int waitMs = 30000) const
    {
        QElapsedTimer t;
        t.start();
        QDir d(dir_->path() + QStringLiteral("/out/") + queue);
        QStringList files;
        for (;;) {
            files = d.entryList({QStringLiteral("job-*.out")}, QDir::Files);
            if (files.size() >= count || t.elapsed() > waitMs) break;
            QThread::msleep(50);
        }
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            return a.section(u'-', 1).section(u'.', 0, 0).toInt() < b.section(u'-', 1).section(u'.', 0, 0).toInt();
        });
        QList<QByteArray> out;
        for (const QString &f : files) {
            QFile file(d.filePath(f));
            if (file.open(QIODevice::ReadOnly)) out << file.readAll();
        }
        return out;
    }
    QString path() const { return dir_->path(); }
    // Runs a CUPS administration tool (cupsreject, ...) against this server.
    bool admin(const QString &tool, const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CUPS_SERVER"), socket_);
        p.setProcessEnvironment(env);
        p.start(tool, args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    // Stops the server now, as a print service that goes away.
    void stop() const { QProcess::execute(QStringLiteral("bash"), {script(), QStringLiteral("stop"), dir_->path()}); }

private:
    static QString script() { return QStringLiteral(VELMORA_SOURCE_DIR "/tools/cups/private-cupsd.sh"); }
    std::unique_ptr<QTemporaryDir> dir_;
    QString socket_;
    QByteArray previous_;
};
