#include "roster/ImportHooks.h"
#include "app/Exceptions.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// What the programs that read rosters through corvane-import need of the reader interface
// (the installed hooks, the table choice, the file check), apart from the readers: linking
// these pulls no reader in.

namespace {
TBusyCursorHandler &BusyHandlerSlot()
{
    static TBusyCursorHandler handler;
    return handler;
}

TTableChooser &ChooserSlot()
{
    static TTableChooser chooser;
    return chooser;
}
} // namespace

bool CheckReadableFile(const QString &fileName)
{
    const auto fail = [&](const QString &why) {
        throw Exception(QStringLiteral("Cannot open '%1': %2.").arg(fileName, why));
    };
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st;
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        if (errno == ELOOP)
            fail(QStringLiteral("it is a symbolic link that leads round in a loop"));
        fail(QString::fromLocal8Bit(strerror(errno)));
    }
    if (S_ISDIR(st.st_mode))
        fail(QStringLiteral("it is a folder"));
    // a pipe would block the reading; a device may never end
    if (S_ISFIFO(st.st_mode))
        fail(QStringLiteral("it is a pipe (FIFO), not a file"));
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        fail(QStringLiteral("it is a device, not a file"));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("it is not a regular file"));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail(QString::fromLocal8Bit(strerror(errno)));
    ::close(fd);
    return true;
#else
    const QFileInfo info(fileName);
    if (!info.exists())
        return false;
    if (info.isDir())
        fail(QStringLiteral("it is a folder"));
    if (!info.isFile())
        fail(QStringLiteral("it is not a regular file"));
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        fail(f.errorString());
    return true;
#endif
}

void SetTableChooser(TTableChooser chooser) { ChooserSlot() = std::move(chooser); }

void SetBusyCursorHandler(TBusyCursorHandler handler) { BusyHandlerSlot() = std::move(handler); }

void ShowBusyCursor(bool busy)
{
    if (BusyHandlerSlot())
        BusyHandlerSlot()(busy);
}
const TTableChooser &TableChooser() { return ChooserSlot(); }

namespace {
QString g_lastChosenTable;
}

QString LastChosenImportTable() { return g_lastChosenTable; }

bool ChooseImportTable(const QString &fileName, const QStringList &tables, QString &chosen)
{
    if (const TTableChooser &choose = TableChooser()) {
        const bool ok = choose(tables, chosen) && !chosen.isEmpty();
        if (ok)
            g_lastChosenTable = chosen;
        return ok;
    }
    if (tables.size() == 1) {
        chosen = tables.first();
        g_lastChosenTable = chosen;
        return true;
    }
    if (tables.isEmpty())
        throw Exception(QStringLiteral("The Access database \"%1\" holds no tables.").arg(fileName));
    throw Exception(QStringLiteral("The Access database \"%1\" holds several tables (%2); choose one to import.")
                        .arg(fileName, tables.join(QStringLiteral(", "))));
}
