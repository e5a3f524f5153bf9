// The About window "filmo$FILMO006": the program's name and version over a picture of its own,
// who wrote it, and an "E-mail" button that hands a mailto: link to the desktop, so that the
// user's mail program opens a message to that address. It opens no data files.
#pragma once

#include <string>

#include "app/player_windows.h"
#include "classlib/window_manager.h"

namespace cinevo::app {

// Control numbers of "filmo$FILMO006".
namespace about_control {
inline constexpr int kBackground = 1, kTitle = 2, kMail = 3, kAuthor = 4, kAddress = 5, kDate = 6;
}

// The address the E-mail button writes to.
inline constexpr const char* kAuthorAddress = "cinevo@example.org";

// Registers the definition (again replaces it).
void RegisterAboutWindow();

class AboutManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  AboutManager();
  int Init() override;
  int TakeAccepted() override;
};

// Runs the About window until the user closes it.
void RunAboutWindow();

}  // namespace cinevo::app
