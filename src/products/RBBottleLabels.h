#pragma once
#include "products/LabelShift.h"

#include <QString>
#include <functional>
#include <memory>

class TppReport;
class TppJITPipeline;
class TppShape;
class TppLabel;
class TppBarCode;
class TRotatedLabel;

// Asks for the starting label position on the first sheet. Given the number of labels,
// it fills in the typed position and answers true for OK, false for Cancel.
using TLabelPositionPrompt = std::function<bool(int labelCount, QString &position)>;
// The window program installs the "Starting Label Position" dialog; without one the
// labels start at position 1.
void SetLabelPositionPrompt(TLabelPositionPrompt prompt);
TLabelPositionPrompt LabelPositionPrompt();

// Specimen bottle labels, two columns of five 4 by 2 inch labels a sheet.
class TrptBottleLabels
{
public:
    TrptBottleLabels();
    ~TrptBottleLabels();
    TrptBottleLabels(const TrptBottleLabels &) = delete;
    TrptBottleLabels &operator=(const TrptBottleLabels &) = delete;

    // Asks for the starting position, then prints one label per member. Returns whether
    // the labels went straight to a printer. Cancel prints nothing; a position that is
    // not a number, or not on the sheet, raises before anything prints.
    bool Print(TppJITPipeline *history, int labelCount);

    static constexpr int FirstPosition = 1;
    static constexpr int LastPosition = 15;   // 11 to 15 land like 6 to 10 (not advertised)
    static constexpr int LastAdvertisedPosition = 10;   // the sheet's ten labels
    // Checks a typed position; raises with the message the user sees, the same for a number
    // off the sheet and for text that is no number.
    static int CheckedStartPosition(const QString &text);

    std::unique_ptr<TppReport> pprptBottleLabel;
    TppShape *ppShape1 = nullptr;
    TppLabel *ppLabel1 = nullptr;
    TRotatedLabel *lblOB = nullptr;
    TRotatedLabel *lblVersion = nullptr;
    TRotatedLabel *lblSM = nullptr;
    TRotatedLabel *lblUPC = nullptr;
    TRotatedLabel *lblBAC = nullptr;
    TRotatedLabel *lblUIC = nullptr;
    TRotatedLabel *lblCollectedDate = nullptr;
    TppBarCode *brcdDateCollected = nullptr;
    TRotatedLabel *lblSSN = nullptr;
    TppBarCode *brcdSSN = nullptr;
    TRotatedLabel *lblTestInfo = nullptr;
    TppBarCode *brcdTestInfo = nullptr;
    TppShape *ppShape2 = nullptr;
    TppLabel *ppLabel2 = nullptr;

    int StartPosition = 1;
    bool PrintedToPrinter = false;
    // The calibration shift of this run, taken for the printer when printing begins.
    TLabelShift Shift;
    void ApplyLabelShift();
    void ShiftColumns();

    void SetLabelCaptions();
    void pprptBottleLabelBeforePrint();
    void pprptBottleLabelStartPage();
    void DetailBandBeforePrint();
    void pprptBottleLabelPreviewFormCreate();

    // The write-in line: the caption padded to three characters, then the blank to fill.
    static QString WriteInLine(const QString &caption);
    static QString SsnText(const QString &ssn);
};
