// M3U play lists: one location per line, "#" lines are comments.
//
// Read: an optional UTF-8 byte-order mark; "\n", "\r\n" or "\r" ends a line; blank lines and
// comments are passed over, except "#EXTINF:<seconds>[ attributes],<title>", whose title goes
// to the next location. A location is an absolute or relative path (relative to the list's
// folder), or a URI "scheme://..." of which only file: ones are kept. A line longer than
// kMaxM3uLine, a zero byte or another control character (other than a tab) refuses the list:
// it is no text play list.
//
// Written: "#EXTM3U", then per movie "#EXTINF:-1,<title>" and its path as it is, or as a file:
// URI when a plain line would not give the path back (a line break or another control
// character in it, blanks at either end).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/playlist/play_list_file.h"

namespace cinevo::playlist {

inline constexpr size_t kMaxM3uLine = 64 * 1024;

PlayListRead ReadM3u(std::string_view text, std::string_view list_dir);

// False when a relative path cannot be written as a plain line.
bool WriteM3u(const std::vector<PlayListItem>& items, std::string& text, std::string& error);

}  // namespace cinevo::playlist
