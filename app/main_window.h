// The main window "filmo$FILMO005": the program's frame. Movies opened through its dialog, dropped
// on it or named on the command line play at once in windows inside its client area; its menus
// and toolbar drive all movies together, open the play-list window, the favourites and the About
// window, and store the play list as a group of favourites.
//
// Opening, in this order: the request is taken from GlobalRequest, the base set-up runs,
// FIRSTFIELD becomes the toolbar (17), the shared navigation request is tied in and a toolbar
// object added; GlobalRequest and GlobalResponse are cleared; the data files are opened; the
// window is opened and its alert keys set. Closing the window sends "close all" (every movie
// stops and its window goes; the play list stays); Kill closes the data files again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/group_store.h"
#include "app/main_routine.h"
#include "app/player.h"
#include "app/player_windows.h"
#include "classlib/runtime_window.h"
#include "classlib/toolbar.h"
#include "classlib/window_manager.h"
#include "runtime/ui/single_instance.h"
#include "runtime/ui/window.h"

namespace cinevo::app {

// What the main window shares with the rest of the program.
struct MainWindowContext {
  uint8_t* global_request = nullptr;   // taken as the window's request, then cleared
  uint8_t* global_response = nullptr;  // cleared when the window opens
  int32_t* vcr_request = nullptr;      // the shared navigation request
  // The catalogue's data files: opened while the main window is open (none when empty).
  std::function<void()> open_files;
  std::function<void()> close_files;
  // The writer "Add play list" stores through (none: nothing is stored).
  std::function<FavouritesWriter*()> favourites_writer;
  // Files handed over by later starts of the program play as a drop (none: not listened for).
  SingleInstance* instance = nullptr;
};

// The windows the main window runs; an empty one is not run.
struct MainWindowCalls {
  std::function<void()> about;       // the About window
  std::function<void()> favourites;  // the favourites tree
  std::function<void()> play_list;   // the play-list window
};

// The main window's manager; RunMainWindow runs it, tests step it.
class MainWindowManager : private detail::WindowParts, public classlib::WindowManager {
 public:
  // `startup_names` play as a drop of them once the window is open.
  MainWindowManager(MainWindowContext& context, Player& player, const MainWindowCalls& calls,
                    std::vector<std::string> startup_names = {});
  int Init() override;
  int Kill() override;
  int TakeWindowEvent() override;
  int TakeAccepted() override;

 private:
  void OpenMovie();
  void StorePlayList();
  // Plays dropped or named files, play-list files as the movies they name.
  void PlayNames(const std::vector<std::string>& names);

  MainWindowContext& context_;
  Player& player_;
  MainWindowCalls calls_;
  std::vector<std::string> startup_names_;
  classlib::Toolbar toolbar_;
  bool files_opened_ = false;
};

// Registers the program's windows, runs the main window until the user closes it and returns its
// response. The About and play-list windows are run when `calls` names none; the favourites
// window needs the catalogue, so only `calls` runs it.
int RunMainWindow(MainWindowContext& context, Player& player, const MainWindowCalls& calls,
                  const std::vector<std::string>& startup_names = {});

// The main window procedure of the program over the catalogue of `globals`: the data files open
// through GRUPA's relation manager while the window is open, "Add play list" writes to them
// directly, and Favorites > Edit runs the favourites window over them. Returns the window's
// response.
uint8_t CatalogueMainWindow(Globals& globals, Player& player,
                            const std::vector<std::string>& startup_names,
                            SingleInstance* instance = nullptr);
// Its context: the catalogue's files opened and closed with the window, "Add play list" through
// `writer` (which must outlive the window), files handed over by later starts through `instance`.
MainWindowContext CatalogueMainWindowContext(Globals& globals, FavouritesWriter& writer,
                                             SingleInstance* instance = nullptr);

}  // namespace cinevo::app
