#include "products/ReportForms.h"

#include "report/Pipeline.h"

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
