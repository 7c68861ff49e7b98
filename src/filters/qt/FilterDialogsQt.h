// The filter dialogs' host: one call installs every dialog's run function for the filter
// commands.
#pragma once
#include "filters/qt/FormFilter.h"

namespace tf {

// Installs the host (the app gives its modal runner: the main window's RunModalDialog). The
// filters whose dialogs are not built yet still fail loudly through the default host.
void InstallFilterDialogs(FilterModalRunner runner);
// Takes the host out again (tests, shutdown).
void UninstallFilterDialogs();

}  // namespace tf
