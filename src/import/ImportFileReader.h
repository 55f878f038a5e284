#pragma once
#include "roster/ImportFileType.h"
#include "roster/ImportHooks.h"
#include "roster/ImportNotes.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

// The value without leading and trailing characters of code 0 to 32 (blanks, tabs, line
// breaks, NULs); the same string when there are none.
QString TrimmedValue(const QString &s);

// Turns one roster source into a stream of records of trimmed strings. Each format supplies
// the five primitives; Import drives them the same way for all.
class TImportFileReader
{
public:
    TImportFileReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount);
    virtual ~TImportFileReader();
    TImportFileReader(const TImportFileReader &) = delete;
    TImportFileReader &operator=(const TImportFileReader &) = delete;

    // True when the source was opened and read to its end; errors while reading pass on
    // after the source has been closed. Records already given to OnRecord stand for nothing
    // until it returns true: the damage of a zip part is only known at its end.
    bool Import(const QString &fileName);

    TFieldCountEvent OnFieldCount;
    TRecordEvent OnRecord;
    // Set before Import: a sheet's rows after an empty column-A cell are read too (rows
    // without data skipped) instead of ending the data there.
    bool SkipBlankRows = false;
    // Filled by Import.
    TImportNotes Notes;

protected:
    virtual bool Open(const QString &fileName) = 0;
    // After the last record, before Close: checks of what was read that can only come at
    // its end (a zip part's checksum). Raises like a read.
    virtual void Finish() {}
    virtual void Close() = 0;
    virtual int FieldCount() = 0;
    virtual void ReadRecord(QStringList &values) = 0;
    virtual bool Eof() = 0;
};

// The reader of a file type, or null when the type has none. Column starts are for
// fixed-width text only.
std::unique_ptr<TImportFileReader> CreateImportReader(TImportFileType fileType, TRecordEvent onRecord,
                                                      TFieldCountEvent onFieldCount,
                                                      const TIntArray &fixedColumns = {},
                                                      const QString &fileName = {});
