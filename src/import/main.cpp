// corvane-import: reads ONE roster file with the roster readers and streams what it read on
// standard output (see import/protocol/ImportProtocol.h). The wizard and corvane-batch start it for
// every roster, so that a reader crashing, hanging or eating memory on a damaged file takes
// down only this process.
//
//   corvane-import FILE TYPE [--table NAME] [--list-tables] [--columns START,START,...] [--blank-rows skip]
#include "app/Exceptions.h"
#include "import/ImportSandbox.h"
#include "import/ImportFileReader.h"
#include "import/protocol/ImportFrames.h"
#include "import/protocol/ImportProtocol.h"
#include "import/access/ImportAccessReader.h"
#include "roster/ImportTable.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace ImportProtocol;

// Frames go to a private copy of standard output; the real one is pointed at standard error
// so that a library printing there cannot corrupt the stream.
class Output
{
public:
    Output()
    {
#ifdef Q_OS_UNIX
        m_fd = ::dup(1);
        ::dup2(2, 1);
#ifdef F_SETPIPE_SZ
        ::fcntl(m_fd, F_SETPIPE_SZ, 1 << 20);   // fewer wake-ups of the reading parent
#endif
#elif defined(Q_OS_WIN)
        _setmode(1, _O_BINARY);
        m_fd = _dup(1);
        _dup2(2, 1);
#endif
        m_buffer.reserve(BufferSize + 4096);
        m_buffer.append(Magic, sizeof Magic);
        m_committed = m_buffer.size();
    }
    ~Output() { Flush(); }

    void Frame(char tag, const void *payload, size_t n)
    {
        Head(tag, quint32(n));
        m_buffer.append(static_cast<const char *>(payload), n);
        Commit();
    }
    void Frame(char tag, const QByteArray &payload) { Frame(tag, payload.constData(), size_t(payload.size())); }

    void Record(const QStringList &values)
    {
        // Most rosters are Latin-1 text: a byte a character halves what crosses the pipe.
        bool latin1 = true;
        size_t chars = 0;
        for (const QString &v : values) {
            chars += size_t(v.size());
            for (QChar c : v)
                latin1 = latin1 && c.unicode() < 256;
        }
        const size_t n = 4 + 4 * size_t(values.size()) + chars * (latin1 ? 1 : 2);
        Head(latin1 ? TagLatin1Record : TagRecord, quint32(n));
        Put32(quint32(values.size()));
        for (const QString &v : values) {
            Put32(quint32(v.size()));
            if (latin1) {
                const qsizetype at = m_buffer.size();
                m_buffer.resize(at + v.size());
                char *out = m_buffer.data() + at;
                for (qsizetype i = 0; i < v.size(); ++i)
                    out[i] = char(v[i].unicode());
            } else {
                m_buffer.append(reinterpret_cast<const char *>(v.constData()), size_t(v.size()) * 2);
            }
        }
        Commit();
    }

    // A frame cut short by an allocation failure is not sent.
    void DropPartial() { m_buffer.resize(m_committed); }

    void Raw(const char *bytes, size_t n)
    {
        m_buffer.append(bytes, n);
        m_committed = m_buffer.size();
    }

    void Flush()
    {
        const char *p = m_buffer.data();
        size_t left = m_buffer.size();
        while (left > 0) {
#ifdef Q_OS_WIN
            const int w = _write(m_fd, p, unsigned(std::min<size_t>(left, 1 << 20)));
#else
            const ssize_t w = ::write(m_fd, p, left);
            if (w < 0 && errno == EINTR)
                continue;
#endif
            if (w <= 0)
                std::_Exit(4);   // the reader's parent is gone
            p += w;
            left -= size_t(w);
        }
        m_buffer.clear();
        m_committed = 0;
    }

private:
    static constexpr size_t BufferSize = 1 << 18;

    void Head(char tag, quint32 n)
    {
        m_buffer.push_back(tag);
        Put32(n);
    }
    void Put32(quint32 v) { m_buffer.append(reinterpret_cast<const char *>(&v), 4); }
    void Commit()
    {
        m_committed = m_buffer.size();
        if (m_buffer.size() >= BufferSize)
            Flush();
    }

    int m_fd = 1;
    std::string m_buffer;
    size_t m_committed = 0;
};

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Sends a record frame of the given values as they stand, past any bound.
void RawRecord(Output &out, quint32 count, const QList<QByteArray> &values, quint32 frameSize = 0)
{
    QByteArray payload(reinterpret_cast<const char *>(&count), 4);
    for (const QByteArray &v : values) {
        const quint32 n = quint32(v.size());
        payload += QByteArray(reinterpret_cast<const char *>(&n), 4) + v;
    }
    const quint32 size = frameSize ? frameSize : quint32(payload.size());
    const char head[5] = {TagLatin1Record, char(size), char(size >> 8), char(size >> 16), char(size >> 24)};
    out.Raw(head, 5);
    out.Raw(payload.constData(), size_t(payload.size()));
    out.Flush();
}

#ifdef Q_OS_UNIX
// What the confined reader is refused: a frame per attempt, "what: how it ended".
void Probe(Output &out, const QString &fileName)
{
    const auto report = [&](const char *what, int result) {
        const QByteArray how = result < 0 ? QByteArray(strerror(errno)) : QByteArray("allowed");
        out.Frame(TagTable, QByteArray(what) + ": " + how);
    };
    const QByteArray target = QFile::encodeName(fileName) + ".written";
    int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    report("write-open", fd);
    fd = ::open(QFile::encodeName(fileName).constData(), O_RDWR);
    report("read-write-open", fd);
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    report("socket", fd);
    char *const args[] = {const_cast<char *>("/bin/true"), nullptr};
    report("exec", ::execve("/bin/true", args, environ));
    const pid_t child = ::fork();
    if (child == 0)
        std::_Exit(0);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    report("fork", child);
    report("unlink", ::unlink(QFile::encodeName(fileName).constData()));
    fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY);
    report("read-open", fd);
    out.Flush();
}
#endif

// Test hook: CORVANE_IMPORT_TEST_CRASH makes the reading fail in a chosen way, so that the
// parent's handling of each is tested whatever the libraries do with damaged files.
void TestHook(Output &out, const QString &fileName)
{
    const QByteArray hook = qgetenv("CORVANE_IMPORT_TEST_CRASH");
    if (hook.isEmpty())
        return;
    if (hook == "slow") {   // reads normally after a pause
        Sleep(qEnvironmentVariableIntValue("CORVANE_IMPORT_TEST_DELAY_MS") > 0
                  ? qEnvironmentVariableIntValue("CORVANE_IMPORT_TEST_DELAY_MS")
                  : 1500);
        return;
    }
#ifdef Q_OS_UNIX
    if (hook == "probe") {   // reads normally after trying what the sandbox refuses
        Probe(out, fileName);
        return;
    }
#endif
    const quint32 three = 3;
    out.Frame(TagFields, &three, 4);
    out.Record({QStringLiteral("PARTIAL"), QStringLiteral("ROW"), QStringLiteral("1")});
    out.Flush();
    if (hook == "abort") {
        std::abort();
    } else if (hook == "segv") {
        std::raise(SIGSEGV);
    } else if (hook == "bus") {   // as a mapped file cut short under the reader
        std::raise(SIGBUS);
    } else if (hook == "killed") {   // as the system's out-of-memory killer ends a process
        std::raise(SIGKILL);
    } else if (hook == "hang") {
        for (;;)
            Sleep(1000);
    } else if (hook == "spin") {
        volatile unsigned long n = 0;
        for (;;)
            n = n + 1;
    } else if (hook == "garble") {
        static const char junk[] = "R\xff\xff\xff\x7fnot a record at all";
        out.Raw(junk, sizeof junk - 1);
        out.Flush();
        std::_Exit(0);
    } else if (hook == "count") {   // a value count no frame of this size can hold
        RawRecord(out, 0x40000000u, {"A"});
        for (;;)
            Sleep(1000);
    } else if (hook == "length") {   // a value running past the frame's end
        RawRecord(out, 2, {"AB", "CD"}, 4 + 4 + 2 + 4 + 1);
        for (;;)
            Sleep(1000);
    } else if (hook == "flood") {   // a reader past every bound of its own
        const QByteArray cell(32767, 'x');
        for (;;)
            RawRecord(out, 3, {cell, cell, cell});
    } else if (hook == "eat") {
        std::vector<char *> blocks;
        for (int i = 0; i < 1024; ++i) {   // 64 GiB: only an address-space limit stops it
            blocks.push_back(new char[size_t(64) << 20]);
            blocks.back()[0] = 1;
        }
        std::abort();
    }
}

void SendNotes(Output &out, const TImportNotes &notes)
{
    if (notes.RowsAfterEnd()) {
        const quint32 rows[3] = {quint32(notes.EndRow), quint32(notes.FirstRowAfter), quint32(notes.LastRowAfter)};
        out.Frame(TagRowsAfterEnd, rows, sizeof rows);
    }
    std::vector<quint32> counts;
    for (auto c = notes.ValuelessFormulas.cbegin(); c != notes.ValuelessFormulas.cend(); ++c) {
        if (c.value() > 0) {
            counts.push_back(quint32(c.key()));
            counts.push_back(quint32(c.value()));
        }
    }
    if (!counts.empty())
        out.Frame(TagValuelessFormulas, counts.data(), counts.size() * 4);
}

int Run(int argc, char **argv, Output &out)
{
    if (argc < 3)
        throw Exception(QStringLiteral("usage: corvane-import FILE TYPE [--table NAME] [--list-tables] [--columns N,N,...] [--blank-rows skip]"));
    const QString fileName = QFile::decodeName(argv[1]);
    const int type = QByteArray(argv[2]).toInt();
    QString table;
    bool listTables = false;
    bool skipBlankRows = false;
    TIntArray columns;
    for (int i = 3; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--list-tables") {
            listTables = true;
        } else if (arg == "--table" && i + 1 < argc) {
            table = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--blank-rows" && i + 1 < argc) {
            skipBlankRows = QByteArray(argv[++i]) == "skip";
        } else if (arg == "--columns" && i + 1 < argc) {
            for (const QByteArray &start : QByteArray(argv[++i]).split(','))
                if (!start.isEmpty())
                    columns << start.toInt();
        }
    }

    // Confined before any reader looks at the file: the Excel reader parses the whole
    // workbook while opening it.
    const QString confined = EnterImportSandbox();
    if (!confined.isEmpty())
        throw Exception(QStringLiteral("Cannot read '%1': the reader could not be confined (%2).").arg(fileName, confined));

    TestHook(out, fileName);

    if (listTables) {
        for (const QString &name : TImportAccessReader::TableNames(fileName))
            out.Frame(TagTable, name.toUtf8());
        out.Frame(TagEnd, nullptr, 0);
        return 0;
    }
    // The parent has asked the user; here the choice is only looked up.
    SetTableChooser([&](const QStringList &tables, QString &chosen) {
        if (!tables.contains(table))
            throw Exception(QStringLiteral("Cannot read \"%1\": it has no table named \"%2\".").arg(fileName, table));
        chosen = table;
        return true;
    });
    // The bounds stop the reading at the first row past one, whatever the reader.
    TRosterBounds bounds;
    bounds.SetSpreadsheet(type == iftExcel || type == iftOds);
    const auto bounded = [&](auto check) {
        try {
            check();
        } catch (const TRosterBoundExceeded &e) {
            throw Exception(QStringLiteral("Cannot read '%1': %2.").arg(fileName, RosterBoundReason(e.bound)));
        }
    };
    std::unique_ptr<TImportFileReader> reader = CreateImportReader(
        TImportFileType(type),
        [&](const QStringList &values) {
            bounded([&] {
                bounds.Record(quint64(values.size()));
                for (const QString &v : values)
                    bounds.Value(quint64(v.size()));
            });
            out.Record(values);
        },
        [&](int count) {
            const quint32 n = quint32(std::max(count, 0));
            bounded([&] { bounds.Fields(n); });
            out.Frame(TagFields, &n, 4);
        },
        columns, fileName);
    if (reader)
        reader->SkipBlankRows = skipBlankRows;
    const bool opened = reader && reader->Import(fileName);
    if (opened)
        SendNotes(out, reader->Notes);
    out.Frame(opened ? TagEnd : TagNotOpened, nullptr, 0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Output out;
    try {
        return Run(argc, argv, out);
    } catch (const Exception &e) {
        out.Frame(TagError, e.message().toUtf8());
    } catch (const std::bad_alloc &) {
        out.DropPartial();
        out.Frame(TagOutOfMemory, nullptr, 0);
    } catch (const std::exception &e) {
        const QString file = argc > 1 ? QFile::decodeName(argv[1]) : QString();
        out.Frame(TagError, QStringLiteral("Cannot read \"%1\": %2").arg(file, QString::fromLocal8Bit(e.what())).toUtf8());
    }
    return 0;
}
