#include "roster/ImportFileReader.h"
#include "roster/CellText.h"
#include "app/Exceptions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <mdbtools.h>

#include <cstring>
#include <deque>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#define CORVANE_MDB_CHILD 1
#endif

// The database library trusts the file's page pointers and overruns buffers on a damaged
// or hostile file. We check the header ourselves and, where fork exists, let a child
// process do the reading: a crash or a hang there becomes an error message here.
//
// Child and parent talk in messages: one tag byte, a 4-byte length, the payload.
//   'T' table name   'C' column (type byte + name)   'R' row   'E' error   'Z' end

namespace {

const int ReplyTimeoutMs = 30000;

struct Message
{
    char tag = 0;
    std::string payload;
};

class Sink
{
public:
    virtual ~Sink() = default;
    virtual bool Put(char tag, const std::string &payload) = 0;
};

std::string Row(const std::vector<std::string> &values)
{
    std::string out;
    for (const std::string &v : values) {
        const quint32 n = quint32(v.size());
        out.append(reinterpret_cast<const char *>(&n), 4);
        out.append(v);
    }
    return out;
}

// --- the library side (runs in the child where possible) -------------------------------

void ListTables(const char *path, Sink &sink)
{
    MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb) {
        sink.Put('E', "it is not an Access database");
        return;
    }
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        sink.Put('E', "its table catalog cannot be read");
        return;
    }
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
            sink.Put('T', entry->object_name);
    }
    mdb_close(mdb);
    sink.Put('Z', {});
}

void ReadTable(const char *path, const char *table, Sink &sink)
{
    MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb) {
        sink.Put('E', "it is not an Access database");
        return;
    }
    mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
    if (!mdb_read_catalog(mdb, MDB_TABLE)) {
        mdb_close(mdb);
        sink.Put('E', "its table catalog cannot be read");
        return;
    }
    MdbTableDef *def = mdb_read_table_by_name(mdb, const_cast<gchar *>(table), MDB_TABLE);
    if (!def) {
        mdb_close(mdb);
        sink.Put('E', std::string("its table \"") + table + "\" cannot be read");
        return;
    }
    mdb_read_columns(def);
    mdb_rewind_table(def);
    const unsigned cols = def->num_cols;
    if (cols > 255 || !def->columns || def->columns->len < cols) {   // Access allows 255
        mdb_free_tabledef(def);
        mdb_close(mdb);
        sink.Put('E', "its table definition is damaged");
        return;
    }
    const size_t bindSize = mdb->bind_size;
    std::vector<std::vector<char>> buffers(cols, std::vector<char>(bindSize + 1, 0));
    std::vector<int> lengths(cols, 0);
    for (unsigned c = 0; c < cols; ++c) {
        auto *col = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, c));
        std::string info(1, char(col->col_type));
        info += col->name;
        if (!sink.Put('C', info))
            return;
        mdb_bind_column(def, int(c + 1), buffers[c].data(), &lengths[c]);
    }
    std::vector<std::string> values(cols);
    while (mdb_fetch_row(def)) {
        for (unsigned c = 0; c < cols; ++c) {
            const int n = lengths[c];
            if (n > 0 && size_t(n) <= bindSize)
                values[c].assign(buffers[c].data(), size_t(n));
            else
                values[c].clear();
        }
        if (!sink.Put('R', Row(values)))
            return;
    }
    mdb_free_tabledef(def);
    mdb_close(mdb);
    sink.Put('Z', {});
}

// --- transport ---------------------------------------------------------------------------

class MemorySink : public Sink
{
public:
    std::deque<Message> messages;
    bool Put(char tag, const std::string &payload) override
    {
        messages.push_back(Message{tag, payload});
        return true;
    }
};

#ifdef CORVANE_MDB_CHILD
class PipeSink : public Sink
{
public:
    explicit PipeSink(int fd) : m_fd(fd) {}
    bool Put(char tag, const std::string &payload) override
    {
        const quint32 n = quint32(payload.size());
        char head[5];
        head[0] = tag;
        memcpy(head + 1, &n, 4);
        return WriteAll(head, 5) && WriteAll(payload.data(), payload.size());
    }

private:
    bool WriteAll(const char *p, size_t n)
    {
        while (n > 0) {
            const ssize_t w = ::write(m_fd, p, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            p += w;
            n -= size_t(w);
        }
        return true;
    }
    int m_fd;
};
#endif

// Validates what the library would otherwise trust: the signature, the version and that
// the file is a whole number of pages.
void CheckJetHeader(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open the Access database \"%1\". %2").arg(fileName, f.errorString()));
    const QByteArray head = f.read(0x20);
    const qint64 size = f.size();
    const bool signature = head.size() >= 0x15 && head.startsWith(QByteArray("\x00\x01\x00\x00", 4))
                           && (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB");
    if (!signature)
        throw Exception(QStringLiteral("Cannot read \"%1\": it is not an Access database.").arg(fileName));
    const int version = static_cast<unsigned char>(head[0x14]);
    const qint64 pageSize = version == 0 ? 2048 : 4096;
    if (version > 5)
        throw Exception(QStringLiteral("Cannot read \"%1\": unknown Access database version.").arg(fileName));
    if (size < 3 * pageSize || size % pageSize != 0)
        throw Exception(QStringLiteral("Cannot read \"%1\": the database is damaged or incomplete.").arg(fileName));
}

} // namespace

// The open table: the child's pipe, or the messages produced in-process.
struct TImportAccessReader::Source
{
    QString fileName;
#ifdef CORVANE_MDB_CHILD
    pid_t pid = -1;
    int fd = -1;
#endif
    MemorySink memory;
    bool inProcess = false;
    Message pending;
    std::vector<char> columnTypes;

    ~Source() { Stop(); }

    void Stop()
    {
#ifdef CORVANE_MDB_CHILD
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        pid = -1;
#endif
    }

    [[noreturn]] void Fail(const QString &why)
    {
        Stop();
        throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, why));
    }

    template <typename Work>
    void Start(Work work)
    {
#ifdef CORVANE_MDB_CHILD
        int fds[2];
        if (::pipe(fds) == 0) {
            ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
            ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
            const pid_t child = ::fork();
            if (child == 0) {
                // A crash must end the child at once: handlers inherited from the program
                // (a test framework's stack dumper, say) could keep it alive.
                for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
                    ::signal(sig, SIG_DFL);
                ::close(fds[0]);
                // the library reports problems on stderr; ours are the messages sent back
                const int devnull = ::open("/dev/null", O_WRONLY);
                if (devnull >= 0)
                    ::dup2(devnull, 2);
                PipeSink sink(fds[1]);
                work(sink);
                ::close(fds[1]);
                ::_exit(0);
            }
            ::close(fds[1]);
            if (child > 0) {
                pid = child;
                fd = fds[0];
                return;
            }
            ::close(fds[0]);
        }
#endif
        inProcess = true;
        work(memory);
    }

    Message Next()
    {
        if (inProcess) {
            if (memory.messages.empty())
                Fail(QStringLiteral("the database ended unexpectedly"));
            Message m = std::move(memory.messages.front());
            memory.messages.pop_front();
            return m;
        }
#ifdef CORVANE_MDB_CHILD
        char head[5];
        ReadExactly(head, 5);
        quint32 n = 0;
        memcpy(&n, head + 1, 4);
        Message m;
        m.tag = head[0];
        m.payload.resize(n);
        if (n > 0)
            ReadExactly(m.payload.data(), n);
        return m;
#else
        Fail(QStringLiteral("the database ended unexpectedly"));
#endif
    }

#ifdef CORVANE_MDB_CHILD
    void ReadExactly(char *p, size_t n)
    {
        while (n > 0) {
            pollfd pfd{fd, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, ReplyTimeoutMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                Fail(QStringLiteral("the database library stopped responding; the file may be damaged"));
            const ssize_t r = ::read(fd, p, n);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                Fail(QStringLiteral("the database is damaged and cannot be read"));
            p += r;
            n -= size_t(r);
        }
    }
#endif

    Message Expect()
    {
        Message m = Next();
        if (m.tag == 'E')
            Fail(QString::fromUtf8(m.payload.data(), qsizetype(m.payload.size())));
        return m;
    }
};

TImportAccessReader::TImportAccessReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportFileReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportAccessReader::~TImportAccessReader() = default;

QStringList TImportAccessReader::TableNames(const QString &fileName)
{
    CheckJetHeader(fileName);
    const QByteArray path = QFile::encodeName(fileName);
    Source source;
    source.fileName = fileName;
    source.Start([&](Sink &sink) { ListTables(path.constData(), sink); });
    QStringList names;
    for (;;) {
        Message m = source.Expect();
        if (m.tag == 'Z')
            break;
        if (m.tag != 'T')
            source.Fail(QStringLiteral("the database is damaged and cannot be read"));
        names << QString::fromUtf8(m.payload.data(), qsizetype(m.payload.size()));
    }
    return names;
}

bool TImportAccessReader::Open(const QString &fileName)
{
    // No existence test of its own: a missing database is an error, as the provider's was.
    if (!QFileInfo::exists(fileName))
        throw Exception(QStringLiteral("Cannot open the Access database \"%1\": the file does not exist.").arg(fileName));
    const QStringList tables = TableNames(fileName);
    QString chosen;
    if (const TTableChooser &choose = TableChooser()) {
        if (!choose(tables, chosen) || chosen.isEmpty())
            return false;
    } else if (tables.size() == 1) {
        chosen = tables.first();
    } else if (tables.isEmpty()) {
        throw Exception(QStringLiteral("The Access database \"%1\" holds no tables.").arg(fileName));
    } else {
        throw Exception(QStringLiteral("The Access database \"%1\" holds several tables (%2); choose one to import.")
                            .arg(fileName, tables.join(QStringLiteral(", "))));
    }

    auto source = std::make_unique<Source>();
    source->fileName = fileName;
    const QByteArray path = QFile::encodeName(fileName);
    const QByteArray name = chosen.toUtf8();
    source->Start([&](Sink &sink) { ReadTable(path.constData(), name.constData(), sink); });
    for (;;) {
        Message m = source->Expect();
        if (m.tag != 'C') {
            source->pending = std::move(m);
            break;
        }
        source->columnTypes.push_back(m.payload.empty() ? 0 : m.payload[0]);
    }
    Table = std::move(source);
    return true;
}

void TImportAccessReader::Close()
{
    Table.reset();
}

int TImportAccessReader::FieldCount()
{
    return int(Table->columnTypes.size());
}

bool TImportAccessReader::Eof()
{
    if (Table->pending.tag == 'R')
        return false;
    if (Table->pending.tag == 'Z')
        return true;
    Table->Fail(QStringLiteral("the database is damaged and cannot be read"));
}

static QString Trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32)
        ++b;
    while (e > b && s[e - 1].unicode() <= 32)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

void TImportAccessReader::ReadRecord(QStringList &values)
{
    const std::string &row = Table->pending.payload;
    const std::vector<char> &types = Table->columnTypes;
    size_t pos = 0;
    for (size_t c = 0; c < types.size(); ++c) {
        quint32 n = 0;
        if (pos + 4 > row.size())
            Table->Fail(QStringLiteral("the database is damaged and cannot be read"));
        memcpy(&n, row.data() + pos, 4);
        pos += 4;
        if (n > row.size() - pos)
            Table->Fail(QStringLiteral("the database is damaged and cannot be read"));
        QString text = Trimmed(QString::fromUtf8(row.data() + pos, qsizetype(n)));
        pos += n;
        switch (types[c]) {
        case MDB_DATETIME: {
            const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (dt.isValid()) {
                text = DateTimeText(dt.date(), dt.time(), dt.time() != QTime(0, 0));
            }
            break;
        }
        case MDB_BOOL:
            if (text == QLatin1String("1"))
                text = QStringLiteral("True");
            else if (text == QLatin1String("0"))
                text = QStringLiteral("False");
            break;
        case MDB_OLE:
            text.clear();   // embedded objects have no text
            break;
        default:
            break;
        }
        values.append(text);
    }
    Table->pending = Table->Expect();
}
