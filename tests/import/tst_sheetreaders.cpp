// libgsf's headers before Qt's: glib uses "signals" as a name, which Qt defines as a macro.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile-zip.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include "testmain.h"
#include "readrows.h"
#include "memorypeak.h"
#include "zipwriter.h"
#include "app/Exceptions.h"
#include "import/CellText.h"
#include "roster/FormatRoster.h"
#include "import/ImportSheetReaders.h"
#include "import/ZipPackage.h"
#include "roster/ImportTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString data(const QString &name) { return testing_registry::dataPath(name); }

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

QByteArray Workbook(const QByteArray &sheets)
{
    return "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>" + sheets + "</sheets></workbook>";
}
QByteArray Rels(const QByteArray &items)
{
    return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + items
           + "</Relationships>";
}
QByteArray Rel(const char *id, const char *kind, const char *target)
{
    return QByteArray("<Relationship Id=\"") + id + "\" Type=\"" + kRel + "/" + kind + "\" Target=\"" + target + "\"/>";
}
QByteArray Sheet(const QByteArray &rows, const QByteArray &prolog = QByteArray())
{
    return prolog + "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + rows + "</sheetData></worksheet>";
}
QByteArray Inline(const char *ref, const QByteArray &text)
{
    return QByteArray("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

// A one-sheet workbook with the given rows (and extra parts).
QList<std::pair<QString, QByteArray>> Book(const QByteArray &sheet,
                                           const QList<std::pair<QString, QByteArray>> &extra = {})
{
    QList<std::pair<QString, QByteArray>> parts = {
        {"xl/workbook.xml", Workbook("<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>")},
        {"xl/_rels/workbook.xml.rels", Rels(Rel("rId1", "worksheet", "worksheets/sheet1.xml")
                                            + Rel("rId2", "styles", "styles.xml")
                                            + Rel("rId3", "sharedStrings", "sharedStrings.xml"))},
        {"xl/worksheets/sheet1.xml", sheet}};
    return parts + extra;
}

// Changes the CRC-32 the central directory gives for one part: the part still unpacks, and
// only its checksum tells.
void BreakChecksum(const QString &path, const QByteArray &part)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray zip = f.readAll();
    int broken = 0;
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0 && at + 46 <= zip.size(); at = zip.indexOf("PK\x01\x02", at + 4)) {
        const int nameLength = quint8(zip[at + 28]) | (quint8(zip[at + 29]) << 8);
        if (zip.mid(at + 46, nameLength) == part) {
            zip[at + 16] = char(zip[at + 16] ^ 0x5A);
            ++broken;
        }
    }
    QCOMPARE(broken, 1);
    QVERIFY(f.seek(0));
    QCOMPARE(f.write(zip), zip.size());
}

const QByteArray kOdsNs =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";

// Two shared strings, "ALPHA" and "BRAVO".
const QByteArray kTwoStrings = "<sst xmlns=\"" + kMain + "\"><si><t>ALPHA</t></si><si><t>BRAVO</t></si></sst>";

QList<std::pair<QString, QByteArray>> Ods(const QByteArray &rows)
{
    return {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"content.xml", "<office:document-content " + kOdsNs
                                + "><office:body><office:spreadsheet><table:table table:name=\"T\">" + rows
                                + "</table:table></office:spreadsheet></office:body></office:document-content>"}};
}

// The roster every file under integrity/ was made from: last name and SSN of each member.
QList<QStringList> Truth()
{
    QFile f(testing_registry::dataPath("integrity/truth.csv"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> members;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> v = lines[i].trimmed().split(',');
        if (v.size() >= 4)
            members << QStringList{QString::fromUtf8(v[0]).trimmed(), QString::fromUtf8(v[3])};   // cells read trimmed
    }
    return members;
}

// The truth as an OpenDocument spreadsheet with its SSNs stored as numbers under a format of
// nine digits (on the column for the first half, on the cells for the rest) and a spacer row
// after member 30.
QList<std::pair<QString, QByteArray>> TruthOds()
{
    QByteArray rows = "<table:table-column table:number-columns-repeated=\"3\"/>"
                      "<table:table-column table:default-cell-style-name=\"ce1\"/>"
                      "<table:table-row><table:table-cell><text:p>LAST</text:p></table:table-cell>"
                      "<table:table-cell><text:p>FIRST</text:p></table:table-cell>"
                      "<table:table-cell><text:p>MI</text:p></table:table-cell>"
                      "<table:table-cell><text:p>SSN</text:p></table:table-cell></table:table-row>";
    const QList<QStringList> truth = Truth();
    for (int i = 0; i < truth.size(); ++i) {
        if (i == 30)
            rows += "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell/></table:table-row>";
        rows += "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>" + truth[i][0].toUtf8()
                + "</text:p></table:table-cell><table:table-cell table:number-columns-repeated=\"2\"/>"
                  "<table:table-cell office:value-type=\"float\" office:value=\""
                + QByteArray::number(truth[i][1].toLongLong()) + "\"" + (i >= 30 ? " table:style-name=\"ce2\"" : "")
                + "/></table:table-row>";
    }
    QList<std::pair<QString, QByteArray>> ods = Ods(rows);
    const QByteArray styles =
        "<office:automatic-styles>"
        "<number:number-style style:name=\"N1\"><number:number number:decimal-places=\"0\" "
        "number:min-integer-digits=\"9\"/></number:number-style>"
        "<number:number-style style:name=\"N2\"><number:number number:min-integer-digits=\"9\">"
        "<number:embedded-text number:position=\"4\">-</number:embedded-text>"
        "<number:embedded-text number:position=\"6\">-</number:embedded-text></number:number></number:number-style>"
        "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:data-style-name=\"N1\"/>"
        "<style:style style:name=\"ce2\" style:family=\"table-cell\" style:data-style-name=\"N2\"/>"
        "</office:automatic-styles>";
    QByteArray &content = ods[1].second;
    content.replace("<office:body>", styles + "<office:body>");
    content.replace(kOdsNs, kOdsNs + " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
                                     "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\"");
    return ods;
}

// A BIFF record: type, length, payload.
QByteArray Biff(quint16 type, const QByteArray &payload)
{
    QByteArray r;
    const quint16 head[2] = {type, quint16(payload.size())};
    r.append(reinterpret_cast<const char *>(head), 4);
    return r + payload;
}
template <typename T> QByteArray Le(T v) { return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); }

// An Excel 97-2003 workbook whose one shared string of 8,000 characters fills every cell of
// rows x columns through LABELSST records: a few bytes a cell in the file.
void WriteLabelSstWorkbook(const QString &path, int rows, int columns)
{
    const QByteArray bof = Le<quint16>(0x0600) + Le<quint16>(0x0005) + QByteArray(12, '\0');
    const QByteArray sst = Biff(0x00FC, Le<quint32>(1) + Le<quint32>(1) + Le<quint16>(8000) + QByteArray(1, '\0')
                                            + QByteArray(8000, 'x'));
    const QByteArray name = "Roster";
    const qsizetype globalsSize = (4 + bof.size()) + (4 + 8 + name.size()) + sst.size() + 4;
    QByteArray stream = Biff(0x0809, bof)
                        + Biff(0x0085, Le<quint32>(quint32(globalsSize)) + QByteArray(2, '\0')
                                           + Le<quint8>(quint8(name.size())) + QByteArray(1, '\0') + name)
                        + sst + Biff(0x000A, {});
    QCOMPARE(stream.size(), globalsSize);
    stream += Biff(0x0809, Le<quint16>(0x0600) + Le<quint16>(0x0010) + QByteArray(12, '\0'));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            stream += Biff(0x00FD, Le<quint16>(quint16(r)) + Le<quint16>(quint16(c)) + Le<quint16>(0) + Le<quint32>(0));
    stream += Biff(0x000A, {});
    WriteXls(path, stream);
}

// A BIFF8 string: length, option byte, Latin-1 or UTF-16 characters.
QByteArray XlsText(const QString &text)
{
    bool wide = false;
    for (const QChar c : text)
        wide = wide || c.unicode() > 0xFF;
    QByteArray chars;
    for (const QChar c : text)
        chars += wide ? Le<quint16>(c.unicode()) : Le<quint8>(quint8(c.unicode()));
    return Le<quint16>(quint16(text.size())) + Le<quint8>(wide ? 1 : 0) + chars;
}

// The truth as an Excel 97-2003 workbook written column by column, as some programs write
// them: every row's first cell comes before any row's second. Its SSNs are numbers under a
// format of nine digits, and a spacer row follows member 30.
QByteArray TruthXls()
{
    const auto bof = [](quint16 kind) { return Biff(0x0809, Le<quint16>(0x0600) + Le<quint16>(kind) + QByteArray(12, '\0')); };
    const auto xf = [](quint16 format) { return Biff(0x00E0, Le<quint16>(0) + Le<quint16>(format) + QByteArray(16, '\0')); };
    const auto label = [](int row, int col, const QString &text) {
        return Biff(0x0204, Le<quint16>(quint16(row)) + Le<quint16>(quint16(col)) + Le<quint16>(0) + XlsText(text));
    };
    const QByteArray name = "Roster";
    QByteArray head = bof(0x0005) + Biff(0x041E, Le<quint16>(164) + XlsText("000000000")) + xf(0) + xf(164);
    const qsizetype sheetAt = head.size() + 4 + 8 + name.size() + 4;
    head += Biff(0x0085, Le<quint32>(quint32(sheetAt)) + QByteArray(2, '\0') + Le<quint8>(quint8(name.size()))
                             + QByteArray(1, '\0') + name)
            + Biff(0x000A, {});
    const QList<QStringList> truth = Truth();
    const auto row = [](int member) { return member < 30 ? member + 1 : member + 2; };
    QByteArray cells = label(0, 0, "LAST");
    for (int i = 0; i < truth.size(); ++i)
        cells += label(row(i), 0, truth[i][0]);
    cells += label(0, 1, "FIRST") + label(0, 2, "MI") + label(0, 3, "SSN");
    for (int i = 0; i < truth.size(); ++i)
        cells += Biff(0x0203, Le<quint16>(quint16(row(i))) + Le<quint16>(3) + Le<quint16>(1)
                                  + Le<double>(double(truth[i][1].toLongLong())));
    return head + bof(0x0010) + cells + Biff(0x000A, {});
}

qint64 PeakResidentKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

class TestSheetReaders : public QObject
{
    Q_OBJECT

    QTemporaryDir FTemp;

    QString Temp(const QString &name) const { return FTemp.filePath(name); }

    // The load must fail with a message naming the file and saying why.
    void ExpectError(const QString &path, TImportFileType type, const QString &why)
    {
        TImportTable t;
        try {
            t.LoadFromFile(path, type);
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            QVERIFY2(e.message().contains(why), qPrintable(e.message()));
            return;
        }
        QFAIL(qPrintable("read without an error: " + path));
    }

private slots:
    void initTestCase() { QVERIFY(FTemp.isValid()); }

    void newerFormatsGiveTheRecordsOfTheOlder()
    {
        TImportTable xls;
        QVERIFY(xls.LoadFromFile(data("roster.xls"), iftExcel));
        QCOMPARE(xls.RowCount(), 41);
        QCOMPARE(xls.FieldCount(), 9);
        const QList<QStringList> expected = Rows(xls);
        for (const auto &[file, type] : {std::pair{"roster.xlsx", iftExcel}, std::pair{"roster.ods", iftOds}}) {
            TImportTable t;
            QVERIFY(t.LoadFromFile(data(file), type));
            QCOMPARE(t.FieldCount(), 9);
            const QList<QStringList> rows = Rows(t);
            QCOMPARE(rows.size(), 41);
            for (int r = 0; r < rows.size(); ++r)
                QCOMPARE(rows[r], expected[r]);
            // The absent cells stay empty; numbers show without decimals; the date is a date.
            QCOMPARE(t.GetCell(9, 2), QString());
            QCOMPARE(t.GetCell(27, 6), QString());
            QCOMPARE(t.GetCell(1, 3), QString("916325636"));
            QCOMPARE(t.GetCell(1, 7), DateTimeText(QDate(1993, 10, 3), QTime(), false));
            QCOMPARE(t.GetCell(40, 0), QString("HOLLOWAY"));
        }
    }

    // Rosters made by other programs from one roster: every member, every SSN as the
    // spreadsheet shows it, or the rows that were left out noted.
    void wholeRoster_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("skipBlankRows");
        QTest::addColumn<int>("members");         // the first members of the truth that are read
        QTest::addColumn<QList<int>>("rowsAfter");   // end row, first and last row after it
        const QList<int> none = {0, 0, 0};
        QTest::newRow("xlsx spacer row, stop") << "integrity/blankrow-after30.xlsx" << false << 30 << QList<int>{32, 33, 62};
        QTest::newRow("xlsx spacer row, skip") << "integrity/blankrow-after30.xlsx" << true << 60 << none;
        QTest::newRow("xlsx SSN numbers formatted") << "integrity/openpyxl-ssnnum-fmt.xlsx" << false << 60 << none;
        QTest::newRow("xls SSN numbers formatted") << "integrity/xlwt-ssnnum-fmt.xls" << false << 60 << none;
        QTest::newRow("xls by columns, spacer row, stop") << "truth.xls" << false << 30 << QList<int>{32, 33, 62};
        QTest::newRow("xls by columns, spacer row, skip") << "truth.xls" << true << 60 << none;
        QTest::newRow("ods spacer row, stop") << "truth.ods" << false << 30 << QList<int>{32, 34, 63};
        QTest::newRow("ods spacer row, skip") << "truth.ods" << true << 60 << none;
    }
    void wholeRoster()
    {
        QFETCH(QString, file);
        QFETCH(bool, skipBlankRows);
        QFETCH(int, members);
        QFETCH(QList<int>, rowsAfter);
        QString path = data(file);
        if (file == "truth.ods") {
            path = Temp(file);
            WriteZip(path, TruthOds());
        } else if (file == "truth.xls") {
            path = Temp(file);
            WriteXls(path, TruthXls());
        }
        TImportTable t;
        t.IgnoreHeader = true;
        t.SkipBlankRows = skipBlankRows;
        QVERIFY(t.LoadFromFile(path, file.endsWith(".ods") ? iftOds : iftExcel));
        t.SetFieldKind(3, fkSSN);
        const QList<QStringList> truth = Truth();
        QCOMPARE(truth.size(), 60);
        QCOMPARE(t.RowCount(), members);
        for (int r = 0; r < members; ++r) {
            QCOMPARE(t.GetCell(r, 0), truth[r][0]);
            QCOMPARE(t.GetCell(r, 3), truth[r][1]);
        }
        QCOMPARE((QList<int>{t.Notes.EndRow, t.Notes.FirstRowAfter, t.Notes.LastRowAfter}), rowsAfter);
        QVERIFY(RowsWithoutValidSSN(t).isEmpty());
    }

    void formulasWithoutValues()
    {
        // A library that does not calculate stores the formulas alone: never read as empty in silence.
        TImportTable t;
        t.IgnoreHeader = true;
        QVERIFY(t.LoadFromFile(data("integrity/openpyxl-ssnformula.xlsx"), iftExcel));
        QCOMPARE(t.Notes.ValuelessFormulasIn(3), 60);
        QCOMPARE(ValuelessFormulasText(t), QString());   // not mapped: nothing to say
        t.SetFieldKind(3, fkSSN);
        t.SetFieldKind(0, fkLastName);
        QVERIFY2(ValuelessFormulasText(t).contains("column 4 (SSN), 60 cells"), qPrintable(ValuelessFormulasText(t)));
        QCOMPARE(RowsWithoutValidSSN(t).size(), 60);
        // A calculated empty text (t="str") is a value; a formula cell of an .ods without one is not.
        const QString xlsx = Temp("formula-kinds.xlsx");
        const QByteArray header = "<row>" + Inline("A1", "A") + Inline("B1", "B") + Inline("C1", "C") + Inline("D1", "D") + "</row>";
        WriteZip(xlsx, Book(Sheet(header + "<row>" + Inline("A2", "A") + "<c r=\"B2\" t=\"str\"><f>\"\"</f><v></v></c>"
                                  "<c r=\"C2\"><f>1+1</f></c>" + Inline("D2", "D") + "</row>")));
        QVERIFY(t.LoadFromFile(xlsx, iftExcel));
        QCOMPARE(t.Notes.ValuelessFormulas, (QMap<int, int>{{2, 1}}));
        const QString ods = Temp("formula-kinds.ods");
        WriteZip(ods, Ods("<table:table-row><table:table-cell table:number-columns-repeated=\"4\"><text:p>H</text:p>"
                          "</table:table-cell></table:table-row>"
                          "<table:table-row><table:table-cell><text:p>A</text:p></table:table-cell>"
                          "<table:table-cell table:formula=\"of:=1+1\" table:number-columns-repeated=\"2\"/>"
                          "<table:table-cell table:formula=\"of:=1\" office:value-type=\"float\" office:value=\"1\"/>"
                          "</table:table-row>"));
        QVERIFY(t.LoadFromFile(ods, iftOds));
        QCOMPARE(t.Notes.ValuelessFormulas, (QMap<int, int>{{1, 1}, {2, 1}}));
    }

    void convertedFromOneTextFile()
    {
        // One CSV converted by gnumeric into all three formats.
        TImportTable xls;
        QVERIFY(xls.LoadFromFile(data("converted.xls"), iftExcel));
        QCOMPARE(xls.RowCount(), 5);
        QCOMPARE(xls.FieldCount(), 8);
        for (const auto &[file, type] : {std::pair{"converted.xlsx", iftExcel}, std::pair{"converted.ods", iftOds}}) {
            TImportTable t;
            QVERIFY(t.LoadFromFile(data(file), type));
            QCOMPARE(Rows(t), Rows(xls));
        }
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("converted.xlsx"), iftExcel));
        QCOMPARE(t.GetCell(3, 0), QString("CRANE, JR"));
        QCOMPARE(t.GetCell(2, 2), QString("123456"));      // the number lost its zeros
        QCOMPARE(t.GetCell(3, 6), CellNumberText(1.8));    // stored as 1.79999999999999999996
        QCOMPARE(t.GetCell(1, 7), DateTimeText(QDate(2001, 2, 3), QTime(), false));
    }

    void firstWorksheetOnly()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("roster-two-sheets.xlsx"), iftExcel));
        QCOMPARE(Rows(t), QList<QStringList>({{"Exported roster, see the next sheet"}}));
    }

    void xlsxCellTypes()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("sheet-types.xlsx"), iftExcel));
        QCOMPARE(t.FieldCount(), 14);
        QCOMPARE(t.RowCount(), 4);   // row 5 has an empty first cell: the data ends there
        t.IgnoreHeader = true;
        const auto cell = [&](int r, int c) { return t.GetCell(r, c); };
        // Shared string, plain and rich (runs joined, phonetic run left out).
        QCOMPARE(cell(0, 0), QString("DOE"));
        QCOMPARE(cell(1, 0), QString("ROE"));
        QCOMPARE(cell(0, 1), CellNumberText(3.25));
        QCOMPARE(cell(1, 1), CellNumberText(0.1));
        // Dates by their cell format, built-in and custom.
        QCOMPARE(cell(0, 2), DateTimeText(QDate(2001, 2, 3), QTime(), false));
        QCOMPARE(cell(1, 2), DateTimeText(QDate(1900, 3, 1), QTime(), false));
        QCOMPARE(cell(0, 3), DateTimeText(QDate(2020, 5, 17), QTime(13, 45), true));
        QCOMPARE(cell(1, 3), QString());
        QCOMPARE(cell(0, 4), DateTimeText(QDate(1999, 12, 31), QTime(), false));
        QCOMPARE(cell(1, 4), DateTimeText(QDate(2024, 2, 29), QTime(), false));   // [$-409]dddd, mmmm d, yyyy
        // Booleans.
        QCOMPARE(cell(0, 5), QString("True"));
        QCOMPARE(cell(1, 5), QString("False"));
        // Formulas: the cached value; none cached reads empty.
        QCOMPARE(cell(0, 6), QString("5"));
        QCOMPARE(cell(1, 6), QString("one & two"));
        QCOMPARE(cell(0, 7), QString());
        QCOMPARE(cell(1, 7), QString());
        // Errors as Excel shows them.
        QCOMPARE(cell(0, 8), QString("#N/A"));
        QCOMPARE(cell(1, 8), QString("#DIV/0!"));
        // Inline and rich inline strings, trimmed.
        QCOMPARE(cell(0, 9), QString("inline text"));
        QCOMPARE(cell(1, 9), QString("shared"));
        QCOMPARE(cell(0, 10), QString("Rich Text"));
        // A time of day.
        QCOMPARE(cell(0, 11), CellDateText((13 * 3600 + 45 * 60 + 30) / 86400.0, false));
        QVERIFY(cell(0, 11).contains("13") || cell(0, 11).contains("1:45"));
        // Date-typed cells carry ISO text.
        QCOMPARE(cell(0, 12), DateTimeText(QDate(2011, 7, 4), QTime(8, 30), true));
        QCOMPARE(cell(1, 12), DateTimeText(QDate(2012, 12, 21), QTime(), false));
        // Escaped characters come back; an escaped underscore stays literal.
        QCOMPARE(cell(0, 13), QString("line\r\ntwo_x0041_"));
        // Untrimmed text is trimmed; big numbers; a format with quoted letters is no date.
        QCOMPARE(cell(2, 0), QString("padded"));
        QCOMPARE(cell(2, 1), QString("98765432101"));
        QCOMPARE(cell(2, 2), QString("-7"));
        QCOMPARE(cell(2, 3), CellNumberText(1e20));
        QCOMPARE(cell(2, 4), CellNumberText(1.234567890123457e+17));
    }

    void xlsxDateSystem1904()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("sheet-1904.xlsx"), iftExcel));
        QCOMPARE(Rows(t), QList<QStringList>({{"LAST", "DATE", "STAMP"},
                                              {"DOE", DateTimeText(QDate(2001, 2, 3), QTime(), false),
                                               DateTimeText(QDate(1904, 1, 2), QTime(6, 0), true)}}));
        // date1904 as a word or a digit; serial 1 is 2 January 1904 or 1 January 1900
        const QByteArray styles = "<styleSheet xmlns=\"" + kMain
                                  + "\"><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
        const QList<std::pair<QByteArray, QDate>> systems = {
            {"true", QDate(1904, 1, 2)}, {"1", QDate(1904, 1, 2)}, {"false", QDate(1900, 1, 1)}, {"0", QDate(1900, 1, 1)}};
        for (const auto &[attribute, date] : systems) {
            auto parts = Book(Sheet("<row>" + Inline("A1", "LAST") + "<c r=\"B1\" s=\"1\"><v>1</v></c></row>"),
                              {{"xl/styles.xml", styles}});
            parts[0].second = "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><workbookPr date1904=\""
                              + attribute + "\"/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
            const QString path = Temp("date1904-" + attribute + ".xlsx");
            WriteZip(path, parts);
            QVERIFY(t.LoadFromFile(path, iftExcel));
            QCOMPARE(Rows(t), QList<QStringList>({{"LAST", DateTimeText(date, QTime(), false)}}));
        }
    }

    void xlsxWithoutReferences()
    {
        // Rows and cells without r take the next place; skipped places are empty; the gap in
        // row 1 limits the columns; the missing row 5 ends the data.
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("sheet-noref.xlsx"), iftExcel));
        QCOMPARE(Rows(t), QList<QStringList>({{"LAST", "FIRST", "RANK"},
                                              {"1", "", "SGT"},
                                              {"ROE", "JANE", ""},
                                              {"POE", "", "True"}}));
    }

    void odsCellTypes()
    {
        TImportTable t;
        QVERIFY(t.LoadFromFile(data("sheet-types.ods"), iftOds));
        QCOMPARE(t.FieldCount(), 10);   // the repeated title counts twice
        const QList<QStringList> rows = Rows(t);
        QCOMPARE(rows.size(), 4);       // the million empty rows at the end are never expanded
        QCOMPARE(rows[0], QStringList({"LAST", "NUMBER", "PERCENT", "MONEY", "DATE", "TIME", "FLAG", "TEXT",
                                       "TWICE", "TWICE"}));
        QCOMPARE(rows[1], QStringList({"DOE", CellNumberText(3.25), CellNumberText(0.125), CellNumberText(1234.5),
                                       DateTimeText(QDate(2001, 2, 3), QTime(), false),
                                       CellDateText((13 * 3600 + 45 * 60 + 30) / 86400.0, false), "True",
                                       "two spaces   and\ttab\nsecond line\nthird", "7", "7"}));
        // A repeated row twice; the covered cell of a merge is empty; a cell without a type
        // gives its text.
        const QStringList same = {"SAME", CellNumberText(-0.5), "MERGED", "",
                                  DateTimeText(QDate(2020, 5, 17), QTime(13, 45), true), "", "False", "no type",
                                  "", ""};
        QCOMPARE(rows[2], same);
        QCOMPARE(rows[3], same);
    }

    void extensionsPickTheReader()
    {
        QCOMPARE(FileTypeOfExtension("/r/a.xlsx"), iftExcel);
        QCOMPARE(FileTypeOfExtension("/r/A.XLSM"), iftExcel);
        QCOMPARE(FileTypeOfExtension("/r/a.xls"), iftExcel);
        QCOMPARE(FileTypeOfExtension("/r/a.Ods"), iftOds);
        QCOMPARE(FileTypeOfExtension("/r/a.odt"), iftNone);
        // "MS Excel" goes by the content: a workbook of either kind under the other's name.
        QVERIFY(QFile::copy(data("roster.xlsx"), Temp("zip-named.xls")));
        QVERIFY(QFile::copy(data("roster.xls"), Temp("ole-named.xlsx")));
        for (const QString &name : {"zip-named.xls", "ole-named.xlsx"}) {
            TImportTable t;
            QVERIFY(t.LoadFromFile(Temp(name), iftExcel));
            QCOMPARE(t.RowCount(), 41);
            QCOMPARE(t.GetCell(40, 0), QString("HOLLOWAY"));
        }
        QCOMPARE(IsZipFile(data("roster.ods")), true);
        QCOMPARE(IsZipFile(data("roster.xls")), false);
        QCOMPARE(IsZipFile(data("empty.csv")), false);
        // A missing file is not opened, as with the other readers.
        TImportTable t;
        QVERIFY(!t.LoadFromFile(Temp("missing.xlsx"), iftExcel));
        QVERIFY(!t.LoadFromFile(Temp("missing.ods"), iftOds));
    }

    void damagedPackages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("beforeRows");   // refused before the reader sent a row
        QTest::newRow("truncated") << "damaged/roster-truncated.xlsx" << int(iftExcel) << "zip archive" << true;
        QTest::newRow("not a zip") << "damaged/not-a-zip.xlsx" << int(iftExcel) << "zip archive" << true;
        QTest::newRow("no sheet") << "damaged/no-sheet.xlsx" << int(iftExcel) << "xl/worksheets/sheet1.xml" << true;
        QTest::newRow("not a zip as ods") << "damaged/not-a-zip.xlsx" << int(iftOds) << "zip archive" << true;
        QTest::newRow("xlsx as ods") << "roster.xlsx" << int(iftOds) << "not an OpenDocument spreadsheet" << true;
        QTest::newRow("ods as excel") << "roster.ods" << int(iftExcel) << "not an Excel workbook" << true;
        QTest::newRow("empty xlsx") << "damaged/empty.xlsx" << int(iftExcel) << "it is not a readable workbook (the file is empty)." << true;
        QTest::newRow("text named xlsx") << "damaged/text.xlsx" << int(iftExcel) << "it is not a readable workbook (it is no zip package" << true;
        QTest::newRow("xlsb") << "damaged/roster.xlsb" << int(iftExcel)
                              << "it is an Excel binary workbook (.xlsb), which cannot be read; save it as .xlsx." << true;
        QTest::newRow("Excel 2003 XML") << "damaged/roster-2003.xml" << int(iftExcel)
                                        << "it is an Excel 2003 XML spreadsheet, which cannot be read; save it as .xlsx." << true;
        QTest::newRow("flat ODF as excel") << "damaged/roster.fods" << int(iftExcel)
                                           << "it is a flat OpenDocument spreadsheet (.fods), which cannot be read; save it as .ods." << true;
        QTest::newRow("flat ODF as ods") << "damaged/roster.fods" << int(iftOds)
                                         << "it is a flat OpenDocument spreadsheet (.fods), which cannot be read; save it as .ods." << true;

        // Each part of a sound workbook failing its checksum in turn: every part read is
        // checked, the sheet after its rows went out, and where the reader stops early too
        // (the sheet's end after its data, OpenDocument tables after the first): that end is
        // longer than one inflating step.
        QByteArray rest;
        for (int i = 1; i <= 4000; ++i)
            rest += "<mergeCell ref=\"C" + QByteArray::number(i) + ":D" + QByteArray::number(i) + "\"/>";
        const QByteArray sheet = Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
                                       "<row r=\"2\"><c r=\"A2\" t=\"s\" s=\"1\"><v>1</v></c></row>")
                                     .replace("</sheetData>", "</sheetData><mergeCells>" + rest + "</mergeCells>");
        const auto book = Book(sheet, {{"_rels/.rels", Rels(Rel("rId1", "officeDocument", "xl/workbook.xml"))},
                                       {"xl/styles.xml", "<styleSheet xmlns=\"" + kMain + "\"><cellXfs><xf numFmtId=\"0\"/>"
                                                         "<xf numFmtId=\"1\"/></cellXfs></styleSheet>"},
                                       {"xl/sharedStrings.xml", kTwoStrings}});
        for (const char *part : {"_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/styles.xml",
                                 "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"}) {
            const QString path = Temp(QString("bad-crc-%1.xlsx").arg(QString(part).replace('/', '-')));
            WriteZip(path, book);
            BreakChecksum(path, part);
            QTest::newRow(qPrintable(QString("xlsx: %1 fails its checksum").arg(part)))
                << path << int(iftExcel) << QString("the file is damaged (the part \"%1\" does not match its checksum)").arg(part)
                << (QByteArray(part) != "xl/worksheets/sheet1.xml");
        }
        const QString ods = Temp("bad-crc-content.ods");
        auto content = Ods("<table:table-row><table:table-cell><text:p>LAST</text:p></table:table-cell></table:table-row>");
        content[1].second.replace("</table:table></office:spreadsheet>",
                                  "</table:table><table:table table:name=\"U\">"
                                      + QByteArray("<table:table-row><table:table-cell><text:p>X</text:p>"
                                                   "</table:table-cell></table:table-row>").repeated(2000)
                                      + "</table:table></office:spreadsheet>");
        WriteZip(ods, content);
        BreakChecksum(ods, "content.xml");
        QTest::newRow("ods: content.xml fails its checksum after the first table")
            << ods << int(iftOds) << "the file is damaged (the part \"content.xml\" does not match its checksum)" << false;
    }
    void damagedPackages()
    {
        QFETCH(QString, file);
        QFETCH(int, type);
        QFETCH(QString, why);
        QFETCH(bool, beforeRows);
        const QString path = QDir::isAbsolutePath(file) ? file : data(file);
        ExpectError(path, TImportFileType(type), why);
        if (!beforeRows)
            return;
        int sent = 0;
        auto reader = CreateImportReader(TImportFileType(type), [&](const QStringList &) { ++sent; }, {}, {}, path);
        QVERIFY(reader);
        QVERIFY_THROWS_EXCEPTION(Exception, reader->Import(path));
        QCOMPARE(sent, 0);
    }

    void hugeSheetRefusedQuickly()
    {
        // One cell of 1 GiB of text: refused at Excel's cell limit, long before it is inflated.
        const qint64 before = PeakResidentKb();
        QElapsedTimer timer;
        timer.start();
        ExpectError(data("damaged/huge-sheet.xlsx"), iftExcel, "32,767");
        const qint64 ms = timer.elapsed();
        const qint64 grown = PeakResidentKb() - before;
        qInfo("refused in %lld ms, peak memory grew by %lld KB", ms, grown);
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        QVERIFY2(grown < 64 * 1024, qPrintable(QString::number(grown)));
    }

    // Small files that repeat one long text in every row: each passes every per-cell,
    // per-row and per-part limit, and the whole is refused at the roster's text limit, at
    // once, with this program holding no more than the rows it took.
    void amplifyingRostersRefusedQuickly_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("type");
        QTest::newRow("ods: 7 cells of 32,767 characters, a row repeated 1,048,575 times")
            << data("damaged/ods-amplify-repeat.ods") << int(iftOds);

        const QString xlsx = Temp("amplify-shared-string.xlsx");
        QByteArray rows;
        for (int r = 1; r <= 200000; ++r)
            rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"A" + QByteArray::number(r) + "\" t=\"s\"><v>0</v></c></row>";
        WriteZip(xlsx, {{"xl/workbook.xml", Workbook("<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>")},
                        {"xl/_rels/workbook.xml.rels", Rels(Rel("rId1", "worksheet", "worksheets/sheet1.xml")
                                                            + Rel("rId2", "sharedStrings", "sharedStrings.xml"))},
                        {"xl/sharedStrings.xml", "<sst xmlns=\"" + kMain + "\"><si><t>" + QByteArray(32767, 'y') + "</t></si></sst>"},
                        {"xl/worksheets/sheet1.xml", Sheet(rows)}});
        QVERIFY(QFileInfo(xlsx).size() < 1 << 20);
        QTest::newRow("xlsx: one shared string of 32,767 characters in 200,000 rows") << xlsx << int(iftExcel);

        const QString xls = Temp("amplify-labelsst.xls");
        WriteLabelSstWorkbook(xls, 65536, 8);
        QTest::newRow("xls: LABELSST records of one 8,000-character string, 65,536 rows of 8")
            << xls << int(iftExcel);
    }
    void amplifyingRostersRefusedQuickly()
    {
        QFETCH(QString, path);
        QFETCH(int, type);
        ResetPeakMemory();
        const qint64 before = StatusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        ExpectError(path, TImportFileType(type), "it holds more text than any roster: over 64 million characters");
        const qint64 ms = timer.elapsed(), grownKb = StatusKb("VmHWM:") - before;
        qInfo("refused in %lld ms, peak memory grew by %lld KB", ms, grownKb);
        QVERIFY2(ms < 5000, qPrintable(QString::number(ms)));
        // the 64 million characters taken before the refusal are 128 MB as UTF-16
        QVERIFY2(grownKb < 320 * 1024, qPrintable(QString::number(grownKb)));
    }

    void hostileWorkbooks_data()
    {
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<QString>("why");
        const QByteArray a1 = "<row r=\"1\">" + Inline("A1", "LAST") + "</row>";
        QTest::newRow("column beyond XFD") << Sheet("<row r=\"1\">" + Inline("A1", "LAST") + "<c r=\"XFE1\"><v>1</v></c></row>")
                                           << "16,384";
        QTest::newRow("row beyond the last") << Sheet(a1 + "<row r=\"1048577\">" + Inline("A1048577", "X") + "</row>")
                                             << "1,048,576 rows";
        QTest::newRow("cell of 32,768 characters") << Sheet("<row>" + Inline("A1", QByteArray(32768, 'x')) + "</row>")
                                                   << "32,767";
        QTest::newRow("entity-stuffed cell")
            << Sheet("<row>" + Inline("A1", QByteArray(30000, 'x') + QByteArray(5000, ';').replace(";", "&amp;")) + "</row>")
            << "32,767";
        QTest::newRow("missing shared string") << Sheet("<row><c r=\"A1\" t=\"s\"><v>3</v></c></row>") << "shared string";
        QTest::newRow("shared string at the count")
            << Sheet("<row><c r=\"A1\" t=\"s\"><v>2</v></c></row>") << "refers to shared string \"2\"";
        QTest::newRow("row listed twice") << Sheet(a1 + "<row r=\"1\">" + Inline("A1", "B") + "</row>") << "after row 1";
        QTest::newRow("cells out of order")
            << Sheet("<row r=\"1\">" + Inline("B1", "B") + Inline("A1", "A") + "</row>") << "out of order";
        QTest::newRow("bad cell name") << Sheet("<row r=\"1\">" + Inline("11", "B") + "</row>") << "\"11\"";
        QTest::newRow("document type")
            << Sheet(a1, "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY e \"eeeeeeeeee\">]>")
            << "document type";
        QTest::newRow("a tag of megabytes")
            << Sheet("<row r=\"1\" x=\"" + QByteArray(2 << 20, 'x') + "\">" + Inline("A1", "A") + "</row>")
            << "more than 1 MB";
        QTest::newRow("broken XML") << QByteArray("<worksheet><sheetData><row><c><v>1</v></row>") << "is damaged";
    }
    void hostileWorkbooks()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, why);
        const QString path = Temp(QString("hostile-%1.xlsx").arg(QTest::currentDataTag()).replace(' ', '-'));
        WriteZip(path, Book(sheet, {{"xl/sharedStrings.xml", kTwoStrings}}));
        ExpectError(path, iftExcel, why);
    }

    void partsHaveByteLimits()
    {
        // 33 MB of blanks in the styles part (a few KB deflated), broken by an element now
        // and then (a megabyte without markup is refused on its own).
        QByteArray styles = "<styleSheet xmlns=\"" + kMain + "\">";
        styles += (QByteArray(512 << 10, ' ') + "<x/>").repeated(66);
        styles += "</styleSheet>";
        const QString path = Temp("fat-styles.xlsx");
        WriteZip(path, Book(Sheet("<row>" + Inline("A1", "LAST") + "</row>"), {{"xl/styles.xml", styles}}));
        QVERIFY(QFileInfo(path).size() < 1 << 20);
        ExpectError(path, iftExcel, "larger than 32 MB");
    }

    void workbookEdges()
    {
        // A cell of exactly Excel's limit is read.
        const QString full = Temp("full-cell.xlsx");
        WriteZip(full, Book(Sheet("<row>" + Inline("A1", QByteArray(32767, 'y')) + "</row>")));
        TImportTable t;
        QVERIFY(t.LoadFromFile(full, iftExcel));
        QCOMPARE(t.GetCell(0, 0).size(), 32767);

        // Blanks between rows, far more than a cell may hold, are no cell: the part's size
        // limit is what bounds them. A run of text as long is a cell and refused.
        const QString blanks = Temp("blank-runs.xlsx");
        const QByteArray run(2 << 20, ' ');
        WriteZip(blanks, Book(Sheet("<row>" + Inline("A1", "ONE") + "</row>" + run + "\n" + run
                                    + "<row>" + Inline("A2", "TWO") + "</row>")));
        QVERIFY(t.LoadFromFile(blanks, iftExcel));
        QCOMPARE(Rows(t), QList<QStringList>({{"ONE"}, {"TWO"}}));
        const QString text = Temp("text-run.xlsx");
        WriteZip(text, Book(Sheet("<row>" + Inline("A1", "ONE") + "</row>" + run + "x" + run)));
        ExpectError(text, iftExcel, "32,767");

        // A chart sheet first in tab order: the first worksheet is read.
        const QString chart = Temp("chart-first.xlsx");
        WriteZip(chart, {{"xl/workbook.xml", Workbook("<sheet name=\"C\" sheetId=\"1\" r:id=\"rId1\"/>"
                                                      "<sheet name=\"W\" sheetId=\"2\" r:id=\"rId2\"/>")},
                         {"xl/_rels/workbook.xml.rels",
                          Rels(Rel("rId1", "chartsheet", "chartsheets/sheet1.xml")
                               + Rel("rId2", "worksheet", "/xl/worksheets/sheet1.xml"))},
                         {"xl/chartsheets/sheet1.xml", "<chartsheet/>"},
                         {"XL/Worksheets/Sheet1.XML", Sheet("<row>" + Inline("A1", "FROM THE WORKSHEET") + "</row>")}});
        QVERIFY(t.LoadFromFile(chart, iftExcel));
        QCOMPARE(Rows(t), QList<QStringList>({{"FROM THE WORKSHEET"}}));

        // Only chart sheets.
        const QString charts = Temp("charts-only.xlsx");
        WriteZip(charts, {{"xl/workbook.xml", Workbook("<sheet name=\"C\" sheetId=\"1\" r:id=\"rId1\"/>")},
                          {"xl/_rels/workbook.xml.rels", Rels(Rel("rId1", "chartsheet", "chartsheets/sheet1.xml"))},
                          {"xl/chartsheets/sheet1.xml", "<chartsheet/>"}});
        ExpectError(charts, iftExcel, "holds no worksheet");

        // An empty sheet: no rows, no columns, and still a successful load.
        const QString empty = Temp("empty-sheet.xlsx");
        WriteZip(empty, Book(Sheet("")));
        QVERIFY(t.LoadFromFile(empty, iftExcel));
        QCOMPARE(t.RowCount(), 0);
        QCOMPARE(t.FieldCount(), 0);
    }

    void hostileSpreadsheets_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("why");
        const QByteArray a = "<table:table-cell office:value-type=\"string\"><text:p>A</text:p></table:table-cell>";
        QTest::newRow("spaces past the cell limit")
            << "<table:table-row>" + a + "<table:table-cell><text:p>x<text:s text:c=\"99999999999999999999\"/></text:p>"
                                         "</table:table-cell></table:table-row>"
            << "32,767";
        QTest::newRow("a value repeated past the last column")
            << "<table:table-row>" + a + "<table:table-cell office:value-type=\"float\" office:value=\"1\" "
                                         "table:number-columns-repeated=\"20000\"/></table:table-row>"
            << "16,384";
        QTest::newRow("rows past the last")
            << "<table:table-row table:number-rows-repeated=\"2000000\">" + a + "</table:table-row>"
            << "1,048,576 rows";
        QTest::newRow("a row repeated 2^64 times")
            << "<table:table-row table:number-rows-repeated=\"18446744073709551616\">" + a + "</table:table-row>"
            << "1,048,576 rows";
    }
    void hostileSpreadsheets()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QString, why);
        const QString path = Temp(QString("hostile-%1.ods").arg(QTest::currentDataTag()).replace(' ', '-'));
        WriteZip(path, Ods(rows));
        QElapsedTimer timer;
        timer.start();
        ExpectError(path, iftOds, why);
        // refused when met, not after expanding a repeat row by row
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    }

    void spreadsheetEdges()
    {
        // Nested spans give their text; empty repeated cells and rows cost nothing.
        const auto nested = [](int depth) {
            QByteArray spans = QByteArray("<text:span>").repeated(depth) + "DEEP"
                               + QByteArray("</text:span>").repeated(depth);
            return Ods("<table:table-row><table:table-cell><text:p>" + spans + "</text:p></table:table-cell>"
                       "<table:table-cell table:number-columns-repeated=\"2000000000\"/></table:table-row>"
                       "<table:table-row table:number-rows-repeated=\"99999999999999\">"
                       "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>");
        };
        const QString path = Temp("nested.ods");
        WriteZip(path, nested(200));
        TImportTable t;
        QVERIFY(t.LoadFromFile(path, iftOds));
        QCOMPARE(Rows(t), QList<QStringList>({{"DEEP"}}));
        // The parser holds every open element: a hostile depth is refused.
        const QString deep = Temp("deep.ods");
        WriteZip(deep, nested(1000000));
        ExpectError(deep, iftOds, "deep");

        // A run of empty cells moves as many columns as it repeats.
        const QString gap = Temp("gap.ods");
        const auto text = [](const char *t) {
            return QByteArray("<table:table-cell office:value-type=\"string\"><text:p>") + t + "</text:p></table:table-cell>";
        };
        WriteZip(gap, Ods("<table:table-row>" + text("A") + text("B") + text("C") + text("D") + text("E") + "</table:table-row>"
                          "<table:table-row>" + text("1") + "<table:table-cell table:number-columns-repeated=\"3\"/>"
                          + text("5") + "</table:table-row>"));
        QVERIFY(t.LoadFromFile(gap, iftOds));
        QCOMPARE(Rows(t), QList<QStringList>({{"A", "B", "C", "D", "E"}, {"1", "", "", "", "5"}}));

        // A spreadsheet without a table is an empty roster.
        const QString none = Temp("no-table.ods");
        WriteZip(none, {{"content.xml", "<office:document-content " + kOdsNs
                                            + "><office:body><office:spreadsheet/></office:body></office:document-content>"}});
        QVERIFY(t.LoadFromFile(none, iftOds));
        QCOMPARE(t.RowCount(), 0);
    }
};

CORVANE_TEST(TestSheetReaders)
#include "tst_sheetreaders.moc"
