// List column formats: how a list lays out the fields of its queue's entries as columns.
//
// A format is a sequence of columns and groups, for example "1020L@s255@" (one left-aligned
// column 1020 dialog units wide showing field 1 through the picture @s255) or "800LIT@s200@"
// (field 1 with an icon number from field 2 and a tree level from field 3).
//
//   format  := item+
//   item    := column | group
//   group   := "[" column+ "]" ["(" number ")"] group-attribute*
//   column  := width justify ["(" indent ")"] attribute*
//   justify := "L" | "R" | "C" | "D"
//   attribute, in any order:
//     "#" n "#"          first queue field of the column
//     "/"                the next column of the group starts a new line
//     "?"                the list's locator column
//     "@" picture "@"    picture of the shown value (the first one counts)
//     "E(" c,c,c,c ")"   up to four colour numbers, once per column
//     "*" "F" "I" "M" "_" "|"   modifiers
//     "H" ["(" n ")"]   "S" ["(" n ")"]
//     "T" ["(" one or more of 1 B I L R ")"]
//     "~" header "~" [justify] ["(" indent ")"]
//   group-attribute: the modifiers, "H"/"S" with their numbers and the header.
// Letters may be given in either case. Numbers in parentheses are decimal with an optional "-";
// colour numbers may also be hexadecimal digits ended by "H". A column ends at the first
// character none of its attributes accepts; the next item must begin there.
//
// Queue fields: a running number starts at 1. A column shows field "#n#" when given, else the
// running number; the running number then becomes that field + 1, + 4 more with "*" (four colour
// fields follow the value), + 1 with "I" (an icon number), + 1 with "T" (a tree level). The fields
// of one column come in that order: value, colours, icon, level.
//
// Widths, indents and the number after "S" are dialog units, turned into pixels with the list
// font's metrics. Columns are placed left to right; inside a group a column after "/" starts a new
// line at the group's left edge. A width of 0 or less is stored as 0.
//
// This file has no display dependencies: the parser is fuzzed in the display-free build.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/picture.h"

namespace cinevo {

enum class Justify : uint8_t { kLeft, kRight, kCenter, kDecimal };

// Column flag word.
namespace column_flag {
inline constexpr uint16_t kRightBorder = 0x0010;  // "|"
inline constexpr uint16_t kUnderline = 0x0020;    // "_"
inline constexpr uint16_t kFixed = 0x0040;        // "F"
inline constexpr uint16_t kScroll = 0x0080;       // "S"
inline constexpr uint16_t kResizable = 0x0100;    // "M"
inline constexpr uint16_t kNewLine = 0x0200;      // "/": the next column starts a new line
inline constexpr uint16_t kLocator = 0x0400;      // "?"
inline constexpr uint16_t kIcon = 0x0800;         // "I"
inline constexpr uint16_t kTree = 0x8000;         // "T"
}  // namespace column_flag

// Column option word.
namespace column_option {
inline constexpr uint8_t kColours = 0x01;      // "*": four colour fields follow the value
inline constexpr uint8_t kHNumber = 0x02;      // a number was given after "H"
inline constexpr uint8_t kTreeLines = 0x04;    // T(L)
inline constexpr uint8_t kTreeBoxes = 0x08;    // T(B)
inline constexpr uint8_t kTreeIcons = 0x10;    // T(I)
inline constexpr uint8_t kTreeLevel1 = 0x20;   // T(1)
inline constexpr uint8_t kTreeRoot = 0x40;     // T(R)
}  // namespace column_option

// Pixels per dialog unit come from the list font: a horizontal unit is a quarter of the average
// character width, a vertical one an eighth of the character height.
struct DialogUnits {
  int averageCharWidth = 6;
  int charHeight = 13;
  int X(int units) const;  // rounded to the nearest pixel
  int Y(int units) const;
};

struct ListColumn {
  // Queue fields (1-based); 0 when the column has none of that kind.
  int field = 1;
  int colourField = 0;  // the first of four: foreground, background, selected fg, selected bg
  int iconField = 0;
  int treeField = 0;

  int left = 0;    // pixels, from the list's left edge
  int right = 0;
  int indent = 0;  // pixels
  int line = 0;    // line of the row the column is drawn on (0 = first)
  int group = 0;   // 1-based group number, 0 outside any group

  Justify justify = Justify::kLeft;
  Justify headerJustify = Justify::kLeft;
  int headerIndent = 0;  // pixels
  std::string header;

  bool hasPicture = false;
  std::string pictureText;  // between the "@" signs
  CompiledPicture picture;  // valid only when hasPicture

  int colourCount = 0;
  std::array<int32_t, 4> colours{-1, -1, -1, -1};  // from "E(...)"; -1 none

  uint16_t flags = 0;
  uint8_t options = 0;
  int hNumber = 0;  // the number after "H"
  int scaled = 0;   // the number after "S", in pixels
};

struct ListGroup {
  int firstColumn = 0;  // 0-based indexes into ListLayout::columns, inclusive
  int lastColumn = 0;
  int left = 0;
  int right = 0;
  int lines = 1;
  std::string header;
  Justify headerJustify = Justify::kLeft;
  int headerIndent = 0;
  uint16_t flags = 0;
  uint8_t options = 0;
  int scaled = 0;  // the number after "S", in pixels
};

struct ListLayout {
  std::vector<ListColumn> columns;
  std::vector<ListGroup> groups;
  int totalWidth = 0;     // pixels
  int locatorColumn = 0;  // 1-based; 0 when no column has "?"
  int lines = 1;          // lines per row
  bool hasHeaders = false;
  int FieldsUsed() const;  // the highest queue field any column reads
};

// 0 when the whole format is well formed; otherwise the 1-based offset of the character at which
// it stops being so (the length + 1 when it ends too early).
int CheckListFormat(std::string_view format);

// Lays out the columns of a well-formed format. False (and `out` emptied) when it is malformed.
bool BuildListColumns(std::string_view format, const DialogUnits& units, ListLayout* out);

}  // namespace cinevo
