#include "import/ImportFileReader.h"
#include "import/CellText.h"
#include "app/Exceptions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

// The database library trusts the file's page pointers and overruns buffers on a damaged
// or hostile file. We check the header ourselves; the reading itself runs in corvane-import,
// so a crash or a hang there becomes an error message in the program.

namespace {

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

// The library reports a page it cannot use or a row whose data lies outside it only as a
// line on standard error, and goes on without those rows. While a table is read, standard
// error is a pipe of ours, so that such a line fails the reading instead of shortening the
// roster. The pipe is made when the database is opened: a sandbox may forbid it later.
class TLibraryComplaints
{
public:
    explicit TLibraryComplaints(const QString &fileName)
    {
#ifdef Q_OS_UNIX
        int fds[2];
        if (::pipe(fds) != 0)
            throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, QString::fromLocal8Bit(strerror(errno))));
        FRead = fds[0];
        FWrite = fds[1];
        for (int fd : fds) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);   // a full pipe never stalls the library
        }
#else
        Q_UNUSED(fileName);
#endif
    }
    ~TLibraryComplaints()
    {
        Stop();
#ifdef Q_OS_UNIX
        ::close(FRead);
        ::close(FWrite);
#endif
    }
    TLibraryComplaints(const TLibraryComplaints &) = delete;
    TLibraryComplaints &operator=(const TLibraryComplaints &) = delete;

    void Start()
    {
#if defined(Q_OS_UNIX) && !defined(CORVANE_FUZZING)   // the fuzzer reports its finds on stderr
        if (FSaved >= 0)
            return;
        fflush(stderr);
        FSaved = ::dup(2);
        if (FSaved >= 0)
            ::dup2(FWrite, 2);
#endif
    }
    void Stop()
    {
#ifdef Q_OS_UNIX
        if (FSaved < 0)
            return;
        fflush(stderr);
        ::dup2(FSaved, 2);
        ::close(FSaved);
        FSaved = -1;
#endif
    }

    // The first line the library wrote since the start; empty when it wrote nothing.
    QString First()
    {
#ifdef Q_OS_UNIX
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(FRead, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (FText.size() < 4096)
                FText.append(chunk, qsizetype(n));
        }
#endif
        const QString text = QString::fromLocal8Bit(FText).trimmed();
        return text.left(text.indexOf(QLatin1Char('\n'))).trimmed().left(200);
    }

private:
#ifdef Q_OS_UNIX
    int FRead = -1;
    int FWrite = -1;
    int FSaved = -1;
#endif
    QByteArray FText;
};

} // namespace

// The open table and the buffers its columns are bound to.
struct TImportAccessReader::Source
{
    QString fileName;
    QString tableName;
    std::unique_ptr<TLibraryComplaints> complaints;
    MdbHandle *mdb = nullptr;
    MdbTableDef *def = nullptr;
    size_t bindSize = 0;
    std::vector<std::vector<char>> buffers;
    std::vector<int> lengths;
    std::vector<int> columnTypes;
    bool eof = true;

    ~Source()
    {
        if (def)
            mdb_free_tabledef(def);
        if (mdb)
            mdb_close(mdb);
        complaints.reset();
    }

    [[noreturn]] void Fail(const QString &why) const
    {
        throw Exception(QStringLiteral("Cannot read \"%1\": %2.").arg(fileName, why));
    }

    void OpenDatabase()
    {
        CheckJetHeader(fileName);
        const QByteArray path = QFile::encodeName(fileName);
        mdb = mdb_open(path.constData(), MDB_NOFLAGS);
        if (!mdb)
            Fail(QStringLiteral("it is not an Access database"));
        mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
        if (!mdb_read_catalog(mdb, MDB_TABLE))
            Fail(QStringLiteral("its table catalog cannot be read"));
    }

    void OpenTable(const QString &table)
    {
        tableName = table;
        complaints->Start();
        QByteArray name = table.toUtf8();
        def = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
        if (!def)
            Fail(QStringLiteral("its table \"%1\" cannot be read").arg(table));
        mdb_read_columns(def);
        mdb_rewind_table(def);
        const unsigned cols = def->num_cols;
        if (cols > 255 || !def->columns || def->columns->len < cols)   // Access allows 255
            Fail(QStringLiteral("its table definition is damaged"));
        bindSize = mdb->bind_size;
        buffers.assign(cols, std::vector<char>(bindSize + 1, 0));
        lengths.assign(cols, 0);
        for (unsigned c = 0; c < cols; ++c) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(def->columns, c));
            columnTypes.push_back(col->col_type);
            mdb_bind_column(def, int(c + 1), buffers[c].data(), &lengths[c]);
        }
        Fetch();
    }

    void Fetch()
    {
        eof = !mdb_fetch_row(def);
        const QString complaint = complaints->First();
        if (!complaint.isEmpty())
            Fail(QStringLiteral("its table \"%1\" is damaged: rows of it cannot be read (the database library "
                                "reports \"%2\")")
                     .arg(tableName, complaint));
    }
};

TImportAccessReader::TImportAccessReader(TRecordEvent onRecord, TFieldCountEvent onFieldCount)
    : TImportFileReader(std::move(onRecord), std::move(onFieldCount))
{
}

TImportAccessReader::~TImportAccessReader() = default;

QStringList TImportAccessReader::TableNames(const QString &fileName)
{
    Source source;
    source.fileName = fileName;
    source.OpenDatabase();
    QStringList names;
    for (unsigned i = 0; i < source.mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(source.mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
            names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

bool TImportAccessReader::Open(const QString &fileName)
{
    // No existence test of its own: a missing database is an error, as the provider's was.
    if (!QFileInfo::exists(fileName))
        throw Exception(QStringLiteral("Cannot open the Access database \"%1\": the file does not exist.").arg(fileName));
    QString chosen;
    if (!ChooseImportTable(fileName, TableNames(fileName), chosen))
        return false;
    auto source = std::make_unique<Source>();
    source->fileName = fileName;
    source->complaints = std::make_unique<TLibraryComplaints>(fileName);
    source->OpenDatabase();
    source->OpenTable(chosen);
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
    return Table->eof;
}

void TImportAccessReader::ReadRecord(QStringList &values)
{
    for (size_t c = 0; c < Table->columnTypes.size(); ++c) {
        const int n = Table->lengths[c];
        QString text;
        if (n > 0 && size_t(n) <= Table->bindSize)
            text = TrimmedValue(QString::fromUtf8(Table->buffers[c].data(), qsizetype(n)));
        switch (Table->columnTypes[c]) {
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
    Table->Fetch();
}
