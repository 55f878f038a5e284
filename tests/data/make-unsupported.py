#!/usr/bin/env python3
"""Writes the spreadsheet files no reader takes, into damaged/: an Excel binary workbook
(.xlsb: a zip package whose workbook part is binary), an Excel 2003 XML spreadsheet, a flat
OpenDocument spreadsheet, an empty .xlsx and a text file named .xlsx. Run from this folder."""
import zipfile

REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'


def xlsb(path):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('[Content_Types].xml',
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="bin" ContentType="application/vnd.ms-excel.sheet.binary.macroEnabled.main"/>'
                   '</Types>')
        z.writestr('_rels/.rels',
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.bin"/>'
                   '</Relationships>')
        # BrtBeginBook, BrtEndBook: records, not XML
        z.writestr('xl/workbook.bin', bytes([0x83, 0x01, 0x00, 0x84, 0x01, 0x00]))


SPREADSHEETML = '''<?xml version="1.0"?>
<?mso-application progid="Excel.Sheet"?>
<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">
 <Worksheet ss:Name="Roster"><Table>
  <Row><Cell><Data ss:Type="String">LAST</Data></Cell><Cell><Data ss:Type="String">FIRST</Data></Cell></Row>
  <Row><Cell><Data ss:Type="String">DOE</Data></Cell><Cell><Data ss:Type="String">JOHN</Data></Cell></Row>
 </Table></Worksheet>
</Workbook>
'''

FODS = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet><table:table table:name="Roster">
  <table:table-row><table:table-cell office:value-type="string"><text:p>LAST</text:p></table:table-cell></table:table-row>
  <table:table-row><table:table-cell office:value-type="string"><text:p>DOE</text:p></table:table-cell></table:table-row>
 </table:table></office:spreadsheet></office:body>
</office:document>
'''

if __name__ == '__main__':
    xlsb('damaged/roster.xlsb')
    with open('damaged/roster-2003.xml', 'w') as f:
        f.write(SPREADSHEETML)
    with open('damaged/roster.fods', 'w') as f:
        f.write(FODS)
    open('damaged/empty.xlsx', 'wb').close()
    with open('damaged/text.xlsx', 'w') as f:
        f.write('LAST,FIRST\nDOE,JOHN\n')
