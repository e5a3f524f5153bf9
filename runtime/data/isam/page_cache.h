// The page cache: pages by address in a hash table, clean pages on a least-recently-used
// list, changed ("dirty") pages on a list of their own in the order they first changed.
//
// Eviction happens only when another page is about to be loaded, and only takes pages that are
// clean and not held by anyone but the cache: with `limit` or more clean pages cached the least
// recently used clean page goes; from `low` clean pages upward it also goes when it has not been
// used during the last 2 x `limit` page accesses (long enough for a full cache to have turned
// over twice), so that a cache whose working set shrank gives its memory back (leaves only,
// when index pages are kept apart: see below). Dirty pages stay
// until the update that changed them is committed or dropped, and do not count against the
// limit: a long update (a STREAM, a transaction) that has changed many pages still keeps the
// pages it only reads, such as the upper levels of the tree.
//
// Index pages (level above 0) may be kept apart: with an `index_limit` they have a clean list
// and a limit of their own, and leaves never push them out. A lookup by key descends through
// the index pages every time while it reaches each leaf once in a while, so a cache that lets
// both compete loses the upper levels of a large tree to a stream of leaves, and every descent
// then reads them again. Kept apart, index pages do not age either: below the level of the
// root each is reached only once in many lookups (a page above the leaves of the record tree
// leads to a dozen leaves), so by the clock of all accesses most of them would look stale
// though every lookup needs one of them; only their limit bounds them. There are far fewer
// index pages than leaves, so keeping them costs little memory beside what reading them again
// would cost in time. Without an index limit (0) every clean page is on the one list under
// `limit`, and ages like any other.
//
// Invariants: every entry is in exactly one of the lists and in the hash table under its
// address; an entry is on the dirty list exactly when its `dirty` flag is set. A use does not
// move a clean page; it only stamps the page's `last_use`. The clean list is ordered by
// `placed` (the time a page took its place at the front), and the eviction walk moves a page
// that was used since it was placed back to the front before looking further. The page it
// finds unused since its placement has the oldest `last_use` of all: the order is exact LRU,
// while a hit costs no list surgery. Apart from that walk every operation is O(1).
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/data/isam/page_ref.h"

namespace cinevo::isam {

inline constexpr size_t kDefaultCacheLimit = 100;  // clean pages kept per open file

inline constexpr size_t kDefaultCacheLow = 20;

// Clean index pages kept per open file. The record tree of a file of 1,000,000 records of
// 150 bytes has about 6,600 index pages (each of its index records is a whole record, so a page
// leads to a dozen pages below it), its key of 30 bytes a few hundred more; decoded, one takes
// about two kilobytes.
inline constexpr size_t kDefaultIndexCacheLimit = 8192;

class PageCache {
 public:
  PageCache(size_t limit = kDefaultCacheLimit, size_t low = kDefaultCacheLow, size_t index_limit = 0);

  // The cached page at `address` (marked as just used), or null.
  PageRef Find(uint32_t address);
  // Marks a cached page as just used, for a caller that reached it without Find.
  void Stamp(Page& page) { page.last_use = ++tick_; }
  // Adds a page (evicting first as described above); replaces any entry at its address.
  void Insert(PageRef page, bool dirty);
  void MarkDirty(const PageRef& page);  // inserts when absent
  void Rekey(uint32_t from, uint32_t to);             // the page now lives at `to`
  void Erase(uint32_t address);
  void DropDirty();   // forgets every dirty page (an aborted update)
  void MarkAllClean();
  void Clear();
  // A page object evicted when nobody else held it, for the next load to decode into (its
  // buffers keep their capacity); null when there is none.
  PageRef TakeSpare() {
    if (spares_.empty()) return nullptr;
    PageRef page = std::move(spares_.back());
    spares_.pop_back();
    return page;
  }

  // The dirty pages in the order they first changed.
  std::vector<PageRef> DirtyPages() const;
  bool has_dirty() const { return !dirty_.empty(); }
  size_t dirty_count() const { return dirty_.size(); }
  size_t size() const { return count_; }
  size_t limit() const { return limit_; }
  size_t index_limit() const { return index_limit_; }
  size_t clean_index_count() const { return clean_index_.size(); }
  uint64_t loads() const { return loads_; }
  uint64_t evictions() const { return evictions_; }
  // Counts the pages that left the cache (evicted, erased, re-keyed, dropped or cleared), from
  // 1. While it stays the same, a page object found in the cache is still the cache's page for
  // its address.
  uint64_t departures() const { return departures_; }

  // Checks the invariants above and those of the hash table (see invariant.h); a no-op in
  // builds without invariant checks.
  void CheckInvariants() const;

 private:
  // The LRU lists hold addresses; the pages themselves live in the hash table, so that a hit
  // touches its address and its slot and nothing else of the cache. The time of a page's last
  // use is kept in the page, so that a caller holding it can mark a use without a lookup.
  struct Entry {
    uint32_t address;
    bool dirty;
    bool index;  // kept on the index list when clean
    uint64_t placed;
    Page* page;  // the page cached under the address, so that the eviction walk needs no lookup
  };
  using List = std::list<Entry>;
  using Iter = List::iterator;
  // Open addressing with linear probing over a power-of-two table at most half full;
  // removal shifts the following slots back, so there are no tombstones. The addresses live in
  // an array of their own (kFree marks an empty place), so that a probe walks 4-byte entries
  // that mostly stay in the processor's cache; the slot beside is read only on a hit. No page
  // has the address kFree: it is the tree's "no root" mark.
  static constexpr uint32_t kFree = 0xFFFFFFFF;
  struct Slot {
    PageRef page;
    Iter entry;
  };

  size_t Home(uint32_t address) const;
  const Slot* Lookup(uint32_t address) const;
  Slot* Lookup(uint32_t address) { return const_cast<Slot*>(std::as_const(*this).Lookup(address)); }
  Slot& Add(uint32_t address);  // the address must not be present
  void Drop(Slot* slot);
  // List nodes of removed entries are kept (up to twice the limit) for the next insertion, so
  // that a cache turning over at every load allocates nothing.
  Iter Place(List& list, Iter before, const Entry& entry);
  void Retire(Iter it);
  void Remove(Iter it);  // the entry and its slot
  void Evict(Iter it);   // the same for a page given up to make room; it may become the spare
  bool KeptAsIndex(const Page& page) const { return index_limit_ != 0 && page.level > 0; }
  List& CleanList(bool index) { return index ? clean_index_ : clean_; }
  void EvictBeforeLoad(bool index);
  void TrimToLimit(List& list, size_t limit);

  size_t limit_;
  size_t low_;
  size_t index_limit_;
  uint64_t tick_ = 0;
  uint64_t loads_ = 0;
  uint64_t evictions_ = 0;
  uint64_t departures_ = 1;
  List clean_;  // by `placed`, front = most recent
  List clean_index_;  // the same for index pages, when they are kept apart
  List dirty_;  // in order of first change
  List free_;   // nodes of removed entries, for reuse
  std::vector<uint32_t> keys_;
  std::vector<Slot> slots_;
  size_t count_ = 0;
  // Up to kSpares evicted page objects that nobody else held. One load can evict several
  // pages (the unused ones go too) and the next loads evict none, so a single spare would leave
  // those loads to allocate.
  static constexpr size_t kSpares = 8;
  std::vector<PageRef> spares_;
  unsigned bits_ = 0;
};

}  // namespace cinevo::isam
