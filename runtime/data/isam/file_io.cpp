#include "runtime/data/isam/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cinevo::isam {
namespace {

class PosixFileIo final : public FileIo {
 public:
  ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) override {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset));
  }
  ssize_t Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) override {
    return ::pwritev(fd, pieces, count, static_cast<off_t>(offset));
  }
  int Fdatasync(int fd) override { return ::fdatasync(fd); }
  int Ftruncate(int fd, uint64_t size) override { return ::ftruncate(fd, static_cast<off_t>(size)); }
};

}  // namespace

FileIo& SystemFileIo() {
  static PosixFileIo io;  // stateless
  return io;
}

Status WriteFully(FileIo& io, int fd, std::string_view data, uint64_t offset, const char* what) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = io.Pwrite(fd, data.data() + done, data.size() - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, what);
    }
    if (n == 0) return Status::System(EIO, std::string(what) + ": nothing written");
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status WriteVectorFully(FileIo& io, int fd, std::vector<struct iovec>& pieces, uint64_t offset, const char* what) {
  size_t first = 0;  // pieces before it are written
  while (first < pieces.size()) {
    if (pieces[first].iov_len == 0) {
      ++first;
      continue;
    }
    int count = static_cast<int>(std::min<size_t>(pieces.size() - first, IOV_MAX));
    ssize_t n = io.Pwritev(fd, pieces.data() + first, count, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, what);
    }
    if (n == 0) return Status::System(EIO, std::string(what) + ": nothing written");
    offset += static_cast<uint64_t>(n);
    // Skip what went out; a piece written in part continues where it stopped.
    size_t done = static_cast<size_t>(n);
    while (done > 0 && first < pieces.size()) {
      size_t take = std::min(done, pieces[first].iov_len);
      pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + take;
      pieces[first].iov_len -= take;
      done -= take;
      if (pieces[first].iov_len == 0) ++first;
    }
  }
  return Status::Ok();
}

Status ReadInto(int fd, uint64_t offset, char* out, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, "read");
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status ReadUpTo(int fd, uint64_t offset, size_t size, std::string& out) {
  out.assign(size, '\0');
  size_t got = 0;
  Status st = ReadInto(fd, offset, out.data(), size, got);
  out.resize(got);
  return st;
}

ssize_t FileIo::PwriteDurable(int fd, const void* data, size_t size, uint64_t offset) {
  ssize_t n = Pwrite(fd, data, size, offset);
  if (n > 0 && ::fdatasync(fd) != 0) return -1;
  return n;
}

int FileIo::SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems refuse to flush a directory; the entry is then as safe as they make it.
  if (rc != 0 && (err == EINVAL || err == EROFS)) rc = 0;
  errno = err;
  return rc;
}

Status SyncParentDirectory(FileIo& io, const std::string& path) {
  auto slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (io.SyncDirectory(dir) != 0) return Status::System(errno, "flush directory " + dir);
  return Status::Ok();
}

}  // namespace cinevo::isam
