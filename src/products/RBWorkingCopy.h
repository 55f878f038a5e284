#pragma once
#include "products/RBPersonnelCopy.h"

#include <memory>

// The working copy of the personnel to be tested, with blanks for "Due Back" and "Rationale".
class TrptWorkingCopy : public TrptPersonnelCopy
{
public:
    TrptWorkingCopy();
    ~TrptWorkingCopy();

    std::unique_ptr<TppReport> pprptWorkingCopy;
    TppLabel *lblDueBack = nullptr;
    TppLabel *lblRationale = nullptr;
    // detail band
    TppDBText *dbtxtSSN = nullptr;
    TppLine *lnDueBack = nullptr;
    TppLine *lnRationale = nullptr;

    void pprptWorkingCopyPreviewFormCreate();
};
