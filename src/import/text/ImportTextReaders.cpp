#include "import/ImportFileReader.h"
#include "import/TextCodecs.h"
#include "app/Exceptions.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cmath>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
std::string_view TrimmedBytes(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    return s.substr(b, e - b);
}
} // namespace

// ---------------------------------------------------------------------------------------
// Text files

TImportTextFileReader::~TImportTextFileReader() = default;

bool TImportTextFileReader::Open(const QString &fileName)
{
    QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        return false;
    FFile.setFileName(fileName);
    if (!FFile.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, FFile.errorString()));
    FSize = FFile.size();
    FData = nullptr;
    if (FSize > 0) {
        if (uchar *mapped = FFile.map(0, FSize)) {
            FData = reinterpret_cast<const char *>(mapped);
        } else {
            FBuffer = FFile.readAll();
            FData = FBuffer.constData();
            FSize = FBuffer.size();
        }
    }
    FStart = 0;
    bool known = true;
    if (FSize >= 2 && (memcmp(FData, "\xFF\xFE", 2) == 0 || memcmp(FData, "\xFE\xFF", 2) == 0)) {
        DecodeUtf16(FData[0] == '\xFF');
    } else if (FSize >= 3 && memcmp(FData, "\xEF\xBB\xBF", 3) == 0) {
        FStart = 3;
        FUtf8 = true;
    } else {
        known = false;
    }
    // Ctrl-Z ends the text (in UTF-16 the decoded character)
    if (FData) {
        if (const void *z = memchr(FData + FStart, 26, size_t(FSize - FStart)))
            FSize = static_cast<const char *>(z) - FData;
    }
    if (!known)
        FUtf8 = IsValidUtf8(FData + FStart, FSize - FStart);
    // Dropping lone CRs would make a CR-only file one line: its whole roster one record.
    FLineEnd = '\n';
    if (FData && !memchr(FData + FStart, '\n', size_t(FSize - FStart)))
        FLineEnd = '\r';
    FPos = FStart;
    return true;
}

// The line rules work on bytes; UTF-8 keeps every character they look at (CR, LF, Ctrl-Z,
// quote, delimiter) a single byte, so the text is held as UTF-8 from here on.
void TImportTextFileReader::DecodeUtf16(bool littleEndian)
{
    const qsizetype units = (FSize - 2) / 2;   // an odd last byte is no character
    QString text(units, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(FData) + 2;
    for (qsizetype i = 0; i < units; ++i, p += 2)
        d[i] = littleEndian ? char16_t(p[0] | (p[1] << 8)) : char16_t((p[0] << 8) | p[1]);
    FBuffer = text.toUtf8();
    FData = FBuffer.constData();
    FSize = FBuffer.size();
    FUtf8 = true;
}

void TImportTextFileReader::Close()
{
    FFile.close();   // also unmaps
    FBuffer.clear();
    FData = nullptr;
    FSize = FPos = FStart = 0;
}

bool TImportTextFileReader::Eof()
{
    return FPos >= FSize;
}

void TImportTextFileReader::Rewind()
{
    FPos = FStart;
}

std::string_view TImportTextFileReader::ReadLineBytes()
{
    if (FPos >= FSize)
        return {};
    const char *begin = FData + FPos;
    const size_t left = size_t(FSize - FPos);
    const char *nl = static_cast<const char *>(memchr(begin, FLineEnd, left));
    const size_t len = nl ? size_t(nl - begin) : left;
    FPos += qsizetype(len) + (nl ? 1 : 0);
    std::string_view line(begin, len);
    if (line.find('\r') == std::string_view::npos)
        return line;
    FLine.clear();
    for (char c : line) {
        if (c != '\r')
            FLine.push_back(c);
    }
    return FLine;
}

QString TImportTextFileReader::Decode(std::string_view bytes) const
{
    if (FUtf8 && bytes.starts_with("\xEF\xBB\xBF")) {
        // a byte-order mark inside the text is a character; fromUtf8 would drop it
        QStringDecoder keep(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        return keep.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    if (FUtf8)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return DecodeWindows1252(bytes);
}

QString TImportTextFileReader::DecodeTrimmed(std::string_view bytes) const
{
    return Decode(TrimmedBytes(bytes));
}

QString TImportTextFileReader::ReadLine()
{
    return Decode(ReadLineBytes());
}

// ---------------------------------------------------------------------------------------
// Fixed-width text

int TImportFixedTextReader::FieldCount()
{
    return int(ColumnStarts.size());
}

void TImportFixedTextReader::ReadRecord(QStringList &values)
{
    const QString line = ReadLine();
    if (line.isEmpty())
        return;
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < ColumnStarts.size(); ++i) {
        const qsizetype p = ColumnStarts[i];
        const qsizetype len = i + 1 < ColumnStarts.size() ? ColumnStarts[i + 1] - p - 1 : n - p;
        if (p >= 0 && len > 0 && n >= p + len)
            values.append(TrimmedValue(line.mid(p, len)));
    }
}

// ---------------------------------------------------------------------------------------
// Delimited text

TImportDelimetedTextReader::TImportDelimetedTextReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount,
                                                       char delimiter)
    : TImportTextFileReader(std::move(onRecord), std::move(onFieldCount)), Delimiter(delimiter)
{
}

int TImportDelimetedTextReader::FieldCount()
{
    const std::string_view line = ReadLineBytes();
    int count = 0;
    if (!line.empty()) {
        bool quoted = false;
        count = 1;
        for (char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == Delimiter && !quoted)
                ++count;
        }
    }
    Rewind();
    return count;
}

void TImportDelimetedTextReader::ReadRecord(QStringList &values)
{
    const std::string_view line = ReadLineBytes();
    if (line.empty())
        return;
    if (line.find('"') == std::string_view::npos) {
        // No quotes: each value is a slice of the line.
        size_t start = 0;
        for (;;) {
            const size_t d = line.find(Delimiter, start);
            if (d == std::string_view::npos) {
                values.append(DecodeTrimmed(line.substr(start)));
                break;
            }
            values.append(DecodeTrimmed(line.substr(start, d - start)));
            start = d + 1;
        }
        return;
    }
    bool quoted = false;
    FValue.clear();
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == Delimiter && !quoted) {
            values.append(DecodeTrimmed(FValue));
            FValue.clear();
        } else {
            FValue.push_back(c);
        }
    }
    values.append(DecodeTrimmed(FValue));
}
