// Fixed-width text reader. The first byte gives up to seven column starts (its low three
// bits the count), the next bytes the gaps between them; the rest is the file.
#include "FuzzInput.h"
#include "import/text/ImportTextReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QList<int> starts;
    size_t pos = 0;
    if (size > 0) {
        const int count = data[pos++] & 7;
        int at = 0;
        for (int i = 0; i < count && pos < size; ++i) {
            at += data[pos++];
            starts << at;
        }
    }
    const QString path = FuzzFile("roster.txt", data + pos, size - pos);
    TImportFixedTextReader reader([](const QStringList &values) { CheckRecord(values); }, [](int) {});
    reader.ColumnStarts = starts;
    FuzzImport(reader, path);
    return 0;
}
