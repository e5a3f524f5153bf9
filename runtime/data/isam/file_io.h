// The file operations through which a data file's updates and its journal reach the disk.
//
// Every write, flush, truncation and directory flush of the commit path goes through a FileIo,
// so that a test can stand a faulty one in its place (see faulty_file_io.h): a write that
// fails, a write that stops halfway, a flush that fails, a "dead" process whose every write
// after a given moment is lost, or a power cut that loses, tears or keeps each write that was
// not flushed.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data/isam/isam_status.h"

namespace cinevo::isam {

class FileIo {
 public:
  virtual ~FileIo() = default;
  // As pwrite/pwritev/fdatasync/ftruncate: -1 with errno set on failure.
  virtual ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) = 0;
  // Writes the pieces one after the other from `offset` in one call (at most IOV_MAX pieces).
  virtual ssize_t Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) = 0;
  virtual int Fdatasync(int fd) = 0;
  virtual int Ftruncate(int fd, uint64_t size) = 0;
  // A write that is on the device when it returns (as through a file opened with O_DSYNC): one
  // step, that either happens or fails. The system's way by default: Pwrite, then fdatasync.
  virtual ssize_t PwriteDurable(int fd, const void* data, size_t size, uint64_t offset);
  // Flushes the entries of the directory `dir` (the names of its files) to the device; 0 or -1
  // with errno set. The system's own way by default.
  virtual int SyncDirectory(const std::string& dir);
};

// The operating system's own calls. Stateless; shared by every file.
FileIo& SystemFileIo();

// Writes all of `data` at `offset` (a short write is retried; a write of 0 bytes is an error).
Status WriteFully(FileIo& io, int fd, std::string_view data, uint64_t offset, const char* what);
// Writes all the pieces one after the other from `offset` (in calls of at most IOV_MAX
// pieces; a short write is retried). `pieces` is used up on the way.
Status WriteVectorFully(FileIo& io, int fd, std::vector<struct iovec>& pieces, uint64_t offset, const char* what);
// Reads up to `size` bytes at `offset`; `out` holds what the file had (shorter at its end).
Status ReadUpTo(int fd, uint64_t offset, size_t size, std::string& out);
// Reads up to `size` bytes at `offset` into `out`; `got` tells how many (fewer at the file's end).
Status ReadInto(int fd, uint64_t offset, char* out, size_t size, size_t& got);
// Flushes the directory entry of `path` (its parent directory) to the device, through `io`.
Status SyncParentDirectory(FileIo& io, const std::string& path);

}  // namespace cinevo::isam
