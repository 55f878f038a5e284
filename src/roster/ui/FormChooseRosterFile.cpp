#include "FormChooseRosterFile.h"

#include "VornDirView.h"
#include "VornDriveView.h"
#include "app/Settings.h"
#include "app/VORNUtils.h"
#include "app/ui/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

TfrmChooseRosterFile *frmChooseRosterFile = nullptr;
QString RosterFolderArgument;

const QString TfrmChooseRosterFile::RosterMask = QStringLiteral("*.xls;*.xlsx;*.xlsm;*.csv;*.txt;*.mdb;*.dbf;*.ods");

TfrmChooseRosterFile::TfrmChooseRosterFile(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmChooseRosterFile"));
    lblTitle->setText(QStringLiteral("Identify Roster File"));
    lblDescription->setText(QStringLiteral(
        "Browse to the directory that contains your roster file and select it from the list of "
        "available files.  Only files in one of the supported formats (MS Excel, Comma Delimited, "
        "Tab Delimited, MS Access, or DBase) will appear on this screen."));
    FitThreeLineDescription();

    auto *layout = new QVBoxLayout(pnlClient);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    edtDirectory = new QLineEdit(pnlClient);
    edtDirectory->setObjectName(QStringLiteral("edtDirectory"));
    edtDirectory->setAccessibleName(QStringLiteral("Folder"));
    edtDirectory->setToolTip(QStringLiteral("Type a folder and press Enter"));
    edtDirectory->installEventFilter(this);
    layout->addWidget(edtDirectory);

    splViews = new QSplitter(Qt::Horizontal, pnlClient);
    splViews->setObjectName(QStringLiteral("splViews"));
    splViews->setChildrenCollapsible(false);
    VORNDriveView = new TVORNDriveView(splViews);
    VORNDriveView->setObjectName(QStringLiteral("VORNDriveView"));
    VORNDriveView->setAccessibleName(QStringLiteral("Folders"));
    VornDirView = new TVornDirView(splViews);
    VornDirView->setObjectName(QStringLiteral("VornDirView"));
    VornDirView->setAccessibleName(QStringLiteral("Roster files"));
    VornDirView->SetMask(RosterMask);
    splViews->addWidget(VORNDriveView);
    splViews->addWidget(VornDirView);
    splViews->setStretchFactor(1, 1);
    splViews->setSizes({249, ClientWidth - 249});
    layout->addWidget(splViews, 1);

    // The program's own folder holds no rosters: the views open on the folder named on the
    // command line, else the one last used, else Documents, else home.
    VORNDriveView->SetDirView(VornDirView);
    VORNDriveView->SetDirectory(FirstRosterFolder(RosterFolderArgument, LastRosterFolder()));
    VORNDriveViewChange();
    // Handlers are connected once the views are set up, so the status keeps its first text.
    pnlStatus->setText(QStringLiteral("Browse to the directory in which your Roster File is located, "
                                      "select it from the available files, and click <Next>."));
    btnPrevious->setEnabled(false);
    btnNext->setEnabled(false);
    btnFinish->setEnabled(false);

    connect(VORNDriveView, &TVORNDriveView::OnChange, this,
            [this] { RunAction([this] { VORNDriveViewChange(); }, this); });
    connect(VornDirView, &TVornDirView::OnChange, this,
            [this] { RunAction([this] { VornDirViewChange(); }, this); });
    connect(VornDirView, &TVornDirView::OnDblClick, this,
            [this] { RunAction([this] { VornDirViewDblClick(); }, this); });

    const QString programDir = WithTrailingSeparator(QCoreApplication::applicationDirPath());
    AppRootDir = ParentDir(programDir);
    setTabOrder(edtDirectory, VORNDriveView);
    setTabOrder(VORNDriveView, VornDirView);
}

QString TfrmChooseRosterFile::RosterFolder() const { return VORNDriveView->Directory(); }
QString TfrmChooseRosterFile::RosterFileName() const { return VornDirView->SelectedFileName(); }

void TfrmChooseRosterFile::VORNDriveViewChange()
{
    edtDirectory->setText(QDir::toNativeSeparators(VORNDriveView->Directory()));
}

void TfrmChooseRosterFile::edtDirectoryKeyPress()
{
    VORNDriveView->SetDirectory(edtDirectory->text());
    // The edit shows where the tree landed, also when the typed folder does not exist.
    VORNDriveViewChange();
}

void TfrmChooseRosterFile::VornDirViewChange()
{
    const QString name = VornDirView->SelectedFileName();
    btnNext->setEnabled(!name.isEmpty());
    pnlStatus->setText(name.isEmpty()
                           ? QStringLiteral("No Roster File Selected")
                           : QStringLiteral("Roster File: ") + QDir::toNativeSeparators(RosterFolder() + name));
}

void TfrmChooseRosterFile::VornDirViewDblClick()
{
    // A double-click on the list's empty space with no file chosen must not go on.
    if (btnNext->isEnabled())
        btnNextClick();
}

void TfrmChooseRosterFile::btnNextClick()
{
    RememberRosterFolder(RosterFolder());
    TfrmWizTemplate::btnNextClick();
    ShowPage(TWizPage::FormatRoster);
}

bool TfrmChooseRosterFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edtDirectory && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            RunAction([this] { edtDirectoryKeyPress(); }, this);
            return true;   // consumed
        }
    }
    return TfrmWizTemplate::eventFilter(watched, event);
}
