// The native driver's operations in the trace log, switched on through the profile.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/profile.h"
#include "runtime/data/driver_trace.h"
#include "runtime/data/isam/isam_test_support.h"

namespace cinevo::isam {
namespace {

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::PrepareDriverTest("trace");
    old_profile_ = std::getenv("CINEVO_PROFILE") ? std::getenv("CINEVO_PROFILE") : "";
    profile_ = (dir_ / "profile.ini").string();
    setenv("CINEVO_PROFILE", profile_.c_str(), 1);
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    ForgetTracedDeclarations();
    decl_.label = "MOVIES";
    decl_.name = (dir_ / "MOVIES").string();
    decl_.driver = "TARVEX";
    decl_.owner = "hidden";
    decl_.fields = {MakeField("MOV:ID", TypeCode::kLong, 0, 4), MakeField("MOV:NAME", TypeCode::kString, 4, 6)};
    decl_.keys = {MakeKey("MOV:KEY", 0, {1})};
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    if (old_profile_.empty()) {
      unsetenv("CINEVO_PROFILE");
    } else {
      setenv("CINEVO_PROFILE", old_profile_.c_str(), 1);
    }
    std::filesystem::remove_all(dir_);
  }
  void Profile(std::string_view key, std::string_view value) {
    ASSERT_TRUE(platform::WriteIniValue(profile_, "VXTARVEX", key, value));
  }
  // Creates the file, adds record 1 and looks for id 2 (35) in a new control block.
  void Work() {
    {
      FileControlBlock f(decl_);
      ASSERT_EQ(Create(f), 0);
    }
    FileControlBlock f(decl_);
    ASSERT_EQ(Share(f, 0x42), 0);
    StoreU32(f.record.data(), 1);
    StoreString(reinterpret_cast<char*>(f.record.data() + 4), 6, "Sea");
    ASSERT_EQ(Add(f), 0);
    StoreU32(f.record.data(), 2);
    EXPECT_EQ(Get(f, 0), 35);
    ASSERT_EQ(Close(f), 0);
  }
  static std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The log with every duration made 0.00 (the clock may tick during an operation).
  static std::string Steady(std::string log) {
    for (size_t at = 0; (at = log.find("Time Taken: ", at)) != std::string::npos;) {
      at += 12;
      size_t end = log.find(" secs", at);
      log.replace(at, end - at, "0.00");
    }
    return log;
  }

  std::filesystem::path dir_, old_cwd_;
  std::string profile_, old_profile_;
  FileDeclaration decl_;
};

TEST_F(TraceTest, ProfileZeroWritesNothing) {
  Profile("Profile", "0");
  Work();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "TARVEX.LOG"));
}

TEST_F(TraceTest, EmptyTraceFileWritesTarvexLogHereLineByLine) {
  Profile("Profile", "1");
  Profile("TraceFile", "");
  Work();
  const std::string name = decl_.name.value();
  EXPECT_EQ(Steady(Slurp(dir_ / "TARVEX.LOG")),
            "CREATE(" + name + ") Time Taken: 0.00 secs\r\n"
            "SHARE(" + name + ") Time Taken: 0.00 secs\r\n"
            "ADD(" + name + ") Time Taken: 0.00 secs\r\n"
            "GETfilekey(" + name + ",MOV:KEY[1]) Error: Record Not Found Time Taken: 0.00 secs\r\n"
            "CLOSE(" + name + ") Time Taken: 0.00 secs\r\n");
}

TEST_F(TraceTest, DetailsAddRecordsAndTheDeclarationOnce) {
  decl_.name = "MOVIES";  // a short name, so that heads are padded
  Profile("Profile", "1");
  Profile("Details", "1");
  Profile("TraceFile", (dir_ / "detail.log").string());
  Work();
  const std::string log = Steady(Slurp(dir_ / "detail.log"));
  EXPECT_EQ(log.find("MOVIES              FILE,DRIVER(TARVEX),OWNER(******),NAME('MOVIES')\r\n"), 0u) << log;
  EXPECT_EQ(log.find("hidden"), std::string::npos);
  EXPECT_NE(log.find("ADD(MOVIES)       Time Taken: 0.00 secs\r\n"
                     "  MOV:ID            : 1\r\n"
                     "  MOV:NAME          : 'Sea   '\r\n"),
            std::string::npos)
      << log;
  // The declaration is written once in a run, though the file was opened twice.
  EXPECT_EQ(log.find("FILE,DRIVER", 40), std::string::npos);
}

TEST_F(TraceTest, ALogThatCannotBeOpenedIsSkipped) {
  Profile("Profile", "1");
  Profile("TraceFile", (dir_ / "no such dir" / "x.log").string());
  Work();  // every result as without tracing
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no such dir"));
}

}  // namespace
}  // namespace cinevo::isam
