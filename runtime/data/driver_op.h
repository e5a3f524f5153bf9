// Driver operation codes, their printed names, and the operation table through which the common
// dispatch checks and updates a file's state word.
#pragma once

#include <cstdint>
#include <string_view>

namespace cinevo {

enum class DriverOp : uint8_t {
  kNone = 0,
  kAdd = 1,
  kBof = 2,
  kBuildFile = 3,
  kAppend = 4,
  kBuildDyn = 5,
  kBuildKey = 6,
  kClose = 7,
  kCommit = 8,
  kCopy = 9,
  kCreate = 10,
  kDelete = 11,
  kDuplicate = 12,
  kEmpty = 13,
  kEof = 14,
  kGetFileKey = 15,
  kGetFilePtr = 16,
  kGetKeyPtr = 17,
  kHoldFile = 18,
  kHoldFileSec = 19,
  kLockFile = 20,
  kLockFileSec = 21,
  kLogout = 22,
  kName = 23,
  kNext = 24,
  kOpen = 25,
  kPack = 26,
  kPointerFile = 27,
  kPointerKey = 28,
  kFlush = 29,
  kPut = 30,
  kPrevious = 31,
  kRecordsFile = 32,
  kRecordsKey = 33,
  kBuildDynFilter = 34,
  kUnused35 = 35,
  kRelease = 36,
  kRemove = 37,
  kRename = 38,
  kUnused39 = 39,
  kRollback = 40,
  kSetFile = 41,
  kSetFileKey = 42,
  kSetFilePtr = 43,
  kSetKey = 44,
  kSetKeyKey = 45,
  kSetKeyPtr = 46,
  kSetKeyKeyPtr = 47,
  kShare = 48,
  kSkip = 49,
  kUnlock = 50,
  kAddFileLen = 51,
  kBytes = 52,
  kGetFilePtrLen = 53,
  kPutFilePtr = 54,
  kPutFilePtrLen = 55,
  kStream = 56,
  kDuplicateKey = 57,
  kWatch = 58,
  kAppendLen = 59,
  kSend = 60,
  kPositionFile = 61,
  kPositionKey = 62,
  kResetFile = 63,
  kResetKey = 64,
  kNoMemo = 65,
  kRegetFile = 66,
  kRegetKey = 67,
  kNull = 68,
  kSetNull = 69,
  kSetNoNull = 70,
  kSetProperty = 71,
  kGetProperty = 72,
  kQueryKey = 73,
  kQueryView = 74,
  kBlobYield = 75,
  kBlobTake = 76,
  kBlobSize = 77,
  kBlobGetProp = 78,
  kBlobSetProp = 79,
  kBuffer = 80,
  kSetView = 81,
  kClear = 82,
  kResetViewFile = 83,
  kBuildEvent = 84,
  kSetPropertyKey = 85,
  kGetPropertyKey = 86,
  kInternal87 = 87,
  kDoProperty = 88,
  kDoPropertyKey = 89,
  kDoPropertyBlob = 90,
  kInternal91 = 91,
  kInView = 92,
  kEndView = 93,
};

inline constexpr int kLastDriverOp = 93;

// One row of the operation table. All masks are FileState bits; `actions` are PostAction bits.
struct OpRow {
  uint8_t actions;     // A: post-call actions
  uint32_t required;   // Req: bits that must be set
  uint32_t forbidden;  // Forb: bits that must be clear
  uint32_t set;        // Set: bits set after success
  uint32_t clear;      // Clr: bits cleared after success
  uint32_t fail_clear; // FailClr: bits cleared after failure
};

// The row of code 1..93; nullptr for any other code.
const OpRow* OpTableRow(int code);

// The printed name of a code: "ADD", "(0)", "(35)", "Internal", ...; "UNKNOWN" outside 0..93.
std::string_view DriverOpName(int code);
inline std::string_view DriverOpName(DriverOp op) { return DriverOpName(static_cast<int>(op)); }

}  // namespace cinevo
