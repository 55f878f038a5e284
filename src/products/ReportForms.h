#pragma once
#include "report/ReportModel.h"

class TppJITPipeline;

// Settings every product's report shares.

// US Letter in the given orientation with quarter-inch margins, printed through the preview.
TppPrinterSetup LetterSetup(TppOrientation orientation);
// Each product's preview opens maximised at 100 percent.
void PreviewMaximizedAt100(TppReport &report);

// A product's document name, which titles its preview, PDF file and print job: the product
// followed by the batches it covers, read from the first and last record's batch field
// ("DD Form 2624 - batch 0001", "Bottle Labels - batches 0001-0003").
QString ProductDocumentName(const QString &product, TppJITPipeline *pipeline, const QString &batchField);
