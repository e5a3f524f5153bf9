#include "app/command_line.h"

#include <filesystem>
#include <string_view>

#include "app/data_folder.h"
#include "app/list_commands.h"

namespace cinevo::app {

std::vector<std::string> MovieArguments(int argc, const char* const* argv) {
  std::vector<std::string> names;
  bool files_only = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] ? argv[i] : "";
    if (arg.empty()) continue;
    if (!files_only && arg == "--") {
      files_only = true;
      continue;
    }
    if (!files_only && arg == kDataDirOption) {
      ++i;  // the folder named after it is no movie
      continue;
    }
    if (!files_only && ListOptionValues(argv[i]) > 0) {
      i += ListOptionValues(argv[i]);  // groups and list files of the play-list commands
      continue;
    }
    if (!files_only && arg.front() == '-') continue;
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(arg), ec);
    names.push_back(ec ? std::string(arg) : path.lexically_normal().string());
  }
  return names;
}

}  // namespace cinevo::app
