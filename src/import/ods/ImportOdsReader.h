#pragma once
#include "import/ImportSheetReaders.h"

#include <memory>

class TOdsDocument;

// The first table of an OpenDocument spreadsheet (.ods).
class TImportOdsReader : public TImportSheetReader
{
public:
    TImportOdsReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportOdsReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Finish() override;
    void Close() override;
    bool NextRow(TSheetRow &row) override;

private:
    std::unique_ptr<TOdsDocument> FDoc;
};
