#pragma once
#include <QString>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppLabel;
class TppDBText;
class TppLine;

// The working copy of the personnel to be tested, with blanks for "Due Back" and "Rationale".
class TrptWorkingCopy
{
public:
    TrptWorkingCopy();
    ~TrptWorkingCopy();
    TrptWorkingCopy(const TrptWorkingCopy &) = delete;
    TrptWorkingCopy &operator=(const TrptWorkingCopy &) = delete;

    void Print(TppJITPipeline *history);

    std::unique_ptr<TppReport> pprptWorkingCopy;
    TppLabel *lblReportTitle = nullptr;
    TppLabel *Label1 = nullptr;
    TppLabel *Label2 = nullptr;
    TppDBText *lblDescription = nullptr;
    TppDBText *lblDateCollected = nullptr;
    TppLine *ppLine1 = nullptr;
    TppLine *ppLine2 = nullptr;
    TppLabel *lblRank = nullptr;
    TppLabel *lblName = nullptr;
    TppLabel *lblSSN = nullptr;
    TppLabel *lblOrg = nullptr;
    TppLabel *lblPremise = nullptr;
    TppLabel *lblDueBack = nullptr;
    TppLabel *lblRationale = nullptr;
    // detail band
    TppDBText *dbtxtRank = nullptr;
    TppDBText *dbtxtFullName = nullptr;
    TppDBText *dbtxtSSN = nullptr;
    TppDBText *dbtxtOrganization = nullptr;
    TppDBText *dbtxtPremise = nullptr;
    TppLine *lnDueBack = nullptr;
    TppLine *lnRationale = nullptr;

    void pprptWorkingCopyPreviewFormCreate();
};
