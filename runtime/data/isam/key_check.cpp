#include "runtime/data/isam/key_check.h"

#include <map>
#include <set>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/key_encoding.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

}  // namespace

Status CrossCheckKeys(IsamFile& file, KeyCheckResult& out) {
  std::vector<TableInfo> tables;
  ISAM_RETURN_IF_ERROR(file.ListTables(tables));
  for (const TableInfo& t : tables) {
    TableDeclaration decl;
    ISAM_RETURN_IF_ERROR(file.ReadDeclaration(t.number, decl));
    std::string where_table = "table " + t.name;
    // Each key's entries as found: entry bytes (key and payload).
    std::vector<std::set<std::string>> found(decl.keys.size());
    uint64_t data_records = 0;
    std::vector<std::pair<uint32_t, std::string>> records;
    std::string prefix = TablePrefix(t.number);
    Record r;
    bool more = false;
    ISAM_RETURN_IF_ERROR(file.tree().AtOrAfter(prefix, r, more));
    while (more && StartsWith(r.key(), prefix)) {
      RecordKind kind = ClassifyKey(r.key());
      if (kind == RecordKind::kData) {
        ++data_records;
        records.emplace_back(GetBe32(Bytes(r.bytes) + 5), r.bytes.substr(r.key_length));
      } else if (kind == RecordKind::kKeyEntry) {
        uint8_t k = static_cast<uint8_t>(r.key()[4]);
        if (k < found.size()) {
          found[k].insert(r.bytes);
        } else {
          out.problems.push_back({where_table, "key entry of undeclared key " + std::to_string(k)});
        }
      }
      std::string at(r.key());
      ISAM_RETURN_IF_ERROR(file.tree().After(at, r, more));
    }
    uint32_t entries = 0, mark = 0;
    bool has = false;
    ISAM_RETURN_IF_ERROR(file.ReadCounters(t.number, kTagData, entries, mark, has));
    if (!has) {
      out.problems.push_back({where_table, "no counters record for the data records"});
    } else if (entries != data_records) {
      out.problems.push_back({where_table, "data counter says " + std::to_string(entries) + ", " +
                                               std::to_string(data_records) + " records are there"});
    }
    for (size_t k = 0; k < decl.keys.size(); ++k) {
      const StreamKey& key = decl.keys[k];
      std::string where = where_table + " key " + std::to_string(k) + " (" + key.name.value_or("") + ")";
      ISAM_RETURN_IF_ERROR(file.ReadCounters(t.number, static_cast<uint8_t>(k), entries, mark, has));
      if (!has) {
        out.problems.push_back({where, "no counters record"});
      } else if (entries != found[k].size()) {
        out.problems.push_back({where, "entry counter says " + std::to_string(entries) + ", " +
                                           std::to_string(found[k].size()) + " entries are there"});
      }
      if (found[k].empty() && data_records > 0 && (!has || entries == 0)) {
        out.notes.push_back(where + ": holds no entry; not built yet");
        continue;
      }
      bool dup = (key.flags & 0x01) != 0, opt = (key.flags & 0x02) != 0;
      std::set<std::string> expected;
      for (const auto& [recno, image] : records) {
        if (mark != 0 && recno >= mark) continue;
        auto span = std::span<const uint8_t>(Bytes(image), image.size());
        if (opt && KeyIsNull(decl, key, span)) continue;
        std::string payload;
        AppendBe32(payload, recno);
        std::string entry = KeyEntryKey(t.number, static_cast<uint8_t>(k), EncodeKeyValue(decl, key, span, {}), dup, recno) + payload;
        if (!found[k].count(entry)) {
          KeyCodec legacy;
          legacy.distinct_negative_zero = true;
          std::string other =
              KeyEntryKey(t.number, static_cast<uint8_t>(k), EncodeKeyValue(decl, key, span, legacy), dup, recno) + payload;
          if (found[k].count(other)) entry = other;
        }
        expected.insert(entry);
        if (!found[k].count(entry)) out.problems.push_back({where, "record " + std::to_string(recno) + " has no entry"});
      }
      for (const std::string& e : found[k]) {
        ++out.entries_checked;
        if (!expected.count(e)) {
          uint32_t recno = e.size() >= 4 ? GetBe32(Bytes(e) + e.size() - 4) : 0;
          out.problems.push_back({where, "entry " + Hex(e.substr(5, e.size() - 9)) + " for record " +
                                             std::to_string(recno) + " matches no record"});
        }
      }
    }
  }
  return Status::Ok();
}

}  // namespace cinevo::isam
