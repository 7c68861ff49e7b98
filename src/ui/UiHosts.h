// One call that installs every Qt host: the core's platform hosts, the progress dialog's host,
// the application event filter and the font substitutions.
#pragma once

namespace tf {

// Call once the QApplication exists. Installing twice does nothing.
void InstallUiHosts();
// Puts the core's default hosts back (tests, shutdown).
void UninstallUiHosts();

}  // namespace tf
