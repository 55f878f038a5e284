#include "products/RBNotificationCopy.h"
#include "products/ReportForms.h"

#include "app/ServiceUtilsUnit.h"
#include "report/ReportModel.h"

namespace {
const QString Arial = QStringLiteral("Arial");
}

TrptNotificationCopy::TrptNotificationCopy()
    : pprptNotificationCopy(std::make_unique<TppReport>())
{
    TppReport *r = pprptNotificationCopy.get();
    BuildTitles(*r, QStringLiteral("pprptNotificationCopy"), QStringLiteral("Notification Copy"), 88106, 26723, 4233);
    r->OnPreviewFormCreate = [this] { pprptNotificationCopyPreviewFormCreate(); };

    TppBand *h = r->Header();
    const TppFont f11 = ppFont(Arial, 11);
    lblRank = addLabel(h, QStringLiteral("lblRank"), 1059, 17653, 8996, 4498, QStringLiteral("Rank"), f11);
    lblName = addLabel(h, QStringLiteral("lblName"), 14816, 17653, 10319, 4498, QStringLiteral("Name"), f11);
    lblSSN = addLabel(h, QStringLiteral("lblSSN"), 82550, 17727, 7938, 4498, QStringLiteral("SSN"), f11);
    lblOrg = addLabel(h, QStringLiteral("lblOrg"), 106627, 17727, 21960, 4498, QStringLiteral("Organization"), f11);
    lblPremise = addLabel(h, QStringLiteral("lblPremise"), 175684, 17653, 15081, 4498, QStringLiteral("Premise"), f11);
    lblGender = addLabel(h, QStringLiteral("lblGender"), 193940, 17653, 6615, 4498, QStringLiteral("M/F"), f11);

    TppBand *d = r->Detail();
    d->UserName = QStringLiteral("dbHistory");
    d->mmHeight = 6879;
    const TppFont f10 = ppFont(Arial, 10, 0, Qt::black);
    dbtxtRank = addDBText(d, QStringLiteral("dbtxtRank"), 1058, 1323, 12700, 4498, QStringLiteral("Rank"), f10);
    dbtxtFullName = addDBText(d, QStringLiteral("dbtxtFullName"), 14817, 1323, 66146, 4498,
                              QStringLiteral("FullName"), f10);
    ppDBSSN = addDBText(d, QStringLiteral("ppDBSSN"), 82550, 1323, 21696, 4498, QStringLiteral("SSN"), f10,
                        taLeftJustified, QStringLiteral("000\\-00\\-0000;0;_"));
    ppDBSSN->OnGetText = [this](QString &text) { ppDBSSNGetText(text); };
    dbtxtOrganization = addDBText(d, QStringLiteral("dbtxtOrganization"), 106627, 1323, 67469, 4498,
                                  QStringLiteral("FullPoolName"), f10);
    dbtxtPremise = addDBText(d, QStringLiteral("dbtxtPremise"), 175685, 1323, 17198, 4498,
                             QStringLiteral("Premise"), f10);
    dbtxtGender = addDBText(d, QStringLiteral("dbtxtGender"), 193940, 1323, 7408, 4498, QStringLiteral("Gender"), f10);
    FitTexts();
}

TrptNotificationCopy::~TrptNotificationCopy() = default;

void TrptNotificationCopy::ppDBSSNGetText(QString &text)
{
    if (ServiceUtils && ServiceUtils->MaskSsnOnNotification)
        text = text.mid(7, 4);
}

void TrptNotificationCopy::pprptNotificationCopyPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprptNotificationCopy);
}
