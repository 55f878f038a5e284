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
