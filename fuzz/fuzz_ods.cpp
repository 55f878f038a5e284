// OpenDocument spreadsheet reader (.ods), through the reader interface only.
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzRead<TImportOdsReader>(FuzzFile("roster.ods", data, size));
    return 0;
}
