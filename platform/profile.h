// The profile: the INI file that holds the system's settings (the "intl" regional settings, the
// driver trace switches and the like), and reading and writing of INI files in general.
//
// Where the profile lives: the file named by the environment variable CINEVO_PROFILE when it is set
// and not empty; otherwise $XDG_CONFIG_HOME/cinevo/cinevo.ini; otherwise
// $HOME/.config/cinevo/cinevo.ini.
//
// INI format: "[section]" lines and "key=value" lines; lines starting with ";" or "#" are comments,
// as is the text after " ;" on a value line. Sections and keys are matched without regard to case;
// the first matching entry wins. Spaces around keys and values are dropped, and a value enclosed in
// a pair of double or single quotes loses them. Lines are read up to 200 characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cinevo::platform {

std::string ProfilePath();

// A value of an INI file, or nullopt when the file, section or key is missing.
std::optional<std::string> ReadIniValue(const std::string& path, std::string_view section,
                                        std::string_view key);

// The value, or `default_value` when it is missing.
std::string GetIniString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view default_value);
// The leading decimal integer of the value (optionally signed; 0 when the value starts with no
// digit), or `default_value` when the key is missing.
int GetIniInt(const std::string& path, std::string_view section, std::string_view key,
              int default_value);

// Sets a value, creating the file (and its folder), the section or the key as needed, and keeping
// every other line of the file as it was. A nullopt value removes the key. The file is replaced
// atomically. False when it cannot be written, or when section or key hold characters that would
// break the line structure ("]" or a line break in the section; "=" or a line break in the key; a
// line break in the value).
bool WriteIniValue(const std::string& path, std::string_view section, std::string_view key,
                   std::optional<std::string_view> value);

// The same, on the profile.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view default_value);
int GetProfileInt(std::string_view section, std::string_view key, int default_value);
bool WriteProfileString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value);

}  // namespace cinevo::platform
