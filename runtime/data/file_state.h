// The per-file state word and the per-call post-action word.
#pragma once

#include <cstdint>

namespace cinevo {

// FileState bits. The dispatch reads and writes the word through the operation table; drivers
// may also set kStateRecordWatched and kStateRecordHeld, and set kStateWriteAllowed and
// kStateExclusive when they open a file (AccessModeState helps).
enum FileState : uint32_t {
  kStateOpen = 0x0001,
  kStateRecordCurrent = 0x0002,   // the buffer holds a record PUT/DELETE may address
  kStateLogoutActive = 0x0004,
  kStateStreaming = 0x0008,
  kStateLocked = 0x0010,
  kStateSequenceSet = 0x0020,     // SET/RESET fixed an order and position
  kStateWriteAllowed = 0x0040,
  kStateExclusive = 0x0080,       // opened deny-all, or locked
  kStateIndexBuilt = 0x0100,      // never in the file word: kept per key (KeyRuntime::built)
  kStateWatchRequested = 0x0200,
  kStateRecordWatched = 0x0400,
  kStateHoldRequested = 0x0800,
  kStateRecordHeld = 0x1000,
  kStateFreshSequence = 0x2000,
  kStateBuildInProgress = 0x4000,
  kStateBuildByEvents = 0x8000,   // the next BUILD is deferred to BUILDevent
};

// Post-action bits of an operation (column A of the operation table) and of the per-call word.
enum PostAction : uint8_t {
  kPostRefreshError = 0x1,   // the runtime's error status is refreshed after the call
  kPostFreeState = 0x2,      // the driver's working state is freed after the call
  kPostPositioning = 0x4,    // the code becomes the file's last positioning operation
  kPostAllowedClosed = 0x8,  // allowed on a file that is not open
};

// OPEN/SHARE access modes: low nibble the access (0 read, 1 write, 2 read/write), high nibble
// the sharing (0x00 compatibility, 0x10 deny all, 0x20 deny write, 0x30 deny read, 0x40 deny
// none).
inline constexpr uint32_t kOpenDefaultMode = 0x22;
inline constexpr uint32_t kShareDefaultMode = 0x42;

// The state bits an opened file gets from its access mode: kStateWriteAllowed for write or
// read/write access, kStateExclusive for deny-all sharing.
constexpr uint32_t AccessModeState(uint32_t mode) {
  uint32_t bits = 0;
  uint32_t access = mode & 0x0F;
  uint32_t share = mode & 0xF0;
  if (access == 1 || access == 2) bits |= kStateWriteAllowed;
  if (share == 0x10) bits |= kStateExclusive;
  return bits;
}

}  // namespace cinevo
