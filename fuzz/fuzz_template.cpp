// The column-mapping template parser. The first byte gives the table's column count (0-31),
// the rest is the template text.
#include "FuzzInput.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    TImportTable table;
    QStringList row;
    for (int i = 0; i < (data[0] & 31); ++i)
        row << QStringLiteral("v%1").arg(i);
    table.AddRow(row);
    table.AddRow({});
    const QString templ = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString before = table.GetTemplate();
    try {
        table.ApplyTemplate(templ);
    } catch (const Exception &) {
        if (table.GetTemplate() != before)
            abort();   // a refused template changes nothing
        return 0;
    }
    // whatever the template did, every question gets an answer or a message
    (void)table.GetTemplate();
    (void)table.RowCount();
    for (int p = 0; p < table.FieldCount(); ++p) {
        try {
            (void)table.GetFieldTitle(p);
            (void)table.GetCell(0, p);
            (void)table.GetFieldWidth(p);
        } catch (const Exception &) {
        }
    }
    try {
        (void)BuildRosterRecs(table);
    } catch (const Exception &) {
        // positions a template moved out of range are refused with a message
    }
    return 0;
}
