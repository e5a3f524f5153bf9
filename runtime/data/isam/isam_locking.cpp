#include "runtime/data/isam/isam_locking.h"

#include <cerrno>

namespace cinevo::isam {

std::unique_ptr<TableLocks> TableLocks::Open(const std::string& path, int& error) {
  auto lock = platform::FileLock::Open(path, error);
  if (!lock) return nullptr;
  return std::unique_ptr<TableLocks>(new TableLocks(std::move(lock)));
}

int TableLocks::TakeReaderSlot(uint32_t start) {
  uint32_t s = start % 0x400;
  if (s >= kReaderSlots) s = 0;
  for (uint32_t tries = 0; tries < kReaderSlots; ++tries, s = (s + 1) % kReaderSlots) {
    int e = lock_->TryLock(kLockBase + s, 1);
    if (e == 0) {
      slot_ = static_cast<int>(s);
      return 0;
    }
    if (e != EAGAIN) return e;
  }
  return EAGAIN;
}

int TableLocks::TakeExclusive(int timeout_ms) {
  int e = lock_->Lock(kLockBase, kReaderSlots, timeout_ms);
  if (e == 0) exclusive_ = true;
  return e;
}

int TableLocks::DropExclusive() {
  if (!exclusive_) return 0;
  exclusive_ = false;
  int e = lock_->Unlock(kLockBase, kReaderSlots);
  if (e != 0) return e;
  if (slot_ >= 0) return lock_->TryLock(kLockBase + static_cast<uint64_t>(slot_), 1);
  return 0;
}

int TableLocks::TakeUpdate(int timeout_ms) {
  if (update_depth_ > 0) {
    ++update_depth_;
    return 0;
  }
  int e = lock_->Lock(kUpdateLockOffset, 1, timeout_ms);
  if (e == 0) update_depth_ = 1;
  return e;
}

void TableLocks::GiveUpdate() {
  if (update_depth_ == 0) return;
  if (--update_depth_ == 0) {
    lock_->Unlock(kUpdateLockOffset, 1);
    none_held_elsewhere_ = false;
  }
}

int TableLocks::TakeRecord(uint32_t record_number, int timeout_ms) {
  return lock_->Lock(kRecordLockBase + record_number + 1ull, 1, timeout_ms);
}

void TableLocks::GiveRecord(uint32_t record_number) { lock_->Unlock(kRecordLockBase + record_number + 1ull, 1); }

bool TableLocks::HeldElsewhere(uint32_t record_number) {
  if (update_depth_ > 0) {
    if (none_held_elsewhere_) return false;
    // Record numbers are 32 bits: their locks end below kRecordLockBase + 2^32 + 1.
    if (lock_->Probe(kRecordLockBase + 1ull, uint64_t{1} << 32) == 0) {
      none_held_elsewhere_ = true;
      return false;
    }
  }
  return lock_->Probe(kRecordLockBase + record_number + 1ull, 1) == EAGAIN;
}

}  // namespace cinevo::isam
