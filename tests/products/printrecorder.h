#pragma once
// Printers that print nothing: each product's name goes into the list as it would print.
#include "products/PrintProducts.h"

#include <QStringList>

inline TProductPrinters RecordingPrinters(QStringList &printed)
{
    TProductPrinters p;
    p.NotificationCopy = [&printed](TppJITPipeline *) { printed << "NotificationCopy"; };
    p.WorkingCopy = [&printed](TppJITPipeline *) { printed << "WorkingCopy"; };
    p.TestingRegister = [&printed](TppJITPipeline *) { printed << "TestingRegister"; };
    p.Front2624 = [&printed](TppJITPipeline *, TppJITPipeline *) { printed << "Front2624"; };
    p.Back2624 = [&printed](int, const TDD2624BackLines &) { printed << "Back2624"; };
    p.BottleLabels = [&printed](TppJITPipeline *, int) {
        printed << "BottleLabels";
        return false;
    };
    return p;
}
