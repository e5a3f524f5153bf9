// The page cache: pages by address in 100 hash chains (address modulo 100) with a
// least-recently-used list.
//
// Eviction happens only when another page is about to be loaded, and only takes pages that are
// clean and not held by anyone but the cache: with `limit` or more pages cached the least
// recently used one goes; from `low` pages upward it also goes when it has not been used
// during the last 2 x `limit` page accesses (long enough for a full cache to have turned over
// twice), so that a cache whose working set shrank gives its memory back.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "runtime/data/isam/page_codec.h"

namespace cinevo::isam {

inline constexpr size_t kDefaultCacheLimit = 100;
inline constexpr size_t kDefaultCacheLow = 20;

class PageCache {
 public:
  PageCache(size_t limit = kDefaultCacheLimit, size_t low = kDefaultCacheLow);

  // The cached page at `address` (marked as just used), or null.
  std::shared_ptr<Page> Find(uint32_t address);
  // Adds a page (evicting first as described above); replaces any entry at its address.
  void Insert(std::shared_ptr<Page> page, bool dirty);
  void MarkDirty(const std::shared_ptr<Page>& page);  // inserts when absent
  void Rekey(uint32_t from, uint32_t to);             // the page now lives at `to`
  void Erase(uint32_t address);
  void DropDirty();   // forgets every dirty page (an aborted update)
  void MarkAllClean();
  void Clear();

  std::vector<std::shared_ptr<Page>> DirtyPages() const;
  size_t size() const { return lru_.size(); }
  size_t limit() const { return limit_; }
  uint64_t loads() const { return loads_; }
  uint64_t evictions() const { return evictions_; }

 private:
  struct Entry {
    std::shared_ptr<Page> page;
    uint32_t address;
    bool dirty;
    uint64_t last_use;
  };
  using Iter = std::list<Entry>::iterator;  // front = most recently used

  Iter* Lookup(uint32_t address);
  void Unchain(Iter it);
  void EvictBeforeLoad();

  size_t limit_;
  size_t low_;
  uint64_t tick_ = 0;
  uint64_t loads_ = 0;
  uint64_t evictions_ = 0;
  std::list<Entry> lru_;
  std::array<std::vector<Iter>, 100> chains_;
};

}  // namespace cinevo::isam
