// The Office Open XML reader on a sound package around a fuzzed worksheet and shared strings
// part (the input, split at the first NUL byte), stored without compression: the mutations
// reach the XML instead of the zip container.
#include "FuzzInput.h"
#include "roster/ImportSheetReaders.h"

#include <QByteArray>
#include <QList>

namespace {
quint32 Crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put16(QByteArray &out, quint16 v)
{
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void Put32(QByteArray &out, quint32 v)
{
    Put16(out, quint16(v & 0xFFFF));
    Put16(out, quint16(v >> 16));
}

// A zip archive of stored entries.
QByteArray StoredZip(const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    QByteArray out, central;
    for (const auto &[name, data] : entries) {
        const quint32 crc = Crc32(data);
        const quint32 offset = quint32(out.size());
        out += QByteArray("PK\x03\x04", 4);
        Put16(out, 20), Put16(out, 0), Put16(out, 0), Put16(out, 0), Put16(out, 0);
        Put32(out, crc), Put32(out, quint32(data.size())), Put32(out, quint32(data.size()));
        Put16(out, quint16(name.size())), Put16(out, 0);
        out += name;
        out += data;
        central += QByteArray("PK\x01\x02", 4);
        Put16(central, 20), Put16(central, 20), Put16(central, 0), Put16(central, 0), Put16(central, 0),
            Put16(central, 0);
        Put32(central, crc), Put32(central, quint32(data.size())), Put32(central, quint32(data.size()));
        Put16(central, quint16(name.size())), Put16(central, 0), Put16(central, 0), Put16(central, 0),
            Put16(central, 0);
        Put32(central, 0), Put32(central, offset);
        central += name;
    }
    const quint32 at = quint32(out.size());
    out += central;
    out += QByteArray("PK\x05\x06", 4);
    Put16(out, 0), Put16(out, 0), Put16(out, quint16(entries.size())), Put16(out, quint16(entries.size()));
    Put32(out, quint32(central.size())), Put32(out, at), Put16(out, 0);
    return out;
}

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
