#include "import/xlsx/ImportXlsxReader.h"
#include "import/ImportSheetReaders.h"
#include "import/CellText.h"
#include "import/SheetXml.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

using namespace SheetLimits;

namespace {
struct Relationship
{
    QString Type;
    QString Target;   // resolved part path
};

bool TypeIs(const QString &relType, QLatin1String kind)
{
    // Transitional and strict workbooks name the same kinds under different prefixes.
    return relType.endsWith(QLatin1Char('/') + kind);
}

QString Attr(const QXmlStreamAttributes &attrs, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attrs)
        if (a.name() == name && a.namespaceUri().isEmpty())
            return a.value().toString();
    return QString();
}

// An attribute of the current start element without a copy, trimmed as QString::trimmed()
// would (the view lives until the next token; scratch may hold it).
std::string_view AttrView(const TXmlPull &xml, std::string_view name, std::string &scratch)
{
    const std::optional<std::string_view> found = xml.Attribute(name, scratch);
    if (!found)
        return {};
    std::string_view v = *found;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!v.empty() && blank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && blank(v.back()))
        v.remove_suffix(1);
    if (!v.empty() && (static_cast<unsigned char>(v.front()) >= 0x80 || static_cast<unsigned char>(v.back()) >= 0x80)) {
        // Unicode blanks at either end: rare enough for the slow way.
        scratch = QString::fromUtf8(v.data(), qsizetype(v.size())).trimmed().toStdString();
        v = scratch;
    }
    return v;
}

QString Utf8String(std::string_view v)
{
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

// What a cell's t attribute says it holds; anything unknown is read as a number.
enum class TCellType { Number, Shared, Formula, Inline, Error, Boolean, Date };

TCellType CellTypeOf(std::string_view t)
{
    if (t == "s")
        return TCellType::Shared;
    if (t == "str")
        return TCellType::Formula;
    if (t == "inlineStr")
        return TCellType::Inline;
    if (t == "e")
        return TCellType::Error;
    if (t == "b")
        return TCellType::Boolean;
    if (t == "d")
        return TCellType::Date;
    return TCellType::Number;
}

// The sheet's relationship id: r:id, whatever prefix the relationships namespace was given.
QString RelationshipId(const QXmlStreamAttributes &attrs)
{
    for (const QXmlStreamAttribute &a : attrs)
        if (a.name() == QLatin1String("id") && a.namespaceUri().endsWith(QLatin1String("relationships")))
            return a.value().toString();
    return QString();
}

// "A1" → 1, "XFD7" → 16384; 0 when the reference starts with no column letters.
int ColumnOfReference(std::string_view ref)
{
    int col = 0;
    size_t i = 0;
    for (; i < ref.size(); ++i) {
        const char u = ref[i];
        int letter = -1;
        if (u >= 'A' && u <= 'Z')
            letter = u - 'A';
        else if (u >= 'a' && u <= 'z')
            letter = u - 'a';
        if (letter < 0)
            break;
        col = col * 26 + letter + 1;
        if (col > kMaxColumns)
            return kMaxColumns + 1;
    }
    return i > 0 ? col : 0;
}
} // namespace

class TXlsxWorkbook
{
public:
    explicit TXlsxWorkbook(const QString &fileName) : Package(fileName) {}

    void Load();
    bool NextRow(TSheetRow &row, int keepColumns, bool keepUntilEmpty);
    // The rows are all read: the sheet's checksum, over the rest of it too.
    void Finish()
    {
        Sheet->Finish();
        Package.RequireAllFinished();
    }

private:
    std::unique_ptr<TXmlPart> Part(const QString &path, qint64 maxBytes) const;
    QString OfficeDocumentPath() const;
    QHash<QString, Relationship> ReadRelationships(const QString &sourcePart) const;
    void ReadSharedStrings(const QString &path);
    void ReadStyles(const QString &path);
    void ReadRichText(TXmlPullPart &part, TCellUtf8 &text) const;
    void ReadPlainText(TXmlPullPart &part, TCellUtf8 &text) const;
    QString ReadCell(bool wanted, TCellType type, int style, bool &valueless);
    QString CellValue(TCellType type, int style, const QString &value, bool haveValue,
                      const QString &inlineText, bool haveInline) const;

    TZipPackage Package;
    QStringList SharedStrings;
    QList<TNumberFormat> Formats;   // by cell format index
    bool Date1904 = false;
    std::unique_ptr<TXmlPullPart> Sheet;
    TCellUtf8 Value, Text;    // reused from cell to cell
    std::string Scratch;
    bool InSheetData = false;
    bool SheetDone = false;
    int LastRow = 0;
};

std::unique_ptr<TXmlPart> TXlsxWorkbook::Part(const QString &path, qint64 maxBytes) const
{
    auto device = Package.OpenPart(path, maxBytes);
    if (!device)
        return nullptr;
    return std::make_unique<TXmlPart>(std::move(device), Package.FileName());
}

namespace {
std::unique_ptr<TXmlPullPart> PullPart(const TZipPackage &package, const QString &path, qint64 maxBytes)
{
    auto device = package.OpenPart(path, maxBytes);
    if (!device)
        return nullptr;
    return std::make_unique<TXmlPullPart>(std::move(device), package.FileName());
}

// A cell's text as Excel shows it: _xHHHH_ escapes given back.
QString OoxmlText(const TCellUtf8 &text)
{
    QString s = text.ToString();
    return text.Bytes.contains("_x") ? DecodeOoxmlEscapes(s) : s;
}
} // namespace

QString TXlsxWorkbook::OfficeDocumentPath() const
{
    const QHash<QString, Relationship> rels = ReadRelationships(QString());
    for (const Relationship &rel : rels)
        if (TypeIs(rel.Type, QLatin1String("officeDocument")))
            return rel.Target;
    return QStringLiteral("xl/workbook.xml");
}

// The relationships of a part (of the package itself for an empty source), by id.
QHash<QString, Relationship> TXlsxWorkbook::ReadRelationships(const QString &sourcePart) const
{
    QString relsPath;
    if (sourcePart.isEmpty()) {
        relsPath = QStringLiteral("_rels/.rels");
    } else {
        const qsizetype slash = sourcePart.lastIndexOf(QLatin1Char('/'));
        relsPath = sourcePart.left(slash + 1) + QStringLiteral("_rels/") + sourcePart.mid(slash + 1)
                   + QStringLiteral(".rels");
    }
    QHash<QString, Relationship> rels;
    auto part = Part(relsPath, kMaxSmallPartBytes);
    if (!part)
        return rels;
    while (part->Next() != QXmlStreamReader::EndDocument) {
        QXmlStreamReader &xml = part->Xml();
        if (xml.tokenType() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes attrs = xml.attributes();
        if (Attr(attrs, QLatin1String("TargetMode")).compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            continue;
        const QString id = Attr(attrs, QLatin1String("Id"));
        if (id.isEmpty() || rels.contains(id))
            continue;
        rels.insert(id, {Attr(attrs, QLatin1String("Type")),
                         ResolvePartPath(sourcePart, Attr(attrs, QLatin1String("Target")))});
    }
    part->Finish();
    return rels;
}

void TXlsxWorkbook::Load()
{
    const QString fileName = Package.FileName();
    const QString bookPath = OfficeDocumentPath();
    if (bookPath.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
        ThrowSheetError(fileName, QStringLiteral("it is an Excel binary workbook (.xlsb), which cannot be read; save it as .xlsx"));
    auto book = Part(bookPath, kMaxSmallPartBytes);
    if (!book)
        ThrowSheetError(fileName, QStringLiteral("it is not an Excel workbook (it has no part \"%1\")").arg(bookPath));

    // Sheets in tab order; the first worksheet (not chart sheet) is the one read.
    QStringList sheetIds;
    while (book->Next() != QXmlStreamReader::EndDocument) {
        QXmlStreamReader &xml = book->Xml();
        if (xml.tokenType() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("workbookPr")) {
            const QString v = Attr(xml.attributes(), QLatin1String("date1904")).trimmed();
            Date1904 = v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        } else if (xml.name() == QLatin1String("sheet")) {
            sheetIds << RelationshipId(xml.attributes());
        }
    }
    book->Finish();
    book.reset();

    const QHash<QString, Relationship> rels = ReadRelationships(bookPath);
    QString sheetPath;
    for (const QString &id : sheetIds) {
        const auto it = rels.constFind(id);
        if (it != rels.constEnd() && TypeIs(it->Type, QLatin1String("worksheet"))) {
            sheetPath = it->Target;
            break;
        }
    }
    if (sheetPath.isEmpty())
        ThrowSheetError(fileName, QStringLiteral("the workbook holds no worksheet"));

    QString stringsPath, stylesPath;
    for (const Relationship &rel : rels) {
        if (TypeIs(rel.Type, QLatin1String("sharedStrings")))
            stringsPath = rel.Target;
        else if (TypeIs(rel.Type, QLatin1String("styles")))
            stylesPath = rel.Target;
    }
    if (!stringsPath.isEmpty())
        ReadSharedStrings(stringsPath);
    if (!stylesPath.isEmpty())
        ReadStyles(stylesPath);

    Sheet = PullPart(Package, sheetPath, kMaxSheetBytes);
    if (!Sheet)
        ThrowSheetError(fileName, QStringLiteral("its first worksheet (the part \"%1\") is missing").arg(sheetPath));
}

// Text of a shared or inline string: the runs' <t> joined, phonetic runs left out.
void TXlsxWorkbook::ReadRichText(TXmlPullPart &part, TCellUtf8 &text) const
{
    int depth = 1;
    while (depth > 0) {
        switch (part.Next()) {
        case TXmlPull::StartElement:
            if (part.Xml().Name() == "rPh")
                part.Skip();
            else if (part.Xml().Name() == "t")
                ReadPlainText(part, text);
            else
                ++depth;
            break;
        case TXmlPull::EndElement: --depth; break;
        case TXmlPull::EndDocument: return;
        default: break;
        }
    }
}

// The text of the current element, appended; elements inside it are left out.
void TXlsxWorkbook::ReadPlainText(TXmlPullPart &part, TCellUtf8 &text) const
{
    for (;;) {
        switch (part.Next()) {
        case TXmlPull::Characters: AppendCellText(text, part.Xml().Text(), part); break;
        case TXmlPull::StartElement: part.Skip(); break;
        case TXmlPull::EndElement:
        case TXmlPull::EndDocument: return;
        default: break;
        }
    }
}

void TXlsxWorkbook::ReadSharedStrings(const QString &path)
{
    auto part = PullPart(Package, path, kMaxStringsBytes);
    if (!part)
        return;   // cells that refer to it fail with their own message
    qsizetype kept = 0;
    TCellUtf8 text;
    while (part->Next() != TXmlPull::EndDocument) {
        if (part->Xml().Token() != TXmlPull::StartElement || part->Xml().Name() != "si")
            continue;
        text.Bytes.truncate(0);
        text.Units = 0;
        ReadRichText(*part, text);
        QString s = OoxmlText(text);
        // Every string costs its characters plus the list entry itself.
        kept += s.size() + 12;
        if (kept > kMaxStringsText)
            part->Fail(QStringLiteral("holds more text than a roster can (over %1 million characters)")
                           .arg(kMaxStringsText / (1024 * 1024)));
        SharedStrings << s;
    }
    part->Finish();   // before any row is sent
}

void TXlsxWorkbook::ReadStyles(const QString &path)
{
    auto part = Part(path, kMaxSmallPartBytes);
    if (!part)
        return;
    QHash<int, QString> codes;   // custom number formats by id
    QList<int> formats;          // number format of each cell format
    int depth = 0;
    QString sectionName;
    while (part->Next() != QXmlStreamReader::EndDocument) {
        QXmlStreamReader &xml = part->Xml();
        if (xml.tokenType() == QXmlStreamReader::EndElement) {
            if (--depth == 1)
                sectionName.clear();
            continue;
        }
        if (xml.tokenType() != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (depth == 2) {
            sectionName = xml.name().toString();
        } else if (depth == 3 && sectionName == QLatin1String("numFmts") && xml.name() == QLatin1String("numFmt")) {
            bool ok = false;
            const int id = Attr(xml.attributes(), QLatin1String("numFmtId")).toInt(&ok);
            if (ok)
                codes.insert(id, Attr(xml.attributes(), QLatin1String("formatCode")));
        } else if (depth == 3 && sectionName == QLatin1String("cellXfs") && xml.name() == QLatin1String("xf")) {
            formats << Attr(xml.attributes(), QLatin1String("numFmtId")).toInt();
        }
    }
    part->Finish();
    Formats.reserve(formats.size());
    for (int id : formats)
        Formats << NumberFormatOf(id, codes.value(id));
}

bool TXlsxWorkbook::NextRow(TSheetRow &row, int keepColumns, bool keepUntilEmpty)
{
    if (SheetDone)
        return false;
    while (!InSheetData) {
        const auto token = Sheet->Next();
        if (token == TXmlPull::EndDocument) {
            SheetDone = true;
            return false;
        }
        InSheetData = token == TXmlPull::StartElement && Sheet->Xml().Name() == "sheetData";
    }
    for (;;) {
        const auto token = Sheet->Next();
        if (token == TXmlPull::EndElement || token == TXmlPull::EndDocument) {
            SheetDone = true;   // </sheetData>
            return false;
        }
        if (token != TXmlPull::StartElement)
            continue;
        if (Sheet->Xml().Name() != "row") {
            Sheet->Skip();
            continue;
        }
        break;
    }

    int index = LastRow + 1;
    const std::string_view r = AttrView(Sheet->Xml(), "r", Scratch);
    if (!r.empty()) {
        bool ok = false;
        index = QByteArrayView(r.data(), qsizetype(r.size())).toInt(&ok);
        if (!ok || index < 1)
            Sheet->Fail(QStringLiteral("has a row numbered \"%1\"").arg(Utf8String(r).left(20)));
    }
    if (index <= LastRow)
        Sheet->Fail(QStringLiteral("lists row %1 after row %2").arg(index).arg(LastRow));
    if (index > kMaxRows)
        Sheet->Fail(QStringLiteral("has more than %1 rows").arg(Thousands(kMaxRows)));
    LastRow = index;
    row.Index = index;
    row.Cells.clear();
    row.Valueless.clear();

    int lastColumn = 0;
    qsizetype rowText = 0;
    bool stopped = false;   // the first row's first empty cell has been met
    for (;;) {
        const auto token = Sheet->Next();
        if (token == TXmlPull::EndElement || token == TXmlPull::EndDocument)
            break;
        if (token != TXmlPull::StartElement)
            continue;
        if (Sheet->Xml().Name() != "c") {
            Sheet->Skip();
            continue;
        }
        const std::string_view ref = AttrView(Sheet->Xml(), "r", Scratch);
        int column = lastColumn + 1;
        if (!ref.empty()) {
            column = ColumnOfReference(ref);
            if (column == 0)
                Sheet->Fail(QStringLiteral("has a cell named \"%1\"").arg(Utf8String(ref).left(20)));
        }
        if (column > kMaxColumns)
            Sheet->Fail(QStringLiteral("has a cell beyond column %1").arg(Thousands(kMaxColumns)));
        if (column <= lastColumn)
            Sheet->Fail(QStringLiteral("lists the cells of row %1 out of order").arg(index));
        lastColumn = column;

        if (keepUntilEmpty && column > row.Cells.size() + 1)
            stopped = true;   // a gap: the cell before this one is empty
        const bool wanted = !stopped && column <= keepColumns;
        const TCellType type = CellTypeOf(AttrView(Sheet->Xml(), "t", Scratch));
        const std::string_view s = AttrView(Sheet->Xml(), "s", Scratch);
        const int style = QByteArrayView(s.data(), qsizetype(s.size())).toInt();
        bool valueless = false;
        const QString text = ReadCell(wanted, type, style, valueless);
        if (!wanted)
            continue;
        if (valueless)
            row.Valueless << column - 1;
        while (row.Cells.size() < column - 1)
            row.Cells << QString();
        row.Cells << text;
        rowText += text.size();
        if (rowText > kMaxRowText)
            Sheet->Fail(QStringLiteral("has a row of more than %1 characters (row %2)")
                            .arg(Thousands(kMaxRowText))
                            .arg(index));
        if (keepUntilEmpty && text.isEmpty())
            stopped = true;
    }
    return true;
}

// The current <c>, read to its end; its text when wanted.
QString TXlsxWorkbook::ReadCell(bool wanted, TCellType type, int style, bool &valueless)
{
    QString value, inlineText;
    bool haveValue = false, haveInline = false, haveFormula = false;
    for (;;) {
        const auto token = Sheet->Next();
        if (token == TXmlPull::EndElement || token == TXmlPull::EndDocument)
            break;
        if (token != TXmlPull::StartElement)
            continue;
        const std::string_view name = Sheet->Xml().Name();
        if (wanted && name == "v") {
            Value.Bytes.truncate(0);
            Value.Units = 0;
            ReadPlainText(*Sheet, Value);
            value = Value.ToString();
            haveValue = true;
        } else if (wanted && name == "is") {
            Text.Bytes.truncate(0);
            Text.Units = 0;
            ReadRichText(*Sheet, Text);
            inlineText = OoxmlText(Text);
            haveInline = true;
        } else {
            haveFormula = haveFormula || name == "f";
            Sheet->Skip();   // the formula, extensions, or a cell nobody asked for
        }
    }
    if (!wanted)
        return QString();
    // A program that does not calculate stores the formula alone (or with an empty value);
    // an empty text result is stored as t="str".
    valueless = haveFormula && type != TCellType::Inline
                && (!haveValue || (type != TCellType::Formula && value.trimmed().isEmpty()));
    return CellValue(type, style, value, haveValue, inlineText, haveInline);
}

QString TXlsxWorkbook::CellValue(TCellType type, int style, const QString &value, bool haveValue,
                                 const QString &inlineText, bool haveInline) const
{
    if (type == TCellType::Inline)
        return haveInline ? inlineText : DecodeOoxmlEscapes(value);
    if (!haveValue)
        return QString();   // a formula that was never calculated, or a blank styled cell
    if (type == TCellType::Shared) {
        bool ok = false;
        const int i = value.trimmed().toInt(&ok);
        if (!ok || i < 0 || i >= SharedStrings.size())
            Sheet->Fail(QStringLiteral("refers to shared string \"%1\", which the workbook does not have")
                            .arg(value.trimmed().left(20)));
        return SharedStrings[i];
    }
    if (type == TCellType::Formula)
        return DecodeOoxmlEscapes(value);
    if (type == TCellType::Error)
        return value.trimmed();
    if (type == TCellType::Boolean) {
        const QString v = value.trimmed();
        if (v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return CellBooleanText(true);
        if (v == QLatin1String("0") || v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return CellBooleanText(false);
        return v;
    }
    if (type == TCellType::Date) {
        const QString v = value.trimmed();
        QDateTime dt = QDateTime::fromString(v, Qt::ISODateWithMs);
        if (dt.isValid())
            return DateTimeText(dt.date(), dt.time(), dt.time() != QTime(0, 0));
        const QDate date = QDate::fromString(v, Qt::ISODate);
        return date.isValid() ? DateTimeText(date, QTime(0, 0), false) : v;
    }
    // A number, the default type.
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok)
        return value.trimmed();
    if (style >= 0 && style < Formats.size())
        return CellFormattedText(number, Formats[style], Date1904);
    return CellNumberText(number);
}

// ---------------------------------------------------------------------------------------

TImportXlsxReader::TImportXlsxReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportSheetReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportXlsxReader::~TImportXlsxReader() = default;

bool TImportXlsxReader::Open(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    auto book = std::make_unique<TXlsxWorkbook>(fileName);
    book->Load();
    FBook = std::move(book);
    ResetRows();
    return true;
}

void TImportXlsxReader::Finish()
{
    if (FBook)
        FBook->Finish();
}

void TImportXlsxReader::Close()
{
    FBook.reset();
}

bool TImportXlsxReader::NextRow(TSheetRow &row)
{
    return FBook && FBook->NextRow(row, KeepColumns(), KeepUntilEmpty());
}
