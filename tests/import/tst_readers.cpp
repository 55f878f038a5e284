#include "testmain.h"
#include "testfiles.h"
#include "readrows.h"
#include "import/CellText.h"
#include "import/ImportFileReader.h"
#include "import/access/ImportAccessReader.h"
#include "import/text/ImportTextReaders.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QDate>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A reader whose primitives are scripted, to watch the shared import procedure.
class ScriptedReader : public TImportFileReader
{
public:
    using TImportFileReader::TImportFileReader;
    bool openResult = true;
    int records = 3;
    int failAt = -1;
    int closes = 0;
    QStringList calls;

protected:
    bool Open(const QString &) override { calls << "Open"; return openResult; }
    void Close() override { calls << "Close"; ++closes; }
    int FieldCount() override { calls << "FieldCount"; return 2; }
    bool Eof() override { return m_read >= records; }
    void ReadRecord(QStringList &values) override
    {
        if (m_read == failAt)
            throw Exception("broken record");
        QVERIFY(values.isEmpty());   // the list is cleared before every record
        values << QString::number(m_read++) << "x";
    }

private:
    int m_read = 0;
};
} // namespace

class TestReaders : public QObject
{
    Q_OBJECT
private slots:
    void importProcedure()
    {
        QStringList events;
        ScriptedReader r([&](const QStringList &v) { events << "rec " + v.first(); },
                         [&](int n) { events << "count " + QString::number(n); });
        QVERIFY(r.Import("x"));
        QCOMPARE(events, QStringList({"count 2", "rec 0", "rec 1", "rec 2"}));
        QCOMPARE(r.closes, 1);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void importClosesOnErrorAndRestoresCursor()
    {
        int recs = 0;
        ScriptedReader r([&](const QStringList &) { ++recs; }, [](int) {});
        r.failAt = 1;
        try {
            r.Import("x");
            QFAIL("the reader's error was swallowed");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("broken record"));
        }
        QCOMPARE(recs, 1);
        QCOMPARE(r.closes, 1);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void importOfAnUnopenedSource()
    {
        int calls = 0;
        ScriptedReader r([&](const QStringList &) { ++calls; }, [&](int) { ++calls; });
        r.openResult = false;
        QVERIFY(!r.Import("x"));
        QCOMPARE(calls, 0);
        QCOMPARE(r.calls, QStringList({"Open"}));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void commaRoster()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.csv"), iftCommaText));
        QCOMPARE(t.FieldCount(), 7);
        QCOMPARE(t.RowCount(), 31);
        t.IgnoreHeader = true;
        QCOMPARE(t.RowCount(), 30);
        QCOMPARE(Rows(t).first(), QStringList({"ELLISON", "CALVIN", "B", "916-32-5636", "SGT", "M", "C CO 1-22 IN"}));
        QCOMPARE(t.GetCell(3, 0), QString("O'NEIL, JR"));
        QCOMPARE(t.GetCell(11, 0), QString("WHITFIELD, III"));
        QCOMPARE(t.GetCell(16, 0), QString("GILLESPIE"));
        QCOMPARE(t.GetCell(8, 2), QString());
        QCOMPARE(t.GetCell(29, 0), QString("NEWCOMB"));
        t.SetFieldKind(5, fkGender);
        QCOMPARE(t.GetCell(5, 5), QString("F"));
        QCOMPARE(t.GetCell(13, 5), QString("M"));
        QCOMPARE(t.GetCell(18, 5), QString("M"));
        t.SetFieldKind(3, fkSSN);
        QCOMPARE(t.GetCell(0, 3), QString("916325636"));
    }

    void tabRosterMatchesCommaRoster()
    {
        TImportTable comma, tab;
        QVERIFY(comma.LoadFromFile(testing_registry::dataPath("roster.csv"), iftCommaText));
        QVERIFY(tab.LoadFromFile(testing_registry::dataPath("roster-tab.txt"), iftTabText));
        comma.IgnoreHeader = true;
        QCOMPARE(tab.FieldCount(), 7);
        QCOMPARE(Rows(tab), Rows(comma));
    }

    void commaFileThroughTheTabReader()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.csv"), iftTabText));
        QCOMPARE(t.FieldCount(), 1);
        QCOMPARE(t.RowCount(), 31);
        QCOMPARE(t.GetCell(4, 0), QString("O'NEIL, JR,PRESTON,B,930-64-3806,SSG,M,A CO 1-22 IN"));
    }

    void utf8WithByteOrderMark()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster-utf8-bom.csv"), iftCommaText));
        QCOMPARE(t.GetCell(0, 0), QString("LAST"));
        QCOMPARE(t.GetCell(1, 0), QString::fromUtf8("MUÑOZ"));
        QCOMPARE(t.GetCell(1, 1), QString::fromUtf8("JOSÉ"));
        QCOMPARE(t.GetCell(10, 0), QString::fromUtf8("ØSTERGAARD"));
        QCOMPARE(t.GetFieldWidth(0), 10);   // characters, not bytes
    }

    void textEncodings()
    {
        QTemporaryDir dir;
        // no byte-order mark, valid UTF-8
        TImportTable t;
        QVERIFY(t.LoadFromFile(WriteFile(dir, "u.csv", "M\xC3\x9CLLER,J\n"), iftCommaText));
        QCOMPARE(t.GetCell(0, 0), QString::fromUtf8("MÜLLER"));
        // not UTF-8: Windows-1252, including its 0x80-0x9F block
        QVERIFY(t.LoadFromFile(WriteFile(dir, "w.csv", "M\xDCLLER,\x80\x9C\n"), iftCommaText));
        QCOMPARE(t.GetCell(0, 0), QString::fromUtf8("MÜLLER"));
        QCOMPARE(t.GetCell(0, 1), QString::fromUtf8("€œ"));
    }

    void emptyAndHeaderOnly()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("empty.csv"), iftCommaText));
        QCOMPARE(t.FieldCount(), 0);
        QCOMPARE(t.RowCount(), 0);
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("header-only.csv"), iftCommaText));
        QCOMPARE(t.FieldCount(), 7);
        QCOMPARE(t.RowCount(), 1);
        t.IgnoreHeader = true;
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(BuildRosterRecs(t).size(), 0);
    }

    void missingFiles()
    {
        const QString missing = testing_registry::dataPath("no-such-roster");
        for (TImportFileType type : {iftFixedText, iftTabText, iftCommaText, iftExcel, iftDBase}) {
            TImportTable t;
            t.AddRow({"old"});
            QVERIFY2(!t.LoadFromFile(missing, type), qPrintable(QString::number(type)));
            QCOMPARE(t.RowCount(), 0);
            QCOMPARE(t.FieldCount(), 0);
        }
        // a database that is not there is an error, not an empty roster
        TImportTable t;
        QVERIFY_THROWS_EXCEPTION(Exception, t.LoadFromFile(missing, iftAccess));
    }

    void lineEnds()
    {
        QTemporaryDir dir;
        Capture c;
        QVERIFY(ReadAll<TImportCommaTextReader>(WriteFile(dir, "e.csv", "a,b\r\nc\rd,e\n\nf"), c));
        QCOMPARE(c.fieldCount, 2);
        // lone CR dropped, empty line gives no values, last line needs no break
        QCOMPARE(c.records, QList<QStringList>({{"a", "b"}, {"cd", "e"}, {}, {"f"}}));
        // without any LF, CR ends the line, in the delimited and the fixed-width reader
        Capture cr;
        QVERIFY(ReadAll<TImportCommaTextReader>(WriteFile(dir, "cr.csv", "a,b\rc\r\rd,e"), cr));
        QCOMPARE(cr.fieldCount, 2);
        QCOMPARE(cr.records, QList<QStringList>({{"a", "b"}, {"c"}, {}, {"d", "e"}}));
        Capture fixed;
        TImportFixedTextReader r([&](const QStringList &v) { fixed.records << v; }, [](int) {});
        r.ColumnStarts = {0, 4};
        QVERIFY(r.Import(WriteFile(dir, "cr.txt", "DOE JOHN\rROE JANE\r")));
        QCOMPARE(fixed.records, QList<QStringList>({{"DOE", "JOHN"}, {"ROE", "JANE"}}));
    }

    void crOnlyRosters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sound");   // the same roster with CR LF line ends
        QTest::addColumn<int>("type");
        QTest::newRow("comma") << "integrity/csv-cr-only.csv" << "roster.csv" << int(iftCommaText);
        QTest::newRow("tab") << "integrity/tab-cr-only.txt" << "roster-tab.txt" << int(iftTabText);
    }
    void crOnlyRosters()
    {
        QFETCH(QString, file);
        QFETCH(QString, sound);
        QFETCH(int, type);
        TImportTable cr, crlf;
        QVERIFY(cr.LoadFromFile(testing_registry::dataPath(file), TImportFileType(type)));
        QVERIFY(crlf.LoadFromFile(testing_registry::dataPath(sound), TImportFileType(type)));
        QCOMPARE(cr.FieldCount(), 7);
        QVERIFY(cr.RowCount() >= 30);
        QCOMPARE(Rows(cr), Rows(crlf));
    }

    void crOnlyRosterMadeElsewhere()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("integrity/txt-cr-only.csv"), iftCommaText));
        t.SetFieldKind(3, fkSSN);
        QCOMPARE(Rows(t), QList<QStringList>({{"DOE", "JOHN", "Q", "012345678", "SPC", "M", "HHC"},
                                               {"SMITH", "A", "B", "123456789", "PVT", "F", "HHC"}}));
    }

    void ctrlZEndsTheText()
    {
        QTemporaryDir dir;
        Capture c;
        QVERIFY(ReadAll<TImportCommaTextReader>(WriteFile(dir, "z.csv", "a,b\nc,d\x1A" "e,f\ng,h\n"), c));
        QCOMPARE(c.records, QList<QStringList>({{"a", "b"}, {"c", "d"}}));
        Capture first;
        QVERIFY(ReadAll<TImportCommaTextReader>(WriteFile(dir, "z0.csv", "\x1A" "a,b\n"), first));
        QCOMPARE(first.fieldCount, 0);
        QVERIFY(first.records.isEmpty());
    }

    void quoteRules_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("protected comma") << QByteArray("\"Doe, John\",123") << QStringList{"Doe, John", "123"};
        QTest::newRow("trailing delimiter") << QByteArray("a,b,") << QStringList{"a", "b", ""};
        QTest::newRow("two delimiters") << QByteArray("a,,b") << QStringList{"a", "", "b"};
        QTest::newRow("doubled quote gives none") << QByteArray("\"a\"\"b\",c") << QStringList{"ab", "c"};
        QTest::newRow("quotes inside a value dropped") << QByteArray("ab\"c\"d,e") << QStringList{"abcd", "e"};
        QTest::newRow("unmatched quote") << QByteArray("x,\"abc,def") << QStringList{"x", "abc,def"};
        QTest::newRow("values trimmed") << QByteArray("  a ,\" b \" ") << QStringList{"a", "b"};
        QTest::newRow("only a delimiter") << QByteArray(",") << QStringList{"", ""};
    }
    void quoteRules()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, values);
        QTemporaryDir dir;
        Capture c;
        QVERIFY(ReadAll<TImportCommaTextReader>(WriteFile(dir, "q.csv", line + "\r\n"), c));
        QCOMPARE(c.records.size(), 1);
        QCOMPARE(c.records.first(), values);
        QCOMPARE(c.fieldCount, int(values.size()));
    }

    void firstLineEmpty()
    {
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "f.csv", "\r\na,b\r\nc,d,e\r\n");
        Capture c;
        QVERIFY(ReadAll<TImportCommaTextReader>(path, c));
        QCOMPARE(c.fieldCount, 0);
        TImportTable t;
        QVERIFY(t.LoadFromFile(path, iftCommaText));
        QCOMPARE(t.FieldCount(), 3);
        QCOMPARE(t.RowCount(), 2);
        QCOMPARE(t.GetCell(0, 2), QString());
    }

    void wholeLongLine()
    {
        // one 5,000,000-byte line without any line break
        QTemporaryDir dir;
        QByteArray bytes = "LAST,FIRST,MI,SSN,RANK,SEX,ORG,";
        const QByteArray abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        while (bytes.size() < 5000000)
            bytes += abc;
        bytes.truncate(5000000);
        TImportTable t;
        QVERIFY(t.LoadFromFile(WriteFile(dir, "long-line.csv", bytes), iftCommaText));
        QCOMPARE(t.FieldCount(), 8);
        QCOMPARE(t.RowCount(), 1);
        QCOMPARE(t.GetCell(0, 7).size(), bytes.size() - bytes.lastIndexOf(',') - 1);
        QVERIFY(t.GetCell(0, 7).endsWith(QString::fromLatin1(bytes.right(30))));
    }

    void fixedWidth()
    {
        QTemporaryDir dir;
        const QByteArray line25 = "ABCDEFGHI|KLMNOPQRS|UVWXY";
        const QByteArray line15 = "abcdefghi|klmno";
        Capture c;
        QVERIFY(ReadAll<TImportFixedTextReader>(WriteFile(dir, "f.txt", line25 + "\n" + line15 + "\n\n"), c));
        QCOMPARE(c.fieldCount, 0);   // no column starts set
        Capture d;
        TImportFixedTextReader r([&](const QStringList &v) { d.records << v; }, [&](int n) { d.fieldCount = n; });
        r.ColumnStarts = {0, 10, 20};
        QVERIFY(r.Import(dir.filePath("f.txt")));
        QCOMPARE(d.fieldCount, 3);
        QCOMPARE(d.records, QList<QStringList>({{"ABCDEFGHI", "KLMNOPQRS", "UVWXY"}, {"abcdefghi"}, {}}));
    }

    void fixedWidthColumnOfLengthZero()
    {
        QTemporaryDir dir;
        Capture d;
        TImportFixedTextReader r([&](const QStringList &v) { d.records << v; }, [&](int n) { d.fieldCount = n; });
        r.ColumnStarts = {0, 4, 5, 8};
        QVERIFY(r.Import(WriteFile(dir, "z.txt", "abc  XY ghij")));
        // the column from 4 has no characters; later values move left
        QCOMPARE(d.records, QList<QStringList>({{"abc", "XY", "ghij"}}));
    }

    void excelRoster()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.xls"), iftExcel));
        QCOMPARE(t.FieldCount(), 9);
        QCOMPARE(t.RowCount(), 41);
        QCOMPARE(t.GetCell(0, 0), QString("LAST"));
        t.IgnoreHeader = true;
        QCOMPARE(t.RowCount(), 40);
        QCOMPARE(t.GetCell(0, 0), QString("ELLISON"));
        QCOMPARE(t.GetCell(39, 0), QString("HOLLOWAY"));
        QCOMPARE(t.GetCell(39, 1), QString("BRADLEY"));
        // numbers print as the user sees them, without ".0"
        QCOMPARE(t.GetCell(0, 3), QString("916325636"));
        QVERIFY(!t.GetCell(0, 8).contains('.'));
        bool ok = false;
        const int yos = t.GetCell(0, 8).toInt(&ok);
        QVERIFY(ok && yos >= 0 && yos <= 30);
        // the real date, in the user's short date format
        QCOMPARE(t.GetCell(0, 7), DateTimeText(QDate(1993, 10, 3), QTime(), false));
        // absent cells read as empty
        QCOMPARE(t.GetCell(26, 6), QString());
        QCOMPARE(t.GetCell(8, 2), QString());
        QCOMPARE(t.GetCell(8, 0), QString("KINCAID"));
        // an SSN stored as a number lost its leading zeros: not a usable SSN
        QCOMPARE(t.GetCell(32, 3), QString("123456"));
        t.SetFieldKind(3, fkSSN);
        QCOMPARE(t.GetCell(32, 3), QString(9, ' '));
        QCOMPARE(t.GetCell(37, 3), QString(9, ' '));
        QCOMPARE(t.GetCell(0, 3), QString("916325636"));
        t.SetFieldKind(5, fkGender);
        int men = 0, women = 0;
        for (int r = 0; r < t.RowCount(); ++r) {
            const QString g = t.GetCell(r, 5);
            men += g == "M";
            women += g == "F";
        }
        QCOMPARE(men, 33);
        QCOMPARE(women, 7);
    }

    void excelAgreesWithComma()
    {
        TImportTable xls, csv;
        QVERIFY(xls.LoadFromFile(testing_registry::dataPath("roster.xls"), iftExcel));
        QVERIFY(csv.LoadFromFile(testing_registry::dataPath("roster.csv"), iftCommaText));
        xls.IgnoreHeader = csv.IgnoreHeader = true;
        for (TImportTable *t : {&xls, &csv})
            t->SetFieldKind(3, fkSSN);
        for (int r = 0; r < 30; ++r) {
            for (int c : {0, 1, 4}) {
                QCOMPARE(xls.GetCell(r, c), csv.GetCell(r, c));
            }
            QCOMPARE(xls.GetCell(r, 3), csv.GetCell(r, 3));
        }
    }

    void excelRowOneGapAndColumnOneHole()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("excel-gaps.xls"), iftExcel));
        // the empty third cell of row 1 limits every row to two columns
        QCOMPARE(t.FieldCount(), 2);
        // the first row with an empty first cell ends the data
        QCOMPARE(Rows(t), QList<QStringList>({{"LAST", "FIRST"}, {"DOE", "JOHN"}, {"ROE", "JANE"}, {"POE", "EDGAR"}}));
        // ... and the rows left out are noted: the end row holds data beside its empty cell
        QCOMPARE((QList<int>{t.Notes.EndRow, t.Notes.FirstRowAfter, t.Notes.LastRowAfter}), QList<int>({5, 5, 6}));
        QVERIFY(t.Notes.RowsAfterEndText().startsWith("Rows 5 to 6, from the empty cell in column A at row 5 on"));
        // or read, when asked for
        t.SkipBlankRows = true;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("excel-gaps.xls"), iftExcel));
        QCOMPARE(Rows(t).mid(4), QList<QStringList>({{"AFTERHOLE", "NEVER READ"}}));
        QVERIFY(!t.Notes.RowsAfterEnd());
        // the table keeps no row without a first value, and says which it left out
        QCOMPARE(t.Notes.RowsWithoutFirstValue, QList<int>({5}));
        QVERIFY(t.Notes.RowsWithoutFirstValueText().startsWith("Row 5 holds data but nothing in its first column"));
    }

    void excelCellTypes()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("excel-types.xls"), iftExcel));
        QCOMPARE(t.FieldCount(), 8);
        QCOMPARE(t.RowCount(), 3);
        const QLocale locale = QLocale::system();
        QCOMPARE(t.GetCell(1, 0), QString("padded"));
        QCOMPARE(t.GetCell(1, 1), locale.toString(3.25));
        QCOMPARE(t.GetCell(1, 3), DateTimeText(QDate(2020, 5, 17), QTime(13, 45), true));
        QCOMPARE(t.GetCell(1, 4), QString("98765432101"));
        QCOMPARE(t.GetCell(1, 5), QString("-7"));
        QCOMPARE(t.GetCell(1, 6), DateTimeText(QDate(2001, 2, 3), QTime(), false));
        QCOMPARE(t.GetCell(1, 7), QString());
        QCOMPARE(t.GetCell(2, 1), locale.toString(0.1));
        QCOMPARE(t.GetCell(2, 3), QString());
        QCOMPARE(t.GetCell(2, 5), locale.toString(-2.5));
    }

    void dbaseRoster()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.dbf"), iftDBase));
        QCOMPARE(t.FieldCount(), 9);
        QCOMPARE(t.RowCount(), 24);   // the deleted record is left out
        QStringList last;
        for (int r = 0; r < t.RowCount(); ++r)
            last << t.GetCell(r, 0);
        QVERIFY(!last.contains("FENWICK"));
        TImportTable csv;
        QVERIFY(csv.LoadFromFile(testing_registry::dataPath("roster.csv"), iftCommaText));
        csv.IgnoreHeader = true;
        // records 1-17 and 19-25 of the comma roster, fields trimmed
        for (int r = 0; r < 24; ++r) {
            const int source = r < 17 ? r : r + 1;
            for (int c = 0; c < 5; ++c)
                QCOMPARE(t.GetCell(r, c), csv.GetCell(source, c));
        }
        QCOMPARE(t.GetCell(8, 2), QString());
        // dates in the user's short date format, numbers as written
        const QDate dob = QLocale::system().toDate(t.GetCell(0, 8), QLocale::ShortFormat);
        QVERIFY2(dob.isValid(), qPrintable(t.GetCell(0, 8)));
        bool ok = false;
        t.GetCell(0, 7).toInt(&ok);
        QVERIFY(ok);
    }

    void dbaseOpensExactlyTheChosenFile()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.dbf"), dir.filePath("roster.dat")));
        TImportTable t;
        QVERIFY(t.LoadFromFile(dir.filePath("roster.dat"), iftDBase));
        QCOMPARE(t.RowCount(), 24);
        // not the table beside it that merely shares the base name
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.csv"), dir.filePath("roster.txt")));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.dbf"), dir.filePath("roster.dbf")));
        QVERIFY_THROWS_EXCEPTION(Exception, t.LoadFromFile(dir.filePath("roster.txt"), iftDBase));
    }

    void accessTables()
    {
        QCOMPARE(TImportAccessReader::TableNames(testing_registry::dataPath("roster.mdb")),
                 QStringList({"Roster", "Units"}));
    }

    void accessRoster()
    {
        QStringList offered;
        ChooserScope scope([&](const QStringList &tables, QString &chosen) {
            offered = tables;
            chosen = "Roster";
            return true;
        });
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(offered, QStringList({"Roster", "Units"}));
        QCOMPARE(t.FieldCount(), 7);
        QCOMPARE(t.RowCount(), 35);
        QCOMPARE(t.GetCell(0, 0), QString("JEFFORDS"));
        QCOMPARE(t.GetCell(0, 1), QString("PAULA"));
        QCOMPARE(t.GetCell(34, 0), QString("HOLLOWAY"));
        // NULL reads as empty
        QCOMPARE(t.GetCell(3, 2), QString());
        QCOMPARE(t.GetCell(9, 2), QString());
        QCOMPARE(t.GetCell(24, 2), QString());
        QVERIFY(!t.GetCell(4, 2).isEmpty());
        t.SetFieldKind(3, fkSSN);
        QCOMPARE(t.GetCell(27, 3), QString("000123456"));
        t.SetFieldKind(5, fkGender);
        QCOMPARE(t.GetCell(3, 5), QString("F"));
    }

    void accessNumbers()
    {
        ChooserScope scope([](const QStringList &, QString &chosen) {
            chosen = "Units";
            return true;
        });
        TImportTable t;
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(t.RowCount(), 5);
        QCOMPARE(Rows(t).last(), QStringList({"5", "D CO 1-22 IN", "WQ9HD0", "CAMP BIRCHWOOD, TX", "96"}));
    }

    void accessChoiceCancelled()
    {
        ChooserScope scope([](const QStringList &, QString &) { return false; });
        TImportTable t;
        t.AddRow({"old"});
        QVERIFY(!t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.FieldCount(), 0);
    }

    void accessWithoutChooser()
    {
        TImportTable t;
        try {
            t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess);
            QFAIL("a database of two tables was read without asking");
        } catch (const Exception &e) {
            QVERIFY(e.message().contains("Roster"));
            QVERIFY(e.message().contains("Units"));
        }
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::newRow("binary.csv") << "binary.csv" << int(iftCommaText);
        QTest::newRow("binary.csv as tab") << "binary.csv" << int(iftTabText);
        QTest::newRow("random.xls") << "random.xls" << int(iftExcel);
        QTest::newRow("roster-truncated.xls") << "roster-truncated.xls" << int(iftExcel);
        QTest::newRow("roster-garbage.dbf") << "roster-garbage.dbf" << int(iftDBase);
        QTest::newRow("roster-truncated.mdb") << "roster-truncated.mdb" << int(iftAccess);
        QTest::newRow("roster-nullmap.mdb") << "roster-nullmap.mdb" << int(iftAccess);
        QTest::newRow("roster-badrow.mdb") << "roster-badrow.mdb" << int(iftAccess);
        // found by fuzzing: the database library itself faults on these
        QTest::newRow("fuzz-libmdb-1.mdb") << "fuzz-libmdb-1.mdb" << int(iftAccess);
        QTest::newRow("fuzz-libmdb-2.mdb") << "fuzz-libmdb-2.mdb" << int(iftAccess);
        QTest::newRow("fuzz-libgsf-1.xls") << "fuzz-libgsf-1.xls" << int(iftExcel);
        QTest::newRow("random.xls as mdb") << "random.xls" << int(iftAccess);
        QTest::newRow("random.xls as dbf") << "random.xls" << int(iftDBase);
        QTest::newRow("roster.csv as xls") << "../roster.csv" << int(iftExcel);
        QTest::newRow("roster.csv as mdb") << "../roster.csv" << int(iftAccess);
        QTest::newRow("roster.xls as dbf") << "../roster.xls" << int(iftDBase);
    }
    void damagedFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        ChooserScope scope([](const QStringList &tables, QString &chosen) {
            chosen = tables.value(0);
            return !tables.isEmpty();
        });
        const QString path = testing_registry::dataPath("damaged/" + file);
        TImportTable t;
        bool loaded = false;
        try {
            loaded = t.LoadFromFile(path, TImportFileType(type));
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            qInfo("%s", qPrintable(e.message()));
            return;
        }
        qInfo("read %d rows of %d fields", t.RowCount(), t.FieldCount());
        QVERIFY(loaded);
        // what was read is consistent: every cell fits its column's width
        for (int r = 0; r < t.RowCount(); ++r)
            for (int c = 0; c < t.FieldCount(); ++c)
                QVERIFY(t.GetCell(r, c).size() <= t.GetFieldWidth(c));
    }

    void databaseThatCrashesTheLibrary()
    {
        // This damaged table makes the database library dereference a null pointer while
        // fetching rows; the reading must fail with a message, not take the program down.
        ChooserScope scope([](const QStringList &, QString &chosen) {
            chosen = "Roster";
            return true;
        });
        const QString path = testing_registry::dataPath("damaged/roster-nullmap.mdb");
        TImportTable t;
        try {
            t.LoadFromFile(path, iftAccess);
            QFAIL("a damaged database read as sound");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        // the same reader still works afterwards
        QVERIFY(t.LoadFromFile(testing_registry::dataPath("roster.mdb"), iftAccess));
        QCOMPARE(t.RowCount(), 35);
    }

    void damageIsRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("reasons");   // each in the message, beside the file's name
        QTest::addColumn<bool>("nothingRead");      // refused, and no row of it kept
        // the shared fixtures were made from truth.csv; their headers count its members
        QFile truth(testing_registry::dataPath("integrity/truth.csv"));
        QVERIFY(truth.open(QIODevice::ReadOnly));
        const QString members = QString::number(truth.readAll().trimmed().count('\n'));
        QCOMPARE(members, QString("60"));
        const QString damaged = "the file is damaged";
        QTest::newRow("xlsx: shared strings fail their checksum")
            << "integrity/xlsx-bad-crc-ssn.xlsx" << int(iftExcel) << QStringList{damaged, "\"xl/sharedStrings.xml\""} << true;
        QTest::newRow("xlsx: stored sheet fails its checksum")
            << "integrity/xlsx-stored-bad-crc.xlsx" << int(iftExcel)
            << QStringList{damaged, "\"xl/worksheets/sheet1.xml\"", "checksum"} << true;
        QTest::newRow("ods: stored content fails its checksum")
            << "integrity/ods-stored-bad-crc.ods" << int(iftOds) << QStringList{damaged, "\"content.xml\"", "checksum"} << true;
        QTest::newRow("dbf cut at half")
            << "integrity/truncated-half.dbf" << int(iftDBase)
            << QStringList{"damaged", "announces " + members + " records", "holds only 28."} << true;
        QTest::newRow("dbf count 2^31")
            << "integrity/dbf-2g-records.dbf" << int(iftDBase)
            << QStringList{"damaged", "announces 2,147,483,648 records", "holds only " + members + "."} << true;
        QTest::newRow("dbf cut in a record")
            << "integrity/dbf-cut.dbf" << int(iftDBase) << QStringList{"announces 25 records", "holds only 10."} << true;
        QTest::newRow("dbf count 2^31, own")
            << "integrity/dbf-count-2g.dbf" << int(iftDBase) << QStringList{"2,147,483,648", "holds only 25."} << true;
        QTest::newRow("dbf count 1,000,000 with two records")
            << "damaged/roster-garbage.dbf" << int(iftDBase) << QStringList{"1,000,000", "holds only 2."} << true;
        QTest::newRow("mdb row the library skips")
            << "damaged/roster-badrow.mdb" << int(iftAccess)
            << QStringList{"table \"Roster\" is damaged", "rows of it cannot be read", "mdb_crack_row"} << true;
    }
    void damageIsRefused()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(QStringList, reasons);
        QFETCH(bool, nothingRead);
        ChooserScope scope([](const QStringList &, QString &chosen) {
            chosen = "Roster";
            return true;
        });
        const QString path = testing_registry::dataPath(file);
        TImportTable t;
        try {
            t.LoadFromFile(path, TImportFileType(type));
            QFAIL(qPrintable(QString("read %1 rows of a damaged file").arg(t.RowCount())));
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains("\"" + path + "\""), qPrintable(e.message()));
            for (const QString &reason : reasons)
                QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        }
        if (nothingRead) {
            QCOMPARE(t.RowCount(), 0);
            QCOMPARE(t.FieldCount(), 0);
        }
        // the same refusal where rows become members at once: no member of it kept
        TImportTable members;
        TRosterRecs recs;
        try {
            members.LoadRosterRecs(path, TImportFileType(type), {fkLastName, fkDoNotImport, fkDoNotImport, fkSSN}, recs);
            QFAIL(qPrintable(QString("made %1 members of a damaged file").arg(recs.size())));
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains("\"" + path + "\""), qPrintable(e.message()));
        }
        if (nothingRead) {
            QCOMPARE(recs.size(), 0);
            QCOMPARE(members.FieldCount(), 0);
        }
    }
};

CORVANE_TEST(TestReaders)
#include "tst_readers.moc"
