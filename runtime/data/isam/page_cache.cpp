#include "runtime/data/isam/page_cache.h"

#include <algorithm>

namespace cinevo::isam {

PageCache::PageCache(size_t limit, size_t low) : limit_(std::max<size_t>(limit, 1)), low_(std::min(low, limit_)) {}

PageCache::Iter* PageCache::Lookup(uint32_t address) {
  for (Iter& it : chains_[address % 100]) {
    if (it->address == address) return &it;
  }
  return nullptr;
}

void PageCache::Unchain(Iter it) {
  auto& chain = chains_[it->address % 100];
  chain.erase(std::find(chain.begin(), chain.end(), it));
}

std::shared_ptr<Page> PageCache::Find(uint32_t address) {
  Iter* found = Lookup(address);
  if (!found) return nullptr;
  Iter it = *found;
  it->last_use = ++tick_;
  lru_.splice(lru_.begin(), lru_, it);
  return it->page;
}

void PageCache::EvictBeforeLoad() {
  // Walk from the least recently used end to the first page that may go.
  while (lru_.size() >= low_) {
    Iter victim = lru_.end();
    for (auto it = std::prev(lru_.end());; --it) {
      if (!it->dirty && it->page.use_count() == 1) {
        victim = it;
        break;
      }
      if (it == lru_.begin()) break;
    }
    if (victim == lru_.end()) return;
    bool full = lru_.size() >= limit_;
    bool stale = tick_ - victim->last_use > 2 * limit_;
    if (!full && !stale) return;
    Unchain(victim);
    lru_.erase(victim);
    ++evictions_;
  }
}

void PageCache::Insert(std::shared_ptr<Page> page, bool dirty) {
  uint32_t address = page->address;
  Erase(address);
  EvictBeforeLoad();
  ++loads_;
  lru_.push_front(Entry{std::move(page), address, dirty, ++tick_});
  chains_[address % 100].push_back(lru_.begin());
}

void PageCache::MarkDirty(const std::shared_ptr<Page>& page) {
  Iter* found = Lookup(page->address);
  if (found && (*found)->page == page) {
    (*found)->dirty = true;
    return;
  }
  Insert(page, true);
}

void PageCache::Rekey(uint32_t from, uint32_t to) {
  Iter* found = Lookup(from);
  if (!found) return;
  Iter it = *found;
  Unchain(it);
  Erase(to);
  it->address = to;
  chains_[to % 100].push_back(it);
}

void PageCache::Erase(uint32_t address) {
  Iter* found = Lookup(address);
  if (!found) return;
  Iter it = *found;
  Unchain(it);
  lru_.erase(it);
}

void PageCache::DropDirty() {
  for (auto it = lru_.begin(); it != lru_.end();) {
    auto next = std::next(it);
    if (it->dirty) {
      Unchain(it);
      lru_.erase(it);
    }
    it = next;
  }
}

void PageCache::MarkAllClean() {
  for (Entry& e : lru_) e.dirty = false;
}

void PageCache::Clear() {
  lru_.clear();
  for (auto& c : chains_) c.clear();
}

std::vector<std::shared_ptr<Page>> PageCache::DirtyPages() const {
  std::vector<std::shared_ptr<Page>> out;
  for (const Entry& e : lru_) {
    if (e.dirty) out.push_back(e.page);
  }
  return out;
}

}  // namespace cinevo::isam
