#pragma once
#include "products/RBPersonnelCopy.h"

#include <memory>

// The notification copy of the personnel to be tested: a portrait list of the members.
class TrptNotificationCopy : public TrptPersonnelCopy
{
public:
    TrptNotificationCopy();
    ~TrptNotificationCopy();

    std::unique_ptr<TppReport> pprptNotificationCopy;
    TppLabel *lblGender = nullptr;
    // detail band dbHistory
    TppDBText *ppDBSSN = nullptr;
    TppDBText *dbtxtGender = nullptr;

    // The SSN as printed: the last four digits only when the profile masks it.
    void ppDBSSNGetText(QString &text);
    void pprptNotificationCopyPreviewFormCreate();
};
