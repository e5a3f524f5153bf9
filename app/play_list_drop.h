// Play-list files among the files dropped on the main window (or named on the command line, or
// handed over by a second start): each .m3u, .m3u8 or .xspf file stands for the movies it
// names, in its order, among the other names. A list that cannot be read stands for nothing and
// its reason is collected; lists inside lists are not opened (they play as the files they are).
#pragma once

#include <string>
#include <vector>

namespace cinevo::app {

struct DroppedMovies {
  std::vector<std::string> movies;
  std::string problems;  // one line per list that could not be read, lines separated by "|"
};

DroppedMovies ExpandPlayListFiles(const std::vector<std::string>& names);

}  // namespace cinevo::app
