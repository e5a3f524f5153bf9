#include "tools/tvx/tvx_check.h"

#include <memory>
#include <string>

#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_file.h"

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
  std::fprintf(out, "%s: %llu pages, %llu records, %zu violations\n", path.c_str(),
               static_cast<unsigned long long>(summary.pages), static_cast<unsigned long long>(summary.records),
               violations.size());
  return violations.empty() ? 0 : 1;
}

}  // namespace cinevo::tvx
