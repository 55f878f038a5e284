#pragma once
#include "import/ImportSheetReaders.h"

#include <memory>

struct TExcelBook;

// The first worksheet of an Excel 97-2003 or 5.0/95 workbook. Formulas give their stored
// results; values read as Excel shows them (see CellText.h). Open checks the whole sheet;
// its rows are then handed on as its records are read.
class TImportExcelReader : public TImportSheetReader
{
public:
    TImportExcelReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportExcelReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    bool NextRow(TSheetRow &row) override;

private:
    std::unique_ptr<TExcelBook> FBook;
    QString FFileName;
};
