// Opens an arbitrary byte string as a data file, walks and checks it, reads every table's
// declaration and, when the file looks sound, makes a few updates on it. Nothing may crash,
// hang or read out of bounds; every failure must come back as a status.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "runtime/data/isam/format_check.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

using namespace cinevo::isam;

namespace {

// A scratch file of its own for each input, in the temporary folder, removed with anything
// the page store made beside it (its journal) when the input is done.
class ScratchFile {
 public:
  ScratchFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "isam_fuzz_XXXXXX").string();
    int fd = mkstemp(pattern.data());
    if (fd >= 0) {
      close(fd);
      path_ = pattern;
    }
  }
  ~ScratchFile() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::remove(path_ + "-journal", ec);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Records of the transaction-marker kind: the check does not relate them to any table.
std::string MarkerKey(uint32_t n) {
  std::string k(1, static_cast<char>(kTagTransaction));
  k += TablePrefix(n);
  return k;
}

// One input, on the file at `path`; every object that holds the file is gone on return.
void CheckInput(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (size > 0) std::fwrite(data, 1, size, f);  // an empty input may come without any bytes at all
  std::fclose(f);

  PageStoreOptions options;
  options.sync = false;
  options.cache_limit = 8;  // small, so that eviction is exercised too
  options.cache_low = 4;
  options.index_cache_limit = 0;
  std::unique_ptr<IsamFile> file;
  if (!IsamFile::Open(path, options, file).ok()) return;

  std::vector<Violation> violations;
  FileSummary summary;
  if (!CheckFormat(file->store(), violations, summary).ok()) return;

  std::vector<TableInfo> tables;
  if (file->ListTables(tables).ok()) {
    for (const TableInfo& t : tables) {
      TableDeclaration decl;
      (void)file->ReadDeclaration(t.number, decl);
    }
  }
  // Walk backwards too, through the neighbour-leaf steps.
  Record r;
  bool found = false;
  std::string key(64, '\xFF');
  Status st = file->tree().AtOrBefore(key, r, found);
  for (int steps = 0; st.ok() && found && steps < 5000; ++steps) {
    key.assign(r.key());
    st = file->tree().Before(key, r, found);
  }

  if (violations.empty()) {
    // Updates on a sound file must keep it sound.
    PageStore& store = file->store();
    bool existed = false;
    for (uint32_t i = 0; i < 40; ++i) {
      std::string k = MarkerKey(i * 7919 % 1000);
      if (!file->tree().Insert(MakeRecord(k, std::string(30 + i * 13 % 400, static_cast<char>('a' + i % 3))), existed).ok()) break;
      if (!store.Commit().ok()) break;
    }
    for (uint32_t i = 0; i < 40; i += 2) {
      if (!file->tree().Erase(MarkerKey(i * 7919 % 1000), existed).ok()) break;
      if (!store.Commit().ok()) break;
    }
    std::vector<Violation> after;
    if (CheckFormat(store, after, summary).ok()) {
      for (const Violation& v : after) {
        std::fprintf(stderr, "update broke the file: check %d %s %s\n", v.check, v.where.c_str(), v.text.c_str());
        std::abort();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScratchFile scratch;
  if (!scratch.path().empty()) CheckInput(scratch.path(), data, size);
  return 0;
}
