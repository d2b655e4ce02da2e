#include "platform/safefile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

namespace vplatform {

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The parts of the writers open now, for a signal handler that ends the
// process: fixed entries, each filled before it is marked live, so the
// handler reads only whole names and takes no lock.
struct LivePart {
    std::atomic<int> state{0};  // free, being filled, live
    char file[PATH_MAX] = {};
    char folder[PATH_MAX] = {};  // empty for a part file
    int folderFd = -1;           // the part folder, held open: its files go through it
    char base[NAME_MAX + 1] = {};  // the written file's name inside it
};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
enum { kFree, kFilling, kLive };
LivePart livePart[32];
std::atomic<bool> savingStopped{false};

// An entry for the part (-1 when the names are too long or every entry is
// taken: that part is then left to the next write's clean-up).
int rememberPart(const QString &file, const QString &folder = QString(), int folderFd = -1)
{
    const QByteArray f = encoded(file), d = folder.isEmpty() ? QByteArray() : encoded(folder);
    const QByteArray b = encoded(QFileInfo(file).fileName());
    if (f.size() >= PATH_MAX || d.size() >= PATH_MAX || b.size() > NAME_MAX) return -1;
    for (int i = 0; i < int(std::size(livePart)); ++i) {
        LivePart &p = livePart[i];
        int expected = kFree;
        if (!p.state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(p.file, f.constData(), size_t(f.size()) + 1);
        std::memcpy(p.folder, d.constData(), size_t(d.size()) + 1);
        std::memcpy(p.base, b.constData(), size_t(b.size()) + 1);
        p.folderFd = folderFd;
        p.state.store(kLive);
        return i;
    }
    return -1;
}

void forgetPart(int &entry)
{
    if (entry >= 0) livePart[entry].state.store(kFree);
    entry = -1;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString folderOf(const QString &path)
{
    return QFileInfo(path).path();
}

// A rename is durable only once the folder holding both names is synced;
// some file systems refuse that, which loses nothing written.
void syncFolder(const QString &path)
{
    const int fd = ::open(encoded(folderOf(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

QString saveError(const QString &target, const QString &reason)
{
    return QStringLiteral("无法保存文件 %1：%2").arg(shown(target), reason);
}

// The disk's own faults, whatever was being done; empty for others.
QString diskReason(int err)
{
    switch (err) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case EIO:
        return QStringLiteral("读写磁盘时出错，请检查磁盘");
    default:
        return {};
    }
}

// Why the file the user named cannot be replaced.
QString targetReason(int err)
{
    if (const QString disk = diskReason(err); !disk.isEmpty()) return disk;
    switch (err) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case ELOOP:
        return QStringLiteral("链接层数太多，找不到它所指的文件");
    case ECANCELED:
        return QStringLiteral("已取消，原文件保持不变");
    default:
        return qt_error_string(err);
    }
}

// Why nothing new could be made in the folder that holds the file.
QString folderReason(const QString &folder, int err)
{
    if (const QString disk = diskReason(err); !disk.isEmpty()) return disk;
    const QString name = shown(QFileInfo(folder).absoluteFilePath());
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹 %1 不存在").arg(name);
    case EACCES:
    case EPERM:
        return QStringLiteral("文件夹 %1 没有写入权限").arg(name);
    default:
        return QStringLiteral("无法在文件夹 %1 中建立临时文件（%2）").arg(name, qt_error_string(err));
    }
}

// Why the part file (or the written file of a part folder) failed.
QString partReason(const QString &part, int err)
{
    if (const QString disk = diskReason(err); !disk.isEmpty()) return disk;
    if (err == ECANCELED) return targetReason(err);
    if (err == ENOENT) return QStringLiteral("临时文件 %1 已被删除").arg(shown(part));
    return QStringLiteral("写入临时文件 %1 时出错（%2）").arg(shown(part), qt_error_string(err));
}

// Why renaming the finished part over the file failed.
QString renameReason(const QString &part, int err)
{
    return err == ENOENT ? partReason(part, err) : targetReason(err);
}

// The file a write of a target replaces, as checked before anything is made.
struct Destination {
    QString path;  // the target, or the file its link (or links) name
    bool exists = false;
    struct stat st {};
};

// Follows the target's links, each relative one from its own folder, to the
// file the user means; that file may not exist yet (a dangling link names
// it).  Empty, or why it cannot be replaced.
QString destinationOf(const QString &target, Destination *d)
{
    QString p = target;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(encoded(p).constData(), &st) != 0) {
            const int err = errno;
            if (err != ENOENT) return err == ENOTDIR ? folderReason(folderOf(p), err) : targetReason(err);
            // A new file: its folder is checked when the part file is made.
            d->path = p;
            return {};
        }
        if (S_ISLNK(st.st_mode)) {
            if (links >= 40) return targetReason(ELOOP);
            char buffer[PATH_MAX];
            const ssize_t n = ::readlink(encoded(p).constData(), buffer, sizeof buffer);
            if (n < 0) return targetReason(errno);
            if (size_t(n) == sizeof buffer) return targetReason(ENAMETOOLONG);
            const QString to = QFile::decodeName(QByteArray(buffer, n));
            // Joined as text, not cleaned: ".." goes up from where the link
            // really is, as the system would take it.
            p = to.startsWith(u'/') ? to : folderOf(p) + u'/' + to;
            continue;
        }
        if (S_ISDIR(st.st_mode)) return targetReason(EISDIR);
        // A device or a pipe is written into, never replaced by a file.
        if (!S_ISREG(st.st_mode)) return QStringLiteral("这不是普通文件，不能替换");
        // As writing into the file would be refused, so is replacing it.
        if (::faccessat(AT_FDCWD, encoded(p).constData(), W_OK, AT_EACCESS) != 0) return targetReason(errno);
        d->path = p;
        d->exists = true;
        d->st = st;
        return {};
    }
}

// The start of the names made beside the file while it is written.
QString partStem(const QString &dest)
{
    QString base = QFileInfo(dest).fileName();
    // Room for the tag within a name's 255 bytes.
    while (encoded(base).size() > 200) base.chop(base.size() > 1 && base.back().isLowSurrogate() ? 2 : 1);
    return folderOf(dest) + u'/' + base + u'.';
}

// The mark that makes a part's name the program's own: a checksum of the
// file's name and the random tag, which a name a user gives has not.
QString partMark(const QString &base, QStringView tag)
{
    const QByteArray text = "velmora part\n" + encoded(base) + '\n' + tag.toLatin1();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(8));
}

// A part file's (kind "part") or part folder's ("parts") name beside the
// file, random and marked: "out.lp3.k3j9x0a1-5c0e19d2.part".
QString freshPartName(const QString &dest, const char *kind)
{
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < 8; ++i) tag += QLatin1Char(kDigits[QRandomGenerator::global()->bounded(36)]);
    const QString stem = partStem(dest);
    return stem + tag + u'-' + partMark(QFileInfo(stem).fileName(), tag) + u'.' + QLatin1String(kind);
}

// The names the program writes in a part folder: the file and the
// database engine's journals beside it.
bool isPartFolderFile(const char *name, const QByteArray &base)
{
    const QByteArrayView n(name, qsizetype(std::strlen(name)));
    if (!n.startsWith(base)) return false;
    const QByteArrayView rest = n.sliced(base.size());
    return rest.isEmpty() || rest == "-journal" || rest == "-wal" || rest == "-shm";
}

// Removes, through the folder's own descriptor (never by a path a link could
// redirect), the regular files the program writes there; nothing else, and
// never a folder's contents.
void emptyPartFolder(int folderFd, const QString &base)
{
    const int fd = ::dup(folderFd);
    if (fd < 0) return;
    DIR *d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    ::rewinddir(d);
    const QByteArray b = encoded(base);
    QList<QByteArray> names;
    while (const dirent *e = ::readdir(d))
        if (isPartFolderFile(e->d_name, b)) names << QByteArray(e->d_name);
    ::closedir(d);
    for (const QByteArray &name : names) {
        struct stat st {};
        if (::fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(folderFd, name.constData(), 0);
    }
}

// A lock that says a living writer still uses its part file or folder.
bool lockHeld(int fd)
{
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

void closeLock(int &fd)
{
    if (fd >= 0) ::close(std::exchange(fd, -1));
}

// Removes the part files and part folders of dest that killed writers left:
// named and marked as this writer names them (so never a user's file that
// only looks like one), its own, and locked by no living writer.  A part
// file must be a regular file; of a part folder only the files the program
// writes there go, then the folder if that left it empty.
void removeStaleParts(const QString &dest)
{
    const QString stem = QFileInfo(partStem(dest)).fileName();
    static const QRegularExpression tag(QStringLiteral("^([a-z0-9]{8})-([0-9a-f]{8})\\.(parts?)$"));
    const QString folderPath = folderOf(dest);
    const int dir = ::open(encoded(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    const QStringList names = QDir(folderPath).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System |
                                                         QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!name.startsWith(stem)) continue;
        const QRegularExpressionMatch m = tag.match(QStringView(name).mid(stem.size()));
        if (!m.hasMatch() || m.captured(2) != partMark(stem, m.capturedView(1))) continue;
        const bool folder = m.capturedView(3) == QLatin1String("parts");
        const QByteArray n = encoded(name);
        int fd = ::openat(dir, n.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && lockHeld(fd)) {
            if (!folder && S_ISREG(st.st_mode)) {
                ::unlinkat(dir, n.constData(), 0);
            } else if (folder && S_ISDIR(st.st_mode)) {
                emptyPartFolder(fd, QFileInfo(dest).fileName());
                ::unlinkat(dir, n.constData(), AT_REMOVEDIR);
            }
        }
        closeLock(fd);
    }
    ::close(dir);
}

// The replaced file's owner and permissions for the new one, as far as the
// system allows (the owner only for root); the permissions come after the
// owner, which would clear a set-id bit.
void keepOwnerAndMode(int fd, const Destination &d)
{
    if (!d.exists) return;
    if (::fchown(fd, d.st.st_uid, d.st.st_gid) != 0) {
        // Not ours to give: the new file stays the writer's.
    }
    ::fchmod(fd, d.st.st_mode & 07777);
}

// Syncs and renames the written file over the destination; the file must
// still be the one made (the same inode), never a link put in its place.
QString putInPlace(const QString &written, const struct stat &made, const QString &dest)
{
    struct stat now {};
    if (::lstat(encoded(written).constData(), &now) != 0) return partReason(written, errno);
    if (!S_ISREG(now.st_mode) || now.st_dev != made.st_dev || now.st_ino != made.st_ino)
        return QStringLiteral("临时文件 %1 被换成了别的文件").arg(shown(written));
    if (savingStopped.load()) return targetReason(ECANCELED);
    if (std::rename(encoded(written).constData(), encoded(dest).constData()) != 0)
        return renameReason(written, errno);
    syncFolder(dest);
    return {};
}

}  // namespace

QString fileErrorText(const QString &path, int err)
{
    return saveError(path, targetReason(err));
}

void stopSaving()
{
    savingStopped.store(true);
}

void removePartsNow()
{
    for (LivePart &p : livePart) {
        if (p.state.load() != kLive) continue;
        if (p.folder[0]) {
            // Through the folder held open: its name may be a link by now.
            if (p.folderFd >= 0) {
                ::unlinkat(p.folderFd, p.base, 0);
                // Put together by hand: nothing else is safe in a signal handler.
                char journal[NAME_MAX + 16];
                const size_t n = std::strlen(p.base);
                std::memcpy(journal, p.base, n);
                std::memcpy(journal + n, "-journal", 9);
                ::unlinkat(p.folderFd, journal, 0);
            }
            ::rmdir(p.folder);
        } else {
            ::unlink(p.file);
        }
    }
}

// Writes through to the descriptor in large pieces; the first failed write
// is kept (with its errno) and every later write fails too.
class SafeFile::Device : public QIODevice {
public:
    Device(int fd, const QString &target, const QString &part) : fd_(fd), target_(target), part_(part)
    {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~Device() override { discard(); }
    bool isSequential() const override { return true; }
    int fd() const { return fd_; }
    int error() const { return err_; }
    // The failure in the user's words.
    QString reason() const { return partReason(part_, err_); }
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
        if (err_) setErrorString(saveError(target_, reason()));
        return !err_;
    }
    // Syncs and closes the descriptor; false (with the error kept) when
    // either failed.
    bool syncAndClose()
    {
        if (!err_ && ::fsync(fd_) != 0) err_ = errno;
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
        if (!err_ && savingStopped.load()) {
            err_ = ECANCELED;
            setErrorString(saveError(target_, reason()));
        }
        if (err_ || fd_ < 0) return -1;
        buffer_.append(data, size);
        if (buffer_.size() >= kChunk && !flushAll()) return -1;
        return size;
    }

private:
    static constexpr qsizetype kChunk = 256 * 1024;
    int fd_ = -1;
    QString target_;
    QString part_;
    int err_ = 0;
    QByteArray buffer_;
};

SafeFile::SafeFile(const QString &target) : target_(target) {}

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
    Destination d;
    if (const QString why = destinationOf(target_, &d); !why.isEmpty()) return fail(why);
    dest_ = d.path;
    removeStaleParts(dest_);
    // Made new, never through a link; a name some file already has (an
    // unrelated download, a planted link) is passed over, not touched.  A
    // file that will replace a private one starts private.
    int fd = -1;
    QString part;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        part = freshPartName(dest_, "part");
        fd = ::open(encoded(part).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    d.exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) return fail(folderReason(folderOf(dest_), errno));
    }
    if (fd < 0) return fail(folderReason(folderOf(dest_), EEXIST));
    part_ = part;
    live_ = rememberPart(part_);
    ::flock(fd, LOCK_EX);
    // A second descriptor of the same open file holds the lock once the
    // written one is closed, until the rename.
    lock_ = ::dup(fd);
    keepOwnerAndMode(fd, d);
    device_ = std::make_unique<Device>(fd, target_, part_);
    return true;
}

bool SafeFile::fail(const QString &reason)
{
    if (error_.isEmpty()) error_ = saveError(target_, reason);
    cancel();
    return false;
}

bool SafeFile::commit()
{
    if (!device_) return fail(error_.isEmpty() ? qt_error_string(EBADF) : error_);
    Device &d = *device_;
    struct stat made {};
    if (::fstat(d.fd(), &made) != 0) return fail(partReason(part_, errno));
    if (!d.flushAll() || !d.syncAndClose()) return fail(d.reason());
    if (const QString why = putInPlace(part_, made, dest_); !why.isEmpty()) return fail(why);
    device_.reset();
    closeLock(lock_);
    forgetPart(live_);
    return true;
}

int SafeFile::handle() const
{
    return device_ ? device_->fd() : -1;
}

bool SafeFile::writeFailed() const
{
    return device_ && device_->error();
}

void SafeFile::abandon()
{
    fail(device_ && device_->error() ? device_->reason() : targetReason(ECANCELED));
}

void SafeFile::cancel()
{
    if (!device_) return;
    device_.reset();
    QFile::remove(part_);
    closeLock(lock_);
    forgetPart(live_);
}

PartFolder::PartFolder(const QString &target) : target_(target) {}

PartFolder::~PartFolder()
{
    remove();
}

bool PartFolder::create()
{
    remove();
    error_.clear();
    Destination d;
    if (const QString why = destinationOf(target_, &d); !why.isEmpty()) return fail(why);
    dest_ = d.path;
    removeStaleParts(dest_);
    // Made new with only the program's own rights (0700), under a marked name.
    QByteArray name;
    int err = EEXIST;
    for (int tries = 0; err == EEXIST && tries < 100; ++tries) {
        name = encoded(freshPartName(dest_, "parts"));
        err = ::mkdir(name.constData(), 0700) == 0 ? 0 : errno;
    }
    if (err) return fail(folderReason(folderOf(dest_), err));
    folder_ = QFile::decodeName(name);
    lock_ = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock_ < 0) {
        err = errno;
        ::rmdir(name.constData());
        folder_.clear();
        return fail(folderReason(folderOf(dest_), err));
    }
    lockHeld(lock_);
    file_ = folder_ + u'/' + QFileInfo(dest_).fileName();
    live_ = rememberPart(file_, folder_, lock_);
    return true;
}

bool PartFolder::commit()
{
    if (file_.isEmpty()) return fail(error_.isEmpty() ? qt_error_string(EBADF) : error_);
    const int fd = ::open(encoded(file_).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return fail(partReason(file_, errno));
    Destination d;
    struct stat made {};
    int err = ::fstat(fd, &made) != 0 ? errno : 0;
    if (!err) {
        // Checked again: the target may have changed while the file was written.
        d.path = dest_;
        struct stat old {};
        if (::stat(encoded(dest_).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
            d.exists = true;
            d.st = old;
        }
        keepOwnerAndMode(fd, d);
        if (::fsync(fd) != 0) err = errno;
    }
    if (::close(fd) != 0 && !err) err = errno;
    if (err) return fail(partReason(file_, err));
    if (const QString why = putInPlace(file_, made, dest_); !why.isEmpty()) return fail(why);
    remove();
    return true;
}

bool PartFolder::fail(const QString &reason)
{
    if (error_.isEmpty()) error_ = saveError(target_, reason);
    remove();
    return false;
}

void PartFolder::remove()
{
    forgetPart(live_);
    if (!folder_.isEmpty() && lock_ >= 0) {
        // Emptied through the descriptor held since it was made: if its name
        // was swapped for a link meanwhile, the linked folder is not touched.
        emptyPartFolder(lock_, QFileInfo(dest_).fileName());
        struct stat held {}, named {};
        if (::fstat(lock_, &held) == 0 &&
            ::fstatat(AT_FDCWD, encoded(folder_).constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(named.st_mode) && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::rmdir(encoded(folder_).constData());
    }
    closeLock(lock_);
    folder_.clear();
    file_.clear();
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
        setError(error, QStringLiteral("无法打开文件 %1：%2").arg(shown(from), in.errorString()));
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
    if (readFailed) setError(error, QStringLiteral("无法读取文件 %1：%2").arg(shown(from), in.errorString()));
    return ok;
}

}  // namespace vplatform
