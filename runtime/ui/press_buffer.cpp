#include "runtime/ui/press_buffer.h"

namespace cinevo {

bool PressBuffer::Push(uint16_t key) {
  if (size_ == kCapacity) return false;
  keys_[(head_ + size_) % kCapacity] = key;
  ++size_;
  return true;
}

std::optional<uint16_t> PressBuffer::Pop() {
  if (size_ == 0) return std::nullopt;
  uint16_t k = keys_[head_];
  head_ = (head_ + 1) % kCapacity;
  --size_;
  return k;
}

}  // namespace cinevo
