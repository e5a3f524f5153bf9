// QueuePrefixIndex: the 64-bit key prefixes of a sorted queue's entries, one per entry, in one
// contiguous array kept in step with the queue's pointer list (prefix i belongs to entry i).
//
// A prefix orders two entries whenever the prefixes differ; only equal prefixes need the full key
// comparison. Keeping the prefixes apart from the entry pointers halves the memory a search walks
// through, and the searches below run without data-dependent branches, fetching both halves a
// step may choose ahead of time, so that the cache misses of successive steps overlap.
//
// Memory failures are returned (false) and leave the index as it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/queue_memory.h"

namespace cinevo {

class QueuePrefixIndex {
 public:
  QueuePrefixIndex() = default;
  ~QueuePrefixIndex() { Clear(); }
  QueuePrefixIndex(const QueuePrefixIndex&) = delete;
  QueuePrefixIndex& operator=(const QueuePrefixIndex&) = delete;

  uint32_t size() const { return size_; }
  uint64_t at(uint32_t index) const { return data_[index]; }  // index below size()
  uint64_t* data() { return data_; }

  // Makes room for `count` prefixes; false when the memory cannot be had.
  bool Reserve(uint32_t count);
  // Stores `prefix` before `index` (clamped to size()); false (index unchanged) without memory.
  bool Insert(uint32_t index, uint64_t prefix) {
    if (index >= size_ && size_ < capacity_) {  // appending with room: the common case
      data_[size_++] = prefix;
      return true;
    }
    return InsertSlow(index, prefix);
  }
  // Removes the prefix at `index` (below size()).
  void Erase(uint32_t index);
  // Sets the number of prefixes (at most the reserved room); the caller fills them in.
  void Resize(uint32_t count) { size_ = count; }
  // Drops every prefix and the array.
  void Clear();

  // In [from, to): the first index whose prefix is not below `p` (LowerBound) or is above `p`
  // (UpperBound); `to` when there is none. `companion`, when given, is an array parallel to the
  // prefixes (the entry pointers): the part of it around the answer is fetched ahead, since the
  // caller reads it next.
  uint32_t LowerBound(uint64_t p, uint32_t from, uint32_t to,
                      void* const* companion = nullptr) const;
  uint32_t UpperBound(uint64_t p, uint32_t from, uint32_t to,
                      void* const* companion = nullptr) const;

 private:
  bool InsertSlow(uint32_t index, uint64_t prefix);

  // Small arrays come from the heap; from 2 MiB on the array lives in large_, which reserves
  // room for a full queue at once, so that it does not move again as the queue fills.
  uint64_t* data_ = nullptr;
  LargeBlock large_;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace cinevo
