#include "import/ods/ImportOdsReader.h"
#include "import/ImportSheetReaders.h"
#include "import/CellText.h"
#include "import/SheetXml.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <QLocale>
#include <QRegularExpression>

using namespace SheetLimits;

namespace {
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view kNumber = "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0";

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
    // The rows are all read: the content's checksum, over the rest of it too.
    void Finish()
    {
        Content->Finish();
        Package.RequireAllFinished();
    }

private:
    bool FindTable();
    void ReadNumberStyle();
    void ReadTableColumn();
    QString CellStyle(const QString &cellStyle, const QString &rowStyle, qint64 column) const;
    void StartRow(TSheetRow &row, int index);
    QString ReadCell(bool wanted, const QString &style, bool &valueless);
    void ReadParagraph(TCellUtf8 &text);

    TZipPackage Package;
    std::unique_ptr<TXmlPullPart> Content;
    bool InTable = false;
    bool TableDone = false;
    int LastRow = 0;
    qint64 RepeatsLeft = 0;    // further copies of the last row
    QStringList RepeatCells;
    QList<int> RepeatValueless;
    // Zero padding of numbers: the pad pattern of each number style that pads, the number
    // style of each cell style, and the default cell style of each column (runs of them).
    QHash<QString, QString> PadStyles;
    QHash<QString, QString> CellDataStyles;
    QList<std::pair<qint64, QString>> ColumnStyles;   // (last column of the run, style)
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
        if (Is(xml, kOffice, "spreadsheet")) {
            inSpreadsheet = true;
        } else if (inSpreadsheet && Is(xml, kTable, "table")) {
            return true;
        } else if (Is(xml, kNumber, "number-style")) {
            ReadNumberStyle();
        } else if (Is(xml, kStyle, "style")) {
            const QString dataStyle = Attr(xml, kStyle, "data-style-name");
            if (!dataStyle.isEmpty() && CellDataStyles.size() < 65536)
                CellDataStyles.insert(Attr(xml, kStyle, "name"), dataStyle);
        }
    }
}

// A number:number-style, read to its end. It pads when it is one whole number with a minimum
// of integer digits and literal text around or inside it ("000-00-0000"), nothing else.
void TOdsDocument::ReadNumberStyle()
{
    const QString name = Attr(Content->Xml(), kStyle, "name");
    QString before, after;
    int digits = -1;
    QList<std::pair<int, QString>> embedded;   // (digits to its right, text)
    bool pads = true;
    int depth = 1;
    while (depth > 0) {
        const auto token = Content->Next();
        if (token == TXmlPull::EndDocument)
            return;
        if (token == TXmlPull::EndElement) {
            --depth;
            continue;
        }
        if (token != TXmlPull::StartElement)
            continue;
        const TXmlPull &xml = Content->Xml();
        auto text = [&] {
            TCellUtf8 t;
            ReadParagraph(t);
            return t.ToString();
        };
        if (Is(xml, kNumber, "number") && digits < 0) {
            const QString places = Attr(xml, kNumber, "decimal-places").trimmed();
            const QString grouping = Attr(xml, kNumber, "grouping").trimmed();
            bool ok = false;
            digits = Attr(xml, kNumber, "min-integer-digits").trimmed().toInt(&ok);
            pads = pads && ok && digits >= 1 && digits <= 30 && (places.isEmpty() || places == QLatin1String("0"))
                   && grouping != QLatin1String("true");
            ++depth;
        } else if (Is(xml, kNumber, "embedded-text") && depth == 2 && digits >= 0) {
            const int position = Attr(xml, kNumber, "position").trimmed().toInt();
            embedded.append({position, text()});
        } else if (Is(xml, kNumber, "text") && depth == 1) {
            (digits < 0 ? before : after) += text();
        } else if (xml.NamespaceUri() == kStyle && xml.Name() == "text-properties") {
            Content->Skip();
        } else {
            pads = false;   // a second number, a map to other styles, fractions, ...
            Content->Skip();
        }
    }
    if (!pads || digits < 1 || name.isEmpty() || PadStyles.size() >= 65536)
        return;
    QString pattern = before;
    for (int i = 0; i <= digits; ++i) {
        for (const auto &[position, t] : embedded)
            if (std::min(position, digits) == digits - i)
                pattern += t;
        if (i < digits)
            pattern += QChar(0);
    }
    PadStyles.insert(name, pattern + after);
}

// A table:table-column: the default cell style of the columns it stands for.
void TOdsDocument::ReadTableColumn()
{
    const TXmlPull &xml = Content->Xml();
    const qint64 repeat = RepeatCount(xml, "number-columns-repeated", kMaxColumns);
    const qint64 last = (ColumnStyles.isEmpty() ? 0 : ColumnStyles.last().first) + repeat;
    if (last <= kMaxColumns)
        ColumnStyles.append({last, Attr(xml, kTable, "default-cell-style-name")});
    Content->Skip();
}

// The number style's pad pattern for a cell: its own style, else its row's, else its column's.
QString TOdsDocument::CellStyle(const QString &cellStyle, const QString &rowStyle, qint64 column) const
{
    QString style = !cellStyle.isEmpty() ? cellStyle : rowStyle;
    if (style.isEmpty()) {
        const auto run = std::lower_bound(ColumnStyles.cbegin(), ColumnStyles.cend(), column,
                                          [](const std::pair<qint64, QString> &r, qint64 c) { return r.first < c; });
        if (run != ColumnStyles.cend())
            style = run->second;
    }
    if (style.isEmpty() || PadStyles.isEmpty())
        return QString();
    return PadStyles.value(CellDataStyles.value(style));
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
        row.Valueless = RepeatValueless;
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
        if (Is(xml, kTable, "table-column")) {
            ReadTableColumn();
            continue;
        }
        // Rows and columns may sit inside header and group elements; everything else is skipped.
        if (!Is(xml, kTable, "table-header-rows") && !Is(xml, kTable, "table-row-group") && !Is(xml, kTable, "table-rows")
            && !Is(xml, kTable, "table-columns") && !Is(xml, kTable, "table-header-columns")
            && !Is(xml, kTable, "table-column-group"))
            Content->Skip();
    }

    const qint64 repeat = RepeatCount(Content->Xml(), "number-rows-repeated", kMaxRows);
    const QString rowStyle = Attr(Content->Xml(), kTable, "default-cell-style-name");
    // Checked against the last row once it is known to hold something.
    LastRow = int(std::min<qint64>(LastRow + 1, kMaxRows + 1));
    row.Index = LastRow;
    row.Cells.clear();
    row.Valueless.clear();

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
        const QString cellStyle = wanted ? Attr(xml, kTable, "style-name") : QString();
        bool valueless = false;
        const QString text = ReadCell(wanted, wanted ? CellStyle(cellStyle, rowStyle, column) : QString(), valueless);
        for (qint64 k = 0; valueless && k < span && column + k <= keepColumns && row.Valueless.size() < kMaxColumns; ++k)
            row.Valueless << int(column + k - 1);
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
    if (row.Cells.isEmpty() && row.Valueless.isEmpty()) {
        // Empty rows (a sheet's formatted tail, repeated) are as good as missing: jumped over at
        // once, and never counted past the last row a sheet can have.
        LastRow = int(std::min<qint64>(LastRow + repeat - 1, kMaxRows));
        row.Index = std::min(row.Index, kMaxRows);
        RepeatsLeft = 0;
        return true;
    }
    // A row with data repeated past the last row is refused now, not row by row.
    if (repeat > 1 && qint64(row.Index) + repeat - 1 > kMaxRows)
        Content->Fail(QStringLiteral("has more than %1 rows").arg(Thousands(kMaxRows)));
    StartRow(row, row.Index);
    RepeatsLeft = repeat - 1;
    RepeatCells = row.Cells;
    RepeatValueless = row.Valueless;
    return true;
}

// The current cell, read to its end; its text as the cell shows it, when wanted.
QString TOdsDocument::ReadCell(bool wanted, const QString &padPattern, bool &valueless)
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
    const bool formula = !Attr(xml, kTable, "formula").isEmpty();
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
    // A program that does not calculate writes the formula with no value and no text.
    valueless = formula && type.isEmpty() && paragraphs == 0 && stringValue.isEmpty();

    if (type == QLatin1String("float") || type == QLatin1String("percentage") || type == QLatin1String("currency")) {
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok)
            return text;
        return type == QLatin1String("float") && !padPattern.isEmpty() ? CellPaddedText(number, padPattern)
                                                                      : CellNumberText(number);
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

void TImportOdsReader::Finish()
{
    if (FDoc)
        FDoc->Finish();
}

void TImportOdsReader::Close()
{
    FDoc.reset();
}

bool TImportOdsReader::NextRow(TSheetRow &row)
{
    return FDoc && FDoc->NextRow(row, KeepColumns(), KeepUntilEmpty());
}
