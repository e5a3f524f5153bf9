// Play-list files: what a list holds, how one is read whole from disk and written back.
//
// Two formats are read and written: M3U (m3u.h) and XSPF (xspf.h). Reading gives the local
// movies a list names, in its order, with their titles; entries that name no local file (an
// http: stream, a file on another host, a broken URI) are skipped and counted. A list that
// cannot be read at all (not there, not a regular file, larger than kMaxListBytes, binary data,
// malformed XML) gives an error text and no entries: nothing of it is used.
//
// Nothing here touches the data files or the window system; importing into the catalogue and
// exporting a group live in the application (app/play_list_exchange.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cinevo::playlist {

// The largest list file read (bytes).
inline constexpr size_t kMaxListBytes = size_t{16} << 20;
// The most entries one list may hold.
inline constexpr size_t kMaxEntries = 100000;

struct PlayListItem {
  std::string path;   // absolute (when the list's folder was known), normalised
  std::string title;  // as the list gives it; may be empty
  bool operator==(const PlayListItem&) const = default;
};

struct PlayListRead {
  std::vector<PlayListItem> items;
  std::string title;   // the list's own title (XSPF), may be empty
  int skipped = 0;     // entries naming no local file
  std::string error;   // why the list cannot be used; empty when it was read
  bool ok() const { return error.empty(); }
};

enum class PlayListFormat { kUnknown, kM3u, kXspf };

// By the file name's extension, without regard to case: .m3u and .m3u8 are M3U, .xspf XSPF.
PlayListFormat FormatOfName(std::string_view file_name);

// Reads a list held in memory. The format comes from the text (an XML document is XSPF) or
// else from the name; relative locations are taken from the folder of `list_path`.
PlayListRead ReadPlayListText(std::string_view text, std::string_view list_path);

// Reads the list file `path` (at most kMaxListBytes, a regular file) as ReadPlayListText does.
PlayListRead ReadPlayListFile(const std::string& path);

// The text of a list in `format` (kM3u or kXspf). False, with `error`, when an item cannot be
// written in it (a relative path that is no plain M3U line, a relative path in XSPF).
bool FormatPlayList(PlayListFormat format, const std::vector<PlayListItem>& items,
                    std::string_view title, std::string& text, std::string& error);

// Writes the list to `path` in the format its name gives. The file is written beside under a
// temporary name and then renamed over `path`, so a failure leaves any older file as it was.
bool WritePlayListFile(const std::string& path, const std::vector<PlayListItem>& items,
                       std::string_view title, std::string& error);

// The title shown for a movie that has none: its file name without the extension.
std::string TitleFromPath(std::string_view path);

}  // namespace cinevo::playlist
