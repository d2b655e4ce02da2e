#include "platform/picturefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vplatform {

bool readPictureFile(const QString &path, QByteArray &data, QString *error)
{
    data.clear();
    auto fail = [&](const QString &why) {
        if (error) *error = why;
        return false;
    };
    // Opened without blocking, so that a pipe cannot hang the open; what the
    // descriptor is decides, not the name (a link may point at a device).
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(QStringLiteral("无法打开图片文件 %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("图片文件 %1 不是普通文件").arg(path));
    }
    const QString tooLarge =
            QStringLiteral("图片文件 %1 太大（超过 %2 MB）").arg(path).arg(kMaxPictureFileSize / (1024 * 1024));
    if (st.st_size > kMaxPictureFileSize) {
        ::close(fd);
        return fail(tooLarge);
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("无法打开图片文件 %1: %2").arg(path, f.errorString()));
    }
    // The file may grow after the check: never more than the limit is read.
    data = f.read(kMaxPictureFileSize + 1);
    if (data.size() > kMaxPictureFileSize) {
        data.clear();
        return fail(tooLarge);
    }
    return true;
}

}  // namespace vplatform
