#include "platform/safefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace vplatform {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// A rename is durable only once the folder holding both names is synced;
// some file systems refuse that, which loses nothing written.
void syncFolder(const QString &path)
{
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

}  // namespace

QString partFileName(const QString &target)
{
    return target + QStringLiteral(".part");
}

QString fileErrorText(const QString &path, int err)
{
    QString reason;
    switch (err) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        reason = QStringLiteral("磁盘空间不足");
        break;
    case EACCES:
    case EPERM:
        reason = QStringLiteral("没有写入权限");
        break;
    case EROFS:
        reason = QStringLiteral("磁盘是只读的");
        break;
    case ENOENT:
    case ENOTDIR:
        reason = QStringLiteral("文件夹不存在");
        break;
    case EISDIR:
        reason = QStringLiteral("这是一个文件夹");
        break;
    case ECANCELED:
        reason = QStringLiteral("已取消，原文件保持不变");
        break;
    default:
        reason = qt_error_string(err);
        break;
    }
    return QStringLiteral("无法保存文件 %1：%2").arg(QDir::toNativeSeparators(path), reason);
}

bool replaceWithPart(const QString &part, const QString &target, QString *error)
{
    const int fd = ::open(encoded(part).constData(), O_RDONLY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0 && ::fsync(fd) != 0) err = errno;
    if (fd >= 0 && ::close(fd) != 0 && !err) err = errno;
    if (!err && std::rename(encoded(part).constData(), encoded(target).constData()) != 0) err = errno;
    if (err) {
        QFile::remove(part);
        setError(error, fileErrorText(target, err));
        return false;
    }
    syncFolder(target);
    return true;
}

// Writes through to the descriptor in large pieces; the first failed write
// is kept (with its errno) and every later write fails too.
class SafeFile::Device : public QIODevice {
public:
    Device(int fd, const QString &target) : fd_(fd), target_(target)
    {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~Device() override { discard(); }
    bool isSequential() const override { return true; }
    int fd() const { return fd_; }
    int error() const { return err_; }
    // Writes what is buffered; false once any write failed.
    bool flushAll()
    {
        const char *p = buffer_.constData();
        qint64 left = buffer_.size();
        while (left > 0 && !err_) {
            const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                err_ = n < 0 ? errno : ENOSPC;
                break;
            }
            p += n;
            left -= n;
        }
        buffer_.clear();
        if (err_) setErrorString(fileErrorText(target_, err_));
        return !err_;
    }
    // Closes the descriptor; false (with the error kept) when closing failed.
    bool closeFd()
    {
        const int fd = std::exchange(fd_, -1);
        if (fd >= 0 && ::close(fd) != 0 && !err_) err_ = errno;
        QIODevice::close();
        return !err_;
    }
    void discard()
    {
        buffer_.clear();
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        if (isOpen()) QIODevice::close();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (err_ || fd_ < 0) return -1;
        buffer_.append(data, size);
        if (buffer_.size() >= kChunk && !flushAll()) return -1;
        return size;
    }

private:
    static constexpr qsizetype kChunk = 256 * 1024;
    int fd_ = -1;
    QString target_;
    int err_ = 0;
    QByteArray buffer_;
};

SafeFile::SafeFile(const QString &target) : target_(target), part_(partFileName(target)) {}

SafeFile::~SafeFile()
{
    cancel();
}

QIODevice &SafeFile::device()
{
    static QBuffer closed;
    return device_ ? static_cast<QIODevice &>(*device_) : closed;
}

bool SafeFile::open()
{
    cancel();
    error_.clear();
    if (QFileInfo(target_).isDir()) return fail(EISDIR);
    const int fd = ::open(encoded(part_).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(errno);
    struct stat old {};
    if (::stat(encoded(target_).constData(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
    device_ = std::make_unique<Device>(fd, target_);
    return true;
}

bool SafeFile::fail(int err)
{
    if (error_.isEmpty()) error_ = fileErrorText(target_, err);
    cancel();
    return false;
}

bool SafeFile::commit()
{
    if (!device_) return fail(error_.isEmpty() ? EBADF : 0);
    Device &d = *device_;
    if (!d.flushAll()) return fail(d.error());
    if (::fsync(d.fd()) != 0) return fail(errno);
    if (!d.closeFd()) return fail(d.error());
    if (std::rename(encoded(part_).constData(), encoded(target_).constData()) != 0) return fail(errno);
    device_.reset();
    syncFolder(target_);
    return true;
}

bool SafeFile::writeFailed() const
{
    return device_ && device_->error();
}

void SafeFile::abandon()
{
    fail(device_ && device_->error() ? device_->error() : ECANCELED);
}

void SafeFile::cancel()
{
    if (!device_) return;
    device_.reset();
    QFile::remove(part_);
}

bool saveFileSafely(const QString &target, const std::function<bool(QIODevice &)> &write, QString *error)
{
    SafeFile file(target);
    bool ok = file.open();
    if (ok && !write(file.device())) {
        file.abandon();
        ok = false;
    }
    ok = ok && file.commit();
    if (!ok) setError(error, file.errorString());
    return ok;
}

bool saveFileSafely(const QString &target, const QByteArray &bytes, QString *error)
{
    return saveFileSafely(target, [&bytes](QIODevice &d) { return d.write(bytes) == bytes.size(); }, error);
}

bool copyFileSafely(const QString &from, const QString &target, QString *error)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("无法打开文件 %1：%2").arg(QDir::toNativeSeparators(from), in.errorString()));
        return false;
    }
    bool readFailed = false;
    const bool ok = saveFileSafely(
            target,
            [&](QIODevice &out) {
                QByteArray chunk(1 << 20, Qt::Uninitialized);
                for (;;) {
                    const qint64 n = in.read(chunk.data(), chunk.size());
                    if (n < 0) readFailed = true;
                    if (n <= 0) return n == 0;
                    if (out.write(chunk.constData(), n) != n) return false;
                }
            },
            error);
    if (readFailed)
        setError(error, QStringLiteral("无法读取文件 %1：%2").arg(QDir::toNativeSeparators(from), in.errorString()));
    return ok;
}

}  // namespace vplatform
