#include "import/ImportSheetReaders.h"
#include "roster/ImportTable.h"
#include "import/SheetXml.h"
#include "import/excel/ImportExcelReader.h"
#include "import/xlsx/ImportXlsxReader.h"
#include "app/Exceptions.h"

#include <QFile>
#include <QLocale>

using namespace SheetLimits;

// ---------------------------------------------------------------------------------------
// XML parts

void ThrowSheetError(const QString &fileName, const QString &why)
{
    throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, why));
}

TXmlPart::TXmlPart(std::unique_ptr<TZipPartDevice> device, QString fileName)
    : FDevice(std::move(device)), FFileName(std::move(fileName))
{
    FXml.setDevice(FDevice.get());
}

void TXmlPart::Fail(const QString &why) const
{
    FDevice->Finish();
    ThrowSheetError(FFileName, QStringLiteral("the part \"%1\" %2").arg(FDevice->PartName(), why));
}

QXmlStreamReader::TokenType TXmlPart::Next()
{
    const QXmlStreamReader::TokenType token = FXml.readNext();
    if (token == QXmlStreamReader::Invalid) {
        if (FDevice->LimitExceeded())
            Fail(QStringLiteral("is larger than %1 MB when unpacked").arg(FDevice->MaxBytes() >> 20));
        if (FDevice->Damaged())
            Fail(QStringLiteral("cannot be unpacked (the file is damaged or truncated)"));
        if (FDevice->RunTooLong() && FDevice->RunInTag())
            Fail(QStringLiteral("has an element of more than %1 MB").arg(TZipPartDevice::kMaxRun >> 20));
        if (FDevice->RunTooLong())
            Fail(QStringLiteral("has a cell of more than %1 characters").arg(Thousands(kMaxCellText)));
        Fail(QStringLiteral("is damaged: %1 (line %2)").arg(FXml.errorString()).arg(FXml.lineNumber()));
    }
    if (token == QXmlStreamReader::DTD)
        Fail(QStringLiteral("carries a document type declaration, which no workbook has"));
    if (token == QXmlStreamReader::StartElement && ++FDepth > kMaxDepth)
        Fail(QStringLiteral("nests its elements more than %1 deep").arg(kMaxDepth));
    if (token == QXmlStreamReader::EndElement)
        --FDepth;
    return token;
}

void TXmlPart::Skip()
{
    int depth = 1;
    while (depth > 0) {
        switch (Next()) {
        case QXmlStreamReader::StartElement: ++depth; break;
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::EndDocument: return;
        default: break;
        }
    }
}

QString Thousands(qint64 n)
{
    QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(n);
}

void AppendCellText(QString &cell, QStringView text, const TXmlPart &part)
{
    if (cell.size() + text.size() > kMaxCellText)
        part.Fail(QStringLiteral("has a cell of more than %1 characters").arg(Thousands(kMaxCellText)));
    cell += text;
}

QString DecodeOoxmlEscapes(const QString &text)
{
    qsizetype at = text.indexOf(QLatin1String("_x"));
    if (at < 0)
        return text;
    auto hex = [](QChar c) {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9') return int(u - '0');
        if (u >= 'a' && u <= 'f') return int(u - 'a' + 10);
        if (u >= 'A' && u <= 'F') return int(u - 'A' + 10);
        return -1;
    };
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (at >= 0) {
        int value = 0;
        bool ok = at + 7 <= text.size() && text[at + 6] == QLatin1Char('_');
        for (int i = 2; ok && i < 6; ++i) {
            const int d = hex(text[at + i]);
            ok = d >= 0;
            value = value * 16 + d;
        }
        if (ok) {
            out += QStringView(text).mid(from, at - from);
            out += QChar(char16_t(value));
            from = at + 7;
            at = text.indexOf(QLatin1String("_x"), from);
        } else {
            at = text.indexOf(QLatin1String("_x"), at + 1);
        }
    }
    out += QStringView(text).mid(from);
    return out;
}

// ---------------------------------------------------------------------------------------
// Rows by the Excel rules

void TImportSheetReader::ResetRows()
{
    Notes = TImportNotes();
    FNextDataRow = 0;
    FRow = TSheetRow();
    FHaveRow = false;
    FEnded = false;
    FColumnsKnown = false;
    CurrentRow = 1;
    ColumnCount = 0;
}

const TSheetRow *TImportSheetReader::RowAt(int index)
{
    while (!FEnded && (!FHaveRow || FRow.Index < index)) {
        FHaveRow = NextRow(FRow);
        FEnded = !FHaveRow;
    }
    return FHaveRow && FRow.Index == index ? &FRow : nullptr;
}

int TImportSheetReader::FieldCount()
{
    int count = 0;
    if (const TSheetRow *first = RowAt(1)) {
        while (count < first->Cells.size() && !first->Cells[count].isEmpty())
            ++count;
    }
    ColumnCount = count;
    FColumnsKnown = true;
    return ColumnCount;
}

bool TImportSheetReader::HasData(const TSheetRow &row) const
{
    const qsizetype n = std::min<qsizetype>(row.Cells.size(), std::max(ColumnCount, 1));
    for (qsizetype c = 0; c < n; ++c)
        for (const QChar ch : row.Cells[c])
            if (ch.unicode() > 32)   // not trimmed away
                return true;
    return !row.Valueless.isEmpty() && row.Valueless.first() < std::max(ColumnCount, 1);
}

// The data ended at CurrentRow: looks on to the sheet's end for rows that still hold data.
void TImportSheetReader::NoteRowsAfterEnd()
{
    Notes.EndRow = CurrentRow;
    for (int index = CurrentRow;; ++index) {   // the end row itself may hold data beside column A
        const TSheetRow *row = RowAt(index);
        if (!row) {
            if (FEnded)
                return;
            index = FRow.Index - 1;   // a gap in the row numbers
            continue;
        }
        if (HasData(*row)) {
            if (Notes.FirstRowAfter == 0)
                Notes.FirstRowAfter = index;
            Notes.LastRowAfter = index;
        }
    }
}

bool TImportSheetReader::Eof()
{
    // Past the last row the sheet can have, the source raises its error.
    if (SkipBlankRows) {
        // Every row up to the last with data makes a record, the empty ones empty records
        // (which the table leaves out): the records keep the sheet's row numbers.
        if (CurrentRow < FNextDataRow)
            return false;
        for (int index = CurrentRow;; ++index) {
            const TSheetRow *row = RowAt(index);
            if (row && HasData(*row)) {
                FNextDataRow = index;
                return false;
            }
            if (!row && FEnded)
                return true;
            if (!row)
                index = FRow.Index - 1;   // a gap in the row numbers
        }
    }
    const TSheetRow *row = RowAt(CurrentRow);
    const bool ended = !row || row->Cells.isEmpty() || row->Cells.first().isEmpty();
    if (ended && Notes.EndRow == 0 && !(FEnded && !row))
        NoteRowsAfterEnd();
    return ended;
}

void TImportSheetReader::ReadRecord(QStringList &values)
{
    const TSheetRow *row = RowAt(CurrentRow);
    values.reserve(ColumnCount);
    for (int c = 0; c < ColumnCount; ++c)
        values.append(row && c < row->Cells.size() ? TrimmedValue(row->Cells[c]) : QString());
    if (row)
        for (int c : row->Valueless)
            if (c < ColumnCount)
                Notes.AddValuelessFormula(c);
    ++CurrentRow;
}

// ---------------------------------------------------------------------------------------

QString UnreadableSpreadsheetReason(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Both are XML text: their root element and namespaces come early.
    const QByteArray head = f.read(64 * 1024);
    if (!head.contains('<'))
        return {};
    if (head.contains("urn:schemas-microsoft-com:office:spreadsheet") || head.contains("progid=\"Excel.Sheet\""))
        return QStringLiteral("it is an Excel 2003 XML spreadsheet, which cannot be read; save it as .xlsx");
    if (head.contains("urn:oasis:names:tc:opendocument:xmlns:office:1.0") && head.contains("office:document"))
        return QStringLiteral("it is a flat OpenDocument spreadsheet (.fods), which cannot be read; save it as .ods");
    return {};
}

std::unique_ptr<TImportFileReader> MakeExcelReader(const QString &fileName, TRecordEvent onRecord,
                                                   TFieldCountEvent onFieldCount)
{
    // By content, not by extension: a workbook saved as .xls may well be a zip package.
    if (IsZipFile(fileName))
        return std::make_unique<TImportXlsxReader>(std::move(onRecord), std::move(onFieldCount));
    return std::make_unique<TImportExcelReader>(std::move(onRecord), std::move(onFieldCount));
}
