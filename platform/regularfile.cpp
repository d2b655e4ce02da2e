#include "platform/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vplatform {

namespace {
const QString kFolder = QStringLiteral("这是文件夹，不是普通文件");
const QString kNotRegular = QStringLiteral("这不是普通文件（是管道或设备），不能读写");
}  // namespace

bool openRegularFile(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error) *error = why;
        return false;
    };
    const bool write = mode & QIODevice::WriteOnly, read = mode & QIODevice::ReadOnly;
    const int access = write && read ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    // Without blocking, so that a pipe cannot hold the open.
    const int fd = ::open(QFile::encodeName(path).constData(), access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EISDIR) return fail(kFolder);
        // A pipe opened for writing with nobody reading it.
        if (err == ENXIO) return fail(kNotRegular);
        return fail(qt_error_string(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? kFolder : kNotRegular);
    }
    // Opened again by name, so the file keeps its name for messages; the
    // same file, or refused.
    file.setFileName(path);
    const bool opened = file.open(mode | QIODevice::ExistingOnly);
    struct stat again {};
    const bool same = opened && ::fstat(file.handle(), &again) == 0 && again.st_dev == st.st_dev &&
                      again.st_ino == st.st_ino;
    ::close(fd);
    if (!same) {
        const QString why = opened ? kNotRegular : file.errorString();
        file.close();
        return fail(why);
    }
    return true;
}

}  // namespace vplatform
