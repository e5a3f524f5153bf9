#include "runtime/data/isam/faulty_file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
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

PowerCutCounts& PowerCutCounts::operator+=(const PowerCutCounts& o) {
  dropped += o.dropped;
  torn += o.torn;
  kept += o.kept;
  entries_dropped += o.entries_dropped;
  entries_kept += o.entries_kept;
  return *this;
}

namespace {

bool ReadWhole(int fd, std::string& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  size_t got = 0;
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  if (!ReadInto(fd, 0, bytes.data(), bytes.size(), got).ok()) return false;
  bytes.resize(got);
  out = std::move(bytes);
  return true;
}

}  // namespace

PowerCutFileIo::PowerCutFileIo(std::string dir, uint64_t seed, std::vector<std::string> ignored)
    : dir_(std::move(dir)), ignored_(std::move(ignored)), rng_(seed) {}

bool PowerCutFileIo::IdentifyAt(int dirfd, const char* path, int flags, FileId& id) {
  struct statx st {};
  if (::statx(dirfd, path, flags, STATX_INO | STATX_TYPE | STATX_BTIME, &st) != 0 || !S_ISREG(st.stx_mode)) return false;
  uint64_t birth = (st.stx_mask & STATX_BTIME)
                       ? static_cast<uint64_t>(st.stx_btime.tv_sec) * 1000000000u + st.stx_btime.tv_nsec
                       : 0;
  id = {(uint64_t{st.stx_dev_major} << 32) | st.stx_dev_minor, st.stx_ino, birth};
  return true;
}

bool PowerCutFileIo::Identify(int fd, FileId& id) { return IdentifyAt(fd, "", AT_EMPTY_PATH, id); }

std::map<std::string, PowerCutFileIo::FileId> PowerCutFileIo::ListFiles() const {
  std::map<std::string, FileId> out;
  DIR* d = ::opendir(dir_.c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (std::find(ignored_.begin(), ignored_.end(), name) != ignored_.end()) continue;
    FileId id;
    if (IdentifyAt(AT_FDCWD, (dir_ + "/" + name).c_str(), 0, id)) out[name] = id;
  }
  ::closedir(d);
  return out;
}

Status PowerCutFileIo::Arm(uint64_t cut_at) {
  durable_.clear();
  pending_.clear();
  after_cut_.clear();
  durable_names_ = ListFiles();
  for (const auto& [name, id] : durable_names_) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    if (!in) return Status::System(errno, "power cut model: read " + name);
    durable_[id] = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  cut_at_ = cut_at;
  calls_ = 0;
  cut_ = false;
  return Status::Ok();
}

bool PowerCutFileIo::Dead() {
  if (!cut_ && calls_ == cut_at_) Cut();
  ++calls_;
  if (cut_) errno = EIO;
  return cut_;
}

ssize_t PowerCutFileIo::Pwrite(int fd, const void* data, size_t size, uint64_t offset) {
  struct iovec one{const_cast<void*>(data), size};
  return Pwritev(fd, &one, 1, offset);
}

ssize_t PowerCutFileIo::Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) {
  if (Dead()) return -1;
  ssize_t n = ::pwritev(fd, pieces, count, static_cast<off_t>(offset));
  FileId id;
  if (n > 0 && Identify(fd, id)) {
    Pending p{false, offset, {}};
    size_t left = static_cast<size_t>(n);
    for (int i = 0; i < count && left > 0; ++i) {
      size_t take = std::min(left, pieces[i].iov_len);
      p.bytes.append(static_cast<const char*>(pieces[i].iov_base), take);
      left -= take;
    }
    pending_[id].push_back(std::move(p));
  }
  return n;
}

int PowerCutFileIo::Fdatasync(int fd) {
  if (Dead()) return -1;
  return Flushed(fd) ? 0 : -1;
}

bool PowerCutFileIo::Flushed(int fd) {
  FileId id;
  std::string bytes;
  if (!Identify(fd, id) || !ReadWhole(fd, bytes)) return false;
  durable_[id] = std::move(bytes);
  pending_.erase(id);
  return true;
}

ssize_t PowerCutFileIo::PwriteDurable(int fd, const void* data, size_t size, uint64_t offset) {
  if (Dead()) return -1;
  ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
  if (n > 0 && !Flushed(fd)) return -1;
  return n;
}

int PowerCutFileIo::Ftruncate(int fd, uint64_t size) {
  if (Dead()) return -1;
  int rc = ::ftruncate(fd, static_cast<off_t>(size));
  FileId id;
  if (rc == 0 && Identify(fd, id)) pending_[id].push_back(Pending{true, size, {}});
  return rc;
}

int PowerCutFileIo::SyncDirectory(const std::string& dir) {
  if (Dead()) return -1;
  if (dir == dir_) durable_names_ = ListFiles();
  return 0;
}

std::string PowerCutFileIo::Survivor(const FileId& id) {
  auto found = durable_.find(id);
  std::string bytes = found == durable_.end() ? std::string() : found->second;
  auto changes = pending_.find(id);
  if (changes == pending_.end()) return bytes;
  for (const Pending& p : changes->second) {
    uint64_t fate = rng_() % 3;  // 0 dropped, 1 torn, 2 kept
    if (fate == 0 || (fate == 1 && p.truncate)) {
      ++counts_.dropped;
      continue;
    }
    if (p.truncate) {
      bytes.resize(static_cast<size_t>(p.offset), '\0');
      ++counts_.kept;
      continue;
    }
    size_t length = p.bytes.size();
    if (fate == 1 && length > 1) {
      length = 1 + static_cast<size_t>(rng_() % (length - 1));
      ++counts_.torn;
    } else {
      ++counts_.kept;
    }
    size_t end = static_cast<size_t>(p.offset) + length;
    if (bytes.size() < end) bytes.resize(end, '\0');
    bytes.replace(static_cast<size_t>(p.offset), length, p.bytes, 0, length);
  }
  return bytes;
}

void PowerCutFileIo::Cut() {
  cut_ = true;
  std::map<std::string, FileId> now = ListFiles();
  for (const auto& [name, id] : now) {
    auto before = durable_names_.find(name);
    if (before != durable_names_.end() && before->second == id) {
      after_cut_[name] = Survivor(id);
      continue;
    }
    // Made (or made anew) since the directory's last flush: the entry may not have reached the
    // disk, leaving the name as it was before.
    if (rng_() % 2 == 0) {
      ++counts_.entries_kept;
      after_cut_[name] = Survivor(id);
    } else {
      ++counts_.entries_dropped;
      if (before != durable_names_.end()) after_cut_[name] = Survivor(before->second);
    }
  }
  for (const auto& [name, id] : durable_names_) {
    if (now.count(name)) continue;
    // Removed since the directory's last flush: the file may come back.
    if (rng_() % 2 == 0) {
      ++counts_.entries_kept;
    } else {
      ++counts_.entries_dropped;
      after_cut_[name] = Survivor(id);
    }
  }
}

Status PowerCutFileIo::ApplyCut() {
  if (!cut_) return Status::Ok();
  for (const auto& [name, id] : ListFiles()) {
    if (!after_cut_.count(name) && ::unlink((dir_ + "/" + name).c_str()) != 0) {
      return Status::System(errno, "power cut model: remove " + name);
    }
  }
  for (const auto& [name, bytes] : after_cut_) {
    std::ofstream out(dir_ + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return Status::System(EIO, "power cut model: write " + name);
  }
  return Status::Ok();
}

}  // namespace cinevo::isam
