#include "runtime/data/isam/transaction.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

// The changes are lost either way; what matters is that the cache forgets them.
void DropAll(const std::vector<PageStore*>& stores) {
  for (PageStore* s : stores) DropChanges(*s);
}

// Phase one of one file: its marker names the transaction, its journal is held for it.
Status PhaseOne(PageStore& store, uint32_t number, const std::string& control) {
  BTree tree(store);
  Record marker = MarkerRecord(number, control);
  bool found = false;
  Status st = tree.Replace(marker, found);
  if (st.ok() && !found) st = tree.Insert(marker, found);
  if (!st.ok()) return st;
  if (store.journal()) store.journal()->HoldFor(number, control);
  return store.Commit();
}

bool AllOnSystemIo(const std::vector<PageStore*>& stores) {
  for (const PageStore* s : stores) {
    if (&s->io() != &SystemFileIo()) return false;
  }
  return true;
}

bool SameFile(const PageStore& a, const PageStore& b) {
  struct stat sa {}, sb {};
  if (::stat(a.path().c_str(), &sa) != 0 || ::stat(b.path().c_str(), &sb) != 0) return a.path() == b.path();
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

Record MarkerRecord(uint32_t number, const std::string& control) {
  std::string bytes(1, static_cast<char>(kMarkerKey));
  AppendBe32(bytes, number);  // big-endian, as in the control file's transaction keys
  bytes += control;
  bytes.push_back('\0');
  return Record{bytes, 1};
}

Status ReadMarker(PageStore& store, uint32_t& number, std::string& control, bool& found) {
  BTree tree(store);
  Record r;
  ISAM_RETURN_IF_ERROR(tree.Find(std::string(1, static_cast<char>(kMarkerKey)), r, found));
  if (!found) return Status::Ok();
  std::string_view payload = std::string_view(r.bytes).substr(r.key_length);
  if (payload.size() < 5 || payload.back() != '\0') {
    return Status::Internal(kCheckRecordFields, "transaction marker without number and name");
  }
  number = GetBe32(reinterpret_cast<const uint8_t*>(payload.data()));
  control.assign(payload.substr(4, payload.size() - 5));
  return Status::Ok();
}

void DropChanges(PageStore& store) {
  store.Abort();
  // A header that cannot be read now is read again by the next operation.
  static_cast<void>(store.Refresh());
}

Transaction::~Transaction() {
  // The io given by set_io may be gone by now (a test's); the system's own finishes the work.
  if (control_) control_->store().set_io(nullptr);
  ReleaseReservation();
}

void Transaction::ReleaseReservation() {
  // A number left recorded only costs its record: no data file names it, and it is never given
  // again. So a failure here is of no consequence.
  if (control_ && reserved_ != 0 && control_->StillNamed()) static_cast<void>(control_->Finish(reserved_));
  reserved_ = 0;
  control_.reset();
}

void Transaction::Logout(PageStore& store, Settle settle) {
  auto it = std::find(files_.begin(), files_.end(), &store);
  if (it != files_.end()) {
    if (settle) settles_[static_cast<size_t>(it - files_.begin())] = std::move(settle);
    return;
  }
  files_.push_back(&store);
  settles_.push_back(std::move(settle));
}

bool Transaction::Listed(const PageStore& store) const {
  return std::find(files_.begin(), files_.end(), &store) != files_.end();
}

Transaction& ProgramTransaction() {
  static Transaction transaction;  // process-wide, as the transaction list is
  return transaction;
}

void Transaction::Forget(PageStore& store) {
  auto it = std::find(files_.begin(), files_.end(), &store);
  if (it == files_.end()) return;
  settles_.erase(settles_.begin() + (it - files_.begin()));
  files_.erase(it);
  if (store.has_changes()) DropChanges(store);
}

bool Transaction::ListsOtherOpenOf(const PageStore& store) const {
  for (const PageStore* s : files_) {
    if (s != &store && SameFile(*s, store)) return true;
  }
  return false;
}

void Transaction::Rollback() {
  failed_ = false;
  std::vector<PageStore*> listed;
  listed.swap(files_);
  settles_.clear();
  for (PageStore* s : listed) {
    if (s->has_changes()) DropChanges(*s);
  }
}

Status Transaction::Commit() {
  if (failed_) {
    Rollback();
    return Status::Error(kErrUnableToLog, "an update inside the transaction failed; nothing was written");
  }
  for (const Settle& settle : settles_) {
    if (!settle) continue;
    if (Status st = settle(); !st.ok()) {
      Rollback();
      return st;
    }
  }
  std::vector<PageStore*> listed;
  listed.swap(files_);
  settles_.clear();
  std::vector<PageStore*> changed;
  for (PageStore* s : listed) {
    if (s->has_changes()) changed.push_back(s);
  }
  if (changed.empty()) return Status::Ok();
  // Two opens of one physical file (two of its tables) each keep a cache of their own; both
  // changed cannot be written one over the other without losing half of it.
  for (size_t i = 0; i < changed.size(); ++i) {
    for (size_t j = i + 1; j < changed.size(); ++j) {
      if (SameFile(*changed[i], *changed[j])) {
        DropAll(changed);
        return Status::Error(kErrUnableToLog, changed[i]->path() + " was changed through two opens in one transaction");
      }
    }
  }
  if (changed.size() == 1) return changed.front()->Commit();  // drops the changes itself on failure
  return CommitSeveral(changed);
}

Status Transaction::CommitSeveral(const std::vector<PageStore*>& changed) {
  std::string control = ControlFilePathFor(changed.front()->path());
  // Kept open from one COMMIT to the next: reopening costs a new journal every time. A control
  // file removed (or made anew) since is given up with the number reserved in it.
  if (control_ && (control_->path() != control || !control_->StillNamed())) ReleaseReservation();
  if (!control_) {
    Status st = ControlFile::Open(control, control_);
    if (!st.ok()) {
      control_.reset();
      DropAll(changed);
      return st;
    }
  }
  ControlFile* cf = control_.get();
  cf->store().set_io(io_);
  Status st;
  uint32_t number = reserved_;
  reserved_ = 0;
  if (number == 0) {
    // From the clock, but never a number given before (see ControlFile::Start).
    st = cf->Start(ClockTicks(), number);
    if (!st.ok()) {
      DropAll(changed);
      return Status::Error(kErrUnableToLog, control + ": " + st.detail);
    }
  }
  last_number_ = number;
  last_control_ = control;

  // Phase one. Each file flushes its journal and then itself, and no file waits for another:
  // with the system's own I/O the files are written at the same time, so that their flushes
  // overlap, and meanwhile the control file's change is prepared (its journal written and
  // flushed; the control file itself is not touched before every file has finished). A test's
  // I/O (faults counted over all files, a power cut at one call) gets the same steps one after
  // the other: the control file's journal first, then the files in list order, stopping at the
  // first failure, so that a cut can fall in any of them.
  std::vector<Status> results(changed.size());
  auto phase_one = [&](size_t i) { results[i] = PhaseOne(*changed[i], number, control); };
  size_t attempted = 0;
  bool prepared = false;
  uint32_t next = 0;
  if (AllOnSystemIo(changed) && &cf->store().io() == &SystemFileIo()) {
    std::vector<std::thread> others;
    try {
      for (size_t i = 0; i < changed.size(); ++i) others.emplace_back(phase_one, i);
    } catch (const std::system_error&) {
      // No thread to be had: the files that have none are written here.
    }
    prepared = cf->PrepareFinish(number, ClockTicks(), next).ok();
    for (size_t i = others.size(); i < changed.size(); ++i) phase_one(i);
    for (auto& t : others) t.join();
    attempted = changed.size();
  } else {
    prepared = cf->PrepareFinish(number, ClockTicks(), next).ok();
    while (attempted < changed.size()) {
      phase_one(attempted);
      if (!results[attempted++].ok()) break;
    }
  }
  Status failure;
  for (size_t i = 0; i < attempted && failure.ok(); ++i) failure = results[i];

  bool restored = true;
  auto undo_written = [&] {
    for (size_t i = 0; i < attempted; ++i) {
      if (results[i].ok() && !changed[i]->UndoJournalled().ok()) restored = false;
    }
  };
  if (!failure.ok()) {
    undo_written();
    for (size_t i = 0; i < changed.size(); ++i) {
      if (i < attempted && results[i].ok()) continue;
      // A failing file put itself back unless its journal is still waiting to be replayed.
      if (i < attempted && changed[i]->journal() && changed[i]->journal()->hot()) restored = false;
      DropChanges(*changed[i]);
    }
  }
  if (!restored) {
    // The record stays: every file still journalled for it is restored at its next open.
    if (prepared) cf->CancelFinish();
    return Status::Error(kErrUnableToRollback, failure.detail);
  }
  // The commit point (or the end of an undone transaction), and the record of the next one.
  // A preparation that failed is tried once more in one piece.
  Status fin = prepared ? cf->CompleteFinish() : cf->FinishAndReserve(number, ClockTicks(), next);
  reserved_ = fin.ok() ? next : 0;
  if (!failure.ok()) return failure;
  if (!fin.ok()) {
    undo_written();
    if (!restored) return Status::Error(kErrUnableToRollback, fin.detail);
    return Status::Error(kErrUnableToLog, control + ": " + fin.detail);
  }
  // Phase two. A journal that cannot be removed now is removed at the next open, where the
  // missing record tells that its transaction committed.
  for (PageStore* s : changed) {
    if (s->journal()) static_cast<void>(s->journal()->Release());
  }
  return Status::Ok();
}

}  // namespace cinevo::isam
