// Facts about the running program that several services need.
#pragma once

#include <string>

namespace cinevo::platform {

// The absolute path of the running executable ("" when it cannot be read).
std::string ExecutablePath();

}  // namespace cinevo::platform
