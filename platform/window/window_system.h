// Start-up of the window system.
#pragma once

#include <string>

namespace cinevo::platform {

// Prepares the window layer once a QApplication exists: registers the private message type.
// False when there is no QApplication or the registration failed (the runtime reports that as a
// fatal error). Calling it again is harmless.
bool StartWindowSystem();

// True after a successful StartWindowSystem.
bool WindowSystemStarted();

// Shows `message` in a modal message box titled "Runtime error" with OK and Cancel and returns
// when the user has pressed either. Without a QApplication it shows nothing.
void ShowRuntimeErrorBox(const std::string& message);

}  // namespace cinevo::platform
