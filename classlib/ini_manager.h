// The INI manager: the application's own settings file, named at start-up. Values are read and
// written by section and key; a missing file, section or key gives the default.
#pragma once

#include <string>
#include <string_view>

namespace cinevo::classlib {

class IniManager {
 public:
  // `fileName` is kept to at most 259 bytes (a 260-byte name field).
  void Init(std::string_view fileName);
  void Kill() { fileName_.clear(); }
  const std::string& FileName() const { return fileName_; }

  std::string Fetch(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
  // False when the file cannot be written.
  bool Update(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::string fileName_;
};

}  // namespace cinevo::classlib
