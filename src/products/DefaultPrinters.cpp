// The print operation of each product: create its report form, print, release it again
// (also when printing fails).
#include "products/PrintProducts.h"

#include "products/RB2624Back.h"
#include "products/RB2624Front.h"
#include "products/RBBottleLabels.h"
#include "products/RBNotificationCopy.h"
#include "products/RBTestingRegister.h"
#include "products/RBWorkingCopy.h"

TProductPrinters DefaultProductPrinters()
{
    TProductPrinters p;
    p.NotificationCopy = [](TppJITPipeline *history) {
        TrptNotificationCopy rpt;
        rpt.Print(history);
    };
    p.WorkingCopy = [](TppJITPipeline *history) {
        TrptWorkingCopy rpt;
        rpt.Print(history);
    };
    p.TestingRegister = [](TppJITPipeline *history) {
        TrptTestingRegister rpt;
        rpt.Print(history);
    };
    p.Front2624 = [](TppJITPipeline *forms, TppJITPipeline *formMembers) {
        Trpt2624Front rpt;
        rpt.Print(forms, formMembers);
    };
    p.Back2624 = [](int sheetCount, const TDD2624BackLines &lines) {
        Trpt2624Back rpt;
        rpt.Print(sheetCount, lines);
    };
    p.BottleLabels = [](TppJITPipeline *history, int memberCount) {
        TrptBottleLabels rpt;
        return rpt.Print(history, memberCount);
    };
    return p;
}
