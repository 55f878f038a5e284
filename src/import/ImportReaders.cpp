// The readers themselves, for the program that runs them (corvane-import), tests and fuzzing.
// Kept apart from the table so that the programs reading through corvane-import do not link
// the file-format libraries.
#include "import/ImportFileReader.h"
#include "import/ImportSheetReaders.h"
#include "import/access/ImportAccessReader.h"
#include "import/dbase/ImportDBaseReader.h"
#include "import/excel/ImportExcelReader.h"
#include "import/ods/ImportOdsReader.h"
#include "import/text/ImportTextReaders.h"
#include "roster/ImportTable.h"

#include <memory>

std::unique_ptr<TImportFileReader> CreateImportReader(TImportFileType fileType, TRecordEvent onRecord,
                                                      TFieldCountEvent onFieldCount, const TIntArray &fixedColumns,
                                                      const QString &fileName)
{
    switch (fileType) {
    case iftFixedText: {
        auto fixed = std::make_unique<TImportFixedTextReader>(std::move(onRecord), std::move(onFieldCount));
        fixed->ColumnStarts = fixedColumns;
        return fixed;
    }
    case iftTabText: return std::make_unique<TImportTabTextReader>(std::move(onRecord), std::move(onFieldCount));
    case iftCommaText: return std::make_unique<TImportCommaTextReader>(std::move(onRecord), std::move(onFieldCount));
    case iftAccess: return std::make_unique<TImportAccessReader>(std::move(onRecord), std::move(onFieldCount));
    case iftExcel:
        // .xlsx/.xlsm are zip packages, .xls an OLE2 file: the content decides, not the name
        if (!fileName.isEmpty())
            return MakeExcelReader(fileName, std::move(onRecord), std::move(onFieldCount));
        return std::make_unique<TImportExcelReader>(std::move(onRecord), std::move(onFieldCount));
    case iftDBase: return std::make_unique<TImportDBaseReader>(std::move(onRecord), std::move(onFieldCount));
    case iftOds: return std::make_unique<TImportOdsReader>(std::move(onRecord), std::move(onFieldCount));
    default: return nullptr;
    }
}

bool TImportTable::LoadInProcess(const QString &fileName, TImportFileType fileType)
{
    SetFieldCount(0);
    ClearRows();
    std::unique_ptr<TImportFileReader> reader = CreateImportReader(
        fileType, [this](const QStringList &values) { AddRow(values); }, [this](int count) { EnsureFields(count); },
        FFixedColumns, fileName);
    Notes = TImportNotes();
    if (!reader)
        return false;
    reader->SkipBlankRows = SkipBlankRows;
    bool read = false;
    try {
        read = reader->Import(fileName);
    } catch (...) {
        Clear();   // as LoadFromFile
        throw;
    }
    Notes = reader->Notes;
    Notes.RowsWithoutFirstValue = FRowsWithoutFirstValue;
    return read;
}
