#include "FormChooseRosterFile.h"

#include "app/VORNUtils.h"
#include "roster/ui/FormFormatRoster.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

TfrmChooseRosterFile *frmChooseRosterFile = nullptr;

TfrmChooseRosterFile::TfrmChooseRosterFile(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmChooseRosterFile"));
    lblTitle->setText(QStringLiteral("Identify Roster File"));
    lblDescription->setText(QStringLiteral("Choose the folder and the roster file of the unit to be tested."));
    btnPrevious->setEnabled(false);
    btnFinish->setEnabled(false);
    AppRootDir = ParentDir(QCoreApplication::applicationDirPath());
}

void TfrmChooseRosterFile::btnNextClick()
{
    TfrmWizTemplate::btnNextClick();
    frmFormatRoster->show();
}
