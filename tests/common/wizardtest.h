#pragma once
// The whole wizard for a GUI test, without main: the Army profile and every page. The close
// box ends nothing; the caller sets the message and error hooks it wants.
#include "app/ServiceUtilsUnit.h"
#include "app/ui/AppStartup.h"

inline void OpenWizard()
{
    SetMainFormClosedHandler([] {});
    ServiceUtils = new TArmyUtils;
    CreatePages();
}

inline void CloseWizard()
{
    DestroyPages();
    delete ServiceUtils;
    ServiceUtils = nullptr;
}
