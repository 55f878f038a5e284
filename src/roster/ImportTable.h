#pragma once
#include "roster/ImportFileType.h"
#include "roster/ImportNotes.h"
#include "roster/RosterRec.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

using TFieldCountEvent = std::function<void(int count)>;
using TRecordEvent = std::function<void(const QStringList &values)>;

// What a roster column carries.
enum TImportFieldKind : quint8 {
    fkDoNotImport = 0,
    fkSSN = 1,
    fkLastName = 2,
    fkFirstName = 3,
    fkInitial = 4,
    fkGender = 5,
    fkRank = 6,
    fkPhone = 7,
    fkOrganization = 8,
    fkBacBicMcc = 9,
    fkUicRuc = 10,
};

using TStrArray = QStringList;

struct TMemTableRow
{
    TStrArray Cells;
    int Tag = -1;
};
using TMemTableData = QList<TMemTableRow>;

struct TImportField
{
    quint8 FieldKind = fkDoNotImport;
    int Position = 0;   // grid column in which this data column is shown
    int Width = 0;      // longest text seen in the column, in characters
};
using TFields = QList<TImportField>;

// The roster file's contents as rows of text cells plus one description per column.
// Columns are addressed by display position, rows by data-row index (header excluded).
// SSN and gender cells are normalised when read, not when stored.
class TImportTable
{
public:
    TImportTable() = default;

    // Replaces rows and fields with the file's contents. False when the file could not be
    // opened (missing, or the user cancelled the table choice). Reader errors pass on and
    // leave the table empty (no rows, no fields). The reader runs in the program corvane-import.
    bool LoadFromFile(const QString &fileName, TImportFileType fileType);
    // The same with the reader in this process: for testing and fuzzing the readers only.
    bool LoadInProcess(const QString &fileName, TImportFileType fileType);
    // Reads the file as LoadFromFile does but keeps no rows: every data row becomes a roster
    // record at once, as BuildRosterRecs would make it with these field kinds by column
    // (IgnoreHeader set beforehand skips the first row). The fields and their kinds are
    // set as after LoadFromFile and SetFieldKind. For a roster read once and never shown.
    // Reader errors pass on and leave recs and the table empty.
    bool LoadRosterRecs(const QString &fileName, TImportFileType fileType, const QList<TImportFieldKind> &kinds,
                        TRosterRecs &recs);

    QString GetTemplate() const;
    void ApplyTemplate(const QString &templ);

    int FieldCount() const { return int(FFields.size()); }
    int RowCount() const;
    int HeaderOffset() const { return IgnoreHeader ? 1 : 0; }

    int IndexOfPosition(int position) const;
    TImportFieldKind GetFieldKind(int position) const;
    void SetFieldKind(int position, TImportFieldKind kind);
    int GetFieldWidth(int position) const;
    // Also widens the field to the title's length (the grid sizes columns from the width).
    QString GetFieldTitle(int position) const;
    QString GetCell(int row, int position) const;
    // The cell's text as read: not trimmed, not normalised. Empty past the row's end; valid
    // until the rows change.
    QStringView RawCell(int row, int position) const;

    void SetFieldCount(int count);
    void EnsureFields(int count);
    void AddRow(const QStringList &values);
    void AddRow(const QStringView *values, qsizetype count);
    void ClearRows();

    // Column starts for fixed-width files (0-based character offsets, ascending).
    const TIntArray &FixedColumns() const { return FFixedColumns; }
    void SetFixedColumns(const TIntArray &starts) { FFixedColumns = starts; }

    static QString NormalizeSSN(QStringView text);
    static QString NormalizeGender(QStringView text);
    static QString KindTitle(quint8 kind);

    bool IgnoreHeader = false;
    // Set before loading: a sheet's rows after an empty column-A cell are read too.
    bool SkipBlankRows = false;
    // What the last load noted (rows left after the end, formulas without values).
    TImportNotes Notes;

private:
    // Cell texts back to back in large blocks; a row is where its cells start in one block,
    // a cell the end of its text. A large roster costs its text, not a string per cell.
    struct TRowSpan
    {
        int Block = 0;
        qsizetype Start = 0;     // in the block
        qsizetype FirstCell = 0; // in FCellEnds
        int CellCount = 0;
    };
    QStringView CellText(qsizetype row, int index) const;
    // No rows, no fields, no notes.
    void Clear();
    // The rule every stored or streamed row passes; widens the fields.
    bool AcceptRow(const QStringView *values, qsizetype count);
    QList<QString> FText;
    QList<TRowSpan> FRows;
    QList<qsizetype> FCellEnds;   // offset after each cell's text in its block
    int FRecordsSeen = 0;           // records offered since the rows were cleared
    QList<int> FRowsWithoutFirstValue;
    mutable TFields FFields;   // GetFieldTitle raises Width
    TIntArray FFixedColumns;
};

// Every leading and trailing character of code 0 to 32 removed.
QString TrimmedText(QStringView text);

// One roster record per data row: 'DOE, JOHN Q.'; when several columns share a kind the
// rightmost (highest display position) wins.
TRosterRecs BuildRosterRecs(const TImportTable &table);
