#include "products/RB2624Front.h"
#include "products/ReportForms.h"
#include "products/RBFormPicture.h"

#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "report/DisplayFormat.h"
#include "report/Engine.h"
#include "report/Pipeline.h"
#include "report/ReportModel.h"

#include <cmath>

namespace {

const QString Arial = QStringLiteral("Arial");

// The mean width of a capital, digit or blank: unit names are written in capitals.
double CharacterWidth(double size)
{
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789");
    return TppPrintContext::TextWidth(ppFont(Arial, size), sample) / sample.size();
}

} // namespace

Trpt2624Front::Trpt2624Front()
    : pprpt2624Front(std::make_unique<TppReport>())
{
    TppReport *r = pprpt2624Front.get();
    r->UserName = QStringLiteral("pprpt2624Front");
    r->PrinterSetup = LetterSetup(poLandscape);
    r->OnPreviewFormCreate = [this] { pprpt2624FrontPreviewFormCreate(); };

    Image1 = addImage(r->PageStyle(), QStringLiteral("Image1"), 0, 0, 266701, 203200, QString(), true, false);
    Image1->Stretch = true;
    Image1->MaintainAspectRatio = false;
    TFormPicture picture;
    picture.LoadFromResource(QStringLiteral(":/products/resources/dd2624front"));
    picture.Apply(Image1);

    TppBand *detail = r->Detail();
    detail->UserName = QStringLiteral("DetailBand1");
    detail->mmHeight = 55827;
    detail->PrintHeight = phDynamic;

    dbmmBlock1 = addDBMemo(detail, QStringLiteral("dbmmBlock1"), 1323, 6350, 68527, 12700,
                           QStringLiteral("DD2624Blk1"), ppFont(Arial, 9));
    dbmmBlock2 = addDBMemo(detail, QStringLiteral("dbmmBlock2"), 71438, 6350, 87577, 12700,
                           QStringLiteral("DD2624Blk2"), ppFont(Arial, 9));
    // The blocks keep their boxes (the form has no room for more lines); a long text
    // gets a smaller type instead of losing its last lines.
    dbmmBlock1->Stretch = false;
    dbmmBlock2->Stretch = false;
    dbmmBlock1->OnPrint = [this] { FitBlockText(dbmmBlock1); };
    dbmmBlock2->OnPrint = [this] { FitBlockText(dbmmBlock2); };
    dbtxtLocation = addDBText(detail, QStringLiteral("dbtxtLocation"), 52652, 3440, 17198, 3175,
                              QStringLiteral("locationCode"), ppFont(Arial, 8), taRightJustified);
    dbtxtBAC = addDBText(detail, QStringLiteral("dbtxtBAC"), 9790, 23548, 13758, 4022,
                         QStringLiteral("BAC"), ppFont(Arial, 10));
    dbtxtServiceDes = addDBText(detail, QStringLiteral("dbtxtServiceDes"), 39423, 23548, 4233, 3969,
                                QStringLiteral("ServiceDesignator"), ppFont(Arial, 10));
    dbtxtUIC = addDBText(detail, QStringLiteral("dbtxtUIC"), 44979, 23548, 16933, 3969,
                         QStringLiteral("UIC"), ppFont(Arial, 10));
    dbtxtBatch = addDBText(detail, QStringLiteral("dbtxtBatch"), 87577, 23548, 13758, 3969,
                           QStringLiteral("BatchNum"), ppFont(Arial, 10), taCentered);
    dbtxtDateCollected = addDBText(detail, QStringLiteral("dbtxtDateCollected"), 128588, 23548, 21696, 3969,
                                   QStringLiteral("DateCollected"), ppFont(Arial, 10), taCentered,
                                   QStringLiteral("YYYYMMDD"));
    lblbcTopBarcode = addBarCode(detail, QStringLiteral("lblbcTopBarcode"), 5027, 28046, 62971, 5292);
    // At 0.254 mm bars the sheet's symbol is longer than its box; rather than bars too thin for
    // a 200 or 300 dpi printer it runs on into the empty strip to its right, quiet zones kept.
    lblbcTopBarcode->Alignment = taLeftJustified;
    lblbcTopBarcode->QuietModules = 10;
    lblbcTopBarcode->mmMaxWidth = SheetBarcodeRoomRight - lblbcTopBarcode->mmLeft;
    lblbcTopBarcode->OnPrint = [this] { lblbcTopBarcodePrint(); };
    lblVersion = addLabel(detail, QStringLiteral("lblVersion"), 128588, 29633, 11980, 4233,
                          QStringLiteral("Version"), ppFont(Arial, 10));
    lblVersion->OnPrint = [this] { lblVersionPrint(); };
    lblVersion->AutoSize = true;   // the box is narrower than its text; the strip has room
    lblFormID = addDBText(detail, QStringLiteral("lblFormID"), 1323, 794, 11906, 4763,
                          QStringLiteral("Id"), ppFont(Arial, 12));
    lblFormID->Visible = false;

    srHistory = addSubReport(detail, QStringLiteral("srHistory"), 0, 40480, 266701, 5027);
    srHistory->ExpandAll = false;
    srHistory->NewPrintJob = false;
    srHistory->TraverseAllData = false;
    srHistory->ParentDataPipeline = false;
    TppChildReport *child = srHistory->Report();
    child->AutoStop = false;
    TppBand *rows = child->Detail();
    rows->mmHeight = 11976;
    lblBCSSNBarcode = addBarCode(rows, QStringLiteral("lblBCSSNBarcode"), 8996, 529, 61648, 6350);
    lblBCSSNBarcode->OnPrint = [this] { lblBCSSNBarcodePrint(); };
    dbtxtSpecimenNumber = addDBText(rows, QStringLiteral("dbtxtSpecimenNumber"), 3175, 7144, 13758, 3969,
                                    QStringLiteral("SpecimenNumber"), ppFont(Arial, 10));
    dbtxtSpecimenNumber->Transparent = false;
    dbtxtSSN = addDBText(rows, QStringLiteral("dbtxtSSN"), 24342, 7144, 29633, 3969, QStringLiteral("SSN"),
                         ppFont(Arial, 10), taLeftJustified, QStringLiteral("999-99-9999;0"));
    dbtxtSSN->Transparent = false;
    dbtxtPremise = addDBText(rows, QStringLiteral("dbtxtPremise"), 76994, 4763, 11113, 3969,
                             QStringLiteral("Premise"), ppFont(Arial, 10), taCentered);
    dbtxtTestInfo = addDBText(rows, QStringLiteral("dbtxtTestInfo"), 89165, 4763, 8202, 3969,
                              QStringLiteral("TestInfo"), ppFont(Arial, 10), taCentered);

    lblNoOthers = addLabel(detail, QStringLiteral("lblNoOthers"), 3704, 46831, 261938, 5821, NoOthersText(),
                           ppFont(Arial, 14, fsBold, Qt::black));
    lblNoOthers->AutoSize = false;
    lblNoOthers->ShiftRelativeTo = srHistory;
    lblNoOthers->OnPrint = [this] { lblNoOthersPrint(); };

    Group1 = r->AddGroup(QStringLiteral("Group1"), QStringLiteral("lblFormID"), btCustomField, true);
    Group1->Header()->mmHeight = 0;
    Group1->Footer()->mmHeight = 0;
}

Trpt2624Front::~Trpt2624Front() = default;

QString Trpt2624Front::NoOthersText()
{
    return QStringLiteral("AND NO OTHERS") + QStringLiteral(" -").repeated(75);
}

QString Trpt2624Front::SheetBarcodeData(int serviceCode, const QString &editionSuffix, const QDate &collected,
                                        const QString &batchNum, const QString &uic, const QString &bac,
                                        const QString &locationCode)
{
    const QString stamp = editionSuffix == QLatin1String("L") ? QStringLiteral("53301") : QStringLiteral("53300");
    const QString date = PadLeft(collected.isValid() ? collected.toString(QStringLiteral("yyyyMMdd")) : QString(),
                                 QLatin1Char(' '), 8);
    const QString b4 = PadLeft(batchNum, QLatin1Char('0'), 4);
    const QString c4 = PadLeft(bac, QLatin1Char('0'), 4);
    const QString u5 = PadRight(uic, QLatin1Char(' '), 5);
    const QString a4 = PadRight(bac, QLatin1Char(' '), 4);
    QString middle;
    switch (serviceCode) {
    case 1: middle = QStringLiteral("3") + date + b4 + u5 + a4; break;
    case 2: middle = QStringLiteral("1") + date + b4 + c4.mid(1, 3) + c4.left(1); break;
    case 3: middle = QStringLiteral("2") + date + b4.mid(1, 3) + u5 + b4.left(1); break;
    case 4: middle = QStringLiteral("4") + date + b4 + u5 + a4; break;
    case 5: middle = QStringLiteral("5") + date + b4 + u5 + a4; break;
    case 6: middle = QStringLiteral("6") + date + b4 + u5 + a4; break;
    default: break;
    }
    return stamp + middle + PadLeft(locationCode, QLatin1Char(' '), 2);
}

QString Trpt2624Front::MemberBarcodeData(const QString &specimenNumber, const QString &ssn,
                                         const QString &premise, const QString &testInfo)
{
    return PadLeft(specimenNumber, QLatin1Char('0'), 3) + PadLeft(ssn, QLatin1Char(' '), 9)
           + PadLeft(premise, QLatin1Char(' '), 2) + PadLeft(testInfo, QLatin1Char(' '), 1);
}

void Trpt2624Front::lblbcTopBarcodePrint()
{
    TppJITPipeline *p = m_forms;
    if (!p)
        return;
    QDateTime dt;
    QDate date;
    if (VariantToDateTime(p->GetFieldValue(QStringLiteral("DateCollected")), dtDateTime, dt))
        date = dt.date();
    const int service = ServiceUtils ? ServiceUtils->ServiceCode : 0;
    lblbcTopBarcode->Data = SheetBarcodeData(service, EditionSuffix, date,
                                             p->GetFieldAsString(QStringLiteral("BatchNum")),
                                             p->GetFieldAsString(QStringLiteral("UIC")),
                                             p->GetFieldAsString(QStringLiteral("BAC")),
                                             p->GetFieldAsString(QStringLiteral("LocationCode")));
}

void Trpt2624Front::lblBCSSNBarcodePrint()
{
    TppJITPipeline *p = m_formMembers;
    if (!p)
        return;
    lblBCSSNBarcode->Data = MemberBarcodeData(p->GetFieldAsString(QStringLiteral("SpecimenNumber")),
                                              p->GetFieldAsString(QStringLiteral("SSN")),
                                              p->GetFieldAsString(QStringLiteral("Premise")),
                                              p->GetFieldAsString(QStringLiteral("TestInfo")));
}

int Trpt2624Front::BlockLinesNeeded(const QString &text, int width, double size)
{
    return int(TppPrintContext::WrapText(ppFont(Arial, size), text, width).size());
}

int Trpt2624Front::BlockLinesHeld(int height, double size)
{
    return int(std::floor((height + 1) / TppPrintContext::LineHeight(ppFont(Arial, size))));
}

double Trpt2624Front::BlockFontSize(const QString &text, int width, int height)
{
    for (double size = BlockLayoutSize; size > BlockSmallestSize; size -= 0.5)
        if (BlockLinesNeeded(text, width, size) <= BlockLinesHeld(height, size))
            return size;
    return BlockSmallestSize;
}

QString Trpt2624Front::BlockOverflowMessage(int block, const QString &text)
{
    if (block < 1 || block > 2 || text.isEmpty())
        return QString();
    const int width = BlockWidth[block - 1];
    const int needed = BlockLinesNeeded(text, width, BlockSmallestSize);
    const int held = BlockLinesHeld(BlockHeight, BlockSmallestSize);
    if (needed <= held)
        return QString();
    return QStringLiteral("The text for DD Form 2624 Block %1 does not fit its block: the block holds %2 "
                          "printed lines of about %3 characters at the smallest type, and this text takes %4. "
                          "Shorten it before printing")
        .arg(block)
        .arg(held)
        .arg(int(width / CharacterWidth(BlockSmallestSize)))
        .arg(needed);
}

void Trpt2624Front::FitBlockText(TppDBMemo *memo)
{
    memo->Font.Size = BlockFontSize(memo->Text(), memo->mmWidth, memo->mmHeight);
}

void Trpt2624Front::lblVersionPrint()
{
    lblVersion->Caption = QStringLiteral("Version 533") + EditionSuffix;
}

void Trpt2624Front::lblNoOthersPrint()
{
    const int service = ServiceUtils ? ServiceUtils->ServiceCode : 0;
    lblNoOthers->Visible = service == 3 && srHistory->LastDetailCount < 12;
}

void Trpt2624Front::pprpt2624FrontPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprpt2624Front);
}

void Trpt2624Front::Print(TppJITPipeline *forms, TppJITPipeline *formMembers)
{
    m_forms = forms;
    m_formMembers = formMembers;
    pprpt2624Front->SetDataPipeline(forms);
    srHistory->Visible = true;
    lblbcTopBarcode->Visible = true;
    dbtxtUIC->Visible = ServiceUtils ? ServiceUtils->ShowUic : true;
    dbtxtServiceDes->Visible = ServiceUtils ? ServiceUtils->ShowServiceDesignator : true;
    srHistory->SetDataPipeline(formMembers);
    pprpt2624Front->Print();
}
