#!/usr/bin/python3
# Writes a large invented roster as .xlsx (python3-openpyxl, write-only mode) and, when an
# .ods output is given, converts it with gnumeric's ssconvert:
#   make_roster_sheets.py OUTPUT.xlsx ROWS [OUTPUT.ods]
# Header row, then ROWS-1 members: text names, SSN as a number, a real date, a number.
import datetime
import random
import subprocess
import sys

import openpyxl
from openpyxl.cell import WriteOnlyCell

from roster_names import firsts, lasts, orgs, ranks

out, rows = sys.argv[1], int(sys.argv[2])
rng = random.Random(2624)

wb = openpyxl.Workbook(write_only=True)
ws = wb.create_sheet('Roster')
ws.append(['LAST', 'FIRST', 'MI', 'SSN', 'RANK', 'SEX', 'ORG', 'DOB', 'YOS'])
base = datetime.date(1970, 1, 1)
for r in range(1, rows):
    dob = WriteOnlyCell(ws, value=base + datetime.timedelta(days=rng.randrange(12000)))
    dob.number_format = 'MM/DD/YYYY'
    ws.append([rng.choice(lasts) + str(r), rng.choice(firsts), chr(65 + rng.randrange(26)),
               900000000 + rng.randrange(99999999), rng.choice(ranks),
               rng.choice(['M', 'F', 'Male', 'Female']), rng.choice(orgs), dob, rng.randrange(31)])
wb.save(out)
if len(sys.argv) > 3:
    subprocess.run(['ssconvert', '-T', 'Gnumeric_OpenCalc:odf', out, sys.argv[3]], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
