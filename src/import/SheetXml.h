#pragma once
#include "import/XmlPull.h"
#include "import/ZipPackage.h"

#include <QString>
#include <QXmlStreamReader>

#include <memory>

// Helpers shared by the Office Open XML and OpenDocument readers.

// "Cannot read "<file>": <why>." as an error.
[[noreturn]] void ThrowSheetError(const QString &fileName, const QString &why);

// One XML part of a package, streamed. Every failure (damaged XML, damaged or oversized zip
// entry, a document type declaration) raises an error naming the file and the part.
class TXmlPart
{
public:
    TXmlPart(std::unique_ptr<TZipPartDevice> device, QString fileName);

    // The next token; never Invalid (that raises) and never a DTD (refused).
    QXmlStreamReader::TokenType Next();
    // Reads to the end element of the current element.
    void Skip();
    // At the end of the part (EndDocument reached).
    bool AtEnd() const { return FXml.atEnd(); }
    // Done with the part, wherever the reading stopped: its checksum is compared (see
    // TZipPartDevice::Finish). Every reader calls it before it uses what it read.
    void Finish() { FDevice->Finish(); }
    // A damaged part is reported as damaged rather than by what its damage made of the XML.
    [[noreturn]] void Fail(const QString &why) const;

    QXmlStreamReader &Xml() { return FXml; }
    const QString &FileName() const { return FFileName; }
    const QString &PartName() const { return FDevice->PartName(); }

    // Deeper than any workbook nests its elements; the parser keeps every open element.
    static constexpr int kMaxDepth = 256;

private:
    std::unique_ptr<TZipPartDevice> FDevice;
    QXmlStreamReader FXml;
    QString FFileName;
    int FDepth = 0;
};

// The same over the fast tokenizer, for the parts that can be large (worksheet, shared
// strings): the same errors, the same limits.
class TXmlPullPart
{
public:
    TXmlPullPart(std::unique_ptr<TZipPartDevice> device, QString fileName);

    // The next token; never Invalid (that raises).
    TXmlPull::TToken Next();
    // Reads to the end element of the current element.
    void Skip();
    // As TXmlPart's.
    void Finish() { FDevice->Finish(); }
    [[noreturn]] void Fail(const QString &why) const;

    TXmlPull &Xml() { return FXml; }
    const QString &FileName() const { return FFileName; }
    const QString &PartName() const { return FDevice->PartName(); }

private:
    std::unique_ptr<TZipPartDevice> FDevice;
    TXmlPull FXml;
    QString FFileName;
};

// A cell's text gathered as UTF-8 and made a string once; its size counted as the string's.
struct TCellUtf8
{
    QByteArray Bytes;
    qsizetype Units = 0;   // UTF-16 code units
    QString ToString() const { return QString::fromUtf8(Bytes); }
};

// Appends UTF-8 text to a cell, raising the cell-size error past Excel's limit.
void AppendCellText(TCellUtf8 &cell, std::string_view text, const TXmlPullPart &part);

// Appends text to a cell, raising the cell-size error past Excel's limit of 32,767 characters.
void AppendCellText(QString &cell, QStringView text, const TXmlPart &part);

// A count for a message: "1,048,576".
QString Thousands(qint64 n);

// Office Open XML escapes characters XML cannot carry as _xHHHH_; gives them back.
QString DecodeOoxmlEscapes(const QString &text);
