// Results of the native driver's file-format layer.
//
// Failures are returned, never thrown. A Status carries the runtime error code that the driver
// posts (36 "Invalid Data File", 47 "Invalid Record Declaration", 90 "File System Error", ...)
// and, for 90, the file error code: the number of the failed consistency check, or the system
// error number of a failed read, write or seek.
#pragma once

#include <string>

#include "runtime/core/error_codes.h"

namespace cinevo::isam {

// The codes this layer's callers name as isam::kErr... (the codes themselves live in
// error_codes.h).
using ::cinevo::kErrAccessDenied;
using ::cinevo::kErrCreatesDuplicateKey;
using ::cinevo::kErrFileNotFound;
using ::cinevo::kErrFileSystem;
using ::cinevo::kErrInvalidDataFile;
using ::cinevo::kErrInvalidFilename;
using ::cinevo::kErrInvalidRecordDeclaration;
using ::cinevo::kErrRecordNotFound;
using ::cinevo::kErrUnableToLog;
using ::cinevo::kErrUnableToRollback;

// Consistency checks. The number is what a user sees as the file error code (inside an
// operation) or in "... caused an Internal error : tvxbt line N" (outside one).
enum Check : int {
  kCheckPageClass = 1,        // an address outside every class, or a page size that does not fit it
  kCheckParsedLength = 2,     // record bytes do not end exactly at the unpacked size
  kCheckRecordTooLong = 3,    // a record of 0x3AF6 bytes or more (or too long to split)
  kCheckPageTooLarge = 4,     // an encoded page above 0x3B00 bytes
  kCheckTableCounter = 5,     // the number counter would reach 0xFE in its first byte
  kCheckIoLength = 6,         // a read or write that is not a multiple of 64 bytes
  kCheckSplitTooFew = 7,      // a page must split but holds fewer than 2 records
  kCheckPageAddress = 8,      // a page header names another address than where it was read
  kCheckRecordOrder = 9,      // records of a page or of the tree out of ascending key order
  kCheckTreeLevel = 10,       // a child whose level is not one below its parent's, or a cycle
  kCheckRunLength = 11,       // a compressed stream that does not decode to the unpacked size
  kCheckClassTable = 12,      // the header's class table breaks the class invariant
  kCheckEmptyPage = 13,       // a page with no record
  kCheckRecordFields = 14,    // a record's length fields are inconsistent
  kCheckPageHeader = 15,      // a page header's sizes are inconsistent
  kCheckParentLink = 16,      // a page that its parent does not point to
  kCheckIndexCopy = 17,       // an index record that differs from its child's first record
  kCheckDeclaration = 18,     // a declaration stream that cannot be parsed
  kCheckFileLength = 19,      // the header's lengths do not agree with its class table or the file
};

struct [[nodiscard]] Status {
  int code = 0;        // 0 = success
  int file_error = 0;  // for 90: check number or system error number
  std::string detail;  // human-readable context for reports and tools

  bool ok() const { return code == 0; }

  static Status Ok() { return {}; }
  static Status Error(int code, std::string detail = {}) { return {code, 0, std::move(detail)}; }
  static Status Internal(Check check, std::string detail = {}) {
    return {kErrFileSystem, static_cast<int>(check), std::move(detail)};
  }
  // An operating-system failure; `err` is the errno value, reported as the system error number.
  static Status System(int err, std::string detail = {});
};

// "NAME caused an Internal error : tvxbt line N".
std::string InternalErrorText(const std::string& file_name, int check);

// Raises the runtime's fatal report for a consistency failure met outside a driver operation.
void ReportInternalError(const std::string& file_name, int check);

#define ISAM_RETURN_IF_ERROR(expr)      \
  do {                                  \
    ::cinevo::isam::Status s_ = (expr); \
    if (!s_.ok()) return s_;            \
  } while (0)

}  // namespace cinevo::isam
