#include "batchprocess.h"
#include "testmain.h"
#include "wizardtest.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/PrintProducts.h"
#include "products/RBSelectionRecord.h"
#include "products/ui/FormPrintProducts.h"
#include "report/Engine.h"
#include "report/ReportModel.h"
#include "roster/ImportTable.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"
#include "selection/SelectionRecord.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
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
    // the alternates in their order, then the pool from a page of its own, each line whole
    const auto poolLine = [](int n, const TPoolMember &m) {
        return QRegularExpression(QStringLiteral("\\b%1\\s+%2\\s+%3\\s+%4")
                                      .arg(n)
                                      .arg(m.Row)
                                      .arg(QRegularExpression::escape(m.Name), QRegularExpression::escape(m.Rank)));
    };
    const int alternatesAt = int(text.indexOf(QStringLiteral("Alternates, in the order they are to be used")));
    QCOMPARE(alternatesAt >= 0, record.AlternatesAsked > 0);
    int at = alternatesAt;
    for (int i = 0; i < record.Alternates.size(); ++i) {
        const QRegularExpressionMatch m = poolLine(i + 1, record.Alternates.at(i)).match(text, at);
        QVERIFY2(m.hasMatch(), qPrintable("alternate " + record.Alternates.at(i).Name));
        at = int(m.capturedEnd());
    }
    const QString poolTitle = QStringLiteral("The pool: %1 members").arg(record.Pool.size());
    const int poolAt = int(text.indexOf(poolTitle));
    QVERIFY2(poolAt > 0, qPrintable(poolTitle));
    QVERIFY2(text.lastIndexOf(QLatin1Char('\f'), poolAt) > text.indexOf(QStringLiteral("To repeat this draw")),
             "the pool does not start a new page");
    at = poolAt;
    for (int i = 0; i < record.Pool.size(); ++i) {
        const TPoolMember &p = record.Pool.at(i);
        const QRegularExpressionMatch m = poolLine(i + 1, p).match(text, at);
        QVERIFY2(m.hasMatch(), qPrintable("pool member " + p.Name));
        const QString rest = text.mid(m.capturedEnd(), text.indexOf(QLatin1Char('\n'), m.capturedEnd()) - m.capturedEnd());
        QVERIFY2(rest.trimmed().endsWith(p.Selected ? QStringLiteral("Yes") : QStringLiteral("No")), qPrintable(rest));
        at = int(m.capturedEnd());
    }
    for (const QString &ssn : ssns)
        QVERIFY2(!flat.contains(ssn), qPrintable("SSN in the record: " + ssn));
}

} // namespace

// The record of a wizard draw, printed as the seventh product, and its command repeating the
// draw with corvane-batch.
class TestSelectionRecordWizard : public QObject, private MessageHooks
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_roster;

    bool LoadPageThree()
    {
        TImportTable table;
        if (!LoadMappedRoster(table, m_roster))
            return false;
        TfrmSelectionParameters *p3 = frmSelectionParameters;
        p3->LoadRoster(table);
        // what page 2's Next hands over with the table
        p3->RosterSource = RosterSourceOf(m_roster, iftCommaText, table);
        p3->show();
        p3->cbLocationCode->setCurrentIndex(LocationIndex("US"));
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
        ResetSelectionRecords();
        SetFixedRandomSeed(std::nullopt);   // the clock seeds the draw, as for a user
        OpenWizardWithHooks(mrYes);
    }
    void cleanup()
    {
        CloseWizardAndHooks();
        ResetSelectionRecords();
        SetPreviewHandler({});
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
        QVERIFY2(frmPrintProducts->isVisible(), qPrintable(errors.join(' ')));
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
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(' ')));
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
        QVERIFY2(frmPrintProducts->isVisible(), qPrintable(errors.join(' ')));
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

    // Page 3's Alternates box: reached and set from the keyboard, random testing only; the
    // alternates it asks for follow the selection and never change it, and the record's
    // command draws the same ones.
    void alternatesBoxDrawsAfterTheSelection()
    {
        QVERIFY(LoadPageThree());
        TfrmSelectionParameters *p3 = frmSelectionParameters;
        auto *box = p3->findChild<QSpinBox *>(QStringLiteral("edtAlternates"));
        QVERIFY(box);
        QCOMPARE(box->accessibleName(), QStringLiteral("Alternates"));
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), 99);
        QCOMPARE(box->value(), 0);
        p3->cmbxPremise->setCurrentIndex(1);
        QVERIFY(!box->isEnabled());
        p3->cmbxPremise->setCurrentIndex(0);
        QVERIFY(box->isEnabled());
        p3->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p3));
        p3->edtCount->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box);
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(box->value(), 5);

        SetFixedRandomSeed(20270115u);
        QStringList drawn[2];
        for (int asked : {0, 5}) {
            frmPrintProducts->hide();
            p3->show();
            box->setValue(asked);
            QTest::mouseClick(p3->btnFinish, Qt::LeftButton);
            QVERIFY2(frmPrintProducts->isVisible(), qPrintable(errors.join(' ')));
            const TSelectionRecord *record = CurrentSelectionRecord();
            QCOMPARE(record->AlternatesAsked, asked);
            QCOMPARE(record->Alternates.size(), asked);
            QCOMPARE(record->BatchArguments().contains(QStringLiteral("--alternates")), asked > 0);
            for (const TRecordMember &m : record->Members)
                drawn[asked > 0] << m.Name + QLatin1Char('@') + QString::number(m.Row);
            QCOMPARE(record->Pool.size(), 60);
            for (const TPoolMember &a : record->Alternates) {
                QVERIFY2(!drawn[asked > 0].contains(a.Name + QLatin1Char('@') + QString::number(a.Row)),
                         qPrintable(a.Name));
                QVERIFY(!a.Selected);
            }
            if (asked == 0)
                continue;
            // the record's command draws the same alternates in the same order
            const QString json = QDir(m_dir.path()).filePath(QStringLiteral("wizard-alternates.json"));
            const Run batch = runBatch(record->BatchArguments() + QStringList{QStringLiteral("--record"), json});
            QVERIFY2(batch.status == 0, qPrintable(batch.err));
            QFile f(json);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const TSelectionRecord repeated = TSelectionRecord::FromJson(QJsonDocument::fromJson(f.readAll()).object(), json);
            QCOMPARE(repeated.Alternates, record->Alternates);
            QCOMPARE(repeated.PoolSha256, record->PoolSha256);
            QCOMPARE(repeated.Pool, record->Pool);
        }
        QCOMPARE(drawn[1], drawn[0]);
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
                "--seed", "777", "--sort", "rank", "--group-by-gender", "--batch", "0042", "--alternates", "5"};
    }

    static QJsonObject ReadJson(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    static bool WriteFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    static QByteArray ReadFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QStringList Names(const QJsonArray &list)
    {
        QStringList names;
        for (const QJsonValue &v : list)
            names << v.toObject().value("name").toString() + '@' + QString::number(v.toObject().value("row").toInt());
        return names;
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

        // the pool: every member once, in the display order of the draw (by rank), selected
        // exactly when drawn, and its hash over the names and the roster's SSNs in that order
        const QJsonArray pool = o.value("pool").toArray();
        QCOMPARE(pool.size(), 60);
        QCOMPARE(o.value("poolCount").toInt(), 60);
        QMap<int, QString> ssnOfRow;
        const QStringList rosterLines = QString::fromUtf8(ReadFile(roster)).split("\r\n", Qt::SkipEmptyParts);
        for (int row = 1; row < rosterLines.size(); ++row)
            ssnOfRow[row] = rosterLines.at(row).section(',', 3, 3);
        QSet<int> drawnRows, poolRows;
        for (const QJsonValue &v : members)
            drawnRows << v.toObject().value("row").toInt();
        QCryptographicHash poolHash(QCryptographicHash::Sha256);
        QString previousRank;
        for (const QJsonValue &v : pool) {
            const QJsonObject m = v.toObject();
            const int row = m.value("row").toInt();
            QVERIFY(ssnOfRow.contains(row) && !poolRows.contains(row));
            poolRows << row;
            QCOMPARE(m.value("selected").toBool(), drawnRows.contains(row));
            QVERIFY2(previousRank <= m.value("rank").toString(), "the pool is not in display order");
            previousRank = m.value("rank").toString();
            QCOMPARE(m.value("organization").toString(), rosterLines.at(row).section(',', 6, 6));
            poolHash.addData((m.value("name").toString() + '\t' + ssnOfRow.value(row) + '\n').toUtf8());
        }
        QCOMPARE(o.value("poolSha256").toString(), QString::fromLatin1(poolHash.result().toHex()));
        // five alternates, none of them drawn, none twice
        const QJsonArray alternates = o.value("alternates").toArray();
        QCOMPARE(o.value("alternatesAsked").toInt(), 5);
        QCOMPARE(alternates.size(), 5);
        QSet<int> alternateRows;
        for (const QJsonValue &v : alternates)
            alternateRows << v.toObject().value("row").toInt();
        QCOMPARE(alternateRows.size(), 5);
        QVERIFY(!alternateRows.intersects(drawnRows));

        const TSelectionRecord record = TSelectionRecord::FromJson(o, json);
        QCOMPARE(record.BatchCommand(), o.value("command").toString());
        QCOMPARE(record.Alternates.size(), 5);
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

    // With a fixed seed the selection and its numbers are the same for 0, 1 and 5 alternates
    // (and for more than are left); the alternates are distinct, never selected, and each
    // longer list starts with the shorter one. 0 leaves the record as it was.
    void alternatesNeverChangeTheDraw_data()
    {
        QTest::addColumn<QStringList>("method");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("left");   // members not selected
        QTest::newRow("probability") << QStringList{"--probability", "30"} << 5 << -1;
        QTest::newRow("total number") << QStringList{"--count", "12"} << 5 << 48;
        QTest::newRow("total number by SSN, descending") << QStringList{"--count", "12", "--sort", "ssn:desc"} << 5 << 48;
        QTest::newRow("more than remain") << QStringList{"--count", "57"} << 5 << 3;
        QTest::newRow("none remain") << QStringList{"--count", "60"} << 2 << 0;
    }
    void alternatesNeverChangeTheDraw()
    {
        QFETCH(QStringList, method);
        QFETCH(int, asked);
        QFETCH(int, left);
        const QString roster = WriteRecordRoster(m_dir.path(), QStringLiteral("alternates.csv"));
        const QStringList base = QStringList{roster, "--columns", kRecordColumns, "--ignore-header", "--location", "US",
                                             "--seed", "4711", "--list"}
                                 + method;
        QStringList listed;
        QStringList shorter;
        for (int n : {0, 1, asked}) {
            const QString json = m_dir.filePath(QStringLiteral("alternates-%1.json").arg(n));
            const Run r = runBatch(base + QStringList{"--alternates", QString::number(n), "--record", json});
            QVERIFY2(r.status == 0, qPrintable(r.err));
            if (n == 0)
                listed = r.lines;
            QCOMPARE(r.lines, listed);   // the same members with the same numbers
            const QJsonObject o = ReadJson(json);
            const QStringList members = Names(o.value("members").toArray());
            const QStringList alternates = Names(o.value("alternates").toArray());
            if (left < 0)
                left = 60 - int(members.size());
            QCOMPARE(alternates.size(), qMin(n, left));
            QCOMPARE(o.contains("alternates"), n > 0);
            QCOMPARE(o.value("alternatesAsked").toInt(), n);
            QCOMPARE(o.value("arguments").toArray().contains(QStringLiteral("--alternates")), n > 0);
            QCOMPARE(QSet<QString>(alternates.begin(), alternates.end()).size(), alternates.size());
            for (const QString &a : alternates)
                QVERIFY2(!members.contains(a), qPrintable(a));
            QCOMPARE(alternates.mid(0, shorter.size()), shorter);
            shorter = alternates;
            // the record says when fewer are left than were asked for
            const TSelectionRecord record = TSelectionRecord::FromJson(o, json);
            QStringList notes;
            for (const auto &line : TrptSelectionRecord::LinesOf(record))
                if (line.Kind == QLatin1Char('N'))
                    notes << line.Texts.value(1);
            const bool fewer = n > left;
            QCOMPARE(notes.join(' ').contains(QStringLiteral("alternates were asked for")), fewer);
            if (n > 0)
                QCOMPARE(record.AlternatesText(), fewer ? QStringLiteral("%1 asked for, %2 drawn: every member not selected")
                                                              .arg(n)
                                                              .arg(left)
                                                        : QString::number(n));
            // and its command repeats them
            QCOMPARE(runBatch({"--verify", json}).status, 0);
        }
    }

    // --verify names the check that failed; each of these rows fails when its check is gone.
    void verifyNamesTheFailedCheck_data()
    {
        QTest::addColumn<QString>("fixture");    // empty: the sixty-member roster; else a file of tests/data
        QTest::addColumn<QStringList>("draw");   // the draw's options besides the roster and the seed
        QTest::addColumn<QString>("change");     // what is changed after the draw
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("says");
        const QStringList random = {"--probability", "30", "--sort", "rank", "--group-by-gender", "--alternates", "5"};
        QTest::newRow("unchanged") << QString() << random << "" << 0
                                   << QStringList{"Verified: the roster file", "is unchanged", "the pool is the same",
                                                  "and draws the same 5 alternates in the same order"};
        QTest::newRow("a member less in the record")
            << QString() << random << "drop last member" << 3
            << QStringList{"the member count differs", "the draw selected"};
        QTest::newRow("a specimen number")
            << QString() << random << "specimen number" << 3
            << QStringList{"the specimen numbers differ", "member 2,", "specimen 099 in the record"};
        QTest::newRow("alternates swapped") << QString() << random << "swap alternates" << 3
                                            << QStringList{"the alternates differ", "alternate 1 is"};
        QTest::newRow("an alternate less") << QString() << random << "drop last alternate" << 3
                                           << QStringList{"the alternates differ", "the draw gives 5 alternates, the record 4"};
        QTest::newRow("a member added") << QString() << random << "add member" << 3
                                        << QStringList{"the pool differs", "has changed since the draw",
                                                       "it has 61 members, the record's 60", "added: NEWMAN, PAT Q. (row 61)"};
        QTest::newRow("a member removed") << QString() << random << "remove row 12" << 3
                                          << QStringList{"the pool differs", "it has 59 members, the record's 60",
                                                         "removed: SMITH, ALEX R. (row 12)"};
        // the same members would be drawn: the roster's change alone must stop it
        QTest::newRow("an SSN changed") << QString() << random << "change an SSN" << 3
                                        << QStringList{"the pool differs", "has changed since the draw",
                                                       "the same 60 names in the same order, but an SSN has changed"};
        QTest::newRow("total number keeps its seed")
            << QString() << QStringList{"--count", "6", "--alternates", "2"} << "" << 0
            << QStringList{"Verified", "with seed 777 selects the same 6 members"};
        QTest::newRow("repeat keeps name:desc")
            << QString() << QStringList{"--count", "6", "--sort", "name:desc"} << "" << 0
            << QStringList{"Verified", "with seed 777 selects the same 6 members"};
        QTest::newRow("xlsx saved again by another program")
            << "roster.xlsx" << QStringList{"--count", "9", "--alternates", "3"} << "resave" << 0
            << QStringList{"Verified: the pool is the same (40 members", "has changed since the draw",
                           "saved again, by this or another program"};
        QTest::newRow("csv saved again by another program")
            << "roster.csv" << random << "resave" << 0
            << QStringList{"Verified: the pool is the same (30 members", "has changed since the draw"};
        QTest::newRow("a record without the pool's hash, file saved again")
            << "roster.csv" << random << "resave, no pool hash" << 3 << QStringList{"has changed since the draw"};
    }
    void verifyNamesTheFailedCheck()
    {
        QFETCH(QString, fixture);
        QFETCH(QStringList, draw);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QStringList, says);
        QTemporaryDir dir;
        QString roster;
        if (fixture.isEmpty()) {
            roster = WriteRecordRoster(dir.path());
        } else {
            roster = dir.filePath(fixture);
            QVERIFY(QFile::copy(testing_registry::dataPath(fixture), roster));
        }
        const QString json = dir.filePath(QStringLiteral("draw.json"));
        const QStringList args = QStringList{roster, "--columns", kRecordColumns, "--ignore-header", "--location", "US",
                                             "--seed", "777", "--batch", "0042"}
                                 + draw;
        const Run drawn = runBatch(args + QStringList{"--record", json});
        QVERIFY2(drawn.status == 0, qPrintable(drawn.err));
        QJsonObject o = ReadJson(json);
        const QStringList repeat = [&] {
            QStringList a;
            for (const QJsonValue &v : o.value("arguments").toArray())
                a << v.toString();
            return a;
        }();
        // what the record must keep to repeat the draw
        QVERIFY(repeat.contains("--seed") && repeat.contains("777"));
        QCOMPARE(o.value("seed").toDouble(), 777.0);
        if (draw.contains("name:desc")) {
            QVERIFY(repeat.contains("name:desc"));
            // the sort matters to this draw: without it other members come out
            const QString ascending = dir.filePath(QStringLiteral("ascending.json"));
            QCOMPARE(runBatch(args.mid(0, args.size() - 2) + QStringList{"--record", ascending}).status, 0);
            QVERIFY(Names(ReadJson(ascending).value("members").toArray()) != Names(o.value("members").toArray()));
        }

        QByteArray text = ReadFile(roster);
        QJsonArray members = o.value("members").toArray();
        QJsonArray alternates = o.value("alternates").toArray();
        if (change == "drop last member") {
            members.removeLast();
            o["selectedCount"] = members.size();
        } else if (change == "specimen number") {
            QJsonObject m = members.at(1).toObject();
            m["specimen"] = QStringLiteral("099");
            members[1] = m;
        } else if (change == "swap alternates") {
            const QJsonValue first = alternates.at(0);
            alternates[0] = alternates.at(1);
            alternates[1] = first;
        } else if (change == "drop last alternate") {
            alternates.removeLast();
        } else if (change == "add member") {
            text += "NEWMAN,PAT,Q,987654321,SGT,M,UNIT 9\r\n";
        } else if (change == "remove row 12") {
            QList<QByteArray> lines = text.split('\n');
            QVERIFY(lines.at(12).startsWith("SMITH,ALEX,R,"));   // one of seven namesakes
            lines.removeAt(12);
            text = lines.join('\n');
        } else if (change == "change an SSN") {
            // of a member not drawn: a probability draw does not look at SSNs
            int row = 0;
            for (const QJsonValue &v : o.value("pool").toArray())
                if (!v.toObject().value("selected").toBool() && !row)
                    row = v.toObject().value("row").toInt();
            QList<QByteArray> lines = text.split('\n');
            QList<QByteArray> cells = lines.at(row).split(',');
            cells[3] = "999999999";
            lines[row] = cells.join(',');
            text = lines.join('\n');
            // the same members and alternates, drawn from the changed file
            QVERIFY(WriteFile(roster, text));
            const QString again = dir.filePath(QStringLiteral("again.json"));
            QCOMPARE(runBatch(args + QStringList{"--record", again}).status, 0);
            const QJsonObject a = ReadJson(again);
            QCOMPARE(a.value("members"), o.value("members"));
            QCOMPARE(a.value("alternates"), o.value("alternates"));
            QVERIFY(a.value("poolSha256") != o.value("poolSha256"));
        } else if (change.startsWith("resave")) {
            text = ReadFile(testing_registry::dataPath(fixture.replace("roster.", "roster-resaved.")));
            QVERIFY(!text.isEmpty() && text != ReadFile(roster));
            if (change.endsWith("no pool hash"))
                o.remove("poolSha256");
        }
        o["members"] = members;
        if (o.contains("alternates"))
            o["alternates"] = alternates;
        QVERIFY(WriteFile(json, QJsonDocument(o).toJson()));
        QVERIFY(WriteFile(roster, text));

        const Run verified = runBatch({"--verify", json});
        const QString said = verified.out + verified.err;
        QVERIFY2(verified.status == status, qPrintable(said));
        for (const QString &phrase : says)
            QVERIFY2(said.contains(phrase), qPrintable(phrase + " not in: " + said));
        QCOMPARE(said.startsWith("Verified"), status == 0);
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
        r.Pool = {TPoolMember{2, "ALPHA, ADAM", "SGT", "HHC", false}, TPoolMember{3, "DOE, JANE", "PVT", "A CO", true},
                  TPoolMember{1, "ROE, RICHARD", "CPT", "", true}};
        r.PoolSha256 = QString(64, QLatin1Char('b'));
        r.AlternatesAsked = 3;
        r.Alternates = {TPoolMember{2, "ALPHA, ADAM", "SGT", "HHC", false}};
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
        QCOMPARE(back.Pool, r.Pool);
        QCOMPARE(back.PoolSha256, r.PoolSha256);
        QCOMPARE(back.AlternatesAsked, 3);
        QCOMPARE(back.Alternates, r.Alternates);
        // a size past 64 bits (found by fuzzing) reads as unknown, not as an overflowed integer
        for (const double size : {138e23, -5.0, 1e300}) {
            QJsonObject o = r.ToJson();
            o["rosterSize"] = size;
            QCOMPARE(TSelectionRecord::FromJson(o, QStringLiteral("r.json")).RosterSize, qint64(-1));
        }
        QVERIFY(r.BatchArguments().contains(QStringLiteral("--alternates")));
        QVERIFY(r.Fields().contains(qMakePair(QStringLiteral("Alternates"),
                                              QStringLiteral("3 asked for, 1 drawn: every member not selected"))));
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
        QTest::newRow("too many alternates asked") << "alternatesAsked" << QJsonValue(100) << "0 to 99";
        QTest::newRow("more alternates than asked") << "alternatesAsked" << QJsonValue(0) << "more alternates";
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
