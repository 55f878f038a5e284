#!/usr/bin/python3
"""Writes roster-resaved.xlsx and roster-resaved.csv: roster.xlsx and roster.csv as another
program saves them again, with the same cells but other bytes.

- roster-resaved.xlsx: every part of roster.xlsx with the whitespace between XML elements
  taken out (as Excel writes its parts), packed again in another order, with another
  compression level and other time stamps.
- roster-resaved.csv: roster.csv with every field quoted and LF line ends (as a
  spreadsheet program saving "quote all text cells" on Linux writes it).

The selection record's --verify must find the same pool in them although their SHA-256 is
not the original's. Run from this folder: /usr/bin/python3 make-resaved.py
"""
import csv
import io
import re
import zipfile

# whitespace after a tag, before the next one
BETWEEN_ELEMENTS = re.compile(rb"(<[^>]*>)\s+(?=<)")
# a cell's value or text, whose whitespace is the value: kept
VALUE_START = re.compile(rb"<(t|v|f)(\s[^>]*)?>$")


def strip_between(match):
    tag = match.group(1)
    return match.group(0) if VALUE_START.match(tag) else tag


def resave_xlsx(source, target):
    with zipfile.ZipFile(source) as zin:
        parts = [(info.filename, zin.read(info.filename)) for info in zin.infolist()]
    # content types first, then the rest by name: another program's order
    parts.sort(key=lambda p: (p[0] != "[Content_Types].xml", p[0]))
    with zipfile.ZipFile(target, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=9) as zout:
        for name, data in parts:
            if name.endswith(".xml") or name.endswith(".rels"):
                data = BETWEEN_ELEMENTS.sub(strip_between, data).strip()
            info = zipfile.ZipInfo(name, date_time=(2027, 1, 15, 9, 30, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            zout.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def resave_csv(source, target):
    with open(source, newline="", encoding="ascii") as f:
        rows = list(csv.reader(f))
    out = io.StringIO()
    csv.writer(out, quoting=csv.QUOTE_ALL, lineterminator="\n").writerows(rows)
    with open(target, "w", newline="", encoding="ascii") as f:
        f.write(out.getvalue())


if __name__ == "__main__":
    resave_xlsx("roster.xlsx", "roster-resaved.xlsx")
    resave_csv("roster.csv", "roster-resaved.csv")
