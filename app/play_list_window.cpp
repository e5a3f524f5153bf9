#include "app/play_list_window.h"

#include "runtime/ui/event_code.h"
#include "runtime/ui/property.h"

namespace cinevo::app {
namespace {

namespace lv = classlib::level;

// Key codes of a right click and of a left double click.
constexpr uint32_t kRightClick = 2;
constexpr uint32_t kDoubleClick = 5;

}  // namespace

PlayListManager::PlayListManager(Player& player, std::function<void()> run_player)
    : WindowManager(managed), player_(player), run_player_(std::move(run_player)) {}

int PlayListManager::Init() {
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  if (!win.Open("filmo$FILMO008", "P1$WINDOW")) return lv::kStop;
  win.BindQueue(kPlayListControl, &player_.play_list().queue(),
                   {QueueField{0, static_cast<uint32_t>(kEntrySize), TypeCode::kString, 0}});
  opened = true;
  SetAlerts();
  return lv::kContinue;
}

int PlayListManager::TakeAccepted() {
  if (managed.Field() == kPlayListControl && !player_.play_list().Empty()) {
    const uint32_t key = managed.KeyCode();
    if (key == kRightClick || key == kDoubleClick) {
      int32_t row = win.PropertyLong(PROP::Selection, kPlayListControl);
      if (row < 1) row = 1;
      player_.set_selected_movie(player_.play_list().Get(row));
      if (run_player_) run_player_();
      win.Display(kPlayListControl);
    }
  }
  return WindowManager::TakeAccepted();
}

PlayerManager::PlayerManager(Player& player, std::function<void()> run_details)
    : WindowManager(managed), player_(player), run_details_(std::move(run_details)) {}

int PlayerManager::Init() {
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  if (!win.Open("filmo$FILMO007", "P1$WINDOW")) return lv::kStop;
  opened = true;
  SetAlerts();
  return lv::kContinue;
}

int PlayerManager::TakeWindowEvent() {
  if (managed.Event() == EVENT::OpenWindow) {
    const std::string& selected = player_.selected_movie();
    if (selected.empty()) managed.Post(EVENT::CloseWindow);
    // The tips name the movie by its path in lower case.
    const std::string path = AsciiLower(EntryPath(selected));
    namespace pc = player_control;
    managed.SetTip(pc::kStop, "Stop " + path);
    managed.SetTip(pc::kContinue, "Continue " + path);
    managed.SetTip(pc::kPlay, "Play " + path);
    managed.SetTip(pc::kClose, "Close " + path);
    managed.SetTip(pc::kDetails, "Details " + path);
  }
  return WindowManager::TakeWindowEvent();
}

int PlayerManager::TakeAccepted() {
  namespace pc = player_control;
  const int field = managed.Field();
  const std::string selected = player_.selected_movie();
  switch (field) {
    case pc::kStop:
      player_.StopMovie(selected);
      break;
    case pc::kContinue:
      player_.ContinueMovie(selected);
      break;
    case pc::kPlay:
      player_.PlayMovieFromStart(selected);
      break;
    case pc::kClose:
      player_.CloseMovie(selected);
      break;
    case pc::kRefresh:
      player_.RefreshPlayList();
      break;
    default:
      break;
  }
  if (field != pc::kDetails) {
    // Every other button closes the window after acting: the play list shows the outcome.
    if (field >= pc::kStop && field <= pc::kBack) managed.Post(EVENT::CloseWindow);
    return WindowManager::TakeAccepted();
  }
  int rc = WindowManager::TakeAccepted();
  if (rc != lv::kContinue) return rc;
  Update();
  if (run_details_) run_details_();
  Reset(false);
  return rc;
}

DetailsManager::DetailsManager(Player& player) : WindowManager(managed), player_(player) {}

int DetailsManager::Init() {
  int rc = WindowManager::Init();
  if (rc != lv::kContinue) return rc;
  firstField = details_control::kBack;
  if (!win.Open("filmo$FILMO009", "P1$WINDOW")) return lv::kStop;
  opened = true;
  SetAlerts();
  return lv::kContinue;
}

int DetailsManager::TakeWindowEvent() {
  if (managed.Event() == EVENT::OpenWindow) {
    if (player_.selected_movie().empty()) managed.Post(EVENT::CloseWindow);
    const MovieDetails d = player_.ReadDetails(player_.selected_movie());
    namespace dc = details_control;
    win.SetProperty(PROP::Text, d.caption);
    win.SetProperty(PROP::Text, d.version, dc::kVersion);
    win.SetProperty(PROP::Text, d.product, dc::kProduct);
    win.SetProperty(PROP::Text, d.status, dc::kStatus);
    win.SetProperty(PROP::Text, d.destination, dc::kDestination);
    win.SetProperty(PROP::Text, d.audio, dc::kAudio);
    win.SetProperty(PROP::Text, d.frames, dc::kFrames);
    win.SetProperty(PROP::Text, d.milliseconds, dc::kMilliseconds);
  }
  return WindowManager::TakeWindowEvent();
}

int DetailsManager::TakeAccepted() {
  if (managed.Field() == details_control::kBack) managed.Post(EVENT::CloseWindow);
  return WindowManager::TakeAccepted();
}

void RunPlayListWindow(Player& player) {
  PlayListManager manager(player, [&player] { RunPlayerWindow(player); });
  manager.Run();
}

void RunPlayerWindow(Player& player) {
  PlayerManager manager(player, [&player] { RunDetailsWindow(player); });
  manager.Run();
}

void RunDetailsWindow(Player& player) {
  DetailsManager manager(player);
  manager.Run();
}

}  // namespace cinevo::app
