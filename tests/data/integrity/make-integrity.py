#!/usr/bin/python3
"""Writes the damaged and old-style rosters of the integrity tests, one per format, from the
sound fixtures in tests/data:

- xlsx-stored-bad-crc.xlsx: roster.xlsx with its parts stored (not deflated) and one digit of
  an SSN in the sheet changed after the checksums were taken: the zip is sound, the part is not.
- ods-stored-bad-crc.ods: the same damage to roster.ods's content.xml.
- dbf-cut.dbf: roster.dbf cut off in its 11th record (the header still counts 25).
- dbf-count-2g.dbf: roster.dbf with a header count of 2^31 records.
- csv-cr-only.csv, tab-cr-only.txt: roster.csv and roster-tab.txt with CR line ends (no LF).

Run from anywhere: python3 tests/data/integrity/make-integrity.py
"""
import pathlib
import struct
import sys
import zipfile

here = pathlib.Path(__file__).resolve().parent
data = here.parent


def restored_with_damage(source, target, part, old, new):
    """Rewrites a zip with every part stored, then changes `old` to `new` (same length) inside
    `part`'s bytes without touching its CRC-32."""
    with zipfile.ZipFile(data / source) as z:
        parts = [(i.filename, z.read(i.filename)) for i in z.infolist()]
    with zipfile.ZipFile(here / target, "w", zipfile.ZIP_STORED) as z:
        for name, body in parts:
            z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), body)
    raw = bytearray((here / target).read_bytes())
    assert len(old) == len(new)
    body = dict(parts)[part]
    at_in_part = body.find(old)
    if at_in_part < 0:
        sys.exit("%s: %r not found in %s" % (source, old, part))
    # the stored part follows its local header; find the part's bytes in the file
    at = raw.find(body)
    if at < 0:
        sys.exit("%s: stored part not found" % target)
    raw[at + at_in_part:at + at_in_part + len(old)] = new
    (here / target).write_bytes(bytes(raw))


# ELLISON's SSN 916325636 (a number in both) becomes 916325637
restored_with_damage("roster.xlsx", "xlsx-stored-bad-crc.xlsx", "xl/worksheets/sheet1.xml",
                     b"<v>916325636</v>", b"<v>916325637</v>")
restored_with_damage("roster.ods", "ods-stored-bad-crc.ods", "content.xml",
                     b'office:value="916325636"', b'office:value="916325637"')

dbf = (data / "roster.dbf").read_bytes()
records, header, length = struct.unpack("<IHH", dbf[4:12])
assert records == 25, records
(here / "dbf-cut.dbf").write_bytes(dbf[:header + 10 * length + length // 2])
(here / "dbf-count-2g.dbf").write_bytes(dbf[:4] + struct.pack("<I", 2 ** 31) + dbf[8:])

for source, target in (("roster.csv", "csv-cr-only.csv"), ("roster-tab.txt", "tab-cr-only.txt")):
    text = (data / source).read_bytes().replace(b"\r\n", b"\n")
    assert b"\r" not in text
    (here / target).write_bytes(text.replace(b"\n", b"\r"))
