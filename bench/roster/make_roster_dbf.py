#!/usr/bin/python3
# Writes a large invented roster as a dBase III table (python3-dbf):
#   make_roster_dbf.py OUTPUT.dbf ROWS
# ROWS-1 members (a table has no header row): the same columns as the sheets.
import random
import sys

import dbf

out, rows = sys.argv[1], int(sys.argv[2])
rng = random.Random(2624)
lasts = ['ELLISON', 'KINCAID', 'WHITFIELD', 'MADDOX', 'GILLESPIE', 'NEWCOMB', 'OSBORNE', 'HOLLOWAY']
firsts = ['CALVIN', 'KENDRA', 'PRESTON', 'PAULA', 'DERRICK', 'HOLLY', 'BRADLEY', 'FRANKLIN']
ranks = ['PVT', 'PV2', 'PFC', 'SPC', 'CPL', 'SGT', 'SSG', 'SFC', '2LT', '1LT', 'CPT']
orgs = ['HHC 1-22 IN', 'A CO 1-22 IN', 'B CO 1-22 IN', 'C CO 1-22 IN', 'D CO 1-22 IN']

table = dbf.Table(out, 'LAST C(20); FIRST C(15); MI C(1); SSN C(11); RANK C(4); SEX C(6); ORG C(20); YOS N(2,0)',
                  dbf_type='db3', codepage='cp1252')
table.open(dbf.READ_WRITE)
for r in range(1, rows):
    ssn = '%09d' % (900000000 + rng.randrange(99999999))
    table.append((rng.choice(lasts) + str(r), rng.choice(firsts), chr(65 + rng.randrange(26)),
                  ssn[:3] + '-' + ssn[3:5] + '-' + ssn[5:], rng.choice(ranks),
                  rng.choice(['M', 'F', 'Male', 'Female']), rng.choice(orgs), rng.randrange(31)))
table.close()
