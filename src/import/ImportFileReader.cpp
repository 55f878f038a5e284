#include "import/ImportFileReader.h"

#include <QCoreApplication>

TImportFileReader::TImportFileReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : OnFieldCount(std::move(onFieldCount)), OnRecord(std::move(onRecord))
{
}

TImportFileReader::~TImportFileReader() = default;

bool TImportFileReader::Import(const QString &fileName)
{
    TBusyCursorScope busy;
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
        Finish();
    } catch (...) {
        Close();
        throw;
    }
    Close();
    return true;
}

QString TrimmedValue(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}
