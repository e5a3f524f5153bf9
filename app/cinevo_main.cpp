// Cinevo + start-up: the runtime's locale tables first (built-in defaults, regional settings from
// the profile, then the environment file beside the program), then the data layer (the native
// driver and the answer to deferred builds). The application's windows are still to come; until
// then the program reports its state and ends.
#include <cstdio>

#include "app/data_startup.h"
#include "runtime/core/error.h"
#include "runtime/core/locale.h"

int main(int argc, char** argv) {
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  cinevo::app::StartDataRuntime(stderr);
  std::printf("Cinevo + 0.1 - the runtime is in place; the movie catalogue windows are under construction.\n");
  cinevo::app::StopDataRuntime();
  return 0;
}
