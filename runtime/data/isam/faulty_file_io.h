// A FileIo that fails on purpose, for tests of what an interrupted update leaves behind.
//
// The plan names one call (counted over all files from 0, separately for writes, flushes and
// truncations) at which the fault strikes. With `dead_after` set every later write, flush and
// truncation fails as well, as if the process had stopped at the fault: nothing done after
// that moment reaches the file, so whatever recovery is needed happens at the next open.
#pragma once

#include <cstdint>

#include "runtime/data/isam/file_io.h"

namespace cinevo::isam {

struct FaultPlan {
  enum class Kind {
    kNone,
    kFailWrite,     // the write fails with EIO, nothing written
    kHalfWrite,     // half the bytes are written, then the write fails with ENOSPC
    kFailSync,      // the flush fails with EIO
    kFailTruncate,  // the truncation fails with EIO
  };
  Kind kind = Kind::kNone;
  uint64_t at = 0;
  bool dead_after = false;
};

class FaultyFileIo final : public FileIo {
 public:
  explicit FaultyFileIo(FaultPlan plan) : plan_(plan) {}

  ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) override;
  // One write, as Pwrite: a half write puts out half of all the pieces' bytes.
  ssize_t Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) override;
  int Fdatasync(int fd) override;
  int Ftruncate(int fd, uint64_t size) override;

  bool fired() const { return fired_; }
  uint64_t writes() const { return writes_; }
  uint64_t syncs() const { return syncs_; }
  uint64_t truncates() const { return truncates_; }

 private:
  bool Strikes(FaultPlan::Kind kind, uint64_t count);

  FaultPlan plan_;
  bool fired_ = false;
  bool rest_fails_ = false;  // a half write happened: the call for the rest fails
  uint64_t writes_ = 0;
  uint64_t syncs_ = 0;
  uint64_t truncates_ = 0;
};

}  // namespace cinevo::isam
