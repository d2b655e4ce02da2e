#!/usr/bin/env python3
"""Writes the member sheet the import window tests read.

Uses the workbook writer of tests/platform/data/make_excel_fixtures.py.  The
.xls twin is the same sheet saved by an office suite:
    soffice --headless --convert-to xls import_members.xlsx
Run once; the outputs are committed.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'platform', 'data'))
from make_excel_fixtures import Book, DATE, DATETIME, n, s, save, serial  # noqa: E402

HEADERS = ['会员姓名', '会员卡号', '性别', '公历生日', '农历生日', '联系方式', '联系地址', '积分', '账户余额', '备注']


def members():
    bk = Book()
    rows = [
        (1, [s(bk, h) for h in HEADERS]),
        (2, [s(bk, '张三'), s(bk, '00001234'), s(bk, '男'), n(serial(1990, 5, 17), DATE), s(bk, '1990-02-30'),
             s(bk, '13800138000'), s(bk, '北京市朝阳区'), n(100), n(12.5), s(bk, '老会员')]),
        (3, [s(bk, '李四'), None, s(bk, '女'), s(bk, '1985-12-1'), s(bk, '1985/11/5'), n(13912345678)]),
        (4, [s(bk, '王五'), s(bk, '00001234'), s(bk, '男'), None, None, None, None, n(10), n(5)]),
        (5, [s(bk, "赵'六"), s(bk, 'E-01'), s(bk, '女'), n(serial(2001, 3, 4, 13, 45), DATETIME), None,
             s(bk, '021-88886666'), s(bk, ' 广州市 '), n(0.5), n(200)]),
        # row 6 left out: the import ends at an empty row
        (7, [s(bk, '孙八'), s(bk, '008'), s(bk, '男')]),
    ]
    bk.sheets = [('Sheet1', rows)]
    return bk


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    save(members(), os.path.join(out, 'import_members.xlsx'))
