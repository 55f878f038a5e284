#!/usr/bin/python3
# Writes the small Excel 97-2003 workbooks used by the roster reader tests (python3-xlwt).
# Run from tests/data: /usr/bin/python3 make-excel-fixtures.py
import datetime
import xlwt

date_style = xlwt.easyxf(num_format_str='MM/DD/YYYY')
datetime_style = xlwt.easyxf(num_format_str='MM/DD/YYYY HH:MM')

# Row 1 has a gap in column 3; column 1 has a hole in row 5; a second sheet follows.
wb = xlwt.Workbook()
ws = wb.add_sheet('Roster')
for c, v in enumerate(['LAST', 'FIRST', None, 'SSN', 'RANK']):
    if v is not None:
        ws.write(0, c, v)
rows = [
    ['DOE', 'JOHN', 'gap', '123-45-6789', 'SGT'],
    ['ROE', 'JANE', 'gap', '987-65-4321', 'PVT'],
    ['POE', 'EDGAR', 'gap', '555-12-3456', 'CPL'],
]
for r, row in enumerate(rows, start=1):
    for c, v in enumerate(row):
        ws.write(r, c, v)
ws.write(4, 1, 'ORPHAN')          # column 1 empty: the data ends here
ws.write(5, 0, 'AFTERHOLE')
ws.write(5, 1, 'NEVER READ')
other = wb.add_sheet('Other')
other.write(0, 0, 'NOT THE FIRST SHEET')
wb.save('excel-gaps.xls')

# One column per kind of cell value.
wb = xlwt.Workbook()
ws = wb.add_sheet('Types')
header = ['TEXT', 'FLOAT', 'BOOL', 'DATETIME', 'BIG', 'NEG', 'DATE', 'BLANK']
for c, v in enumerate(header):
    ws.write(0, c, v)
ws.write(1, 0, '  padded  ')
ws.write(1, 1, 3.25)
ws.write(1, 2, True)
ws.write(1, 3, datetime.datetime(2020, 5, 17, 13, 45, 0), datetime_style)
ws.write(1, 4, 98765432101)
ws.write(1, 5, -7)
ws.write(1, 6, datetime.date(2001, 2, 3), date_style)
ws.write(1, 7, '')
ws.write(2, 0, 'second')
ws.write(2, 1, 0.1)
ws.write(2, 2, False)
ws.write(2, 4, 1e20)
ws.write(2, 5, -2.5)
wb.save('excel-types.xls')
