// FileIos that fail on purpose, for tests of what an interrupted update leaves behind.
//
// FaultyFileIo: a process that meets an I/O error. The plan names one call (counted over all files from 0, separately for writes, flushes and
// truncations) at which the fault strikes. With `dead_after` set every later write, flush and
// truncation fails as well, as if the process had stopped at the fault: nothing done after
// that moment reaches the file, so whatever recovery is needed happens at the next open.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

// PowerCutFileIo: the machine loses its power. The model covers the files of one directory.
// What a flush (Fdatasync) has put on the disk stays; every write and truncation of a file
// since its last flush is still in the disk's cache, and so is every creation and removal of a
// file since the last flush of the directory (SyncDirectory). At the cut each of those is, at
// random and independently of the others, dropped, torn (a write: only a prefix of it reaches
// the disk) or kept; a later write may thus survive an earlier one. The cut strikes at a chosen
// call (writes, flushes, truncations and directory flushes counted together from 0), before
// that call takes effect, and from then on every call fails as in a dead process.
//
// The writes themselves go to the real files at once, as to a disk's cache, so the program
// reads what it wrote. ApplyCut, once nothing uses the files any more, turns the directory into
// what the disk held at the cut; the files are then reopened as after a restart. Flushes do not
// reach the real disk: the model stands in for it, which keeps a cut cheap.
struct PowerCutCounts {
  uint64_t dropped = 0;          // writes and truncations lost
  uint64_t torn = 0;             // writes of which only a prefix remained
  uint64_t kept = 0;             // writes and truncations that reached the disk after all
  uint64_t entries_dropped = 0;  // creations and removals of files lost
  uint64_t entries_kept = 0;     // creations and removals that reached the disk
  PowerCutCounts& operator+=(const PowerCutCounts& o);
};

class PowerCutFileIo final : public FileIo {
 public:
  // `ignored` names files of `dir` outside the model (a test's own log, say).
  PowerCutFileIo(std::string dir, uint64_t seed, std::vector<std::string> ignored = {});

  // Takes the files of the directory as they are now for what the disk holds, and sets the cut
  // at call `cut_at` (never, for a count no run reaches).
  Status Arm(uint64_t cut_at);

  ssize_t Pwrite(int fd, const void* data, size_t size, uint64_t offset) override;
  ssize_t Pwritev(int fd, const struct iovec* pieces, int count, uint64_t offset) override;
  int Fdatasync(int fd) override;
  int Ftruncate(int fd, uint64_t size) override;
  int SyncDirectory(const std::string& dir) override;
  // A write and the flush of its file in one call.
  ssize_t PwriteDurable(int fd, const void* data, size_t size, uint64_t offset) override;

  bool cut() const { return cut_; }
  uint64_t calls() const { return calls_; }
  // Makes the directory what the disk held at the cut (nothing happens without a cut).
  Status ApplyCut();
  const PowerCutCounts& counts() const { return counts_; }

 private:
  // Device, inode and time of birth (0 where the file system keeps none). The inode alone is no
  // name for a file: one removed during the run (a journal played back and dropped, say) gives
  // its number to the next file made, which must start empty, not with the removed one's bytes.
  using FileId = std::tuple<uint64_t, uint64_t, uint64_t>;
  struct Pending {
    bool truncate = false;
    uint64_t offset = 0;  // or the new length
    std::string bytes;
  };
  bool Dead();           // counts the call; true when it must fail (the cut struck)
  bool Flushed(int fd);  // the file's bytes as they are now are on the disk
  void Cut();            // works out what the disk holds now
  std::string Survivor(const FileId& id);  // a file's bytes after the cut
  std::map<std::string, FileId> ListFiles() const;
  static bool Identify(int fd, FileId& id);
  static bool IdentifyAt(int dirfd, const char* path, int flags, FileId& id);

  std::string dir_;
  std::vector<std::string> ignored_;
  std::mt19937_64 rng_;
  uint64_t cut_at_ = UINT64_MAX;
  uint64_t calls_ = 0;
  bool cut_ = false;
  std::map<FileId, std::string> durable_;        // each file's bytes at its last flush
  std::map<FileId, std::vector<Pending>> pending_;  // and what changed it since
  std::map<std::string, FileId> durable_names_;  // the directory at its last flush
  std::map<std::string, std::string> after_cut_;  // the files as the disk holds them after the cut
  PowerCutCounts counts_;
};

}  // namespace cinevo::isam
