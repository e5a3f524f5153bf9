// Cinevo + start-up: the window system first (it takes its own options from the command line),
// then the runtime's locale tables (built-in defaults, regional settings from the profile, then
// the environment file beside the program), the event runtime, the data layer (the native driver
// and the answer to deferred builds), the data folder, and the main routine with the main window.
// Movie files named on the command line play as a drop of them would.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/data_startup.h"
#include "app/main_routine.h"
#include "app/main_window.h"
#include "app/player.h"
#include "runtime/core/locale.h"
#include "runtime/ui/events.h"
#include "runtime/ui/message_box.h"

int main(int argc, char** argv) {
  using namespace cinevo::app;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Cinevo +");
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  if (!cinevo::StartEventRuntime()) {
    std::fprintf(stderr, "Cinevo +: the window system could not be started.\n");
    return 2;
  }
  std::span<const char* const> args(const_cast<const char* const*>(argv) + (argc > 0 ? 1 : 0),
                                    static_cast<size_t>(argc > 0 ? argc - 1 : 0));
  std::optional<std::string> folder = ChooseDataFolder(args, [](const char* n) { return std::getenv(n); });
  std::string problem = folder ? PrepareDataFolder(*folder)
                               : std::string("No data folder can be named: set ") + kDataDirVariable +
                                     " or use " + kDataDirOption + " DIR.";
  if (!problem.empty()) {
    cinevo::ShowMessageBox(problem, "Cinevo +", cinevo::box_icon::kHand, cinevo::box_button::kOk);
    cinevo::ShutdownEvents();
    return 2;
  }
  const std::vector<std::string> movies = MovieArguments(argc, argv);
  StartDataRuntime(stderr);
  {
    std::unique_ptr<MediaLink> media = MakeSystemMediaLink();
    Player player(*media);
    // The main window's response is that of a window closed by the user; it is no failure.
    RunMainRoutine(*folder, [&](Globals& g) { return CatalogueMainWindow(g, player, movies); });
    player.CloseAllDevices();
  }
  StopDataRuntime();
  cinevo::ShutdownEvents();
  return 0;
}
