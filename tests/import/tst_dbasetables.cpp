#include "testmain.h"
#include "testfiles.h"
#include "readrows.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// dBase tables made byte by byte by tests/data/dbase/make-dbase-fixtures.py.
namespace {
QString Table(const QString &name) { return testing_registry::dataPath("dbase/" + name); }

// The message of the error a load raises; fails the test when it loads.
QString LoadError(const QString &path)
{
    TImportTable t;
    try {
        t.LoadFromFile(path, iftDBase);
    } catch (const Exception &e) {
        return e.message();
    }
    return QStringLiteral("(loaded %1 rows)").arg(t.RowCount());
}
} // namespace

class TestDBaseTables : public QObject
{
    Q_OBJECT
private slots:
    void memoTexts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lastNames");
        QTest::addColumn<QStringList>("memos");
        const QString longNote = "Long note: " + QString("drill weekend, ").repeated(50) + "end.";
        QTest::newRow("dBase III .dbt") << "memo3.dbf" << QStringList{"HARGROVE", "QUINTERO", "LINDQVIST", "ABERNATHY"}
                                        << QStringList{"Profile on file until 2027-01-31.", "", longNote,
                                                       "Transferred from B CO; see orders 4471."};
        // 1024-byte blocks declared in the memo header; the deleted record is left out; the
        // last memo fills its block, so a length read with its 8-byte head takes in the next memo's
        QTest::newRow("dBase IV .dbt") << "memo4.dbf"
                                       << QStringList{"PELLETIER", QString::fromUtf8("MÜLLER"), "KOWALCZYK"}
                                       << QStringList{"Waiver pending; medical review 2026-11.",
                                                      QString::fromUtf8("MÜLLER asked for a morning slot."),
                                                      QString("Full block; ").repeated(85).left(1016).trimmed()};
        // 64-byte blocks; a picture memo has no text
        QTest::newRow("FoxPro .fpt") << "memofox.dbf" << QStringList{"OKAFOR", "BRANDT", "VASQUEZ"}
                                     << QStringList{"Night shift; call before 0700.", "", QString(150, 'x')};
    }
    void memoTexts()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, lastNames);
        QFETCH(QStringList, memos);
        TImportTable t;
        QVERIFY(t.LoadFromFile(Table(file), iftDBase));
        QCOMPARE(t.FieldCount(), 4);
        QCOMPARE(t.RowCount(), lastNames.size());
        for (int r = 0; r < t.RowCount(); ++r) {
            QCOMPARE(t.GetCell(r, 0), lastNames[r]);
            QCOMPARE(t.GetCell(r, 3), memos[r]);
        }
    }

    void memoFileFoundWhateverItsCase()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(Table("memo3.dbf"), dir.filePath("unit.dbf")));
        QVERIFY(QFile::copy(Table("memo3.dbt"), dir.filePath("unit.DBT")));
        TImportTable t;
        QVERIFY(t.LoadFromFile(dir.filePath("unit.dbf"), iftDBase));
        QCOMPARE(t.GetCell(0, 3), QString("Profile on file until 2027-01-31."));
    }

    void missingMemoFileIsNamed()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(Table("memo3.dbf"), dir.filePath("unit.dbf")));
        const QString message = LoadError(dir.filePath("unit.dbf"));
        QVERIFY2(message.contains(dir.filePath("unit.dbf")) && message.contains("unit.dbt")
                     && message.contains("missing"),
                 qPrintable(message));
    }

    void memoBlockOutsideTheMemoFile()
    {
        QTemporaryDir dir;
        QByteArray table = FileBytes(Table("memo3.dbf"));
        const qsizetype at = table.indexOf("         1");   // first record's block number
        QVERIFY(at > 0);
        table.replace(at, 10, "    999999");
        WriteBytes(dir.filePath("unit.dbf"), table);
        QVERIFY(QFile::copy(Table("memo3.dbt"), dir.filePath("unit.dbt")));
        const QString message = LoadError(dir.filePath("unit.dbf"));
        QVERIFY2(message.contains("record 1") && message.contains(dir.filePath("unit.dbt")) && message.contains("damaged"),
                 qPrintable(message));
    }

    void codePages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QStringList>>("rows");
        const QList<QStringList> latin = {{QString::fromUtf8("MUÑOZ"), QString::fromUtf8("JOSÉ")},
                                          {QString::fromUtf8("ØSTERGAARD"), "KEITH"},
                                          {QString::fromUtf8("BRÜNING"), "OWEN"}};
        const QList<QStringList> cyrillic = {{QString::fromUtf8("ИВАНОВ"), QString::fromUtf8("ПЁТР")}};
        QTest::newRow("850") << "cp850.dbf" << latin;
        QTest::newRow("1252") << "cp1252.dbf" << (latin + QList<QStringList>{{QString::fromUtf8("ŒUVRARD"), QString::fromUtf8("€MILE")}});
        QTest::newRow("866") << "cp866.dbf" << cyrillic;
        QTest::newRow("1251") << "cp1251.dbf" << cyrillic;
    }
    void codePages()
    {
        QFETCH(QString, file);
        QFETCH(QList<QStringList>, rows);
        TImportTable t;
        QVERIFY(t.LoadFromFile(Table(file), iftDBase));
        QCOMPARE(Rows(t), rows);
    }

    void unknownLanguageDriverReadsAsWindows1252()
    {
        QTemporaryDir dir;
        for (char ldid : {'\x00', '\xEE'}) {
            QByteArray bytes = FileBytes(Table("cp1252.dbf"));
            bytes[29] = ldid;
            TImportTable t;
            QVERIFY(t.LoadFromFile(WriteBytes(dir.filePath("t.dbf"), bytes), iftDBase));
            QCOMPARE(t.GetCell(0, 0), QString::fromUtf8("MUÑOZ"));
            QCOMPARE(t.GetCell(3, 1), QString::fromUtf8("€MILE"));
        }
    }

    void codePageFileBesideTheTable()
    {
        QTemporaryDir dir;
        QByteArray bytes = FileBytes(Table("cp1251.dbf"));
        bytes[29] = '\0';   // no language driver: the .cpg names the code page
        WriteBytes(dir.filePath("t.dbf"), bytes);
        WriteBytes(dir.filePath("t.cpg"), "ANSI 1251\r\n");
        TImportTable t;
        QVERIFY(t.LoadFromFile(dir.filePath("t.dbf"), iftDBase));
        QCOMPARE(t.GetCell(0, 0), QString::fromUtf8("ИВАНОВ"));
    }

    void runsOfDeletedRecords()
    {
        // two deleted at the start, two in the middle, two at the end
        TImportTable t;
        QVERIFY(t.LoadFromFile(Table("deleted-runs.dbf"), iftDBase));
        QCOMPARE(Rows(t), QList<QStringList>({{"KEEP2", "X"}, {"KEEP3", "X"}, {"KEEP6", "X"}}));
        QVERIFY(t.LoadFromFile(Table("all-deleted.dbf"), iftDBase));
        QCOMPARE(t.FieldCount(), 2);
        QCOMPARE(t.RowCount(), 0);
    }

    void tablesThatAreNotRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("dBase 7") << Table("dbase7.dbf") << "dBase 7";
        QTest::newRow("Visual FoxPro") << Table("vfp.dbf") << "Visual FoxPro";
        QTest::newRow("Access database") << testing_registry::dataPath("roster.mdb") << "not a dBase table";
        QTest::newRow("Excel workbook") << testing_registry::dataPath("roster.xls") << "not a dBase table";
        QTest::newRow("comma text") << testing_registry::dataPath("roster.csv") << "not a dBase table";
        QTest::newRow("empty") << testing_registry::dataPath("empty.csv") << "not a dBase table";
    }
    void tablesThatAreNotRead()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        TImportTable t;
        const QString message = LoadError(path);
        QVERIFY2(message.contains(path) && message.contains(reason), qPrintable(message));
        QCOMPARE(t.FieldCount(), 0);
    }

    void damagedHeaders_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        // record length 84 while the fields add up to 83
        QTest::newRow("record length") << 10 << QByteArray("\x54\x00", 2) << "not a dBase table";
        // header length beyond the end of the file
        QTest::newRow("header length") << 8 << QByteArray("\xFF\xFF", 2) << "damaged";
        // a field descriptor whose type is not a letter
        QTest::newRow("field type") << 32 + 11 << QByteArray("\x01", 1) << "not a dBase table";
        // the terminator overwritten
        QTest::newRow("terminator") << 32 + 9 * 32 << QByteArray("\x20", 1) << "not a dBase table";
    }
    void damagedHeaders()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QByteArray table = FileBytes(testing_registry::dataPath("roster.dbf"));
        QCOMPARE(table.at(32 + 9 * 32), '\x0D');
        table.replace(offset, bytes.size(), bytes);
        const QString path = WriteBytes(dir.filePath("t.dbf"), table);
        const QString message = LoadError(path);
        QVERIFY2(message.contains(path) && message.contains(reason), qPrintable(message));
    }
};

CORVANE_TEST(TestDBaseTables)
#include "tst_dbasetables.moc"
