#include "runtime/ui/pending_events.h"

#include <algorithm>
#include <array>

#include "runtime/core/invariant.h"

namespace cinevo {
namespace {
constexpr std::array<size_t, 11> kClasses = {8, 16, 32, 64, 128, 256, 1024, 2048, 4096, 8192,
                                             PendingEventList::kLimit};
}

void PendingEventList::MakeRoom() {
  if (size_ == kLimit) {
    // Keep the oldest kCutBack records.
    discarded_ += size_ - kCutBack;
    size_ = kCutBack;
  }
  if (size_ < ring_.size()) return;
  size_t next = kClasses.front();
  for (size_t c : kClasses) {
    if (c > ring_.size()) {
      next = c;
      break;
    }
  }
  std::vector<EventRecord> grown(next);
  for (size_t i = 0; i < size_; ++i) grown[i] = at(i);
  ring_ = std::move(grown);
  head_ = 0;
}

void PendingEventList::Append(const EventRecord& record) {
  MakeRoom();
  CINEVO_INVARIANT(size_ < ring_.size(), "making room leaves a free place in the ring");
  ring_[(head_ + size_) % ring_.size()] = record;
  ++size_;
}

void PendingEventList::PushFront(const EventRecord& record) {
  MakeRoom();
  CINEVO_INVARIANT(size_ < ring_.size(), "making room leaves a free place in the ring");
  head_ = (head_ + ring_.size() - 1) % ring_.size();
  ring_[head_] = record;
  ++size_;
}

std::optional<EventRecord> PendingEventList::PopFront() {
  if (size_ == 0) return std::nullopt;
  EventRecord r = ring_[head_];
  head_ = (head_ + 1) % ring_.size();
  --size_;
  return r;
}

const EventRecord* PendingEventList::Front() const { return size_ ? &ring_[head_] : nullptr; }

void PendingEventList::CheckInvariants() const {
  CINEVO_INVARIANT(ring_.empty() || std::find(kClasses.begin(), kClasses.end(), ring_.size()) != kClasses.end(),
                   "the ring's capacity is one of the size classes");
  CINEVO_INVARIANT(size_ <= ring_.size() && size_ <= kLimit, "the list fits its ring and its limit");
  CINEVO_INVARIANT(ring_.empty() ? head_ == 0 : head_ < ring_.size(), "the front lies inside the ring");
}

void PendingEventList::Clear() {
  ring_.clear();
  ring_.shrink_to_fit();
  head_ = 0;
  size_ = 0;
}

}  // namespace cinevo
