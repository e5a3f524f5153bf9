// Feeds arbitrary text to the command parser; it must never crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/media_command/media_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cinevo::platform;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  MediaCommand command;
  ParseMediaCommand(text, command, [](std::string_view name) { return name.size() % 2 == 0; });
  return 0;
}
