// Cinevo + start-up: the window system first (it takes its own options from the command line),
// then the runtime's locale tables (built-in defaults, regional settings from the profile, then
// the environment file beside the program), the event runtime, the data layer (the native driver
// and the answer to deferred builds), the data folder, and the main routine with the main window.
// Movie files named on the command line play as a drop of them would. The play-list commands
// (--export-group, --import-list) run without any window and end. While the program runs on a
// data folder, a second start on the same folder hands its files to it and ends.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/data_startup.h"
#include "app/list_commands.h"
#include "app/main_routine.h"
#include "app/main_window.h"
#include "app/player.h"
#include "runtime/core/locale.h"
#include "runtime/ui/events.h"
#include "runtime/ui/message_box.h"
#include "runtime/ui/single_instance.h"

namespace {

// The data folder, made ready; nullopt with `problem` when there is none to use.
std::optional<std::string> DataFolderOf(int argc, char** argv, std::string& problem) {
  using namespace cinevo::app;
  std::span<const char* const> args(const_cast<const char* const*>(argv) + (argc > 0 ? 1 : 0),
                                    static_cast<size_t>(argc > 0 ? argc - 1 : 0));
  std::optional<std::string> folder = ChooseDataFolder(args, [](const char* n) { return std::getenv(n); });
  problem = folder ? PrepareDataFolder(*folder)
                   : std::string("No data folder can be named: set ") + kDataDirVariable + " or use " +
                         kDataDirOption + " DIR.";
  if (!problem.empty()) return std::nullopt;
  return folder;
}

// `cinevo --export-group` and `--import-list` work on the catalogue without a window.
int RunListCommandLine(const cinevo::app::ListCommand& command, int argc, char** argv) {
  using namespace cinevo::app;
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  std::string problem;
  std::optional<std::string> folder = DataFolderOf(argc, argv, problem);
  if (!folder) {
    std::fprintf(stderr, "cinevo: %s\n", problem.c_str());
    return 1;
  }
  StartDataRuntime(stderr);
  int status = RunListCommand(command, *folder, stdout, stderr);
  StopDataRuntime();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace cinevo::app;
  if (ListCommand command = ParseListCommand(argc, argv);
      command.kind != ListCommand::Kind::kNone || !command.error.empty()) {
    return RunListCommandLine(command, argc, argv);
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Cinevo +");
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  if (!cinevo::StartEventRuntime()) {
    std::fprintf(stderr, "Cinevo +: the window system could not be started.\n");
    return 2;
  }
  std::string problem;
  std::optional<std::string> folder = DataFolderOf(argc, argv, problem);
  if (!folder) {
    cinevo::ShowMessageBox(problem, "Cinevo +", cinevo::box_icon::kHand, cinevo::box_button::kOk);
    cinevo::ShutdownEvents();
    return 2;
  }
  const std::vector<std::string> movies = MovieArguments(argc, argv);
  // One program per data folder: a running one takes the files and this start ends.
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(*folder, ec);
  cinevo::SingleInstance instance(ec ? *folder : canonical.string());
  if (instance.Claim(movies) == cinevo::SingleInstance::Role::kHandedOver) {
    cinevo::ShutdownEvents();
    return 0;
  }
  if (!instance.problem().empty()) {
    std::fprintf(stderr, "Cinevo +: %s; this start runs on its own.\n", instance.problem().c_str());
  }
  StartDataRuntime(stderr);
  {
    std::unique_ptr<MediaLink> media = MakeSystemMediaLink();
    Player player(*media);
    // The main window's response is that of a window closed by the user; it is no failure.
    RunMainRoutine(*folder, [&](Globals& g) { return CatalogueMainWindow(g, player, movies, &instance); });
    player.CloseAllDevices();
  }
  StopDataRuntime();
  cinevo::ShutdownEvents();
  return 0;
}
