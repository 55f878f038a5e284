#pragma once
#include "roster/ImportFileType.h"
#include "roster/ImportHooks.h"
#include "roster/ImportNotes.h"

#include <QString>
#include <QStringList>

#include <functional>

// Roster files are untrusted: every reader runs in the separate program corvane-import,
// which streams the records back. A crash, a hang or a resource limit there becomes an
// Exception naming the file here.

// One record as views of its values; they hold only during the call.
using TRecordViewsEvent = std::function<void(const QStringView *values, qsizetype count)>;

// Reads the file through corvane-import and hands the records to the two callbacks, as
// TImportFileReader::Import would. A database asks for its table through TableChooser().
// False when the file could not be opened or the table choice was cancelled. What the reading
// noted goes to notes; skipBlankRows reads a sheet's rows after an empty column-A cell too.
bool ImportThroughProcess(const QString &fileName, TImportFileType fileType, const TIntArray &fixedColumns,
                          const TRecordViewsEvent &onRecord, const TFieldCountEvent &onFieldCount,
                          TImportNotes *notes = nullptr, bool skipBlankRows = false);

// The user tables of a database, listed by corvane-import.
QStringList ImportProcessTableNames(const QString &fileName);

// Where corvane-import is: $CORVANE_IMPORT, else beside the running program, else in
// ../libexec/corvane-lite/ (the installed layout). Empty when none exists.
QString ImportProgramPath();

// Limits of one reading. The wall clock is watched here; the others are set on the child
// (where the platform allows). $CORVANE_IMPORT_TIMEOUT_MS overrides the wall clock.
struct TImportLimits
{
    int wallClockMs = 120000;
    int cpuSeconds = 60;
    qint64 addressSpace = qint64(2) << 30;   // not applied in sanitizer builds
};
void SetImportLimits(const TImportLimits &limits);
TImportLimits ImportLimits();

// Called now and then while a reading runs, with the rows received so far.
using TImportProgress = std::function<void(int rows)>;
void SetImportProgress(TImportProgress progress);

// Stops the reading that is running, if any (the program is closing); it then returns false.
void CancelImportProcess();
