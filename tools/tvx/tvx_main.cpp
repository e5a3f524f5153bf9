// tvx: inspect, check, rebuild and query the native data files; evaluate filter expressions.
#include <cstdio>
#include <cstring>

#include "tools/tvx/tvx_check.h"
#include "tools/tvx/tvx_eval.h"
#include "tools/tvx/tvx_info.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: tvx COMMAND [ARGS]\n");
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "info") == 0) return cinevo::tvx::RunInfo(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "check") == 0) return cinevo::tvx::RunCheck(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "eval") == 0) return cinevo::tvx::RunEval(argc - 2, argv + 2, stdout, stderr);
  std::fprintf(stderr, "tvx: unknown command '%s'\n", argv[1]);
  return 2;
}
