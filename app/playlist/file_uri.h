// Locations in play-list files: file:// URIs, percent-encoding and paths relative to the list.
//
// A path is bytes, as the file system has it; a URI carries every byte that is not unreserved
// (RFC 3986: letters, digits, "-._~") or "/" as %XX, so names with blanks, "#", "%" or non-ASCII
// letters (UTF-8 or not) go to a URI and back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace cinevo::playlist {

// What a location text is: a path (absolute or relative), a file: URI, or a URI of another
// scheme (http:, a drive letter "C:" as well), which names no local file.
enum class LocationKind { kPath, kFileUri, kOtherUri };

// `text` is a URI when it begins with a scheme (a letter, then letters, digits, "+-.") and ":".
// With `needs_slashes` (M3U, where a bare path may hold a colon) only "scheme://" and "file:"
// count as URIs.
LocationKind ClassifyLocation(std::string_view text, bool needs_slashes);

// Decodes %XX escapes into `out`. False for a broken escape or an encoded zero byte.
bool PercentDecode(std::string_view text, std::string& out);

// Every byte but the unreserved ones and "/" as %XX (upper-case hexadecimal).
std::string PercentEncodePath(std::string_view path);

// "file:///a/b%20c", "file://localhost/a/b", "file:/a/b" -> "/a/b c". A query or fragment
// ("?", "#") ends the path. False (and `why`) for another host, a relative path or a bad escape.
bool FileUriToPath(std::string_view uri, std::string& path, std::string& why);

// An absolute path as "file:///..." with its bytes percent-encoded.
std::string PathToFileUri(std::string_view absolute_path);

// `path` made absolute against the folder `base_dir` (when relative) and normalised
// ("a/./b/../c" -> "a/c"). An empty `base_dir` leaves a relative path relative.
std::string ResolveAgainst(std::string_view base_dir, std::string_view path);

// The folder part of a file path ("" for a bare name): the base of the list's relative paths.
std::string FolderOf(std::string_view file_path);

}  // namespace cinevo::playlist
