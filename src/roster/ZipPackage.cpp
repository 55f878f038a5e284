// libgsf's headers before Qt's: glib uses "signals" as a name, which Qt defines as a macro.
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include "roster/ZipPackage.h"
#include "app/Exceptions.h"

#include <QFile>
#include <QUrl>

#include <mutex>

namespace {
constexpr qint64 kStep = 64 * 1024;

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

TZipPartDevice::TZipPartDevice(GsfInput *input, QString partName, qint64 maxBytes)
    : FInput(input), FPartName(std::move(partName)), FMaxBytes(maxBytes)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

TZipPartDevice::~TZipPartDevice()
{
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
    return std::make_unique<TZipPartDevice>(part, segments.join(QLatin1Char('/')), maxBytes);
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
