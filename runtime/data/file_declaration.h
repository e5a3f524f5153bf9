// Declaration records of data files: the FILE with its attributes, its KEYs and INDEXes, its
// MEMOs and BLOBs, and the fields of its RECORD. They are static data declared with the program
// and read-only at run time; drivers read them to lay out records and keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/type_code.h"

namespace cinevo {

// A TypeCode name for any integer: codes outside 0..30 print "UNKNOWN".
std::string_view FieldTypeName(int code);

// FileDeclaration::attributes bits.
enum FileAttribute : uint8_t {
  kFileEncrypt = 0x01,
  kFileCreate = 0x02,
  kFileReclaim = 0x04,
};

// KeyDeclaration::flags bits.
enum KeyFlag : uint32_t {
  kKeyDup = 0x0001,      // duplicates allowed
  kKeyOpt = 0x0002,      // entries whose components are all blank/zero are left out
  kKeyNoCase = 0x0004,   // case ignored
  kKeyPrimary = 0x0010,  // the primary key
  kKeyIndex = 0x4000,    // declared as INDEX (built on demand), otherwise KEY
};

// MemoDeclaration::flags bits.
enum MemoFlag : uint8_t {
  kMemoBinary = 0x02,
  kMemoBlob = 0x04,  // a BLOB, otherwise a MEMO
};

struct FieldDeclaration {
  std::string label;                // "PRE:NAME"
  TypeCode type = TypeCode::kEnd;   // kEnd ends a field list
  uint32_t offset = 0;              // byte offset in the record buffer
  uint32_t size = 0;                // bytes of one element (of the whole group for a GROUP)
  uint8_t digits = 0;               // DECIMAL/PDECIMAL: total digits
  uint8_t places = 0;               // DECIMAL/PDECIMAL: digits after the point
  uint32_t length = 0;              // STRING/CSTRING/PSTRING declared by length
  std::string picture;              // STRING/CSTRING/PSTRING declared by picture (else empty)
  std::vector<uint32_t> dimensions; // DIM counts; a zero entry ends the list early
  uint32_t group_fields = 0;        // GROUP: the number of fields that follow and belong to it

  // Element count (product of the dimensions up to the first zero; 1 without DIM).
  uint64_t ElementCount() const;
  // Bytes the field occupies in the record: size times the element count.
  uint64_t StorageSize() const;
};

struct KeyDeclaration {
  std::string label;        // "PRE:KEYNAME"
  std::string name;         // external name; empty when the key has no NAME attribute
  uint32_t flags = 0;       // KeyFlag bits
  // Components as signed 1-based field numbers into FileDeclaration::fields: positive =
  // ascending, negative = descending.
  std::vector<int32_t> components;

  bool IsIndex() const { return (flags & kKeyIndex) != 0; }
};

struct MemoDeclaration {
  std::string label;
  std::string name;         // external name; empty when absent
  uint8_t flags = 0;        // MemoFlag bits
  uint32_t max_size = 0;    // MEMO: its declared size in bytes (0 for a BLOB)

  bool IsBlob() const { return (flags & kMemoBlob) != 0; }
};

struct FileDeclaration {
  std::string label;                    // the FILE's label, e.g. "GRUPA"
  std::optional<std::string> name;      // NAME attribute; absent: the label is used
  std::optional<std::string> owner;     // OWNER password
  std::string driver;                   // first DRIVER argument, e.g. the driver's name
  std::optional<std::string> driver_string;  // second DRIVER argument
  std::string prefix;                   // PRE attribute (informational)
  uint8_t attributes = 0;               // FileAttribute bits
  std::vector<MemoDeclaration> memos;
  std::vector<KeyDeclaration> keys;
  // The RECORD's fields in declaration order. A field of type END, when present, ends the list.
  std::vector<FieldDeclaration> fields;

  // The name used to open the file: NAME when present, else the label.
  std::string_view ExternalName() const { return name ? std::string_view(*name) : label; }
  // Number of fields before any END entry.
  size_t FieldCount() const;
  // Bytes of the record buffer: the largest offset + storage size over all fields.
  uint64_t RecordSize() const;
};

// Shorthands for building declarations in code: a field of `type` at `offset` with element
// size `size` (for the string types also the declared length), and a key.
FieldDeclaration MakeField(std::string label, TypeCode type, uint32_t offset, uint32_t size);
KeyDeclaration MakeKey(std::string label, uint32_t flags, std::vector<int32_t> components);

// A declaration is usable when every field lies in the record, every key component names an
// existing field and every GROUP's member count stays within the list. Returns 0 or 47
// ("Invalid Record Declaration").
[[nodiscard]] int ValidateDeclaration(const FileDeclaration& decl);

}  // namespace cinevo
