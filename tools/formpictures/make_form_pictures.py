#!/usr/bin/env python3
"""Draws the blank forms the products print on.

Writes, into src/products/resources/:
  dd2624front.svg, dd2624front.captions   custody document, front
  dd2624back.svg,  dd2624back.captions    custody document, back
  testregister.svg                        testing register grid (lines only)
and tests/data/Bmp/AlternateTestRegister.svg, an alternate register grid
with an extra SSN/initials column, used by the register tests.

Every coordinate is in thousandths of a millimetre inside the picture's own
rectangle (the SVG viewBox), which is exactly the rectangle the report draws
the picture into, so the values of the layouts fall where the table below
puts their blocks. The SVG width/height carry the physical frame size.

Captions are not SVG text (the SVG renderer turns text into outlines); they
go to a tab-separated table drawn as real text over the picture:
  left top width height points flags text
flags: b = bold, l/c/r = horizontal alignment, t/m = top / middle, w = wrap;
'\\n' in the text breaks a line.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..'))
OUT = os.path.join(ROOT, 'src', 'products', 'resources')
TESTDATA = os.path.join(ROOT, 'tests', 'data', 'Bmp')

PT = 352.78  # one point in thousandths of a millimetre
HEAVY = round(1.0 * PT)
MEDIUM = round(0.6 * PT)
THIN = round(0.35 * PT)
SHADE = '#e4e4e4'


class Picture:
    def __init__(self, width, height, frame_in):
        self.w, self.h = width, height
        self.frame_in = frame_in
        self.items = []
        self.captions = []

    def line(self, x1, y1, x2, y2, weight=MEDIUM, dash=None):
        extra = f' stroke-dasharray="{dash}"' if dash else ''
        self.items.append(
            f'<line x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}" stroke-width="{weight}"{extra}/>')

    def hline(self, x1, x2, y, weight=MEDIUM, dash=None):
        self.line(x1, y, x2, y, weight, dash)

    def vline(self, x, y1, y2, weight=MEDIUM, dash=None):
        self.line(x, y1, x, y2, weight, dash)

    def box(self, x1, y1, x2, y2, weight=MEDIUM):
        self.items.append(
            f'<rect x="{x1}" y="{y1}" width="{x2 - x1}" height="{y2 - y1}" '
            f'fill="none" stroke-width="{weight}"/>')

    def shade(self, x1, y1, x2, y2):
        # drawn first so that lines stay on top
        self.items.insert(0,
            f'<rect x="{x1}" y="{y1}" width="{x2 - x1}" height="{y2 - y1}" '
            f'fill="{SHADE}" stroke="none"/>')

    def cap(self, x, y, w, h, pt, text, flags='lt'):
        self.captions.append((x, y, w, h, pt, flags, text.replace('\n', '\\n')))

    def write(self, name, folder=OUT, captions=True):
        fw, fh = self.frame_in
        svg = [
            '<?xml version="1.0" encoding="UTF-8"?>',
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" '
            f'width="{fw:.3f}in" height="{fh:.3f}in" viewBox="0 0 {self.w} {self.h}">',
            '<g stroke="#000000" stroke-linecap="square" fill="none">',
        ]
        svg += ['  ' + item for item in self.items]
        svg += ['</g>', '</svg>', '']
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + '.svg'), 'w', encoding='utf-8') as f:
            f.write('\n'.join(svg))
        if captions:
            with open(os.path.join(folder, name + '.captions'), 'w', encoding='utf-8') as f:
                f.write('# left\ttop\twidth\theight\tpoints\tflags\ttext\n')
                for c in self.captions:
                    f.write('\t'.join(str(v) for v in c) + '\n')


# ---------------------------------------------------------------- front
def front():
    W, H = 266701, 203200          # stretched over the whole printable area
    p = Picture(W, H, (10.527, 7.939))
    TOP = 3300                     # frame starts under the title
    ROW2, STRIP, THEAD, ROWS = 20300, 27800, 34300, 40480
    ROWH, NROWS = 11976, 12
    TEND = ROWS + NROWS * ROWH     # 184192
    BOTTOM = 199300
    LAB = 160700                   # the laboratory's side starts here
    C1 = 6 # caption size

    p.cap(0, 0, LAB, TOP, 9, 'SPECIMEN CUSTODY DOCUMENT - DRUG TESTING', 'bcm')
    p.cap(LAB, 0, W - LAB, TOP, 6, 'LABORATORY USE ONLY (Blocks A - H)', 'bcm')

    p.box(0, TOP, W, BOTTOM, HEAVY)
    p.vline(LAB, TOP, THEAD, HEAVY)

    # row 1: blocks 1 and 2, A and B
    p.hline(0, W, ROW2)
    p.vline(70300, TOP, ROW2)
    p.cap(800, TOP + 250, 45000, 2300, C1, '1. SUBMITTING UNIT')
    p.cap(71400, TOP + 250, 88000, 2300, C1,
          '2. ADDITIONAL SERVICE INFORMATION (SECOND ECHELON)')
    p.vline(230000, TOP, ROW2)
    p.cap(LAB + 900, TOP + 250, 68000, 2300, C1, 'A. LABORATORY CONDUCTING TESTING')
    p.cap(230900, TOP + 250, 35000, 2300, C1, 'B. BATCH NUMBER')

    # row 2: blocks 3 to 6 on the unit's side, C and D on the laboratory's
    p.hline(0, LAB, STRIP)
    for x in (37500, 70300, 118600):
        p.vline(x, ROW2, STRIP)
    p.cap(800, ROW2 + 250, 36000, 2300, C1, '3. BASE/AREA CODE')
    p.cap(38300, ROW2 + 250, 31500, 2300, C1, '4.UNIT IDENTIFICATION CODE')
    # the service designator has a box of its own in block 4
    p.vline(44300, ROW2 + 2900, STRIP, THIN)
    p.cap(71100, ROW2 + 250, 47000, 2300, C1, '5. DOCUMENT/BATCH NUMBER')
    p.cap(119400, ROW2 + 250, 41000, 2300, C1, '6. DATE SPECIMEN COLLECTED')
    p.cap(147500, ROW2 + 2500, 12600, 2000, 5, 'YYYY MM DD', 'rt')
    p.vline(215000, ROW2, THEAD)
    p.cap(LAB + 900, ROW2 + 250, 53000, 2300, C1, 'C. REPORT OF RESULTS')
    p.cap(215900, ROW2 + 250, 50000, 2300, C1, 'D. DRUGS TESTED')

    # member table: columns 7 to 11, then the laboratory's E to G
    cols = [0, 23800, 75600, 88600, 98000, 118000, 140000, 195000, W]
    p.hline(0, W, THEAD)
    p.shade(0, THEAD, W, ROWS)
    heads = ['7. SPECIMEN\nNUMBER', '8. COMPLETE SSN', '9. TEST\nBASIS', '10. TEST\nINFO',
             '11. PRESCREEN', 'E. DISC CODE', 'F. ACCESSION NUMBER', 'G. RESULT']
    for i, text in enumerate(heads):
        x1, x2 = cols[i], cols[i + 1]
        size = C1 if x2 - x1 > 12000 else 5
        p.cap(x1 + 150, THEAD + 200, x2 - x1 - 300, ROWS - THEAD - 400, size, text, 'cm')
    for i in range(NROWS + 1):
        y = ROWS + i * ROWH
        p.hline(0, W, y, MEDIUM if i else HEAVY)
    p.hline(0, W, TEND, HEAVY)
    for x in cols[2:-1]:
        p.vline(x, THEAD, TEND, HEAVY if x == 118000 else MEDIUM)
    # columns 7 and 8 share the row's upper part with the member's barcode:
    # the divider stays in the lower part so that no line crosses the bars
    p.vline(cols[1], THEAD, ROWS)
    for i in range(NROWS):
        y = ROWS + i * ROWH
        p.vline(cols[1], y + 7000, y + ROWH, THIN)

    # block H: the laboratory's certification
    p.vline(118000, TEND, BOTTOM)
    p.cap(800, TEND + 500, 110000, 2300, C1, 'NOTE: Blocks 11 and A through H are completed by the laboratory.')
    p.cap(118800, TEND + 300, 80000, 2300, C1, 'H. CERTIFICATION')
    p.cap(118800, TEND + 2700, 146000, 2300, 5.5,
          'I certify that the laboratory results indicated on this form were correctly '
          'determined by proper laboratory procedures, and that they are correctly annotated.')
    p.hline(118000, W, TEND + 5600, THIN)
    p.vline(195000, TEND + 5600, BOTTOM, THIN)
    p.vline(240000, TEND + 5600, BOTTOM, THIN)
    p.cap(118800, TEND + 5800, 75000, 2300, C1, '(1) TYPED NAME AND TITLE OF CERTIFYING OFFICIAL')
    p.cap(195800, TEND + 5800, 43000, 2300, C1, '(2) SIGNATURE')
    p.cap(240800, TEND + 5800, 25000, 2300, C1, '(3) DATE')

    p.cap(0, BOTTOM + 300, 80000, H - BOTTOM - 300, 7, 'DD Form 2624, FEB 1993', 'blm')
    p.write('dd2624front')


# ---------------------------------------------------------------- back
def back():
    W, H = 262467, 198702
    p = Picture(W, H, (10.338, 7.823))
    HEAD, ROWS, ROWH, NROWS = 4200, 12700, 18288, 10
    TEND = ROWS + NROWS * ROWH     # 195580
    cols = [0, 21000, 71000, 117500, 157500]
    RIGHT = 160500
    C1 = 6

    # chain of custody, left side
    p.box(0, 0, cols[-1], TEND, HEAVY)
    p.shade(0, 0, cols[-1], HEAD)
    p.cap(800, 0, 120000, HEAD, 8, '12. CHAIN OF CUSTODY', 'blm')
    p.hline(0, cols[-1], HEAD)
    p.hline(0, cols[-1], ROWS, HEAVY)
    for x in cols[1:-1]:
        p.vline(x, HEAD, TEND)
    p.cap(0, HEAD + 300, cols[1], 2400, C1, 'a.', 'ct')
    p.cap(0, HEAD + 2700, cols[1], 2400, C1, 'DATE', 'bct')
    p.cap(0, HEAD + 5100, cols[1], 2400, C1, '(YYMMDD)', 'ct')
    p.cap(cols[1], HEAD + 300, cols[2] - cols[1], 2400, C1, 'b.', 'ct')
    p.cap(cols[1], HEAD + 2700, cols[2] - cols[1], 2400, C1, 'RELEASE BY', 'bct')
    p.cap(cols[2], HEAD + 300, cols[3] - cols[2], 2400, C1, 'c.', 'ct')
    p.cap(cols[2], HEAD + 2700, cols[3] - cols[2], 2400, C1, 'RECEIVED BY', 'bct')
    p.cap(cols[3], HEAD + 300, cols[4] - cols[3], 2400, C1, 'd.', 'ct')
    p.cap(cols[3], HEAD + 2700, cols[4] - cols[3], 2400, C1, 'PURPOSE OF CHANGE /', 'bct')
    p.cap(cols[3], HEAD + 5100, cols[4] - cols[3], 2400, C1, 'REMARKS', 'bct')
    for i in range(NROWS):
        y = ROWS + i * ROWH
        if i:
            p.hline(0, cols[-1], y)
        p.cap(500, y + 400, 5000, 2300, C1, f'({i + 1})')
        # signature above, printed name below (the name is what the program fills)
        for c in (1, 2):
            x1, x2 = cols[c], cols[c + 1]
            p.hline(x1, x2, y + 9400, THIN, dash='700 500')
            p.cap(x1 + 600, y + 400, 20000, 2300, 5.5, 'SIGNATURE')
            p.cap(x1 + 600, y + 9700, 20000, 1900, 5.5, 'NAME')
    p.cap(0, TEND + 300, 90000, H - TEND - 300, 6.5, 'DD Form 2624, FEB 1993 (Back)', 'blm')

    # instructions, right side
    icol = [RIGHT, 172500, 202500, 232500, W]
    ITOP, IHEAD = 0, 4200
    IROW = 9400
    rows = [
        ('1', 'Unit name and\naddress', 'Command name\nand address', 'Unit name and\naddress'),
        ('2', 'Major command or\ninstallation', 'Echelon 2\ncommand', 'Major command'),
        ('3', 'Base/area code\n(BAC)', 'Reporting unit\ncode', 'Base code'),
        ('4', '"W" and the UIC', '"N" or "M" and\nthe UIC', '"F" and the\nUIC'),
        ('5', 'Batch number,\n4 digits', 'Batch number,\n4 digits', 'Batch number,\n4 digits'),
        ('6', 'Date collected,\nYYYY MM DD', 'Date collected,\nYYYY MM DD', 'Date collected,\nYYYY MM DD'),
        ('7', 'Specimen number\n001 - 012', 'Specimen number\n001 - 012', 'Specimen number\n001 - 012'),
        ('8', 'Complete SSN', 'Complete SSN', 'Complete SSN'),
        ('9', 'Test basis code\n(premise)', 'Test basis code', 'Test basis code'),
        ('10', 'A: E1 - E4\nB: all others', 'As directed', 'As directed'),
        ('11', 'Laboratory use', 'Laboratory use', 'Laboratory use'),
        ('12', 'Every change of\ncustody, signed', 'Every change of\ncustody, signed', 'Every change of\ncustody, signed'),
    ]
    IEND = ITOP + IHEAD + 4000 + len(rows) * IROW
    p.box(RIGHT, ITOP, W, IEND, HEAVY)
    p.shade(RIGHT, ITOP, W, ITOP + IHEAD)
    p.cap(RIGHT, ITOP, W - RIGHT, IHEAD, 8, 'INSTRUCTIONS', 'bcm')
    p.hline(RIGHT, W, ITOP + IHEAD)
    p.hline(RIGHT, W, ITOP + IHEAD + 4000, MEDIUM)
    for x in icol[1:-1]:
        p.vline(x, ITOP + IHEAD, IEND)
    for i, text in enumerate(('BLOCK', 'USA', 'USN/MC', 'USAF')):
        p.cap(icol[i], ITOP + IHEAD, icol[i + 1] - icol[i], 4000, C1, text, 'bcm')
    for r, cells in enumerate(rows):
        y = ITOP + IHEAD + 4000 + r * IROW
        if r:
            p.hline(RIGHT, W, y, THIN)
        for i, text in enumerate(cells):
            flags = 'cm' if i == 0 else 'lm'
            inset = 0 if i == 0 else 700
            p.cap(icol[i] + inset, y + 200, icol[i + 1] - icol[i] - 2 * inset, IROW - 400,
                  5.5, text, flags)

    DTOP = IEND + 5000
    p.box(RIGHT, DTOP, W, TEND, HEAVY)
    p.shade(RIGHT, DTOP, W, DTOP + 4200)
    p.hline(RIGHT, W, DTOP + 4200)
    p.cap(RIGHT + 800, DTOP, W - RIGHT - 1600, 4200, 6.5,
          'DAMAGE TO SHIPPING CONTAINER/DISCREPANCIES', 'blm')
    for y in range(DTOP + 4200 + 9000, TEND - 3000, 9000):
        p.hline(RIGHT + 2000, W - 2000, y, THIN, dash='700 500')
    p.write('dd2624back')


# ---------------------------------------------------------------- register
def register(alternate=False):
    W, H = 265907, 168275
    OFF = 16404                    # the picture's top inside the page
    HEADEND = 31221 - OFF          # the header band ends at 31221 on the page
    ROWH, NROWS = 12700, 12
    TEND = HEADEND + NROWS * ROWH
    p = Picture(W, H, (10.464, 6.622))
    cols = [0, 30900, 55700, 149700, 162500, 215700, W]
    if alternate:
        cols = [0, 30900, 55700, 136800, 149700, 162500, 215700, W]
    p.box(0, 0, W, TEND, HEAVY)
    p.hline(0, W, HEADEND, HEAVY)
    for x in cols[1:-1]:
        p.vline(x, 0, TEND)
    member = (cols[2], cols[3])
    observer = (cols[-3], cols[-2])
    for i in range(NROWS):
        y = HEADEND + i * ROWH
        if i:
            p.hline(0, W, y)
        # printed name above, signature below
        for x1, x2 in (member, observer):
            p.hline(x1 + 600, x2 - 600, y + 7000, THIN, dash='600 450')
    if alternate:
        p.write('AlternateTestRegister', TESTDATA, captions=False)
    else:
        p.write('testregister', captions=False)


if __name__ == '__main__':
    front()
    back()
    register()
    register(alternate=True)
