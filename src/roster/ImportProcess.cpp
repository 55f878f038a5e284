#include "roster/ImportProcess.h"
#include "import/protocol/ImportProtocol.h"
#include "import/protocol/ImportFrames.h"
#include "app/Exceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_NO_ADDRESS_LIMIT 1   // the sanitizer reserves terabytes of address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_NO_ADDRESS_LIMIT 1
#endif
#endif

namespace {

using namespace ImportProtocol;

TImportLimits &LimitsSlot()
{
    static TImportLimits limits;
    return limits;
}

TImportProgress &ProgressSlot()
{
    static TImportProgress progress;
    return progress;
}

int g_running = 0;          // readings under way (a dialog during one may start another)
bool g_cancelled = false;

QString ProgramName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("corvane-import.exe");
#else
    return QStringLiteral("corvane-import");
#endif
}

[[noreturn]] void Fail(const QString &fileName, const QString &why)
{
    throw Exception(QStringLiteral("Cannot read '%1': %2").arg(fileName, why));
}

struct Running
{
    Running()
    {
        if (g_running++ == 0)
            g_cancelled = false;
    }
    ~Running() { --g_running; }
};

// One run of corvane-import, read to its last frame.
class Child
{
public:
    enum Outcome { Read, NotOpened, Cancelled };

    Child(const QString &fileName, const QStringList &arguments) : m_fileName(fileName), m_arguments(arguments) {}

    TRecordViewsEvent onRecord;
    TFieldCountEvent onFieldCount;
    QStringList tables;
    bool spreadsheet = false;   // Excel's cell limit applies
    const TImportNotes &Notes() const { return m_decoder.notes; }

    Outcome Run()
    {
        const QString program = ImportProgramPath();
        if (program.isEmpty()) {
            const QString fromEnv = qEnvironmentVariable("CORVANE_IMPORT");
            const QString where = !fromEnv.isEmpty() ? QDir::toNativeSeparators(fromEnv)
                                  : QCoreApplication::instance()
                                      ? ProgramName() + QStringLiteral(" (looked in ")
                                            + QDir::toNativeSeparators(QCoreApplication::applicationDirPath())
                                            + QStringLiteral(" and ../libexec/corvane-lite)")
                                      : ProgramName();
            Fail(m_fileName, QStringLiteral("the import program %1 was not found.").arg(where));
        }
        const TImportLimits limits = ImportLimits();
        QProcess process;
        process.setProgram(program);
        process.setArguments(m_arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());   // the libraries' complaints
#ifdef Q_OS_UNIX
        const pid_t parent = ::getpid();
        const rlim_t cpu = rlim_t(limits.cpuSeconds);
        const rlim_t space = rlim_t(limits.addressSpace);
        // Runs in the child between fork and exec: async-signal-safe calls only.
        process.setChildProcessModifier([parent, cpu, space] {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);   // a core file would hold roster data
            if (cpu > 0) {
                const rlimit cpuLimit{cpu, cpu + 2};
                ::setrlimit(RLIMIT_CPU, &cpuLimit);
            }
#ifndef CORVANE_NO_ADDRESS_LIMIT
            if (space > 0) {
                const rlimit spaceLimit{space, space};
                ::setrlimit(RLIMIT_AS, &spaceLimit);
            }
#else
            (void)space;
#endif
#ifdef Q_OS_LINUX
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(1);
            // The program's own files stay with it (close-on-exec for all above stderr);
            // QProcess's own pipe is close-on-exec already.
#ifdef SYS_close_range
            const long marked = ::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#else
            const long marked = -1;
#endif
            if (marked != 0) {
                const long max = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
                for (int fd = 3; fd < max; ++fd)
                    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
#else
            (void)parent;
#endif
        });
#endif
        process.start(QIODevice::ReadOnly);
        if (!process.waitForStarted(30000))
            Fail(m_fileName, QStringLiteral("the import program %1 could not be started (%2).")
                                 .arg(QDir::toNativeSeparators(program), process.errorString()));

        // by name: the reader program links no GUI library
        const bool interactive = QCoreApplication::instance()
                                 && QCoreApplication::instance()->inherits("QGuiApplication");
        QElapsedTimer clock;
        clock.start();
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        m_decoder.SetSpreadsheet(spreadsheet);
        m_decoder.onRecord = onRecord;
        m_decoder.onFieldCount = onFieldCount;
        m_decoder.onTable = [this](const QString &name) { tables << name; };
        for (;;) {
            if (m_decoder.Done())
                break;
            if (process.state() == QProcess::NotRunning) {
                Receive(process);
                if (m_decoder.Done())
                    break;
                Stopped(process);
            }
            const qint64 left = limits.wallClockMs - clock.elapsed();
            if (left <= 0) {
                Kill(process);
                Fail(m_fileName, QStringLiteral("the reader took too long and was stopped."));
            }
            if (interactive) {
                // Short waits with the event loop between them: the wait window repaints
                // and the close box works; clicks wait until the roster is in.
                process.waitForReadyRead(int(std::min<qint64>(left, 40)));
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                if (g_cancelled) {
                    process.kill();
                    process.waitForFinished(5000);
                    return Cancelled;
                }
                if (sinceProgress.elapsed() >= 100 && ProgressSlot()) {
                    ProgressSlot()(m_rows);
                    sinceProgress.restart();
                }
            } else {
                process.waitForReadyRead(int(std::min<qint64>(left, 1000)));
            }
            Receive(process);
        }
        // The child ends by itself after its last frame.
        if (!process.waitForFinished(2000))
            process.kill();
        switch (m_decoder.Last()) {
        case TagNotOpened:
            return NotOpened;
        case TagError:
            throw Exception(m_decoder.Message());
        case TagOutOfMemory:
            Fail(m_fileName, QStringLiteral("the reader ran out of memory."));
        default:
            return Read;
        }
    }

private:
    [[noreturn]] void Garbled()
    {
        Fail(m_fileName, QStringLiteral("the file is damaged (the reader sent a garbled reply)."));
    }

    // The child ended without its last frame: it crashed or a limit stopped it.
    [[noreturn]] void Stopped(const QProcess &process)
    {
#ifdef Q_OS_UNIX
        if (process.exitStatus() == QProcess::CrashExit) {
            const int signal = process.exitCode();
            if (signal == SIGXCPU)
                Fail(m_fileName, QStringLiteral("the reader took too long and was stopped."));
            // Not killed here, and the CPU limit would have sent SIGXCPU first: the system's
            // out-of-memory killer.
            if (signal == SIGKILL)
                Fail(m_fileName, QStringLiteral("the reader was stopped by the system for lack of memory."));
            // The readers map the file: one cut short, or a disk failing, under them.
            if (signal == SIGBUS)
                Fail(m_fileName, QStringLiteral("the file changed, or its disk failed, while it was being read; read it again."));
            Fail(m_fileName, QStringLiteral("the file is damaged (the reader stopped unexpectedly (signal %1)).").arg(signal));
        }
#else
        (void)process;
#endif
        Fail(m_fileName, QStringLiteral("the file is damaged (the reader stopped unexpectedly)."));
    }

    // Reads what has arrived into the decoder; a reply past the roster's bounds or against
    // the protocol ends the child at once.
    void Receive(QProcess &process)
    {
        try {
            while (!m_decoder.Done() && process.bytesAvailable() > 0) {
                qsizetype room = 0;
                char *at = m_decoder.Space(room);
                const qint64 n = process.read(at, room);
                if (n <= 0)
                    break;
                m_decoder.Received(n);
            }
        } catch (const TFrameGarbled &) {
            Kill(process);
            Garbled();
        } catch (const TRosterBoundExceeded &e) {
            Kill(process);
            Fail(m_fileName, RosterBoundReason(e.bound) + QLatin1Char('.'));
        }
        m_rows = m_decoder.Rows();
    }

    static void Kill(QProcess &process)
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QString m_fileName;
    QStringList m_arguments;
    TImportFrameDecoder m_decoder;
    int m_rows = 0;
};

QStringList Arguments(const QString &fileName, TImportFileType fileType)
{
    return {fileName, QString::number(int(fileType))};
}

} // namespace

void SetImportLimits(const TImportLimits &limits) { LimitsSlot() = limits; }

TImportLimits ImportLimits()
{
    TImportLimits limits = LimitsSlot();
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("CORVANE_IMPORT_TIMEOUT_MS", &ok);
    if (ok && ms > 0)
        limits.wallClockMs = ms;
    return limits;
}

void SetImportProgress(TImportProgress progress) { ProgressSlot() = std::move(progress); }

void CancelImportProcess()
{
    if (g_running > 0)
        g_cancelled = true;
}

QString ImportProgramPath()
{
    const QString fromEnv = qEnvironmentVariable("CORVANE_IMPORT");
    if (!fromEnv.isEmpty())
        return QFileInfo(fromEnv).isFile() ? fromEnv : QString();
    if (!QCoreApplication::instance())
        return {};
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {here.filePath(ProgramName()),
                                     here.filePath(QStringLiteral("../libexec/corvane-lite/") + ProgramName())}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return {};
}

QStringList ImportProcessTableNames(const QString &fileName)
{
    Running running;
    TBusyCursorScope busy;
    Child child(fileName, Arguments(fileName, iftAccess) << QStringLiteral("--list-tables"));
    if (child.Run() != Child::Read)
        return {};
    return child.tables;
}

bool ImportThroughProcess(const QString &fileName, TImportFileType fileType, const TIntArray &fixedColumns,
                          const TRecordViewsEvent &onRecord, const TFieldCountEvent &onFieldCount,
                          TImportNotes *notes, bool skipBlankRows)
{
    if (notes)
        *notes = TImportNotes();
    if (!HasImportReader(fileType))
        return false;   // no reader for this type: nothing to start
    // A folder, a pipe or a file we may not read is refused here: a child would block on a pipe.
    if (fileType != iftAccess && !CheckReadableFile(fileName))
        return false;
    Running running;
    QStringList arguments = Arguments(fileName, fileType);
    if (fileType == iftAccess) {
        // The user chooses between the tables here; the child then reads the chosen one.
        if (!QFileInfo::exists(fileName))
            throw Exception(QStringLiteral("Cannot open the Access database \"%1\": the file does not exist.").arg(fileName));
        CheckReadableFile(fileName);
        const QStringList tables = ImportProcessTableNames(fileName);
        if (g_cancelled)
            return false;
        QString chosen;
        if (!ChooseImportTable(fileName, tables, chosen))
            return false;
        arguments << QStringLiteral("--table") << chosen;
    }
    if (fileType == iftFixedText && !fixedColumns.isEmpty()) {
        QStringList starts;
        for (int start : fixedColumns)
            starts << QString::number(start);
        arguments << QStringLiteral("--columns") << starts.join(QLatin1Char(','));
    }
    if (skipBlankRows)
        arguments << QStringLiteral("--blank-rows") << QStringLiteral("skip");
    TBusyCursorScope busy;
    Child child(fileName, arguments);
    child.spreadsheet = fileType == iftExcel || fileType == iftOds;
    child.onRecord = onRecord;
    child.onFieldCount = onFieldCount;
    const bool read = child.Run() == Child::Read;
    if (notes)
        *notes = child.Notes();
    return read;
}
