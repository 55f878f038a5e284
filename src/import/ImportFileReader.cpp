#include "import/ImportFileReader.h"

#include <QCoreApplication>

namespace {
// The hourglass for the whole import, restored however it ends.
class BusyCursor
{
public:
    BusyCursor() { ShowBusyCursor(true); }
    ~BusyCursor() { ShowBusyCursor(false); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};
} // namespace

TImportFileReader::TImportFileReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : OnFieldCount(std::move(onFieldCount)), OnRecord(std::move(onRecord))
{
}

TImportFileReader::~TImportFileReader() = default;

bool TImportFileReader::Import(const QString &fileName)
{
    BusyCursor busy;
    QStringList values;
    // The same reason for every format; a missing file is left to Open.
    CheckReadableFile(fileName);
    if (!Open(fileName))
        return false;
    try {
        if (OnFieldCount)
            OnFieldCount(FieldCount());
        int count = 0;
        while (!Eof()) {
            values.clear();
            ReadRecord(values);
            if (OnRecord)
                OnRecord(values);
            if (++count % 20 == 0 && QCoreApplication::instance())
                QCoreApplication::processEvents();
        }
    } catch (...) {
        Close();
        throw;
    }
    Close();
    return true;
}
