#pragma once
#include "app/ui/WizTemplate.h"

class QLineEdit;
class QSplitter;
class TVORNDriveView;
class TVornDirView;

// Page 1 and the main window: the user browses to a folder and picks the roster file.
// The choice lives in the two views; page 2 reads it from RosterFolder/RosterFileName.
class TfrmChooseRosterFile : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmChooseRosterFile(QWidget *parent = nullptr);

    QLineEdit *edtDirectory;
    QSplitter *splViews;
    TVORNDriveView *VORNDriveView;
    TVornDirView *VornDirView;

    // The tree's folder (ending in a separator) and the selected file's name (or empty).
    QString RosterFolder() const;
    QString RosterFileName() const;

    static const QString RosterMask;

protected:
    void btnNextClick() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void VORNDriveViewChange();
    void edtDirectoryKeyPress();
    void VornDirViewChange();
    void VornDirViewDblClick();
};

extern TfrmChooseRosterFile *frmChooseRosterFile;
// The folder named on the command line (empty when none); read when page 1 is created.
extern QString RosterFolderArgument;
