// What the data-file commands of tvx share: opening one table of a file through the native
// driver with its stored declaration, and field values as text (for display, CSV and JSON)
// and back (for import).
//
// Value texts: integers in decimal; DATE "YYYY-MM-DD"; TIME "HH:MM:SS.hh"; SREAL/REAL the
// shortest text that reads back to the same number; DECIMAL/PDECIMAL with their places
// ("-12.50"); STRING without trailing blanks, CSTRING up to its zero byte, PSTRING by its
// length; GROUP and any other type as hexadecimal bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/data/file_control_block.h"
#include "runtime/data/isam/declaration_stream.h"

namespace cinevo::tvx {

struct ToolTable {
  std::string path;     // as given (FILE or FILE\!TABLE)
  std::string table;    // upper-case table name
  uint32_t number = 0;
  isam::TableDeclaration stored;
  FileDeclaration declaration;  // made from the stored one
  std::unique_ptr<FileControlBlock> fcb;
};

// Opens a table for reading (mode 0x40) or for changing (0x12, deny all). Returns 0 or the
// driver's error code, with a message in `error`.
int OpenToolTable(const std::string& name, bool write, ToolTable& out, std::string& error);

// The 0-based key whose label (with or without prefix, any case) is `name`, or -1.
int FindKey(const isam::TableDeclaration& d, std::string_view name);
// The 0-based field of that label, or -1.
int FindField(const isam::TableDeclaration& d, std::string_view name);

// A field's value in `record` as text; `json` quotes and escapes texts as JSON does and leaves
// numbers bare.
std::string FieldText(const isam::StreamField& f, const uint8_t* record, size_t record_size);
std::string FieldJson(const isam::StreamField& f, const uint8_t* record, size_t record_size);
bool FieldIsNumber(const isam::StreamField& f);

// Stores `text` into the field; false with a reason when it does not fit the type.
bool ParseField(const isam::StreamField& f, std::string_view text, uint8_t* record, size_t record_size,
                std::string& error);

// JSON string literal: bytes below 0x20, quotes and backslashes escaped, bytes from 0x80 as
// \u00XX (the bytes read as Latin-1).
std::string JsonString(std::string_view bytes);
// The shortest decimal text of a double that reads back exactly, in the usual JSON style
// ("1.0", "0.0001", "1e+16", "-0.0").
std::string ShortestDouble(double v);
std::string Hex(std::string_view bytes);

}  // namespace cinevo::tvx
