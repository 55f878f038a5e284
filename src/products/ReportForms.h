#pragma once
#include "report/ReportModel.h"

// Settings every product's report shares.

// US Letter in the given orientation with quarter-inch margins, printed through the preview.
TppPrinterSetup LetterSetup(TppOrientation orientation);
// Each product's preview opens maximised at 100 percent.
void PreviewMaximizedAt100(TppReport &report);
