// The runtime's control block of one FILE: which driver carries out its operations, its
// declaration, record buffer and state word, the driver's per-file working state, and the
// outcome of its last operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "runtime/data/driver_args.h"
#include "runtime/data/driver_op.h"
#include "runtime/data/file_declaration.h"
#include "runtime/data/file_state.h"

namespace cinevo {

struct FileControlBlock;
struct DriverRegistration;

// The driver entry: carries out `op` on `fcb`. Returns 0 for success, a positive error code, or
// -1 for "skipped, no error".
using DriverEntry = int (*)(DriverOp op, FileControlBlock& fcb, DriverArgs& args);

// A BUILD operation stored for BUILDevent (the deferred BUILD). Strings are owned copies.
struct DeferredBuild {
  DriverOp op = DriverOp::kNone;  // kNone: nothing stored
  int key = kNoKey;
  std::string components;         // BUILDdyn/BUILDdynfilter component list
  std::string filter;             // BUILDdynfilter filter
};

// Base of every driver's per-file working state. A driver derives its own, creates it through
// DriverRegistration::create_state when the dispatch asks (first operation on a file without
// one) and never frees it itself: the dispatch frees it after CLOSE, after file-level operations
// on a closed file, and after failures that leave the file closed.
class DriverWorkingState {
 public:
  virtual ~DriverWorkingState() = default;
  DeferredBuild deferred;
};

// Per-key run-time marks. A key "needing a build" (by default every INDEX) must carry its
// built mark before key operations that require kStateIndexBuilt may run (else 46).
struct KeyRuntime {
  bool needs_build = false;
  bool built = false;
};

struct FileControlBlock {
  // Binds the declaration to the driver registered under decl.driver. When no such driver is
  // registered yet, the first operation after its registration binds it; until then every
  // operation gives 80. The record buffer gets RecordSize() bytes.
  explicit FileControlBlock(const FileDeclaration& decl);
  FileControlBlock(const FileDeclaration& decl, const DriverRegistration* driver);
  FileControlBlock(const FileControlBlock&) = delete;
  FileControlBlock& operator=(const FileControlBlock&) = delete;
  ~FileControlBlock();

  DriverEntry entry = nullptr;                  // the driver's entry point
  const DriverRegistration* driver = nullptr;
  const FileDeclaration* declaration = nullptr; // never null; outlives the block
  std::vector<uint8_t> record;                  // the record buffer
  std::unique_ptr<DriverWorkingState> work;     // the driver's working state, or none
  uint32_t state = 0;                           // FileState bits
  uint8_t post_actions = 0;                     // PostAction bits of the last call
  int last_error = 0;                           // error of the last operation (0 for -1)
  DriverOp last_positioning = DriverOp::kNone;  // last op whose row has kPostPositioning
  int last_position_key = kNoKey;               // the key of that operation (kNoKey: file order)
  int os_error = 0;                             // OS error of the last "File System Error" (90)
  bool opened_exclusive = false;                // opened deny-all: UNLOCK keeps kStateExclusive
  std::vector<KeyRuntime> keys;                 // one per FileDeclaration::keys entry

  bool IsOpen() const { return (state & kStateOpen) != 0; }
  // The driver's working state as the driver's own type (nullptr when none or another type).
  template <typename T>
  T* WorkAs() const {
    DriverWorkingState* w = work.get();
    // Exactly the driver's type (every call of a driver's entry): no search of the class tree.
    if (w != nullptr && typeid(*w) == typeid(T)) return static_cast<T*>(w);
    return dynamic_cast<T*>(w);
  }
};

}  // namespace cinevo
