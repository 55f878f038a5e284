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
    // after the source has been closed.
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
    virtual void Close() = 0;
    virtual int FieldCount() = 0;
    virtual void ReadRecord(QStringList &values) = 0;
    virtual bool Eof() = 0;
};

// A text file read line by line. A line ends at LF (a CR before it, or any lone CR, is
// dropped); in a file without any LF, as old Macintosh programs wrote them, a line ends at
// CR. Ctrl-Z ends the text. UTF-16 with its byte-order mark (either order) and UTF-8
// (with or without one) are decoded as such, anything else as Windows-1252.
class TImportTextFileReader : public TImportFileReader
{
public:
    using TImportFileReader::TImportFileReader;
    ~TImportTextFileReader() override;

protected:
    bool Open(const QString &fileName) override;
    void Close() override;
    bool Eof() override;

    // The next line's bytes, line break and CRs removed; valid until the next call.
    std::string_view ReadLineBytes();
    QString ReadLine();
    void Rewind();
    QString Decode(std::string_view bytes) const;
    void DecodeUtf16(bool littleEndian);
    // Trimmed (codes 0-32) and decoded.
    QString DecodeTrimmed(std::string_view bytes) const;

private:
    QFile FFile;
    QByteArray FBuffer;          // file contents when it could not be mapped
    const char *FData = nullptr;
    qsizetype FSize = 0;         // up to the first Ctrl-Z
    qsizetype FStart = 0;        // after a byte-order mark
    qsizetype FPos = 0;
    bool FUtf8 = true;
    char FLineEnd = '\n';        // CR in a text without LF
    std::string FLine;           // a line that held CRs
};

class TImportFixedTextReader : public TImportTextFileReader
{
public:
    using TImportTextFileReader::TImportTextFileReader;
    QList<int> ColumnStarts;

protected:
    int FieldCount() override;
    void ReadRecord(QStringList &values) override;
};

class TImportDelimetedTextReader : public TImportTextFileReader
{
public:
    TImportDelimetedTextReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount, char delimiter);
    char Delimiter;

protected:
    int FieldCount() override;
    void ReadRecord(QStringList &values) override;

private:
    std::string FValue;
};

class TImportTabTextReader : public TImportDelimetedTextReader
{
public:
    TImportTabTextReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
        : TImportDelimetedTextReader(std::move(onRecord), std::move(onFieldCount), '\t') {}
};

class TImportCommaTextReader : public TImportDelimetedTextReader
{
public:
    TImportCommaTextReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
        : TImportDelimetedTextReader(std::move(onRecord), std::move(onFieldCount), ',') {}
};

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

// The reader of a file type, or null when the type has none. Column starts are for
// fixed-width text only.
std::unique_ptr<TImportFileReader> CreateImportReader(TImportFileType fileType, TRecordEvent onRecord,
                                                      TFieldCountEvent onFieldCount,
                                                      const TIntArray &fixedColumns = {},
                                                      const QString &fileName = {});
