// Cinevo + start-up: the runtime's locale tables first (built-in defaults, regional settings from
// the profile, then the environment file beside the program), then the data layer (the native
// driver and the answer to deferred builds), then the data folder, then the main routine.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>

#include "app/data_folder.h"
#include "app/data_startup.h"
#include "app/main_routine.h"
#include "runtime/core/locale.h"
#include "runtime/ui/message_box.h"

int main(int argc, char** argv) {
  using namespace cinevo::app;
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  std::span<const char* const> args(const_cast<const char* const*>(argv) + (argc > 0 ? 1 : 0),
                                    static_cast<size_t>(argc > 0 ? argc - 1 : 0));
  std::optional<std::string> folder = ChooseDataFolder(args, [](const char* n) { return std::getenv(n); });
  std::string problem = folder ? PrepareDataFolder(*folder)
                               : std::string("No data folder can be named: set ") + kDataDirVariable +
                                     " or use " + kDataDirOption + " DIR.";
  if (!problem.empty()) {
    cinevo::ShowMessageBox(problem, "Cinevo +", cinevo::box_icon::kHand, cinevo::box_button::kOk);
    return 2;
  }
  StartDataRuntime(stderr);
  uint8_t response = RunMainRoutine(*folder, [](Globals& g) { return PlaceholderMainWindow(g, stdout); });
  StopDataRuntime();
  return response == kRequestCompleted ? 0 : 1;
}
