#pragma once
#include "app/ui/WizTemplate.h"

class TfrmChooseRosterFile : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmChooseRosterFile(QWidget *parent = nullptr);

protected:
    void btnNextClick() override;
};

extern TfrmChooseRosterFile *frmChooseRosterFile;
