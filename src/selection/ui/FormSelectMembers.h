#pragma once
#include "app/ui/WizTemplate.h"

class TfrmSelectMembers : public TfrmWizTemplate
{
    Q_OBJECT
public:
    explicit TfrmSelectMembers(QWidget *parent = nullptr);

protected:
    void btnPreviousClick() override;
    void btnFinishClick() override;
};

extern TfrmSelectMembers *frmSelectMembers;
