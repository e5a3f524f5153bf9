#include "app/main_window.h"

#include "app/about_window.h"
#include "app/favourites_window.h"
#include "app/drop_names.h"
#include "app/play_list_drop.h"
#include "app/play_list_window.h"
#include "app/player_windows.h"
#include "runtime/core/std_date.h"
#include "runtime/ui/event_code.h"
#include "runtime/ui/file_dialog.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/property.h"

namespace cinevo::app {

namespace mc = main_control;
namespace lv = classlib::level;

MainWindowManager::MainWindowManager(MainWindowContext& context, Player& player,
                                     const MainWindowCalls& calls,
                                     std::vector<std::string> startup_names)
    : WindowManager(managed),
      context_(context),
      player_(player),
      calls_(calls),
      startup_names_(std::move(startup_names)) {}

int MainWindowManager::Init() {
  if (context_.global_request != nullptr) request = *context_.global_request;
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  firstField = mc::kToolbar;
  vcrRequest = context_.vcr_request;
  toolbar_.Init();
  AddItem(toolbar_);
  if (context_.global_request != nullptr) *context_.global_request = 0;
  if (context_.global_response != nullptr) *context_.global_response = 0;
  if (context_.open_files) {
    context_.open_files();
    files_opened_ = true;
  }
  if (!win.Open("filmo$FILMO005", "P1$WINDOW")) return lv::kStop;
  opened = true;
  SetAlerts();
  if (context_.instance != nullptr) {
    context_.instance->SetReceiver([this](std::vector<std::string> names) { DropFilesOn(win, names); });
  }
  return lv::kContinue;
}

int MainWindowManager::Kill() {
  if (context_.instance != nullptr) context_.instance->SetReceiver({});
  int rc = WindowManager::Kill();
  if (files_opened_ && context_.close_files) context_.close_files();
  files_opened_ = false;
  return rc;
}

int MainWindowManager::TakeWindowEvent() {
  const int event = managed.Event();
  switch (event) {
    case EVENT::OpenWindow:
      player_.set_main_window_handle(static_cast<int16_t>(win.PropertyLong(PROP::Handle)));
      player_.WarmUp();
      break;
    case EVENT::Drop:
      PlayNames(SplitDroppedNames(win.DropText()));
      break;
    case EVENT::CloseWindow:
      player_.CloseAllDevices();  // the play list stays
      break;
    default:
      break;
  }
  int rc = WindowManager::TakeWindowEvent();
  if (event == EVENT::OpenWindow && !startup_names_.empty()) {
    // The files named on the command line play as a drop of them would, once the movies have a
    // window to play in.
    std::vector<std::string> names;
    names.swap(startup_names_);
    PlayNames(names);
  }
  return rc;
}

int MainWindowManager::TakeAccepted() {
  const int field = managed.Field();
  switch (field) {
    case mc::kOpen:
    case mc::kOpenButton:
      OpenMovie();
      break;
    case mc::kStop:
    case mc::kStopAll:
      player_.StopAll();
      break;
    case mc::kPlay:
    case mc::kPlayAll:
      player_.PlayAllFromStart();
      break;
    case mc::kContinue:
    case mc::kContinueAll:
      player_.ContinueAll();
      break;
    case mc::kClose:
    case mc::kCloseAll:
      player_.CloseAll();
      break;
    case mc::kIncrease:
      player_.ResizeAll(kIncreaseHundredths);
      break;
    case mc::kDecrease:
      player_.ResizeAll(kDecreaseHundredths);
      break;
    case mc::kAlignmentI:
      player_.Arrange(Alignment::kTiled);
      break;
    case mc::kAlignmentII:
      player_.Arrange(Alignment::kCascadedRows);
      break;
    case mc::kAddPlayList:
      StorePlayList();
      break;
    default:
      break;
  }
  int rc = WindowManager::TakeAccepted();
  if (rc != lv::kContinue) return rc;
  const std::function<void()>* run = field == mc::kInfo           ? &calls_.about
                                     : field == mc::kEditPlayList  ? &calls_.play_list
                                     : field == mc::kEditFavorites ? &calls_.favourites
                                                                   : nullptr;
  if (run != nullptr) {
    Update();
    if (*run) (*run)();
    Reset(false);
  }
  return rc;
}

void MainWindowManager::PlayNames(const std::vector<std::string>& names) {
  // Play-list files play as the movies they name.
  DroppedMovies dropped = ExpandPlayListFiles(names);
  if (!dropped.problems.empty()) {
    ShowMessageBox("These play lists could not be read:|" + dropped.problems, "Play list",
                   box_icon::kExclamation);
  }
  if (!dropped.movies.empty()) player_.PlayNames(dropped.movies);
}

void MainWindowManager::OpenMovie() {
  std::string chosen;
  if (!FileDialog("Choose Movie", chosen, "Avi|*.AVI|Mpg|*.MPG|Mov|*.MOV|All|*.*",
                  file_dialog_flag::kKeepDirectory)) {
    return;  // cancelled
  }
  // The dialog gives one file, so its name is played whole, commas and all.
  player_.PlayNames({chosen});
}

void MainWindowManager::StorePlayList() {
  FavouritesWriter* writer = context_.favourites_writer ? context_.favourites_writer() : nullptr;
  if (writer == nullptr) return;
  StorePlayListAsGroup(player_.play_list(), *writer, Today(), Clock());
}

int RunMainWindow(MainWindowContext& context, Player& player, const MainWindowCalls& calls,
                  const std::vector<std::string>& startup_names) {
  RegisterPlayerWindows();
  MainWindowCalls with_defaults = calls;
  if (!with_defaults.about) with_defaults.about = [] { RunAboutWindow(); };
  if (!with_defaults.play_list) with_defaults.play_list = [&player] { RunPlayListWindow(player); };
  MainWindowManager manager(context, player, with_defaults, startup_names);
  return manager.Run();
}

MainWindowContext CatalogueMainWindowContext(Globals& globals, FavouritesWriter& writer,
                                             SingleInstance* instance) {
  Catalogue& catalogue = *globals.catalogue;
  MainWindowContext context;
  context.global_request = &globals.globalRequest;
  context.global_response = &globals.globalResponse;
  context.vcr_request = &globals.vcrRequest;
  context.open_files = [&catalogue] {
    // A failure has been reported by the file managers; the window opens all the same, so that
    // movies can still be played.
    if (catalogue.GroupRelations().OpenAll() == 0) {
      catalogue.Groups().EnsureOpen();
      catalogue.Movies().EnsureOpen();
    }
  };
  context.close_files = [&catalogue] { catalogue.GroupRelations().CloseAll(); };
  context.favourites_writer = [&writer]() -> FavouritesWriter* { return &writer; };
  context.instance = instance;
  return context;
}

uint8_t CatalogueMainWindow(Globals& globals, Player& player,
                            const std::vector<std::string>& startup_names, SingleInstance* instance) {
  DirectFavouritesWriter writer(globals.catalogue->GroupFile(), globals.catalogue->MovieFile());
  MainWindowContext context = CatalogueMainWindowContext(globals, writer, instance);
  MainWindowCalls calls;
  calls.favourites = [&globals, &player] { RunFavouritesWindow(globals, player); };
  return static_cast<uint8_t>(RunMainWindow(context, player, calls, startup_names));
}

}  // namespace cinevo::app
