#include "platform/platform_info.h"

#include <unistd.h>

#include <climits>

namespace cinevo::platform {

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace cinevo::platform
