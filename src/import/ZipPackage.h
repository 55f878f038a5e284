#pragma once
#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QMultiHash>
#include <QString>

#include <memory>

// A zip package (Office Open XML workbook, OpenDocument spreadsheet) opened with libgsf.
// Parts are streamed, never unpacked whole: a hostile file may inflate to gigabytes.

typedef struct _GsfInput GsfInput;
typedef struct _GsfInfile GsfInfile;

// True when the file starts with a zip local header (PK\3\4) rather than, say, the OLE2
// signature of an Excel 97-2003 workbook.
bool IsZipFile(const QString &fileName);

// What the package's directory says of a part, for the check at the end of its reading.
struct TZipPartCheck
{
    QString FileName;          // the package, for the messages
    QString EntryName;         // the part's name in the archive
    QList<quint32> Expected;   // its CRC-32 in the directory; empty when it is not listed
    bool Check = false;        // false for a part over its byte limit: it is never read whole
    std::shared_ptr<int> Unfinished;   // the package's count of parts let go without Finish
};

// One part of a package read as a sequential device, inflated in 64 KB steps. Reading more
// than the part's byte limit, or a part whose data is damaged, fails the read; the owner
// then asks which of the two happened. The CRC-32 of the bytes is taken as they are
// inflated, and Finish compares it: each part is unpacked once.
class TZipPartDevice : public QIODevice
{
public:
    TZipPartDevice(GsfInput *input, QString partName, qint64 maxBytes, TZipPartCheck check);   // takes the reference
    ~TZipPartDevice() override;

    // The reader is done with the part: the rest is inflated (not kept) and the part's CRC-32
    // compared with the directory's. A damaged part raises an error naming the file and the
    // part. Nothing is compared for a part over its limit. Once only; later calls do nothing.
    void Finish();

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

    const QString &PartName() const { return FPartName; }
    qint64 MaxBytes() const { return FMaxBytes; }
    qint64 BytesRead() const { return FRead; }
    bool LimitExceeded() const { return FLimitExceeded; }
    bool Damaged() const { return FDamaged; }
    // A run of bytes without markup longer than the XML parser should ever have to hold:
    // the parser keeps a whole text or tag in memory before it reports it.
    bool RunTooLong() const { return FRunTooLong; }
    bool RunInTag() const { return FInTag; }
    static constexpr qint64 kMaxRun = 1 << 20;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    bool Refill();
    bool ScanRuns(const char *data, qsizetype size);

    GsfInput *FInput;
    QString FPartName;
    qint64 FMaxBytes;
    TZipPartCheck FCheck;
    quint32 FCrc = 0;          // of the FRead bytes
    bool FFinished = false;
    qint64 FRead = 0;          // inflated bytes taken from the part so far
    QByteArray FBuffer;
    qsizetype FPos = 0;
    bool FEnded = false;
    bool FLimitExceeded = false;
    bool FDamaged = false;
    bool FRunTooLong = false;
    bool FInTag = false;       // between '<' and '>'
    qint64 FRun = 0;           // bytes since the last '<' or '>'
    bool FRunBlank = true;     // and all of them blanks
};

class TZipPackage
{
public:
    // Raises an error naming the file when it cannot be opened as a zip archive.
    explicit TZipPackage(const QString &fileName);
    ~TZipPackage();
    TZipPackage(const TZipPackage &) = delete;
    TZipPackage &operator=(const TZipPackage &) = delete;

    // The part at a path inside the package ("xl/workbook.xml"); names are matched ignoring
    // case, as package part names are. Null when there is no such part. Its checksum is
    // compared by the device's Finish, which every reader of a part calls before it reports
    // success (rows streamed before then are refused with the load).
    std::unique_ptr<TZipPartDevice> OpenPart(const QString &path, qint64 maxBytes) const;

    const QString &FileName() const { return FFileName; }

    // Raises when a part handed out was let go without its Finish: a reader that forgot to
    // check one. The readers call it after the last part.
    void RequireAllFinished() const;

    // Longest central directory read: far beyond the few dozen parts of any workbook.
    static constexpr qint64 kMaxDirectoryBytes = 64LL << 20;

private:
    void ReadChecksums();

    QString FFileName;
    GsfInput *FSource = nullptr;
    GsfInfile *FZip = nullptr;
    QMultiHash<QByteArray, quint32> FChecksums;   // entry name (segments joined by '/') -> CRC-32
    std::shared_ptr<int> FUnfinished = std::make_shared<int>(0);
};

// Resolves a relationship target against the folder of the part that names it: relative
// ("worksheets/sheet1.xml" from "xl/workbook.xml") or absolute ("/xl/worksheets/sheet1.xml").
QString ResolvePartPath(const QString &sourcePart, const QString &target);
