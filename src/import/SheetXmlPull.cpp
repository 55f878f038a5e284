#include "import/ImportSheetReaders.h"
#include "import/SheetXml.h"

using namespace SheetLimits;

TXmlPullPart::TXmlPullPart(std::unique_ptr<TZipPartDevice> device, QString fileName)
    : FDevice(std::move(device)), FXml(FDevice.get(), TXmlPart::kMaxDepth, TZipPartDevice::kMaxRun),
      FFileName(std::move(fileName))
{
}

void TXmlPullPart::Fail(const QString &why) const
{
    FDevice->Finish();
    ThrowSheetError(FFileName, QStringLiteral("the part \"%1\" %2").arg(FDevice->PartName(), why));
}

TXmlPull::TToken TXmlPullPart::Next()
{
    const TXmlPull::TToken token = FXml.Next();
    if (token != TXmlPull::Invalid)
        return token;
    if (FDevice->LimitExceeded())
        Fail(QStringLiteral("is larger than %1 MB when unpacked").arg(FDevice->MaxBytes() >> 20));
    if (FDevice->Damaged())
        Fail(QStringLiteral("cannot be unpacked (the file is damaged or truncated)"));
    if (FDevice->RunTooLong() && FDevice->RunInTag())
        Fail(QStringLiteral("has an element of more than %1 MB").arg(TZipPartDevice::kMaxRun >> 20));
    if (FDevice->RunTooLong())
        Fail(QStringLiteral("has a cell of more than %1 characters").arg(Thousands(kMaxCellText)));
    switch (FXml.Error()) {
    case TXmlPull::DocType: Fail(QStringLiteral("carries a document type declaration, which no workbook has"));
    case TXmlPull::TooDeep: Fail(QStringLiteral("nests its elements more than %1 deep").arg(TXmlPart::kMaxDepth));
    case TXmlPull::TooLong:
        Fail(QStringLiteral("has an element of more than %1 MB").arg(TZipPartDevice::kMaxRun >> 20));
    default: break;
    }
    Fail(QStringLiteral("is damaged: %1 (line %2)").arg(FXml.ErrorString()).arg(FXml.LineNumber()));
}

void TXmlPullPart::Skip()
{
    int depth = 1;
    while (depth > 0) {
        switch (Next()) {
        case TXmlPull::StartElement: ++depth; break;
        case TXmlPull::EndElement: --depth; break;
        case TXmlPull::EndDocument: return;
        default: break;
        }
    }
}

void AppendCellText(TCellUtf8 &cell, std::string_view text, const TXmlPullPart &part)
{
    // UTF-16 units: every byte but continuation bytes, and two for a four-byte sequence.
    qsizetype units = 0;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        units += (b & 0xC0) != 0x80;
        units += b >= 0xF0;
    }
    if (cell.Units + units > kMaxCellText)
        part.Fail(QStringLiteral("has a cell of more than %1 characters").arg(Thousands(kMaxCellText)));
    cell.Units += units;
    cell.Bytes.append(text.data(), qsizetype(text.size()));
}
