#include "batchprocess.h"
#include "testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

#ifdef HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

namespace {


QString data(const char *name) { return testing_registry::dataPath(QLatin1String(name)); }

const QStringList csvArgs = {QStringLiteral("--columns"), QStringLiteral("last,first,initial,ssn,rank,gender,org"),
                             QStringLiteral("--ignore-header"), QStringLiteral("--location"), QStringLiteral("US")};

int pageCount(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    p.waitForFinished();
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAll()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Every Code 128 symbol on one page of a PDF, rendered at 300 dpi by poppler.
QStringList barcodesOnPage(const QString &pdf, int page)
{
    QStringList out;
#ifdef HAVE_ZXING
    QTemporaryDir dir;
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), QStringLiteral("-singlefile"), pdf,
                                         dir.filePath(QStringLiteral("p"))});
    p.waitForFinished(60000);
    QImage img(dir.filePath(QStringLiteral("p.pgm")));
    img = img.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128);
    hints.setTryRotate(false);
    // This zxing version asserts when one image holds several linear symbols, so the page is
    // read in overlapping horizontal strips, one symbol a strip.
    const int strip = 60;
    for (int y = 0; y + strip <= img.height(); y += strip / 2) {
        const ZXing::ImageView view(img.constScanLine(y), img.width(), strip, ZXing::ImageFormat::Lum,
                                    int(img.bytesPerLine()));
        const ZXing::Result r = ZXing::ReadBarcode(view, hints);
        const QString text = QString::fromStdString(r.text());
        if (r.isValid() && !out.contains(text))
            out.append(text);
    }
#else
    Q_UNUSED(pdf);
    Q_UNUSED(page);
#endif
    return out;
}

} // namespace

class TestBatchProgram : public QObject
{
    Q_OBJECT
    QTemporaryDir FTemp;
private slots:
    void listsEveryFormat_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("members");
        QTest::addColumn<QString>("firstLine");
        const QString org = QStringLiteral("last,first,initial,ssn,rank,gender,org");
        QTest::newRow("comma") << (QStringList{data("roster.csv")} + csvArgs) << 30
                               << "0001\t001\tABERNATHY, DERRICK R.\t905022073\tSSG\tM\tC CO 1-22 IN";
        QTest::newRow("tab") << QStringList{data("roster-tab.txt"), "--type", "tab", "--columns", org,
                                            "--location", "US"}
                             << 30 << "0001\t001\tABERNATHY, DERRICK R.\t905022073\tSSG\tM\tC CO 1-22 IN";
        QTest::newRow("excel") << (QStringList{data("roster.xls")} + csvArgs) << 40
                               << "0001\t001\tABERNATHY, DERRICK R.\t905022073\tSSG\tM\tC CO 1-22 IN";
        // One deleted record of 25 is skipped.
        QTest::newRow("dbase") << QStringList{data("roster.dbf"), "--columns", org, "--location", "US"} << 24
                               << "0001\t001\tBALDWIN, AARON W.\t923618028\tSGT\tM\tHHC 1-22 IN";
        QTest::newRow("access") << QStringList{data("roster.mdb"), "--table", "Roster", "--columns", org,
                                               "--location", "US"}
                                << 35 << "0001\t001\t";
    }
    void listsEveryFormat()
    {
        QFETCH(QStringList, args);
        QFETCH(int, members);
        QFETCH(QString, firstLine);
        const Run r = runBatch(args + QStringList{"--premise", "IU", "--list"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.lines.size(), members);
        QVERIFY2(r.lines.first().startsWith(firstLine), qPrintable(r.lines.first()));
        QStringList names;   // listed in the display order after loading: by name
        for (const QString &line : r.lines)
            names << line.section(QLatin1Char('\t'), 2, 2);
        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(names, sorted);
        // Sheets of twelve: batch n holds specimens 001..012, the last sheet the rest.
        for (int i = 0; i < r.lines.size(); ++i) {
            const QStringList f = r.lines.at(i).split(QLatin1Char('\t'));
            QCOMPARE(f.size(), 7);
            QCOMPARE(f.at(0), QString("%1").arg(i / 12 + 1, 4, 10, QLatin1Char('0')));
            QCOMPARE(f.at(1), QString("%1").arg(i % 12 + 1, 3, 10, QLatin1Char('0')));
            // SSNs are normalised: nine letters/digits or nine blanks, never hyphens.
            QVERIFY2(QRegularExpression("^([0-9A-Za-z]{9}| {9})$").match(f.at(3)).hasMatch(), qPrintable(f.at(3)));
            QVERIFY2(f.at(5) == "M" || f.at(5) == "F", qPrintable(r.lines.at(i)));
        }
    }
    void normalisesSsnAndGender()
    {
        const Run r = runBatch(QStringList{data("roster.xls")} + csvArgs + QStringList{"--premise", "IU", "--list"});
        QCOMPARE(r.status, 0);
        const QString all = r.lines.join('\n');
        QVERIFY(all.contains("ELLISON, CALVIN B.\t916325636\tSGT\tM\tC CO 1-22 IN"));
        // A number cell that lost its leading zeros is not a valid SSN: nine blanks.
        QVERIFY(all.contains("OSBORNE, PRESTON") );
        for (const QString &line : r.lines)
            if (line.contains("OSBORNE, PRESTON"))
                QCOMPARE(line.split('\t').at(3), QString(9, ' '));
    }
    // The list is UTF-8 whatever the names hold, and long names are whole, also past the
    // writer's buffer.
    void listKeepsEveryCharacter()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("names.csv")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QStringList names = {QStringLiteral("\u00C9CLAIR"), QStringLiteral("\u0141UKASZ"), QStringLiteral("Z\U0001F600Z"),
                             QString(40000, QLatin1Char('L')) + QStringLiteral("\u00FF")};
        for (int i = 0; i < 3000; ++i)
            names << QStringLiteral("PLAIN%1").arg(i, 4, 10, QLatin1Char('0'));
        QByteArray text = "\xEF\xBB\xBF";
        for (int i = 0; i < names.size(); ++i)
            text += (names.at(i) + QStringLiteral(",%1,SGT,M\r\n").arg(900000000 + i)).toUtf8();
        f.write(text);
        f.close();
        const Run r = runBatch({f.fileName(), "--columns", "last,ssn,rank,gender", "--location", "US", "--premise",
                                "IU", "--list"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.lines.size(), names.size());
        QStringList listed;
        for (const QString &line : r.lines)
            listed << line.section(QLatin1Char('\t'), 2, 2);
        for (const QString &name : std::as_const(names))
            QVERIFY2(listed.contains(name), qPrintable(name.left(20)));
    }

    void seedRepeatsAndSortChangesTheDraw()
    {
        const QStringList base = QStringList{data("roster.csv")} + csvArgs
                                 + QStringList{"--count", "5", "--seed", "12345", "--list"};
        const Run a = runBatch(base);
        const Run b = runBatch(base);
        QCOMPARE(a.status, 0);
        QCOMPARE(a.lines.size(), 5);
        QCOMPARE(a.lines, b.lines);
        const Run bySsn = runBatch(base + QStringList{"--sort", "ssn"});
        QCOMPARE(bySsn.status, 0);
        QCOMPARE(bySsn.lines.size(), 5);
        auto names = [](const Run &r) {
            QStringList n;
            for (const QString &l : r.lines)
                n << l.split('\t').at(2);
            n.sort();
            return n;
        };
        QVERIFY(names(a) != names(bySsn));
        // The listing follows the display order: by SSN ascending.
        QStringList ssns;
        for (const QString &l : bySsn.lines)
            ssns << l.split('\t').at(3);
        QStringList sorted = ssns;
        sorted.sort();
        QCOMPARE(ssns, sorted);
    }
    void probabilityReadInTheCLocale()
    {
        const Run all = runBatch(QStringList{data("roster.csv")} + csvArgs + QStringList{"--probability", "100.0", "--list"});
        QCOMPARE(all.status, 0);
        QCOMPARE(all.lines.size(), 30);
        const Run none = runBatch(QStringList{data("roster.csv")} + csvArgs + QStringList{"--probability", "-1.5", "--list"});
        QCOMPARE(none.status, 0);
        QCOMPARE(none.lines.size(), 0);
    }
    void handPickedRowsAndGrouping()
    {
        const Run r = runBatch(QStringList{data("roster.csv")} + csvArgs
                            + QStringList{"--premise", "CO", "--select", "1,6,2", "--group-by-gender", "--list"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.lines.size(), 3);
        // Data row 6 is the one woman of the three: she comes first and gets a sheet of her own.
        QVERIFY(r.lines.at(0).split('\t').at(5) == "F");
        QCOMPARE(r.lines.at(0).left(9), QString("0001\t001\t"));
        QCOMPARE(r.lines.at(1).left(9), QString("0002\t001\t"));
        QCOMPARE(r.lines.at(2).left(9), QString("0002\t002\t"));
    }
    void writesEveryProduct()
    {
        QTemporaryDir out;
        const Run r = runBatch(QStringList{data("roster.csv")} + csvArgs
                            + QStringList{"--premise", "IU", "--bac", "hq", "--uic", "WAB1C", "--date",
                                          "2026-12-08", "--batch", "0998", "--out", out.path()});
        QCOMPARE(r.status, 0);
        const QDir dir(out.path());
        QCOMPARE(pageCount(dir.filePath("dd2624-front.pdf")), 3);
        QCOMPARE(pageCount(dir.filePath("dd2624-back.pdf")), 3);
        QCOMPARE(pageCount(dir.filePath("testing-register.pdf")), 3);
        QCOMPARE(pageCount(dir.filePath("notification-copy.pdf")), 1);
        QCOMPARE(pageCount(dir.filePath("working-copy.pdf")), 1);
        QCOMPARE(pageCount(dir.filePath("bottle-labels.pdf")), 3);
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot).size(), 6);
#ifdef HAVE_ZXING
        // Third sheet: batch wrapped from 0999 to 0001, six members. The error box's full stop
        // follows the wizard's rule: none after a quote or a bracket.
        const QStringList codes = barcodesOnPage(dir.filePath("dd2624-front.pdf"), 3);
        QVERIFY2(codes.contains("533013202612080001WAB1CHQ  US"), qPrintable(codes.join(" | ")));
        int members = 0;
        for (const QString &c : codes)
            if (QRegularExpression("^0\\d\\d\\d{9}IU[AB]$").match(c).hasMatch())
                ++members;
        QCOMPARE(members, 6);
#endif
    }
    void writesOnlyTheChosenProducts()
    {
        QTemporaryDir out;
        const Run r = runBatch(QStringList{data("roster.csv")} + csvArgs
                            + QStringList{"--premise", "IU", "--products", "labels,register", "--label-start", "6",
                                          "--out", out.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), (QStringList{"bottle-labels.pdf", "testing-register.pdf"}));
        // 30 labels from position 6: 5 on the first sheet, then 10, 10 and 5.
        QCOMPARE(pageCount(QDir(out.path()).filePath("bottle-labels.pdf")), 4);
    }
    void errorsExitWithTheWizardsMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString roster = data("roster.csv");
        QTest::newRow("missing columns")
            << QStringList{roster, "--columns", "last,first,initial,ssn", "--location", "US"}
            << "You must identify the following column(s): Rank, Gender.";
        QTest::newRow("unknown kind") << QStringList{roster, "--columns", "last,nick", "--location", "US"}
                                      << "Unknown column kind 'nick' (last, first, initial, ssn, rank, gender, org or skip)";
        QTest::newRow("no location") << (QStringList{roster, "--columns", "last,first,initial,ssn,rank,gender"})
                                     << "A collection location is REQUIRED.";
        QTest::newRow("bad location") << (QStringList{roster} + csvArgs.mid(0, 3) + QStringList{"--location", "QQ"})
                                      << "'QQ' is not a collection location code.";
        QTest::newRow("bad premise") << (QStringList{roster} + csvArgs + QStringList{"--premise", "XX"})
                                     << "'XX' is not a testing premise (IR, IU, CO, PO, VO, RO, AO, MO, IO, NO or OO)";
        QTest::newRow("count not integer") << (QStringList{roster} + csvArgs + QStringList{"--count", "1.5"})
                                           << "'1.5' is not a valid integer value.";
        // An empty box is read as the wizard reads it, never as the default.
        QTest::newRow("count empty") << (QStringList{roster} + csvArgs + QStringList{"--count", ""})
                                     << "'' is not a valid integer value.";
        QTest::newRow("probability empty") << (QStringList{roster} + csvArgs + QStringList{"--probability", ""})
                                           << "'' is not a valid floating point value.";
        QTest::newRow("probability not float") << (QStringList{roster} + csvArgs + QStringList{"--probability", "1,5"})
                                               << "'1,5' is not a valid floating point value.";
        QTest::newRow("batch too small") << (QStringList{roster} + csvArgs + QStringList{"--premise", "IU", "--batch", "0"})
                                         << "\"0\" is too small a batch number.";
        QTest::newRow("label position") << (QStringList{roster} + csvArgs + QStringList{"--premise", "IU", "--label-start", "x"})
                                        << "'x' is not a label position on the sheet. Choose a starting position from 1 to 10.";
        QTest::newRow("too many alternates") << (QStringList{roster} + csvArgs + QStringList{"--alternates", "100"})
                                             << "'100' is not a valid number of alternates (0 to 99)";
        QTest::newRow("alternates of a sweep")
            << (QStringList{roster} + csvArgs + QStringList{"--premise", "IU", "--alternates", "2"})
            << "--alternates applies to random testing (IR) only.";
        QTest::newRow("several tables")
            << QStringList{data("roster.mdb"), "--columns", "last,first,initial,ssn,rank,gender", "--location", "US"}
            << "The database has several tables; choose one with --table: Roster, Units.";
        QTest::newRow("missing file") << (QStringList{data("no-such-roster.csv")} + csvArgs)
                                      << QString("Cannot open roster file '%1'").arg(data("no-such-roster.csv"));
        // Something is there that is no file: the reason, as the wizard gives it.
        const QString folder = data("damaged");
        QTest::newRow("folder") << (QStringList{folder} + csvArgs)
                                << QString("Cannot open '%1': it is a folder.").arg(folder);
#ifdef Q_OS_LINUX
        QTest::newRow("device") << (QStringList{"/dev/null"} + csvArgs) << "Cannot open '/dev/null': it is a device, not a file.";
        static QTemporaryDir odd;
        const QString fifo = odd.filePath("roster.csv"), loop = odd.filePath("loop.csv");
        if (!QFileInfo::exists(fifo)) {
            QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
            QVERIFY(QFile::link(loop, loop));
        }
        QTest::newRow("pipe") << (QStringList{fifo} + csvArgs) << QString("Cannot open '%1': it is a pipe (FIFO), not a file.").arg(fifo);
        QTest::newRow("link loop") << (QStringList{loop} + csvArgs)
                                   << QString("Cannot open '%1': it is a symbolic link that leads round in a loop.").arg(loop);
#endif
    }
    void errorsExitWithTheWizardsMessage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir out;
        const QString target = QDir(out.path()).filePath("products");
        const Run r = runBatch(args + QStringList{"--out", target});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, message);
        QVERIFY(r.lines.isEmpty());
        QVERIFY2(!QFileInfo::exists(target), "nothing may be written after an error");
    }
    // A roster that would lose members or SSNs in silence is refused, naming what; the options
    // that say what to do are kept in the record and repeated by --verify.
    void nothingLostInSilence_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");   // contained in standard error
        QTest::addColumn<int>("members");
        QVERIFY(FTemp.isValid());
        const QString blank = FTemp.filePath("blank-ssn.csv");
        QFile f(blank);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("LAST,FIRST,MI,SSN,RANK,SEX,ORG\nDOE,JOHN,Q,912-34-5678,SGT,M,HHC\nROE,JANE,,12345,SPC,F,HHC\n"
                "POE,EDGAR,A,,PFC,M,HHC\n,NOBODY,,913-00-0000,PVT,M,HHC\n");
        f.close();
        const QString spacer = data("integrity/blankrow-after30.xlsx");
        const QStringList iu = {"--premise", "IU", "--list"};
        QTest::newRow("spacer row, refused") << (QStringList{spacer} + csvArgs + iu) << 2
                                             << "Rows 33 to 62 follow an empty cell in column A at row 32 and are not in "
                                                "the roster. Give --blank-rows skip to read them too, or --blank-rows "
                                                "stop to end the roster there."
                                             << 0;
        QTest::newRow("spacer row, stop") << (QStringList{spacer} + csvArgs + iu + QStringList{"--blank-rows", "stop"})
                                          << 0 << "" << 30;
        QTest::newRow("spacer row, skip") << (QStringList{spacer} + csvArgs + iu + QStringList{"--blank-rows", "skip"})
                                          << 0 << "" << 60;
        QTest::newRow("spacer row, neither") << (QStringList{spacer} + csvArgs + iu + QStringList{"--blank-rows", "all"})
                                             << 2 << "'all' is not a valid --blank-rows (skip or stop)" << 0;
        QTest::newRow("formulas without values")
            << (QStringList{data("integrity/openpyxl-ssnformula.xlsx")} + csvArgs + iu) << 2
            << "so they would read as empty: column 4 (SSN), 60 cells. Open the file in a spreadsheet program" << 0;
        QTest::newRow("SSN numbers formatted") << (QStringList{data("integrity/xlwt-ssnnum-fmt.xls")} + csvArgs + iu)
                                               << 0 << "" << 60;
        QTest::newRow("blank SSNs named") << (QStringList{blank} + csvArgs + iu) << 0
                                          << "Warning: 2 members have no valid SSN:\n  row 2: ROE, JANE .\n  row 3: POE, EDGAR A."
                                          << 3;
        QTest::newRow("member without a last name")
            << (QStringList{blank} + csvArgs + iu) << 0
            << "Warning: Row 5 holds data but nothing in its first column and is not in the roster. Fill in the first "
               "column there and read the file again."
            << 3;
        QTest::newRow("blank SSNs, no products")
            << (QStringList{blank} + csvArgs + QStringList{"--premise", "IU", "--out", FTemp.filePath("refused")}) << 2
            << "Among the selected, 2 members have no valid SSN: POE, EDGAR A.; ROE, JANE .. Their products and barcodes "
               "would print without one; give --allow-blank-ssn to write them anyway."
            << 0;
        QTest::newRow("blank SSNs, products allowed")
            << (QStringList{blank} + csvArgs
                + QStringList{"--premise", "IU", "--products", "register", "--allow-blank-ssn", "--out", FTemp.filePath("allowed")})
            << 0 << "Warning: 2 members have no valid SSN" << 0;
    }
    void nothingLostInSilence()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, err);
        QFETCH(int, members);
        const Run r = runBatch(args);
        QCOMPARE(r.status, status);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
        QCOMPARE(r.lines.size(), members);
        if (!args.contains("skip"))
            return;
        // The choice is on the record, and the record's repeat makes it again.
        const QString record = FTemp.filePath("spacer.json");
        QCOMPARE(runBatch(args.mid(0, args.indexOf("--list")) + QStringList{"--blank-rows", "skip", "--record", record}).status, 0);
        QFile json(record);
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QByteArray text = json.readAll();
        QVERIFY(text.contains("\"blankRows\": \"skip\""));
        const Run verified = runBatch({"--verify", record});
        QVERIFY2(verified.status == 0, qPrintable(verified.err));
    }

    void damagedRosterIsAnErrorNotACrash()
    {
        const Run r = runBatch(QStringList{data("damaged/random.xls"), "--columns", "last,first,initial,ssn,rank,gender",
                                        "--location", "US", "--list"});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("random.xls"), qPrintable(r.err));
    }
    // Every damaged roster ends the run with status 2 and a message naming the file; a dBase
    // table cut short is refused too. Random bytes are a legal (if useless) comma file, whose
    // columns then do not match.
    void everyDamagedRosterIsAnError_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(data("damaged"));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
        QVERIFY(dir.entryList(QDir::Files).size() >= 10);
    }
    void everyDamagedRosterIsAnError()
    {
        QFETCH(QString, path);
        QTemporaryDir out;
        const QString target = QDir(out.path()).filePath("products");
        const Run r = runBatch(QStringList{path, "--columns", "last,first,initial,ssn,rank,gender,org", "--table", "Roster",
                                        "--location", "US", "--premise", "IU", "--out", target, "--list"});
        const QString name = QFileInfo(path).fileName();
        QCOMPARE(r.status, 2);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(r.lines.isEmpty());
        if (name == QLatin1String("binary.csv")) {
            QVERIFY2(r.err.startsWith("--columns names 7 columns but the roster has "), qPrintable(r.err));
            return;
        }
        QVERIFY2(r.err.contains(path), qPrintable(r.err));
        if (name == QLatin1String("roster-garbage.dbf"))
            QVERIFY2(r.err.contains("announces 1,000,000 records"), qPrintable(r.err));
    }

    // However the reader fails, the message is plain and names the file.
    void readerFailuresAreMessages_data()
    {
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<QString>("why");
        QTest::newRow("crash") << QStringList{"CORVANE_IMPORT_TEST_CRASH=abort"}
                               << "the file is damaged (the reader stopped unexpectedly (signal 6)).";
        QTest::newRow("garbled") << QStringList{"CORVANE_IMPORT_TEST_CRASH=garble"}
                                 << "the file is damaged (the reader sent a garbled reply).";
        QTest::newRow("hang") << QStringList{"CORVANE_IMPORT_TEST_CRASH=hang", "CORVANE_IMPORT_TIMEOUT_MS=1500"}
                              << "the reader took too long and was stopped.";
        QTest::newRow("missing reader") << QStringList{"CORVANE_IMPORT=/nonexistent/corvane-import"}
                                        << "the import program /nonexistent/corvane-import was not found.";
    }
    void readerFailuresAreMessages()
    {
        QFETCH(QStringList, env);
        QFETCH(QString, why);
        const QString roster = data("roster.csv");
        const Run r = runBatch(QStringList{roster} + csvArgs + QStringList{"--premise", "IU", "--list"}, env);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QString("Cannot read '%1': %2").arg(roster, why));
        QVERIFY(r.lines.isEmpty());
    }

#ifdef Q_OS_LINUX
    // A reader left hanging does not outlive the program that started it.
    void readerEndsWithItsProgram()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANE_IMPORT_TEST_CRASH", "hang");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CORVANE_BATCH_EXE), QStringList{data("roster.csv")} + csvArgs);
        QVERIFY(p.waitForStarted());
        const qint64 batchPid = p.processId();
        // find the reader: a child of corvane-batch
        qint64 reader = 0;
        QElapsedTimer clock;
        clock.start();
        while (!reader && clock.elapsed() < 20000) {
            QTest::qWait(50);
            QFile children(QString("/proc/%1/task/%1/children").arg(batchPid));
            if (children.open(QIODevice::ReadOnly))
                reader = children.readAll().trimmed().split(' ').value(0).toLongLong();
        }
        QVERIFY(reader > 0);
        QVERIFY(QFile::exists(QString("/proc/%1").arg(reader)));
        p.kill();
        p.waitForFinished();
        clock.restart();
        auto alive = [&] {
            QFile stat(QString("/proc/%1/stat").arg(reader));
            if (!stat.open(QIODevice::ReadOnly))
                return false;
            const QByteArray s = stat.readAll();
            return !s.contains(") Z ");   // a zombie waits for init only
        };
        while (alive() && clock.elapsed() < 5000)
            QTest::qWait(50);
        QVERIFY(!alive());
    }
#endif

    void helpDocumentsEveryOption()
    {
        const Run r = runBatch({"--help"});
        QCOMPARE(r.status, 0);
        const QString text = r.lines.join('\n');
        for (const char *option : {"--type", "--table", "--columns", "--ignore-header", "--location", "--premise",
                                   "--probability", "--count", "--select", "--seed", "--sort", "--group-by-gender",
                                   "--bac", "--uic", "--block1", "--block2", "--date", "--batch", "--products",
                                   "--label-start", "--out", "--list", "--blank-rows", "--allow-blank-ssn",
                                   "--alternates", "--record", "--verify"})
            QVERIFY2(text.contains(QLatin1String(option)), option);
        // how an inspector repeats a draw, and what the pool's hash is made of
        for (const char *words : {"An inspector repeats a draw", "corvane-batch --verify draw.json",
                                  "the SSNs enter only the pool's SHA-256", "Alternates"})
            QVERIFY2(text.contains(QLatin1String(words)), words);
    }
};

CORVANE_TEST(TestBatchProgram)
#include "tst_batch.moc"
