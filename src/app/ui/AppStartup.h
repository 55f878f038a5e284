#pragma once
// The one place that knows every page: it creates them and tells the frame how to show each,
// and where the pages find what another holds. The main-window functions are the frame's.
#include "app/ui/WizTemplate.h"

// Creates every page hidden, in the start-up order, and sets the globals; the first
// (page 1) is the main window. The service profile must exist already.
void CreatePages();
// Destroys the pages in reverse order and clears the globals.
void DestroyPages();
