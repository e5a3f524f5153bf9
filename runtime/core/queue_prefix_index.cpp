#include "runtime/core/queue_prefix_index.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace cinevo {

namespace {

// The search shared by LowerBound and UpperBound. Invariant: the answer lies in
// [base - a, base - a + n]; each step halves n without a branch on the data. While the range is
// wider than two cache lines, the two elements the next step may read are fetched ahead.
template <bool kUpper>
uint32_t Search(const uint64_t* a, uint64_t p, uint32_t from, uint32_t to,
                void* const* companion) {
  if (from >= to) return from;
  const uint64_t* base = a + from;
  uint32_t n = to - from;
  auto before = [p](uint64_t v) { return kUpper ? v <= p : v < p; };
  while (n > 16) {
    uint32_t half = n / 2;
    uint32_t next = (n - half) / 2;
    __builtin_prefetch(base + next);
    __builtin_prefetch(base + half + next);
    base = before(base[half]) ? base + half : base;
    n -= half;
  }
  if (companion) {
    // The answer is among these n + 1 places: at most three cache lines of the companion.
    void* const* c = companion + (base - a);
    __builtin_prefetch(c);
    __builtin_prefetch(c + n / 2);
    __builtin_prefetch(c + n);
  }
  while (n > 1) {
    uint32_t half = n / 2;
    base = before(base[half]) ? base + half : base;
    n -= half;
  }
  return static_cast<uint32_t>(base - a) + (before(*base) ? 1 : 0);
}

}  // namespace

void QueuePrefixIndex::Free::operator()(uint64_t* p) const { std::free(p); }

bool QueuePrefixIndex::Reserve(uint32_t count) {
  if (count <= capacity_) return true;
  // Grows geometrically, so that a queue filled entry by entry moves its prefixes rarely; a large
  // block grows in place by remapping.
  uint32_t capacity = std::max<uint32_t>({count, 64, capacity_ + capacity_ / 2});
  void* block = std::realloc(data_.get(), std::size_t{capacity} * sizeof(uint64_t));
  if (block == nullptr) return false;  // the old array is untouched
  (void)data_.release();
  data_.reset(static_cast<uint64_t*>(block));
  capacity_ = capacity;
  return true;
}

bool QueuePrefixIndex::Insert(uint32_t index, uint64_t prefix) {
  if (size_ == capacity_ && !Reserve(size_ + 1)) return false;
  if (index > size_) index = size_;
  uint64_t* a = data_.get();
  if (index < size_) std::memmove(a + index + 1, a + index, std::size_t{size_ - index} * sizeof(uint64_t));
  a[index] = prefix;
  ++size_;
  return true;
}

void QueuePrefixIndex::Erase(uint32_t index) {
  uint64_t* a = data_.get();
  std::memmove(a + index, a + index + 1, std::size_t{size_ - index - 1} * sizeof(uint64_t));
  --size_;
}

void QueuePrefixIndex::Clear() {
  data_.reset();
  size_ = 0;
  capacity_ = 0;
}

uint32_t QueuePrefixIndex::LowerBound(uint64_t p, uint32_t from, uint32_t to,
                                      void* const* companion) const {
  return Search<false>(data_.get(), p, from, std::min(to, size_), companion);
}

uint32_t QueuePrefixIndex::UpperBound(uint64_t p, uint32_t from, uint32_t to,
                                      void* const* companion) const {
  return Search<true>(data_.get(), p, from, std::min(to, size_), companion);
}

}  // namespace cinevo
