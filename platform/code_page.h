// The two single-byte code pages of the runtime's text: the OEM code page (CP850, the character
// set of console-era files) and the ANSI code page (CP1252, the character set of all program text).
//
// Conversion between them is byte for byte, as the environment file and OEM data files need: a
// character that exists in both code pages maps to its code in the other; one that does not maps to
// '?'. Control characters 0-31 and 127 map to themselves. The tables are built once from iconv.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cinevo::platform {

uint8_t OemToAnsiChar(uint8_t c);
uint8_t AnsiToOemChar(uint8_t c);
std::string OemToAnsi(std::string_view text);
std::string AnsiToOem(std::string_view text);

// The Unicode character of an ANSI byte (nullopt for the five codes CP1252 leaves undefined) and the
// ANSI byte of a Unicode character (nullopt when CP1252 has none).
std::optional<char32_t> AnsiToUnicode(uint8_t c);
std::optional<uint8_t> UnicodeToAnsi(char32_t u);

// ANSI text as UTF-8 (undefined codes become U+FFFD); used to show bytes to the user.
std::string AnsiToUtf8(std::string_view text);

}  // namespace cinevo::platform
