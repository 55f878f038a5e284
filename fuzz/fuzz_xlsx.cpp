// Office Open XML workbook reader (.xlsx, .xlsm), through the reader interface only.
// Seeds: the .xlsx test files; libFuzzer mutates the zip as bytes, so most inputs exercise the
// container checks and the mutations that keep the zip sound exercise the XML parts.
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzRead<TImportXlsxReader>(FuzzFile("roster.xlsx", data, size));
    return 0;
}
