// Takes the user guide's screenshots: drives the wizard over a sample roster as a user would
// and grabs each window with its frame from the screen. Run by scripts/screenshots.sh under
// Xvfb and a window manager.  Usage: corvane-screenshots OUT_DIR EXAMPLES_DIR
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "app/ui/AppStartup.h"
#include "app/ui/Dialogs.h"
#include "products/ui/FormLabelPosition.h"
#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormChooseRosterFile.h"
#include "roster/ui/FormFormatRoster.h"
#include "roster/ui/FormSelectTable.h"
#include "roster/ui/ImportGrid.h"
#include "roster/ui/VornDirView.h"
#include "selection/ui/FormSelectMembers.h"
#include "selection/ui/MemberListModel.h"
#include "selection/ui/FormSelectionParameters.h"
#include "app/ui/Help.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <cstdio>

namespace {
QString g_out;
int g_failures = 0;

void Settle(int ms = 600)
{
    QTest::qWait(ms);
    QCoreApplication::processEvents();
}

// The window as the screen shows it, with the window manager's frame.
void Shot(QWidget *w, const QString &name)
{
    w->raise();
    w->activateWindow();
    Settle();
    const QRect frame = w->frameGeometry();
    const QPixmap pix = w->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString file = QDir(g_out).filePath(name);
    if (pix.isNull() || !pix.save(file)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(file), pix.width(), pix.height());
}

void MapColumn(int col, const QString &entry)
{
    TImportGrid *grid = frmFormatRoster->dgImportTable;
    grid->scrollTo(grid->model()->index(0, col));
    QHeaderView *h = grid->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, h->viewport()->mapFrom(grid, grid->TitlePoint(col)));
    QListWidget *list = frmFormatRoster->lbFields;
    const auto items = list->findItems(entry, Qt::MatchExactly);
    if (items.isEmpty() || !list->isVisible()) {
        std::fprintf(stderr, "could not map column %d to %s\n", col, qPrintable(entry));
        ++g_failures;
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvane-screenshots OUT_DIR EXAMPLES_DIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    // the user's remembered folders and printers stay out of the pictures and untouched
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QCoreApplication::setApplicationName(AppTitle);

    ServiceUtils = new TArmyUtils;
    InstallTableChooser();
    SetMainFormClosedHandler([] {});
    SetMessageDlgHook([](const QString &, TMsgDlgType, TMsgDlgButtons) { return int(mrYes); });
    SetErrorBoxHook([](const QString &text) {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
        ++g_failures;
    });
    // the samples in a folder of their own, so the pictures show no developer's tree
    // (under /home where that may be written: a quieter tree than the temporary folder's)
    const QString base = QFileInfo(QStringLiteral("/home")).isWritable() ? QStringLiteral("/home") : QDir::tempPath();
    QTemporaryDir home(base + QStringLiteral("/unit-XXXXXX"));
    const QString rosters = home.filePath(QStringLiteral("Rosters"));
    QDir().mkpath(rosters);
    const QDir examples(QString::fromLocal8Bit(argv[2]));
    for (const QString &name : examples.entryList({QStringLiteral("*.csv"), QStringLiteral("*.xls")}, QDir::Files))
        QFile::copy(examples.filePath(name), rosters + QLatin1Char('/') + name);
    RosterFolderArgument = rosters;
    CreatePages();

    // 1: the sample rosters
    frmChooseRosterFile->show();
    Settle(1000);
    frmChooseRosterFile->VornDirView->SelectFile(QStringLiteral("sample-roster.csv"));
    Shot(frmChooseRosterFile, QStringLiteral("identify-roster-file.png"));

    // 2: columns mapped, header ignored
    QTest::mouseClick(frmChooseRosterFile->btnNext, Qt::LeftButton);
    Settle(1500);
    const QStringList kinds{QStringLiteral("LastName"), QStringLiteral("FirstName"), QStringLiteral("Initial"),
                            QStringLiteral("SSN"), QStringLiteral("Rank"), QStringLiteral("Gender"),
                            QStringLiteral("Organization")};
    for (int c = 0; c < kinds.size(); ++c)
        MapColumn(c, kinds.at(c));
    QTest::mouseClick(frmFormatRoster->cbIgnoreHeader, Qt::LeftButton);
    frmFormatRoster->dgImportTable->scrollTo(frmFormatRoster->dgImportTable->model()->index(0, 0));
    frmFormatRoster->dgImportTable->setFocus();   // the keyboard's column mark shows
    frmFormatRoster->dgImportTable->SetFocusColumn(3);
    Shot(frmFormatRoster, QStringLiteral("format-roster.png"));

    // 3 and 5: random testing at 25 per cent, location US, then the print page filled in
    QTest::mouseClick(frmFormatRoster->btnNext, Qt::LeftButton);
    Settle();
    for (int i = 0; i < frmSelectionParameters->cbLocationCode->count(); ++i)
        if (frmSelectionParameters->cbLocationCode->itemText(i).startsWith(QLatin1String("US ")))
            frmSelectionParameters->cbLocationCode->setCurrentIndex(i);
    frmSelectionParameters->cmbxPremise->setCurrentIndex(0);
    QTest::mouseClick(frmSelectionParameters->rbPercentage, Qt::LeftButton);
    frmSelectionParameters->edtCount->setText(QStringLiteral("25"));
    frmSelectionParameters->edtAlternates->setValue(3);
    Shot(frmSelectionParameters, QStringLiteral("testing-parameters.png"));

    // 4: a hand selection (Command Directed), two members moved
    frmSelectionParameters->cmbxPremise->setCurrentIndex(2);
    if (frmSelectionParameters->btnNext->isEnabled()) {
        QTest::mouseClick(frmSelectionParameters->btnNext, Qt::LeftButton);
        Settle();
        TfrmSelectMembers *p4 = frmSelectMembers;
        p4->lvAvailable->setFocus();
        QTest::keyClick(p4->lvAvailable, Qt::Key_Down);
        QTest::keyClick(p4->lvAvailable, Qt::Key_Down, Qt::ShiftModifier);
        QTest::mouseClick(p4->btnAddPerson, Qt::LeftButton);
        QTest::keyClick(p4->lvAvailable, Qt::Key_Down);
        Shot(p4, QStringLiteral("select-members.png"));
        QTest::mouseClick(p4->btnPrevious, Qt::LeftButton);
        Settle();
    } else {
        std::fprintf(stderr, "page 3 did not offer Next for a hand selection\n");
        ++g_failures;
    }
    frmSelectionParameters->cmbxPremise->setCurrentIndex(0);
    QTest::mouseClick(frmSelectionParameters->btnFinish, Qt::LeftButton);
    Settle();
    frmPrintProducts->edtBAC->setText(QStringLiteral("HQ"));
    frmPrintProducts->edtUIC->setText(QStringLiteral("WAB1C"));
    frmPrintProducts->mmBlock1->setPlainText(QStringLiteral("HHT, 2-14 CAV\nFORT EXAMPLE, VA 22000"));
    QTest::mouseClick(frmPrintProducts->cb2624Front, Qt::LeftButton);
    QTest::mouseClick(frmPrintProducts->cbBottleLabels, Qt::LeftButton);
    Shot(frmPrintProducts, QStringLiteral("print-products.png"));

    // the label dialog with its calibration
    {
        TfrmLabelPosition dlg;
        dlg.edtLabelCount->setText(QStringLiteral("12"));
        dlg.LoadShift(QStringLiteral("LabelPrinter"));
        dlg.spnShiftRight->setValue(0.5);
        dlg.spnShiftDown->setValue(-1.2);
        dlg.show();
        Shot(&dlg, QStringLiteral("label-position.png"));
    }

    // the help window (F1) on the label sheet
    if (ShowUserGuide(QStringLiteral("The label sheet"))) {
        Shot(HelpWindow(), QStringLiteral("help.png"));
        delete HelpWindow();
    }

    DestroyPages();
    delete ServiceUtils;
    ServiceUtils = nullptr;
    return g_failures == 0 ? 0 : 1;
}
