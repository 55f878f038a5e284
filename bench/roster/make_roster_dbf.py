#!/usr/bin/python3
# Writes a large invented roster as a dBase III table (python3-dbf):
#   make_roster_dbf.py OUTPUT.dbf ROWS
# ROWS-1 members (a table has no header row): the same columns as the sheets.
import random
import sys

import dbf

from roster_names import firsts, lasts, orgs, ranks

out, rows = sys.argv[1], int(sys.argv[2])
rng = random.Random(2624)

table = dbf.Table(out, 'LAST C(20); FIRST C(15); MI C(1); SSN C(11); RANK C(4); SEX C(6); ORG C(20); YOS N(2,0)',
                  dbf_type='db3', codepage='cp1252')
table.open(dbf.READ_WRITE)
for r in range(1, rows):
    ssn = '%09d' % (900000000 + rng.randrange(99999999))
    table.append((rng.choice(lasts) + str(r), rng.choice(firsts), chr(65 + rng.randrange(26)),
                  ssn[:3] + '-' + ssn[3:5] + '-' + ssn[5:], rng.choice(ranks),
                  rng.choice(['M', 'F', 'Male', 'Female']), rng.choice(orgs), rng.randrange(31)))
table.close()
