#!/usr/bin/python3
# Writes the Excel workbooks that check how cell values read (python3-xlwt for the
# workbook globals and the OLE2 container; the cell records are written here, because
# xlwt stores no formula results and writes no BIFF5).
# Run from tests/data: /usr/bin/python3 make-excel-values.py
import datetime
import struct

import xlwt
from xlwt import CompoundDoc

# Record types
BOF, EOF, CONTINUE, SST, EXTSST, BOUNDSHEET, DATEMODE = 0x0809, 0x000A, 0x003C, 0x00FC, 0x00FF, 0x0085, 0x0022
DIMENSIONS, ROW, INDEX, DBCELL = 0x0200, 0x0208, 0x020B, 0x00D7
CELLS = {0x00FD, 0x0203, 0x027E, 0x00BD, 0x0205, 0x0201, 0x00BE, 0x0006, 0x0207, 0x0204, 0x00D6}


def rec(rtype, body):
    return struct.pack('<HH', rtype, len(body)) + body


def parse(stream):
    out, pos = [], 0
    while pos < len(stream):
        rtype, n = struct.unpack_from('<HH', stream, pos)
        out.append((rtype, stream[pos + 4:pos + 4 + n]))
        pos += 4 + n
    return out


def xlunicode(s):
    """XLUnicodeString: cch, option byte, then Latin-1 or UTF-16 characters."""
    if all(ord(ch) < 256 for ch in s):
        return struct.pack('<HB', len(s), 0) + s.encode('latin-1')
    return struct.pack('<HB', len(s), 1) + s.encode('utf-16-le')


def sst_records(strings, limit=8224):
    """SST and its CONTINUE records, split as Excel splits them: a string's characters may
    run into the next record, which then starts with a fresh option byte, each piece
    compressed when its characters allow."""
    pieces, cur = [], bytearray(struct.pack('<II', len(strings), len(strings)))

    def room():
        return limit - len(cur)

    def new_piece():
        nonlocal cur
        pieces.append(bytes(cur))
        cur = bytearray()

    for s in strings:
        if room() < 4:          # the header and first character stay together
            new_piece()
        first = True
        rest = s
        while True:
            header_len = 3 if first else 1
            avail = room() - header_len
            wide = any(ord(ch) > 255 for ch in rest[:max(avail, 0)])
            fit = avail // (2 if wide else 1)
            if fit <= 0:
                new_piece()
                continue
            part, rest = rest[:fit], rest[fit:]
            header = struct.pack('<HB', len(s), int(wide)) if first else struct.pack('<B', int(wide))
            cur += header + (part.encode('utf-16-le') if wide else part.encode('latin-1'))
            first = False
            if not rest:
                break
            new_piece()
    pieces.append(bytes(cur))
    return rec(SST, pieces[0]) + b''.join(rec(CONTINUE, p) for p in pieces[1:]), len(pieces) - 1


class Sheet:
    """Cell records of one worksheet; strings go to the workbook's shared string table."""

    def __init__(self, book):
        self.book, self.records, self.rows, self.cols = book, [], 0, 0

    def _at(self, r, c):
        self.rows, self.cols = max(self.rows, r + 1), max(self.cols, c + 1)
        return struct.pack('<HH', r, c)

    def text(self, r, c, s, xf=None):
        self.records.append(rec(0x00FD, self._at(r, c) + struct.pack('<HI', xf or self.book.xf_general, self.book.sst(s))))

    def label(self, r, c, s, xf=None):
        self.records.append(rec(0x0204, self._at(r, c) + struct.pack('<H', xf or self.book.xf_general) + xlunicode(s)))

    def number(self, r, c, v, xf=None):
        self.records.append(rec(0x0203, self._at(r, c) + struct.pack('<Hd', xf or self.book.xf_general, v)))

    def rk_row(self, r, c, ints, xf=None):
        body = self._at(r, c) + b''.join(struct.pack('<HI', xf or self.book.xf_general, ((v << 2) | 2) & 0xFFFFFFFF) for v in ints)
        self._at(r, c + len(ints) - 1)
        self.records.append(rec(0x00BD, body + struct.pack('<H', c + len(ints) - 1)))

    def boolerr(self, r, c, value, is_error):
        self.records.append(rec(0x0205, self._at(r, c) + struct.pack('<HBB', self.book.xf_general, value, int(is_error))))

    def blank(self, r, c):
        self.records.append(rec(0x0201, self._at(r, c) + struct.pack('<H', self.book.xf_general)))

    def mulblank(self, r, c, n):
        body = self._at(r, c) + struct.pack('<H', self.book.xf_general) * n + struct.pack('<H', c + n - 1)
        self.records.append(rec(0x00BE, body))

    def _formula(self, r, c, value8, tokens, xf=None):
        body = self._at(r, c) + struct.pack('<H', xf or self.book.xf_general) + value8
        body += struct.pack('<HIH', 0x0002, 0, len(tokens)) + tokens
        self.records.append(rec(0x0006, body))

    def formula_text(self, r, c, s):
        # ="text" (ptgStr), result in the STRING record that follows
        self._formula(r, c, b'\x00' * 6 + b'\xff\xff', b'\x17' + struct.pack('<BB', len(s), 0) + s.encode('latin-1'))
        self.records.append(rec(0x0207, xlunicode(s)))

    def formula_number(self, r, c, v, xf=None):
        # =v (ptgNum)
        self._formula(r, c, struct.pack('<d', v), b'\x1f' + struct.pack('<d', v), xf)

    def formula_bool(self, r, c, v):
        self._formula(r, c, struct.pack('<BBBBHH', 1, 0, int(v), 0, 0, 0xFFFF), b'\x1d' + bytes([int(v)]))

    def formula_error(self, r, c, code):
        self._formula(r, c, struct.pack('<BBBBHH', 2, 0, code, 0, 0, 0xFFFF), b'\x1c' + bytes([code]))

    def formula_empty(self, r, c):
        self._formula(r, c, struct.pack('<BBBBHH', 3, 0, 0, 0, 0, 0xFFFF), b'\x17\x00\x00')


class Book:
    """A BIFF8 workbook: xlwt's globals (fonts, formats, styles), our sheets and SST."""

    def __init__(self, styles=(), dates_1904=False):
        self.wb = xlwt.Workbook()
        self.wb.dates_1904 = dates_1904
        probe = self.wb.add_sheet('Roster')
        probe.write(0, 0, 0)
        for i, style in enumerate(styles):
            probe.write(0, i + 1, 0, style)
        self.strings, self.index, self.sheets = [], {}, []
        xfs = []
        for rtype, body in self._sheet_records():
            if rtype in (0x027E, 0x0203):
                xfs.append(struct.unpack_from('<H', body, 4)[0])
            elif rtype == 0x00BD:
                xfs += [struct.unpack_from('<H', body, 4 + 6 * i)[0] for i in range((len(body) - 6) // 6)]
        self.xf_general, self.xf = xfs[0], xfs[1:]

    def _sheet_records(self):
        data = parse(self.wb.get_biff_data())
        first_eof = next(i for i, (t, _) in enumerate(data) if t == EOF)
        return data[first_eof + 1:]

    def sst(self, s):
        if s not in self.index:
            self.index[s] = len(self.strings)
            self.strings.append(s)
        return self.index[s]

    def add_sheet(self, name):
        sheet = Sheet(self)
        self.sheets.append((name, sheet))
        return sheet

    def stream(self):
        data = parse(self.wb.get_biff_data())
        first_eof = next(i for i, (t, _) in enumerate(data) if t == EOF)
        globals_, sheet_template = data[:first_eof], data[first_eof + 1:]
        sst, self.continues = sst_records(self.strings)
        head = b''
        for rtype, body in globals_:
            if rtype in (BOUNDSHEET, SST, CONTINUE, EXTSST):
                continue
            head += rec(rtype, body)
        bodies = []
        for name, sheet in self.sheets:
            out = b''
            for rtype, body in sheet_template:
                if rtype in CELLS or rtype in (ROW, INDEX, DBCELL):
                    continue
                if rtype == DIMENSIONS:
                    out += rec(DIMENSIONS, struct.pack('<IIHHH', 0, sheet.rows, 0, sheet.cols, 0))
                    out += b''.join(sheet.records)
                    continue
                out += rec(rtype, body)
            bodies.append((name, out))
        bound_len = sum(4 + 8 + len(name) for name, _ in bodies)
        pos = len(head) + bound_len + len(sst) + 4
        bound = b''
        for name, out in bodies:
            bound += rec(BOUNDSHEET, struct.pack('<IBBBB', pos, 0, 0, len(name), 0) + name.encode('latin-1'))
            pos += len(out)
        return head + bound + sst + rec(EOF, b'') + b''.join(out for _, out in bodies)

    def save(self, path):
        CompoundDoc.XlsDoc().save(path, self.stream())


date_style = xlwt.easyxf(num_format_str='MM/DD/YYYY')
datetime_style = xlwt.easyxf(num_format_str='MM/DD/YYYY HH:MM')
ssn_style = xlwt.easyxf(num_format_str='000-00-0000')


def serial(d, base=datetime.datetime(1899, 12, 30)):
    if isinstance(d, datetime.date) and not isinstance(d, datetime.datetime):
        d = datetime.datetime(d.year, d.month, d.day)
    delta = d - base
    return delta.days + delta.seconds / 86400.0


# A roster whose names and SSNs are formulas (Excel keeps their last results).
book = Book(styles=[ssn_style])
ws = book.add_sheet('Roster')
for c, v in enumerate(['LAST', 'FIRST', 'SSN', 'RANK', 'SEX']):
    ws.text(0, c, v)
members = [('DOE', 'JOHN', 123456789, 'SGT', 'M'), ('ROE', 'JANE', 987654321, 'PVT', 'F'),
           ('POE', 'EDGAR', 55512345, 'CPL', 'M')]
for r, (last, first, ssn, rank, sex) in enumerate(members, start=1):
    ws.formula_text(r, 0, last)
    ws.text(r, 1, first)
    ws.formula_number(r, 2, ssn, book.xf[0])
    ws.formula_text(r, 3, rank)
    ws.text(r, 4, sex)
ws.formula_empty(3, 3)                 # RANK: a formula whose result is an empty string
book.save('excel-formulas.xls')

# One column per kind of value; the first data row of the 1900 workbook.
def values_book(dates_1904):
    base = datetime.datetime(1904, 1, 1) if dates_1904 else datetime.datetime(1899, 12, 30)
    book = Book(styles=[date_style, datetime_style], dates_1904=dates_1904)
    ws = book.add_sheet('Values')
    header = ['NAME', 'TRUE', 'FALSE', 'NA', 'SUM', 'E15', 'TWELVE', 'DATE', 'DATETIME',
              'FTRUE', 'FDIV0', 'FEMPTY', 'FDATE', 'REPLACED', 'ERASED', 'NEG']
    for c, v in enumerate(header):
        ws.text(0, c, v)
    ws.text(1, 0, 'VALUES')
    ws.boolerr(1, 1, 1, False)
    ws.boolerr(1, 2, 0, False)
    ws.boolerr(1, 3, 0x2A, True)
    ws.number(1, 4, 0.1 + 0.2)
    ws.number(1, 5, 1e15)
    ws.number(1, 6, 123456789012.0)
    ws.number(1, 7, serial(datetime.date(2001, 2, 3), base), book.xf[0])
    ws.number(1, 8, serial(datetime.datetime(2020, 5, 17, 13, 45), base), book.xf[1])
    ws.formula_bool(1, 9, True)
    ws.formula_error(1, 10, 0x07)
    ws.formula_empty(1, 11)
    ws.formula_number(1, 12, serial(datetime.date(1999, 12, 31), base), book.xf[0])
    ws.number(1, 13, 42)
    ws.label(1, 13, 'LAST RECORD WINS')   # the later record for the same cell counts
    ws.text(1, 14, 'GONE')
    ws.mulblank(1, 14, 1)
    ws.rk_row(1, 15, [-7, 8])             # -7 in NEG; 8 lies past the header's last column
    # second row: every error code
    ws.text(2, 0, 'ERRORS')
    for i, code in enumerate([0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A, 0x2B]):
        ws.boolerr(2, 1 + i, code, True)
    return book


values_book(False).save('excel-values.xls')
values_book(True).save('excel-values-1904.xls')

# Many names: the shared strings run over several CONTINUE records, and names are split
# across them (some pieces compressed, some two bytes a character).
book = Book()
ws = book.add_sheet('Roster')
ws.text(0, 0, 'LAST')
ws.text(0, 1, 'FIRST')
for i in range(600):
    last = 'LASTNAME%04d' % i + ('-Ωmega' if i % 7 == 3 else '') + ('X' * (i % 13))
    ws.text(i + 1, 0, last)
    ws.text(i + 1, 1, 'FIRST%d' % i)
# two long names: one turns from one-byte to two-byte characters in its continuation, the
# other the other way round
ws.text(601, 0, 'COMPRESSED' + 'a' * 9000 + '\u03a9' * 10)
ws.text(601, 1, 'LONG1')
ws.text(602, 0, '\u03a9' * 5000 + 'b' * 9000)
ws.text(602, 1, 'LONG2')
book.save('excel-sst-continue.xls')
assert book.continues >= 2, 'the shared strings must need CONTINUE records'

# SSNs that were formatted as dates by mistake: 1,000 rows of ten SSN columns.
book = Book(styles=[date_style])
ws = book.add_sheet('Roster')
for c in range(10):
    ws.text(0, c, 'SSN%d' % (c + 1))
for r in range(1, 1001):
    ws.rk_row(r, 0, [100000000 + r * 1000 + c for c in range(10)], book.xf[0])
book.save('excel-ssn-dates.xls')


# An Excel 5.0/95 workbook (BIFF5, code page 1252): names with accents and a euro sign.
def biff5_workbook(rows):
    def bstr8(s):
        b = s.encode('cp1252')
        return struct.pack('<B', len(b)) + b

    def xf(fmt):
        # BIFF5 XF: font, format, type/protection, alignment, colours and borders
        return rec(0x00E0, struct.pack('<HHHHIII', 0, fmt, 0x0001 if fmt == 0 else 0x0000, 0, 0, 0, 0)[:16])

    glob = rec(BOF, struct.pack('<HHHH', 0x0500, 0x0005, 0x0DBB, 0x07CC))
    glob += rec(0x0042, struct.pack('<H', 1252))            # CODEPAGE
    glob += rec(DATEMODE, struct.pack('<H', 0))
    glob += rec(0x0031, struct.pack('<HHHHHBBBB', 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0) + bstr8('Arial'))
    glob += rec(0x041E, struct.pack('<H', 164) + bstr8('MM/DD/YYYY'))   # FORMAT
    for i in range(16):
        glob += xf(0)
    glob += xf(164)                                           # XF 16: dates
    sheet = rec(BOF, struct.pack('<HHHH', 0x0500, 0x0010, 0x0DBB, 0x07CC))
    ncols = max(len(r) for r in rows)
    sheet += rec(DIMENSIONS, struct.pack('<HHHHH', 0, len(rows), 0, ncols, 0))
    for r, row in enumerate(rows):
        for c, v in enumerate(row):
            if isinstance(v, str):
                b = v.encode('cp1252')
                sheet += rec(0x0204, struct.pack('<HHHH', r, c, 15, len(b)) + b)
            elif isinstance(v, datetime.date):
                sheet += rec(0x0203, struct.pack('<HHHd', r, c, 16, serial(v)))
            else:
                sheet += rec(0x0203, struct.pack('<HHHd', r, c, 15, v))
    sheet += rec(EOF, b'')
    bound = rec(BOUNDSHEET, struct.pack('<IBB', 0, 0, 0) + bstr8('Roster'))
    offset = len(glob) + len(bound) + 4
    bound = rec(BOUNDSHEET, struct.pack('<IBB', offset, 0, 0) + bstr8('Roster'))
    return glob + bound + rec(EOF, b'') + sheet


def save_as_book(path, stream):
    """An Excel 5.0/95 file keeps its records in a stream named 'Book'."""
    CompoundDoc.XlsDoc().save(path, stream)
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    old = 'Workbook\x00'.encode('utf-16-le')
    at = data.find(old)
    assert at > 0
    new = 'Book\x00'.encode('utf-16-le')
    data[at:at + 64] = new + b'\x00' * (64 - len(new))
    struct.pack_into('<H', data, at + 64, len(new))
    with open(path, 'wb') as f:
        f.write(data)


save_as_book('excel-biff5.xls', biff5_workbook([
    ['LAST', 'FIRST', 'SSN', 'DOB'],
    ['MÜLLER', 'JOSÉ', 123456789, datetime.date(1985, 7, 4)],
    ['GARCÍA', 'ZOË', 987654321, datetime.date(1990, 12, 25)],
    ['ØSTERGÅRD', '€URO', 111223333, datetime.date(2001, 2, 3)],
]))
