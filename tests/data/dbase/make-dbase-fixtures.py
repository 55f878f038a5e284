#!/usr/bin/env python3
"""Writes the dBase test tables of this folder byte by byte (no dBase library needed).

Run from anywhere: python3 make-dbase-fixtures.py. Every person is invented."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def header(version, fields, records, ldid, extra_header=b""):
    """Main header + field descriptors + terminator, dBase III/IV layout."""
    reclen = 1 + sum(w for _, _, w, _ in fields)
    hlen = 32 + 32 * len(fields) + 1 + len(extra_header)
    h = struct.pack("<BBBBIHH", version, 126, 12, 8, records, hlen, reclen)
    h += b"\0" * 17 + bytes([ldid]) + b"\0\0"
    assert len(h) == 32
    for name, ftype, width, dec in fields:
        h += name.encode("ascii").ljust(11, b"\0") + ftype.encode("ascii") + b"\0" * 4
        h += bytes([width, dec]) + b"\0" * 14
    return h + b"\x0d" + extra_header, reclen


def record(fields, values, deleted=False):
    out = b"*" if deleted else b" "
    for (name, ftype, width, dec), v in zip(fields, values):
        if isinstance(v, str):
            raise TypeError("encode values first")
        v = v or b""
        out += (v.rjust(width) if ftype == "N" else v.ljust(width))[:width]
    return out


def table(path, version, fields, rows, ldid, extra_header=b""):
    """rows: list of (deleted, [bytes values])"""
    h, reclen = header(version, fields, len(rows), ldid, extra_header)
    body = b"".join(record(fields, vals, deleted) for deleted, vals in rows)
    assert len(body) == reclen * len(rows)
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(h + body + b"\x1a")


ROSTER = [("LNAME", "C", 20, 0), ("FNAME", "C", 15, 0), ("SSN", "C", 11, 0), ("NOTES", "M", 10, 0)]


def memo_block(n):
    return str(n).encode("ascii").rjust(10)


def dbase3_memo():
    """dBase III (0x83) with a .dbt: memos end at 0x1A, blocks of 512."""
    memos = [
        "Profile on file until 2027-01-31.",
        "",   # no memo: blank block number
        "Long note: " + "drill weekend, " * 50 + "end.",   # spans two blocks
        "Transferred from B CO; see orders 4471.",
    ]
    blocks = bytearray(512)   # block 0 is the header
    numbers = []
    for text in memos:
        if not text:
            numbers.append(b"")
            continue
        n = len(blocks) // 512
        data = text.encode("cp1252") + b"\x1a\x1a"
        data += b"\0" * (-len(data) % 512)
        blocks += data
        numbers.append(memo_block(n))
    struct.pack_into("<I", blocks, 0, len(blocks) // 512)
    blocks[16] = 3
    with open(os.path.join(HERE, "memo3.dbt"), "wb") as f:
        f.write(blocks)
    people = [(b"HARGROVE", b"DELIA", b"914-22-7310"), (b"QUINTERO", b"MATEO", b"927-03-5512"),
              (b"LINDQVIST", b"SOREN", b"931-44-0871"), (b"ABERNATHY", b"CORA", b"902-61-3358")]
    rows = [(False, list(p) + [num]) for p, num in zip(people, numbers)]
    table("memo3.dbf", 0x83, ROSTER, rows, 0x03)


def dbase4_memo():
    """dBase IV (0x8B) with a .dbt of 1024-byte blocks: each memo has an 8-byte head."""
    size = 1024
    # the second fills its block to the last byte: the next memo's head follows at once
    memos = ["Waiver pending; medical review 2026-11.", ("Full block; " * 85)[:size - 8],
             "M\u00dcLLER asked for a morning slot."]
    blocks = bytearray(size)
    numbers = []
    for text in memos:
        n = len(blocks) // size
        data = text.encode("cp1252")
        chunk = b"\xff\xff\x08\x00" + struct.pack("<I", len(data) + 8) + data
        chunk += b"\0" * (-len(chunk) % size)
        blocks += chunk
        numbers.append(memo_block(n))
    struct.pack_into("<I", blocks, 0, len(blocks) // size)
    blocks[8:16] = b"MEMO4\0\0\0"
    struct.pack_into("<H", blocks, 20, size)
    with open(os.path.join(HERE, "memo4.dbt"), "wb") as f:
        f.write(blocks)
    rows = [(False, [b"PELLETIER", b"ANNICK", b"918-50-2294", numbers[0]]),
            (True, [b"DELETED", b"ROW", b"900-00-0000", b""]),
            (False, [b"M\xdcLLER", b"GRETA", b"925-17-6603", numbers[2]]),
            (False, [b"KOWALCZYK", b"IRENA", b"931-40-7725", numbers[1]])]
    table("memo4.dbf", 0x8B, ROSTER, rows, 0x57)


def foxpro_memo():
    """FoxPro 2 (0xF5) with an .fpt: big-endian header, 64-byte blocks, typed memos."""
    size = 64
    blocks = bytearray(512)   # header: next free block, block size at 6
    numbers = []
    for kind, data in [(1, "Night shift; call before 0700.".encode("cp1252")),
                       (0, b"\x89PNG not text"),
                       (1, ("x" * 150).encode())]:
        n = len(blocks) // size
        chunk = struct.pack(">II", kind, len(data)) + data
        chunk += b"\0" * (-len(chunk) % size)
        blocks += chunk
        numbers.append(memo_block(n))
    struct.pack_into(">I", blocks, 0, len(blocks) // size)
    struct.pack_into(">H", blocks, 6, size)
    with open(os.path.join(HERE, "memofox.fpt"), "wb") as f:
        f.write(blocks)
    rows = [(False, [b"OKAFOR", b"IFEOMA", b"909-38-4417", numbers[0]]),
            (False, [b"BRANDT", b"LUKAS", b"933-72-0185", numbers[1]]),
            (False, [b"VASQUEZ", b"ROSA", b"920-04-9961", numbers[2]])]
    table("memofox.dbf", 0xF5, ROSTER, rows, 0x03)


NAMES = [("LNAME", "C", 20, 0), ("FNAME", "C", 15, 0)]
ACCENTED = [("MU\u00d1OZ", "JOS\u00c9"), ("\u00d8STERGAARD", "KEITH"), ("BR\u00dcNING", "OWEN")]


def codepages():
    """The same names in several code pages, declared by the language-driver byte."""
    for name, ldid, codec, extra in [("cp850.dbf", 0x02, "cp850", []),
                                     ("cp1252.dbf", 0x03, "cp1252", [("\u0152UVRARD", "\u20acMILE")]),
                                     ("cp866.dbf", 0x26, "cp866", [("\u0418\u0412\u0410\u041d\u041e\u0412", "\u041f\u0401\u0422\u0420")]),
                                     ("cp1251.dbf", 0xC9, "cp1251", [("\u0418\u0412\u0410\u041d\u041e\u0412", "\u041f\u0401\u0422\u0420")])]:
        people = [p for p in ACCENTED + extra if all(ch in codec_chars(codec) for ch in "".join(p))]
        rows = [(False, [a.encode(codec), b.encode(codec)]) for a, b in people]
        table(name, 0x03, NAMES, rows, ldid)


def codec_chars(codec):
    ok = set()
    for b in range(256):
        try:
            ok.add(bytes([b]).decode(codec))
        except UnicodeDecodeError:
            pass
    return ok


def deleted_runs():
    """Two deleted records at the start, two in the middle, two at the end."""
    marks = [True, True, False, False, True, True, False, True, True]
    rows = [(d, [("DEL%d" % i if d else "KEEP%d" % i).encode(), b"X"]) for i, d in enumerate(marks)]
    table("deleted-runs.dbf", 0x03, NAMES, rows, 0x03)
    rows = [(True, [b"GONE%d" % i, b"X"]) for i in range(3)]
    table("all-deleted.dbf", 0x03, NAMES, rows, 0x03)


def dbase7():
    """A dBase 7 table: 68-byte header, 48-byte field descriptors."""
    fields = [("LNAME", "C", 20), ("FNAME", "C", 15)]
    reclen = 1 + sum(w for _, _, w in fields)
    hlen = 68 + 48 * len(fields) + 1
    h = struct.pack("<BBBBIHH", 0x04, 126, 12, 8, 1, hlen, reclen) + b"\0" * 20
    h += b"dBase7 driver".ljust(32, b"\0") + b"\0" * 4
    for name, t, w in fields:
        h += name.encode().ljust(32, b"\0") + t.encode() + bytes([w, 0]) + b"\0" * 13
    h += b"\x0d"
    assert len(h) == hlen
    with open(os.path.join(HERE, "dbase7.dbf"), "wb") as f:
        f.write(h + b" " + b"HARGROVE".ljust(20) + b"DELIA".ljust(15) + b"\x1a")


def visual_foxpro():
    """A Visual FoxPro table with a nullable column and its _NullFlags system column."""
    fields = [("LNAME", "C", 20, 0), ("MI", "C", 1, 0), ("_NullFlags", "0", 1, 0)]
    backlink = b"\0" * 263
    h, reclen = header(0x30, fields, 1, 0x03, backlink)
    h = bytearray(h)
    # field flags: MI nullable, _NullFlags a hidden system column
    h[32 + 32 * 1 + 18] = 0x02
    h[32 + 32 * 2 + 18] = 0x05
    with open(os.path.join(HERE, "vfp.dbf"), "wb") as f:
        f.write(bytes(h) + b" " + b"HARGROVE".ljust(20) + b" " + b"\x02" + b"\x1a")


if __name__ == "__main__":
    dbase3_memo()
    dbase4_memo()
    foxpro_memo()
    codepages()
    deleted_runs()
    dbase7()
    visual_foxpro()
