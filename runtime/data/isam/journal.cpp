#include "runtime/data/isam/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "runtime/data/isam/byte_order.h"
#include "runtime/data/isam/transaction_control.h"

namespace cinevo::isam {
namespace {

constexpr char kMagic[8] = {'C', 'V', 'J', 'R', 'N', 'L', '2', '\n'};
constexpr char kMagicV1[8] = {'C', 'V', 'J', 'R', 'N', 'L', '1', '\n'};
constexpr size_t kFixedSize = 34;
constexpr size_t kFixedSizeV1 = 26;
// Clearing writes one zero byte over the magic's first: a single byte is written whole or not
// at all, so a clearing that fails leaves the journal either complete or cleared, never torn.
constexpr char kCleared[1] = {};

// A cut region shorter than this is saved whole: looking for its holes costs system calls.
constexpr uint64_t kHoleSearchMin = 64 * 1024;
// No saved region is longer (its length field has 32 bits).
constexpr uint64_t kMaxSavedRegion = uint64_t{1} << 30;
// The journal's buffer is kept for the next update up to this size; a larger one (of a big
// batch) is given back when the update ends.
constexpr size_t kKeptImage = 1 << 20;

uint64_t Fnv1a(const char* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= static_cast<uint8_t>(p[i]);
    h *= 1099511628211ull;
  }
  return h;
}

void PutAt(char* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The bytes of a journal before its first region; `total` is the whole journal's length.
size_t PutHead(char* p, uint64_t total, uint64_t original_length, uint64_t regions, uint32_t transaction,
               std::string_view control) {
  std::memcpy(p, kMagic, sizeof kMagic);
  PutAt(p + 8, total, 8);
  PutAt(p + 16, original_length, 8);
  PutAt(p + 24, regions, 4);
  PutAt(p + 28, transaction, 4);
  PutAt(p + 32, control.size(), 2);
  std::memcpy(p + kFixedSize, control.data(), control.size());
  return kFixedSize + control.size();
}

// The hash over everything before the journal's last 8 bytes goes into them.
void Seal(std::string& image) {
  PutAt(image.data() + image.size() - 8, Fnv1a(image.data(), image.size() - 8), 8);
}

// Adds the parts of [begin, end) that hold data (not holes) to `out`. Where the file system
// cannot tell, everything counts as data.
void AddDataExtents(int fd, uint64_t begin, uint64_t end, std::vector<JournalRegion>& out) {
  if (end - begin < kHoleSearchMin) {
    out.push_back({begin, end - begin});
    return;
  }
  uint64_t at = begin;
  while (at < end) {
    off_t data = ::lseek(fd, static_cast<off_t>(at), SEEK_DATA);
    if (data < 0) {
      if (errno != ENXIO) out.push_back({at, end - at});  // ENXIO: no data after `at`
      return;
    }
    if (static_cast<uint64_t>(data) >= end) return;
    off_t hole = ::lseek(fd, data, SEEK_HOLE);
    uint64_t stop = hole < 0 ? end : std::min<uint64_t>(static_cast<uint64_t>(hole), end);
    if (stop <= static_cast<uint64_t>(data)) stop = end;
    out.push_back({static_cast<uint64_t>(data), stop - static_cast<uint64_t>(data)});
    at = stop;
  }
}

// The spans of the data file a journal saves for `regions`: clipped to the file's length,
// holes of cut regions left out, in increasing order, overlapping and adjoining ones joined.
std::vector<JournalRegion> PlanSaved(int fd, uint64_t length, const std::vector<JournalRegion>& regions) {
  std::vector<JournalRegion> parts;
  parts.reserve(regions.size());
  for (const auto& r : regions) {
    if (r.offset >= length || r.length == 0) continue;
    uint64_t end = r.offset + std::min(r.length, length - r.offset);
    if (r.cut) {
      AddDataExtents(fd, r.offset, end, parts);
    } else {
      parts.push_back({r.offset, end - r.offset});
    }
  }
  std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
  std::vector<JournalRegion> joined;
  for (const auto& r : parts) {
    if (!joined.empty()) {
      JournalRegion& last = joined.back();
      uint64_t last_end = last.offset + last.length;
      if (r.offset <= last_end && last.length < kMaxSavedRegion) {
        uint64_t end = std::max(last_end, r.offset + r.length);
        uint64_t room = kMaxSavedRegion - last.length;
        if (end - last_end <= room) {
          last.length = end - last.offset;
          continue;
        }
        // Only what fits joins; the rest starts a region of its own.
        last.length += room;
        joined.push_back({last.offset + last.length, end - (last.offset + last.length)});
        continue;
      }
    }
    joined.push_back(r);
  }
  return joined;
}

uint64_t Get(const std::string& in, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= uint64_t{static_cast<uint8_t>(in[at + i])} << (8 * i);
  return v;
}

// Takes the exclusive lock that marks a journal as owned by a live writer.
bool TryOwn(int fd) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// A shared lock: refused while a writer owns the journal. Taken by a reader that only looks.
bool TryShare(int fd) {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// Writes the journal's original bytes back into the data file and cuts it to its old length
// (which also brings back, as zeros, the holes of a cut region that were not saved).
Status Replay(FileIo& io, int data_fd, const std::vector<std::pair<uint64_t, std::string_view>>& regions,
              uint64_t original_length, bool sync) {
  for (const auto& [offset, bytes] : regions) {
    ISAM_RETURN_IF_ERROR(WriteFully(io, data_fd, bytes, offset, "journal replay"));
  }
  if (io.Ftruncate(data_fd, original_length) != 0) return Status::System(errno, "journal replay: truncate");
  if (sync && io.Fdatasync(data_fd) != 0) return Status::System(errno, "journal replay: flush");
  return Status::Ok();
}

Status Replay(FileIo& io, int data_fd, const JournalContents& c, bool sync) {
  std::vector<std::pair<uint64_t, std::string_view>> regions;
  regions.reserve(c.regions.size());
  for (const auto& [offset, bytes] : c.regions) regions.emplace_back(offset, bytes);
  return Replay(io, data_fd, regions, c.original_length, sync);
}

Status ReadWholeFile(int fd, std::string& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Status::System(errno, "journal");
  return ReadUpTo(fd, 0, static_cast<size_t>(st.st_size), out);
}

// Whether the open journal decodes as complete.
bool HoldsJournal(int fd) {
  std::string bytes;
  JournalContents c;
  return ReadWholeFile(fd, bytes).ok() && DecodeJournal(bytes, c);
}

// Makes the journal restore nothing. Written directly: it must also work when the update's
// own I/O has failed.
bool Clear(int fd) { return ::pwrite(fd, kCleared, sizeof kCleared, 0) == static_cast<ssize_t>(sizeof kCleared); }

}  // namespace

std::string JournalPathFor(const std::string& data_path) { return data_path + "-journal"; }

bool JournalIsHot(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool hot = HoldsJournal(fd);
  ::close(fd);
  return hot;
}

std::string EncodeJournal(const JournalContents& c) {
  size_t total = kFixedSize + c.control_file.size() + 8;
  for (const auto& region : c.regions) total += 12 + region.second.size();
  std::string out(total, '\0');
  size_t at = PutHead(out.data(), total, c.original_length, c.regions.size(), c.transaction, c.control_file);
  for (const auto& [offset, bytes] : c.regions) {
    PutAt(out.data() + at, offset, 8);
    PutAt(out.data() + at + 8, bytes.size(), 4);
    std::memcpy(out.data() + at + 12, bytes.data(), bytes.size());
    at += 12 + bytes.size();
  }
  Seal(out);
  return out;
}

bool DecodeJournal(const std::string& in, JournalContents& out) {
  if (in.size() < 8) return false;
  const bool v1 = std::memcmp(in.data(), kMagicV1, sizeof kMagicV1) == 0;
  if (!v1 && std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return false;
  const size_t fixed = v1 ? kFixedSizeV1 : kFixedSize;
  if (in.size() < fixed + 8) return false;
  size_t body = in.size() - 8;
  if (!v1) {
    uint64_t total = Get(in, 8, 8);
    if (total < fixed + 8 || total > in.size()) return false;
    body = static_cast<size_t>(total) - 8;
  }
  if (Get(in, body, 8) != Fnv1a(in.data(), body)) return false;
  JournalContents c;
  size_t at = v1 ? 8 : 16;
  c.original_length = Get(in, at, 8);
  uint64_t count = Get(in, at + 8, 4);
  c.transaction = static_cast<uint32_t>(Get(in, at + 12, 4));
  size_t name = Get(in, at + 16, 2);
  at = fixed;
  if (name > body - at) return false;
  c.control_file = in.substr(at, name);
  at += name;
  for (uint64_t i = 0; i < count; ++i) {
    if (body - at < 12) return false;
    uint64_t offset = Get(in, at, 8);
    uint64_t length = Get(in, at + 8, 4);
    at += 12;
    if (length > body - at) return false;
    c.regions.emplace_back(offset, in.substr(at, length));
    at += length;
  }
  if (at != body) return false;
  out = std::move(c);
  return true;
}

Journal::Journal(std::string data_path, FileIo* io, bool sync)
    : data_path_(std::move(data_path)), journal_path_(JournalPathFor(data_path_)), io_(io), sync_(sync) {}

Journal::~Journal() {
  // A hot journal stays for the recovery at the next open; a cleared one goes, unless another
  // writer has filled it meanwhile (and left it for recovery).
  if (fd_ >= 0 && !hot_ && TryOwn(fd_) && !Stale() && !HoldsJournal(fd_)) ::unlink(journal_path_.c_str());
  Close();
}

void Journal::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool Journal::Stale() const {
  struct stat mine {}, named {};
  if (::fstat(fd_, &mine) != 0 || mine.st_nlink == 0) return true;
  if (::stat(journal_path_.c_str(), &named) != 0) return true;
  return mine.st_ino != named.st_ino || mine.st_dev != named.st_dev;
}

void Journal::HoldFor(uint32_t number, std::string control_file) {
  hold_number_ = number;
  hold_control_ = std::move(control_file);
}

Status Journal::Own(bool& created) {
  created = false;
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (fd_ < 0) {
      fd_ = ::open(journal_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        created = true;
      } else if (errno == EEXIST) {
        fd_ = ::open(journal_path_.c_str(), O_RDWR | O_CLOEXEC);
      }
      if (fd_ < 0) {
        if (errno == ENOENT) continue;  // removed between the two opens
        return Status::System(errno, "open " + journal_path_);
      }
    }
    // Someone opening the file may be looking at the journal this very moment (recovery takes
    // the lock for as long as it reads): wait a little for it before giving up.
    bool owned = TryOwn(fd_);
    for (int wait = 0; !owned && (errno == EAGAIN || errno == EACCES) && wait < 200; ++wait) {
      ::usleep(1000);
      owned = TryOwn(fd_);
    }
    if (!owned) return Status::System(errno, "lock " + journal_path_);
    // Removed by someone else while it was not ours: start with a new one.
    if (!Stale()) return Status::Ok();
    Close();
  }
  return Status::System(EAGAIN, "open " + journal_path_);
}

void Journal::Disown() {
  struct flock fl {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  ::fcntl(fd_, F_OFD_SETLK, &fl);
}

Status Journal::Begin(int data_fd, uint64_t data_length, const std::vector<JournalRegion>& regions) {
  if (hot_) {
    if (held()) return Status::Error(kErrUnableToLog, "the file's part of a transaction is not finished");
    // An earlier failed update whose originals could not be put back: try again first.
    ISAM_RETURN_IF_ERROR(Undo(data_fd));
  }
  // The journal is laid out in one buffer (kept from the last update) and the originals are
  // read straight into it.
  std::vector<JournalRegion> spans = PlanSaved(data_fd, data_length, regions);
  size_t total = kFixedSize + hold_control_.size() + 8;
  for (const auto& r : spans) total += 12 + static_cast<size_t>(r.length);
  saved_.clear();
  image_.resize(total);
  size_t at = PutHead(image_.data(), total, data_length, spans.size(), hold_number_, hold_control_);
  for (const auto& r : spans) {
    size_t got = 0;
    ISAM_RETURN_IF_ERROR(ReadInto(data_fd, r.offset, image_.data() + at + 12, static_cast<size_t>(r.length), got));
    if (got != r.length) {
      saved_.clear();
      return Status::System(EIO, "journal: the file ends before its length");
    }
    PutAt(image_.data() + at, r.offset, 8);
    PutAt(image_.data() + at + 8, r.length, 4);
    saved_.push_back({r.offset, at + 12, got});
    at += 12 + got;
  }
  Seal(image_);
  original_length_ = data_length;
  bool created = false;
  ISAM_RETURN_IF_ERROR(Own(created));
  // Written over the last (cleared) journal in place; what of it lies beyond the new one's
  // length is of no meaning.
  Status st = WriteFully(*io_, fd_, image_, 0, "journal");
  if (st.ok() && sync_ && io_->Fdatasync(fd_) != 0) st = Status::System(errno, "journal flush");
  // A new journal's name must be on the disk before the data file changes.
  if (st.ok() && sync_ && created) st = SyncParentDirectory(*io_, journal_path_);
  if (!st.ok()) {
    // The data file is untouched; the journal is of no use.
    if (!Clear(fd_)) {
      // Left as it is: incomplete, it never decodes; complete, playing it back at the next open
      // writes the very bytes the file still holds (any later update writes its own journal
      // over this one first).
    }
    Disown();
    saved_.clear();
    return st;
  }
  hot_ = true;
  return Status::Ok();
}

// The commit point: a cleared journal restores nothing. The file itself stays for the next
// update, which writes over it (saving the creation, the directory's flush, and a change of
// the file's size at every flush).
Status Journal::Empty() {
  ISAM_RETURN_IF_ERROR(WriteFully(*io_, fd_, std::string_view(kCleared, sizeof kCleared), 0, "clear journal"));
  Disown();
  hot_ = false;
  Forget();
  return Status::Ok();
}

void Journal::Forget() {
  saved_.clear();
  if (image_.capacity() > kKeptImage) std::string().swap(image_);
}

Status Journal::Finish() {
  if (!hot_) return Status::Ok();
  if (held()) return Status::Ok();
  // Written and flushed in one step: should it fail, nothing of it is known to have been
  // written, the journal is still hot and the caller undoes the update.
  ssize_t n = sync_ ? io_->PwriteDurable(fd_, kCleared, sizeof kCleared, 0) : io_->Pwrite(fd_, kCleared, sizeof kCleared, 0);
  if (n != static_cast<ssize_t>(sizeof kCleared)) return Status::System(n < 0 ? errno : EIO, "clear journal");
  Disown();
  hot_ = false;
  Forget();
  return Status::Ok();
}

Status Journal::Release() {
  hold_number_ = 0;
  hold_control_.clear();
  if (!hot_) return Status::Ok();
  Status st = Empty();
  if (!st.ok()) {
    // Its transaction has committed: whatever is left of the journal names it, and the next
    // open discards it for that reason. It must never be replayed from here.
    Disown();
    hot_ = false;
    Forget();
  }
  return st;
}

Status Journal::Undo(int data_fd) {
  hold_number_ = 0;
  hold_control_.clear();
  if (!hot_) return Status::Ok();
  std::vector<std::pair<uint64_t, std::string_view>> regions;
  regions.reserve(saved_.size());
  for (const auto& s : saved_) regions.emplace_back(s.offset, std::string_view(image_).substr(s.at, s.length));
  Status st = Replay(*io_, data_fd, regions, original_length_, sync_);
  if (st.ok()) st = Empty();
  if (!st.ok()) return Status::Error(kErrUnableToRollback, st.detail);
  return Status::Ok();
}

Status RecoverJournal(const std::string& data_path, bool& recovered, bool read_only) {
  recovered = false;
  std::string journal_path = JournalPathFor(data_path);
  int jfd = ::open(journal_path.c_str(), (read_only ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (jfd < 0) {
    if (errno == ENOENT) return Status::Ok();
    // Without the right to write it, a cleared journal (of a writer still at work, say) is no
    // reason to refuse the file; one holding originals is, since it cannot be played back.
    if (!read_only && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      int rfd = ::open(journal_path.c_str(), O_RDONLY | O_CLOEXEC);
      bool hot = rfd >= 0 && HoldsJournal(rfd);
      if (rfd >= 0) ::close(rfd);
      if (rfd >= 0 && !hot) return Status::Ok();
    }
    return Status::Error(kErrUnableToRollback, "cannot open " + journal_path);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{jfd};
  // A read-only open only looks: a shared lock is refused just as well while a writer holds
  // the journal.
  if (read_only ? !TryShare(jfd) : !TryOwn(jfd)) return Status::Ok();  // its writer is still at work
  std::string bytes;
  ISAM_RETURN_IF_ERROR(ReadWholeFile(jfd, bytes));
  JournalContents c;
  if (!DecodeJournal(bytes, c)) {
    // Never completed (or cleared), so never acted upon.
    if (read_only) return Status::Ok();
    if (::unlink(journal_path.c_str()) != 0 && errno != ENOENT) return Status::System(errno, "remove " + journal_path);
    return Status::Ok();
  }
  bool undo = true;
  if (c.transaction != 0) {
    bool pending = false;
    Status st = TransactionStillRecorded(c.control_file, c.transaction, pending);
    if (!st.ok()) {
      return Status::Error(kErrUnableToLog, "transaction control file " + c.control_file + ": " + st.detail);
    }
    undo = pending;
  }
  if (read_only) {
    // The file is whole as it is unless the journal must be played back, which takes writing.
    if (!undo) return Status::Ok();
    return Status::Error(kErrUnableToRollback, data_path + " was left half updated; it must be opened for writing once " +
                                                   "to be restored from " + journal_path);
  }
  if (undo) {
    int dfd = ::open(data_path.c_str(), O_RDWR | O_CLOEXEC);
    if (dfd < 0) return Status::Error(kErrUnableToRollback, "cannot open " + data_path + " to restore it");
    Status st = Replay(SystemFileIo(), dfd, c, true);
    ::close(dfd);
    if (!st.ok()) return Status::Error(kErrUnableToRollback, st.detail);
    recovered = true;
  }
  if (::unlink(journal_path.c_str()) != 0 && errno != ENOENT) return Status::System(errno, "remove " + journal_path);
  return Status::Ok();
}

Status SettleJournalsForMove(const std::string& from, const std::string& to) {
  bool recovered = false;
  ISAM_RETURN_IF_ERROR(RecoverJournal(from, recovered));
  // Still there after a recovery: a live writer's. The file is in use.
  if (::access(JournalPathFor(from).c_str(), F_OK) == 0 && JournalIsHot(JournalPathFor(from))) {
    return Status::Error(kErrAccessDenied, JournalPathFor(from) + " is in use");
  }
  return DiscardJournal(to);
}

Status DiscardJournal(const std::string& data_path) {
  std::string journal_path = JournalPathFor(data_path);
  int jfd = ::open(journal_path.c_str(), O_RDWR | O_CLOEXEC);
  if (jfd < 0) return errno == ENOENT ? Status::Ok() : Status::System(errno, "open " + journal_path);
  bool owned = TryOwn(jfd);
  ::close(jfd);
  if (!owned) return Status::Error(kErrAccessDenied, journal_path + " is in use");
  if (::unlink(journal_path.c_str()) != 0 && errno != ENOENT) return Status::System(errno, "remove " + journal_path);
  return Status::Ok();
}

}  // namespace cinevo::isam
