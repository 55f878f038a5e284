// Excel workbook reader, through the reader interface only.
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzRead<TImportExcelReader>(FuzzFile("roster.xls", data, size));
    return 0;
}
