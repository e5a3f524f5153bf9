#include "app/data_folder.h"

#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <system_error>

namespace cinevo::app {

std::optional<std::string> ChooseDataFolder(std::span<const char* const> args, const EnvLookup& env) {
  const std::string_view option = kDataDirOption;
  std::optional<std::string> chosen;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view a = args[i] ? args[i] : "";
    if (a == option && i + 1 < args.size() && args[i + 1] && *args[i + 1]) {
      chosen = args[++i];
    } else if (a.size() > option.size() + 1 && a.substr(0, option.size()) == option && a[option.size()] == '=') {
      chosen = std::string(a.substr(option.size() + 1));
    }
  }
  if (chosen) return chosen;
  if (const char* v = env(kDataDirVariable); v && *v) return std::string(v);
  if (const char* xdg = env("XDG_DATA_HOME"); xdg && *xdg == '/') {
    return (std::filesystem::path(xdg) / "cinevo").string();
  }
  if (const char* home = env("HOME"); home && *home) {
    return (std::filesystem::path(home) / ".local" / "share" / "cinevo").string();
  }
  return std::nullopt;
}

std::string PrepareDataFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) return "The data folder " + folder + " is not a folder.";
  fs::create_directories(folder, ec);
  if (ec) return "The data folder " + folder + " cannot be created: " + ec.message() + ".";
  if (!fs::is_directory(folder, ec)) return "The data folder " + folder + " is not a folder.";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return "The data folder " + folder + " cannot be written to.";
  }
  return {};
}

}  // namespace cinevo::app
