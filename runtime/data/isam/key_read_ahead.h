// Read-ahead of data records for a scan in key order.
//
// A scan in key order meets the data records in no order of their own: each record costs a
// descent to a leaf that is seldom still cached, so once the file outgrows the page cache a
// long scan loads about one page per uncached level of the tree for every record. Such a scan
// instead collects the record numbers of the entries ahead of it, reads their records in
// record-number order, where consecutive reads share their pages, and keeps them here until the
// scan reaches them.
//
// A batch is as long as the scan has been so far (from kStartAfter steps on), and it holds at
// most kMaxBytes of records, so a short scan such as one page of a browse reads nothing ahead,
// and never more is read ahead than the scan has already used. A scan whose pages all stay
// cached (it makes the cache load fewer than one page in four steps) is left to read its
// records one by one, which then costs less.
//
// The records kept belong to the store version they were read at (PageStore::version): any
// change to the file's pages (an update by this or another open, another program's commit seen
// at the next operation, a rollback) moves the version, and from then on nothing kept is used.
// A scan whose batch is spoilt that way (one that changes records as it goes, or one that runs
// beside another program's updates) reads no further ahead, so at most one batch is read in
// vain.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

class KeyReadAhead {
 public:
  static constexpr uint64_t kStartAfter = 64;
  static constexpr size_t kMaxBytes = size_t{2} << 20;

  // A new scan (or one that turned back or ended): nothing kept, no steps counted, memory given
  // back.
  void Reset();

  // Counts a forward step of the scan; `loads` is the page cache's count of pages loaded so far
  // and `record_bytes` the table's record length. Returns how many entries to read ahead from
  // this step on, should it find nothing kept (0: none).
  size_t CountStep(uint64_t loads, size_t record_bytes);

  // The kept record of the scan's next entry, when that entry's record number is `recno` and
  // the version is still `version`; `exists` is false for an entry whose record is missing.
  // Otherwise false, and if records were still kept, they are dropped and reading ahead stops.
  bool Next(uint64_t version, uint32_t recno, std::string_view& stored, bool& exists);

  // Reads the records of `recnos` (the record numbers of the next entries, in the scan's order)
  // in ascending record order through `read`, which appends a record's stored bytes to `out`,
  // and keeps them for `version`. On a failure nothing is kept and the failure is returned; the
  // scan then reads its records one by one and meets the failure in its place.
  using Reader = std::function<Status(uint32_t recno, std::string& out, bool& exists)>;
  Status Fill(uint64_t version, const std::vector<uint32_t>& recnos, const Reader& read);

  size_t kept() const { return entries_.size() - next_; }

 private:
  struct Entry {
    uint32_t recno;
    uint32_t offset;  // in records_
    uint32_t length;
    bool exists;
  };
  void Drop();

  std::vector<Entry> entries_;  // in the scan's order
  size_t next_ = 0;             // the entry the scan reaches next
  std::string records_;
  std::vector<uint64_t> order_;  // record number << 32 | position in entries_, sorted
  uint64_t version_ = 0;
  uint64_t steps_ = 0;
  bool stopped_ = false;  // a batch was spoilt: no more reading ahead in this scan
  // The window over which the scan's page loads are measured: its first step and the cache's
  // load count then.
  uint64_t window_step_ = 0;
  uint64_t window_loads_ = 0;
};

}  // namespace cinevo::isam
