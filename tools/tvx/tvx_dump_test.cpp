// `tvx dump` through the VIEW engine: a filter and an order as a program would set them, and
// the plan that --explain prints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tools/tvx/tvx_create.h"
#include "tools/tvx/tvx_dump.h"
#include "tools/tvx/tvx_import.h"
#include "tools/tvx/tvx_test_support.h"

namespace cinevo::tvx {
namespace {

namespace fs = std::filesystem;

class TvxDumpView : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tvx_dump_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = (dir_ / "PODGRU.TVX").string();
    std::ofstream(dir_ / "decl.txt") << "FIELD POD:SIFRA STRING(20)\n"
                                        "FIELD POD:NASLOV STRING(120)\n"
                                        "FIELD POD:NASLOV2 STRING(10)\n"
                                        "KEY POD:PRK POD:SIFRA,POD:NASLOV2 DUP OPT NOCASE\n";
    ASSERT_EQ(Invoke(RunCreate, {file_, (dir_ / "decl.txt").string()}, out_, err_), 0) << err_;
    std::ofstream(dir_ / "in.csv") << "SIFRA,NASLOV,NASLOV2\n"
                                      "Holidays,C:\\SEA.AVI,C:\\SEA.AVI\n"
                                      "Work,C:\\TALK.MPG,C:\\TALK.MP\n"
                                      "holidays,C:\\BEACH.MOV,C:\\BEACH.M\n"
                                      "Holidays,C:\\SUN.AVI,C:\\SUN.AVI\n";
    ASSERT_EQ(Invoke(RunImport, {file_, "--csv", (dir_ / "in.csv").string()}, out_, err_), 0) << err_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string file_, out_, err_;
};

TEST_F(TvxDumpView, FilterAndOrderReadThroughTheView) {
  ASSERT_EQ(Invoke(RunDump,
                   {file_, "--filter", "UPPER(POD:SIFRA) = UPPER('holidays')", "--order", "-POD:NASLOV", "--format",
                    "csv"},
                   out_, err_),
            0)
      << err_;
  EXPECT_EQ(out_,
            "RECNO,POD:SIFRA,POD:NASLOV,POD:NASLOV2\n"
            "5,Holidays,C:\\SUN.AVI,C:\\SUN.AVI\n"
            "2,Holidays,C:\\SEA.AVI,C:\\SEA.AVI\n"
            "4,holidays,C:\\BEACH.MOV,C:\\BEACH.M\n");
  ASSERT_EQ(Invoke(RunDump, {file_, "--filter", "INSTRING('.AVI', POD:NASLOV, 1, 1)", "--key", "POD:PRK"}, out_, err_),
            0);
  EXPECT_NE(out_.find("(2 records)"), std::string::npos) << out_;
}

TEST_F(TvxDumpView, ExplainPrintsThePlan) {
  ASSERT_EQ(Invoke(RunDump,
                   {file_, "--filter", "UPPER(POD:SIFRA) = UPPER('Holidays') AND INSTRING('.AVI', POD:NASLOV, 1, 1)",
                    "--order", "UPPER(POD:NASLOV2)", "--explain"},
                   out_, err_),
            0)
      << err_;
  EXPECT_EQ(out_,
            "key: POD:PRK (forward)\n"
            "range: UPPER(POD:SIFRA) = 'HOLIDAYS'\n"
            "filter: INSTRING('.AVI', POD:NASLOV, 1, 1)\n"
            "materialised: no\n");
}

TEST_F(TvxDumpView, TextsThatDoNotCompileAreRefused) {
  EXPECT_EQ(Invoke(RunDump, {file_, "--filter", "POD:NOSUCH = 1"}, out_, err_), 2);
  EXPECT_NE(err_.find("the filter does not compile (801"), std::string::npos) << err_;
  EXPECT_EQ(Invoke(RunDump, {file_, "--order", "POD:NASLOV +"}, out_, err_), 2);
  EXPECT_NE(err_.find("the order does not compile"), std::string::npos) << err_;
}

}  // namespace
}  // namespace cinevo::tvx
