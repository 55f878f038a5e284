// The Office Open XML reader on a sound package around a fuzzed worksheet and shared strings
// part (the input, split at the first NUL byte), stored without compression: the mutations
// reach the XML instead of the zip container.
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

#include <QByteArray>
#include <QList>

namespace {
const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    const QByteArray sheet = nul < 0 ? input : input.left(nul);
    const QByteArray strings = nul < 0 ? QByteArray("<sst xmlns=\"" + kMain + "\"/>") : input.mid(nul + 1);
    const QByteArray zip = StoredZip(
        {{"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"rId1\" Type=\"" + kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                         "</Relationships>"},
         {"xl/workbook.xml", "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel
                                 + "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
          "<Relationship Id=\"rId2\" Type=\"" + kRel + "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
          "</Relationships>"},
         {"xl/worksheets/sheet1.xml", sheet},
         {"xl/sharedStrings.xml", strings}});
    FuzzRead<TImportXlsxReader>(FuzzFile("sheet.xlsx", zip));
    return 0;
}
