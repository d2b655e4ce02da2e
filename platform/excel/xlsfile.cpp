#include "platform/excel/xlsfile.h"

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

    // Whether the container holds together: every directory entry's name
    // fits its 64-byte field, and every stream's sector chain is whole, in
    // range and as long as the stream says.
    bool sound() const
    {
        if (!m_ok || m_ministream.size() < qint64(u32(m_directory, 0x78)))
            return false;
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (length > 64 || length % 2 != 0)
                return false;
            if (m_directory[at + 0x42] != 2)
                continue;
            const quint32 start = u32(m_directory, at + 0x74);
            const quint32 size = u32(m_directory, at + 0x78);
            const bool mini = size < m_miniCutoff;
            const QVector<quint32> &fat = mini ? m_miniFat : m_fat;
            if (readChain(start, fat, mini, size).size() != qsizetype(size) || !chainEnds(start, fat, mini, size))
                return false;
        }
        return true;
    }

    bool hasStream(const QString &name) const { return entryOffset(name) >= 0; }

    // The stream with this name (top-level or not), or empty.
    QByteArray stream(const QString &name) const
    {
        const qsizetype at = entryOffset(name);
        if (at < 0)
            return QByteArray();
        const quint32 start = u32(m_directory, at + 0x74);
        const quint32 size = u32(m_directory, at + 0x78);
        if (size < m_miniCutoff)
            return readChain(start, m_miniFat, true, size);
        return readChain(start, m_fat, false, size);
    }

private:
    qsizetype entryOffset(const QString &name) const
    {
        if (!m_ok)
            return -1;
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (m_directory[at + 0x42] != 2 || length < 2 || length > 64)
                continue;
            const QString entry = QString::fromUtf16(
                reinterpret_cast<const char16_t *>(m_directory.constData() + at), length / 2 - 1);
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                return at;
        }
        return -1;
    }

    // The chain of a stream must end where the stream ends: no link that
    // points outside the table after the sectors the size needs.
    bool chainEnds(quint32 start, const QVector<quint32> &fat, bool mini, quint32 size) const
    {
        const qint64 unit = mini ? 64 : m_sectorSize;
        const qint64 needed = (qint64(size) + unit - 1) / unit;
        quint32 s = start;
        for (qint64 i = 0; i < needed; ++i) {
            if (s > kMaxSector || s >= quint32(fat.size()))
                return false;
            s = fat[s];
        }
        return needed == 0 || s == kEndOfChain;
    }

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
    const qsizetype left = qMax<qsizetype>(0, b.size() - p);
    if (flags & 0x01) {
        const qsizetype n = qMin<qsizetype>(count, left / 2);
        if (n > 0)
            out = QString::fromUtf16(reinterpret_cast<const char16_t *>(b.constData() + p), n);
        p += n * 2;
    } else {
        const qsizetype n = qMin<qsizetype>(count, left);
        if (n > 0)
            out = QString::fromLatin1(b.constData() + p, n);
        p += n;
    }
    if (end)
        *end = p;
    return out;
}

// Checks the records FreeXL reads, so that it is never handed lengths,
// counts or cell positions that would make it read past its buffers.
class Biff8Check
{
public:
    explicit Biff8Check(const QByteArray &stream)
        : m_s(stream)
    {
    }

    bool run()
    {
        qsizetype pos = 0;
        Record r;
        if (!nextRecord(m_s, &pos, &r) || r.type != 0x0809 || r.data.size() < 8 || u16(r.data, 0) != 0x0600)
            return false;
        QVector<quint32> sheets;
        qsizetype sstAt = -1;
        for (;;) {
            const qsizetype at = pos;
            if (!nextRecord(m_s, &pos, &r))
                return false; // no EOF
            if (r.type == 0x000A)
                break;
            switch (r.type) {
            case 0x0085: // BOUNDSHEET
                if (r.data.size() < 8 || !fits(r.data, 8, quint8(r.data[6]), quint8(r.data[7])))
                    return false;
                sheets.append(u32(r.data, 0));
                break;
            case 0x041E: // FORMAT
                if (r.data.size() < 5 || !fits(r.data, 5, u16(r.data, 2), quint8(r.data[4])))
                    return false;
                break;
            case 0x0031: // FONT
                if (r.data.size() < 16 || !fits(r.data, 16, quint8(r.data[14]), quint8(r.data[15])))
                    return false;
                break;
            case 0x00E0: // XF
                if (r.data.size() < 20)
                    return false;
                break;
            case 0x0022: // DATEMODE
            case 0x0042: // CODEPAGE
                if (r.data.size() < 2)
                    return false;
                break;
            case 0x00FC: // SST
                sstAt = at;
                break;
            default:
                break;
            }
        }
        if (sstAt >= 0 && !checkSst(sstAt))
            return false;
        for (quint32 offset : sheets)
            if (!checkSheet(offset))
                return false;
        return true;
    }

private:
    // A string of count characters (one or two bytes each by the flags)
    // starting at `at` lies inside the record.
    static bool fits(const QByteArray &data, qsizetype at, int count, quint8 flags)
    {
        return at + qsizetype(count) * ((flags & 1) ? 2 : 1) <= data.size();
    }

    // The shared strings table, whose strings run on through CONTINUE
    // records; a string's characters start again after a flags byte there.
    bool checkSst(qsizetype at)
    {
        QVector<QByteArray> parts;
        qsizetype pos = at;
        Record r;
        nextRecord(m_s, &pos, &r);
        parts.append(r.data);
        for (qsizetype look = pos; nextRecord(m_s, &look, &r) && r.type == 0x003C; pos = look)
            parts.append(r.data);
        if (parts[0].size() < 8)
            return false;
        const quint32 unique = u32(parts[0], 4);
        int part = 0;
        qsizetype p = 8;
        auto left = [&] { return parts[part].size() - p; };
        auto nextPart = [&] {
            if (++part >= parts.size())
                return false;
            p = 0;
            return true;
        };
        // Skips n bytes that may run on into the following parts.
        auto skip = [&](qint64 n) {
            while (n > 0) {
                if (left() == 0 && !nextPart())
                    return false;
                const qint64 step = qMin<qint64>(n, left());
                p += step;
                n -= step;
            }
            return true;
        };
        for (quint32 i = 0; i < unique; ++i) {
            if (left() == 0 && !nextPart())
                return false;
            if (left() < 3)
                return false;
            qint64 chars = u16(parts[part], p);
            quint8 flags = quint8(parts[part][p + 2]);
            p += 3;
            qint64 runs = 0, ext = 0;
            if (flags & 0x08) {
                if (left() < 2)
                    return false;
                runs = u16(parts[part], p);
                p += 2;
            }
            if (flags & 0x04) {
                if (left() < 4)
                    return false;
                ext = u32(parts[part], p);
                p += 4;
            }
            while (chars > 0) {
                if (left() == 0) {
                    if (!nextPart() || left() < 1)
                        return false;
                    flags = quint8(parts[part][p]);
                    ++p;
                }
                const int width = (flags & 1) ? 2 : 1;
                const qint64 step = qMin<qint64>(chars, left() / width);
                if (step == 0)
                    return false;
                p += step * width;
                chars -= step;
            }
            if (!skip(runs * 4 + ext))
                return false;
        }
        m_sstCount = unique;
        return true;
    }

    // One sheet's records, charts and other embedded substreams included:
    // every cell record long enough and inside the sheet's DIMENSION.
    bool checkSheet(quint32 offset)
    {
        qsizetype pos = offset;
        Record r;
        if (!nextRecord(m_s, &pos, &r) || r.type != 0x0809 || r.data.size() < 8)
            return false;
        int depth = 1;
        bool haveDims = false;
        quint32 rows = 0;
        quint16 columns = 0;
        auto inside = [&](quint32 row, quint32 column) { return haveDims && row < rows && column < columns; };
        while (depth > 0) {
            if (!nextRecord(m_s, &pos, &r))
                return false;
            const QByteArray &d = r.data;
            const qsizetype n = d.size();
            switch (r.type) {
            case 0x0809:
                ++depth;
                break;
            case 0x000A:
                --depth;
                break;
            case 0x0200: // DIMENSION
                if (n < 14 || u32(d, 0) > u32(d, 4) || u32(d, 4) > 65536 || u16(d, 8) > u16(d, 10)
                    || u16(d, 10) > 256)
                    return false;
                if (depth == 1) {
                    haveDims = true;
                    rows = u32(d, 4);
                    columns = u16(d, 10);
                }
                break;
            case 0x0203: // NUMBER
            case 0x027E: // RK
            case 0x0201: // BLANK
            case 0x0205: // BOOLERR
            case 0x0006: // FORMULA
            case 0x00FD: // LABELSST
            case 0x0204: // LABEL
            case 0x00D6: // RSTRING
            {
                static const QHash<quint16, int> minimum = {{0x0203, 14}, {0x027E, 10}, {0x0201, 6}, {0x0205, 8},
                                                            {0x0006, 20}, {0x00FD, 10}, {0x0204, 9}, {0x00D6, 9}};
                if (n < minimum.value(r.type) || (depth == 1 && !inside(u16(d, 0), u16(d, 2))))
                    return false;
                if (r.type == 0x00FD && u32(d, 6) >= m_sstCount)
                    return false;
                if ((r.type == 0x0204 || r.type == 0x00D6) && !fits(d, 9, u16(d, 6), quint8(d[8])))
                    return false;
                break;
            }
            case 0x00BD: // MULRK
            case 0x00BE: // MULBLANK
            {
                const int each = r.type == 0x00BD ? 6 : 2;
                if (n < 6 + each || (n - 6) % each != 0)
                    return false;
                const int first = u16(d, 2), last = u16(d, n - 2);
                if (last != first + (n - 6) / each - 1 || (depth == 1 && !inside(u16(d, 0), last)))
                    return false;
                break;
            }
            default:
                break;
            }
        }
        return true;
    }

    const QByteArray &m_s;
    quint32 m_sstCount = 0;
};

} // namespace

CompoundContent inspectCompoundFile(const QByteArray &file)
{
    const CompoundFile cf(file);
    if (!cf.sound())
        return CompoundContent::Broken;
    if (cf.hasStream(QStringLiteral("EncryptedPackage")))
        return CompoundContent::EncryptedPackage;
    const QByteArray stream = cf.stream(QStringLiteral("Workbook"));
    if (stream.isEmpty())
        return cf.hasStream(QStringLiteral("Book")) ? CompoundContent::OldWorkbook : CompoundContent::Other;
    // FILEPASS (0x002F) follows the BOF of the workbook globals.
    qsizetype pos = 0;
    Record r;
    if (!nextRecord(stream, &pos, &r) || r.type != 0x0809)
        return CompoundContent::Broken;
    if (u16(r.data, 0) != 0x0600)
        return CompoundContent::OldWorkbook;
    if (nextRecord(stream, &pos, &r) && r.type == 0x002F)
        return CompoundContent::EncryptedWorkbook;
    return Biff8Check(stream).run() ? CompoundContent::Workbook : CompoundContent::Broken;
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
