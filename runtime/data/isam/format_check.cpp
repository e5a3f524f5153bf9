#include "runtime/data/isam/format_check.h"

#include <optional>
#include <set>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {
namespace {

constexpr int kMaxLevels = 48;

class Walker {
 public:
  Walker(PageStore& store, std::vector<Violation>& v, FileSummary& s) : store_(store), v_(v), s_(s) {}

  void Run() {
    CheckHeader();
    const FileHeader& h = store_.header();
    if (h.root != kNoRoot) {
      PageRef root;
      if (Load(h.root, root)) {
        s_.height = root->level + 1;
        Visit(h.root, root->level, std::nullopt, std::nullopt, 0);
      }
    }
    CheckCoverage();
    CheckTables();
  }

 private:
  void Add(int check, std::string where, std::string text) {
    if (v_.size() < 1000) v_.push_back({check, std::move(where), std::move(text)});
  }
  static std::string PageName(uint32_t a) { return "page " + std::to_string(a); }

  bool Load(uint32_t address, PageRef& page) {
    Status st = store_.Load(address, page);
    if (!st.ok()) {
      Add(st.file_error, PageName(address), st.detail);
      return false;
    }
    return true;
  }

  void CheckHeader() {
    const FileHeader& h = store_.header();
    if (h.committed_length != h.written_length) Add(kCheckFileLength, "header", "the two file lengths differ");
    if (h.committed_length < h.DataLength()) Add(kCheckFileLength, "header", "file length ends inside the class table");
    uint64_t size = store_.file_size();
    if (size != 0 && size != h.committed_length) {
      Add(kCheckFileLength, "header", "file holds " + std::to_string(size) + " bytes, header says " + std::to_string(h.committed_length));
    }
    if (!store_.recovered_pages().empty()) {
      Add(kCheckFileLength, "header", std::to_string(store_.recovered_pages().size()) + " pages of an interrupted update");
    }
  }

  // In-order walk: every record must lie in [low, high) given by the parent's copies.
  void Visit(uint32_t address, int level, std::optional<Record> low, std::optional<Record> high, int depth) {
    if (depth > kMaxLevels || !visited_.insert(address).second) {
      Add(kCheckTreeLevel, PageName(address), "page reached twice (a cycle or shared child)");
      return;
    }
    PageRef page;
    if (!Load(address, page)) return;
    const FileHeader& h = store_.header();
    uint32_t cls = h.ClassOf(address);
    ++s_.pages;
    ++s_.pages_per_class[cls];
    s_.stored_bytes += page->stored_size;
    s_.unpacked_bytes += page->unpacked_size;
    if (page->stored_size < page->unpacked_size) ++s_.compressed_pages;
    if (page->level != level) {
      Add(kCheckTreeLevel, PageName(address), "level " + std::to_string(page->level) + " where " + std::to_string(level) + " belongs");
      return;
    }
    CheckEncoding(*page, cls);
    if (low && CompareKeys(page->key(0), low->key()) != 0) {
      Add(kCheckIndexCopy, PageName(address), "first record differs from its parent's copy");
    } else if (low && page->bytes(0) != low->bytes) {
      Add(kCheckIndexCopy, PageName(address), "parent's copy of the first record is not whole");
    }
    if (high && CompareKeys(page->key(page->size() - 1), high->key()) >= 0) {
      Add(kCheckRecordOrder, PageName(address), "records reach into the next subtree");
    }
    if (page->level == 0) {
      for (size_t i = 0; i < page->size(); ++i) Leaf(page->record(i), address);
      return;
    }
    for (size_t i = 0; i < page->size(); ++i) {
      std::optional<Record> next = i + 1 < page->size() ? std::optional<Record>(page->record(i + 1).ToRecord()) : high;
      Visit(page->children[i], level - 1, page->record(i).ToRecord(), next, depth + 1);
    }
  }

  // The page bytes must be exactly what the writing rules produce: prefix sharing, length
  // fields only when they change, compression exactly when it saves a unit, 0xB0 filler.
  void CheckEncoding(const Page& page, uint32_t cls) {
    uint32_t cap = CapacityFigure(page);
    if (page.capacity < page.unpacked_size) Add(kCheckPageHeader, PageName(page.address), "capacity figure below the unpacked size");
    std::string canonical;
    Status st = EncodePage(page, canonical);
    if (!st.ok()) {
      Add(st.file_error, PageName(page.address), st.detail);
      return;
    }
    if (canonical.size() != size_t{cls} * kUnitSize) {
      Add(kCheckPageClass, PageName(page.address), "page sits in class " + std::to_string(cls) + " but needs " + std::to_string(canonical.size() / kUnitSize) + " units");
      return;
    }
    std::string raw;
    if (!store_.ReadAt(uint64_t{page.address} * kUnitSize + kHeaderSize, canonical.size(), raw).ok()) return;
    // The capacity figure may legitimately be any upper bound; compare everything else.
    PutLe16(reinterpret_cast<uint8_t*>(raw.data()) + 8, static_cast<uint16_t>(std::min<uint32_t>(cap, 0xFFFF)));
    if (raw != canonical) {
      size_t at = 0;
      while (at < raw.size() && raw[at] == canonical[at]) ++at;
      Add(kCheckPageHeader, PageName(page.address), "bytes differ from the canonical form at offset " + std::to_string(at));
    }
  }

  TableSummary& Table(uint32_t number) {
    auto [it, inserted] = by_number_.try_emplace(number, s_.tables.size());
    if (inserted) {
      s_.tables.push_back({});
      s_.tables.back().number = number;
    }
    return s_.tables[it->second];
  }

  void Leaf(RecordView r, uint32_t address) {
    ++s_.records;
    if (previous_ && CompareKeys(previous_->key(), r.key()) >= 0) {
      Add(kCheckRecordOrder, PageName(address), "records out of order across pages");
    }
    previous_ = r.ToRecord();
    RecordKind kind = ClassifyKey(r.key());
    ++s_.records_per_kind[std::string(RecordKindName(kind))];
    std::string_view payload = std::string_view(r.bytes).substr(r.key_length);
    uint32_t table = TableOf(r.key());
    switch (kind) {
      case RecordKind::kUnknown:
        Add(kCheckRecordFields, PageName(address), "record of no known kind");
        break;
      case RecordKind::kTransaction:
        break;
      case RecordKind::kTableName: {
        if (payload.size() != 4) {
          Add(kCheckRecordFields, PageName(address), "table name without a 4-byte number");
          break;
        }
        uint32_t number = GetBe32(reinterpret_cast<const uint8_t*>(payload.data()));
        std::string name(r.key().substr(1));
        TableSummary& t = Table(number);
        if (!t.name.empty()) Add(kCheckRecordFields, "table " + std::to_string(number), "two names: " + t.name + ", " + name);
        t.name = name;
        if ((number >> 24) >= 0xFE || number > store_.header().number_counter) {
          Add(kCheckTableCounter, "table " + name, "number " + std::to_string(number) + " beyond the counter");
        }
        break;
      }
      case RecordKind::kData: {
        TableSummary& t = Table(table);
        ++t.data_records;
        uint32_t recno = GetBe32(reinterpret_cast<const uint8_t*>(r.key().data()) + 5);
        data_.insert({table, recno});
        data_sizes_[table].insert(payload.size());
        if (recno > store_.header().number_counter) Add(kCheckTableCounter, PageName(address), "record number beyond the counter");
        break;
      }
      case RecordKind::kKeyEntry: {
        TableSummary& t = Table(table);
        int key = static_cast<uint8_t>(r.key()[4]);
        ++t.key_entries[key];
        key_sizes_[{table, key}].insert(r.key_length);
        if (payload.size() != 4) {
          Add(kCheckRecordFields, PageName(address), "key entry without a 4-byte record number");
        } else {
          pointers_.push_back({table, GetBe32(reinterpret_cast<const uint8_t*>(payload.data()))});
        }
        break;
      }
      case RecordKind::kCounters: {
        TableSummary& t = Table(table);
        if (payload.size() != 8) {
          Add(kCheckRecordFields, PageName(address), "counters record without two 4-byte counters");
        } else {
          t.counters[static_cast<uint8_t>(r.key()[5])] = GetLe32(reinterpret_cast<const uint8_t*>(payload.data()));
        }
        break;
      }
      case RecordKind::kDeclaration: {
        Table(table);
        uint16_t block = GetLe16(reinterpret_cast<const uint8_t*>(r.key().data()) + 5);
        declarations_[table][block] = std::string(payload);
        if (payload.size() > kDeclarationBlockSize) Add(kCheckDeclaration, PageName(address), "declaration block above 0x200 bytes");
        break;
      }
      case RecordKind::kMemo: {
        TableSummary& t = Table(table);
        ++t.memo_chunks;
        if (payload.size() > kMemoChunkSize + 4) Add(kCheckRecordFields, PageName(address), "memo chunk above 256 bytes");
        memo_owners_.push_back({table, GetBe32(reinterpret_cast<const uint8_t*>(r.key().data()) + 5)});
        break;
      }
    }
  }

  // Every slot of every class range must be a page of the tree.
  void CheckCoverage() {
    const FileHeader& h = store_.header();
    // A header that claims more than the file holds is reported by CheckHeader; counting its
    // class slots would take as long as the claimed length.
    if (h.committed_length > store_.file_size()) return;
    uint64_t unreached = 0;
    for (uint32_t c = 1; c < kClassCount; ++c) {
      for (uint64_t a = h.start[c]; a < h.end[c]; a += c) {
        if (!visited_.count(static_cast<uint32_t>(a))) ++unreached;
      }
    }
    if (unreached) Add(kCheckParentLink, "classes", std::to_string(unreached) + " pages not reachable from the root");
  }

  void CheckTables() {
    for (const auto& [table, blocks] : declarations_) {
      TableSummary& t = Table(table);
      std::string stream;
      uint32_t expected = 0;
      for (const auto& [block, bytes] : blocks) {
        if (block != expected++) {
          Add(kCheckDeclaration, "table " + std::to_string(table), "declaration block missing");
          break;
        }
        stream += bytes;
      }
      Status st = DecodeDeclaration(stream, t.declaration);
      if (!st.ok()) {
        Add(st.file_error, "table " + std::to_string(table), st.detail);
      } else {
        t.has_declaration = true;
      }
    }
    std::set<std::pair<uint32_t, uint32_t>> pointers(pointers_.begin(), pointers_.end());
    for (const auto& [table, recno] : pointers) {
      if (!data_.count({table, recno})) Add(kCheckRecordFields, "table " + std::to_string(table), "key entry for missing record " + std::to_string(recno));
    }
    std::set<std::pair<uint32_t, uint32_t>> owners(memo_owners_.begin(), memo_owners_.end());
    for (const auto& [table, recno] : owners) {
      if (!data_.count({table, recno})) Add(kCheckRecordFields, "table " + std::to_string(table), "memo chunk of missing record " + std::to_string(recno));
    }
    for (TableSummary& t : s_.tables) {
      std::string where = "table " + (t.name.empty() ? std::to_string(t.number) : t.name);
      if (t.name.empty()) Add(kCheckRecordFields, where, "records of a table without a name");
      if (!t.has_declaration) {
        Add(kCheckDeclaration, where, "no declaration");
        continue;
      }
      const TableDeclaration& d = t.declaration;
      for (size_t size : data_sizes_[t.number]) {
        if (size != d.record_length) Add(kCheckRecordFields, where, "data record of " + std::to_string(size) + " bytes, declared " + std::to_string(d.record_length));
      }
      auto data_count = t.counters.find(kTagData);
      if (data_count == t.counters.end()) {
        Add(kCheckRecordFields, where, "no counters record for the data records");
      } else if (data_count->second != t.data_records) {
        Add(kCheckRecordFields, where, "data counter says " + std::to_string(data_count->second) + ", file holds " + std::to_string(t.data_records));
      }
      for (const auto& [key, count] : t.key_entries) {
        if (static_cast<size_t>(key) >= d.keys.size()) {
          Add(kCheckRecordFields, where, "entries of undeclared key " + std::to_string(key));
          continue;
        }
        size_t expected_len = 5 + ((d.keys[key].flags & 0x01) ? 4 : 0);
        for (const StreamKeyComponent& c : d.keys[key].components) expected_len += d.fields[c.field].length;
        for (size_t len : key_sizes_[{t.number, key}]) {
          if (len != expected_len) Add(kCheckRecordFields, where, "key " + std::to_string(key + 1) + " entry of " + std::to_string(len) + " bytes, expected " + std::to_string(expected_len));
        }
        auto c = t.counters.find(key);
        // The counter of a key being rebuilt may lag; only a counter above the entries is wrong.
        if (c != t.counters.end() && c->second != count) {
          Add(kCheckRecordFields, where, "key " + std::to_string(key + 1) + " counter says " + std::to_string(c->second) + ", file holds " + std::to_string(count));
        }
      }
    }
  }

  PageStore& store_;
  std::vector<Violation>& v_;
  FileSummary& s_;
  std::set<uint32_t> visited_;
  std::optional<Record> previous_;
  std::map<uint32_t, size_t> by_number_;
  std::set<std::pair<uint32_t, uint32_t>> data_;
  std::map<uint32_t, std::set<size_t>> data_sizes_;
  std::map<std::pair<uint32_t, int>, std::set<size_t>> key_sizes_;
  std::vector<std::pair<uint32_t, uint32_t>> pointers_;
  std::vector<std::pair<uint32_t, uint32_t>> memo_owners_;
  std::map<uint32_t, std::map<uint32_t, std::string>> declarations_;
};

}  // namespace

Status CheckFormat(PageStore& store, std::vector<Violation>& violations, FileSummary& summary) {
  ISAM_RETURN_IF_ERROR(store.Refresh());
  violations.clear();
  summary = FileSummary{};
  Walker(store, violations, summary).Run();
  return Status::Ok();
}

}  // namespace cinevo::isam
