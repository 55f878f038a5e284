#pragma once
#include "app/ui/WizTemplate.h"

class TfrmSelectionParameters : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmSelectionParameters(QWidget *parent = nullptr);

protected:
    void btnPreviousClick() override;
    void btnNextClick() override;
    void btnFinishClick() override;
};

extern TfrmSelectionParameters *frmSelectionParameters;
