// The byte-range locks through which several programs share one data file. They lie above
// offset 0x80000000, where the file holds no data:
//   reader slots     0x80000000 + s, s = 0..0x3FE: one byte per open file
//   update lock      0x80000000 + 0x3FF: held while a user reads or changes the tree
//   exclusive access 0x80000000 .. + 0x3FE: every reader slot (deny-all opens, LOCK)
//   record locks     0x80000000 + 0x400 + record number + 1 (HOLD)
// Each TableLocks opens the file on its own, so two opens in one program exclude each other
// exactly as two programs do.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_lock.h"

namespace cinevo::isam {

inline constexpr uint64_t kLockBase = 0x80000000ull;
inline constexpr uint64_t kReaderSlots = 0x3FF;
inline constexpr uint64_t kUpdateLockOffset = kLockBase + 0x3FF;
inline constexpr uint64_t kRecordLockBase = kLockBase + 0x400;

class TableLocks {
 public:
  // Opens the file for locking; `error` receives the errno value on failure.
  static std::unique_ptr<TableLocks> Open(const std::string& path, int& error);

  // Takes a reader slot, starting from `start` (mod 0x400) and trying the next ones (mod
  // 0x3FF). EAGAIN when every slot is taken (someone holds the file exclusively).
  int TakeReaderSlot(uint32_t start);
  // Every reader slot; EAGAIN when another open has one. On success the own slot is covered.
  int TakeExclusive(int timeout_ms);
  // Back from exclusive to the own reader slot.
  int DropExclusive();
  bool exclusive() const { return exclusive_; }
  int slot() const { return slot_; }

  // The update lock, counted: nested takes are free, the last give releases it.
  int TakeUpdate(int timeout_ms);
  void GiveUpdate();
  bool updating() const { return update_depth_ > 0; }
  // Whether reads without the update lock see other users' completed writes (FileLock).
  bool reads_coherent() const { return reads_coherent_; }

  // Record locks. TryRecord with timeout 0 does not wait.
  int TakeRecord(uint32_t record_number, int timeout_ms);
  void GiveRecord(uint32_t record_number);
  // Whether another user holds the record (asks without taking the lock). A record is held
  // only by a read, and every read runs under the update lock, so while this open keeps the
  // update lock no hold can appear: the first question of such a span asks once about every
  // record lock, and when none is taken the rest of the span is answered without asking.
  bool HeldElsewhere(uint32_t record_number);

 private:
  explicit TableLocks(std::unique_ptr<platform::FileLock> lock)
      : lock_(std::move(lock)), reads_coherent_(lock_->ReadsCoherent()) {}
  std::unique_ptr<platform::FileLock> lock_;
  bool reads_coherent_;
  int slot_ = -1;
  bool exclusive_ = false;
  int update_depth_ = 0;
  // Asked during the present hold of the update lock: no other user holds any record.
  bool none_held_elsewhere_ = false;
};

}  // namespace cinevo::isam
