#!/usr/bin/python3
# Writes a large invented roster workbook (Excel 97-2003) with python3-xlwt:
#   make_roster_xls.py OUTPUT ROWS
# Header row, then ROWS-1 members: text names, SSN as a number, a real date, a number.
import datetime
import random
import sys
import xlwt

from roster_names import firsts, lasts, orgs, ranks

out, rows = sys.argv[1], int(sys.argv[2])
rng = random.Random(2624)
date_style = xlwt.easyxf(num_format_str='MM/DD/YYYY')

wb = xlwt.Workbook()
ws = wb.add_sheet('Roster')
for c, v in enumerate(['LAST', 'FIRST', 'MI', 'SSN', 'RANK', 'SEX', 'ORG', 'DOB', 'YOS']):
    ws.write(0, c, v)
base = datetime.date(1970, 1, 1)
for r in range(1, rows):
    ws.write(r, 0, rng.choice(lasts) + str(r))
    ws.write(r, 1, rng.choice(firsts))
    ws.write(r, 2, chr(65 + rng.randrange(26)))
    ws.write(r, 3, 900000000 + rng.randrange(99999999))
    ws.write(r, 4, rng.choice(ranks))
    ws.write(r, 5, rng.choice(['M', 'F', 'Male', 'Female']))
    ws.write(r, 6, rng.choice(orgs))
    ws.write(r, 7, base + datetime.timedelta(days=rng.randrange(12000)), date_style)
    ws.write(r, 8, rng.randrange(31))
    if r % 1000 == 0:
        ws.flush_row_data()
wb.save(out)
