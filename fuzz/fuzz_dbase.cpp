// dBase reader. An input holding the marker below is a table followed by its memo file
// (.fpt for a FoxPro table, else .dbt); otherwise the table has no memo file beside it.
#include "FuzzInput.h"
#include "import/dbase/ImportDBaseReader.h"

#include <cstring>

static const char Marker[] = "\n--memo file--\n";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = all.indexOf(Marker);
    const QByteArray table = split < 0 ? all : all.left(split);
    const bool fox = !table.isEmpty() && (quint8(table[0]) == 0xF5 || quint8(table[0]) == 0xFB);
    RemoveFuzzFile("roster.dbt");
    RemoveFuzzFile("roster.fpt");
    if (split >= 0)
        FuzzFile(fox ? "roster.fpt" : "roster.dbt", all.mid(split + qsizetype(strlen(Marker))));
    FuzzRead<TImportDBaseReader>(FuzzFile("roster.dbf", table));
    return 0;
}
