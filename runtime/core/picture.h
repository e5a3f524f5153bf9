// Display pictures: how a value is shown and typed.
//
// A picture text ("@N-10`.2", "@D2", "@T4", "@S40", "@P(###)###-####P" ...) is compiled once into
// a CompiledPicture, a fixed record without heap storage that stays with the field showing it.
// Formatting walks the record and lays a value out in exactly Width() characters; deformatting
// reads a typed text back into the value that formatting it would show.
//
// The record:
//   header         bits 0-2 the class (PictureClass), bits 3-5 the sub-kind (below), bit 6 the
//                  blank-when-zero flag, bits 7-14 the display width (0 = invalid picture);
//   century_window the two-digit-year window w of date pictures (years c-w .. c-w+99);
//   number         the date or time picture number (1-20 / 1-8);
//   layout         date, time and pattern pictures: two-byte tokens (character, TokenCode),
//                  ended by a kTokEnd token; for digit positions the character is the fill shown
//                  for a suppressed leading zero ('0' means the zero is shown), for literals the
//                  text itself;
//   numeric        numeric and scientific pictures: sign style, fill, grouping and decimal
//                  characters, places and where the currency text lies in `source`;
//   source         a copy of the picture text after the "@" (at most 100 characters).
// Sub-kinds: numeric pictures keep their sign style there; dates 1 when the layout shows month
// names; times 1 when the layout is a 12-hour one; other classes 0.
//
// Masks: "@P...P" lays out a number: "#" is a digit position showing leading zeros, "<" one
// showing blanks for them, every other character is shown as it stands (the last character
// closes the mask, so a "P" inside it is text). "@K...K" lays out a text: "#" a digit, "<" a
// digit or blank, "@" a letter, "^" a letter shown in upper case, "_" a letter shown in lower
// case, "?" any character, "|" (not shown) the positions after it may stay empty, "\" makes the
// next character text; other characters are shown as they stand.
//
// Invalid pictures are no error: they compile with width 0, and formatting them gives an empty
// text. No picture text of any length or content is read or written out of bounds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/decimal_stack.h"

namespace cinevo {

enum class PictureClass : uint8_t {
  kInvalid = 0,
  kNumeric = 1,     // N
  kDate = 2,        // D
  kTime = 3,        // T
  kScientific = 4,  // E
  kString = 5,      // S
  kPattern = 6,     // P: digit mask for numbers
  kKeyIn = 7,       // K: key-in mask for texts
};

// Token codes of the layout.
enum TokenCode : uint8_t {
  kTokEnd = 0x00,        // end of the layout (with character ' ' inside a layout: a plain space)
  kTokMonth = 0x07,      // month digit
  kTokDay = 0x08,        // day digit
  kTokYear = 0x09,       // year digit
  kTokMonthName = 0x0A,  // month-name letter
  kTokHour = 0x0B,       // hour digit (24-hour clock)
  kTokMinute = 0x0C,     // minute digit
  kTokSecond = 0x0D,     // second digit
  kTokHour12 = 0x0E,     // hour digit (12-hour clock)
  kTokAmPm = 0x0F,       // AM/PM text letter
  kTokMaskDigit = 0x10,  // pattern value position, leading zero shown ('#')
  kTokMaskValue = 0x11,  // pattern value position, leading zero blank ('<'); K: digit or blank
  kTokMaskAny = 0x12,    // K: any character ('?')
  kTokLiteral = 0x13,    // literal separator: replaced by a separator modifier
  kTokFixed = 0x14,      // literal text that separator modifiers leave alone
  kTokMaskLetter = 0x15, // K: a letter as typed ('@')
  kTokMaskUpper = 0x16,  // K: a letter shown in upper case ('^')
  kTokMaskLower = 0x17,  // K: a letter shown in lower case ('_')
  kTokMaskOptional = 0x18,  // K: the positions after it may be left empty ('|'); not shown
};

struct PictureToken {
  char ch = 0;
  uint8_t code = kTokEnd;
};

enum SignStyle : uint8_t {
  kSignNone = 0,      // negative values still show a leading "-" (no sign is ever lost)
  kSignLeading = 1,   // "-" before the number
  kSignParens = 2,    // "(" ... ")"
  kSignTrailing = 3,  // "-" after the number
};

struct NumericLayout {
  uint8_t sign = kSignNone;
  char fill = ' ';        // ' ', '0' or '*': shown in front of the digits
  char grouping = 0;      // 0 none, else '.', ',' or ' ' between groups of three digits
  char decimal = 0;       // 0 none, else '.', ',', ' ', or 'v' (implied: not shown)
  uint8_t places = 0;     // 0..100 decimal places
  bool currency_after = false;
  uint8_t currency_offset = 0;  // the currency text is source[offset .. offset+length)
  uint8_t currency_length = 0;
};

struct CompiledPicture {
  static constexpr int kMaxSource = 100;
  static constexpr int kMaxTokens = 100;

  uint16_t header = 0;
  uint8_t century_window = 0;
  uint8_t number = 0;
  std::array<PictureToken, kMaxTokens> layout{};
  NumericLayout numeric{};
  uint8_t source_length = 0;
  std::array<char, kMaxSource> source{};

  PictureClass Class() const { return static_cast<PictureClass>(header & 7); }
  int SubKind() const { return (header >> 3) & 7; }
  bool BlankWhenZero() const { return (header & 0x40) != 0; }
  int Width() const { return (header >> 7) & 0xFF; }
  bool Valid() const { return Width() != 0; }
  std::string_view Source() const { return {source.data(), source_length}; }
};

// Compiles a picture text (a leading "@" is optional). Invalid pictures have width 0.
CompiledPicture CompilePicture(std::string_view text);

// The picture of a field that has none: the string class with width 255.
CompiledPicture NullPicture();

// The buffer size a caller reserves for an edited value: 0 for an invalid picture, otherwise
// 2 x width + 2 for every class. (String pictures get the same rule: a fixed answer of 2 would
// let a caller overflow its buffer with a value of up to 255 characters.)
int PictureWidth(std::string_view text);

// Formatting. Each function writes exactly pic.Width() characters (nothing for an invalid
// picture) and returns the count; `out` must hold at least pic.Width() bytes (255 at most).
//   Date pictures take a standard date, time pictures a standard time; 0 or an out-of-range
//   value shows blanks. Numeric, scientific and P pictures take a number. String and K pictures
//   take a text; a number given to them is shown as its decimal text, and a text given to a
//   number picture is read as a decimal number (leading blanks, "-", digits, ".", digits).
size_t FormatLong(const CompiledPicture& pic, int64_t value, char* out);
size_t FormatDecimal(const CompiledPicture& pic, const DecimalAccumulator& value, char* out);
size_t FormatReal(const CompiledPicture& pic, double value, char* out);
size_t FormatText(const CompiledPicture& pic, std::string_view value, char* out);

// The same, returned as a string.
std::string Format(const CompiledPicture& pic, int64_t value);
std::string Format(const CompiledPicture& pic, const DecimalAccumulator& value);
std::string FormatReal(const CompiledPicture& pic, double value);
std::string Format(const CompiledPicture& pic, std::string_view value);

// The value read back from a typed text.
struct DeformatResult {
  bool ok = false;         // false: the text does not fit the picture; the fields below are 0
  int64_t number = 0;      // date: standard date; time: standard time (0 for a blank text)
  DecimalAccumulator decimal;  // numeric, scientific and P pictures
  std::string text;        // string and K pictures: the value; others: the value as text
};

// Reads `text` through the picture; see picture_deformat.cpp for what is tolerated.
DeformatResult Deformat(const CompiledPicture& pic, std::string_view text);

}  // namespace cinevo
