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
// In memory a page keeps its records as a sorted array, the flattened form of a perfectly
// balanced tree: the middle record is the root at which a split cuts the page.
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

// Unsigned bytewise over the shorter key; on a tie the shorter key sorts first.
int CompareKeys(std::string_view a, std::string_view b);

struct Page {
  uint32_t address = 0;
  uint8_t level = 0;
  std::vector<Record> records;    // ascending by key
  std::vector<uint32_t> children; // level > 0: one child address per record

  // Figures read from disk (kept for checks and statistics; recomputed when writing).
  uint16_t stored_size = 0;
  uint16_t unpacked_size = 0;
  uint16_t capacity = 0;

  // During a commit: the page's bytes as encoded when its class was chosen, kept up to date
  // when the page moves or a child is re-pointed, so that they are encoded only once.
  std::string encoded;
  bool encoded_valid = false;

  // Index of the last record whose key is <= key, or -1 when every key is greater.
  int FindFloor(std::string_view key) const;

  // Whoever changes a key of `records` in place (without changing their number) calls this
  // before the next search. Adding or removing records is noticed without it.
  void InvalidateSearch() const {
    search_.records = nullptr;
    search_.searches = 0;
  }

 private:
  // Search aid of a page that is searched repeatedly: the length of the prefix shared by every
  // key of the page (that of the first and the last key: the keys are sorted) and, per record,
  // the 8 key bytes after it, big-endian and zero-padded. A record whose probe is below the
  // searched key's probe sorts below the key, one whose probe is above sorts above it; only
  // equal probes need the whole keys compared. Valid while `records` and `count` still
  // describe the vector (it was neither reallocated nor resized) and nobody invalidated it.
  struct SearchAid {
    const Record* records = nullptr;
    size_t count = 0;
    size_t prefix = 0;
    unsigned searches = 0;  // plain searches since the aid was last invalidated
    std::vector<uint64_t> probes;
  };
  bool SearchAidReady() const {
    if (search_.records == records.data() && search_.count == records.size() && !records.empty()) return true;
    return MakeSearchAid();
  }
  bool MakeSearchAid() const;
  mutable SearchAid search_;
};

// 13 + sum(record length + 5), + 4 per record of an index page.
uint32_t CapacityFigure(const Page& page);

// Whether the split rule fires for this page.
bool NeedsSplit(const Page& page);

// The record bytes of a page with prefix sharing (uncompressed).
std::string SerializeRecords(const std::vector<Record>& records);

// The page's bytes, padded with filler to whole 256-byte units (compressed when that makes it
// smaller after rounding). Fails with check 3 for a record that is too long and check 4 for a
// page above 0x3B00 bytes.
Status EncodePage(const Page& page, std::string& out);

// Parses `raw` (exactly the page's class size) read at `address`. Every count, length and size
// is checked against the buffer before use.
Status DecodePage(std::string_view raw, uint32_t address, Page& out);

}  // namespace cinevo::isam
