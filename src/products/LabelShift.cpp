#include "products/LabelShift.h"

#include "app/Settings.h"

#include <QPrinterInfo>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace {
TLabelShiftSource &SourceSlot()
{
    static TLabelShiftSource source;
    return source;
}

QString GroupOf(QString printerName)
{
    if (printerName.isEmpty())
        printerName = QStringLiteral("Default");
    printerName.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return QStringLiteral("LabelShift/") + printerName + QLatin1Char('/');
}

double Clamped(double mm)
{
    if (!std::isfinite(mm))
        return 0;
    return std::clamp(mm, -TLabelShift::Limit, TLabelShift::Limit);
}
} // namespace

void SetLabelShiftSource(TLabelShiftSource source)
{
    SourceSlot() = std::move(source);
}

TLabelShiftSource LabelShiftSource()
{
    return SourceSlot();
}

TLabelShift LoadLabelShift(const QString &printerName)
{
    const auto settings = OpenSettings();
    const QString group = GroupOf(printerName);
    TLabelShift s;
    s.RightMm = Clamped(settings->value(group + QStringLiteral("Right"), 0.0).toDouble());
    s.DownMm = Clamped(settings->value(group + QStringLiteral("Down"), 0.0).toDouble());
    return s;
}

void SaveLabelShift(const QString &printerName, const TLabelShift &shift)
{
    const auto settings = OpenSettings();
    const QString group = GroupOf(printerName);
    settings->setValue(group + QStringLiteral("Right"), Clamped(shift.RightMm));
    settings->setValue(group + QStringLiteral("Down"), Clamped(shift.DownMm));
}

QString LabelPrinterName()
{
    const QString last = LastPrinterFor(QStringLiteral("pprptBottleLabel"));
    return last.isEmpty() ? QPrinterInfo::defaultPrinterName() : last;
}
