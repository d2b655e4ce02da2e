#include "platform/excel/xlsfile.h"

#include "platform/excel/excelcell.h"
#include "platform/excel/rowcollector.h"

#include <QHash>

#include <cstring>
#include <optional>

namespace excel {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kMaxSector = 0xFFFFFFFA;

quint16 u16(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size()) return 0;
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size()) return 0;
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

double f64(const QByteArray &b, qsizetype at)
{
    double d = 0;
    if (at >= 0 && at + 8 <= b.size()) std::memcpy(&d, b.constData() + at, 8);  // little-endian host
    return d;
}

// Just enough of the compound file format to read one stream.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray &file) : m_file(file)
    {
        if (file.size() < 512 || !file.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))) return;
        const int shift = u16(file, 0x1E);
        const int miniShift = u16(file, 0x20);
        if ((shift != 9 && shift != 12) || miniShift != 6) return;
        m_sectorSize = 1 << shift;
        m_miniCutoff = u32(file, 0x38);
        // The FAT: sector numbers from the header's DIFAT, then DIFAT sectors.
        QVector<quint32> fatSectors;
        for (int i = 0; i < 109; ++i) {
            const quint32 s = u32(file, 0x4C + i * 4);
            if (s <= kMaxSector) fatSectors.append(s);
        }
        quint32 difat = u32(file, 0x44);
        const int perSector = m_sectorSize / 4;
        for (int guard = 0; difat <= kMaxSector && guard < 1000; ++guard) {
            const QByteArray sector = readSector(difat);
            if (sector.isEmpty()) return;
            for (int i = 0; i < perSector - 1; ++i) {
                const quint32 s = u32(sector, i * 4);
                if (s <= kMaxSector) fatSectors.append(s);
            }
            difat = u32(sector, (perSector - 1) * 4);
        }
        const qsizetype maxSectors = file.size() / m_sectorSize + 1;
        for (quint32 s : fatSectors) {
            const QByteArray sector = readSector(s);
            for (int i = 0; i < perSector && m_fat.size() < maxSectors; ++i) m_fat.append(u32(sector, i * 4));
        }
        m_directory = readChain(u32(file, 0x30), m_fat, false, -1);
        if (m_directory.size() < 128) return;
        m_miniFat = toEntries(readChain(u32(file, 0x3C), m_fat, false, -1));
        m_ministream = readChain(u32(m_directory, 0x74), m_fat, false, u32(m_directory, 0x78));
        m_ok = true;
    }

    // Whether the container holds together: every directory entry's name
    // fits its 64-byte field, and every stream's sector chain is whole, in
    // range and as long as the stream says.
    bool sound() const
    {
        if (!m_ok || m_ministream.size() < qint64(u32(m_directory, 0x78))) return false;
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (length > 64 || length % 2 != 0) return false;
            if (m_directory[at + 0x42] != 2) continue;
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
        if (at < 0) return QByteArray();
        const quint32 start = u32(m_directory, at + 0x74);
        const quint32 size = u32(m_directory, at + 0x78);
        if (size < m_miniCutoff) return readChain(start, m_miniFat, true, size);
        return readChain(start, m_fat, false, size);
    }

private:
    qsizetype entryOffset(const QString &name) const
    {
        if (!m_ok) return -1;
        for (qsizetype at = 0; at + 128 <= m_directory.size(); at += 128) {
            const int length = u16(m_directory, at + 0x40);
            if (m_directory[at + 0x42] != 2 || length < 2 || length > 64) continue;
            const QString entry = QString::fromUtf16(reinterpret_cast<const char16_t *>(m_directory.constData() + at),
                                                     length / 2 - 1);
            if (entry.compare(name, Qt::CaseInsensitive) == 0) return at;
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
            if (s > kMaxSector || s >= quint32(fat.size())) return false;
            s = fat[s];
        }
        return needed == 0 || s == kEndOfChain;
    }

    QByteArray readSector(quint32 s) const
    {
        const qint64 at = (qint64(s) + 1) * m_sectorSize;
        if (at + m_sectorSize > m_file.size()) return QByteArray();
        return m_file.mid(at, m_sectorSize);
    }

    static QVector<quint32> toEntries(const QByteArray &b)
    {
        QVector<quint32> out;
        for (qsizetype i = 0; i + 4 <= b.size(); i += 4) out.append(u32(b, i));
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
                if (at + 64 > m_ministream.size()) break;
                out.append(m_ministream.constData() + at, 64);
            } else {
                const QByteArray sector = readSector(s);
                if (sector.isEmpty()) break;
                out.append(sector);
            }
            if (size >= 0 && out.size() >= size) break;
            s = fat[s];
        }
        if (size >= 0 && out.size() > size) out.truncate(size);
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

struct Record {
    quint16 type;
    QByteArray data;
};

// Reads one BIFF record at *pos and moves past it.
bool nextRecord(const QByteArray &stream, qsizetype *pos, Record *r)
{
    if (*pos + 4 > stream.size()) return false;
    r->type = u16(stream, *pos);
    const quint16 length = u16(stream, *pos + 2);
    if (*pos + 4 + length > stream.size()) return false;
    r->data = stream.mid(*pos + 4, length);
    *pos += 4 + length;
    return true;
}

// A record and the CONTINUE records after it, read as one: a string's
// characters that run on into the next record start there with a flags
// byte of their own (one or two bytes a character).
class Continued {
public:
    // The record whose body is first, from offset at, then its CONTINUEs;
    // *pos moves past them.
    Continued(const QByteArray &stream, qsizetype *pos, const QByteArray &first, qsizetype at)
    {
        m_parts.append(first.mid(at));
        Record r;
        for (qsizetype look = *pos; nextRecord(stream, &look, &r) && r.type == 0x003C; *pos = look)
            m_parts.append(r.data);
    }

    qsizetype left() const { return m_parts[m_part].size() - m_p; }
    quint8 byte() { return quint8(m_parts[m_part][m_p++]); }
    quint16 word()
    {
        const quint16 v = u16(m_parts[m_part], m_p);
        m_p += 2;
        return v;
    }
    quint32 dword()
    {
        const quint32 v = u32(m_parts[m_part], m_p);
        m_p += 4;
        return v;
    }
    bool nextPart()
    {
        if (m_part + 1 >= m_parts.size()) return false;
        ++m_part;
        m_p = 0;
        return true;
    }
    // Moves to the next part when this one is used up; false at the end.
    bool need(qsizetype n)
    {
        if (left() == 0 && !nextPart()) return false;
        return left() >= n;
    }
    // Skips n bytes that may run on into the following parts.
    bool skip(qint64 n)
    {
        while (n > 0) {
            if (left() == 0 && !nextPart()) return false;
            const qint64 step = qMin<qint64>(n, left());
            m_p += step;
            n -= step;
        }
        return true;
    }
    // An unformatted string body of count characters: its flags byte, the
    // rich-text and phonetic sizes, the characters, then the runs and the
    // phonetic data skipped.  out may be null to only check it.
    bool string(qint64 count, QString *out)
    {
        if (!need(1)) return false;
        quint8 flags = byte();
        qint64 runs = 0, ext = 0;
        if (flags & 0x08) {
            if (!need(2)) return false;
            runs = word();
        }
        if (flags & 0x04) {
            if (!need(4)) return false;
            ext = dword();
        }
        while (count > 0) {
            if (left() == 0) {
                if (!nextPart() || left() < 1) return false;
                flags = byte();
            }
            const int width = (flags & 1) ? 2 : 1;
            const qint64 step = qMin<qint64>(count, left() / width);
            if (step == 0) return false;
            if (out) {
                const char *at = m_parts[m_part].constData() + m_p;
                if (width == 2)
                    out->append(QString::fromUtf16(reinterpret_cast<const char16_t *>(at), step));
                else
                    out->append(QString::fromLatin1(at, step));
            }
            m_p += step * width;
            count -= step;
        }
        return skip(runs * 4 + ext);
    }

private:
    QVector<QByteArray> m_parts;
    int m_part = 0;
    qsizetype m_p = 0;
};

// The shared strings table at the SST record just read (its body given);
// *pos moves past its CONTINUE records.  out may be null to only check it.
ReadProblem readSst(const QByteArray &stream, qsizetype *pos, const QByteArray &data, QStringList *out)
{
    if (data.size() < 8) return ReadProblem::Damaged;
    const quint32 unique = u32(data, 4);
    if (unique > quint32(kMaxSharedStrings)) return ReadProblem::TooLarge;
    Continued c(stream, pos, data, 8);
    qint64 total = 0;
    for (quint32 i = 0; i < unique; ++i) {
        if (!c.need(2)) return ReadProblem::Damaged;
        const quint16 chars = c.word();
        if (chars > kMaxCellText) return ReadProblem::TooLarge;
        total += chars;
        if (total > kMaxSharedChars) return ReadProblem::TooLarge;
        QString text;
        if (!c.string(chars, out ? &text : nullptr)) return ReadProblem::Damaged;
        if (out) out->append(text);
    }
    return ReadProblem::None;
}

// The string of a short-string record: the names of sheets and formats.
QString biffChars(const QByteArray &b, qsizetype at, int count)
{
    qsizetype pos = 0;
    Continued c(QByteArray(), &pos, b, at);
    QString out;
    c.string(count, &out);
    return out;
}

// Checks that the records hold together: lengths, counts and string sizes
// that fit their records, so that a damaged file is told as damaged.
class Biff8Check {
public:
    explicit Biff8Check(const QByteArray &stream) : m_s(stream) {}

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
            if (!nextRecord(m_s, &pos, &r)) return false;  // no EOF
            if (r.type == 0x000A) break;
            switch (r.type) {
            case 0x0085:  // BOUNDSHEET
                if (r.data.size() < 8 || !fits(r.data, 8, quint8(r.data[6]), quint8(r.data[7]))) return false;
                sheets.append(u32(r.data, 0));
                break;
            case 0x041E:  // FORMAT
                if (r.data.size() < 5 || !fits(r.data, 5, u16(r.data, 2), quint8(r.data[4]))) return false;
                break;
            case 0x0031:  // FONT
                if (r.data.size() < 16 || !fits(r.data, 16, quint8(r.data[14]), quint8(r.data[15]))) return false;
                break;
            case 0x00E0:  // XF
                if (r.data.size() < 20) return false;
                break;
            case 0x0022:  // DATEMODE
            case 0x0042:  // CODEPAGE
                if (r.data.size() < 2) return false;
                break;
            case 0x00FC:  // SST
                sstAt = at;
                break;
            default:
                break;
            }
        }
        if (sstAt >= 0 && !checkSst(sstAt)) return false;
        for (quint32 offset : sheets)
            if (!checkSheet(offset)) return false;
        return true;
    }

private:
    // A string of count characters (one or two bytes each by the flags)
    // starting at `at` lies inside the record.
    static bool fits(const QByteArray &data, qsizetype at, int count, quint8 flags)
    {
        return at + qsizetype(count) * ((flags & 1) ? 2 : 1) <= data.size();
    }

    bool checkSst(qsizetype at)
    {
        qsizetype pos = at;
        Record r;
        nextRecord(m_s, &pos, &r);
        m_sstProblem = readSst(m_s, &pos, r.data, nullptr);
        if (m_sstProblem != ReadProblem::None)
            return m_sstProblem == ReadProblem::TooLarge;  // told when the cells are read
        m_sstCount = u32(r.data, 4);
        return true;
    }

    // One sheet's records, charts and other embedded substreams included:
    // every cell record long enough.  Cells past the DIMENSION record are
    // read all the same, as other programs do.
    bool checkSheet(quint32 offset)
    {
        qsizetype pos = offset;
        Record r;
        if (!nextRecord(m_s, &pos, &r) || r.type != 0x0809 || r.data.size() < 8) return false;
        int depth = 1;
        while (depth > 0) {
            if (!nextRecord(m_s, &pos, &r)) return false;
            const QByteArray &d = r.data;
            const qsizetype n = d.size();
            switch (r.type) {
            case 0x0809:
                ++depth;
                break;
            case 0x000A:
                --depth;
                break;
            case 0x0200:  // DIMENSION
                if (n < 14 || u32(d, 0) > u32(d, 4) || u32(d, 4) > 65536 || u16(d, 8) > u16(d, 10) || u16(d, 10) > 256)
                    return false;
                break;
            case 0x0203:  // NUMBER
            case 0x027E:  // RK
            case 0x0201:  // BLANK
            case 0x0205:  // BOOLERR
            case 0x0006:  // FORMULA
            case 0x00FD:  // LABELSST
            case 0x0204:  // LABEL
            case 0x00D6:  // RSTRING
            {
                static const QHash<quint16, int> minimum = {{0x0203, 14}, {0x027E, 10}, {0x0201, 6}, {0x0205, 8},
                                                            {0x0006, 20}, {0x00FD, 10}, {0x0204, 9}, {0x00D6, 9}};
                if (n < minimum.value(r.type)) return false;
                if (r.type == 0x00FD && u32(d, 6) >= m_sstCount && m_sstProblem == ReadProblem::None) return false;
                break;
            }
            case 0x00BD:  // MULRK
            case 0x00BE:  // MULBLANK
            {
                const int each = r.type == 0x00BD ? 6 : 2;
                if (n < 6 + each || (n - 6) % each != 0) return false;
                const int first = u16(d, 2), last = u16(d, n - 2);
                if (last != first + (n - 6) / each - 1) return false;
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
    ReadProblem m_sstProblem = ReadProblem::None;
};

}  // namespace

CompoundContent inspectCompoundFile(const QByteArray &file, QByteArray *workbook)
{
    const CompoundFile cf(file);
    if (!cf.sound()) return CompoundContent::Broken;
    if (cf.hasStream(QStringLiteral("EncryptedPackage"))) return CompoundContent::EncryptedPackage;
    const QByteArray stream = cf.stream(QStringLiteral("Workbook"));
    if (stream.isEmpty())
        return cf.hasStream(QStringLiteral("Book")) ? CompoundContent::OldWorkbook : CompoundContent::Other;
    // FILEPASS (0x002F) follows the BOF of the workbook globals.
    qsizetype pos = 0;
    Record r;
    if (!nextRecord(stream, &pos, &r) || r.type != 0x0809) return CompoundContent::Broken;
    if (u16(r.data, 0) != 0x0600) return CompoundContent::OldWorkbook;
    if (nextRecord(stream, &pos, &r) && r.type == 0x002F) return CompoundContent::EncryptedWorkbook;
    if (!Biff8Check(stream).run()) return CompoundContent::Broken;
    if (workbook) *workbook = stream;
    return CompoundContent::Workbook;
}

namespace {

// Reads one sheet's cell records, with the workbook globals they need.
class BiffSheetReader {
public:
    BiffSheetReader(const QByteArray &stream, RowCollector *rows, const ReadProgress &progress)
        : m_s(stream), m_rows(rows), m_progress(progress)
    {}

    ReadProblem run(const QString &sheetName)
    {
        qsizetype pos = 0;
        Record r;
        if (!nextRecord(m_s, &pos, &r) || r.type != 0x0809 || u16(r.data, 0) != 0x0600)
            return ReadProblem::OldFormat;  // only BIFF8
        qint64 sheetOffset = -1;
        while (nextRecord(m_s, &pos, &r) && r.type != 0x000A) {
            switch (r.type) {
            case 0x0085: {  // BOUNDSHEET8
                const QString name = biffChars(r.data, 7, quint8(r.data.size() > 6 ? r.data[6] : 0));
                if (sheetOffset < 0 && name.compare(sheetName, Qt::CaseInsensitive) == 0) sheetOffset = u32(r.data, 0);
                break;
            }
            case 0x041E:  // FORMAT
                m_formats.insert(u16(r.data, 0), dateKindOfFormat(biffChars(r.data, 4, u16(r.data, 2))));
                break;
            case 0x00E0:  // XF
                if (m_xfFormats.size() < 65536) m_xfFormats.append(u16(r.data, 2));
                break;
            case 0x0022:  // DATEMODE
                m_date1904 = u16(r.data, 0) == 1;
                break;
            case 0x00FC: {  // SST
                const ReadProblem p = readSst(m_s, &pos, r.data, &m_shared);
                if (p != ReadProblem::None) return p;
                break;
            }
            default:
                break;
            }
            if (!tick(pos)) return ReadProblem::Cancelled;
        }
        if (sheetOffset < 0) return ReadProblem::NoSheet1;
        if (sheetOffset >= m_s.size()) return ReadProblem::Damaged;
        return readSheet(sheetOffset);
    }

private:
    // Reports progress now and then; false when the caller stops the read.
    bool tick(qsizetype pos)
    {
        if (++m_records % 4096 != 0 || !m_progress) return true;
        return m_progress(int(qint64(pos) * 100 / qMax<qsizetype>(1, m_s.size())));
    }

    DateKind kindOf(int xf) const
    {
        if (xf < 0 || xf >= m_xfFormats.size()) return DateKind::None;
        const int id = m_xfFormats[xf];
        const auto custom = m_formats.constFind(id);
        return custom != m_formats.constEnd() ? *custom : dateKindOfBuiltinFormat(id);
    }

    QString numberCell(double v, int xf) const
    {
        const DateKind kind = kindOf(xf);
        if (kind != DateKind::None) {
            const QString date = serialDateText(v, kind, m_date1904);
            if (!date.isEmpty()) return date;
        }
        return numberText(v);
    }

    static double rkValue(quint32 rk)
    {
        double v;
        if (rk & 2) {
            v = double(qint32(rk) >> 2);
        } else {
            const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&v, &bits, 8);
        }
        return (rk & 1) ? v / 100 : v;
    }

    // A string of count characters whose flags byte is at `at` of the
    // record just read, running on into CONTINUE records.
    ReadProblem text(qsizetype *pos, const QByteArray &data, qsizetype at, int count, QString *out)
    {
        if (count > kMaxCellText) return ReadProblem::TooLarge;
        Continued c(m_s, pos, data, at);
        c.string(count, out);
        return ReadProblem::None;
    }

    // A cell into the rows; past Excel's last column the file is damaged.
    ReadProblem set(int row, int column, const QString &text)
    {
        if (column >= kMaxSheetColumns) return ReadProblem::Damaged;
        return m_rows->set(row + 1, column, text) ? ReadProblem::None : ReadProblem::TooLarge;
    }

    ReadProblem setUnread(int row, int column, Unread why)
    {
        if (column >= kMaxSheetColumns) return ReadProblem::Damaged;
        return m_rows->setUnread(row + 1, column, why) ? ReadProblem::None : ReadProblem::TooLarge;
    }

    ReadProblem readSheet(qsizetype pos)
    {
        Record r;
        if (!nextRecord(m_s, &pos, &r) || r.type != 0x0809) return ReadProblem::Damaged;
        int depth = 1;
        int pendingRow = -1, pendingColumn = -1;  // a formula whose text follows
        qint64 cells = 0;
        while (depth > 0 && nextRecord(m_s, &pos, &r)) {
            if (!tick(pos)) return ReadProblem::Cancelled;
            const QByteArray &d = r.data;
            if (r.type == 0x0809) {
                ++depth;  // a chart's substream: its records are no cells
                continue;
            }
            if (r.type == 0x000A) {
                --depth;
                continue;
            }
            if (depth > 1) continue;
            // A text result comes in the STRING record after its formula,
            // after a shared formula, array or table record when there is
            // one; any other record means it never came.
            if (pendingRow >= 0 && r.type != 0x0207 && r.type != 0x04BC && r.type != 0x0221 && r.type != 0x0236) {
                if (const ReadProblem p = setUnread(pendingRow, pendingColumn, Unread::NoResult);
                    p != ReadProblem::None)
                    return p;
                pendingRow = -1;
            }
            if (r.type == 0x0207) {  // STRING: the text result of the formula before
                if (pendingRow >= 0) {
                    QString result;
                    ReadProblem p = text(&pos, d, 2, u16(d, 0), &result);
                    if (p == ReadProblem::None) p = set(pendingRow, pendingColumn, result);
                    if (p != ReadProblem::None) return p;
                    pendingRow = -1;
                }
                continue;
            }
            if (d.size() < 6) continue;
            const int row = u16(d, 0), column = u16(d, 2), xf = u16(d, 4);
            if (++cells > kMaxCellsRead) return ReadProblem::TooLarge;
            QString value;
            std::optional<Unread> unread;
            switch (r.type) {
            case 0x0203:  // NUMBER
                value = numberCell(f64(d, 6), xf);
                break;
            case 0x027E:  // RK
                value = numberCell(rkValue(u32(d, 6)), xf);
                break;
            case 0x00BD:  // MULRK: row, first column, (xf, rk) each, last column
                for (qsizetype at = 4, c = column; at + 6 <= d.size() - 2; at += 6, ++c) {
                    const ReadProblem p = set(row, int(c), numberCell(rkValue(u32(d, at + 2)), u16(d, at)));
                    if (p != ReadProblem::None) return p;
                }
                cells += (d.size() - 6) / 6;
                break;
            case 0x00FD: {  // LABELSST
                const quint32 index = u32(d, 6);
                if (index >= quint32(m_shared.size())) return ReadProblem::Damaged;
                value = m_shared[index];
                break;
            }
            case 0x0204:  // LABEL
            case 0x00D6:  // RSTRING
            {
                const ReadProblem p = text(&pos, d, 8, u16(d, 6), &value);
                if (p != ReadProblem::None) return p;
                break;
            }
            case 0x0205:  // BOOLERR
                if (d.size() >= 8 && d[7] == 0)
                    value = d[6] ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                else if (d.size() >= 8)
                    unread = Unread::ErrorValue;
                break;
            case 0x0006:  // FORMULA
                pendingRow = -1;
                if (d.size() < 14) break;
                if (u16(d, 12) != 0xFFFF) {
                    value = numberCell(f64(d, 6), xf);
                } else if (quint8(d[6]) == 0) {
                    pendingRow = row;  // text result in the STRING record next
                    pendingColumn = column;
                } else if (quint8(d[6]) == 1) {
                    value = d[8] ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                } else if (quint8(d[6]) == 2) {
                    unread = Unread::ErrorValue;
                }
                break;
            default:
                --cells;
                continue;
            }
            const ReadProblem p = unread ? setUnread(row, column, *unread) : set(row, column, value);
            if (p != ReadProblem::None) return p;
        }
        if (pendingRow >= 0) return setUnread(pendingRow, pendingColumn, Unread::NoResult);
        return ReadProblem::None;
    }

    const QByteArray &m_s;
    RowCollector *m_rows;
    const ReadProgress &m_progress;
    QHash<int, DateKind> m_formats;
    QVector<int> m_xfFormats;
    QStringList m_shared;
    bool m_date1904 = false;
    qint64 m_records = 0;
};

}  // namespace

ReadProblem readBiffSheet(const QByteArray &stream, const QString &sheetName, RowCollector *rows,
                          const ReadProgress &progress)
{
    try {
        return BiffSheetReader(stream, rows, progress).run(sheetName);
    } catch (const std::bad_alloc &) {
        return ReadProblem::TooLarge;
    }
}

}  // namespace excel
