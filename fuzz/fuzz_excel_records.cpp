// The Excel 97-2003 reader on a sound OLE2 container around a fuzzed Workbook stream: the
// mutations reach the BIFF records instead of the container's checks. Seeds are workbook
// streams (fuzz/seeds/excel_records, made by make-excel-records.py).
#include "FuzzInput.h"
#include "import/ImportSheetReaders.h"

#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-utils.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = (gsf_init(), true);
    (void)ready;
    GsfOutput *memory = gsf_output_memory_new();
    GsfOutfile *ole = gsf_outfile_msole_new(memory);
    GsfOutput *book = gsf_outfile_new_child(ole, "Workbook", FALSE);
    gsf_output_write(book, size, data);
    gsf_output_close(book);
    g_object_unref(book);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    const QString path = FuzzFile("book.xls", gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory)),
                                  size_t(gsf_output_size(memory)));
    g_object_unref(memory);
    FuzzRead<TImportExcelReader>(path);
    return 0;
}
