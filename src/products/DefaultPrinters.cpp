// The print operation of each product: create its report form, print, release it again
// (also when printing fails).
#include "products/PrintProducts.h"
#include "products/ReportForms.h"

#include "products/RB2624Back.h"
#include "products/RB2624Front.h"
#include "products/RBBottleLabels.h"
#include "products/RBNotificationCopy.h"
#include "products/RBSelectionRecord.h"
#include "products/RBTestingRegister.h"
#include "products/RBWorkingCopy.h"

TProductPrinters DefaultProductPrinters()
{
    TProductPrinters p;
    p.NotificationCopy = [](TppJITPipeline *history) {
        TrptNotificationCopy rpt;
        rpt.pprptNotificationCopy->PrinterSetup.DocumentName =
            ProductDocumentName(QStringLiteral("Notification Copy"), history, QStringLiteral("BatchNumber"));
        rpt.Print(history);
    };
    p.WorkingCopy = [](TppJITPipeline *history) {
        TrptWorkingCopy rpt;
        rpt.pprptWorkingCopy->PrinterSetup.DocumentName =
            ProductDocumentName(QStringLiteral("Working Copy"), history, QStringLiteral("BatchNumber"));
        rpt.Print(history);
    };
    p.TestingRegister = [](TppJITPipeline *history) {
        TrptTestingRegister rpt;
        rpt.pprptTestingRegister->PrinterSetup.DocumentName =
            ProductDocumentName(QStringLiteral("Testing Register"), history, QStringLiteral("BatchNumber"));
        rpt.Print(history);
    };
    p.Front2624 = [](TppJITPipeline *forms, TppJITPipeline *formMembers) {
        Trpt2624Front rpt;
        rpt.pprpt2624Front->PrinterSetup.DocumentName =
            ProductDocumentName(QStringLiteral("DD Form 2624"), forms, QStringLiteral("BatchNum"));
        rpt.Print(forms, formMembers);
    };
    p.Back2624 = [](int sheetCount, const TDD2624BackLines &lines) {
        Trpt2624Back rpt;
        rpt.pprpt2624Back->PrinterSetup.DocumentName = QStringLiteral("DD Form 2624 (Back Side)");
        rpt.Print(sheetCount, lines);
    };
    p.BottleLabels = [](TppJITPipeline *history, int memberCount) {
        TrptBottleLabels rpt;
        rpt.pprptBottleLabel->PrinterSetup.DocumentName =
            ProductDocumentName(QStringLiteral("Bottle Labels"), history, QStringLiteral("BatchNumber"));
        return rpt.Print(history, memberCount);
    };
    p.SelectionRecord = [](const TSelectionRecord &record) {
        TrptSelectionRecord rpt;
        rpt.Print(record);
    };
    return p;
}
