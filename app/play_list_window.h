// The play-list window "filmo$FILMO008" and the windows it leads to: the player window
// "filmo$FILMO007", which controls the chosen movie, and the details window "filmo$FILMO009",
// which shows what the media service reports about it.
#pragma once

#include <functional>

#include "app/player.h"
#include "app/player_windows.h"
#include "classlib/runtime_window.h"
#include "classlib/window_manager.h"
#include "runtime/ui/window.h"

namespace cinevo::app {

// The play list, one row per entry. A right click or a double click on a row (with the list not
// empty) makes its entry the selected movie and runs the player window (`run_player`).
class PlayListManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  PlayListManager(Player& player, std::function<void()> run_player);
  int Init() override;
  int TakeAccepted() override;

 private:
  Player& player_;
  std::function<void()> run_player_;
};

// The player window for player.selected_movie(); it closes at once when that is blank. Its
// buttons' tips name the movie; each button acts on the movie and closes the window; Details
// first runs the details window (`run_details`).
class PlayerManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  PlayerManager(Player& player, std::function<void()> run_details);
  int Init() override;
  int TakeWindowEvent() override;
  int TakeAccepted() override;

 private:
  Player& player_;
  std::function<void()> run_details_;
};

// The details window for player.selected_movie(): its caption and seven fields come from the
// ten queries of Player::ReadDetails; it closes at once when the selection is blank.
class DetailsManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  explicit DetailsManager(Player& player);
  int Init() override;
  int TakeWindowEvent() override;
  int TakeAccepted() override;

 private:
  Player& player_;
};

void RunPlayListWindow(Player& player);
void RunPlayerWindow(Player& player);
void RunDetailsWindow(Player& player);

}  // namespace cinevo::app
