#include "runtime/data/isam/transaction.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "runtime/data/isam/btree.h"
#include "runtime/data/isam/byte_order.h"

namespace cinevo::isam {
namespace {

// The changes are lost either way; what matters is that the cache forgets them.
void DropAll(const std::vector<PageStore*>& stores) {
  for (PageStore* s : stores) DropChanges(*s);
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

void Transaction::Logout(PageStore& store) {
  if (!Listed(store)) files_.push_back(&store);
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
  for (PageStore* s : listed) {
    if (s->has_changes()) DropChanges(*s);
  }
}

Status Transaction::Commit() {
  if (failed_) {
    Rollback();
    return Status::Error(kErrUnableToLog, "an update inside the transaction failed; nothing was written");
  }
  std::vector<PageStore*> listed;
  listed.swap(files_);
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
  // Kept open from one COMMIT to the next: reopening costs a new journal every time.
  if (!control_ || control_->path() != control) {
    control_.reset();
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
  uint32_t number = 0;
  // From the clock, but never a number given before (see ControlFile::Start).
  st = cf->Start(ClockTicks(), number);
  if (!st.ok()) {
    DropAll(changed);
    return Status::Error(kErrUnableToLog, control + ": " + st.detail);
  }
  last_number_ = number;
  last_control_ = control;

  // Phase one, in list order.
  size_t written = 0;
  Status failure;
  for (PageStore* s : changed) {
    BTree tree(*s);
    Record marker = MarkerRecord(number, control);
    bool found = false;
    st = tree.Replace(marker, found);
    if (st.ok() && !found) st = tree.Insert(marker, found);
    if (st.ok()) {
      if (s->journal()) s->journal()->HoldFor(number, control);
      st = s->Commit();
    }
    if (!st.ok()) {
      failure = st;
      break;
    }
    ++written;
  }

  bool restored = true;
  auto undo_written = [&] {
    for (size_t i = 0; i < written; ++i) {
      if (!changed[i]->UndoJournalled().ok()) restored = false;
    }
  };
  if (!failure.ok()) {
    undo_written();
    // The failing file put itself back unless its journal is still waiting to be replayed.
    PageStore* failed = changed[written];
    if (failed->journal() && failed->journal()->hot()) restored = false;
    for (size_t i = written; i < changed.size(); ++i) DropChanges(*changed[i]);
  }
  if (!restored) {
    // The record stays: every file still journalled for it is restored at its next open.
    return Status::Error(kErrUnableToRollback, failure.detail);
  }
  // The commit point (or the end of an undone transaction).
  Status fin = cf->Finish(number);
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
