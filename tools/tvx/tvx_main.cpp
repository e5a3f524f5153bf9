// tvx: inspect, check, rebuild and query the native data files; evaluate filter expressions.
#include <cstdio>
#include <cstring>
#include <exception>

#include "tools/tvx/tvx_check.h"
#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_dump.h"
#include "tools/tvx/tvx_eval.h"
#include "tools/tvx/tvx_export.h"
#include "tools/tvx/tvx_import.h"
#include "tools/tvx/tvx_info.h"
#include "tools/tvx/tvx_rebuild.h"

namespace {

int Run(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::printf(
        "usage: tvx COMMAND [ARGS]\n"
        "  info FILE | check FILE | dump FILE [--key NAME] [--filter EXPR] [--order TEXT] [--explain]\n"
        "                                   [--format text|csv|json]\n"
        "  create FILE DECLARATION | import FILE --csv|--json SOURCE | export FILE [--json|--csv|--declaration] [--table NAME]\n"
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

}  // namespace

int main(int argc, char** argv) {
  // The commands return their failures; what the standard library throws (memory exhausted,
  // say) still ends with a message and a failure status, never an abort.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tvx: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "tvx: unexpected failure\n");
  }
  return 2;
}
