#include "testmain.h"
#include "app/ServiceUtilsUnit.h"
#include "app/Settings.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/VornDirView.h"
#include "roster/ui/VornDriveView.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString Slash(QString path)
{
    return path.endsWith('/') ? path : path + '/';
}
} // namespace

// Where page 1 opens: the folder given, else the folder last gone on from, else Documents,
// else home; and going on from page 1 remembers the folder.
class TestFirstRosterFolder : public QObject
{
    Q_OBJECT
    QTemporaryDir FTemp;

private slots:
    void init()
    {
        // other pages' tests go on from page 1 too, which remembers their folders
        OpenSettings()->remove(QStringLiteral("RosterFolder"));
    }
    void cleanup()
    {
        RosterFolderArgument.clear();
        OpenSettings()->remove(QStringLiteral("RosterFolder"));
    }

    void rule()
    {
        const QString given = FTemp.filePath("given");
        const QString last = FTemp.filePath("last");
        QVERIFY(QDir().mkpath(given));
        QVERIFY(QDir().mkpath(last));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString fallback = QFileInfo(documents).isDir() ? documents : QDir::homePath();

        QCOMPARE(FirstRosterFolder(given, last), given);
        QCOMPARE(FirstRosterFolder("  " + given + " ", last), given);
        // a relative folder is taken from where the program was started
        QCOMPARE(FirstRosterFolder("some/where", last), QDir::current().absoluteFilePath("some/where"));
        // a folder given that is gone still wins: the tree then shows its nearest existing parent
        QCOMPARE(FirstRosterFolder(given + "/gone", last), given + "/gone");
        QCOMPARE(FirstRosterFolder(QString(), last), last);
        QCOMPARE(FirstRosterFolder(QString(), FTemp.filePath("deleted")), fallback);
        QCOMPARE(FirstRosterFolder(QString(), QString()), fallback);
        // a file where the folder was is no folder
        QFile f(FTemp.filePath("plain.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(FirstRosterFolder(QString(), f.fileName()), fallback);
    }

    void pageOneOpensWhereTheRuleSaysAndRemembers()
    {
        const QString rosters = Slash(FTemp.filePath("rosters"));
        const QString other = Slash(FTemp.filePath("other"));
        QVERIFY(QDir().mkpath(rosters));
        QVERIFY(QDir().mkpath(other));
        QFile f(rosters + "unit.csv");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("LAST,FIRST,SSN,RANK,SEX\r\nDOE,JOHN,123456789,SGT,M\r\n");
        f.close();

        SetMessageDlgHook([](const QString &, TMsgDlgType, TMsgDlgButtons) { return int(mrNo); });
        SetErrorBoxHook([](const QString &) {});
        SetMainFormClosedHandler([] {});
        ServiceUtils = new TArmyUtils;

        // nothing remembered, nothing given: Documents or home
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        CreatePages();
        QCOMPARE(frmChooseRosterFile->RosterFolder(),
                 Slash(QFileInfo(documents).isDir() ? documents : QDir::homePath()));
        DestroyPages();

        // given on the command line
        RosterFolderArgument = rosters;
        CreatePages();
        QCOMPARE(frmChooseRosterFile->RosterFolder(), rosters);
        QCOMPARE(QDir::fromNativeSeparators(frmChooseRosterFile->edtDirectory->text()), rosters);
        frmChooseRosterFile->VornDirView->SelectFile("unit.csv");
        QVERIFY(frmChooseRosterFile->btnNext->isEnabled());
        QVERIFY(LastRosterFolder().isEmpty());   // browsing alone keeps nothing
        frmChooseRosterFile->show();
        QTest::mouseClick(frmChooseRosterFile->btnNext, Qt::LeftButton);
        QCOMPARE(LastRosterFolder(), rosters);
        DestroyPages();

        // the next run opens there without being told
        RosterFolderArgument.clear();
        CreatePages();
        QCOMPARE(frmChooseRosterFile->RosterFolder(), rosters);
        DestroyPages();

        // a folder given beats the remembered one
        RosterFolderArgument = other;
        CreatePages();
        QCOMPARE(frmChooseRosterFile->RosterFolder(), other);
        DestroyPages();

        delete ServiceUtils;
        ServiceUtils = nullptr;
        SetMessageDlgHook({});
        SetErrorBoxHook({});
        SetMainFormClosedHandler({});
    }
};

CORVANE_TEST(TestFirstRosterFolder)
#include "tst_firstfolder.moc"
