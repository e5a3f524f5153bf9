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
#include <vector>

#include "runtime/data/file_control_block.h"
#include "runtime/data/isam/declaration_stream.h"
#include "runtime/data/isam/isam_locking.h"

namespace cinevo::tvx {

// How long a command waits for another program's hold on a file before it gives up.
inline constexpr int kToolWaitMs = 30000;

// A reader slot and the update lock of a file, held from Take until destruction: no program
// commits a change to the file meanwhile, so whatever is read through the file layer is one
// committed state, and what is written through it meets no other writer. Not for a driver
// open, which takes locks of its own (it would wait for these).
class FileHold {
 public:
  // Waits up to `wait_ms` for a slot (another program may hold the file exclusively) and for
  // the update lock. False, with the reason in `why`, when they cannot be had. A file that
  // cannot be opened is let through: the open that follows reports it.
  bool Take(const std::string& path, int wait_ms, std::string& why);

 private:
  std::unique_ptr<isam::TableLocks> locks_;
};

struct ToolTable {
  std::string path;     // as given (FILE or FILE\!TABLE)
  std::string table;    // upper-case table name
  uint32_t number = 0;
  isam::TableDeclaration stored;
  FileDeclaration declaration;  // made from the stored one
  std::unique_ptr<FileControlBlock> fcb;
  bool snapshot = false;  // HoldSnapshot: rolled back when the table goes

  ToolTable() = default;
  ToolTable(ToolTable&&) = default;
  ~ToolTable();
};

// The whole text of `source`: a file, or standard input for "-". False with a message in
// `error` for a directory, a missing file or a read that fails.
bool ReadSource(const std::string& source, std::string& text, std::string& error);

// Opens a table for reading (mode 0x40) or for changing (0x42); both share the file with
// other programs, and wait up to kToolWaitMs for one that holds it exclusively. Returns 0 or
// the driver's error code, with a message in `error`.
int OpenToolTable(const std::string& name, bool write, ToolTable& out, std::string& error);

// Holds the file's update lock from now until the table is closed (a transaction that is
// never committed), so that every read through `t` sees one committed state. Returns 0 or
// the error, with a message in `error`.
int HoldSnapshot(ToolTable& t, std::string& error);

// The 0-based key whose label (with or without prefix, any case) is `name`, or -1.
int FindKey(const isam::TableDeclaration& d, std::string_view name);
// The 0-based field of that label, or -1.
int FindField(const isam::TableDeclaration& d, std::string_view name);

// The value of one element (0-based; 0 for a field without DIM) in `record` as text.
std::string FieldText(const isam::StreamField& f, const uint8_t* record, size_t record_size, uint16_t element = 0);
// The field's value as JSON: texts quoted and escaped, numbers bare, and a field with DIM as an
// array of all its elements.
std::string FieldJson(const isam::StreamField& f, const uint8_t* record, size_t record_size);
bool FieldIsNumber(const isam::StreamField& f);

// Stores `text` into one element of the field; false with a reason when it does not fit the
// type.
[[nodiscard]] bool ParseField(const isam::StreamField& f, std::string_view text, uint8_t* record, size_t record_size,
                std::string& error, uint16_t element = 0);

// The record image of a new record: STRING fields (every element of one with DIM) blank, all
// other bytes zero.
std::vector<uint8_t> BlankRecord(const isam::TableDeclaration& d);

// JSON string literal: bytes below 0x20, quotes and backslashes escaped, bytes from 0x80 as
// \u00XX (the bytes read as Latin-1).
std::string JsonString(std::string_view bytes);
// The shortest decimal text of a double that reads back exactly, in the usual JSON style
// ("1.0", "0.0001", "1e+16", "-0.0").
std::string ShortestDouble(double v);
std::string Hex(std::string_view bytes);

}  // namespace cinevo::tvx
