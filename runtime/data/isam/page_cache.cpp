#include "runtime/data/isam/page_cache.h"

#include <algorithm>

namespace cinevo::isam {

PageCache::PageCache(size_t limit, size_t low) : limit_(std::max<size_t>(limit, 1)), low_(std::min(low, limit_)) {}

PageCache::Iter* PageCache::Lookup(uint32_t address) {
  auto found = index_.find(address);
  return found == index_.end() ? nullptr : &found->second;
}

void PageCache::Remove(Iter it) {
  index_.erase(it->address);
  (it->dirty ? dirty_ : clean_).erase(it);
}

std::shared_ptr<Page> PageCache::Find(uint32_t address) {
  Iter* found = Lookup(address);
  if (!found) return nullptr;
  Iter it = *found;
  it->last_use = ++tick_;
  return it->page;
}

void PageCache::EvictBeforeLoad() {
  while (index_.size() >= low_ && !clean_.empty()) {
    // From the back: pages used since they were placed go to the front; the first one that
    // was not and that nobody else holds is the least recently used.
    Iter victim = clean_.end();
    for (auto it = clean_.end(); it != clean_.begin();) {
      --it;
      if (it->last_use > it->placed) {
        Iter used = it++;
        used->placed = used->last_use;
        clean_.splice(clean_.begin(), clean_, used);
        continue;
      }
      if (it->page.use_count() == 1) {
        victim = it;
        break;
      }
    }
    if (victim == clean_.end()) return;
    bool full = index_.size() >= limit_;
    bool stale = tick_ - victim->last_use > 2 * limit_;
    if (!full && !stale) return;
    Remove(victim);
    ++evictions_;
  }
}

// After a commit turned many dirty pages clean: give back what exceeds the limit at once.
void PageCache::TrimToLimit() {
  auto it = clean_.end();
  while (index_.size() > limit_ && it != clean_.begin()) {
    --it;
    if (it->page.use_count() != 1) continue;
    Iter victim = it++;
    Remove(victim);
    ++evictions_;
  }
}

void PageCache::Insert(std::shared_ptr<Page> page, bool dirty) {
  uint32_t address = page->address;
  Erase(address);
  EvictBeforeLoad();
  ++loads_;
  ++tick_;
  Iter it = dirty ? dirty_.insert(dirty_.end(), Entry{std::move(page), address, true, tick_, tick_})
                  : clean_.insert(clean_.begin(), Entry{std::move(page), address, false, tick_, tick_});
  index_[address] = it;
}

void PageCache::MarkDirty(const std::shared_ptr<Page>& page) {
  Iter* found = Lookup(page->address);
  if (found && (*found)->page == page) {
    Iter it = *found;
    if (!it->dirty) {
      it->dirty = true;
      dirty_.splice(dirty_.end(), clean_, it);
    }
    return;
  }
  Insert(page, true);
}

void PageCache::Rekey(uint32_t from, uint32_t to) {
  auto found = index_.find(from);
  if (found == index_.end()) return;
  Iter it = found->second;
  index_.erase(found);
  Erase(to);
  it->address = to;
  index_[to] = it;
}

void PageCache::Erase(uint32_t address) {
  if (Iter* found = Lookup(address)) Remove(*found);
}

void PageCache::DropDirty() {
  for (const Entry& e : dirty_) index_.erase(e.address);
  dirty_.clear();
}

void PageCache::MarkAllClean() {
  for (Entry& e : dirty_) {
    e.dirty = false;
    e.placed = e.last_use;
  }
  clean_.splice(clean_.begin(), dirty_);
  TrimToLimit();
}

void PageCache::Clear() {
  index_.clear();
  clean_.clear();
  dirty_.clear();
}

std::vector<std::shared_ptr<Page>> PageCache::DirtyPages() const {
  std::vector<std::shared_ptr<Page>> out;
  out.reserve(dirty_.size());
  for (const Entry& e : dirty_) out.push_back(e.page);
  return out;
}

}  // namespace cinevo::isam
