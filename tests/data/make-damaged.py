#!/usr/bin/python3
"""Writes damaged/roster-onebyte.xls and damaged/roster-badrow.mdb.

roster-onebyte.xls: roster.xls with one byte changed.

Byte 3793 is the low byte of the length of a LABELSST record (a shared-string cell); 0x0a
becomes 0x9f, so the record claims 159 bytes and swallows the records after it. The Excel
library once crashed on exactly this file.

roster-badrow.mdb: roster.mdb with the third row of the Roster table (MERRIMAN) damaged: the
end of its first text column points past the row, so the database library skips the row
with a warning on standard error and reads the other 34.

Run from anywhere: python3 tests/data/make-damaged.py
"""
import pathlib
import struct
import sys

here = pathlib.Path(__file__).resolve().parent
data = bytearray((here / "roster.xls").read_bytes())
OFFSET, WAS, BECOMES = 3793, 0x0A, 0x9F
# the record header before it: type 0x00FD (LABELSST), then this length
if data[OFFSET - 2:OFFSET] != b"\xfd\x00" or data[OFFSET] != WAS:
    sys.exit("roster.xls has changed: byte %d is 0x%02x, not 0x%02x" % (OFFSET, data[OFFSET], WAS))
data[OFFSET] = BECOMES
(here / "damaged" / "roster-onebyte.xls").write_bytes(bytes(data))

# Jet 4: page 26 is the Roster table's data page; its row offsets start at byte 14, and a row's
# variable-column offsets run backwards from before its null mask.
mdb = bytearray((here / "roster.mdb").read_bytes())
PAGE, ROW = 26 * 4096, 2
if mdb[PAGE] != 1 or struct.unpack_from("<I", mdb, PAGE + 4)[0] != 24:
    sys.exit("roster.mdb has changed: page 26 is not the Roster table's data page")
start = struct.unpack_from("<H", mdb, PAGE + 14 + 2 * ROW)[0] & 0x1FFF
end = (struct.unpack_from("<H", mdb, PAGE + 14 + 2 * (ROW - 1))[0] & 0x1FFF) - 1
columns = struct.unpack_from("<H", mdb, PAGE + start)[0]
mask = (columns + 7) // 8
if mdb[PAGE + start + 2:PAGE + start + 18:2] != b"MERRIMAN":
    sys.exit("roster.mdb has changed: row %d is not MERRIMAN" % ROW)
struct.pack_into("<H", mdb, PAGE + end - mask - 5, 0x0FF0)   # the second offset
(here / "damaged" / "roster-badrow.mdb").write_bytes(bytes(mdb))
