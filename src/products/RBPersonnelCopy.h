#pragma once
#include <QString>

class TppReport;
class TppJITPipeline;
class TppLabel;
class TppDBText;
class TppLine;

// What the notification and the working copy of the personnel to be tested share: a portrait
// list of the members under the same titles, beginning with the same columns. Each copy owns
// its report, places the columns and adds its own.
class TrptPersonnelCopy
{
public:
    TrptPersonnelCopy(const TrptPersonnelCopy &) = delete;
    TrptPersonnelCopy &operator=(const TrptPersonnelCopy &) = delete;

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
    // detail band dbHistory
    TppDBText *dbtxtRank = nullptr;
    TppDBText *dbtxtFullName = nullptr;
    TppDBText *dbtxtOrganization = nullptr;
    TppDBText *dbtxtPremise = nullptr;

    void Print(TppJITPipeline *history);

protected:
    TrptPersonnelCopy() = default;
    ~TrptPersonnelCopy() = default;

    // The report set up as a portrait list, and the header's lines and titles; Label2 names
    // the copy, in a box of the given left edge and size.
    void BuildTitles(TppReport &report, const QString &userName, const QString &copyName, int copyLeft,
                     int copyWidth, int copyHeight);
    // Once the copy's components are all there: the captions keep their anchor and take the
    // width of their text, so the preview never cuts them, and the long detail texts shrink.
    void FitTexts();

private:
    TppReport *m_report = nullptr;
};
