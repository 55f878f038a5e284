#pragma once
#include "import/ImportFileReader.h"

#include <QString>

#include <memory>

// A dBase III/IV or FoxPro 2 table; deleted records are left out, memo texts are read from
// the memo file beside it, text is decoded by the table's code page.
class TImportDBaseReader : public TImportFileReader
{
public:
    TImportDBaseReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportDBaseReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    int FieldCount() override;
    void ReadRecord(QStringList &values) override;
    bool Eof() override;

private:
    void *Table = nullptr;    // DBFHandle
    QString FFileName;
    int FRecords = 0;         // records actually present in the file
    int FCurrent = 0;
    struct Text;              // code page and memo file
    std::unique_ptr<Text> FText;
};
