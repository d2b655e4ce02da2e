#include "platform/instance/singleinstance.h"

#include <QDir>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace vplatform {

SingleInstance::SingleInstance(const QString &name, const QString &folder)
{
    QString dir = folder;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    m_path = QDir(dir).filePath(QStringLiteral("%1-%2.lock").arg(name).arg(getuid()));
    m_lock = std::make_unique<QLockFile>(m_path);
    // Staleness only by a dead owner, never by age: the shop runs for days.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() { release(); }

bool SingleInstance::acquire()
{
    if (m_lock->isLocked()) return true;
    if (m_lock->tryLock(0)) return true;
    if (m_lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        if (m_lock->getLockInfo(&pid, &host, &app) && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            m_lock->removeStaleLockFile();
            return m_lock->tryLock(0);
        }
    }
    return false;
}

void SingleInstance::release()
{
    if (m_lock && m_lock->isLocked()) m_lock->unlock();
}

}  // namespace vplatform
