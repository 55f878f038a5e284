#include "products/ReportForms.h"

#include "report/Engine.h"
#include "report/Pipeline.h"

#include <cmath>

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

QString ProductDocumentName(const QString &product, TppJITPipeline *pipeline, const QString &batchField)
{
    if (!pipeline || pipeline->IsEmpty())
        return product;
    // Read before printing: the pipeline is back on its first record afterwards.
    const int at = pipeline->RecordIndex();
    pipeline->First();
    const QString first = pipeline->GetFieldAsString(batchField);
    pipeline->Last();
    const QString last = pipeline->GetFieldAsString(batchField);
    pipeline->SetRecordIndex(at);
    if (first.isEmpty())
        return product;
    if (last.isEmpty() || last == first)
        return QStringLiteral("%1 - batch %2").arg(product, first);
    return QStringLiteral("%1 - batches %2-%3").arg(product, first, last);
}

void PlaceBesideTitles(TppCustomText &unit, const QList<const TppLabel *> &titles, double minSize)
{
    constexpr int Gap = 2540;   // a tenth of an inch clear of the titles
    const int right = unit.mmLeft + unit.mmWidth;
    int edge = 0;
    for (const TppLabel *title : titles) {
        if (!title || !title->Visible)
            continue;
        const int w = title->AutoSize ? int(std::ceil(TppPrintContext::TextWidth(title->Font, title->Caption)))
                                      : title->mmWidth;
        int titleRight = title->mmLeft + title->mmWidth;
        if (title->AutoSize && title->TextAlignment == taCentered)
            titleRight = title->mmLeft + (title->mmWidth + w) / 2;
        else if (title->AutoSize && title->TextAlignment == taLeftJustified)
            titleRight = title->mmLeft + w;
        edge = std::max(edge, titleRight);
    }
    const int left = std::min(edge + Gap, right);
    unit.mmLeft = left;
    unit.mmWidth = right - left;
    unit.TextAlignment = taRightJustified;
    unit.AutoSize = false;
    unit.ShrinkToFit = true;
    unit.MinFontSize = minSize;
}
