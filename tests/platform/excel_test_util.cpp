#include "excel_test_util.h"

#include "platform/excel/ziparchive.h"

#include <QTemporaryFile>
#include <QXmlStreamReader>

#include <zip.h>

namespace exceltest {

QByteArray makeZip(const QVector<ZipPart> &parts)
{
    QTemporaryFile tmp;
    if (!tmp.open())
        return QByteArray();
    const QByteArray path = QFile::encodeName(tmp.fileName());
    tmp.close();
    zipFile zf = zipOpen(path.constData(), APPEND_STATUS_CREATE);
    if (!zf)
        return QByteArray();
    for (const ZipPart &p : parts) {
        const QByteArray name = p.name.toUtf8();
        zip_fileinfo info{};
        uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(p.data.constData()), uInt(p.data.size()));
        zipOpenNewFileInZip3(zf, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                             p.stored ? 0 : Z_DEFLATED, p.stored ? 0 : Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                             DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, p.password, crc);
        zipWriteInFileInZip(zf, p.data.constData(), unsigned(p.data.size()));
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return fileBytes(tmp.fileName());
}

QVector<ZipPart> workbookParts(const QString &sheetData, const QVector<ZipPart> &extra)
{
    const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QVector<ZipPart> parts = {
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook " + ns + "><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"
                            "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>"
         "</Relationships>"},
        {"xl/sharedStrings.xml", "<sst " + ns + "><si><t>甲</t></si><si><t>乙</t></si></sst>"},
        {"xl/worksheets/sheet1.xml", "<worksheet " + ns + "><sheetData>" + sheetData.toUtf8() + "</sheetData></worksheet>"},
    };
    for (const ZipPart &e : extra) {
        bool replaced = false;
        for (ZipPart &p : parts)
            if (p.name == e.name) {
                p = e;
                replaced = true;
            }
        if (!replaced)
            parts.append(e);
    }
    return parts;
}

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
            if (name == "fonts" || name == "borders" || name == "cellXfs")
                section = None;
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (name == "fonts") section = Fonts;
        else if (name == "borders") section = Borders;
        else if (name == "cellXfs") section = CellXfs;
        else if (section == Fonts && name == "font") fonts.append(XSheet::Style{});
        else if (section == Fonts && name == "sz") fonts.last().fontSize = a.value("val").toDouble();
        else if (section == Fonts && name == "name") fonts.last().fontName = a.value("val").toString();
        else if (section == Fonts && name == "b") fonts.last().bold = true;
        else if (section == Borders && name == "border") borders.append(false);
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

} // namespace

XSheet inspectXlsx(const QString &path)
{
    XSheet out;
    excel::ZipArchive zip(fileBytes(path));
    QByteArray sheet, styles, core;
    if (zip.read("xl/worksheets/sheet1.xml", &sheet, 1 << 30) != excel::ZipArchive::Status::Ok
        || zip.read("xl/styles.xml", &styles, 1 << 24) != excel::ZipArchive::Status::Ok)
        return out;
    zip.read("docProps/core.xml", &core, 1 << 20);
    readStyles(styles, &out);
    QXmlStreamReader xml(sheet);
    QString cellRef;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
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

} // namespace exceltest
