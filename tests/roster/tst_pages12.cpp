#include "testmain.h"
#include "wizardtest.h"
#include "rosterpages.h"
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "app/ui/FormWaiting.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "import/ImportFileReader.h"
#include "roster/ImportTable.h"
#include "roster/ui/FormSelectTable.h"
#include "roster/ui/ImportGrid.h"
#include "roster/ui/VornDirView.h"
#include "roster/ui/VornDriveView.h"
#include "roster/VornFileSystem.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QStringList RosterLines = {
    "LAST,FIRST,MI,SSN,RANK,SEX,ORG",
    "HOLLIS,MARTIN,J,912-34-5678,SGT,male,HHC 3-9 FA",
    "PRUITT,DANA,,923-45-6789,SPC,Female,A BTRY 3-9 FA",
    "OKAFOR,SAMUEL,T,934-56-7890,1LT,M,B BTRY 3-9 FA",
    "VANTERPOOL,ROSALIND,Q,945-67-8901,PFC,f,HHC 3-9 FA",
    "BRISCOE,ED,K,956-78-9012,SSG,M,C BTRY 3-9 FA",
};

const QStringList DamagedNames = {"roster-onebyte.xls", "roster-truncated.xls", "random.xls", "roster-truncated.mdb"};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

QByteArray joined(const QStringList &lines, const QString &sep = ",")
{
    QStringList out;
    for (const QString &l : lines)
        out << QString(l).replace(",", sep);
    return (out.join("\r\n") + "\r\n").toLatin1();
}

} // namespace

class TestPages12 : public QObject, private MessageHooks, private RosterPages
{
    Q_OBJECT

    QTemporaryDir FTemp;
    QString FEmptyDir;   // no rosters
    QString FBigDir;
    QString FWideDir;     // made before the folder tree first reads the temporary folder
    QString FAccessDir;
    QString FKeysDir;     // a roster of its own for the keyboard

    QPoint headerPoint(int col)
    {
        TImportGrid *grid = page2()->dgImportTable;
        return grid->horizontalHeader()->viewport()->mapFrom(grid, grid->TitlePoint(col));
    }

    void clickTitle(int col)
    {
        QHeaderView *h = page2()->dgImportTable->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, headerPoint(col));
    }

    void chooseKind(const QString &entry)
    {
        QListWidget *list = page2()->lbFields;
        const QList<QListWidgetItem *> items = list->findItems(entry, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
    }

    void mapColumn(int col, const QString &entry)
    {
        page2()->dgImportTable->scrollTo(gridModel()->index(0, col));
        clickTitle(col);
        QVERIFY2(page2()->lbFields->isVisible(), qPrintable(entry));
        QCOMPARE(page2()->MapColumn(), col);
        chooseKind(entry);
        QVERIFY(!page2()->lbFields->isVisible());
        QCOMPARE(page2()->MapColumn(), -1);
    }

    QColor statusColour() { return page2()->pnlStatus->palette().color(QPalette::WindowText); }

    QColor cellColour(const QImage &shot, int col, int dataRow)
    {
        TImportGrid *grid = page2()->dgImportTable;
        const QRect r = grid->visualRect(gridModel()->index(dataRow, col));
        // A corner of the cell, away from its text.
        const QPoint p = grid->viewport()->mapTo(grid, r.bottomRight() - QPoint(1, 1));
        return shot.pixelColor(p * shot.devicePixelRatio());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(FTemp.isValid());
        const QString base = WithTrailingSeparator(QDir(FTemp.path()).canonicalPath());
        FDir = base + "Rosters/";
        FEmptyDir = base + "Nothing here/";
        FBigDir = base + "Big/";
        QDir d(base);
        QVERIFY(d.mkpath("Rosters/sub.csv"));
        QVERIFY(d.mkpath("Nothing here"));
        QVERIFY(d.mkpath("Big"));
        QVERIFY(d.mkpath("Damaged"));
        QVERIFY(d.mkpath("Slow"));
        for (const QString &name : DamagedNames)
            QVERIFY(QFile::copy(testing_registry::dataPath("damaged/" + name), base + "Damaged/" + name));
        writeFile(base + "Slow/slow.csv", joined(RosterLines));
        FWideDir = base + "Wide/";
        FAccessDir = base + "Access/";
        FKeysDir = base + "Keys/";
        QVERIFY(d.mkpath("Keys"));
        writeFile(FKeysDir + "keys.csv", joined(RosterLines));
        QVERIFY(d.mkpath("Wide"));
        QVERIFY(d.mkpath("Access"));
        writeFile(FDir + "roster.csv", joined(RosterLines));
        writeFile(FDir + "tabbed.txt", joined(RosterLines, "\t"));
        writeFile(FDir + "notes.doc", "not a roster");
        writeFile(FDir + ".hidden.csv", joined(RosterLines));
        writeFile(FEmptyDir + "readme.md", "nothing");
        QVERIFY(d.mkpath("Silence"));
        QVERIFY(QFile::copy(testing_registry::dataPath("integrity/blankrow-after30.xlsx"), base + "Silence/spacer.xlsx"));
        QVERIFY(QFile::copy(testing_registry::dataPath("integrity/openpyxl-ssnformula.xlsx"), base + "Silence/formulas.xlsx"));
        QStringList noSsn = RosterLines;
        noSsn[2].replace("923-45-6789", "923-45");
        noSsn[4].replace("945-67-8901", "");
        writeFile(base + "Silence/nossn.csv", joined(noSsn));
        writeFile(base + "Silence/roster.csv", joined(RosterLines));
        QFile xls(QDir::cleanPath(testing_registry::dataPath("../../examples/sample-roster.xls")));
        QVERIFY(xls.exists());
        QVERIFY(xls.copy(FDir + "ROSTER2.XLS"));

        RosterFolderArgument = FDir;   // the program opens on the folder it is given
        OpenWizardWithHooks(mrNo);
        page1()->show();
        QVERIFY(QTest::qWaitForWindowExposed(page1()));
    }

    void cleanupTestCase()
    {
        CloseWizardAndHooks();
        RosterFolderArgument.clear();
    }

    // also puts back the hooks a test replaced
    void init() { InstallMessageHooks(mrNo); }

    void pageOneOpensOnGivenFolder()
    {
        QCOMPARE(page1()->lblTitle->text(), QString("Identify Roster File"));
        QCOMPARE(page1()->edtDirectory->text(), FDir);
        QCOMPARE(page1()->VORNDriveView->Directory(), FDir);
        // Masks in order (*.xls, *.csv, *.txt), case ignored; no folder, no hidden file.
        QCOMPARE(listedFiles(), QStringList({"ROSTER2.XLS", "roster.csv", "tabbed.txt"}));
        QCOMPARE(page1()->pnlStatus->text(),
                 QString("Browse to the directory in which your Roster File is located, select it from "
                         "the available files, and click <Next>."));
        QVERIFY(!page1()->btnNext->isEnabled());
        QVERIFY(!page1()->btnPrevious->isEnabled());
        QVERIFY(!page1()->btnFinish->isEnabled());
        QCOMPARE(AppRootDir, ParentDir(QCoreApplication::applicationDirPath() + "/"));
        QVERIFY(AppRootDir.endsWith('/'));
    }

    void typedFolderWithoutRosters()
    {
        typeFolder(FEmptyDir);
        QCOMPARE(page1()->VORNDriveView->Directory(), FEmptyDir);
        QCOMPARE(page1()->edtDirectory->text(), FEmptyDir);
        QVERIFY(listedFiles().isEmpty());
        QVERIFY(!page1()->btnNext->isEnabled());
        QCOMPARE(page1()->pnlStatus->text(), QString("No Roster File Selected"));
    }

    void typedPathsLeadToExistingFolders()
    {
        typeFolder(FDir + "missing/deeper");
        QCOMPARE(page1()->VORNDriveView->Directory(), FDir);
        QCOMPARE(page1()->edtDirectory->text(), FDir);   // shows where the tree landed
        typeFolder(FEmptyDir + "readme.md");
        QCOMPARE(page1()->VORNDriveView->Directory(), FEmptyDir);
        QCOMPARE(page1()->VornDirView->Directory(), FEmptyDir);
    }

    void pickingAFileEnablesNext()
    {
        typeFolder(FDir);
        QVERIFY(clickFile("roster.csv"));
        QVERIFY(page1()->btnNext->isEnabled());
        QCOMPARE(page1()->pnlStatus->text(), "Roster File: " + FDir + "roster.csv");
        // Another folder empties the selection.
        typeFolder(FEmptyDir);
        QVERIFY(!page1()->btnNext->isEnabled());
        QCOMPARE(page1()->pnlStatus->text(), QString("No Roster File Selected"));
        // A double-click on nothing does not go on.
        QTest::mouseDClick(page1()->VornDirView->viewport(), Qt::LeftButton, {}, QPoint(40, 60));
        QVERIFY(page1()->isVisible());
        QVERIFY(!page2()->isVisible());
    }

    void clickingAFolderInTheTreeListsItsFiles()
    {
        typeFolder(FEmptyDir);
        TVORNDriveView *tree = page1()->VORNDriveView;
        // The roster folder is a sibling of the current one.
        const QModelIndex current = tree->currentIndex();
        QModelIndex rosters;
        for (int r = 0; r < tree->model()->rowCount(current.parent()); ++r) {
            const QModelIndex sibling = tree->model()->index(r, 0, current.parent());
            if (sibling.data().toString() == "Rosters")
                rosters = sibling;
        }
        QVERIFY(rosters.isValid());
        tree->scrollTo(rosters);
        const auto onName = [&] {
            const QRect r = tree->visualRect(rosters);
            return QPoint(r.left() + 30, r.center().y());   // on the caption, past the icon
        };
        QTRY_VERIFY(tree->viewport()->rect().contains(onName()));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, onName());
        QCOMPARE(page1()->edtDirectory->text(), FDir);
        QCOMPARE(listedFiles(), QStringList({"ROSTER2.XLS", "roster.csv", "tabbed.txt"}));
        // Enter on a chosen file goes on like Next.
        QVERIFY(clickFile("roster.csv"));
        QTest::keyClick(page1()->VornDirView, Qt::Key_Return);
        QVERIFY(page2()->isVisible());
        QVERIFY(!page1()->isVisible());
        QTest::mouseClick(page2()->btnPrevious, Qt::LeftButton);
        QVERIFY(page1()->isVisible());
    }

    void doubleClickActsAsNext()
    {
        typeFolder(FDir);
        QVERIFY(clickFile("tabbed.txt", true));
        QVERIFY(!page1()->isVisible());
        QVERIFY(page2()->isVisible());
        QCOMPARE(page2()->RosterFileName(), FDir + "tabbed.txt");
        // A .txt file is read as comma-delimited first: one column.
        QCOMPARE(page2()->cbFileType->currentText(), QString("Comma Delimited"));
        QCOMPARE(gridModel()->columnCount(), 1);
        QTest::mouseClick(page2()->btnPrevious, Qt::LeftButton);
        QVERIFY(page1()->isVisible());
        QVERIFY(!page2()->isVisible());
        // Page 1 is as the user left it.
        QCOMPARE(page1()->VornDirView->SelectedFileName(), QString("tabbed.txt"));
    }

    void loadingShowsTheGrid()
    {
        openOnPage2("roster.csv");
        QCOMPARE(page2()->lblTitle->text(), QString("Format Roster"));
        QCOMPARE(frmWaiting->pnlMessage->text(), QString("Loading Roster File. . ."));
        QVERIFY(!frmWaiting->isVisible());
        QCOMPARE(page2()->cbFileType->currentText(), QString("Comma Delimited"));
        QCOMPARE(page2()->FileType(), iftCommaText);
        QCOMPARE(gridModel()->rowCount(), RosterLines.size());
        QCOMPARE(gridModel()->columnCount(), 7);
        QCOMPARE(gridModel()->data(gridModel()->index(0, 0)).toString(), QString("LAST"));
        QVERIFY(!page2()->btnNext->isEnabled());
        QVERIFY(!page2()->btnFinish->isEnabled());
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("You must identify the following column(s): Last Name, SSN, Rank, Gender"));
        QCOMPARE(statusColour(), QColor(255, 0, 0));

        // At least 7 pixels per character of the longest cell or the title, and wide enough
        // for the widest text in the grid's font to show whole.
        const QFontMetrics regular(page2()->dgImportTable->font());
        QFont boldFont = page2()->dgImportTable->font();
        boldFont.setBold(true);
        const QFontMetrics bold(boldFont);
        for (int c = 0; c < 7; ++c) {
            qsizetype longest = QString("Do Not Import").size();
            int widest = bold.horizontalAdvance("Do Not Import");
            for (const QString &line : RosterLines) {
                longest = std::max(longest, line.split(',').value(c).size());
                widest = std::max(widest, regular.horizontalAdvance(line.split(',').value(c)));
            }
            const int width = page2()->dgImportTable->columnWidth(c);
            QVERIFY(width >= int(longest * 7));
            QVERIFY2(width >= widest + 2, qPrintable(QString("column %1: %2 < %3").arg(c).arg(width).arg(widest + 2)));
            QVERIFY(width <= std::max(int(longest * 7), widest + 8));
        }
        QCOMPARE(page2()->dgImportTable->verticalHeader()->defaultSectionSize(), 20);
        QCOMPARE(page2()->dgImportTable->horizontalHeader()->height(), 20);

        // Painted colours: title row button face, unmapped data grey.
        const QImage shot = page2()->dgImportTable->grab().toImage();
        QCOMPARE(cellColour(shot, 1, 0), QColor(128, 128, 128));
        TImportGrid *grid = page2()->dgImportTable;
        const QPoint title = grid->TitlePoint(1) + QPoint(0, 6);
        QCOMPARE(shot.pixelColor(title * shot.devicePixelRatio()), QApplication::palette().color(QPalette::Button));
    }

    void ignoreHeaderDropsTheFirstRow()
    {
        QTest::mouseClick(page2()->cbIgnoreHeader, Qt::LeftButton);
        QVERIFY(page2()->cbIgnoreHeader->isChecked());
        QVERIFY(page2()->Table().IgnoreHeader);
        QCOMPARE(gridModel()->rowCount(), RosterLines.size() - 1);
        QCOMPARE(gridModel()->data(gridModel()->index(0, 0)).toString(), QString("HOLLIS"));
        // The title row shows field titles, never the file's header.
        QCOMPARE(gridModel()->headerData(0, Qt::Horizontal).toString(), QString("Do Not Import"));
    }

    void identifyingTheRequiredColumns()
    {
        mapColumn(3, "SSN");
        QCOMPARE(page2()->Table().GetFieldKind(3), fkSSN);
        QCOMPARE(gridModel()->data(gridModel()->index(0, 3)).toString(), QString("912345678"));
        QCOMPARE(gridModel()->headerData(3, Qt::Horizontal).toString(), QString("SSN"));
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("You must identify the following column(s): Last Name, Rank, Gender"));
        QCOMPARE(statusColour(), QColor(255, 0, 0));
        QVERIFY(!page2()->btnNext->isEnabled());

        mapColumn(0, "LastName");
        mapColumn(4, "Rank");
        QCOMPARE(page2()->pnlStatus->text(), QString("You must identify the following column(s): Gender"));
        QVERIFY(!page2()->btnNext->isEnabled());
        mapColumn(5, "Gender");
        QCOMPARE(gridModel()->data(gridModel()->index(0, 5)).toString(), QString("M"));
        QCOMPARE(page2()->pnlStatus->text(), QString("All necessary fields have been identified."));
        QCOMPARE(statusColour(), QColor(Qt::black));
        QVERIFY(page2()->btnNext->isEnabled());

        // Mapped columns are drawn in the window colour, unmapped ones grey.
        page2()->dgImportTable->scrollToTop();
        page2()->dgImportTable->horizontalScrollBar()->setValue(0);
        const QImage shot = page2()->dgImportTable->grab().toImage();
        QCOMPARE(cellColour(shot, 0, 0), QApplication::palette().color(QPalette::Base));
        QCOMPARE(cellColour(shot, 1, 0), QColor(128, 128, 128));

        // Un-mapping a required column takes Next away again.
        mapColumn(4, "Do Not Import");
        QVERIFY(!page2()->btnNext->isEnabled());
        QCOMPARE(page2()->pnlStatus->text(), QString("You must identify the following column(s): Rank"));
        mapColumn(4, "Rank");
        QVERIFY(page2()->btnNext->isEnabled());
    }

    void twoOrganizationColumns()
    {
        mapColumn(6, "Organization");
        mapColumn(2, "Organization");
        QCOMPARE(gridModel()->headerData(2, Qt::Horizontal).toString(), QString("Organization 1"));
        QCOMPARE(gridModel()->headerData(6, Qt::Horizontal).toString(), QString("Organization 2"));
        // Wide enough for its title.
        QVERIFY(page2()->dgImportTable->columnWidth(2) >= QString("Organization 1").size() * 7);
        mapColumn(2, "Initial");
        QCOMPARE(gridModel()->headerData(6, Qt::Horizontal).toString(), QString("Organization"));
    }

    void fieldListOpensOnlyOnATitleClick()
    {
        TImportGrid *grid = page2()->dgImportTable;
        grid->horizontalScrollBar()->setValue(0);
        // A data cell opens nothing.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(gridModel()->index(1, 1)).center());
        QVERIFY(!page2()->lbFields->isVisible());
        // Pressed on one title, released on another: nothing.
        QHeaderView *h = grid->horizontalHeader();
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, headerPoint(0));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, headerPoint(1));
        QVERIFY(!page2()->lbFields->isVisible());
        QCOMPARE(page2()->MapColumn(), -1);

        // Opened: placed at the click, inside the grid; its column drawn navy until it closes.
        clickTitle(1);
        QListWidget *list = page2()->lbFields;
        QVERIFY(list->isVisible());
        QCOMPARE(list->size(), QSize(121, 132));
        QVERIFY(list->geometry().right() <= grid->geometry().right());
        QCOMPARE(list->y(), grid->y() + grid->TitlePoint(1).y());
        QVERIFY(list->selectedItems().isEmpty());
        const QImage shot = grid->grab().toImage();
        QCOMPARE(cellColour(shot, 1, 3), QColor(0, 0, 128));
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!list->isVisible());
        QCOMPARE(page2()->MapColumn(), -1);
        QVERIFY(page2()->isVisible());   // Escape closed the list, not the page
        QCOMPARE(page2()->Table().GetFieldKind(1), fkDoNotImport);
    }

    void nextAndBackKeepTheMapping()
    {
        QVERIFY(page2()->btnNext->isEnabled());
        QTest::mouseClick(page2()->btnNext, Qt::LeftButton);
        QVERIFY(!page2()->isVisible());
        QVERIFY(frmSelectionParameters->isVisible());
        // Back through page 1 with the same file: nothing is read again.
        frmSelectionParameters->hide();
        page2()->show();
        QTest::mouseClick(page2()->btnPrevious, Qt::LeftButton);
        QVERIFY(page1()->isVisible());
        QCOMPARE(page1()->VornDirView->SelectedFileName(), QString("roster.csv"));
        QTest::mouseClick(page1()->btnNext, Qt::LeftButton);
        QCOMPARE(page2()->Table().GetFieldKind(3), fkSSN);
        QVERIFY(page2()->cbIgnoreHeader->isChecked());
        QVERIFY(page2()->btnNext->isEnabled());
    }

    void fileTypeSwitchCarriesTheMapping()
    {
        openOnPage2("tabbed.txt");
        // Another file than before: read afresh, with no mapping.
        QCOMPARE(gridModel()->columnCount(), 1);
        QVERIFY(!page2()->cbIgnoreHeader->isChecked());
        mapColumn(0, "LastName");
        QTest::mouseClick(page2()->cbIgnoreHeader, Qt::LeftButton);

        page2()->cbFileType->setFocus();
        QTest::keyClick(page2()->cbFileType, Qt::Key_Down);
        QCOMPARE(page2()->cbFileType->currentText(), QString("Tab Delimeted"));
        QCOMPARE(page2()->FileType(), iftTabText);
        QCOMPARE(gridModel()->columnCount(), 7);
        QCOMPARE(page2()->Table().GetFieldKind(0), fkLastName);
        QVERIFY(page2()->cbIgnoreHeader->isChecked());
        QCOMPARE(gridModel()->data(gridModel()->index(0, 0)).toString(), QString("HOLLIS"));
        QVERIFY(errors.isEmpty());

        // Back to comma: one column cannot carry a mapping that reaches column 5.
        mapColumn(5, "Gender");
        QTest::keyClick(page2()->cbFileType, Qt::Key_Up);
        QCOMPARE(page2()->FileType(), iftCommaText);
        QCOMPARE(errors, QStringList({"This template has too many fields for this data - template not applied."}));
        QVERIFY(!frmWaiting->isVisible());
        QCOMPARE(gridModel()->columnCount(), 1);
        QCOMPARE(page2()->Table().GetFieldKind(0), fkDoNotImport);
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("You must identify the following column(s): Last Name, SSN, Rank, Gender"));
        QVERIFY(!page2()->btnNext->isEnabled());
        QVERIFY(page2()->isVisible());
    }

    void releaseRightOfTheLastColumn()
    {
        // One narrow column: the title row is mostly empty space.
        TImportGrid *grid = page2()->dgImportTable;
        QCOMPARE(gridModel()->columnCount(), 1);
        QHeaderView *h = grid->horizontalHeader();
        const QPoint first = headerPoint(0);
        const QPoint beyond(h->viewport()->width() - 5, first.y());
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, beyond);
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, beyond);
        QVERIFY(!page2()->lbFields->isVisible());
        QCOMPARE(grid->ColumnAt(grid->width() - 5), 1);
    }

    void upperCaseExcelExtension()
    {
        openOnPage2("ROSTER2.XLS");
        QCOMPARE(page2()->cbFileType->currentText(), QString("MS Excel"));
        QCOMPARE(page2()->FileType(), iftExcel);
        QCOMPARE(gridModel()->rowCount(), 41);   // header and 40 people
        QCOMPARE(gridModel()->columnCount(), 9);
        QCOMPARE(gridModel()->data(gridModel()->index(0, 0)).toString(), QString("LAST"));
    }

    void profileWithoutRankAndGender()
    {
        ServiceUtils->RankRequired = false;
        ServiceUtils->GenderRequired = false;
        openOnPage2("roster.csv");
        QCOMPARE(page2()->pnlStatus->text(), QString("You must identify the following column(s): Last Name, SSN"));
        mapColumn(0, "LastName");
        mapColumn(3, "SSN");
        QVERIFY(page2()->btnNext->isEnabled());
        // the header, not ignored, would be a member without an SSN
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("All necessary fields have been identified. 1 member has no valid SSN."));
        ServiceUtils->RankRequired = true;
        ServiceUtils->GenderRequired = true;
    }

    // Upper-case Arial is wider than 7 pixels a character: every column still shows its
    // widest cell whole, also one far below the first rows.
    void columnsShowTheirWidestText()
    {
        QByteArray bytes = "LAST,FIRST,MI,SSN,RANK,SEX,ORG\r\n";
        for (int i = 0; i < 600; ++i) {
            const QByteArray org = i == 517 ? "HHC 1ST SQDN 7TH CAV WWMMWW" : "HHC 1-7 CAV";
            bytes += "NAME" + QByteArray::number(i) + ",ANN,A,9" + QByteArray::number(10000000 + i)
                     + ",SGT,M," + org + "\r\n";
        }
        const QString dir = FWideDir;
        writeFile(dir + "wide.csv", bytes);
        openOnPage2("wide.csv", dir);
        TImportGrid *grid = page2()->dgImportTable;
        const QFontMetrics metrics(grid->font());
        QCOMPARE(gridModel()->data(gridModel()->index(518, 6)).toString(), QString("HHC 1ST SQDN 7TH CAV WWMMWW"));
        const int org = grid->columnWidth(6);
        QVERIFY2(org >= metrics.horizontalAdvance("HHC 1ST SQDN 7TH CAV WWMMWW") + 2, qPrintable(QString::number(org)));
        QVERIFY(org > 27 * 7);   // wider than the count of characters gives
        for (int c = 0; c < gridModel()->columnCount(); ++c)
            for (int r : {0, 1, 300, 600})
                QVERIFY(grid->columnWidth(c) >= metrics.horizontalAdvance(gridModel()->index(r, c).data().toString()) + 2);

        // Measuring a roster of 100,000 rows stays quick.
        TImportTable big;
        for (int i = 0; i < 100000; ++i)
            big.AddRow({QStringLiteral("NAME%1").arg(i), QStringLiteral("FIRST"), QStringLiteral("A"),
                        QStringLiteral("9%1").arg(i, 8, 10, QChar('0')), QStringLiteral("SPC"), QStringLiteral("M"),
                        QStringLiteral("HHC %1 CAV").arg(i % 50)});
        TImportGrid measured;
        QElapsedTimer t;
        t.start();
        measured.MeasureCells(&big);
        const qint64 ms = t.elapsed();
        qInfo("measuring 100,000 rows of 7 columns: %lld ms", ms);
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
        QVERIFY(measured.FittingWidth(0, "Do Not Import", 0)
                >= QFontMetrics(measured.font()).horizontalAdvance("NAME99999"));
    }

    // The wait window is on top of everything: it steps aside while the user picks the
    // database table, and comes back for the rest of the load.
    void waitWindowStepsAsideForTheTableChooser()
    {
        const QString dir = FAccessDir;
        QFile::remove(dir + "roster.mdb");
        QVERIFY(QFile::copy(testing_registry::dataPath("roster.mdb"), dir + "roster.mdb"));
        InstallTableChooser();
        bool waitingWhileChoosing = true;
        bool waitingBefore = false;
        bool chooserShown = false;
        SetSelectTableHook([&](TfrmSelectTable &dlg) {
            dlg.show();
            chooserShown = dlg.isVisible();
            waitingWhileChoosing = frmWaiting->isVisible();
            QTest::mouseClick(dlg.ListBox->viewport(), Qt::LeftButton, {},
                              dlg.ListBox->visualItemRect(dlg.ListBox->item(0)).center());
            QTest::mouseClick(dlg.btnOK, Qt::LeftButton);
            return dlg.result();
        });
        // The wait window is up when the chooser is asked for.
        SetTableChooser([&](const QStringList &tables, QString &chosen) {
            waitingBefore = frmWaiting->isVisible();
            return ChooseTable(tables, chosen);
        });
        openOnPage2("roster.mdb", dir);
        SetSelectTableHook({});
        SetTableChooser({});
        QVERIFY(chooserShown);
        QVERIFY(waitingBefore);
        QVERIFY(!waitingWhileChoosing);
        QVERIFY(!frmWaiting->isVisible());   // closed at the end of the load
        QCOMPARE(page2()->cbFileType->currentText(), QString("MS Access"));
        QVERIFY(gridModel()->rowCount() > 0);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void bigRosterShowsAtOnce()
    {
        QByteArray bytes = "LAST,FIRST,MI,SSN,RANK,SEX,ORG\r\n";
        const int rows = 100000;
        for (int i = 0; i < rows; ++i)
            bytes += QStringLiteral("NAME%1,FIRST%2,A,9%3,SPC,M,HHC 1-1 IN\r\n")
                         .arg(i).arg(i % 97).arg(i, 8, 10, QChar('0')).toLatin1();
        writeFile(FBigDir + "big.csv", bytes);
        QElapsedTimer load;
        load.start();
        openOnPage2("big.csv", FBigDir);
        qInfo("load of %d rows: %lld ms", rows, load.elapsed());
        QCOMPARE(gridModel()->rowCount(), rows + 1);

        TImportGrid *grid = page2()->dgImportTable;
        QElapsedTimer paint;
        paint.start();
        grid->grab();
        grid->scrollToBottom();
        const QImage bottom = grid->grab().toImage();
        for (int step = 0; step < 20; ++step) {
            grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() - 25);
            grid->grab();
        }
        const qint64 ms = paint.elapsed();
        qInfo("22 full paints of the grid: %lld ms", ms);
        QVERIFY2(ms < 2000, qPrintable(QString::number(ms)));
        QCOMPARE(gridModel()->data(gridModel()->index(rows, 0)).toString(), QString("NAME%1").arg(rows - 1));
        QVERIFY(!bottom.isNull());
    }

    // A reader that fails leaves page 2 as it was: same roster, same mapping, same file
    // type, and the same choice can be made again.
    void failedReadingKeepsThePage()
    {
        openOnPage2("roster.csv");
        mapColumn(0, "LastName");
        const QString path = FDir + "roster.csv";
        qputenv("CORVANE_IMPORT_TEST_CRASH", "abort");
        page2()->cbFileType->setFocus();
        QTest::keyClick(page2()->cbFileType, Qt::Key_Down);
        qunsetenv("CORVANE_IMPORT_TEST_CRASH");
        QCOMPARE(errors, QStringList({QString("Cannot read '%1': the file is damaged (the reader stopped unexpectedly (signal 6)).").arg(path)}));
        QVERIFY(!frmWaiting->isVisible());
        QVERIFY(page2()->isVisible());
        QCOMPARE(page2()->cbFileType->currentText(), QString("Comma Delimited"));
        QCOMPARE(page2()->FileType(), iftCommaText);
        QCOMPARE(gridModel()->rowCount(), RosterLines.size());
        QCOMPARE(gridModel()->columnCount(), 7);
        QCOMPARE(page2()->Table().GetFieldKind(0), fkLastName);
        QCOMPARE(gridModel()->data(gridModel()->index(1, 0)).toString(), QString("HOLLIS"));

        errors.clear();
        QTest::keyClick(page2()->cbFileType, Qt::Key_Down);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(page2()->FileType(), iftTabText);
        QCOMPARE(gridModel()->columnCount(), 1);
        QCOMPARE(page2()->Table().GetFieldKind(0), fkLastName);
    }

    // Damaged files chosen on page 1: an error box naming the file, and page 2 still works.
    void damagedFilesFromPageOne()
    {
        const QString dir = WithTrailingSeparator(QDir(FTemp.path()).canonicalPath()) + "Damaged/";
        for (const QString &name : DamagedNames) {
            errors.clear();
            openOnPage2(name, dir);
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(dir + name), qPrintable(errors.first()));
            QVERIFY(!frmWaiting->isVisible());
            QVERIFY(page2()->isVisible());
            QCOMPARE(gridModel()->rowCount(), 0);
            QCOMPARE(page2()->pnlStatus->text(),
                     QString("You must identify the following column(s): Last Name, SSN, Rank, Gender"));
            QVERIFY(page2()->btnPrevious->isEnabled());
        }
        // back to page 1 and a sound roster
        QTest::mouseClick(page2()->btnPrevious, Qt::LeftButton);
        QVERIFY(page1()->isVisible());
        errors.clear();
        openOnPage2("roster.csv");
        QVERIFY(errors.isEmpty());
        QCOMPARE(gridModel()->rowCount(), RosterLines.size());
    }

    // While the reader works the event loop runs: the wait window repaints, shows how far
    // it has come, and the close box ends the reading at once.
    // Nothing left out in silence: rows after a spacer are asked about, members without an SSN
    // and formulas without values are named before the draw.
    void nothingLeftOutInSilence()
    {
        const QString dir = WithTrailingSeparator(QDir(FTemp.path()).canonicalPath()) + "Silence/";
        QStringList questions;
        int reply = mrNo;
        SetMessageDlgHook([&](const QString &text, TMsgDlgType, TMsgDlgButtons) {
            questions << text;
            return reply;
        });
        const auto mapRequired = [&] {
            if (!page2()->cbIgnoreHeader->isChecked())
                QTest::mouseClick(page2()->cbIgnoreHeader, Qt::LeftButton);
            mapColumn(0, "LastName");
            mapColumn(3, "SSN");
            mapColumn(4, "Rank");
            mapColumn(5, "Gender");
        };

        // No: the roster ends at the spacer, as before.
        openOnPage2("spacer.xlsx", dir);
        QCOMPARE(questions, QStringList({"Rows 33 to 62 follow an empty cell in column A at row 32 and are not in "
                                         "the roster. Read them too?"}));
        QCOMPARE(page2()->Table().RowCount(), 31);
        // Yes: every row with data.
        reply = mrYes;
        openOnPage2("roster.csv", dir);
        openOnPage2("spacer.xlsx", dir);
        QCOMPARE(questions.size(), 2);
        QCOMPARE(page2()->Table().RowCount(), 61);
        QVERIFY(page2()->Table().SkipBlankRows);
        mapRequired();
        QCOMPARE(page2()->pnlStatus->text(), QString("All necessary fields have been identified."));
        QVERIFY(errors.isEmpty());

        // Members without a valid SSN, on page 2 and on page 3.
        openOnPage2("nossn.csv", dir);
        QCOMPARE(questions.size(), 2);   // a text file has no rows after its end
        mapRequired();
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("All necessary fields have been identified. 2 members have no valid SSN."));
        QCOMPARE(page2()->pnlStatus->toolTip(), QString("Rows without a valid SSN: 2, 4"));
        // The header row counts while it is read as a member, and no longer once it is not.
        QTest::mouseClick(page2()->cbIgnoreHeader, Qt::LeftButton);
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("All necessary fields have been identified. 3 members have no valid SSN."));
        QTest::mouseClick(page2()->cbIgnoreHeader, Qt::LeftButton);
        QCOMPARE(page2()->pnlStatus->text(),
                 QString("All necessary fields have been identified. 2 members have no valid SSN."));
        QCOMPARE(page2()->pnlStatus->toolTip(), QString("Rows without a valid SSN: 2, 4"));
        QTest::mouseClick(page2()->btnNext, Qt::LeftButton);
        QVERIFY(frmSelectionParameters->isVisible());
        QCOMPARE(frmSelectionParameters->pnlStatus->text(),
                 QString("Roster Count = 5    2 members have no valid SSN (sort by SSN to list them first)"));
        QCOMPARE(frmSelectionParameters->pnlStatus->toolTip(), QString("PRUITT\nVANTERPOOL"));   // first names not mapped

        // Formulas saved without values: Next says which column and how many, and stays.
        openOnPage2("formulas.xlsx", dir);
        mapRequired();
        QTest::mouseClick(page2()->btnNext, Qt::LeftButton);
        QVERIFY(page2()->isVisible());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains("column 4 (SSN), 60 cells"), qPrintable(errors.first()));
    }

    void slowReadingKeepsTheWindowAlive()
    {
        page2()->hide();
        page1()->show();
        typeFolder(WithTrailingSeparator(QDir(FTemp.path()).canonicalPath()) + "Slow/");
        QVERIFY(clickFile("slow.csv"));
        qputenv("CORVANE_IMPORT_TEST_CRASH", "slow");
        qputenv("CORVANE_IMPORT_TEST_DELAY_MS", "20000");
        PaintCounter counter;
        frmWaiting->installEventFilter(&counter);
        frmWaiting->pnlMessage->installEventFilter(&counter);
        bool closed = false;
        SetMainFormClosedHandler([&] { closed = true; });
        bool waitingShown = false;
        int paintsBefore = -1, paintsAfter = -1;
        QString progress;
        QObject timers;   // a failed check leaves no timer behind to fire into this frame
        QTimer::singleShot(600, &timers, [&] {
            waitingShown = frmWaiting->isVisible();
            paintsBefore = counter.paints;
            frmWaiting->update();
        });
        QTimer::singleShot(1500, &timers, [&] {
            paintsAfter = counter.paints;
            progress = frmWaiting->lblProgress->isVisible() ? frmWaiting->lblProgress->text() : QString();
            page2()->close();   // the close box
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(page1()->btnNext, Qt::LeftButton);
        const qint64 ms = clock.elapsed();
        qunsetenv("CORVANE_IMPORT_TEST_CRASH");
        qunsetenv("CORVANE_IMPORT_TEST_DELAY_MS");
        frmWaiting->removeEventFilter(&counter);
        frmWaiting->pnlMessage->removeEventFilter(&counter);
        SetMainFormClosedHandler([] {});
        QVERIFY2(ms < 10000, qPrintable(QString::number(ms)));
        QVERIFY(waitingShown);
        QVERIFY2(paintsAfter > paintsBefore, qPrintable(QString("%1 %2").arg(paintsBefore).arg(paintsAfter)));
        QCOMPARE(progress, QString("0 rows read"));
        QVERIFY(closed);
        QVERIFY(!frmWaiting->isVisible());
        QVERIFY(errors.isEmpty());
        QCOMPARE(gridModel()->rowCount(), 0);
    }

    // Page 2 from the keyboard alone: the grid has the focus when the page opens, the arrow
    // keys walk the columns (the column is marked), Space, Enter, Alt+Down, Shift+F10 and the
    // menu key open the same field list the mouse opens, the choice returns the focus to the
    // grid, Tab and Ctrl+Tab leave the grid, and Enter elsewhere presses Next.
    void mappingFromTheKeyboard()
    {
        openOnPage2("keys.csv", FKeysDir);
        TfrmFormatRoster *page = page2();
        TImportGrid *grid = page->dgImportTable;
        QApplication::setActiveWindow(page);
        QVERIFY(QTest::qWaitForWindowActive(page));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QVERIFY(page->btnNext->isDefault());
        QVERIFY(!grid->tabKeyNavigation());
        QCOMPARE(gridModel()->columnCount(), 7);
        QCOMPARE(grid->FocusColumn(), 0);
        QVERIFY(grid->accessibleDescription().startsWith("Column 1 of 7"));

        // the focused column's title carries a frame in the highlight colour
        {
            const QImage shot = grid->grab().toImage();
            const QPoint title = grid->TitlePoint(0);
            const QPoint frame(title.x() - grid->columnWidth(0) / 2 + 2, title.y());
            QCOMPARE(shot.pixelColor(frame * shot.devicePixelRatio()), grid->palette().color(QPalette::Highlight));
        }

        struct Step
        {
            QList<QKeyCombination> open;   // moves, then the key that opens the list
            int downs;                     // Down presses from the column's present kind
            Qt::Key choose;
            TImportFieldKind kind;
        };
        const QList<Step> steps = {
            {{Qt::Key_Space}, 2, Qt::Key_Return, fkLastName},
            {{Qt::Key_Right, Qt::Key_Enter}, 1, Qt::Key_Enter, fkFirstName},
            {{Qt::Key_Right, Qt::Key_Right, Qt::Key_F2}, 4, Qt::Key_Return, fkSSN},
            {{Qt::Key_Right, QKeyCombination(Qt::AltModifier, Qt::Key_Down)}, 5, Qt::Key_Return, fkRank},
            {{Qt::Key_Right, QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}, 6, Qt::Key_Space, fkGender},
        };
        int expectedColumn = 0;
        for (const Step &step : steps) {
            for (const QKeyCombination &key : step.open) {
                if (key.key() == Qt::Key_Right)
                    ++expectedColumn;
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            }
            QVERIFY2(page->lbFields->isVisible(), qPrintable(QString::number(expectedColumn)));
            QCOMPARE(page->MapColumn(), expectedColumn);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(page->lbFields));
            QCOMPARE(page->lbFields->currentRow(), 0);   // "Do Not Import", what it holds now
            // the list opens under the column's title, inside the page
            QVERIFY(page->lbFields->geometry().top() >= grid->geometry().top() + grid->TitleBottom() - 1);
            for (int i = 0; i < step.downs; ++i)
                QTest::keyClick(page->lbFields, Qt::Key_Down);
            QTest::keyClick(page->lbFields, step.choose);
            QVERIFY(!page->lbFields->isVisible());
            QCOMPARE(page->Table().GetFieldKind(expectedColumn), step.kind);
            // the focus is back on the grid, never on Previous
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
            QCOMPARE(grid->FocusColumn(), expectedColumn);
        }
        QVERIFY(page->btnNext->isEnabled());
        // (the header, not ignored yet, counts as a member without an SSN)
        QCOMPARE(page->pnlStatus->text(), QString("All necessary fields have been identified. 1 member has no valid SSN."));

        // the menu key opens the list on the column's kind; Escape leaves it unchanged
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(grid->FocusColumn(), 0);
        QTest::keyClick(grid, Qt::Key_Menu);
        QCOMPARE(page->lbFields->currentItem()->text(), QString("LastName"));
        QTest::keyClick(page->lbFields, Qt::Key_Down);
        QTest::keyClick(page->lbFields, Qt::Key_Escape);
        QVERIFY(!page->lbFields->isVisible());
        QCOMPARE(page->Table().GetFieldKind(0), fkLastName);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->FocusColumn(), 6);
        QTest::keyClick(grid, Qt::Key_Right);   // stays on the last column
        QCOMPARE(grid->FocusColumn(), 6);

        // no Tab trap: Tab, Shift+Tab and Ctrl+Tab leave the grid
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != grid);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(page->btnPrevious));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QTest::keyClick(grid, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(page->cbIgnoreHeader));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(grid));
        QTest::keyClick(grid, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(QApplication::focusWidget() != grid);
        grid->setFocus();

        // Space on "Ignore Header" ticks it; Enter there presses Next, the default button
        page->cbIgnoreHeader->setFocus();
        QTest::keyClick(page->cbIgnoreHeader, Qt::Key_Space);
        QVERIFY(page->cbIgnoreHeader->isChecked());
        QCOMPARE(gridModel()->rowCount(), RosterLines.size() - 1);
        QTest::keyClick(page->cbIgnoreHeader, Qt::Key_Return);
        QVERIFY(!page->isVisible());
        QVERIFY(frmSelectionParameters->isVisible());
        QCOMPARE(frmSelectionParameters->MemberCount(), RosterLines.size() - 1);
        frmSelectionParameters->hide();
    }
};

CORVANE_TEST(TestPages12)
#include "tst_pages12.moc"
