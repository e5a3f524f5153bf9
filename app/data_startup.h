// The data layer in the running program: the native driver is registered and the deferred-BUILD
// message (kBuildMessage) is answered.
//
// A file whose BUILD is deferred hands the build to the program's message loop: the dispatch
// stores the operation and sends kBuildMessage with the file's control block. The program
// answers it with BUILDevent (AnswerBuildMessage), which runs the stored build:
// - while a Qt event loop exists, the answer is queued on it, so the BUILD call returns at once
//   and the build runs when the loop next takes its events (as a posted window message would);
//   a control block destroyed in the meantime is left alone;
// - before any event loop exists (start-up, console use) the answer is given at once.
// A build that fails is reported on the console with its error code and text, since the
// statement that deferred it has already returned success.
#pragma once

#include <cstdint>
#include <cstdio>

#include "runtime/data/file_control_block.h"

namespace cinevo::app {

// Registers the "TARVEX" driver and installs the BUILD message hook; failures of deferred
// builds are written to `console` (null: not reported). Safe to call more than once.
void StartDataRuntime(std::FILE* console = stderr);

// Removes the hook (the dispatch then builds at once). For shutdown and tests.
void StopDataRuntime();

// The hook itself: answers `message` (kBuildMessage) for `fcb` as described above. Other
// message numbers are ignored.
void AnswerBuildMessageLater(uint32_t message, FileControlBlock& fcb);

}  // namespace cinevo::app
