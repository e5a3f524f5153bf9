// A small in-memory driver for tests of the file model: it records every operation that reaches
// it, answers with configurable results, counts its live working states, and marks reads as
// held/watched when a HOLD/WATCH is pending, as a real driver does.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/core/error_codes.h"
#include "runtime/data/driver.h"
#include "runtime/data/file_control_block.h"

namespace cinevo::testing {

struct RecordingDriver {
  std::vector<DriverOp> calls;              // every operation that reached the entry
  std::vector<DriverArgs> args;             // their argument lists (views stay the caller's)
  std::map<DriverOp, int> results;          // outcome per operation (default 0)
  std::map<DriverOp, std::string> texts;    // string result per operation
  std::map<DriverOp, int64_t> numbers;      // number result per operation
  std::function<void(DriverOp, FileControlBlock&)> during;  // runs inside the call
  int os_error = 0;                         // stored in the control block on result 90
  int states_created = 0;
  int states_live = 0;

  void Reset() { *this = RecordingDriver{}; }
  int Count(DriverOp op) const {
    int n = 0;
    for (DriverOp c : calls) n += c == op;
    return n;
  }

  static RecordingDriver& Get() {
    static RecordingDriver driver;
    return driver;
  }
};

class RecordingState : public DriverWorkingState {
 public:
  RecordingState() {
    ++RecordingDriver::Get().states_created;
    ++RecordingDriver::Get().states_live;
  }
  ~RecordingState() override { --RecordingDriver::Get().states_live; }
  RecordingState(const RecordingState&) = delete;
  RecordingState& operator=(const RecordingState&) = delete;
};

inline std::unique_ptr<DriverWorkingState> CreateRecordingState(FileControlBlock&) {
  return std::make_unique<RecordingState>();
}

inline bool IsRead(DriverOp op) {
  switch (op) {
    case DriverOp::kGetFileKey: case DriverOp::kGetFilePtr: case DriverOp::kGetKeyPtr:
    case DriverOp::kGetFilePtrLen: case DriverOp::kNext: case DriverOp::kPrevious:
    case DriverOp::kRegetFile: case DriverOp::kRegetKey:
      return true;
    default:
      return false;
  }
}

inline int RecordingEntry(DriverOp op, FileControlBlock& fcb, DriverArgs& args) {
  RecordingDriver& d = RecordingDriver::Get();
  d.calls.push_back(op);
  d.args.push_back(args);
  if (d.during) d.during(op, fcb);
  auto r = d.results.find(op);
  int result = r == d.results.end() ? 0 : r->second;
  if (result == 0 && IsRead(op)) {
    if (fcb.state & kStateHoldRequested) fcb.state |= kStateRecordHeld;
    if (fcb.state & kStateWatchRequested) fcb.state |= kStateRecordWatched;
  }
  if (auto t = d.texts.find(op); t != d.texts.end()) args.text_result = t->second;
  if (auto n = d.numbers.find(op); n != d.numbers.end()) args.number_result = n->second;
  if (result == kErrFileSystem) fcb.os_error = d.os_error;
  // Properties are left to the generic answers unless a test sets a result.
  if (r == d.results.end() && (op == DriverOp::kGetProperty || op == DriverOp::kGetPropertyKey) &&
      d.texts.find(op) == d.texts.end()) {
    return kErrUnsupported;
  }
  return result;
}

inline constexpr uint8_t kRecordingOps[] = {1, 7, 24, 25, 48, 60};
inline constexpr uint8_t kRecordingTypes[] = {1, 2, 6, 18, 22};

inline const DriverRegistration& RecordingRegistration() {
  static const DriverRegistration reg{kRecordingOps, kRecordingTypes, "RECTEST", "RECTEST.LIB",
                                      "Recording test driver", &RecordingEntry,
                                      &CreateRecordingState};
  return reg;
}

}  // namespace cinevo::testing
