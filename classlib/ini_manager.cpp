#include "classlib/ini_manager.h"

#include "platform/profile.h"

namespace cinevo::classlib {

void IniManager::Init(std::string_view fileName) { fileName_ = std::string(fileName.substr(0, 259)); }

std::string IniManager::Fetch(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  if (fileName_.empty()) return std::string(defaultValue);
  return platform::GetIniString(fileName_, section, key, defaultValue);
}

bool IniManager::Update(std::string_view section, std::string_view key, std::string_view value) const {
  return !fileName_.empty() && platform::WriteIniValue(fileName_, section, key, value);
}

}  // namespace cinevo::classlib
