#include "platform/profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace cinevo::platform {
namespace {

namespace fs = std::filesystem;

class ProfileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cinevo_profile_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "test.ini").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(ProfileTest, ReadsIgnoreCaseStripQuotesAndFallBackToDefaults) {
  Write("; comment\n[intl]\r\nsTime = .\r\ns1159=\"vm\"\r\niTime=1 ; inline\r\n[Other]\nsTime=x\n"
        "[INTL]\nsTime=second\n");
  EXPECT_EQ(GetIniString(path_, "INTL", "STIME", ":"), ".");  // the first entry wins
  EXPECT_EQ(GetIniString(path_, "intl", "s1159", "AM"), "vm");
  EXPECT_EQ(GetIniString(path_, "intl", "s2359", "PM"), "PM");
  EXPECT_EQ(GetIniString(path_, "none", "sTime", "?"), "?");
  EXPECT_EQ(GetIniInt(path_, "intl", "iTime", 0), 1);
  EXPECT_EQ(GetIniInt(path_, "intl", "missing", 7), 7);
  EXPECT_EQ(GetIniInt(path_, "intl", "sTime", 7), 0);  // present but not a number
  EXPECT_EQ(GetIniString(path_ + ".absent", "intl", "sTime", "d"), "d");
}

TEST_F(ProfileTest, IntegersTakeTheLeadingNumberAndSaturate) {
  Write("[n]\na=-12abc\nb=99999999999\nc=+5\n");
  EXPECT_EQ(GetIniInt(path_, "n", "a", 0), -12);
  EXPECT_EQ(GetIniInt(path_, "n", "b", 0), 2147483647);
  EXPECT_EQ(GetIniInt(path_, "n", "c", 0), 5);
}

TEST_F(ProfileTest, WritesReplaceAddAndRemoveKeysKeepingOtherLines) {
  Write("; keep me\n[Trace]\nLog=0\n\n[Other]\nx=1\n");
  ASSERT_TRUE(WriteIniValue(path_, "trace", "LOG", "1"));
  ASSERT_TRUE(WriteIniValue(path_, "Trace", "File", "a b.log"));
  ASSERT_TRUE(WriteIniValue(path_, "New", "k", "v"));
  EXPECT_EQ(Read(), "; keep me\n[Trace]\nLOG=1\nFile=a b.log\n\n[Other]\nx=1\n\n[New]\nk=v\n");
  ASSERT_TRUE(WriteIniValue(path_, "Other", "X", std::nullopt));
  EXPECT_EQ(GetIniString(path_, "Other", "x", "gone"), "gone");
  EXPECT_EQ(GetIniString(path_, "Trace", "file", ""), "a b.log");
}

TEST_F(ProfileTest, WritesCreateFoldersAndKeepCrLfFiles) {
  std::string nested = (dir_ / "a" / "b" / "new.ini").string();
  ASSERT_TRUE(WriteIniValue(nested, "s", "k", "v"));
  EXPECT_EQ(GetIniString(nested, "s", "k", ""), "v");
  Write("[s]\r\nk=1\r\n");
  ASSERT_TRUE(WriteIniValue(path_, "s", "k2", "2"));
  EXPECT_EQ(Read(), "[s]\r\nk=1\r\nk2=2\r\n");
}

TEST_F(ProfileTest, WritesThatWouldBreakTheFileAreRefused) {
  Write("[s]\nk=1\n");
  EXPECT_FALSE(WriteIniValue(path_, "s", "k", "a\nb"));
  EXPECT_FALSE(WriteIniValue(path_, "s]", "k", "v"));
  EXPECT_FALSE(WriteIniValue(path_, "s", "a=b", "v"));
  EXPECT_FALSE(WriteIniValue(path_, "s", "", "v"));
  EXPECT_FALSE(WriteIniValue((dir_ / "test.ini" / "x.ini").string(), "s", "k", "v"));  // not a folder
  EXPECT_EQ(Read(), "[s]\nk=1\n");
}

TEST_F(ProfileTest, ProfileLocationFollowsTheEnvironment) {
  const char* saved = std::getenv("CINEVO_PROFILE");
  std::string keep = saved ? saved : "";
  setenv("CINEVO_PROFILE", path_.c_str(), 1);
  EXPECT_EQ(ProfilePath(), path_);
  ASSERT_TRUE(WriteProfileString("intl", "sTime", "."));
  EXPECT_EQ(GetProfileString("INTL", "stime", ":"), ".");
  EXPECT_EQ(GetProfileInt("intl", "iTime", 3), 3);
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string keep_xdg = xdg ? xdg : "";
  unsetenv("CINEVO_PROFILE");
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(ProfilePath(), "/xdg/cinevo/cinevo.ini");
  if (xdg) setenv("XDG_CONFIG_HOME", keep_xdg.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
  if (saved) setenv("CINEVO_PROFILE", keep.c_str(), 1);
}

}  // namespace
}  // namespace cinevo::platform
