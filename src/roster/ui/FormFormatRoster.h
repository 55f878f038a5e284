#pragma once
#include "app/ui/WizTemplate.h"

class TfrmFormatRoster : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmFormatRoster(QWidget *parent = nullptr);

protected:
    void btnPreviousClick() override;
    void btnNextClick() override;
};

extern TfrmFormatRoster *frmFormatRoster;
