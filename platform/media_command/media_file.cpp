#include "platform/media_command/media_file.h"

#include <sys/stat.h>

#include <climits>

#include "platform/media_command/media_result.h"
#include "platform/path_resolver.h"

namespace cinevo::platform {

int ResolveMediaFile(std::string_view path, std::string& resolved) {
  resolved.clear();
  if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string_view::npos) {
    return kMediaFileNotFound;
  }
  std::optional<std::string> found = ResolveExistingPath(path);
  if (!found) return kMediaFileNotFound;
  // Only a regular file (or a link to one) can be played; a folder is "not found".
  struct stat st {};
  if (stat(found->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kMediaFileNotFound;
  resolved = std::move(*found);
  return kMediaOk;
}

}  // namespace cinevo::platform
