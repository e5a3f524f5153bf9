#include "app/play_list_drop.h"

#include "app/playlist/play_list_file.h"

namespace cinevo::app {

DroppedMovies ExpandPlayListFiles(const std::vector<std::string>& names) {
  DroppedMovies out;
  for (const std::string& name : names) {
    if (playlist::FormatOfName(name) == playlist::PlayListFormat::kUnknown) {
      out.movies.push_back(name);
      continue;
    }
    playlist::PlayListRead list = playlist::ReadPlayListFile(name);
    if (!list.ok()) {
      if (!out.problems.empty()) out.problems += "|";
      out.problems += name + ": " + list.error;
      continue;
    }
    for (playlist::PlayListItem& item : list.items) out.movies.push_back(std::move(item.path));
  }
  return out;
}

}  // namespace cinevo::app
