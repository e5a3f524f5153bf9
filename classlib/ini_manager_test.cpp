// The application's settings file: defaults for what is missing, values written and read back.
#include "classlib/ini_manager.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace cinevo::classlib {
namespace {

namespace fs = std::filesystem;

TEST(IniManagerTest, MissingValuesGiveTheDefaultAndWrittenOnesComeBack) {
  fs::path dir = fs::temp_directory_path() / ("ini_manager_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  IniManager ini;
  EXPECT_EQ(ini.Fetch("window", "x", "7"), "7");  // no file named yet
  EXPECT_FALSE(ini.Update("window", "x", "1"));
  ini.Init((dir / "filmo.INI").string());
  EXPECT_EQ(ini.Fetch("window", "x", "7"), "7");  // no file yet
  ASSERT_TRUE(ini.Update("window", "x", "120"));
  EXPECT_TRUE(fs::exists(dir / "filmo.INI"));
  EXPECT_EQ(ini.Fetch("WINDOW", "X"), "120");  // sections and keys ignore case
  EXPECT_EQ(ini.Fetch("window", "y", "0"), "0");
  EXPECT_FALSE(ini.Update("bad]section", "x", "1"));  // would break the file's lines
  ini.Kill();
  EXPECT_EQ(ini.FileName(), "");
  // A name longer than the 260-byte field is cut.
  ini.Init(std::string(300, 'n'));
  EXPECT_EQ(ini.FileName().size(), 259u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::classlib
