#include "FuzzInput.h"
#include "app/Exceptions.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QByteArray &Folder()
{
    static const QByteArray folder = [] {
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QByteArray f = QByteArray(base) + "/corvane-fuzz-" + QByteArray::number(getpid());
        QDir().mkpath(QString::fromLocal8Bit(f));
        // gone with a normal end; scripts/fuzz.sh removes what a crash leaves
        std::atexit([] { QDir(QString::fromLocal8Bit(Folder())).removeRecursively(); });
        return f;
    }();
    return folder;
}
} // namespace

QString FuzzFile(const char *name, const uint8_t *data, size_t size)
{
    const QByteArray path = Folder() + "/" + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        perror(path.constData());
        abort();
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w <= 0) {
            perror(path.constData());
            abort();
        }
        done += size_t(w);
    }
    ::close(fd);
    return QString::fromLocal8Bit(path);
}

namespace {
quint32 Crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put16(QByteArray &out, quint16 v)
{
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void Put32(QByteArray &out, quint32 v)
{
    Put16(out, quint16(v & 0xFFFF));
    Put16(out, quint16(v >> 16));
}
} // namespace

QByteArray StoredZip(const QList<std::pair<QByteArray, QByteArray>> &entries)
{
    QByteArray out, central;
    for (const auto &[name, data] : entries) {
        const quint32 crc = Crc32(data);
        const quint32 offset = quint32(out.size());
        out += QByteArray("PK\x03\x04", 4);
        Put16(out, 20), Put16(out, 0), Put16(out, 0), Put16(out, 0), Put16(out, 0);
        Put32(out, crc), Put32(out, quint32(data.size())), Put32(out, quint32(data.size()));
        Put16(out, quint16(name.size())), Put16(out, 0);
        out += name;
        out += data;
        central += QByteArray("PK\x01\x02", 4);
        Put16(central, 20), Put16(central, 20), Put16(central, 0), Put16(central, 0), Put16(central, 0),
            Put16(central, 0);
        Put32(central, crc), Put32(central, quint32(data.size())), Put32(central, quint32(data.size()));
        Put16(central, quint16(name.size())), Put16(central, 0), Put16(central, 0), Put16(central, 0),
            Put16(central, 0);
        Put32(central, 0), Put32(central, offset);
        central += name;
    }
    const quint32 at = quint32(out.size());
    out += central;
    out += QByteArray("PK\x05\x06", 4);
    Put16(out, 0), Put16(out, 0), Put16(out, quint16(entries.size())), Put16(out, quint16(entries.size()));
    Put32(out, quint32(central.size())), Put32(out, at), Put16(out, 0);
    return out;
}

void RemoveFuzzFile(const char *name)
{
    ::unlink((Folder() + "/" + name).constData());
}

void CheckRecord(const QStringList &values)
{
    for (const QString &v : values) {
        if (!v.isEmpty() && (v.front().unicode() <= 32 || v.back().unicode() <= 32))
            abort();   // every reader hands over trimmed values
    }
}

void FuzzImport(TImportFileReader &reader, const QString &path)
{
    try {
        reader.Import(path);
    } catch (const Exception &e) {
        // an error must name the file
        if (!e.message().contains(path) && !e.message().contains(QFileInfo(path).fileName()))
            abort();
    }
}
