#pragma once
#include "import/ImportFileReader.h"

#include <QStringList>

#include <memory>

// One table of an Access (Jet 3/4) database. The database library is not safe on hostile
// files: the program runs this reader only inside corvane-import.
class TImportAccessReader : public TImportFileReader
{
public:
    TImportAccessReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportAccessReader() override;

    // The user tables of a database (system tables left out). Raises on a damaged file.
    static QStringList TableNames(const QString &fileName);

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    int FieldCount() override;
    void ReadRecord(QStringList &values) override;
    bool Eof() override;

public:
    struct Source;   // the open database and table
private:
    std::unique_ptr<Source> Table;
};
