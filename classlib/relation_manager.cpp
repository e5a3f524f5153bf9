#include "classlib/relation_manager.h"

#include <algorithm>

#include "classlib/field_values.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_properties.h"
#include "runtime/data/file_statements.h"
#include "runtime/ui/mouse_cursor.h"

namespace cinevo::classlib {
namespace {

constexpr int kLogoutSeconds = 2;

long& Touch() {
  static long counter = 1;
  return counter;
}

// The files of the transaction under way (the runtime runs one at a time per thread). A manager
// deep in a cascade that meets a failure rolls back all of them.
std::vector<FileControlBlock*>& ActiveTransaction() {
  thread_local std::vector<FileControlBlock*> files;
  return files;
}

}  // namespace

long TouchCounter() { return Touch(); }

void RelationManager::Init(FileManager& file, bool useLogout) {
  me_ = &file;
  relations_.clear();
  useLogout_ = useLogout;
}

void RelationManager::AddRelation(RelationManager& related) {
  RelationEntry e;
  e.file = &related;
  relations_.push_back(std::move(e));
}

void RelationManager::AddRelation(RelationManager& related, LinkAction update, LinkAction del, int hisKey) {
  RelationEntry e;
  e.file = &related;
  e.fields = std::make_unique<FieldPairs>();
  e.hisKey = hisKey;
  e.updateMode = update;
  e.deleteMode = del;
  relations_.push_back(std::move(e));
}

void RelationManager::AddRelationLink(std::span<uint8_t> myField, std::span<uint8_t> hisField) {
  if (relations_.empty() || relations_.back().fields == nullptr || myField.empty() || hisField.empty()) return;
  relations_.back().fields->AddPair(myField, hisField);
}

void RelationManager::Kill() {
  relations_.clear();
  if (me_ != nullptr) me_->Kill();
}

int RelationManager::CancelAutoInc() { return me_->CancelAutoInc(this); }

int RelationManager::OpenAll(bool recursing) {
  if (!recursing) {
    ++Touch();
  } else if (lastTouched_ == Touch()) {
    return kLevelBenign;
  }
  lastTouched_ = Touch();
  int r = me_->Open();
  if (!recursing && r == 0) r = me_->EnsureOpen();
  for (size_t i = 0; r == 0 && i < relations_.size(); ++i) r = relations_[i].file->OpenAll(true);
  return r;
}

int RelationManager::CloseAll(bool recursing) {
  if (!recursing) {
    ++Touch();
  } else if (lastTouched_ == Touch()) {
    return kLevelBenign;
  }
  lastTouched_ = Touch();
  int r = me_->Close();
  for (size_t i = 0; r == 0 && i < relations_.size(); ++i) r = relations_[i].file->CloseAll(true);
  return r;
}

void RelationManager::SaveLinks() {
  for (RelationEntry& e : relations_) {
    if (e.fields) e.fields->AssignLeftToBuffer();
  }
}

void RelationManager::SetQuickScan(bool on, int propagate) {
  constexpr int kPassBit = 0x80;
  if (propagate & kPassBit) {
    if (lastTouched_ == Touch()) return;
  } else if (propagate != 0) {
    ++Touch();
  }
  Send(me_->File(), on ? "QUICKSCAN=on" : "QUICKSCAN=off");
  if (propagate == 0) return;
  lastTouched_ = Touch();
  int select = propagate & ~kPassBit;
  for (RelationEntry& e : relations_) {
    bool child = e.hisKey >= 0;
    if ((select == 1 && child) || (select == 2 && !child)) continue;
    e.file->SetQuickScan(on, select | kPassBit);
  }
}

int RelationManager::JoinTransaction() {
  int r = me_->EnsureOpen();
  if (r != 0) return r;
  if (!useLogout_) return kLevelBenign;
  int e = SetProperty(me_->File(), kPropTransaction, "1");
  if (e == kErrUnsupported) {
    useLogout_ = false;  // this driver works without transactions from now on
    return kLevelBenign;
  }
  if (e != 0) {
    me_->SetError(msg::kTransactionError);
    RollbackIfUsed();
    me_->TakeError();
    return kLevelNotify;
  }
  auto& files = ActiveTransaction();
  if (std::find(files.begin(), files.end(), &me_->File()) == files.end()) files.push_back(&me_->File());
  return kLevelBenign;
}

// Joins this file and the files the change will reach. `seen` keeps a file from being visited
// twice when relations run both ways.
int RelationManager::Join(JoinFor what, std::vector<RelationManager*>& seen) {
  if (std::find(seen.begin(), seen.end(), this) != seen.end()) return kLevelBenign;
  seen.push_back(this);
  int r = JoinTransaction();
  for (size_t i = 0; r == 0 && i < relations_.size(); ++i) {
    const RelationEntry& e = relations_[i];
    if (what == JoinFor::kUpdate) {
      if (e.updateMode == kLinkCascade || e.updateMode == kLinkClear) r = e.file->Join(JoinFor::kUpdate, seen);
    } else if (e.deleteMode == kLinkCascade) {
      r = e.file->Join(JoinFor::kDelete, seen);
    } else if (e.deleteMode == kLinkClear && what == JoinFor::kDelete) {
      r = e.file->Join(JoinFor::kDeleteCascadeOnly, seen);
    }
  }
  return r;
}

int RelationManager::BeginTransaction(JoinFor what) {
  ActiveTransaction().clear();
  std::vector<RelationManager*> seen;
  int r = Join(what, seen);
  if (r != 0) return r;
  auto& files = ActiveTransaction();
  if (!useLogout_ || files.empty()) return kLevelBenign;
  int e = Logout(kLogoutSeconds, files);
  if (e != 0) {
    me_->SetError(msg::kTransactionError);
    files.clear();  // LOGOUT has already undone what it began
    me_->TakeError();
    return kLevelNotify;
  }
  return kLevelBenign;
}

void RelationManager::RollbackIfUsed() {
  auto& files = ActiveTransaction();
  if (!useLogout_ || files.empty()) return;
  Rollback(files);
  files.clear();
}

void RelationManager::CommitIfUsed() {
  auto& files = ActiveTransaction();
  if (!useLogout_ || files.empty()) return;
  Commit(files);
  files.clear();
}

int RelationManager::Update(bool ditto) {
  int r = OpenAll(false);
  auto leave = [this](int result) {
    // A failure deep in a cascade by a manager without transactions leaves the transaction to us.
    if (result != 0 && !ActiveTransaction().empty()) {
      Rollback(ActiveTransaction());
      ActiveTransaction().clear();
    }
    CloseAll(false);
    return result;
  };
  if (r != 0) return leave(r);
  if (useLogout_ && (r = BeginTransaction(JoinFor::kUpdate)) != 0) return leave(r);
  r = me_->Update(ditto ? kUpdateDitto : kUpdateReport);
  if (r != 0) {
    RollbackIfUsed();
    uint16_t why = me_->LastError();
    return leave(why == msg::kChanged || why == msg::kChangedDitto ? kLevelQuestion : kLevelNotify);
  }
  for (RelationEntry& e : relations_) {
    if (e.updateMode == kLinkNone || !e.IsChild() || e.fields->EqualLeftBuffer()) continue;
    r = e.file->UpdateChildren(e.hisKey, *e.fields, e.updateMode);
    if (r != 0) {
      e.fields->AssignBufferToLeft();
      return leave(r);
    }
  }
  if (useLogout_ && !ActiveTransaction().empty()) {
    int c = Commit(ActiveTransaction());
    ActiveTransaction().clear();
    if (c != 0) {
      // Nothing of the change reached the file: say so rather than return success.
      me_->SetError(msg::kNotUpdated);
      me_->TakeError();
      return leave(kLevelNotify);
    }
  }
  return leave(kLevelBenign);
}

// Clears the child's buffer, puts the parent's linking values in it (the saved old ones, or the
// current ones), the rest of the key at its low limit, and positions the file there in key order.
void RelationManager::PositionChildren(int key, FieldPairs& pairs, bool oldValues) {
  for (const FieldDeclaration& f : me_->File().declaration->fields) {
    if (f.type == TypeCode::kEnd) break;
    ClearField(f, me_->Buffer(), 0);
  }
  if (oldValues) {
    pairs.AssignBufferToRight();
  } else {
    pairs.AssignLeftToRight();
  }
  me_->SetKeyLimits(key, static_cast<int>(pairs.Size()) + 1, me_->GetComponents(key), false);
  SetKeyFromKey(me_->File(), key, key);
}

// Reads the next record of a child scan. False when the scan ends: at the end of the file, or
// after a failed read, which is rolled back and reported, and leaves `result` at 5.
bool RelationManager::NextChild(int& result) {
  int r = me_->Next(false);
  if (me_->AtEOF()) return false;
  if (r == 0) return true;
  RollbackIfUsed();
  me_->TakeError();
  result = kLevelNotify;
  return false;
}

int RelationManager::UpdateChildren(int key, FieldPairs& pairs, int action) {
  if (me_->EnsureOpen() != 0) return kLevelNotify;
  long saved = me_->SaveFile();
  PositionChildren(key, pairs, true);
  int result = kLevelBenign;
  for (;;) {
    if (!NextChild(result)) break;
    if (!pairs.EqualRightBuffer()) break;  // the old parent's children are done
    SaveLinks();
    if (action == kLinkRestrict) {
      me_->SetError(msg::kRestrictUpdate);
      RollbackIfUsed();
      me_->TakeError();
      pairs.AssignBufferToLeft();
      result = kLevelNotify;
      break;
    }
    if (action == kLinkClear) {
      pairs.ClearRight();
    } else if (action == kLinkCascade) {
      pairs.AssignLeftToRight();
    } else {
      break;
    }
    if (UpdateSecondary() != 0) {
      result = kLevelNotify;
      break;
    }
  }
  me_->RestoreFile(saved);
  return result;
}

int RelationManager::UpdateSecondary() {
  for (RelationEntry& e : relations_) {
    if (e.updateMode == kLinkNone || !e.IsChild() || e.fields->EqualLeftBuffer()) continue;
    if (e.file->UpdateChildren(e.hisKey, *e.fields, e.updateMode) != 0) {
      e.fields->AssignBufferToLeft();
      return kLevelNotify;
    }
  }
  if (me_->Update(kUpdateQuiet) != 0) {
    me_->SetError(msg::kNotUpdated);
    RollbackIfUsed();
    return me_->TakeError();
  }
  return kLevelBenign;
}

int RelationManager::Delete(bool ask) {
  if (ask && me_->Throw(msg::kConfirmDelete) != 0) return kLevelNotify;
  for (;;) {
    SetMouseCursor(kCursorBusy);
    std::string position = me_->GetPosition();
    long saved = 0;
    bool asked = false;  // the failure came from the DELETE itself: offer to try again
    int r = OpenAll(false);
    if (r == 0) {
      saved = me_->SaveFile();
      if (useLogout_) r = BeginTransaction(JoinFor::kDelete);
    }
    if (r == 0) {
      me_->Fetch(position);  // the record to delete, read again
      for (RelationEntry& e : relations_) {
        if (e.deleteMode == kLinkNone || !e.IsChild()) continue;
        r = e.file->DeleteChildren(e.hisKey, *e.fields, e.deleteMode);
        if (r != 0) break;
      }
    }
    if (r == 0) {
      asked = true;
      if (cinevo::Delete(me_->File()) != 0) {
        me_->SetError(msg::kNotDeleted);
        RollbackIfUsed();
        me_->TakeError();
        r = kLevelNotify;
      } else if (useLogout_ && !ActiveTransaction().empty()) {
        int c = Commit(ActiveTransaction());
        ActiveTransaction().clear();
        if (c != 0) {
          me_->SetError(msg::kNotDeleted);
          me_->TakeError();
          r = kLevelNotify;
        }
      }
    }
    if (r != 0 && !ActiveTransaction().empty()) {
      Rollback(ActiveTransaction());
      ActiveTransaction().clear();
    }
    SetMouseCursor(kCursorDefault);
    if (saved != 0) me_->RestoreFile(saved);
    CloseAll(false);
    if (r == 0) return kLevelBenign;
    if (!asked || me_->Throw(msg::kDeleteError) != 0) return r;
  }
}

int RelationManager::DeleteChildren(int key, FieldPairs& pairs, int action) {
  if (me_->EnsureOpen() != 0) return kLevelNotify;
  long saved = me_->SaveFile();
  PositionChildren(key, pairs, false);
  int result = kLevelBenign;
  for (;;) {
    if (!NextChild(result)) break;
    if (!pairs.Equal()) break;
    if (action == kLinkRestrict) {
      me_->SetError(msg::kRestrictDelete);
      RollbackIfUsed();
      me_->TakeError();
      result = kLevelNotify;
      break;
    }
    if (action == kLinkClear) {
      SaveLinks();
      pairs.ClearRight();
      if (UpdateSecondary() != 0) {
        result = kLevelNotify;
        break;
      }
      continue;
    }
    if (action != kLinkCascade) break;
    int r = kLevelBenign;
    for (RelationEntry& e : relations_) {
      if (e.deleteMode == kLinkNone || !e.IsChild()) continue;
      r = e.file->DeleteChildren(e.hisKey, *e.fields, e.deleteMode);
      if (r != 0) break;
    }
    if (r != 0) {
      result = r;
      break;
    }
    if (cinevo::Delete(me_->File()) != 0) {
      me_->SetError(msg::kNotDeleted);
      RollbackIfUsed();
      me_->TakeError();
      result = kLevelNotify;
      break;
    }
  }
  me_->RestoreFile(saved);
  return result;
}

void RelationManager::ListLinkingFields(RelationManager& related, FieldPairs& receiver, bool reversed) {
  for (RelationEntry& e : relations_) {
    if (e.file != &related) continue;
    if (e.fields == nullptr) {
      related.ListLinkingFields(*this, receiver, true);
      return;
    }
    for (const FieldPairs::Pair& p : e.fields->Pairs()) {
      if (reversed) {
        receiver.AddPair(p.left, p.right);
      } else {
        receiver.AddPair(p.right, p.left);
      }
    }
    return;
  }
}

}  // namespace cinevo::classlib
