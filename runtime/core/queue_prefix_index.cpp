#include "runtime/core/queue_prefix_index.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <utility>

namespace cinevo {

namespace {

// The search shared by LowerBound and UpperBound. Invariant: the answer lies in
// [base - a, base - a + n]; each step halves n without a branch on the data. While the range is
// wider than two cache lines, the two elements the next step may read are fetched ahead.
// The range width at which the companion array's part around the answer is fetched.
constexpr uint32_t kCompanionSpan = 32;

template <bool kUpper>
uint32_t Search(const uint64_t* a, uint64_t p, uint32_t from, uint32_t to,
                void* const* companion) {
  if (from >= to) return from;
  const uint64_t* base = a + from;
  uint32_t n = to - from;
  auto before = [p](uint64_t v) { return kUpper ? v <= p : v < p; };
  auto step = [&] {
    uint32_t half = n / 2;
    uint32_t next = (n - half) / 2;
    __builtin_prefetch(base + next);
    __builtin_prefetch(base + half + next);
    base = before(base[half]) ? base + half : base;
    n -= half;
  };
  while (n > kCompanionSpan) step();
  if (companion) {
    // The answer is among these n + 1 places: every cache line of the companion that holds them
    // is fetched now, while the remaining steps run, rather than after the search.
    void* const* c = companion + (base - a);
    for (uint32_t i = 0; i <= n; i += 8) __builtin_prefetch(c + i);
    __builtin_prefetch(c + n);
  }
  while (n > 16) step();
  while (n > 1) {
    uint32_t half = n / 2;
    base = before(base[half]) ? base + half : base;
    n -= half;
  }
  return static_cast<uint32_t>(base - a) + (before(*base) ? 1 : 0);
}

}  // namespace

bool QueuePrefixIndex::Reserve(uint32_t count) {
  if (count <= capacity_) return true;
  // Grows geometrically, so that a queue filled entry by entry moves its prefixes rarely.
  uint32_t capacity = std::max<uint32_t>({count, 64, capacity_ + capacity_ / 2});
  std::size_t bytes = std::size_t{capacity} * sizeof(uint64_t);
  if (bytes < LargeBlock::kUnit) {
    void* block = std::realloc(data_, bytes);
    if (block == nullptr) return false;  // the old array is untouched
    data_ = static_cast<uint64_t*>(block);
    capacity_ = capacity;
    return true;
  }
  // Room for the most entries a queue holds (rounded up to 2^20) or twice the present room.
  constexpr std::size_t kFullQueue = std::size_t{1} << 20;
  bytes = std::max({bytes, kFullQueue * sizeof(uint64_t), 2 * std::size_t{capacity_} * sizeof(uint64_t)});
  bytes = std::min<std::size_t>(bytes, std::size_t{UINT32_MAX} * sizeof(uint64_t));
  LargeBlock block;
  if (!block.Map(bytes)) return false;  // the old array is untouched
  if (size_ != 0) std::memcpy(block.data(), data_, std::size_t{size_} * sizeof(uint64_t));
  if (large_.data() == nullptr) std::free(data_);
  large_ = std::move(block);
  data_ = reinterpret_cast<uint64_t*>(large_.data());
  capacity_ = static_cast<uint32_t>(std::min<std::size_t>(large_.size() / sizeof(uint64_t), UINT32_MAX));
  return true;
}

bool QueuePrefixIndex::InsertSlow(uint32_t index, uint64_t prefix) {
  if (size_ == capacity_ && !Reserve(size_ + 1)) return false;
  if (index > size_) index = size_;
  uint64_t* a = data_;
  if (index < size_) std::memmove(a + index + 1, a + index, std::size_t{size_ - index} * sizeof(uint64_t));
  a[index] = prefix;
  ++size_;
  return true;
}

void QueuePrefixIndex::Erase(uint32_t index) {
  uint64_t* a = data_;
  std::memmove(a + index, a + index + 1, std::size_t{size_ - index - 1} * sizeof(uint64_t));
  --size_;
}

void QueuePrefixIndex::Clear() {
  if (large_.data() == nullptr) std::free(data_);
  large_.Unmap();
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

uint32_t QueuePrefixIndex::LowerBound(uint64_t p, uint32_t from, uint32_t to,
                                      void* const* companion) const {
  return Search<false>(data_, p, from, std::min(to, size_), companion);
}

uint32_t QueuePrefixIndex::UpperBound(uint64_t p, uint32_t from, uint32_t to,
                                      void* const* companion) const {
  return Search<true>(data_, p, from, std::min(to, size_), companion);
}

}  // namespace cinevo
