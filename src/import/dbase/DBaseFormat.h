#pragma once
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// What the dBase reader checks and reads itself, around the table library: the header (so
// that other formats and dBase versions the library would misread are refused), the code
// page and the memo file.

struct TDBaseField
{
    char Type = 0;
    int Width = 0;       // bytes in the record
};

struct TDBaseHeader
{
    quint8 Version = 0;
    quint8 LanguageDriver = 0;
    quint32 Records = 0;       // as declared; not trusted
    int HeaderLength = 0;
    int RecordLength = 0;
    QList<TDBaseField> Fields;

    bool HasMemoFields() const;
};

// Reads and checks the header of the table file; raises a message naming the file when it is
// not a dBase table, or one of a version that is not read.
TDBaseHeader ReadDBaseHeader(const QString &fileName);

// The code page a table's language-driver byte declares; 0 when it declares none.
int DBaseCodePage(quint8 languageDriver);

// The memo file (.dbt or .fpt) beside a table: memo texts by block number.
class TDBaseMemoFile
{
public:
    // Finds and opens the memo file of the table; raises when it is missing or unreadable.
    void Open(const QString &tableName, quint8 version);
    bool IsOpen() const { return FFile.isOpen(); }
    QString FileName() const { return FFile.fileName(); }
    // The bytes of the memo starting at the given block; empty for block 0. Raises when the
    // block lies outside the file.
    QByteArray Read(qint64 block, int record);

    static constexpr qint64 MaxMemoBytes = 1 << 20;   // longer memos are cut

private:
    enum Kind { DBase3, DBase4, FoxPro };
    QFile FFile;
    QString FTableName;
    Kind FKind = DBase3;
    qint64 FBlockSize = 512;
    qint64 FSize = 0;
};
