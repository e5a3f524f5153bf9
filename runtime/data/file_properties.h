// Answers to the file and key properties that the class library reads, taken from the
// declaration records and the state word. The dispatch uses them for GET_PROPERTY and
// GETPROPERTYkey when the driver answers a property with 80; drivers may call them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cinevo {

struct FileControlBlock;

enum FileProperty : uint32_t {
  kPropCurrentKey = 0x7300,     // 1-based number of the key the file is read by; "0": file order
  kPropTransaction = 0x7301,    // set only: take part in the current transaction (driver's)
  kPropWatched = 0x7304,        // "1" when the current record is watched, else "0"
  kPropHeld = 0x7305,           // "1" when the current record is held, else "0"
  kPropMemoCount = 0x7311,
  kPropFieldCount = 0x7312,
  kPropFileName = 0x7316,       // NAME, or the label when there is none
  kPropFieldName = 0x7317,      // index: 1-based field number; the field's label
  kPropKeyComponents = 0x731A,
  kPropKeyDups = 0x731B,
  kPropKeyNocase = 0x731D,
  kPropKeyPrimary = 0x731E,
  kPropKeyComponentField = 0x731F,   // index: 1-based component; its 1-based field number
  kPropKeyComponentAscend = 0x7320,  // index: 1-based component; "1" ascending, "0" descending
  kPropMemoValue = 0x7CBF,      // index -n: contents of memo/BLOB n (driver's)
  // Read only, driver's: a number that moves whenever the file's records may have changed (a
  // change by this open, another user's commit seen since, a rollback). A record read while it
  // stays the same is still the file's record. A driver that cannot tell answers 80.
  kPropChangeStamp = 0x7328,
};

// The answer for a file property (key < 0) or a key property of key `key` (0-based), or
// nullopt when the property is not one of the above, belongs to the driver, or its index is out
// of range.
std::optional<std::string> GenericProperty(const FileControlBlock& fcb, int key, uint32_t property,
                                           int32_t index);

}  // namespace cinevo
