#include "runtime/core/queue_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <sys/mman.h>

namespace cinevo {

LargeBlock::LargeBlock(LargeBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

LargeBlock& LargeBlock::operator=(LargeBlock&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool LargeBlock::Map(std::size_t bytes, bool populate) {
  Unmap();
  if (bytes == 0 || bytes > SIZE_MAX - 2 * kUnit) return false;
  std::size_t size = (bytes + kUnit - 1) & ~(kUnit - 1);
  // One unit more than needed, so that a unit boundary lies inside; the slack is given back.
  std::size_t span = size + kUnit;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return false;
  auto start = reinterpret_cast<std::uintptr_t>(raw);
  std::uintptr_t aligned = (start + kUnit - 1) & ~std::uintptr_t{kUnit - 1};
  if (aligned > start) munmap(raw, aligned - start);
  std::uintptr_t end = aligned + size;
  if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  // One call instead of a fault per page; where it is not supported the pages come on first use.
  if (populate) madvise(reinterpret_cast<void*>(aligned), size, MADV_POPULATE_WRITE);
#else
  (void)populate;
#endif
  data_ = reinterpret_cast<uint8_t*>(aligned);
  size_ = size;
  return true;
}

void LargeBlock::Unmap() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

namespace {

// Every block starts with this header; the list sees the memory after it. A whole cache line, so
// that the entries of a mapped block start on one.
struct BlockHeader {
  std::size_t mapped;  // the size of the mapping, or 0 for a heap block
  std::size_t usable;  // bytes after the header
};
constexpr std::size_t kHeader = 64;
// The most pointers a list of objects holds (its largest size class).
constexpr std::size_t kLargestList = std::size_t{1000000} * sizeof(void*);

BlockHeader* HeaderOf(void* block) {
  return reinterpret_cast<BlockHeader*>(static_cast<uint8_t*>(block) - kHeader);
}

void ReleaseEntries(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = HeaderOf(block);
  if (header->mapped != 0) {
    LargeBlock::Adopt(reinterpret_cast<uint8_t*>(header), header->mapped);  // unmapped here
  } else {
    std::free(header);
  }
}

void* ReallocateEntries(void* block, std::size_t bytes) {
  BlockHeader* old = block ? HeaderOf(block) : nullptr;
  if (old && bytes <= old->usable) return block;  // the room is there already
  if (bytes > SIZE_MAX - kLargestList - kHeader) return nullptr;
  if ((old == nullptr || old->mapped == 0) && bytes + kHeader < LargeBlock::kUnit) {
    void* p = std::realloc(old, bytes + kHeader);
    if (p == nullptr) return nullptr;  // the old block is untouched
    auto* header = static_cast<BlockHeader*>(p);
    header->mapped = 0;
    header->usable = bytes;
    return reinterpret_cast<uint8_t*>(p) + kHeader;
  }
  LargeBlock large;
  if (!large.Map(std::max(bytes, kLargestList) + kHeader)) return nullptr;
  auto* header = reinterpret_cast<BlockHeader*>(large.data());
  header->mapped = large.size();
  header->usable = large.size() - kHeader;
  uint8_t* entries = large.data() + kHeader;
  if (old) std::memcpy(entries, block, std::min(old->usable, bytes));
  large.Detach();
  ReleaseEntries(block);
  return entries;
}

}  // namespace

const PointerListMemory kQueueEntryMemory{&ReallocateEntries, &ReleaseEntries};

}  // namespace cinevo
