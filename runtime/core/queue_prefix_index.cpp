#include "runtime/core/queue_prefix_index.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#include <sys/mman.h>

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

void AdviseHugePages(void* block, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < kHuge) return;  // smaller than one huge page
  std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

bool QueuePrefixIndex::Reserve(uint32_t count) {
  if (count <= capacity_) return true;
  // Grows geometrically, so that a queue filled entry by entry moves its prefixes rarely.
  uint32_t capacity = std::max<uint32_t>({count, 64, capacity_ + capacity_ / 2});
  std::size_t bytes = std::size_t{capacity} * sizeof(uint64_t);
  constexpr std::size_t kMapFrom = std::size_t{2} << 20;
  if (bytes < kMapFrom) {
    void* block = std::realloc(data_, bytes);
    if (block == nullptr) return false;  // the old array is untouched
    data_ = static_cast<uint64_t*>(block);
    capacity_ = capacity;
    return true;
  }
  constexpr std::size_t kPage = 4096;
  bytes = (bytes + kPage - 1) & ~(kPage - 1);
  void* block = MAP_FAILED;
  if (mapped_bytes_ != 0) block = mremap(data_, mapped_bytes_, bytes, MREMAP_MAYMOVE);
  if (block == MAP_FAILED) {
    // A first mapping, or one that cannot be moved: a new one and a copy.
    block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return false;  // the old array is untouched
    if (size_ != 0) std::memcpy(block, data_, std::size_t{size_} * sizeof(uint64_t));
    if (mapped_bytes_ != 0) {
      munmap(data_, mapped_bytes_);
    } else {
      std::free(data_);
    }
  }
#ifdef MADV_HUGEPAGE
  // The whole mapping, not only its aligned part: a mapping split in two could not be remapped.
  madvise(block, bytes, MADV_HUGEPAGE);
#endif
  data_ = static_cast<uint64_t*>(block);
  mapped_bytes_ = bytes;
  capacity_ = static_cast<uint32_t>(std::min<std::size_t>(bytes / sizeof(uint64_t), UINT32_MAX));
  return true;
}

bool QueuePrefixIndex::Insert(uint32_t index, uint64_t prefix) {
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
  if (mapped_bytes_ != 0) {
    munmap(data_, mapped_bytes_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  mapped_bytes_ = 0;
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
