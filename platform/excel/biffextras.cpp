#include "platform/excel/biffextras.h"

#include "platform/excel/excelcell.h"

#include <QHash>

#include <cstring>

namespace excel {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kMaxSector = 0xFFFFFFFA;

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

double f64(const QByteArray &b, qsizetype at)
{
    double d = 0;
    if (at >= 0 && at + 8 <= b.size())
        std::memcpy(&d, b.constData() + at, 8); // little-endian host
    return d;
}

// Just enough of the compound file format to read one stream.
class CompoundFile
{
public:
    explicit CompoundFile(const QByteArray &file)
        : m_file(file)
    {
        if (file.size() < 512 || !file.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
            return;
        const int shift = u16(file, 0x1E);
        const int miniShift = u16(file, 0x20);
        if ((shift != 9 && shift != 12) || miniShift != 6)
            return;
        m_sectorSize = 1 << shift;
        m_miniCutoff = u32(file, 0x38);
        // The FAT: sector numbers from the header's DIFAT, then DIFAT sectors.
        QVector<quint32> fatSectors;
        for (int i = 0; i < 109; ++i) {
            const quint32 s = u32(file, 0x4C + i * 4);
            if (s <= kMaxSector)
                fatSectors.append(s);
        }
        quint32 difat = u32(file, 0x44);
        const int perSector = m_sectorSize / 4;
        for (int guard = 0; difat <= kMaxSector && guard < 1000; ++guard) {
            const QByteArray sector = readSector(difat);
            if (sector.isEmpty())
                return;
            for (int i = 0; i < perSector - 1; ++i) {
                const quint32 s = u32(sector, i * 4);
                if (s <= kMaxSector)
                    fatSectors.append(s);
            }
            difat = u32(sector, (perSector - 1) * 4);
        }
        const qsizetype maxSectors = file.size() / m_sectorSize + 1;
        for (quint32 s : fatSectors) {
            const QByteArray sector = readSector(s);
            for (int i = 0; i < perSector && m_fat.size() < maxSectors; ++i)
                m_fat.append(u32(sector, i * 4));
        }
        m_directory = readChain(u32(file, 0x30), m_fat, false, -1);
        if (m_directory.size() < 128)
            return;
        m_miniFat = toEntries(readChain(u32(file, 0x3C), m_fat, false, -1));
        m_ministream = readChain(u32(m_directory, 0x74), m_fat, false, u32(m_directory, 0x78));
        m_ok = true;
    }

    // Whether the container's header and directory hold together: every
    // directory entry's name fits its 64-byte field.
    bool sound() const
    {
        if (!m_ok)
            return false;
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (length > 64 || length % 2 != 0)
                return false;
        }
        return true;
    }

    // The stream with this name (top-level or not), or empty.
    QByteArray stream(const QString &name) const
    {
        if (!m_ok)
            return QByteArray();
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (m_directory[at + 0x42] != 2 || length < 2 || length > 64)
                continue;
            const QString entry = QString::fromUtf16(
                reinterpret_cast<const char16_t *>(m_directory.constData() + at), length / 2 - 1);
            if (entry.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            const quint32 start = u32(m_directory, at + 0x74);
            const quint32 size = u32(m_directory, at + 0x78);
            if (size < m_miniCutoff)
                return readChain(start, m_miniFat, true, size);
            return readChain(start, m_fat, false, size);
        }
        return QByteArray();
    }

private:
    QByteArray readSector(quint32 s) const
    {
        const qint64 at = (qint64(s) + 1) * m_sectorSize;
        if (at + m_sectorSize > m_file.size())
            return QByteArray();
        return m_file.mid(at, m_sectorSize);
    }

    static QVector<quint32> toEntries(const QByteArray &b)
    {
        QVector<quint32> out;
        for (qsizetype i = 0; i + 4 <= b.size(); i += 4)
            out.append(u32(b, i));
        return out;
    }

    // A chain of big sectors or of 64-byte mini sectors, cut to size (all
    // of it when size < 0); a loop or a broken link ends it.
    QByteArray readChain(quint32 start, const QVector<quint32> &fat, bool mini, qint64 size) const
    {
        QByteArray out;
        qsizetype steps = 0;
        for (quint32 s = start; s <= kMaxSector && s < quint32(fat.size()) && steps <= fat.size(); ++steps) {
            if (mini) {
                const qint64 at = qint64(s) * 64;
                if (at + 64 > m_ministream.size())
                    break;
                out.append(m_ministream.constData() + at, 64);
            } else {
                const QByteArray sector = readSector(s);
                if (sector.isEmpty())
                    break;
                out.append(sector);
            }
            if (size >= 0 && out.size() >= size)
                break;
            s = fat[s];
        }
        if (size >= 0 && out.size() > size)
            out.truncate(size);
        return out;
    }

    QByteArray m_file;
    int m_sectorSize = 512;
    quint32 m_miniCutoff = 4096;
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QByteArray m_directory;
    QByteArray m_ministream;
    bool m_ok = false;
};

struct Record
{
    quint16 type;
    QByteArray data;
};

// Reads one BIFF record at *pos and moves past it.
bool nextRecord(const QByteArray &stream, qsizetype *pos, Record *r)
{
    if (*pos + 4 > stream.size())
        return false;
    r->type = u16(stream, *pos);
    const quint16 length = u16(stream, *pos + 2);
    if (*pos + 4 + length > stream.size())
        return false;
    r->data = stream.mid(*pos + 4, length);
    *pos += 4 + length;
    return true;
}

// Unicode string body: flags byte then characters, compressed (one byte
// each) or not (UTF-16LE).  Rich-text runs and phonetic data after the
// characters are skipped by the callers' record boundaries.
QString biffChars(const QByteArray &b, qsizetype at, int count, qsizetype *end = nullptr)
{
    if (at >= b.size())
        return QString();
    const quint8 flags = quint8(b[at]);
    qsizetype p = at + 1;
    if (flags & 0x08)
        p += 2; // rich-text run count
    if (flags & 0x04)
        p += 4; // phonetic size
    QString out;
    if (flags & 0x01) {
        const qsizetype n = qMin<qsizetype>(count, (b.size() - p) / 2);
        out = QString::fromUtf16(reinterpret_cast<const char16_t *>(b.constData() + p), n);
        p += n * 2;
    } else {
        const qsizetype n = qMin<qsizetype>(count, b.size() - p);
        out = QString::fromLatin1(b.constData() + p, n);
        p += n;
    }
    if (end)
        *end = p;
    return out;
}

} // namespace

bool isSoundCompoundFile(const QByteArray &file)
{
    return CompoundFile(file).sound();
}

QVector<BiffCell> readBiffExtras(const QByteArray &file, const QString &sheetName)
{
    QVector<BiffCell> cells;
    const CompoundFile cf(file);
    QByteArray stream = cf.stream(QStringLiteral("Workbook"));
    if (stream.isEmpty())
        return cells;

    // Workbook globals: sheet offsets, number formats, cell formats, date base.
    qsizetype pos = 0;
    Record r;
    if (!nextRecord(stream, &pos, &r) || r.type != 0x0809 || u16(r.data, 0) != 0x0600)
        return cells; // only BIFF8
    qint64 sheetOffset = -1;
    bool date1904 = false;
    QHash<int, DateKind> formats;
    QVector<int> xfFormats;
    while (nextRecord(stream, &pos, &r) && r.type != 0x000A) {
        switch (r.type) {
        case 0x0085: { // BOUNDSHEET8
            const QString name = biffChars(r.data, 7, quint8(r.data.size() > 6 ? r.data[6] : 0));
            if (sheetOffset < 0 && name.compare(sheetName, Qt::CaseInsensitive) == 0)
                sheetOffset = u32(r.data, 0);
            break;
        }
        case 0x041E: // FORMAT
            formats.insert(u16(r.data, 0), dateKindOfFormat(biffChars(r.data, 4, u16(r.data, 2))));
            break;
        case 0x00E0: // XF
            if (xfFormats.size() < 65536)
                xfFormats.append(u16(r.data, 2));
            break;
        case 0x0022: // DATEMODE
            date1904 = u16(r.data, 0) == 1;
            break;
        default:
            break;
        }
    }
    if (sheetOffset < 0 || sheetOffset >= stream.size())
        return cells;

    auto kindOf = [&](int xf) {
        if (xf < 0 || xf >= xfFormats.size())
            return DateKind::None;
        const int id = xfFormats[xf];
        return formats.contains(id) ? formats.value(id) : dateKindOfBuiltinFormat(id);
    };

    pos = sheetOffset;
    if (!nextRecord(stream, &pos, &r) || r.type != 0x0809)
        return cells;
    int pendingRow = -1, pendingColumn = -1; // a formula whose text follows
    while (nextRecord(stream, &pos, &r) && r.type != 0x000A) {
        if (r.type == 0x0006 && r.data.size() >= 14) { // FORMULA
            const int row = u16(r.data, 0), column = u16(r.data, 2), xf = u16(r.data, 4);
            pendingRow = -1;
            if (u16(r.data, 12) != 0xFFFF) {
                const double v = f64(r.data, 6);
                const DateKind kind = kindOf(xf);
                QString text = kind != DateKind::None ? serialDateText(v, kind, date1904) : QString();
                if (text.isEmpty())
                    text = numberText(v);
                cells.append({row, column, text});
            } else if (quint8(r.data[6]) == 0) {
                pendingRow = row; // text result in the STRING record next
                pendingColumn = column;
            } else if (quint8(r.data[6]) == 1) {
                cells.append({row, column, r.data[8] ? QStringLiteral("TRUE") : QStringLiteral("FALSE")});
            }
        } else if (r.type == 0x0207 && pendingRow >= 0) { // STRING
            QString text = biffChars(r.data, 2, u16(r.data, 0));
            // Long texts go on in CONTINUE records, each with its own flags byte.
            const int wanted = u16(r.data, 0);
            qsizetype look = pos;
            Record more;
            while (text.size() < wanted && nextRecord(stream, &look, &more) && more.type == 0x003C) {
                text += biffChars(more.data, 0, wanted - int(text.size()));
                pos = look;
            }
            cells.append({pendingRow, pendingColumn, text});
            pendingRow = -1;
        } else if (r.type == 0x0205 && r.data.size() >= 8) { // BOOLERR
            if (r.data[7] == 0)
                cells.append({u16(r.data, 0), u16(r.data, 2), r.data[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE")});
        }
        if (cells.size() > 4'000'000)
            break;
    }
    return cells;
}

} // namespace excel
