#include "testmain.h"
#include "readrows.h"
#include "memorypeak.h"
#include "import/ImportFileReader.h"
#include "import/protocol/ImportFrames.h"
#include "roster/ImportProcess.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Sets an environment variable for one scope.
struct EnvScope
{
    EnvScope(const char *name, const QByteArray &value) : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvScope()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    const char *m_name;
    QByteArray m_old;
    bool m_had;
};

struct LimitsScope
{
    explicit LimitsScope(const TImportLimits &limits) : m_old(ImportLimits()) { SetImportLimits(limits); }
    ~LimitsScope() { SetImportLimits(m_old); }
    TImportLimits m_old;
};

// Everything a load gave: the cells as stored (raw), the widths and the field count.
QStringList Contents(const TImportTable &t)
{
    QStringList out;
    out << QStringLiteral("fields %1 rows %2").arg(t.FieldCount()).arg(t.RowCount());
    for (int c = 0; c < t.FieldCount(); ++c)
        out << QStringLiteral("width %1").arg(t.GetFieldWidth(c));
    for (int r = 0; r < t.RowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t.FieldCount(); ++c)
            row << t.GetCell(r, c);
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

// The message a load raised, or empty.
QString LoadError(TImportTable &t, const QString &path, TImportFileType type)
{
    try {
        t.LoadFromFile(path, type);
    } catch (const Exception &e) {
        return e.message();
    }
    return {};
}

#ifdef Q_OS_LINUX
// The corvane-import started by this process, or 0.
pid_t ImportChild()
{
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        QFile stat(proc.filePath(entry + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(corvane-import)") && fields.size() > 1 && fields[1].toInt() == ::getpid())
            return pid;
    }
    return 0;
}
#endif

// Frames as corvane-import writes them.
QByteArray FrameBytes(char tag, const QByteArray &payload)
{
    const quint32 n = quint32(payload.size());
    return tag + QByteArray(reinterpret_cast<const char *>(&n), 4) + payload;
}
QByteArray U32(quint32 v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); }
QByteArray Latin1Record(const QList<QByteArray> &values)
{
    QByteArray p = U32(quint32(values.size()));
    for (const QByteArray &v : values)
        p += U32(quint32(v.size())) + v;
    return FrameBytes(ImportProtocol::TagLatin1Record, p);
}
const QByteArray kMagic(ImportProtocol::Magic, 4);
} // namespace

class TestImportProcess : public QObject
{
    Q_OBJECT
private slots:
    // What the program reads through corvane-import is exactly what the readers give here.
    void sameAsInProcess_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("table");
        QTest::newRow("comma") << "roster.csv" << int(iftCommaText) << "";
        QTest::newRow("comma as tab") << "roster.csv" << int(iftTabText) << "";
        QTest::newRow("tab") << "roster-tab.txt" << int(iftTabText) << "";
        QTest::newRow("utf-8") << "roster-utf8-bom.csv" << int(iftCommaText) << "";
        QTest::newRow("empty") << "empty.csv" << int(iftCommaText) << "";
        QTest::newRow("excel") << "roster.xls" << int(iftExcel) << "";
        QTest::newRow("excel types") << "excel-types.xls" << int(iftExcel) << "";
        QTest::newRow("dbase") << "roster.dbf" << int(iftDBase) << "";
        QTest::newRow("access Roster") << "roster.mdb" << int(iftAccess) << "Roster";
        QTest::newRow("access Units") << "roster.mdb" << int(iftAccess) << "Units";
        QTest::newRow("fixed") << "roster-tab.txt" << int(iftFixedText) << "";
    }
    void sameAsInProcess()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(QString, table);
        ChooserScope scope([&](const QStringList &, QString &chosen) {
            chosen = table;
            return true;
        });
        const QString path = testing_registry::dataPath(file);
        TImportTable viaProcess, here;
        viaProcess.SetFixedColumns({0, 8, 15});
        here.SetFixedColumns({0, 8, 15});
        QVERIFY(viaProcess.LoadFromFile(path, TImportFileType(type)));
        QVERIFY(here.LoadInProcess(path, TImportFileType(type)));
        const QStringList got = Contents(viaProcess);
        QCOMPARE(got, Contents(here));
        if (file != QLatin1String("empty.csv"))
            QVERIFY(viaProcess.RowCount() > 0);
    }

    // Rows of plain Latin-1 text cross the pipe a byte a character, others as UTF-16; a
    // roster mixing both, at the edge between them, arrives as read.
    void charactersOfEveryRangeArriveIntact()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("mixed.csv")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QStringList rows = {
            QStringLiteral("\u00FF\u00FF,\u00E9T\u00C9,,x"),         // the last Latin-1 characters
            QStringLiteral("\u0100DAM,\u00FF"),                       // the first beyond them
            QStringLiteral("PLAIN,ROW,\u00A0,"),
            QStringLiteral("\U0001F600,\u0141UKASZ,\u00FF"),          // a surrogate pair
            QStringLiteral("LAST,\u20AC5"),
        };
        f.write("\xEF\xBB\xBF" + rows.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
        f.close();
        TImportTable viaProcess, here;
        QVERIFY(viaProcess.LoadFromFile(f.fileName(), iftCommaText));
        QVERIFY(here.LoadInProcess(f.fileName(), iftCommaText));
        QCOMPARE(Contents(viaProcess), Contents(here));
        QCOMPARE(viaProcess.RowCount(), rows.size());
        QCOMPARE(viaProcess.RawCell(0, 1), QStringView(u"\u00E9T\u00C9"));
        QCOMPARE(viaProcess.RawCell(1, 0), QStringView(u"\u0100DAM"));
        QCOMPARE(viaProcess.RawCell(3, 0), QStringView(u"\U0001F600"));
    }

    void unknownTypeStartsNothing()
    {
        EnvScope missing("CORVANE_IMPORT", "/nonexistent/corvane-import");
        TImportTable t;
        t.AddRow({"old"});
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("roster.csv"), iftNone));
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.FieldCount(), 0);
    }

    void missingFileIsNotOpened()
    {
        TImportTable t;
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("no-such.csv"), iftCommaText));
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("no-such.xls"), iftExcel));
        QCOMPARE(t.FieldCount(), 0);
    }

    void missingProgramNamesIt()
    {
        EnvScope missing("CORVANE_IMPORT", "/nonexistent/corvane-import");
        TImportTable t;
        const QString path = testing_registry::dataPath("roster.csv");
        QCOMPARE(LoadError(t, path, iftCommaText),
                 QString("Cannot read '%1': the import program /nonexistent/corvane-import was not found.").arg(path));
    }

    // Each way the reader can fail becomes a message naming the file; the row sent before
    // the failure is not kept, as with a reader that raises.
    void readerFailures_data()
    {
        QTest::addColumn<QByteArray>("hook");
        QTest::addColumn<QString>("why");
        QTest::newRow("crash") << QByteArray("abort") << "the file is damaged (the reader stopped unexpectedly (signal 6)).";
        QTest::newRow("segfault") << QByteArray("segv") << "the file is damaged (the reader stopped unexpectedly (signal 11)).";
        QTest::newRow("file cut short under the mapping") << QByteArray("bus")
            << "the file changed, or its disk failed, while it was being read; read it again.";
        QTest::newRow("out-of-memory killer") << QByteArray("killed") << "the reader was stopped by the system for lack of memory.";
        QTest::newRow("garbled") << QByteArray("garble") << "the file is damaged (the reader sent a garbled reply).";
        // the child sends these and waits: the parent must end it
        QTest::newRow("value count past the frame") << QByteArray("count") << "the file is damaged (the reader sent a garbled reply).";
        QTest::newRow("value past the frame's end") << QByteArray("length") << "the file is damaged (the reader sent a garbled reply).";
        QTest::newRow("hang") << QByteArray("hang") << "the reader took too long and was stopped.";
        QTest::newRow("cpu") << QByteArray("spin") << "the reader took too long and was stopped.";
        QTest::newRow("memory") << QByteArray("eat") << "the reader ran out of memory.";
    }
    void readerFailures()
    {
        QFETCH(QByteArray, hook);
        QFETCH(QString, why);
#if defined(__SANITIZE_ADDRESS__)
        if (hook == "eat")
            QSKIP("no address-space limit under the address sanitizer");
#endif
        TImportLimits limits;
        limits.wallClockMs = hook == "hang" ? 1500 : 30000;   // the CPU limit must stop the spin
        limits.cpuSeconds = 1;
        limits.addressSpace = qint64(768) << 20;
        LimitsScope limitScope(limits);
        EnvScope hookScope("CORVANE_IMPORT_TEST_CRASH", hook);
        const QString path = testing_registry::dataPath("roster.csv");
        TImportTable t;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(LoadError(t, path, iftCommaText), QString("Cannot read '%1': %2").arg(path, why));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.FieldCount(), 0);
        // nothing is left running, and the next reading works
        qunsetenv("CORVANE_IMPORT_TEST_CRASH");
#ifdef Q_OS_LINUX
        QCOMPARE(ImportChild(), 0);
#endif
        QVERIFY(t.LoadFromFile(path, iftCommaText));
        QCOMPARE(t.RowCount(), 31);
    }

    // The parent's decoding of what a child sends: a compromised reader gets a message,
    // never a buffer sized by its word.
    void frameDecoding_data()
    {
        using namespace ImportProtocol;
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome");
        const QByteArray fields = FrameBytes(TagFields, U32(2));
        QTest::newRow("sound") << kMagic + fields + Latin1Record({"DOE", "JOHN"}) + FrameBytes(TagEnd, {}) << "rows 1";
        QTest::newRow("no magic") << QByteArray("CVI2") + fields << "garbled";
        QTest::newRow("count beyond the frame")
            << kMagic + FrameBytes(TagLatin1Record, U32(0xFFFFFFF0u) + U32(1) + "A") << "garbled";
        QTest::newRow("count one beyond the frame")
            << kMagic + FrameBytes(TagLatin1Record, U32(3) + U32(1) + "A" + U32(1) + "B") << "garbled";
        QTest::newRow("length past the end")
            << kMagic + FrameBytes(TagLatin1Record, U32(2) + U32(2) + "AB" + U32(2) + "C") << "garbled";
        QTest::newRow("UTF-16 length past the end")
            << kMagic + FrameBytes(TagRecord, U32(1) + U32(2) + QByteArray("A\0B", 3)) << "garbled";
        QTest::newRow("huge length")
            << kMagic + FrameBytes(TagLatin1Record, U32(1) + U32(0xFFFFFFFFu) + "AB") << "garbled";
        QTest::newRow("bytes after the last value")
            << kMagic + FrameBytes(TagLatin1Record, U32(1) + U32(1) + "AB") << "garbled";
        QTest::newRow("unknown tag") << kMagic + FrameBytes('Q', {}) << "garbled";
        // A column number is a key, not a size: the last column allowed costs no more than the first.
        QTest::newRow("formula note in the last column")
            << kMagic + FrameBytes(TagValuelessFormulas, U32(MaxFields - 1) + U32(1)) + FrameBytes(TagEnd, {}) << "rows 0";
        QTest::newRow("formula note past the last column")
            << kMagic + FrameBytes(TagValuelessFormulas, U32(MaxFields) + U32(1)) << "garbled";
        QTest::newRow("long message") << kMagic + FrameBytes(TagError, QByteArray(MaxSmallFrame + 1, 'x')).left(9) << "garbled";
        QTest::newRow("columns past the limit") << kMagic + FrameBytes(TagFields, U32(MaxRosterColumns + 1))
                                                << RosterBoundReason(TRosterBound::Columns);
        QTest::newRow("values past the column limit")
            << kMagic + FrameBytes(TagLatin1Record, U32(MaxRosterColumns + 1) + QByteArray(4 * (MaxRosterColumns + 1), '\0'))
            << RosterBoundReason(TRosterBound::Columns);
        QTest::newRow("cell past the limit") << kMagic + Latin1Record({QByteArray(MaxCellChars + 1, 'x')})
                                             << RosterBoundReason(TRosterBound::CellChars);
        QTest::newRow("a cell at the limit") << kMagic + Latin1Record({QByteArray(MaxCellChars, 'x')}) << "rows 1";
        // Judged by its header alone: the frame's bytes never have to arrive.
        QTest::newRow("one frame past the text limit")
            << kMagic + FrameBytes(TagLatin1Record, {}).left(1) + U32(quint32(4 + 4 * MaxRosterColumns + MaxRosterChars + 1))
            << RosterBoundReason(TRosterBound::TotalChars);
        QByteArray many = kMagic;
        const QByteArray cell(MaxCellChars, 'x'), row = Latin1Record({cell, cell, cell, cell});
        while (quint64(many.size()) < MaxRosterChars)
            many += row;
        QTest::newRow("rows past the text limit") << many << RosterBoundReason(TRosterBound::TotalChars);
        QTest::newRow("rows past the last") << kMagic + Latin1Record({}).repeated(MaxRosterRows + 1)
                                            << RosterBoundReason(TRosterBound::Rows);
    }
    void frameDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        TImportFrameDecoder decoder;
        qint64 chars = 0;
        decoder.onRecord = [&](const QStringView *values, qsizetype count) {
            for (qsizetype i = 0; i < count; ++i)
                chars += values[i].size();
        };
        QString got;
        try {
            decoder.Feed(bytes.constData(), bytes.size());
            got = QStringLiteral("rows %1").arg(decoder.Rows());
        } catch (const TFrameGarbled &) {
            got = QStringLiteral("garbled");
        } catch (const TRosterBoundExceeded &e) {
            got = RosterBoundReason(e.bound);
        }
        QCOMPARE(got, outcome);
        QVERIFY(quint64(chars) <= ImportProtocol::MaxRosterChars);
    }

    // A reader that sends past every bound is ended by the parent at the bound, at once,
    // with the parent holding no more than the rows it took, and none of them after.
    void parentEndsAFloodingReader()
    {
        EnvScope hookScope("CORVANE_IMPORT_TEST_CRASH", "flood");
        const QString path = testing_registry::dataPath("roster.csv");
        TImportTable t;
        ResetPeakMemory();
        const qint64 before = StatusKb("VmRSS:");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(LoadError(t, path, iftCommaText),
                 QString("Cannot read '%1': it holds more text than any roster: over 64 million characters.").arg(path));
        const qint64 ms = clock.elapsed(), grownKb = StatusKb("VmHWM:") - before;
        qInfo("refused in %lld ms; peak memory grew by %lld KB", ms, grownKb);
        QVERIFY2(ms < 10000, qPrintable(QString::number(ms)));
        // 64 million characters are 128 MB as UTF-16; the receiving buffer and the frame in
        // hand come on top
        QVERIFY2(grownKb < 320 * 1024, qPrintable(QString::number(grownKb)));
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.FieldCount(), 0);
#ifdef Q_OS_LINUX
        QCOMPARE(ImportChild(), 0);
#endif
    }

#ifdef CORVANE_IMPORT_SANDBOXED
    // Confined, the reader can neither write, connect, start programs nor remove the file;
    // it still reads the roster.
    void sandboxRefusesWhatAReaderNeverNeeds()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("roster.csv"));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.csv"), path));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVANE_IMPORT_TEST_CRASH"), QStringLiteral("probe"));
        child.setProcessEnvironment(env);
        child.start(ImportProgramPath(), {path, QString::number(int(iftCommaText))});
        QVERIFY(child.waitForFinished(30000));
        QStringList attempts;
        TImportFrameDecoder decoder;
        decoder.onTable = [&](const QString &line) { attempts << line; };
        const QByteArray out = child.readAllStandardOutput();
        decoder.Feed(out.constData(), out.size());
        QCOMPARE(attempts, QStringList({"write-open: Permission denied", "read-write-open: Permission denied",
                                        "socket: Operation not permitted", "exec: Operation not permitted",
                                        "fork: Operation not permitted", "unlink: Operation not permitted",
                                        "read-open: allowed"}));
        QCOMPARE(decoder.Last(), ImportProtocol::TagEnd);
        QCOMPARE(decoder.Rows(), 31);
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!QFileInfo::exists(path + ".written"));
    }
#endif

    void damagedDatabaseIsAMessage()
    {
        ChooserScope scope([](const QStringList &, QString &chosen) {
            chosen = "Roster";
            return true;
        });
        const QString path = testing_registry::dataPath("damaged/roster-nullmap.mdb");
        TImportTable t;
        const QString message = LoadError(t, path, iftAccess);
        QVERIFY2(message.startsWith(QString("Cannot read '%1': ").arg(path)), qPrintable(message));
    }

    void accessTablesThroughTheProcess()
    {
        const QString path = testing_registry::dataPath("roster.mdb");
        QCOMPARE(ImportProcessTableNames(path), QStringList({"Roster", "Units"}));

        // cancelled: nothing loaded, and nothing raised
        QStringList offered;
        {
            ChooserScope scope([&](const QStringList &tables, QString &) {
                offered = tables;
                return false;
            });
            TImportTable t;
            t.AddRow({"old"});
            QVERIFY(!t.LoadFromFile(path, iftAccess));
            QCOMPARE(t.RowCount(), 0);
        }
        QCOMPARE(offered, QStringList({"Roster", "Units"}));

        // a name the database does not have
        {
            ChooserScope scope([](const QStringList &, QString &chosen) {
                chosen = "Nope";
                return true;
            });
            TImportTable t;
            QCOMPARE(LoadError(t, path, iftAccess), QString("Cannot read \"%1\": it has no table named \"Nope\".").arg(path));
        }

        // not a database: the child's header check answers
        TImportTable t;
        const QString csv = testing_registry::dataPath("roster.csv");
        QCOMPARE(LoadError(t, csv, iftAccess), QString("Cannot read \"%1\": it is not an Access database.").arg(csv));
    }

    void tableChoiceWithoutChooser()
    {
        SetTableChooser({});
        QString chosen;
        QVERIFY(ChooseImportTable("x.mdb", {"Only"}, chosen));
        QCOMPARE(chosen, QString("Only"));
        QVERIFY_THROWS_EXCEPTION(Exception, ChooseImportTable("x.mdb", {}, chosen));
        try {
            ChooseImportTable("x.mdb", {"Roster", "Units"}, chosen);
            QFAIL("several tables were read without asking");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("The Access database \"x.mdb\" holds several tables (Roster, Units); choose one to import."));
        }
    }

#ifdef Q_OS_LINUX
    // The child gets its limits, none of this program's files, and no core file.
    void childLimits()
    {
        const int leaked = ::open("/dev/null", O_RDONLY);   // not close-on-exec
        QVERIFY(leaked > 2);
        TImportLimits limits;
        limits.wallClockMs = 20000;
        limits.cpuSeconds = 7;
        limits.addressSpace = qint64(1) << 30;
        LimitsScope limitScope(limits);
        EnvScope hookScope("CORVANE_IMPORT_TEST_CRASH", "hang");
        QByteArray limitsText, statusText;
        QStringList fds;
        bool cancelled = false;
        QTimer poll;
        QElapsedTimer started;
        started.start();
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            const pid_t child = ImportChild();
            if (!child || cancelled)
                return;
            QFile status(QStringLiteral("/proc/%1/status").arg(child));
            if (status.open(QIODevice::ReadOnly))
                statusText = status.readAll();
#ifdef CORVANE_IMPORT_SANDBOXED
            // confined a moment after it starts, before it reads anything
            if (!statusText.contains("Seccomp:\t2") && started.elapsed() < 8000)
                return;
#endif
            QFile f(QStringLiteral("/proc/%1/limits").arg(child));
            if (f.open(QIODevice::ReadOnly))
                limitsText = f.readAll();
            fds = QDir(QStringLiteral("/proc/%1/fd").arg(child)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System);
            cancelled = true;
            CancelImportProcess();
        });
        poll.start(50);
        TImportTable t;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("roster.csv"), iftCommaText));   // cancelled
        ::close(leaked);
        QVERIFY(cancelled);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(ImportChild(), 0);
        // 0 to 2, and 3 once the child has made its copy of standard output for the replies
        QVERIFY(fds.size() >= 3);
        for (const QString &fd : fds)
            QVERIFY2(fd.toInt() <= 3, qPrintable(fds.join(' ')));
        const QString text = QString::fromLatin1(limitsText).simplified();
        QVERIFY2(text.contains("Max cpu time 7 9 seconds"), qPrintable(text));
        QVERIFY2(text.contains("Max core file size 0 0 bytes"), qPrintable(text));
#ifdef CORVANE_IMPORT_SANDBOXED
        // no new privileges, and a seccomp filter (mode 2)
        const QString status = QString::fromLatin1(statusText);
        QVERIFY2(status.contains(QRegularExpression("NoNewPrivs:\\s+1\\n")), qPrintable(status));
        QVERIFY2(status.contains(QRegularExpression("Seccomp:\\s+2\\n")), qPrintable(status));
#endif
#if !defined(__SANITIZE_ADDRESS__)
        QVERIFY2(text.contains("Max address space 1073741824 1073741824 bytes"), qPrintable(text));
#endif
    }
#endif
};

CORVANE_TEST(TestImportProcess)
#include "tst_importprocess.moc"
