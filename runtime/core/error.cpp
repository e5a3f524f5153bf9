#include "runtime/core/error.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "runtime/core/error_codes.h"
#include "runtime/core/os_error.h"

namespace cinevo {
namespace {

// Process-wide by design: the runtime has one current error and one fatal handler.
int g_error_code = 0;
FatalHandler& Handler() {
  static FatalHandler handler;
  return handler;
}

}  // namespace

void PostError(int code) {
  if (code == 0) {
    int system = SystemErrorFromErrno(errno);
    g_error_code = system == 0 ? 0 : system + kErrSystemBase;
    return;
  }
  g_error_code = code;
}

int ErrorCode() { return g_error_code; }

std::string ErrorMessage() { return std::string(ErrorText(g_error_code)); }

std::string FatalMessage(int code, std::string_view detail) {
  std::string message(ErrorText(code));
  message += " : ";
  message += detail;
  return message;
}

void SetFatalHandler(FatalHandler handler) { Handler() = std::move(handler); }

void RuntimeFatal(int code, std::string_view detail) {
  std::string message = FatalMessage(code, detail);
  if (Handler()) {
    Handler()(code, message);
    return;
  }
  std::fprintf(stderr, "Runtime error: %s\n", message.c_str());
  std::fflush(stderr);
  std::exit(3);
}

}  // namespace cinevo
