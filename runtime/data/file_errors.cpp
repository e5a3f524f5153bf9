#include "runtime/data/file_errors.h"

#include <cerrno>

#include "runtime/core/error.h"
#include "runtime/core/error_codes.h"
#include "runtime/data/file_control_block.h"

namespace cinevo {
namespace {

// Process-wide, like the runtime's current error it accompanies. `code` is the error code the
// record belongs to; once the runtime's current error differs, the record is stale.
struct FileErrorRecord {
  int code = 0;
  std::string file;
  int os_error = 0;
};

FileErrorRecord& Record() {
  static FileErrorRecord record;
  return record;
}

bool Current() { return Record().code != 0 && Record().code == ErrorCode(); }

}  // namespace

std::string ErrorFile() { return Current() ? Record().file : std::string(); }

int FileErrorCode() { return Current() ? Record().os_error : 0; }

std::string FileError() {
  int os = FileErrorCode();
  if (os == 0) return {};
  return std::string(ErrorText(os + kErrSystemBase));
}

void PostFileError(int code, const FileControlBlock& fcb) {
  if (code <= 0) return;
  PostError(code);
  FileErrorRecord& r = Record();
  r.code = code;
  r.file = std::string(fcb.declaration->ExternalName());
  r.os_error = code == kErrFileSystem ? fcb.os_error : 0;
}

void ClearRuntimeError() {
  if (ErrorCode() == 0) {  // the usual case after a success: nothing to clear
    Record().code = 0;
    return;
  }
  // PostError(0) stores the pending system error; with errno cleared that is "no error".
  int saved = errno;
  errno = 0;
  PostError(0);
  errno = saved;
  Record().code = 0;
}

}  // namespace cinevo
