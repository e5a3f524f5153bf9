#include "app/playlist/file_uri.h"

#include <filesystem>

#include "platform/path_resolver.h"

namespace cinevo::playlist {
namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsUnreserved(unsigned char c) {
  return IsAlpha(static_cast<char>(c)) || IsDigit(static_cast<char>(c)) || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the scheme at the start of `text` (before ':'), or 0 when there is none.
size_t SchemeLength(std::string_view text) {
  if (text.empty() || !IsAlpha(text[0])) return 0;
  size_t i = 1;
  while (i < text.size() && (IsAlpha(text[i]) || IsDigit(text[i]) || text[i] == '+' ||
                             text[i] == '-' || text[i] == '.')) {
    ++i;
  }
  return i < text.size() && text[i] == ':' ? i : 0;
}

}  // namespace

LocationKind ClassifyLocation(std::string_view text, bool needs_slashes) {
  size_t n = SchemeLength(text);
  if (n == 0) return LocationKind::kPath;
  bool file = platform::NamesEqualNoCase(text.substr(0, n), "file");
  if (needs_slashes && !file && text.substr(n + 1, 2) != "//") return LocationKind::kPath;
  return file ? LocationKind::kFileUri : LocationKind::kOtherUri;
}

bool PercentDecode(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    char c = static_cast<char>(hi * 16 + lo);
    if (c == '\0') return false;
    out.push_back(c);
    i += 2;
  }
  return true;
}

std::string PercentEncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size() + path.size() / 4);
  for (char ch : path) {
    auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c) || c == '/') {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

bool FileUriToPath(std::string_view uri, std::string& path, std::string& why) {
  size_t n = SchemeLength(uri);
  if (n == 0 || !platform::NamesEqualNoCase(uri.substr(0, n), "file")) {
    why = "not a file: URI";
    return false;
  }
  std::string_view rest = uri.substr(n + 1);
  size_t end = rest.find_first_of("?#");
  if (end != std::string_view::npos) rest = rest.substr(0, end);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !platform::NamesEqualNoCase(host, "localhost")) {
      why = "the file is on another computer (" + std::string(host) + ")";
      return false;
    }
    if (slash == std::string_view::npos) {
      why = "the URI names no file";
      return false;
    }
    rest = rest.substr(slash);
  }
  if (!rest.starts_with('/')) {
    why = "the URI's path is not absolute";
    return false;
  }
  if (!PercentDecode(rest, path)) {
    why = "the URI holds a broken %-escape";
    return false;
  }
  path = ResolveAgainst("", path);
  return true;
}

std::string PathToFileUri(std::string_view absolute_path) {
  return "file://" + PercentEncodePath(absolute_path);
}

std::string ResolveAgainst(std::string_view base_dir, std::string_view path) {
  std::filesystem::path p{std::string(path)};
  if (p.is_relative() && !base_dir.empty()) p = std::filesystem::path(std::string(base_dir)) / p;
  std::string out = p.lexically_normal().string();
  // "a/b/" names the same as "a/b"; keep "/" itself.
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string FolderOf(std::string_view file_path) {
  size_t slash = file_path.rfind('/');
  if (slash == std::string_view::npos) return "";
  if (slash == 0) return "/";
  return std::string(file_path.substr(0, slash));
}

}  // namespace cinevo::playlist
