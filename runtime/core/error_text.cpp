// The fixed texts of the runtime's error codes.
#include "runtime/core/error.h"

namespace cinevo {

std::string_view ErrorText(int code) {
  switch (code) {
    case 2: return "File Not Found";
    case 501: return "Internal error 01";
    case 529: return "Unable to open WINDOW";
    case 534: return "Too many keystrokes PRESSed";
    case 535: return "Window is already open";
    case 536: return "Window is not open";
    case 537: return "ACCEPT loop requires a window";
    case 800: return "Invalid expression for EVALUATE";
    case 801: return "No BIND on variable";
    case 802: return "Mismatched PUSHSCOPE/POPSCOPE";
    default: return {};
  }
}

}  // namespace cinevo
