#include "products/ReportForms.h"

TppPrinterSetup LetterSetup(TppOrientation orientation)
{
    TppPrinterSetup setup;
    setup.PaperName = QStringLiteral("Letter");
    setup.PaperSize = 1;
    setup.mmPaperWidth = 215900;   // the sheet upright; landscape turns it
    setup.mmPaperHeight = 279401;
    setup.Orientation = orientation;
    setup.mmMarginTop = setup.mmMarginBottom = setup.mmMarginLeft = setup.mmMarginRight = 6350;
    return setup;
}

void PreviewMaximizedAt100(TppReport &report)
{
    report.PreviewFormSettings.Maximized = true;
    report.PreviewFormSettings.ZoomPercentage = 100;
}
