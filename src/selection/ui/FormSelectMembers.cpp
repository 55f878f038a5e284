#include "FormSelectMembers.h"

#include "products/ui/FormPrintProducts.h"
#include "selection/ui/FormSelectionParameters.h"

#include <QLabel>
#include <QPushButton>

TfrmSelectMembers *frmSelectMembers = nullptr;

TfrmSelectMembers::TfrmSelectMembers(QWidget *parent)
    : TfrmWizTemplate(parent)
{
    setObjectName(QStringLiteral("frmSelectMembers"));
    lblTitle->setText(QStringLiteral("Select Members for Testing"));
    lblDescription->setText(QStringLiteral("Move the members to be tested to the selected list."));
    btnNext->setEnabled(false);
}

void TfrmSelectMembers::btnPreviousClick()
{
    TfrmWizTemplate::btnPreviousClick();
    frmSelectionParameters->show();
}

void TfrmSelectMembers::btnFinishClick()
{
    TfrmWizTemplate::btnFinishClick();
    frmPrintProducts->show();
}
