#include "tools/tvx/tvx_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::tvx {
namespace {

using namespace cinevo::isam;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Captured {
  int status;
  std::string out;
};

Captured RunCommand(int (*command)(int, char**, std::FILE*, std::FILE*), std::string arg) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  std::FILE* err = std::fopen("/dev/null", "w");
  char* argv[] = {arg.data()};
  int status = command(1, argv, out, err);
  std::fclose(out);
  std::fclose(err);
  std::string text(buffer, size);
  std::free(buffer);
  return {status, text};
}

class TvxCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tvx_check_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "GRUPA.TVX").string();
    PageStoreOptions options;
    options.sync = false;
    TableDeclaration d;
    d.record_length = 21;
    StreamField f;
    f.type = 18;
    f.name = "GRU:SIFRA";
    f.length = 21;
    f.declared_length = 21;
    d.fields = {f};
    OpenedTable t;
    ASSERT_TRUE(CreateTable(path_, d, options, t).ok());
    bool existed = false;
    for (uint32_t i = 1; i <= 50; ++i) {
      uint32_t recno = 0;
    ASSERT_TRUE(t.file->store().IssueNumber(recno).ok());
    ASSERT_TRUE(t.file->tree().Insert(MakeRecord(DataKey(t.number, recno), "group " + std::to_string(100 + i) + std::string(12, ' ')), existed).ok());
    }
    ASSERT_TRUE(t.file->tree().Replace(CountersRecord(t.number, kTagData, 50, 0), existed).ok());
    ASSERT_TRUE(t.file->store().Commit().ok());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(TvxCheckTest, CleanFileExitsZeroAndWritesNothing) {
  std::string before = ReadAll(path_);
  auto mtime = std::filesystem::last_write_time(path_);
  Captured c = RunCommand(RunCheck, (dir_ / "grupa").string());  // found with the default extension, any case
  EXPECT_EQ(c.status, 0) << c.out;
  EXPECT_NE(c.out.find("0 violations"), std::string::npos) << c.out;
  EXPECT_EQ(ReadAll(path_), before);
  EXPECT_EQ(std::filesystem::last_write_time(path_), mtime);
}

TEST_F(TvxCheckTest, EveryViolationIsListedAndTheExitStatusIsOne) {
  // Drop the table's declaration: its records can no longer be related to a layout.
  PageStoreOptions options;
  options.sync = false;
  {
    std::unique_ptr<IsamFile> file;
    ASSERT_TRUE(IsamFile::Open(path_, options, file).ok());
    bool found = false;
    ASSERT_TRUE(file->tree().Erase(DeclarationKey(1, 0), found).ok());
    ASSERT_TRUE(file->store().Commit().ok());
  }
  Captured c = RunCommand(RunCheck, path_);
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.out.find("no declaration"), std::string::npos) << c.out;
  EXPECT_NE(c.out.find("1 violations"), std::string::npos) << c.out;
}

TEST_F(TvxCheckTest, UnreadableFilesAreReported) {
  std::ofstream(path_, std::ios::trunc) << std::string(600, 'z');
  Captured c = RunCommand(RunCheck, path_);
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.out.find("error 36"), std::string::npos) << c.out;
  EXPECT_EQ(RunCommand(RunCheck, (dir_ / "NOFILE").string()).status, 2);
}

}  // namespace
}  // namespace cinevo::tvx
