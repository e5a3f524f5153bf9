// The fuzz target for opening files, run on a few inputs in the normal build: it must leave
// the temporary folder as it found it (no scratch file, no journal), whatever the input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

TEST(IsamOpenFuzzTarget, LeavesNothingInTheTemporaryFolder) {
  fs::path scratch = fs::temp_directory_path() / ("isam_open_fuzz_" + std::to_string(::getpid()));
  fs::path tmp = scratch / "tmp";
  fs::create_directories(tmp);
  // A sound file with a table, so that the target also makes updates (and a journal).
  std::string sound;
  {
    PageStoreOptions options;
    options.sync = false;
    TableDeclaration d;
    d.record_length = 4;
    StreamField f;
    f.type = 6;  // LONG
    f.name = "A:N";
    f.length = 4;
    d.fields = {f};
    OpenedTable t;
    ASSERT_TRUE(CreateTable((scratch / "SOUND.TVX").string(), d, options, t).ok());
  }
  std::ifstream in(scratch / "SOUND.TVX", std::ios::binary);
  sound.assign(std::istreambuf_iterator<char>(in), {});
  ASSERT_FALSE(sound.empty());

  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  ::setenv("TMPDIR", tmp.c_str(), 1);
  std::string garbage(700, 'z');
  for (const std::string* input : {&sound, &garbage}) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input->data()), input->size());
  }
  LLVMFuzzerTestOneInput(nullptr, 0);
  if (old) ::setenv("TMPDIR", saved.c_str(), 1); else ::unsetenv("TMPDIR");

  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(tmp)) left.push_back(e.path().filename().string());
  EXPECT_TRUE(left.empty()) << left.size() << " left, first " << (left.empty() ? "" : left[0]);
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace cinevo::isam
