// The declaration stream of a table: written once at CREATE in blocks of up to 0x200 bytes and
// compared with the program's declaration at every OPEN.
//
// Numbers are 2 bytes little-endian unless marked (1). A text is its bytes and a zero byte; an
// empty text is 00 00 and an absent one 00 01.
//   version (2 when a memo is a BLOB, else 1); record length; field count; memo count; key count
//   per field:  type (1); offset; name; element count; length; flags; index;
//               DECIMAL/PDECIMAL: digits (1), places (1);
//               STRING/CSTRING/PSTRING: declared length, picture (absent when none)
//   per memo:   external name; name; maximum size; flags (0x02 BINARY, 0x04 BLOB)
//   per key:    external name; name; flags (1: 0x01 DUP, 0x02 OPT, 0x04 NOCASE, 0x10 PRIMARY);
//               component count; per component the 0-based field number and the direction
//               (0 ascending, 1 descending)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/file_declaration.h"
#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

using Text = std::optional<std::string>;  // nullopt = absent

struct StreamField {
  uint8_t type = 0;
  uint16_t offset = 0;
  Text name;
  uint16_t elements = 1;
  uint16_t length = 0;
  uint16_t flags = 0;
  uint16_t index = 0;
  uint8_t digits = 0;
  uint8_t places = 0;
  uint16_t declared_length = 0;
  Text picture;
  friend bool operator==(const StreamField&, const StreamField&) = default;
};

struct StreamMemo {
  Text external;
  Text name;
  uint16_t max_size = 0;
  uint16_t flags = 0;
  friend bool operator==(const StreamMemo&, const StreamMemo&) = default;
};

struct StreamKeyComponent {
  uint16_t field = 0;
  uint16_t descending = 0;
  friend bool operator==(const StreamKeyComponent&, const StreamKeyComponent&) = default;
};

struct StreamKey {
  Text external;
  Text name;
  uint8_t flags = 0;
  std::vector<StreamKeyComponent> components;
  friend bool operator==(const StreamKey&, const StreamKey&) = default;
};

struct TableDeclaration {
  uint16_t version = 1;
  uint16_t record_length = 0;
  std::vector<StreamField> fields;
  std::vector<StreamMemo> memos;
  std::vector<StreamKey> keys;
  friend bool operator==(const TableDeclaration&, const TableDeclaration&) = default;
};

std::string EncodeDeclaration(const TableDeclaration& decl);
// Parses a whole stream; 90 (check 18) when it is malformed or has bytes left over.
Status DecodeDeclaration(std::string_view stream, TableDeclaration& out);

// The stream form of a program's FILE declaration (GROUP fields included, 1-based signed key
// components turned into 0-based field numbers and directions).
TableDeclaration FromFileDeclaration(const FileDeclaration& decl);

// Compares the stored declaration with the program's item by item: key flags ignoring PRIMARY,
// memo flags only in the BLOB bit, names without regard to case. Returns an empty string when
// they agree, else a description of the first difference.
std::string CompareDeclarations(const TableDeclaration& stored, const TableDeclaration& program);

// The longest key entry of the table (key part plus the 4-byte payload), in bytes.
size_t LongestKeyEntry(const TableDeclaration& decl);

}  // namespace cinevo::isam
