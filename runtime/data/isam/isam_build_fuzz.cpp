// BUILD of a dynamic index from arbitrary component and filter texts, then every kind of read
// through it. Input: one byte choosing the index and the reads, then the components text, a
// newline and the filter text. Nothing may crash, hang or read out of bounds; bad texts must come
// back as errors and leave the file as it was.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/core/error.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"

using namespace cinevo;

namespace {

// One data file of 40 records, opened shared for the whole run.
struct Fixture {
  std::string dir;
  FileDeclaration decl;
  std::unique_ptr<FileControlBlock> file;

  Fixture() {
    char name[] = "/tmp/isam_build_fuzz_XXXXXX";
    dir = mkdtemp(name) ? name : "/tmp";
    isam::RegisterIsamDriver();
    isam::PageStoreOptions o;
    o.sync = false;
    isam::SetIsamStoreDefaults(o);
    SetFatalHandler([](int, const std::string&) {});  // reports are fine, ending the run is not
    decl.label = "MOV";
    decl.name = dir + "/MOVIES.TVX";
    decl.driver = "TARVEX";
    decl.fields = {MakeField("MOV:ID", TypeCode::kLong, 0, 4), MakeField("MOV:NAME", TypeCode::kString, 4, 12),
                   MakeField("MOV:SCORE", TypeCode::kSReal, 16, 4), MakeField("MOV:CITY", TypeCode::kCString, 20, 8)};
    decl.keys = {MakeKey("MOV:KID", kKeyPrimary, {1}), MakeKey("MOV:IDX", kKeyIndex, {-1}),
                 MakeKey("MOV:INAME", kKeyIndex | kKeyNoCase | kKeyOpt, {2}), MakeKey("MOV:KNAME", kKeyDup, {2})};
    file = std::make_unique<FileControlBlock>(decl);
    std::filesystem::remove(*decl.name);
    if (Create(*file) != 0 || Open(*file, 0x42) != 0) std::abort();
    const char* names[] = {"alpha", "Bravo", "", "delta", "ECHO", "foxtrot", "golf", ""};
    for (int i = 1; i <= 40; ++i) {
      std::fill(file->record.begin(), file->record.end(), 0);
      StoreU32(file->record.data(), static_cast<uint32_t>(i * 7 % 41));
      StoreString(reinterpret_cast<char*>(file->record.data() + 4), 12, names[i % 8]);
      StoreSReal(file->record.data() + 16, static_cast<float>(i % 5) - 2.0f);
      std::string city = std::to_string(i % 3);
      std::copy(city.begin(), city.end(), file->record.begin() + 20);
      if (Add(*file) != 0) std::abort();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fx;
  if (size == 0) return 0;
  FileControlBlock& f = *fx.file;
  const uint8_t choice = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t newline = text.find('\n');
  std::string components(text.substr(0, newline));
  std::string filter(newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1));
  const int key = (choice & 0x03) == 3 ? (choice & 0x04 ? 3 : 7) : (choice & 0x03);  // 3 is a KEY, 7 none
  int e = newline == std::string_view::npos ? BuildIndex(f, key, components) : BuildIndex(f, key, components, filter);
  if (e != 0 || key > 3) return 0;
  // Reads through whatever the index now is.
  if (SetKey(f, key) == 0) {
    int steps = 0;
    while (steps < 60 && ((choice & 0x10) ? Previous(f) : Next(f)) == 0) ++steps;
  }
  if (SetKey(f, key) == 0 && Next(f) == 0) {
    std::string position = PositionKey(f, key);
    Skip(f, (choice & 0x20) ? 3 : -2);
    if (ResetKey(f, key, position) == 0) Next(f);
    Bof(f);
    Eof(f);
  }
  Get(f, key);
  if (SetFromKey(f, key) == 0) Next(f);
  RecordsKey(f, key);
  if (choice & 0x40) {
    SetKeyFromKey(f, key, key);
    Previous(f);
  }
  return 0;
}
