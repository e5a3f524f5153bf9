#include "runtime/data/isam/record_kinds.h"

#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {

std::string_view RecordKindName(RecordKind kind) {
  switch (kind) {
    case RecordKind::kKeyEntry: return "key entry";
    case RecordKind::kData: return "data";
    case RecordKind::kCounters: return "counters";
    case RecordKind::kDeclaration: return "declaration";
    case RecordKind::kMemo: return "memo chunk";
    case RecordKind::kTableName: return "table name";
    case RecordKind::kTransaction: return "transaction marker";
    case RecordKind::kUnknown: break;
  }
  return "unknown";
}

RecordKind ClassifyKey(std::string_view key) {
  if (key.empty()) return RecordKind::kUnknown;
  auto first = static_cast<uint8_t>(key[0]);
  if (first == kTagTableName) return key.size() > 1 ? RecordKind::kTableName : RecordKind::kUnknown;
  if (first == kTagTransaction) return RecordKind::kTransaction;
  if (key.size() < 5) return RecordKind::kUnknown;
  auto tag = static_cast<uint8_t>(key[4]);
  if (tag <= kMaxKeyNumber) return key.size() > 5 ? RecordKind::kKeyEntry : RecordKind::kUnknown;
  switch (tag) {
    case kTagData: return key.size() == 9 ? RecordKind::kData : RecordKind::kUnknown;
    case kTagCounters: return key.size() == 6 ? RecordKind::kCounters : RecordKind::kUnknown;
    case kTagDeclaration: return key.size() == 7 ? RecordKind::kDeclaration : RecordKind::kUnknown;
    case kTagMemo: return key.size() == 12 ? RecordKind::kMemo : RecordKind::kUnknown;
    default: return RecordKind::kUnknown;
  }
}

std::string TablePrefix(uint32_t table) {
  std::string k;
  AppendBe32(k, table);
  return k;
}

std::string DataKey(uint32_t table, uint32_t record_number) {
  std::string k = TablePrefix(table);
  k.push_back(static_cast<char>(kTagData));
  AppendBe32(k, record_number);
  return k;
}

std::string KeyEntryPrefix(uint32_t table, uint8_t key_number) {
  std::string k = TablePrefix(table);
  k.push_back(static_cast<char>(key_number));
  return k;
}

std::string CountersKey(uint32_t table, uint8_t which) {
  std::string k = TablePrefix(table);
  k.push_back(static_cast<char>(kTagCounters));
  k.push_back(static_cast<char>(which));
  return k;
}

std::string DeclarationKey(uint32_t table, uint16_t block) {
  std::string k = TablePrefix(table);
  k.push_back(static_cast<char>(kTagDeclaration));
  AppendLe16(k, block);
  return k;
}

std::string MemoChunkKey(uint32_t table, uint32_t record_number, uint8_t memo, uint16_t sequence) {
  std::string k = TablePrefix(table);
  k.push_back(static_cast<char>(kTagMemo));
  AppendBe32(k, record_number);
  k.push_back(static_cast<char>(memo));
  AppendBe16(k, sequence);
  return k;
}

std::string TableNameKey(std::string_view upper_name) {
  std::string k(1, static_cast<char>(kTagTableName));
  k.append(upper_name);
  return k;
}

Record MakeRecord(std::string key, std::string_view payload) {
  Record r;
  r.key_length = static_cast<uint16_t>(key.size());
  r.bytes = std::move(key);
  r.bytes.append(payload);
  return r;
}

Record CountersRecord(uint32_t table, uint8_t which, uint32_t entries, uint32_t mark) {
  std::string payload;
  AppendLe32(payload, entries);
  AppendLe32(payload, mark);
  return MakeRecord(CountersKey(table, which), payload);
}

uint32_t TableOf(std::string_view key) {
  return key.size() < 4 ? 0 : GetBe32(reinterpret_cast<const uint8_t*>(key.data()));
}

}  // namespace cinevo::isam
