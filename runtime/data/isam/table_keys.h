// The keys of one open table: their entries, the checks and changes that keep every entry in
// step with its data record, and the table's counters records.
//
// A key entry is (table, key number, key value[, record number]) with the record number as its
// payload; a DUP key carries the record number in the entry itself, so its entries never
// collide. An OPT key has no entry for a record whose key fields are all blank or zero. An
// INDEX (on demand) is not kept up to date by changes: BUILD makes its entries.
//
// Counters: one counters record for the data records (kTagData) and one per key, each with the
// number of entries and a record-number mark. The mark is 0 while the key holds every record;
// APPEND sets it to the first record number it did not enter, and from then on records at or
// above the mark are left out of that key until a BUILD enters them all and clears the mark.
// Counters as read or changed during an update are kept here; changes reach the tree through
// StoreCounters before each commit (inside a transaction, once, at its COMMIT). The copies stay
// valid while no other user can change the file (the update lock held across a stream or a
// transaction, or exclusive access); ForgetCounters drops them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/isam_file.h"
#include "runtime/data/isam/key_encoding.h"

namespace cinevo::isam {

struct KeyDesc {
  StreamKey key;
  uint8_t number = 0;
  bool dup = false;
  bool opt = false;
  bool on_demand = false;  // an INDEX: not kept up to date on update, built by BUILD
};

struct TableCounters {
  uint32_t entries = 0;
  uint32_t mark = 0;
  bool found = false;  // the counters record exists
};

// The keys of a table as `declaration` states them, key n numbered n. None is marked on demand:
// which keys are INDEXes is said by the program's declaration, not the stored one.
std::vector<KeyDesc> DescribeKeys(const TableDeclaration& declaration);

// A key entry already known for a record (the one it was reached through), so that a change
// need not encode it again.
struct KnownEntry {
  int key = -1;  // none
  std::string_view entry;
};

class TableKeys {
 public:
  // The keys of `table`, which must outlive this and be open whenever a member that reads or
  // writes the tree is called.
  explicit TableKeys(const OpenedTable& table) : table_(table) {}

  // Starts over with the keys of the table just opened, and its file's code page.
  void Reset(std::vector<KeyDesc> keys, bool oem);

  const KeyCodec& codec() const { return codec_; }
  size_t size() const { return keys_.size(); }
  const KeyDesc& operator[](size_t key) const { return keys_[key]; }
  KeyDesc& operator[](size_t key) { return keys_[key]; }
  auto begin() const { return keys_.begin(); }
  auto end() const { return keys_.end(); }

  // Entries. `record` is a record image in buffer form, record_length bytes.
  // Table, key number and the key value of `record` (what a GET by key looks for).
  void EntryPrefixInto(const KeyDesc& k, std::span<const uint8_t> record, std::string& out) const;
  // The whole entry of `record` as record `recno` (its capacity reused).
  void EntryKeyInto(const KeyDesc& k, std::span<const uint8_t> record, uint32_t recno, std::string& out) const;
  std::string EntryKeyFor(const KeyDesc& k, std::span<const uint8_t> record, uint32_t recno) const;
  // False for an OPT key whose fields are all null in `record`.
  bool HasEntry(const KeyDesc& k, std::span<const uint8_t> record) const;
  // The record number holding `entry` of a unique key, or 0.
  Status UniqueOwner(const std::string& entry, uint32_t& owner);

  // Key maintenance for one change of record `recno` (0: an ADD whose number is not issued
  // yet); `old_image`/`new_image` may be empty (ADD / DELETE). Check writes nothing and sets
  // `result` to 40 when the new image would duplicate another record's entry in a unique key.
  Status Check(const std::string& old_image, const std::string& new_image, uint32_t recno, int& result);
  // Moves the entries from the old image to the new one and counts them; APPEND only marks
  // the keys out of date. `known` may name the old image's entry in one key. A duplicate met
  // here (only a damaged file has one after Check) gives 40, that key keeping its old entry.
  Status Apply(const std::string& old_image, const std::string& new_image, uint32_t recno, bool append,
               KnownEntry known = {});

  // Counters of `which` (kTagData or a key number), read through the kept copies.
  Status ReadCounters(uint8_t which, TableCounters& out);
  Status WriteCounters(uint8_t which, const TableCounters& value);
  Status StoreCounters();  // the changed counters into the tree, in key order
  void ForgetCounters();

 private:
  struct CachedCounters {
    TableCounters value;
    bool loaded = false;
    bool dirty = false;
  };

  const OpenedTable& table_;
  KeyCodec codec_;
  std::vector<KeyDesc> keys_;
  std::vector<CachedCounters> counters_ = std::vector<CachedCounters>(256);
  std::vector<uint8_t> counters_used_;  // the entries of counters_ loaded since they were last forgotten
  // Buffers reused by every change, so that keeping the keys does not allocate per record.
  std::string old_entry_, new_entry_;
  Record entry_record_;  // a key entry being written
  Record owner_record_;  // a unique key's owner probe
};

}  // namespace cinevo::isam
