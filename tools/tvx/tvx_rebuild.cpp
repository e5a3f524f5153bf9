#include "tools/tvx/tvx_rebuild.h"

#include <string>

#include "runtime/core/error_codes.h"
#include "runtime/data/file_statements.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {

int RunRebuild(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc < 1 || argc > 2) {
    std::fprintf(err, "usage: tvx rebuild FILE [KEY]\n");
    return 2;
  }
  ToolTable t;
  std::string error;
  if (OpenToolTable(argv[0], true, t, error) != 0) {
    std::fprintf(err, "tvx rebuild: %s\n", error.c_str());
    return 2;
  }
  int key = -1;
  if (argc == 2 && (key = FindKey(t.stored, argv[1])) < 0) {
    std::fprintf(err, "tvx rebuild: %s has no key %s\n", argv[0], argv[1]);
    return 2;
  }
  // A rebuild needs the file to itself: wait for the other programs' opens to end (they wait
  // for the rebuild in turn), then rebuild in one update.
  int e = Lock(*t.fcb, kToolWaitMs / 1000);
  if (e != 0) {
    std::fprintf(err, "tvx rebuild: %s: in use by another program; try again later (error %d); nothing changed\n",
                 argv[0], e);
    return 2;
  }
  e = key < 0 ? Build(*t.fcb) : BuildKey(*t.fcb, key);
  if (e != 0) {
    std::fprintf(err, "tvx rebuild: %s: %s (error %d); nothing changed\n", argv[0],
                 e == kErrCreatesDuplicateKey ? "a unique key holds duplicate values" : "the build failed", e);
    return e == kErrCreatesDuplicateKey ? 1 : 2;
  }
  for (size_t k = 0; k < t.stored.keys.size(); ++k) {
    if (key >= 0 && static_cast<size_t>(key) != k) continue;
    std::fprintf(out, "%s: %lld entries\n", t.stored.keys[k].name.value_or("").c_str(),
                 static_cast<long long>(RecordsKey(*t.fcb, static_cast<int>(k))));
  }
  return Close(*t.fcb) == 0 ? 0 : 2;
}

}  // namespace cinevo::tvx
