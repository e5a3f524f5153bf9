// Key entries, key maintenance and counters of one open table (the rules are in table_keys.h).
#include "runtime/data/isam/table_keys.h"

#include <algorithm>

#include "runtime/core/error_codes.h"
#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/record_kinds.h"

namespace cinevo::isam {

std::vector<KeyDesc> DescribeKeys(const TableDeclaration& declaration) {
  std::vector<KeyDesc> keys;
  keys.reserve(declaration.keys.size());
  for (size_t k = 0; k < declaration.keys.size(); ++k) {
    KeyDesc d;
    d.key = declaration.keys[k];
    d.number = static_cast<uint8_t>(k);
    d.dup = (d.key.flags & kKeyDup) != 0;
    d.opt = (d.key.flags & kKeyOpt) != 0;
    keys.push_back(std::move(d));
  }
  return keys;
}
namespace {

std::span<const uint8_t> Span(const std::string& s) { return {Bytes(s), s.size()}; }

}  // namespace

void TableKeys::Reset(std::vector<KeyDesc> keys, bool oem) {
  keys_ = std::move(keys);
  codec_.oem = oem;
  ForgetCounters();
}

void TableKeys::EntryPrefixInto(const KeyDesc& k, std::span<const uint8_t> record, std::string& out) const {
  out.clear();
  AppendBe32(out, table_.number);
  out.push_back(static_cast<char>(k.number));
  AppendKeyValue(table_.declaration, k.key, record, codec_, out);
}

void TableKeys::EntryKeyInto(const KeyDesc& k, std::span<const uint8_t> record, uint32_t recno, std::string& out) const {
  EntryPrefixInto(k, record, out);
  if (k.dup) AppendBe32(out, recno);
}

std::string TableKeys::EntryKeyFor(const KeyDesc& k, std::span<const uint8_t> record, uint32_t recno) const {
  std::string out;
  EntryKeyInto(k, record, recno, out);
  return out;
}

bool TableKeys::HasEntry(const KeyDesc& k, std::span<const uint8_t> record) const {
  return !(k.opt && KeyIsNull(table_.declaration, k.key, record));
}

Status TableKeys::UniqueOwner(const std::string& entry, uint32_t& owner) {
  owner = 0;
  Record& r = owner_record_;
  bool found = false;
  ISAM_RETURN_IF_ERROR(table_.file->tree().Find(entry, r, found));
  if (found && r.bytes.size() >= size_t{r.key_length} + 4) owner = GetBe32(Bytes(r.bytes) + r.key_length);
  return Status::Ok();
}

Status TableKeys::Check(const std::string& old_image, const std::string& new_image, uint32_t recno, int& result) {
  result = 0;
  if (new_image.empty()) return Status::Ok();
  for (const KeyDesc& k : keys_) {
    if (k.on_demand || k.dup || !HasEntry(k, Span(new_image))) continue;
    TableCounters c;
    ISAM_RETURN_IF_ERROR(ReadCounters(k.number, c));
    if (c.mark != 0 && (recno == 0 || recno >= c.mark)) continue;  // ADD: recno not issued yet
    std::string& entry = new_entry_;
    EntryKeyInto(k, Span(new_image), recno, entry);
    if (!old_image.empty() && HasEntry(k, Span(old_image))) {
      EntryKeyInto(k, Span(old_image), recno, old_entry_);
      if (old_entry_ == entry) continue;
    }
    uint32_t owner = 0;
    ISAM_RETURN_IF_ERROR(UniqueOwner(entry, owner));
    if (owner != 0 && owner != recno) {
      result = kErrCreatesDuplicateKey;
      return Status::Ok();
    }
  }
  return Status::Ok();
}

Status TableKeys::Apply(const std::string& old_image, const std::string& new_image, uint32_t recno, bool append,
                        KnownEntry known) {
  BTree& tree = table_.file->tree();
  for (const KeyDesc& k : keys_) {
    if (k.on_demand) continue;
    TableCounters c;
    ISAM_RETURN_IF_ERROR(ReadCounters(k.number, c));
    if (append) {
      if (c.mark == 0) {
        c.mark = recno;
        ISAM_RETURN_IF_ERROR(WriteCounters(k.number, c));
      }
      continue;
    }
    if (c.mark != 0 && recno >= c.mark) continue;
    bool has_old = !old_image.empty() && HasEntry(k, Span(old_image));
    bool has_new = !new_image.empty() && HasEntry(k, Span(new_image));
    std::string& old_entry = old_entry_;
    std::string& new_entry = new_entry_;
    if (has_old && known.key == k.number) {
      old_entry.assign(known.entry);  // the entry the record was reached through
    } else if (has_old) {
      EntryKeyInto(k, Span(old_image), recno, old_entry);
    }
    if (has_new) EntryKeyInto(k, Span(new_image), recno, new_entry);
    if (has_old && has_new && old_entry == new_entry) continue;
    int64_t net = 0;
    // The old entry goes before the new one comes: the read that made the record current has
    // just passed the old entry's leaf, so the tree finds it again without a search from the top.
    bool erased_old = false;
    if (has_old && k.dup) {
      // A DUP key's entry carries the record number: it can only be this record's.
      ISAM_RETURN_IF_ERROR(tree.Erase(old_entry, erased_old));
    }
    if (has_old && !erased_old) {
      uint32_t owner = 0;
      ISAM_RETURN_IF_ERROR(UniqueOwner(old_entry, owner));
      if (owner != recno) {
        // Another writer may have kept a negative zero apart from zero: its entry goes too.
        KeyCodec legacy = codec_;
        legacy.distinct_negative_zero = true;
        std::string other = KeyEntryKey(table_.number, k.number,
                                        EncodeKeyValue(table_.declaration, k.key, Span(old_image), legacy), k.dup, recno);
        if (other != old_entry) {
          ISAM_RETURN_IF_ERROR(UniqueOwner(other, owner));
          if (owner == recno) old_entry = other;
        }
      }
      if (owner == recno) ISAM_RETURN_IF_ERROR(tree.Erase(old_entry, erased_old));
    }
    if (erased_old) --net;
    if (has_new) {
      bool existed = false;
      Record& entry = entry_record_;
      entry.bytes.assign(new_entry);
      entry.key_length = static_cast<uint16_t>(new_entry.size());
      AppendBe32(entry.bytes, recno);
      ISAM_RETURN_IF_ERROR(tree.Insert(entry, existed));
      if (existed) {
        // Only a damaged file gets here (the unique keys were checked): this key keeps the
        // entry it had.
        if (erased_old) {
          entry.bytes.assign(old_entry);
          entry.key_length = static_cast<uint16_t>(old_entry.size());
          AppendBe32(entry.bytes, recno);
          ISAM_RETURN_IF_ERROR(tree.Insert(entry, existed));
        }
        return Status::Error(kErrCreatesDuplicateKey, "duplicate key entry");
      }
      ++net;
    }
    if (net != 0) {
      c.entries = static_cast<uint32_t>(static_cast<int64_t>(c.entries) + net);
      ISAM_RETURN_IF_ERROR(WriteCounters(k.number, c));
    }
  }
  return Status::Ok();
}

Status TableKeys::ReadCounters(uint8_t which, TableCounters& out) {
  CachedCounters& c = counters_[which];
  if (!c.loaded) {
    c.value = TableCounters{};
    ISAM_RETURN_IF_ERROR(table_.file->ReadCounters(table_.number, which, c.value.entries, c.value.mark, c.value.found));
    c.loaded = true;
    counters_used_.push_back(which);
  }
  out = c.value;
  return Status::Ok();
}

Status TableKeys::WriteCounters(uint8_t which, const TableCounters& value) {
  CachedCounters& c = counters_[which];
  if (!c.loaded) counters_used_.push_back(which);
  c.value = value;
  c.value.found = true;
  c.loaded = true;
  c.dirty = true;
  return Status::Ok();
}

Status TableKeys::StoreCounters() {
  std::sort(counters_used_.begin(), counters_used_.end());  // into the tree in key order
  for (uint8_t which : counters_used_) {
    CachedCounters& c = counters_[which];
    if (!c.dirty) continue;
    Record r = CountersRecord(table_.number, which, c.value.entries, c.value.mark);
    bool found = false;
    ISAM_RETURN_IF_ERROR(table_.file->tree().Replace(r, found));
    if (!found) {
      bool existed = false;
      ISAM_RETURN_IF_ERROR(table_.file->tree().Insert(r, existed));
    }
    c.dirty = false;
  }
  return Status::Ok();
}

void TableKeys::ForgetCounters() {
  for (uint8_t which : counters_used_) counters_[which] = CachedCounters{};
  counters_used_.clear();
}

}  // namespace cinevo::isam
