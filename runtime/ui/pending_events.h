// The pending-event list of a window.
//
// A first-in first-out list of event records stored in a ring whose capacity grows through the
// size classes 8, 16, 32, 64, 128, 256, 1,024, 2,048, 4,096, 8,192 and 16,000. It never holds more
// than 16,000 records: an append to a full list first cuts it back to its oldest 15,899 records,
// so that afterwards it holds 15,900 with the new record last. Records can also be put at the
// front (for records that must come before all others).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/ui/event_record.h"

namespace cinevo {

class PendingEventList {
 public:
  static constexpr size_t kLimit = 16000;
  static constexpr size_t kCutBack = 15899;

  void Append(const EventRecord& record);
  void PushFront(const EventRecord& record);
  std::optional<EventRecord> PopFront();
  const EventRecord* Front() const;

  // Record `i` counted from the front; i < size().
  const EventRecord& at(size_t i) const { return ring_[(head_ + i) % ring_.size()]; }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return ring_.size(); }
  uint64_t discarded() const { return discarded_; }  // records lost to cut-backs
  void Clear();

  // Checks the ring's rules (see runtime/core/invariant.h): the capacity is 0 or one of the size
  // classes, the front lies inside the ring, and the list holds no more than the ring and the
  // limit allow. A no-op in builds without invariant checks.
  void CheckInvariants() const;

 private:
  void MakeRoom();  // ensures size_ < capacity, growing or cutting back

  std::vector<EventRecord> ring_;
  size_t head_ = 0;
  size_t size_ = 0;
  uint64_t discarded_ = 0;
};

}  // namespace cinevo
