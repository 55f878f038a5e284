#include "products/RBTestingRegister.h"
#include "products/ReportForms.h"
#include "products/RBFormPicture.h"

#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "report/ReportModel.h"

#include <QDir>

namespace {
const QString Arial = QStringLiteral("Arial");
const QString AmPm = QStringLiteral(" h:nn:ss AM/PM");
} // namespace

TrptTestingRegister::TrptTestingRegister()
    : pprptTestingRegister(std::make_unique<TppReport>())
{
    TppReport *r = pprptTestingRegister.get();
    r->UserName = QStringLiteral("pprptTestingRegister");
    r->PrinterSetup = LetterSetup(poLandscape);
    r->OnPreviewFormCreate = [this] { pprptTestingRegisterPreviewFormCreate(); };

    Image = addImage(r->PageStyle(), QStringLiteral("Image"), 0, 16404, 265907, 168275, QString(), false, true);
    Image->Stretch = false;
    Image->AutoSize = true;
    TFormPicture picture;
    picture.LoadFromResource(QStringLiteral(":/products/resources/testregister"));
    picture.Apply(Image);

    TppBand *h = r->Header();
    h->mmHeight = 31221;
    h->PrintHeight = phDynamic;
    const TppFont bold12 = ppFont(Arial, 12, fsBold);
    const TppFont f10 = ppFont(Arial, 10);
    Label1 = addLabel(h, QStringLiteral("Label1"), 529, 0, 44715, 5027, QStringLiteral("Corvane"), bold12);
    Label2 = addLabel(h, QStringLiteral("Label2"), 529, 5821, 33338, 5027, QStringLiteral("Testing Register"), bold12);
    varDateTime = addSystemVariable(h, QStringLiteral("varDateTime"), 116417, 5821, 34396, 3969, vtDateTime,
                                    QStringLiteral("MM/dd/yyyy") + AmPm, f10);
    varDateTime->TextAlignment = taCentered;
    lblDescription = addDBText(h, QStringLiteral("lblDescription"), 121179, 265, 24342, 3969,
                               QStringLiteral("Description"), f10, taCentered);
    lblPremise = addDBText(h, QStringLiteral("lblPremise"), 120915, 10848, 24342, 3969,
                           QStringLiteral("Premise"), f10, taCentered);
    lblFormID = addDBText(h, QStringLiteral("lblFormID"), 49742, 0, 11906, 4763, QStringLiteral("formid"),
                          ppFont(Arial, 12));
    lblFormID->Visible = false;
    lblDateLine1 = addLabel(h, QStringLiteral("lblDateLine1"), 1852, 18521, 11377, 3969, QStringLiteral("Date of"), f10);
    lblDateLine2 = addLabel(h, QStringLiteral("lblDateLine2"), 1852, 22754, 15346, 3969, QStringLiteral("Collection"), f10);
    lblDateLine3 = addLabel(h, QStringLiteral("lblDateLine3"), 1852, 26988, 12869, 4022, QStringLiteral("T/M/D/Y"), f10);
    Label6 = addLabel(h, QStringLiteral("Label6"), 31485, 18521, 8996, 3969, QStringLiteral("Batch"), f10);
    Label7 = addLabel(h, QStringLiteral("Label7"), 31485, 22754, 6350, 3969, QStringLiteral("And"), f10);
    Label8 = addLabel(h, QStringLiteral("Label8"), 31485, 26988, 18521, 3969, QStringLiteral("Specimen #"), f10);
    Label9 = addLabel(h, QStringLiteral("Label9"), 56356, 18521, 26458, 3969, QStringLiteral("Tested Members"), f10);
    lblMemberTopInfo = addLabel(h, QStringLiteral("lblMemberTopInfo"), 56356, 22754, 40746, 3969,
                                QStringLiteral("Rank, Printed Name, SSN"), f10);
    Label11 = addLabel(h, QStringLiteral("Label11"), 56356, 26988, 15081, 3969, QStringLiteral("Signature"), f10);
    Label12 = addLabel(h, QStringLiteral("Label12"), 152665, 18521, 5556, 3969, QStringLiteral("TPI"), f10, taCentered);
    Label13 = addLabel(h, QStringLiteral("Label13"), 163248, 18521, 46302, 3969,
                       QStringLiteral("Observer's Printed Name and"), f10);
    lblObserversBottomInfo = addLabel(h, QStringLiteral("lblObserversBottomInfo"), 163248, 23019, 15081, 3969,
                                      QStringLiteral("Signature"), f10);
    lblFinalColumn = addLabel(h, QStringLiteral("lblFinalColumn"), 216430, 18521, 42069, 3969,
                              QStringLiteral("Comments and Disposition"), f10);
    lblAltSSN = addLabel(h, QStringLiteral("lblAltSSN"), 137584, 22754, 7144, 3969, QStringLiteral("SSN"), f10);
    lblAltInit = addLabel(h, QStringLiteral("lblAltInit"), 137584, 26988, 9790, 3969, QStringLiteral("Initials"), f10);
    lblAltSSN->Visible = false;
    lblAltInit->Visible = false;
    // captions keep their anchor and take the width of their text, so the preview never cuts them
    for (TppLabel *l : {Label1, Label2, lblDateLine1, lblDateLine2, lblDateLine3, Label6, Label7, Label8, Label9,
                        lblMemberTopInfo, Label11, Label12, Label13, lblObserversBottomInfo, lblFinalColumn,
                        lblAltSSN, lblAltInit})
        l->AutoSize = true;
    varDateTime->AutoSize = true;

    TppBand *d = r->Detail();
    d->mmHeight = 12700;
    dbtxtDateCollected = addDBText(d, QStringLiteral("dbtxtDateCollected"), 2381, 6879, 22225, 3969,
                                   QStringLiteral("DateCollected"), f10, taLeftJustified, QStringLiteral("MM/dd/yyyy"));
    lblBatch = addLabel(d, QStringLiteral("lblBatch"), 31750, 1588, 10054, 3969, QStringLiteral("Batch:"), f10);
    dbtxtBatchNumber = addDBText(d, QStringLiteral("dbtxtBatchNumber"), 32015, 6879, 9790, 3969,
                                 QStringLiteral("batchnumber"), f10, taRightJustified);
    lblSpec = addLabel(d, QStringLiteral("lblSpec"), 43656, 1588, 8996, 3969, QStringLiteral("Spec:"), f10);
    dbtxtSpecimenNumber = addDBText(d, QStringLiteral("dbtxtSpecimenNumber"), 43392, 6879, 9260, 3969,
                                    QStringLiteral("specimennumber"), f10, taRightJustified);
    dbtxtRank = addDBText(d, QStringLiteral("dbtxtRank"), 57415, 1588, 10319, 5027, QStringLiteral("rank"), f10);
    dbtxtFullName = addDBText(d, QStringLiteral("dbtxtFullName"), 69850, 1588, 55298, 5027,
                              QStringLiteral("fullname"), f10);
    dbtxtSSN = addDBText(d, QStringLiteral("dbtxtSSN"), 126471, 1588, 21960, 5027, QStringLiteral("ssn"), f10,
                         taRightJustified, QStringLiteral("999-99-9999;0"));
    dbtxtPremise = addDBText(d, QStringLiteral("dbtxtPremise"), 150813, 1588, 10319, 5027,
                             QStringLiteral("premise"), f10, taCentered);

    // Roster texts of any length keep to their boxes: smaller type first, then an ellipsis.
    for (TppDBText *t : {lblDescription, dbtxtRank, dbtxtFullName}) {
        t->ShrinkToFit = true;
        t->MinFontSize = DetailMinFontSize;
    }
    lblDescription->MinFontSize = 7;

    Group1 = r->AddGroup(QStringLiteral("Group1"), QStringLiteral("lblFormID"), btCustomField, true);
    Group1->Header()->mmHeight = 0;
    Group1->Footer()->mmHeight = 0;
}

TrptTestingRegister::~TrptTestingRegister() = default;

QString TrptTestingRegister::AlternatePicturePath()
{
    return QDir(AppRootDir.isEmpty() ? QStringLiteral(".") : AppRootDir)
        .filePath(QStringLiteral("Bmp/AlternateTestRegister.wmf"));
}

void TrptTestingRegister::pprptTestingRegisterPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprptTestingRegister);
}

void TrptTestingRegister::Print(TppJITPipeline *history)
{
    const bool alternate = ServiceUtils && ServiceUtils->AlternateRegister;
    lblAltSSN->Visible = alternate;
    lblAltInit->Visible = alternate;
    if (alternate) {
        lblMemberTopInfo->Caption = QStringLiteral("Rank, Printed Name");
        lblObserversBottomInfo->Caption = QStringLiteral("Signature and Initials");
        lblDateLine1->Caption = QStringLiteral("Collection");
        lblDateLine2->Caption = QStringLiteral("Time:");
        lblDateLine3->Caption = QStringLiteral("Date:");
        TFormPicture picture;
        picture.LoadFromFile(AlternatePicturePath());   // raises, naming the file, before printing
        Image->Picture = picture.Picture();
        Image->mmWidth = Image->Picture->mmWidth();
        Image->mmHeight = Image->Picture->mmHeight();
    } else {
        lblMemberTopInfo->Caption = QStringLiteral("Rank, Printed Name, SSN");
        lblObserversBottomInfo->Caption = QStringLiteral("Signature");
        lblDateLine1->Caption = QStringLiteral("Date of");
        lblDateLine2->Caption = QStringLiteral("Collection");
        lblDateLine3->Caption = QStringLiteral("T/M/D/Y");
    }
    lblFinalColumn->Caption = ServiceUtils ? ServiceUtils->RegisterLastColumnCaption
                                           : QStringLiteral("Comments and Disposition");
    pprptTestingRegister->SetDataPipeline(history);
    const QString dateFormat = ServiceUtils ? ServiceUtils->DateFormat : QStringLiteral("MM/dd/yyyy");
    varDateTime->DisplayFormat = dateFormat + AmPm;
    dbtxtDateCollected->DisplayFormat = dateFormat;
    pprptTestingRegister->Print();
}
