#include "platform/path_resolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace cinevo::platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& base, std::string_view name) {
  if (base.empty()) return std::string(name);
  if (base.back() == '/') return base + std::string(name);
  return base + "/" + std::string(name);
}

struct Split {
  std::string root;  // "/" for an absolute path, "" for a relative one
  std::vector<std::string_view> parts;
};

Split SplitPath(std::string_view path) {
  Split s;
  if (!path.empty() && (path.front() == '/' || path.front() == '\\')) s.root = "/";
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find_first_of("/\\", i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) s.parts.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  return s;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// The entry of folder `base` that names `part`: the exact name when it exists, else the first
// case-variant in byte order.
std::optional<std::string> MatchComponent(const std::string& base, std::string_view part) {
  std::string exact = Join(base, part);
  if (part == "." || part == ".." || Exists(exact)) return exact;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(base.empty() ? "." : base.c_str()));
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (dirent* e = ::readdir(dir.get())) {
    std::string_view name = e->d_name;
    if (NamesEqualNoCase(name, part) && (!best || name < *best)) best = std::string(name);
  }
  if (!best) return std::nullopt;
  return Join(base, *best);
}

std::optional<std::string> ResolveParts(const Split& s, size_t count) {
  std::string current = s.root;
  for (size_t i = 0; i < count; ++i) {
    auto next = MatchComponent(current, s.parts[i]);
    if (!next) return std::nullopt;
    current = std::move(*next);
  }
  return current;
}

}  // namespace

bool NamesEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::optional<std::string> ResolveExistingPath(std::string_view path) {
  if (path.empty()) return std::nullopt;
  std::string given(path);
  if (Exists(given)) return given;
  Split s = SplitPath(path);
  if (s.parts.empty()) return std::nullopt;
  return ResolveParts(s, s.parts.size());
}

std::string ResolvePathForCreate(std::string_view path) {
  if (auto existing = ResolveExistingPath(path)) return *existing;
  Split s = SplitPath(path);
  if (s.parts.empty()) return std::string(path);
  auto folder = ResolveParts(s, s.parts.size() - 1);
  if (!folder) return std::string(path);
  return Join(*folder, s.parts.back());
}

}  // namespace cinevo::platform
