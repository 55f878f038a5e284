#include "import/ImportFileReader.h"
#include "import/CellText.h"
#include "import/TextCodecs.h"
#include "import/dbase/DBaseFormat.h"
#include "app/Exceptions.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>

#include <shapefil.h>

#include <cmath>
#include <cstring>
#include <limits>

// The table's text: its code page (a .cpg file beside it, or the language-driver byte) and
// its memo file.
struct TImportDBaseReader::Text
{
    std::unique_ptr<TCodePageDecoder> decoder;
    bool utf8 = false;
    TDBaseMemoFile memo;

    QString Decode(const char *s, qsizetype n) const
    {
        if (utf8)
            return IsValidUtf8(s, n) ? QString::fromUtf8(s, n) : DecodeWindows1252(s, n);
        return decoder->Decode(s, n);
    }
};

namespace {
// A code page named by a .cpg file ("UTF-8", "1251", "ANSI 1251", "CP850"); 0 when none.
int CpgCodePage(const QString &text, bool &utf8)
{
    const QString name = text.trimmed().toUpper();
    if (name.contains(QLatin1String("UTF-8")) || name.contains(QLatin1String("UTF8")) || name == QLatin1String("65001")) {
        utf8 = true;
        return 0;
    }
    QString digits;
    for (QChar c : name) {
        if (c.isDigit())
            digits += c;
        else if (!digits.isEmpty())
            break;
    }
    if (name.contains(QLatin1String("8859")))
        return 0;
    return digits.size() >= 3 && digits.size() <= 5 ? digits.toInt() : 0;
}

// The library replaces the extension of the name it is given with ".dbf"; a table saved
// under another name (or "roster.xls" read as dBase) must open exactly the chosen file.
thread_local const char *ExactTablePath = nullptr;
SAHooks DefaultHooks;

SAFile OpenExact(const char *name, const char *access)
{
    const size_t n = strlen(name);
    if (ExactTablePath && n >= 4 && qstrnicmp(name + n - 4, ".dbf", 4) == 0)
        return DefaultHooks.FOpen(ExactTablePath, access);
    return DefaultHooks.FOpen(name, access);
}

void QuietError(const char *) {}

DBFHandle OpenTable(const QByteArray &path)
{
    SASetupDefaultHooks(&DefaultHooks);
    SAHooks hooks = DefaultHooks;
    hooks.FOpen = OpenExact;
    hooks.Error = QuietError;   // failures are reported by our own messages
    ExactTablePath = path.constData();
    DBFHandle h = DBFOpenLL(path.constData(), "rb", &hooks);
    ExactTablePath = nullptr;
    return h;
}
} // namespace

TImportDBaseReader::TImportDBaseReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportFileReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportDBaseReader::~TImportDBaseReader()
{
    if (Table)
        DBFClose(static_cast<DBFHandle>(Table));
}

bool TImportDBaseReader::Open(const QString &fileName)
{
    QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    FFileName = fileName;
    // Checked here first: the library takes any file for a table and reads later dBase
    // versions as columns of garbage.
    const TDBaseHeader header = ReadDBaseHeader(fileName);
    // A table cut off, or a count no file of this size can hold (a count of 2^31 or more is a
    // negative number to the library), is damage: the records it does hold are not the roster.
    const qint64 size = info.size();
    const qint64 present = (size - header.HeaderLength) / header.RecordLength;   // the header fits
    if (qint64(header.Records) > present) {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        throw Exception(QStringLiteral("Cannot read \"%1\": the file is damaged or cut off: its header announces "
                                       "%2 records, but the file holds only %3.")
                            .arg(fileName, english.toString(qint64(header.Records)), english.toString(present)));
    }
    if (header.Records > quint32(std::numeric_limits<int>::max()))
        throw Exception(QStringLiteral("Cannot read \"%1\": it holds more records than a roster can have.").arg(fileName));
    DBFHandle h = OpenTable(QFile::encodeName(fileName));
    if (!h)
        throw Exception(QStringLiteral("Cannot read \"%1\": it is not a dBase table.").arg(fileName));
    if (DBFGetFieldCount(h) != header.Fields.size() || h->nRecordLength != header.RecordLength) {
        DBFClose(h);
        throw Exception(QStringLiteral("Cannot read \"%1\": the dBase table's header is damaged or cut off.").arg(fileName));
    }
    if (h->nRecords != qint64(header.Records) || h->nHeaderLength != header.HeaderLength) {
        DBFClose(h);
        throw Exception(QStringLiteral("Cannot read \"%1\": the dBase table's header is damaged or cut off.").arg(fileName));
    }
    FRecords = h->nRecords;
    FCurrent = 0;
    auto text = std::make_unique<Text>();
    int codePage = 0;
    const char *cpg = DBFGetCodePage(h);
    if (cpg && qstrncmp(cpg, "LDID/", 5) != 0)
        codePage = CpgCodePage(QString::fromLatin1(cpg), text->utf8);
    if (codePage == 0)
        codePage = DBaseCodePage(header.LanguageDriver);
    text->decoder = std::make_unique<TCodePageDecoder>(codePage == 0 ? 1252 : codePage);
    Table = h;
    if (header.HasMemoFields())
        text->memo.Open(fileName, header.Version);
    FText = std::move(text);
    return true;
}

void TImportDBaseReader::Close()
{
    if (Table)
        DBFClose(static_cast<DBFHandle>(Table));
    Table = nullptr;
    FText.reset();
}

int TImportDBaseReader::FieldCount()
{
    return DBFGetFieldCount(static_cast<DBFHandle>(Table));
}

bool TImportDBaseReader::Eof()
{
    DBFHandle h = static_cast<DBFHandle>(Table);
    while (FCurrent < FRecords && DBFIsRecordDeleted(h, FCurrent))
        ++FCurrent;
    return FCurrent >= FRecords;
}

void TImportDBaseReader::ReadRecord(QStringList &values)
{
    DBFHandle h = static_cast<DBFHandle>(Table);
    const int fields = DBFGetFieldCount(h);
    values.reserve(fields);
    const QLocale locale = QLocale::system();
    for (int f = 0; f < fields; ++f) {
        int width = 0, decimals = 0;
        const DBFFieldType type = DBFGetFieldInfo(h, f, nullptr, &width, &decimals);
        const char native = DBFGetNativeFieldType(h, f);
        if (DBFIsAttributeNULL(h, FCurrent, f)) {
            values.append(QString());
            continue;
        }
        const char *raw = DBFReadStringAttribute(h, FCurrent, f);
        if (!raw)
            throw Exception(QStringLiteral("Cannot read record %1 of \"%2\": the file is damaged.")
                                .arg(FCurrent + 1).arg(FFileName));
        QString text = TrimmedValue(FText->Decode(raw, qsizetype(strlen(raw))));
        if (native == 'D') {
            const QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
            if (date.isValid())
                text = DateTimeText(date, QTime(), false);
        } else if (native == 'L') {
            const QChar c = text.isEmpty() ? QChar() : text[0].toUpper();
            if (c == QLatin1Char('T') || c == QLatin1Char('Y'))
                text = QStringLiteral("True");
            else if (c == QLatin1Char('F') || c == QLatin1Char('N'))
                text = QStringLiteral("False");
            else
                text.clear();
        } else if (native == 'M') {
            // the record holds the memo's block number in the memo file
            const QByteArray memo = FText->memo.Read(text.toLongLong(), FCurrent);
            text = TrimmedValue(FText->Decode(memo.constData(), memo.size()));
        } else if (native == 'B' || native == 'G' || native == 'P') {
            text.clear();   // binary memos, pictures and objects have no text
        } else if (type == FTDouble || (type == FTInteger && decimals > 0)) {
            bool ok = false;
            const double d = text.toDouble(&ok);
            if (ok && std::isfinite(d)) {
                QLocale l = locale;
                l.setNumberOptions(QLocale::OmitGroupSeparator);
                text = (d == std::floor(d) && std::fabs(d) < 1e15) ? QString::number(qint64(d))
                                                                   : l.toString(d, 'g', QLocale::FloatingPointShortest);
            }
        }
        values.append(text);
    }
    ++FCurrent;
}
