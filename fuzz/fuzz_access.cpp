// Access database reader, in this process; the first table is chosen.
#include "FuzzInput.h"
#include "import/access/ImportAccessReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool chooser = [] {
        SetTableChooser([](const QStringList &tables, QString &chosen) {
            chosen = tables.value(0);
            return !tables.isEmpty();
        });
        return true;
    }();
    Q_UNUSED(chooser);
    FuzzRead<TImportAccessReader>(FuzzFile("roster.mdb", data, size));
    return 0;
}
