// Fuzz target: a filter text and an order text (the input split at its first newline) applied to
// a VIEW over a small file of random records, planned and plain, by every key of the file and
// in record order; the two must give the same rows in the same order, both ways.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "runtime/data/file_statements.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/view/view_plan_check.h"

namespace {

using namespace cinevo;

struct Table {
  std::filesystem::path dir;
  FileDeclaration decl;
  std::unique_ptr<FileControlBlock> file;
};

Table& TheTable() {
  static Table* table = [] {
    auto* t = new Table;
    isam::RegisterIsamDriver();
    isam::PageStoreOptions o;
    o.sync = false;
    isam::SetIsamStoreDefaults(o);
    t->dir = std::filesystem::temp_directory_path() / ("view_plan_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(t->dir);
    t->decl = view::RandomTableDeclaration((t->dir / "T").string());
    t->file = std::make_unique<FileControlBlock>(t->decl);
    std::mt19937 rng(5);
    if (Create(*t->file) != 0 || Share(*t->file, 0x42) != 0 || view::FillRandomTable(*t->file, 40, rng) != 0) {
      std::fprintf(stderr, "view_plan_fuzz: cannot make the file\n");
      std::abort();
    }
    return t;
  }();
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 400) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find('\n');
  const std::string filter = text.substr(0, cut);
  const std::string order = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  Table& t = TheTable();
  for (int key = -1; key < 5; ++key) {
    // Some reads start as a short declared read, as a browse page does.
    std::string diff = view::ComparePlanned(*t.file, key, filter, order, nullptr, (key + 2) % 4);
    if (!diff.empty()) {
      std::fprintf(stderr, "%s\n", diff.c_str());
      std::abort();
    }
  }
  return 0;
}
