#include "FormFormatRoster.h"

#include "roster/ui/FormChooseRosterFile.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QLabel>
#include <QPushButton>

TfrmFormatRoster *frmFormatRoster = nullptr;

TfrmFormatRoster::TfrmFormatRoster(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmFormatRoster"));
    lblTitle->setText(QStringLiteral("Format Roster"));
    lblDescription->setText(QStringLiteral("Identify the roster's columns."));
    btnFinish->setEnabled(false);
}

void TfrmFormatRoster::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    frmChooseRosterFile->show();
}

void TfrmFormatRoster::btnNextClick()
{
    TfrmWizTemplate::btnNextClick();
    frmSelectionParameters->show();
}
