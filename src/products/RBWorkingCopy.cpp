#include "products/RBWorkingCopy.h"
#include "products/ReportForms.h"

#include "report/ReportModel.h"

namespace {
const QString Arial = QStringLiteral("Arial");
}

TrptWorkingCopy::TrptWorkingCopy()
    : pprptWorkingCopy(std::make_unique<TppReport>())
{
    TppReport *r = pprptWorkingCopy.get();
    BuildTitles(*r, QStringLiteral("pprptWorkingCopy"), QStringLiteral("Working Copy"), 90376, 22183, 4022);
    r->OnPreviewFormCreate = [this] { pprptWorkingCopyPreviewFormCreate(); };

    TppBand *h = r->Header();
    const TppFont f11 = ppFont(Arial, 11);
    lblRank = addLabel(h, QStringLiteral("lblRank"), 1059, 17727, 8996, 4498, QStringLiteral("Rank"), f11);
    lblName = addLabel(h, QStringLiteral("lblName"), 14816, 17727, 10319, 4498, QStringLiteral("Name"), f11);
    lblSSN = addLabel(h, QStringLiteral("lblSSN"), 60061, 17727, 7938, 4498, QStringLiteral("SSN"), f11);
    lblOrg = addLabel(h, QStringLiteral("lblOrg"), 83078, 17727, 21960, 4498, QStringLiteral("Organization"), f11);
    lblPremise = addLabel(h, QStringLiteral("lblPremise"), 127000, 17727, 15081, 4498, QStringLiteral("Premise"), f11);
    lblDueBack = addLabel(h, QStringLiteral("lblDueBack"), 143139, 17727, 16933, 4498, QStringLiteral("Due Back"), f11);
    lblRationale = addLabel(h, QStringLiteral("lblRationale"), 163777, 17727, 16404, 4498,
                            QStringLiteral("Rationale"), f11);

    TppBand *d = r->Detail();
    d->UserName = QStringLiteral("dbHistory");
    d->mmHeight = 6878;
    const TppFont f10 = ppFont(Arial, 10);
    dbtxtRank = addDBText(d, QStringLiteral("dbtxtRank"), 1058, 1323, 12700, 4498, QStringLiteral("Rank"), f10);
    dbtxtFullName = addDBText(d, QStringLiteral("dbtxtFullName"), 14817, 1323, 44186, 4498,
                              QStringLiteral("FullName"), f10);
    dbtxtSSN = addDBText(d, QStringLiteral("dbtxtSSN"), 60061, 1323, 21696, 4498, QStringLiteral("SSN"), f10,
                         taLeftJustified, QStringLiteral("000\\-00\\-0000;0;_"));
    dbtxtOrganization = addDBText(d, QStringLiteral("dbtxtOrganization"), 83079, 1323, 42333, 4498,
                                  QStringLiteral("FullPoolName"), f10);
    dbtxtPremise = addDBText(d, QStringLiteral("dbtxtPremise"), 127000, 1323, 6879, 4498,
                             QStringLiteral("Premise"), f10);
    lnDueBack = addLine(d, QStringLiteral("lnDueBack"), 143140, 5027, 19050, 500, lpTop, 0.75);
    lnRationale = addLine(d, QStringLiteral("lnRationale"), 163777, 5027, 38894, 500, lpTop, 0.75);
    FitTexts();
}

TrptWorkingCopy::~TrptWorkingCopy() = default;

void TrptWorkingCopy::pprptWorkingCopyPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprptWorkingCopy);
}
