// Tracing of file and VIEW operations into plain-text logs, switched on in the profile:
//
//   [VXTARVEX]  Profile=1      trace every operation of the native driver's files
//               TraceFile=...  the log (default and when empty: "TARVEX.LOG")
//               Details=1      add the records involved and each file's declaration (once a run)
//   [VXVIEW]    Profile=1      trace every VIEW operation
//               TraceIntoFiles=1  also the file operations a VIEW performs, into the VIEW's log
//               TraceFile=...  the log (default and when empty: "VIEW.LOG")
//
// One line per operation, written after it completed: the head ("NEXT(PODGRU) ", with a key
// "SET(PODGRU,POD:PRK[1]) ") left-aligned in 18 characters, "Error: " and the error's text and
// a blank for a failure ("File Error: " and the system's text for 90), then
// "Time Taken: 0.00 secs" and CR LF. VIEW lines begin "VIEW:<identity in hex>:" and put the head
// in 24 characters. A log that cannot be opened is skipped; tracing never changes a result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data/driver_args.h"
#include "runtime/data/driver_op.h"
#include "runtime/data/file_control_block.h"

namespace cinevo {

struct TraceSettings {
  bool on = false;
  bool details = false;      // files: records and declarations
  bool into_files = false;   // VIEWs: the files' operations too
  std::string file;          // the log's name
};

// The settings of the sections above, read from the profile now.
TraceSettings FileTraceSettings();
TraceSettings ViewTraceSettings();

// The runtime clock in hundredths of a second.
int64_t TraceClock();

// The parts of a log line (exposed for tests).
std::string TraceHead(DriverOp op, const FileControlBlock& fcb, const DriverArgs& args);
std::string TraceResult(int result, const FileControlBlock& fcb, int64_t hundredths);
// "  LABEL             : value" CR LF for every field of the record (nested for a GROUP).
std::string TraceFields(const FileDeclaration& decl, const uint8_t* record, size_t size);
// The key's fields only (for SET(key,key)).
std::string TraceKeyFields(const FileDeclaration& decl, int key, const uint8_t* record, size_t size);
// The declaration as the log lays it out (the owner's password never appears).
std::string TraceDeclaration(const FileDeclaration& decl);

// Writes one traced file operation to settings.file (started at `start`, see TraceClock).
void TraceFileOperation(const TraceSettings& settings, DriverOp op, const FileControlBlock& fcb,
                        const DriverArgs& args, int result, int64_t start);
// Writes one VIEW operation: `identity` is the VIEW's, `name` its primary file's.
void TraceViewOperation(const TraceSettings& settings, uint32_t identity, DriverOp op, std::string_view name,
                        int result, int64_t start);

// Forgets which declarations this run has written (tests).
void ForgetTracedDeclarations();


}  // namespace cinevo
