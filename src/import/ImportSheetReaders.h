#pragma once
#include "import/ImportFileReader.h"

#include <QStringList>

#include <memory>

// Limits that keep a hostile workbook from exhausting the machine; Excel's own where it has one.
namespace SheetLimits {
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr int kMaxCellText = 32767;                 // characters in one cell
constexpr qsizetype kMaxRowText = 8 * 1024 * 1024;  // characters kept from one row
constexpr qint64 kMaxSheetBytes = 512LL << 20;      // the sheet part, inflated
constexpr qint64 kMaxStringsBytes = 256LL << 20;    // the shared strings part, inflated
constexpr qsizetype kMaxStringsText = 32 * 1024 * 1024;   // characters kept from it
constexpr qint64 kMaxSmallPartBytes = 32LL << 20;   // workbook, relationships, styles
}

// One row of a worksheet as parsed: its 1-based row number and its cells from column A on
// (a missing cell is an empty text), as many as the reader asked to keep.
struct TSheetRow
{
    int Index = 0;
    QStringList Cells;
    QList<int> Valueless;   // 0-based columns of formulas stored without their value
};

// The Excel rules over a stream of rows: the first row gives the column count (up to its first
// empty cell), and the first row whose column-A cell is empty (or that is missing) ends the data.
// The rows with data after that end are noted, or read when SkipBlankRows asks for them.
class TImportSheetReader : public TImportFileReader
{
public:
    using TImportFileReader::TImportFileReader;

protected:
    int FieldCount() override;
    void ReadRecord(QStringList &values) override;
    bool Eof() override;

    // The next row present in the sheet, in ascending order; false after the last.
    virtual bool NextRow(TSheetRow &row) = 0;
    // Back to the first row, for a freshly opened sheet.
    void ResetRows();

    // How many cells from column A a row keeps; until the column count is known, the first
    // row keeps cells up to its first empty one.
    int KeepColumns() const { return FColumnsKnown ? std::max(ColumnCount, 1) : SheetLimits::kMaxColumns; }
    bool KeepUntilEmpty() const { return !FColumnsKnown; }

    int CurrentRow = 1;
    int ColumnCount = 0;

private:
    const TSheetRow *RowAt(int index);
    bool HasData(const TSheetRow &row) const;
    void NoteRowsAfterEnd();

    TSheetRow FRow;
    bool FHaveRow = false;
    bool FEnded = false;
    bool FColumnsKnown = false;
    int FNextDataRow = 0;   // with SkipBlankRows: the row with data the records are heading for
};

class TXlsxWorkbook;
class TOdsDocument;

// The first worksheet of an Office Open XML workbook (.xlsx, .xlsm).
class TImportXlsxReader : public TImportSheetReader
{
public:
    TImportXlsxReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportXlsxReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    bool NextRow(TSheetRow &row) override;

private:
    std::unique_ptr<TXlsxWorkbook> FBook;
};

// The first table of an OpenDocument spreadsheet (.ods).
class TImportOdsReader : public TImportSheetReader
{
public:
    TImportOdsReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    ~TImportOdsReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    bool NextRow(TSheetRow &row) override;

private:
    std::unique_ptr<TOdsDocument> FDoc;
};

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

// Why a file that is a spreadsheet of a kind no reader takes (Excel 2003 XML, flat
// OpenDocument) cannot be read, with what to save it as; empty for anything else.
QString UnreadableSpreadsheetReason(const QString &fileName);

// The reader for the "MS Excel" file type: the Office Open XML reader when the file is a zip
// package, else the Excel 97-2003 reader.
std::unique_ptr<TImportFileReader> MakeExcelReader(const QString &fileName, TRecordEvent onRecord,
                                                   TFieldCountEvent onFieldCount);
