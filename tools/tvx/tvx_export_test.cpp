// tvx export writes every record, declaration and key order of a file exactly as the ground
// truth of the files from another implementation has them; CSV for one table.
#include "tools/tvx/tvx_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/record_kinds.h"
#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;

// The ground truth without its generator's scenario name, which only the generator knows.
std::string GroundTruth(const fs::path& json) {
  std::ifstream in(json);
  std::string line, text;
  while (std::getline(in, line)) {
    if (line.find("\"scenario\"") != std::string::npos) continue;
    text += line + "\n";
  }
  return text;
}

// A one-table file of our own, with the given transaction marker payload when not empty.
std::string MakeFile(const fs::path& dir, const std::string& marker_payload) {
  fs::create_directories(dir);
  std::string path = (dir / "MARK.TVX").string();
  fs::remove(path);
  isam::PageStoreOptions options;
  options.sync = false;
  isam::TableDeclaration d;
  d.record_length = 4;
  isam::StreamField f;
  f.type = 6;
  f.name = "MRK:ID";
  f.length = 4;
  d.fields = {f};
  isam::OpenedTable t;
  EXPECT_TRUE(isam::CreateTable(path, d, options, t).ok());
  if (!marker_payload.empty()) {
    bool existed = false;
    EXPECT_TRUE(t.file->tree().Insert(isam::MakeRecord(std::string(1, '\xFF'), marker_payload), existed).ok());
    EXPECT_TRUE(t.file->store().Commit().ok());
  }
  return path;
}

TEST(TvxExport, MatchesTheGroundTruthOfEveryForeignFile) {
  fs::path dir = fs::path(CINEVO_TESTDATA_DIR) / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  for (const char* name : {"types.tvx", "multitable.tvx", "empty.tvx", "catalogue/GRUPA.TVX", "catalogue/PODGRU.TVX"}) {
    std::string out, err;
    ASSERT_EQ(Invoke(RunExport, {(dir / name).string()}, out, err), 0) << name << ": " << err;
    std::string expected = GroundTruth(dir / (std::string(name) + ".json"));
    EXPECT_EQ(out, expected) << name;
  }
}

TEST(TvxExport, CsvOfOneTableAndClearErrors) {
  fs::path dir = fs::path(CINEVO_TESTDATA_DIR) / "tvx";
  if (!fs::exists(dir)) GTEST_SKIP() << "test data not present: " << dir;
  std::string out, err;
  ASSERT_EQ(Invoke(RunExport, {(dir / "catalogue/GRUPA.TVX").string(), "--csv"}, out, err), 0) << err;
  std::istringstream lines(out);
  std::string header;
  std::getline(lines, header);
  EXPECT_EQ(header, "GRU:SIFRA,GRU:SFSEL");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 206);  // header and 205 groups
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--csv"}, out, err), 2);
  EXPECT_NE(err.find("--table"), std::string::npos);
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--csv", "--table", "orders"}, out, err), 0) << err;
  EXPECT_EQ(out.rfind("ORD:ID,", 0), 0u);
  EXPECT_EQ(Invoke(RunExport, {(dir / "multitable.tvx").string(), "--table", "NOPE"}, out, err), 2);
  EXPECT_EQ(Invoke(RunExport, {"/nonexistent/file.tvx"}, out, err), 2);
  EXPECT_FALSE(err.empty());
}

TEST(TvxExport, TransactionMarkerOfOurOwnFiles) {
  fs::path dir = fs::temp_directory_path() / ("tvx_export_marker_" + std::to_string(::getpid()));
  std::string out, err;
  // No marker: no member for it.
  std::string path = MakeFile(dir, "");
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_EQ(out.find("transaction_marker"), std::string::npos);
  // A marker: its number as the hex of the stored bytes, the control file's name without its zero.
  path = MakeFile(dir, std::string("\x07\x00\x00\x01", 4) + "C:\\TARVEX.TCF" + std::string(1, '\0'));
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_NE(out.find(" \"transaction_marker\": {\n  \"transaction\": \"07000001\",\n"
                     "  \"control_file\": \"C:\\\\TARVEX.TCF\"\n }\n}\n"),
            std::string::npos)
      << out;
  // A damaged marker shorter than its number is shown as it is, not read past its end.
  path = MakeFile(dir, std::string("\x12\x34", 2));
  ASSERT_EQ(Invoke(RunExport, {path}, out, err), 0) << err;
  EXPECT_NE(out.find("\"transaction\": \"1234\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"control_file\": \"\""), std::string::npos) << out;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::tvx
