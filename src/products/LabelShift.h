#pragma once
// Calibration of the bottle labels: sheets seldom feed exactly square, so every label of a
// print can be moved by a few tenths of a millimetre. The shift is kept per printer.
#include <QString>
#include <functional>

struct TLabelShift
{
    double RightMm = 0;   // positive moves the labels right
    double DownMm = 0;    // positive moves them down
    static constexpr double Limit = 5.0;   // either way, in millimetres
};

// The window program installs where shifts come from; without a source (the batch program,
// PDF output) labels print unshifted. The name is the printer the labels go to, or "Default"
// while they are only previewed.
using TLabelShiftSource = std::function<TLabelShift(const QString &printerName)>;
void SetLabelShiftSource(TLabelShiftSource source);
TLabelShiftSource LabelShiftSource();

// The stored shift of a printer (zero when none), clamped to the limit.
TLabelShift LoadLabelShift(const QString &printerName);
void SaveLabelShift(const QString &printerName, const TLabelShift &shift);
// The printer labels go to when none is named: the one they last went to, else the system's
// default printer (empty without printers).
QString LabelPrinterName();
