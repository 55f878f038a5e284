#include "testmain.h"
#include "wizardtest.h"
#include "rosterpages.h"
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/FormWaiting.h"
#include "import/CellText.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/ImportGrid.h"
#include "roster/ui/VornDirView.h"
#include "roster/ui/VornDriveView.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// Pages 1 and 2 with the newer spreadsheet formats.
class TestPagesSheets : public QObject, private MessageHooks, private RosterPages
{
    Q_OBJECT

    QTemporaryDir FTemp;
    QString FStartDir;

    QString gridCell(int row, int col) { return gridModel()->data(gridModel()->index(row, col)).toString(); }

    void expectRoster()
    {
        QCOMPARE(gridModel()->rowCount(), 41);   // header and 40 people
        QCOMPARE(gridModel()->columnCount(), 9);
        QCOMPARE(gridCell(0, 0), QString("LAST"));
        QCOMPARE(gridCell(1, 0), QString("ELLISON"));
        QCOMPARE(gridCell(1, 3), QString("916325636"));
        QCOMPARE(gridCell(1, 7), DateTimeText(QDate(1993, 10, 3), QTime(), false));
        QCOMPARE(gridCell(40, 0), QString("HOLLOWAY"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(FTemp.isValid());
        FDir = WithTrailingSeparator(QDir(FTemp.path()).canonicalPath()) + "Sheets/";
        QVERIFY(QDir().mkpath(FDir));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.xls"), FDir + "roster.xls"));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.xlsx"), FDir + "roster.xlsx"));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.xlsx"), FDir + "MACROS.XLSM"));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.ods"), FDir + "roster.ods"));
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.ods"), FDir + "letter.odt"));

        FStartDir = QDir::currentPath();
        QDir::setCurrent(FDir);
        OpenWizardWithHooks(mrNo);
        page1()->show();
        QVERIFY(QTest::qWaitForWindowExposed(page1()));
    }

    void cleanupTestCase()
    {
        CloseWizardAndHooks();
        QDir::setCurrent(FStartDir);
    }

    void init() { InstallMessageHooks(mrNo); }

    void pageOneListsTheNewerFormats()
    {
        typeFolder(FDir);
        // In mask order; a text document is no roster.
        QCOMPARE(listedFiles(), QStringList({"roster.xls", "roster.xlsx", "MACROS.XLSM", "roster.ods"}));
    }

    void fileTypeBoxOffersOpenDocument()
    {
        QComboBox *box = page2()->cbFileType;
        QCOMPARE(box->count(), 6);
        QCOMPARE(box->itemText(5), QString("OpenDocument Spreadsheet"));
        QCOMPARE(TfrmFormatRoster::FileTypeOfEntry(5), iftOds);
    }

    void workbookLoadsAsExcel()
    {
        openOnPage2("roster.xlsx");
        QCOMPARE(page2()->cbFileType->currentText(), QString("MS Excel"));
        QCOMPARE(page2()->FileType(), iftExcel);
        expectRoster();
        QVERIFY(errors.isEmpty());
    }

    void macroWorkbookLoadsAsExcel()
    {
        openOnPage2("MACROS.XLSM");
        QCOMPARE(page2()->cbFileType->currentText(), QString("MS Excel"));
        expectRoster();
    }

    void spreadsheetLoadsAsOpenDocument()
    {
        openOnPage2("roster.ods");
        QCOMPARE(page2()->cbFileType->currentText(), QString("OpenDocument Spreadsheet"));
        QCOMPARE(page2()->FileType(), iftOds);
        expectRoster();
        QVERIFY(errors.isEmpty());
    }

    void wrongTypeNamesTheFileAndRecovers()
    {
        openOnPage2("roster.xlsx");
        QComboBox *box = page2()->cbFileType;
        box->setFocus();
        QTest::keyClick(box, Qt::Key_End);   // OpenDocument Spreadsheet
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(FDir + "roster.xlsx"), qPrintable(errors.first()));
        QVERIFY(errors.first().contains("not an OpenDocument spreadsheet"));
        QVERIFY(!frmWaiting->isVisible());
        QVERIFY(page2()->isVisible());
        // the failed reading leaves the roster and its type as they were
        QCOMPARE(page2()->FileType(), iftExcel);
        QCOMPARE(box->currentText(), QString("MS Excel"));
        expectRoster();
        QTest::keyClick(box, Qt::Key_End);   // the same mistake again names the file again
        QCOMPARE(errors.size(), 2);
        QTest::keyClick(box, Qt::Key_Home);   // MS Excel
        QCOMPARE(page2()->FileType(), iftExcel);
        expectRoster();
    }
};

CORVANE_TEST(TestPagesSheets)
#include "tst_pagessheets.moc"
