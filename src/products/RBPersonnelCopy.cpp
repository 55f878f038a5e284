#include "products/RBPersonnelCopy.h"
#include "products/ReportForms.h"

#include "app/ServiceUtilsUnit.h"
#include "report/ReportModel.h"

namespace {
const QString Arial = QStringLiteral("Arial");
}

void TrptPersonnelCopy::BuildTitles(TppReport &report, const QString &userName, const QString &copyName,
                                    int copyLeft, int copyWidth, int copyHeight)
{
    m_report = &report;
    TppReport *r = &report;
    r->UserName = userName;
    r->PrinterSetup = LetterSetup(poPortrait);
    r->AllowPrintToFile = true;

    TppBand *h = r->Header();
    h->mmHeight = 23019;
    h->PrintHeight = phDynamic;
    ppLine1 = addLine(h, QStringLiteral("ppLine1"), 0, 16933, 203200, 1000, lpTop, 0.75);
    ppLine2 = addLine(h, QStringLiteral("ppLine2"), 0, 22490, 203200, 500, lpTop, 0.75);
    lblReportTitle = addLabel(h, QStringLiteral("lblReportTitle"), 91546, 1323, 20373, 4763, QString(),
                              ppFont(Arial, 11, fsBold), taCentered);
    Label1 = addLabel(h, QStringLiteral("Label1"), 87313, 6879, 28310, 4233, QStringLiteral("Testing Subjects"),
                      ppFont(Arial, 10, fsBold), taCentered);
    Label2 = addLabel(h, QStringLiteral("Label2"), copyLeft, 11642, copyWidth, copyHeight, copyName,
                      ppFont(Arial, 10), taCentered);
    lblDescription = addDBText(h, QStringLiteral("lblDescription"), 185738, 1852, 17568, 4022,
                               QStringLiteral("Description"), ppFont(Arial, 10), taRightJustified);
    lblDateCollected = addDBText(h, QStringLiteral("lblDateCollected"), 180975, 7673, 22267, 4022,
                                 QStringLiteral("DateToCollect"), ppFont(Arial, 10), taRightJustified,
                                 QStringLiteral("MM/dd/yyyy"));
    lblDateCollected->AutoSize = true;
}

void TrptPersonnelCopy::FitTexts()
{
    for (const auto &c : m_report->Header()->Components())
        if (auto *l = dynamic_cast<TppLabel *>(c.get()))
            l->AutoSize = true;
    for (TppDBText *t : {dbtxtRank, dbtxtFullName, dbtxtOrganization}) {
        t->ShrinkToFit = true;
        t->MinFontSize = DetailMinFontSize;
    }
}

void TrptPersonnelCopy::Print(TppJITPipeline *history)
{
    lblReportTitle->Caption = ServiceUtils ? ServiceUtils->HeaderText : QString();
    PlaceBesideTitles(*lblDescription, {lblReportTitle, Label1, Label2});
    lblDateCollected->DisplayFormat = ServiceUtils ? ServiceUtils->DateFormat : QStringLiteral("MM/dd/yyyy");
    m_report->SetDataPipeline(history);
    m_report->Print();
}
