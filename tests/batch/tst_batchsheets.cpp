#include "batchprocess.h"
#include "testmain.h"

#include <QProcess>
#include <QTest>

namespace {


const QStringList listArgs = {"--columns", "last,first,initial,ssn,rank,gender,org", "--ignore-header",
                              "--location", "US", "--premise", "IU", "--list"};

} // namespace

// corvane-batch over the newer spreadsheet formats: the same test as from the .xls.
class TestBatchSheets : public QObject
{
    Q_OBJECT

private slots:
    void sameListAsTheOlderWorkbook_data()
    {
        QTest::addColumn<QStringList>("roster");
        QTest::newRow("xlsx by extension") << QStringList{"roster.xlsx"};
        QTest::newRow("ods by extension") << QStringList{"roster.ods"};
        QTest::newRow("xlsx as excel") << QStringList{"roster.xlsx", "--type", "excel"};
        QTest::newRow("ods as ods") << QStringList{"roster.ods", "--type", "ODS"};
    }
    void sameListAsTheOlderWorkbook()
    {
        QFETCH(QStringList, roster);
        const Run xls = runBatch(QStringList{testing_registry::dataPath("roster.xls")} + listArgs);
        QCOMPARE(xls.status, 0);
        QCOMPARE(xls.lines.size(), 40);
        roster[0] = testing_registry::dataPath(roster[0]);
        const Run r = runBatch(roster + listArgs);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.lines, xls.lines);
        QVERIFY(r.lines.join('\n').contains("ELLISON, CALVIN B.\t916325636\tSGT\tM\tC CO 1-22 IN"));
    }

    void wrongTypeFailsNamingTheFile()
    {
        const QString path = testing_registry::dataPath("roster.xlsx");
        const Run r = runBatch(QStringList{path, "--type", "ods"} + listArgs);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(path) && r.err.contains("OpenDocument"), qPrintable(r.err));
        QVERIFY(r.lines.isEmpty());
        const Run help = runBatch({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.lines.join('\n').contains("ods"));
    }
};

CORVANE_TEST(TestBatchSheets)
#include "tst_batchsheets.moc"
