#include "app/playlist/play_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/playlist/file_uri.h"
#include "app/playlist/m3u.h"
#include "app/playlist/xspf.h"

namespace cinevo::playlist {
namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = s[s.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// Whether the text is an XML document: "<" first, after a byte-order mark and blanks.
bool LooksLikeXml(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  size_t i = text.find_first_not_of(" \t\r\n");
  return i != std::string_view::npos && text[i] == '<';
}

// Reads the whole file descriptor into `out`, at most `limit` bytes (one more tells "too big").
bool ReadAll(int fd, size_t limit, std::string& out) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
    if (out.size() > limit) return true;
  }
}

}  // namespace

PlayListFormat FormatOfName(std::string_view file_name) {
  if (EndsWithNoCase(file_name, ".m3u") || EndsWithNoCase(file_name, ".m3u8")) return PlayListFormat::kM3u;
  if (EndsWithNoCase(file_name, ".xspf")) return PlayListFormat::kXspf;
  return PlayListFormat::kUnknown;
}

PlayListRead ReadPlayListText(std::string_view text, std::string_view list_path) {
  std::string dir = FolderOf(list_path);
  if (LooksLikeXml(text) || (FormatOfName(list_path) == PlayListFormat::kXspf && !text.empty())) {
    return ReadXspf(text, dir);
  }
  return ReadM3u(text, dir);
}

PlayListRead ReadPlayListFile(const std::string& path) {
  PlayListRead out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    out.error = std::string("it cannot be opened: ") + std::strerror(errno);
    return out;
  }
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    out.error = "it is not a regular file";
  } else if (static_cast<uint64_t>(st.st_size) > kMaxListBytes) {
    out.error = "it is larger than " + std::to_string(kMaxListBytes >> 20) + " MB, more than any play list";
  } else if (!ReadAll(fd, kMaxListBytes, text)) {
    out.error = std::string("it cannot be read: ") + std::strerror(errno);
  } else if (text.size() > kMaxListBytes) {
    out.error = "it is larger than " + std::to_string(kMaxListBytes >> 20) + " MB, more than any play list";
  }
  ::close(fd);
  if (!out.ok()) return out;
  std::string absolute = path;
  if (!path.empty() && path.front() != '/') {
    std::error_code ec;
    std::filesystem::path here = std::filesystem::current_path(ec);
    if (!ec) absolute = ResolveAgainst(here.string(), path);
  }
  return ReadPlayListText(text, absolute);
}

bool FormatPlayList(PlayListFormat format, const std::vector<PlayListItem>& items,
                    std::string_view title, std::string& text, std::string& error) {
  switch (format) {
    case PlayListFormat::kM3u:
      return WriteM3u(items, text, error);
    case PlayListFormat::kXspf:
      return WriteXspf(items, title, text, error);
    case PlayListFormat::kUnknown:
      break;
  }
  error = "a play list is written as .m3u, .m3u8 or .xspf";
  return false;
}

bool WritePlayListFile(const std::string& path, const std::vector<PlayListItem>& items,
                       std::string_view title, std::string& error) {
  std::string text;
  if (!FormatPlayList(FormatOfName(path), items, title, text, error)) return false;
  std::string temp = path + ".part";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "\"" + temp + "\" cannot be created: " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool written = done == text.size() && ::fsync(fd) == 0;
  int saved = errno;
  written = ::close(fd) == 0 && written;
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
    if (written) saved = errno;
    ::unlink(temp.c_str());
    error = "\"" + path + "\" cannot be written: " + std::strerror(saved);
    return false;
  }
  return true;
}

std::string TitleFromPath(std::string_view path) {
  size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

}  // namespace cinevo::playlist
