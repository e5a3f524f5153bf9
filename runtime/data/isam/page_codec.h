// Pages of the B-tree and their bytes on disk.
//
// A page of size class c is c x 256 bytes at file offset address x 256 + 0x200:
//   0x00  4  the page's own address (little-endian, like every header field)
//   0x04  2  stored size: header, child addresses and the (possibly compressed) record bytes
//   0x06  2  unpacked size: the same with the record bytes uncompressed
//   0x08  2  capacity figure: 13 + sum(record length + 5) + 4 per record in an index page
//   0x0A  2  number of records
//   0x0C  1  level: 0 for a leaf, else the height above the leaves
//   0x0D  4 x count  child addresses, only when level > 0
//   then  the record bytes, run-length coded when that saves a 256-byte unit
//   rest  filler 0xB0 up to the end of the unit.
// Each record is a flag byte (0x80: a 2-byte record length follows, 0x40: a 2-byte key length
// follows, low 6 bits: leading bytes shared with the previous record, at most 63), the lengths
// that changed, and the record's bytes after the shared prefix.
//
// In memory a page keeps the whole bytes of its records one after another in one buffer, and
// an array of slots in key order that says where each record lies. Inserting, replacing or
// removing a record moves slots, not bytes: a new or longer record goes to the end of the
// buffer and the space of the old one is left unused until the buffer is more than half
// unused, when it is compacted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

inline constexpr uint32_t kUnitSize = 256;
inline constexpr uint32_t kHeaderSize = 0x200;
inline constexpr uint32_t kPageHeaderSize = 13;
inline constexpr uint32_t kMaxClass = 59;
inline constexpr uint32_t kMaxPageBytes = kMaxClass * kUnitSize;  // 0x3B00
inline constexpr uint32_t kRecordLimit = 0x3AF6;   // records must be shorter than this
inline constexpr uint32_t kSplitCapacity = 0x3AF7;  // a page at or above this capacity splits
inline constexpr uint32_t kSplitSoftCapacity = 0x1000;
inline constexpr uint32_t kSplitSoftCount = 20;
// The longest record the tree can hold: an index page with two whole copies of it must stay
// below the split capacity, or splitting would never end. 13 + 2 x (7531 + 9) = 0x3AF5.
inline constexpr uint32_t kMaxTreeRecord = 7531;
inline constexpr uint8_t kFiller = 0xB0;

// One variable-length record: its ordering key is the first key_length bytes.
struct Record {
  std::string bytes;
  uint16_t key_length = 0;

  std::string_view key() const { return std::string_view(bytes).substr(0, key_length); }
  friend bool operator==(const Record&, const Record&) = default;
};

// A record of a page, seen in place: valid until that page next changes.
struct RecordView {
  std::string_view bytes;
  uint16_t key_length = 0;

  RecordView() = default;
  RecordView(std::string_view b, uint16_t k) : bytes(b), key_length(k) {}
  RecordView(const Record& r) : bytes(r.bytes), key_length(r.key_length) {}  // NOLINT: a view of it
  std::string_view key() const { return bytes.substr(0, key_length); }
  Record ToRecord() const { return Record{std::string(bytes), key_length}; }
};

// Unsigned bytewise over the shorter key; on a tie the shorter key sorts first.
int CompareKeys(std::string_view a, std::string_view b);

class PageRef;

// The page object is aligned to a pair of cache lines: what a search reads of it lies in the
// first line (the time of use, the handle count, the slots, the shared prefix and the level),
// and the processor fetches the second line (the child addresses) along with it.
class alignas(128) Page {
 public:
  // Set by the page cache: when the page was last used (by its clock).
  uint64_t last_use = 0;

 private:
  friend class PageRef;
  // Handles that hold the page (PageRef). Copying or assigning a page leaves the count of the
  // object copied into alone: it counts handles to that object, not to its contents.
  struct RefCount {
    uint32_t n = 0;
    RefCount() = default;
    RefCount(const RefCount&) {}
    RefCount& operator=(const RefCount&) { return *this; }
  } refs_;

  // Invariant: every key starts with the first `prefix_` bytes of the first key. It is exact
  // after a decode, a split and a change at either end, and may be shorter after a removal.
  // The first kInlinePrefix of them are also kept in `prefix_bytes_`.
  uint32_t prefix_ = 0;

  // Where record i lies in `data_`, and its search probe: the 8 key bytes after the first
  // `prefix_` (big-endian, zero-padded). Every key of the page starts with the same `prefix_`
  // bytes, so a record whose probe is below the searched key's probe sorts below the key and
  // one whose probe is above sorts above it; only equal probes need the whole keys compared.
  struct Slot {
    uint64_t probe;
    uint32_t offset;
    uint16_t length;
    uint16_t key_length;
  };
  std::vector<Slot> slots_;
  static constexpr size_t kInlinePrefix = 16;
  char prefix_bytes_[kInlinePrefix] = {};
  // Pages with up to this many records are searched by counting instead of halving.
  static constexpr size_t kCountedSlots = 48;

 public:
  uint8_t level = 0;
  std::vector<uint32_t> children; // level > 0: one child address per record
  uint32_t address = 0;

  // For descents: the cached page object last found for each child. Not owning, and valid
  // only while the cache's departure count is still `child_pages_at` (no page has left the
  // cache since, so each object found then is alive and still the cache's page for its
  // address) and the object's address is still the child address. `slot_address` is where the
  // child's slots were then, kept as a number: it is only ever prefetched, so that the object
  // and its slots are asked for together (a stale value costs nothing but the wasted fetch).
  struct ChildPage {
    Page* page = nullptr;
    uintptr_t slot_address = 0;
  };
  std::vector<ChildPage> child_pages;
  uint64_t child_pages_at = 0;
  // Where the slots lie now (a hint for prefetching; see ChildPage).
  uintptr_t slot_address() const { return reinterpret_cast<uintptr_t>(slots_.data()); }

  // Figures read from disk (kept for checks and statistics; recomputed when writing).
  uint16_t stored_size = 0;
  uint16_t unpacked_size = 0;
  uint16_t capacity = 0;

  // During a commit: the page's bytes as encoded when its class was chosen, kept up to date
  // when the page moves or a child is re-pointed, so that they are encoded only once.
  std::string encoded;
  bool encoded_valid = false;

  // The records, ascending by key.
  size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  std::string_view bytes(size_t i) const { return {data_.data() + slots_[i].offset, slots_[i].length}; }
  uint16_t key_length(size_t i) const { return slots_[i].key_length; }
  std::string_view key(size_t i) const { return {data_.data() + slots_[i].offset, slots_[i].key_length}; }
  RecordView record(size_t i) const { return {bytes(i), slots_[i].key_length}; }
  // Copies record i into `out`, reusing its buffer.
  void CopyTo(size_t i, Record& out) const {
    out.bytes.assign(bytes(i));
    out.key_length = slots_[i].key_length;
  }
  // Asks the processor for the bytes of record i ahead of their use.
  void Prefetch(size_t i) const {
    const char* p = data_.data() + slots_[i].offset;
    for (size_t at = 0; at < slots_[i].length; at += 64) __builtin_prefetch(p + at);
    __builtin_prefetch(p + slots_[i].length - 1);
  }
  // The sum of the records' lengths.
  size_t record_bytes() const { return record_bytes_; }

  // The caller keeps the order: the record must sort between its neighbours. `record` may be a
  // view into this very page.
  void Insert(size_t at, RecordView record);
  void Append(RecordView record) { Insert(size(), record); }
  void Replace(size_t i, RecordView record);
  void Erase(size_t i);
  // Moves the records from `from` to the end onto the end of `to` (whose keys sort below them).
  void MoveTail(size_t from, Page& to);

  // Index of the last record whose key is <= key, or -1 when every key is greater.
  int FindFloor(std::string_view key) const;

  // Checks the page's own rules (see invariant.h): keys strictly ascending, the shared prefix
  // and every probe exact, the slots inside the buffer and the byte count right. A no-op in
  // builds without invariant checks.
  void CheckInvariants() const;

 private:
  friend Status DecodePage(std::string_view raw, uint32_t address, Page& out, std::string& scratch);
  Status Decode(std::string_view raw, uint32_t address, std::string& scratch);

  uint64_t ProbeOf(std::string_view key) const;
  // Records `record` (already stored at `offset`) in slot i, keeping `prefix_` a prefix of
  // every key.
  void SetSlot(size_t i, uint32_t offset, RecordView record);
  uint32_t Store(std::string_view bytes);  // appends the bytes to the buffer; returns where
  void Compact();                           // drops the unused bytes of the buffer
  void ResetSearch();                       // the longest shared prefix, and every probe

  void SetPrefix(size_t length);            // from the first key

  std::string data_;
  size_t record_bytes_ = 0;
};

// All records of a page, copied (for checks and tests).
std::vector<Record> RecordsOf(const Page& page);

// 13 + sum(record length + 5), + 4 per record of an index page.
uint32_t CapacityFigure(const Page& page);

// Whether the split rule fires for this page.
bool NeedsSplit(const Page& page);

// The record bytes of a page with prefix sharing (uncompressed).
std::string SerializeRecords(const Page& page);

// The page's bytes, padded with filler to whole 256-byte units (compressed when that makes it
// smaller after rounding). Fails with check 3 for a record that is too long and check 4 for a
// page above 0x3B00 bytes.
Status EncodePage(const Page& page, std::string& out);

// Parses `raw` (exactly the page's class size) read at `address` into `out`, which may be a
// page used before (its buffers are reused). Every count, length and size is checked against
// the buffer before use. `scratch` holds the expanded record bytes of a compressed page; a
// caller that decodes many pages passes the same one each time.
Status DecodePage(std::string_view raw, uint32_t address, Page& out, std::string& scratch);
Status DecodePage(std::string_view raw, uint32_t address, Page& out);

}  // namespace cinevo::isam
