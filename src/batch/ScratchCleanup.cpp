#include "batch/ScratchCleanup.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Everything the handler touches is prepared beforehand: it only unlinks fixed paths.
constexpr int kMaxFiles = 16;
constexpr int kMaxPath = 4096;
char g_folder[kMaxPath];
char g_files[kMaxFiles][kMaxPath];
volatile std::sig_atomic_t g_fileCount = 0;
volatile std::sig_atomic_t g_armed = 0;
const int kSignals[] = {SIGTERM, SIGINT
#ifdef SIGHUP
                        , SIGHUP
#endif
};

void removeScratch()
{
    if (!g_armed)
        return;
    g_armed = 0;
#ifdef Q_OS_UNIX
    for (int i = 0; i < g_fileCount; ++i)
        ::unlink(g_files[i]);
    ::rmdir(g_folder);
#else
    for (int i = 0; i < g_fileCount; ++i)
        std::remove(g_files[i]);
    std::remove(g_folder);
#endif
}

extern "C" void onSignal(int sig)
{
    removeScratch();
    // End as the signal would have ended the program.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

bool copyPath(char *to, const QString &path)
{
    const QByteArray bytes = QFile::encodeName(QDir::toNativeSeparators(path));
    if (bytes.size() >= kMaxPath)
        return false;
    std::memcpy(to, bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}

void install(bool on)
{
    for (int sig : kSignals) {
#ifdef Q_OS_UNIX
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = on ? onSignal : SIG_DFL;
        sigemptyset(&sa.sa_mask);
        for (int other : kSignals)
            sigaddset(&sa.sa_mask, other);
        sigaction(sig, &sa, nullptr);
#else
        std::signal(sig, on ? onSignal : SIG_DFL);
#endif
    }
}

} // namespace

TScratchCleanup::TScratchCleanup(const QString &folder, const QStringList &fileNames)
{
    g_armed = 0;
    int count = 0;
    bool ok = copyPath(g_folder, folder);
    for (const QString &name : fileNames) {
        if (count >= kMaxFiles || !copyPath(g_files[count], QDir(folder).filePath(name)))
            ok = false;
        else
            ++count;
    }
    g_fileCount = count;
    if (!ok)
        return;   // paths too long for the handler: the folder's owner still removes it on return
    g_armed = 1;
    install(true);
}

TScratchCleanup::~TScratchCleanup()
{
    install(false);
    g_armed = 0;
}
