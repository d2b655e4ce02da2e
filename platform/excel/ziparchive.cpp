#include "platform/excel/ziparchive.h"

#include <unzip.h>

#include <cstring>

namespace excel {

struct ZipArchive::MemoryFile {
    QByteArray bytes;
    qint64 pos = 0;
};

namespace {

using MemoryFile = ZipArchive::MemoryFile;

voidpf memOpen(voidpf opaque, const void *, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    return opaque;
}

uLong memRead(voidpf, voidpf stream, void *buf, uLong size)
{
    auto *f = static_cast<MemoryFile *>(stream);
    const qint64 n = qMin<qint64>(f->bytes.size() - f->pos, qint64(size));
    if (n <= 0) return 0;
    std::memcpy(buf, f->bytes.constData() + f->pos, size_t(n));
    f->pos += n;
    return uLong(n);
}

uLong memWrite(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T memTell(voidpf, voidpf stream)
{
    return ZPOS64_T(static_cast<MemoryFile *>(stream)->pos);
}

long memSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *f = static_cast<MemoryFile *>(stream);
    qint64 base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = f->pos;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = f->bytes.size();
        break;
    default:
        return -1;
    }
    if (offset > ZPOS64_T(f->bytes.size())) return -1;
    const qint64 target = base + qint64(offset);
    if (target < 0 || target > f->bytes.size()) return -1;
    f->pos = target;
    return 0;
}

int memClose(voidpf, voidpf)
{
    return 0;
}

int memError(voidpf, voidpf)
{
    return 0;
}

constexpr int kMaxNameLength = 1024;

}  // namespace

ZipArchive::ZipArchive(const QByteArray &bytes) : m_file(std::make_unique<MemoryFile>())
{
    m_file->bytes = bytes;
    zlib_filefunc64_def io{};
    io.zopen64_file = memOpen;
    io.zread_file = memRead;
    io.zwrite_file = memWrite;
    io.ztell64_file = memTell;
    io.zseek64_file = memSeek;
    io.zclose_file = memClose;
    io.zerror_file = memError;
    io.opaque = m_file.get();
    unzFile zip = unzOpen2_64("memory", &io);
    if (!zip) return;
    m_zip = zip;
    // Index the names once; lookups are case-insensitive because some
    // writers vary the case of part names.
    int rc = unzGoToFirstFile(zip);
    int guard = 0;
    while (rc == UNZ_OK && guard++ < 100000) {
        char name[kMaxNameLength + 1];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        name[kMaxNameLength] = '\0';
        const QString stored = QString::fromUtf8(name);
        const QString key = stored.toLower();
        if (!m_names.contains(key)) {
            m_names.insert(key, stored);
            m_sizes.insert(key, qint64(qMin<ZPOS64_T>(info.uncompressed_size, ZPOS64_T(1) << 62)));
        }
        rc = unzGoToNextFile(zip);
    }
}

ZipArchive::~ZipArchive()
{
    if (m_zip) {
        if (m_entryOpen) unzCloseCurrentFile(m_zip);
        unzClose(m_zip);
    }
}

QStringList ZipArchive::entryNames() const
{
    return m_names.values();
}

bool ZipArchive::contains(const QString &name) const
{
    return m_names.contains(name.toLower());
}

qint64 ZipArchive::declaredSize(const QString &name) const
{
    return m_sizes.value(name.toLower(), -1);
}

ZipArchive::Status ZipArchive::openCurrent(const QString &name)
{
    if (!m_zip || m_entryOpen) return Status::Damaged;
    const auto it = m_names.constFind(name.toLower());
    if (it == m_names.constEnd()) return Status::Missing;
    const QByteArray stored = it.value().toUtf8();
    if (unzLocateFile(m_zip, stored.constData(), 1) != UNZ_OK) return Status::Damaged;
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return Status::Damaged;
    if (info.flag & 1u) return Status::Encrypted;
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return Status::Damaged;
    if (unzOpenCurrentFile(m_zip) != UNZ_OK) return Status::Damaged;
    m_entryOpen = true;
    return Status::Ok;
}

ZipArchive::Status ZipArchive::read(const QString &name, QByteArray *out, qint64 limit)
{
    Status status;
    auto entry = open(name, limit, &status);
    if (!entry) return status;
    out->clear();
    char buf[64 * 1024];
    for (;;) {
        const qint64 n = entry->read(buf, sizeof buf);
        if (n <= 0) break;
        out->append(buf, n);
    }
    return entry->status();
}

std::unique_ptr<ZipArchive::Entry> ZipArchive::open(const QString &name, qint64 limit, Status *status)
{
    *status = openCurrent(name);
    if (*status != Status::Ok) return nullptr;
    std::unique_ptr<Entry> entry(new Entry(this, limit));
    entry->QIODevice::open(QIODevice::ReadOnly);
    return entry;
}

ZipArchive::Entry::Entry(ZipArchive *archive, qint64 limit) : m_archive(archive), m_limit(limit) {}

ZipArchive::Entry::~Entry()
{
    if (!m_closed) finish(m_status);
}

void ZipArchive::Entry::finish(Status status)
{
    if (m_closed) return;
    m_closed = true;
    const int rc = unzCloseCurrentFile(m_archive->m_zip);
    m_archive->m_entryOpen = false;
    if (status == Status::Ok && rc != UNZ_OK) status = Status::Damaged;  // checksum mismatch
    m_status = status;
}

qint64 ZipArchive::Entry::readData(char *data, qint64 maxSize)
{
    if (m_closed) return m_status == Status::Ok ? 0 : -1;
    if (maxSize <= 0) return 0;
    const unsigned chunk = unsigned(qMin<qint64>(maxSize, 1 << 20));
    const int n = unzReadCurrentFile(m_archive->m_zip, data, chunk);
    if (n < 0) {
        finish(Status::Damaged);
        return -1;
    }
    if (n == 0) {
        finish(Status::Ok);
        return m_status == Status::Ok ? 0 : -1;
    }
    m_done += n;
    if (m_done > m_limit) {
        finish(Status::TooLarge);
        return -1;
    }
    return n;
}

}  // namespace excel
