// tvx: inspect, check, rebuild and query the native data files; evaluate filter expressions.
#include <cstdio>
#include <cstring>

#include "tools/tvx/tvx_check.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_dump.h"
#include "tools/tvx/tvx_eval.h"
#include "tools/tvx/tvx_export.h"
#include "tools/tvx/tvx_import.h"
#include "tools/tvx/tvx_info.h"
#include "tools/tvx/tvx_rebuild.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::printf(
        "usage: tvx COMMAND [ARGS]\n"
        "  info FILE | check FILE | dump FILE [--key NAME] [--filter EXPR] [--order TEXT] [--explain]\n"
        "                                   [--format text|csv|json]\n"
        "  create FILE DECLARATION | import FILE --csv|--json SOURCE | export FILE [--json|--csv] [--table NAME]\n"
        "  rebuild FILE [KEY] | eval EXPRESSION [--bind NAME=VALUE]\n");
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "info") == 0) return cinevo::tvx::RunInfo(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "check") == 0) return cinevo::tvx::RunCheck(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "eval") == 0) return cinevo::tvx::RunEval(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "dump") == 0) return cinevo::tvx::RunDump(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "create") == 0) return cinevo::tvx::RunCreate(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "import") == 0) return cinevo::tvx::RunImport(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "rebuild") == 0) return cinevo::tvx::RunRebuild(argc - 2, argv + 2, stdout, stderr);
  if (std::strcmp(argv[1], "export") == 0) return cinevo::tvx::RunExport(argc - 2, argv + 2, stdout, stderr);
  std::fprintf(stderr, "tvx: unknown command '%s'\n", argv[1]);
  return 2;
}
