#include "runtime/data/isam/transaction_control.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>

namespace cinevo::isam {
namespace {

// The same byte as the update lock of every data file, so that a program opening the control
// file as a data file is kept out as well.
constexpr uint64_t kControlUpdateLock = 0x80000000ull + 0x3FF;
constexpr int kControlLockWaitMs = 10000;

std::string& Setting() {
  static std::string name;  // process-wide, as SEND "TCF=" is
  return name;
}

std::string TransactionKey(uint32_t number) {
  std::string k(4, '\0');
  for (int i = 0; i < 4; ++i) k[i] = static_cast<char>((number >> (24 - 8 * i)) & 0xFF);
  return k;
}

PageStoreOptions ControlOptions() {
  PageStoreOptions o;
  o.sync = true;
  return o;
}

}  // namespace

void SetControlFileName(std::string name) { Setting() = std::move(name); }
const std::string& ControlFileName() { return Setting(); }

std::string ControlFilePathFor(const std::string& data_path) {
  if (!Setting().empty()) return Setting();
  auto slash = data_path.find_last_of('/');
  std::string dir = slash == std::string::npos ? std::string() : data_path.substr(0, slash + 1);
  return dir + std::string(kDefaultControlFileName);
}

uint32_t ClockTicks() {
  std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now().time_since_epoch()).count() % 1000;
  return static_cast<uint32_t>((local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100 + ms / 10 + 1);
}

Status ControlFile::Open(const std::string& path, std::unique_ptr<ControlFile>& out) {
  std::unique_ptr<ControlFile> cf(new ControlFile());
  cf->path_ = path;
  int err = 0;
  // Made empty, never made anew over one that another program has just made and filled: an
  // empty file is a new file of the format, whose first commit writes its header.
  int made = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (made >= 0) {
    ::close(made);
    // A journal left from an earlier control file of this name must not be played back over
    // the new one (one in use is another program's, on the new file already).
    Status dropped = DiscardJournal(path);
    if (!dropped.ok() && dropped.code != kErrAccessDenied) return dropped;
  } else if (errno != EEXIST) {
    int e = errno;
    if (e == ENOENT) return Status::Error(kErrPathNotFound, path);
    if (e == EACCES || e == EPERM || e == EROFS) return Status::Error(kErrAccessDenied, path);
    return Status::System(e, path);
  }
  cf->lock_ = platform::FileLock::Open(path, err);
  if (!cf->lock_) {
    if (err == ENOENT) return Status::Error(kErrFileNotFound, path);
    if (err == EACCES || err == EPERM || err == EROFS) return Status::Error(kErrAccessDenied, path);
    return Status::System(err, path);
  }
  ISAM_RETURN_IF_ERROR(PageStore::Open(path, ControlOptions(), cf->store_));
  struct stat opened {};
  if (::stat(path.c_str(), &opened) == 0) {
    cf->device_ = opened.st_dev;
    cf->inode_ = opened.st_ino;
  }
  out = std::move(cf);
  return Status::Ok();
}

ControlFile::~ControlFile() = default;

Status ControlFile::Locked() {
  int e = lock_->Lock(kControlUpdateLock, 1, kControlLockWaitMs);
  if (e != 0) return Status::System(e, "update lock of " + path_);
  Status st = store_->Refresh();
  if (!st.ok()) Unlocked();
  return st;
}

void ControlFile::Unlocked() { lock_->Unlock(kControlUpdateLock, 1); }

// Inserts the record of a new transaction number (the caller holds the update lock and commits).
Status ControlFile::RecordNew(uint32_t start, uint32_t& number) {
  BTree tree(*store_);
  // A number is never given twice while the control file lives, whichever program asks:
  // phase two clears the held journals without flushing them, so after a loss of power one
  // of them may still name a finished transaction, and a later transaction recorded under the
  // same number would have that file put back to before the one that committed. The header's
  // number counter (unused otherwise: these records have no table) keeps the last number given,
  // and the search starts above it when the clock is behind (past midnight, or a burst of
  // commits that ran ahead of it).
  uint32_t next = store_->header().number_counter + 1;
  if ((next >> 24) >= 0xFE) next = 1;  // after 4,261,412,863 numbers the count starts again
  uint32_t n = std::max({start, next, 1u});
  for (;;) {
    bool existed = false;
    ISAM_RETURN_IF_ERROR(tree.Insert(Record{TransactionKey(n), 4}, existed));
    if (!existed) break;
    if (++n == 0) n = 1;
  }
  number = n;
  store_->SetNumberCounter(n);
  return Status::Ok();
}

Status ControlFile::Start(uint32_t start, uint32_t& number) {
  ISAM_RETURN_IF_ERROR(Locked());
  Status st = RecordNew(start, number);
  if (st.ok()) st = store_->Commit();
  if (!st.ok()) store_->Abort();
  Unlocked();
  return st;
}

Status ControlFile::Finish(uint32_t number) {
  ISAM_RETURN_IF_ERROR(Locked());
  Status st = [&]() -> Status {
    BTree tree(*store_);
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree.Erase(TransactionKey(number), found));
    return store_->Commit();
  }();
  if (!st.ok()) store_->Abort();
  Unlocked();
  return st;
}

Status ControlFile::FinishAndReserve(uint32_t number, uint32_t start, uint32_t& reserved) {
  ISAM_RETURN_IF_ERROR(PrepareFinish(number, start, reserved));
  Status st = CompleteFinish();
  if (!st.ok()) reserved = 0;
  return st;
}

Status ControlFile::PrepareFinish(uint32_t number, uint32_t start, uint32_t& reserved) {
  ISAM_RETURN_IF_ERROR(Locked());
  Status st = [&]() -> Status {
    BTree tree(*store_);
    bool found = false;
    ISAM_RETURN_IF_ERROR(tree.Erase(TransactionKey(number), found));
    ISAM_RETURN_IF_ERROR(RecordNew(start, reserved));
    return store_->Prepare();
  }();
  if (!st.ok()) {
    store_->Abort();
    reserved = 0;
    Unlocked();
  }
  return st;
}

Status ControlFile::CompleteFinish() {
  Status st = store_->Commit();
  if (!st.ok()) store_->Abort();
  Unlocked();
  return st;
}

void ControlFile::CancelFinish() {
  store_->Abort();
  Unlocked();
}

bool ControlFile::StillNamed() const {
  struct stat now {};
  return ::stat(path_.c_str(), &now) == 0 && now.st_dev == device_ && now.st_ino == inode_;
}

Status ControlFile::Recorded(uint32_t number, bool& recorded) {
  ISAM_RETURN_IF_ERROR(Locked());
  BTree tree(*store_);
  Record r;
  Status st = tree.Find(TransactionKey(number), r, recorded);
  Unlocked();
  return st;
}

Status TransactionStillRecorded(const std::string& control, uint32_t number, bool& recorded) {
  recorded = false;
  struct stat st {};
  if (::stat(control.c_str(), &st) != 0) {
    if (errno == ENOENT) return Status::Ok();
    return Status::System(errno, control);
  }
  std::unique_ptr<ControlFile> cf;
  ISAM_RETURN_IF_ERROR(ControlFile::Open(control, cf));
  return cf->Recorded(number, recorded);
}

}  // namespace cinevo::isam
