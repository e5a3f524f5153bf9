// The window definitions of the program: the main window, the play-list window, the player
// window, the details window and the favourites window, registered under their resource names.
#pragma once

#include "classlib/runtime_window.h"
#include "runtime/ui/window.h"

namespace cinevo::app {

namespace detail {
// A window and the window manager's view of it, built before the manager that runs them (the
// first base of every player window's manager).
struct WindowParts {
  Window win;
  classlib::RuntimeWindow managed{win};
};
}  // namespace detail

// Control numbers of the main window "filmo$FILMO005".
namespace main_control {
inline constexpr int kFileMenu = 1, kOpen = 2, kStop = 3, kPlay = 4, kContinue = 5, kClose = 6,
                     kInfo = 7;
inline constexpr int kPlayListMenu = 8, kEditPlayList = 9, kIncrease = 10, kDecrease = 11,
                     kAlignmentI = 12, kAlignmentII = 13;
inline constexpr int kFavoritesMenu = 14, kEditFavorites = 15, kAddPlayList = 16;
inline constexpr int kToolbar = 17, kOpenButton = 18, kStopAll = 19, kPlayAll = 20,
                     kContinueAll = 21, kCloseAll = 22;
}  // namespace main_control

// Control numbers of the player window "filmo$FILMO007".
namespace player_control {
inline constexpr int kStop = 1, kContinue = 2, kPlay = 3, kClose = 4, kDetails = 5,
                     kRefresh = 6, kBack = 7;
}

// The play-list window "filmo$FILMO008" has one list, control 1.
inline constexpr int kPlayListControl = 1;

// Control numbers of the details window "filmo$FILMO009": the Back button, then each field
// after its prompt.
namespace details_control {
inline constexpr int kBack = 1, kVersion = 3, kProduct = 5, kStatus = 7, kDestination = 9,
                     kAudio = 11, kFrames = 13, kMilliseconds = 15;
}

// The favourites window "filmo$FILMO004": the tree list, then the frame toolbar
// (app/update_form_frame.h), whose buttons stand for the toolbar's 2000 to 2012 in order.
namespace favourites_control {
inline constexpr int kTree = 1, kToolbar = 2, kFirstToolbarButton = 3;
}

// Registers the definitions (once is enough; again replaces them).
void RegisterPlayerWindows();

}  // namespace cinevo::app
