// Choosing and preparing the data folder.
#include "app/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;

struct Env {
  std::map<std::string, std::string> vars;
  EnvLookup Lookup() const {
    return [this](const char* n) -> const char* {
      auto it = vars.find(n);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

std::optional<std::string> Choose(std::vector<const char*> args, const Env& env) {
  return ChooseDataFolder(args, env.Lookup());
}

TEST(DataFolderTest, OptionThenVariableThenXdgThenHome) {
  Env env;
  EXPECT_EQ(Choose({}, env), std::nullopt);
  env.vars["HOME"] = "/home/ana";
  EXPECT_EQ(Choose({}, env), "/home/ana/.local/share/cinevo");
  env.vars["XDG_DATA_HOME"] = "relative/ignored";
  EXPECT_EQ(Choose({}, env), "/home/ana/.local/share/cinevo");
  env.vars["XDG_DATA_HOME"] = "/data/xdg";
  EXPECT_EQ(Choose({}, env), "/data/xdg/cinevo");
  env.vars["CINEVO_DATA_DIR"] = "";
  EXPECT_EQ(Choose({}, env), "/data/xdg/cinevo");  // empty counts as unset
  env.vars["CINEVO_DATA_DIR"] = "/srv/films";
  EXPECT_EQ(Choose({}, env), "/srv/films");
  EXPECT_EQ(Choose({"--data-dir", "/tmp/cat"}, env), "/tmp/cat");
  EXPECT_EQ(Choose({"--data-dir=/tmp/other", "x"}, env), "/tmp/other");
  EXPECT_EQ(Choose({"--data-dir"}, env), "/srv/films");  // no value: ignored
  EXPECT_EQ(Choose({"--data-dir", ""}, env), "/srv/films");
  EXPECT_EQ(Choose({"--data-dir=a", "--data-dir", "b"}, env), "b");  // the last one wins
}

TEST(DataFolderTest, TheFolderIsCreatedOnFirstStartOrRefusedWithAReason) {
  fs::path base = fs::temp_directory_path() / ("data_folder_" + std::to_string(::getpid()));
  fs::remove_all(base);
  fs::path folder = base / "deep" / "cinevo";
  EXPECT_EQ(PrepareDataFolder(folder.string()), "");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(PrepareDataFolder(folder.string()), "");  // a second start finds it
  std::ofstream(base / "file") << "x";
  std::string why = PrepareDataFolder((base / "file").string());
  EXPECT_EQ(why, "The data folder " + (base / "file").string() + " is not a folder.");
  why = PrepareDataFolder((base / "file" / "below").string());
  EXPECT_EQ(why.rfind("The data folder " + (base / "file" / "below").string() + " cannot be created: ", 0), 0u) << why;
  fs::remove_all(base);
}

}  // namespace
}  // namespace cinevo::app
