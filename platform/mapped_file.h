// A read-only view of a file's bytes through a shared mapping of it.
//
// Reading a page through the mapping costs a copy from memory the kernel already holds (the
// file's page cache, shared by every process that reads the file), where a read call costs a
// system call as well. The mapping is shared: a write to the file through any descriptor, by
// this process or another, shows in it at once.
//
// A file can be cut short while it is mapped (another program truncates it); touching a mapped
// byte past its new end raises SIGBUS. CopyOut guards its copy: on the first use a handler for
// SIGBUS is installed for the whole process, which turns such a signal raised inside a guarded
// copy into a failed copy and hands any other to the handler that was there before (or to the
// default action). Nothing but CopyOut touches the mapped bytes.
//
// Not thread-safe: one owner uses a MappedFile at a time (as one open file does its store).
#pragma once

#include <cstddef>
#include <cstdint>

namespace cinevo::platform {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Unmap(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the first `length` bytes of the file open as `fd` (replacing any earlier mapping).
  // False when the system refuses: then nothing is mapped.
  bool Map(int fd, uint64_t length);
  void Unmap();
  uint64_t length() const { return length_; }

  // Copies `size` bytes from `offset` to `out`; the range must lie within length(). False when
  // the file no longer holds them (it was cut short since it was mapped): the copy stopped at
  // the fault, and `out` holds nothing of use.
  bool CopyOut(uint64_t offset, size_t size, char* out) const;

 private:
  const char* bytes_ = nullptr;
  uint64_t length_ = 0;
};

}  // namespace cinevo::platform
