// libgsf's headers before Qt's: glib uses "signals" as a name, which Qt defines as a macro.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include "testmain.h"
#include "testfiles.h"
#include "readrows.h"
#include "zipwriter.h"
#include "import/CellText.h"
#include "import/ImportSheetReaders.h"
#include "import/excel/ImportExcelReader.h"
#include "roster/ImportTable.h"
#include "app/Exceptions.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {
bool ReadExcel(const QString &path, Capture &out) { return ReadAll<TImportExcelReader>(path, out); }

bool LoadExcel(const QString &path, TImportTable &t)
{
    TImportExcelReader reader([&](const QStringList &v) { t.AddRow(v); }, [&](int n) { t.EnsureFields(n); });
    return reader.Import(path);
}

// The error message of reading path, or an empty text when it was read.
QString ReadError(const QString &path)
{
    Capture r;
    try {
        ReadExcel(path, r);
    } catch (const Exception &e) {
        return e.message();
    }
    return QString();
}

QString Date(int y, int m, int d) { return DateTimeText(QDate(y, m, d), QTime(), false); }

// BIFF8 records written here, for the bounds a generated workbook never comes near.
QByteArray U16(quint16 v)
{
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    return QByteArray(bytes, 2);
}
QByteArray U32(quint32 v) { return U16(quint16(v & 0xFFFF)) + U16(quint16(v >> 16)); }
QByteArray Rec(quint16 type, const QByteArray &body) { return U16(type) + U16(quint16(body.size())) + body; }
QByteArray Bof(quint16 kind) { return Rec(0x0809, U16(0x0600) + U16(kind) + U16(0x0DBB) + U16(1996) + U32(0) + U32(6)); }
QByteArray Label(quint16 row, quint16 col, const QByteArray &latin1)
{
    return Rec(0x0204, U16(row) + U16(col) + U16(0) + U16(quint16(latin1.size())) + '\0' + latin1);
}
QByteArray Blank(quint16 row, quint16 col) { return Rec(0x0201, U16(row) + U16(col) + U16(0)); }
QByteArray LabelSst(quint16 row, quint16 col, quint32 index) { return Rec(0x00FD, U16(row) + U16(col) + U16(0) + U32(index)); }
QByteArray Number(quint16 row, quint16 col, double value)
{
    QByteArray bits(8, '\0');
    memcpy(bits.data(), &value, 8);   // little-endian, as the file
    return Rec(0x0203, U16(row) + U16(col) + U16(0) + bits);
}
// Shared strings, each given whole (length, option byte, extras, characters, run data).
QByteArray Sst(const QList<QByteArray> &strings)
{
    return Rec(0x00FC, U32(quint32(strings.size())) + U32(quint32(strings.size())) + strings.join());
}
QByteArray SstString(const QByteArray &latin1, quint16 runs = 0, quint32 phonetic = 0)
{
    const quint8 options = (runs ? 0x08 : 0) | (phonetic ? 0x04 : 0);
    QByteArray s = U16(quint16(latin1.size())) + char(options);
    if (runs)
        s += U16(runs);
    if (phonetic)
        s += U32(phonetic);
    return s + latin1 + QByteArray(4 * runs, '\x01') + QByteArray(qsizetype(phonetic), 'P');
}

// A workbook stream: globals (the given records, one worksheet), then that worksheet.
QByteArray Biff8Book(const QByteArray &globals, const QByteArray &cells)
{
    const QByteArray head = Bof(0x0005) + globals;
    const QByteArray bound = Rec(0x0085, U32(quint32(head.size() + 13 + 4)) + QByteArray("\0\0\x01\0S", 5));
    return head + bound + Rec(0x000A, {}) + Bof(0x0010) + cells + Rec(0x000A, {});
}


// The OLE2 file with the sectors of its stream `name` stored in the opposite order, their
// chain relinked: the same stream, scattered over the file. Only for files whose sector
// table is listed in the header.
QByteArray ScatterStream(QByteArray ole, const QString &name)
{
    const auto u16 = [&](qsizetype at) { return quint16(quint8(ole[at]) | quint8(ole[at + 1]) << 8); };
    const auto u32 = [&](qsizetype at) { return quint32(u16(at) | quint32(u16(at + 2)) << 16); };
    const auto put32 = [&](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            ole[at + i] = char(v >> (8 * i));
    };
    const qsizetype size = qsizetype(1) << u16(0x1E);
    const auto sector = [&](quint32 s) { return (qsizetype(s) + 1) * size; };
    const quint32 fatSectors = u32(0x2C);
    if (fatSectors > 109)
        return {};
    const auto fatEntry = [&](quint32 s) { return sector(u32(0x4C + 4 * (s / (size / 4)))) + 4 * (s % (size / 4)); };
    const auto chain = [&](quint32 s) {
        QList<quint32> sectors;
        while (s < 0xFFFFFFFA && sectors.size() < ole.size() / size) {
            sectors << s;
            s = u32(fatEntry(s));
        }
        return sectors;
    };
    for (const quint32 dir : chain(u32(0x30))) {
        for (qsizetype entry = sector(dir); entry < sector(dir) + size; entry += 128) {
            const int length = u16(entry + 0x40);
            QString entryName;
            for (int i = 0; i + 2 < length && i < 62; i += 2)
                entryName += QChar(char16_t(u16(entry + i)));
            if (entryName != name)
                continue;
            const QList<quint32> order = chain(u32(entry + 0x74));
            QList<QByteArray> blocks;
            for (const quint32 s : order)
                blocks << ole.mid(sector(s), size);
            const QList<quint32> scattered(order.crbegin(), order.crend());
            for (qsizetype i = 0; i < scattered.size(); ++i) {
                ole.replace(sector(scattered[i]), size, blocks[i]);
                put32(fatEntry(scattered[i]), i + 1 < scattered.size() ? scattered[i + 1] : 0xFFFFFFFE);
            }
            put32(entry + 0x74, scattered.value(0));
            return ole;
        }
    }
    return {};
}

QString LongName(int i)
{
    return QStringLiteral("LASTNAME%1").arg(i, 4, 10, QLatin1Char('0'))
           + (i % 7 == 3 ? QStringLiteral("-\u03a9mega") : QString()) + QString(i % 13, 'X');
}
} // namespace

class TestExcelReader : public QObject
{
    Q_OBJECT

private slots:
    void formulasGiveTheirStoredResults()
    {
        TImportTable t;
        QVERIFY(LoadExcel(testing_registry::dataPath("excel-formulas.xls"), t));
        QCOMPARE(t.FieldCount(), 5);
        t.IgnoreHeader = true;
        QCOMPARE(t.RowCount(), 3);   // not just the header: the names are formulas
        t.SetFieldKind(2, fkSSN);
        QCOMPARE(t.GetCell(0, 0), QString("DOE"));
        QCOMPARE(t.GetCell(0, 2), QString("123456789"));
        QCOMPARE(t.GetCell(1, 0), QString("ROE"));
        QCOMPARE(t.GetCell(1, 2), QString("987654321"));
        QCOMPARE(t.GetCell(1, 3), QString("PVT"));
        QCOMPARE(t.GetCell(2, 0), QString("POE"));
        QCOMPARE(t.GetCell(2, 2), QString("055512345"));   // eight digits, shown through 000-00-0000
        QCOMPARE(t.GetCell(2, 3), QString());          // a formula whose result is empty text
        QCOMPARE(t.GetCell(2, 4), QString("M"));
    }

    void valuesReadAsExcelShowsThem_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("1900 dates") << "excel-values.xls";
        QTest::newRow("1904 dates") << "excel-values-1904.xls";
    }
    void valuesReadAsExcelShowsThem()
    {
        QFETCH(QString, file);
        Capture r;
        QVERIFY(ReadExcel(testing_registry::dataPath(file), r));
        QCOMPARE(r.fieldCount, 16);
        QCOMPARE(r.records.size(), 3);
        const QString point = QLocale::system().decimalPoint();
        const QStringList values = {"VALUES", "True", "False", "#N/A", "0" + point + "3", "1E+15", "123456789012",
                                    Date(2001, 2, 3),
                                    DateTimeText(QDate(2020, 5, 17), QTime(13, 45), true),
                                    "True", "#DIV/0!", "", Date(1999, 12, 31), "LAST RECORD WINS", "", "-7"};
        QCOMPARE(r.records[1], values);
        const QStringList errors = {"ERRORS", "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!",
                                    "#N/A", "#GETTING_DATA", "", "", "", "", "", "", ""};
        QCOMPARE(r.records[2], errors);
    }

    void ssnColumnsFormattedAsDates()
    {
        // A thousand rows of ten SSN columns that carry a date format by mistake.
        Capture r;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(ReadExcel(testing_registry::dataPath("excel-ssn-dates.xls"), r));
        const qint64 ms = timer.elapsed();
        qInfo("10,000 date-formatted SSN cells read in %lld ms", ms);
        QVERIFY2(ms < 5000, qPrintable(QString::number(ms)));
        QCOMPARE(r.records.size(), 1001);
        for (int row = 1; row <= 1000; ++row)
            for (int c = 0; c < 10; ++c)
                QCOMPARE(r.records[row][c], QString::number(100000000 + row * 1000 + c));
    }

    void scatteredStreamReadsAlike()
    {
        // Most writers store the workbook stream in one piece; a file edited in place may
        // have it scattered over the file, which the container gathers.
        const QString source = testing_registry::dataPath("excel-ssn-dates.xls");
        const QByteArray scattered = ScatterStream(FileBytes(source), "Workbook");
        QVERIFY(!scattered.isEmpty());
        QVERIFY(scattered != FileBytes(source));
        QTemporaryDir dir;
        const QString path = dir.filePath("scattered.xls");
        WriteBytes(path, scattered);
        Capture whole, pieces;
        QVERIFY(ReadExcel(source, whole));
        QVERIFY(ReadExcel(path, pieces));
        QCOMPARE(pieces.records.size(), 1001);
        QCOMPARE(pieces.fieldCount, whole.fieldCount);
        QCOMPARE(pieces.records, whole.records);
    }

    void sharedStringsSplitAcrossContinueRecords()
    {
        Capture r;
        QVERIFY(ReadExcel(testing_registry::dataPath("excel-sst-continue.xls"), r));
        QCOMPARE(r.records.size(), 603);
        for (int i = 0; i < 600; ++i) {
            QCOMPARE(r.records[i + 1][0], LongName(i));
            QCOMPARE(r.records[i + 1][1], QStringLiteral("FIRST%1").arg(i));
        }
        QCOMPARE(r.records[601][0], "COMPRESSED" + QString(9000, 'a') + QString(10, QChar(0x03a9)));
        QCOMPARE(r.records[602][0], QString(5000, QChar(0x03a9)) + QString(9000, 'b'));
        QCOMPARE(r.records[602][1], QString("LONG2"));
    }

    void excel95WorkbookInItsCodePage()
    {
        Capture r;
        QVERIFY(ReadExcel(testing_registry::dataPath("excel-biff5.xls"), r));
        QCOMPARE(r.fieldCount, 4);
        const QList<QStringList> expected = {
            {"LAST", "FIRST", "SSN", "DOB"},
            {QString::fromUtf8("MÜLLER"), QString::fromUtf8("JOSÉ"), "123456789", Date(1985, 7, 4)},
            {QString::fromUtf8("GARCÍA"), QString::fromUtf8("ZOË"), "987654321", Date(1990, 12, 25)},
            {QString::fromUtf8("ØSTERGÅRD"), QString::fromUtf8("€URO"), "111223333", Date(2001, 2, 3)},
        };
        QCOMPARE(r.records, expected);
    }

    void refusedWithAPlainReason()
    {
        QTemporaryDir dir;
        const QByteArray good = FileBytes(testing_registry::dataPath("excel-formulas.xls"));

        // an Excel 4.0 worksheet is one BIFF stream without a container
        const QString biff4 = dir.filePath("old.xls");
        WriteBytes(biff4, QByteArray::fromHex("090406000000100000000000") + QByteArray(200, '\0'));
        QVERIFY2(ReadError(biff4).contains("Excel 2.x, 3.0 or 4.0"), qPrintable(ReadError(biff4)));

        const QString xlsx = dir.filePath("new.xls");
        WriteBytes(xlsx, QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x'));
        QVERIFY2(ReadError(xlsx).contains("Excel 2007"), qPrintable(ReadError(xlsx)));

        // WRITEACCESS turned into FILEPASS: an encrypted workbook
        QByteArray locked = good;
        const qsizetype writeAccess = locked.indexOf(QByteArray::fromHex("5c007000"));
        QVERIFY(writeAccess > 0);
        locked[writeAccess] = 0x2F;
        const QString lockedPath = dir.filePath("locked.xls");
        WriteBytes(lockedPath, locked);
        QVERIFY2(ReadError(lockedPath).contains("password"), qPrintable(ReadError(lockedPath)));

        // the only sheet marked as a chart: no worksheet to read
        QByteArray chart = good;
        const qsizetype bound = chart.indexOf(QByteArray::fromHex("8500"));
        QVERIFY(bound > 0);
        chart[bound + 4 + 5] = 0x02;
        const QString chartPath = dir.filePath("chart.xls");
        WriteBytes(chartPath, chart);
        QVERIFY2(ReadError(chartPath).contains("no worksheet"), qPrintable(ReadError(chartPath)));

        // a shared-string length that runs past the record
        QByteArray cut = good;
        const qsizetype sst = cut.indexOf(QByteArray::fromHex("fc00"));
        QVERIFY(sst > 0);
        cut[sst + 4 + 8] = char(0xF0);
        const QString cutPath = dir.filePath("cut.xls");
        WriteBytes(cutPath, cut);
        const QString why = ReadError(cutPath);
        QVERIFY2(why.startsWith("Cannot read '" + cutPath + "': the workbook is damaged ("), qPrintable(why));

        // no file: not opened, no error
        Capture r;
        QVERIFY(!ReadExcel(dir.filePath("missing.xls"), r));
    }

    void recordBounds_data()
    {
        QTest::addColumn<QByteArray>("globals");
        QTest::addColumn<QByteArray>("cells");
        QTest::addColumn<int>("lastLength");   // the length the sheet's last record (EOF) declares
        QTest::addColumn<QStringList>("column"); // column A as read; empty when refused
        QTest::addColumn<QString>("why");
        const QByteArray two = Sst({SstString("ALPHA"), SstString("BRAVO")});
        QTest::newRow("last shared string") << two << LabelSst(0, 0, 1) << 0 << QStringList{"BRAVO"} << QString();
        QTest::newRow("shared string at the count")
            << two << LabelSst(0, 0, 2) << 0 << QStringList() << "a shared string that does not exist";
        // the record's 4-byte header counts: a body that would end 1 to 4 bytes past the stream
        QTest::newRow("record ends at the stream's end")
            << QByteArray() << Label(0, 0, "LAST") << 0 << QStringList{"LAST"} << QString();
        QTest::newRow("record 1 byte past the end")
            << QByteArray() << Label(0, 0, "LAST") << 1 << QStringList() << "runs past the end";
        QTest::newRow("record 4 bytes past the end")
            << QByteArray() << Label(0, 0, "LAST") << 4 << QStringList() << "runs past the end";
        // an embedded chart brings its own BOF..EOF; nothing in it is a cell of the sheet
        const QByteArray chart = Bof(0x0020) + Number(1, 0, 99) + Label(3, 0, "CHART") + Rec(0x000A, {});
        QTest::newRow("embedded chart")
            << QByteArray() << Label(0, 0, "LAST") + Label(1, 0, "DOE") + chart + Label(2, 0, "ROE") << 0
            << QStringList{"LAST", "DOE", "ROE"} << QString();
        // rich-text runs (0x08: a count, then 4 bytes a run) and phonetic data (0x04: a byte count)
        QTest::newRow("rich and phonetic shared strings")
            << Sst({SstString("PLAIN"), SstString("RICH", 2), SstString("PHONETIC", 0, 5), SstString("BOTH", 1, 7),
                    SstString("AFTER")})
            << LabelSst(0, 0, 0) + LabelSst(1, 0, 1) + LabelSst(2, 0, 2) + LabelSst(3, 0, 3) + LabelSst(4, 0, 4) << 0
            << QStringList{"PLAIN", "RICH", "PHONETIC", "BOTH", "AFTER"} << QString();
        // a row's cells may come after later rows' (writers that go column by column): each
        // lands in its row, whatever came between
        QTest::newRow("first row last") << QByteArray() << Label(1, 0, "DOE") + Label(2, 0, "ROE") + Label(0, 0, "LAST")
                                        << 0 << QStringList{"LAST", "DOE", "ROE"} << QString();
        QTest::newRow("rows in no order")
            << QByteArray() << Label(2, 0, "ROE") + Label(0, 0, "LAST") + Label(3, 0, "POE") + Label(1, 0, "DOE") << 0
            << QStringList{"LAST", "DOE", "ROE", "POE"} << QString();
        QTest::newRow("cell written again after later rows")
            << QByteArray() << Label(0, 0, "OLD") + Label(1, 0, "DOE") + Label(0, 0, "LAST") << 0
            << QStringList{"LAST", "DOE"} << QString();
        QTest::newRow("cell blanked after later rows")
            << QByteArray() << Label(0, 0, "LAST") + Label(1, 0, "DOE") + Label(2, 0, "ROE") + Blank(1, 0) << 0
            << QStringList{"LAST"} << QString();
        QTest::newRow("last row first") << QByteArray() << Label(65535, 0, "FAR") + Label(0, 0, "LAST") + Label(1, 0, "DOE")
                                        << 0 << QStringList{"LAST", "DOE"} << QString();
        // damage after rows that could have been handed on: still refused before any row
        QTest::newRow("cell outside the sheet after rows")
            << QByteArray() << Label(0, 0, "LAST") + Label(1, 0, "DOE") + Label(2, 256, "X") << 0 << QStringList()
            << "outside the sheet";
        QTest::newRow("string cut off after rows")
            << QByteArray() << Label(0, 0, "LAST") + Label(1, 0, "DOE") + Rec(0x0204, U16(2) + U16(0) + U16(0) + U16(9) + '\0' + "ROE")
            << 0 << QStringList() << "cut off";
    }
    void recordBounds()
    {
        QFETCH(QByteArray, globals);
        QFETCH(QByteArray, cells);
        QFETCH(int, lastLength);
        QFETCH(QStringList, column);
        QFETCH(QString, why);
        QByteArray stream = Biff8Book(globals, cells);
        stream[stream.size() - 2] = char(lastLength);
        QTemporaryDir dir;
        const QString path = dir.filePath("crafted.xls");
        WriteXls(path, stream);
        Capture r;
        try {
            QVERIFY(ReadExcel(path, r));
        } catch (const Exception &e) {
            QVERIFY2(!why.isEmpty(), qPrintable(e.message()));
            QVERIFY2(e.message().startsWith("Cannot read '" + path + "': "), qPrintable(e.message()));
            QVERIFY2(e.message().contains(why), qPrintable(e.message()));
            QCOMPARE(r.records.size(), 0);   // no part of a damaged sheet is taken
            return;
        }
        QVERIFY2(why.isEmpty(), qPrintable("read, though " + why));
        QStringList read;
        for (const QStringList &record : r.records)
            read << record.value(0);
        QCOMPARE(read, column);
    }

    void everyOneByteDamageIsReadOrRefused()
    {
        // Each byte of a small roster workbook set to two other values: the reader gives
        // rows or a message naming the file, never a crash, a hang or another kind of error.
        const QString source = testing_registry::dataPath("excel-formulas.xls");
        const QByteArray good = FileBytes(source);
        QTemporaryDir dir;
        const QString path = dir.filePath("mutant.xls");
        int read = 0, refused = 0;
        QElapsedTimer timer;
        timer.start();
        for (qsizetype i = 0; i < good.size(); ++i) {
            const quint8 b = quint8(good[i]);
            for (const quint8 v : {quint8(b ^ 0xFF), quint8(b + 1)}) {
                QByteArray bytes = good;
                bytes[i] = char(v);
                WriteBytes(path, bytes);
                Capture r;
                try {
                    QVERIFY(ReadExcel(path, r));
                    for (const QStringList &rec : r.records)
                        QVERIFY(rec.size() <= r.fieldCount);
                    ++read;
                } catch (const Exception &e) {
                    QVERIFY2(e.message().startsWith("Cannot read '" + path + "': "), qPrintable(e.message()));
                    ++refused;
                }
            }
        }
        qInfo("%d damaged copies: %d read, %d refused, %lld ms", read + refused, read, refused, timer.elapsed());
        QVERIFY(refused > 0);
    }
};

CORVANE_TEST(TestExcelReader)
#include "tst_excelreader.moc"
