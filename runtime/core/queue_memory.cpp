#include "runtime/core/queue_memory.h"

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

bool LargeBlock::Map(std::size_t bytes) {
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
  data_ = reinterpret_cast<uint8_t*>(aligned);
  size_ = size;
  return true;
}

void LargeBlock::Unmap() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace cinevo
