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

// The unit in a list's header: right-aligned at its box's right edge, it grows leftwards as
// far as the centred titles' edge (less a small gap) and only past that room prints smaller,
// down to minSize points, and then loses its end. Run once the titles' captions are set.
void PlaceBesideTitles(TppCustomText &unit, const QList<const TppLabel *> &titles, double minSize = 7);

// Smallest type of a list's detail rows: a longer text is cut with an ellipsis rather than
// printed smaller, so a column never mixes normal and tiny type.
inline constexpr double DetailMinFontSize = 8;
