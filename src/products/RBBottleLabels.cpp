#include "products/RBBottleLabels.h"
#include "products/ReportForms.h"
#include "products/RotatedLabel.h"

#include "app/Exceptions.h"
#include "app/ServiceUtilsUnit.h"
#include "app/VORNUtils.h"
#include "report/Pipeline.h"
#include "report/ReportModel.h"

#include <QPalette>
#include <cmath>

namespace {

TLabelPositionPrompt &PromptSlot()
{
    static TLabelPositionPrompt prompt;
    return prompt;
}

const QString Courier = QStringLiteral("Courier New");

// Sheet geometry, from the paper's edges.
constexpr int LeftColumn = 4064;      // 0.16 in
constexpr int RightColumn = 110490;   // 4.35 in
constexpr int ColumnWidth = 101600;   // 4.00 in
constexpr int RowPitch = 50800;       // 2 in
constexpr int RowOffset = 13970;      // 0.55 in, below the first row
constexpr int TapeSlack = 20;
constexpr int SheetTopMargin = 12700;
constexpr int SheetBottomMargin = 6350;
constexpr int SheetLeftMargin = 6350;

int Thousandths(double mm)
{
    return int(std::lround(mm * 1000.0));
}

QColor WindowText()
{
    return QPalette().color(QPalette::WindowText);
}

} // namespace

void SetLabelPositionPrompt(TLabelPositionPrompt prompt)
{
    PromptSlot() = std::move(prompt);
}

TLabelPositionPrompt LabelPositionPrompt()
{
    return PromptSlot();
}

TrptBottleLabels::TrptBottleLabels()
    : pprptBottleLabel(std::make_unique<TppReport>())
{
    TppReport *r = pprptBottleLabel.get();
    r->UserName = QStringLiteral("pprptBottleLabel");
    r->PrinterSetup = LetterSetup(poPortrait);
    // labels: a half-inch top margin and none on the right
    r->PrinterSetup.mmMarginTop = 12700;
    r->PrinterSetup.mmMarginRight = 0;
    r->Columns = 2;
    r->ColumnPositions = {LeftColumn, RightColumn};
    r->mmColumnWidth = ColumnWidth;
    r->ColumnHeader()->mmHeight = 0;
    r->ColumnFooter()->mmHeight = 0;
    r->BeforePrint = [this] { pprptBottleLabelBeforePrint(); };
    r->OnStartPage = [this] { pprptBottleLabelStartPage(); };
    r->OnPreviewFormCreate = [this] { pprptBottleLabelPreviewFormCreate(); };

    TppBand *d = r->Detail();
    d->UserName = QStringLiteral("DetailBand");
    d->mmHeight = 51065;
    d->PrintHeight = phStatic;
    d->BeforePrint = [this] { DetailBandBeforePrint(); };

    const TppFont tapeFont = ppFont(Courier, 10, 0, Qt::black);
    const TppFont black8 = ppFont(Courier, 8, 0, Qt::black);
    const TppFont text8 = ppFont(Courier, 8, 0, WindowText());

    auto rotated = [d](const QString &name, int left, int top, int width, int height, const QString &caption,
                       const TppFont &font) {
        TRotatedLabel *l = d->Add<TRotatedLabel>(name, left, top, width, height);
        l->Caption = caption;
        l->Font = font;
        l->Transparent = true;
        l->SetAngle(270);
        return l;
    };
    auto barcode = [d](const QString &name, int left, int top, int width, int height) {
        TppBarCode *b = addBarCode(d, name, left, top, width, height, orTopToBottom, 254);
        b->BarCodeType = bcCode128;
        b->AutoEncode = true;
        b->PrintHumanReadable = false;
        b->AutoSize = false;
        b->Alignment = taCentered;
        b->BarColor = WindowText();
        return b;
    };

    ppShape1 = addShape(d, QStringLiteral("ppShape1"), 7144, 3703, 11377, 44186);
    // "Tape" fills its box to the pixel on a printer; measured exactly it is a hair wider,
    // so the box gets that hair rather than breaking the word
    ppLabel1 = addLabel(d, QStringLiteral("ppLabel1"), 8731, 17992, 8467 + TapeSlack, 9525,
                        QStringLiteral("Tape Here"), tapeFont);
    ppLabel1->WordWrap = true;
    lblOB = rotated(QStringLiteral("lblOB"), 20373, 3704, 3704, 20638, QStringLiteral("OB:________"), black8);
    lblVersion = rotated(QStringLiteral("lblVersion"), 20373, 27781, 3704, 20638, QStringLiteral("Version: 25"), black8);
    lblSM = rotated(QStringLiteral("lblSM"), 27252, 3704, 3704, 20638, QStringLiteral("SM:________"), black8);
    lblUPC = rotated(QStringLiteral("lblUPC"), 34131, 3704, 3969, 24342, QStringLiteral("UPC: ________"), black8);
    lblBAC = rotated(QStringLiteral("lblBAC"), 41275, 3704, 3704, 7408, QStringLiteral("BAC:"), text8);
    lblUIC = rotated(QStringLiteral("lblUIC"), 41275, 24605, 3704, 7408, QStringLiteral("UIC:"), text8);
    lblCollectedDate = rotated(QStringLiteral("lblCollectedDate"), 46831, 3704, 3704, 29898, QString(), text8);
    brcdDateCollected = barcode(QStringLiteral("brcdDateCollected"), 51065, 3703, 4763, 31221);
    lblSSN = rotated(QStringLiteral("lblSSN"), 57415, 3704, 3969, 11377, QString(), text8);
    brcdSSN = barcode(QStringLiteral("brcdSSN"), 61648, 3703, 4763, 31221);
    lblTestInfo = rotated(QStringLiteral("lblTestInfo"), 68527, 3704, 3704, 20638, QString(), text8);
    brcdTestInfo = barcode(QStringLiteral("brcdTestInfo"), 72761, 3703, 4763, 31221);
    ppShape2 = addShape(d, QStringLiteral("ppShape2"), 81492, 3703, 10848, 44186);
    ppLabel2 = addLabel(d, QStringLiteral("ppLabel2"), 82815, 17992, 8467 + TapeSlack, 9525,
                        QStringLiteral("Tape Here"), tapeFont);
    ppLabel2->WordWrap = true;
}

TrptBottleLabels::~TrptBottleLabels() = default;

QString TrptBottleLabels::WriteInLine(const QString &caption)
{
    return PadRight(caption, QLatin1Char(' '), 3) + QStringLiteral(" _______");
}

QString TrptBottleLabels::SsnText(const QString &ssn)
{
    return ssn.mid(0, 3) + QLatin1Char('-') + ssn.mid(3, 2) + QLatin1Char('-') + ssn.mid(5, 4);
}

int TrptBottleLabels::CheckedStartPosition(const QString &text)
{
    // Below 1 the first label would land above the sheet; above 15 past its last row. The
    // sheet has ten labels: that is the range the message names.
    const auto refuse = [&text]() {
        return Exception(QStringLiteral("'%1' is not a label position on the sheet. "
                                        "Choose a starting position from %2 to %3")
                             .arg(text.trimmed()).arg(FirstPosition).arg(LastAdvertisedPosition));
    };
    int p = 0;
    try {
        p = StrToInt(text);
    } catch (const EConvertError &) {
        throw refuse();
    }
    if (p < FirstPosition || p > LastPosition)
        throw refuse();
    return p;
}

void TrptBottleLabels::SetLabelCaptions()
{
    const TServiceUtils *s = ServiceUtils;
    const bool showBac = s ? s->ShowLabelBac : true;
    lblBAC->Visible = showBac;
    lblUIC->Visible = s ? s->ShowUic : true;
    lblUIC->mmTop = showBac ? 24605 : 3704;   // without the BAC line the UIC takes its place
    lblUPC->Caption = WriteInLine(s ? s->LabelLine1Caption : QStringLiteral("UPC"));
    lblSM->Caption = WriteInLine(s ? s->LabelLine2Caption : QStringLiteral("SM"));
    const QString line3 = s ? s->LabelLine3Caption : QString();
    lblOB->Caption = WriteInLine(line3);
    lblOB->Visible = !line3.isEmpty();
}

void TrptBottleLabels::pprptBottleLabelBeforePrint()
{
    PrintedToPrinter = pprptBottleLabel->DeviceType == QLatin1String("Printer");
    ApplyLabelShift();
}

void TrptBottleLabels::ApplyLabelShift()
{
    const TLabelShiftSource source = LabelShiftSource();
    Shift = source ? source(pprptBottleLabel->PrinterSetup.PrinterName) : TLabelShift();
    // The whole sheet moves: the margins move with it, so a page still holds five rows.
    TppPrinterSetup &ps = pprptBottleLabel->PrinterSetup;
    const int dx = Thousandths(Shift.RightMm), dy = Thousandths(Shift.DownMm);
    ps.mmMarginTop = SheetTopMargin + dy;
    ps.mmMarginBottom = SheetBottomMargin - dy;
    ps.mmMarginLeft = SheetLeftMargin + dx;
    ps.mmMarginRight = -dx;
}

void TrptBottleLabels::pprptBottleLabelStartPage()
{
    TppReport *r = pprptBottleLabel.get();
    TppBand *d = r->Detail();
    if (r->ColumnPositions.size() < 2)
        r->ColumnPositions.resize(2);
    r->ColumnPositions[1] = RightColumn;
    if (r->PageNo > 1) {
        d->mmPrintPosition = 0;
        r->Columns = 2;
        r->ColumnPositions[0] = LeftColumn;
        ShiftColumns();
        return;
    }
    const int p = StartPosition;
    int position = ((p - 1) % 5) * RowPitch;
    if (position > 0)
        position += RowOffset;
    d->mmPrintPosition = position;
    if (p >= 1 && p <= 5) {
        r->Columns = 2;
        r->ColumnPositions[0] = LeftColumn;
    } else {
        r->Columns = 1;
        r->ColumnPositions[0] = RightColumn;
    }
    if (d->mmPrintPosition > 0)
        d->mmPrintPosition += Thousandths(Shift.DownMm);
    ShiftColumns();
}

void TrptBottleLabels::ShiftColumns()
{
    const int dx = Thousandths(Shift.RightMm);
    for (int &x : pprptBottleLabel->ColumnPositions)
        x += dx;
}

void TrptBottleLabels::DetailBandBeforePrint()
{
    TppDataPipeline *p = pprptBottleLabel->DataPipeline;
    if (!p)
        return;
    const QString premise = p->GetFieldAsString(QStringLiteral("Premise"));
    const QString batch = p->GetFieldAsString(QStringLiteral("BatchNumber"));
    const QString specimen = p->GetFieldAsString(QStringLiteral("SpecimenNumber"));
    brcdTestInfo->Data = premise + batch + specimen;
    lblTestInfo->Caption = premise + QStringLiteral("   ") + batch + QStringLiteral("   ") + specimen;

    const QString ssn = p->GetFieldAsString(QStringLiteral("SSN"));
    brcdSSN->Data = ssn;
    lblSSN->Caption = SsnText(ssn);

    const QDate date = DateFromSerial(p->GetFieldAsDouble(QStringLiteral("DateCollected")));
    const QString dateText = date.toString(QStringLiteral("yyyyMMdd"));
    brcdDateCollected->Data = dateText;
    lblCollectedDate->Caption = dateText;

    const TServiceUtils *s = ServiceUtils;
    lblUIC->Caption = (s ? s->UicCaption : QStringLiteral("UIC")) + QStringLiteral(": ")
                      + p->GetFieldAsString(QStringLiteral("UIC"));
    lblBAC->Caption = (s ? s->BacCaption : QStringLiteral("BAC")) + QStringLiteral(": ")
                      + p->GetFieldAsString(QStringLiteral("BAC"));

    const bool versionNull = p->GetFieldValue(QStringLiteral("LabelVersion")).isNull();
    if (versionNull || !(s && s->ShowLabelVersion)) {
        lblVersion->Visible = false;
        lblVersion->Caption.clear();
    } else {
        lblVersion->Visible = true;
        const double v = p->GetFieldAsDouble(QStringLiteral("LabelVersion"));
        lblVersion->Caption = QStringLiteral("Version: ") + QString::number(qint64(std::trunc(v)) + 1);
    }
    lblUIC->Visible = s ? s->ShowUicField : true;
}

void TrptBottleLabels::pprptBottleLabelPreviewFormCreate()
{
    PreviewMaximizedAt100(*pprptBottleLabel);
}

bool TrptBottleLabels::Print(TppJITPipeline *history, int labelCount)
{
    PrintedToPrinter = false;
    QString position = QStringLiteral("1");
    if (const TLabelPositionPrompt &prompt = PromptSlot()) {
        if (!prompt(labelCount, position))
            return false;
    }
    StartPosition = CheckedStartPosition(position);
    SetLabelCaptions();
    pprptBottleLabel->SetDataPipeline(history);
    pprptBottleLabel->Print();
    return PrintedToPrinter;
}
