#include "testmain.h"
#include "testfiles.h"
#include "import/ImportFileReader.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QTemporaryDir>
#include <QFile>
#include <QTest>

namespace {
// A table filled through the readers' callbacks, as a reader would.
TImportTable TableOf(const QList<QStringList> &rows)
{
    TImportTable t;
    for (const QStringList &r : rows)
        t.AddRow(r);
    return t;
}
} // namespace

class TestImportTable : public QObject
{
    Q_OBJECT
private slots:
    void storingRecords()
    {
        TImportTable t;
        t.EnsureFields(2);
        t.AddRow({"DOE", "JOHN"});
        t.AddRow({"", "dropped although not empty"});
        t.AddRow({});
        t.AddRow({"SMITHERS", "A", "extra"});
        QCOMPARE(t.FieldCount(), 3);
        QCOMPARE(t.RowCount(), 2);
        // the earlier row reads the new column as empty
        QCOMPARE(t.GetCell(0, 2), QString());
        QCOMPARE(t.GetCell(1, 2), QString("extra"));
        // widths follow the longest cell, the dropped record did not count
        QCOMPARE(t.GetFieldWidth(0), 8);
        QCOMPARE(t.GetFieldWidth(1), 4);
        QCOMPARE(t.GetFieldWidth(2), 5);
        // a read past the last row is empty, not an error
        QCOMPARE(t.GetCell(2, 0), QString());
        // never shrinks
        t.EnsureFields(1);
        QCOMPARE(t.FieldCount(), 3);
    }

    void headerOffset()
    {
        TImportTable t;
        t.IgnoreHeader = true;
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.HeaderOffset(), 1);
        t.AddRow({"LAST"});
        QCOMPARE(t.RowCount(), 0);
        t.AddRow({"DOE"});
        QCOMPARE(t.RowCount(), 1);
        QCOMPARE(t.GetCell(0, 0), QString("DOE"));
        t.IgnoreHeader = false;
        QCOMPARE(t.RowCount(), 2);
        QCOMPARE(t.GetCell(0, 0), QString("LAST"));
    }

    void ssnRule_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dashes") << "123-45-6789" << "123456789";
        QTest::newRow("eight digits") << "12345678" << "         ";
        QTest::newRow("letters keep case") << "A12 34 5678" << "A12345678";
        QTest::newRow("lower case letter") << "a12-34-5678" << "a12345678";
        QTest::newRow("ten digits") << "1234567890" << "         ";
        QTest::newRow("empty") << "" << "         ";
        QTest::newRow("non-ascii letter is not kept") << QString::fromUtf8("É12345678") << "         ";
        QTest::newRow("mixed separators") << "12.3/45-67 89" << "123456789";
    }
    void ssnRule()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        QCOMPARE(TImportTable::NormalizeSSN(raw), expected);
    }

    void genderRule_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Male") << "Male" << "M";
        QTest::newRow("male") << "male" << "M";
        QTest::newRow("MALE") << "MALE" << "M";
        QTest::newRow("Female") << "Female" << "F";
        QTest::newRow("m") << "m" << "M";
        QTest::newRow("w") << "w" << "W";
        QTest::newRow("X") << "X" << "X";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only ascii upper-cased") << QString::fromUtf8("é") << QString::fromUtf8("é");
    }
    void genderRule()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        QCOMPARE(TImportTable::NormalizeGender(raw), expected);
    }

    void normalisedOnEveryRead()
    {
        TImportTable t = TableOf({{"DOE", "123-45-6789", "Male "}, {"ROE", "12345678"}});
        QCOMPARE(t.GetCell(0, 1), QString("123-45-6789"));
        t.SetFieldKind(1, fkSSN);
        t.SetFieldKind(2, fkGender);
        QCOMPARE(t.GetCell(0, 1), QString("123456789"));
        QCOMPARE(t.GetCell(1, 1), QString(9, ' '));
        QCOMPARE(t.GetCell(0, 2), QString("M"));
        // a row without that cell stays empty even in an SSN or gender column
        QCOMPARE(t.GetCell(1, 2), QString());
        t.SetFieldKind(1, fkDoNotImport);
        QCOMPARE(t.GetCell(1, 1), QString("12345678"));
    }

    void cellsAreTrimmedOnRead()
    {
        TImportTable t = TableOf({{"DOE", QString("\t JOHN \x01")}});
        QCOMPARE(t.GetCell(0, 1), QString("JOHN"));
        // only codes 0 to 32 count as blanks
        t.AddRow({QString::fromUtf8("\u00A0X\u00A0")});
        QCOMPARE(t.GetCell(1, 0), QString::fromUtf8("\u00A0X\u00A0"));
    }

    void titles()
    {
        TImportTable t = TableOf({{"a", "b", "c", "d", "e"}});
        QCOMPARE(t.GetFieldTitle(0), QString("Do Not Import"));
        t.SetFieldKind(3, fkOrganization);
        QCOMPARE(t.GetFieldTitle(3), QString("Organization"));   // one needs no number
        t.SetFieldKind(1, fkOrganization);
        t.SetFieldKind(3, fkOrganization);
        t.SetFieldKind(4, TImportFieldKind(11));
        QCOMPARE(t.GetFieldTitle(3), QString("Organization 2"));
        QCOMPARE(t.GetFieldTitle(1), QString("Organization 1"));
        QCOMPARE(t.GetFieldTitle(4), QString("Unknown"));
        t.SetFieldKind(2, fkBacBicMcc);
        QCOMPARE(t.GetFieldTitle(2), QString("BAC/BIC/MCC"));
        // asking for a title widens the column to it
        QCOMPARE(t.GetFieldWidth(1), int(QString("Organization 1").size()));
        QCOMPARE(t.GetFieldWidth(0), int(QString("Do Not Import").size()));
        QCOMPARE(t.GetFieldWidth(2), 11);
    }

    void invalidPosition()
    {
        TImportTable t = TableOf({{"a", "b"}});
        try {
            t.GetCell(0, 2);
            QFAIL("no error for a position without a field");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("Invalid Field Position."));
        }
        QVERIFY_THROWS_EXCEPTION(Exception, t.SetFieldKind(-1, fkSSN));
    }

    void templateText()
    {
        TImportTable t = TableOf({{"a", "b", "c", "d"}});
        QCOMPARE(t.GetTemplate(), QString("0"));
        t.IgnoreHeader = true;
        QCOMPARE(t.GetTemplate(), QString("-1"));
        t.SetFieldKind(0, fkFirstName);
        t.SetFieldKind(1, fkLastName);
        QCOMPARE(t.GetTemplate(), QString("3-0,2-1,-1"));
        t.SetFieldKind(3, fkGender);
        t.IgnoreHeader = false;
        QCOMPARE(t.GetTemplate(), QString("3-0,2-1,0-2,5-3,0"));
    }

    void templateRoundTripOverAReload()
    {
        QTemporaryDir dir;
        const QString csv = WriteFile(dir, "r.csv", "LAST,FIRST,SSN,SEX\r\nDOE,JOHN,123-45-6789,male\r\n");
        const QString tab = WriteFile(dir, "r.txt", "LAST\tFIRST\tSSN\tSEX\tRANK\nDOE\tJOHN\t123456789\tf\tSGT\n");
        TImportTable t;
        QVERIFY(t.LoadFromFile(csv, iftCommaText));
        t.SetFieldKind(0, fkLastName);
        t.SetFieldKind(2, fkSSN);
        t.SetFieldKind(3, fkGender);
        t.IgnoreHeader = true;
        const QString templ = t.GetTemplate();
        QVERIFY(t.LoadFromFile(tab, iftTabText));
        QCOMPARE(t.FieldCount(), 5);
        QCOMPARE(t.GetFieldKind(0), fkDoNotImport);   // a load starts from scratch
        QVERIFY(t.IgnoreHeader);                       // but keeps the header flag
        t.IgnoreHeader = false;
        t.ApplyTemplate(templ);
        QCOMPARE(t.GetFieldKind(0), fkLastName);
        QCOMPARE(t.GetFieldKind(1), fkDoNotImport);
        QCOMPARE(t.GetFieldKind(2), fkSSN);
        QCOMPARE(t.GetFieldKind(3), fkGender);
        QCOMPARE(t.GetFieldKind(4), fkDoNotImport);
        QVERIFY(t.IgnoreHeader);
        QCOMPARE(t.GetCell(0, 3), QString("F"));
        QCOMPARE(t.GetTemplate(), templ);
    }

    void templateWithTooManyFields()
    {
        TImportTable t = TableOf({{"a", "b", "c"}});
        t.SetFieldKind(2, fkSSN);
        const QString templ = t.GetTemplate();
        TImportTable small = TableOf({{"x", "y"}});
        small.SetFieldKind(0, fkRank);
        small.IgnoreHeader = true;
        try {
            small.ApplyTemplate(templ);
            QFAIL("template applied to too few fields");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QString("This template has too many fields for this data - template not applied"));
        }
        QCOMPARE(small.GetFieldKind(0), fkRank);
        QVERIFY(small.IgnoreHeader);
        // an empty template changes nothing
        small.ApplyTemplate(QString());
        QCOMPARE(small.GetFieldKind(0), fkRank);
    }

    void templateResetsFieldsItDoesNotCover()
    {
        TImportTable t = TableOf({{"a", "b", "c", "d"}});
        t.SetFieldKind(3, fkRank);
        t.ApplyTemplate("2-0,0");
        QCOMPARE(t.GetFieldKind(0), fkLastName);
        QCOMPARE(t.GetFieldKind(3), fkDoNotImport);
        QVERIFY(!t.IgnoreHeader);
    }

    void malformedTemplateChangesNothing()
    {
        TImportTable t = TableOf({{"a", "b"}});
        t.SetFieldKind(1, fkRank);
        QVERIFY_THROWS_EXCEPTION(EConvertError, t.ApplyTemplate("x-0,0"));
        QVERIFY_THROWS_EXCEPTION(EConvertError, t.ApplyTemplate("2-0,maybe"));
        QCOMPARE(t.GetFieldKind(1), fkRank);
        QCOMPARE(t.GetFieldKind(0), fkDoNotImport);
    }

    void loadReplacesContents()
    {
        QTemporaryDir dir;
        const QString csv = WriteFile(dir, "r.csv", "a,b\r\nc,d\r\n");
        TImportTable t = TableOf({{"1", "2", "3"}});
        QVERIFY(!t.LoadFromFile(csv, iftNone));
        QCOMPARE(t.FieldCount(), 0);
        QCOMPARE(t.RowCount(), 0);
        QVERIFY(!t.LoadFromFile(csv, TImportFileType(8)));
        QVERIFY(t.LoadFromFile(csv, iftCommaText));
        QCOMPARE(t.FieldCount(), 2);
        QCOMPARE(t.RowCount(), 2);
        QVERIFY(!t.LoadFromFile(dir.filePath("missing.csv"), iftCommaText));
        QCOMPARE(t.FieldCount(), 0);
        QCOMPARE(t.RowCount(), 0);
    }

    void fixedWidthColumnsComeFromTheTable()
    {
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "f.txt", "DOE       JOHN      Q\n");
        TImportTable t;
        QVERIFY(t.LoadFromFile(path, iftFixedText));
        QCOMPARE(t.FieldCount(), 0);   // no column starts: nothing to read
        QCOMPARE(t.RowCount(), 0);
        t.SetFixedColumns({0, 10, 20});
        QVERIFY(t.LoadFromFile(path, iftFixedText));
        QCOMPARE(t.FieldCount(), 3);
        QCOMPARE(t.GetCell(0, 1), QString("JOHN"));
        QCOMPARE(t.GetCell(0, 2), QString("Q"));
    }

    void rosterNames()
    {
        TImportTable t = TableOf({{"DOE", "JOHN", "Q", "123-45-6789", "male", "SGT", "HHC"},
                                  {"ROE", "", "", "1234", "f", "PVT", ""}});
        const TImportFieldKind kinds[] = {fkLastName, fkFirstName, fkInitial, fkSSN, fkGender, fkRank, fkOrganization};
        for (int c = 0; c < 7; ++c)
            t.SetFieldKind(c, kinds[c]);
        TRosterRecs recs = BuildRosterRecs(t);
        QCOMPARE(recs.size(), 2);
        QCOMPARE(recs[0].Name, QString("DOE, JOHN Q."));
        QCOMPARE(recs[0].SSN, QString("123456789"));
        QCOMPARE(recs[0].Gender, QString("M"));
        QCOMPARE(recs[0].Rank, QString("SGT"));
        QCOMPARE(recs[0].Organization, QString("HHC"));
        QVERIFY(!recs[0].Selected);
        // mapped but empty parts still contribute their punctuation
        QCOMPARE(recs[1].Name, QString("ROE,  ."));
        QCOMPARE(recs[1].SSN, QString(9, ' '));
        QCOMPARE(recs[1].Gender, QString("F"));

        t.SetFieldKind(1, fkDoNotImport);
        recs = BuildRosterRecs(t);
        QCOMPARE(recs[0].Name, QString("DOE Q."));
        t.SetFieldKind(1, fkFirstName);
        t.SetFieldKind(2, fkDoNotImport);
        QCOMPARE(BuildRosterRecs(t)[0].Name, QString("DOE, JOHN"));
    }

    void rightmostColumnWins()
    {
        TImportTable t = TableOf({{"DOE", "HHC", "A CO", "SGT"}, {"ROE", "B CO"}});
        t.SetFieldKind(0, fkLastName);
        t.SetFieldKind(1, fkOrganization);
        t.SetFieldKind(2, fkOrganization);
        const TRosterRecs recs = BuildRosterRecs(t);
        QCOMPARE(recs[0].Organization, QString("A CO"));
        // the rightmost column wins even when this row has no cell there
        QCOMPARE(recs[1].Organization, QString());
        // no SSN column: SSN stays empty rather than nine blanks
        QCOMPARE(recs[0].SSN, QString());
    }

    void cellsSurviveManyRowsAndLongRows()
    {
        // Enough text to fill several storage blocks, one row longer than a block, empty
        // cells, rows of different widths; then a row after clearing.
        {
            TImportTable t;
            QList<QStringList> rows;
            for (int r = 0; r < 40000; ++r) {
                QStringList row{QStringLiteral("LAST%1").arg(r), QString(), QStringLiteral(" %1 ").arg(r * 7)};
                if (r % 3 == 0)
                    row << QString(r % 50, QChar(u'a' + r % 26));
                if (r == 20001)   // a row of four cells, so this one is the fifth
                    row << QString(1500000, QChar(u'\u00e9'));
                rows << row;
                t.AddRow(row);
            }
            QCOMPARE(t.RowCount(), 40000);
            QCOMPARE(t.FieldCount(), 5);
            QCOMPARE(t.GetFieldWidth(4), 1500000);
            for (int r = 0; r < rows.size(); r += (r < 19990 || r > 20010) ? 97 : 1) {
                for (int c = 0; c < 5; ++c)
                    QCOMPARE(t.GetCell(r, c), c < rows[r].size() ? rows[r][c].trimmed() : QString());
            }
            QCOMPARE(t.GetCell(39999, 0), QString("LAST39999"));
            QCOMPARE(t.GetCell(40000, 0), QString());
            t.ClearRows();
            QCOMPARE(t.RowCount(), 0);
            t.AddRow({"AGAIN", "1"});
            QCOMPARE(t.GetCell(0, 0), QString("AGAIN"));
            QCOMPARE(t.GetCell(0, 1), QString("1"));
        }
    }

    void recordsSkipTheHeader()
    {
        TImportTable t = TableOf({{"LAST", "SSN"}, {"DOE", "123456789"}});
        t.SetFieldKind(0, fkLastName);
        t.SetFieldKind(1, fkSSN);
        t.IgnoreHeader = true;
        const TRosterRecs recs = BuildRosterRecs(t);
        QCOMPARE(recs.size(), 1);
        QCOMPARE(recs[0].Name, QString("DOE"));
        t.IgnoreHeader = false;
        QCOMPARE(BuildRosterRecs(t).size(), 2);
    }

    // The reading program is started only for the types that have a reader.
    void everyTypeWithAReaderIsKnown()
    {
        for (int t = 0; t < 256; ++t)
            QCOMPARE(HasImportReader(TImportFileType(t)), CreateImportReader(TImportFileType(t), {}, {}) != nullptr);
    }

    // Records made while the rows stream in are those made from the stored table.
    void streamedRecordsMatchStoredOnes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QList<int>>("kinds");
        const QList<int> sheet = {fkLastName, fkFirstName, fkInitial, fkSSN, fkRank, fkGender, fkOrganization};
        QTest::newRow("csv") << "roster.csv" << int(iftCommaText) << true << sheet;
        QTest::newRow("csv, header kept") << "roster.csv" << int(iftCommaText) << false << sheet;
        QTest::newRow("xls") << "roster.xls" << int(iftExcel) << true << sheet;
        QTest::newRow("xlsx") << "roster.xlsx" << int(iftExcel) << true << sheet;
        QTest::newRow("dbf") << "roster.dbf" << int(iftDBase) << false << sheet;
        // a kind twice (the rightmost wins), columns left unnamed, and fewer kinds than columns
        QTest::newRow("csv, shared kinds")
            << "roster.csv" << int(iftCommaText) << true
            << QList<int>{fkOrganization, fkDoNotImport, fkLastName, fkSSN, fkLastName, fkGender};
        QTest::newRow("generated") << "" << int(iftCommaText) << true << QList<int>{fkLastName, fkFirstName, fkSSN, fkGender};
        // more members than the room made for the file's size: the list grows as they come
        QTest::newRow("generated, dense") << "dense" << int(iftCommaText) << true << QList<int>{fkLastName, fkFirstName, fkSSN, fkGender};
    }

    void streamedRecordsMatchStoredOnes()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(bool, header);
        QFETCH(QList<int>, kinds);
        QTemporaryDir dir;
        QString path = QStringLiteral(TEST_DATA_DIR "/") + file;
        if (file.isEmpty()) {
            // short rows, rows whose first cell is empty (no rows), padded and odd cells
            QByteArray text = "LAST,FIRST,SSN,SEX\r\n";
            for (int r = 0; r < 300; ++r) {
                if (r % 17 == 0)
                    text += ",skipped,123456789,M\r\n";
                else if (r % 11 == 0)
                    text += "  SHORT" + QByteArray::number(r) + "  \r\n";
                else
                    text += "L" + QByteArray::number(r % 7) + ", f" + QByteArray::number(r) + " ,12-345-678" +
                            QByteArray::number(r % 10) + "," + (r % 3 ? "female" : " m ") + "\r\n";
            }
            path = WriteFile(dir, "g.csv", text);
        } else if (file == "dense") {
            QByteArray text = "L,F,S,G\n";
            for (int r = 0; r < 20000; ++r)
                text += "L" + QByteArray::number(r % 997) + ",," + QByteArray::number(r % 10) + ",F\n";
            path = WriteFile(dir, "d.csv", text);
        }
        TImportTable stored;
        QVERIFY(stored.LoadFromFile(path, TImportFileType(type)));
        stored.IgnoreHeader = header;
        QList<TImportFieldKind> fieldKinds;
        for (int c = 0; c < kinds.size(); ++c) {
            fieldKinds << TImportFieldKind(kinds[c]);
            stored.SetFieldKind(c, TImportFieldKind(kinds[c]));
        }
        const TRosterRecs want = BuildRosterRecs(stored);
        QVERIFY(want.size() > 3);

        TImportTable streamed;
        streamed.IgnoreHeader = header;
        TRosterRecs got;
        QVERIFY(streamed.LoadRosterRecs(path, TImportFileType(type), fieldKinds, got));
        QCOMPARE(streamed.RowCount(), 0);   // no rows kept
        QCOMPARE(streamed.FieldCount(), stored.FieldCount());
        QCOMPARE(streamed.GetTemplate(), stored.GetTemplate());
        for (int c = 0; c < stored.FieldCount(); ++c)
            QCOMPARE(streamed.GetFieldWidth(c), stored.GetFieldWidth(c));
        QCOMPARE(got.size(), want.size());
        for (int r = 0; r < want.size(); ++r) {
            const QStringList a = {got[r].Name, got[r].SSN, got[r].Gender, got[r].Rank, got[r].Organization};
            const QStringList b = {want[r].Name, want[r].SSN, want[r].Gender, want[r].Rank, want[r].Organization};
            QCOMPARE(a, b);
            QVERIFY(!got[r].Selected);
        }
    }
};

CORVANE_TEST(TestImportTable)
#include "tst_importtable.moc"
