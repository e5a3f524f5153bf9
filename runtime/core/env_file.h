// The environment file: the text file beside the program that adjusts the locale tables.
//
// Format (bytes, not lines of any particular encoding):
//  - A Ctrl-Z byte (0x1A) ends the file wherever it stands.
//  - Lines end at CR or LF. Each line is a key, "=" and a value.
//  - The key is the run of bytes before "=", with spaces dropped; a control byte ends it (the rest
//    up to "=" is then ignored). A line whose key is empty or longer than 31 bytes, or that has no
//    "=", is skipped.
//  - The value runs to the end of the line; trailing spaces and tabs are removed. Then "<" followed
//    by decimal digits stands for the byte with that code (0-255) and the byte after the digits,
//    normally ">", is consumed as the terminator; "<<" stands for "<"; any other "<" is kept as it
//    is (so is "<" with a number above 255). A value holds at most 1,024 bytes; the rest of a
//    longer one is dropped.
//
// List values are split into items at spaces and commas; an item may be enclosed in double quotes,
// inside which a doubled double quote stands for one. Two commas with nothing between them give an
// empty item.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cinevo {

inline constexpr size_t kEnvKeyMax = 31;
inline constexpr size_t kEnvValueMax = 1024;

struct EnvEntry {
  std::string key;
  std::string value;
};

// The entries of an environment file, in file order.
std::vector<EnvEntry> ParseEnvFile(std::string_view bytes);

// The items of a list value.
std::vector<std::string> SplitEnvItems(std::string_view value);

// The environment file that belongs to a program: its path with the extension of the last
// component (everything from its last ".") replaced by ".ENV", upper-cased.
std::string EnvironmentFileName(std::string_view program_path);

}  // namespace cinevo
