#include "platform/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

namespace cinevo::platform {
namespace {

int SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;  // required for open-file-description locks
  if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
  int e = errno;
  return e == EACCES ? EAGAIN : e;
}

}  // namespace

std::unique_ptr<FileLock> FileLock::Open(const std::string& path, int& error) {
  bool writable = true;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && (errno == EACCES || errno == EROFS)) {
    writable = false;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  error = 0;
  return std::unique_ptr<FileLock>(new FileLock(fd, writable));
}

FileLock::~FileLock() { ::close(fd_); }

int FileLock::TryLock(uint64_t offset, uint64_t length) {
  return SetLock(fd_, writable_ ? F_WRLCK : F_RDLCK, offset, length);
}

int FileLock::Lock(uint64_t offset, uint64_t length, int timeout_ms) {
  struct timespec start {};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int e = TryLock(offset, length);
    if (e != EAGAIN) return e;
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t waited = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (timeout_ms >= 0 && waited >= timeout_ms) return e;
    struct timespec pause {0, 2 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
}

int FileLock::Probe(uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = writable_ ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  fl.l_pid = 0;
  if (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) return errno;
  return fl.l_type == F_UNLCK ? 0 : EAGAIN;
}

int FileLock::Unlock(uint64_t offset, uint64_t length) { return SetLock(fd_, F_UNLCK, offset, length); }

bool FileLock::ReadsCoherent() const {
  struct statfs fs {};
  if (::fstatfs(fd_, &fs) != 0) return false;
  switch (static_cast<uint64_t>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE
    case 0x00C36400:  // Ceph
    case 0x01021997:  // 9P
    case 0x5346414F:  // AFS
    case 0x73757245:  // Coda
    case 0x01161970:  // GFS2
    case 0x7461636F:  // OCFS2
      return false;
    default:
      return true;
  }
}

}  // namespace cinevo::platform
