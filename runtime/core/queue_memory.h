// LargeBlock: anonymous memory for the large arrays of a big queue (record chunks, key prefixes).
//
// The block is a mapping of its own that starts on a 2 MiB boundary and spans whole 2 MiB units,
// advised for huge pages: filling it then costs one page fault per 2 MiB instead of one per 4 KiB,
// and a search through it misses the address-translation cache far less often. Pages are backed
// only when first touched, so a block may reserve more than it yet holds. The advice is a hint;
// where huge pages are not available the block behaves as ordinary memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "runtime/core/pointer_list.h"

namespace cinevo {

class LargeBlock {
 public:
  static constexpr std::size_t kUnit = std::size_t{2} << 20;

  LargeBlock() = default;
  ~LargeBlock() { Unmap(); }
  LargeBlock(LargeBlock&& other) noexcept;
  LargeBlock& operator=(LargeBlock&& other) noexcept;
  LargeBlock(const LargeBlock&) = delete;
  LargeBlock& operator=(const LargeBlock&) = delete;

  // Maps at least `bytes` (rounded up to whole units), replacing any earlier mapping; false (and
  // an empty block) when the system refuses. `populate` backs the whole block at once, for a
  // caller that is about to fill all of it.
  bool Map(std::size_t bytes, bool populate = false);
  void Unmap();

  // Gives up the mapping to the caller, who hands it back with Adopt (data and size as returned).
  uint8_t* Detach() {
    size_ = 0;
    return std::exchange(data_, nullptr);
  }
  static LargeBlock Adopt(uint8_t* data, std::size_t size) {
    LargeBlock block;
    block.data_ = data;
    block.size_ = size;
    return block;
  }

  uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Memory for a queue's entry pointer array: the heap while it is small; from 2 MiB on a
// LargeBlock with room for the largest size class of the list, so that it does not move again.
extern const PointerListMemory kQueueEntryMemory;

}  // namespace cinevo
