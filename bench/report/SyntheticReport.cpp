#include "SyntheticReport.h"

#include "products/RotatedLabel.h"
#include "products/SimpleGrid.h"

static const char *kFormSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="203.2mm" height="120mm" viewBox="0 0 2032 1200">
<rect x="5" y="5" width="2022" height="1190" fill="none" stroke="black" stroke-width="6"/>
<rect x="5" y="5" width="2022" height="120" fill="#e0e0e0" stroke="black" stroke-width="4"/>
<line x1="5" y1="400" x2="2027" y2="400" stroke="black" stroke-width="3"/>
<line x1="1000" y1="125" x2="1000" y2="1195" stroke="black" stroke-width="3"/>
<circle cx="1500" cy="800" r="250" fill="none" stroke="#406080" stroke-width="8"/>
<path d="M100 1100 L400 600 L700 1100 Z" fill="#c0d0e0" stroke="black" stroke-width="4"/>
</svg>)";

SyntheticReport::SyntheticReport(int pages)
{
    pipeline.UserName = "Pages";
    pipeline.AddField("Page", dtInteger);
    pipeline.AddField("SSN");
    pipeline.RecordCount = pages;
    pipeline.OnGetFieldValue = [this](const QString &name) -> QVariant {
        const int i = pipeline.RecordIndex();
        if (name == "Page")
            return i + 1;
        if (name == "SSN")
            return QString("%1").arg(100000000 + i * 7919 % 899999999, 9, 10, QChar('0'));
        return QVariant();
    };
    report.SetDataPipeline(&pipeline);
    report.PrinterSetup.DocumentName = "Synthetic";

    TppBand *style = report.PageStyle();
    style->mmHeight = 266701;
    auto *picture = addImage(style, "imgForm", 0, 60000, 203200, 120000, QString(), true, false);
    picture->Picture = TppPicture::FromSvgData(QByteArray(kFormSvg));
    addCaption(style, 2000, 61500, "SPECIMEN FORM - SYNTHETIC", ppFont("Arial", 12, fsBold));
    addCaption(style, 2000, 102000, "1. SUBMITTING UNIT", ppFont("Arial", 7));

    TppBand *detail = report.Detail();
    detail->mmHeight = 266000;
    addLabel(detail, "lblTitle", 0, 0, 203200, 8000, "Corvane Lite report engine", ppFont("Arial", 16, fsBold),
             taCentered);
    addDBText(detail, "txtPage", 0, 10000, 60000, 5000, "Page", ppFont("Arial", 10));
    addDBText(detail, "txtSSN", 70000, 10000, 60000, 5000, "SSN", ppFont("Courier New", 10), taLeftJustified,
              "999-99-9999;0");
    addSystemVariable(detail, "varDate", 140000, 10000, 60000, 5000, vtDateTime, "MM/dd/yyyy h:nn:ss AM/PM",
                      ppFont("Arial", 8));

    auto *bc1 = addBarCode(detail, "brcdSheet", 5027, 28046, 62971, 5292, orLeftToRight);
    bc1->OnPrint = [this, bc1] {
        bc1->Data = QString("5330132003011500%1AB1CDHQ  US").arg(pipeline.RecordIndex() % 100, 2, 10, QChar('0'));
    };
    auto *bc2 = addBarCode(detail, "brcdSSN", 185000, 190000, 4763, 31221, orTopToBottom);
    bc2->OnPrint = [this, bc2] { bc2->Data = pipeline.GetFieldAsString("SSN"); };

    auto *rot = detail->Add<TRotatedLabel>("lblRotated", 175000, 190000, 4000, 30000);
    rot->Caption = "Read top to bottom";
    rot->Font = ppFont("Courier New", 8);
    rot->AutoSize = true;
    rot->SetAngle(270);
    auto *grid = detail->Add<TSimpleGrid>("grdCells", 10000, 190000, 100000, 40000);
    grid->SetColCount(7);
    grid->SetRowCount(3);
    grid->Brush = QBrush(QColor(235, 240, 255));
    addLine(detail, "lnRule", 0, 36000, 203200, 1000, lpTop);
    addShape(detail, "shpBox", 120000, 190000, 50000, 40000);
}
