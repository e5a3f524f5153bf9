// Groups of favourites to and from play-list files (app/playlist/).
//
// Export writes the movies of one group, in the order of the movie file's key (POD:PRK), to an
// M3U or XSPF file chosen by the name's extension; the list's title is the group's name. Each
// path goes out as the file is named on disk (stored paths may differ from it in case, see
// platform/path_resolver.h). The file is written whole or not at all.
//
// Import reads a list and stores it as a new group through a FavouritesWriter, in one
// transaction: the group and all its movies, or nothing. The group is named after the list's
// title (XSPF) or else the file's name, cut to the 20 bytes a group name holds; when that name
// is taken, " (2)", " (3)"... is added. Movies keep the list's order, each stored as its file is
// named on disk. Left out, and named in the message: entries that name no local file (counted),
// files that do not exist, and paths longer than a favourite holds (kStoredPathSize). A list that
// cannot be read, or that leaves no movie to store, adds nothing.
//
// Results carry a message for the user, lines separated by "|" (as a message box shows them).
// Nothing here shows a window: the caller shows the message in a box or prints it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/group_store.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::app {

struct ListExchangeResult {
  bool ok = false;
  std::string group;    // the group exported, or the one the import added
  int movies = 0;       // movies written to the list, or stored in the new group
  int skipped = 0;      // import: entries naming no local file
  std::vector<std::string> missing;   // import: files that do not exist
  std::vector<std::string> too_long;  // import: paths longer than a favourite holds
  std::string message;  // lines separated by "|"
};

// The movie paths of group `group` (matched without case) in key order; 0, kErrRecordNotFound
// when there is no such group, or the file error. `stored_name` gets the group's own spelling.
int ReadGroupMovies(FileControlBlock& groups, FileControlBlock& movies, std::string_view group,
                    std::vector<std::string>& paths, std::string* stored_name = nullptr);

// Writes group `group` to `list_path` (.m3u, .m3u8 or .xspf).
ListExchangeResult ExportGroup(FileControlBlock& groups, FileControlBlock& movies,
                               std::string_view group, const std::string& list_path);

// Imports `list_path` as a new group; `group_name` (when not empty) is the name wanted instead
// of the list's own.
ListExchangeResult ImportPlayList(const std::string& list_path, FavouritesWriter& writer,
                                  std::string_view group_name = {});

// A group name made from `wanted`: blanks at the end dropped, at most `size` bytes, never cut
// inside a UTF-8 character; an empty one becomes "Play list".
std::string FitGroupName(std::string_view wanted, size_t size);

}  // namespace cinevo::app
