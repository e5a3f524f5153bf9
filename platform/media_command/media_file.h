// Finding the file a media device names.
//
// Device names come upper-cased from the application, while the files on disk keep their own
// spelling. A path that exists as written is taken as it is; otherwise each component is looked
// up in its directory without regard to ASCII case (see platform/path_resolver.h).
#pragma once

#include <string>
#include <string_view>

namespace cinevo::platform {

// Resolves `path` to an existing regular file. Returns kMediaOk with the on-disk spelling in
// `resolved`, or kMediaFileNotFound (no such file, a directory, an empty or over-long path).
int ResolveMediaFile(std::string_view path, std::string& resolved);

}  // namespace cinevo::platform
