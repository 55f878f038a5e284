#include "FormSelectionParameters.h"

#include "products/ui/FormPrintProducts.h"
#include "roster/ui/FormFormatRoster.h"
#include "selection/ui/FormSelectMembers.h"

#include <QLabel>

TfrmSelectionParameters *frmSelectionParameters = nullptr;

TfrmSelectionParameters::TfrmSelectionParameters(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmSelectionParameters"));
    lblTitle->setText(QStringLiteral("Choose Testing Parameters"));
    lblDescription->setText(QStringLiteral("Choose the testing premise, the location and how members are selected."));
}

void TfrmSelectionParameters::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    frmFormatRoster->show();
}

void TfrmSelectionParameters::btnNextClick()
{
    TfrmWizTemplate::btnNextClick();
    frmSelectMembers->show();
}

void TfrmSelectionParameters::btnFinishClick()
{
    TfrmWizTemplate::btnFinishClick();
    frmPrintProducts->show();
}
