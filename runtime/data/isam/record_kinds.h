// The kinds of records held in a data file's B-tree and the layout of their keys.
//
// T is a table number, 4 bytes big-endian, whose first byte is below 0xFE. Within a table the
// second part of the key orders the kinds: key entries (key number 0..0xF2), data records
// (0xF3), counters (0xF6), declaration blocks (0xFA), memo/BLOB chunks (0xFC).
//   data         T F3 recno(4 BE)                         payload: the record buffer
//   key entry    T keyno value [recno(4 BE) for DUP]      payload: recno (4 BE)
//   counters     T F6 (F3 | keyno)                        payload: entries, mark (4 LE each)
//   declaration  T FA block(2 LE)                         payload: up to 0x200 stream bytes
//   memo chunk   T FC recno(4 BE) memo(1) seq(2 BE)       payload: up to 256 content bytes
//                                                         (a BLOB's first chunk begins with
//                                                         its total length, 4 LE)
//   table name   FE NAME (upper case)                     payload: T
//   transaction  FF ...                                   (the transaction marker)
// Table names sort after every record of every table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data/isam/page_codec.h"

namespace cinevo::isam {

inline constexpr uint8_t kTagData = 0xF3;
inline constexpr uint8_t kTagCounters = 0xF6;
inline constexpr uint8_t kTagDeclaration = 0xFA;
inline constexpr uint8_t kTagMemo = 0xFC;
inline constexpr uint8_t kTagTableName = 0xFE;
inline constexpr uint8_t kTagTransaction = 0xFF;
inline constexpr uint8_t kMaxKeyNumber = 0xF2;
inline constexpr size_t kDeclarationBlockSize = 0x200;
inline constexpr size_t kMemoChunkSize = 256;

enum class RecordKind { kKeyEntry, kData, kCounters, kDeclaration, kMemo, kTableName, kTransaction, kUnknown };

std::string_view RecordKindName(RecordKind kind);

// The kind of a record from its key bytes (kUnknown when the key has the wrong length for its
// tag or an unused tag).
RecordKind ClassifyKey(std::string_view key);

std::string TablePrefix(uint32_t table);
std::string DataKey(uint32_t table, uint32_t record_number);
std::string KeyEntryPrefix(uint32_t table, uint8_t key_number);
std::string CountersKey(uint32_t table, uint8_t which);  // which: kTagData or a key number
std::string DeclarationKey(uint32_t table, uint16_t block);
std::string MemoChunkKey(uint32_t table, uint32_t record_number, uint8_t memo, uint16_t sequence);
std::string TableNameKey(std::string_view upper_name);

Record MakeRecord(std::string key, std::string_view payload);
Record CountersRecord(uint32_t table, uint8_t which, uint32_t entries, uint32_t mark);

uint32_t TableOf(std::string_view key);  // the first 4 key bytes, big-endian

}  // namespace cinevo::isam
