#pragma once
#include "import/ImportFileReader.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <string>
#include <string_view>

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
