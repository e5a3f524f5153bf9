// Byte-range locks on a file that exclude every other holder: other processes and other opens
// in this process alike. Each FileLock opens the file on its own, and its locks belong to that
// open (open-file-description locks), so two FileLocks on one file exclude each other even
// within one process, and closing one never drops the locks of another.
//
// Locks may lie beyond the end of the file; they need not cover data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace cinevo::platform {

class FileLock {
 public:
  // Opens `path` for locking (read/write when possible, else read-only, where locks are
  // shared and only exclude writers' locks). Returns nullptr and sets `error` (an errno
  // value) on failure.
  static std::unique_ptr<FileLock> Open(const std::string& path, int& error);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes [offset, offset + length) without waiting. 0 on success, EAGAIN when another holder
  // has a conflicting lock, else another errno value.
  int TryLock(uint64_t offset, uint64_t length);
  // Takes the range, retrying every few milliseconds for up to `timeout_ms` (negative: wait
  // for ever). 0 or the errno value of the last try.
  int Lock(uint64_t offset, uint64_t length, int timeout_ms);
  // Asks, without taking anything, whether another holder has a lock that would keep
  // TryLock on the range from succeeding: 0 when not, EAGAIN when so, else an errno value.
  // Locks of this FileLock itself never count.
  int Probe(uint64_t offset, uint64_t length);
  // Releases the range (0 or errno). Releasing a range not held is not an error.
  int Unlock(uint64_t offset, uint64_t length);

  // Whether a read of the file that holds no lock sees every write another program has
  // completed (a local file system). False on network and user-space file systems, whose
  // clients may serve reads from a cache that only taking a lock brings up to date.
  bool ReadsCoherent() const;

 private:
  FileLock(int fd, bool writable) : fd_(fd), writable_(writable) {}
  int fd_;
  bool writable_;
};

}  // namespace cinevo::platform
