#include "runtime/data/isam/faulty_file_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace cinevo::isam {

bool FaultyFileIo::Strikes(FaultPlan::Kind kind, uint64_t count) {
  if (fired_ && plan_.dead_after) return true;
  bool match = plan_.kind == kind ||
               (kind == FaultPlan::Kind::kFailWrite && plan_.kind == FaultPlan::Kind::kHalfWrite);
  if (!fired_ && match && count == plan_.at) {
    fired_ = true;
    return true;
  }
  return false;
}

ssize_t FaultyFileIo::Pwrite(int fd, const void* data, size_t size, uint64_t offset) {
  // One piece of a vector write: counted, failed and halved the same way.
  struct iovec one{const_cast<void*>(data), size};
  return Pwritev(fd, &one, 1, offset);
}

ssize_t FaultyFileIo::Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) {
  uint64_t n = writes_++;
  if (rest_fails_) {
    // The remainder of a write that stopped halfway.
    rest_fails_ = false;
    errno = ENOSPC;
    return -1;
  }
  bool was_dead = fired_ && plan_.dead_after;
  if (Strikes(FaultPlan::Kind::kFailWrite, n)) {
    size_t size = 0;
    for (int i = 0; i < count; ++i) size += pieces[i].iov_len;
    if (!was_dead && plan_.kind == FaultPlan::Kind::kHalfWrite && size > 1) {
      // The first half of the bytes, in as many of the pieces as it takes.
      std::vector<struct iovec> half;
      size_t left = size / 2;
      for (int i = 0; i < count && left > 0; ++i) {
        size_t take = std::min(left, pieces[i].iov_len);
        half.push_back({pieces[i].iov_base, take});
        left -= take;
      }
      ssize_t put = ::pwritev(fd, half.data(), static_cast<int>(half.size()), static_cast<off_t>(offset));
      if (put > 0) {
        rest_fails_ = true;
        return put;
      }
    }
    errno = plan_.kind == FaultPlan::Kind::kHalfWrite ? ENOSPC : EIO;
    return -1;
  }
  return ::pwritev(fd, pieces, count, static_cast<off_t>(offset));
}

int FaultyFileIo::Fdatasync(int fd) {
  if (Strikes(FaultPlan::Kind::kFailSync, syncs_++)) {
    errno = EIO;
    return -1;
  }
  return ::fdatasync(fd);
}

int FaultyFileIo::Ftruncate(int fd, uint64_t size) {
  if (Strikes(FaultPlan::Kind::kFailTruncate, truncates_++)) {
    errno = EIO;
    return -1;
  }
  return ::ftruncate(fd, static_cast<off_t>(size));
}

}  // namespace cinevo::isam
