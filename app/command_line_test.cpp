// File names on the command line become absolute paths; options are passed over.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cinevo::app {
namespace {

using Texts = std::vector<std::string>;

TEST(MovieArgumentsTest, RelativeNamesAreTakenFromTheCurrentDirectory) {
  std::string cwd = std::filesystem::current_path().string();
  const char* argv[] = {"cinevo", "/m/a.avi", "b,c.mpg", "./sub/../d.mov", nullptr};
  EXPECT_EQ(MovieArguments(4, argv), (Texts{"/m/a.avi", cwd + "/b,c.mpg", cwd + "/d.mov"}));
}

TEST(MovieArgumentsTest, OptionsArePassedOverUntilADoubleDash) {
  const char* argv[] = {"cinevo", "-platform", "/m/a.avi", "", "--", "-odd.avi", "--", nullptr};
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(MovieArguments(7, argv), (Texts{"/m/a.avi", cwd + "/-odd.avi", cwd + "/--"}));
  const char* data[] = {"cinevo", "--data-dir", "/d/x.avi", "--data-dir=/e", "/m/b.mov", nullptr};
  EXPECT_EQ(MovieArguments(5, data), Texts{"/m/b.mov"});
  const char* lists[] = {"cinevo", "--export-group", "G", "/l/g.m3u", "--import-list", "/l/x.xspf",
                         "--group", "N", "/m/c.avi", nullptr};
  EXPECT_EQ(MovieArguments(9, lists), Texts{"/m/c.avi"});
  const char* none[] = {"cinevo", nullptr};
  EXPECT_EQ(MovieArguments(1, none), Texts{});
  EXPECT_EQ(MovieArguments(0, none), Texts{});
}

}  // namespace
}  // namespace cinevo::app
