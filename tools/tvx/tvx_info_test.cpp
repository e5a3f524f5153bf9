#include "tools/tvx/tvx_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::tvx {
namespace {

using namespace cinevo::isam;

std::string InfoOf(const std::string& path, int& status) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  std::FILE* err = std::fopen("/dev/null", "w");
  std::string arg = path;
  char* argv[] = {arg.data()};
  status = RunInfo(1, argv, out, err);
  std::fclose(out);
  std::fclose(err);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(TvxInfo, ShowsHeaderClassesTablesAndFigures) {
  auto dir = std::filesystem::temp_directory_path() / ("tvx_info_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "SHOP.TVX").string();
  PageStoreOptions options;
  options.sync = false;
  TableDeclaration d;
  d.record_length = 30;
  StreamField f;
  f.type = 18;
  f.name = "ORD:NOTE";
  f.length = 30;
  f.declared_length = 30;
  d.fields = {f};
  StreamKey k;
  k.name = "ORD:KNOTE";
  k.flags = 0x05;
  k.components = {{0, 1}};
  d.keys = {k};
  OpenedTable t;
  ASSERT_TRUE(CreateTable((dir / "SHOP").string() + "\\!orders", d, options, t).ok());
  bool existed = false;
  for (uint32_t i = 1; i <= 40; ++i) {
    uint32_t recno = 0;
    ASSERT_TRUE(t.file->store().IssueNumber(recno).ok());
    ASSERT_TRUE(t.file->tree().Insert(MakeRecord(DataKey(t.number, recno), std::string(30, ' ')), existed).ok());
  }
  ASSERT_TRUE(t.file->tree().Replace(CountersRecord(t.number, kTagData, 40, 0), existed).ok());
  ASSERT_TRUE(t.file->store().Commit().ok());
  t.file.reset();

  int status = -1;
  std::string out = InfoOf(path, status);
  EXPECT_EQ(status, 0);
  for (const char* want : {"number counter 41", "class  2", "tree: height 1", "ratio", "tables: 1",
                           "table ORDERS (number 1): 40 records (counter 40)", "field ORD:NOTE", "key   ORD:KNOTE",
                           "(-ORD:NOTE) DUP NOCASE"}) {
    EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << out;
  }
  std::filesystem::remove_all(dir);
  EXPECT_EQ(InfoOf(path, status), "");
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace cinevo::tvx
