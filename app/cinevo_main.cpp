// Cinevo + start-up: the runtime's locale tables first (built-in defaults, regional settings from
// the profile, then the environment file beside the program). The application's windows are
// still to come; until then the program reports its state and ends.
#include <cstdio>

#include "runtime/core/error.h"
#include "runtime/core/locale.h"

int main(int argc, char** argv) {
  cinevo::locale::Startup(argc > 0 ? argv[0] : "");
  std::printf("Cinevo + 0.1 - the runtime is in place; the movie catalogue windows are under construction.\n");
  return 0;
}
