// Paths with the habits of a case-insensitive file system.
//
// The application upper-cases and lower-cases the paths it builds, so a path that does not exist as
// given is matched component by component without regard to (ASCII) case: at each level a
// component that exists exactly wins; otherwise, among the entries of that folder that equal it
// without regard to case, the first in byte order is taken. "\" separates components as "/" does
// when the path does not exist as given. "." and ".." are kept as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cinevo::platform {

// The existing file or folder that `path` names, or nullopt when there is none (or a folder on the
// way cannot be read). A path that exists as given is returned unchanged.
std::optional<std::string> ResolveExistingPath(std::string_view path);

// The path at which a file named `path` is to be created or opened: an existing match as above;
// otherwise its folders resolved and its last component kept as given (the path unchanged when the
// folders do not resolve either).
std::string ResolvePathForCreate(std::string_view path);

// True when the two names are equal without regard to ASCII case.
bool NamesEqualNoCase(std::string_view a, std::string_view b);

}  // namespace cinevo::platform
