#include "runtime/data/isam/page_cache.h"

#include <algorithm>

#include "runtime/core/invariant.h"

namespace cinevo::isam {

PageCache::PageCache(size_t limit, size_t low, size_t index_limit)
    : limit_(std::max<size_t>(limit, 1)), low_(std::min(low, limit_)), index_limit_(index_limit) {}

size_t PageCache::Home(uint32_t address) const {
  return static_cast<size_t>((uint64_t{address} * 0x9E3779B97F4A7C15ull) >> (64 - bits_));
}

const PageCache::Slot* PageCache::Lookup(uint32_t address) const {
  // kFree marks the empty places: asked for (a damaged file's child address), it would find one.
  if (count_ == 0 || address == kFree) return nullptr;
  size_t mask = keys_.size() - 1;
  for (size_t i = Home(address);; i = (i + 1) & mask) {
    if (keys_[i] == address) return &slots_[i];
    if (keys_[i] == kFree) return nullptr;
  }
}

PageCache::Slot& PageCache::Add(uint32_t address) {
  CINEVO_INVARIANT(Lookup(address) == nullptr, "an address is in the table at most once");
  if ((count_ + 1) * 2 > keys_.size()) {
    // Grow to keep the table at most half full, moving every slot to its new place.
    std::vector<uint32_t> old_keys = std::move(keys_);
    std::vector<Slot> old = std::move(slots_);
    bits_ = std::max(bits_ + 1, 6u);
    keys_.assign(size_t{1} << bits_, kFree);
    slots_.assign(size_t{1} << bits_, Slot{});
    size_t mask = keys_.size() - 1;
    for (size_t k = 0; k < old_keys.size(); ++k) {
      if (old_keys[k] == kFree) continue;
      size_t i = Home(old_keys[k]);
      while (keys_[i] != kFree) i = (i + 1) & mask;
      keys_[i] = old_keys[k];
      slots_[i] = std::move(old[k]);
    }
  }
  size_t mask = keys_.size() - 1;
  size_t i = Home(address);
  while (keys_[i] != kFree) i = (i + 1) & mask;
  keys_[i] = address;
  ++count_;
  return slots_[i];
}

void PageCache::Drop(Slot* slot) {
  size_t mask = keys_.size() - 1;
  size_t hole = static_cast<size_t>(slot - slots_.data());
  for (size_t j = (hole + 1) & mask; keys_[j] != kFree; j = (j + 1) & mask) {
    // A slot may move back into the hole unless its home lies cyclically in (hole, j].
    size_t home = Home(keys_[j]);
    bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (stays) continue;
    keys_[hole] = keys_[j];
    slots_[hole] = std::move(slots_[j]);
    hole = j;
  }
  keys_[hole] = kFree;
  slots_[hole] = Slot{};
  --count_;
  ++departures_;
}

PageCache::Iter PageCache::Place(List& list, Iter before, const Entry& entry) {
  if (free_.empty()) return list.insert(before, entry);
  Iter it = free_.begin();
  *it = entry;
  list.splice(before, free_, it);
  return it;
}

void PageCache::Retire(Iter it) {
  List& list = it->dirty ? dirty_ : CleanList(it->index);
  if (free_.size() >= 2 * limit_) {
    list.erase(it);
    return;
  }
  free_.splice(free_.begin(), list, it);
}

void PageCache::Evict(Iter it) {
  Slot* s = Lookup(it->address);
  if (s && spares_.size() < kSpares && s->page.use_count() == 1) spares_.push_back(std::move(s->page));
  Remove(it);
  ++evictions_;
}

void PageCache::Remove(Iter it) {
  Slot* s = Lookup(it->address);
  Retire(it);
  if (s) Drop(s);
}

PageRef PageCache::Find(uint32_t address) {
  Slot* s = Lookup(address);
  if (!s) return nullptr;
  s->page->last_use = ++tick_;
  return s->page;
}

void PageCache::EvictBeforeLoad(bool index) {
  List& clean = CleanList(index);
  const size_t limit = index ? index_limit_ : limit_;
  while (clean.size() >= low_ && !clean.empty()) {
    // From the back: pages used since they were placed go to the front; the first one that
    // was not and that nobody else holds is the least recently used.
    Iter victim = clean.end();
    uint64_t victim_use = 0;
    for (auto it = clean.end(); it != clean.begin();) {
      --it;
      const Page& page = *it->page;
      if (page.last_use > it->placed) {
        Iter used = it++;
        used->placed = page.last_use;
        clean.splice(clean.begin(), clean, used);
        continue;
      }
      if (PageRef::HoldersOf(page) == 1) {
        victim = it;
        victim_use = page.last_use;
        break;
      }
    }
    if (victim == clean.end()) return;
    bool full = clean.size() >= limit;
    // Index pages do not age: each is reached only once in so many lookups (one page of the
    // level above the leaves per dozen leaves), so by the clock of all accesses most of them look
    // stale although every lookup needs one; the index limit alone bounds them.
    bool stale = !index && tick_ - victim_use > 2 * limit;
    if (!full && !stale) return;
    Evict(victim);
  }
}

// After a commit turned many dirty pages clean: give back what exceeds the limit at once.
void PageCache::TrimToLimit(List& list, size_t limit) {
  auto it = list.end();
  while (list.size() > limit && it != list.begin()) {
    --it;
    if (PageRef::HoldersOf(*it->page) != 1) continue;
    Iter victim = it++;
    Evict(victim);
  }
}

void PageCache::Insert(PageRef page, bool dirty) {
  uint32_t address = page->address;
  Erase(address);
  const bool index = KeptAsIndex(*page);
  EvictBeforeLoad(index);
  ++loads_;
  ++tick_;
  Iter it = dirty ? Place(dirty_, dirty_.end(), Entry{address, true, index, tick_, page.get()})
                  : Place(CleanList(index), CleanList(index).begin(), Entry{address, false, index, tick_, page.get()});
  page->last_use = tick_;
  Slot& s = Add(address);
  s.page = std::move(page);
  s.entry = it;
}

void PageCache::MarkDirty(const PageRef& page) {
  Slot* s = Lookup(page->address);
  if (s && s->page == page) {
    Iter it = s->entry;
    if (!it->dirty) {
      it->dirty = true;
      dirty_.splice(dirty_.end(), CleanList(it->index), it);
    }
    return;
  }
  Insert(page, true);
}

void PageCache::Rekey(uint32_t from, uint32_t to) {
  Slot* s = Lookup(from);
  if (!s) return;
  PageRef page = std::move(s->page);
  Iter it = s->entry;
  Drop(s);
  Erase(to);
  it->address = to;
  Slot& moved = Add(to);
  moved.page = std::move(page);
  moved.entry = it;
}

void PageCache::Erase(uint32_t address) {
  Slot* s = Lookup(address);
  if (!s) return;
  Iter it = s->entry;
  Retire(it);
  Drop(s);
}

void PageCache::DropDirty() {
  for (const Entry& e : dirty_) {
    if (Slot* s = Lookup(e.address)) Drop(s);
  }
  dirty_.clear();
}

void PageCache::MarkAllClean() {
  // A page's level may have changed while it was dirty (a root that split or shrank).
  for (auto it = dirty_.begin(); it != dirty_.end();) {
    Iter page = it++;
    page->dirty = false;
    page->index = KeptAsIndex(*page->page);
    page->placed = page->page->last_use;
    List& clean = CleanList(page->index);
    clean.splice(clean.begin(), dirty_, page);
  }
  TrimToLimit(clean_, limit_);
  TrimToLimit(clean_index_, index_limit_);
}

void PageCache::Clear() {
  ++departures_;
  spares_.clear();
  keys_.clear();
  slots_.clear();
  bits_ = 0;
  count_ = 0;
  clean_.clear();
  clean_index_.clear();
  dirty_.clear();
  free_.clear();
}

std::vector<PageRef> PageCache::DirtyPages() const {
  std::vector<PageRef> out;
  out.reserve(dirty_.size());
  for (const Entry& e : dirty_) out.push_back(Lookup(e.address)->page);
  return out;
}

void PageCache::CheckInvariants() const {
  if constexpr (!kCheckInvariants) return;
  CINEVO_INVARIANT(count_ == clean_.size() + clean_index_.size() + dirty_.size(),
                   "every cached page is on exactly one list");
  CINEVO_INVARIANT(keys_.size() == slots_.size(), "one slot beside each key");
  CINEVO_INVARIANT(count_ == 0 || (keys_.size() == size_t{1} << bits_ && count_ * 2 <= keys_.size()),
                   "the table is a power of two at most half full");
  CINEVO_INVARIANT(free_.size() <= 2 * limit_ && spares_.size() <= kSpares, "kept nodes and spares are bounded");
  size_t used = 0;
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == kFree) {
      CINEVO_INVARIANT(!slots_[i].page, "an empty place holds no page");
      continue;
    }
    ++used;
    const Slot& s = slots_[i];
    CINEVO_INVARIANT(Lookup(keys_[i]) == &s, "a key is found by probing from its home");
    CINEVO_INVARIANT(s.page && s.page->address == keys_[i], "a slot holds the page of its key's address");
    CINEVO_INVARIANT(s.entry->address == keys_[i] && s.entry->page == s.page.get(),
                     "a slot's list entry names its address and page");
  }
  CINEVO_INVARIANT(used == count_, "the table holds exactly the listed pages");
  for (const List* list : {&clean_, &clean_index_, &dirty_}) {
    for (auto it = list->begin(); it != list->end(); ++it) {
      CINEVO_INVARIANT(it->dirty == (list == &dirty_), "a page is on the dirty list exactly when it is dirty");
      CINEVO_INVARIANT(it->dirty || it->index == (list == &clean_index_),
                       "a clean page is on the index list exactly when it is kept as an index page");
      CINEVO_INVARIANT(!it->index || index_limit_ != 0, "index pages are kept apart only with an index limit");
      const Slot* s = Lookup(it->address);
      CINEVO_INVARIANT(s != nullptr && s->entry == it, "every listed page is in the table under its address");
    }
  }
  for (const PageRef& spare : spares_) CINEVO_INVARIANT(spare.use_count() == 1, "nobody else holds a spare page");
}

}  // namespace cinevo::isam
