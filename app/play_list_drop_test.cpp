// Dropped play-list files stand for their movies; unreadable ones for nothing, with a reason.
#include "app/play_list_drop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace cinevo::app {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(PlayListDropTest, ListsStandForTheirMoviesInPlace) {
  fs::path dir = fs::temp_directory_path() / ("list_drop_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "a.m3u") << "#EXTM3U\none.avi\n/m/two.mpg\n";
  std::ofstream(dir / "b.XSPF") << "<playlist><trackList><track><location>file:///m/x%20y.mov</location>"
                                   "</track></trackList></playlist>";
  std::ofstream(dir / "bad.xspf") << "<playlist>&boom;</playlist>";
  std::ofstream(dir / "inner.m3u") << "other.m3u\n";
  DroppedMovies d = ExpandPlayListFiles({"/m/first.avi", (dir / "a.m3u").string(), (dir / "bad.xspf").string(),
                                         (dir / "b.XSPF").string(), (dir / "inner.m3u").string(),
                                         (dir / "gone.m3u").string(), "/m/last.avi"});
  EXPECT_EQ(d.movies, (Texts{"/m/first.avi", (dir / "one.avi").string(), "/m/two.mpg", "/m/x y.mov",
                             (dir / "other.m3u").string(), "/m/last.avi"}));
  EXPECT_NE(d.problems.find((dir / "bad.xspf").string() + ": "), std::string::npos) << d.problems;
  EXPECT_NE(d.problems.find("|" + (dir / "gone.m3u").string() + ": it cannot be opened"), std::string::npos)
      << d.problems;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cinevo::app
