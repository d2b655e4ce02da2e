#include "excel_test_util.h"

#include "platform/excel/ziparchive.h"

#include <QXmlStreamReader>

namespace exceltest {

namespace {

void readStyles(const QByteArray &data, XSheet *out)
{
    QVector<XSheet::Style> fonts;
    QVector<bool> borders;
    QXmlStreamReader xml(data);
    enum { None, Fonts, Borders, CellXfs } section = None;
    XSheet::Style *xf = nullptr;
    while (!xml.atEnd()) {
        const auto t = xml.readNext();
        const QString name = xml.name().toString();
        if (t == QXmlStreamReader::EndElement) {
            if (name == "fonts" || name == "borders" || name == "cellXfs") section = None;
            continue;
        }
        if (t != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        if (name == "fonts")
            section = Fonts;
        else if (name == "borders")
            section = Borders;
        else if (name == "cellXfs")
            section = CellXfs;
        else if (section == Fonts && name == "font")
            fonts.append(XSheet::Style{});
        else if (section == Fonts && name == "sz")
            fonts.last().fontSize = a.value("val").toDouble();
        else if (section == Fonts && name == "name")
            fonts.last().fontName = a.value("val").toString();
        else if (section == Fonts && name == "b")
            fonts.last().bold = true;
        else if (section == Borders && name == "border")
            borders.append(false);
        else if (section == Borders && (name == "left" || name == "top") && a.value("style") == QLatin1String("thin"))
            borders.last() = true;
        else if (section == CellXfs && name == "xf") {
            const int font = a.value("fontId").toInt();
            const int border = a.value("borderId").toInt();
            XSheet::Style s = font < fonts.size() ? fonts[font] : XSheet::Style{};
            s.thinBorder = border < borders.size() && borders[border];
            out->styles.append(s);
            xf = &out->styles.last();
        } else if (section == CellXfs && name == "alignment" && xf) {
            xf->horizontal = a.value("horizontal").toString();
            xf->vertical = a.value("vertical").toString();
        }
    }
}

}  // namespace

XSheet inspectXlsx(const QString &path)
{
    XSheet out;
    excel::ZipArchive zip(fileBytes(path));
    QByteArray sheet, styles, core;
    if (zip.read("xl/worksheets/sheet1.xml", &sheet, 1 << 30) != excel::ZipArchive::Status::Ok ||
        zip.read("xl/styles.xml", &styles, 1 << 24) != excel::ZipArchive::Status::Ok)
        return out;
    zip.read("docProps/core.xml", &core, 1 << 20);
    readStyles(styles, &out);
    QXmlStreamReader xml(sheet);
    QString cellRef;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        const auto a = xml.attributes();
        if (name == "c") {
            cellRef = a.value("r").toString();
            out.cells[cellRef] = XCell{a.value("t").toString(), QString(), a.value("s").toInt()};
        } else if (name == "v" || name == "t") {
            out.cells[cellRef].value = xml.readElementText();
        } else if (name == "mergeCell") {
            out.merges.append(a.value("ref").toString());
        } else if (name == "col") {
            for (int c = a.value("min").toInt(); c <= a.value("max").toInt(); ++c)
                out.widths.append({c, a.value("width").toDouble()});
        } else if (name == "pageSetup") {
            out.orientation = a.value("orientation").toString();
        } else if (name == "oddFooter") {
            out.footer = xml.readElementText();
        } else if (name == "dimension") {
            out.dimension = a.value("ref").toString();
        }
    }
    QXmlStreamReader props(core);
    while (!props.atEnd())
        if (props.readNext() == QXmlStreamReader::StartElement && props.name() == QLatin1String("title"))
            out.docTitle = props.readElementText();
    out.ok = !xml.hasError();
    return out;
}

}  // namespace exceltest

namespace exceltest {

namespace {

void put16(QByteArray *b, int v)
{
    b->append(char(v & 0xFF));
    b->append(char((v >> 8) & 0xFF));
}

void put32(QByteArray *b, quint32 v)
{
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

void set32(QByteArray *b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i) (*b)[at + i] = char((v >> (8 * i)) & 0xFF);
}

bool wide(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF) return true;
    return false;
}

// Characters of a string, one byte each when they all fit in Latin-1.
QByteArray chars(const QString &text, bool twoBytes)
{
    if (twoBytes) return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return text.toLatin1();
}

// A record whose body may pass the 8224-byte limit: the rest goes into
// CONTINUE records.  A string's characters that run on start with a flags
// byte there; splits fall between characters.
QByteArray recordWithText(quint16 type, const QByteArray &head, const QString &text)
{
    constexpr qsizetype kMax = 8224;
    const bool twoBytes = wide(text);
    const int width = twoBytes ? 2 : 1;
    QByteArray out;
    QByteArray body = head;
    body.append(char(twoBytes ? 1 : 0));
    const QByteArray all = chars(text, twoBytes);
    qsizetype at = 0;
    quint16 recordType = type;
    for (;;) {
        const qsizetype room = (kMax - body.size()) / width * width;
        const qsizetype n = qMin(room, all.size() - at);
        body.append(all.mid(at, n));
        at += n;
        out += biffRecord(recordType, body);
        if (at >= all.size()) return out;
        recordType = 0x003C;
        body = QByteArray(1, char(twoBytes ? 1 : 0));
    }
}

}  // namespace

QByteArray biffRecord(quint16 type, const QByteArray &data)
{
    QByteArray out;
    put16(&out, type);
    put16(&out, int(data.size()));
    return out + data;
}

QByteArray xlsNumber(int row, int column, int xf, double value)
{
    QByteArray d;
    put16(&d, row);
    put16(&d, column);
    put16(&d, xf);
    d.append(reinterpret_cast<const char *>(&value), 8);
    return biffRecord(0x0203, d);
}

QByteArray xlsLabelSst(int row, int column, int index)
{
    QByteArray d;
    put16(&d, row);
    put16(&d, column);
    put16(&d, 0);
    put32(&d, quint32(index));
    return biffRecord(0x00FD, d);
}

QByteArray xlsLabel(int row, int column, const QString &text)
{
    QByteArray head;
    put16(&head, row);
    put16(&head, column);
    put16(&head, 0);
    put16(&head, int(text.size()));
    return recordWithText(0x0204, head, text);
}

QByteArray xlsWorkbookStream(const XlsBook &book)
{
    QByteArray bof;
    put16(&bof, 0x0600);
    put16(&bof, 0x0005);
    put16(&bof, 0x0DBB);
    put16(&bof, 0x07CC);
    put32(&bof, 0);
    put32(&bof, 0x0006);
    QByteArray globals = biffRecord(0x0809, bof);
    for (const auto &f : book.formats) {
        QByteArray d;
        put16(&d, f.first);
        put16(&d, int(f.second.size()));
        const bool twoBytes = wide(f.second);
        d.append(char(twoBytes ? 1 : 0));
        globals += biffRecord(0x041E, d + chars(f.second, twoBytes));
    }
    for (int fmt : book.xfFormats) {
        QByteArray d(20, '\0');
        d[2] = char(fmt & 0xFF);
        d[3] = char(fmt >> 8);
        globals += biffRecord(0x00E0, d);
    }
    QByteArray sheet;
    {
        QByteArray d;
        put32(&d, 0);    // offset, set below
        d.append('\0');  // visible
        d.append('\0');  // worksheet
        d.append(char(book.sheetName.size()));
        const bool twoBytes = wide(book.sheetName);
        d.append(char(twoBytes ? 1 : 0));
        sheet = biffRecord(0x0085, d + chars(book.sheetName, twoBytes));
    }
    const qsizetype boundsheetAt = globals.size();
    globals += sheet;
    if (!book.shared.isEmpty()) {
        // Each string in a record of its own (the first in SST itself).
        for (int i = 0; i < book.shared.size(); ++i) {
            QByteArray head;
            if (i == 0) {
                put32(&head, quint32(book.shared.size()));
                put32(&head, quint32(book.shared.size()));
            }
            put16(&head, int(book.shared[i].size()));
            globals += recordWithText(i == 0 ? 0x00FC : 0x003C, head, book.shared[i]);
        }
    }
    globals += biffRecord(0x000A, QByteArray());
    set32(&globals, boundsheetAt + 4, quint32(globals.size()));

    QByteArray s;
    QByteArray sheetBof = bof;
    sheetBof[2] = 0x10;
    sheetBof[3] = 0;
    s += biffRecord(0x0809, sheetBof);
    QByteArray dim;
    put32(&dim, 0);
    put32(&dim, quint32(book.dimensionRows));
    put16(&dim, 0);
    put16(&dim, book.dimensionColumns);
    put16(&dim, 0);
    s += biffRecord(0x0200, dim);
    s += book.cells;
    s += biffRecord(0x000A, QByteArray());
    return globals + s;
}

QByteArray makeCompoundFile(const QVector<std::pair<QString, QByteArray>> &streams)
{
    constexpr quint32 kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSector = 0xFFFFFFFD;
    QVector<QByteArray> padded;
    qsizetype streamSectors = 0;
    for (const auto &s : streams) {
        QByteArray b = s.second;
        if (b.size() < 4096) b.append(QByteArray(4096 - b.size(), '\0'));
        if (b.size() % 512) b.append(QByteArray(512 - b.size() % 512, '\0'));
        streamSectors += b.size() / 512;
        padded.append(b);
    }
    const qsizetype dirSectors = (qsizetype(streams.size()) + 1 + 3) / 4;
    // FAT sectors past the header's 109 are listed in DIFAT sectors of 127.
    qsizetype fatSectors = 1, difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > 109 ? (fatSectors - 109 + 126) / 127 : 0;
        if (fatSectors * 128 >= fatSectors + difatSectors + dirSectors + streamSectors) break;
        ++fatSectors;
    }
    QVector<quint32> fat;
    for (qsizetype i = 0; i < fatSectors; ++i) fat.append(kFatSector);
    const quint32 difatStart = quint32(fat.size());
    for (qsizetype i = 0; i < difatSectors; ++i) fat.append(0xFFFFFFFC);
    const quint32 dirStart = quint32(fat.size());
    for (qsizetype i = 0; i < dirSectors; ++i) fat.append(i + 1 < dirSectors ? quint32(fat.size() + 1) : kEnd);
    QVector<quint32> starts;
    for (const QByteArray &b : padded) {
        starts.append(quint32(fat.size()));
        const qsizetype n = b.size() / 512;
        for (qsizetype i = 0; i < n; ++i) fat.append(i + 1 < n ? quint32(fat.size() + 1) : kEnd);
    }
    while (fat.size() % 128) fat.append(kFree);
    QByteArray difat;
    for (qsizetype d = 0; d < difatSectors; ++d) {
        for (qsizetype i = 0; i < 127; ++i) {
            const qsizetype f = 109 + d * 127 + i;
            put32(&difat, f < fatSectors ? quint32(f) : kFree);
        }
        put32(&difat, d + 1 < difatSectors ? difatStart + quint32(d + 1) : kEnd);
    }

    QByteArray header(512, '\0');
    header.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    auto at16 = [&](qsizetype at, int v) {
        header[at] = char(v & 0xFF);
        header[at + 1] = char(v >> 8);
    };
    at16(0x18, 0x3E);
    at16(0x1A, 3);
    at16(0x1C, 0xFFFE);
    at16(0x1E, 9);
    at16(0x20, 6);
    set32(&header, 0x2C, quint32(fatSectors));
    set32(&header, 0x30, dirStart);
    set32(&header, 0x38, 4096);
    set32(&header, 0x3C, kEnd);
    set32(&header, 0x44, difatSectors ? difatStart : kEnd);
    set32(&header, 0x48, quint32(difatSectors));
    for (int i = 0; i < 109; ++i) set32(&header, 0x4C + 4 * i, i < fatSectors ? quint32(i) : kFree);

    auto entry = [](const QString &name, int kind, quint32 child, quint32 right, quint32 start, quint32 size) {
        QByteArray e(128, '\0');
        const QByteArray raw = chars(name + QChar(0), true);
        e.replace(0, raw.size(), raw);
        e[0x40] = char(raw.size());
        e[0x42] = char(kind);
        e[0x43] = 1;
        set32(&e, 0x44, 0xFFFFFFFF);
        set32(&e, 0x48, right);
        set32(&e, 0x4C, child);
        set32(&e, 0x74, start);
        set32(&e, 0x78, size);
        return e;
    };
    QByteArray directory = entry(QStringLiteral("Root Entry"), 5, streams.isEmpty() ? kFree : 1, kFree, kEnd, 0);
    for (int i = 0; i < streams.size(); ++i)
        directory += entry(streams[i].first, 2, kFree, i + 1 < streams.size() ? quint32(i + 2) : kFree, starts[i],
                           quint32(padded[i].size()));
    directory.append(QByteArray(dirSectors * 512 - directory.size(), '\0'));

    QByteArray out = header;
    for (quint32 f : fat) put32(&out, f);
    out += difat;
    out += directory;
    for (const QByteArray &b : padded) out += b;
    return out;
}

}  // namespace exceltest
