// Comma- and tab-delimited text readers on the same file.
#include "FuzzInput.h"
#include "import/text/ImportTextReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzFile("roster.csv", data, size);
    int fields = -1;
    qsizetype most = 0;
    TImportCommaTextReader comma([&](const QStringList &values) { CheckRecord(values); most = qMax(most, values.size()); },
                                 [&](int n) { fields = n; });
    FuzzImport(comma, path);
    // the announced count is that of the first line: never negative
    if (fields < -1)
        abort();
    FuzzRead<TImportTabTextReader>(path);
    return 0;
}
