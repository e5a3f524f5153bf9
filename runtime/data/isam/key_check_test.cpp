// The cross-check finds every kind of disagreement between keys, counters and records, and
// none in sound files (ours and those of another implementation).
#include "runtime/data/isam/key_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/testing/test_data_dir.h"
#include "runtime/core/value_storage.h"
#include "runtime/data/file_statements.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_driver.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

namespace fs = std::filesystem;

class KeyCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIsamDriver();
    dir_ = fs::temp_directory_path() / ("key_check_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "K.TVX").string();
    FileDeclaration d;
    d.label = "K";
    d.name = path_;
    d.driver = std::string(kDriverName);
    d.fields = {MakeField("K:ID", TypeCode::kLong, 0, 4), MakeField("K:NAME", TypeCode::kString, 4, 8)};
    d.keys = {MakeKey("K:KID", 0, {1}), MakeKey("K:KNAME", kKeyDup | kKeyOpt, {2})};
    decl_ = d;
    FileControlBlock f(decl_);
    ASSERT_EQ(Create(f), 0);
    ASSERT_EQ(Open(f), 0);
    for (int i = 1; i <= 30; ++i) {
      StoreU32(f.record.data(), static_cast<uint32_t>(i));
      StoreString(reinterpret_cast<char*>(f.record.data() + 4), 8, i % 3 ? "n" + std::to_string(i % 5) : "");
      ASSERT_EQ(Add(f), 0);
    }
  }
  void TearDown() override { fs::remove_all(dir_); }

  KeyCheckResult Check() {
    std::unique_ptr<IsamFile> file;
    PageStoreOptions ro;
    ro.read_only = true;
    EXPECT_TRUE(IsamFile::Open(path_, ro, file).ok());
    KeyCheckResult r;
    EXPECT_TRUE(CrossCheckKeys(*file, r).ok());
    return r;
  }
  // Changes the file directly, below the driver.
  template <typename F>
  void Tamper(F change) {
    std::unique_ptr<IsamFile> file;
    ASSERT_TRUE(IsamFile::Open(path_, {}, file).ok());
    change(*file);
    ASSERT_TRUE(file->store().Commit().ok());
  }
  static std::string Join(const KeyCheckResult& r) {
    std::string s;
    for (const KeyProblem& p : r.problems) s += p.where + ": " + p.text + "\n";
    return s;
  }

  fs::path dir_;
  std::string path_;
  FileDeclaration decl_;
};

TEST_F(KeyCheckTest, SoundFileHasNoProblem) {
  KeyCheckResult r = Check();
  EXPECT_TRUE(r.problems.empty()) << Join(r);
  EXPECT_EQ(r.entries_checked, 30u + 20u);
}

TEST_F(KeyCheckTest, MissingStrayAndMiscountedEntriesAreFound) {
  Tamper([](IsamFile& f) {
    // Record 5's ID entry goes; a stray entry for a record that is not there appears.
    std::string entry = KeyEntryPrefix(1, 0);
    AppendBe32(entry, 5 ^ 0x80000000u);
    bool found = false;
    ASSERT_TRUE(f.tree().Erase(entry, found).ok());
    ASSERT_TRUE(found);
    std::string stray = KeyEntryPrefix(1, 0);
    AppendBe32(stray, 999 ^ 0x80000000u);
    std::string payload;
    AppendBe32(payload, 999);
    bool existed = false;
    ASSERT_TRUE(f.tree().Insert(MakeRecord(stray, payload), existed).ok());
    ASSERT_TRUE(f.tree().Replace(CountersRecord(1, kTagData, 31, 0), found).ok());
  });
  std::string problems = Join(Check());
  EXPECT_NE(problems.find("record 6 has no entry"), std::string::npos) << problems;  // ID 5 is record 6
  EXPECT_NE(problems.find("for record 999 matches no record"), std::string::npos) << problems;
  EXPECT_NE(problems.find("data counter says 31, 30 records are there"), std::string::npos) << problems;
}

TEST_F(KeyCheckTest, KeysAfterAnAppendHoldOnlyRecordsBelowTheMark) {
  {
    FileControlBlock f(decl_);
    ASSERT_EQ(Open(f), 0);
    StoreU32(f.record.data(), 100);
    ASSERT_EQ(Append(f), 0);
  }
  KeyCheckResult r = Check();
  EXPECT_TRUE(r.problems.empty()) << Join(r);
}

TEST(KeyCheckForeign, FilesOfAnotherImplementationAreClean) {
  fs::path dir = ::cinevo::TestDataDir() / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  for (const char* name : {"types.tvx", "multitable.tvx", "empty.tvx", "catalogue/GRUPA.TVX", "catalogue/PODGRU.TVX"}) {
    std::unique_ptr<IsamFile> file;
    PageStoreOptions ro;
    ro.read_only = true;
    ASSERT_TRUE(IsamFile::Open((dir / name).string(), ro, file).ok()) << name;
    KeyCheckResult r;
    ASSERT_TRUE(CrossCheckKeys(*file, r).ok()) << name;
    std::string s;
    for (const KeyProblem& p : r.problems) s += p.where + ": " + p.text + "\n";
    EXPECT_TRUE(r.problems.empty()) << name << "\n" << s;
  }
}

}  // namespace
}  // namespace cinevo::isam
