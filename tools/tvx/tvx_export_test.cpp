// tvx export writes every record, declaration and key order of a file exactly as the ground
// truth of the files from another implementation has them; CSV for one table.
#include "tools/tvx/tvx_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;

// The ground truth without what only its generator knows (its scenario name, the transaction
// marker of a later stage).
std::string GroundTruth(const fs::path& json) {
  std::ifstream in(json);
  std::string line, text;
  bool in_marker = false;
  while (std::getline(in, line)) {
    if (line.find("\"scenario\"") != std::string::npos) continue;
    if (line.find("\"transaction_marker\"") != std::string::npos) {
      in_marker = true;
      if (!text.empty() && text[text.size() - 2] == ',') text.erase(text.size() - 2, 1);
      continue;
    }
    if (in_marker) {
      if (line == " }" || line == " },") in_marker = false;
      continue;
    }
    text += line + "\n";
  }
  return text;
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

}  // namespace
}  // namespace cinevo::tvx
