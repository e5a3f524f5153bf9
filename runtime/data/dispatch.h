// The common dispatch of driver operations: checks an operation against the file's state word,
// calls the driver, updates the state word and posts the outcome.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/data/driver_args.h"
#include "runtime/data/driver_op.h"
#include "runtime/data/file_control_block.h"

namespace cinevo {

// Carries out one operation on `fcb` and returns its outcome as stored in fcb.last_error
// (0 success, a positive error code; a "skipped" -1 from the pre-check or the driver is 0).
// The raw outcome including -1 is available through DispatchRaw.
// Beyond the operation table, a successful OPEN/SHARE adds the state bits of its access mode
// (AccessModeState), UNLOCK drops kStateExclusive of a file not opened deny-all, and a CLOSE that
// reached the driver leaves only kStateBuildByEvents. A working state is never freed while the
// file is still open, and a failed OPEN/SHARE frees it.
int Dispatch(DriverOp op, FileControlBlock& fcb, DriverArgs& args);
int DispatchRaw(DriverOp op, FileControlBlock& fcb, DriverArgs& args);
// The same for a numeric code (codes outside 1..93 give 80).
int DispatchCode(int code, FileControlBlock& fcb, DriverArgs& args);

// The language's calling form: Dispatch, then for the operations that return a string
// (GET_PROPERTY, GETPROPERTYkey, BLOB_SET_PROP, NAME, POSITIONfile, POSITIONkey, SEND) the
// string is pushed on the runtime's StringStack, an empty one when the file has no working
// state, whatever the outcome. The C++ statements (file_statements.h) return strings directly.
int DispatchToStack(DriverOp op, FileControlBlock& fcb, DriverArgs& args);
bool ReturnsString(DriverOp op);

// The pre-check alone: 0 when the driver may be called, else the error code or -1.
[[nodiscard]] int PreCheck(int code, const FileControlBlock& fcb, const DriverArgs& args);

// Deferred BUILD. When a file has kStateBuildByEvents, BUILDfile, BUILDkey, BUILDdyn and
// BUILDdynfilter are stored in the working state and kBuildMessage is sent to the runtime's
// window through the installed hook with the control block as parameter; the window answers it
// with RunDeferredBuild. Without a hook the build runs at once.
inline constexpr uint32_t kBuildMessage = 0x2420;
using BuildMessageHook = std::function<void(uint32_t message, FileControlBlock& fcb)>;
void SetBuildMessageHook(BuildMessageHook hook);  // empty: no hook
// BUILDevent: runs the stored BUILD with kStateBuildInProgress set. Returns its outcome
// (0 when nothing was stored).
int RunDeferredBuild(FileControlBlock& fcb);
// The window's answer to kBuildMessage with the pointer the message carried: runs the stored
// BUILD when that control block still waits for it, else returns -1 and touches nothing (the
// block was destroyed or its build already ran).
int AnswerBuildMessage(FileControlBlock* fcb);
// Called by a control block's destructor: a message still on its way is then ignored.
void DropPendingBuild(const FileControlBlock* fcb);

}  // namespace cinevo
