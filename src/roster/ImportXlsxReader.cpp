#include "roster/ImportSheetReaders.h"
#include "roster/CellText.h"
#include "roster/SheetXml.h"

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

// The same without a copy, for the cells (the attributes must outlive it).
QStringView AttrView(const QXmlStreamAttributes &attrs, QLatin1String name)
{
    for (const QXmlStreamAttribute &a : attrs)
        if (a.name() == name && a.namespaceUri().isEmpty())
            return a.value().trimmed();
    return QStringView();
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
int ColumnOfReference(QStringView ref)
{
    int col = 0;
    qsizetype i = 0;
    for (; i < ref.size(); ++i) {
        const char16_t u = ref[i].unicode();
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

private:
    std::unique_ptr<TXmlPart> Part(const QString &path, qint64 maxBytes) const;
    QString OfficeDocumentPath() const;
    QHash<QString, Relationship> ReadRelationships(const QString &sourcePart) const;
    void ReadSharedStrings(const QString &path);
    void ReadStyles(const QString &path);
    QString ReadRichText(TXmlPart &part) const;
    QString ReadPlainText(TXmlPart &part) const;
    QString ReadCell(bool wanted, const QXmlStreamAttributes &attrs);
    QString CellValue(QStringView type, int style, const QString &value, bool haveValue,
                      const QString &inlineText, bool haveInline) const;

    TZipPackage Package;
    QStringList SharedStrings;
    QList<bool> DateStyles;    // by cell format index
    bool Date1904 = false;
    std::unique_ptr<TXmlPart> Sheet;
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
    return rels;
}

void TXlsxWorkbook::Load()
{
    const QString fileName = Package.FileName();
    const QString bookPath = OfficeDocumentPath();
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

    Sheet = Part(sheetPath, kMaxSheetBytes);
    if (!Sheet)
        ThrowSheetError(fileName, QStringLiteral("its first worksheet (the part \"%1\") is missing").arg(sheetPath));
}

// Text of a shared or inline string: the runs' <t> joined, phonetic runs left out.
QString TXlsxWorkbook::ReadRichText(TXmlPart &part) const
{
    QString text;
    int depth = 1;
    while (depth > 0) {
        switch (part.Next()) {
        case QXmlStreamReader::StartElement:
            if (part.Xml().name() == QLatin1String("rPh")) {
                part.Skip();
            } else if (part.Xml().name() == QLatin1String("t")) {
                const QString t = ReadPlainText(part);
                AppendCellText(text, t, part);
            } else {
                ++depth;
            }
            break;
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::EndDocument: return DecodeOoxmlEscapes(text);
        default: break;
        }
    }
    return DecodeOoxmlEscapes(text);
}

QString TXlsxWorkbook::ReadPlainText(TXmlPart &part) const
{
    QString text;
    for (;;) {
        switch (part.Next()) {
        case QXmlStreamReader::Characters: AppendCellText(text, part.Xml().text(), part); break;
        case QXmlStreamReader::StartElement: part.Skip(); break;
        case QXmlStreamReader::EndElement:
        case QXmlStreamReader::EndDocument: return text;
        default: break;
        }
    }
}

void TXlsxWorkbook::ReadSharedStrings(const QString &path)
{
    auto part = Part(path, kMaxStringsBytes);
    if (!part)
        return;   // cells that refer to it fail with their own message
    qsizetype kept = 0;
    while (part->Next() != QXmlStreamReader::EndDocument) {
        if (part->Xml().tokenType() != QXmlStreamReader::StartElement || part->Xml().name() != QLatin1String("si"))
            continue;
        QString s = ReadRichText(*part);
        // Every string costs its characters plus the list entry itself.
        kept += s.size() + 12;
        if (kept > kMaxStringsText)
            part->Fail(QStringLiteral("holds more text than a roster can (over %1 million characters)")
                           .arg(kMaxStringsText / (1024 * 1024)));
        SharedStrings << s;
    }
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
    DateStyles.reserve(formats.size());
    for (int id : formats)
        DateStyles << IsDateFormat(id, codes.value(id));
}

bool TXlsxWorkbook::NextRow(TSheetRow &row, int keepColumns, bool keepUntilEmpty)
{
    if (SheetDone)
        return false;
    while (!InSheetData) {
        const auto token = Sheet->Next();
        if (token == QXmlStreamReader::EndDocument) {
            SheetDone = true;
            return false;
        }
        InSheetData = token == QXmlStreamReader::StartElement && Sheet->Xml().name() == QLatin1String("sheetData");
    }
    for (;;) {
        const auto token = Sheet->Next();
        if (token == QXmlStreamReader::EndElement || token == QXmlStreamReader::EndDocument) {
            SheetDone = true;   // </sheetData>
            return false;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (Sheet->Xml().name() != QLatin1String("row")) {
            Sheet->Skip();
            continue;
        }
        break;
    }

    int index = LastRow + 1;
    const QString r = Attr(Sheet->Xml().attributes(), QLatin1String("r")).trimmed();
    if (!r.isEmpty()) {
        bool ok = false;
        index = r.toInt(&ok);
        if (!ok || index < 1)
            Sheet->Fail(QStringLiteral("has a row numbered \"%1\"").arg(r.left(20)));
    }
    if (index <= LastRow)
        Sheet->Fail(QStringLiteral("lists row %1 after row %2").arg(index).arg(LastRow));
    if (index > kMaxRows)
        Sheet->Fail(QStringLiteral("has more than %1 rows").arg(Thousands(kMaxRows)));
    LastRow = index;
    row.Index = index;
    row.Cells.clear();

    int lastColumn = 0;
    qsizetype rowText = 0;
    bool stopped = false;   // the first row's first empty cell has been met
    for (;;) {
        const auto token = Sheet->Next();
        if (token == QXmlStreamReader::EndElement || token == QXmlStreamReader::EndDocument)
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (Sheet->Xml().name() != QLatin1String("c")) {
            Sheet->Skip();
            continue;
        }
        const QXmlStreamAttributes attrs = Sheet->Xml().attributes();   // one copy per cell
        const QStringView ref = AttrView(attrs, QLatin1String("r"));
        int column = lastColumn + 1;
        if (!ref.isEmpty()) {
            column = ColumnOfReference(ref);
            if (column == 0)
                Sheet->Fail(QStringLiteral("has a cell named \"%1\"").arg(ref.left(20).toString()));
        }
        if (column > kMaxColumns)
            Sheet->Fail(QStringLiteral("has a cell beyond column %1").arg(Thousands(kMaxColumns)));
        if (column <= lastColumn)
            Sheet->Fail(QStringLiteral("lists the cells of row %1 out of order").arg(index));
        lastColumn = column;

        if (keepUntilEmpty && column > row.Cells.size() + 1)
            stopped = true;   // a gap: the cell before this one is empty
        const bool wanted = !stopped && column <= keepColumns;
        const QString text = ReadCell(wanted, attrs);
        if (!wanted)
            continue;
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
QString TXlsxWorkbook::ReadCell(bool wanted, const QXmlStreamAttributes &attrs)
{
    const QStringView type = AttrView(attrs, QLatin1String("t"));
    const int style = AttrView(attrs, QLatin1String("s")).toInt();
    QString value, inlineText;
    bool haveValue = false, haveInline = false;
    for (;;) {
        const auto token = Sheet->Next();
        if (token == QXmlStreamReader::EndElement || token == QXmlStreamReader::EndDocument)
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = Sheet->Xml().name();
        if (wanted && name == QLatin1String("v")) {
            value = ReadPlainText(*Sheet);
            haveValue = true;
        } else if (wanted && name == QLatin1String("is")) {
            inlineText = ReadRichText(*Sheet);
            haveInline = true;
        } else {
            Sheet->Skip();   // the formula, extensions, or a cell nobody asked for
        }
    }
    if (!wanted)
        return QString();
    return CellValue(type, style, value, haveValue, inlineText, haveInline);
}

QString TXlsxWorkbook::CellValue(QStringView type, int style, const QString &value, bool haveValue,
                                 const QString &inlineText, bool haveInline) const
{
    if (type == QLatin1String("inlineStr"))
        return haveInline ? inlineText : DecodeOoxmlEscapes(value);
    if (!haveValue)
        return QString();   // a formula that was never calculated, or a blank styled cell
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int i = value.trimmed().toInt(&ok);
        if (!ok || i < 0 || i >= SharedStrings.size())
            Sheet->Fail(QStringLiteral("refers to shared string \"%1\", which the workbook does not have")
                            .arg(value.trimmed().left(20)));
        return SharedStrings[i];
    }
    if (type == QLatin1String("str"))
        return DecodeOoxmlEscapes(value);
    if (type == QLatin1String("e"))
        return value.trimmed();
    if (type == QLatin1String("b")) {
        const QString v = value.trimmed();
        if (v == QLatin1String("1") || v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return CellBooleanText(true);
        if (v == QLatin1String("0") || v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return CellBooleanText(false);
        return v;
    }
    if (type == QLatin1String("d")) {
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
    if (style >= 0 && style < DateStyles.size() && DateStyles[style])
        return CellDateText(number, Date1904);
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

void TImportXlsxReader::Close()
{
    FBook.reset();
}

bool TImportXlsxReader::NextRow(TSheetRow &row)
{
    return FBook && FBook->NextRow(row, KeepColumns(), KeepUntilEmpty());
}
