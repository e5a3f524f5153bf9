#include "platform/media_command/media_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <memory>

#include "platform/media_command/media_command.h"
#include "platform/media_command/media_result.h"

namespace cinevo::platform {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

// The entry of `dir` whose name equals `name` ignoring case; "" when there is none.
std::string FindNoCase(const std::string& dir, std::string_view name) {
  std::unique_ptr<DIR, DirCloser> d(opendir(dir.empty() ? "." : dir.c_str()));
  if (!d) return {};
  while (dirent* e = readdir(d.get())) {
    if (MediaEqualNoCase(e->d_name, name)) return e->d_name;
  }
  return {};
}

}  // namespace

int ResolveMediaFile(std::string_view path, std::string& resolved) {
  resolved.clear();
  if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string_view::npos) {
    return kMediaFileNotFound;
  }
  std::string exact(path);
  if (IsRegularFile(exact)) {
    resolved = exact;
    return kMediaOk;
  }
  // Walk the components; `sofar` is always an existing directory (or "" for the working one).
  std::string sofar = path.front() == '/' ? "/" : "";
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    size_t end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(i, end - i);
    i = end;
    if (component.empty()) break;
    std::string candidate = sofar + std::string(component);
    bool last = i >= path.size() || path.find_first_not_of('/', i) == std::string_view::npos;
    bool exists = last ? IsRegularFile(candidate) : IsDirectory(candidate);
    if (!exists) {
      std::string found = FindNoCase(sofar, component);
      if (found.empty()) return kMediaFileNotFound;
      candidate = sofar + found;
      exists = last ? IsRegularFile(candidate) : IsDirectory(candidate);
      if (!exists) return kMediaFileNotFound;
    }
    sofar = last ? candidate : candidate + "/";
  }
  if (!IsRegularFile(sofar)) return kMediaFileNotFound;
  resolved = sofar;
  return kMediaOk;
}

}  // namespace cinevo::platform
