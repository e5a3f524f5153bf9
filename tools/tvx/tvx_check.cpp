#include "tools/tvx/tvx_check.h"

#include <memory>
#include <string>

#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/key_check.h"
#include "tools/tvx/tvx_table.h"

namespace cinevo::tvx {

using namespace cinevo::isam;

int RunCheck(int argc, char** argv, std::FILE* out, std::FILE* err) {
  if (argc != 1) {
    std::fprintf(err, "usage: tvx check FILE\n");
    return 2;
  }
  PageStoreOptions options;
  options.read_only = true;
  std::string path = ResolvePhysicalPath(argv[0]);
  // The check reads the file as one committed state: it holds a reader slot and the update
  // lock throughout, so no other program commits under it.
  FileHold reading;
  std::string busy;
  if (!reading.Take(path, kToolWaitMs, busy)) {
    std::fprintf(err, "tvx check: %s\n", busy.c_str());
    return 2;
  }
  std::unique_ptr<PageStore> store;
  Status st = PageStore::Open(path, options, store);
  if (!st.ok()) {
    // A file whose header cannot be read is itself one violation.
    std::fprintf(out, "%s: error %d (check %d): %s\n", path.c_str(), st.code, st.file_error, st.detail.c_str());
    return st.code == kErrFileNotFound ? 2 : 1;
  }
  std::vector<Violation> violations;
  FileSummary summary;
  st = CheckFormat(*store, violations, summary);
  if (!st.ok()) {
    std::fprintf(out, "%s: error %d (check %d): %s\n", path.c_str(), st.code, st.file_error, st.detail.c_str());
    return 1;
  }
  for (const Violation& v : violations) {
    std::fprintf(out, "%s: check %d: %s: %s\n", path.c_str(), v.check, v.where.c_str(), v.text.c_str());
  }
  // With a sound tree, every key entry and counter is checked against the data records.
  if (violations.empty()) {
    std::unique_ptr<IsamFile> file;
    KeyCheckResult keys;
    st = IsamFile::Open(path, options, file);
    if (st.ok()) st = CrossCheckKeys(*file, keys);
    if (!st.ok()) {
      std::fprintf(out, "%s: error %d (check %d): %s\n", path.c_str(), st.code, st.file_error, st.detail.c_str());
      return 1;
    }
    for (const KeyProblem& p : keys.problems) {
      std::fprintf(out, "%s: keys: %s: %s\n", path.c_str(), p.where.c_str(), p.text.c_str());
      violations.push_back({0, p.where, p.text});
    }
    for (const std::string& note : keys.notes) std::fprintf(out, "%s: note: %s\n", path.c_str(), note.c_str());
  }
  std::fprintf(out, "%s: %llu pages, %llu records, %zu violations\n", path.c_str(),
               static_cast<unsigned long long>(summary.pages), static_cast<unsigned long long>(summary.records),
               violations.size());
  return violations.empty() ? 0 : 1;
}

}  // namespace cinevo::tvx
