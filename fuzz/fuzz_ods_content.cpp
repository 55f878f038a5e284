// The OpenDocument reader on a sound package around a fuzzed content.xml (stored without
// compression): the mutations reach the XML instead of the zip container.
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray zip = StoredZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                      {"content.xml", content}});
    FuzzRead<TImportOdsReader>(FuzzFile("content.ods", zip));
    return 0;
}
