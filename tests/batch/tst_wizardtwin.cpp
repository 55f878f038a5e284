#include "batchprocess.h"
#include "testmain.h"
#include "wizardtest.h"

#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/PrintProducts.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ImportTable.h"
#include "selection/RandomSource.h"
#include "selection/SelectionParameters.h"
#include "selection/ui/FormSelectionParameters.h"
#include "selection/ui/MemberListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

const QString kColumns = QStringLiteral("last,first,initial,ssn,rank,gender,org");

// A roster with namesakes (the same last name, first name and initial, other SSNs), several
// blank SSNs and both genders among equal names: every tie the sort has to break is there.
QString WriteRoster(const QString &dir, int members = 60)
{
    static const char *lasts[] = {"SMITH", "JONES", "NGUYEN", "GARCIA", "BROWN"};
    static const char *firsts[] = {"JOHN", "MARIA", "ALEX"};
    static const char *ranks[] = {"PVT", "SGT", "SPC", "CPT", "PFC", "SSG"};
    const QString path = QDir(dir).filePath(QStringLiteral("namesakes.csv"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write("Last,First,MI,SSN,Rank,Sex,Unit\r\n");
    for (int i = 0; i < members; ++i) {
        const int name = (i * 7) % 9;   // nine names for sixty members
        const QString ssn = i % 5 == 3 ? QString() : QString::number(300000000 + (i * 7919) % 600000000);
        const QString line = QStringLiteral("%1,%2,%3,%4,%5,%6,%7\r\n")
                                 .arg(QLatin1String(lasts[name % 5]), QLatin1String(firsts[name % 3]),
                                      name < 5 ? QStringLiteral("Q") : QStringLiteral("R"), ssn,
                                      QLatin1String(ranks[i % 6]), i % 4 == 1 ? QStringLiteral("F") : QStringLiteral("M"),
                                      QStringLiteral("UNIT %1").arg(i % 3));
        f.write(line.toUtf8());
    }
    return path;
}


QStringList Visible(const QString &dir)
{
    return QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace

// corvane-batch against the wizard itself: the same roster, the same steps and the same seed
// must give the same members in the same order with the same batch and specimen numbers.
class TestBatchFollowsWizard : public QObject, private MessageHooks
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_roster;

    // Pages 3 to 5 as a user drives them; the numbered selection as --list prints it.
    QStringList Wizard(const QString &method, const QString &value, quint32 seed, const QString &sort, bool group)
    {
        TImportTable table;
        if (!LoadMappedRoster(table, m_roster))
            return {QStringLiteral("roster not loaded")};
        TfrmSelectionParameters *p3 = frmSelectionParameters;
        p3->LoadRoster(table);
        p3->show();
        p3->cbLocationCode->setCurrentIndex(LocationIndex("US"));
        p3->cmbxPremise->setCurrentIndex(0);
        ClickIndicator(method == QLatin1String("count") ? static_cast<QAbstractButton *>(p3->rbTotalNumber)
                                                         : p3->rbPercentage);
        p3->edtCount->setText(value);
        // Header clicks: the first on another column sorts it ascending, the next reverses.
        if (sort == QLatin1String("ssn:desc")) {
            ClickHeader(p3->lvRoster, 1);
            ClickHeader(p3->lvRoster, 1);
        } else if (sort == QLatin1String("name:desc")) {
            ClickHeader(p3->lvRoster, 0);
        } else if (sort == QLatin1String("rank")) {
            ClickHeader(p3->lvRoster, 2);
        }
        SetFixedRandomSeed(seed);
        QTest::mouseClick(p3->btnFinish, Qt::LeftButton);
        if (!frmPrintProducts->isVisible())
            return {QStringLiteral("print page not shown: ") + errors.join(' ')};
        TfrmPrintProducts *p5 = frmPrintProducts;
        if (group) {
            ClickIndicator(p5->cbGroupByGender);
            if (!p5->cbGroupByGender->isChecked())
                return {QStringLiteral("grouping box not ticked")};
        }
        TProductPrinters none;
        none.NotificationCopy = [](TppJITPipeline *) {};
        p5->Printers = none;
        ClickIndicator(p5->cbNotificationCopy);
        QTest::mouseClick(p5->btnPrint, Qt::LeftButton);
        QStringList lines;
        for (int n = 0; n < p3->SelectedCount(); ++n) {
            const TRosterRec m = p3->GetSelectedMember(n);
            const TForms &forms = p5->Products().Forms();
            const QString batch = m.FormIndex >= 0 && m.FormIndex < forms.size() ? forms.at(m.FormIndex).BatchNumber
                                                                                 : QStringLiteral("?");
            lines << QStringList{batch, m.SpecimenNumber, m.Name, m.SSN, m.Rank, m.Gender, m.Organization}.join('\t');
        }
        return lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_roster = WriteRoster(m_dir.path());
        QVERIFY(!m_roster.isEmpty());
    }
    void init() { OpenWizardWithHooks(mrYes); }
    void cleanup()
    {
        CloseWizardAndHooks();
        SetFixedRandomSeed(std::nullopt);
    }

    void sameStepsSameSelection_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<bool>("group");
        for (const QString method : {"count", "probability"})
            for (const QString sort : {"", "ssn:desc", "name:desc", "rank"})
                for (bool group : {false, true}) {
                    const QString value = method == "count" ? "17" : "35";
                    QTest::addRow("%s %s%s%s", qPrintable(method), qPrintable(value),
                                  sort.isEmpty() ? "" : qPrintable(" --sort " + sort), group ? " grouped" : "")
                        << method << value << sort << group;
                }
    }
    void sameStepsSameSelection()
    {
        QFETCH(QString, method);
        QFETCH(QString, value);
        QFETCH(QString, sort);
        QFETCH(bool, group);
        const quint32 seed = 12345;
        const QStringList wizard = Wizard(method, value, seed, sort, group);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(' ')));
        QVERIFY2(wizard.size() >= 10, qPrintable(wizard.join('\n')));

        QStringList args = {m_roster, "--columns", kColumns, "--ignore-header", "--location", "US",
                            "--" + method, value, "--seed", QString::number(seed), "--list"};
        if (!sort.isEmpty())
            args << "--sort" << sort;
        if (group)
            args << "--group-by-gender";
        const Run batch = runBatch(args);
        QCOMPARE(batch.status, 0);
        if (batch.lines != wizard) {
            for (int i = 0; i < qMax(batch.lines.size(), wizard.size()); ++i)
                qWarning("%2d wizard %s | batch %s", i, qPrintable(wizard.value(i)), qPrintable(batch.lines.value(i)));
        }
        QCOMPARE(batch.lines, wizard);
        // The roster's ties reach the selection: namesakes and blank SSNs are among those drawn.
        QStringList names;
        int blank = 0;
        for (const QString &l : wizard) {
            names << l.section('\t', 2, 2);
            blank += l.section('\t', 3, 3).trimmed().isEmpty();
        }
        QVERIFY(names.removeDuplicates() > 0);
        QVERIFY(blank > 0);
    }
};

// Write failures and stops: nothing the run wrote may stay behind.
class TestBatchLeavesNothingBehind : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QStringList Args(const QString &roster, const QString &out) const
    {
        // every fifth member has no SSN: these runs are about writing, not about that refusal
        return {roster, "--columns", kColumns, "--ignore-header", "--location", "US", "--premise", "IU",
                "--allow-blank-ssn", "--out", out};
    }

private slots:
    void failedWriteIsAnErrorAndLeavesNothing()
    {
#ifdef Q_OS_UNIX
        const QString roster = WriteRoster(m_dir.path(), 120);
        for (bool exists : {false, true}) {
            const QString out = QDir(m_dir.path()).filePath(exists ? "existing" : "new");
            if (exists)
                QVERIFY(QDir().mkpath(out));
            // A file-size limit makes every write past 10 KB fail, as a full disk does.
            QProcess p;
            p.start("/bin/sh", QStringList{"-c", "ulimit -f 20 && exec \"$0\" \"$@\"", QStringLiteral(CORVANE_BATCH_EXE)}
                                   + Args(roster, out));
            QVERIFY(p.waitForFinished(120000));
            const QString err = QString::fromUtf8(p.readAllStandardError()).trimmed();
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), 2);
            // after the warning that names the members without an SSN
            QVERIFY2(err.section('\n', -1).startsWith("Cannot write '" + out + "/"), qPrintable(err));
            QVERIFY2(err.contains("too large", Qt::CaseInsensitive), qPrintable(err));
            QVERIFY(p.readAllStandardOutput().isEmpty());
            if (exists)
                QCOMPARE(Visible(out), QStringList());
            else
                QVERIFY2(!QFileInfo::exists(out), qPrintable(Visible(out).join(' ')));
        }
        // Without the limit the same run writes all six.
        const QString out = QDir(m_dir.path()).filePath("fine");
        const Run ok = runBatch(Args(roster, out));
        QCOMPARE(ok.status, 0);
        QCOMPARE(Visible(out).size(), 6);
#else
        QSKIP("needs a file-size limit");
#endif
    }

    void stoppedRunRemovesItsScratchFolder_data()
    {
        QTest::addColumn<int>("sig");
#ifdef Q_OS_UNIX
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
#endif
    }
    void stoppedRunRemovesItsScratchFolder()
    {
#ifdef Q_OS_UNIX
        QFETCH(int, sig);
        const QString roster = WriteRoster(m_dir.path(), 4000);
        const QString out = QDir(m_dir.path()).filePath(QStringLiteral("stopped-%1").arg(sig));
        QVERIFY(QDir().mkpath(out));
        QProcess p;
        p.start(QStringLiteral(CORVANE_BATCH_EXE), Args(roster, out));
        QVERIFY(p.waitForStarted());
        // Wait until a product is being written inside the scratch folder, then stop the run.
        bool writing = false;
        for (int i = 0; i < 6000 && !writing && p.state() == QProcess::Running; ++i) {
            for (const QString &name : Visible(out))
                if (name.startsWith(".corvane-batch-") && !QDir(QDir(out).filePath(name)).isEmpty())
                    writing = true;
            if (!writing)
                QTest::qWait(10);
        }
        QVERIFY2(writing, "the run ended before it could be stopped");
        ::kill(pid_t(p.processId()), sig);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);   // ended by the signal, as before
        QCOMPARE(Visible(out), QStringList());
#else
        QSKIP("POSIX signals");
#endif
    }
};

CORVANE_TEST(TestBatchFollowsWizard)
CORVANE_TEST(TestBatchLeavesNothingBehind)
#include "tst_wizardtwin.moc"
