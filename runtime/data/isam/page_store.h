// The page store: one data file's header, its size classes and its cached pages.
//
// An update works in two phases. While the B-tree changes records, pages are changed in
// memory only: new pages get temporary addresses (0xF0000000 upward) and emptied pages are
// marked for release. Commit then gives every changed page an address in the class that its
// encoded size needs (allocating, shifting boundary pages of other classes, releasing old
// addresses), and writes the pages and the header. Moving a page re-points its parent (found by
// searching the tree for the page's first record) or the header's root. Abort forgets every
// change of the update.
//
// Writing protocol: when the file grows, the old header is first rewritten with the new length
// in its "written" field; then the pages, then the header with both lengths equal. A header
// whose two lengths differ therefore marks an interrupted update; Refresh walks the pages
// between the two lengths and discards them (truncating back when writing is allowed).
// Atomicity comes from the journal: the original bytes of every region a commit writes are
// saved and flushed first, and a journal left behind is replayed before the file is opened.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/file_header.h"
#include "runtime/data/isam/file_io.h"
#include "runtime/data/isam/journal.h"
#include "runtime/data/isam/isam_status.h"
#include "runtime/data/isam/page_cache.h"
#include "runtime/data/isam/page_cipher.h"
#include "runtime/data/isam/page_codec.h"
#include "platform/mapped_file.h"

namespace cinevo::isam {

struct PageStoreOptions {
  bool read_only = false;
  bool sync = true;          // flush to the device at every commit
  size_t cache_limit = kDefaultCacheLimit;
  size_t cache_low = kDefaultCacheLow;
  size_t index_cache_limit = kDefaultIndexCacheLimit;  // 0: index pages count under cache_limit
  std::string owner;         // non-empty: the file is enciphered with a key from this text
  bool journal = true;       // every commit is made atomic through a rollback journal (journal.h)
  bool map_reads = true;     // pages are read through a mapping of the file (an enciphered file's never)
};

inline constexpr uint32_t kTempAddressBase = 0xF0000000;

// Counts of the page-space work done since the store was opened.
struct PageSpaceStats {
  uint64_t grown_down = 0;   // allocations where a class grew into the gap below it
  uint64_t grown_up = 0;     // allocations where a class grew upward
  uint64_t moved_pages = 0;  // boundary pages moved to shift a class or fill a hole
  uint64_t released = 0;     // page addresses given back
};

class PageStore {
 public:
  ~PageStore();
  PageStore(const PageStore&) = delete;
  PageStore& operator=(const PageStore&) = delete;

  // Opens an existing file (2 when missing). A file of 0 bytes is a new, empty file.
  static Status Open(const std::string& path, const PageStoreOptions& options, std::unique_ptr<PageStore>& out);
  // Creates (or empties) a file and writes its first header: change counter 1, root -1.
  static Status Create(const std::string& path, const PageStoreOptions& options, std::unique_ptr<PageStore>& out);

  // Re-reads the header before an operation; drops cached pages when the change counter moved.
  Status Refresh();

  const FileHeader& header() const { return header_; }
  void set_root(uint32_t root) {
    header_.root = root;
    header_changed_ = true;
    ++epoch_;
  }
  // Issues the next number from the shared table/record counter (check 5 at 0xFE000000).
  Status IssueNumber(uint32_t& number);
  // Sets the counter outright (committed with the next update). A transaction control file, whose
  // records have no table, keeps the last transaction number it gave there.
  void SetNumberCounter(uint32_t value) {
    header_.number_counter = value;
    header_changed_ = true;
  }

  Status Load(uint32_t address, PageRef& out);
  // Marks a cached page the caller already holds as just used (what Load does on a hit).
  void MarkUsed(Page& page) { cache_.Stamp(page); }
  // The child at `index` of a page of the tree, through the page's remembered child pages when
  // they are still valid (see Page::child_pages), else loaded and remembered there.
  Status LoadChild(Page& parent, size_t index, PageRef& out);
  PageRef NewPage(uint8_t level);
  void Touch(const PageRef& page);     // the page changed in this update
  void Release(const PageRef& page);   // the page is unlinked and empty

  Status Commit();
  // Commit in two steps, for a store whose commit waits for other files: Prepare gives the
  // changed pages their places and writes and flushes the journal of what they overwrite,
  // leaving the file itself untouched; the next Commit writes them. Abort after a Prepare puts
  // the journal out of use again. Without a journal Prepare only places the pages.
  Status Prepare();
  void Abort();
  // Whether the cache holds changes not yet committed.
  bool has_changes() const { return header_changed_ || !released_.empty() || cache_.has_dirty(); }

  // The journal of this store's commits (null for read-only stores or with journal off).
  Journal* journal() { return journal_.get(); }
  // Puts the file back as it was before the last journalled commit (a held phase one) and
  // re-reads its header; cached pages are dropped.
  Status UndoJournalled();
  // All writes, flushes and truncations go through `io` from now on (tests inject faults).
  void set_io(FileIo* io);
  FileIo& io() const { return *io_; }

  // Moves whenever the shape of the tree may have changed (a page made, released, moved or
  // re-pointed, the root replaced) or cached pages were dropped. A path through the tree taken
  // at one epoch still leads to the same pages at the same epoch; changes to the records of a
  // page alone do not move it.
  uint64_t epoch() const { return epoch_; }
  // Moves with the epoch and with every change to a page's records: records read at one
  // version are still the file's records while the version stays.
  uint64_t version() const { return epoch_ + touches_; }

  static bool IsTemp(uint32_t address) { return address >= kTempAddressBase; }
  const std::string& path() const { return path_; }
  bool read_only() const { return options_.read_only; }
  const PageCache& cache() const { return cache_; }
  const PageSpaceStats& space_stats() const { return stats_; }
  // Page addresses found between the two header lengths at the last Refresh.
  const std::vector<uint32_t>& recovered_pages() const { return recovered_; }
  uint64_t file_size() const;

  // Raw I/O in multiples of 64 bytes (deciphered when the file is enciphered).
  Status ReadAt(uint64_t offset, size_t size, std::string& out, size_t* got = nullptr) const;
  // The first `size` bytes of the file (a multiple of 64) as the file holds them now: what
  // ReadAt(0, size) gives, copied from the mapping of the file when it has one.
  Status ReadFileStart(size_t size, std::string& out, size_t& got);
  Status WriteAt(uint64_t offset, std::string_view data);

 private:
  PageStore(std::string path, int fd, const PageStoreOptions& options);

  Status ReadHeader(bool& empty);
  void ClearCache();
  Status FindParent(const Page& child, uint32_t child_address, PageRef& parent, size_t& index);
  Status Relink(const Page& page, uint32_t from, uint32_t to);
  Status Move(uint32_t from, uint32_t to);
  Status GapBelow(FileHeader& h, uint32_t k, uint32_t need, bool apply, int depth);
  Status GapAbove(FileHeader& h, uint32_t k, uint32_t need, bool apply, int depth);
  bool PlaceAtDataEnd(uint32_t units, uint32_t& address);
  Status Allocate(uint32_t units, uint32_t& address);
  Status FreeAddress(uint32_t address);
  Status Fit(const PageRef& page);
  // Gives up the encoded bytes kept for writing `pages`, and the list.
  static void ForgetEncoded(std::vector<PageRef>& pages);
  // After a failed step of a commit: the journal undoes what reached the file, then Abort.
  void UndoAndAbort(Status& st);
  // The phases of Commit, in order.
  Status ReleaseFreedPages();
  Status PlacePages();
  Status JournalUpdate(const std::vector<PageRef>& dirty, uint32_t length, uint64_t size);
  Status WriteUpdate(std::vector<PageRef>& dirty, uint32_t length, uint64_t size);
  Status WritePages(std::vector<PageRef>& pages);
  Status WriteRun(uint64_t offset, std::vector<struct iovec>& pieces);
  Status Sync();

  std::string path_;
  int fd_;
  PageStoreOptions options_;
  std::unique_ptr<PageCipher> cipher_;
  FileHeader header_;
  FileHeader disk_header_;
  bool header_changed_ = false;
  bool new_file_ = false;
  // Between a Prepare and its Commit: the pages journalled, and the length and size then.
  bool prepared_ = false;
  std::vector<PageRef> prepared_pages_;
  uint32_t prepared_length_ = 0;
  uint64_t prepared_size_ = 0;
  uint32_t next_temp_ = kTempAddressBase;
  uint64_t epoch_ = 1;
  uint64_t touches_ = 0;
  std::vector<uint32_t> released_;
  std::vector<uint32_t> recovered_;
  // During a commit: the parent of each page made in the update, at its temporary address
  // less parents_base_ (the lowest one of the update; they are issued in sequence). A link
  // without a page: none noted.
  struct ChildLink {
    PageRef page;
    size_t index = 0;
  };
  std::vector<ChildLink> new_page_parents_;
  uint32_t parents_base_ = kTempAddressBase;
  std::string cipher_scratch_;  // enciphered bytes on their way out (kept between writes)
  PageCache cache_;
  std::string read_buffer_;    // a page's bytes as read, reused by every load
  std::string unpack_buffer_;  // its expanded record bytes when it is compressed
  // Pages read in a run. When a page that is not cached starts at most kSequentialGap bytes
  // after the end of the page read before it, the next kReadWindow bytes are read at once, and
  // the loads that follow take their pages from them. The window holds the file's bytes under
  // the same trust as the cached pages: it goes with the cache, and with every write or
  // truncation through this store.
  static constexpr size_t kReadWindow = 32 * 1024;
  // Pages of a file that is not enciphered are copied from a shared mapping of it instead (see
  // platform/mapped_file.h): the copy costs no system call, and the mapping shows every write to
  // the file at once, whoever made it. It covers the file as long as it was when mapped, and is
  // made again, as long as the file is then, for a page beyond it; this store drops it before it
  // cuts the file short. A copy that fails because another program cut the file short under it
  // is an I/O error, as a read that fails would be.
  platform::MappedFile map_;
  bool map_refused_ = false;  // the system would not map the file: read it as before from then on
  bool MappedRead(uint64_t offset, size_t size);
  static constexpr uint64_t kSequentialGap = 4096;
  Status ReadPage(uint64_t offset, size_t size, std::string_view& out, size_t& got);
  void DropReadWindow() { window_length_ = 0; }
  std::string window_;
  uint64_t window_start_ = 0;
  size_t window_length_ = 0;
  uint64_t last_read_end_ = 0;
  PageSpaceStats stats_;
  FileIo* io_ = &SystemFileIo();
  std::unique_ptr<Journal> journal_;
};

}  // namespace cinevo::isam
