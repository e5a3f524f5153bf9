#include "runtime/data/isam/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace cinevo::isam {
namespace {

class PosixFileIo final : public FileIo {
 public:
  ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) override {
    return ::pwrite(fd, data, size, static_cast<off_t>(offset));
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

Status ReadUpTo(int fd, uint64_t offset, size_t size, std::string& out) {
  out.assign(size, '\0');
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::System(errno, "read");
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return Status::Ok();
}

Status SyncParentDirectory(const std::string& path) {
  auto slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status::System(errno, "open directory " + dir);
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems refuse to flush a directory; the entry is then as safe as they make it.
  if (rc != 0 && err != EINVAL && err != EROFS) return Status::System(err, "flush directory " + dir);
  return Status::Ok();
}

}  // namespace cinevo::isam
