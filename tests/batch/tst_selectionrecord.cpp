#include "batchprocess.h"
#include "testmain.h"
#include "wizardtest.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/PrintProducts.h"
#include "products/ui/FormPrintProducts.h"
#include "report/Engine.h"
#include "report/ReportModel.h"
#include "roster/ImportTable.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kRecordColumns = QStringLiteral("last,first,initial,ssn,rank,gender,org");

// Sixty members with namesakes and both genders; every SSN is set, so that a leak shows.
QString WriteRecordRoster(const QString &dir, const QString &name = QStringLiteral("audit.csv"))
{
    static const char *lasts[] = {"SMITH", "JONES", "NGUYEN", "GARCIA", "BROWN"};
    static const char *firsts[] = {"JOHN", "MARIA", "ALEX"};
    static const char *ranks[] = {"PVT", "SGT", "SPC", "CPT", "PFC", "SSG"};
    const QString path = QDir(dir).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write("Last,First,MI,SSN,Rank,Sex,Unit\r\n");
    for (int i = 0; i < 60; ++i) {
        const int n = (i * 7) % 9;
        const QString line = QStringLiteral("%1,%2,%3,%4,%5,%6,%7\r\n")
                                 .arg(QLatin1String(lasts[n % 5]), QLatin1String(firsts[n % 3]),
                                      n < 5 ? QStringLiteral("Q") : QStringLiteral("R"),
                                      QString::number(310000000 + (i * 7919) % 600000000),
                                      QLatin1String(ranks[i % 6]), i % 4 == 1 ? QStringLiteral("F") : QStringLiteral("M"),
                                      QStringLiteral("UNIT %1").arg(i % 3));
        f.write(line.toUtf8());
    }
    return path;
}

// Every SSN of a roster written above, as digits and as printed (123-45-6789).
QStringList RosterSsns(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList ssns;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QString ssn = lines.at(i).section(QLatin1Char(','), 3, 3);
        ssns << ssn << SsnDisplayText(ssn);
    }
    return ssns;
}


// The PDF's text as pdftotext extracts it; empty when poppler's tools are missing.
QString PdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString Squeezed(QString text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.remove(space);
}

// Every field of the record, the members with their numbers and the command are in the
// text; no SSN of the roster is.
void CheckRecordText(const QString &text, const TSelectionRecord &record, const QStringList &ssns)
{
    const QString flat = Squeezed(text);
    QVERIFY(text.contains(QStringLiteral("Selection Record")));
    QVERIFY(text.contains(record.Program));
    for (const auto &field : record.Fields()) {
        QVERIFY2(text.contains(field.first), qPrintable(field.first));
        QVERIFY2(flat.contains(Squeezed(field.second)), qPrintable(field.first + ": " + field.second));
    }
    for (const TRecordMember &m : record.Members) {
        const QRegularExpression line(QStringLiteral("%1\\s+%2\\s+%3")
                                          .arg(QRegularExpression::escape(m.BatchNumber),
                                               QRegularExpression::escape(m.SpecimenNumber),
                                               QRegularExpression::escape(m.Name)));
        QVERIFY2(line.match(text).hasMatch(), qPrintable(m.Name));
    }
    QVERIFY2(flat.contains(Squeezed(record.BatchCommand())), qPrintable(record.BatchCommand()));
    for (const QString &ssn : ssns)
        QVERIFY2(!flat.contains(ssn), qPrintable("SSN in the record: " + ssn));
}

} // namespace

// The record of a wizard draw, printed as the seventh product, and its command repeating the
// draw with corvane-batch.
class TestSelectionRecordWizard : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_roster;
    QStringList m_errors;

    void ClickIndicator(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); }

    bool LoadPageThree()
    {
        TImportTable table;
        if (!table.LoadFromFile(m_roster, iftCommaText))
            return false;
        table.IgnoreHeader = true;
        const TImportFieldKind kinds[] = {fkLastName, fkFirstName, fkInitial, fkSSN, fkRank, fkGender, fkOrganization};
        for (int c = 0; c < 7; ++c)
            table.SetFieldKind(c, kinds[c]);
        TfrmSelectionParameters *p3 = frmSelectionParameters;
        p3->LoadRoster(table);
        // what page 2's Next hands over with the table
        p3->RosterSource = RosterSourceOf(m_roster, iftCommaText, table);
        p3->show();
        for (int i = 0; i < p3->cbLocationCode->count(); ++i)
            if (p3->cbLocationCode->itemText(i).startsWith(QLatin1String("US ")))
                p3->cbLocationCode->setCurrentIndex(i);
        p3->cmbxPremise->setCurrentIndex(0);
        ClickIndicator(p3->rbPercentage);
        p3->edtCount->setText(QStringLiteral("35"));
        return true;
    }

    // Ticks only the record and prints it into pdf.
    void PrintRecord(const QString &pdf)
    {
        TfrmPrintProducts *p5 = frmPrintProducts;
        SetPreviewHandler([pdf](TppReport &, TppDocument &document) { ExportToPdf(document, pdf); });
        p5->Printers = DefaultProductPrinters();
        for (QCheckBox *box : p5->findChildren<QCheckBox *>())
            if (box->isChecked() && box != p5->cbGroupByGender)
                ClickIndicator(box);
        ClickIndicator(p5->cbSelectionRecord);
        QTest::mouseClick(p5->btnPrint, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_roster = WriteRecordRoster(m_dir.path());
        QVERIFY(!m_roster.isEmpty());
    }
    void init()
    {
        m_errors.clear();
        ResetSelectionRecords();
        SetFixedRandomSeed(std::nullopt);   // the clock seeds the draw, as for a user
        SetMessageDlgHook([](const QString &, TMsgDlgType, TMsgDlgButtons) { return int(mrYes); });
        SetErrorBoxHook([this](const QString &text) { m_errors.append(text); });
        OpenWizard();
    }
    void cleanup()
    {
        CloseWizard();
        ResetSelectionRecords();
        SetPreviewHandler({});
        SetMainFormClosedHandler({});
        SetMessageDlgHook({});
        SetErrorBoxHook({});
    }

    void noDrawPrintsNoRecord()
    {
        QVERIFY(!CurrentSelectionRecord());
        int printed = 0;
        TMemberList list;
        TMemberListSelection members(list, QStringLiteral("IR"), QStringLiteral("US"));
        TPrintProducts print(members, *ServiceUtils);
        print.Inputs.SelectionRecord = true;
        TProductPrinters printers;
        printers.SelectionRecord = [&printed](const TSelectionRecord &) { ++printed; };
        print.Print(printers);
        QCOMPARE(printed, 0);
    }

    void probabilityDrawRecordedPrintedAndRepeated()
    {
        QVERIFY(LoadPageThree());
        TfrmSelectionParameters *p3 = frmSelectionParameters;
        QTest::mouseClick(p3->btnFinish, Qt::LeftButton);
        QVERIFY2(frmPrintProducts->isVisible(), qPrintable(m_errors.join(' ')));
        const TSelectionRecord *record = CurrentSelectionRecord();
        QVERIFY(record);
        QVERIFY(record->Seed.has_value());
        const quint32 firstSeed = *record->Seed;
        QCOMPARE(record->DrawText(), QStringLiteral("draw 1 of 1"));
        QCOMPARE(record->PoolCount, 60);
        QCOMPARE(record->Method, dmProbability);
        QCOMPARE(record->MethodValue, QStringLiteral("35"));
        QCOMPARE(record->Source.Template, QStringLiteral("2-0,3-1,4-2,1-3,6-4,5-5,8-6,-1"));
        QCOMPARE(record->SelectedCount, p3->SelectedCount());
        QVERIFY2(record->SelectedCount >= 10, "a 35 per cent draw of sixty");
        QVERIFY(!record->Numbered);
        QFile roster(m_roster);
        QVERIFY(roster.open(QIODevice::ReadOnly));
        QCOMPARE(record->RosterSha256,
                 QString::fromLatin1(QCryptographicHash::hash(roster.readAll(), QCryptographicHash::Sha256).toHex()));
        QCOMPARE(record->RosterSize, QFileInfo(m_roster).size());

        frmPrintProducts->edtBatchNumber->setText(QStringLiteral("0101"));
        const QString pdf = QDir(m_dir.path()).filePath(QStringLiteral("record-1.pdf"));
        PrintRecord(pdf);
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(' ')));
        QVERIFY2(QFileInfo(pdf).size() > 0, "no record printed");
        record = CurrentSelectionRecord();
        QVERIFY(record->Numbered);
        QCOMPARE(record->StartingBatch, QStringLiteral("0101"));
        // the numbers the products carry
        QStringList wizard;
        for (int n = 0; n < p3->SelectedCount(); ++n) {
            const TRosterRec m = p3->GetSelectedMember(n);
            const TForms &forms = frmPrintProducts->Products().Forms();
            wizard << QStringList{forms.at(m.FormIndex).BatchNumber, m.SpecimenNumber, m.Name}.join('\t');
        }
        QStringList recorded;
        for (const TRecordMember &m : record->Members)
            recorded << QStringList{m.BatchNumber, m.SpecimenNumber, m.Name}.join('\t');
        QCOMPARE(recorded, wizard);
        QVERIFY(wizard.first().startsWith(QStringLiteral("0101\t")));

        const QString text = PdfText(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext is not installed");
        CheckRecordText(text, *record, RosterSsns(m_roster));
        QVERIFY(text.contains(QStringLiteral("draw 1 of 1")));

        // the printed command, run: the same members with the same numbers
        const QStringList args = record->BatchArguments();
        QVERIFY(args.contains(QStringLiteral("--seed")) && args.contains(QString::number(firstSeed)));
        QVERIFY(args.contains(QStringLiteral("--probability")) && args.contains(QStringLiteral("--batch")));
        const Run batch = runBatch(args + QStringList{QStringLiteral("--list")});
        QVERIFY2(batch.status == 0, qPrintable(batch.err));
        QStringList repeated;
        for (const QString &l : batch.lines)
            repeated << l.section('\t', 0, 2);
        QCOMPARE(repeated, wizard);

        // back to page 3 and Finish again: a new draw with a new seed, and it says so
        frmPrintProducts->hide();
        p3->show();
        QTest::mouseClick(p3->btnFinish, Qt::LeftButton);
        QVERIFY2(frmPrintProducts->isVisible(), qPrintable(m_errors.join(' ')));
        record = CurrentSelectionRecord();
        QCOMPARE(record->DrawText(), QStringLiteral("draw 2 of 2"));
        QVERIFY(record->Seed.has_value());
        QVERIFY(*record->Seed != firstSeed);
        const QString pdf2 = QDir(m_dir.path()).filePath(QStringLiteral("record-2.pdf"));
        PrintRecord(pdf2);
        const QString text2 = PdfText(pdf2);
        QVERIFY(text2.contains(QStringLiteral("draw 2 of 2")));
        QVERIFY(text2.contains(QString::number(*record->Seed)));
        CheckRecordText(text2, *record, RosterSsns(m_roster));
    }
};

// corvane-batch's record: JSON for other tools, the printed record, and --verify.
class TestSelectionRecordBatch : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QStringList DrawArgs(const QString &roster) const
    {
        return {roster, "--columns", kRecordColumns, "--ignore-header", "--location", "US", "--probability", "30",
                "--seed", "777", "--sort", "rank", "--group-by-gender", "--batch", "0042"};
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void jsonAndPrintedRecord()
    {
        const QString roster = WriteRecordRoster(m_dir.path(), QStringLiteral("printed.csv"));
        const QString json = m_dir.filePath(QStringLiteral("printed.json"));
        const QString out = m_dir.filePath(QStringLiteral("printed"));
        const Run r = runBatch(DrawArgs(roster) + QStringList{"--products", "record", "--out", out,
                                                                      "--record", json, "--list"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("selection-record.pdf")});

        QFile f(json);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (const QString &ssn : RosterSsns(roster))
            QVERIFY2(!bytes.contains(ssn.toUtf8()), qPrintable("SSN in the JSON: " + ssn));
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(o.value("seed").toDouble(), 777.0);
        QCOMPARE(o.value("method").toString(), QStringLiteral("probability"));
        QCOMPARE(o.value("methodValue").toString(), QStringLiteral("30"));
        QCOMPARE(o.value("poolCount").toInt(), 60);
        QCOMPARE(o.value("sort").toString(), QStringLiteral("rank"));
        QVERIFY(o.value("groupByGender").toBool());
        QCOMPARE(o.value("rosterFile").toString(), QFileInfo(roster).absoluteFilePath());
        QCOMPARE(o.value("readFrom").toString(), QStringLiteral("Comma-separated text"));
        const QJsonArray members = o.value("members").toArray();
        QCOMPARE(members.size(), r.lines.size());
        for (int i = 0; i < members.size(); ++i) {
            const QJsonObject m = members.at(i).toObject();
            QCOMPARE(QStringList({m.value("batch").toString(), m.value("specimen").toString(), m.value("name").toString()})
                         .join('\t'),
                     r.lines.at(i).section('\t', 0, 2));
        }

        const TSelectionRecord record = TSelectionRecord::FromJson(o, json);
        QCOMPARE(record.BatchCommand(), o.value("command").toString());
        const QString text = PdfText(QDir(out).filePath(QStringLiteral("selection-record.pdf")));
        if (text.isEmpty())
            QSKIP("pdftotext is not installed");
        CheckRecordText(text, record, RosterSsns(roster));
        QVERIFY(text.contains(QStringLiteral("draw 1 of 1")));
        QVERIFY(text.contains(QStringLiteral("Group By Gender")));
    }

    void verifyConfirmsOnlyTheSameDraw()
    {
        const QString roster = WriteRecordRoster(m_dir.path(), QStringLiteral("verified.csv"));
        const QString json = m_dir.filePath(QStringLiteral("verified.json"));
        const Run drawn = runBatch(DrawArgs(roster) + QStringList{"--record", json});
        QVERIFY2(drawn.status == 0, qPrintable(drawn.err));

        // the untouched roster passes
        const Run same = runBatch({"--verify", json});
        QVERIFY2(same.status == 0, qPrintable(same.err));
        QVERIFY2(same.out.startsWith(QStringLiteral("Verified")), qPrintable(same.out));

        // another seed: the roster is the same, the members are not
        const Run seeded = runBatch({"--verify", json, "--seed", "778"});
        QCOMPARE(seeded.status, 3);
        QVERIFY2(seeded.err.contains(QStringLiteral("roster file is unchanged")) && seeded.err.contains("seed 778")
                     && seeded.err.contains(QStringLiteral("the record's seed 777")),
                 qPrintable(seeded.err));
        // the same through an edited record
        QFile f(json);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        QJsonArray args = o.value("arguments").toArray();
        for (int i = 0; i + 1 < args.size(); ++i)
            if (args.at(i).toString() == QLatin1String("--seed"))
                args[i + 1] = QStringLiteral("9");
        o["arguments"] = args;
        const QString edited = m_dir.filePath(QStringLiteral("edited.json"));
        QFile e(edited);
        QVERIFY(e.open(QIODevice::WriteOnly));
        e.write(QJsonDocument(o).toJson());
        e.close();
        const Run other = runBatch({"--verify", edited});
        QCOMPARE(other.status, 3);
        QVERIFY2(other.err.contains(QStringLiteral("seed 9;")), qPrintable(other.err));

        // one changed cell: the roster is not the one drawn from
        QFile r(roster);
        QVERIFY(r.open(QIODevice::ReadOnly));
        const QByteArray original = r.readAll();
        r.close();
        QByteArray changed = original;
        const int at = changed.indexOf("JONES");
        QVERIFY(at > 0);
        changed.replace(at, 5, "JONAS");
        QVERIFY(r.open(QIODevice::WriteOnly | QIODevice::Truncate));
        r.write(changed);
        r.close();
        const Run tampered = runBatch({"--verify", json});
        QCOMPARE(tampered.status, 3);
        QVERIFY2(tampered.err.contains(QStringLiteral("has changed since the draw"))
                     && tampered.err.contains(QFileInfo(roster).absoluteFilePath()),
                 qPrintable(tampered.err));
        QVERIFY(tampered.out.isEmpty());

        // put back, it passes again
        QVERIFY(r.open(QIODevice::WriteOnly | QIODevice::Truncate));
        r.write(original);
        r.close();
        QCOMPARE(runBatch({"--verify", json}).status, 0);

        // no record at all is an input error
        const Run missing = runBatch({"--verify", m_dir.filePath(QStringLiteral("none.json"))});
        QCOMPARE(missing.status, 2);
        QVERIFY2(missing.err.contains(QStringLiteral("none.json")), qPrintable(missing.err));
    }
};

// The record read back by other tools and by --verify.
class TestSelectionRecordJson : public QObject
{
    Q_OBJECT

    static TSelectionRecord Sample()
    {
        TSelectionRecord r;
        r.Program = QStringLiteral("Corvane Lite test");
        r.DrawnAt = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 5));
        r.Source.FileName = QStringLiteral("/tmp/unit's roster/A & B.mdb");
        r.Source.FileType = iftAccess;
        r.Source.TableName = QStringLiteral("Roster 2026");
        r.Source.Template = QStringLiteral("2-0,1-1,6-2,5-3,-1");
        r.Source.IgnoreHeader = true;
        r.Source.ColumnKinds = {QStringLiteral("last"), QStringLiteral("ssn"), QStringLiteral("rank"),
                                QStringLiteral("gender")};
        r.RosterSize = 4096;
        r.RosterSha256 = QString(64, QLatin1Char('a'));
        r.PoolCount = 3;
        r.PremiseCode = QStringLiteral("IR");
        r.LocationCode = QStringLiteral("US");
        r.Method = dmCount;
        r.MethodValue = QStringLiteral("2");
        r.Seed = 4294967295u;
        r.SelectedCount = 2;
        r.SortColumn = 1;
        r.SortAscending = false;
        r.Numbered = true;
        r.StartingBatch = QStringLiteral("0007");
        r.Members = {TRecordMember{"0007", "0001", "DOE, JANE", 3}, TRecordMember{"0007", "0002", "ROE, RICHARD", 1}};
        return r;
    }

private slots:
    void readBackGivesTheSameCommand()
    {
        const TSelectionRecord r = Sample();
        const TSelectionRecord back = TSelectionRecord::FromJson(r.ToJson(), QStringLiteral("r.json"));
        QCOMPARE(back.BatchArguments(), r.BatchArguments());
        QCOMPARE(back.Fields(), r.Fields());
        QCOMPARE(back.Seed, std::optional<quint32>(4294967295u));
        QVERIFY(r.BatchArguments().contains(QStringLiteral("ssn:desc")));
        QVERIFY(r.BatchArguments().contains(QStringLiteral("Roster 2026")));
    }

    void commandSurvivesTheShell()
    {
#ifdef Q_OS_UNIX
        // the printed command, pasted into a shell, gives corvane-batch exactly these arguments
        const TSelectionRecord r = Sample();
        QString command = r.BatchCommand();
        QVERIFY(command.startsWith(QStringLiteral("corvane-batch ")));
        command.replace(0, int(qstrlen("corvane-batch")), QStringLiteral("printf '%s\\n'"));
        QProcess sh;
        sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        QVERIFY(sh.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), r.BatchArguments());
#else
        QSKIP("POSIX shell");
#endif
    }

    void damagedRecordsAreRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no hash") << "rosterSha256" << QJsonValue(QJsonValue::Undefined) << "rosterSha256";
        QTest::newRow("seed past 32 bits") << "seed" << QJsonValue(4294967296.0) << "32-bit";
        QTest::newRow("negative seed") << "seed" << QJsonValue(-1) << "32-bit";
        QTest::newRow("fractional seed") << "seed" << QJsonValue(1.5) << "32-bit";
        QTest::newRow("unknown method") << "method" << QJsonValue("lottery") << "lottery";
    }
    void damagedRecordsAreRefused()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QString, reason);
        QJsonObject o = Sample().ToJson();
        if (value.isUndefined())
            o.remove(key);
        else
            o[key] = value;
        try {
            TSelectionRecord::FromJson(o, QStringLiteral("damaged.json"));
            QFAIL("accepted");
        } catch (const Exception &e) {
            QVERIFY2(e.message().contains(QStringLiteral("damaged.json")) && e.message().contains(reason),
                     qPrintable(e.message()));
        }
    }
};

CORVANE_TEST(TestSelectionRecordWizard)
CORVANE_TEST(TestSelectionRecordBatch)
CORVANE_TEST(TestSelectionRecordJson)
#include "tst_selectionrecord.moc"
