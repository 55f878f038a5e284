#pragma once
#include <QString>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppLabel;
class TppDBText;
class TppLine;

// The notification copy of the personnel to be tested: a portrait list of the members.
class TrptNotificationCopy
{
public:
    TrptNotificationCopy();
    ~TrptNotificationCopy();
    TrptNotificationCopy(const TrptNotificationCopy &) = delete;
    TrptNotificationCopy &operator=(const TrptNotificationCopy &) = delete;

    void Print(TppJITPipeline *history);

    std::unique_ptr<TppReport> pprptNotificationCopy;
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
    TppLabel *lblGender = nullptr;
    // detail band dbHistory
    TppDBText *dbtxtRank = nullptr;
    TppDBText *dbtxtFullName = nullptr;
    TppDBText *ppDBSSN = nullptr;
    TppDBText *dbtxtOrganization = nullptr;
    TppDBText *dbtxtPremise = nullptr;
    TppDBText *dbtxtGender = nullptr;

    // The SSN as printed: the last four digits only when the profile masks it.
    void ppDBSSNGetText(QString &text);
    void pprptNotificationCopyPreviewFormCreate();
};
