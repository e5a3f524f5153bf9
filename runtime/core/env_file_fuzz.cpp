// Feeds arbitrary bytes to the environment-file parser and the list splitter.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/core/env_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const cinevo::EnvEntry& e : cinevo::ParseEnvFile(text)) {
    if (e.key.empty() || e.key.size() > cinevo::kEnvKeyMax) __builtin_trap();
    if (e.value.size() > cinevo::kEnvValueMax) __builtin_trap();
    cinevo::SplitEnvItems(e.value);
  }
  cinevo::EnvironmentFileName(text);
  return 0;
}
