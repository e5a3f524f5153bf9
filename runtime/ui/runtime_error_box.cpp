#include "runtime/ui/runtime_error_box.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/window/window_system.h"
#include "runtime/core/error.h"

namespace cinevo {

void InstallRuntimeErrorBox() {
  SetFatalHandler([](int /*code*/, const std::string& message) {
    std::fprintf(stderr, "Runtime error: %s\n", message.c_str());
    std::fflush(stderr);
    platform::ShowRuntimeErrorBox(message);
    std::fflush(stdout);
    std::_Exit(3);
  });
}

}  // namespace cinevo
