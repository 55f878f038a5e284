// libgsf's headers before Qt's: glib uses "signals" as a name, which Qt defines as a macro.
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include "import/ZipPackage.h"
#include "app/Exceptions.h"

#include <QFile>
#include <QUrl>

#include <zlib.h>

#include <cstring>
#include <mutex>

namespace {
constexpr qint64 kStep = 64 * 1024;
#ifdef CORVANE_FUZZING
constexpr bool kCompareChecksums = false;   // mutated parts that still unpack reach the XML readers
#else
constexpr bool kCompareChecksums = true;
#endif

// libgsf reports some damage as CRITICAL log lines on stderr; the reader raises its own error
// for the same damage, so nothing of it should reach the user's terminal.
void QuietLog(const gchar *, GLogLevelFlags, const gchar *, gpointer) {}

void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const auto levels = GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        g_log_set_handler("libgsf", levels, QuietLog, nullptr);
        g_log_set_handler("libgsf:zip", levels, QuietLog, nullptr);
        g_log_set_handler("GLib-GObject", GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
                          QuietLog, nullptr);
    });
}

QString CannotRead(const QString &fileName, const QString &why)
{
    return QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, why);
}

quint16 Le16(const char *p) { return quint16(quint8(p[0]) | (quint8(p[1]) << 8)); }
quint32 Le32(const char *p) { return quint32(Le16(p)) | (quint32(Le16(p + 2)) << 16); }
quint64 Le64(const char *p) { return quint64(Le32(p)) | (quint64(Le32(p + 4)) << 32); }

// An entry name as libgsf builds its folders from it: segments split at '/', empty ones
// dropped.
QByteArray NormalName(QByteArrayView raw)
{
    QByteArray out;
    for (const QByteArray &segment : raw.toByteArray().split('/')) {
        if (segment.isEmpty())
            continue;
        if (!out.isEmpty())
            out += '/';
        out += segment;
    }
    return out;
}

// The full name of an entry, from its folders up to the archive.
QByteArray EntryName(GsfInput *part, GsfInfile *root)
{
    QByteArray name;
    for (GsfInput *at = part; at && at != GSF_INPUT(root);) {
        const char *segment = gsf_input_name(at);
        name.prepend(segment ? segment : "");
        GsfInfile *up = gsf_input_container(at);
        at = up ? GSF_INPUT(up) : nullptr;
        if (at && at != GSF_INPUT(root))
            name.prepend('/');
    }
    return name;
}

// The part at the remaining path segments below a zip folder, exact names first, then any
// that match ignoring case (folders "xl" and "XL" may both exist). New reference or null.
GsfInput *FindPart(GsfInfile *dir, const QStringList &segments, qsizetype at)
{
    const bool last = at + 1 == segments.size();
    auto descend = [&](GsfInput *child) -> GsfInput * {
        if (!child)
            return nullptr;
        const bool isFolder = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
        if (last)
            return isFolder ? (g_object_unref(child), nullptr) : child;
        GsfInput *found = isFolder ? FindPart(GSF_INFILE(child), segments, at + 1) : nullptr;
        g_object_unref(child);
        return found;
    };
    const QByteArray name = segments[at].toUtf8();
    if (GsfInput *found = descend(gsf_infile_child_by_name(dir, name.constData())))
        return found;
    const int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        const char *childName = gsf_infile_name_by_index(dir, i);
        if (!childName || name == childName
            || QString::fromUtf8(childName).compare(segments[at], Qt::CaseInsensitive) != 0)
            continue;
        if (GsfInput *found = descend(gsf_infile_child_by_index(dir, i)))
            return found;
    }
    return nullptr;
}
} // namespace

bool IsZipFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(4) == QByteArray("PK\x03\x04", 4);
}

// ---------------------------------------------------------------------------------------

TZipPartDevice::TZipPartDevice(GsfInput *input, QString partName, qint64 maxBytes, TZipPartCheck check)
    : FInput(input), FPartName(std::move(partName)), FMaxBytes(maxBytes), FCheck(std::move(check)),
      FCrc(quint32(crc32(0L, Z_NULL, 0)))
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

TZipPartDevice::~TZipPartDevice()
{
    if (!FFinished && FCheck.Unfinished)
        ++*FCheck.Unfinished;
    if (FInput)
        g_object_unref(FInput);
}

bool TZipPartDevice::Refill()
{
    FBuffer.clear();
    FPos = 0;
    if (FEnded || FDamaged || FLimitExceeded || FRunTooLong)
        return false;
    const gsf_off_t remaining = gsf_input_remaining(FInput);
    if (remaining <= 0) {
        FEnded = true;
        return false;
    }
    if (FRead >= FMaxBytes) {
        FLimitExceeded = true;
        return false;
    }
    const qint64 step = std::min<qint64>({kStep, qint64(remaining), FMaxBytes - FRead});
    FBuffer.resize(step);
    if (!gsf_input_read(FInput, size_t(step), reinterpret_cast<guint8 *>(FBuffer.data()))) {
        FBuffer.clear();
        FDamaged = true;
        return false;
    }
    FRead += step;
    FCrc = quint32(crc32(FCrc, reinterpret_cast<const Bytef *>(FBuffer.constData()), uInt(step)));
    if (!ScanRuns(FBuffer.constData(), FBuffer.size())) {
        FBuffer.clear();
        FRunTooLong = true;
        return false;
    }
    return true;
}

bool TZipPartDevice::ScanRuns(const char *data, qsizetype size)
{
    const char *p = data;
    const char *end = data + size;
    while (p < end) {
        const char *mark = static_cast<const char *>(memchr(p, FInTag ? '>' : '<', size_t(end - p)));
        const char *stop = mark ? mark : end;
        // Blanks between elements are no text anybody keeps (the parser hands them on in
        // pieces): they count against the part's size, not as one long cell.
        if (!FInTag && FRunBlank) {
            const char *q = p;
            while (q < stop && (*q == ' ' || *q == '\n' || *q == '\r' || *q == '\t'))
                ++q;
            FRunBlank = q == stop;
        }
        FRun += stop - p;
        if (FRun > kMaxRun && (FInTag || !FRunBlank))
            return false;
        if (!mark)
            return true;
        FRun = 0;
        FRunBlank = true;
        FInTag = !FInTag;
        p = mark + 1;
    }
    return true;
}

qint64 TZipPartDevice::readData(char *data, qint64 maxSize)
{
    if (FPos >= FBuffer.size() && !Refill())
        return (FDamaged || FLimitExceeded || FRunTooLong) ? -1 : 0;
    const qint64 n = std::min<qint64>(maxSize, FBuffer.size() - FPos);
    memcpy(data, FBuffer.constData() + FPos, size_t(n));
    FPos += n;
    return n;
}

void TZipPartDevice::Finish()
{
    if (FFinished)
        return;
    FFinished = true;
    FEnded = true;
    FBuffer.clear();
    FPos = 0;
    if (!FCheck.Check)
        return;
    if (gsf_input_size(FInput) < 0)
        FDamaged = true;
    // The rest of the part, for its checksum only (the reader may have stopped early).
    QByteArray scratch;
    while (!FDamaged) {
        const gsf_off_t remaining = gsf_input_remaining(FInput);
        if (remaining <= 0)
            break;
        if (scratch.isEmpty())
            scratch.resize(kStep);
        const qint64 step = std::min<qint64>(kStep, qint64(remaining));
        auto *bytes = reinterpret_cast<guint8 *>(scratch.data());
        if (!gsf_input_read(FInput, size_t(step), bytes)) {
            FDamaged = true;
            break;
        }
        FRead += step;
        FCrc = quint32(crc32(FCrc, bytes, uInt(step)));
    }
    const QString &shown = FCheck.EntryName;
    if (FDamaged)
        throw Exception(CannotRead(
            FCheck.FileName,
            QStringLiteral("the part \"%1\" cannot be unpacked (the file is damaged or truncated)").arg(shown)));
    if (!kCompareChecksums)
        return;
    if (FCheck.Expected.isEmpty())
        throw Exception(CannotRead(
            FCheck.FileName, QStringLiteral("the file is damaged (the part \"%1\" is missing from its directory)").arg(shown)));
    if (!FCheck.Expected.contains(FCrc))
        throw Exception(CannotRead(
            FCheck.FileName, QStringLiteral("the file is damaged (the part \"%1\" does not match its checksum)").arg(shown)));
}

qint64 TZipPartDevice::bytesAvailable() const
{
    return (FBuffer.size() - FPos) + QIODevice::bytesAvailable();
}

bool TZipPartDevice::atEnd() const
{
    return FPos >= FBuffer.size()
           && (FEnded || FDamaged || FLimitExceeded || FRunTooLong || gsf_input_remaining(FInput) <= 0);
}

// ---------------------------------------------------------------------------------------

TZipPackage::TZipPackage(const QString &fileName) : FFileName(fileName)
{
    InitGsf();
    GError *error = nullptr;
    FSource = gsf_input_stdio_new(QFile::encodeName(fileName).constData(), &error);
    if (!FSource) {
        if (error)
            g_error_free(error);
        throw Exception(CannotRead(fileName, QStringLiteral("the file cannot be opened")));
    }
    FZip = gsf_infile_zip_new(FSource, &error);
    if (!FZip) {
        if (error)
            g_error_free(error);
        g_object_unref(FSource);
        FSource = nullptr;
        throw Exception(CannotRead(fileName, QStringLiteral("it is not a readable zip archive (damaged or truncated)")));
    }
    if (error)
        g_error_free(error);
    try {
        ReadChecksums();
    } catch (...) {
        g_object_unref(FZip);
        g_object_unref(FSource);
        FZip = nullptr;
        FSource = nullptr;
        throw;
    }
}

// The CRC-32 of every entry, from the central directory (libgsf reads it but keeps it to
// itself, and never compares it).
void TZipPackage::ReadChecksums()
{
    const auto damaged = [&] {
        throw Exception(CannotRead(FFileName, QStringLiteral("it is not a readable zip archive (damaged or truncated)")));
    };
    QFile f(FFileName);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(CannotRead(FFileName, QStringLiteral("the file cannot be opened")));
    const qint64 size = f.size();
    // the end record (22 bytes and a comment of up to 64 KB), with the zip64 locator before it
    const qint64 tailSize = std::min<qint64>(size, 20 + 22 + 0xFFFF);
    if (tailSize < 22 || !f.seek(size - tailSize))
        damaged();
    const QByteArray tail = f.read(tailSize);
    if (tail.size() != tailSize)
        damaged();
    qsizetype end = tail.size() - 22;
    while (end >= 0 && memcmp(tail.constData() + end, "PK\x05\x06", 4) != 0)
        --end;
    if (end < 0)
        damaged();
    const char *e = tail.constData() + end;
    quint64 dirSize = Le32(e + 12);
    quint64 dirOffset = Le32(e + 16);
    if (Le16(e + 10) == 0xFFFF || dirSize == 0xFFFFFFFFu || dirOffset == 0xFFFFFFFFu) {
        if (end < 20 || memcmp(e - 20, "PK\x06\x07", 4) != 0)
            damaged();
        const quint64 at = Le64(e - 20 + 8);
        if (size < 56 || at > quint64(size - 56) || !f.seek(qint64(at)))
            damaged();
        const QByteArray z = f.read(56);
        if (z.size() != 56 || !z.startsWith(QByteArray("PK\x06\x06", 4)))
            damaged();
        dirSize = Le64(z.constData() + 40);
        dirOffset = Le64(z.constData() + 48);
    }
    if (dirSize > quint64(kMaxDirectoryBytes) || dirOffset > quint64(size) || dirSize > quint64(size) - dirOffset
        || !f.seek(qint64(dirOffset)))
        damaged();
    const QByteArray dir = f.read(qint64(dirSize));
    if (dir.size() != qsizetype(dirSize))
        damaged();
    for (qsizetype pos = 0; pos + 46 <= dir.size() && memcmp(dir.constData() + pos, "PK\x01\x02", 4) == 0;) {
        const char *c = dir.constData() + pos;
        const qsizetype nameLength = Le16(c + 28);
        if (nameLength > dir.size() - pos - 46)
            break;
        FChecksums.insert(NormalName(QByteArrayView(c + 46, nameLength)), Le32(c + 16));
        pos += 46 + nameLength + Le16(c + 30) + Le16(c + 32);
    }
}

TZipPackage::~TZipPackage()
{
    if (FZip)
        g_object_unref(FZip);
    if (FSource)
        g_object_unref(FSource);
}

std::unique_ptr<TZipPartDevice> TZipPackage::OpenPart(const QString &path, qint64 maxBytes) const
{
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (segments.isEmpty() || segments.size() > 32)
        return nullptr;
    GsfInput *part = FindPart(FZip, segments, 0);
    if (!part)
        return nullptr;
    TZipPartCheck check;
    const QByteArray name = EntryName(part, FZip);
    check.FileName = FFileName;
    check.EntryName = QString::fromUtf8(name);
    check.Expected = FChecksums.values(name);
    check.Check = gsf_input_size(part) <= maxBytes;   // beyond it, the reading stops at the limit and says so
    check.Unfinished = FUnfinished;
    return std::make_unique<TZipPartDevice>(part, segments.join(QLatin1Char('/')), maxBytes, std::move(check));
}

void TZipPackage::RequireAllFinished() const
{
    if (*FUnfinished > 0)
        throw Exception(CannotRead(FFileName, QStringLiteral("a part of it was read without its checksum compared "
                                                             "(a fault of this program)")));
}

QString ResolvePartPath(const QString &sourcePart, const QString &target)
{
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    QStringList parts;
    if (!decoded.startsWith(QLatin1Char('/'))) {
        parts = sourcePart.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (!parts.isEmpty())
            parts.removeLast();   // the source's own name
    }
    for (const QString &segment : decoded.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << segment;
    }
    return parts.join(QLatin1Char('/'));
}
