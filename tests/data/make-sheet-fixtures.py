#!/usr/bin/python3
# Writes the small .xlsx/.ods workbooks used by the roster reader tests.
# Run from tests/data: /usr/bin/python3 make-sheet-fixtures.py
# Needs python3-openpyxl (3.0.9) and, for the converted set, gnumeric's ssconvert. The tests
# only read the outputs, which are committed.
#
# openpyxl 3.0 writes every text as an inline string and cannot write shared or rich strings,
# cached formula results, error cells, date-typed cells or rows without their r attribute, so
# those are put into the sheet XML by rewriting the zip afterwards (patch_sheet below).
import datetime
import os
import re
import subprocess
import tempfile
import zipfile

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904


def patch_sheet(path, edit, part='xl/worksheets/sheet1.xml'):
    """Rewrites one part of a zip package with edit(text) -> text; a missing part is added
    (edit then gets an empty text)."""
    with zipfile.ZipFile(path) as z:
        items = [(info, z.read(info.filename)) for info in z.infolist()]
    if part not in [info.filename for info, _ in items]:
        items.append((zipfile.ZipInfo(part, (2026, 1, 1, 0, 0, 0)), b''))
    with zipfile.ZipFile(path + '.tmp', 'w', zipfile.ZIP_DEFLATED) as z:
        for info, data in items:
            if info.filename == part:
                data = edit(data.decode('utf-8')).encode('utf-8')
            z.writestr(info, data, zipfile.ZIP_DEFLATED)
    os.replace(path + '.tmp', path)


def cell(ref, body, attrs=''):
    return '<c r="%s"%s>%s</c>' % (ref, attrs, body)


# ---------------------------------------------------------------------------------------
# sheet-types.xlsx: one column per kind of cell value.
wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Types'
header = ['LAST', 'NUMBER', 'DATE', 'STAMP', 'CUSTOM', 'FLAG', 'SUM', 'NOCALC', 'ERROR',
          'INLINE', 'RICH', 'TIME', 'ISO', 'FTEXT']
ws.append(header)
ws.append(['DOE', 3.25, datetime.date(2001, 2, 3), datetime.datetime(2020, 5, 17, 13, 45),
           datetime.date(1999, 12, 31), True, '=2+3', '=1+1', None, None, None,
           datetime.time(13, 45, 30), None, None])
ws.append(['ROE', 0.1, datetime.date(1900, 3, 1), None, datetime.date(2024, 2, 29), False,
           '=B3*10', '=B3', None, None, None, None, None, None])
ws.append(['  padded  ', 98765432101, -7, 1e20, 123456789012345678, None, None, None, None,
           None, None, None, None, None])
ws.append([None, 'after the end'])
ws.append(['NEVER', 'READ'])
ws['C2'].number_format = 'yyyy-mm-dd'
ws['C3'].number_format = 'yyyy-mm-dd'
ws['D2'].number_format = 'mm/dd/yyyy hh:mm'
ws['E2'].number_format = 'd-mmm-yy'
ws['E3'].number_format = '[$-409]dddd, mmmm d, yyyy'
ws['L2'].number_format = 'h:mm:ss'
ws['C4'].number_format = '"Total: "0'   # quoted letters: not a date
wb.save('sheet-types.xlsx')


def types_sheet(xml):
    # Cached formula results: G2 (5), G3 (a text result); H2/H3 keep no cached value.
    xml = xml.replace('<c r="G2"><f>2+3</f><v></v></c>', '<c r="G2"><f>2+3</f><v>5</v></c>')
    xml = xml.replace('<c r="G3"><f>B3*10</f><v></v></c>',
                      '<c r="G3" t="str"><f>B3*10</f><v>one &amp; two</v></c>')
    # Shared strings (0 plain, 1 rich with a phonetic run) for A2 and A3.
    xml = xml.replace('<c r="A2" t="inlineStr"><is><t>DOE</t></is></c>', '<c r="A2" t="s"><v>0</v></c>')
    xml = xml.replace('<c r="A3" t="inlineStr"><is><t>ROE</t></is></c>', '<c r="A3" t="s"><v>1</v></c>')
    # Error, inline, rich (phonetic run left out), date-typed and escaped cells.
    before_l2 = (cell('I2', '<f>NA()</f><v>#N/A</v>', ' t="e"')
                 + cell('J2', '<is><t xml:space="preserve">  inline text </t></is>', ' t="inlineStr"')
                 + cell('K2', '<is><r><rPr><b/></rPr><t>Rich</t></r><r><t xml:space="preserve"> Text</t></r>'
                              '<rPh sb="0" eb="4"><t>PHONETIC</t></rPh><phoneticPr fontId="1"/></is>',
                        ' t="inlineStr"'))
    after_l2 = (cell('M2', '<v>2011-07-04T08:30:00</v>', ' t="d"')
                + cell('N2', '<v>line_x000D__x000A_two_x005F_x0041_</v>', ' t="str"'))
    extra3 = (cell('I3', '<v>#DIV/0!</v>', ' t="e"')
              + cell('J3', '<v>2</v>', ' t="s"')
              + cell('M3', '<v>2012-12-21</v>', ' t="d"'))
    xml = re.sub(r'(<c r="L2"[^>]*>.*?</c>)', lambda m: before_l2 + m.group(1) + after_l2, xml, count=1)
    xml = re.sub(r'(<c r="H3"[^>]*>.*?</c>)', lambda m: m.group(1) + extra3, xml, count=1)
    return xml


patch_sheet('sheet-types.xlsx', types_sheet)
patch_sheet('sheet-types.xlsx', lambda _: (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
    '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" uniqueCount="3">'
    '<si><t>DOE</t></si>'
    '<si><r><t>R</t></r><r><rPr><i/></rPr><t>OE</t></r><rPh sb="0" eb="1"><t>XX</t></rPh>'
    '<phoneticPr fontId="1"/></si>'
    '<si><t xml:space="preserve">shared </t></si></sst>'), 'xl/sharedStrings.xml')
patch_sheet('sheet-types.xlsx', lambda x: x.replace(
    '</Relationships>',
    '<Relationship Id="rIdSst" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
    'sharedStrings" Target="sharedStrings.xml"/></Relationships>'), 'xl/_rels/workbook.xml.rels')
patch_sheet('sheet-types.xlsx', lambda x: x.replace(
    '</Types>',
    '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.'
    'spreadsheetml.sharedStrings+xml"/></Types>'), '[Content_Types].xml')

# ---------------------------------------------------------------------------------------
# sheet-1904.xlsx: the 1904 date system.
wb = openpyxl.Workbook()
wb.epoch = CALENDAR_MAC_1904
ws = wb.active
ws.append(['LAST', 'DATE', 'STAMP'])
ws.append(['DOE', datetime.date(2001, 2, 3), datetime.datetime(1904, 1, 2, 6, 0)])
ws['B2'].number_format = 'mm/dd/yyyy'
ws['C2'].number_format = 'mm/dd/yyyy hh:mm'
wb.save('sheet-1904.xlsx')

# ---------------------------------------------------------------------------------------
# sheet-noref.xlsx: rows and cells without r attributes, skipped positions, a gap in row 1,
# a missing row that ends the data. (openpyxl names the sheet part by an absolute target,
# gnumeric's roster.xlsx by a relative one.)
wb = openpyxl.Workbook()
ws = wb.active
ws.append(['LAST', 'FIRST', 'RANK'])
wb.save('sheet-noref.xlsx')


def noref_sheet(xml):
    data = ('<sheetData>'
            '<row><c t="inlineStr"><is><t>LAST</t></is></c><c t="inlineStr"><is><t>FIRST</t></is></c>'
            '<c t="inlineStr"><is><t>RANK</t></is></c>'
            '<c r="E1" t="inlineStr"><is><t>AFTER GAP</t></is></c></row>'
            '<row><c><v>1</v></c><c r="C2" t="inlineStr"><is><t>SGT</t></is></c><c><v>4</v></c></row>'
            '<row r="3" spans="1:3"><c r="A3" t="inlineStr"><is><t>ROE</t></is></c>'
            '<c t="inlineStr"><is><t>JANE</t></is></c></row>'
            '<row><c t="inlineStr"><is><t>POE</t></is></c><c/><c t="b"><v>1</v></c></row>'
            '<row r="6"><c r="A6" t="inlineStr"><is><t>NEVER READ</t></is></c></row>'
            '</sheetData>')
    return re.sub(r'<sheetData>.*</sheetData>|<sheetData/>', data, xml, flags=re.S)


patch_sheet('sheet-noref.xlsx', noref_sheet)

# ---------------------------------------------------------------------------------------
# sheet-types.ods: the OpenDocument value types, repeats and covered cells. Written by hand:
# there is no Debian library that writes OpenDocument with these features.
T = 'urn:oasis:names:tc:opendocument:xmlns:'
content = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="%(T)soffice:1.0" xmlns:table="%(T)stable:1.0"
 xmlns:text="%(T)stext:1.0" xmlns:draw="%(T)sdrawing:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" office:version="1.2">
<office:body><office:spreadsheet>
<table:table table:name="Types">
<table:table-column table:number-columns-repeated="9"/>
<table:table-header-rows>
<table:table-row>
<table:table-cell office:value-type="string"><text:p>LAST</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>NUMBER</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>PERCENT</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>MONEY</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>DATE</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>TIME</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>FLAG</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>TEXT</text:p></table:table-cell>
<table:table-cell office:value-type="string" table:number-columns-repeated="2"><text:p>TWICE</text:p></table:table-cell>
<table:table-cell table:number-columns-repeated="1014"/>
</table:table-row>
</table:table-header-rows>
<table:table-row>
<table:table-cell office:value-type="string"><text:p>DOE</text:p></table:table-cell>
<table:table-cell office:value-type="float" office:value="3.25"><text:p>3.3</text:p></table:table-cell>
<table:table-cell office:value-type="percentage" office:value="0.125"><text:p>12.5%%</text:p></table:table-cell>
<table:table-cell office:value-type="currency" office:currency="USD" office:value="1234.5"><text:p>$1,234.50</text:p></table:table-cell>
<table:table-cell office:value-type="date" office:date-value="2001-02-03"><text:p>02/03/01</text:p></table:table-cell>
<table:table-cell office:value-type="time" office:time-value="PT13H45M30S"><text:p>01:45:30 PM</text:p></table:table-cell>
<table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>two<text:s/>spaces<text:s text:c="3"/>and<text:tab/>tab</text:p><text:p>second <text:span>line</text:span><text:line-break/>third</text:p><office:annotation><dc:creator>x</dc:creator><text:p>NOTE</text:p></office:annotation></table:table-cell>
<table:table-cell office:value-type="float" office:value="7" table:number-columns-repeated="2"><text:p>7</text:p></table:table-cell>
</table:table-row>
<table:table-row-group>
<table:table-row table:number-rows-repeated="2">
<table:table-cell office:value-type="string"><text:p>SAME</text:p></table:table-cell>
<table:table-cell office:value-type="float" office:value="-0.5"><text:p>-0.5</text:p></table:table-cell>
<table:table-cell table:number-columns-spanned="2" office:value-type="string"><text:p>MERGED</text:p></table:table-cell>
<table:covered-table-cell/>
<table:table-cell office:value-type="date" office:date-value="2020-05-17T13:45:00"><text:p>x</text:p></table:table-cell>
<table:table-cell/>
<table:table-cell office:value-type="boolean" office:boolean-value="false"><text:p>FALSE</text:p></table:table-cell>
<table:table-cell><text:p>no <text:a>type</text:a></text:p></table:table-cell>
<table:table-cell table:number-columns-repeated="1016"/>
</table:table-row>
</table:table-row-group>
<table:table-row table:number-rows-repeated="1048570"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>NEVER READ</text:p></table:table-cell></table:table-row>
</table:table>
<table:table table:name="Second"><table:table-row><table:table-cell office:value-type="string"><text:p>OTHER</text:p></table:table-cell></table:table-row></table:table>
</office:spreadsheet></office:body></office:document-content>
''' % {'T': T}
manifest = '''<?xml version="1.0" encoding="UTF-8"?>
<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">
 <manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>
 <manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>
</manifest:manifest>
'''
with zipfile.ZipFile('sheet-types.ods', 'w') as z:
    z.writestr(zipfile.ZipInfo('mimetype', (2026, 1, 1, 0, 0, 0)), 'application/vnd.oasis.opendocument.spreadsheet')
    for name, data in [('content.xml', content), ('META-INF/manifest.xml', manifest)]:
        z.writestr(zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0)), data, zipfile.ZIP_DEFLATED)

# ---------------------------------------------------------------------------------------
# converted.{xls,xlsx,ods}: one CSV converted by gnumeric into all three formats.
rows = [
    'LAST,FIRST,SSN,RANK,SEX,YOS,HEIGHT,JOINED',
    'ABBOTT,CARL,916325636,SGT,M,8,1.75,2001-02-03',
    'BAXTER,DANA,000123456,SPC,F,3,1.62,1999-12-31',
    '"CRANE, JR",EVAN,923-79-6669,PFC,m,0,1.8,2020-05-17',
    'DIAZ,FAYE,931111111,CPT,Female,12,1.5,1987-07-04',
]
with tempfile.TemporaryDirectory() as tmp:
    csv = os.path.join(tmp, 'converted.csv')
    with open(csv, 'w', newline='') as f:
        f.write('\r\n'.join(rows) + '\r\n')
    for out, exporter in [('converted.xls', 'Gnumeric_Excel:excel_biff8'),
                          ('converted.xlsx', 'Gnumeric_Excel:xlsx2'),
                          ('converted.ods', 'Gnumeric_OpenCalc:odf')]:
        subprocess.run(['ssconvert', '-T', exporter, csv, out], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
