#include "runtime/data/isam/isam_status.h"

#include "runtime/core/error.h"
#include "runtime/core/os_error.h"

namespace cinevo::isam {

Status Status::System(int err, std::string detail) {
  return {kErrFileSystem, SystemErrorFromErrno(err), std::move(detail)};
}

std::string InternalErrorText(const std::string& file_name, int check) {
  std::string name = file_name.empty() ? std::string("Tarvex File Driver Error") : file_name;
  return name + " caused an Internal error : tvxbt line " + std::to_string(check);
}

void ReportInternalError(const std::string& file_name, int check) {
  RuntimeFatal(kErrFileSystem, InternalErrorText(file_name, check));
}

}  // namespace cinevo::isam
