#include "runtime/data/dispatch.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "runtime/core/error_codes.h"
#include "runtime/core/string_stack.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_errors.h"
#include "runtime/data/file_properties.h"

namespace cinevo {
namespace {

// Process-wide: installed once by the window layer (or by a test).
BuildMessageHook& Hook() {
  static BuildMessageHook hook;
  return hook;
}

bool IsBuildOp(DriverOp op) {
  return op == DriverOp::kBuildFile || op == DriverOp::kBuildKey || op == DriverOp::kBuildDyn ||
         op == DriverOp::kBuildDynFilter;
}

bool AllowedDuringBuild(DriverOp op) {
  return op == DriverOp::kClose || op == DriverOp::kName || op == DriverOp::kGetProperty ||
         op == DriverOp::kBuildEvent || op == DriverOp::kGetPropertyKey;
}

bool IsPositionCheckedOp(DriverOp op) {
  return op == DriverOp::kResetFile || op == DriverOp::kResetKey || op == DriverOp::kRegetFile ||
         op == DriverOp::kRegetKey;
}

// Operations whose first argument is a key.
bool TakesKey(int code, const OpRow& row) {
  if (row.required & kStateIndexBuilt) return true;
  auto op = static_cast<DriverOp>(code);
  return op == DriverOp::kBuildKey || op == DriverOp::kBuildDyn ||
         op == DriverOp::kBuildDynFilter || op == DriverOp::kSetPropertyKey ||
         op == DriverOp::kGetPropertyKey || op == DriverOp::kDoPropertyKey;
}

bool ValidKey(const FileControlBlock& fcb, int key) {
  return key >= 0 && static_cast<size_t>(key) < fcb.keys.size();
}

// Only spaces count: a position string is binary key data in which zero bytes are values.
bool IsBlank(std::string_view s) {
  for (char c : s) {
    if (c != ' ') return false;
  }
  return true;
}

// Control blocks with a BUILD message on its way. The message carries a bare pointer, so the
// answer is only carried out for a block still listed here (a destroyed block leaves the list).
std::vector<const FileControlBlock*>& PendingBuilds() {
  static std::vector<const FileControlBlock*> pending;
  return pending;
}

void ForgetPending(const FileControlBlock* fcb) {
  auto& p = PendingBuilds();
  p.erase(std::remove(p.begin(), p.end(), fcb), p.end());
}

// Calls the driver, or carries out what the dispatch does in its place: the deferred BUILD and
// BUILDevent, and the generic property answers.
int CallDriver(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  if (fcb.entry == nullptr) return kErrUnsupported;
  if (op == DriverOp::kBuildEvent) {
    if (!fcb.work || fcb.work->deferred.op == DriverOp::kNone) return 0;
    DeferredBuild stored = std::move(fcb.work->deferred);
    fcb.work->deferred = DeferredBuild{};
    DriverArgs build;
    build.key = stored.key;
    build.text = stored.components;
    build.text2 = stored.filter;
    fcb.state |= kStateBuildInProgress;
    int result = fcb.entry(stored.op, fcb, build);
    fcb.state &= ~static_cast<uint32_t>(kStateBuildInProgress);
    // The index counts as built once its stored build has succeeded, not when it was deferred.
    const OpRow* stored_row = OpTableRow(static_cast<int>(stored.op));
    if (result == 0 && stored_row && (stored_row->set & kStateIndexBuilt) && ValidKey(fcb, stored.key) &&
        fcb.keys[stored.key].needs_build) {
      fcb.keys[stored.key].built = true;
    }
    return result;
  }
  if (IsBuildOp(op) && (fcb.state & kStateBuildByEvents)) {
    fcb.state &= ~static_cast<uint32_t>(kStateBuildByEvents);
    if (fcb.work && Hook()) {
      DeferredBuild& d = fcb.work->deferred;
      d.op = op;
      d.key = args.key;
      d.components = std::string(args.text);
      d.filter = std::string(args.text2);
      ForgetPending(&fcb);
      PendingBuilds().push_back(&fcb);
      Hook()(kBuildMessage, fcb);
      return 0;
    }
    // Nobody would answer the message: build at once rather than never.
  }
  int result = fcb.entry(op, fcb, args);
  if (result == kErrUnsupported && (op == DriverOp::kGetProperty || op == DriverOp::kGetPropertyKey)) {
    // The driver does not answer this property itself: the declaration records may.
    int key = op == DriverOp::kGetPropertyKey ? args.key : kNoKey;
    if (auto answer = GenericProperty(fcb, key, args.property, args.index)) {
      args.text_result = std::move(*answer);
      return 0;
    }
  }
  return result;
}

}  // namespace

bool ReturnsString(DriverOp op) {
  return op == DriverOp::kGetProperty || op == DriverOp::kGetPropertyKey ||
         op == DriverOp::kBlobSetProp || op == DriverOp::kName || op == DriverOp::kPositionFile ||
         op == DriverOp::kPositionKey || op == DriverOp::kSend;
}

int DispatchToStack(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  int e = Dispatch(op, fcb, args);
  if (ReturnsString(op)) TheStringStack().PushOwned(std::move(args.text_result));
  return e;
}

void SetBuildMessageHook(BuildMessageHook hook) { Hook() = std::move(hook); }

int PreCheck(int code, const FileControlBlock& fcb, const DriverArgs& args) {
  const OpRow* row = OpTableRow(code);
  if (row == nullptr) return kErrUnsupported;
  auto op = static_cast<DriverOp>(code);
  // A stored BUILD of a dynamic index runs under its own rules: an open file may build one
  // whatever its access, so the answer to its message must not demand exclusive access that
  // the statement, which already returned success, did not need.
  if (op == DriverOp::kBuildEvent && fcb.work &&
      (fcb.work->deferred.op == DriverOp::kBuildDyn || fcb.work->deferred.op == DriverOp::kBuildDynFilter)) {
    row = OpTableRow(static_cast<int>(fcb.work->deferred.op));
  }
  const uint32_t f = fcb.state;
  const bool key_op = TakesKey(code, *row);
  if (key_op && !ValidKey(fcb, args.key)) return kErrUnableToAccessIndex;  // a key argument naming no key of the file

  uint32_t missing = row->required & ~f & ~static_cast<uint32_t>(kStateIndexBuilt);
  if (missing == 0 && key_op && fcb.keys[args.key].needs_build && !fcb.keys[args.key].built) {
    missing = row->required & kStateIndexBuilt;
  }
  if (missing == 0 && (f & kStateBuildInProgress) && !AllowedDuringBuild(op)) return kErrBuildInProgress;

  int result = 0;
  if (missing != 0) {
    if (missing & kStateOpen) {
      result = kErrFileNotOpen;
    } else if (row->forbidden & f & kStateLogoutActive) {
      result = kErrLogoutActive;  // a transaction's file is neither unlocked nor rebuilt, whatever else it lacks
    } else if (missing & kStateIndexBuilt) {
      result = kErrKeyFileMustBeRebuilt;
    } else if (!(f & kStateOpen)) {
      result = 0;  // e.g. PACK or BUILD of a closed file: the driver opens it itself
    } else if (missing & (kStateRecordCurrent | kStateSequenceSet)) {
      result = kErrRecordNotAvailable;
    } else if (missing & kStateExclusive) {
      result = kErrExclusiveAccessRequired;
    } else if (missing & kStateWriteAllowed) {
      result = kErrAccessDenied;
    } else {
      result = -1;
    }
  } else {
    uint32_t forbidden = row->forbidden & f;
    if (forbidden & kStateOpen) {
      result = kErrFileAlreadyOpen;
    } else if (forbidden & kStateLogoutActive) {
      result = kErrLogoutActive;
    } else if (forbidden != 0) {
      result = -1;
    }
  }
  if (result == 0 && IsPositionCheckedOp(op) && IsBlank(args.text)) result = kErrRecordNotFound;
  return result;
}

int DispatchRaw(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  const int code = static_cast<int>(op);
  const OpRow* row = OpTableRow(code);
  if (row == nullptr) {
    fcb.post_actions = 0;
    fcb.last_error = kErrUnsupported;
    PostFileError(kErrUnsupported, fcb);
    return kErrUnsupported;
  }
  if (fcb.driver == nullptr) {
    // Bound late: the block may have been made before its driver registered.
    if (const DriverRegistration* d = FindDriver(fcb.declaration->driver)) {
      fcb.driver = d;
      fcb.entry = d->entry;
    }
  }
  if (!fcb.work && fcb.driver != nullptr && fcb.driver->create_state != nullptr) {
    fcb.work = fcb.driver->create_state(fcb);
  }
  const bool string_op = ReturnsString(op);
  if (string_op) args.text_result.clear();

  const uint32_t before = fcb.state;
  int e = PreCheck(code, fcb, args);
  const bool driver_called = e == 0;
  // A BUILD handed to the window (deferred) leaves the key's built mark to its answer.
  const bool deferred = driver_called && IsBuildOp(op) && (fcb.state & kStateBuildByEvents) && fcb.work && Hook();
  if (driver_called) e = CallDriver(op, fcb, args);
  if (string_op && !fcb.work) args.text_result.clear();

  const bool key_marked = ValidKey(fcb, args.key) && fcb.keys[args.key].needs_build;
  uint8_t post = 0;
  if (e == 0) {
    // A read drops the marks of the record read before; when a HOLD or WATCH was pending, the
    // driver has just set the marks for the new record and they stand.
    if ((row->clear & kStateWatchRequested) && !(before & kStateWatchRequested)) {
      fcb.state &= ~static_cast<uint32_t>(kStateRecordWatched);
    }
    if ((row->clear & kStateHoldRequested) && !(before & kStateHoldRequested)) {
      fcb.state &= ~static_cast<uint32_t>(kStateRecordHeld);
    }
    const uint32_t word = ~static_cast<uint32_t>(kStateIndexBuilt);
    fcb.state = (fcb.state | (row->set & word)) & ~(row->clear & word);
    if (key_marked && !deferred) {
      if (row->set & kStateIndexBuilt) fcb.keys[args.key].built = true;
      if (row->clear & kStateIndexBuilt) fcb.keys[args.key].built = false;
    }
    if (op == DriverOp::kOpen || op == DriverOp::kShare) {
      const uint32_t access = AccessModeState(args.mode);
      fcb.state |= access;
      fcb.opened_exclusive = (access & kStateExclusive) != 0;
    }
    // LOCK marks the file exclusive; UNLOCK gives that back unless the file was opened deny-all.
    if (op == DriverOp::kUnlock && !fcb.opened_exclusive) {
      fcb.state &= ~static_cast<uint32_t>(kStateExclusive);
    }
    post = row->actions;
    if (!(row->required & kStateOpen) && !fcb.IsOpen() && !(row->actions & kPostAllowedClosed)) {
      post |= kPostFreeState;
    }
  } else {
    if (e == kErrFileNotOpen || ((row->actions & kPostFreeState) && e != kErrFileAlreadyOpen)) post |= kPostFreeState;
    // A failed OPEN leaves the file closed, and a closed file keeps no working state.
    if ((op == DriverOp::kOpen || op == DriverOp::kShare) && e != kErrFileAlreadyOpen && !fcb.IsOpen()) {
      post |= kPostFreeState;
    }
    uint32_t fail_clear = row->fail_clear;
    if (e == kErrRecordNotAvailable && fcb.driver != nullptr && fcb.driver->restarts_at_end) {
      fail_clear &= ~static_cast<uint32_t>(kStateSequenceSet | kStateFreshSequence);
    }
    fcb.state &= ~(fail_clear | kStateWatchRequested | kStateRecordWatched);
  }
  // A CLOSE that reached the driver ends everything the open file had (access, locks,
  // sequence, marks), even when the driver reported a failure; its working state goes too.
  if (op == DriverOp::kClose && driver_called) {
    fcb.state &= kStateBuildByEvents;
    post |= kPostFreeState;
  }
  // The working state of a file that is still open holds the driver's hold on it: it is never
  // freed under an open file (a CLOSE refused during a LOGOUT keeps it).
  if (fcb.IsOpen()) post &= ~static_cast<uint8_t>(kPostFreeState);

  fcb.post_actions = post;
  fcb.last_error = e == -1 ? 0 : e;
  if ((post & kPostRefreshError) && e == 0) ClearRuntimeError();
  if (post & kPostPositioning) {
    fcb.last_positioning = op;
    fcb.last_position_key = args.key;
  }
  if (post & kPostFreeState) fcb.work.reset();
  if (e > 0) PostFileError(e, fcb);
  return e;
}

int Dispatch(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  int e = DispatchRaw(op, fcb, args);
  return e == -1 ? 0 : e;
}

int DispatchCode(int code, FileControlBlock& fcb, DriverArgs& args) {
  if (code < 1 || code > kLastDriverOp) {
    fcb.post_actions = 0;
    fcb.last_error = kErrUnsupported;
    PostFileError(kErrUnsupported, fcb);
    return kErrUnsupported;
  }
  return Dispatch(static_cast<DriverOp>(code), fcb, args);
}

int RunDeferredBuild(FileControlBlock& fcb) {
  ForgetPending(&fcb);
  DriverArgs args;
  return Dispatch(DriverOp::kBuildEvent, fcb, args);
}

int AnswerBuildMessage(FileControlBlock* fcb) {
  auto& p = PendingBuilds();
  if (std::find(p.begin(), p.end(), fcb) == p.end()) return -1;
  return RunDeferredBuild(*fcb);
}

void DropPendingBuild(const FileControlBlock* fcb) { ForgetPending(fcb); }

}  // namespace cinevo
