// Key values: how a record's key fields become the bytes of a key entry so that a plain
// unsigned bytewise comparison gives the declared order.
//
// A key value is the concatenation of its components in declared order; each component takes
// exactly the field's size:
//   STRING, GROUP    the bytes; NOCASE upper-cases through the case table, then every byte is
//                    replaced by its collation weight (digraph characters expand to the weights
//                    of the two characters they stand for, cut at the field size)
//   CSTRING          the text up to its zero byte, zero-filled; then as STRING
//   PSTRING          the text (length from the first byte), zero-filled; then as STRING
//   USHORT, ULONG,   bytes reversed (big-endian)
//   DATE, TIME
//   SHORT, LONG      bytes reversed, top bit of the first byte inverted
//   SREAL, REAL      bytes reversed; negative: every byte inverted, else the sign bit set
//   DECIMAL          negative: sign nibble cleared, then the top bit inverted and all bytes
//                    inverted; positive: the top bit inverted
//   anything else    the bytes unchanged
// A descending component has all its encoded bytes inverted once more. Negative zero (a
// DECIMAL with the sign nibble set and no digit, an SREAL/REAL -0.0) encodes as positive zero,
// so that equal numbers give equal keys.
//
// For an OEM file the text of string components is converted to the OEM code page first and
// weighed with the OEM collating sequence.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "runtime/data/isam/declaration_stream.h"

namespace cinevo::isam {

// The weight of every byte value in the text of an ANSI file's keys, with and without NOCASE,
// and the locale tables it was made from (key_encoding.cpp).
struct TextWeights;

struct KeyCodec {
  bool oem = false;  // the file keeps its text in the OEM code page
  // Encode negative zero apart from zero, as some writers of these files did; used only to
  // recognise their entries when checking a file, never to write.
  bool distinct_negative_zero = false;
  // Made on first use and made again whenever the locale's tables differ from those it was made
  // from, so that a changed collation or case table takes effect at the next key.
  mutable std::shared_ptr<TextWeights> weights;
};

// Bytes of the key value (sum of the component field sizes).
size_t KeyValueSize(const TableDeclaration& decl, const StreamKey& key);

// Encodes one component of `size` bytes of type `type` (the field's bytes in `field`).
void EncodeComponent(uint8_t type, std::span<const uint8_t> field, bool nocase, bool descending,
                     const KeyCodec& codec, std::string& out);

// The key value of `record` for `key`. The record must hold every component field (the
// declaration has been checked against the record length); missing bytes read as zero.
std::string EncodeKeyValue(const TableDeclaration& decl, const StreamKey& key,
                           std::span<const uint8_t> record, const KeyCodec& codec);
// The same appended to `out` (whose capacity a caller may reuse from key to key).
void AppendKeyValue(const TableDeclaration& decl, const StreamKey& key, std::span<const uint8_t> record,
                    const KeyCodec& codec, std::string& out);

// True when every component of `key` is null in `record`: STRING/GROUP all blanks,
// CSTRING/PSTRING a zero first byte, other types all bytes zero. An OPT key keeps no entry
// for such a record.
bool KeyIsNull(const TableDeclaration& decl, const StreamKey& key, std::span<const uint8_t> record);

// The compared part of a key entry: table, key number, value, and for a DUP key the record
// number (big-endian).
std::string KeyEntryKey(uint32_t table, uint8_t key_number, std::string_view value, bool dup,
                        uint32_t record_number);

}  // namespace cinevo::isam
