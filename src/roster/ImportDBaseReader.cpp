#include "roster/ImportFileReader.h"
#include "roster/CellText.h"
#include "roster/TextCodecs.h"
#include "app/Exceptions.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>

#include <shapefil.h>

#include <cmath>
#include <cstring>

namespace {
enum Codec { Cp1252 = 0, Cp437 = 1, Utf8 = 2 };

// The table's declared code page: the language-driver byte or a .cpg file beside it.
int CodecOf(DBFHandle h)
{
    const char *cp = DBFGetCodePage(h);
    if (!cp)
        return Cp1252;
    const QString name = QString::fromLatin1(cp).trimmed().toUpper();
    if (name == QLatin1String("LDID/1") || name == QLatin1String("437") || name == QLatin1String("CP437"))
        return Cp437;
    if (name.contains(QLatin1String("UTF-8")) || name.contains(QLatin1String("UTF8")) || name == QLatin1String("65001"))
        return Utf8;
    return Cp1252;
}

QString DecodeBytes(const char *s, int codec)
{
    const qsizetype n = qsizetype(strlen(s));
    switch (codec) {
    case Cp437: return DecodeCodePage437(s, n);
    case Utf8: return IsValidUtf8(s, n) ? QString::fromUtf8(s, n) : DecodeWindows1252(s, n);
    default: return DecodeWindows1252(s, n);
    }
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

QString Trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}
} // namespace

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
    DBFHandle h = OpenTable(QFile::encodeName(fileName));
    if (!h)
        throw Exception(QStringLiteral("Cannot read \"%1\": it is not a dBase table.").arg(fileName));
    // The header's record count is not trusted: a cut-off file reads the records it holds.
    const qint64 size = info.size();
    qint64 present = 0;
    if (h->nRecordLength > 0 && size > h->nHeaderLength)
        present = (size - h->nHeaderLength) / h->nRecordLength;
    FRecords = int(qMin<qint64>(qMax(0, h->nRecords), present));
    FCurrent = 0;
    FCodec = CodecOf(h);
    Table = h;
    return true;
}

void TImportDBaseReader::Close()
{
    if (Table)
        DBFClose(static_cast<DBFHandle>(Table));
    Table = nullptr;
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
        QString text = Trimmed(DecodeBytes(raw, FCodec));
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
            text.clear();   // memo texts live in a separate file that is not read
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
