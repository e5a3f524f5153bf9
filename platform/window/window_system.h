// Start-up of the window system.
#pragma once

namespace cinevo::platform {

// Prepares the window layer once a QApplication exists: registers the private message type
// (failure raises the fatal report 503 "WSLDIAL") and installs the runtime error box as the fatal
// handler. False when there is no QApplication or the registration failed. Calling it again is
// harmless.
bool StartWindowSystem();

// True after a successful StartWindowSystem.
bool WindowSystemStarted();

// Makes the fatal report show a modal message box titled "Runtime error" with OK and Cancel,
// after which the program ends (exit status 3). Without a QApplication the report falls back to
// standard error.
void InstallRuntimeErrorBox();

}  // namespace cinevo::platform
