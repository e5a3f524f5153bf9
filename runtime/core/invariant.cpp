#include "runtime/core/invariant.h"

#include <cstdio>
#include <cstdlib>

namespace cinevo {

void InvariantBroken(const char* rule, const char* condition, const char* file, int line) {
  std::fprintf(stderr, "Invariant broken: %s\n  (%s) is false at %s:%d\n", rule, condition, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace cinevo
