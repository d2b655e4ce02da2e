#include "platform/instance/singleinstance.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vplatform {

SingleInstance::SingleInstance(const QString &name, const QString &folder)
    : m_folder(folder), m_path(QDir(folder).filePath(name + QStringLiteral(".lock")))
{}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    if (m_fd >= 0) return true;
    m_failure.clear();
    const QString shown = QDir::toNativeSeparators(m_folder);
    auto failed = [&](int err) {
        m_failure = QStringLiteral("无法在数据文件夹 %1 中建立锁文件（%2）。请检查该文件夹的写入权限。")
                            .arg(shown, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    };
    if (!QDir().mkpath(m_folder)) return failed(EACCES);
    const QByteArray path = QFile::encodeName(m_path);
    // Close-on-exec: a program started from here must not keep the lock.
    // Never through a link, nor into a file with other names: the lock file
    // is emptied and opened to everyone, which another user sharing the
    // folder could otherwise turn on any file of the user's.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        ::close(fd);
        return failed(EPERM);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? false : failed(err);
    }
    // Another user's copy must be able to open the file to find it locked.
    ::fchmod(fd, 0666);
    // The holder's pid, only for people looking at the folder.
    if (::ftruncate(fd, 0) == 0) {
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        [[maybe_unused]] ssize_t n = ::write(fd, pid.constData(), size_t(pid.size()));
    }
    m_fd = fd;
    return true;
}

void SingleInstance::release()
{
    if (m_fd < 0) return;
    // The file stays: removing it would let a third copy lock a new file
    // while a second still waits on the old one.
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace vplatform
