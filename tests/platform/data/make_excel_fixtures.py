#!/usr/bin/env python3
"""Writes the workbook fixtures of the Excel reader tests.

The .xlsx files are written part by part so that every feature the reader
must handle is present on purpose (shared and inline strings, rich text with
phonetic runs, built-in and custom date formats, formulas, missing rows).
The .xls files and the *_lo.xlsx files are the same sheets saved by an
office suite:  soffice --headless --convert-to xls members.xlsx
                soffice --headless --convert-to xlsx members.xls  (renamed)
Run once; the outputs are committed.
"""
import datetime
import sys
import zipfile
from xml.sax.saxutils import escape

NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
RNS = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def serial(y, m, d, hh=0, mm=0, ss=0, base=datetime.datetime(1899, 12, 30)):
    delta = datetime.datetime(y, m, d, hh, mm, ss) - base
    return delta.days + delta.seconds / 86400.0


class Book:
    def __init__(self):
        self.sheets = []  # (name, rows)
        self.shared = []
        self.date1904 = False

    def sst(self, text):
        self.shared.append(text)
        return len(self.shared) - 1


# Cell helpers: each returns the inner XML of <c> and its attributes.
def s(book, text):
    return ('t="s"', '<v>%d</v>' % book.sst('<t xml:space="preserve">%s</t>' % escape(text)))


def rich(book, runs, phonetic):
    body = ''.join('<r><t>%s</t></r>' % escape(t) for t in runs)
    body += '<rPh sb="0" eb="1"><t>%s</t></rPh>' % escape(phonetic)
    return ('t="s"', '<v>%d</v>' % book.sst(body))


def inl(text):
    return ('t="inlineStr"', '<is><t xml:space="preserve">%s</t></is>' % escape(text))


def n(value, style=0):
    return ('s="%d"' % style if style else '', '<v>%s</v>' % repr(value))


def f(formula, value):
    return ('', '<f>%s</f><v>%s</v>' % (escape(formula), value))


def b(value):
    return ('t="b"', '<v>%d</v>' % (1 if value else 0))


def styled_empty(style):
    return ('s="%d"' % style, '')


# Style indexes of the styles part below.
DATE, DATE_CN, DATETIME, TEXT_FMT = 1, 2, 3, 4
STYLES = DECL + (
    '<styleSheet %s><numFmts count="1"><numFmt numFmtId="176" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/></numFmts>'
    '<fonts count="1"><font><sz val="11"/><name val="宋体"/></font></fonts>'
    '<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>'
    '<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>'
    '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
    '<cellXfs count="5"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>'
    '<xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="22" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>'
    '<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>'
    '<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles></styleSheet>' % NS)


def col(i):
    out = ''
    i += 1
    while i:
        i, r = divmod(i - 1, 26)
        out = chr(65 + r) + out
    return out


def sheet_xml(rows):
    out = [DECL, '<worksheet %s %s><sheetData>' % (NS, RNS)]
    for number, cells in rows:
        out.append('<row r="%d">' % number)
        for c, cell in enumerate(cells):
            if cell is None:
                continue
            attrs, inner = cell[0], cell[1]
            if len(cell) > 2:  # a cell that leaves its address out
                out.append('<c %s>%s</c>' % (attrs, inner))
            elif inner or attrs:
                out.append('<c r="%s%d" %s>%s</c>' % (col(c), number, attrs, inner))
        out.append('</row>')
    out.append('</sheetData></worksheet>')
    return ''.join(out)


def save(book, path):
    z = zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED)
    sheets = book.sheets
    z.writestr('[Content_Types].xml', DECL +
               '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
               '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
               '<Default Extension="xml" ContentType="application/xml"/>'
               '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
               + ''.join('<Override PartName="/xl/worksheets/sheet%d.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>' % (i + 1) for i in range(len(sheets))) +
               '<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>'
               '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
               '</Types>')
    z.writestr('_rels/.rels', DECL +
               '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
               '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
               '</Relationships>')
    z.writestr('xl/workbook.xml', DECL + '<workbook %s %s><workbookPr%s/><sheets>' % (NS, RNS, ' date1904="1"' if book.date1904 else '')
               + ''.join('<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (escape(name), i + 1, i + 1) for i, (name, _) in enumerate(sheets))
               + '</sheets></workbook>')
    rels = ''.join('<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet%d.xml"/>' % (i + 1, i + 1) for i in range(len(sheets)))
    k = len(sheets)
    rels += '<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>' % (k + 1)
    rels += '<Relationship Id="rId%d" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/xl/sharedStrings.xml"/>' % (k + 2)
    z.writestr('xl/_rels/workbook.xml.rels', DECL + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + rels + '</Relationships>')
    for i, (_, rows) in enumerate(sheets):
        z.writestr('xl/worksheets/sheet%d.xml' % (i + 1), sheet_xml(rows))
    z.writestr('xl/styles.xml', STYLES)
    z.writestr('xl/sharedStrings.xml', DECL + '<sst %s count="%d" uniqueCount="%d">' % (NS, len(book.shared), len(book.shared))
               + ''.join('<si>%s</si>' % si for si in book.shared) + '</sst>')
    z.close()


MEMBER_HEADERS = ['会员卡号', '会员姓名', '性别', '公历生日', '农历生日', '联系方式', '联系地址', '积分', '账户余额', '其他']


def members():
    bk = Book()
    H = lambda: [s(bk, h) for h in MEMBER_HEADERS]
    notes = [(1, [s(bk, '把会员资料填在 Sheet1 中')])]
    rows = [
        (1, H()),
        (2, [s(bk, '00001234'), s(bk, '张三'), s(bk, '男'), n(serial(1990, 5, 17), DATE), s(bk, '02-30'),
             s(bk, '13800138000'), s(bk, '北京市朝阳区建国路1号'), n(100), n(12.5), s(bk, '老会员')]),
        (3, [n(26000001), s(bk, '李四'), s(bk, '女'), s(bk, '1985-12-01'), s(bk, '11-05'), n(13912345678),
             None, None, None, s(bk, ' ')]),
        # row 4 left out: an empty row in the middle of the sheet
        (5, [None, inl('王五'), s(bk, '男'), n(serial(2000, 2, 29), DATE_CN), None, s(bk, '021-88886666'),
             s(bk, '广州市'), n(0.30000000000000004), n(1234567.891)]),
        (6, [s(bk, '00000001'), rich(bk, ['赵', '六'], 'ZHAO'), s(bk, '女'), n(serial(2001, 3, 4, 13, 45), DATETIME),
             s(bk, '十二月初八'), None, s(bk, '天津 '), n(100), n(-3.75)]),
        (7, [s(bk, '007'), s(bk, '钱七'), s(bk, '男'), n(serial(1900, 1, 1, base=datetime.datetime(1899, 12, 31)), DATE),
             s(bk, '1-1'), n(1.5e-7), s(bk, 'A&B <路>'), n(0), n(100000000000000000000.0)]),
        (8, []),
        (9, [None, None, styled_empty(DATE)]),
    ]
    bk.sheets = [('说明', notes), ('Sheet1', rows)]
    return bk


def goods():
    bk = Book()
    hdr = ['商品名称', '商品编码', '商品分类', '单位', '单价', '成本', '库存数量', '备注', '产地']
    rows = [
        (1, [s(bk, h) for h in hdr]),
        (2, [s(bk, '可口可乐 500ml'), s(bk, '0001'), s(bk, '饮料'), s(bk, '瓶'), n(3), n(2.1), n(48), None, s(bk, '中国')]),
        (3, [s(bk, '乐事薯片'), n(6901234567892), s(bk, '零食'), s(bk, '包'), n(7.5), n(5), n(0), s(bk, '新品')]),
        (4, [None, s(bk, '0002'), s(bk, '饮料')]),
        (5, [s(bk, '矿泉水'), None, s(bk, '饮料'), s(bk, '瓶'), s(bk, '2'), n(1), n(-5)]),
        (6, [s(bk, '毛巾'), s(bk, 'MJ-01'), s(bk, '日用'), s(bk, '条'), s(bk, '十元'), n(4), n(10)]),
    ]
    bk.sheets = [('Sheet1', rows)]
    return bk


def no_sheet1():
    bk = Book()
    bk.sheets = [('工作表1', [(1, [s(bk, '会员卡号'), s(bk, '会员姓名')]), (2, [s(bk, '001'), s(bk, '孙八')])])]
    return bk


def date1904():
    bk = Book()
    bk.date1904 = True
    rows = [(1, [s(bk, '公历生日')]), (2, [n((datetime.datetime(2024, 1, 5) - datetime.datetime(1904, 1, 1)).days, DATE)])]
    bk.sheets = [('Sheet1', rows)]
    return bk


def cell_kinds():
    # Cells an office suite writes that the .xls reader does not see the same
    # way: logical values, formula results, errors, escaped characters.
    bk = Book()
    rows = [(1, [s(bk, '种类'), s(bk, '值')]),
            (2, [s(bk, '逻辑'), b(True)]),
            (3, [s(bk, '逻辑'), b(False)]),
            (4, [s(bk, '公式'), f('50+50', 100)]),
            (5, [s(bk, '公式文字'), ('t="str"', '<f>"A"&amp;"B"</f><v>AB</v>')]),
            (6, [s(bk, '错误'), ('t="e"', '<f>1/0</f><v>#DIV/0!</v>')]),
            (7, [s(bk, '转义'), s(bk, '甲_x000D_乙_x005F_x0041_')]),
            (8, [s(bk, '日期文字'), ('t="d"', '<v>2024-02-29T00:00:00</v>')]),
            (9, [s(bk, '无引用'), ('', '<v>7</v>', 'noref')])]
    bk.sheets = [('Sheet1', rows)]
    return bk


def formulas():
    # Formula results of every kind, then enough rows that the workbook
    # stream of the .xls leaves the small-stream area.
    bk = Book()
    rows = [(1, [s(bk, '会员姓名'), s(bk, '积分'), s(bk, '公历生日'), s(bk, '备注'), s(bk, '逻辑')]),
            (2, [s(bk, '张三'), f('50+50', 100), ('s="%d"' % DATE, '<f>DATE(2024,1,5)</f><v>%d</v>' % serial(2024, 1, 5)),
                 ('t="str"', '<f>REPT("长",300)</f><v>%s</v>' % ('长' * 300)), b(True)]),
            (3, [s(bk, '李四'), f('0.1+0.2', 0.30000000000000004), None, ('t="str"', '<f>""</f><v></v>'),
                 ('t="b"', '<f>1&gt;2</f><v>0</v>')]),
            (4, [s(bk, '王五'), ('t="e"', '<f>1/0</f><v>#DIV/0!</v>'), None, ('t="str"', '<f>"A"&amp;"B"</f><v>AB</v>')])]
    for r in range(5, 400):
        rows.append((r, [s(bk, '会员%d' % r), f('%d*2' % r, r * 2), None, None, b(r % 2 == 0)]))
    bk.sheets = [('Sheet1', rows)]
    return bk


def header_only():
    bk = Book()
    bk.sheets = [('Sheet1', [(1, [s(bk, h) for h in ['供应商', '联系人', '联系电话', '联系地址', '备注']])])]
    return bk


def encrypted_package(path):
    # The shape of a password-protected .xlsx: a compound file with the
    # streams EncryptionInfo and EncryptedPackage (contents are filler).
    import struct
    END, FREE, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD
    header = bytearray(512)
    header[0:8] = bytes.fromhex('D0CF11E0A1B11AE1')
    struct.pack_into('<HHHHH', header, 0x18, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into('<IIIIIIIII', header, 0x28, 0, 1, 1, 0, 4096, END, 0, END, 0)
    struct.pack_into('<I', header, 0x4C, 0)
    for i in range(1, 109):
        struct.pack_into('<I', header, 0x4C + 4 * i, FREE)
    fat = [FATSECT, END] + [3, 4, 5, 6, 7, 8, 9, END] + [11, 12, 13, 14, 15, 16, 17, END]
    fat += [FREE] * (128 - len(fat))
    fat_sector = struct.pack('<128I', *fat)

    def entry(name, kind, child, right, start, size):
        e = bytearray(128)
        raw = (name + '\0').encode('utf-16-le')
        e[0:len(raw)] = raw
        struct.pack_into('<HBBIII', e, 0x40, len(raw), kind, 1, FREE, right, child)
        struct.pack_into('<II', e, 0x74, start, size)
        return bytes(e)
    directory = (entry('Root Entry', 5, 1, FREE, END, 0) + entry('EncryptionInfo', 2, FREE, 2, 2, 4096)
                 + entry('EncryptedPackage', 2, FREE, FREE, 10, 4096) + bytes(128))
    filler = bytes((i * 37) & 0xFF for i in range(4096))
    with open(path, 'wb') as out:
        out.write(bytes(header) + fat_sector + directory + filler + filler)


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    save(members(), out + '/members.xlsx')
    save(goods(), out + '/goods.xlsx')
    save(no_sheet1(), out + '/nosheet1.xlsx')
    save(date1904(), out + '/date1904.xlsx')
    save(header_only(), out + '/suppliers_empty.xlsx')
    save(cell_kinds(), out + '/cellkinds.xlsx')
    save(formulas(), out + '/formulas.xlsx')
    encrypted_package(out + '/encrypted_package.xlsx')
