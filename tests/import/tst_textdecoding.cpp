#include "testmain.h"
#include "testfiles.h"
#include "readrows.h"
#include "import/ImportFileReader.h"
#include "roster/ImportTable.h"
#include "import/TextCodecs.h"
#include "app/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
QByteArray Utf16(const QString &text, bool littleEndian)
{
    QByteArray out = littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out += littleEndian ? QByteArray{&lo, 1} + QByteArray{&hi, 1} : QByteArray{&hi, 1} + QByteArray{&lo, 1};
    }
    return out;
}

QList<QStringList> Records(const QString &path, char delimiter)
{
    QList<QStringList> records;
    TImportDelimetedTextReader r([&](const QStringList &v) { records << v; }, [](int) {}, delimiter);
    if (!r.Import(path))
        qFatal("not read: %s", qPrintable(path));
    return records;
}

const TImportFileType AllTypes[] = {iftFixedText, iftTabText, iftCommaText, iftAccess, iftExcel, iftDBase};

// The message a load of the path as that type raises, or what it did instead.
QString LoadError(const QString &path, TImportFileType type)
{
    SetTableChooser([](const QStringList &tables, QString &chosen) {
        chosen = tables.value(0);
        return !tables.isEmpty();
    });
    TImportTable t;
    QString result;
    try {
        result = t.LoadFromFile(path, type) ? QStringLiteral("(loaded)") : QStringLiteral("(not opened)");
    } catch (const Exception &e) {
        result = e.message();
    }
    SetTableChooser({});
    return result;
}
} // namespace

class TestTextDecoding : public QObject
{
    Q_OBJECT
private slots:
    void utf16Roster_data()
    {
        QTest::addColumn<bool>("littleEndian");
        QTest::newRow("FF FE (little-endian)") << true;
        QTest::newRow("FE FF (big-endian)") << false;
    }
    void utf16Roster()
    {
        QFETCH(bool, littleEndian);
        QFile source(testing_registry::dataPath("roster-utf8-bom.csv"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(source.readAll().mid(3));
        QTemporaryDir dir;
        TImportTable utf8, utf16;
        QVERIFY(utf8.LoadFromFile(source.fileName(), iftCommaText));
        QVERIFY(utf16.LoadFromFile(WriteFile(dir, "u16.csv", Utf16(text, littleEndian)), iftCommaText));
        QCOMPARE(utf16.FieldCount(), 7);
        QCOMPARE(Rows(utf16), Rows(utf8));
        QCOMPARE(utf16.GetCell(1, 0), QString::fromUtf8("MUÑOZ"));
        QCOMPARE(utf16.GetFieldWidth(0), 10);

        // what a spreadsheet's "Unicode Text" gives: tab-delimited UTF-16 with CRLF
        const QString tabbed = QString::fromUtf8("LAST\tFIRST\tSEX\r\nCASTILLO\tSGM\tMALE\r\nPEÑA\tANA\tFemale\r\n");
        TImportTable tab;
        QVERIFY(tab.LoadFromFile(WriteFile(dir, "u16.txt", Utf16(tabbed, littleEndian)), iftTabText));
        tab.IgnoreHeader = true;
        tab.SetFieldKind(2, fkGender);
        QCOMPARE(Rows(tab), QList<QStringList>({{"CASTILLO", "SGM", "M"}, {QString::fromUtf8("PEÑA"), "ANA", "F"}}));
    }

    void utf16LineRulesApplyToCharacters()
    {
        QTemporaryDir dir;
        // U+0D0A and U+0A0D hold the bytes of CR and LF, U+1A00 that of Ctrl-Z: none of them
        // breaks a line. A lone CR is dropped; Ctrl-Z ends the text; an odd last byte is no character.
        const QString text = QString::fromUtf16(u"a\u0D0A,b\u0A0D\r\nc\rd,\u1A00e\n\nf,g\u001Ah,i\n");
        for (bool le : {true, false}) {
            const QString path = WriteFile(dir, "r.csv", Utf16(text, le) + QByteArray("\x41", 1));
            QCOMPARE(Records(path, ','), QList<QStringList>({{QString::fromUtf16(u"a\u0D0A"), QString::fromUtf16(u"b\u0A0D")},
                                                            {"cd", QString::fromUtf16(u"\u1A00e")}, {}, {"f", "g"}}));
        }
        // a byte-order mark and nothing else
        QCOMPARE(Records(WriteFile(dir, "bom.csv", QByteArray("\xFF\xFE", 2)), ','), QList<QStringList>());
        // fixed-width columns count characters
        QList<QStringList> fixed;
        TImportFixedTextReader r([&](const QStringList &v) { fixed << v; }, [](int) {});
        r.ColumnStarts = {0, 6};
        QVERIFY(r.Import(WriteFile(dir, "f.txt", Utf16(QString::fromUtf8("MUÑOZ JOSÉ\r\n"), false))));
        QCOMPARE(fixed, QList<QStringList>({{QString::fromUtf8("MUÑOZ"), QString::fromUtf8("JOSÉ")}}));
    }

    void byteOrderMarkInsideAValue()
    {
        // a value that starts with U+FEFF after trimming keeps it: it is not a byte-order mark
        QTemporaryDir dir;
        QCOMPARE(Records(WriteFile(dir, "b.csv", QByteArray(",\0\0\xEF\xBB\xBF\0\0G\r\n", 11)), ','),
                 QList<QStringList>({{"", QString(QChar(0xFEFF)) + QChar(0) + QChar(0) + QChar(u'G')}}));
    }

    void windows1252EveryByte()
    {
        // 0x80-0x9F; the five bytes Windows-1252 leaves undefined (81, 8D, 8F, 90, 9D) keep their code
        static const char16_t high[32] = {
            0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
            0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        const QString decoded = DecodeWindows1252(all.constData(), all.size());
        QCOMPARE(decoded.size(), 256);
        for (int b = 0; b < 256; ++b) {
            const char16_t expected = (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
            QVERIFY2(decoded[b].unicode() == expected, qPrintable(QString::number(b, 16)));
        }
        QCOMPARE(decoded[0x9F], QChar(0x0178));   // Ÿ
        QCOMPARE(decoded[0xA0], QChar(0x00A0));   // no-break space
        QCOMPARE(decoded[0xFF], QChar(0x00FF));   // ÿ
        // the same through a text file that is not UTF-8
        QTemporaryDir dir;
        QCOMPARE(Records(WriteFile(dir, "w.csv", "\x9F\x81\xA0X\xFF,\x8D\x8F\x90\x9D\n"), ','),
                 QList<QStringList>({{QString::fromUtf16(u"\u0178\u0081\u00A0X\u00FF"), QString::fromUtf16(u"\u008D\u008F\u0090\u009D")}}));
    }

    void invalidUtf8ReadsAsWindows1252_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("overlong C1 81") << QByteArray("A\xC1\x81") << QString::fromUtf16(u"A\u00C1\u0081");
        QTest::newRow("overlong E0 80 80") << QByteArray("A\xE0\x80\x80") << QString::fromUtf16(u"A\u00E0\u20AC\u20AC");
        QTest::newRow("surrogate ED A0 80") << QByteArray("A\xED\xA0\x80") << QString::fromUtf16(u"A\u00ED\u00A0\u20AC");
        QTest::newRow("above U+10FFFF") << QByteArray("A\xF4\x90\x80\x80") << QString::fromUtf16(u"A\u00F4\u0090\u20AC\u20AC");
        QTest::newRow("cut off at the end") << QByteArray("ABC\xC3") << QString::fromUtf16(u"ABC\u00C3");
        QTest::newRow("cut off before text") << QByteArray("\xE2\x82Z") << QString::fromUtf16(u"\u00E2\u201AZ");
        QTest::newRow("stray continuation") << QByteArray("A\x80") << QString::fromUtf16(u"A\u20AC");
        QTest::newRow("lead byte F8") << QByteArray("\xF8\x88\x80\x80\x80") << QString::fromUtf16(u"\u00F8\u02C6\u20AC\u20AC\u20AC");
        // and what is valid stays UTF-8
        QTest::newRow("valid 2-byte") << QByteArray("\xC3\x91") << QString::fromUtf16(u"\u00D1");
        QTest::newRow("valid U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << QString::fromUcs4(U"\U0010FFFF");
        QTest::newRow("valid before the end") << QByteArray("ABCDEFGH\xE2\x82\xAC") << QString::fromUtf16(u"ABCDEFGH\u20AC");
    }
    void invalidUtf8ReadsAsWindows1252()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const bool valid = text == QString::fromUtf8(bytes);
        QCOMPARE(IsValidUtf8(bytes.constData(), bytes.size()), valid);
        QTemporaryDir dir;
        // as the whole file, which ends right after the bytes
        QCOMPARE(Records(WriteFile(dir, "t.csv", bytes), ','), QList<QStringList>({{text}}));
        // and as the second value of a longer file
        QCOMPARE(Records(WriteFile(dir, "u.csv", "x," + bytes + "\r\nplain,line\r\n"), ','),
                 QList<QStringList>({{"x", text}, {"plain", "line"}}));
    }

    void utf8CutOffByTheSize()
    {
        // the sequence is whole in memory but cut by the size given: not UTF-8
        const QByteArray bytes("ABC\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
        QVERIFY(IsValidUtf8(bytes.constData(), bytes.size()));
        for (qsizetype cut : {4, 7, 8, 11, 12, 13})
            QVERIFY2(!IsValidUtf8(bytes.constData(), cut), qPrintable(QString::number(cut)));
        for (qsizetype whole : {3, 5, 6, 9, 10, 14})
            QVERIFY2(IsValidUtf8(bytes.constData(), whole), qPrintable(QString::number(whole)));
        // and a file that ends inside a sequence, followed in the folder by nothing at all
        QTemporaryDir dir;
        QCOMPARE(Records(WriteFile(dir, "c.csv", bytes.left(13)), ','),
                 QList<QStringList>({{QString::fromUtf16(u"ABC\u00C3\u00A9 \u00E2\u201A\u00AC \u00F0\u0178\u02DC")}}));
    }

    void folderGivenAsTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("roster.csv"));
        const QString path = dir.filePath("roster.csv");
        for (TImportFileType type : AllTypes)
            QCOMPARE(LoadError(path, type), QString("Cannot open '%1': it is a folder.").arg(path));
    }

    void notARegularFile()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString path = dir.filePath("roster.dbf");
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        // nothing writes into the pipe: a reader that opened it would wait for ever
        for (TImportFileType type : AllTypes)
            QCOMPARE(LoadError(path, type), QString("Cannot open '%1': it is a pipe (FIFO), not a file.").arg(path));
        QVERIFY_THROWS_EXCEPTION(Exception, CheckReadableFile("/dev/null"));
#else
        QSKIP("named pipes are a Unix matter");
#endif
    }

    void fileWithoutReadPermission()
    {
#ifdef Q_OS_UNIX
        if (::geteuid() == 0)
            QSKIP("running as root, which may read any file: a file without read permission cannot be made");
        QTemporaryDir dir;
        for (TImportFileType type : AllTypes) {
            const QString path = WriteFile(dir, "locked", "LAST,FIRST\n");
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
            QCOMPARE(LoadError(path, type), QString("Cannot open '%1': Permission denied.").arg(path));
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
#else
        QSKIP("permissions are tested on Unix");
#endif
    }

    void missingFileStillJustNotOpened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("no-such-roster.csv");
        QVERIFY(!CheckReadableFile(path));
        QVERIFY(!CheckReadableFile(dir.filePath("no-such-folder/roster.csv")));
        const QString file = WriteFile(dir, "r.csv", "a\n");
        QVERIFY(CheckReadableFile(file));
        QVERIFY(!CheckReadableFile(file + "/below-a-file"));
        for (TImportFileType type : {iftFixedText, iftTabText, iftCommaText, iftExcel, iftDBase})
            QCOMPARE(LoadError(path, type), QString("(not opened)"));
    }
};

CORVANE_TEST(TestTextDecoding)
#include "tst_textdecoding.moc"
