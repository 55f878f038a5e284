#pragma once
#include "import/ImportSheetReaders.h"

#include <memory>

class TXlsxWorkbook;

// The first worksheet of an Office Open XML workbook (.xlsx, .xlsm).
class TImportXlsxReader : public TImportSheetReader
{
public:
    TImportXlsxReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportXlsxReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Finish() override;
    void Close() override;
    bool NextRow(TSheetRow &row) override;

private:
    std::unique_ptr<TXlsxWorkbook> FBook;
};
