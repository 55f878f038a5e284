#include "testmain.h"
#include "roster/ImportFileReader.h"
#include "roster/ImportProcess.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

struct ChooserScope
{
    explicit ChooserScope(TTableChooser c) { SetTableChooser(std::move(c)); }
    ~ChooserScope() { SetTableChooser({}); }
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

    // Each way the reader can fail becomes a message naming the file; the rows that came
    // before the failure stay, as with a reader that raises.
    void readerFailures_data()
    {
        QTest::addColumn<QByteArray>("hook");
        QTest::addColumn<QString>("why");
        QTest::newRow("crash") << QByteArray("abort") << "the file is damaged (the reader stopped unexpectedly).";
        QTest::newRow("garbled") << QByteArray("garble") << "the file is damaged (the reader sent a garbled reply).";
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
        QCOMPARE(t.RowCount(), 1);
        QCOMPARE(t.GetCell(0, 0), QString("PARTIAL"));
        // nothing is left running, and the next reading works
        qunsetenv("CORVANE_IMPORT_TEST_CRASH");
#ifdef Q_OS_LINUX
        QCOMPARE(ImportChild(), 0);
#endif
        QVERIFY(t.LoadFromFile(path, iftCommaText));
        QCOMPARE(t.RowCount(), 31);
    }

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
        QByteArray limitsText;
        QStringList fds;
        bool cancelled = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            const pid_t child = ImportChild();
            if (!child || cancelled)
                return;
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
#if !defined(__SANITIZE_ADDRESS__)
        QVERIFY2(text.contains("Max address space 1073741824 1073741824 bytes"), qPrintable(text));
#endif
    }
#endif
};

CORVANE_TEST(TestImportProcess)
#include "tst_importprocess.moc"
