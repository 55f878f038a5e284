#!/usr/bin/python3
"""Writes damaged/roster-onebyte.xls: roster.xls with one byte changed.

Byte 3793 is the low byte of the length of a LABELSST record (a shared-string cell); 0x0a
becomes 0x9f, so the record claims 159 bytes and swallows the records after it. The Excel
library once crashed on exactly this file.

Run from anywhere: python3 tests/data/make-damaged.py
"""
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent
data = bytearray((here / "roster.xls").read_bytes())
OFFSET, WAS, BECOMES = 3793, 0x0A, 0x9F
# the record header before it: type 0x00FD (LABELSST), then this length
if data[OFFSET - 2:OFFSET] != b"\xfd\x00" or data[OFFSET] != WAS:
    sys.exit("roster.xls has changed: byte %d is 0x%02x, not 0x%02x" % (OFFSET, data[OFFSET], WAS))
data[OFFSET] = BECOMES
(here / "damaged" / "roster-onebyte.xls").write_bytes(bytes(data))
