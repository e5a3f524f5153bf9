#include "app/playlist/m3u.h"

#include "app/playlist/file_uri.h"

namespace cinevo::playlist {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The title of "#EXTINF:<seconds>[ key="value"...],<title>": after the first comma outside quotes.
std::string ExtinfTitle(std::string_view rest) {
  bool quoted = false;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '"') quoted = !quoted;
    if (rest[i] == ',' && !quoted) return std::string(Trim(rest.substr(i + 1)));
  }
  return {};
}

// A path that a plain line would not give back (control characters, blanks at either end, a
// leading "#", a look of a URI) is written as a file: URI instead.
bool NeedsUri(std::string_view path) {
  if (path.empty() || path.front() == '#' || path.front() == ' ' || path.front() == '\t' ||
      path.back() == ' ' || path.back() == '\t') {
    return true;
  }
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return ClassifyLocation(path, true) != LocationKind::kPath;
}

}  // namespace

PlayListRead ReadM3u(std::string_view text, std::string_view list_dir) {
  PlayListRead out;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::string title;
  size_t line_no = 0;
  while (!text.empty()) {
    ++line_no;
    size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      text.remove_prefix(end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1));
    }
    auto fail = [&](const std::string& why) {
      PlayListRead bad;
      bad.error = "line " + std::to_string(line_no) + ": " + why;
      return bad;
    };
    if (line.size() > kMaxM3uLine) {
      return fail("a line of " + std::to_string(line.size()) + " characters; a play list's lines hold at most " +
                  std::to_string(kMaxM3uLine));
    }
    for (char c : line) {
      auto u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F) return fail("binary data (byte " + std::to_string(u) + "): this is no text play list");
    }
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '#') {
      if (line.starts_with("#EXTINF:")) title = ExtinfTitle(line.substr(8));
      continue;
    }
    std::string path;
    switch (ClassifyLocation(line, true)) {
      case LocationKind::kOtherUri:
        ++out.skipped;
        title.clear();
        continue;
      case LocationKind::kFileUri: {
        std::string why;
        if (!FileUriToPath(line, path, why)) {
          ++out.skipped;
          title.clear();
          continue;
        }
        break;
      }
      case LocationKind::kPath:
        path = ResolveAgainst(list_dir, line);
        break;
    }
    if (out.items.size() >= kMaxEntries) return fail("more than " + std::to_string(kMaxEntries) + " entries");
    out.items.push_back({std::move(path), std::move(title)});
    title.clear();
  }
  return out;
}

bool WriteM3u(const std::vector<PlayListItem>& items, std::string& text, std::string& error) {
  text = "#EXTM3U\n";
  for (const PlayListItem& item : items) {
    std::string location = item.path;
    if (NeedsUri(item.path)) {
      if (item.path.empty() || item.path.front() != '/') {
        error = "the path \"" + item.path + "\" cannot be written on an M3U line";
        return false;
      }
      location = PathToFileUri(item.path);
    }
    std::string title = item.title.empty() ? TitleFromPath(item.path) : item.title;
    for (char& c : title) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    text += "#EXTINF:-1," + title + "\n" + location + "\n";
  }
  return true;
}

}  // namespace cinevo::playlist
