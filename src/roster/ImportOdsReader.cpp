#include "roster/ImportSheetReaders.h"
#include "roster/CellText.h"
#include "roster/SheetXml.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

using namespace SheetLimits;

namespace {
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

bool Is(const TXmlPull &xml, std::string_view ns, std::string_view name)
{
    return xml.Name() == name && xml.NamespaceUri() == ns;
}

// An attribute of the current start element.
QString Attr(const TXmlPull &xml, std::string_view ns, std::string_view name)
{
    std::string scratch;
    const std::optional<std::string_view> v = xml.Attribute(ns, name, scratch);
    return v ? QString::fromUtf8(v->data(), qsizetype(v->size())) : QString();
}

// A repeat count: at least 1, and never more than the given cap plus one (enough to tell
// that a cap was passed without counting further).
qint64 RepeatCount(const TXmlPull &xml, std::string_view name, qint64 cap)
{
    const QString v = Attr(xml, kTable, name).trimmed();
    if (v.isEmpty())
        return 1;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok) {
        // Digits beyond the range of a number still mean "very many".
        static const QRegularExpression digits(QStringLiteral("^\\d+$"));
        return digits.match(v).hasMatch() ? cap + 1 : 1;
    }
    return n < 1 ? 1 : std::min<qint64>(n, cap + 1);
}

// "PT13H45M07.5S" → seconds; -1 when it is no duration.
double DurationSeconds(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^(-)?P(?:(\\d+)D)?(?:T(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+(?:[.,]\\d+)?)S)?)?$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch() || m.captured(1) == QLatin1String("-"))
        return -1;
    QString seconds = m.captured(5);
    seconds.replace(QLatin1Char(','), QLatin1Char('.'));
    return m.captured(2).toDouble() * 86400 + m.captured(3).toDouble() * 3600 + m.captured(4).toDouble() * 60
           + seconds.toDouble();
}
} // namespace

class TOdsDocument
{
public:
    explicit TOdsDocument(const QString &fileName) : Package(fileName) {}

    void Load();
    bool NextRow(TSheetRow &row, int keepColumns, bool keepUntilEmpty);

private:
    bool FindTable();
    void StartRow(TSheetRow &row, int index);
    QString ReadCell(bool wanted);
    void ReadParagraph(TCellUtf8 &text);

    TZipPackage Package;
    std::unique_ptr<TXmlPullPart> Content;
    bool InTable = false;
    bool TableDone = false;
    int LastRow = 0;
    qint64 RepeatsLeft = 0;    // further copies of the last row
    QStringList RepeatCells;
};

void TOdsDocument::Load()
{
    auto device = Package.OpenPart(QStringLiteral("content.xml"), kMaxSheetBytes);
    if (!device)
        ThrowSheetError(Package.FileName(),
                        QStringLiteral("it is not an OpenDocument spreadsheet (it has no part \"content.xml\")"));
    Content = std::make_unique<TXmlPullPart>(std::move(device), Package.FileName());
}

// Moves to the first table of the spreadsheet body; false when there is none.
bool TOdsDocument::FindTable()
{
    bool inSpreadsheet = false;
    for (;;) {
        const auto token = Content->Next();
        if (token == TXmlPull::EndDocument)
            return false;
        if (token != TXmlPull::StartElement)
            continue;
        const TXmlPull &xml = Content->Xml();
        if (Is(xml, kOffice, "spreadsheet"))
            inSpreadsheet = true;
        else if (inSpreadsheet && Is(xml, kTable, "table"))
            return true;
    }
}

void TOdsDocument::StartRow(TSheetRow &row, int index)
{
    if (index > kMaxRows)
        Content->Fail(QStringLiteral("has more than %1 rows").arg(Thousands(kMaxRows)));
    LastRow = index;
    row.Index = index;
}

bool TOdsDocument::NextRow(TSheetRow &row, int keepColumns, bool keepUntilEmpty)
{
    if (RepeatsLeft > 0) {
        // A repeated row: the same cells again, one row further down.
        --RepeatsLeft;
        StartRow(row, LastRow + 1);
        row.Cells = RepeatCells;
        return true;
    }
    if (TableDone)
        return false;
    if (!InTable) {
        InTable = FindTable();
        if (!InTable) {
            TableDone = true;
            return false;
        }
    }
    for (;;) {
        const auto token = Content->Next();
        const TXmlPull &xml = Content->Xml();
        if (token == TXmlPull::EndDocument || (token == TXmlPull::EndElement && Is(xml, kTable, "table"))) {
            TableDone = true;
            return false;
        }
        if (token != TXmlPull::StartElement)
            continue;
        if (Is(xml, kTable, "table-row"))
            break;
        // Rows may sit inside header-row and row-group elements; everything else is skipped.
        if (!Is(xml, kTable, "table-header-rows") && !Is(xml, kTable, "table-row-group") && !Is(xml, kTable, "table-rows"))
            Content->Skip();
    }

    const qint64 repeat = RepeatCount(Content->Xml(), "number-rows-repeated", kMaxRows);
    StartRow(row, LastRow + 1);
    row.Cells.clear();

    qint64 column = 1;        // of the next cell
    qsizetype rowText = 0;
    bool stopped = false;     // the first row's first empty cell has been met
    for (;;) {
        const auto token = Content->Next();
        if (token == TXmlPull::EndElement || token == TXmlPull::EndDocument)
            break;
        if (token != TXmlPull::StartElement)
            continue;
        const TXmlPull &xml = Content->Xml();
        const bool covered = Is(xml, kTable, "covered-table-cell");
        if (!covered && !Is(xml, kTable, "table-cell")) {
            Content->Skip();
            continue;
        }
        const qint64 span = RepeatCount(xml, "number-columns-repeated", kMaxColumns);
        const bool wanted = !covered && !stopped && column <= keepColumns;
        // A merged-over cell only takes its place, like the empty cells under an Excel merge.
        const QString text = ReadCell(wanted);
        if (text.isEmpty()) {
            if (keepUntilEmpty && column == row.Cells.size() + 1)
                stopped = true;
            column += span;
            continue;
        }
        if (column + span - 1 > kMaxColumns)
            Content->Fail(QStringLiteral("has a cell beyond column %1").arg(Thousands(kMaxColumns)));
        if (keepUntilEmpty && column > row.Cells.size() + 1)
            stopped = true;
        for (qint64 k = 0; k < span && !stopped && column + k <= keepColumns; ++k) {
            while (row.Cells.size() < column + k - 1)
                row.Cells << QString();
            row.Cells << text;
            rowText += text.size();
            if (rowText > kMaxRowText)
                Content->Fail(QStringLiteral("has a row of more than %1 characters (row %2)")
                                  .arg(Thousands(kMaxRowText))
                                  .arg(row.Index));
        }
        column += span;
    }
    // A row with data repeated past the last row is refused now, not row by row.
    if (repeat > 1 && !row.Cells.isEmpty() && !row.Cells.first().isEmpty() && LastRow + repeat - 1 > kMaxRows)
        Content->Fail(QStringLiteral("has more than %1 rows").arg(Thousands(kMaxRows)));
    RepeatsLeft = repeat - 1;
    RepeatCells = row.Cells;
    return true;
}

// The current cell, read to its end; its text as the cell shows it, when wanted.
QString TOdsDocument::ReadCell(bool wanted)
{
    if (!wanted) {
        Content->Skip();
        return QString();
    }
    // The cell's attributes, taken before its content is read.
    const TXmlPull &xml = Content->Xml();
    const QString type = Attr(xml, kOffice, "value-type");
    const QString value = Attr(xml, kOffice, "value");
    const QString dateValue = Attr(xml, kOffice, "date-value");
    const QString timeValue = Attr(xml, kOffice, "time-value");
    const QString booleanValue = Attr(xml, kOffice, "boolean-value");
    const QString stringValue = Attr(xml, kOffice, "string-value");
    const bool wantText = type.isEmpty() || type == QLatin1String("string");
    TCellUtf8 paragraphText;
    int paragraphs = 0;
    for (;;) {
        const auto token = Content->Next();
        if (token == TXmlPull::EndElement || token == TXmlPull::EndDocument)
            break;
        if (token != TXmlPull::StartElement)
            continue;
        if (wantText && Is(Content->Xml(), kText, "p")) {
            // Paragraphs show one under the other.
            if (paragraphs++ > 0)
                AppendCellText(paragraphText, "\n", *Content);
            ReadParagraph(paragraphText);
        } else {
            Content->Skip();   // annotations, drawings
        }
    }
    QString text = paragraphText.ToString();

    if (type == QLatin1String("float") || type == QLatin1String("percentage") || type == QLatin1String("currency")) {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        return ok ? CellNumberText(number) : text;
    }
    if (type == QLatin1String("date")) {
        const QString v = dateValue.trimmed();
        const QDateTime dt = QDateTime::fromString(v, Qt::ISODateWithMs);
        if (dt.isValid())
            return DateTimeText(dt.date(), dt.time(), dt.time() != QTime(0, 0));
        const QDate date = QDate::fromString(v, Qt::ISODate);
        return date.isValid() ? DateTimeText(date, QTime(0, 0), false) : v;
    }
    if (type == QLatin1String("time")) {
        const QString &v = timeValue;
        const double seconds = DurationSeconds(v);
        return seconds >= 0 ? CellDateText(seconds / 86400.0, false) : v.trimmed();
    }
    if (type == QLatin1String("boolean")) {
        const QString v = booleanValue.trimmed();
        if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1"))
            return CellBooleanText(true);
        if (v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0"))
            return CellBooleanText(false);
        return v;
    }
    if (paragraphs == 0) {
        const QByteArray v = stringValue.toUtf8();
        AppendCellText(paragraphText, std::string_view(v.constData(), size_t(v.size())), *Content);
        text = paragraphText.ToString();
    }
    return text;
}

// The current text:p, read to its end: spans and links give their text, text:s its spaces,
// text:tab a tab, text:line-break a line break; notes and drawings give nothing.
void TOdsDocument::ReadParagraph(TCellUtf8 &text)
{
    int depth = 1;
    while (depth > 0) {
        const auto token = Content->Next();
        const TXmlPull &xml = Content->Xml();
        switch (token) {
        case TXmlPull::Characters: AppendCellText(text, xml.Text(), *Content); break;
        case TXmlPull::EndElement: --depth; break;
        case TXmlPull::EndDocument: return;
        case TXmlPull::StartElement:
            if (Is(xml, kText, "s")) {
                const QString c = Attr(xml, kText, "c").trimmed();
                bool ok = false;
                qlonglong n = c.isEmpty() ? 1 : c.toLongLong(&ok);
                if (!c.isEmpty() && !ok)
                    n = c.startsWith(QLatin1Char('-')) ? 1 : kMaxCellText + 1;
                n = std::clamp<qlonglong>(n, 1, kMaxCellText + 1);
                AppendCellText(text, std::string(size_t(n), ' '), *Content);
                Content->Skip();
            } else if (Is(xml, kText, "tab")) {
                AppendCellText(text, "\t", *Content);
                Content->Skip();
            } else if (Is(xml, kText, "line-break")) {
                AppendCellText(text, "\n", *Content);
                Content->Skip();
            } else if (xml.NamespaceUri() == kText && xml.Name() != "note") {
                ++depth;   // span, a, meta, ...: their text counts
            } else {
                Content->Skip();
            }
            break;
        default: break;
        }
    }
}

// ---------------------------------------------------------------------------------------

TImportOdsReader::TImportOdsReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportSheetReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportOdsReader::~TImportOdsReader() = default;

bool TImportOdsReader::Open(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    if (!IsZipFile(fileName)) {
        const QString unreadable = UnreadableSpreadsheetReason(fileName);
        if (!unreadable.isEmpty())
            ThrowSheetError(fileName, unreadable);
    }
    auto doc = std::make_unique<TOdsDocument>(fileName);
    doc->Load();
    FDoc = std::move(doc);
    ResetRows();
    return true;
}

void TImportOdsReader::Close()
{
    FDoc.reset();
}

bool TImportOdsReader::NextRow(TSheetRow &row)
{
    return FDoc && FDoc->NextRow(row, KeepColumns(), KeepUntilEmpty());
}
