#include "platform/excel/excelcell.h"
#include "platform/excel/excelreader.h"
#include "platform/excel/rowcollector.h"
#include "platform/excel/ziparchive.h"

#include <QDir>
#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>

#include <cstring>

namespace excel {

namespace {

constexpr qint64 kMaxSmallPart = 16 << 20;  // relationships, workbook, styles
// The worksheet and the shared strings together, streamed: the XML reader
// takes about a second for 30 MB, so a hostile file is refused within a few
// seconds, and two million cells of real data still fit.
constexpr qint64 kMaxStreamed = 100ll << 20;
// Bytes between two '<': a cell's text is at most kMaxCellText characters
// of up to ten bytes each ("&#x10FFFF;" and the like), attribute values are
// short; a longer run is a file built to exhaust memory.
constexpr qint64 kMaxTextRun = 1 << 20;
// Tags ('<') in the streamed parts together: about four for each of two
// million cells with their rows; each costs the XML reader the same time
// whether it means anything or not.
constexpr qint64 kMaxTags = 12'000'000;
// A cell's text before its _xHHHH_ escapes are decoded (seven characters
// for one).
constexpr qint64 kMaxRawText = qint64(kMaxCellText) * 7;

// A failure while reading a part; carries what the user will be told.
struct Failure {
    ReadProblem problem;
};

// Moves to the next start tag; false at the end tag of the element named
// (or of the document).
bool nextStartWithin(QXmlStreamReader &xml, QLatin1String element)
{
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) return true;
        if (token == QXmlStreamReader::EndElement && xml.name() == element) return false;
    }
    return false;
}

ReadProblem problemOf(ZipArchive::Status s)
{
    switch (s) {
    case ZipArchive::Status::Ok:
        return ReadProblem::None;
    case ZipArchive::Status::Missing:
        return ReadProblem::Damaged;
    case ZipArchive::Status::Encrypted:
        return ReadProblem::Encrypted;
    case ZipArchive::Status::Damaged:
        return ReadProblem::Damaged;
    case ZipArchive::Status::TooLarge:
        return ReadProblem::TooLarge;
    }
    return ReadProblem::Damaged;
}

// A streamed part as the XML reader sees it: checked for long runs of text,
// counted for the progress, and stopped when the caller cancels.
class PartStream : public QIODevice {
public:
    PartStream(ZipArchive::Entry *entry, qint64 *tags, const std::function<bool(qint64)> &progress)
        : m_entry(entry), m_tags(tags), m_progress(progress)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    ReadProblem problem() const { return m_problem; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_problem != ReadProblem::None) return -1;
        const qint64 n = m_entry->read(data, qMin<qint64>(maxSize, 256 * 1024));
        if (n <= 0) return n;
        // The length of the run of text since the last '<'.
        const char *p = data;
        const char *end = data + n;
        while (const char *lt = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)))) {
            if (m_run + (lt - p) > kMaxTextRun || ++*m_tags > kMaxTags) return stop(ReadProblem::TooLarge);
            m_run = 0;
            p = lt + 1;
        }
        m_run += end - p;
        if (m_run > kMaxTextRun) return stop(ReadProblem::TooLarge);
        m_done += n;
        if (!m_progress(m_done)) return stop(ReadProblem::Cancelled);
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 stop(ReadProblem problem)
    {
        m_problem = problem;
        return -1;
    }
    ZipArchive::Entry *m_entry;
    qint64 *m_tags;
    std::function<bool(qint64)> m_progress;
    ReadProblem m_problem = ReadProblem::None;
    qint64 m_run = 0;
    qint64 m_done = 0;
};

// OOXML writes characters that XML cannot hold as _xHHHH_.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x"))) return text;
    QString out;
    out.reserve(text.size());
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        if (text[i] == u'_' && i + 6 < n && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const uint code = text.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out.append(QChar(char16_t(code)));
                i += 6;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

// Folder part of a part name ("xl/workbook.xml" -> "xl/").
QString folderOf(const QString &part)
{
    const int slash = int(part.lastIndexOf(u'/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString relsOf(const QString &part)
{
    const int slash = int(part.lastIndexOf(u'/'));
    return folderOf(part) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

// A relationship target resolved against the folder of its source part.
QString resolveTarget(const QString &sourcePart, const QString &target)
{
    QString path = target.startsWith(u'/') ? target.mid(1) : folderOf(sourcePart) + target;
    path = QDir::cleanPath(path);
    if (path.startsWith(QLatin1String("../")) || path == QLatin1String("..")) return QString();
    return path;
}

class XlsxReader {
public:
    XlsxReader(const QByteArray &bytes, const QString &fileName, const ReadProgress &progress)
        : m_zip(bytes), m_fileName(fileName), m_progress(progress)
    {}

    ReadResult run();

private:
    QByteArray readSmall(const QString &part, bool required);
    struct Relationship {
        QString type;
        QString target;
    };
    QHash<QString, Relationship> readRelationships(const QString &part);
    void readWorkbookPart(const QString &part, QString *sheetRelId);
    void readStyles(const QString &part);
    void readSharedStrings(const QString &part);
    void readWorksheet(const QString &part);
    std::unique_ptr<ZipArchive::Entry> openLarge(const QString &part, ZipArchive::Status *status);
    std::unique_ptr<PartStream> streamOf(ZipArchive::Entry *entry);
    // A streamed part, read through its entry and stream (destroyed in
    // reverse order: the reader first).
    struct StreamedPart {
        std::unique_ptr<ZipArchive::Entry> entry;
        std::unique_ptr<PartStream> stream;
        std::unique_ptr<QXmlStreamReader> xml;
        void check() const { XlsxReader::check(*xml, entry.get(), stream.get()); }
    };
    // Opens the part at its root element; false for an optional part that is
    // missing or holds no element, a failure for a required one.
    bool openStreamed(const QString &part, bool required, StreamedPart *p);
    QString inlineText(QXmlStreamReader &xml);
    static QString elementText(QXmlStreamReader &xml);
    void countCell();
    QString cellText(const QString &type, int style, const QString &value, bool *bad) const;

    static void check(QXmlStreamReader &xml, const ZipArchive::Entry *entry, const PartStream *stream = nullptr);
    static bool startXml(QXmlStreamReader &xml);

    ZipArchive m_zip;
    QString m_fileName;
    bool m_date1904 = false;
    QVector<DateKind> m_styleKinds;
    QStringList m_shared;
    qint64 m_sharedChars = 0;
    qint64 m_cellsRead = 0;
    qint64 m_tags = 0;
    RowCollector m_rows;
    ReadProgress m_progress;
    qint64 m_streamed = 0;  // bytes of the large parts read before the current one
    qint64 m_toStream = 1;  // and of all of them, as their entries declare
};

// Throws the right failure when the XML stream stopped on an error.
void XlsxReader::check(QXmlStreamReader &xml, const ZipArchive::Entry *entry, const PartStream *stream)
{
    if (stream && stream->problem() != ReadProblem::None) throw Failure{stream->problem()};
    if (entry && entry->status() != ZipArchive::Status::Ok) throw Failure{problemOf(entry->status())};
    if (xml.hasError()) throw Failure{ReadProblem::Damaged};
}

// Advances to the root element; refuses document type declarations, which
// no workbook part has and which could expand entities.
bool XlsxReader::startXml(QXmlStreamReader &xml)
{
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) throw Failure{ReadProblem::Damaged};
        if (token == QXmlStreamReader::StartElement) return true;
    }
    return false;
}

QByteArray XlsxReader::readSmall(const QString &part, bool required)
{
    QByteArray data;
    const auto status = m_zip.read(part, &data, kMaxSmallPart);
    if (status == ZipArchive::Status::Missing && !required) return QByteArray();
    if (status != ZipArchive::Status::Ok) throw Failure{problemOf(status)};
    return data;
}

QHash<QString, XlsxReader::Relationship> XlsxReader::readRelationships(const QString &part)
{
    QHash<QString, Relationship> rels;
    const QByteArray data = readSmall(relsOf(part), false);
    if (data.isEmpty()) return rels;
    QXmlStreamReader xml(data);
    if (!startXml(xml)) throw Failure{ReadProblem::Damaged};
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Relationship")) {
            const auto a = xml.attributes();
            rels.insert(a.value(QLatin1String("Id")).toString(),
                        Relationship{a.value(QLatin1String("Type")).toString(),
                                     resolveTarget(part, a.value(QLatin1String("Target")).toString())});
        }
    }
    check(xml, nullptr);
    return rels;
}

void XlsxReader::readWorkbookPart(const QString &part, QString *sheetRelId)
{
    const QByteArray data = readSmall(part, true);
    QXmlStreamReader xml(data);
    if (!startXml(xml) || xml.name() != QLatin1String("workbook")) throw Failure{ReadProblem::NotWorkbook};
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("workbookPr")) {
            const auto v = a.value(QLatin1String("date1904"));
            m_date1904 = (v == QLatin1String("1") || v == QLatin1String("true"));
        } else if (xml.name() == QLatin1String("sheet") && sheetRelId->isEmpty()) {
            if (a.value(QLatin1String("name")).compare(QLatin1String(kSheetName), Qt::CaseInsensitive) != 0) continue;
            for (const auto &attr : a)
                if (attr.name() == QLatin1String("id") && !attr.namespaceUri().isEmpty())
                    *sheetRelId = attr.value().toString();
            if (sheetRelId->isEmpty()) throw Failure{ReadProblem::Damaged};
        }
    }
    check(xml, nullptr);
    if (sheetRelId->isEmpty()) throw Failure{ReadProblem::NoSheet1};
}

void XlsxReader::readStyles(const QString &part)
{
    const QByteArray data = readSmall(part, false);
    if (data.isEmpty()) return;
    QHash<int, DateKind> custom;
    QXmlStreamReader xml(data);
    if (!startXml(xml)) throw Failure{ReadProblem::Damaged};
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) inCellXfs = false;
        if (token != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("numFmt")) {
            custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                          dateKindOfFormat(a.value(QLatin1String("formatCode")).toString()));
        } else if (xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
            if (m_styleKinds.size() >= 1'000'000) throw Failure{ReadProblem::TooLarge};
            const int id = a.value(QLatin1String("numFmtId")).toInt();
            m_styleKinds.append(custom.contains(id) ? custom.value(id) : dateKindOfBuiltinFormat(id));
        }
    }
    check(xml, nullptr);
}

// The text of an <si> or <is> element: plain <t>, or the <t> of each rich
// run; phonetic guides (<rPh>) are not part of the cell's text.
QString XlsxReader::inlineText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("t")) {
                text += elementText(xml);
                if (text.size() > kMaxRawText) throw Failure{ReadProblem::TooLarge};
            } else if (xml.name() == QLatin1String("rPh") || xml.name() == QLatin1String("phoneticPr")) {
                xml.skipCurrentElement();
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    text = decodeEscapes(text);
    if (text.size() > kMaxCellText) throw Failure{ReadProblem::TooLarge};
    return text;
}

// The text of the element just started, children's text included; more
// than a cell can hold is refused as soon as it is met.
QString XlsxReader::elementText(QXmlStreamReader &xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += xml.text();
            if (text.size() > kMaxRawText) throw Failure{ReadProblem::TooLarge};
            break;
        default:
            break;
        }
    }
    return text;
}

void XlsxReader::countCell()
{
    if (++m_cellsRead > kMaxCellsRead) throw Failure{ReadProblem::TooLarge};
}

std::unique_ptr<ZipArchive::Entry> XlsxReader::openLarge(const QString &part, ZipArchive::Status *status)
{
    // Parts that say they inflate past the limit are refused before they are
    // read (see run); one that lies is stopped by the entry's own limit.
    return m_zip.open(part, kMaxStreamed - m_streamed, status);
}

std::unique_ptr<PartStream> XlsxReader::streamOf(ZipArchive::Entry *entry)
{
    const qint64 base = m_streamed;
    return std::make_unique<PartStream>(entry, &m_tags, [this, base](qint64 done) {
        m_streamed = base + done;
        return !m_progress || m_progress(int(qMin<qint64>(99, m_streamed * 100 / m_toStream)));
    });
}

bool XlsxReader::openStreamed(const QString &part, bool required, StreamedPart *p)
{
    ZipArchive::Status status;
    p->entry = openLarge(part, &status);
    if (status == ZipArchive::Status::Missing && !required) return false;
    if (!p->entry) throw Failure{problemOf(status)};
    p->stream = streamOf(p->entry.get());
    p->xml = std::make_unique<QXmlStreamReader>(p->stream.get());
    if (startXml(*p->xml)) return true;
    p->check();
    if (required) throw Failure{ReadProblem::Damaged};
    return false;
}

void XlsxReader::readSharedStrings(const QString &part)
{
    StreamedPart p;
    if (!openStreamed(part, false, &p)) return;
    QXmlStreamReader &xml = *p.xml;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si")) {
            if (m_shared.size() >= kMaxSharedStrings) throw Failure{ReadProblem::TooLarge};
            m_shared.append(inlineText(xml));
            m_sharedChars += m_shared.last().size();
            if (m_sharedChars > kMaxSharedChars) throw Failure{ReadProblem::TooLarge};
        }
    }
    p.check();
}

QString XlsxReader::cellText(const QString &type, int style, const QString &value, bool *bad) const
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= m_shared.size()) {
            *bad = true;
            return QString();
        }
        return m_shared[index];
    }
    if (type == QLatin1String("str") || type == QLatin1String("inlineStr")) return decodeEscapes(value);
    if (type == QLatin1String("b"))
        return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type == QLatin1String("e")) return QString();
    const DateKind kind = (style >= 0 && style < m_styleKinds.size()) ? m_styleKinds[style] : DateKind::None;
    if (type == QLatin1String("d")) {
        // ISO 8601 date kept as a date.
        QDateTime dt = QDateTime::fromString(value.trimmed(), Qt::ISODate);
        if (!dt.isValid()) {
            const QDate d = QDate::fromString(value.trimmed(), Qt::ISODate);
            if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
        }
        if (!dt.isValid()) return value;
        const DateKind shown = kind != DateKind::None     ? kind
                               : dt.time() == QTime(0, 0) ? DateKind::Date
                                                          : DateKind::DateTime;
        if (shown == DateKind::Date) return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        if (shown == DateKind::Time) return dt.time().toString(QStringLiteral("HH:mm:ss"));
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty()) return QString();
    bool ok = false;
    const double number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) return value;
    if (kind != DateKind::None) {
        const QString date = serialDateText(number, kind, m_date1904);
        if (!date.isEmpty()) return date;
    }
    return numberText(number);
}

void XlsxReader::readWorksheet(const QString &part)
{
    StreamedPart p;
    openStreamed(part, true, &p);
    QXmlStreamReader &xml = *p.xml;
    int rowNumber = 0;
    int column = -1;
    bool bad = false;
    bool inSheetData = false;
    while (nextStartWithin(xml, QLatin1String("sheetData"))) {
        if (!inSheetData) {
            inSheetData = xml.name() == QLatin1String("sheetData");
            continue;
        }
        if (xml.name() == QLatin1String("row")) {
            countCell();
            const auto r = xml.attributes().value(QLatin1String("r"));
            bool ok = true;
            rowNumber = r.isEmpty() ? rowNumber + 1 : r.toInt(&ok);
            if (!ok || rowNumber < 1 || rowNumber > kMaxSheetRows) throw Failure{ReadProblem::Damaged};
            column = -1;
        } else if (xml.name() == QLatin1String("c")) {
            countCell();
            if (rowNumber == 0) throw Failure{ReadProblem::Damaged};
            const auto a = xml.attributes();
            const auto ref = a.value(QLatin1String("r"));
            if (ref.isEmpty()) {
                ++column;
            } else {
                int refRow = 0;
                if (!parseCellRef(ref, &column, &refRow) || refRow != rowNumber) throw Failure{ReadProblem::Damaged};
            }
            if (column < 0 || column >= kMaxSheetColumns) throw Failure{ReadProblem::Damaged};
            const QString type = a.value(QLatin1String("t")).toString();
            const int style = a.value(QLatin1String("s")).toInt();
            QString value;
            bool inlined = false, formula = false, hasValue = false;
            // Children: <v> value, <is> inline text, <f> formula (only noted:
            // its result is the value).
            while (nextStartWithin(xml, QLatin1String("c"))) {
                if (xml.name() == QLatin1String("v") && !inlined) {
                    value = elementText(xml);
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    value = inlineText(xml);
                    inlined = true;
                } else {
                    formula = formula || xml.name() == QLatin1String("f");
                    xml.skipCurrentElement();
                }
            }
            // A formula written by a program that does not calculate comes
            // without a result, or with an empty one that is no text.
            const bool textResult = type == QLatin1String("str") || type == QLatin1String("inlineStr");
            const bool noResult = formula && !inlined && (!hasValue || (value.isEmpty() && !textResult));
            if (noResult || type == QLatin1String("e")) {
                if (!m_rows.setUnread(rowNumber, column, noResult ? Unread::NoResult : Unread::ErrorValue))
                    throw Failure{ReadProblem::TooLarge};
                continue;
            }
            const QString text = inlined ? value : cellText(type, style, value, &bad);
            if (bad) throw Failure{ReadProblem::Damaged};
            if (text.size() > kMaxCellText) throw Failure{ReadProblem::TooLarge};
            if (!m_rows.set(rowNumber, column, text)) throw Failure{ReadProblem::TooLarge};
        }
    }
    p.check();
}

ReadResult XlsxReader::run()
{
    ReadResult result;
    try {
        if (!m_zip.isOpen()) throw Failure{ReadProblem::Damaged};
        // The package's main part, normally xl/workbook.xml.
        QString workbook;
        const auto rootRels = readRelationships(QString());
        for (const auto &rel : rootRels)
            if (rel.type.endsWith(QLatin1String("/officeDocument"))) workbook = rel.target;
        if (workbook.isEmpty() || !m_zip.contains(workbook)) workbook = QStringLiteral("xl/workbook.xml");
        if (!m_zip.contains(workbook)) throw Failure{ReadProblem::NotWorkbook};

        QString sheetRelId;
        readWorkbookPart(workbook, &sheetRelId);
        const auto rels = readRelationships(workbook);
        const auto sheetRel = rels.constFind(sheetRelId);
        if (sheetRel == rels.constEnd() || sheetRel->target.isEmpty()) throw Failure{ReadProblem::Damaged};
        QString styles, shared;
        for (const auto &rel : rels) {
            if (rel.type.endsWith(QLatin1String("/styles")))
                styles = rel.target;
            else if (rel.type.endsWith(QLatin1String("/sharedStrings")))
                shared = rel.target;
        }
        const auto declared = [&](const QString &part) {
            return qBound<qint64>(0, m_zip.declaredSize(part), kMaxStreamed + 1);
        };
        m_toStream = declared(shared) + declared(sheetRel->target);
        if (m_toStream > kMaxStreamed) throw Failure{ReadProblem::TooLarge};
        m_toStream = qMax<qint64>(1, m_toStream);
        if (!styles.isEmpty()) readStyles(styles);
        if (!shared.isEmpty()) readSharedStrings(shared);
        readWorksheet(sheetRel->target);
        result.sheet = Sheet(m_fileName, m_rows.take(), m_rows.takeUnread());
    } catch (const Failure &f) {
        result.problem = f.problem;
        result.message = readProblemMessage(f.problem, m_fileName);
    } catch (const std::bad_alloc &) {
        result.problem = ReadProblem::TooLarge;
        result.message = readProblemMessage(result.problem, m_fileName);
    }
    return result;
}

}  // namespace

ReadResult readXlsx(const QByteArray &bytes, const QString &fileName, const ReadProgress &progress)
{
    XlsxReader reader(bytes, fileName, progress);
    return reader.run();
}

}  // namespace excel
