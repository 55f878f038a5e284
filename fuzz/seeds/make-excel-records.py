#!/usr/bin/python3
"""Writes Workbook streams (the BIFF8 records without their OLE2 container) as seeds for
fuzz_excel_records: python3-xlwt's workbooks with text, numbers, dates, formulas, blanks and
a second sheet. Run from this folder with the system python3 (python3-xlwt)."""
import datetime
import xlwt


def book(fill):
    wb = xlwt.Workbook()
    fill(wb)
    return wb.get_biff_data()


def roster(wb):
    ws = wb.add_sheet('Roster')
    for c, h in enumerate(['LAST', 'FIRST', 'SSN', 'RANK', 'SEX']):
        ws.write(0, c, h)
    ws.write(1, 0, 'DOE'), ws.write(1, 1, 'JOHN'), ws.write(1, 2, 900123456), ws.write(1, 3, 'SGT'), ws.write(1, 4, 'M')
    ws.write(2, 0, 'ROE'), ws.write(2, 1, 'JANE'), ws.write(2, 2, '900-12-3457'), ws.write(2, 3, 'CPT')


def kinds(wb):
    ws = wb.add_sheet('Kinds')
    date = xlwt.easyxf(num_format_str='YYYY-MM-DD')
    ws.write(0, 0, 'TEXT'), ws.write(0, 1, 1.5), ws.write(0, 2, True), ws.write(0, 3, datetime.date(2024, 2, 29), date)
    ws.write(1, 0, xlwt.Formula('B1*2')), ws.write(1, 1, xlwt.Formula('"A"&"B"')), ws.write(1, 3, '')
    wb.add_sheet('Second').write(0, 0, 'OTHER')


if __name__ == '__main__':
    for name, fill in (('roster', roster), ('kinds', kinds)):
        with open('excel_records/%s.biff' % name, 'wb') as f:
            f.write(book(fill))
